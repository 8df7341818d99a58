#include "Inspection.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>

namespace tessaline::test {

namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

int RunGenerator(const std::string& arguments) {
    std::string command = std::string("\"") + DEMO_GENERATOR + "\" " + arguments + " > /dev/null";
    return std::system(command.c_str());
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool ReadWav(const std::string& path, WavInfo& info, std::string& why) {
    info = WavInfo{};
    std::vector<uint8_t> b = ReadBytes(path);
    info.fileSize = b.size();
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0) {
        why = "not RIFF/WAVE";
        return false;
    }
    if (Le32(b.data() + 4) != b.size() - 8) {
        why = "RIFF size does not match the file";
        return false;
    }
    size_t pos = 12;
    while (pos + 8 <= b.size()) {
        const uint8_t* id = b.data() + pos;
        uint32_t size = Le32(id + 4);
        if (pos + 8 + size > b.size()) {
            why = "chunk runs past the end";
            return false;
        }
        const uint8_t* d = id + 8;
        if (std::memcmp(id, "fmt ", 4) == 0) {
            info.formatTag = Le16(d);
            info.channels = Le16(d + 2);
            info.sampleRate = Le32(d + 4);
            info.bytesPerSecond = Le32(d + 8);
            info.blockAlign = Le16(d + 12);
            info.bits = Le16(d + 14);
        } else if (std::memcmp(id, "data", 4) == 0) {
            info.samples.resize(size / 2);
            for (size_t i = 0; i < info.samples.size(); ++i)
                info.samples[i] = static_cast<int16_t>(Le16(d + 2 * i));
        } else if (std::memcmp(id, "smpl", 4) == 0 && size >= 36) {
            info.hasSampler = true;
            info.unityNote = Le32(d + 12);
            info.loops = Le32(d + 28);
            if (info.loops >= 1 && size >= 60) {
                info.loopType = Le32(d + 40);
                info.loopStart = Le32(d + 44);
                info.loopEnd = Le32(d + 48);
                info.playCount = Le32(d + 56);
            }
        } else if (std::memcmp(id, "cue ", 4) == 0 && size >= 4) {
            info.hasCue = true;
            uint32_t n = Le32(d);
            for (uint32_t i = 0; i < n && 4 + 24 * (i + 1) <= size; ++i)
                info.cueOffsets.push_back(Le32(d + 4 + 24 * i + 20));
        }
        pos += 8 + size + (size & 1);
    }
    return true;
}

double BinAmplitude(const WavInfo& wav, int channel, int64_t start, int64_t n, int64_t k) {
    // Goertzel's recurrence for one bin.
    const double w = 2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(n);
    const double coefficient = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0;
    for (int64_t i = 0; i < n; ++i) {
        double s = wav.Sample(start + i, channel) + coefficient * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    double real = s1 - s2 * std::cos(w), imaginary = s2 * std::sin(w);
    return 2.0 * std::hypot(real, imaginary) / static_cast<double>(n);
}

bool ReadMidi(const std::vector<uint8_t>& b, MidiInfo& info, std::string& why) {
    info = MidiInfo{};
    auto be32 = [&](size_t p) { return uint32_t{b[p]} << 24 | uint32_t{b[p + 1]} << 16 | b[p + 2] << 8 | b[p + 3]; };
    auto be16 = [&](size_t p) { return static_cast<uint16_t>(b[p] << 8 | b[p + 1]); };
    if (b.size() < 14 || std::memcmp(b.data(), "MThd", 4) != 0 || be32(4) != 6) {
        why = "no MThd header of 6 bytes";
        return false;
    }
    info.format = be16(8);
    info.trackCount = be16(10);
    info.division = be16(12);
    size_t pos = 14;
    for (int t = 0; t < info.trackCount; ++t) {
        if (pos + 8 > b.size() || std::memcmp(b.data() + pos, "MTrk", 4) != 0) {
            why = "missing MTrk chunk";
            return false;
        }
        size_t end = pos + 8 + be32(pos + 4);
        if (end > b.size()) {
            why = "track runs past the end";
            return false;
        }
        pos += 8;
        MidiTrackInfo track;
        uint32_t tick = 0;
        uint8_t running = 0;
        auto variable = [&]() {
            uint32_t v = 0;
            while (pos < end) {
                uint8_t c = b[pos++];
                v = v << 7 | (c & 0x7F);
                if (!(c & 0x80)) break;
            }
            return v;
        };
        while (pos < end) {
            tick += variable();
            MidiEvent e{tick, 0, true, {}};
            if (b[pos] == 0xFF) {
                e.status = 0xFF;
                ++pos;
                e.data.push_back(b[pos++]);
                uint32_t len = variable();
                e.data.insert(e.data.end(), b.begin() + static_cast<long>(pos), b.begin() + static_cast<long>(pos + len));
                pos += len;
                running = 0;
            } else {
                if (b[pos] & 0x80) {
                    running = b[pos++];
                } else {
                    e.statusWritten = false;
                    if (running == 0) {
                        why = "data byte without a status in force";
                        return false;
                    }
                }
                e.status = running;
                int count = (running & 0xF0) == 0xC0 || (running & 0xF0) == 0xD0 ? 1 : 2;
                for (int i = 0; i < count; ++i) e.data.push_back(b[pos++]);
            }
            track.events.push_back(std::move(e));
        }
        info.tracks.push_back(std::move(track));
        pos = end;
    }
    return true;
}

}  // namespace tessaline::test
