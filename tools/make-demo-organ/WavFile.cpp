#include "WavFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "organ/Constants.h"

namespace tessaline::demo {

namespace {

void Put32(std::vector<char>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put16(std::vector<char>& out, uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}
void PutId(std::vector<char>& out, const char* id) { out.insert(out.end(), id, id + 4); }

}  // namespace

std::vector<char> EncodeWav(const PipeSound& sound, int unityNote, double centsAboveUnity) {
    const uint16_t channels = static_cast<uint16_t>(sound.channels);
    const uint32_t dataBytes = static_cast<uint32_t>(sound.samples.size() * 2);
    std::vector<char> out;
    out.reserve(dataBytes + 200);
    PutId(out, "RIFF");
    Put32(out, 0);  // patched below
    PutId(out, "WAVE");

    PutId(out, "fmt ");
    Put32(out, 16);
    Put16(out, 1);  // PCM
    Put16(out, channels);
    Put32(out, kSampleRate);
    Put32(out, kSampleRate * 2u * channels);
    Put16(out, static_cast<uint16_t>(2 * channels));
    Put16(out, 16);

    PutId(out, "data");
    Put32(out, dataBytes);
    for (int16_t s : sound.samples) Put16(out, static_cast<uint16_t>(s));

    // Fraction of a semitone above the unity note, as 32-bit fixed point.
    double fraction = std::clamp(centsAboveUnity / 100.0, 0.0, 0.999999);
    PutId(out, "smpl");
    Put32(out, 36 + 24);
    Put32(out, 0);                                   // manufacturer
    Put32(out, 0);                                   // product
    Put32(out, 1000000000u / kSampleRate);           // sample period, ns
    Put32(out, static_cast<uint32_t>(unityNote));
    Put32(out, static_cast<uint32_t>(fraction * 4294967296.0));
    Put32(out, 0);                                   // SMPTE format
    Put32(out, 0);                                   // SMPTE offset
    Put32(out, 1);                                   // one loop
    Put32(out, 0);                                   // no sampler data
    Put32(out, 0);                                   // cue point id
    Put32(out, 0);                                   // forward
    Put32(out, static_cast<uint32_t>(sound.loopStart));
    Put32(out, static_cast<uint32_t>(sound.loopEnd));
    Put32(out, 0);                                   // fraction
    Put32(out, 0);                                   // endless

    PutId(out, "cue ");
    Put32(out, 4 + 24);
    Put32(out, 1);
    Put32(out, 1);                                   // identifier
    Put32(out, static_cast<uint32_t>(sound.releaseMarker));
    PutId(out, "data");
    Put32(out, 0);                                   // chunk start
    Put32(out, 0);                                   // block start
    Put32(out, static_cast<uint32_t>(sound.releaseMarker));

    uint32_t riffSize = static_cast<uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<char>((riffSize >> (8 * i)) & 0xFF);
    return out;
}

bool WriteFile(const std::string& path, const std::vector<char>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace tessaline::demo
