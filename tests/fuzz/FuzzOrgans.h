#pragma once
// The organs of the load, MIDI and combination fuzzers and the few pipe
// samples all of them name, so that every definition file a fuzzer makes up
// finds real samples beside it without writing any per run.

#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "DemoInstrument.h"
#include "OrganFileWriter.h"
#include "support/EngineRig.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"
#include "support/WavBuilder.h"

namespace tessaline::test {

// Looped mono, looped stereo, a looped sample in a folder whose name a file
// may write in another case, and one without loop or release marker (for a
// percussive pipe; any other pipe refuses it).
inline constexpr std::array<const char*, 4> kFuzzSamples = {"p.wav", "stereo.wav", "Ranks/Deep.wav",
                                                            "short.wav"};

inline void WriteFuzzSamples(const TempDir& dir) {
    WritePipeWav(dir, kFuzzSamples[0], 1, 600);
    WritePipeWav(dir, kFuzzSamples[1], 2, 400);
    WritePipeWav(dir, kFuzzSamples[2], 1, 900);
    dir.Write(kFuzzSamples[3], WavBuilder().Pattern(200).NoSampler().NoCues().Build());
}

// The demo organ's definition with every pipe that owns a sample naming one
// of the looped fuzz samples: every kind of section the loader knows, with
// couplers, an enclosure, a tremulant and combinations, over a handful of
// small files.
inline std::string DemoOrganOverFuzzSamples() {
    std::istringstream in(demo::OrganDefinitionText(demo::TheDemoOrgan(), true));
    std::string out;
    int pipe = 0;
    for (std::string line; std::getline(in, line);) {
        const size_t eq = line.find('=');
        if (line.starts_with("Pipe") && eq != std::string::npos &&
            line.compare(eq + 1, 4, "REF:") != 0)
            line = line.substr(0, eq + 1) + kFuzzSamples[static_cast<size_t>(pipe++ % 3)] + "\r";
        out += line + "\n";
    }
    return out;
}

// A small organ for seeds: pedal and two manuals of 8 keys, each with stops
// over the fuzz samples (a percussive one, a stereo one, a shared pipe and a
// name written with "\" and in another case), two couplers and a tremulant.
inline OrganFileBuilder SmallFuzzOrgan() {
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "HasPedals", "Y");
    b.Set("Organ", "NumberOfManuals", "2");
    b.Set("Organ", "HighestSampleFormat", "Stereo");
    SetStop(b, 1, {"p.wav", "stereo.wav", "RANKS\\deep.wav", "p.wav"});
    SetStop(b, 2, {"short.wav", "short.wav"});
    b.Set("Stop002", "Percussive", "Y");
    SetStop(b, 3, {"REF:01:001:002", "Ranks/Deep.wav"});
    SetStop(b, 4, {"stereo.wav"});
    SetManual(b, 0, 8, {4});
    SetManual(b, 1, 8, {1, 2});
    SetManual(b, 2, 8, {3});
    SetCoupler(b, 1, 1, 12);
    SetCoupler(b, 2, 1, 0);
    b.Set("Manual002", "NumberOfCouplers", "1");
    b.Set("Manual002", "Coupler001", "2");
    b.Set("Manual001", "NumberOfCouplers", "1");
    b.Set("Manual001", "Coupler001", "1");
    b.Set("Organ", "NumberOfTremulants", "1");
    SetTremulant(b, 1);
    b.Set("Manual001", "NumberOfTremulants", "1");
    b.Set("Manual001", "Tremulant001", "1");
    return b;
}

// Definition files over the fuzz samples that load (the small fuzz organ, the
// demo organ, a pedal and five manuals without stops) and some that fail late
// in the load (a missing sample, a shared pipe naming a stop that does not
// exist, a coupler into a missing manual).
inline std::vector<std::string> OrganSeeds() {
    OrganFileBuilder manuals = OrganFileBuilder::MinimalOrgan();
    manuals.Set("Organ", "HasPedals", "Y").Set("Organ", "NumberOfManuals", "5");
    for (int m = 0; m <= 5; ++m) SetManual(manuals, m, m == 0 ? 32 : 61, {});
    return {SmallFuzzOrgan().Text(),
            DemoOrganOverFuzzSamples(),
            manuals.Text(),
            SmallFuzzOrgan().Set("Stop001", "Pipe002", "missing.wav").Text(),
            SmallFuzzOrgan().Set("Stop003", "Pipe001", "REF:01:009:001").Text(),
            SmallFuzzOrgan().Set("Coupler002", "DestinationManual", "4").Text()};
}

// An organ over the fuzz samples, with the engine it plays on (which
// outlives the organ attached to it).
struct FuzzOrganRig {
    FuzzOrganRig() {
        WriteFuzzSamples(rig.dir);
        rig.organ.SetDataDirectory(TESSALINE_FUZZ_DATA_DIR);
    }
    EngineRig sound{512};
    OrganRig rig;
};

// Calls f(number, manual) for every manual the organ has.
template <class F>
void ForEachManual(Organ& organ, F f) {
    for (uint32_t m = 0; m <= organ.numberOfManuals; ++m)
        if (Manual* manual = organ.ManualAt(static_cast<int>(m))) f(static_cast<int>(m), *manual);
}

inline bool NoKeyHeld(Organ& organ) {
    bool none = true;
    ForEachManual(organ, [&](int, const Manual& manual) {
        for (int k = 0; k < manual.numberOfLogicalKeys; ++k)
            none = none && manual.keys[static_cast<size_t>(k)].holds == 0;
    });
    return none;
}

}  // namespace tessaline::test
