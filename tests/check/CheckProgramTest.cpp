#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "support/OrganFileBuilder.h"
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
              "Loaded \"Test Church\": 1 manuals, console 792x560, 0 loading steps.\n");
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
        EXPECT_NE(run.output.find("usage: tessaline-check FILE.organ [--screen WxH]\n"),
                  std::string::npos)
            << arguments;
    }
}

}  // namespace
}  // namespace tessaline
