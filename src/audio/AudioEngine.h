#pragma once
// The audio engine: frame clock, mix buffers and the render of one block.
//
// Threading model
//  - UI thread: loads and unloads organs, sets the engine up (buffer length,
//    output mode, mix buffers, sources), starts and stops the stream; it may
//    allocate and report errors, and does so only while the stream is
//    stopped (marked OFF). It also runs the key action for mouse and keys.
//  - MIDI thread(s): run the key action (Pipe::Start/Stop/Cut, voice claims),
//    tremulant switches and enclosure values, one at a time under the organ's
//    action lock. They read the clock (CurrentPlayPosition) and hand work to
//    the renderer without a lock: voices through their inUse/ready/
//    stopPending atomics, enclosures and tremulants through single-producer
//    event rings stamped with a frame time one buffer length ahead. A voice
//    reset is the one place they wait for the renderer: it spins until the
//    renderer is outside its voice pass (WaitForVoicePass), which lasts well
//    under a block.
//  - Audio timer thread: each tick advances the clock and calls RenderBlock
//    for the frames just played. It never allocates, never takes a lock,
//    never makes a system call and never reports: everything it touches was
//    allocated before the stream started.
//  - Recorder writer: while a recording runs, the tick hands each rendered
//    block on without waiting; writing it to the file (which may block on the
//    disk) is the writer's business, never the tick's.
//
// Frame times are signed 64-bit counts of frames at 44100 per second since the
// stream started. A block [blockTime, blockTime + frameCount) is at most the
// buffer length.

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "organ/Constants.h"
#include "samples/PipeSample.h"

namespace tessaline {

class Enclosure;
class PipeVoice;
class Tremulant;
class VoicePool;

class AudioEngine {
public:
    AudioEngine() = default;
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // The stream buffer length in frames: the delay from a request to its
    // sound, and the largest block. OFF.
    void SetBufferFrames(int64_t frames);
    int64_t BufferFrames() const { return bufferFrames; }
    // OFF: chosen once per organ load, before any voice plays.
    void SetOutputMode(OutputMode mode) { outputMode = mode; }
    OutputMode Mode() const { return outputMode; }
    // The organ's NumberOfWindchestGroups: groups 1..count are mixed. OFF.
    void SetGroupCount(int count);
    // What RenderBlock mixes: the organ's voice pool, its loaded tremulants
    // and enclosures in order. OFF.
    void SetSources(VoicePool* voices, std::span<Tremulant> tremulants,
                    std::span<Enclosure> enclosures);

    // One buffer of bufferFrames stereo frames per windchest-group entry and
    // the master accumulator. Reports "Memory could not be allocated ..." and
    // frees what it took on failure. OFF.
    bool AllocateMixBuffers();
    // OFF.
    void FreeMixBuffers();
    bool MixBuffersAllocated() const { return !master.empty(); }

    // The frame time the stream has played up to. Any thread.
    int64_t CurrentPlayPosition() const { return playPosition.load(std::memory_order_acquire); }
    // Set by the output stream's tick as the device plays on (and by tests).
    void SetPlayPosition(int64_t frameTime) {
        playPosition.store(frameTime, std::memory_order_release);
    }

    // Renders the frames blockTime .. blockTime + frameCount - 1 into out as
    // interleaved 16-bit stereo. False, with out silent, when frameCount is
    // more than the buffer length or out, or the buffers are not allocated.
    // RT.
    bool RenderBlock(std::span<int16_t> out, int64_t frameCount, int64_t blockTime);

    // Returns once the renderer is outside its voice pass, so that a voice
    // whose ready flag was cleared before the call is no longer being read.
    // MIDI or UI.
    void WaitForVoicePass() const;

    // The mix buffer of a windchest group: frames of left, right. Tests read
    // it after RenderBlock. Any thread while no block renders.
    const int32_t* GroupBuffer(int group) const {
        return groupBuffers[static_cast<size_t>(group)].data();
    }

private:
    void MixVoices(int64_t frameCount, int64_t blockTime);

    int64_t bufferFrames = 0;
    OutputMode outputMode = OutputMode::Mono;
    int groupCount = 0;
    VoicePool* voices = nullptr;
    std::span<Tremulant> tremulants;
    std::span<Enclosure> enclosures;
    std::vector<int32_t> groupBuffers[kMaxWindchestGroups];
    std::vector<int32_t> master;
    std::atomic<int64_t> playPosition{0};
    // Odd while the renderer walks the voices.
    std::atomic<uint64_t> voicePass{0};
};

}  // namespace tessaline
