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
//  - Audio timer thread: each tick of the output stream advances the clock
//    and calls RenderBlock for the frames just played. The render never
//    allocates, never takes a lock, never makes a system call and never
//    reports: everything it touches was allocated before the stream started.
//  - Recorder writer: while a recording runs, the tick hands each rendered
//    block on without waiting; writing it to the file (which may block on the
//    disk) is the writer's business, never the tick's.
//
// Frame times are signed 64-bit counts of frames at 44100 per second since the
// stream started, on the play position's clock: frame time T is the frame the
// listener hears when the play position reaches T. The stream refills the
// ring just behind its play cursor, so what it writes for its own frame time
// W is heard one lap later, at play position W + bufferFrames; the engine
// renders that frame as frame time W + bufferFrames. Requests are scheduled at
// the current play position plus the buffer length, and so sound exactly one
// buffer length after they were made, as the setup's latency figure says. A
// block [blockTime, blockTime + frameCount) is at most the buffer length.

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "audio/AudioRenderer.h"
#include "audio/AudioStream.h"
#include "organ/Constants.h"
#include "samples/PipeSample.h"

namespace tessaline {

class Enclosure;
class PipeVoice;
class Tremulant;
class VoicePool;

class AudioEngine : public AudioRenderer {
public:
    // UI. Lists the output devices of the system; the timers tick the stream.
    AudioEngine(AudioOutputSystem& devices, TimerService& timers);
    // UI. Stops the stream if it plays.
    ~AudioEngine() override = default;
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // UI: the device table, at most 32 entries in enumeration order.
    uint32_t DeviceCount() const { return stream.DeviceCount(); }
    const char* DeviceDescription(uint32_t index) const { return stream.DeviceDescription(index); }
    int FindDevice(const char* description) const { return stream.FindDevice(description); }

    // UI, OFF: the device and the stream buffer length in frames (the delay
    // from a request to its sound, and the largest block).
    bool SetParameters(uint32_t deviceIndex, int64_t bufferFrames) {
        return stream.SetParameters(deviceIndex, bufferFrames);
    }
    // UI: opens the device, makes the mix buffers, starts the stream and its
    // timer; stops and releases them all again.
    bool StartPlayback() { return stream.StartPlayback(); }
    bool StopPlayback() { return stream.StopPlayback(); }
    // Any thread.
    bool IsPlaying() const { return stream.IsPlaying(); }
    // The frame time the stream has played up to; 0 while it does not play.
    // Any thread.
    int64_t CurrentPlayPosition() { return stream.CurrentPlayPosition(); }
    int64_t BufferFrames() const { return stream.BufferFrames(); }
    // The stream itself, for the recorder's hook and the tick counters.
    AudioStream& Stream() { return stream; }

    // OFF: chosen once per organ load, before any voice plays.
    void SetOutputMode(OutputMode mode) { outputMode = mode; }
    OutputMode Mode() const { return outputMode; }
    // The organ's file count of windchest groups: groups 1..count are mixed. OFF.
    void SetGroupCount(int count);
    // What RenderBlock mixes: the organ's voice pool, its loaded tremulants
    // and enclosures in order. OFF.
    void SetSources(VoicePool* voices, std::span<Tremulant> tremulants,
                    std::span<Enclosure> enclosures);

    // OFF (the stream's start and stop): one buffer of bufferFrames stereo
    // frames per windchest-group entry and the master accumulator; on failure
    // it frees what it took and says which one failed.
    MixBufferAllocation AllocateMixBuffers(int64_t bufferFrames) override;
    void FreeMixBuffers() override;
    bool MixBuffersAllocated() const { return !master.empty(); }

    // RT, from the stream's tick: out holds the ring's frames for the
    // stream's frame time streamTime, which sound one buffer length later.
    bool RenderBlock(std::span<int16_t> out, int64_t streamTime) override;
    // Renders the frames blockTime .. blockTime + frameCount - 1 into out as
    // interleaved 16-bit stereo. False, with out silent, when frameCount is
    // more than the mix buffers hold or out, or they are not allocated. RT.
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

    int64_t mixFrames = 0;  // the frames each mix buffer holds
    OutputMode outputMode = OutputMode::Mono;
    int groupCount = 0;
    VoicePool* voices = nullptr;
    std::span<Tremulant> tremulants;
    std::span<Enclosure> enclosures;
    std::vector<int32_t> groupBuffers[kMaxWindchestGroups];
    std::vector<int32_t> master;
    // Odd while the renderer walks the voices.
    std::atomic<uint64_t> voicePass{0};
    // Last: it goes first, so no tick runs while the rest is taken down.
    AudioStream stream;
};

}  // namespace tessaline
