#include "OfflineRender.h"

#include <algorithm>
#include <array>

#include "WavOutput.h"
#include "midi/MidiFile.h"
#include "organ/Stop.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

namespace {
constexpr const char* kAction = "Rendering a MIDI file.";
}  // namespace

OfflineRender::OfflineRender(const SetupInfo& info)
    : setup(info),
      pool(std::make_unique<VoicePool>(engine)),
      organ(std::make_unique<Organ>(view, progress, info)) {
    // Every input path of the settings plays from this one port.
    ports.AddPort("Render");
    midi = std::make_unique<MidiInputSystem>(ports, *organ);
    organ->SetVoicePool(pool.get());
    organ->midiRouting.SetInputSystem(midi.get());
}

bool OfflineRender::Load(const std::string& organFile) {
    if (!organ->Load(organFile)) return false;
    engine.SetBufferFrames(static_cast<int64_t>(setup.AudioBufferBlocks) * kBlockFrames);
    engine.SetOutputMode(organ->outputMode);
    engine.SetGroupCount(static_cast<int>(organ->numberOfWindchestGroups) - 1);
    engine.SetSources(pool.get(), {}, {});
    if (!engine.AllocateMixBuffers()) return false;
    if (!organ->midiRouting.ApplySetup(setup)) return false;
    organ->ResetAction();
    organ->midiRouting.ResetRedirectableInputs();
    return organ->OpenMidiInputs();
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
        bool manualExists = choice.manual >= (organ->hasPedals ? 0 : 1) &&
                            choice.manual <= static_cast<int>(organ->numberOfManuals);
        const Manual* manual = manualExists ? &organ->manuals[static_cast<size_t>(choice.manual)] : nullptr;
        if (manual == nullptr || manual->GetStop(choice.stop - 1) == nullptr) {
            ReportError("The organ has no stop %d on manual %d.", "Setting the registration.",
                        choice.stop, choice.manual);
            return false;
        }
        organ->StopOn(choice.manual, choice.stop - 1);
    }
    return true;
}

void OfflineRender::Deliver(uint32_t message) { organ->OnMidiMessage(0, message); }

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
    std::array<int16_t, 2 * kBlockFrames> block{};
    size_t next = 0;
    bool released = false;
    for (int64_t t = 0;; t += kBlockFrames) {
        for (; next < events.size() && events[next].frame < t + kBlockFrames; ++next) {
            uint32_t message = events[next].message;
            uint32_t kind = message & 0xF0;
            size_t note = (message & 0x0F) * 128 + (message >> 8 & 0x7F);
            if (kind == 0x90 && (message >> 16 & 0x7F) != 0)
                ++holds[note];
            else if ((kind == 0x80 || kind == 0x90) && holds[note] > 0)
                --holds[note];
            engine.SetPlayPosition(events[next].frame);
            Deliver(message);
        }
        // Keys still down when the piece ends are let go at its end.
        if (!released && next == events.size() && endFrame < t + kBlockFrames) {
            engine.SetPlayPosition(endFrame);
            for (size_t i = 0; i < holds.size(); ++i) {
                for (; holds[i] > 0; --holds[i])
                    Deliver(static_cast<uint32_t>(0x80 | i / 128) | static_cast<uint32_t>(i % 128) << 8);
            }
            released = true;
        }
        engine.SetPlayPosition(t);
        if (!engine.RenderBlock(block, kBlockFrames, t)) return false;
        int64_t from = std::max(t, latency);
        if (from < t + kBlockFrames) {
            size_t skip = static_cast<size_t>(2 * (from - t));
            if (!out.Append(std::span<const int16_t>(block).subspan(skip))) return false;
        }
        bool silent = pool->CountInUse() == 0;
        if (released && silent && t + kBlockFrames >= endFrame + latency) break;
        if (t + kBlockFrames >= tailLimit) break;
    }
    return true;
}

}  // namespace tessaline
