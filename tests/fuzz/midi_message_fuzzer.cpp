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
// organ to its defaults for the next run. Seeds: the demo pieces as the demo
// organ's keyboards would send them (audio played between events, the pedal
// channel on the second port), and short runs of stop control, swell pedals,
// program changes, all-notes-off and System Reset.

#include <bit>
#include <optional>

#include "DemoPieces.h"
#include "audio/PipeVoice.h"
#include "fuzz/FuzzCommon.h"
#include "fuzz/FuzzOrgans.h"
#include "midi/MidiFile.h"
#include "midi/MidiInputSystem.h"
#include "organ/Pipe.h"
#include "organ/Stop.h"
#include "platform/virtual/VirtualMidiPorts.h"

namespace tessaline::test {
namespace {

void Add(std::string& r, uint8_t port, uint32_t message) {
    r += {static_cast<char>(port), static_cast<char>(message), static_cast<char>(message >> 8),
          static_cast<char>(message >> 16)};
}

// A play record covers 32 to 512 frames, in steps of 32.
void PlayFrames(std::string& r, int64_t frames) {
    for (int64_t steps = frames / 32; steps > 0; steps -= 16)
        r += {static_cast<char>(0x80 | (steps > 16 ? 15 : steps - 1)), 0, 0, 0};
}

std::string PieceRecords(const std::vector<uint8_t>& bytes) {
    MidiFile file;
    std::string r;
    if (!file.Parse(std::span<const uint8_t>(bytes), "piece.mid")) return r;
    int64_t frame = 0;
    for (size_t e = 0; e < file.events.size() && e < 400; ++e) {
        const MidiFileEvent& event = file.events[e];
        // Time is squeezed to at most one record between events: the
        // fuzzer needs voices overlapping and releasing, not the tempo.
        PlayFrames(r, std::min<int64_t>(event.frame - frame, 512));
        frame = event.frame;
        Add(r, (event.message & 0x0F) == demo::kPedalChannel - 1 ? 1 : 0, event.message);
    }
    return r;
}

}  // namespace

std::vector<std::string> Seeds(const std::filesystem::path&) {
    std::string controls;
    Add(controls, 0, 0x403C90);  // a Great key held...
    Add(controls, 1, 0x402891);  // ...and a pedal key
    for (uint32_t note = 36; note < 48; ++note) Add(controls, 1, 0x7F0094 | note << 8);  // stop control on
    PlayFrames(controls, 2048);
    Add(controls, 0, 0x400130);  // swell pedal of path 0
    Add(controls, 1, 0x7F0131);  // and of path 1
    Add(controls, 0, 0x0003C0);  // program changes
    Add(controls, 1, 0x0001C9);
    Add(controls, 0, 0x007BB0);  // all notes off, channel 1
    Add(controls, 0, 0x0000FF);  // System Reset
    std::string held;
    for (uint32_t note = 30; note < 100; ++note) Add(held, 0, 0x640090 | note << 8);
    for (uint32_t note = 30; note < 100; ++note) Add(held, 0, 0x640097 | note << 8);  // redirectable A
    PlayFrames(held, 4096);
    return {PieceRecords(demo::ChoraleMidi()), PieceRecords(demo::ToccataMidi()), controls, held};
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
        for (int s = 0; s < manual.numberOfStops; ++s) {
            const Stop* stop = manual.GetStop(s);
            for (int p = 0; p < stop->numberOfLogicalPipes; ++p) {
                const Pipe* pipe = stop->GetPipe(p);  // none for pipes out of reach
                if (pipe != nullptr) Check(pipe->holdCount < kHoldLimit);
            }
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
    // One buffer late, the longest fuzz sample and its release.
    for (int t = 0; t < 4; ++t) Check(h.sound.Play(512));
    Check(h.rig.organ.Voices().CountInUse() == 0);

    Check(h.ports.Send(0, 0xFF));
    return 0;
}
