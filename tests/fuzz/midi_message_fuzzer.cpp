// Feeds arbitrary short MIDI messages to a loaded, active organ (the demo
// organ over the fuzz samples, on virtual devices) through its two input
// ports. The input is read in records of four bytes: the first chooses the
// port, or with its top bit set plays 32 to 512 frames of audio in one tick
// so voices start, release and free themselves; the other three are the status and data bytes.
// Data bytes are not masked: a port may deliver anything.
//
// After every message: no more voices than the pool, no key hold below zero
// (the counts are unsigned, so an underflow shows as a huge count) and no
// key's direct or coupler holds above its total. After the input: a note-off
// for every note on every channel of both ports lets every key go, and once
// the releases have played nothing sounds. A System Reset then returns the
// organ to its defaults for the next run.

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "audio/PipeVoice.h"
#include "fuzz/FuzzOrgans.h"
#include "midi/MidiInputSystem.h"
#include "organ/Pipe.h"
#include "organ/Stop.h"
#include "platform/virtual/VirtualMidiPorts.h"
#include "support/EngineRig.h"
#include "support/OrganRig.h"

namespace {

using namespace tessaline;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

constexpr uint32_t kHoldLimit = 1u << 16;

struct Harness {
    Harness() {
        ports.AddPort("Keyboards");
        ports.AddPort("Pedals and pistons");
        midi.emplace(ports, rig.organ);
        rig.organ.midiRouting.SetInputSystem(&*midi);
        test::WriteFuzzSamples(rig.dir);
        rig.organ.SetDataDirectory(TESSALINE_FUZZ_DATA_DIR);
        std::string path = rig.dir.Write("demo.organ", test::DemoOrganOverFuzzSamples());
        // The pedal, the stop control and the second swell pedal on the
        // second port; redirectable input B sends to the pedal too.
        setup.ManualMIDIInDevNumber[0] = 1;
        setup.ControlMIDIInDevNumber = 1;
        setup.EnclosureMIDIInDevNumber[1] = 1;
        setup.ManualBMIDIInDevNumber = 1;
        setup.ManualBSend = {0, 1, 2, 1};
        setup.CombFrameMIDIInDevNumber[1] = 1;
        bool ready = rig.organ.Load(path) && rig.organ.AttachEngine(sound.engine) &&
                     rig.organ.midiRouting.ApplySetup(setup);
        if (ready) Reset();
        ready = ready && sound.engine.StartPlayback() && rig.organ.OpenMidiInputs();
        if (!ready || rig.errors.Count() != 0) {
            for (const auto& e : rig.errors.Errors())
                std::fprintf(stderr, "%s | %s\n", e.message.c_str(), e.attemptedAction.c_str());
            std::abort();
        }
    }
    void Reset() {
        auto lock = rig.organ.LockAction();
        rig.organ.ResetActionLocked();
        rig.organ.ResetEnclosures();
        rig.organ.ResetTremulants();
        rig.organ.SilenceAllVoices();
        rig.organ.midiRouting.ResetRedirectableInputs();
    }

    test::EngineRig sound{512};
    test::OrganRig rig;
    VirtualMidiPorts ports;
    std::optional<MidiInputSystem> midi;
    SetupInfo setup;
};

void CheckHolds(Organ& organ) {
    Check(organ.Voices().CountInUse() <= VoicePool::Size());
    for (uint32_t m = 0; m <= organ.numberOfManuals; ++m) {
        const Manual* manual = organ.ManualAt(static_cast<int>(m));
        if (manual == nullptr) continue;
        for (int k = 0; k < manual->numberOfLogicalKeys; ++k) {
            const ManualKey& key = manual->keys[static_cast<size_t>(k)];
            Check(key.holds < kHoldLimit && key.directHolds <= key.holds);
            Check(key.directHolds == static_cast<uint32_t>(std::popcount(key.directMask)));
            for (uint32_t pass : key.passHolds) Check(pass <= key.holds);
        }
        for (int s = 0; s < manual->numberOfStops; ++s) {
            const Stop* stop = manual->GetStop(s);
            for (int p = 0; p < stop->numberOfLogicalPipes; ++p) {
                const Pipe* pipe = stop->GetPipe(p);  // none for pipes out of reach
                if (pipe != nullptr) Check(pipe->holdCount < kHoldLimit);
            }
        }
    }
}

void PlayFrames(Harness& h, uint32_t frames) { Check(h.sound.Play(frames)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness harness;
    Organ& organ = harness.rig.organ;
    for (size_t i = 0; i + 4 <= size; i += 4) {
        if (data[i] & 0x80) {
            PlayFrames(harness, ((data[i] & 0x0F) + 1) * 32u);
            continue;
        }
        uint32_t message = data[i + 1] | uint32_t{data[i + 2]} << 8 | uint32_t{data[i + 3]} << 16;
        Check(harness.ports.Send(data[i] & 1, message));
        CheckHolds(organ);
    }

    for (unsigned port = 0; port < 2; ++port)
        for (uint32_t channel = 0; channel < 16; ++channel)
            for (uint32_t note = 0; note < 128; ++note)
                Check(harness.ports.Send(port, 0x80 | channel | note << 8));
    for (uint32_t m = 0; m <= organ.numberOfManuals; ++m) {
        const Manual* manual = organ.ManualAt(static_cast<int>(m));
        if (manual == nullptr) continue;
        for (int k = 0; k < manual->numberOfLogicalKeys; ++k)
            Check(manual->keys[static_cast<size_t>(k)].holds == 0);
    }
    // One buffer late, the longest fuzz sample and its release.
    for (int t = 0; t < 4; ++t) PlayFrames(harness, 512);
    Check(organ.Voices().CountInUse() == 0);

    Check(harness.ports.Send(0, 0xFF));
    return 0;
}
