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

// What the checker prints for one report.
std::string Box(const std::string& message, const std::string& action) {
    return "Message: " + message + "\n\nAttempted action: " + action + "\n----\n";
}

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
    b.Set("Organ", "NumberOfManuals", "9");
    ToolRun bad = Check(Quote(dir.Write("bad.organ", b.Text())));
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.output, Box("An invalid number of manuals for the organ is specified in the organ "
                              "definition file.",
                              "Loading an organ."));

    // The screen option comes before or after the file.
    ToolRun small = Check(minimal + " --screen 792x600");
    EXPECT_EQ(small.status, 1);
    EXPECT_EQ(small.output,
              Box("The current screen display mode is not large enough to display this organ.\n"
                  "If your graphics card and monitor support it, please try to increase the screen "
                  "area (in the display settings of your desktop).",
                  "Loading an organ."));
    EXPECT_EQ(Check("--screen 800x600 " + minimal).status, 0);
}

// A pedal and two manuals, mono and stereo samples in folders named with "\"
// and another letter case, and pipes shared across manuals both ways.
OrganFileBuilder WholeOrgan(const TempDir& dir) {
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "HasPedals", "Y");
    b.Set("Organ", "NumberOfManuals", "2");
    b.Set("Organ", "HighestSampleFormat", "Stereo");
    SetManual(b, 0, 32, {1});
    SetManual(b, 1, 61, {2, 3});
    SetManual(b, 2, 61, {4});
    std::vector<std::string> pedal;
    for (int p = 1; p <= 32; ++p) {
        std::string name = "p" + std::to_string(p) + ".wav";
        WritePipeWav(dir, "Samples/Pedal/" + name, 1);
        pedal.push_back("samples\\PEDAL\\" + name);
    }
    SetStop(b, 1, pedal);
    SetStop(b, 2, WritePipeWavs(dir, "great", 61, 2));
    std::vector<std::string> mixed = WritePipeWavs(dir, "mixture", 61, 1);
    mixed[0] = "REF:00:001:001";  // the pedal, read before
    mixed[1] = "ref:02:001:002";  // the swell, read after
    SetStop(b, 3, mixed);
    std::vector<std::string> swell = WritePipeWavs(dir, "swell", 61, 2);
    swell[5] = "REF:01:001:006";
    SetStop(b, 4, swell);
    return b;
}

TEST_F(CheckProgram, AWholeOrganLoadsEveryPipeAndCountsItsSharedOnes) {
    OrganFileBuilder b = WholeOrgan(dir);
    ToolRun whole = Check(Quote(dir.Write("whole.organ", b.Text())));
    EXPECT_EQ(whole.status, 0) << whole.output;
    // Steps: 32 pedal keys x 1 stop + 61 x 2 + 61 x 1.
    EXPECT_EQ(whole.output,
              "Loaded \"Test Church\": 2 manuals, console 792x560, 215 loading steps.\n"
              "4 stops, 212 pipes with samples, 3 shared pipes, stereo samples in memory.\n");
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
    EXPECT_EQ(refused.output,
              kMinimalLoaded +
                  Box("The name of the church in the combination file does not match that of the "
                      "currently loaded organ. A combination file can only be used with the organ "
                      "for which it was saved.",
                      "Loading an organ combination file."));
    EXPECT_EQ(Check(minimal + " --save-combinations " + Quote(dir.File("none/x.cmb"))).status, 1);
}

}  // namespace
}  // namespace tessaline::test
