#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "ShellRig.h"
#include "app/CommandLine.h"
#include "app/LoadingDialog.h"
#include "platform/qt/QtErrorSink.h"
#include "platform/qt/QtSettingsStore.h"

namespace tessaline {
namespace {

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

TEST(ErrorBox, IsTitledWithAnOkButtonOnlyAndNoIcon) {
    QWidget owner;
    auto box = QtErrorSink::MakeBox(&owner, "Message: a\n\nAttempted action: b");
    EXPECT_EQ(box->windowTitle().toStdString(), "Tessaline Error");
    EXPECT_EQ(box->text().toStdString(), "Message: a\n\nAttempted action: b");
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->parentWidget(), &owner);
}

TEST(ErrorBox, OwnerIsNoneThenTheLoadingDialogThenTheActiveOrMainWindow) {
    KeepingErrorSink sink;
    ReportError("Early %d.", "Starting.", 1);
    QMainWindow main;
    QWidget dialog;
    sink.SetMainWindow(&main);
    sink.SetLoadingDialog(&dialog);
    ReportError("During the load.", "Loading.");
    sink.SetLoadingDialog(nullptr);
    ReportError("After %s.", "100% done.", "it");
    ASSERT_EQ(sink.boxes.size(), 3u);
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
    EXPECT_EQ(sink.boxes[0].text, "Message: Port 3 failed.\n\nAttempted action: Receiving MIDI.");
}

TEST(ErrorBox, TheLoadingDialogOwnsBoxesOnlyWhileItRuns) {
    KeepingErrorSink sink;
    QMainWindow main;
    sink.SetMainWindow(&main);
    LoadingDialog dialog(&main);
    dialog.SetErrorSink(&sink);
    dialog.Begin(70000);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Loading Organ");
    EXPECT_EQ(dialog.CancelButton()->text().toStdString(), "&Cancel");
    EXPECT_EQ(dialog.Total(), 70000);  // more than a 16-bit range
    EXPECT_TRUE(dialog.StepLoadingProgress());
    EXPECT_TRUE(dialog.StepLoadingProgress());
    EXPECT_EQ(dialog.Position(), 2);
    ReportError("Inside.", "Loading an organ.");
    dialog.CancelButton()->click();
    EXPECT_TRUE(dialog.Cancelled());
    EXPECT_FALSE(dialog.StepLoadingProgress());
    dialog.Finish();
    ReportError("Outside.", "Loading an organ.");
    ASSERT_EQ(sink.boxes.size(), 3u);
    EXPECT_EQ(sink.boxes[0].owner, &dialog);
    EXPECT_EQ(sink.boxes[1].owner, &dialog);
    EXPECT_EQ(sink.boxes[1].text,
              "Message: Loading the organ has been cancelled by the user.\n\n"
              "Attempted action: Loading an organ.");
    EXPECT_NE(sink.boxes[2].owner, &dialog);
    // A new load starts uncancelled at 0.
    dialog.Begin(5);
    EXPECT_FALSE(dialog.Cancelled());
    EXPECT_EQ(dialog.Position(), 0);
    dialog.Finish();
}

TEST(ConsoleView, PlacesTheWindowAndMeasuresTheConsoleArea) {
    test::ShellRig rig;
    rig.StartSetUp();
    MainWindow& window = *rig.window;
    QtConsoleView& view = window.View();
    view.PlaceWindow(10, 20, 1016, 728);
    EXPECT_EQ(window.size(), QSize(1016, 728));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(view.ClientWidth(), 1016u);
    uint32_t bars = static_cast<uint32_t>(window.menuBar()->sizeHint().height() +
                                          window.statusBar()->sizeHint().height());
    EXPECT_GT(bars, 0u);
    EXPECT_EQ(view.ClientHeight(), 728u - bars);
    view.SetTitle("Tessaline Console - X");
    EXPECT_EQ(window.windowTitle().toStdString(), "Tessaline Console - X");
    ScreenMetrics screen = view.Screen();
    EXPECT_GT(screen.width, 0u);
    EXPECT_GE(screen.bitsPerPixel, 16u);
}

TEST(ConsoleView, MeasuresTextOnOneLineOrWrapped) {
    test::ShellRig rig;
    rig.StartSetUp();
    QtConsoleView& view = rig.window->View();
    FontSpec font{"Sans", 12, 400};
    TextSize line = view.MeasureText(font, "Principal Eight Foot Open", 0, false);
    TextSize wrapped = view.MeasureText(font, "Principal Eight Foot Open", 40, true);
    EXPECT_GT(line.width, 40u);
    EXPECT_LE(wrapped.width, line.width);
    EXPECT_GE(wrapped.height, 2 * line.height - 2);
    TextSize bold = view.MeasureText({"Sans", 12, 700}, "Principal", 0, false);
    EXPECT_GE(bold.width, view.MeasureText(font, "Principal", 0, false).width);
    EXPECT_TRUE(view.FontUsable("Times New Roman"));
}

TEST(ConsoleView, RedrawsAskedFromAnyThreadComeToOneRepaint) {
    test::ShellRig rig;
    rig.StartSetUp();
    MainWindow& window = *rig.window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    QTest::qWait(100);
    int before = window.Console().Repaints();
    std::thread midi([&] {
        for (int i = 0; i < 50; ++i) window.View().RequestRedraw();
    });
    midi.join();
    window.View().RequestRedraw();
    QTest::qWait(100);
    EXPECT_EQ(window.Console().Repaints(), before + 1);
}

// The QSettings store on an INI file named by TESSALINE_SETTINGS.
TEST(QtSettings, KeepsValuesInTheNamedFile) {
    test::TempDir dir;
    std::string file = dir.File("settings.ini");
    const char* old = std::getenv("TESSALINE_SETTINGS");
    std::string saved = old ? old : "";
    setenv("TESSALINE_SETTINGS", file.c_str(), 1);
    {
        QtSettingsStore store;
        bool createdNew = false;
        ASSERT_TRUE(store.Open(createdNew));
        EXPECT_TRUE(createdNew);
        EXPECT_TRUE(store.WriteString("OutputRecDir", "/home/player/rec"));
        EXPECT_TRUE(store.WriteString("Manual1KeyShift", "-3"));
        EXPECT_TRUE(store.Close());
        ASSERT_TRUE(store.Open(createdNew));
        EXPECT_FALSE(createdNew);
        std::string value;
        EXPECT_TRUE(store.ReadString("Manual1KeyShift", value));
        EXPECT_EQ(value, "-3");
        EXPECT_FALSE(store.ReadString("Missing", value));
        EXPECT_TRUE(store.Close());
        EXPECT_EQ(SetupInfo::ReadSettingString(store, "OutputRecDir"), "/home/player/rec");
    }
    EXPECT_TRUE(std::filesystem::exists(file));
    if (old)
        setenv("TESSALINE_SETTINGS", saved.c_str(), 1);
    else
        unsetenv("TESSALINE_SETTINGS");
}

TEST(CommandLineArguments, TakeOneOrganFileOrAnOption) {
    CommandLine none = ParseCommandLine({});
    EXPECT_EQ(none.action, CommandLine::Action::Run);
    EXPECT_EQ(none.organPath, "");
    CommandLine organ = ParseCommandLine({"/organs/St Mary"});
    EXPECT_EQ(organ.action, CommandLine::Action::Run);
    EXPECT_EQ(organ.organPath, "/organs/St Mary");
    EXPECT_EQ(ParseCommandLine({"--version"}).action, CommandLine::Action::Version);
    EXPECT_EQ(ParseCommandLine({"x.organ", "--help"}).action, CommandLine::Action::Help);
    CommandLine wrong = ParseCommandLine({"--quiet"});
    EXPECT_EQ(wrong.action, CommandLine::Action::Wrong);
    EXPECT_EQ(wrong.problem, "unknown option --quiet");
    EXPECT_EQ(ParseCommandLine({"a.organ", "b.organ"}).problem, "more than one organ file given");
    CommandLine dashed = ParseCommandLine({"--", "-odd.organ"});
    EXPECT_EQ(dashed.action, CommandLine::Action::Run);
    EXPECT_EQ(dashed.organPath, "-odd.organ");
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
