#include "platform/rtaudio/RtAudioOutput.h"

#include <rtaudio/RtAudio.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "organ/Constants.h"
#include "platform/StreamRing.h"

namespace tessaline {

namespace {

// Identifiers are "<api>|<device name>": the device is looked up by name
// again when it is opened, because RtAudio's indexes change as devices come
// and go.
constexpr char kSeparator = '|';

const RtAudio::Api kApiOrder[] = {RtAudio::UNIX_JACK, RtAudio::LINUX_PULSE, RtAudio::LINUX_ALSA};

bool Compiled(RtAudio::Api api) {
    std::vector<RtAudio::Api> apis;
    RtAudio::getCompiledApi(apis);
    return std::find(apis.begin(), apis.end(), api) != apis.end();
}

// Finds an output device by name; false when it is gone.
bool FindOutput(RtAudio& audio, const std::string& name, unsigned int& index,
                RtAudio::DeviceInfo& info) {
    unsigned int count = audio.getDeviceCount();
    for (unsigned int i = 0; i < count; ++i) {
        RtAudio::DeviceInfo candidate = audio.getDeviceInfo(i);
        if (candidate.probed && candidate.outputChannels >= 2 && candidate.name == name) {
            index = i;
            info = candidate;
            return true;
        }
    }
    return false;
}

class RtAudioStream : public AudioOutputStream {
public:
    RtAudioStream(RtAudio::Api api, unsigned int deviceIndex, uint32_t bufferBytes)
        : audio(api), ring(bufferBytes), deviceIndex(deviceIndex) {}

    ~RtAudioStream() override {
        try {
            if (audio.isStreamRunning()) audio.abortStream();
            if (audio.isStreamOpen()) audio.closeStream();
        } catch (const RtAudioError&) {
        }
    }

    bool Open() {
        audio.showWarnings(false);
        RtAudio::StreamParameters out;
        out.deviceId = deviceIndex;
        out.nChannels = 2;
        RtAudio::StreamOptions options;
        // Under JACK this names the client, so its ports are "Tessaline:outport N";
        // the MIDI inputs' client is "Tessaline MIDI".
        options.streamName = "Tessaline";
        period = DevicePeriodFrames(ring.Frames());
        try {
            audio.openStream(&out, nullptr, RTAUDIO_SINT16, kSampleRate, &period, &Callback, this,
                             &options);
        } catch (const RtAudioError&) {
            return false;
        }
        return true;
    }

    bool GetCaps(StreamBufferCaps& caps) override {
        caps = {ring.Bytes(), period};
        return audio.isStreamOpen();
    }
    bool GetFormat(StreamFormat& format) override {
        if (!audio.isStreamOpen()) return false;
        unsigned int rate = audio.getStreamSampleRate();
        format = {2, rate, rate * 4, 4, 16};
        return true;
    }
    bool Lock(uint32_t offsetBytes, uint32_t bytes, RingRegion& first, RingRegion& second) override {
        return ring.Lock(offsetBytes, bytes, first, second);
    }
    bool Unlock(const RingRegion& first, const RingRegion& second) override {
        return ring.Unlock(first, second);
    }
    bool Play() override {
        try {
            audio.startStream();
        } catch (const RtAudioError&) {
            return false;
        }
        playing.store(true, std::memory_order_release);
        return true;
    }
    bool Stop() override {
        playing.store(false, std::memory_order_release);
        // Halts at once, as a stopped ring should, rather than letting the
        // device drain it; RtAudio's draining stop on JACK also waits on a
        // condition with a mutex it does not hold.
        try {
            if (audio.isStreamRunning()) audio.abortStream();
        } catch (const RtAudioError&) {
            return false;
        }
        return true;
    }
    bool GetCurrentPosition(uint32_t& playCursorBytes) override {
        playCursorBytes = ring.CursorBytes();
        return true;
    }
    uint64_t XrunCount() const override { return xruns.load(std::memory_order_relaxed); }
    // When the JACK server shuts a client down, RtAudio closes that stream on a
    // thread of its own and says so only on stderr: a stream that was playing
    // and is no longer open has been lost.
    bool DeviceLost() override {
        return playing.load(std::memory_order_acquire) && !audio.isStreamOpen();
    }

private:
    // Device thread: plays the ring at the cursor.
    static int Callback(void* output, void*, unsigned int frames, double,
                        RtAudioStreamStatus status, void* user) {
        auto* self = static_cast<RtAudioStream*>(user);
        if (status & RTAUDIO_OUTPUT_UNDERFLOW) self->xruns.fetch_add(1, std::memory_order_relaxed);
        self->ring.Play(static_cast<int16_t*>(output), frames);
        return 0;
    }

    RtAudio audio;
    StreamRing ring;
    unsigned int deviceIndex;
    unsigned int period = 0;
    std::atomic<uint64_t> xruns{0};
    std::atomic<bool> playing{false};  // between our Play and our Stop
};

class RtAudioDevice : public AudioOutputDevice {
public:
    RtAudioDevice(RtAudio::Api api, unsigned int index, RtAudio::DeviceInfo info)
        : api(api), index(index), info(std::move(info)) {}

    bool GetCaps(AudioDeviceCaps& caps) override {
        // RtAudio converts from 16-bit integers to whatever the device takes.
        unsigned int fastest = 0;
        for (unsigned int rate : info.sampleRates) fastest = std::max(fastest, rate);
        caps = {true, info.outputChannels >= 2, fastest};
        return info.probed;
    }
    bool SetOutputFormat(const StreamFormat& format) override {
        const auto& rates = info.sampleRates;
        return format.channels <= info.outputChannels && format.bitsPerSample == 16 &&
               std::find(rates.begin(), rates.end(), format.framesPerSecond) != rates.end();
    }
    std::unique_ptr<AudioOutputStream> CreateStreamBuffer(const StreamFormat& format,
                                                          uint32_t bufferBytes) override {
        if (!(format == StreamFormat::Stereo16()) || bufferBytes == 0 || bufferBytes % 4 != 0) {
            return nullptr;
        }
        try {
            auto stream = std::make_unique<RtAudioStream>(api, index, bufferBytes);
            if (!stream->Open()) return nullptr;
            return stream;
        } catch (const RtAudioError&) {
            return nullptr;
        }
    }

private:
    RtAudio::Api api;
    unsigned int index;
    RtAudio::DeviceInfo info;
};

}  // namespace

unsigned int DevicePeriodFrames(uint32_t bufferFrames) {
    // A quarter of a timer period keeps the cursor moving finely between
    // ticks; below 64 frames the devices take too much time per frame.
    return std::clamp<unsigned int>(bufferFrames / 16, 64, 512);
}

RtAudioOutputSystem::RtAudioOutputSystem() {
    // Listing JACK devices must never start a server of its own.
    setenv("JACK_NO_START_SERVER", "1", 0);
    const char* wanted = std::getenv("TESSALINE_VIRTUAL_DEVICES");
    if (wanted && std::strcmp(wanted, "1") == 0) virtualDevices = std::make_unique<VirtualAudioSystem>(0, false);
}

bool RtAudioOutputSystem::Enumerate(std::vector<AudioDeviceEntry>& entries, size_t maxEntries) {
    bool listed = true;
    for (RtAudio::Api api : kApiOrder) {
        if (!Compiled(api)) continue;
        try {
            RtAudio audio(api);
            audio.showWarnings(false);
            unsigned int count = audio.getDeviceCount();
            for (unsigned int i = 0; i < count && entries.size() < maxEntries; ++i) {
                RtAudio::DeviceInfo info = audio.getDeviceInfo(i);
                if (!info.probed || info.outputChannels < 2) continue;
                std::string apiName = RtAudio::getApiName(api);
                entries.push_back({apiName + kSeparator + info.name,
                                   RtAudio::getApiDisplayName(api) + ": " + info.name, apiName});
            }
        } catch (const RtAudioError&) {
            listed = false;
        }
    }
    if (virtualDevices && entries.size() < maxEntries) {
        listed = virtualDevices->Enumerate(entries, maxEntries) && listed;
    }
    return listed;
}

bool RtAudioOutputSystem::Create(const std::string& identifier,
                                 std::unique_ptr<AudioOutputDevice>& device) {
    device.reset();
    if (virtualDevices && identifier.rfind("virtual:", 0) == 0) {
        return virtualDevices->Create(identifier, device);
    }
    size_t cut = identifier.find(kSeparator);
    if (cut == std::string::npos) return false;
    RtAudio::Api api = RtAudio::getCompiledApiByName(identifier.substr(0, cut));
    if (api == RtAudio::UNSPECIFIED) return false;
    try {
        RtAudio audio(api);
        audio.showWarnings(false);
        unsigned int index = 0;
        RtAudio::DeviceInfo info;
        if (!FindOutput(audio, identifier.substr(cut + 1), index, info)) return false;
        device = std::make_unique<RtAudioDevice>(api, index, std::move(info));
    } catch (const RtAudioError&) {
        return false;
    }
    return true;
}

}  // namespace tessaline
