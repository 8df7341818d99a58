#pragma once
// The audio output devices as the engine sees them: a list of devices, and on
// an opened device one looping stream buffer (a ring of 16-bit stereo frames)
// that the device plays round and round. The device's own callback copies
// frames from the ring at its play cursor and advances the cursor; the engine
// refills the part the cursor has passed. Back ends: RtAudio (rtaudio/) and a
// virtual device for tests and headless runs (virtual/).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessaline {

struct AudioDeviceEntry {
    std::string identifier;   // what the back end needs to open the device again
    std::string description;  // "API: device", shown to the player and stored in settings
    std::string module;       // the back end's name for its driver
};

// PCM format of the stream buffer.
struct StreamFormat {
    uint16_t channels = 0;
    uint32_t framesPerSecond = 0;
    uint32_t bytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;

    static StreamFormat Stereo16() { return {2, 44100, 176400, 4, 16}; }
    bool operator==(const StreamFormat&) const = default;
};

struct AudioDeviceCaps {
    bool sixteenBit = false;
    bool stereo = false;
    uint32_t maxFramesPerSecond = 0;
};

struct StreamBufferCaps {
    uint32_t bufferBytes = 0;
    uint32_t devicePeriodFrames = 0;  // frames the device takes per callback
};

// A writable piece of the ring, as Lock hands it out.
struct RingRegion {
    int16_t* data = nullptr;
    uint32_t bytes = 0;
};

class AudioOutputStream {
public:
    virtual ~AudioOutputStream() = default;
    // UI, before Play.
    virtual bool GetCaps(StreamBufferCaps& caps) = 0;
    virtual bool GetFormat(StreamFormat& format) = 0;
    // Timer thread or UI. A region that runs past the end of the ring comes
    // back in two pieces; a region longer than the ring, or starting outside
    // it, is refused.
    virtual bool Lock(uint32_t offsetBytes, uint32_t bytes, RingRegion& first,
                      RingRegion& second) = 0;
    // Publishes what was written into the locked regions to the device.
    virtual bool Unlock(const RingRegion& first, const RingRegion& second) = 0;
    // UI. Play loops the ring from its play cursor; Stop halts the cursor.
    virtual bool Play() = 0;
    virtual bool Stop() = 0;
    // Any thread: the play cursor, in bytes from the start of the ring.
    virtual bool GetCurrentPosition(uint32_t& playCursorBytes) = 0;
    // Any thread: device underflows and xruns counted since the stream opened.
    virtual uint64_t XrunCount() const = 0;
    // Timer thread or UI: the device ended the stream of its own accord after
    // Play (its server went away, it was unplugged), so nothing written to
    // the ring plays any more. Stop and destruction remain safe.
    virtual bool DeviceLost() = 0;
};

class AudioOutputDevice {
public:
    virtual ~AudioOutputDevice() = default;
    virtual bool GetCaps(AudioDeviceCaps& caps) = 0;
    // Sets the device's own output format (refused when the device cannot run it).
    virtual bool SetOutputFormat(const StreamFormat& format) = 0;
    // Opens the looping stream buffer of bufferBytes bytes, filled with zeros
    // and not yet playing. Returns nullptr on failure.
    virtual std::unique_ptr<AudioOutputStream> CreateStreamBuffer(const StreamFormat& format,
                                                                  uint32_t bufferBytes) = 0;
};

class AudioOutputSystem {
public:
    virtual ~AudioOutputSystem() = default;
    // UI. Appends the output devices to entries, at most maxEntries in all.
    // Returns false when the listing failed (what was appended stays).
    virtual bool Enumerate(std::vector<AudioDeviceEntry>& entries, size_t maxEntries) = 0;
    // UI. Opens the device with that identifier. Returns false when it could
    // not; true with device left empty is a back end that started badly.
    virtual bool Create(const std::string& identifier,
                        std::unique_ptr<AudioOutputDevice>& device) = 0;
};

}  // namespace tessaline
