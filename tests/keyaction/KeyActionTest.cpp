#include <gtest/gtest.h>

#include <vector>

#include "keyaction/ActionRig.h"

namespace tessaline {
namespace {

constexpr int kGreat = 1;
constexpr int kSwell = 2;
constexpr int kChoir = 3;

// Holds, direct holds and the direct-source mask of a key, as one value.
std::vector<uint32_t> Holds(const ManualKey& key) { return {key.holds, key.directHolds, key.directMask}; }

// Two manuals, the Great coupled to the Swell at unison, passing nothing on.
class Coupled : public ::testing::Test {
protected:
    Coupled() { a.AddCoupler(kGreat, 1, kSwell, 0, "NNNNN"); }
    // Loads the organ, with the coupler engaged when asked.
    Organ& Load(bool engaged) {
        a.Load();
        if (engaged) a.rig.organ.CouplerOn(kGreat, 0);
        return a.rig.organ;
    }

    test::ActionRig a;
};

TEST_F(Coupled, AKeyHeldDirectlyAndThroughACouplerSoundsUntilTheLastHoldGoes) {
    Organ& organ = Load(true);
    organ.KeyDown(kGreat, 60, kGreat);
    organ.KeyDown(kSwell, 60, kSwell);
    EXPECT_EQ(a.Sounding(), "1:60 2:60");
    EXPECT_EQ(Holds(a.Key(kSwell, 60)), (std::vector<uint32_t>{2, 1, 1u << kSwell}));
    EXPECT_EQ(a.P(kSwell, 60).holdCount, 1u);  // one start for the key, however many holds
    organ.KeyUp(kGreat, 60, kGreat);
    EXPECT_EQ(a.Sounding(), "2:60");
    organ.KeyUp(kSwell, 60, kSwell);
    EXPECT_TRUE(a.AllQuiet());
}

TEST_F(Coupled, RefusedDirectPressesAndReleasesChangeNothingAndAreNotCoupled) {
    Organ& organ = Load(true);
    // A second note-on from the same input is ignored; one note-off releases.
    organ.KeyDown(kGreat, 60, kGreat);
    organ.KeyDown(kGreat, 60, kGreat);
    EXPECT_EQ(a.Key(kGreat, 60).holds, 1u);
    EXPECT_EQ(a.Key(kSwell, 60).holds, 1u);
    organ.KeyUp(kGreat, 60, kGreat);
    EXPECT_TRUE(a.AllQuiet());
    // A note-off from a source that never pressed is not passed on either.
    organ.KeyDown(kSwell, 62, kSwell);
    organ.KeyUp(kGreat, 62, kGreat);
    organ.KeyUp(kGreat, 62, kTestNoteSource);
    EXPECT_EQ(a.Key(kGreat, 62).holds, 0u);
    EXPECT_EQ(a.Key(kSwell, 62).holds, 1u);
    EXPECT_EQ(a.Sounding(), "2:62");
    // Notes outside the logical keys and source ids outside the mask.
    organ.KeyDown(kGreat, 35, kGreat);
    organ.KeyDown(kGreat, 97, kGreat);
    organ.KeyDown(kGreat, 60, 40);
    organ.KeyDown(kGreat, 60, -1);
    EXPECT_EQ(a.Sounding(), "2:62");
    // The same key from two sources sounds until both let go.
    organ.KeyDown(kGreat, 64, kGreat);
    organ.KeyDown(kGreat, 64, kRedirectableSourceA);
    organ.KeyUp(kGreat, 64, kGreat);
    EXPECT_EQ(a.Sounding(), "1:64 2:62,64");
    organ.KeyUp(kGreat, 64, kRedirectableSourceA);
    EXPECT_EQ(a.Sounding(), "2:62");
}

TEST(KeyAction, UnisonOffSilencesDirectHoldsButCouplersStillCarryThem) {
    test::ActionRig a;
    a.AddUnisonOff(kSwell, 1);
    a.AddCoupler(kSwell, 2, kSwell, 12, "NNNNN");  // Swell octave
    a.AddCoupler(kSwell, 3, kGreat, 0, "NNNNN");   // Swell to Great
    a.Load();
    Organ& organ = a.rig.organ;
    for (int c = 0; c < 3; ++c) organ.CouplerOn(kSwell, c);
    EXPECT_TRUE(a.M(kSwell).unisonOff);
    organ.KeyDown(kSwell, 60, kSwell);
    EXPECT_EQ(a.Sounding(), "1:60 2:72");  // only the hold that came through a coupler
    organ.KeyUp(kSwell, 60, kSwell);
    EXPECT_TRUE(a.AllQuiet());

    // Engaging unison off with keys held silences the directly held ones at
    // once, not a key also held through the octave coupler; disengaging
    // sounds them again, each pipe started once.
    organ.CouplerOff(kSwell, 0);
    EXPECT_FALSE(a.M(kSwell).unisonOff);
    organ.KeyDown(kSwell, 48, kSwell);
    organ.KeyDown(kSwell, 60, kSwell);
    EXPECT_EQ(a.Sounding(), "1:48,60 2:48,60,72");
    organ.CouplerOn(kSwell, 0);
    EXPECT_EQ(a.Sounding(), "1:48,60 2:60,72");
    organ.CouplerOff(kSwell, 0);
    EXPECT_EQ(a.Sounding(), "1:48,60 2:48,60,72");
    EXPECT_EQ(a.P(kSwell, 48).holdCount, 1u);
    EXPECT_EQ(a.P(kSwell, 60).holdCount, 1u);
    organ.KeyUp(kSwell, 48, kSwell);
    organ.KeyUp(kSwell, 60, kSwell);
    EXPECT_TRUE(a.AllQuiet());
}

TEST_F(Coupled, DrawingAndRetiringWithKeysHeld) {
    Organ& organ = Load(false);
    // A stop drawn while keys are held speaks for them at once, once.
    organ.StopOff(kSwell, 0);
    organ.KeyDown(kSwell, 60, kSwell);
    organ.KeyDown(kSwell, 64, kSwell);
    EXPECT_EQ(a.Sounding(), "");
    organ.StopOn(kSwell, 0);
    organ.StopOn(kSwell, 0);
    EXPECT_EQ(a.Sounding(), "2:60,64");
    EXPECT_EQ(a.P(kSwell, 60).holdCount, 1u);
    organ.StopToggle(kSwell, 0);
    EXPECT_FALSE(a.M(kSwell).GetStop(0)->Engaged());
    EXPECT_EQ(a.Sounding(), "");
    EXPECT_EQ(a.P(kSwell, 60).holdCount, 0u);
    organ.StopToggle(kSwell, 0);
    organ.KeyUp(kSwell, 64, kSwell);

    // A key held twice with permission to pass presses the destination
    // twice when the coupler is drawn; it falls silent after both go.
    organ.KeyDown(kGreat, 60, kGreat);
    organ.SetTestNote(true);
    organ.KeyUp(kSwell, 60, kSwell);
    EXPECT_EQ(a.Sounding(), "1:60");
    organ.CouplerOn(kGreat, 0);
    EXPECT_EQ(a.Key(kSwell, 60).holds, 2u);
    organ.KeyUp(kGreat, 60, kGreat);
    EXPECT_EQ(a.Sounding(), "1:60 2:60");
    organ.SetTestNote(false);
    EXPECT_FALSE(organ.testNoteOn);
    EXPECT_TRUE(a.AllQuiet());

    // Retiring a coupler releases what it carried, but a key held on the
    // destination by another path sounds on.
    organ.KeyDown(kGreat, 62, kGreat);
    organ.KeyDown(kGreat, 65, kGreat);
    organ.KeyDown(kSwell, 65, kSwell);
    organ.CouplerToggle(kGreat, 0);
    EXPECT_FALSE(a.M(kGreat).couplers[0].Engaged());
    EXPECT_EQ(a.Sounding(), "1:62,65 2:65");
    EXPECT_EQ(a.Key(kSwell, 65).holds, 1u);
}

TEST(KeyAction, CoupleToSubsequentFlagsChainCouplersAndWithoutThemAChainStopsAfterOne) {
    test::ActionRig a(3);
    a.AddCoupler(kGreat, 1, kSwell, 0, "NNNYN");   // Great to Swell, on through Swell octaves
    a.AddCoupler(kSwell, 2, kSwell, 12, "NNNYN");  // Swell octave, feeding itself
    a.AddCoupler(kChoir, 3, kGreat, 0, "NNNNN");   // Choir to Great, one step only
    a.Load();
    Organ& organ = a.rig.organ;
    for (int m : {kGreat, kSwell, kChoir}) organ.CouplerOn(m, 0);
    // Unison and every octave above while it is a key of the Swell.
    organ.KeyDown(kGreat, 60, kGreat);
    EXPECT_EQ(a.Sounding(), "1:60 2:60,72,84,96");
    organ.KeyUp(kGreat, 60, kGreat);
    // The top keys of an octave coupler reach nothing.
    organ.KeyDown(kSwell, 90, kSwell);
    EXPECT_EQ(a.Sounding(), "2:90");
    organ.KeyUp(kSwell, 90, kSwell);
    // One step only: the Choir reaches the Great but not the Swell.
    organ.KeyDown(kChoir, 50, kChoir);
    EXPECT_EQ(a.Sounding(), "1:50 3:50");
    organ.KeyUp(kChoir, 50, kChoir);
    EXPECT_TRUE(a.AllQuiet());
    // Drawing the octave with the key held builds the same chain, one hold
    // on each key; retiring it releases the whole chain.
    organ.CouplerOff(kSwell, 0);
    organ.KeyDown(kSwell, 48, kSwell);
    organ.CouplerOn(kSwell, 0);
    EXPECT_EQ(a.Sounding(), "2:48,60,72,84,96");
    for (int note : {48, 60, 72, 84, 96}) EXPECT_EQ(a.Key(kSwell, note).holds, 1u) << note;
    organ.CouplerOff(kSwell, 0);
    EXPECT_EQ(a.Sounding(), "2:48");
    organ.KeyUp(kSwell, 48, kSwell);
    EXPECT_TRUE(a.AllQuiet());

    test::ActionRig b;
    b.AddCoupler(kGreat, 1, kSwell, 0, "NNNNN");
    b.AddCoupler(kSwell, 2, kSwell, 12, "NNNNN");
    b.AddCoupler(kSwell, 3, kSwell, 0, "YYYYY");  // intramanual unison: never sounds
    b.Load();
    b.rig.organ.CouplerOn(kGreat, 0);
    b.rig.organ.CouplerOn(kSwell, 0);
    b.rig.organ.CouplerOn(kSwell, 1);
    b.rig.organ.KeyDown(kGreat, 60, kGreat);
    EXPECT_EQ(b.Sounding(), "1:60 2:60");
    EXPECT_EQ(b.Key(kSwell, 60).holds, 1u);
    b.rig.organ.KeyDown(kSwell, 40, kSwell);
    EXPECT_EQ(b.Sounding(), "1:60 2:40,52,60");
    EXPECT_EQ(b.Key(kSwell, 40).holds, 1u);
}

TEST(KeyAction, HiddenManualsSoundOnlyThroughCouplers) {
    test::ActionRig a;
    a.organ.Set("Manual001", "Displayed", "N");
    a.AddCoupler(kSwell, 1, kGreat, 0, "NNNNN");
    a.Load();
    Organ& organ = a.rig.organ;
    organ.CouplerOn(kSwell, 0);
    organ.KeyDown(kGreat, 60, kGreat);
    organ.KeyDown(kGreat, 61, kRedirectableSourceB);
    organ.SetTestNote(true);
    EXPECT_EQ(a.Sounding(), "");
    EXPECT_EQ(a.Key(kGreat, 60).holds, 0u);
    organ.KeyDown(kSwell, 60, kSwell);
    EXPECT_EQ(a.Sounding(), "1:60 2:60");
    EXPECT_EQ(a.M(kGreat).HeldState(60 - test::kRigFirstNote), KeyHeld::ThroughCouplers);
    EXPECT_EQ(a.M(kSwell).HeldState(60 - test::kRigFirstNote), KeyHeld::Directly);
    // Releasing the refused test note takes nothing the coupler placed.
    organ.SetTestNote(false);
    EXPECT_EQ(a.Sounding(), "1:60 2:60");
}

TEST(KeyAction, TheTestNoteHoldsMiddleCOfTheFirstManual) {
    test::ActionRig a;
    a.organ.Set("Manual001", "FirstAccessibleKeyMIDINoteNumber", "61");  // 60 is out of reach
    a.Load();
    a.rig.organ.SetTestNote(true);
    EXPECT_TRUE(a.rig.organ.testNoteOn);
    EXPECT_EQ(a.M(kGreat).keys[0].holds, 0u);
    EXPECT_TRUE(a.AllQuiet());

    test::ActionRig b;
    b.Load();
    b.rig.organ.SetTestNote(true);
    b.rig.organ.SetTestNote(true);
    EXPECT_EQ(b.Key(kGreat, 60).directMask, 1u << kTestNoteSource);
    EXPECT_EQ(b.Sounding(), "1:60");
    // Resetting the first manual's notes lets the test note go too.
    b.rig.organ.ResetNotes();
    EXPECT_FALSE(b.rig.organ.testNoteOn);
    EXPECT_TRUE(b.AllQuiet());
}

TEST_F(Coupled, ResettingNotesCutsWithoutReleaseAndKeepsDrawstops) {
    Organ& organ = Load(true);
    organ.KeyDown(kGreat, 60, kGreat);
    organ.KeyDown(kGreat, 64, kGreat);
    ASSERT_EQ(a.voices.CountInUse(), 4);
    PipeVoice* voice = a.P(kGreat, 60).voice;
    organ.ResetNotes();
    EXPECT_TRUE(a.AllQuiet());
    EXPECT_EQ(a.voices.CountInUse(), 0);  // cut, not released: no tail keeps a voice
    EXPECT_FALSE(voice->inUse.load());
    EXPECT_TRUE(a.M(kGreat).GetStop(0)->Engaged() && a.M(kGreat).couplers[0].Engaged());
    organ.KeyDown(kGreat, 60, kGreat);
    EXPECT_EQ(a.Sounding(), "1:60 2:60");
}

TEST(KeyAction, AReleaseOnAResetManualNeverTakesHoldsBelowZero) {
    test::ActionRig a(3);
    a.AddCoupler(kGreat, 1, kSwell, 0, "YNNNN");
    a.AddCoupler(kSwell, 2, kChoir, 0, "NNNNN");
    a.Load();
    Organ& organ = a.rig.organ;
    organ.CouplerOn(kGreat, 0);
    organ.CouplerOn(kSwell, 0);
    organ.KeyDown(kGreat, 60, kGreat);
    EXPECT_EQ(a.Sounding(), "1:60 2:60 3:60");
    {
        auto lock = organ.LockAction();
        a.M(kSwell).ResetNotes();
    }
    EXPECT_EQ(a.Sounding(), "1:60 3:60");  // holds placed elsewhere stay
    organ.KeyUp(kGreat, 60, kGreat);
    const ManualKey& swell = a.Key(kSwell, 60);
    EXPECT_EQ(Holds(swell), (std::vector<uint32_t>{0, 0, 0}));
    for (uint32_t pass : swell.passHolds) EXPECT_EQ(pass, 0u);
    // The release still passed on, so nothing is left hanging on the Choir.
    EXPECT_TRUE(a.AllQuiet());
    organ.KeyDown(kGreat, 60, kGreat);
    EXPECT_EQ(a.Key(kSwell, 60).holds, 1u);
}

TEST(KeyAction, AResetReturnsDrawstopsToTheirDefaultsAndUnisonOffFollowsItsCoupler) {
    test::ActionRig a;
    a.AddUnisonOff(kSwell, 1);
    a.AddCoupler(kSwell, 2, kGreat, 0, "NNNNN");
    for (const char* section : {"Coupler001", "Coupler002", "Stop001"})
        a.organ.Set(section, "DefaultToEngaged", "Y");
    a.Load();
    Organ& organ = a.rig.organ;
    organ.StopOff(kGreat, 0);
    organ.StopOff(kSwell, 0);
    organ.CouplerOff(kSwell, 0);
    organ.KeyDown(kSwell, 60, kSwell);
    organ.ResetAction();
    EXPECT_TRUE(a.AllQuiet());
    EXPECT_TRUE(a.M(kGreat).GetStop(0)->Engaged());
    EXPECT_FALSE(a.M(kSwell).GetStop(0)->Engaged());
    EXPECT_TRUE(a.M(kSwell).couplers[0].Engaged());
    EXPECT_TRUE(a.M(kSwell).unisonOff);
    // With unison off engaged from the reset, a direct hold does not sound
    // the Swell, and disengaging it starts the pipe exactly once.
    organ.StopOn(kSwell, 0);
    organ.KeyDown(kSwell, 60, kSwell);
    EXPECT_EQ(a.Sounding(), "1:60");
    organ.CouplerOff(kSwell, 0);
    EXPECT_EQ(a.P(kSwell, 60).holdCount, 1u);
    organ.KeyUp(kSwell, 60, kSwell);
    EXPECT_TRUE(a.AllQuiet());
}

TEST_F(Coupled, KeysRedrawOnlyWhenTheirHeldStateChanges) {
    Organ& organ = Load(true);
    FixedMetricsConsoleView& view = a.rig.view;
    int before = view.keyRedraws;
    organ.KeyDown(kGreat, 60, kGreat);  // Great directly, Swell through the coupler
    EXPECT_EQ(view.keyRedraws, before + 2);
    organ.KeyDown(kSwell, 60, kSwell);  // Swell now directly as well
    EXPECT_EQ(view.keyRedraws, before + 3);
    EXPECT_EQ(view.lastKeyRedraw, (std::pair<int, int>{kSwell, 24}));
    organ.KeyDown(kGreat, 60, kRedirectableSourceA);  // both keys still held directly
    organ.KeyUp(kGreat, 60, kRedirectableSourceA);
    EXPECT_EQ(view.keyRedraws, before + 3);
    organ.KeyUp(kSwell, 60, kSwell);  // back to held through the coupler only
    EXPECT_EQ(view.keyRedraws, before + 4);
    EXPECT_EQ(a.M(kSwell).HeldState(24), KeyHeld::ThroughCouplers);

    int controls = view.controlRedraws;
    organ.StopToggle(kSwell, 0);
    organ.StopOff(kSwell, 0);
    EXPECT_EQ(view.controlRedraws, controls + 1);
    EXPECT_EQ(view.lastControlRedraw, a.M(kSwell).GetStop(0));
}

TEST_F(Coupled, StopControlNotesDrawAndRetireEveryDrawstopWithThatNumber) {
    a.organ.Set("Organ", "NumberOfDivisionalCouplers", "1");
    test::SetDrawstopKeys(a.organ, "DivisionalCoupler001", "Div", 3, 1);
    a.organ.Set("DivisionalCoupler001", "NumberOfManuals", "2");
    a.organ.Set("DivisionalCoupler001", "Manual001", "1");
    a.organ.Set("DivisionalCoupler001", "Manual002", "2");
    a.organ.Set("DivisionalCoupler001", "BiDirectionalCoupling", "N");
    for (const char* section : {"Stop001", "Stop002", "Coupler001", "DivisionalCoupler001"})
        a.organ.Set(section, "StopControlMIDIKeyNumber", "40");
    Organ& organ = Load(false);
    organ.StopOff(kGreat, 0);
    organ.StopOff(kSwell, 0);
    organ.KeyDown(kGreat, 60, kGreat);
    organ.StopControl(41, true);
    organ.StopControl(-1, true);
    EXPECT_EQ(a.Sounding(), "");
    organ.StopControl(40, true);
    EXPECT_TRUE(a.M(kGreat).couplers[0].Engaged());
    EXPECT_TRUE(organ.divisionalCouplers[0].Engaged());
    EXPECT_EQ(a.Sounding(), "1:60 2:60");
    organ.StopControl(40, false);
    EXPECT_EQ(a.Sounding(), "");
    EXPECT_FALSE(organ.divisionalCouplers[0].Engaged());
    EXPECT_EQ(a.Key(kSwell, 60).holds, 0u);
}

TEST(KeyAction, TremulantsAnswerStopControlAndTheirManualsEntries) {
    test::ActionRig a;
    a.organ.Set("Organ", "NumberOfTremulants", "2");
    a.organ.Set("WindchestGroup001", "NumberOfEnclosures", "0");
    a.organ.Set("WindchestGroup001", "NumberOfTremulants", "0");
    test::SetTremulant(a.organ, 1);
    test::SetTremulant(a.organ, 2);
    a.organ.Set("Tremulant002", "StopControlMIDIKeyNumber", "45");
    a.organ.Set("Manual002", "NumberOfTremulants", "1");
    a.organ.Set("Manual002", "Tremulant001", "2");
    a.Load();
    Organ& organ = a.rig.organ;
    const Drawstop& second = organ.Tremulants()[1].drawstop;
    organ.StopControl(45, true);
    EXPECT_TRUE(second.Engaged());
    EXPECT_FALSE(organ.Tremulants()[0].drawstop.Engaged());
    organ.StopControl(45, false);
    EXPECT_FALSE(second.Engaged());
    {
        auto lock = organ.LockAction();
        a.M(kSwell).TremulantOn(0);
        EXPECT_TRUE(second.Engaged());
        a.M(kSwell).TremulantOff(1);  // no second entry
        EXPECT_TRUE(second.Engaged());
        a.M(kSwell).TremulantOff(0);
    }
    EXPECT_FALSE(second.Engaged());
}

TEST(KeyAction, CallsOnAnOrganOrManualThatIsNotLoadedDoNothing) {
    test::ActionRig a;
    Organ& organ = a.rig.organ;
    organ.KeyDown(1, 60, 1);
    organ.StopOn(1, 0);
    organ.CouplerToggle(1, 0);
    organ.DivisionalCouplerToggle(0);
    organ.SetTestNote(true);
    organ.ResetAction();
    EXPECT_EQ(organ.ManualAt(1), nullptr);
    a.Load();
    EXPECT_EQ(organ.ManualAt(0), nullptr);  // no pedal
    EXPECT_EQ(organ.ManualAt(3), nullptr);
    organ.StopOn(kGreat, 1);
    organ.StopOn(kGreat, -1);
    organ.CouplerOn(kGreat, 0);
    organ.KeyDown(kGreat, 60, kGreat);
    EXPECT_EQ(a.Sounding(), "1:60");
}

TEST_F(Coupled, ConsoleClicksAndShortcutKeysActThroughTheKeyAction) {
    a.organ.Set("Coupler001", "ShortcutKey", "65");
    Organ& organ = Load(false);
    organ.KeyDown(kGreat, 60, kGreat);
    organ.OnKeyDown(65);
    EXPECT_EQ(a.Sounding(), "1:60 2:60");
    const ControlRect& frame = a.M(kSwell).GetStop(0)->frame;
    organ.OnLeftButtonDown((frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2);
    EXPECT_FALSE(a.M(kSwell).GetStop(0)->Engaged());
    EXPECT_EQ(a.Sounding(), "1:60");
    organ.OnKeyDown(65);
    EXPECT_EQ(a.Key(kSwell, 60).holds, 0u);
}

}  // namespace
}  // namespace tessaline
