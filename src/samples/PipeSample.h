#pragma once
// The in-memory sample of one pipe, as the mixer plays it.
//
// Layout of a looped pipe: the file's frames 0 .. loopEnd (attack and loop),
// immediately followed by the frames from the release marker to the end (the
// release). The loop is [loopStart, releaseStart); the release is
// [releaseStart, end). A percussive pipe holds the whole file and plays
// [0, end) once; its loopStart and releaseStart are kNoFrame.
//
// Frames are signed 16-bit, one channel when the organ's memory sample format
// is Mono, interleaved left/right when it is Stereo. The memory belongs to the
// organ's sample memory and lives until the organ is unloaded.

#include <cstdint>

namespace tessaline {

enum class SampleFormat : uint8_t { Mono = 0, Stereo = 1 };

// How the mixer adds voices (chosen per organ load).
enum class OutputMode : uint8_t { Mono = 0, MixUpwards = 1, Stereo = 2 };

struct PipeSample {
    static constexpr int64_t kNoFrame = -1;

    const int16_t* memory = nullptr;
    int64_t loopStart = kNoFrame;
    int64_t releaseStart = kNoFrame;
    int64_t end = 0;
    float leftGain = 1.0f;
    float rightGain = 1.0f;
    bool percussive = false;

    bool Present() const { return memory != nullptr; }
};

}  // namespace tessaline
