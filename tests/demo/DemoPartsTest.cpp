// The pieces of the demo: its two MIDI files (what is committed is what the
// generator writes, each voice on the channel of its keyboard), the MIDI and
// WAV encodings, the console's fit on its window, and the families' sounds.

#include <gtest/gtest.h>

#include <map>

#include "ConsoleCheck.h"
#include "DemoInstrument.h"
#include "DemoPieces.h"
#include "MidiFile.h"
#include "OrganFileWriter.h"
#include "PipeSynth.h"
#include "Spectrum.h"
#include "WavFile.h"
#include "midi/MidiFile.h"
#include "samples/WavFile.h"
#include "support/TempDir.h"
#include "support/ToolRun.h"

namespace tessaline::demo {
namespace {

TEST(DemoPieces, CommittedFilesAreWhatTheGeneratorWrites) {
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(WriteDemoPieces(dir.Path().string(), error)) << error;
    for (const char* name : {"chorale.mid", "toccata.mid"}) {
        const std::string committed = test::FileBytes(std::string(DEMO_RESOURCES) + "/" + name);
        EXPECT_FALSE(committed.empty()) << name;
        EXPECT_EQ(committed, test::FileBytes(dir.File(name))) << name;
    }
}

TEST(DemoPieces, EveryVoicePlaysOnItsKeyboardsChannelWithinItsCompass) {
    struct Voice {
        int notes = 0, lowest = 128, highest = -1;
    };
    // Great on channel 1, Pedal on 2, Swell on 3, as the default settings
    // route them; the chorale is four voices of eight bars, the toccata
    // twelve figures of ten notes (four echoed on the Swell) and a chord.
    const struct {
        const char* piece;
        int tracks, channel, notes, highest;
    } rows[] = {{"chorale.mid", 3, 1, 26 * 3, 96}, {"chorale.mid", 3, 2, 26, 67},
                {"toccata.mid", 4, 1, 12 * 10 + 7, 96}, {"toccata.mid", 4, 2, 12 + 1, 67},
                {"toccata.mid", 4, 3, 4 * 10, 96}};
    std::map<std::string, std::map<int, Voice>> voices;
    for (const char* piece : {"chorale.mid", "toccata.mid"}) {
        MidiFile file;
        ASSERT_TRUE(file.Read(std::string(DEMO_RESOURCES) + "/" + piece)) << piece;
        EXPECT_EQ(file.format, 1);
        EXPECT_EQ(file.ticksPerQuarter, 480);
        // Every note-on is ended by a note-off of its key before it sounds again.
        std::map<std::pair<int, int>, bool> held;
        for (const MidiFileEvent& e : file.events) {
            const int channel = (e.message & 0x0F) + 1, key = (e.message >> 8) & 0x7F;
            const bool on = (e.message & 0xF0) == 0x90 && (e.message >> 16) > 0;
            ASSERT_TRUE(on || (e.message & 0xE0) == 0x80) << piece << ": only notes";
            EXPECT_NE((held[{channel, key}]), on) << piece << " key " << key;
            held[{channel, key}] = on;
            Voice& v = voices[piece][channel];
            v.notes += on;
            v.lowest = std::min(v.lowest, key);
            v.highest = std::max(v.highest, key);
        }
        for (const auto& [key, down] : held) EXPECT_FALSE(down) << piece << " leaves a key down";
    }
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.piece) + " channel " + std::to_string(row.channel));
        MidiFile file;
        ASSERT_TRUE(file.Read(std::string(DEMO_RESOURCES) + "/" + row.piece));
        EXPECT_EQ(file.trackCount, row.tracks);
        const Voice& v = voices[row.piece][row.channel];
        EXPECT_EQ(v.notes, row.notes);
        EXPECT_GE(v.lowest, 36);
        EXPECT_LE(v.highest, row.highest);
    }
    EXPECT_EQ(voices["chorale.mid"].size() + voices["toccata.mid"].size(), 5u);
}

TEST(DemoMidiWriter, VariableLengthTimesAndRunningStatusAfterMetaEvents) {
    MidiTrack track("T");
    track.Note(0x80, 0x3F80, 1, 60, 100);  // on at 0x80, off at 0x4000
    track.Tempo(0x204000, 120);            // a delta of 0x200000
    track.Note(0x204000, 10, 16, 61, 1);
    const std::vector<uint8_t> expected = {
        'M', 'T', 'r', 'k', 0, 0, 0, 35, 0x00, 0xFF, 0x03, 0x01, 'T',
        0x81, 0x00, 0x90, 60, 100,  // delta 0x80, status written
        0xFF, 0x00, 60, 0,          // delta 0x3F80, running status
        0x81, 0x80, 0x80, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,
        0x00, 0x9F, 61, 1,  // status again after the meta event
        0x0A, 61, 0, 0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(track.Encode(), expected);
}

TEST(DemoWavEncoding, ChunksCarryTheLoopAndTheReleaseMarker) {
    PipeSound sound;
    sound.samples = {0, 1, -1, 2, -2, 3, -3, 4, -32767, 32767};
    sound.loopStart = 2;
    sound.loopEnd = 6;
    sound.releaseMarker = 7;
    const std::vector<char> bytes = EncodeWav(sound, 61, 25.0);
    test::TempDir dir;
    SampleLoadingBuffer buffer;
    ASSERT_TRUE(ReadSampleFile(buffer, dir.Write("tiny.wav", {bytes.data(), bytes.size()}).c_str()));
    EXPECT_EQ(bytes.size(), 12u + 24u + 8u + 20u + 68u + 36u);
    const WavFormat format = FormatChunk(buffer).value();
    EXPECT_EQ(std::vector<uint32_t>({format.formatTag, format.channels, format.sampleRate,
                                     format.averageBytesPerSecond, format.blockAlignment,
                                     format.bitsPerSample}),
              std::vector<uint32_t>({1, 1, 44100, 88200, 2, 16}));
    const WavChunk data = DataChunk(buffer).value();
    ASSERT_EQ(data.size, 20u);
    EXPECT_EQ(std::vector<int16_t>(reinterpret_cast<const int16_t*>(data.data),
                                   reinterpret_cast<const int16_t*>(data.data) + 10),
              sound.samples);
    EXPECT_EQ(SamplerChunk(buffer).value().numberOfLoops, 1u);
    const WavLoop loop = LoopRecord(buffer, 1).value();
    EXPECT_EQ(std::vector<uint32_t>({loop.type, loop.start, loop.end, loop.playCount}),
              std::vector<uint32_t>({0, 2, 6, 0}));
    // Unity note, then the pitch fraction: a quarter of a semitone in 32-bit
    // fixed point.
    const uint8_t* smpl = FindChunk(buffer, "smpl", 1).value().data;
    EXPECT_EQ(smpl[12], 61);
    EXPECT_EQ(smpl[16] | smpl[17] << 8 | smpl[18] << 16 | uint32_t{smpl[19]} << 24, 0x40000000u);
    EXPECT_EQ(CueChunk(buffer).value().numberOfCuePoints, 1u);
    EXPECT_EQ(CuePoint(buffer, 1).value().sampleOffset, 7u);
}

TEST(DemoConsole, EveryPieceLiesOnTheMediumWindowWithoutOverlapping) {
    DefinitionFile file;
    file.ParseText(OrganDefinitionText(TheDemoOrgan(), false));
    std::vector<PlacedPiece> pieces;
    uint32_t width = 0, height = 0;
    std::string error;
    ASSERT_TRUE(PlaceConsole(file, kWindowFrameWidth, kWindowFrameHeight, pieces, width, height, error))
        << error;
    EXPECT_EQ(width, 1016u - kWindowFrameWidth);
    EXPECT_EQ(height, 728u - kWindowFrameHeight);
    // 3 keyboards, 21 drawstops, 16 buttons, 3 labels, 1 enclosure panel.
    EXPECT_EQ(pieces.size(), 3u + 21u + 16u + 3u + 1u);
    for (size_t i = 0; i < pieces.size(); ++i) {
        const Rect& a = pieces[i].frame;
        EXPECT_TRUE(a.right <= width && a.bottom <= height) << pieces[i].section;
        for (size_t j = i + 1; j < pieces.size(); ++j) {
            const Rect& b = pieces[j].frame;
            EXPECT_FALSE(a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom)
                << pieces[i].section << " overlaps " << pieces[j].section;
        }
    }
}

TEST(DemoConsole, ConsolesThatSpillOffTheWindowAreRefused) {
    const std::string text = OrganDefinitionText(TheDemoOrgan(), false);
    // Four drawstop columns a jamb do not fit beside the keyboards; the
    // Medium width with the Small height still holds everything.
    const struct {
        const char *from, *to, *error;
    } rows[] = {{"DispDrawstopCols=6", "DispDrawstopCols=8", "Stop012 lies outside the console window."},
                {"DispScreenSizeHoriz=Medium", "DispScreenSizeHoriz=Small",
                 "Stop012 lies outside the console window."},
                {"DispScreenSizeVert=Medium", "DispScreenSizeVert=Small", ""},
                {"[Stop012]\r\nDispDrawstopRow=1\r\n", "[Stop012]\r\n",
                 "The key Stop012/DispDrawstopRow is missing."}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.to);
        std::string changed = text;
        const size_t at = changed.find(row.from);
        ASSERT_NE(at, std::string::npos);
        DefinitionFile file;
        file.ParseText(changed.replace(at, std::string(row.from).size(), row.to));
        std::string error;
        EXPECT_EQ(ConsoleFitsWindow(file, error), *row.error == '\0');
        EXPECT_EQ(error, row.error);
    }
}

PipeSound Synthesise(Family family, double note, int channels = 1) {
    PipeRecipe recipe;
    recipe.family = family;
    recipe.ranks = {{EqualTemperament(note), 1.0}};
    recipe.channels = channels;
    recipe.rightGain = 0.6;
    recipe.rightDelay = 20;
    PipeSound sound;
    EXPECT_TRUE(SynthesisePipe(recipe, sound));
    return sound;
}

TEST(DemoPipeSynthesis, FamiliesHaveTheirOwnSpectra) {
    auto harmonics = [](Family family) {
        const PipeSound s = Synthesise(family, 48);
        std::vector<double> h;
        for (int k = 1; k <= 10; ++k)
            h.push_back(BinAmplitude(s.samples.data() + s.loopStart, 1, s.plan.loopFrames,
                                     k * s.plan.periods[0]));
        return h;
    };
    const auto principal = harmonics(Family::Principal), gedackt = harmonics(Family::StoppedFlute);
    const auto string = harmonics(Family::String), trumpet = harmonics(Family::Trumpet);
    // A stopped flute: odd partials well above their even neighbours.
    EXPECT_GT(gedackt[2], 4.0 * gedackt[1]);
    EXPECT_GT(gedackt[4], 4.0 * gedackt[3]);
    // A principal has a real octave.
    EXPECT_GT(principal[1], 0.3 * principal[0]);
    // Strings and reeds are brighter than principals: more of the 6th-10th
    // harmonics relative to the fundamental; a reed's middle harmonics
    // outweigh its fundamental.
    auto upper = [](const std::vector<double>& h) { return (h[5] + h[6] + h[7] + h[8] + h[9]) / h[0]; };
    EXPECT_GT(upper(string), 1.5 * upper(principal));
    EXPECT_GT(upper(trumpet), 1.5 * upper(principal));
    EXPECT_GT(trumpet[3], trumpet[0]);
}

TEST(DemoPipeSynthesis, StereoFarChannelIsSofterAndLaterAndItsDelayIsBounded) {
    const PipeSound sound = Synthesise(Family::Principal, 45, 2);
    ASSERT_EQ(sound.channels, 2);
    int64_t firstLeft = -1, firstRight = -1;
    double left = 0, right = 0;
    for (int64_t t = 0; t < sound.Frames(); ++t) {
        const double l = sound.samples[static_cast<size_t>(2 * t)];
        const double r = sound.samples[static_cast<size_t>(2 * t + 1)];
        if (firstLeft < 0 && l != 0) firstLeft = t;
        if (firstRight < 0 && r != 0) firstRight = t;
        if (t >= sound.loopStart && t <= sound.loopEnd) {
            left += l * l;
            right += r * r;
        }
    }
    EXPECT_GE(firstRight - firstLeft, 19);
    EXPECT_NEAR(std::sqrt(right / left), 0.6, 0.01);

    // No reading ahead of the sound, nor a far channel whose loop reaches
    // into the attack: delays out of range act as the nearest bound.
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
