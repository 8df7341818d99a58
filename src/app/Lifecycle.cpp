// The organ's lifecycle and the commands of the main window.

#include <QMenu>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <fstream>

#include "app/MainWindow.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

namespace {

constexpr const char* kLoadAction = "Loading Tessaline organ.";
constexpr const char* kCloseAction = "Closing Tessaline organ.";
constexpr const char* kActivateAction = "Activating Tessaline.";
constexpr const char* kDeactivateAction = "Deactivating Tessaline.";
constexpr const char* kUpdateAction = "Updating Tessaline engine.";
constexpr const char* kReloadAction = "Reloading Tessaline organ.";
constexpr const char* kResetAction = "Resetting Tessaline.";

bool EndsWithOrganExtension(const std::string& path) {
    static constexpr std::string_view kExtension = ".organ";
    if (path.size() < kExtension.size()) return false;
    return std::equal(
        kExtension.begin(), kExtension.end(), path.end() - kExtension.size(),
        [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

}  // namespace

std::string OrganFileName(const std::string& path) {
    return EndsWithOrganExtension(path) ? path : path + ".organ";
}

bool MainWindow::LoadOrgan(const std::string& fileName) {
    loadingDialog.ClearQuitRequest();
    bool loaded = organ.Load(fileName);
    if (loadingDialog.IsRunning()) loadingDialog.Finish();
    if (loadingDialog.QuitRequested()) {
        // The player closed the window during the load: close it now.
        loadingDialog.ClearQuitRequest();
        QTimer::singleShot(0, this, &QWidget::close);
    }
    return loaded;
}

bool MainWindow::LoadOrganFromPath(const std::string& path) {
    if (organ.loaded && !CloseOrgan()) {
        ReportError("Could not close current organ.", kLoadAction);
        return false;
    }
    std::string fileName = OrganFileName(path);
    if (!std::ifstream(fileName).is_open()) {
        ReportError("Could not find the specified organ file %s.", kLoadAction, fileName.c_str());
        return false;
    }
    // The record read before this load sets its sample format and volume.
    organ.SetSetupInfo(setup);
    if (!LoadOrgan(fileName)) {
        ReportError("Could not load organ.", kLoadAction);
        return false;
    }
    currentOrganPath = path;
    recentCombinationsMenu->menuAction()->setEnabled(true);
    AddRecentOrgan(path);
    setup.Read(devices.settings, midi, engine.Stream());
    if (!UpdateEngine()) {
        ReportError("Could not load system information into the organ.", kLoadAction);
        return false;
    }
    ResetOrgan(true);
    if (!ActivateOrgan()) {
        ReportError("Failed to activate the organ.", kLoadAction);
        return false;
    }
    return true;
}

bool MainWindow::CloseOrgan() {
    if (active && !DeactivateOrgan()) {
        ReportError(
            "Could not close organ because audio and MIDI systems could not be deactivated.",
            kCloseAction);
        return false;
    }
    if (!organ.loaded) {
        ReportError("Could not close organ because no organ is currently loaded.", kCloseAction);
        return false;
    }
    if (!organ.Unload(false)) {
        ReportError("Organ could not be unloaded succesfully.", kCloseAction);
        return false;
    }
    recentCombinationsMenu->menuAction()->setEnabled(false);
    currentOrganPath.clear();
    return true;
}

bool MainWindow::ActivateOrgan() {
    if (active) {
        ReportError("Cannot activate organ because it is already active.", kActivateAction);
        return false;
    }
    if (!organ.loaded) {
        ReportError("Cannot activate organ until an organ is loaded properly.", kActivateAction);
        return false;
    }
    if (!engine.StartPlayback()) {
        ReportError("Cannot activate organ because audio playback failed to start.",
                    kActivateAction);
        return false;
    }
    if (!organ.OpenMidiInputs()) {
        ReportError(
            "Cannot activate organ because a required MIDI input device could not be opened.",
            kActivateAction);
        if (!engine.StopPlayback())
            ReportError("Could not stop audio system playback.", kActivateAction);
        return false;
    }
    active = true;
    return true;
}

bool MainWindow::DeactivateOrgan() {
    if (!active) {
        ReportError("Cannot deactivate organ because it is not currently active.",
                    kDeactivateAction);
        return false;
    }
    recorder.StopRecording(RecorderState());
    if (!engine.StopPlayback()) {
        ReportError(
            "Could not deactiveate organ because playback of the audio system could not be "
            "stopped.",
            kDeactivateAction);
        return false;
    }
    if (!organ.CloseMidiInputs()) {
        ReportError("Could not deactivate organ beacuse an open MIDI device failed to close.",
                    kDeactivateAction);
        return false;
    }
    active = false;
    return true;
}

bool MainWindow::UpdateEngine() {
    if (!organ.loaded) {
        ReportError("Cannot update the organ audio/MIDI system when no organ is loaded.",
                    kUpdateAction);
        return false;
    }
    if (engine.IsPlaying()) {
        ReportError("Cannot update audio system parameters while the audio system is active.",
                    kUpdateAction);
        return false;
    }
    if (AnyMidiInputOpen()) {
        ReportError("Cannot update the organ MIDI system whilst it is active.", kUpdateAction);
        return false;
    }
    if (!engine.SetParameters(setup.DSDevNumber, int64_t{setup.AudioBufferBlocks} * kBlockFrames)) {
        ReportError("Could not update audio system parameters.", kUpdateAction);
        return false;
    }
    // The setters' own failures are reported where they happen; the update
    // goes on, as a setup row naming a missing manual must not stop the rest.
    organ.AttachEngine(engine);
    organ.midiRouting.ApplySetup(setup);
    return true;
}

bool MainWindow::ShowSystemSetup() {
    setup.Read(devices.settings, midi, engine.Stream());
    setup.reloadRequired = false;
    if (!prompts.systemSetup || !prompts.systemSetup(this, setup)) return false;
    setup.Write(devices.settings, midi, engine.Stream());
    const bool wasActive = active;
    if (active) {
        ResetOrgan(true);
        if (!DeactivateOrgan()) {
            ReportError("Failed to deactivate audio/MIDI engine.", kReloadAction);
            return false;
        }
    }
    if (organ.loaded) {
        if (setup.reloadRequired) {
            if (!organ.Unload(false)) {
                ReportError("Could not unload current organ.", kReloadAction);
                return false;
            }
            organ.SetSetupInfo(setup);
            if (!LoadOrgan(OrganFileName(currentOrganPath))) {
                ReportError("Could not reload current organ.", kReloadAction);
                return false;
            }
        }
        if (!UpdateEngine()) {
            ReportError("Could not set system information for the organ.", kReloadAction);
            return false;
        }
        ResetOrgan(true);
    }
    if (wasActive && !ActivateOrgan()) {
        ReportError("Failed to reactivate audio/MIDI engine.", kReloadAction);
        return false;
    }
    return true;
}

void MainWindow::ShutDown(bool fromDestructor) {
    if (shutDown) return;
    if (active) DeactivateOrgan();
    organ.Unload(fromDestructor);
    if (fromDestructor) {
        shutDown = true;
        return;
    }
    shutDown = true;
    close();
}

void MainWindow::ResetOrgan(bool redraw) {
    if (!organ.loaded) return;
    organ.SetCaptureMode(false);
    {
        auto lock = organ.LockAction();
        organ.ResetActionLocked();
        organ.ResetEnclosures();
        organ.ResetTremulants();
        organ.SilenceAllVoices();
        organ.midiRouting.ResetRedirectableInputs();
        organ.frameNumber.store(0, std::memory_order_release);
    }
    if (redraw) view.RequestRedraw();
}

bool MainWindow::AnyMidiInputOpen() const {
    for (unsigned d = 0; d < midi.DeviceCount(); ++d)
        if (midi.IsOpen(d)) return true;
    return false;
}

void MainWindow::Run(Command command) {
    UpdateCommandStates();
    QAction* action = Action(command);
    if (action != nullptr && !action->isEnabled()) return;
    switch (command) {
        case Command::LoadOrgan:
            OnLoadOrgan();
            break;
        case Command::CloseOrgan:
            CloseOrgan();
            break;
        case Command::RecordingDirectory:
            OnRecordingDirectory();
            break;
        case Command::Exit:
            ShutDown(false);
            break;
        case Command::Activate:
            OnActivate();
            break;
        case Command::Deactivate:
            OnDeactivate();
            break;
        case Command::ResetAll:
            OnResetAll();
            break;
        case Command::ResetNotes:
            OnResetNotes();
            break;
        case Command::StartRecording:
            OnStartRecording();
            break;
        case Command::StopRecording:
            OnStopRecording();
            break;
        case Command::PlayTestNote:
            OnPlayTestNote();
            break;
        case Command::CaptureMode:
            OnCaptureMode();
            break;
        case Command::ShowOrganDetails:
            OnShowOrganDetails();
            break;
        case Command::SystemSetup:
            OnSystemSetup();
            break;
        case Command::LoadCombinations:
            OnLoadCombinations();
            break;
        case Command::SaveCombinations:
            OnSaveCombinations();
            break;
        case Command::ReloadDefaultCombinations:
            OnReloadDefaultCombinations();
            break;
        case Command::ReopenRecentOrgan:
            OnReopenRecentOrgan();
            break;
        case Command::ReopenRecentCombinations:
            OnReopenRecentCombinations();
            break;
        case Command::HelpContents:
            OnHelpContents();
            break;
        case Command::About:
            OnAbout();
            break;
    }
    UpdateCommandStates();
    UpdatePanes();
}

void MainWindow::OnLoadOrgan() {
    if (!prompts.chooseOrganFile) return;
    std::string initial = SetupInfo::ReadSettingString(devices.settings, "OrganLastPath");
    if (initial.empty()) initial = programDirectory + "/Organs";
    QString chosen = prompts.chooseOrganFile(this, QString::fromStdString(initial));
    if (chosen.isEmpty()) return;
    if (!LoadOrganFromPath(chosen.toStdString()))
        ReportError("Could not load and activate organ.", kLoadAction);
}

void MainWindow::OnActivate() {
    if (active)
        ReportError("Could not activate organ because it is already active.",
                    "Calling Tessaline activation.");
    else
        ActivateOrgan();
}

void MainWindow::OnDeactivate() {
    ResetOrgan(true);
    if (active)
        DeactivateOrgan();
    else
        ReportError("Could not deactivate organ because it is not currently active.",
                    "Calling Tessaline deactivation.");
}

void MainWindow::OnResetAll() {
    if (!organ.loaded) {
        ReportError("Could not reset organ because no organ is loaded.", kResetAction);
        return;
    }
    recorder.StopRecording(RecorderState());
    ResetOrgan(true);
}

void MainWindow::OnResetNotes() {
    if (!organ.loaded) {
        ReportError("Could not reset organ notes because no organ is loaded.", kResetAction);
        return;
    }
    organ.ResetNotes();
}

void MainWindow::OnPlayTestNote() {
    if (!organ.loaded || !active) return;
    {
        // The MIDI thread may let the test note go meanwhile (a reset).
        auto lock = organ.LockAction();
        organ.SetTestNoteLocked(!organ.testNoteOn);
    }
    view.RequestRedraw();
}

void MainWindow::OnCaptureMode() { organ.SetCaptureMode(!organ.captureMode.load()); }

void MainWindow::OnStartRecording() { recorder.StartRecording(RecorderState(), *this); }

void MainWindow::OnStopRecording() { recorder.StopRecording(RecorderState()); }

void MainWindow::OnSystemSetup() { ShowSystemSetup(); }

}  // namespace tessaline
