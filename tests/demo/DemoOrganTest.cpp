// The demo organ as make-demo-organ writes it, generated once for the suite:
// the checker loads it with its console on the screen, every pipe (shared
// ones through their owners) loops without a step and sounds its ranks
// within a cent of equal temperament, both pieces render loud enough without
// clipping, and every run writes the same bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

#include "DemoGenerator.h"
#include "Spectrum.h"
#include "organ/DefinitionReader.h"
#include "organ/FilePaths.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "samples/SampleLoader.h"
#include "support/TempDir.h"
#include "support/ToolRun.h"

namespace tessaline::demo {
namespace {

using test::Quote;

test::ToolRun Generate(const std::string& arguments) { return test::RunTool(DEMO_GENERATOR, arguments); }

double Tempered(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

// What each stop should sound, written out independently of the generator:
// semitones above the key (with cents), per rank.
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

// Every stop; the pedal Octave 8' (Stop013) borrows the Great Principal's pipes.
const std::pair<const char*, std::vector<double> (*)(int)> kRanks[] = {
    {"Stop001", Unison}, {"Stop002", Unison},  {"Stop003", Octave},  {"Stop004", Mixture},
    {"Stop005", Unison}, {"Stop006", Unison},  {"Stop007", Unison},  {"Stop008", Celeste},
    {"Stop009", Octave}, {"Stop010", Twelfth}, {"Stop011", Unison},  {"Stop012", Subbass},
    {"Stop013", Unison}, {"Stop014", Subbass},
};

struct PipeFile {
    std::string path;
    int keyNote;
};

// The sample each pipe of a stop plays, a shared pipe's (REF:MM:SSS:PPP)
// being its owner's, with the MIDI note of the key that plays it.
std::vector<PipeFile> PipesOf(const DefinitionFile& organ, const std::string& folder,
                              const std::string& stop) {
    auto number = [&](const std::string& section, const std::string& key) {
        return ParseWholeNumber(organ.Find(section, key)->c_str());
    };
    std::vector<PipeFile> pipes;
    const int first = number(stop, "FirstAccessiblePipeLogicalKeyNumber");
    for (int p = 1; p <= number(stop, "NumberOfLogicalPipes"); ++p) {
        std::string specifier = *organ.Find(stop, NumberedName("Pipe", p));
        if (specifier.starts_with("REF:")) {
            const std::string manual = NumberedName("Manual", std::stoi(specifier.substr(4, 2)));
            const int owner = number(manual, NumberedName("Stop", std::stoi(specifier.substr(7, 3))));
            specifier = *organ.Find(NumberedName("Stop", owner),
                                    NumberedName("Pipe", std::stoi(specifier.substr(11, 3))));
        }
        pipes.push_back({ResolveOrganFilePath(folder, specifier), 36 + first - 1 + p - 1});
    }
    return pipes;
}

// The step from the loop's last frame back to its first is no larger than
// the largest step inside the loop, in every channel.
void ExpectSeamless(const PipeSample& s, int channels) {
    for (int c = 0; c < channels; ++c) {
        auto at = [&](int64_t t) { return int{s.memory[t * channels + c]}; };
        int largest = 0;
        for (int64_t t = s.loopStart + 1; t < s.releaseStart; ++t)
            largest = std::max(largest, std::abs(at(t) - at(t - 1)));
        EXPECT_GT(largest, 0) << "channel " << c;
        EXPECT_LE(std::abs(at(s.loopStart) - at(s.releaseStart - 1)), largest) << "channel " << c;
    }
}

class GeneratedDemo : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new test::TempDir;
        ASSERT_EQ(Generate(Quote(dir->Path().string())).status, 0);
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
test::TempDir* GeneratedDemo::dir = nullptr;
DefinitionFile* GeneratedDemo::organ = nullptr;

TEST_F(GeneratedDemo, TheCheckerLoadsEverySampleAndFitsTheConsoleOnTheScreen) {
    // Reports would come before the summary; a screen just larger than the
    // Medium window suffices.
    test::ToolRun run = test::RunTool(ORGAN_CHECKER, Quote(dir->File(DemoOrganFileName())) +
                                                         " --screen 1024x768");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output,
              "Loaded \"Tessaline Demo Organ\": 2 manuals, console 1016x728, 767 loading steps.\n"
              "14 stops, 723 pipes with samples, 32 shared pipes, mono samples in memory.\n");
}

TEST_F(GeneratedDemo, EveryPipeLoopsSeamlesslyAndSoundsItsRanksInTune) {
    RecordingErrorSink errors;
    SampleLoadingBuffer buffer;
    SampleMemory memory;
    const SampleLoadContext context{buffer, memory, SampleFormat::Mono, SampleFormat::Mono, false, 1.0};
    int checked = 0;
    for (const auto& [stop, ranks] : kRanks)
        for (const PipeFile& pipe : PipesOf(*organ, dir->Path().string(), stop)) {
            SCOPED_TRACE(pipe.path);
            PipeSample s;
            ASSERT_TRUE(LoadPipeSample(context, s, pipe.path.c_str(), 100, false, 1.0));
            ExpectSeamless(s, 1);
            const int64_t loop = s.releaseStart - s.loopStart;
            EXPECT_LE(loop, 44100) << "at most a second of sustain material";
            EXPECT_GT(s.end - s.releaseStart, 44100 / 4) << "release too short";
            const int16_t* values = s.memory + s.loopStart;
            const int peak = std::abs(int{*std::max_element(values, values + loop, [](int a, int b) {
                return std::abs(a) < std::abs(b);
            })});
            for (double note : ranks(pipe.keyNote)) {
                // A loop of whole periods puts each rank in one DFT bin: that
                // bin must carry the tone, and its pitch must be the tempered one.
                SCOPED_TRACE(note);
                const double wanted = Tempered(note);
                const int64_t bin = std::llround(wanted * static_cast<double>(loop) / 44100.0);
                const double binPitch = static_cast<double>(bin) * 44100.0 / static_cast<double>(loop);
                EXPECT_LT(std::fabs(1200.0 * std::log2(binPitch / wanted)), 1.0);
                const double here = BinAmplitude(values, 1, loop, bin);
                EXPECT_GT(here, 0.02 * peak);
                EXPECT_GT(here, 10.0 * std::max(BinAmplitude(values, 1, loop, bin - 1),
                                                BinAmplitude(values, 1, loop, bin + 1)));
            }
            ++checked;
            memory.Clear();
        }
    EXPECT_EQ(checked, 10 * 61 + 49 + 3 * 32);
    EXPECT_EQ(errors.Count(), 0u);
}

TEST(DemoStereo, PipesStandOnAlternateSidesAndLoopInBothChannels) {
    test::TempDir dir;
    ASSERT_EQ(Generate(Quote(dir.Path().string()) + " --stereo --only Subbass16").status, 0);
    DefinitionFile organ;
    ASSERT_TRUE(organ.Parse(dir.File(DemoOrganFileName())));
    EXPECT_EQ(*organ.Find("Organ", "HighestSampleFormat"), "Stereo");
    RecordingErrorSink errors;
    SampleLoadingBuffer buffer;
    SampleMemory memory;
    const SampleLoadContext stereo{buffer, memory, SampleFormat::Stereo, SampleFormat::Stereo, false, 1.0};
    // A mono organ that simulates stereo keeps each pipe on its side.
    const SampleLoadContext panned{buffer, memory, SampleFormat::Stereo, SampleFormat::Mono, true, 1.0};
    for (const PipeFile& pipe : PipesOf(organ, dir.Path().string(), "Stop012")) {
        SCOPED_TRACE(pipe.path);
        PipeSample s;
        ASSERT_TRUE(LoadPipeSample(stereo, s, pipe.path.c_str(), 100, false, 1.0));
        ExpectSeamless(s, 2);
        ASSERT_TRUE(LoadPipeSample(panned, s, pipe.path.c_str(), 100, false, 1.0));
        const bool cSide = (pipe.keyNote - 36) % 2 == 0;
        EXPECT_EQ(cSide ? s.leftGain : s.rightGain, 1.0f);
        EXPECT_LT(cSide ? s.rightGain : s.leftGain, 0.95f);
        memory.Clear();
    }
    EXPECT_EQ(errors.Count(), 0u);
}

// The largest magnitude of any value the piece renders to with the
// registration's arguments; -1 when the render fails.
int RenderedPeak(const test::TempDir& dir, const std::string& piece, const std::string& registration) {
    const std::string wav = dir.File("out.wav");
    test::ToolRun run = test::RunTool(RENDERER, Quote(dir.File(DemoOrganFileName())) + " " +
                                                    Quote(std::string(DEMO_RESOURCES) + "/" + piece) +
                                                    " -o " + Quote(wav) + " " + registration);
    SampleLoadingBuffer buffer(64u << 20);
    auto data = run.status == 0 && ReadSampleFile(buffer, wav.c_str()) ? DataChunk(buffer) : std::nullopt;
    if (!data) return -1;
    int peak = 0;
    for (uint32_t i = 0; i + 1 < data->available; i += 2)
        peak = std::max(peak, std::abs(int{static_cast<int16_t>(data->data[i] | data->data[i + 1] << 8)}));
    return peak;
}

TEST_F(GeneratedDemo, NoRegistrationClipsAPieceAndGeneralOneIsComfortablyLoud) {
    // General 6 draws every stop but the celeste and every coupler but the
    // unison off, which would only silence the Swell's own keys.
    for (const char* piece : {"chorale.mid", "toccata.mid"})
        for (const char* registration : {"--general 1", "--general 2", "--general 3", "--general 4",
                                         "--general 5", "--general 6", "--general 6 --stops 2:3"}) {
            SCOPED_TRACE(std::string(piece) + " " + registration);
            const int peak = RenderedPeak(*dir, piece, registration);
            ASSERT_GT(peak, 0);
            EXPECT_LT(peak, 32767) << "clips";
            if (std::string(registration) == "--general 1") {
                // General 1 is what scripts/run-demo --render plays.
                EXPECT_GT(20.0 * std::log10(peak / 32768.0), -6.5);
                EXPECT_LT(20.0 * std::log10(peak / 32768.0), -3.0);
            }
        }
}

TEST(DemoGenerator, OnlyWritesTheChosenStopsAndEveryRunIsTheSame) {
    test::TempDir first, again;
    ASSERT_EQ(Generate(Quote(first.Path().string()) + " --only Nazard").status, 0);
    ASSERT_EQ(Generate(Quote(again.Path().string()) + " --only NAZARD").status, 0);
    EXPECT_FALSE(std::filesystem::exists(first.Path() / "TessalineDemo" / "Great"));
    const std::string organ = test::FileBytes(first.File(DemoOrganFileName()));
    EXPECT_NE(organ.find("[Stop010]\r\n"), std::string::npos);
    EXPECT_EQ(organ, test::FileBytes(again.File(DemoOrganFileName())));
    for (const char* pipe : {"036-C2.wav", "067-G4.wav", "096-C7.wav"}) {
        const std::string relative = std::string("TessalineDemo/Swell/Nazard/") + pipe;
        EXPECT_NE(organ.find("=" + relative + "\r\n"), std::string::npos) << pipe;
        EXPECT_FALSE(test::FileBytes(first.File(relative)).empty()) << pipe;
        EXPECT_EQ(test::FileBytes(first.File(relative)), test::FileBytes(again.File(relative))) << pipe;
    }
}

TEST(DemoGenerator, RefusesUnknownArgumentsAndStopFoldersThatNameNoSamples) {
    test::TempDir dir;
    const std::string out = Quote(dir.Path().string());
    // A stop that borrows its pipes (Octave8) has no folder of its own.
    for (const std::string& arguments : std::vector<std::string>{"", "--stereo", out + " --bogus", out + " --midi /tmp/y",
                                        out + " --only Principal9", out + " --only Octave8"}) {
        SCOPED_TRACE(arguments);
        EXPECT_NE(Generate(arguments).status, 0);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File(DemoOrganFileName())));
}

}  // namespace
}  // namespace tessaline::demo
