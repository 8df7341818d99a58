// The organ's lifecycle as the window drives it: loading activates, closing
// and failed loads return to no organ, the commands refuse the wrong state,
// the resets and the test note, recording, and the checks of start-up.

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include "ShellRig.h"

namespace tessaline {
namespace {

using Command = MainWindow::Command;
using Reports = std::vector<std::string>;
using test::OrganFileBuilder;
using test::ShellRig;

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override { rig.StartSetUp(); }
    MainWindow& Window() { return *rig.window; }
    bool Playing() { return Window().Stream().IsPlaying(); }
    bool MidiOpen() { return rig.ports.IsOpen(0); }
    // The last `count` reports.
    Reports Last(size_t count) {
        Reports all = rig.Reports();
        return all.size() < count ? all : Reports(all.end() - static_cast<long>(count), all.end());
    }

    ShellRig rig;
};

TEST_F(Lifecycle, LoadingActivatesAndAFailedSecondLoadLeavesNoOrgan) {
    std::string file = rig.WriteOrgan("Cathedral.organ", "St Mary");
    std::string path = file.substr(0, file.size() - 6);  // without ".organ"
    ASSERT_TRUE(Window().LoadOrganFromPath(path));
    EXPECT_TRUE(Window().IsActive());
    EXPECT_TRUE(Playing());
    EXPECT_TRUE(MidiOpen());
    EXPECT_EQ(Window().CurrentOrganPath(), path);
    EXPECT_EQ(Window().windowTitle().toStdString(), "Tessaline Console - St Mary");
    EXPECT_TRUE(Window().RecentCombinationsMenu()->menuAction()->isEnabled());
    EXPECT_EQ(OrganFileName("/o/Great.ORGAN"), "/o/Great.ORGAN");
    EXPECT_EQ(OrganFileName("/o/Great.Organ.bak"), "/o/Great.Organ.bak.organ");

    // The loaded organ is closed before the new file is looked for.
    std::string missing = rig.dir.File("Missing");
    EXPECT_FALSE(Window().LoadOrganFromPath(missing));
    EXPECT_FALSE(Window().IsLoaded());
    EXPECT_FALSE(Playing());
    EXPECT_FALSE(MidiOpen());
    EXPECT_EQ(Window().windowTitle().toStdString(), "Tessaline Console");
    EXPECT_FALSE(Window().RecentCombinationsMenu()->menuAction()->isEnabled());
    EXPECT_FALSE(Window().CloseOrgan());
    EXPECT_EQ(rig.Reports(),
              (Reports{"Could not find the specified organ file " + missing +
                           ".organ. | Loading Tessaline organ.",
                       "Could not close organ because no organ is currently loaded. | "
                       "Closing Tessaline organ."}));
}

TEST_F(Lifecycle, TheLoadCommandStartsInTheLastFolderAndSaysWhyALoadFailed) {
    Window().Run(Command::LoadOrgan);  // cancelled
    EXPECT_EQ(rig.chooserFolder, Window().ProgramDirectory() + "/Organs");
    rig.store.values["OrganLastPath"] = "/srv/organs";
    OrganFileBuilder broken = OrganFileBuilder::MinimalOrgan();
    broken.Set("Organ", "TessalineOrganFileFormatVersion", "1.22");
    rig.chosen = rig.dir.Write("Broken.organ", broken.Text());
    Window().Run(Command::LoadOrgan);
    EXPECT_EQ(rig.chooserFolder, "/srv/organs");
    EXPECT_EQ(rig.Reports(),
              (Reports{"The organ definition file requires a higher version of Tessaline.\n"
                       "Please upgrade Tessaline to the latest version in order to use the "
                       "organ. | Loading an organ.",
                       "Could not load organ. | Loading Tessaline organ.",
                       "Could not load and activate organ. | Loading Tessaline organ."}));
    EXPECT_FALSE(Window().IsLoaded());
}

TEST_F(Lifecycle, ActivationAndDeactivationRefuseTheWrongState) {
    EXPECT_FALSE(Window().ActivateOrgan());
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    EXPECT_FALSE(Window().UpdateEngine());  // not while the audio plays
    Window().Run(Command::Deactivate);
    EXPECT_FALSE(Playing());
    EXPECT_FALSE(MidiOpen());
    EXPECT_FALSE(Window().DeactivateOrgan());
    Window().Run(Command::Activate);
    EXPECT_TRUE(MidiOpen());
    ASSERT_EQ(rig.errors.Count(), 3u);
    EXPECT_EQ(rig.Reports()[0],
              "Cannot activate organ until an organ is loaded properly. | Activating Tessaline.");
}

TEST_F(Lifecycle, ADeviceFailingAtActivationLeavesTheOrganLoadedWithBothDevicesStopped) {
    const std::pair<std::function<void()>, const char*> faults[] = {
        {[this] { rig.ports.InjectFailure(0, VirtualMidiPorts::Operation::Open, "busy"); },
         "Cannot activate organ because a required MIDI input device could not be opened."},
        {[this] { rig.audio.faults.play = true; },
         "Cannot activate organ because audio playback failed to start."},
    };
    for (const auto& [inject, report] : faults) {
        SCOPED_TRACE(report);
        rig.ports.ClearFailures();
        rig.audio.faults.play = false;
        inject();
        EXPECT_FALSE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
        EXPECT_EQ(Last(2), (Reports{std::string(report) + " | Activating Tessaline.",
                                    "Failed to activate the organ. | Loading Tessaline organ."}));
        EXPECT_TRUE(Window().IsLoaded());
        EXPECT_FALSE(Window().IsActive());
        EXPECT_FALSE(Playing());
        EXPECT_FALSE(MidiOpen());
    }
}

TEST_F(Lifecycle, SetupReloadsTheOrganOnlyWhenTheSoundSettingsChanged) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    rig.setupChanges = [](SetupInfo& setup) {
        setup.AmplitudeLevel = 80;
        setup.reloadRequired = true;
    };
    size_t usedBefore = Window().GetOrgan().Samples().BytesUsed();
    ASSERT_TRUE(Window().ShowSystemSetup());
    EXPECT_EQ(rig.store.values.at("AmplitudeLevel"), "80");
    EXPECT_EQ(Window().GetOrgan().Setup().AmplitudeLevel, 80u);
    EXPECT_TRUE(Window().IsActive());
    EXPECT_EQ(Window().GetOrgan().pipesLoaded, 122u);
    EXPECT_EQ(Window().GetOrgan().Samples().BytesUsed(), usedBefore);

    rig.setupChanges = [](SetupInfo& setup) { setup.AudioBufferBlocks = 8; };
    ASSERT_TRUE(Window().ShowSystemSetup());
    EXPECT_TRUE(Window().IsActive());
    EXPECT_EQ(Window().Stream().BufferFrames(), 8 * 128);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST_F(Lifecycle, TheTestNoteAndTheResets) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    Organ& organ = Window().GetOrgan();
    const ManualKey& middleC = organ.manuals[1].keys[60 - 36];
    Window().Run(Command::PlayTestNote);
    EXPECT_EQ(middleC.directMask, 1u << kTestNoteSource);
    EXPECT_TRUE(Window().Action(Command::PlayTestNote)->isChecked());

    // Reset All lets every key go, ends capture mode and goes back to the
    // first frame; the organ plays on.
    Window().Run(Command::CaptureMode);
    organ.NextFrame();
    ASSERT_TRUE(rig.ports.Send(0, 0x91u | (61u << 8) | (100u << 16)));
    Window().Run(Command::ResetAll);
    EXPECT_FALSE(organ.captureMode.load());
    EXPECT_EQ(organ.frameNumber.load(), 0u);
    EXPECT_FALSE(Window().TestNoteOn());
    EXPECT_EQ(middleC.holds, 0u);
    EXPECT_EQ(organ.manuals[1].keys[61 - 36].holds, 0u);
    EXPECT_TRUE(Window().IsActive());

    // Deactivation lets the test note go, which then cannot sound.
    Window().Run(Command::PlayTestNote);
    Window().Run(Command::Deactivate);
    Window().Run(Command::PlayTestNote);
    EXPECT_FALSE(Window().TestNoteOn());
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST_F(Lifecycle, DeactivatingFinishesARecording) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    rig.store.values["OutputRecDir"] = "/rec";
    Window().Run(Command::StartRecording);
    ASSERT_TRUE(Window().GetRecorder().IsRecording());
    EXPECT_EQ(Window().PaneText(MainWindow::Pane::Rec).toStdString(), "Rec");
    EXPECT_FALSE(Window().Action(Command::StartRecording)->isEnabled());
    Window().Run(Command::Deactivate);
    EXPECT_FALSE(Window().GetRecorder().IsRecording());
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST(Startup, MissingDevicesOrAnUnreadableStoreEndStartUp) {
    // The port list reports its own trouble when it is made, then the
    // window's check speaks.
    ShellRig noMidi(0);
    EXPECT_FALSE(noMidi.Start());
    EXPECT_EQ(noMidi.Reports().back(),
              "No valid MIDI input devices were found on the system. | Initialising Tessaline.");
    ShellRig noAudio;
    noAudio.audio.faults.enumerate = true;
    EXPECT_FALSE(noAudio.Start());
    ShellRig noStore;
    noStore.store.failOpen = true;
    EXPECT_FALSE(noStore.Start());
    EXPECT_EQ(noStore.Reports().back(),
              "Could not obtain setup information. | Initialising Tessaline");
}

TEST(Startup, AFirstRunAsksForTheSetupUntilItIsConfirmed) {
    ShellRig rig;
    rig.setupAnswer = false;
    EXPECT_FALSE(rig.Start());
    EXPECT_EQ(rig.notices,
              (Reports{"Please set up the devices and settings for your audio and MIDI systems\n"
                       "on the following screen before using Tessaline.",
                       "The audio and MIDI systems were not set up. You will not be able to\n"
                       "run Tessaline until these settings have been set or confirmed."}));
    EXPECT_TRUE(rig.store.values.empty());
    rig.setupAnswer = true;
    rig.window.reset();
    ASSERT_TRUE(rig.Start());
    rig.window.reset();
    ASSERT_TRUE(rig.Start());  // confirmed: not asked again
    EXPECT_EQ(rig.setupRuns, 2);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

}  // namespace
}  // namespace tessaline
