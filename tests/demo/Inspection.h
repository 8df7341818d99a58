#pragma once
// Readers the demo tests use to look at what the generator wrote: WAV files
// chunk by chunk, Standard MIDI Files event by event, and one DFT bin.

#include <cstdint>
#include <string>
#include <vector>

namespace tessaline::test {

struct WavInfo {
    uint16_t formatTag = 0, channels = 0, blockAlign = 0, bits = 0;
    uint32_t sampleRate = 0, bytesPerSecond = 0;
    std::vector<int16_t> samples;  // interleaved
    bool hasSampler = false;
    uint32_t loops = 0, loopType = 0, loopStart = 0, loopEnd = 0, playCount = 0, unityNote = 0;
    bool hasCue = false;
    std::vector<uint32_t> cueOffsets;
    size_t fileSize = 0;

    int64_t Frames() const { return channels ? static_cast<int64_t>(samples.size()) / channels : 0; }
    int Sample(int64_t frame, int channel) const { return samples[static_cast<size_t>(frame * channels + channel)]; }
};

// False (with a reason) when the file is not RIFF/WAVE or a chunk runs past its end.
bool ReadWav(const std::string& path, WavInfo& info, std::string& why);

// Amplitude of the sinusoid at bin k (k periods per n frames) of frames
// [start, start + n) of one channel.
double BinAmplitude(const WavInfo& wav, int channel, int64_t start, int64_t n, int64_t k);

struct MidiEvent {
    uint32_t tick;        // absolute
    uint8_t status;       // as in force (running status resolved)
    bool statusWritten;   // false when the event relied on running status
    std::vector<uint8_t> data;  // data bytes, or for meta events type then data
};

struct MidiTrackInfo {
    std::vector<MidiEvent> events;
};

struct MidiInfo {
    uint16_t format = 0, trackCount = 0, division = 0;
    std::vector<MidiTrackInfo> tracks;
};

// Runs make-demo-organ with the arguments (its output thrown away) and
// returns the shell's status.
int RunGenerator(const std::string& arguments);

bool ReadMidi(const std::vector<uint8_t>& bytes, MidiInfo& info, std::string& why);
std::vector<uint8_t> ReadBytes(const std::string& path);

}  // namespace tessaline::test
