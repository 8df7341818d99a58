// The demo organ as make-demo-organ writes it, generated once for the suite.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <numbers>

#include "ConsoleCheck.h"
#include "DemoGenerator.h"
#include "DemoPieces.h"
#include "OrganFileWriter.h"
#include "midi/MidiFile.h"
#include "organ/FilePaths.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "samples/SampleLoader.h"
#include "support/TempDir.h"
#include "support/ToolRun.h"

namespace tessaline::demo {
namespace {

using test::Quote;

test::ToolRun Generate(const std::string& arguments) {
    return test::RunTool(DEMO_GENERATOR, arguments);
}

// Amplitude of the sinusoid with k periods in the n values, by Goertzel's
// recurrence.
double BinAmplitude(const int16_t* values, int64_t n, int64_t k) {
    const double w = 2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(n);
    double s1 = 0.0, s2 = 0.0;
    for (int64_t i = 0; i < n; ++i) {
        double s = values[i] + 2.0 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return 2.0 * std::hypot(s1 - s2 * std::cos(w), s2 * std::sin(w)) / static_cast<double>(n);
}

// Semitones (with cents) each stop sounds above its key, written out
// independently of the generator; the pedal Octave 8' (Stop013) borrows the
// Great Principal's pipes.
constexpr double kMixture = -1.0;
const std::pair<const char*, double> kStops[] = {
    {"Stop001", 0}, {"Stop002", 0},   {"Stop003", 12},   {"Stop004", kMixture}, {"Stop005", 0},
    {"Stop006", 0}, {"Stop007", 0},   {"Stop008", 0.06}, {"Stop009", 12},       {"Stop010", 19},
    {"Stop011", 0}, {"Stop012", -12}, {"Stop013", 0},    {"Stop014", -12}};

std::vector<double> Ranks(double interval, int key) {
    if (interval != kMixture) return {key + interval};
    // 1 1/3', 1', 2/3' from C2; back an octave at C3, C4 and C5.
    const double ranks[] = {12, 19, 24, 31, 36, 43};
    const int first = 3 - std::clamp((key - 36) / 12, 0, 3);
    return {key + ranks[first], key + ranks[first + 1], key + ranks[first + 2]};
}

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
            const int owner =
                number(manual, NumberedName("Stop", std::stoi(specifier.substr(7, 3))));
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
        ASSERT_TRUE(organ.Parse(dir->File(DemoOrganFileName())));
    }
    static void TearDownTestSuite() { delete dir; }
    static inline test::TempDir* dir = nullptr;
    static inline DefinitionFile organ;
};

TEST_F(GeneratedDemo, TheCheckerLoadsEverySampleAndFitsTheConsoleOnTheScreen) {
    // Reports would come before the summary; a screen just larger than the
    // Medium window suffices.
    test::ToolRun run =
        test::RunTool(ORGAN_CHECKER, Quote(dir->File(DemoOrganFileName())) + " --screen 1024x768");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output,
              "Loaded \"Tessaline Demo Organ\": 2 manuals, console 1016x728, 767 loading steps.\n"
              "14 stops, 723 pipes with samples, 32 shared pipes, mono samples in memory.\n");
}

TEST_F(GeneratedDemo, EveryPipeLoopsSeamlesslyAndSoundsItsRanksInTune) {
    RecordingErrorSink errors;
    SampleLoadingBuffer buffer;
    SampleMemory memory;
    const SampleLoadContext context{buffer, memory, SampleFormat::Mono, SampleFormat::Mono,
                                    false,  1.0};
    int checked = 0;
    for (const auto& [stop, interval] : kStops)
        for (const PipeFile& pipe : PipesOf(organ, dir->Path().string(), stop)) {
            SCOPED_TRACE(pipe.path);
            PipeSample s;
            ASSERT_TRUE(LoadPipeSample(context, s, pipe.path.c_str(), 100, false, 1.0));
            ExpectSeamless(s, 1);
            const int64_t loop = s.releaseStart - s.loopStart;
            EXPECT_LE(loop, 44100) << "at most a second of sustain material";
            EXPECT_GT(s.end - s.releaseStart, 44100 / 4) << "release too short";
            const int16_t* values = s.memory + s.loopStart;
            int peak = 0;
            for (int64_t t = 0; t < loop; ++t) peak = std::max(peak, std::abs(int{values[t]}));
            for (double note : Ranks(interval, pipe.keyNote)) {
                // A loop of whole periods puts each rank in one DFT bin: that
                // bin must carry the tone, and its pitch must be the tempered one.
                SCOPED_TRACE(note);
                const double wanted = 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
                const int64_t bin = std::llround(wanted * static_cast<double>(loop) / 44100.0);
                const double binPitch =
                    static_cast<double>(bin) * 44100.0 / static_cast<double>(loop);
                EXPECT_LT(std::fabs(1200.0 * std::log2(binPitch / wanted)), 1.0);
                const double here = BinAmplitude(values, loop, bin);
                EXPECT_GT(here, 0.02 * peak);
                EXPECT_GT(here, 10.0 * std::max(BinAmplitude(values, loop, bin - 1),
                                                BinAmplitude(values, loop, bin + 1)));
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
    const SampleLoadContext stereo{buffer, memory, SampleFormat::Stereo, SampleFormat::Stereo,
                                   false,  1.0};
    // A mono organ that simulates stereo keeps each pipe on its side.
    const SampleLoadContext panned{buffer, memory, SampleFormat::Stereo, SampleFormat::Mono,
                                   true,   1.0};
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

TEST_F(GeneratedDemo, NoRegistrationClipsAPieceAndGeneralOneIsComfortablyLoud) {
    const std::string wav = dir->File("out.wav");
    SampleLoadingBuffer buffer(64u << 20);
    // General 6 draws every stop but the celeste and every coupler but the
    // unison off, which would only silence the Swell's own keys.
    for (const char* piece : {"chorale.mid", "toccata.mid"})
        for (const char* registration : {"--general 1", "--general 2", "--general 3", "--general 4",
                                         "--general 5", "--general 6", "--general 6 --stops 2:3"}) {
            SCOPED_TRACE(std::string(piece) + " " + registration);
            ASSERT_EQ(test::RunTool(RENDERER, Quote(dir->File(DemoOrganFileName())) + " " +
                                                  Quote(std::string(DEMO_RESOURCES) + "/" + piece) +
                                                  " -o " + Quote(wav) + " " + registration)
                          .status,
                      0);
            ASSERT_TRUE(ReadSampleFile(buffer, wav.c_str()));
            const WavChunk data = DataChunk(buffer).value();
            int peak = 0;
            for (uint32_t i = 0; i + 1 < data.available; i += 2)
                peak = std::max(peak, std::abs(int16_t(data.data[i] | data.data[i + 1] << 8)));
            ASSERT_GT(peak, 0);
            EXPECT_LT(peak, 32767) << "clips";
            if (std::string(registration) == "--general 1") {
                // What scripts/run-demo --render plays.
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
    EXPECT_EQ(organ, test::FileBytes(again.File(DemoOrganFileName())));
    for (const char* pipe : {"036-C2.wav", "067-G4.wav", "096-C7.wav"}) {
        const std::string relative = std::string("TessalineDemo/Swell/Nazard/") + pipe;
        EXPECT_NE(organ.find("=" + relative + "\r\n"), std::string::npos) << pipe;
        EXPECT_FALSE(test::FileBytes(first.File(relative)).empty()) << pipe;
        EXPECT_EQ(test::FileBytes(first.File(relative)), test::FileBytes(again.File(relative)))
            << pipe;
    }
}

TEST(DemoPieces, CommittedFilesAreWhatTheGeneratorWritesEachVoiceOnItsChannel) {
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(WriteDemoPieces(dir.Path().string(), error)) << error;
    // Great on channel 1, Pedal on 2, Swell on 3, as the default settings
    // route them; notes a channel: the chorale is four voices of 26 notes,
    // the toccata twelve figures of ten notes (four echoed on the Swell) and
    // a chord. Every note-on is ended before its key sounds again.
    const std::map<std::string, std::map<int, int>> expected = {
        {"chorale.mid", {{1, 26 * 3}, {2, 26}}},
        {"toccata.mid", {{1, 12 * 10 + 7}, {2, 12 + 1}, {3, 4 * 10}}}};
    for (const auto& [piece, channels] : expected) {
        SCOPED_TRACE(piece);
        const std::string committed = std::string(DEMO_RESOURCES) + "/" + piece;
        EXPECT_EQ(test::FileBytes(committed), test::FileBytes(dir.File(piece)));
        MidiFile file;
        ASSERT_TRUE(file.Read(committed));
        std::map<int, int> notes;
        std::map<std::pair<int, int>, bool> down;
        for (const MidiFileEvent& e : file.events) {
            const int channel = (e.message & 0x0F) + 1, key = (e.message >> 8) & 0x7F;
            const bool on = (e.message & 0xF0) == 0x90 && (e.message >> 16) > 0;
            ASSERT_TRUE(on || (e.message & 0xE0) == 0x80) << "only notes";
            EXPECT_TRUE(key >= 36 && key <= (channel == 2 ? 67 : 96)) << key;
            EXPECT_NE((down[{channel, key}]), on) << key;
            down[{channel, key}] = on;
            notes[channel] += on;
        }
        EXPECT_EQ(notes, channels);
        for (const auto& [key, held] : down) EXPECT_FALSE(held) << "a key left down";
    }
}

TEST(DemoConsole, EveryPieceLiesOnTheMediumWindowWithoutOverlapping) {
    DefinitionFile file;
    file.ParseText(OrganDefinitionText(TheDemoOrgan(), false));
    std::vector<PlacedPiece> pieces;
    uint32_t width = 0, height = 0;
    std::string error;
    ASSERT_TRUE(
        PlaceConsole(file, kWindowFrameWidth, kWindowFrameHeight, pieces, width, height, error))
        << error;
    // 3 keyboards, 21 drawstops, 16 buttons, 3 labels, 1 enclosure panel.
    EXPECT_EQ(pieces.size(), 3u + 21u + 16u + 3u + 1u);
    for (size_t i = 0; i < pieces.size(); ++i) {
        const Rect& a = pieces[i].frame;
        EXPECT_TRUE(a.right <= width && a.bottom <= height) << pieces[i].section;
        for (size_t j = i + 1; j < pieces.size(); ++j) {
            const Rect& b = pieces[j].frame;
            EXPECT_FALSE(a.left < b.right && b.left < a.right && a.top < b.bottom &&
                         b.top < a.bottom)
                << pieces[i].section << " overlaps " << pieces[j].section;
        }
    }
}

// A fault once fixed: stereo channel delays out of range read ahead of the
// sound, or let the far channel's loop reach into the attack; they act as
// the nearest bound.
TEST(DemoPipeSynthesis, ChannelDelaysAreKeptWithinTheSteadyLead) {
    PipeRecipe recipe;
    recipe.ranks = {{220.0, 1.0}};
    recipe.channels = 2;
    recipe.leftDelay = -500;
    recipe.rightDelay = 500;
    PipeSound clamped, reference;
    ASSERT_TRUE(SynthesisePipe(recipe, clamped));
    recipe.leftDelay = 0;
    recipe.rightDelay = kMaxChannelDelay;
    ASSERT_TRUE(SynthesisePipe(recipe, reference));
    EXPECT_EQ(clamped.samples, reference.samples);
}

}  // namespace
}  // namespace tessaline::demo
