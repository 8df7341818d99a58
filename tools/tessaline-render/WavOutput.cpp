#include "WavOutput.h"

#include <algorithm>
#include <cstring>

#include "organ/Constants.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

namespace {

constexpr const char* kAction = "Rendering a MIDI file.";
constexpr uint32_t kHeaderBytes = 44;
// The RIFF size field counts everything after itself: the data may take at
// most what keeps it within 32 bits.
constexpr int64_t kMaxDataBytes = 0xFFFFFFFFll - (kHeaderBytes - 8);

void PutLittle(uint8_t* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void BuildHeader(uint8_t (&header)[kHeaderBytes], uint32_t dataBytes) {
    std::memcpy(header, "RIFF\0\0\0\0WAVEfmt ", 16);
    PutLittle(header + 4, dataBytes + kHeaderBytes - 8, 4);
    PutLittle(header + 16, 16, 4);  // format chunk size
    PutLittle(header + 20, 1, 2);   // PCM
    PutLittle(header + 22, 2, 2);   // channels
    PutLittle(header + 24, kSampleRate, 4);
    PutLittle(header + 28, kSampleRate * 4, 4);  // bytes a second
    PutLittle(header + 32, 4, 2);                // bytes a frame
    PutLittle(header + 34, 16, 2);               // bits a sample
    std::memcpy(header + 36, "data", 4);
    PutLittle(header + 40, dataBytes, 4);
}

}  // namespace

WavOutput::~WavOutput() {
    if (file != nullptr) std::fclose(file);
}

bool WavOutput::Create(const std::string& fileName) {
    name = fileName;
    framesWritten = 0;
    file = std::fopen(fileName.c_str(), "wb");
    if (file == nullptr) {
        ReportError("The output file \"%s\" could not be created.", kAction, fileName.c_str());
        return false;
    }
    uint8_t header[kHeaderBytes];
    BuildHeader(header, 0);
    if (std::fwrite(header, 1, kHeaderBytes, file) != kHeaderBytes) return WriteFailed();
    return true;
}

bool WavOutput::Append(std::span<const int16_t> frames) {
    if (file == nullptr) return false;
    int64_t count = static_cast<int64_t>(frames.size() / 2);
    if ((framesWritten + count) * 4 > kMaxDataBytes) {
        ReportError("The output file \"%s\" would be larger than a WAV file can be.", kAction,
                    name.c_str());
        std::fclose(file);
        file = nullptr;
        return false;
    }
    uint8_t bytes[2 * 2 * kBlockFrames];
    size_t done = 0;
    while (done < frames.size()) {
        size_t n = std::min(frames.size() - done, sizeof bytes / 2);
        for (size_t i = 0; i < n; ++i)
            PutLittle(bytes + 2 * i, static_cast<uint16_t>(frames[done + i]), 2);
        if (std::fwrite(bytes, 2, n, file) != n) return WriteFailed();
        done += n;
    }
    framesWritten += count;
    return true;
}

bool WavOutput::Finish() {
    if (file == nullptr) return false;
    uint8_t header[kHeaderBytes];
    BuildHeader(header, static_cast<uint32_t>(framesWritten * 4));
    if (std::fseek(file, 0, SEEK_SET) != 0 || std::fwrite(header, 1, kHeaderBytes, file) != kHeaderBytes)
        return WriteFailed();
    int closed = std::fclose(file);
    file = nullptr;
    if (closed != 0) {
        ReportError("The output file \"%s\" could not be written.", kAction, name.c_str());
        return false;
    }
    return true;
}

bool WavOutput::WriteFailed() {
    ReportError("The output file \"%s\" could not be written.", kAction, name.c_str());
    std::fclose(file);
    file = nullptr;
    return false;
}

}  // namespace tessaline
