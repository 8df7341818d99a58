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
    // The recording folder chooser; empty when cancelled.
    std::function<QString(QWidget* owner)> chooseRecordingDirectory;
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
    // Keeps the keys of greyed commands from the console (see the source).
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
    // True when the key pressed is one of the window's accelerators.
    bool IsAccelerator(const QKeyEvent& key) const;
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
