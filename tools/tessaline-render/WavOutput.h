#pragma once
// A 16-bit stereo 44.1 kHz WAV file written as the frames come: the header
// goes out first with empty sizes and is completed by Finish.

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace tessaline {

class WavOutput {
public:
    WavOutput() = default;
    ~WavOutput();
    WavOutput(const WavOutput&) = delete;
    WavOutput& operator=(const WavOutput&) = delete;

    // Creates the file; false after reporting.
    bool Create(const std::string& fileName);
    // Interleaved left, right values; false after reporting (a write error,
    // or a file that would pass the 4 GiB a WAV file can describe).
    bool Append(std::span<const int16_t> frames);
    // Writes the sizes into the header and closes; false after reporting.
    bool Finish();
    int64_t FramesWritten() const { return framesWritten; }

private:
    bool WriteFailed();
    std::FILE* file = nullptr;
    std::string name;
    int64_t framesWritten = 0;
};

}  // namespace tessaline
