#pragma once
// The voices that play pipes, and their fixed pool.
//
// A voice is handed between two threads without a lock:
//  - the key action (MIDI or UI thread, under the organ's action lock) claims
//    a voice whose inUse is false, sets inUse, fills every field and sets
//    ready last (release); a stop writes stopTime, then stopPending (release);
//  - the renderer (audio timer thread) mixes only voices it finds inUse and
//    ready (acquire); a voice that has played out clears ready, then inUse
//    (release), after which the key action may claim it again.
// Resetting a voice that may be in the middle of a mix first takes ready away
// and then waits until the renderer has left its voice pass (see
// AudioEngine::WaitForVoicePass), so the renderer never reads fields that are
// being cleared or refilled.

#include <array>
#include <atomic>
#include <cstdint>

#include "organ/Constants.h"
#include "samples/PipeSample.h"

namespace tessaline {

class AudioEngine;
class Pipe;

class PipeVoice {
public:
    // Fills the voice for pipe, to sound one buffer length after the current
    // play position. The caller has claimed the slot (inUse set).
    // MIDI or UI, under the action lock.
    void Start(const Pipe& pipe, AudioEngine& engine);
    // The release begins one buffer length after the current play position.
    // MIDI or UI, under the action lock.
    void Stop();
    // Back to empty at once; waits for the renderer to leave the voice pass.
    // MIDI or UI, under the action lock; or OFF.
    void Reset();

    // Empties the fields of a voice that the renderer can no longer reach.
    void Clear();

    const Pipe* pipe = nullptr;
    AudioEngine* engine = nullptr;
    // The pipe's sample, copied at the start so that the renderer walks the
    // pool without following a pointer to every pipe.
    PipeSample sample;
    std::atomic<bool> inUse{false};
    std::atomic<bool> ready{false};
    std::atomic<bool> stopPending{false};
    // Written by the starter before ready, afterwards by the renderer only.
    bool startPending = false;
    bool releasing = false;
    int32_t fadeGain = 0;
    int64_t startTime = 0;
    int64_t stopTime = 0;  // written by the stopper before stopPending
    int64_t position = 0;
    int64_t releasePosition = 0;
    // The windchest group whose buffer the voice adds into.
    int groupBuffer = 0;
};

// The organ's 2048 voices. Claims take the lowest free slot. The pool plays
// through the engine it is given; without one no pipe can start.
class VoicePool {
public:
    explicit VoicePool(AudioEngine* engine = nullptr) : engine(engine) {}
    VoicePool(const VoicePool&) = delete;
    VoicePool& operator=(const VoicePool&) = delete;

    // The first slot whose inUse is false, now marked inUse; nullptr, counted
    // as a dropped start, when every slot is taken. MIDI or UI, under the
    // action lock.
    PipeVoice* Claim();
    // Starts dropped because the pool was full, since the pool was made.
    // Any thread.
    uint64_t DroppedStarts() const { return droppedStarts.load(std::memory_order_relaxed); }
    // Every voice to empty at once. MIDI or UI, under the action lock.
    void SilenceAllVoices();
    // Voices currently claimed. Any thread; a snapshot.
    int CountInUse() const;

    // OFF: the engine whose clock the voices are scheduled by.
    void SetEngine(AudioEngine* playingEngine) { engine = playingEngine; }
    AudioEngine* Engine() const { return engine; }
    PipeVoice& operator[](int i) { return voices[static_cast<size_t>(i)]; }
    const PipeVoice& operator[](int i) const { return voices[static_cast<size_t>(i)]; }
    static constexpr int Size() { return kVoicePoolSize; }

private:
    AudioEngine* engine = nullptr;
    std::array<PipeVoice, kVoicePoolSize> voices;
    std::atomic<uint64_t> droppedStarts{0};
};

}  // namespace tessaline
