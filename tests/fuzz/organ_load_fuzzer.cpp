// Feeds arbitrary bytes to Organ::Load as an organ definition file beside a
// fixed set of pipe samples (written once per process). A refused file must
// have been reported and must leave no organ loaded. An accepted one must be
// consistent enough to play: every stop of every manual draws, every key of
// every manual goes down and up through every coupler while the engine
// renders, and once the releases have played no voice is left. The next run's
// load unloads it again.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "audio/PipeVoice.h"
#include "fuzz/FuzzOrgans.h"
#include "organ/Pipe.h"
#include "organ/Stop.h"
#include "support/EngineRig.h"
#include "support/OrganRig.h"

namespace {

using namespace tessaline;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

struct Harness {
    Harness() {
        test::WriteFuzzSamples(rig.dir);
        rig.organ.SetDataDirectory(TESSALINE_FUZZ_DATA_DIR);
        path = rig.dir.File("fuzz.organ");
    }
    // The engine outlives the organ attached to it.
    test::EngineRig sound{512};
    test::OrganRig rig;
    std::string path;
};

void CheckModel(Organ& organ) {
    Check(organ.numberOfManuals >= 1 && organ.numberOfManuals <= kMaxManualNumber);
    for (uint32_t m = 0; m <= organ.numberOfManuals; ++m) {
        const Manual& manual = organ.manuals[m];
        Check(manual.loaded == (m > 0 || organ.hasPedals));
        if (!manual.loaded) continue;
        Check(manual.numberOfLogicalKeys >= 0 && manual.numberOfLogicalKeys <= kMaxLogicalKeys);
        Check(manual.numberOfStops >= 0 && manual.numberOfStops <= kMaxStopsPerManual);
        for (int s = 0; s < manual.numberOfStops; ++s) {
            const Stop* stop = manual.GetStop(s);
            Check(stop != nullptr && stop->numberOfLogicalPipes <= kMaxLogicalKeys);
        }
    }
}

// Every key of every manual down with everything drawn, a few blocks, every
// key up, and enough blocks for the longest release of the fuzz samples.
void Play(Harness& h) {
    Organ& organ = h.rig.organ;
    Check(organ.AttachEngine(h.sound.engine));
    Check(h.sound.engine.StartPlayback());
    for (uint32_t m = 0; m <= organ.numberOfManuals; ++m) {
        Manual* manual = organ.ManualAt(static_cast<int>(m));
        if (manual == nullptr) continue;
        for (int s = 0; s < manual->numberOfStops; ++s) organ.StopOn(static_cast<int>(m), s);
        for (int c = 0; c < manual->numberOfCouplers; ++c) organ.CouplerOn(static_cast<int>(m), c);
    }
    for (uint32_t t = 0; t < organ.numberOfTremulants; ++t) {
        auto lock = organ.LockAction();
        organ.TremulantOn(t);
    }
    for (bool down : {true, false}) {
        for (uint32_t m = 0; m <= organ.numberOfManuals; ++m) {
            Manual* manual = organ.ManualAt(static_cast<int>(m));
            if (manual == nullptr) continue;
            for (int k = 0; k < manual->numberOfLogicalKeys; ++k) {
                int note = manual->midiNoteOfKey0 + k;
                if (down)
                    organ.KeyDown(static_cast<int>(m), note, static_cast<int>(m));
                else
                    organ.KeyUp(static_cast<int>(m), note, static_cast<int>(m));
            }
        }
        Check(organ.Voices().CountInUse() <= VoicePool::Size());
        for (int block = 0; block < (down ? 4 : 40); ++block) Check(h.sound.Play(kBlockFrames));
    }
    for (uint32_t m = 0; m <= organ.numberOfManuals; ++m) {
        Manual* manual = organ.ManualAt(static_cast<int>(m));
        if (manual == nullptr) continue;
        for (int k = 0; k < manual->numberOfLogicalKeys; ++k) Check(manual->keys[static_cast<size_t>(k)].holds == 0);
    }
    Check(organ.Voices().CountInUse() == 0);
    Check(h.sound.engine.StopPlayback());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness harness;
    {
        std::ofstream out(harness.path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) std::abort();
    }
    harness.rig.errors.Clear();
    Organ& organ = harness.rig.organ;
    if (!organ.Load(harness.path)) {
        Check(harness.rig.errors.Count() > 0 && !organ.loaded);
        return 0;
    }
    CheckModel(organ);
    Play(harness);
    return 0;
}
