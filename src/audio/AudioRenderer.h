#pragma once
// What the output stream asks of the engine that makes the sound. The stream
// owns the device, the ring and the clock; the engine owns the voices and the
// mix buffers and fills the spans of the ring the stream hands it.

#include <cstdint>
#include <span>

namespace tessaline {

struct MixBufferAllocation {
    enum class Status { Allocated, GroupFailed, MasterFailed };
    Status status = Status::Allocated;
    int group = 0;  // the windchest group whose buffer could not be had
};

class AudioRenderer {
public:
    virtual ~AudioRenderer() = default;
    // OFF: makes the group buffers and the master accumulator for blocks of
    // up to bufferFrames frames, and takes the organ's windchest group count
    // for the run. On failure it frees what it made.
    virtual MixBufferAllocation AllocateMixBuffers(int64_t bufferFrames) = 0;
    // OFF: frees them again (also after a failed or partial allocation).
    virtual void FreeMixBuffers() = 0;
    // RT: fills out (already zeroed; out.size() / 2 stereo frames) with the
    // sound of the frames blockTime, blockTime + 1, ...
    virtual bool RenderBlock(std::span<int16_t> out, int64_t blockTime) = 0;
};

// RT: receives every block right after it is rendered, exactly as it goes to
// the device (the recorder).
class AudioBlockHook {
public:
    virtual ~AudioBlockHook() = default;
    virtual void WriteRecordedBlock(std::span<const int16_t> frames) = 0;
};

}  // namespace tessaline
