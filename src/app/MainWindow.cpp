#include "app/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include "app/Choosers.h"
#include "app/SetupDialog.h"
#include "app/SplashScreen.h"
#include "platform/DataDirectory.h"
#include "platform/ErrorReporting.h"
#include "platform/qt/QtErrorSink.h"

namespace tessaline {

namespace {

// The status panes: the text that sets each pane's width, and the text shown.
struct PaneSizing {
    const char* sizingText;
};
constexpr PaneSizing kPaneSizing[MainWindow::kPanes] = {
    {"Redirectable Input A:                    "},
    {"Redirectable Input B:                    "},
    {"Registration Frame:          "},
    {"Active"},
    {"Capture"},
    {"Rec"},
};

// How often the panes and commands follow the state while the program idles.
constexpr int kIdleUpdateMilliseconds = 100;
// How often the open MIDI inputs are asked whether their devices are still
// there: an unplugged keyboard is reported within this time.
constexpr int kMidiPortCheckMilliseconds = 2000;

}  // namespace

ShellPrompts DialogPrompts() {
    ShellPrompts prompts;
    prompts.notice = [](QWidget* owner, const QString& text) {
        QMessageBox box(QMessageBox::NoIcon, "Tessaline", text, QMessageBox::Ok, owner);
        box.exec();
    };
    prompts.warning = [](QWidget* owner, const QString& text) {
        QMessageBox box(QMessageBox::Warning, "Tessaline", text, QMessageBox::Ok, owner);
        box.exec();
    };
    prompts.systemSetup = RunSystemSetup;
    prompts.chooseOrganFile = [](QWidget* owner, const QString& initialDirectory) {
        QFileDialog dialog(owner, "Open Organ File", initialDirectory,
                           "Organ definition files (*.organ)");
        dialog.setDefaultSuffix("organ");
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::ReadOnly, false);
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().first()
                   : QString();
    };
    prompts.chooseCombinationFile = ChooseCombinationFile;
    prompts.chooseCombinationSaveFile = ChooseCombinationSaveFile;
    prompts.chooseRecordingDirectory = ChooseRecordingDirectory;
    prompts.openFile = OpenDocument;
    prompts.openWebsite = OpenWebAddress;
    prompts.runDialog = [](QDialog& dialog) { return dialog.exec(); };
    return prompts;
}

MainWindow::MainWindow(const ShellDevices& shellDevices, ShellPrompts shellPrompts,
                       QtErrorSink* sink)
    : devices(shellDevices),
      prompts(std::move(shellPrompts)),
      errorSink(sink),
      view(*this),
      loadingDialog(this),
      organ(view, loadingDialog),
      midi(devices.midiPorts, organ),
      console(nullptr),
      engine(devices.audioSystem, devices.timers),
      recorder(devices.files),
      recorderHook(recorder) {
    setWindowTitle("Tessaline Console");
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(QString::fromStdString(DefaultDataDirectory() + "/images/icon48.png")));
    // A missing picture is reported when the window is created; the console
    // then draws without it.
    artworkLoaded = artwork.Load(DefaultDataDirectory());
    console = new ConsoleWidget(organ, artwork, this);
    setCentralWidget(console);
    // The console takes the keyboard whenever the window is active: its
    // shortcut keys, arrows, function keys and shift work without a click.
    console->setFocus();
    console->installEventFilter(this);
    view.SetConsole(console);
    view.SetFrameShown([this] { UpdatePanes(); });
    organ.midiRouting.SetInputSystem(&midi);
    engine.Stream().SetBlockHook(&recorderHook);
    if (errorSink != nullptr) {
        errorSink->SetMainWindow(this);
        loadingDialog.SetErrorSink(errorSink);
    }
    programDirectory = DefaultDataDirectory();

    ScreenMetrics screen = view.Screen();
    int x = screen.width > kDefaultWindowWidth
                ? (static_cast<int>(screen.width) - kDefaultWindowWidth) / 2
                : 0;
    int y = screen.height > kDefaultWindowHeight
                ? (static_cast<int>(screen.height) - kDefaultWindowHeight) / 2
                : 0;
    view.PlaceWindow(x, y, kDefaultWindowWidth, kDefaultWindowHeight);

    auto* idle = new QTimer(this);
    connect(idle, &QTimer::timeout, this, [this] {
        UpdateCommandStates();
        UpdatePanes();
    });
    idle->start(kIdleUpdateMilliseconds);

    auto* portCheck = new QTimer(this);
    connect(portCheck, &QTimer::timeout, this, [this] { midi.CheckOpenPorts(); });
    portCheck->start(kMidiPortCheckMilliseconds);
}

MainWindow::~MainWindow() {
    ShutDown(true);
    view.SetConsole(nullptr);
    engine.Stream().SetBlockHook(nullptr);
    if (errorSink != nullptr) {
        errorSink->SetMainWindow(nullptr);
        errorSink->SetLoadingDialog(nullptr);
    }
}

bool MainWindow::Create() {
    BuildMenus();
    BuildStatusBar();
    if (prompts.splashMilliseconds > 0) ShowSplash();
    if (!artworkLoaded)
        ReportError("Could not read the console picture %s.", "Initialising Tessaline.",
                    artwork.Missing().c_str());
    if (midi.DeviceCount() == 0) {
        ReportError("No valid MIDI input devices were found on the system.",
                    "Initialising Tessaline.");
        return false;
    }
    if (engine.DeviceCount() == 0) {
        ReportError("No valid audio output devices were found on the system.",
                    "Initialising Tessaline.");
        return false;
    }
    currentOrganPath.clear();
    if (!setup.Read(devices.settings, midi, engine.Stream())) {
        ReportError("Could not obtain setup information.", "Initialising Tessaline");
        return false;
    }
    if (!setup.setUp) {
        prompts.notice(this,
                       "Please set up the devices and settings for your audio and MIDI systems\n"
                       "on the following screen before using Tessaline.");
        if (!ShowSystemSetup()) {
            prompts.notice(this,
                           "The audio and MIDI systems were not set up. You will not be able to\n"
                           "run Tessaline until these settings have been set or confirmed.");
            return false;
        }
    }
    RebuildRecentOrganMenu();
    RebuildRecentCombinationMenu();
    UpdateCommandStates();
    UpdatePanes();
    WatchDisplay();
    return true;
}

QAction* MainWindow::AddCommand(QMenu* menu, Command command, const char* text, const char* prompt,
                                const QKeySequence& keys) {
    auto* action = new QAction(QString::fromUtf8(text), this);
    if (prompt != nullptr) action->setStatusTip(QString::fromUtf8(prompt));
    if (!keys.isEmpty()) {
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    if (menu != nullptr)
        menu->addAction(action);
    else
        addAction(action);
    connect(action, &QAction::triggered, this, [this, command] { Run(command); });
    actions[static_cast<size_t>(command)] = action;
    return action;
}

void MainWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    AddCommand(file, Command::LoadOrgan, "L&oad Organ\tCtrl+O", "Load a new organ definition file",
               QKeySequence("Ctrl+O"));
    AddCommand(file, Command::CloseOrgan, "&Close Organ\tCtrl+C", "Close the current organ",
               QKeySequence("Ctrl+C"));
    AddCommand(file, Command::LoadCombinations, "&Load Combination File\tCtrl+L",
               "Load a set of saved combinations for the currently-loaded organ",
               QKeySequence("Ctrl+L"));
    AddCommand(file, Command::SaveCombinations, "&Save Combinations to a File\tCtrl+S",
               "Save the current combinations for the currently-loaded organ to a file",
               QKeySequence("Ctrl+S"));
    AddCommand(
        file, Command::ReloadDefaultCombinations, "Reloa&d Default Organ Combinations\tCtrl+D",
        "Reload the default combinations for the currently-loaded organ", QKeySequence("Ctrl+D"));
    AddCommand(file, Command::RecordingDirectory,
               "Set D&irectory for Recording Audio Output\tCtrl+I",
               "Set the directory in which recordings of the output audio will be saved",
               QKeySequence("Ctrl+I"));
    file->addSeparator();
    recentOrgansMenu = file->addMenu("Recent Or&gans");
    recentOrgansMenu->addAction("(No organs)")->setEnabled(false);
    recentCombinationsMenu = file->addMenu("&Recent Organ Combinations");
    recentCombinationsMenu->addAction("(No combinations)")->setEnabled(false);
    recentCombinationsMenu->menuAction()->setEnabled(false);
    file->addSeparator();
    AddCommand(file, Command::Exit, "E&xit\tCtrl+X", "Exit Tessaline", QKeySequence("Ctrl+X"));

    QMenu* organMenu = menuBar()->addMenu("&Organ");
    AddCommand(organMenu, Command::Activate, "Ac&tivate", "Activate the currently loaded organ");
    AddCommand(organMenu, Command::Deactivate, "&Deactivate",
               "Deactivate the currently loaded organ");
    AddCommand(organMenu, Command::ResetAll, "Reset &All\tCtrl+A",
               "Reset all manuals, pipes and notes (not the audio / MIDI system)",
               QKeySequence("Ctrl+A"));
    AddCommand(organMenu, Command::ResetNotes, "Rese&t Notes Only\tEscape",
               "Turn off all active notes", QKeySequence(Qt::Key_Escape));
    AddCommand(organMenu, Command::StartRecording, "Start &Recording Audio Output\tCtrl+R",
               "Start recording the audio output from Tessaline to a file", QKeySequence("Ctrl+R"));
    AddCommand(organMenu, Command::StopRecording, "Sto&p Recording Audio Output\tCtrl+P",
               "Stop recording the audio output from Tessaline to a file", QKeySequence("Ctrl+P"));
    AddCommand(organMenu, Command::PlayTestNote, "Play Test &Note",
               "Play C3 on Great (for testing audio system)")
        ->setCheckable(true);
    // Shift itself is the console's business; the menu only shows it.
    AddCommand(organMenu, Command::CaptureMode, "Combination &Capture Mode\tShift",
               "Enter/exit combination capture mode")
        ->setCheckable(true);
    organMenu->addSeparator();
    AddCommand(organMenu, Command::ShowOrganDetails, "&Show Organ Details",
               "Show details about the currently loaded organ");

    QMenu* setupMenu = menuBar()->addMenu("S&etup");
    AddCommand(setupMenu, Command::SystemSetup, "S&ystem Setup\tCtrl+Y",
               "Set up the audio and MIDI systems", QKeySequence("Ctrl+Y"));

    QMenu* help = menuBar()->addMenu("&Help");
    AddCommand(help, Command::HelpContents, "&Help Contents", "Open the help system");
    help->addSeparator();
    AddCommand(help, Command::About, "&About", "Show details about Tessaline");

    // Accelerators without a menu item.
    AddCommand(nullptr, Command::ReopenRecentOrgan, "Reopen Recent Organ", nullptr,
               QKeySequence("Ctrl+N"));
    AddCommand(nullptr, Command::ReopenRecentCombinations, "Reopen Recent Combinations", nullptr,
               QKeySequence("Ctrl+M"));

    for (QMenu* menu : {file, organMenu, setupMenu, help})
        connect(menu, &QMenu::aboutToShow, this, &MainWindow::UpdateCommandStates);
    UpdateCommandStates();
}

void MainWindow::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setSizeGripEnabled(false);
    for (int p = 0; p < kPanes; ++p) {
        auto* label = new QLabel(bar);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(kPaneSizing[p].sizingText) +
                               8);
        bar->addPermanentWidget(label);
        panes[static_cast<size_t>(p)] = label;
    }
    UpdatePanes();
}

void MainWindow::ShowSplash() {
    SplashScreen splash(QString::fromStdString(DefaultDataDirectory() + "/images/splash.png"),
                        prompts.splashMilliseconds, this);
    splash.Run();
}

QString MainWindow::PaneText(Pane pane) {
    switch (pane) {
        case Pane::RedirectA:
            return RedirectPaneText("Redirectable Input A:", 0);
        case Pane::RedirectB:
            return RedirectPaneText("Redirectable Input B:", 1);
        case Pane::Frame:
            return organ.loaded ? QString("Registration Frame: %1")
                                      .arg(organ.frameNumber.load(std::memory_order_acquire) + 1)
                                : QString("Registration Frame:");
        case Pane::Active:
            return active ? "Active" : "";
        case Pane::Capture:
            return organ.loaded && organ.captureMode.load() ? "Capture" : "";
        case Pane::Rec:
            return recorder.IsRecording() ? "Rec" : "";
    }
    return {};
}

QString MainWindow::RedirectPaneText(const char* title, int input) {
    if (!organ.loaded) return title;
    auto lock = organ.LockAction();
    const Manual* target = organ.midiRouting.redirectable[static_cast<size_t>(input)].target;
    if (target == nullptr) return title;
    return QString("%1 %2").arg(title, QString::fromStdString(target->name));
}

void MainWindow::UpdatePanes() {
    for (int p = 0; p < kPanes; ++p) {
        QLabel* label = panes[static_cast<size_t>(p)];
        if (label != nullptr) label->setText(PaneText(static_cast<Pane>(p)));
    }
}

void MainWindow::UpdateCommandStates() {
    const bool loaded = organ.loaded;
    const bool recording = recorder.IsRecording();
    auto set = [this](Command command, bool enabled, bool checked = false) {
        QAction* action = Action(command);
        if (action == nullptr) return;
        action->setEnabled(enabled);
        if (action->isCheckable()) action->setChecked(checked);
    };
    set(Command::Activate, loaded && !active);
    set(Command::Deactivate, loaded && active);
    set(Command::CaptureMode, loaded && active, loaded && organ.captureMode.load());
    for (Command command : {Command::CloseOrgan, Command::LoadCombinations,
                            Command::SaveCombinations, Command::ReloadDefaultCombinations,
                            Command::ShowOrganDetails, Command::ResetAll, Command::ResetNotes})
        set(command, loaded);
    set(Command::PlayTestNote, loaded, loaded && TestNoteOn());
    set(Command::StartRecording, loaded && active && !recording);
    set(Command::StopRecording, loaded && active && recording);
}

bool MainWindow::FindAccelerator(const QKeyEvent& key, Command& command) const {
    QKeySequence pressed(key.keyCombination());
    for (int c = 0; c < kCommands; ++c) {
        const QAction* action = actions[static_cast<size_t>(c)];
        if (action != nullptr && !action->shortcut().isEmpty() &&
            action->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
            command = static_cast<Command>(c);
            return true;
        }
    }
    return false;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // An enabled accelerator runs its command before the console sees the
    // key, so an accelerator's key arrives here only when its command was
    // greyed. The key belongs to the command either way: as a plain key
    // press, Ctrl+R would toggle the control whose shortcut key is R.
    // The greying is refreshed only after commands and on the idle timer,
    // so just after a load it may still say "no organ": Run judges again on
    // the present state, and Escape right after a load still silences the
    // notes instead of being dropped.
    Command command{};
    if (watched == console && event->type() == QEvent::KeyPress &&
        FindAccelerator(*static_cast<QKeyEvent*>(event), command)) {
        Run(command);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (loadingDialog.IsRunning()) {
        loadingDialog.RequestQuit();
        event->ignore();
        return;
    }
    event->accept();
}

std::string MainWindow::Read() {
    return SetupInfo::ReadSettingString(devices.settings, "OutputRecDir");
}

void MainWindow::Choose() {
    prompts.warning(this, kRecordingDirectoryPrompt);
    OnRecordingDirectory();
}

}  // namespace tessaline
