#include <gtest/gtest.h>

#include <string>

#include "support/OrganFileBuilder.h"
#include "support/OrganSections.h"
#include "support/TempDir.h"
#include "support/ToolRun.h"

namespace tessaline::test {
namespace {

const std::string kMinimalLoaded =
    "Loaded \"Test Church\": 1 manuals, console 792x560, 0 loading steps.\n"
    "0 stops, 0 pipes with samples, 0 shared pipes, mono samples in memory.\n";

ToolRun Check(const std::string& arguments) { return RunTool(TESSALINE_CHECK_PROGRAM, arguments); }

struct CheckProgram : ::testing::Test {
    TempDir dir;
    std::string minimal = Quote(dir.Write("good.organ", OrganFileBuilder::MinimalOrgan().Text()));
};

TEST_F(CheckProgram, ExitsZeroOnALoadedOrganAndOneWithTheReportsOtherwise) {
    ToolRun good = Check(minimal);
    EXPECT_EQ(good.status, 0) << good.output;
    EXPECT_EQ(good.output, kMinimalLoaded);

    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "HighestSampleFormat", "Stereo");
    ToolRun stereo = Check(Quote(dir.Write("stereo.organ", b.Text())));
    EXPECT_NE(stereo.output.find(" stereo samples in memory.\n"), std::string::npos);
    b.Set("Organ", "NumberOfManuals", "9");
    ToolRun bad = Check(Quote(dir.Write("bad.organ", b.Text())));
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.output, "Message: An invalid number of manuals for the organ is specified in the "
                          "organ definition file.\n\nAttempted action: Loading an organ.\n----\n");

    // The screen option comes before or after the file.
    EXPECT_EQ(Check(minimal + " --screen 792x600").status, 1);
    EXPECT_EQ(Check("--screen 800x600 " + minimal).status, 0);
}

TEST_F(CheckProgram, UsageErrorsExitTwo) {
    for (const char* arguments :
         {"", "--screen", "a.organ --screen 800", "a.organ --screen x600", "a.organ --screen 800x",
          "a.organ --screen 0x600", "a.organ --screen 80a0x600", "a.organ b.organ",
          "a.organ --settings x.ini", "a.organ --combinations"}) {
        SCOPED_TRACE(arguments);
        ToolRun run = Check(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.output.find("usage: tessaline-check FILE.organ [--screen WxH] [--combinations "
                                  "IN.cmb] [--save-combinations OUT.cmb]\n"),
                  std::string::npos);
    }
}

TEST_F(CheckProgram, CombinationFilesAreSavedAndLoadedAfterTheOrgan) {
    std::string out = dir.File("saved.cmb");
    ToolRun save = Check(minimal + " --save-combinations " + Quote(out));
    EXPECT_EQ(save.status, 0) << save.output;
    EXPECT_EQ(save.output, kMinimalLoaded + "Saved the combinations to \"" + out + "\".\n");

    ToolRun load = Check(minimal + " --combinations " + Quote(out));
    EXPECT_EQ(load.status, 0) << load.output;
    EXPECT_EQ(load.output, kMinimalLoaded + "Loaded the combinations of \"" + out + "\".\n");

    std::string other = dir.Write("other.cmb", "[Organ]\r\nChurchName=Another Church\r\n");
    ToolRun refused =
        Check(minimal + " --combinations " + Quote(other) + " --save-combinations " + Quote(out));
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.output.find(kMinimalLoaded + "Message: The name of the church"), 0u);
    EXPECT_EQ(Check(minimal + " --save-combinations " + Quote(dir.File("none/x.cmb"))).status, 1);
}

}  // namespace
}  // namespace tessaline::test
