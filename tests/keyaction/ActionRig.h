#pragma once
// An organ for key action tests: manuals 1..n (and the pedal when asked),
// each of 61 keys from MIDI note 36 with one stop of 61 pipes (Stop%03d m
// on manual m), couplers added by the test, and a voice pool the pipes start
// their voices in.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/AudioEngine.h"
#include "audio/PipeVoice.h"
#include "platform/virtual/ManualTimer.h"
#include "platform/virtual/VirtualAudioOutput.h"
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
        std::vector<std::string> pipes(kRigKeys, "p.wav");
        WritePipeWav(rig.dir, "p.wav");
        for (int m = 1; m <= manuals; ++m) {
            SetManual(organ, m, kRigKeys, {m});
            SetStop(organ, m, pipes);
        }
    }

    // Section Coupler%03d (n), listed next on manual `owner`. subsequent
    // holds the five CoupleToSubsequent flags in kind order, e.g. "YNNNN".
    void AddCoupler(int owner, int n, int destination, int keyshift, const std::string& subsequent) {
        std::string section = Section("Coupler", n);
        SetDrawstopKeys(organ, section, "Coupler " + std::to_string(n), 2, (n - 1) % 4 + 1);
        organ.Set(section, "UnisonOff", "N");
        organ.Set(section, "DestinationManual", std::to_string(destination));
        organ.Set(section, "DestinationKeyshift", std::to_string(keyshift));
        static const char* const kKeys[] = {
            "CoupleToSubsequentUnisonIntermanualCouplers", "CoupleToSubsequentUpwardIntermanualCouplers",
            "CoupleToSubsequentDownwardIntermanualCouplers", "CoupleToSubsequentUpwardIntramanualCouplers",
            "CoupleToSubsequentDownwardIntramanualCouplers"};
        for (size_t k = 0; k < 5; ++k) organ.Set(section, kKeys[k], std::string(1, subsequent[k]));
        List(owner, n);
    }
    void AddUnisonOff(int owner, int n) {
        std::string section = Section("Coupler", n);
        SetDrawstopKeys(organ, section, "Unison Off", 2, (n - 1) % 4 + 1);
        organ.Set(section, "UnisonOff", "Y");
        List(owner, n);
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
        Stop* stop = M(m).GetStop(0);
        EXPECT_NE(stop, nullptr);
        Pipe* pipe = stop->GetPipe(stop->PipeForKey(note - kRigFirstNote));
        EXPECT_NE(pipe, nullptr);
        return *pipe;
    }
    // Notes of manual m whose pipe sounds, ascending.
    std::vector<int> SoundingNotes(int m) {
        std::vector<int> notes;
        for (int k = 0; k < kRigKeys; ++k)
            if (P(m, kRigFirstNote + k).sounding) notes.push_back(kRigFirstNote + k);
        return notes;
    }
    // Every manual's sounding notes, "m:n,n" joined with spaces; "" when silent.
    std::string Sounding() {
        std::string out;
        for (int m = 0; m < kMaxManuals; ++m) {
            if (!M(m).loaded) continue;
            std::string notes;
            for (int note : SoundingNotes(m)) notes += (notes.empty() ? "" : ",") + std::to_string(note);
            if (!notes.empty()) out += (out.empty() ? "" : " ") + std::to_string(m) + ":" + notes;
        }
        return out;
    }
    const ManualKey& Key(int m, int note) { return M(m).keys[static_cast<size_t>(note - kRigFirstNote)]; }
    // Every pipe of every manual silent with no hold left.
    bool AllQuiet() {
        for (int m = 1; m < kMaxManuals; ++m) {
            if (!M(m).loaded) continue;
            for (int k = 0; k < kRigKeys; ++k) {
                const Pipe& pipe = P(m, kRigFirstNote + k);
                if (pipe.sounding || pipe.holdCount != 0 || M(m).keys[static_cast<size_t>(k)].holds != 0)
                    return false;
            }
        }
        return true;
    }

    EngineRig engineRig{512};
    OrganRig rig;
    // The organ's own pool, which its pipes start their voices in.
    VoicePool& voices = *rig.organ.voicePool;
    OrganFileBuilder organ = OrganFileBuilder::MinimalOrgan();

private:
    static std::string Section(const char* stem, int n) {
        char name[32];
        std::snprintf(name, sizeof name, "%s%03d", stem, n);
        return name;
    }
    void List(int owner, int n) {
        std::string manual = Section("Manual", owner);
        int count = listed[static_cast<size_t>(owner)] += 1;
        organ.Set(manual, "NumberOfCouplers", std::to_string(count));
        organ.Set(manual, Section("Coupler", count), std::to_string(n));
    }
    std::array<int, kMaxManuals> listed{};
};

}  // namespace tessaline::test
