// Feeds arbitrary short MIDI messages to a loaded, active organ (the demo
// organ over the fuzz samples, on virtual devices) through its two input
// ports. The input is read in records of four bytes: the first chooses the
// port, or with its top bit set plays 32 to 512 frames of audio in one tick
// so voices start, release and free themselves; the other three are the
// status and data bytes, not masked: a port may deliver anything. The checks
// are those docs/bad-inputs.md lists; a System Reset at the end returns the
// organ to its defaults for the next run.

#include <bit>
#include <optional>

#include "audio/PipeVoice.h"
#include "fuzz/FuzzCommon.h"
#include "fuzz/FuzzOrgans.h"
#include "midi/MidiInputSystem.h"
#include "platform/virtual/VirtualMidiPorts.h"

namespace tessaline::test {

std::vector<std::string> Seeds(const std::filesystem::path&) {
    std::string held, controls;
    auto add = [](std::string& r, uint8_t port, uint32_t message) {
        r += {static_cast<char>(port), static_cast<char>(message), static_cast<char>(message >> 8),
              static_cast<char>(message >> 16)};
    };
    for (uint32_t note = 30; note < 100; ++note) add(held, 0, 0x640090 | note << 8);
    for (uint32_t note = 30; note < 100; ++note) add(held, 0, 0x640097 | note << 8);
    held += std::string(8, '\x8F');  // two records of 512 frames
    add(controls, 1, 0x402891);      // a pedal key held
    for (uint32_t note = 36; note < 48; ++note) add(controls, 1, 0x7F0094 | note << 8);  // stops on
    for (uint32_t message : {0x400130u, 0x0003C0u, 0x007BB0u, 0x0000FFu}) add(controls, 0, message);
    add(controls, 1, 0x7F0131);  // the second swell pedal
    return {held, controls};
}

}  // namespace tessaline::test

namespace {

using namespace tessaline;
using test::Check;

constexpr uint32_t kHoldLimit = 1u << 16;

struct Harness : test::FuzzOrganRig {
    Harness() {
        ports.AddPort("Keyboards");
        ports.AddPort("Pedals and pistons");
        midi.emplace(ports, rig.organ);
        rig.organ.midiRouting.SetInputSystem(&*midi);
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
        if (ready) {
            auto lock = rig.organ.LockAction();
            rig.organ.ResetActionLocked();
            rig.organ.ResetEnclosures();
            rig.organ.ResetTremulants();
            rig.organ.SilenceAllVoices();
            rig.organ.midiRouting.ResetRedirectableInputs();
        }
        ready = ready && sound.engine.StartPlayback() && rig.organ.OpenMidiInputs();
        if (!ready || rig.errors.Count() != 0) {
            for (const auto& e : rig.errors.Errors())
                std::fprintf(stderr, "%s | %s\n", e.message.c_str(), e.attemptedAction.c_str());
            std::abort();
        }
    }

    VirtualMidiPorts ports;
    std::optional<MidiInputSystem> midi;
    SetupInfo setup;
};

void CheckHolds(Organ& organ) {
    Check(organ.Voices().CountInUse() <= VoicePool::Size());
    test::ForEachManual(organ, [](int, const Manual& manual) {
        for (int k = 0; k < manual.numberOfLogicalKeys; ++k) {
            const ManualKey& key = manual.keys[static_cast<size_t>(k)];
            Check(key.holds < kHoldLimit && key.directHolds <= key.holds);
            Check(key.directHolds == static_cast<uint32_t>(std::popcount(key.directMask)));
            for (uint32_t pass : key.passHolds) Check(pass <= key.holds);
        }
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness h;
    for (size_t i = 0; i + 4 <= size; i += 4) {
        if (data[i] & 0x80) {
            Check(h.sound.Play(((data[i] & 0x0F) + 1) * 32u));
            continue;
        }
        uint32_t message = data[i + 1] | uint32_t{data[i + 2]} << 8 | uint32_t{data[i + 3]} << 16;
        Check(h.ports.Send(data[i] & 1, message));
        CheckHolds(h.rig.organ);
    }

    for (unsigned port = 0; port < 2; ++port)
        for (uint32_t channel = 0; channel < 16; ++channel)
            for (uint32_t note = 0; note < 128; ++note)
                Check(h.ports.Send(port, 0x80 | channel | note << 8));
    Check(test::NoKeyHeld(h.rig.organ));
    // One buffer late, the longest fuzz sample and its release, in half
    // buffers: a tick of a whole buffer brings the cursor back to where it was,
    // which the clock cannot tell from no progress (the timer ticks every
    // quarter buffer).
    for (int t = 0; t < 8; ++t) Check(h.sound.Play(256));
    Check(h.rig.organ.Voices().CountInUse() == 0);

    Check(h.ports.Send(0, 0xFF));
    return 0;
}
