#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioEngine.h"
#include "audio/PipeVoice.h"
#include "organ/DefinitionReader.h"
#include "organ/Organ.h"
#include "organ/Pipe.h"
#include "organ/Stop.h"
#include "support/EngineRig.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"

namespace tessaline {
namespace {

using namespace test;

// An organ for key action tests: manuals 1..n, each of 61 keys from MIDI
// note 36 with one stop of 61 pipes (Stop%03d m on manual m), couplers added
// by the test, and the engine its pipes start their voices in.
inline constexpr int kRigKeys = 61;
inline constexpr int kRigFirstNote = 36;

// A coupler of manual `owner`; subsequent holds the five CoupleToSubsequent
// flags in kind order, e.g. "YNNNN", or is nullptr for a unison off coupler.
struct Coupling {
    int owner, destination, keyshift;
    const char* subsequent;
};
using Couplings = std::vector<Coupling>;

class ActionRig {
public:
    explicit ActionRig(int manuals = 2) {
        organ.Set("Organ", "NumberOfManuals", std::to_string(manuals));
        WritePipeWav(rig.dir, "p.wav");
        for (int m = 1; m <= manuals; ++m) {
            SetManual(organ, m, kRigKeys, {m});
            SetStop(organ, m, std::vector<std::string>(kRigKeys, "p.wav"));
        }
    }

    // Coupler001 onwards, each listed next on its manual.
    void AddCouplings(const Couplings& couplings) {
        for (const Coupling& c : couplings) {
            int n = ++couplers;
            std::string section = NumberedName("Coupler", n);
            SetCoupler(organ, n, c.destination, c.keyshift);
            if (!c.subsequent) {
                organ.Set(section, "UnisonOff", "Y");
            } else {
                static const char* const kKeys[] = {
                    "CoupleToSubsequentUnisonIntermanualCouplers",
                    "CoupleToSubsequentUpwardIntermanualCouplers",
                    "CoupleToSubsequentDownwardIntermanualCouplers",
                    "CoupleToSubsequentUpwardIntramanualCouplers",
                    "CoupleToSubsequentDownwardIntramanualCouplers"};
                for (size_t k = 0; k < 5; ++k) organ.Set(section, kKeys[k], {c.subsequent[k]});
            }
            std::string manual = NumberedName("Manual", c.owner);
            int count = ++listed[static_cast<size_t>(c.owner)];
            organ.Set(manual, "NumberOfCouplers", std::to_string(count));
            organ.Set(manual, NumberedName("Coupler", count), std::to_string(n));
        }
    }

    // Loads, resets to the defaults and draws every manual's stop.
    void Load() {
        ASSERT_TRUE(rig.Load(organ)) << rig.Reports();
        ASSERT_TRUE(rig.organ.AttachEngine(engineRig.engine));
        rig.organ.ResetAction();
        for (int m = 0; m < kMaxManuals; ++m) rig.organ.StopOn(m, 0);
    }

    Manual& M(int m) { return rig.organ.manuals[static_cast<size_t>(m)]; }
    // The pipe that the stop of manual m sounds for MIDI note `note`.
    Pipe& P(int m, int note) {
        Stop& stop = *M(m).GetStop(0);
        return *stop.GetPipe(stop.PipeForKey(note - kRigFirstNote));
    }
    const ManualKey& Key(int m, int n) { return M(m).keys[static_cast<size_t>(n - kRigFirstNote)]; }
    // Every manual's sounding notes, "m:n,n" joined with spaces; "" when silent.
    std::string Sounding() {
        std::string out;
        for (int m = 1; m < kMaxManuals && M(m).loaded; ++m) {
            std::string notes;
            for (int note = kRigFirstNote; note < kRigFirstNote + kRigKeys; ++note)
                if (P(m, note).sounding) notes += (notes.empty() ? "" : ",") + std::to_string(note);
            if (!notes.empty()) out += (out.empty() ? "" : " ") + std::to_string(m) + ":" + notes;
        }
        return out;
    }
    // Every pipe of every manual silent with no hold or pass left.
    bool AllQuiet() {
        for (int m = 1; m < kMaxManuals && M(m).loaded; ++m)
            for (int note = kRigFirstNote; note < kRigFirstNote + kRigKeys; ++note)
                if (P(m, note).sounding || P(m, note).holdCount != 0 || Key(m, note).holds != 0 ||
                    Key(m, note).passHolds != decltype(ManualKey::passHolds){})
                    return false;
        return true;
    }

    EngineRig engineRig{512};
    OrganRig rig;
    OrganFileBuilder organ = OrganFileBuilder::MinimalOrgan();

private:
    int couplers = 0;
    std::array<int, kMaxManuals> listed{};
};

constexpr int kGreat = 1;
constexpr int kSwell = 2;
constexpr int kChoir = 3;

// Loads the organ with the couplings and draws every coupler.
Organ& LoadCoupled(ActionRig& a, const Couplings& couplings) {
    a.AddCouplings(couplings);
    a.Load();
    int listed[kMaxManuals] = {};
    for (const Coupling& c : couplings) a.rig.organ.CouplerOn(c.owner, listed[c.owner]++);
    return a.rig.organ;
}

// The reports of a failed load joined as "message [action] / ...", or
// "loaded"; a failed load must leave no manual behind.
std::string LoadResult(ActionRig& a) {
    a.rig.errors.Clear();
    if (a.rig.Load(a.organ)) return "loaded";
    for (const Manual& manual : a.rig.organ.manuals) EXPECT_FALSE(manual.loaded);
    EXPECT_EQ(a.rig.organ.pipesLoaded, 0u);
    return a.rig.Reports();
}

TEST(KeyAction, CouplersCarryAKeyAsTheirKindsAndFlagsAllow) {
    struct Case {
        const char* what;
        Couplings couplings;
        int manual, note;
        std::string sounding;
        bool greatHidden = false;
    };
    const Couplings chain = {{kGreat, kSwell, 0, "NNNYN"}, {kSwell, kSwell, 12, "NNNYN"}};
    const Couplings noFlags = {{kGreat, kSwell, 0, "NNNNN"}, {kSwell, kSwell, 12, "NNNNN"}};
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
         {{kGreat, kSwell, 0, "YNNNN"}, {kSwell, kChoir, 0, "NNNNN"}},
         kGreat, 60, "1:60 2:60 3:60"},
        {"upward only, not unison",
         {{kGreat, kSwell, 0, "NYNNN"}, {kSwell, kChoir, 0, "NNNNN"}}, kGreat, 60, "1:60 2:60"},
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
        ActionRig a(3);
        if (c.greatHidden) a.organ.Set("Manual001", "Displayed", "N");
        Organ& organ = LoadCoupled(a, c.couplings);
        organ.KeyDown(c.manual, c.note, c.manual);
        EXPECT_EQ(a.Sounding(), c.sounding);
        // Retiring every coupler leaves the key alone; drawing them again
        // with the key held sounds what they carry, however far.
        for (int m = 1; m <= 3; ++m)
            for (int i = 0; i < a.M(m).numberOfCouplers; ++i) organ.CouplerOff(m, i);
        bool direct = !(c.greatHidden && c.manual == kGreat);
        EXPECT_EQ(a.Sounding(),
                  direct ? std::to_string(c.manual) + ":" + std::to_string(c.note) : "");
        for (int m = 1; m <= 3; ++m)
            for (int i = 0; i < a.M(m).numberOfCouplers; ++i) organ.CouplerOn(m, i);
        EXPECT_EQ(a.Sounding(), c.sounding);
        organ.KeyUp(c.manual, c.note, c.manual);
        EXPECT_TRUE(a.AllQuiet());
    }
}

TEST(KeyAction, AKeySoundsUntilItsLastHoldGoesAndRefusedPressesChangeNothing) {
    ActionRig a;
    Organ& organ = LoadCoupled(a, {{kGreat, kSwell, 0, "NNNNN"}});
    // A second note-on from the same input is ignored; one note-off releases.
    organ.KeyDown(kGreat, 60, kGreat);
    organ.KeyDown(kGreat, 60, kGreat);
    organ.KeyDown(kSwell, 60, kSwell);
    const ManualKey& swell = a.Key(kSwell, 60);
    EXPECT_TRUE(swell.holds == 2 && swell.directHolds == 1 && swell.directMask == 1u << kSwell);
    EXPECT_EQ(a.P(kSwell, 60).holdCount, 1u);  // one start for the key, however many holds
    organ.KeyUp(kGreat, 60, kGreat);
    EXPECT_EQ(a.Sounding(), "2:60");
    organ.KeyUp(kSwell, 60, kSwell);
    // A note-off from a source that never pressed is not passed on either.
    organ.KeyDown(kSwell, 62, kSwell);
    organ.KeyUp(kGreat, 62, kGreat);
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

TEST(KeyAction, DrawingAndRetiringWithKeysHeld) {
    ActionRig a;
    Organ& organ = LoadCoupled(a, {{kGreat, kSwell, 0, "NNNNN"}});
    organ.CouplerOff(kGreat, 0);
    // A stop drawn while keys are held speaks for them at once, once.
    organ.StopOff(kSwell, 0);
    organ.KeyDown(kSwell, 60, kSwell);
    organ.StopOn(kSwell, 0);
    organ.StopOn(kSwell, 0);
    EXPECT_EQ(a.Sounding(), "2:60");
    EXPECT_EQ(a.P(kSwell, 60).holdCount, 1u);
    organ.KeyUp(kSwell, 60, kSwell);
    organ.CouplerOn(kGreat, 0);
    // Retiring a coupler releases what it carried, but a key held on the
    // destination by another path sounds on.
    organ.KeyDown(kGreat, 62, kGreat);
    organ.KeyDown(kGreat, 65, kGreat);
    organ.KeyDown(kSwell, 65, kSwell);
    organ.CouplerToggle(kGreat, 0);
    EXPECT_EQ(a.Sounding(), "1:62,65 2:65");
    EXPECT_EQ(a.Key(kSwell, 65).holds, 1u);
}

// Regression: a manual's reset (a channel's all-notes-off) left the holds its
// keys had passed through couplers on the other manuals, where no release
// could reach them any more: notes sounding for good.
TEST(KeyAction, AResetManualLetsGoOfWhatItsCouplersCarriedAndLaterReleasesChangeNothing) {
    ActionRig a(3);
    Organ& organ = LoadCoupled(a, {{kGreat, kSwell, 0, "YNNNN"}, {kSwell, kChoir, 0, "NNNNN"}});
    organ.KeyDown(kGreat, 60, kGreat);
    {
        auto lock = organ.LockAction();
        a.M(kSwell).ResetNotes();
    }
    EXPECT_EQ(a.Sounding(), "1:60");
    organ.KeyUp(kGreat, 60, kGreat);
    const ManualKey& swell = a.Key(kSwell, 60);
    EXPECT_TRUE(swell.holds == 0 && swell.directHolds == 0 && swell.directMask == 0);
    EXPECT_TRUE(a.AllQuiet());

    organ.KeyDown(kGreat, 62, kGreat);
    {
        auto lock = organ.LockAction();
        a.M(kGreat).ResetNotes();
    }
    EXPECT_TRUE(a.AllQuiet()) << a.Sounding();
    organ.KeyUp(kGreat, 62, kGreat);
    EXPECT_EQ(a.Key(kChoir, 62).holds, 0u);
}

TEST(KeyAction, AResetReturnsDrawstopsToTheirDefaultsAndUnisonOffFollowsItsCoupler) {
    ActionRig a;
    a.AddCouplings({{kSwell, 0, 0, nullptr}, {kSwell, kGreat, 0, "NNNNN"}});
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
    // With unison off engaged from the reset, a direct hold does not sound
    // the Swell, and disengaging it starts the pipe exactly once.
    organ.StopOn(kSwell, 0);
    organ.KeyDown(kSwell, 60, kSwell);
    EXPECT_EQ(a.Sounding(), "1:60");
    organ.CouplerOff(kSwell, 0);
    EXPECT_EQ(a.Sounding(), "1:60 2:60");
    EXPECT_EQ(a.P(kSwell, 60).holdCount, 1u);
}

// A MIDI-like thread plays chords on the Great while a UI-like thread draws
// and retires stops and couplers; the action lock keeps them apart, so when
// both are done every count is back at zero and every pipe is silent.
TEST(ThreadedAction, KeysAndDrawstopsFromTwoThreadsLeaveNothingSounding) {
    ActionRig a(3);
    a.AddCouplings({{1, 2, 0, "NNNYN"}, {1, 3, -12, "NNNNN"}, {2, 2, 12, "NNNYN"}});
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

    EXPECT_TRUE(a.AllQuiet());
}

// One case per message shape. Coupler 1 takes the Great to the Swell;
// divisional coupler 1 joins manuals 3, 2 and 1.
TEST(CouplerLoad, EachFaultIsReportedWithItsOwnMessage) {
    const std::string coupler = " [Loading an organ coupler.] / Coupler 1 on manual 1 failed to load. [Loading an organ manual.] / Manual 1 failed to load. [Loading an organ.]";
    const std::string divisional = " [Loading an organ divisional coupler.] / Divisional coupler 1 failed to load. [Loading an organ.]";
    struct Case {
        const char* section;
        const char* key;
        const char* value;  // nullptr: removed
        std::string message;
    } cases[] = {
        {"Coupler001", "UnisonOff", nullptr, "The UnisonOff setting for coupler 1 is not specified in the organ definition file." + coupler},
        {"Coupler001", "UnisonOff", "X", "The unison off setting for coupler 1 is invalid." + coupler},
        {"Coupler001", "DestinationManual", "4", "An invalid destination manual number for the coupler 1 is specified in the organ definition file." + coupler},
        {"Coupler001", "DestinationKeyshift", "-25", "An invalid DestinationKeyshift setting for coupler 1 is specified in the organ definition file (max +/-24)." + coupler},
        {"Coupler001", "CoupleToSubsequentDownwardIntramanualCouplers", "1", "The CoupleToSubsequentDownwardIntramanualCouplers setting for coupler 1 is invalid." + coupler},
        {"DivisionalCoupler001", "NumberOfManuals", nullptr, "The number of manuals is not specified in the organ definition file for DivisionalCoupler001, or the section is missing." + divisional},
        {"DivisionalCoupler001", "NumberOfManuals", "7", "An invalid number of manuals is specified in the organ definition file for DivisionalCoupler001." + divisional},
        {"DivisionalCoupler001", "Manual003", "4", "Manual specifier 3 is invalid in the organ definition file for DivisionalCoupler001." + divisional},
        {"DivisionalCoupler001", "BiDirectionalCoupling", "maybe", "An invalid BiDirectionalCoupling setting is specified in the organ definition file for DivisionalCoupler001 (Y/N)." + divisional},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + " " + c.key);
        ActionRig a(3);
        a.AddCouplings({{1, 2, 0, "NNNNN"}});
        a.organ.Set("Organ", "NumberOfDivisionalCouplers", "1");
        SetDrawstopKeys(a.organ, "DivisionalCoupler001", "Divisional coupler", 3, 1);
        a.organ.Set("DivisionalCoupler001", "NumberOfManuals", "3");
        for (int i = 1; i <= 3; ++i)
            a.organ.Set("DivisionalCoupler001", NumberedName("Manual", i), std::to_string(4 - i));
        a.organ.Set("DivisionalCoupler001", "BiDirectionalCoupling", "N");
        EXPECT_EQ(LoadResult(a), "loaded");
        if (c.value)
            a.organ.Set(c.section, c.key, c.value);
        else
            a.organ.Remove(c.section, c.key);
        EXPECT_EQ(LoadResult(a), c.message);
        EXPECT_FALSE(a.rig.organ.divisionalCouplers[0].divisionalCouplerLoaded);
    }

    ActionRig twice;
    twice.AddCouplings({{1, 0, 0, nullptr}, {1, 2, 0, "NNNNN"}, {1, 0, 0, nullptr}});
    EXPECT_EQ(LoadResult(twice), "There are two or more unison off couplers specified for manual 1. [Loading an organ manual.] / Manual 1 failed to load. [Loading an organ.]");
}

TEST(CouplerLoad, AClosedPathWithNoNetKeyshiftIsRefused) {
    const std::string refused = " is part of a closed path of couplers that would carry a key back to itself without end. [Loading an organ.]";
    const std::pair<Couplings, std::string> cases[] = {
        // Two unison couplers pointing at each other, each passing the other on.
        {{{1, 2, 0, "YNNNN"}, {2, 1, 0, "YNNNN"}}, "Coupler 1 on manual 1" + refused},
        // Up an octave on one manual and down again on another.
        {{{1, 2, 12, "NNYNN"}, {2, 1, -12, "NYNNN"}}, "Coupler 1 on manual 1" + refused},
        // An octave and a sub-octave of one manual feeding each other.
        {{{2, 2, 12, "NNNNY"}, {2, 2, -12, "NNNYN"}}, "Coupler 1 on manual 2" + refused},
        // Without the flags that close the path, and an octave coupler
        // feeding itself, which climbs off the keyboard.
        {{{1, 2, 0, "NNNNN"}, {2, 1, 0, "YNNNN"}, {2, 2, 12, "NNNYN"}}, "loaded"},
    };
    for (const auto& [couplings, result] : cases) {
        SCOPED_TRACE(result);
        ActionRig a;
        a.AddCouplings(couplings);
        EXPECT_EQ(LoadResult(a), result);
    }
}

}  // namespace
}  // namespace tessaline
