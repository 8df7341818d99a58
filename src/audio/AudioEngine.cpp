#include "audio/AudioEngine.h"

#include <algorithm>
#include <new>
#include <thread>

#include "audio/Enclosure.h"
#include "audio/PipeVoice.h"
#include "audio/Tremulant.h"
#include "audio/VoiceMixer.h"
#include "organ/Pipe.h"

namespace tessaline {

namespace {

constexpr int kPrefetchVoices = 8;  // how far ahead sample data is fetched
constexpr int64_t kCacheLine = 64;

int16_t Clip(int32_t value) { return static_cast<int16_t>(std::clamp(value, -32767, 32767)); }

// Asks for the frames a voice will read in this block, so that the loads of
// the next voices overlap the mixing of this one.
void PrefetchVoice(const PipeVoice& voice, OutputMode mode, int64_t frameCount) {
    if (!voice.inUse.load(std::memory_order_acquire) ||
        !voice.ready.load(std::memory_order_seq_cst))
        return;
    const PipeSample& sample = voice.sample;
    const int64_t channels = mode == OutputMode::Stereo ? 2 : 1;
    const int64_t at = voice.releasing ? voice.releasePosition : voice.position;
    const char* start = reinterpret_cast<const char*>(sample.memory + channels * at);
    const int64_t bytes = std::min(frameCount, sample.end - at) * channels * 2;
    if (bytes <= 0) return;
    for (int64_t offset = 0; offset < bytes; offset += kCacheLine)
        __builtin_prefetch(start + offset);
    __builtin_prefetch(start + bytes - 1);  // the line the last frame ends in
}

}  // namespace

AudioEngine::AudioEngine(AudioOutputSystem& devices, TimerService& timers)
    : stream(devices, timers, *this) {}

void AudioEngine::SetGroupCount(int count) {
    groupCount = std::clamp(count, 0, kMaxWindchestGroups - 1);
}

void AudioEngine::SetSources(VoicePool* pool, std::span<Tremulant> tremulantTable,
                             std::span<Enclosure> enclosureTable) {
    voices = pool;
    tremulants = tremulantTable;
    enclosures = enclosureTable;
}

MixBufferAllocation AudioEngine::AllocateMixBuffers(int64_t bufferFrames) {
    FreeMixBuffers();
    const size_t values = static_cast<size_t>(std::max<int64_t>(bufferFrames, 0)) * 2;
    for (int g = 0; g < kMaxWindchestGroups; ++g) {
        try {
            groupBuffers[g].assign(values, 0);
        } catch (const std::bad_alloc&) {
            FreeMixBuffers();
            return {MixBufferAllocation::Status::GroupFailed, g};
        }
    }
    try {
        master.assign(std::max<size_t>(values, 2), 0);
    } catch (const std::bad_alloc&) {
        FreeMixBuffers();
        return {MixBufferAllocation::Status::MasterFailed, 0};
    }
    mixFrames = std::max<int64_t>(bufferFrames, 0);
    return {};
}

void AudioEngine::FreeMixBuffers() {
    for (auto& buffer : groupBuffers) std::vector<int32_t>().swap(buffer);
    std::vector<int32_t>().swap(master);
    mixFrames = 0;
}

void AudioEngine::WaitForVoicePass() const {
    const uint64_t pass = voicePass.load(std::memory_order_seq_cst);
    if (pass % 2 == 0) return;
    while (voicePass.load(std::memory_order_acquire) == pass) std::this_thread::yield();
}

void AudioEngine::MixVoices(int64_t frameCount, int64_t blockTime) {
    // The pass counter is odd from here to the end of the walk; a reset that
    // took a voice's ready flag away waits for it to move on (see
    // WaitForVoicePass). Both sides use sequentially consistent order so that
    // either the walk sees the flag cleared or the reset sees the walk.
    voicePass.fetch_add(1, std::memory_order_seq_cst);
    VoicePool& pool = *voices;
    for (int i = 0; i < kPrefetchVoices && i < VoicePool::Size(); ++i)
        PrefetchVoice(pool[i], outputMode, frameCount);
    for (int i = 0; i < VoicePool::Size(); ++i) {
        if (i + kPrefetchVoices < VoicePool::Size())
            PrefetchVoice(pool[i + kPrefetchVoices], outputMode, frameCount);
        PipeVoice& voice = pool[i];
        if (!voice.inUse.load(std::memory_order_acquire) ||
            !voice.ready.load(std::memory_order_seq_cst))
            continue;
        const int group = voice.groupBuffer >= 0 && voice.groupBuffer < kMaxWindchestGroups
                              ? voice.groupBuffer
                              : 0;
        MixVoice(outputMode, voice, groupBuffers[group].data(), frameCount, blockTime);
    }
    voicePass.fetch_add(1, std::memory_order_seq_cst);
}

bool AudioEngine::RenderBlock(std::span<int16_t> out, int64_t streamTime) {
    return RenderBlock(out, static_cast<int64_t>(out.size() / 2),
                       streamTime + stream.BufferFrames());
}

bool AudioEngine::RenderBlock(std::span<int16_t> out, int64_t frameCount, int64_t blockTime) {
    if (frameCount < 0 || frameCount > mixFrames || master.empty() ||
        out.size() < static_cast<size_t>(frameCount) * 2) {
        std::fill(out.begin(), out.end(), int16_t{0});
        return false;
    }
    const size_t values = static_cast<size_t>(frameCount) * 2;
    // Every entry, not only the mixed ones: a voice of a group that is not
    // mixed still adds into its buffer, which must not grow without bound.
    for (auto& buffer : groupBuffers) std::fill_n(buffer.begin(), values, 0);
    std::fill_n(master.begin(), values, 0);

    if (voices != nullptr) MixVoices(frameCount, blockTime);

    for (int g = 1; g <= groupCount; ++g) {
        int32_t* buffer = groupBuffers[g].data();
        if (outputMode == OutputMode::Mono) {
            // Spread the packed mono sums to left and right, from the end so
            // that no sum is overwritten before it is read.
            for (int64_t i = frameCount - 1; i >= 0; --i) {
                const int32_t v = buffer[i];
                buffer[2 * i] = v;
                buffer[2 * i + 1] = v;
            }
        }
        for (Tremulant& tremulant : tremulants) tremulant.Process(g, buffer, frameCount, blockTime);
        for (Enclosure& enclosure : enclosures) enclosure.Process(g, buffer, frameCount, blockTime);
        for (size_t v = 0; v < values; ++v) master[v] += buffer[v];
    }

    for (size_t v = 0; v < values; ++v) out[v] = Clip(master[v]);
    return true;
}

}  // namespace tessaline
