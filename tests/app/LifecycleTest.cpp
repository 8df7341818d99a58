#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "ShellRig.h"
#include "organ/Stop.h"

namespace tessaline {
namespace {

using Command = MainWindow::Command;
using test::ShellRig;

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override { rig.StartSetUp(); }
    MainWindow& Window() { return *rig.window; }
    bool MidiOpen() { return rig.ports.IsOpen(0); }

    ShellRig rig;
};

TEST_F(Lifecycle, LoadingActivatesAndClosingReturnsToNoOrgan) {
    std::string file = rig.WriteOrgan("Cathedral.organ", "St Mary");
    std::string path = file.substr(0, file.size() - 6);  // without ".organ"
    ASSERT_TRUE(Window().LoadOrganFromPath(path));
    EXPECT_TRUE(Window().IsLoaded());
    EXPECT_TRUE(Window().IsActive());
    EXPECT_TRUE(Window().Stream().IsPlaying());
    EXPECT_TRUE(MidiOpen());
    EXPECT_EQ(Window().CurrentOrganPath(), path);
    EXPECT_EQ(Window().windowTitle().toStdString(), "Tessaline Console - St Mary");
    EXPECT_TRUE(Window().RecentCombinationsMenu()->menuAction()->isEnabled());
    EXPECT_EQ(Window().GetOrgan().pipesLoaded, 122u);
    EXPECT_FALSE(Window().Loading().isVisible());
    EXPECT_EQ(rig.errors.Count(), 0u);

    ASSERT_TRUE(Window().CloseOrgan());
    EXPECT_FALSE(Window().IsLoaded());
    EXPECT_FALSE(Window().IsActive());
    EXPECT_FALSE(Window().Stream().IsPlaying());
    EXPECT_FALSE(MidiOpen());
    EXPECT_EQ(Window().CurrentOrganPath(), "");
    EXPECT_EQ(Window().windowTitle().toStdString(), "Tessaline Console");
    EXPECT_EQ(Window().size(), QSize(792, 560));
    EXPECT_FALSE(Window().RecentCombinationsMenu()->menuAction()->isEnabled());

    EXPECT_FALSE(Window().CloseOrgan());
    EXPECT_EQ(rig.Reports(), (std::vector<std::string>{
                                 "Could not close organ because no organ is currently loaded. | "
                                 "Closing Tessaline organ."}));
}

TEST_F(Lifecycle, TheOrganExtensionIsAddedOnlyWhenMissing) {
    EXPECT_EQ(OrganFileName("/o/Great"), "/o/Great.organ");
    EXPECT_EQ(OrganFileName("/o/Great.organ"), "/o/Great.organ");
    EXPECT_EQ(OrganFileName("/o/Great.ORGAN"), "/o/Great.ORGAN");
    EXPECT_EQ(OrganFileName("/o/Great.Organ.bak"), "/o/Great.Organ.bak.organ");
    EXPECT_EQ(OrganFileName("organ"), "organ.organ");

    std::string upper = rig.WriteOrgan("Upper.ORGAN");
    ASSERT_TRUE(Window().LoadOrganFromPath(upper));
    EXPECT_EQ(Window().CurrentOrganPath(), upper);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST_F(Lifecycle, LoadingASecondOrganClosesTheFirstBeforeLookingForTheFile) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("First.organ", "First")));
    std::string missing = rig.dir.File("Missing");
    EXPECT_FALSE(Window().LoadOrganFromPath(missing));
    EXPECT_EQ(rig.Reports(),
              (std::vector<std::string>{"Could not find the specified organ file " + missing +
                                        ".organ. | Loading Tessaline organ."}));
    EXPECT_FALSE(Window().IsLoaded());
    EXPECT_FALSE(Window().Stream().IsPlaying());
    EXPECT_FALSE(MidiOpen());

    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("Second.organ", "Second")));
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("Third.organ", "Third")));
    EXPECT_EQ(Window().windowTitle().toStdString(), "Tessaline Console - Third");
    EXPECT_TRUE(Window().IsActive());
}

TEST_F(Lifecycle, AFailedLoadLeavesNoOrganAndSaysSoOutwards) {
    rig.chosenOrgan = rig.WriteBrokenOrgan("Broken.organ");
    Window().Run(Command::LoadOrgan);
    EXPECT_EQ(rig.Reports(),
              (std::vector<std::string>{
                  "The organ definition file requires a higher version of Tessaline.\n"
                  "Please upgrade Tessaline to the latest version in order to use the organ. | "
                  "Loading an organ.",
                  "Could not load organ. | Loading Tessaline organ.",
                  "Could not load and activate organ. | Loading Tessaline organ."}));
    EXPECT_FALSE(Window().IsLoaded());
    EXPECT_FALSE(Window().IsActive());
    EXPECT_EQ(Window().windowTitle().toStdString(), "Tessaline Console");
}

TEST_F(Lifecycle, TheLoadCommandStartsInTheLastFolderOrTheOrgansFolder) {
    rig.chosenOrgan = "";
    Window().Run(Command::LoadOrgan);
    EXPECT_EQ(rig.chooserFolder, Window().ProgramDirectory() + "/Organs");
    rig.store.values["OrganLastPath"] = "/srv/organs";
    Window().Run(Command::LoadOrgan);
    EXPECT_EQ(rig.chooserFolder, "/srv/organs");
    EXPECT_FALSE(Window().IsLoaded());
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST_F(Lifecycle, ActivationAndDeactivationRefuseTheWrongState) {
    EXPECT_FALSE(Window().ActivateOrgan());
    EXPECT_FALSE(Window().DeactivateOrgan());
    EXPECT_FALSE(Window().UpdateEngine());
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    EXPECT_FALSE(Window().ActivateOrgan());
    EXPECT_FALSE(Window().UpdateEngine());
    Window().Run(Command::Deactivate);
    EXPECT_FALSE(Window().IsActive());
    EXPECT_TRUE(Window().IsLoaded());
    EXPECT_FALSE(Window().Stream().IsPlaying());
    EXPECT_FALSE(MidiOpen());
    EXPECT_FALSE(Window().DeactivateOrgan());
    Window().Run(Command::Activate);
    EXPECT_TRUE(Window().IsActive());
    EXPECT_TRUE(MidiOpen());
    EXPECT_EQ(
        rig.Reports(),
        (std::vector<std::string>{
            "Cannot activate organ until an organ is loaded properly. | Activating Tessaline.",
            "Cannot deactivate organ because it is not currently active. | Deactivating Tessaline.",
            "Cannot update the organ audio/MIDI system when no organ is loaded. | Updating "
            "Tessaline engine.",
            "Cannot activate organ because it is already active. | Activating Tessaline.",
            "Cannot update audio system parameters while the audio system is active. | "
            "Updating Tessaline engine.",
            "Cannot deactivate organ because it is not currently active. | Deactivating "
            "Tessaline."}));
}

TEST_F(Lifecycle, AMidiPortThatWillNotOpenStopsTheAudioAgain) {
    rig.ports.InjectFailure(0, VirtualMidiPorts::Operation::Open, "the port is busy");
    EXPECT_FALSE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    std::vector<std::string> reports = rig.Reports();
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(reports[reports.size() - 2],
              "Cannot activate organ because a required MIDI input device could not be opened. | "
              "Activating Tessaline.");
    EXPECT_EQ(reports.back(), "Failed to activate the organ. | Loading Tessaline organ.");
    EXPECT_TRUE(Window().IsLoaded());
    EXPECT_FALSE(Window().IsActive());
    EXPECT_FALSE(Window().Stream().IsPlaying());
}

TEST_F(Lifecycle, AnAudioDeviceThatWillNotPlayLeavesTheOrganLoaded) {
    rig.audio.faults.play = true;
    EXPECT_FALSE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    std::vector<std::string> reports = rig.Reports();
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ(
        reports[reports.size() - 2],
        "Cannot activate organ because audio playback failed to start. | Activating Tessaline.");
    EXPECT_EQ(reports.back(), "Failed to activate the organ. | Loading Tessaline organ.");
    EXPECT_TRUE(Window().IsLoaded());
    EXPECT_FALSE(Window().IsActive());
    EXPECT_FALSE(MidiOpen());
}

TEST_F(Lifecycle, SetupReloadsTheOrganWhenTheSoundSettingsChanged) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    rig.setupChanges = [](SetupInfo& setup) {
        setup.AmplitudeLevel = 80;
        setup.reloadRequired = true;
    };
    const SampleMemory* before = &Window().GetOrgan().Samples();
    size_t usedBefore = before->BytesUsed();
    ASSERT_TRUE(Window().ShowSystemSetup());
    EXPECT_EQ(rig.store.values.at("AmplitudeLevel"), "80");
    EXPECT_EQ(Window().GetOrgan().Setup().AmplitudeLevel, 80u);
    EXPECT_TRUE(Window().IsActive());
    EXPECT_EQ(Window().GetOrgan().pipesLoaded, 122u);
    EXPECT_EQ(Window().GetOrgan().Samples().BytesUsed(), usedBefore);
    EXPECT_EQ(rig.errors.Count(), 0u);

    // Without a reload the organ stays loaded and comes back active.
    rig.setupChanges = [](SetupInfo& setup) { setup.AudioBufferBlocks = 8; };
    ASSERT_TRUE(Window().ShowSystemSetup());
    EXPECT_TRUE(Window().IsActive());
    EXPECT_EQ(Window().Stream().BufferFrames(), 8 * 128);
}

TEST_F(Lifecycle, SetupWithoutAnOrganOnlyWritesAndACancelWritesNothing) {
    rig.store.values.clear();
    rig.setupAnswer = false;
    rig.setupChanges = [](SetupInfo& setup) { setup.ControlChan = 9; };
    EXPECT_FALSE(Window().ShowSystemSetup());
    EXPECT_TRUE(rig.store.values.empty());
    rig.setupAnswer = true;
    EXPECT_TRUE(Window().ShowSystemSetup());
    EXPECT_EQ(rig.store.values.at("ControlChan"), "9");
    EXPECT_FALSE(Window().IsLoaded());
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST_F(Lifecycle, TheTestNoteSoundsOnlyWhileTheOrganIsActive) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    Manual& great = Window().GetOrgan().manuals[1];
    const size_t middleC = 60 - 36;
    Window().Run(Command::PlayTestNote);
    EXPECT_TRUE(Window().TestNoteOn());
    EXPECT_EQ(great.keys[middleC].directMask, 1u << kTestNoteSource);
    EXPECT_TRUE(Window().Action(Command::PlayTestNote)->isChecked());
    Window().Run(Command::PlayTestNote);
    EXPECT_FALSE(Window().TestNoteOn());
    EXPECT_EQ(great.keys[middleC].holds, 0u);

    Window().Run(Command::PlayTestNote);
    ASSERT_TRUE(Window().TestNoteOn());
    Window().Run(Command::Deactivate);  // the reset takes the note off
    EXPECT_FALSE(Window().TestNoteOn());
    Window().Run(Command::PlayTestNote);
    EXPECT_FALSE(Window().TestNoteOn());
    EXPECT_EQ(great.keys[middleC].holds, 0u);
}

TEST_F(Lifecycle, DeactivatingFinishesARecording) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    rig.store.values["OutputRecDir"] = "/rec";
    Window().Run(Command::StartRecording);
    ASSERT_TRUE(Window().GetRecorder().IsRecording());
    EXPECT_EQ(Window().PaneText(MainWindow::Pane::Rec).toStdString(), "Rec");
    EXPECT_FALSE(Window().Action(Command::StartRecording)->isEnabled());
    EXPECT_TRUE(Window().Action(Command::StopRecording)->isEnabled());
    Window().Run(Command::Deactivate);
    EXPECT_FALSE(Window().GetRecorder().IsRecording());
    EXPECT_EQ(Window().PaneText(MainWindow::Pane::Rec).toStdString(), "");
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST_F(Lifecycle, TheRecordingTakesEveryRenderedBlock) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    rig.store.values["OutputRecDir"] = "/rec";
    Window().Run(Command::StartRecording);
    ASSERT_TRUE(Window().GetRecorder().IsRecording());
    ASSERT_TRUE(rig.audio.Advance(1000));
    ASSERT_TRUE(rig.timers.Fire());
    ASSERT_TRUE(rig.audio.Advance(24));
    ASSERT_TRUE(rig.timers.Fire());
    Window().Run(Command::StopRecording);
    EXPECT_FALSE(Window().GetRecorder().IsRecording());
    // Four bytes a stereo frame, for each of the 1024 frames the device played.
    EXPECT_EQ(Window().GetRecorder().RecordedBytes(), 4096u);
    EXPECT_EQ(Window().GetRecorder().DroppedBlocks(), 0u);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST_F(Lifecycle, MidiFromTheOpenPortPlaysTheOrganUntilDeactivation) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    EXPECT_EQ(Window().GetOrgan().Engine(), &Window().Engine());
    Manual& great = Window().GetOrgan().manuals[1];
    const size_t middleC = 60 - 36;
    // The manual listens to the first manual path, on channel 2 by default.
    const uint32_t noteOn = 0x91u | (60u << 8) | (100u << 16);
    const uint32_t noteOff = 0x81u | (60u << 8);
    ASSERT_TRUE(rig.ports.Send(0, noteOn));
    EXPECT_EQ(great.keys[middleC].directHolds, 1u);
    ASSERT_TRUE(rig.ports.Send(0, noteOff));
    EXPECT_EQ(great.keys[middleC].holds, 0u);

    ASSERT_TRUE(rig.ports.Send(0, noteOn));
    Window().Run(Command::ResetAll);
    EXPECT_EQ(great.keys[middleC].holds, 0u);
    Window().Run(Command::Deactivate);
    EXPECT_FALSE(rig.ports.Send(0, noteOn));
    EXPECT_EQ(great.keys[middleC].holds, 0u);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST_F(Lifecycle, ResetAllEndsCaptureModeAndReturnsToTheFirstFrame) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    Organ& organ = Window().GetOrgan();
    Window().Run(Command::CaptureMode);
    EXPECT_TRUE(organ.captureMode.load());
    organ.NextFrame();
    EXPECT_EQ(organ.frameNumber.load(), 1u);
    Window().Run(Command::PlayTestNote);
    ASSERT_TRUE(Window().TestNoteOn());
    Window().Run(Command::ResetAll);
    EXPECT_FALSE(organ.captureMode.load());
    EXPECT_EQ(organ.frameNumber.load(), 0u);
    EXPECT_FALSE(Window().TestNoteOn());
    EXPECT_TRUE(Window().IsActive());
    Window().Run(Command::CaptureMode);
    Window().Run(Command::CaptureMode);
    EXPECT_FALSE(organ.captureMode.load());
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST_F(Lifecycle, CancellingTheLoadLeavesNoOrganAndTheSmallWindow) {
    std::string file = rig.WriteOrgan("A.organ");
    // The cancel comes while the dialog shows, before the first pipe.
    QTimer::singleShot(10, &Window(), [this] {
        if (Window().Loading().IsRunning()) Window().Loading().CancelButton()->click();
    });
    EXPECT_FALSE(Window().LoadOrganFromPath(file));
    std::vector<std::string> reports = rig.Reports();
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ(reports.front(),
              "Loading the organ has been cancelled by the user. | Loading an organ.");
    EXPECT_EQ(reports.back(), "Could not load organ. | Loading Tessaline organ.");
    EXPECT_FALSE(Window().IsLoaded());
    EXPECT_EQ(Window().size(), QSize(792, 560));
    EXPECT_EQ(Window().windowTitle().toStdString(), "Tessaline Console");
    EXPECT_FALSE(Window().Loading().IsRunning());
    EXPECT_EQ(Window().GetOrgan().pipesLoaded, 0u);
}

TEST_F(Lifecycle, ExitDeactivatesAndUnloads) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    Window().show();
    Window().Run(Command::Exit);
    EXPECT_FALSE(Window().IsActive());
    EXPECT_FALSE(Window().IsLoaded());
    EXPECT_FALSE(Window().Stream().IsPlaying());
    EXPECT_FALSE(MidiOpen());
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST(Startup, NoMidiPortEndsStartUpBeforeTheAudioCheck) {
    ShellRig rig(0);
    rig.audio.faults.enumerate = true;
    EXPECT_FALSE(rig.Start());
    // The port list and the audio device list report their own trouble when
    // they are made; of the window's checks only the MIDI one speaks.
    EXPECT_EQ(rig.Reports(),
              (std::vector<std::string>{
                  "There are no MIDI input devices on the system. | Initialising MIDI system.",
                  "Could not enumerate audio output devices. | Initialising audio system.",
                  "No valid MIDI input devices were found on the system. | "
                  "Initialising Tessaline."}));
}

TEST(Startup, NoAudioDeviceEndsStartUp) {
    ShellRig rig;
    rig.audio.faults.enumerate = true;
    EXPECT_FALSE(rig.Start());
    std::vector<std::string> reports = rig.Reports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(),
              "No valid audio output devices were found on the system. | Initialising Tessaline.");
}

TEST(Startup, AFirstRunAsksForTheSetupAndEndsWhenItIsRefused) {
    ShellRig rig;
    rig.setupAnswer = false;
    EXPECT_FALSE(rig.Start());
    EXPECT_EQ(rig.setupRuns, 1);
    EXPECT_EQ(rig.notices,
              (std::vector<std::string>{
                  "Please set up the devices and settings for your audio and MIDI systems\n"
                  "on the following screen before using Tessaline.",
                  "The audio and MIDI systems were not set up. You will not be able to\n"
                  "run Tessaline until these settings have been set or confirmed."}));
    EXPECT_TRUE(rig.store.values.empty());
}

TEST(Startup, ConfirmedSettingsAreNotAskedForAgain) {
    ShellRig rig;
    ASSERT_TRUE(rig.Start());
    EXPECT_EQ(rig.setupRuns, 1);
    EXPECT_EQ(rig.store.values.at("Manual0MIDIInDevDesc"), "Keyboard");
    rig.window.reset();
    rig.notices.clear();
    ASSERT_TRUE(rig.Start());
    EXPECT_EQ(rig.setupRuns, 1);
    EXPECT_TRUE(rig.notices.empty());
    EXPECT_TRUE(rig.window->Setup().setUp);
    EXPECT_EQ(rig.window->windowTitle().toStdString(), "Tessaline Console");
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST(Startup, ASettingsStoreThatCannotBeReadEndsStartUp) {
    ShellRig rig;
    rig.store.failOpen = true;
    EXPECT_FALSE(rig.Start());
    EXPECT_EQ(rig.Reports(),
              (std::vector<std::string>{
                  "Could not access settings store. | Reading Tessaline setup information.",
                  "Could not obtain setup information. | Initialising Tessaline"}));
}

}  // namespace
}  // namespace tessaline
