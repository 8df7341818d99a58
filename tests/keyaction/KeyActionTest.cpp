#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "keyaction/ActionRig.h"

namespace tessaline {
namespace {

constexpr int kGreat = 1;
constexpr int kSwell = 2;
constexpr int kChoir = 3;

// Holds, direct holds and the direct-source mask of a key, as one value.
std::vector<uint32_t> Holds(const ManualKey& key) { return {key.holds, key.directHolds, key.directMask}; }

struct Coupling {
    int owner, destination, keyshift;
    const char* subsequent;  // nullptr: a unison off coupler
};

// Three manuals with the couplings added, loaded, every coupler drawn.
void LoadCoupled(test::ActionRig& a, const std::vector<Coupling>& couplings) {
    int n = 0;
    for (const Coupling& c : couplings) a.AddCoupler(c.owner, ++n, c.destination, c.keyshift, c.subsequent);
    a.Load();
    int listed[kMaxManuals] = {};
    for (const Coupling& c : couplings) a.rig.organ.CouplerOn(c.owner, listed[c.owner]++);
}

TEST(KeyAction, CouplersCarryAKeyAsTheirKindsAndFlagsAllow) {
    struct Case {
        const char* what;
        std::vector<Coupling> couplings;
        int manual, note;
        std::string sounding;
        bool greatHidden = false;
    };
    const std::vector<Coupling> chain = {{kGreat, kSwell, 0, "NNNYN"}, {kSwell, kSwell, 12, "NNNYN"}};
    const std::vector<Coupling> noFlags = {{kGreat, kSwell, 0, "NNNNN"}, {kSwell, kSwell, 12, "NNNNN"}};
    const Case cases[] = {
        {"unison", {{kGreat, kSwell, 0, "NNNNN"}}, kGreat, 60, "1:60 2:60"},
        {"two octaves down", {{kGreat, kSwell, -24, "NNNNN"}}, kGreat, 60, "1:60 2:36"},
        {"below the keyboard", {{kGreat, kSwell, -24, "NNNNN"}}, kGreat, 59, "1:59"},
        {"an octave feeding itself", chain, kGreat, 60, "1:60 2:60,72,84,96"},
        {"above the keyboard", chain, kSwell, 90, "2:90"},
        {"no flag: one step", noFlags, kGreat, 60, "1:60 2:60"},
        {"no flag: the octave alone", noFlags, kSwell, 40, "2:40,52"},
        {"intramanual unison", {{kSwell, kSwell, 0, "YYYYY"}}, kSwell, 40, "2:40"},
        {"unison passed to unison",
         {{kGreat, kSwell, 0, "YNNNN"}, {kSwell, kChoir, 0, "NNNNN"}}, kGreat, 60, "1:60 2:60 3:60"},
        {"upward only, not unison",
         {{kGreat, kSwell, 0, "NYNNN"}, {kSwell, kChoir, 0, "NNNNN"}}, kGreat, 60, "1:60 2:60"},
        {"one step only",
         {{kChoir, kGreat, 0, "NNNNN"}, {kGreat, kSwell, 0, "NNNNN"}}, kChoir, 50, "1:50 3:50"},
        // Unison off silences the direct hold only.
        {"unison off",
         {{kSwell, 0, 0, nullptr}, {kSwell, kSwell, 12, "NNNNN"}, {kSwell, kGreat, 0, "NNNNN"}},
         kSwell, 60, "1:60 2:72"},
        // A hidden manual sounds only through couplers.
        {"hidden, played", {{kSwell, kGreat, 0, "NNNNN"}}, kGreat, 60, "", true},
        {"hidden, coupled", {{kSwell, kGreat, 0, "NNNNN"}}, kSwell, 60, "1:60 2:60", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::ActionRig a(3);
        if (c.greatHidden) a.organ.Set("Manual001", "Displayed", "N");
        LoadCoupled(a, c.couplings);
        Organ& organ = a.rig.organ;
        organ.KeyDown(c.manual, c.note, c.manual);
        EXPECT_EQ(a.Sounding(), c.sounding);
        // Retiring every coupler leaves the key alone; drawing them again
        // with the key held sounds what they carry, however far.
        for (int m = 1; m <= 3; ++m)
            for (int i = 0; i < a.M(m).numberOfCouplers; ++i) organ.CouplerOff(m, i);
        bool direct = !(c.greatHidden && c.manual == kGreat);
        EXPECT_EQ(a.Sounding(), direct ? std::to_string(c.manual) + ":" + std::to_string(c.note) : "");
        for (int m = 1; m <= 3; ++m)
            for (int i = 0; i < a.M(m).numberOfCouplers; ++i) organ.CouplerOn(m, i);
        EXPECT_EQ(a.Sounding(), c.sounding);
        organ.KeyUp(c.manual, c.note, c.manual);
        EXPECT_TRUE(a.AllQuiet());
    }
}

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

TEST_F(Coupled, AKeySoundsUntilItsLastHoldGoesAndRefusedPressesChangeNothing) {
    Organ& organ = Load(true);
    // A second note-on from the same input is ignored; one note-off releases.
    organ.KeyDown(kGreat, 60, kGreat);
    organ.KeyDown(kGreat, 60, kGreat);
    organ.KeyDown(kSwell, 60, kSwell);
    EXPECT_EQ(Holds(a.Key(kSwell, 60)), (std::vector<uint32_t>{2, 1, 1u << kSwell}));
    EXPECT_EQ(a.P(kSwell, 60).holdCount, 1u);  // one start for the key, however many holds
    organ.KeyUp(kGreat, 60, kGreat);
    EXPECT_EQ(a.Sounding(), "2:60");
    organ.KeyUp(kSwell, 60, kSwell);
    EXPECT_TRUE(a.AllQuiet());
    // A note-off from a source that never pressed is not passed on either.
    organ.KeyDown(kSwell, 62, kSwell);
    organ.KeyUp(kGreat, 62, kGreat);
    EXPECT_EQ(a.Key(kSwell, 62).holds, 1u);
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

TEST_F(Coupled, DrawingAndRetiringWithKeysHeld) {
    Organ& organ = Load(false);
    // A stop drawn while keys are held speaks for them at once, once.
    organ.StopOff(kSwell, 0);
    organ.KeyDown(kSwell, 60, kSwell);
    organ.KeyDown(kSwell, 64, kSwell);
    organ.StopOn(kSwell, 0);
    organ.StopOn(kSwell, 0);
    EXPECT_EQ(a.Sounding(), "2:60,64");
    EXPECT_EQ(a.P(kSwell, 60).holdCount, 1u);
    organ.StopToggle(kSwell, 0);
    EXPECT_EQ(a.Sounding(), "");
    organ.StopToggle(kSwell, 0);
    organ.KeyUp(kSwell, 64, kSwell);

    // A key held twice presses the destination twice when the coupler is
    // drawn; it falls silent after both go.
    organ.KeyDown(kGreat, 60, kGreat);
    organ.SetTestNote(true);
    organ.KeyUp(kSwell, 60, kSwell);
    organ.CouplerOn(kGreat, 0);
    EXPECT_EQ(a.Key(kSwell, 60).holds, 2u);
    organ.KeyUp(kGreat, 60, kGreat);
    EXPECT_EQ(a.Sounding(), "1:60 2:60");
    organ.SetTestNote(false);
    EXPECT_TRUE(a.AllQuiet());

    // Retiring a coupler releases what it carried, but a key held on the
    // destination by another path sounds on.
    organ.KeyDown(kGreat, 62, kGreat);
    organ.KeyDown(kGreat, 65, kGreat);
    organ.KeyDown(kSwell, 65, kSwell);
    organ.CouplerToggle(kGreat, 0);
    EXPECT_EQ(a.Sounding(), "1:62,65 2:65");
    EXPECT_EQ(a.Key(kSwell, 65).holds, 1u);
}

TEST_F(Coupled, ResettingNotesCutsWithoutReleaseLetsTheTestNoteGoAndKeepsDrawstops) {
    Organ& organ = Load(true);
    organ.KeyDown(kGreat, 60, kGreat);
    organ.KeyDown(kGreat, 64, kGreat);
    organ.ResetNotes();
    EXPECT_TRUE(a.AllQuiet());
    EXPECT_EQ(organ.Voices().CountInUse(), 0);  // cut, not released: no tail keeps a voice
    organ.SetTestNote(true);  // middle C of the first manual
    organ.SetTestNote(true);
    EXPECT_EQ(a.Key(kGreat, 60).directMask, 1u << kTestNoteSource);
    EXPECT_EQ(a.Sounding(), "1:60 2:60");
    organ.ResetNotes();
    EXPECT_FALSE(organ.testNoteOn);
    EXPECT_TRUE(a.AllQuiet());
}

TEST(KeyAction, AReleaseOnAResetManualNeverTakesHoldsBelowZero) {
    test::ActionRig a(3);
    LoadCoupled(a, {{kGreat, kSwell, 0, "YNNNN"}, {kSwell, kChoir, 0, "NNNNN"}});
    Organ& organ = a.rig.organ;
    organ.KeyDown(kGreat, 60, kGreat);
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
    a.AddCoupler(kSwell, 1, 0, 0, nullptr);
    a.AddCoupler(kSwell, 2, kGreat, 0, "NNNNN");
    for (const char* section : {"Coupler001", "Coupler002", "Stop001"})
        a.organ.Set(section, "DefaultToEngaged", "Y");
    a.Load();
    Organ& organ = a.rig.organ;
    organ.StopOff(kGreat, 0);
    organ.CouplerOff(kSwell, 0);
    organ.KeyDown(kSwell, 60, kSwell);
    organ.ResetAction();
    EXPECT_TRUE(a.AllQuiet());
    EXPECT_TRUE(a.M(kGreat).GetStop(0)->Engaged());
    EXPECT_FALSE(a.M(kSwell).GetStop(0)->Engaged());
    EXPECT_TRUE(a.M(kSwell).unisonOff);
    // With unison off engaged from the reset, a direct hold does not sound
    // the Swell, and disengaging it starts the pipe exactly once.
    organ.StopOn(kSwell, 0);
    organ.KeyDown(kSwell, 60, kSwell);
    EXPECT_EQ(a.Sounding(), "1:60");
    organ.CouplerOff(kSwell, 0);
    EXPECT_EQ(a.Sounding(), "1:60 2:60");
    EXPECT_EQ(a.P(kSwell, 60).holdCount, 1u);
}

TEST_F(Coupled, StopControlNotesDrawAndRetireEveryDrawstopWithThatNumber) {
    a.organ.Set("Organ", "NumberOfTremulants", "1");
    a.organ.Set("WindchestGroup001", "NumberOfEnclosures", "0");
    a.organ.Set("WindchestGroup001", "NumberOfTremulants", "0");
    test::SetTremulant(a.organ, 1);
    for (const char* section : {"Stop001", "Stop002", "Coupler001", "Tremulant001"})
        a.organ.Set(section, "StopControlMIDIKeyNumber", "40");
    Organ& organ = Load(false);
    organ.StopOff(kGreat, 0);
    organ.StopOff(kSwell, 0);
    organ.KeyDown(kGreat, 60, kGreat);
    organ.StopControl(41, true);
    organ.StopControl(-1, true);
    EXPECT_EQ(a.Sounding(), "");
    organ.StopControl(40, true);
    EXPECT_TRUE(organ.Tremulants()[0].drawstop.Engaged());
    EXPECT_EQ(a.Sounding(), "1:60 2:60");
    organ.StopControl(40, false);
    EXPECT_EQ(a.Sounding(), "");
    EXPECT_FALSE(organ.Tremulants()[0].drawstop.Engaged());
    EXPECT_EQ(a.Key(kSwell, 60).holds, 0u);
}

TEST(KeyAction, CallsOnAnOrganOrManualThatIsNotLoadedDoNothing) {
    test::ActionRig a;
    Organ& organ = a.rig.organ;
    organ.KeyDown(1, 60, 1);
    organ.CouplerToggle(1, 0);
    organ.SetTestNote(true);
    organ.ResetAction();
    a.Load();
    organ.KeyDown(0, 60, 0);  // no pedal
    organ.KeyDown(3, 60, 3);
    organ.StopOn(kGreat, 1);
    organ.StopOn(kGreat, -1);
    organ.CouplerOn(kGreat, 0);
    organ.KeyDown(kGreat, 60, kGreat);
    EXPECT_EQ(a.Sounding(), "1:60");
}

// A MIDI-like thread plays chords on the Great while a UI-like thread draws
// and retires stops and couplers; the action lock keeps them apart, so when
// both are done every count is back at zero and every pipe is silent.
TEST(ThreadedAction, KeysAndDrawstopsFromTwoThreadsLeaveNothingSounding) {
    test::ActionRig a(3);
    a.AddCoupler(1, 1, 2, 0, "NNNYN");
    a.AddCoupler(1, 2, 3, -12, "NNNNN");
    a.AddCoupler(2, 3, 2, 12, "NNNYN");
    a.organ.Set("Stop003", "StopControlMIDIKeyNumber", "40");
    a.organ.Set("Coupler002", "StopControlMIDIKeyNumber", "40");
    a.Load();
    Organ& organ = a.rig.organ;
    std::atomic<bool> midiDone{false};

    std::thread midi([&] {
        for (int round = 0; round < 400; ++round) {
            int root = 48 + round % 12;
            for (int note : {root, root + 4, root + 7}) organ.KeyDown(1, note, 1);
            organ.KeyDown(2, root + 2, 2);
            for (int note : {root, root + 4, root + 7}) organ.KeyUp(1, note, 1);
            organ.KeyUp(2, root + 2, 2);
        }
        midiDone.store(true);
    });
    std::thread ui([&] {
        for (int step = 1; !midiDone.load(); ++step) {
            switch (step % 5) {
                case 0: organ.StopToggle(1 + step % 3, 0); break;
                case 1: organ.CouplerToggle(1, step % 2); break;
                case 2: organ.CouplerToggle(2, 0); break;
                case 3: organ.SetTestNote(step % 2 == 0); break;
                default: organ.StopControl(40, step % 2 == 0); break;
            }
        }
        organ.SetTestNote(false);
    });
    midi.join();
    ui.join();

    for (int m = 1; m <= 3; ++m)
        for (const ManualKey& key : a.M(m).keys) {
            ASSERT_EQ(key.holds, 0u) << m;
            for (uint32_t pass : key.passHolds) ASSERT_EQ(pass, 0u);
        }
    EXPECT_TRUE(a.AllQuiet());
}

}  // namespace
}  // namespace tessaline
