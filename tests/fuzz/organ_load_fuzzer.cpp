// Feeds arbitrary bytes to Organ::Load as an organ definition file beside a
// fixed set of pipe samples (written once per process). A refused file must
// have been reported and must leave no organ loaded. An accepted one must be
// consistent enough to play: every stop of every manual draws, every key of
// every manual goes down and up through every coupler while the engine
// renders, and once the releases have played no voice is left. The next run's
// load unloads it again. Seeds: organs that load (the small fuzz organ, the
// combination fuzz organ, the demo organ, a pedal and five manuals without
// stops) and some that fail late in the load (a missing sample, a shared pipe
// naming a stop that does not exist, a coupler into a missing manual).

#include "audio/PipeVoice.h"
#include "fuzz/FuzzCommon.h"
#include "fuzz/FuzzOrgans.h"
#include "organ/Stop.h"

namespace tessaline::test {

std::vector<std::string> Seeds(const std::filesystem::path&) {
    OrganFileBuilder manuals = OrganFileBuilder::MinimalOrgan();
    manuals.Set("Organ", "HasPedals", "Y").Set("Organ", "NumberOfManuals", "5");
    for (int m = 0; m <= 5; ++m) SetManual(manuals, m, m == 0 ? 32 : 61, {});
    return {SmallFuzzOrgan().Text(), CombinationFuzzOrgan().organ.Text(), DemoOrganOverFuzzSamples(),
            manuals.Text(), SmallFuzzOrgan().Set("Stop001", "Pipe002", "missing.wav").Text(),
            SmallFuzzOrgan().Set("Stop003", "Pipe001", "REF:01:009:001").Text(),
            SmallFuzzOrgan().Set("Coupler002", "DestinationManual", "4").Text()};
}

}  // namespace tessaline::test

namespace {

using namespace tessaline;
using test::Check;

void CheckModel(Organ& organ) {
    Check(organ.numberOfManuals >= 1 && organ.numberOfManuals <= kMaxManualNumber);
    for (uint32_t m = 0; m <= organ.numberOfManuals; ++m)
        Check(organ.manuals[m].loaded == (m > 0 || organ.hasPedals));
    test::ForEachManual(organ, [](int, const Manual& manual) {
        Check(manual.numberOfLogicalKeys >= 0 && manual.numberOfLogicalKeys <= kMaxLogicalKeys);
        Check(manual.numberOfStops >= 0 && manual.numberOfStops <= kMaxStopsPerManual);
        for (int s = 0; s < manual.numberOfStops; ++s) {
            const Stop* stop = manual.GetStop(s);
            Check(stop != nullptr && stop->numberOfLogicalPipes <= kMaxLogicalKeys);
        }
    });
}

// Everything drawn, every key of every manual down for a few blocks, every
// key up, and enough blocks for the longest release of the fuzz samples.
void Play(test::FuzzOrganRig& h) {
    Organ& organ = h.rig.organ;
    Check(organ.AttachEngine(h.sound.engine) && h.sound.engine.StartPlayback());
    test::ForEachManual(organ, [&](int m, const Manual& manual) {
        for (int s = 0; s < manual.numberOfStops; ++s) organ.StopOn(m, s);
        for (int c = 0; c < manual.numberOfCouplers; ++c) organ.CouplerOn(m, c);
    });
    for (uint32_t t = 0; t < organ.numberOfTremulants; ++t) {
        auto lock = organ.LockAction();
        organ.TremulantOn(t);
    }
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
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static test::FuzzOrganRig h;
    static const std::string path = h.rig.dir.File("fuzz.organ");
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size)))
            std::abort();
    }
    h.rig.errors.Clear();
    Organ& organ = h.rig.organ;
    if (!organ.Load(path)) {
        Check(h.rig.errors.Count() > 0 && !organ.loaded);
        return 0;
    }
    CheckModel(organ);
    Play(h);
    return 0;
}
