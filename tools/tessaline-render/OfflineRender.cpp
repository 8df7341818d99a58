#include "OfflineRender.h"

#include <algorithm>
#include <array>

#include "WavOutput.h"
#include "audio/PipeVoice.h"
#include "midi/MidiFile.h"
#include "organ/Stop.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

namespace {
constexpr const char* kAction = "Rendering a MIDI file.";
}  // namespace

OfflineRender::OfflineRender(const SetupInfo& info)
    : setup(info), organ(std::make_unique<Organ>(view, progress, info)) {
    // Every input path of the settings plays from this one port.
    ports.AddPort("Render");
    midi = std::make_unique<MidiInputSystem>(ports, *organ);
    organ->midiRouting.SetInputSystem(midi.get());
}

OfflineRender::~OfflineRender() {
    if (engine.IsPlaying()) {
        organ->CloseMidiInputs();
        engine.StopPlayback();
    }
}

bool OfflineRender::Load(const std::string& organFile) {
    if (!organ->Load(organFile)) return false;
    int device = engine.FindDevice("Virtual: Hand-driven output");
    if (device < 0 ||
        !engine.SetParameters(static_cast<uint32_t>(device),
                              static_cast<int64_t>(setup.AudioBufferBlocks) * kBlockFrames) ||
        !organ->AttachEngine(engine) || !organ->midiRouting.ApplySetup(setup))
        return false;
    // The organ reset of an activation: the default registration.
    organ->ResetAction();
    organ->midiRouting.ResetRedirectableInputs();
    return engine.StartPlayback() && organ->OpenMidiInputs();
}

bool OfflineRender::SetRegistration(int general, const std::vector<StopChoice>& choices) {
    if (general > 0) {
        if (general > static_cast<int>(organ->numberOfGenerals)) {
            ReportError("The organ has no general %d.", "Setting the registration.", general);
            return false;
        }
        organ->PressGeneral(general - 1);
    }
    for (const StopChoice& choice : choices) {
        if (organ->ManualAt(choice.manual) == nullptr ||
            organ->ManualAt(choice.manual)->GetStop(choice.stop - 1) == nullptr) {
            ReportError("The organ has no stop %d on manual %d.", "Setting the registration.",
                        choice.stop, choice.manual);
            return false;
        }
        organ->StopOn(choice.manual, choice.stop - 1);
    }
    return true;
}

void OfflineRender::Deliver(uint32_t message) { organ->OnMidiMessage(0, message); }

bool OfflineRender::Play(int64_t frames, WavOutput& out) {
    if (frames <= 0) return true;
    output.ClearCaptured();
    if (!output.Advance(static_cast<uint32_t>(frames)) || !timers.Fire()) return false;
    std::vector<int16_t> frameValues = output.Captured();
    // The first buffer length is the silence the stream starts with.
    const int64_t skip = std::clamp<int64_t>(engine.BufferFrames() - played, 0, frames);
    played += frames;
    return out.Append(std::span<const int16_t>(frameValues).subspan(static_cast<size_t>(2 * skip)));
}

bool OfflineRender::Render(const MidiFile& file, WavOutput& out) {
    const int64_t endFrame = file.TickToFrame(file.endTick);
    if (endFrame > kMaxRenderSeconds * kSampleRate) {
        ReportError("The MIDI file plays for longer than %lld hours.", kAction,
                    static_cast<long long>(kMaxRenderSeconds / 3600));
        return false;
    }
    const int64_t latency = engine.BufferFrames();
    const int64_t tailLimit = endFrame + latency + kRenderTailLimitSeconds * kSampleRate;
    const std::vector<MidiFileEvent>& events = file.events;
    // Note-ons not yet followed by their note-off, by channel and note.
    std::array<uint32_t, 16 * 128> holds{};
    size_t next = 0;
    bool released = false;
    int64_t silentSince = -1;  // play position at which the last voice was free
    while (played < tailLimit) {
        // The cursor stands at `played`: act on what is due now.
        for (; next < events.size() && events[next].frame <= played; ++next) {
            uint32_t message = events[next].message;
            uint32_t kind = message & 0xF0;
            size_t note = (message & 0x0F) * 128 + (message >> 8 & 0x7F);
            if (kind == 0x90 && (message >> 16 & 0x7F) != 0)
                ++holds[note];
            else if ((kind == 0x80 || kind == 0x90) && holds[note] > 0)
                --holds[note];
            Deliver(message);
        }
        // Keys still down when the piece ends are let go at its end.
        if (!released && next == events.size() && endFrame <= played) {
            for (size_t i = 0; i < holds.size(); ++i) {
                for (; holds[i] > 0; --holds[i])
                    Deliver(static_cast<uint32_t>(0x80 | i / 128) | static_cast<uint32_t>(i % 128) << 8);
            }
            released = true;
        }
        // Once every voice is free, the ring still holds one buffer length
        // of rendered sound to play out.
        if (released && silentSince < 0 && organ->Voices().CountInUse() == 0) silentSince = played;
        if (silentSince >= 0 && played >= std::max(silentSince, endFrame) + latency) break;
        // To the end of the block, or to the next event or the end of the
        // piece if that comes first.
        int64_t until = (played / kBlockFrames + 1) * kBlockFrames;
        if (next < events.size()) until = std::min(until, events[next].frame);
        if (!released) until = std::min(until, std::max(endFrame, played + 1));
        if (!Play(until - played, out)) return false;
    }
    return true;
}

}  // namespace tessaline
