#pragma once
// The one top-level window of Tessaline and the owner of everything the
// program runs: the MIDI input ports, the organ, the audio engine and its
// output stream, the recorder, the setup record, the menus and the status bar.
// It drives the organ's lifecycle:
//
//   NoOrgan --load--> Active <--activate/deactivate--> Loaded
//   Loaded or Active --close--> NoOrgan; a failed load may leave Loaded.
//
// Activation starts the audio output, then opens the MIDI inputs;
// deactivation stops a recording, then the audio output, then closes the MIDI
// inputs. Engine parameters change only while both are stopped.
//
// Threads: everything here runs on the UI thread.

#include <QMainWindow>
#include <QString>
#include <array>
#include <functional>
#include <string>

#include "app/LoadingDialog.h"
#include "app/RecentFiles.h"
#include "audio/AudioEngine.h"
#include "audio/AudioRenderer.h"
#include "audio/AudioStream.h"
#include "audio/Recorder.h"
#include "console/render/ConsoleArtwork.h"
#include "console/render/ConsoleWidget.h"
#include "midi/MidiInputSystem.h"
#include "organ/Organ.h"
#include "organ/SetupInfo.h"
#include "platform/AudioOutput.h"
#include "platform/BinaryFile.h"
#include "platform/MidiPorts.h"
#include "platform/PeriodicTimer.h"
#include "platform/SettingsStore.h"
#include "platform/qt/QtConsoleView.h"

class QAction;
class QDialog;
class QKeyEvent;
class QLabel;
class QMenu;

namespace tessaline {

class QtErrorSink;

// The outside world the window is built on; all must outlive it.
struct ShellDevices {
    MidiPorts& midiPorts;
    AudioOutputSystem& audioSystem;
    TimerService& timers;
    SettingsStore& settings;
    BinaryFileSystem& files;
};

// What the shell asks of the player outside its own menus. The application
// answers with dialogs; tests answer directly.
struct ShellPrompts {
    // A box titled "Tessaline" with an OK button only.
    std::function<void(QWidget* owner, const QString& text)> notice;
    // The same with an exclamation icon.
    std::function<void(QWidget* owner, const QString& text)> warning;
    // The system setup dialog on the record; true when closed with OK.
    std::function<bool(QWidget* owner, SetupInfo& setup)> systemSetup;
    // The organ file chooser from a folder; empty when cancelled.
    std::function<QString(QWidget* owner, const QString& initialDirectory)> chooseOrganFile;
    // The combination file chooser for loading, from a folder (empty: the
    // chooser's own choice); empty when cancelled.
    std::function<QString(QWidget* owner, const QString& initialDirectory)> chooseCombinationFile;
    // The chooser of a combination file to save, proposing a file name;
    // empty when cancelled.
    std::function<QString(QWidget* owner, const QString& initialDirectory,
                          const QString& proposedName)>
        chooseCombinationSaveFile;
    // The recording folder chooser from a folder (empty: the chooser's own
    // choice); the folder without a trailing "/", empty when cancelled.
    std::function<QString(QWidget* owner, const QString& initialDirectory)>
        chooseRecordingDirectory;
    // Opens a local document (help, an organ's information page) or a web
    // address in the desktop's program for it; false when that failed.
    std::function<bool(const QString& path)> openFile;
    std::function<bool(const QString& address)> openWebsite;
    // Runs a modal dialog (About, Organ Details) and returns its result.
    std::function<int(QDialog& dialog)> runDialog;
    // How long the splash screen shows at start-up (0: no splash).
    int splashMilliseconds = 3000;
};

// The organ definition file a path names: the path itself when it ends in
// ".organ" (in any letter case), else the path with ".organ" appended.
std::string OrganFileName(const std::string& path);

// RT: hands every rendered block to the recorder; a block the recorder cannot
// queue is counted there, so its answer is not needed here.
class RecorderBlockHook : public AudioBlockHook {
public:
    explicit RecorderBlockHook(Recorder& target) : recorder(target) {}
    void WriteRecordedBlock(std::span<const int16_t> frames) override {
        recorder.WriteRecordedBlock(frames);
    }

private:
    Recorder& recorder;
};

// The answers the application gives: Qt dialogs.
ShellPrompts DialogPrompts();

class MainWindow : public QMainWindow, private RecordingDirectory {
    Q_OBJECT
public:
    enum class Command {
        LoadOrgan,
        CloseOrgan,
        LoadCombinations,
        SaveCombinations,
        ReloadDefaultCombinations,
        RecordingDirectory,
        ReopenRecentOrgan,
        ReopenRecentCombinations,
        Exit,
        Activate,
        Deactivate,
        ResetAll,
        ResetNotes,
        StartRecording,
        StopRecording,
        PlayTestNote,
        CaptureMode,
        ShowOrganDetails,
        SystemSetup,
        HelpContents,
        About,
    };
    static constexpr int kCommands = static_cast<int>(Command::About) + 1;

    // The status bar's indicator panes, left to right after the message pane.
    enum class Pane { RedirectA, RedirectB, Frame, Active, Capture, Rec };
    static constexpr int kPanes = 6;

    // Constructs the owned objects in order: the organ, the MIDI inputs
    // (listing the ports) that feed it, the audio engine (listing the output
    // devices), the setup record. errorSink: the application's box sink, told about this
    // window and the loading dialog (none in tests).
    MainWindow(const ShellDevices& devices, ShellPrompts prompts, QtErrorSink* errorSink = nullptr);
    // Deactivates and unloads quietly before the owned objects go.
    ~MainWindow() override;

    // The creation sequence: menus, accelerators and status bar, splash,
    // device checks, settings, first-run setup, panes. False when start-up
    // must end (reported).
    bool Create();

    // Lifecycle; each returns false after reporting the failure.
    bool LoadOrganFromPath(const std::string& path);
    bool CloseOrgan();
    bool ActivateOrgan();
    bool DeactivateOrgan();
    bool UpdateEngine();
    bool ShowSystemSetup();
    // Deactivates if active and unloads; unless fromDestructor, then closes
    // the window, which ends the application.
    void ShutDown(bool fromDestructor);

    // Runs a command as its menu item or accelerator does: nothing when the
    // command is greyed.
    void Run(Command command);
    // The identifiers of the recent-file menu items: 102 + index for organs,
    // 32792 + index for combination files (index 0..9, of which 0..8 appear
    // in the menus). RunRecentCommand opens the entry an identifier names.
    static constexpr int kRecentOrganCommand = 102;
    static constexpr int kRecentCombinationCommand = 32792;
    void RunRecentCommand(int identifier);

    // The recent lists and their submenus (File menu positions 7 and 8).
    // Rebuilding refills a submenu from the settings store; adding puts a
    // path at the top of its list and rebuilds; opening reloads an entry,
    // false after reporting.
    void RebuildRecentOrganMenu();
    void RebuildRecentCombinationMenu();
    void AddRecentOrgan(const std::string& path);
    void AddRecentCombination(const std::string& path);
    bool OpenRecentOrgan(int index);
    bool OpenRecentCombination(int index);

    // The combination files of the loaded organ by path; false after
    // reporting. A load from the organ's own definition file (fromDefaults)
    // leaves the recent list as it is.
    bool LoadCombinationFile(const std::string& path, bool fromDefaults);
    bool SaveCombinationFile(const std::string& path);

    // True when the screen can show the program and the loaded organ;
    // otherwise reports why. Run at start-up and when the screen changes.
    bool CheckDisplay();
    // The organ's information page: its InfoFilename, or the definition file
    // with ".html" for its extension. Only while an organ is loaded.
    std::string InfoPagePath() const;
    // Enables, greys and checks every command for the present state (also
    // done whenever a menu opens and after every command).
    void UpdateCommandStates();
    void UpdatePanes();

    bool IsActive() const { return active; }
    bool IsLoaded() const { return organ.loaded; }
    // The test note is the action's state, so it is read under its lock.
    bool TestNoteOn() {
        auto lock = organ.LockAction();
        return organ.testNoteOn;
    }
    const std::string& CurrentOrganPath() const { return currentOrganPath; }
    const std::string& ProgramDirectory() const { return programDirectory; }
    void SetProgramDirectory(const std::string& directory) { programDirectory = directory; }

    QAction* Action(Command command) const { return actions[static_cast<size_t>(command)]; }
    QMenu* RecentOrgansMenu() const { return recentOrgansMenu; }
    QMenu* RecentCombinationsMenu() const { return recentCombinationsMenu; }
    QLabel* PaneLabel(Pane pane) const { return panes[static_cast<size_t>(pane)]; }
    QString PaneText(Pane pane);

    Organ& GetOrgan() { return organ; }
    SetupInfo& Setup() { return setup; }
    AudioEngine& Engine() { return engine; }
    AudioStream& Stream() { return engine.Stream(); }
    MidiInputSystem& Midi() { return midi; }
    Recorder& GetRecorder() { return recorder; }
    LoadingDialog& Loading() { return loadingDialog; }
    ConsoleWidget& Console() { return *console; }
    QtConsoleView& View() { return view; }

protected:
    void closeEvent(QCloseEvent* event) override;
    // Keeps the keys of commands from the console and runs a command whose
    // greying was out of date (see the source).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // RecordingDirectory: OutputRecDir of the settings store and its chooser.
    std::string Read() override;
    void Choose() override;

    void BuildMenus();
    void BuildStatusBar();
    void ShowSplash();
    QAction* AddCommand(QMenu* menu, Command command, const char* text, const char* prompt,
                        const QKeySequence& keys = {});

    // Organ::Load inside the loading dialog.
    bool LoadOrgan(const std::string& fileName);
    // The whole organ back to its initial state: capture mode and the test
    // note off, every manual, enclosure, tremulant and divisional coupler
    // reset, every voice silent, the redirectable inputs on their first send
    // and the first registration frame.
    void ResetOrgan(bool redraw);
    bool AnyMidiInputOpen() const;
    // True when the key pressed is one of the window's accelerators; command
    // is then the command it runs.
    bool FindAccelerator(const QKeyEvent& key, Command& command) const;
    // title alone, or followed by the manual the redirectable input plays
    // (read under the action lock: a MIDI reset may retarget it meanwhile).
    QString RedirectPaneText(const char* title, int input);
    OrganState RecorderState() const { return {organ.loaded, active}; }

    // Commands.
    void OnLoadOrgan();
    void OnActivate();
    void OnDeactivate();
    void OnResetAll();
    void OnResetNotes();
    void OnPlayTestNote();
    void OnCaptureMode();
    void OnShowOrganDetails();
    void OnStartRecording();
    void OnStopRecording();
    void OnSystemSetup();
    void OnRecordingDirectory();
    void OnLoadCombinations();
    void OnSaveCombinations();
    void OnReloadDefaultCombinations();
    void OnReopenRecentOrgan();
    void OnReopenRecentCombinations();
    void OnHelpContents();
    void OnAbout();
    void RebuildRecentMenu(RecentKind kind);
    // Checks the display now and whenever the primary screen changes.
    void WatchDisplay();
    int RunDialog(QDialog& dialog);

    ShellDevices devices;
    ShellPrompts prompts;
    QtErrorSink* errorSink;

    QtConsoleView view;
    LoadingDialog loadingDialog;
    Organ organ;
    MidiInputSystem midi;
    ConsoleArtwork artwork;
    ConsoleWidget* console;  // owned by the window as its central widget
    AudioEngine engine;
    Recorder recorder;
    RecorderBlockHook recorderHook;
    SetupInfo setup;

    std::array<QAction*, kCommands> actions{};
    QMenu* recentOrgansMenu = nullptr;
    QMenu* recentCombinationsMenu = nullptr;
    std::array<QLabel*, kPanes> panes{};

    std::string programDirectory;
    std::string currentOrganPath;
    bool active = false;
    bool shutDown = false;
    bool artworkLoaded = false;
};

}  // namespace tessaline
