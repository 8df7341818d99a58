// Feeds arbitrary bytes to Organ::Load as an organ definition file beside a
// fixed set of pipe samples (written once per process). A refused file must
// have been reported and must leave no organ loaded. An accepted one must be
// consistent enough to play: every stop of every manual draws, every key of
// every manual goes down and up through every coupler while the engine
// renders, and once the releases have played no voice is left. The next run's
// load unloads it again. Seeds: the organ seeds of the fuzz organs.

#include "audio/PipeVoice.h"
#include "fuzz/FuzzCommon.h"
#include "fuzz/FuzzOrgans.h"
#include "organ/Stop.h"

namespace tessaline::test {

std::vector<std::string> Seeds(const std::filesystem::path&) { return OrganSeeds(); }

}  // namespace tessaline::test

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessaline;
    using test::Check;
    static test::FuzzOrganRig h;
    static const std::string path = h.rig.dir.File("fuzz.organ");
    test::WriteInput(path, data, size);
    h.rig.errors.Clear();
    Organ& organ = h.rig.organ;
    if (!organ.Load(path)) {
        Check(h.rig.errors.Count() > 0 && !organ.loaded);
        return 0;
    }
    Check(organ.numberOfManuals >= 1 && organ.numberOfManuals <= kMaxManualNumber);
    Check(organ.AttachEngine(h.sound.engine) && h.sound.engine.StartPlayback());
    test::ForEachManual(organ, [&](int m, const Manual& manual) {
        Check(manual.numberOfLogicalKeys >= 0 && manual.numberOfLogicalKeys <= kMaxLogicalKeys);
        Check(manual.numberOfStops >= 0 && manual.numberOfStops <= kMaxStopsPerManual);
        for (int s = 0; s < manual.numberOfStops; ++s) {
            Check(manual.GetStop(s) != nullptr &&
                  manual.GetStop(s)->numberOfLogicalPipes <= kMaxLogicalKeys);
            organ.StopOn(m, s);
        }
        for (int c = 0; c < manual.numberOfCouplers; ++c) organ.CouplerOn(m, c);
    });
    for (uint32_t t = 0; t < organ.numberOfTremulants; ++t) {
        auto lock = organ.LockAction();
        organ.TremulantOn(t);
    }
    // Every key down for a few blocks, then up for enough blocks to play
    // the longest release of the fuzz samples.
    for (bool down : {true, false}) {
        test::ForEachManual(organ, [&](int m, const Manual& manual) {
            for (int k = 0; k < manual.numberOfLogicalKeys; ++k)
                down ? organ.KeyDown(m, manual.midiNoteOfKey0 + k, m)
                     : organ.KeyUp(m, manual.midiNoteOfKey0 + k, m);
        });
        Check(organ.Voices().CountInUse() <= VoicePool::Size());
        for (int block = 0; block < (down ? 4 : 40); ++block) Check(h.sound.Play(kBlockFrames));
    }
    Check(test::NoKeyHeld(organ) && organ.Voices().CountInUse() == 0);
    Check(h.sound.engine.StopPlayback());
    return 0;
}
