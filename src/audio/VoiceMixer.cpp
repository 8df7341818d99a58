#include "audio/VoiceMixer.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "audio/PipeVoice.h"
#include "organ/Constants.h"
#include "organ/Pipe.h"

namespace tessaline {

namespace {

// Four values at a time through the compiler's vector types: plain SSE2 on
// x86-64 without asking for more than the base instruction set.
typedef int16_t Int16x4 __attribute__((vector_size(8)));
typedef int32_t Int32x4 __attribute__((vector_size(16)));

inline void AddFour(int32_t* destination, const int16_t* source) {
    Int16x4 s;
    Int32x4 d;
    std::memcpy(&s, source, sizeof s);
    std::memcpy(&d, destination, sizeof d);
    d += __builtin_convertvector(s, Int32x4);
    std::memcpy(destination, &d, sizeof d);
}

// Frames of the integer fade left before a gain of fadeGain reaches 0.
int64_t FadeFramesLeft(int32_t fadeGain) {
    return (static_cast<int64_t>(fadeGain) + kReleaseFadeStep - 1) / kReleaseFadeStep;
}

// Every channel value v adds (v x gain) >> 15, the gain falling by 32 a
// frame; the gain stops at 0, inside the span if need be.
template <int kChannels>
void AddIntegerFade(int32_t* destination, const int16_t* source, int64_t frames,
                    int32_t& fadeGain) {
    const int64_t count = std::min(frames, FadeFramesLeft(fadeGain));
    int32_t gain = fadeGain;
    for (int64_t i = 0; i < count; ++i) {
        for (int c = 0; c < kChannels; ++c)
            destination[kChannels * i + c] += (source[kChannels * i + c] * gain) >> 15;
        gain -= kReleaseFadeStep;
    }
    fadeGain = gain <= 0 ? 0 : gain;
}

struct MonoKernel {
    static constexpr int kChannels = 1;
    static int32_t* At(int32_t* buffer, int64_t frame) { return buffer + frame; }
    void Add(int32_t* destination, const int16_t* source, int64_t frames) const {
        AddWidened(destination, source, frames);
    }
    void AddFaded(int32_t* destination, const int16_t* source, int64_t frames,
                  int32_t& fadeGain) const {
        AddIntegerFade<1>(destination, source, frames, fadeGain);
    }
};

struct StereoKernel {
    static constexpr int kChannels = 2;
    static int32_t* At(int32_t* buffer, int64_t frame) { return buffer + 2 * frame; }
    void Add(int32_t* destination, const int16_t* source, int64_t frames) const {
        AddWidened(destination, source, 2 * frames);
    }
    void AddFaded(int32_t* destination, const int16_t* source, int64_t frames,
                  int32_t& fadeGain) const {
        AddIntegerFade<2>(destination, source, frames, fadeGain);
    }
};

// Mono memory spread over left and right in 32-bit float; each sum is
// truncated toward zero.
struct MixUpwardsKernel {
    static constexpr int kChannels = 1;
    float leftGain;
    float rightGain;

    static int32_t* At(int32_t* buffer, int64_t frame) { return buffer + 2 * frame; }
    static int32_t Sum(int32_t accumulated, float value) {
        return static_cast<int32_t>(static_cast<float>(accumulated) + value);
    }
    void Add(int32_t* destination, const int16_t* source, int64_t frames) const {
        for (int64_t i = 0; i < frames; ++i) {
            const float v = source[i];
            destination[2 * i] = Sum(destination[2 * i], v * leftGain);
            destination[2 * i + 1] = Sum(destination[2 * i + 1], v * rightGain);
        }
    }
    void AddFaded(int32_t* destination, const int16_t* source, int64_t frames,
                  int32_t& fadeGain) const {
        constexpr float kStep = -0.0009765923f;  // 32 / 32767
        float f = static_cast<float>(fadeGain) / 32767.0f;
        for (int64_t i = 0; i < frames; ++i) {
            const float w = static_cast<float>(source[i]) * f;
            destination[2 * i] = Sum(destination[2 * i], w * leftGain);
            destination[2 * i + 1] = Sum(destination[2 * i + 1], w * rightGain);
            f += kStep;
            if (f <= 0.0f) {
                f = 0.0f;
                break;
            }
        }
        fadeGain = static_cast<int32_t>(f * 32767.0f);
    }
};

void Finish(PipeVoice& voice) {
    voice.ready.store(false, std::memory_order_release);
    voice.inUse.store(false, std::memory_order_release);
}

// Moves p to the voice's start frame; false while the start lies beyond this
// block.
bool ReachStart(PipeVoice& voice, int64_t frameCount, int64_t blockTime, int64_t& p) {
    if (!voice.startPending) return true;
    if (voice.startTime - blockTime >= frameCount) return false;
    if (voice.startTime >= blockTime) p = voice.startTime - blockTime;
    voice.startPending = false;
    return true;
}

// Plays the attack and loop for the block frames [p, until), wrapping at the
// loop end, through add(destination, source, frames).
template <typename Kernel, typename AddSpan>
int64_t PlayLoop(PipeVoice& voice, const PipeSample& sample, int32_t* buffer, int64_t p,
                 int64_t until, AddSpan add) {
    while (p < until) {
        int64_t span = until - p;
        const int16_t* source = sample.memory + Kernel::kChannels * voice.position;
        if (voice.position + span >= sample.releaseStart) {
            span = sample.releaseStart - voice.position;
            add(Kernel::At(buffer, p), source, span);
            voice.position = sample.loopStart;
        } else {
            add(Kernel::At(buffer, p), source, span);
            voice.position += span;
        }
        p += span;
    }
    return p;
}

template <typename Kernel>
void MixWith(const Kernel& kernel, PipeVoice& voice, int32_t* buffer, int64_t n, int64_t T) {
    const PipeSample& sample = voice.sample;
    constexpr int C = Kernel::kChannels;
    int64_t p = 0;

    if (sample.percussive) {
        if (!ReachStart(voice, n, T, p)) return;
        const int64_t span = std::min(n - p, sample.end - voice.position);
        kernel.Add(Kernel::At(buffer, p), sample.memory + C * voice.position, span);
        if (voice.position + span >= sample.end) {
            Finish(voice);
        } else {
            voice.position += span;
        }
        return;
    }

    auto plain = [&kernel](int32_t* d, const int16_t* s, int64_t frames) {
        kernel.Add(d, s, frames);
    };
    if (!voice.releasing) {
        if (!ReachStart(voice, n, T, p)) return;
        int64_t stopAt = n;
        if (voice.stopPending.load(std::memory_order_acquire) && voice.stopTime - T < n) {
            stopAt = std::max<int64_t>(0, voice.stopTime - T);
            voice.releasing = true;
            voice.fadeGain = kReleaseFadeStart;
            voice.releasePosition = sample.releaseStart;
        }
        p = PlayLoop<Kernel>(voice, sample, buffer, p, stopAt, plain);
    }
    if (!voice.releasing) return;

    // The loop fades out while the release segment starts at full level at
    // the same frame.
    int64_t q = p;
    auto faded = [&kernel, &voice](int32_t* d, const int16_t* s, int64_t frames) {
        if (voice.fadeGain != 0) kernel.AddFaded(d, s, frames, voice.fadeGain);
    };
    while (p < n && voice.fadeGain != 0) p = PlayLoop<Kernel>(voice, sample, buffer, p, n, faded);
    while (q < n && voice.releasePosition < sample.end) {
        const int64_t span = std::min(n - q, sample.end - voice.releasePosition);
        kernel.Add(Kernel::At(buffer, q), sample.memory + C * voice.releasePosition, span);
        voice.releasePosition += span;
        q += span;
    }
    if (voice.releasePosition >= sample.end - 1) Finish(voice);
}

}  // namespace

void AddWidened(int32_t* __restrict destination, const int16_t* __restrict source, int64_t count) {
    int64_t i = 0;
    for (; i + 8 <= count; i += 8) {
        AddFour(destination + i, source + i);
        AddFour(destination + i + 4, source + i + 4);
    }
    for (; i < count; ++i) destination[i] += source[i];
}

void MixVoice(OutputMode mode, PipeVoice& voice, int32_t* groupBuffer, int64_t frameCount,
              int64_t blockTime) {
    switch (mode) {
        case OutputMode::Mono:
            MixWith(MonoKernel{}, voice, groupBuffer, frameCount, blockTime);
            break;
        case OutputMode::Stereo:
            MixWith(StereoKernel{}, voice, groupBuffer, frameCount, blockTime);
            break;
        case OutputMode::MixUpwards: {
            const PipeSample& sample = voice.sample;
            MixWith(MixUpwardsKernel{sample.leftGain, sample.rightGain}, voice, groupBuffer,
                    frameCount, blockTime);
            break;
        }
    }
}

}  // namespace tessaline
