#include "audio/PipeVoice.h"

#include "audio/AudioEngine.h"
#include "organ/Pipe.h"

namespace tessaline {

void PipeVoice::Start(const Pipe& playedPipe, AudioEngine& playingEngine) {
    pipe = &playedPipe;
    engine = &playingEngine;
    sample = playedPipe.sample;
    inUse.store(true, std::memory_order_relaxed);
    startPending = true;
    stopPending.store(false, std::memory_order_relaxed);
    releasing = false;
    fadeGain = 0;
    startTime = playingEngine.CurrentPlayPosition() + playingEngine.BufferFrames();
    stopTime = 0;
    position = 0;
    releasePosition = 0;
    groupBuffer = playedPipe.windchestGroup;
    ready.store(true, std::memory_order_release);
}

void PipeVoice::Stop() {
    stopTime = engine->CurrentPlayPosition() + engine->BufferFrames();
    stopPending.store(true, std::memory_order_release);
}

void PipeVoice::Reset() {
    ready.store(false, std::memory_order_seq_cst);
    if (engine != nullptr) engine->WaitForVoicePass();
    Clear();
}

void PipeVoice::Clear() {
    ready.store(false, std::memory_order_relaxed);
    pipe = nullptr;
    engine = nullptr;
    sample = PipeSample{};
    stopPending.store(false, std::memory_order_relaxed);
    startPending = false;
    releasing = false;
    fadeGain = 0;
    startTime = 0;
    stopTime = 0;
    position = 0;
    releasePosition = 0;
    groupBuffer = 0;
    inUse.store(false, std::memory_order_release);
}

PipeVoice* VoicePool::Claim() {
    for (PipeVoice& voice : voices) {
        if (!voice.inUse.load(std::memory_order_acquire)) {
            voice.inUse.store(true, std::memory_order_relaxed);
            return &voice;
        }
    }
    droppedStarts.fetch_add(1, std::memory_order_relaxed);
    return nullptr;
}

void VoicePool::SilenceAllVoices() {
    for (PipeVoice& voice : voices) voice.ready.store(false, std::memory_order_seq_cst);
    if (engine != nullptr) engine->WaitForVoicePass();
    for (PipeVoice& voice : voices) voice.Clear();
}

int VoicePool::CountInUse() const {
    int count = 0;
    for (const PipeVoice& voice : voices) count += voice.inUse.load(std::memory_order_acquire);
    return count;
}

}  // namespace tessaline
