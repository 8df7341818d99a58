#include <gtest/gtest.h>

#include <algorithm>
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

ToolRun Render(const std::string& arguments) {
    return test::RunTool(TESSALINE_RENDER_PROGRAM, arguments);
}

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
    std::string output;  // what the program printed
    std::string bytes;
    std::vector<int16_t> left, right;
};

// Renders a file of this track (96 ticks a quarter) with these arguments.
Wav RenderTrack(const ChordOrgan& organ, const MidiTrackBytes& track, const std::string& options) {
    const std::string midi = organ.dir.Write("in.mid", MidiFileBytes(0, 96, {track}));
    const std::string out = organ.dir.File("out.wav");
    ToolRun run =
        Render(Quote(organ.organ) + " " + Quote(midi) + " -o " + Quote(out) + " " + options);
    EXPECT_EQ(run.status, 0) << run.output;
    Wav wav{run.output, test::FileBytes(out), {}, {}};
    auto sample = [&](size_t at) {
        return static_cast<int16_t>(uint8_t(wav.bytes[at]) | uint8_t(wav.bytes[at + 1]) << 8);
    };
    for (size_t at = 44; at + 4 <= wav.bytes.size(); at += 4) {
        wav.left.push_back(sample(at));
        wav.right.push_back(sample(at + 2));
    }
    return wav;
}

// The amplitude of the cosine of `hertz` in values[from, from + count),
// through a Hann window.
double Amplitude(const std::vector<int16_t>& values, size_t from, size_t count, double hertz) {
    double re = 0.0, im = 0.0, windowSum = 0.0;
    for (size_t i = 0; i < count; ++i) {
        double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * double(i) / double(count));
        double angle = 2.0 * std::numbers::pi * hertz * static_cast<double>(from + i) / 44100.0;
        re += w * values[from + i] * std::cos(angle);
        im += w * values[from + i] * std::sin(angle);
        windowSum += w;
    }
    return 2.0 * std::hypot(re, im) / windowSum;
}

// C, E and G pressed at tick 0 and, but for E, let go at tick 96 (0.5 s at
// 120 a minute), where the track ends.
MidiTrackBytes Chord() {
    MidiTrackBytes track;
    track.Tempo(0, 500000).Event(0, {0x90, 60, 100}).Event(0, {64, 100}).Event(0, {67, 100});
    track.Event(96, {0x90, 60, 0}).Event(0, {67, 0}).End();
    return track;
}

TEST(RenderProgram, AChordSoundsItsPartialsUntilTheEndOfTheFileAndThenItsRelease) {
    ChordOrgan organ;
    Wav wav = RenderTrack(organ, Chord(), "--stops 1:1");
    EXPECT_EQ(
        wav.output.rfind(
            "Rendered 5 events of \"" + organ.dir.File("in.mid") + "\" on \"Test Church\": ", 0),
        0u)
        << wav.output;
    // 0.5 s of chord, then the release from frame 22050 (E, still down, is
    // let go there), ending within the block in which the last voice finished.
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
    const auto data = static_cast<uint32_t>(wav.bytes.size() - 44);
    EXPECT_EQ(data % 4, 0u);
    std::string header(
        "RIFF....WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0"
        "\x04\0\x10\0data....",
        44);
    for (auto [at, value] : {std::pair{4, data + 36}, std::pair{40, data}})
        for (int i = 0; i < 4; ++i) header[at + i] = static_cast<char>(value >> (8 * i));
    EXPECT_EQ(wav.bytes.substr(0, 44), header);
}

// Where a note pressed at frame 11025 sounds: there exactly, whatever the
// buffer length, when the registration and the channel let it; otherwise not
// before the file ends at frame 22050 (within a block after it).
TEST(RenderProgram, RegistrationAndChannelsDecideWhatSoundsAndNotesKeepTheirFrame) {
    ChordOrgan organ;
    const std::string settings = " --settings " + Quote(organ.dir.File("settings.ini"));
    struct Case {
        std::string arguments;
        std::string ini;
        uint8_t status;
        bool sounds;
    } cases[] = {
        {"--stops 1:1", "", 0x90, true},
        {"--stops 1:1" + settings, "AudioBufferBlocks=3", 0x90, true},
        {"", "", 0x90, false},  // the stop is not drawn by default
        {"--general 1", "", 0x90, true},
        {"--stops 1:1 --general 2", "", 0x90, true},  // the stops come after the general
        {"--stops 1:1", "", 0x94, false},             // channel 5 plays nothing by default,
        {"--stops 1:1" + settings, "Manual1Chan=5", 0x94, true},  // the manual once put there
        {"--stops 1:1" + settings, "Manual1Chan=17", 0x90, true},  // out of range: the default
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments + " " + c.ini + " status " + std::to_string(c.status));
        organ.dir.Write("settings.ini", "[General]\n" + c.ini + "\n");
        MidiTrackBytes track;
        track.Event(48, {c.status, 60, 100}).Event(48, {c.status, 60, 0}).End();
        const std::vector<int16_t> left = RenderTrack(organ, track, c.arguments).left;
        const auto sound = std::find_if(left.begin(), left.end(), [](int16_t v) { return v != 0; });
        const auto onset = static_cast<size_t>(sound - left.begin());
        if (c.sounds) {
            EXPECT_EQ(onset, 11025u);
        } else {
            EXPECT_GE(onset, 22050u);
            EXPECT_LE(onset, 22050u + 128);
        }
    }
}

TEST(RenderProgram, FailuresAreReportedWithTheirExitStatus) {
    ChordOrgan organ;
    const std::string midi = organ.dir.Write("chord.mid", MidiFileBytes(0, 96, {Chord()}));
    const std::string missing = organ.dir.File("none.mid");
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
