#pragma once
// Helpers of the recorder tests: a settings answer for the directory, blocks
// of a known pattern, and waits for the writer thread.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "audio/Recorder.h"

namespace tessaline::test {

inline constexpr OrganState kActiveOrgan{true, true};
inline constexpr uint32_t kTickFrames = 1344;  // a tick of the default 42-block buffer
inline constexpr uint32_t kTickBytes = kTickFrames * 4;

// The stored OutputRecDir; Choose stores `chosen` (empty: the player cancelled).
struct FixedDirectory : RecordingDirectory {
    explicit FixedDirectory(std::string dir, std::string choice = "")
        : stored(std::move(dir)), chosen(std::move(choice)) {}
    std::string Read() override { return stored; }
    void Choose() override {
        ++chooseCalls;
        stored = chosen;
    }
    std::string stored;
    std::string chosen;
    int chooseCalls = 0;
};

// Samples over the whole 16-bit range, different in neighbouring frames and
// between the channels.
inline std::vector<int16_t> PatternBlock(uint64_t firstFrame, uint32_t frames) {
    std::vector<int16_t> block(size_t{frames} * 2);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<int16_t>((firstFrame + i / 2) * 40503u + (i % 2) * 7919u);
    return block;
}

// Waits (up to 20 s, then fails the test) until `done` holds.
template <class Condition>
void WaitUntil(Condition done, const char* what) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << what;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

// Waits until the writer has taken `blocks` blocks (written or failed).
inline void WaitForWriter(const Recorder& recorder, uint64_t blocks) {
    WaitUntil([&] { return recorder.WrittenBlocks() + recorder.FailedBlocks() >= blocks; },
              "the writer did not take the blocks");
}

// Appends a block as the audio thread would, first waiting for room so that
// the test decides which blocks are dropped.
inline void AppendWithRoom(Recorder& recorder, const std::vector<int16_t>& block) {
    WaitUntil([&] { return recorder.FreeRingBytes() >= block.size() * 2; },
              "the ring never had room");
    ASSERT_TRUE(recorder.WriteRecordedBlock(block));
}

inline uint32_t ReadLe32(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
           uint32_t{bytes[at + 3]} << 24;
}

}  // namespace tessaline::test
