#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <thread>

#include "MixRig.h"
#include "audio/Enclosure.h"
#include "audio/Tremulant.h"
#include "audio/WindchestGroup.h"
#include "organ/DefinitionReader.h"
#include "platform/virtual/RecordingErrorSink.h"

namespace tessaline {
namespace {

using test::Channel;
using test::MixRig;
using test::Values;

const char* kTremulant = "Period=32\nStartRate=100\nStopRate=100\nAmpModDepth=50";

// Windchest group 1 under enclosure 1 and tremulant 1, with a steady voice of
// the given value (none for 0) sounding from frame 8.
struct ProcessedGroup {
    ProcessedGroup(const std::string& enclosureKeys, const std::string& tremulantKeys = kTremulant,
                   int16_t level = 1000, int64_t bufferFrames = 8,
                   OutputMode mode = OutputMode::Mono)
        : rig(bufferFrames, mode) {
        file.ParseText(
            "[WindchestGroup001]\nNumberOfEnclosures=1\nNumberOfTremulants=1\n"
            "Enclosure001=1\nTremulant001=1\n[Enclosure001]\nName=Swell\nMIDIInputNumber=1\n" +
            enclosureKeys + "\n[Tremulant001]\n" + tremulantKeys + "\n");
        EXPECT_TRUE(groups[1].Load(file, 0, 1, 1));
        EXPECT_TRUE(enclosure->Load(file, 0, 10, 20, groups));
        EXPECT_TRUE(tremulant->Load(file, 1, groups));
        enclosure->AttachEngine(rig.engine);
        tremulant->AttachEngine(rig.engine);
        rig.SetProcessors(std::span(tremulant.get(), 1), std::span(enclosure.get(), 1));
        if (level != 0) rig.Looped({level, level}, 0, 2).Start();
    }
    Values Render(int64_t frames, int64_t time) { return Channel(rig.Render(frames, time)); }

    DefinitionFile file;
    std::array<WindchestGroup, 2> groups;
    std::unique_ptr<Enclosure> enclosure = std::make_unique<Enclosure>();
    std::unique_ptr<Tremulant> tremulant = std::make_unique<Tremulant>();
    MixRig rig;
};

TEST(Enclosure, RampsThroughEveryValueAppliesLateEventsAtOnceAndResets) {
    ProcessedGroup g("AmpMinimumLevel=0");
    g.rig.PlayTo(1);
    g.enclosure->SetValue(63);  // frame 9
    g.rig.PlayTo(3);
    g.enclosure->SetValue(0);  // frame 11
    g.rig.PlayTo(5);
    g.enclosure->SetValue(127);  // frame 13
    // 127 -> 63 over [8, 9), 63 -> 0 over [9, 11), 0 -> 127 over [11, 13).
    EXPECT_EQ(g.Render(8, 8), (Values{1000, 496, 248, 0, 500, 1000, 1000, 1000}));

    // An event whose frame has passed came in while its frame was rendered:
    // it takes effect at once, not a whole buffer length later, and holds.
    g.enclosure->SetValue(0);  // frame 13 again
    EXPECT_EQ(g.Render(4, 20), Values(4, 0));
    EXPECT_EQ(g.Render(4, 24), Values(4, 0));
    g.rig.PlayTo(21);
    g.enclosure->SetValue(10);  // frame 29, dropped by the reset
    g.enclosure->Reset();
    g.rig.PlayTo(23);
    g.enclosure->SetValue(0);  // frame 31, after the reset: kept
    EXPECT_EQ(g.Render(4, 28), (Values{1000, 666, 333, 0}));  // from full level over [28, 31)
}

TEST(Tremulant, OnAndOffWithinOneBufferActsOnTheStampedFramesAndResetStillsIt) {
    ProcessedGroup g("AmpMinimumLevel=0");
    TremulantGroupLink& link = g.tremulant->Link(0);
    g.rig.PlayTo(2);
    g.tremulant->QueueToggle();  // on at frame 10
    g.rig.PlayTo(5);
    g.tremulant->QueueToggle();  // off at frame 13
    g.Render(8, 8);
    // On for frames 10, 11, 12; off for 13, 14, 15: three steps up and three
    // down, so the speed is back at rest (to float rounding) and the phase
    // moved by 0 + 1 + 2 + 3 + 2 + 1 steps of 2e-7.
    EXPECT_FALSE(link.on);
    EXPECT_NEAR(link.speed, 0.0f, 1e-12f);
    EXPECT_NEAR(link.phase, 9 * 2e-7, 1e-12);

    g.tremulant->QueueToggle();  // on at 13: dropped by the reset
    g.tremulant->Reset(false);
    g.Render(8, 16);
    EXPECT_TRUE(!link.on && link.speed == 0.0f && link.phase == 0.0);
    g.tremulant->Reset(true);  // the drawstop comes back engaged
    g.Render(8, 24);
    EXPECT_TRUE(link.on && link.speed > 0.0f);
}

TEST(Tremulant, SpinsUpToFullSpeedAndWindsDownFromWhereItWas) {
    ProcessedGroup g("AmpMinimumLevel=0", "Period=32\nStartRate=100\nStopRate=50\nAmpModDepth=50");
    TremulantGroupLink& link = g.tremulant->Link(0);
    const float full = g.tremulant->fullSpeed;
    EXPECT_FLOAT_EQ(full, static_cast<float>(2 * std::numbers::pi / (32 * 44.1)));
    g.tremulant->QueueToggle();  // on at frame 8
    int64_t t = 8;
    for (; t < 8 + 30000; t += 8) g.Render(8, t);
    EXPECT_EQ(link.speed, full);  // 2e-7 a frame reaches it after about 22300 frames
    // At full speed the gain swings between 1 - depth and 1 + depth.
    int32_t lowest = 1000, highest = 1000;
    for (int64_t end = t + 1500; t < end; t += 8) {
        for (int32_t v : g.Render(8, t)) {
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
        }
    }
    EXPECT_TRUE(lowest >= 500 && lowest <= 501 && highest >= 1499 && highest <= 1500)
        << lowest << " " << highest;

    g.rig.PlayTo(t - 8);
    g.tremulant->QueueToggle();  // off at frame t
    for (int64_t end = t + 8000; t < end; t += 8) g.Render(8, t);
    EXPECT_NEAR(link.speed, full - 8000 * 1e-7f, 2e-6f);
    const float woundDown = link.speed;
    g.rig.PlayTo(t - 8);
    g.tremulant->QueueToggle();  // on again before it came to rest
    g.Render(8, t);
    EXPECT_GT(link.speed, woundDown);
    EXPECT_LT(link.speed, woundDown + 9 * 2e-7f);
}

TEST(Tremulant, OnlyItsGroupIsModulatedAndUnmixedGroupsStaySilent) {
    MixRig rig(8, OutputMode::Stereo, 2);
    DefinitionFile file;
    file.ParseText("[Tremulant001]\nPeriod=32\nStartRate=100\nStopRate=100\nAmpModDepth=100\n");
    std::array<WindchestGroup, 3> groups;
    groups[2].tremulantCount = 1;  // group 2 only
    auto tremulant = std::make_unique<Tremulant>();
    ASSERT_TRUE(tremulant->Load(file, 1, groups));
    tremulant->AttachEngine(rig.engine);
    tremulant->Link(0).on = true;
    tremulant->Link(0).speed = tremulant->fullSpeed;
    tremulant->Link(0).phase = std::numbers::pi / 2;  // gain near 2
    rig.SetProcessors(std::span(tremulant.get(), 1), {});
    rig.Looped({300, -7, 300, -7}, 0, 2, 1).Start();
    rig.Looped({100, 100, 100, 100}, 0, 2, 2).Start();
    rig.Looped({500, 500, 500, 500}, 0, 2, 3).Start();  // group 3 is not mixed
    const auto out = rig.Render(2, 8);
    EXPECT_EQ(Channel(out), (Values{300 + 199, 300 + 199}));
    EXPECT_EQ(Channel(out, 1), (Values{-7 + 199, -7 + 199}));
}

// The key action's thread starts, stops, cuts, silences, moves the swell and
// switches the tremulant while the device plays and its ticks render: under
// ThreadSanitizer this shows the hand-offs free of data races.
TEST(ThreadedMix, KeyActionAndRendererShareVoicesWithoutRaces) {
    ProcessedGroup g("AmpMinimumLevel=20",
                     "Period=100\nStartRate=100\nStopRate=100\nAmpModDepth=30", 0, 256,
                     OutputMode::Stereo);
    test::MixRig& rig = g.rig;
    std::vector<Pipe*> pipes;
    for (int i = 0; i < 48; ++i) {
        // Attack 40 frames, loop 24, release 300: voices come and go quickly.
        std::vector<int16_t> values(2 * (64 + 300), static_cast<int16_t>(100 + i));
        pipes.push_back(i % 8 == 0 ? &rig.Percussive(values) : &rig.Looped(values, 40, 64));
    }
    std::atomic<bool> done{false};
    std::atomic<int64_t> rendered{0};
    std::thread renderer([&] {
        while (!done.load(std::memory_order_acquire) && rig.output.Play(128))
            rendered.fetch_add(128, std::memory_order_release);
    });

    std::mt19937 random(7);
    for (int step = 0; step < 60000; ++step) {
        Pipe& pipe = *pipes[random() % pipes.size()];
        const auto action = random() % 16;
        if (action == 0) {
            pipe.Cut();
        } else if (action == 1) {
            g.enclosure->SetValue(random() % 128);
        } else if (action == 2) {
            g.tremulant->QueueToggle();
        } else if (random() % 2) {
            pipe.Start();
        } else {
            pipe.Stop();
        }
        if (step % 4096 == 4095) {
            rig.pool->SilenceAllVoices();
            g.enclosure->Reset();
            g.tremulant->Reset(step % 8192 == 4095);
        }
        if (step % 64 == 0) std::this_thread::yield();
    }
    for (Pipe* pipe : pipes)
        while (pipe->sounding) pipe->Stop();
    // Let the renderer play every release out.
    const int64_t until = rendered.load(std::memory_order_acquire) + 256 + 2048;
    while (rendered.load(std::memory_order_acquire) < until) std::this_thread::yield();
    done.store(true, std::memory_order_release);
    renderer.join();

    EXPECT_EQ(rig.engine.CurrentPlayPosition(), rendered.load());
    EXPECT_EQ(rig.engine.Stream().SkippedTicks(), 0u);
    EXPECT_EQ(rig.pool->CountInUse(), 0);
    for (Pipe* pipe : pipes) EXPECT_TRUE(pipe->holdCount == 0 && pipe->voice == nullptr);
    const int64_t t = rendered.load() + rig.engine.BufferFrames();
    EXPECT_EQ(rig.Render(128, t), std::vector<int16_t>(256, 0));
}

// Loads windchest group 2 of an organ with two enclosures and three
// tremulants, enclosure 3 or Tremulant012; returns the reports as
// "message [action]", or "loaded".
std::string Load(const std::string& section, const std::string& keys) {
    RecordingErrorSink errors;
    DefinitionFile file;
    file.ParseText("[" + section + "]\n" + keys);
    std::array<WindchestGroup, 1> groups;
    bool loaded = false;
    if (section == "WindchestGroup002")
        loaded = WindchestGroup().Load(file, 1, 2, 3);
    else if (section == "Enclosure003")
        loaded = std::make_unique<Enclosure>()->Load(file, 2, 0, 0, groups);
    else
        loaded = std::make_unique<Tremulant>()->Load(file, 12, groups);
    std::string reports;
    for (const auto& e : errors.Errors()) reports += e.message + " [" + e.attemptedAction + "]";
    EXPECT_EQ(loaded, reports.empty());
    return loaded ? "loaded" : reports;
}

// One row per message shape, with the last valid values and one past them.
TEST(SectionLoad, KeysAreCheckedInOrderWithTheirMessages) {
    const std::string file = " in the organ definition file.";
    const std::string group = file + " [Loading an organ windchest group.]";
    const std::string counts = "NumberOfEnclosures=2\nNumberOfTremulants=1\nEnclosure001=1\n";
    const std::string enclosure = " [Loading an organ enclosure.]";
    const std::string input = "An invalid MIDI input number for enclosure 3 is specified" + file;
    const std::string period = "An invalid period for Tremulant012 is specified" + file;
    const std::string rates = "Period=441000\nStartRate=1\nStopRate=100\n";
    const struct {
        const char* section;
        std::string keys, result;
    } rows[] = {
        {"WindchestGroup002", "NumberOfTremulants=0\n",
         "The NumberOfEnclosures setting for windchest group 2 is not specified" + group},
        {"WindchestGroup002", "NumberOfEnclosures=7\nNumberOfTremulants=0\n",
         "An invalid NumberOfEnclosures setting for windchest group 2 is specified" + group},
        {"WindchestGroup002", counts,
         "Enclosure specifier 2 for windchest group 2 could not be found" + group},
        {"WindchestGroup002", counts + "Enclosure002=3\n", "Enclosure specifier 2 for windchest "
         "group 2 references an invalid enclosure" + group},
        {"WindchestGroup002", counts + "Enclosure002=2\nTremulant001=3\n", "loaded"},
        {"Enclosure003", "MIDIInputNumber=1\nAmpMinimumLevel=0\n", "No enclosure name is "
         "specified in the organ definition file or the enclosure 3 section is missing." +
         enclosure},
        {"Enclosure003", "Name=S\nMIDIInputNumber=7\n", input + enclosure},
        {"Enclosure003", "Name=S\nMIDIInputNumber=6\nAmpMinimumLevel=101\n", "An invalid minimum "
         "level value for enclosure 3 is specified in the organ definition file (range 0-100)." +
         enclosure},
        {"Enclosure003", "Name=S\nMIDIInputNumber=6\nAmpMinimumLevel=100\n", "loaded"},
        {"Tremulant012", "StartRate=1\n", "The period for Tremulant012 is not specified" + file +
         " [Loading an organ tremulant.]"},
        {"Tremulant012", "Period=441001\n", period + " [Loading an organ tremulant.]"},
        {"Tremulant012", rates + "AmpModDepth=0\n", "An invalid depth for Tremulant012 is "
         "specified in the organ definition file (range 1-100). [Loading an organ tremulant.]"},
        {"Tremulant012", rates + "AmpModDepth=100\n", "loaded"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.section + (": " + row.keys));
        EXPECT_EQ(Load(row.section, row.keys), row.result);
    }
}

}  // namespace
}  // namespace tessaline
