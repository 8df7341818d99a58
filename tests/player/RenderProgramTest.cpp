#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "support/CombinationSections.h"
#include "support/MidiFileBuilder.h"
#include "support/OrganFileBuilder.h"
#include "support/OrganSections.h"
#include "support/TempDir.h"
#include "support/ToolRun.h"
#include "support/WavBuilder.h"

namespace tessaline {
namespace {

using test::MidiFileBytes;
using test::MidiTrackBytes;
using test::OrganFileBuilder;
using test::Quote;
using test::ToolRun;

ToolRun Render(const std::string& arguments) { return test::RunTool(TESSALINE_RENDER_PROGRAM, arguments); }

constexpr int kAmplitude = 8000;
constexpr int kReleaseFrames = 4410;
constexpr int kLoopPeriods = 40;

// A pipe sounding a cosine of `period` frames: ten periods of attack, a
// loop of whole periods, and a release that dies away over 0.1 s.
std::string CosinePipe(int period) {
    std::vector<int16_t> values;
    int loopEnd = (10 + kLoopPeriods) * period;
    for (int i = 0; i < loopEnd + kReleaseFrames; ++i) {
        double level = i < loopEnd ? 1.0 : 1.0 - static_cast<double>(i - loopEnd) / kReleaseFrames;
        double phase = 2.0 * std::numbers::pi * (i % period) / period;
        values.push_back(static_cast<int16_t>(std::lround(kAmplitude * level * std::cos(phase))));
    }
    test::WavBuilder wav;
    wav.Values(values)
        .Loop(static_cast<uint32_t>(10 * period), static_cast<uint32_t>(loopEnd - 1))
        .Cue(static_cast<uint32_t>(10 * period))
        .Cue(static_cast<uint32_t>(loopEnd));
    return wav.Build();
}

// One manual of 61 keys from MIDI note 36 on input path 2 (channel 1 by
// default), one stop not drawn by default. Keys 24, 28 and 31 (MIDI notes
// 60, 64 and 67) sound periods of 100, 80 and 64 frames: 441, 551.25 and
// 689.06 Hz; every other pipe a period of 200. General 1 draws the stop,
// general 2 puts it in.
struct ChordOrgan {
    ChordOrgan() {
        OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
        std::vector<std::string> pipes;
        for (int key = 0; key < 61; ++key) {
            int period = key == 24 ? 100 : key == 28 ? 80 : key == 31 ? 64 : 200;
            std::string name = "pipes/p" + std::to_string(key) + ".wav";
            dir.Write(name, CosinePipe(period));
            pipes.push_back(name);
        }
        test::SetManual(b, 1, 61, {1});
        b.Set("Manual001", "MIDIInputNumber", "2");
        test::SetStop(b, 1, pipes);
        b.Set("Organ", "NumberOfGenerals", "2");
        b.Set("Organ", "NumberOfFrameGenerals", "512");
        test::SetGeneral(b, 1, 2, 1, {{1, 1}});
        test::SetGeneral(b, 2, 2, 2, {{1, -1}});
        organ = dir.Write("chord.organ", b.Text());
    }
    test::TempDir dir;
    std::string organ;
};

struct Wav {
    std::string bytes;
    std::vector<int16_t> left, right;
};

uint32_t Le(const std::string& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return value;
}

Wav ReadWav(const std::string& path) {
    Wav wav{test::FileBytes(path), {}, {}};
    for (size_t at = 44; at + 4 <= wav.bytes.size(); at += 4) {
        wav.left.push_back(static_cast<int16_t>(Le(wav.bytes, at, 2)));
        wav.right.push_back(static_cast<int16_t>(Le(wav.bytes, at + 2, 2)));
    }
    return wav;
}

// The amplitude of the cosine of `hertz` in values[from, from + count),
// through a Hann window.
double Amplitude(const std::vector<int16_t>& values, size_t from, size_t count, double hertz) {
    double re = 0.0, im = 0.0, windowSum = 0.0;
    for (size_t i = 0; i < count; ++i) {
        double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(count));
        double angle = 2.0 * std::numbers::pi * hertz * static_cast<double>(from + i) / 44100.0;
        re += w * values[from + i] * std::cos(angle);
        im += w * values[from + i] * std::sin(angle);
        windowSum += w;
    }
    return 2.0 * std::hypot(re, im) / windowSum;
}

// C, E and G pressed at tick 0 and let go at tick 96 (0.5 s at 96 ticks a
// quarter and 120 a minute); the track ends there.
std::string ChordMidi(uint8_t status = 0x90) {
    MidiTrackBytes track;
    track.Tempo(0, 500000).Event(0, {status, 60, 100}).Event(0, {64, 100}).Event(0, {67, 100});
    track.Event(96, {status, 60, 0}).Event(0, {64, 0}).Event(0, {67, 0}).End();
    return MidiFileBytes(0, 96, {track});
}

TEST(RenderProgram, ChordSoundsItsPartialsForTheLengthOfTheFilePlusTheRelease) {
    ChordOrgan organ;
    std::string midi = organ.dir.Write("chord.mid", ChordMidi());
    std::string out = organ.dir.File("chord.wav");
    ToolRun run = Render(Quote(organ.organ) + " " + Quote(midi) + " -o " + Quote(out) + " --stops 1:1");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.rfind("Rendered 6 events of \"" + midi + "\" on \"Test Church\": ", 0), 0u)
        << run.output;

    Wav wav = ReadWav(out);
    // 0.5 s of chord, then the release from frame 22050, ending within the
    // block in which the last voice finished.
    const size_t frames = wav.left.size();
    EXPECT_GE(frames, 22050u + kReleaseFrames - 1);
    EXPECT_LE(frames, 22050u + kReleaseFrames + 128);
    EXPECT_EQ(wav.left, wav.right);  // mono samples, mono mix

    // The sample's 8000 at the overall volume of 50 per cent: 4000 each.
    for (double hertz : {441.0, 551.25, 44100.0 / 64}) {
        SCOPED_TRACE(hertz);
        EXPECT_NEAR(Amplitude(wav.left, 4410, 8820, hertz), 4000.0, 40.0);
    }
    for (double hertz : {220.5, 300.0, 500.0, 620.0, 800.0, 882.0})
        EXPECT_LT(Amplitude(wav.left, 4410, 8820, hertz), 40.0) << hertz;
    // The release segment sounds from the note-off, and nothing after it.
    EXPECT_NE(wav.left[22050 + kReleaseFrames - 200], 0);
    for (size_t i = 22050 + kReleaseFrames; i < frames; ++i) ASSERT_EQ(wav.left[i], 0) << i;

    // A 16-bit stereo 44.1 kHz header around the data.
    ASSERT_GE(wav.bytes.size(), 44u);
    const uint32_t data = static_cast<uint32_t>(wav.bytes.size() - 44);
    EXPECT_EQ(data % 4, 0u);
    EXPECT_EQ(wav.bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(Le(wav.bytes, 4, 4), data + 36);
    EXPECT_EQ(wav.bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le(wav.bytes, 16, 4), 16u);
    EXPECT_EQ(Le(wav.bytes, 20, 2), 1u);       // PCM
    EXPECT_EQ(Le(wav.bytes, 22, 2), 2u);       // stereo
    EXPECT_EQ(Le(wav.bytes, 24, 4), 44100u);
    EXPECT_EQ(Le(wav.bytes, 28, 4), 176400u);  // bytes a second
    EXPECT_EQ(Le(wav.bytes, 32, 2), 4u);
    EXPECT_EQ(Le(wav.bytes, 34, 2), 16u);
    EXPECT_EQ(wav.bytes.substr(36, 4), "data");
    EXPECT_EQ(Le(wav.bytes, 40, 4), data);
}

// Where the first sound of a note pressed at tick 48 (frame 11025) appears.
size_t Onset(const std::string& arguments, const ChordOrgan& organ, uint8_t status) {
    MidiTrackBytes track;
    track.Event(48, {status, 60, 100}).Event(48, {status, 60, 0}).End();
    std::string midi = organ.dir.Write("late.mid", MidiFileBytes(0, 96, {track}));
    std::string out = organ.dir.File("late.wav");
    ToolRun run = Render(Quote(organ.organ) + " " + Quote(midi) + " -o " + Quote(out) + " " + arguments);
    EXPECT_EQ(run.status, 0) << run.output;
    Wav wav = ReadWav(out);
    for (size_t i = 0; i < wav.left.size(); ++i)
        if (wav.left[i] != 0) return i;
    return wav.left.size();
}

TEST(RenderProgram, NotesSoundAtTheirOwnFrameWhateverTheBufferLength) {
    ChordOrgan organ;
    EXPECT_EQ(Onset("--stops 1:1", organ, 0x90), 11025u);
    std::string settings = organ.dir.Write("settings.ini", "[General]\nAudioBufferBlocks=3\n");
    EXPECT_EQ(Onset("--stops 1:1 --settings " + Quote(settings), organ, 0x90), 11025u);
}

TEST(RenderProgram, RegistrationAndChannelsDecideWhatSounds) {
    ChordOrgan organ;
    // The stop is not drawn by default: silence, for as long as the file.
    size_t silent = Onset("", organ, 0x90);
    EXPECT_GE(silent, 22050u);
    EXPECT_LE(silent, 22050u + 128);
    // Channel 5 plays nothing by default, and the manual once the settings
    // put its input path there.
    EXPECT_GE(Onset("--stops 1:1", organ, 0x94), 22050u);
    std::string settings = organ.dir.Write("settings.ini", "[General]\nManual1Chan=5\n");
    EXPECT_EQ(Onset("--stops 1:1 --settings " + Quote(settings), organ, 0x94), 11025u);
    EXPECT_GE(Onset("--stops 1:1 --settings " + Quote(settings), organ, 0x90), 22050u);
    // A channel out of range keeps the default: channel 1.
    std::string invalid = organ.dir.Write("invalid.ini", "[General]\nManual1Chan=17\n");
    EXPECT_EQ(Onset("--stops 1:1 --settings " + Quote(invalid), organ, 0x90), 11025u);
}

TEST(RenderProgram, KeysStillDownAtTheEndAreLetGoThere) {
    ChordOrgan organ;
    MidiTrackBytes track;
    track.Event(0, {0x90, 64, 100}).End(96);
    std::string midi = organ.dir.Write("held.mid", MidiFileBytes(0, 96, {track}));
    std::string out = organ.dir.File("held.wav");
    ToolRun run = Render(Quote(organ.organ) + " " + Quote(midi) + " -o " + Quote(out) + " --stops 1:1");
    ASSERT_EQ(run.status, 0) << run.output;
    Wav wav = ReadWav(out);
    EXPECT_GE(wav.left.size(), 22050u + kReleaseFrames - 1);
    EXPECT_LE(wav.left.size(), 22050u + kReleaseFrames + 128);
    EXPECT_NEAR(Amplitude(wav.left, 4410, 8820, 551.25), 4000.0, 40.0);
}

TEST(RenderProgram, GeneralsSetTheRegistrationBeforeTheStopsAsked) {
    ChordOrgan organ;
    EXPECT_EQ(Onset("--general 1", organ, 0x90), 11025u);
    EXPECT_GE(Onset("--general 2", organ, 0x90), 22050u);
    // Whatever the order of the options, the stops come after the general.
    EXPECT_EQ(Onset("--stops 1:1 --general 2", organ, 0x90), 11025u);
}

TEST(RenderProgram, FailuresAreReportedWithTheirExitStatus) {
    ChordOrgan organ;
    const std::string midi = organ.dir.Write("chord.mid", ChordMidi());
    const std::string missing = organ.dir.File("none.mid");
    const std::string cut = organ.dir.Write("cut.mid", ChordMidi().substr(0, 30));
    const std::string out = " -o " + Quote(organ.dir.File("out.wav"));
    auto box = [](const std::string& message, const std::string& action) {
        return "Message: " + message + "\n\nAttempted action: " + action + "\n----\n";
    };
    const std::string usage =
        "usage: tessaline-render ORGAN.organ INPUT.mid -o OUT.wav [--stops M:S,...] "
        "[--general N] [--settings INI]\n";
    struct Case {
        std::string arguments;
        int status;
        std::string output;
    } cases[] = {
        {Quote(midi) + out + " --stops 1:2", 1,
         box("The organ has no stop 2 on manual 1.", "Setting the registration.")},
        {Quote(midi) + out + " --general 3", 1,
         box("The organ has no general 3.", "Setting the registration.")},
        {Quote(missing) + out, 1,
         box("The MIDI file \"" + missing + "\" could not be opened.", "Reading a MIDI file.")},
        {Quote(cut) + out, 1,
         box("The MIDI file \"" + cut + "\" is truncated: track 1 runs past the end of the file.",
             "Reading a MIDI file.")},
        {Quote(midi), 2, "tessaline-render: no output file given (-o OUT.wav)\n" + usage},
        {Quote(midi) + out + " --stops 1-1", 2,
         "tessaline-render: --stops needs a list such as 1:2,0:1 (manual:stop)\n" + usage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        ToolRun run = Render(Quote(organ.organ) + " " + c.arguments);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.output, c.output);
    }
}

}  // namespace
}  // namespace tessaline
