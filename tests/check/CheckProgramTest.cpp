#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "support/OrganFileBuilder.h"
#include "support/OrganSections.h"
#include "support/TempDir.h"

namespace tessaline {
namespace {

using test::OrganFileBuilder;

struct CheckRun {
    int status = -1;
    std::string output;  // stdout and stderr together
};

// Arguments are single-quoted for the shell; the test paths hold no quotes.
CheckRun Check(const std::string& arguments) {
    std::string command = std::string("'") + TESSALINE_CHECK_PROGRAM + "' " + arguments + " 2>&1";
    CheckRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

TEST(CheckProgram, LoadedOrganExitsZero) {
    test::TempDir dir;
    std::string file = dir.Write("good.organ", OrganFileBuilder::MinimalOrgan().Text());
    CheckRun run = Check("'" + file + "'");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output,
              "Loaded \"Test Church\": 1 manuals, console 792x560, 0 loading steps.\n"
              "0 stops, 0 pipes with samples, 0 shared pipes, mono samples in memory.\n");
}

TEST(CheckProgram, ReportsArePrintedInBoxFormAndExitOne) {
    test::TempDir dir;
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "NumberOfManuals", "9");
    CheckRun run = Check("'" + dir.Write("bad.organ", b.Text()) + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output,
              "Message: An invalid number of manuals for the organ is specified in the organ "
              "definition file.\n\nAttempted action: Loading an organ.\n----\n");
}

// A pedal and two manuals, mono and stereo samples in folders named with "\"
// and another letter case, labels, and pipes shared across manuals in both
// directions.
OrganFileBuilder WholeOrgan(const test::TempDir& dir) {
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "HasPedals", "Y");
    b.Set("Organ", "NumberOfManuals", "2");
    b.Set("Organ", "HighestSampleFormat", "Stereo");
    b.Set("Organ", "NumberOfLabels", "1");
    b.Set("Label001", "Name", "Pedal");
    b.Set("Label001", "DispImageNum", "1");
    b.Set("Label001", "FreeXPlacement", "Y");
    b.Set("Label001", "DispXpos", "10");
    b.Set("Label001", "FreeYPlacement", "Y");
    b.Set("Label001", "DispYpos", "10");
    b.Set("Label001", "DispLabelColour", "Black");
    b.Set("Label001", "DispLabelFontSize", "Small");

    test::SetManual(b, 0, 32, {1});
    test::SetManual(b, 1, 61, {2, 3});
    test::SetManual(b, 2, 61, {4});
    std::vector<std::string> pedal;
    for (int p = 1; p <= 32; ++p) {
        std::string name = "p" + std::to_string(p) + ".wav";
        test::WritePipeWav(dir, "Samples/Pedal/" + name, 1);
        pedal.push_back("samples\\PEDAL\\" + name);
    }
    test::SetStop(b, 1, pedal);
    test::SetStop(b, 2, test::WritePipeWavs(dir, "great", 61, 2));
    std::vector<std::string> mixed = test::WritePipeWavs(dir, "mixture", 61, 1);
    mixed[0] = "REF:00:001:001";   // the pedal, read before
    mixed[1] = "ref:02:001:002";   // the swell, read after
    test::SetStop(b, 3, mixed);
    std::vector<std::string> swell = test::WritePipeWavs(dir, "swell", 61, 2);
    swell[5] = "REF:01:001:006";
    test::SetStop(b, 4, swell);
    return b;
}

TEST(CheckProgram, WholeOrganLoadsEveryPipe) {
    test::TempDir dir;
    std::string file = dir.Write("whole.organ", WholeOrgan(dir).Text());
    CheckRun run = Check("'" + file + "'");
    EXPECT_EQ(run.status, 0) << run.output;
    // Steps: 32 pedal keys x 1 stop + 61 x 2 + 61 x 1.
    EXPECT_EQ(run.output,
              "Loaded \"Test Church\": 2 manuals, console 792x560, 215 loading steps.\n"
              "4 stops, 212 pipes with samples, 3 shared pipes, stereo samples in memory.\n");
}

TEST(CheckProgram, WholeOrganWithABrokenReference) {
    test::TempDir dir;
    OrganFileBuilder b = WholeOrgan(dir);
    b.Set("Stop004", "Pipe006", "REF:01:002:001");  // a pipe that is itself shared
    CheckRun run = Check("'" + dir.Write("whole.organ", b.Text()) + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output,
              "Message: An invalid referenced pipe for a shared pipe is specified in the organ "
              "definition file (global stop number 4, pipe 6).\n\nAttempted action: Loading an "
              "organ stop.\n----\n"
              "Message: Reference stop 1 for manual 2 could not be loaded.\n\nAttempted action: "
              "Loading an organ manual (second parse).\n----\n"
              "Message: Manual 2 failed to load.\n\nAttempted action: Loading an organ (second "
              "parse).\n----\n");
}

TEST(CheckProgram, ScreenOptionSetsTheScreen) {
    test::TempDir dir;
    std::string file = "'" + dir.Write("good.organ", OrganFileBuilder::MinimalOrgan().Text()) + "'";
    CheckRun tooSmall = Check(file + " --screen 792x600");
    EXPECT_EQ(tooSmall.status, 1);
    EXPECT_EQ(tooSmall.output,
              "Message: The current screen display mode is not large enough to display this "
              "organ.\nIf your graphics card and monitor support it, please try to increase the "
              "screen area (in the display settings of your desktop).\n\nAttempted action: "
              "Loading an organ.\n----\n");
    EXPECT_EQ(Check("--screen 800x600 " + file).status, 0);
}

TEST(CheckProgram, UsageErrorsExitTwo) {
    for (const char* arguments : {"", "--screen", "a.organ --screen 800", "a.organ --screen x600",
                                  "a.organ --screen 800x", "a.organ --screen 0x600",
                                  "a.organ --screen 80a0x600", "a.organ b.organ",
                                  "a.organ --settings x.ini"}) {
        CheckRun run = Check(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_NE(run.output.find("usage: tessaline-check FILE.organ [--screen WxH] [--combinations "
                                  "IN.cmb] [--save-combinations OUT.cmb]\n"),
                  std::string::npos)
            << arguments;
    }
}

TEST(CheckProgram, CombinationFilesAreSavedAndLoadedAfterTheOrgan) {
    test::TempDir dir;
    std::string organ = "'" + dir.Write("good.organ", OrganFileBuilder::MinimalOrgan().Text()) + "'";
    const std::string loaded =
        "Loaded \"Test Church\": 1 manuals, console 792x560, 0 loading steps.\n"
        "0 stops, 0 pipes with samples, 0 shared pipes, mono samples in memory.\n";
    std::string out = dir.File("saved.cmb");
    CheckRun save = Check(organ + " --save-combinations '" + out + "'");
    EXPECT_EQ(save.status, 0) << save.output;
    EXPECT_EQ(save.output, loaded + "Saved the combinations to \"" + out + "\".\n");

    CheckRun load = Check(organ + " --combinations '" + out + "'");
    EXPECT_EQ(load.status, 0) << load.output;
    EXPECT_EQ(load.output, loaded + "Loaded the combinations of \"" + out + "\".\n");

    std::string other = dir.Write("other.cmb", "[Organ]\r\nChurchName=Another Church\r\n");
    CheckRun refused = Check(organ + " --combinations '" + other + "' --save-combinations '" + out + "'");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.output,
              loaded +
                  "Message: The name of the church in the combination file does not match that of "
                  "the currently loaded organ. A combination file can only be used with the organ "
                  "for which it was saved.\n\nAttempted action: Loading an organ combination "
                  "file.\n----\n");

    CheckRun unwritable = Check(organ + " --save-combinations '" + dir.File("none/x.cmb") + "'");
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(Check(organ + " --combinations").status, 2);
}

}  // namespace
}  // namespace tessaline
