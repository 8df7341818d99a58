// The samples make-demo-organ writes: valid looped WAV files whose loops join
// without a step, whose release marker follows the loop, and whose pipes
// sound within a cent of equal temperament across each stop's compass.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "DemoGenerator.h"
#include "Inspection.h"
#include "organ/DefinitionReader.h"
#include "organ/FilePaths.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "samples/SampleLoader.h"
#include "support/TempDir.h"

namespace tessaline::demo {
namespace {

double EqualTempered(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

// What each checked stop should sound, written out independently of the
// generator: semitones above the key (with cents), per rank.
struct Expected {
    const char* stop;  // global section, whose Pipe keys name the files
    std::vector<double> (*ranks)(int keyNote);
};

std::vector<double> Subbass(int key) { return {key - 12.0}; }
std::vector<double> Unison(int key) { return {double(key)}; }
std::vector<double> Octave(int key) { return {key + 12.0}; }
std::vector<double> Celeste(int key) { return {key + 0.06}; }
std::vector<double> Twelfth(int key) { return {key + 19.0}; }
std::vector<double> Mixture(int key) {
    // 1 1/3', 1', 2/3' from C2; back an octave at C3, C4 and C5.
    if (key < 48) return {key + 31.0, key + 36.0, key + 43.0};
    if (key < 60) return {key + 24.0, key + 31.0, key + 36.0};
    if (key < 72) return {key + 19.0, key + 24.0, key + 31.0};
    return {key + 12.0, key + 19.0, key + 24.0};
}

// Every stop with pipes of its own; the pedal Octave 8' borrows the Great
// Principal's.
const Expected kChecked[] = {
    {"Stop001", Unison},  {"Stop002", Unison}, {"Stop003", Octave},   {"Stop004", Mixture},
    {"Stop005", Unison},  {"Stop006", Unison}, {"Stop007", Unison},   {"Stop008", Celeste},
    {"Stop009", Octave},  {"Stop010", Twelfth}, {"Stop011", Unison},  {"Stop012", Subbass},
    {"Stop014", Subbass},
};

struct Pipe {
    std::string path;
    int keyNote;
};

// The owned pipes of a stop with the MIDI note of the key that plays each.
std::vector<Pipe> PipesOf(const DefinitionFile& organ, const std::string& folder, const std::string& stop) {
    std::vector<Pipe> pipes;
    int first = ParseWholeNumber(organ.Find(stop, "FirstAccessiblePipeLogicalKeyNumber")->c_str());
    int count = ParseWholeNumber(organ.Find(stop, "NumberOfLogicalPipes")->c_str());
    for (int p = 1; p <= count; ++p)
        pipes.push_back({ResolveOrganFilePath(folder, *organ.Find(stop, NumberedName("Pipe", p))), 36 + first - 1 + p - 1});
    return pipes;
}

// Largest step between neighbouring frames inside the loop, and the step
// from the loop's last frame back to its first.
void ExpectSeamless(const test::WavInfo& wav, const std::string& name) {
    for (int c = 0; c < wav.channels; ++c) {
        int largest = 0;
        for (int64_t t = wav.loopStart; t < wav.loopEnd; ++t)
            largest = std::max(largest, std::abs(wav.Sample(t + 1, c) - wav.Sample(t, c)));
        int join = std::abs(wav.Sample(wav.loopStart, c) - wav.Sample(wav.loopEnd, c));
        EXPECT_LE(join, largest) << name << " channel " << c;
        EXPECT_GT(largest, 0) << name;
    }
}

void ExpectLoopedSample(const test::WavInfo& wav, int channels, const std::string& name) {
    EXPECT_EQ(wav.formatTag, 1) << name;
    EXPECT_EQ(wav.channels, channels) << name;
    EXPECT_EQ(wav.sampleRate, 44100u) << name;
    EXPECT_EQ(wav.bits, 16) << name;
    EXPECT_EQ(wav.blockAlign, 2 * channels) << name;
    EXPECT_EQ(wav.bytesPerSecond, 88200u * channels) << name;
    EXPECT_LT(wav.fileSize, 8u * 1024u * 1024u) << name;
    ASSERT_TRUE(wav.hasSampler && wav.hasCue) << name;
    EXPECT_EQ(wav.loops, 1u) << name;
    EXPECT_EQ(wav.loopType, 0u) << name;
    EXPECT_EQ(wav.playCount, 0u) << name;
    EXPECT_GT(wav.loopEnd, wav.loopStart) << name;
    // At most about a second of sustain material per pipe.
    EXPECT_LE(wav.loopEnd - wav.loopStart + 1, 44100u) << name;
    ASSERT_EQ(wav.cueOffsets.size(), 1u) << name;
    EXPECT_GT(wav.cueOffsets[0], wav.loopEnd) << name;
    EXPECT_LT(wav.cueOffsets[0] + 44100 / 4, wav.Frames()) << name << ": release too short";
}

class DemoSamples : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new test::TempDir;
        ASSERT_EQ(test::RunGenerator("\"" + dir->Path().string() + "\""), 0);
        organ = new DefinitionFile;
        ASSERT_TRUE(organ->Parse(dir->File(DemoOrganFileName())));
    }
    static void TearDownTestSuite() {
        delete organ;
        delete dir;
    }
    static test::TempDir* dir;
    static DefinitionFile* organ;
};
test::TempDir* DemoSamples::dir = nullptr;
DefinitionFile* DemoSamples::organ = nullptr;

// Every pipe: a looped sample whose loop joins seamlessly, whose release
// follows the loop, and each of whose ranks is within a cent of equal
// temperament.
TEST_F(DemoSamples, EveryPipeLoopsSeamlesslyAndSoundsItsRanksInTune) {
    int checked = 0;
    for (const Expected& e : kChecked)
        for (const Pipe& pipe : PipesOf(*organ, dir->Path().string(), e.stop)) {
            SCOPED_TRACE(pipe.path);
            test::WavInfo wav;
            std::string why;
            ASSERT_TRUE(test::ReadWav(pipe.path, wav, why)) << why;
            ExpectLoopedSample(wav, 1, pipe.path);
            ExpectSeamless(wav, pipe.path);
            ++checked;
            const int64_t loop = wav.loopEnd - wav.loopStart + 1;
            int peak = 0;
            for (int64_t t = wav.loopStart; t <= wav.loopEnd; ++t) peak = std::max(peak, std::abs(wav.Sample(t, 0)));
            for (double note : e.ranks(pipe.keyNote)) {
                // A loop of whole periods puts each partial in one DFT bin:
                // the rank's bin must carry the tone, and that bin's pitch
                // must be the tempered one.
                SCOPED_TRACE(note);
                const double wanted = EqualTempered(note);
                const int64_t bin = std::llround(wanted * static_cast<double>(loop) / 44100.0);
                const double binPitch = static_cast<double>(bin) * 44100.0 / static_cast<double>(loop);
                EXPECT_LT(std::fabs(1200.0 * std::log2(binPitch / wanted)), 1.0);
                double here = test::BinAmplitude(wav, 0, wav.loopStart, loop, bin);
                double below = test::BinAmplitude(wav, 0, wav.loopStart, loop, bin - 1);
                double above = test::BinAmplitude(wav, 0, wav.loopStart, loop, bin + 1);
                EXPECT_GT(here, 0.02 * peak);
                EXPECT_GT(here, 10.0 * std::max(below, above));
            }
        }
    EXPECT_EQ(checked, 10 * 61 + 49 + 2 * 32);
}

TEST(DemoStereoSamples, PipesStandOnAlternateSidesAndLoopInBothChannels) {
    test::TempDir dir;
    ASSERT_EQ(test::RunGenerator("\"" + dir.Path().string() + "\" --stereo --only Subbass16"), 0);
    DefinitionFile organ;
    ASSERT_TRUE(organ.Parse(dir.File(DemoOrganFileName())));
    EXPECT_EQ(*organ.Find("Organ", "HighestSampleFormat"), "Stereo");
    RecordingErrorSink errors;
    SampleLoadingBuffer buffer;
    SampleMemory memory;
    const SampleLoadContext context{buffer, memory, SampleFormat::Stereo, SampleFormat::Mono, true, 1.0};
    for (const Pipe& pipe : PipesOf(organ, dir.Path().string(), "Stop012")) {
        test::WavInfo wav;
        std::string why;
        ASSERT_TRUE(test::ReadWav(pipe.path, wav, why)) << why;
        ExpectLoopedSample(wav, 2, pipe.path);
        ExpectSeamless(wav, pipe.path);
        double level[2] = {0, 0};
        for (int64_t t = wav.loopStart; t <= wav.loopEnd; ++t)
            for (int c = 0; c < 2; ++c) level[c] += std::pow(wav.Sample(t, c), 2.0);
        bool cSide = (pipe.keyNote - 36) % 2 == 0;
        if (cSide)
            EXPECT_GT(level[0], 1.1 * level[1]) << pipe.path;
        else
            EXPECT_GT(level[1], 1.1 * level[0]) << pipe.path;
        // Loaded into a mono organ that simulates stereo, the pipe keeps its side.
        PipeSample sample;
        ASSERT_TRUE(LoadPipeSample(context, sample, pipe.path.c_str(), 100, false, 1.0)) << pipe.path;
        EXPECT_EQ(cSide ? sample.leftGain : sample.rightGain, 1.0f) << pipe.path;
        EXPECT_LT(cSide ? sample.rightGain : sample.leftGain, 0.95f) << pipe.path;
        ReleasePipeSample(sample);
        memory.Clear();
    }
    EXPECT_EQ(errors.Count(), 0u);
}

}  // namespace
}  // namespace tessaline::demo
