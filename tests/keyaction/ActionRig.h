#pragma once
// An organ for key action tests: manuals 1..n, each of 61 keys from MIDI
// note 36 with one stop of 61 pipes (Stop%03d m on manual m), couplers added
// by the test, and the engine its pipes start their voices in.

#include <gtest/gtest.h>

#include <array>
#include <string>
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

namespace tessaline::test {

inline constexpr int kRigKeys = 61;
inline constexpr int kRigFirstNote = 36;

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

    // Coupler n, listed next on manual `owner`; subsequent holds the five
    // CoupleToSubsequent flags in kind order, e.g. "YNNNN", or is nullptr
    // for a unison off coupler.
    void AddCoupler(int owner, int n, int destination, int keyshift, const char* subsequent) {
        std::string section = NumberedName("Coupler", n);
        SetDrawstopKeys(organ, section, "Coupler " + std::to_string(n), 2, (n - 1) % 4 + 1);
        organ.Set(section, "UnisonOff", subsequent ? "N" : "Y");
        if (subsequent) {
            organ.Set(section, "DestinationManual", std::to_string(destination));
            organ.Set(section, "DestinationKeyshift", std::to_string(keyshift));
            static const char* const kKeys[] = {
                "CoupleToSubsequentUnisonIntermanualCouplers",
                "CoupleToSubsequentUpwardIntermanualCouplers",
                "CoupleToSubsequentDownwardIntermanualCouplers",
                "CoupleToSubsequentUpwardIntramanualCouplers",
                "CoupleToSubsequentDownwardIntramanualCouplers"};
            for (size_t k = 0; k < 5; ++k) organ.Set(section, kKeys[k], {subsequent[k]});
        }
        std::string manual = NumberedName("Manual", owner);
        int count = ++listed[static_cast<size_t>(owner)];
        organ.Set(manual, "NumberOfCouplers", std::to_string(count));
        organ.Set(manual, NumberedName("Coupler", count), std::to_string(n));
    }

    // Loads, resets to the defaults and draws every manual's stop.
    void Load() {
        ASSERT_TRUE(rig.Load(organ)) << Reports();
        ASSERT_TRUE(rig.organ.AttachEngine(engineRig.engine));
        rig.organ.ResetAction();
        for (int m = 0; m < kMaxManuals; ++m) rig.organ.StopOn(m, 0);
    }
    std::string Reports() const {
        std::string joined;
        for (const auto& e : rig.errors.Errors())
            joined += (joined.empty() ? "" : " / ") + e.message + " [" + e.attemptedAction + "]";
        return joined;
    }

    Manual& M(int m) { return rig.organ.manuals[static_cast<size_t>(m)]; }
    // The pipe that the stop of manual m sounds for MIDI note `note`.
    Pipe& P(int m, int note) {
        Stop& stop = *M(m).GetStop(0);
        return *stop.GetPipe(stop.PipeForKey(note - kRigFirstNote));
    }
    const ManualKey& Key(int m, int note) { return M(m).keys[static_cast<size_t>(note - kRigFirstNote)]; }
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
    // Every pipe of every manual silent with no hold left.
    bool AllQuiet() {
        for (int m = 1; m < kMaxManuals && M(m).loaded; ++m)
            for (int note = kRigFirstNote; note < kRigFirstNote + kRigKeys; ++note)
                if (P(m, note).sounding || P(m, note).holdCount != 0 || Key(m, note).holds != 0)
                    return false;
        return true;
    }

    EngineRig engineRig{512};
    OrganRig rig;
    OrganFileBuilder organ = OrganFileBuilder::MinimalOrgan();

private:
    std::array<int, kMaxManuals> listed{};
};

}  // namespace tessaline::test
