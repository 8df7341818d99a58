// The Qt side of the platform as the program uses it: error boxes, the
// settings file, and the program's answers on the command line.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include "ShellRig.h"
#include "app/CommandLine.h"
#include "app/LoadingDialog.h"
#include "platform/qt/QtErrorSink.h"
#include "platform/qt/QtSettingsStore.h"

namespace tessaline {
namespace {

using Texts = std::vector<std::string>;

// Keeps the boxes it would show, with their owner and thread.
class KeepingErrorSink : public QtErrorSink {
public:
    struct Box {
        QWidget* owner;
        std::string text;
        bool onUiThread;
    };
    std::vector<Box> boxes;

protected:
    void ShowBox(QWidget* owner, const QString& text) override {
        boxes.push_back({owner, text.toStdString(), QThread::currentThread() == qApp->thread()});
    }
};

TEST(ErrorBox, IsOwnedByNoneThenTheRunningLoadingDialogThenTheActiveOrMainWindow) {
    KeepingErrorSink sink;
    ReportError("Early %d.", "Starting.", 1);
    QMainWindow main;
    sink.SetMainWindow(&main);
    LoadingDialog dialog(&main);
    dialog.SetErrorSink(&sink);
    dialog.Begin(70000);
    EXPECT_EQ(dialog.Total(), 70000);  // more than a 16-bit range
    ReportError("During the load.", "Loading.");
    dialog.Finish();
    ReportError("After %s.", "100% done.", "it");
    ASSERT_EQ(sink.boxes.size(), 3u);
    // A box titled "Tessaline Error" with an OK button only and no icon.
    auto box = QtErrorSink::MakeBox(&main, "Message: a");
    EXPECT_EQ(box->windowTitle().toStdString(), "Tessaline Error");
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(sink.boxes[0].owner, nullptr);
    EXPECT_EQ(sink.boxes[0].text, "Message: Early 1.\n\nAttempted action: Starting.");
    EXPECT_EQ(sink.boxes[1].owner, &dialog);
    QWidget* expected = QApplication::activeWindow() ? QApplication::activeWindow() : &main;
    EXPECT_EQ(sink.boxes[2].owner, expected);
    EXPECT_EQ(sink.boxes[2].text, "Message: After it.\n\nAttempted action: 100% done.");
}

TEST(ErrorBox, AReportFromAnotherThreadIsQueuedToTheUiThread) {
    KeepingErrorSink sink;
    std::thread midi([] { ReportError("Port %d failed.", "Receiving MIDI.", 3); });
    midi.join();
    EXPECT_TRUE(sink.boxes.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_TRUE(sink.boxes[0].onUiThread);
}

// The settings file TESSALINE_SETTINGS names, read and written through the
// QSettings store with the window's devices; the variable is put back.
class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("TESSALINE_SETTINGS")) previous = old;
        shell.StartSetUp();
    }
    void TearDown() override {
        if (previous)
            setenv("TESSALINE_SETTINGS", previous->c_str(), 1);
        else
            unsetenv("TESSALINE_SETTINGS");
    }
    void Use(const std::string& path) { setenv("TESSALINE_SETTINGS", path.c_str(), 1); }
    bool Read(SetupInfo& info) {
        return info.Read(store, shell.window->Midi(), shell.window->Stream());
    }
    bool Write(const SetupInfo& info) {
        return info.Write(store, shell.window->Midi(), shell.window->Stream());
    }

    test::ShellRig shell;
    QtSettingsStore store;
    std::optional<std::string> previous;
};

TEST_F(SettingsFile, AMissingUnreadableOrSpoiledFileReadsAsTheDefaultsNotSetUp) {
    // Values of the wrong type, bytes, a stray group, and a number past the
    // 32-bit range (a key shift once wrapped it to -1).
    const std::string spoiled =
        "\xff\xfe[\x02]\nManual0Chan=\x01\n=\nAudioBufferBlocks=@Variant(\\0\\0\\x7f)\n"
        "AmplitudeLevel=@ByteArray(\\xff\\xfe)\nManualAChan=1, 2, 3\n"
        "Manual1KeyShift=4294967296999\nManual2Chan=4294967296999\n";
    const std::string file = shell.dir.File("settings.ini");
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"missing", [&] { Use(shell.dir.File("absent/settings.ini")); }},
        {"spoiled", [&] { Use(shell.dir.Write("spoiled.ini", spoiled)); }},
        // A folder where the file should be cannot be read even with every right.
        {"unreadable",
         [&] {
             Use(file);
             std::filesystem::create_directories(file);
         }},
    };
    for (const auto& [name, prepare] : cases) {
        SCOPED_TRACE(name);
        prepare();
        SetupInfo info;
        info.AudioBufferBlocks = 7;
        EXPECT_TRUE(Read(info));
        EXPECT_EQ(info, SetupInfo{});
        EXPECT_EQ(shell.errors.Count(), 0u);
    }
    // Only writing the unreadable file fails; a write repairs a spoiled one.
    EXPECT_FALSE(Write(SetupInfo{}));
    EXPECT_EQ(shell.Reports(), Texts{"Could not write a value to the settings store. | Saving "
                                     "Tessaline setup information."});
    Use(shell.dir.File("spoiled.ini"));
    SetupInfo written, again;
    written.ManualChan[1] = 9;
    ASSERT_TRUE(Write(written));
    EXPECT_TRUE(Read(again));
    EXPECT_TRUE(again.setUp);
    EXPECT_EQ(again.ManualChan[1], 9u);
}

#ifdef TESSALINE_PROGRAM
// Output and exit status of the installed program with arguments.
std::pair<std::string, int> RunProgram(const std::string& arguments) {
    std::string command = std::string(TESSALINE_PROGRAM) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[256];
    while (pipe && fgets(buffer, sizeof buffer, pipe)) output += buffer;
    int status = pipe ? pclose(pipe) : -1;
    return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(Program, AnswersVersionAndHelpAndRefusesUnknownOptions) {
    EXPECT_EQ(RunProgram("--version"), std::make_pair(std::string("Tessaline 1.21\n"), 0));
    EXPECT_EQ(RunProgram("--help"), std::make_pair(std::string(kUsage), 0));
    EXPECT_EQ(RunProgram("--bogus"),
              std::make_pair("tessaline: unknown option --bogus\n" + std::string(kUsage), 2));
}
#endif

}  // namespace
}  // namespace tessaline
