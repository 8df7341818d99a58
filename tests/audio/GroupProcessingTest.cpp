#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>

#include "MixRig.h"
#include "audio/WindchestGroup.h"
#include "organ/DefinitionReader.h"
#include "platform/virtual/RecordingErrorSink.h"

namespace tessaline {
namespace {

using test::Left;
using test::MixRig;
using test::Right;
using Values = std::vector<int32_t>;

// One windchest group (number 1) under enclosure 1 and tremulant 1, with a
// steady voice of the given value sounding from frame 8.
struct ProcessedGroup {
    explicit ProcessedGroup(const std::string& enclosureKeys, const std::string& tremulantKeys,
                            int16_t level = 1000)
        : rig(8, OutputMode::Mono) {
        RecordingErrorSink errors;
        file.ParseText(
            "[WindchestGroup001]\nNumberOfEnclosures=1\nNumberOfTremulants=1\n"
            "Enclosure001=1\nTremulant001=1\n[Enclosure001]\nName=Swell\n"
            "MIDIInputNumber=1\n" +
            enclosureKeys + "\n[Tremulant001]\n" + tremulantKeys + "\n");
        EXPECT_TRUE(groups[1].Load(file, 0, 1, 1));
        EXPECT_TRUE(enclosure->Load(file, 0, 10, 20, groups));
        EXPECT_TRUE(tremulant->Load(file, 1, groups));
        EXPECT_EQ(errors.Count(), 0u);
        enclosure->AttachEngine(rig.engine);
        tremulant->AttachEngine(rig.engine);
        rig.SetProcessors(std::span(tremulant.get(), 1),
                              std::span(enclosure.get(), 1));
        rig.Looped({level, level}, 0, 2).Start();
    }

    DefinitionFile file;
    std::array<WindchestGroup, 2> groups;
    std::unique_ptr<Enclosure> enclosure = std::make_unique<Enclosure>();
    std::unique_ptr<Tremulant> tremulant = std::make_unique<Tremulant>();
    MixRig rig;
};

const char* kTremulant = "Period=32\nStartRate=100\nStopRate=100\nAmpModDepth=50";

TEST(Enclosure, MinimumLevelMapsControllerValues) {
    for (auto [minimum, at0, at64, at127] :
         {std::array<uint32_t, 4>{0, 0, 64, 127}, std::array<uint32_t, 4>{50, 63, 95, 127},
          std::array<uint32_t, 4>{100, 127, 127, 127}}) {
        ProcessedGroup g("AmpMinimumLevel=" + std::to_string(minimum), kTremulant);
        EXPECT_EQ(g.enclosure->LevelFor(0), at0) << minimum;
        EXPECT_EQ(g.enclosure->LevelFor(64), at64) << minimum;
        EXPECT_EQ(g.enclosure->LevelFor(127), at127) << minimum;
    }
}

TEST(Enclosure, ClosedSwellSilencesAtMinimumZeroAndFullMinimumNeverChanges) {
    ProcessedGroup closed("AmpMinimumLevel=0", kTremulant);
    EXPECT_TRUE(closed.enclosure->SetValue(0));  // takes effect at frame 8
    EXPECT_EQ(closed.enclosure->value, 0u);
    EXPECT_EQ(Left(closed.rig.Render(8, 8)), Values(8, 0));

    // Values beyond the float's 24 bits show any gain that is not unity.
    ProcessedGroup open("AmpMinimumLevel=100", kTremulant, 30000);
    for (int i = 0; i < 700; ++i) open.rig.Looped({30000, 30000}, 0, 2).Start();
    EXPECT_TRUE(open.enclosure->SetValue(0));
    EXPECT_TRUE(open.enclosure->SetValue(127));
    EXPECT_EQ(Left(open.rig.Render(8, 8)), Values(8, 32767));
    const int32_t* group = open.rig.engine.GroupBuffer(1);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(group[i], 701 * 30000) << i;
}

TEST(Enclosure, SweepWithinOneBlockRampsThroughEveryValue) {
    ProcessedGroup g("AmpMinimumLevel=0", kTremulant);
    g.rig.PlayTo(1);
    g.enclosure->SetValue(63);  // frame 9
    g.rig.PlayTo(3);
    g.enclosure->SetValue(0);  // frame 11
    g.rig.PlayTo(5);
    g.enclosure->SetValue(127);  // frame 13
    // 127 -> 63 over [8, 9), 63 -> 0 over [9, 11), 0 -> 127 over [11, 13),
    // then unity.
    EXPECT_EQ(Left(g.rig.Render(8, 8)), (Values{1000, 496, 248, 0, 500, 1000, 1000, 1000}));
    EXPECT_EQ(Left(g.rig.Render(8, 16)), Values(8, 1000));
}

TEST(Enclosure, LevelHeldAcrossBlocksAndLateEventsApplyAtTheBlockStart) {
    ProcessedGroup g("AmpMinimumLevel=0", kTremulant);
    g.enclosure->SetValue(0);  // stamped frame 8
    // The block [12, 16) comes after the event's frame: the event came in
    // while its frame was rendered, and it takes effect at once, not a whole
    // buffer length later.
    EXPECT_EQ(Left(g.rig.Render(4, 12)), Values(4, 0));
    EXPECT_EQ(Left(g.rig.Render(4, 16)), Values(4, 0));
    EXPECT_EQ(Left(g.rig.Render(4, 20)), Values(4, 0));
    g.rig.PlayTo(17);
    g.enclosure->SetValue(127);  // frame 25: a ramp from 0 over [24, 25)
    EXPECT_EQ(Left(g.rig.Render(4, 24)), (Values{0, 1000, 1000, 1000}));
}

TEST(Enclosure, ResetReturnsToFullLevelAndDropsQueuedValues) {
    ProcessedGroup g("AmpMinimumLevel=0", kTremulant);
    g.enclosure->SetValue(0);
    EXPECT_EQ(Left(g.rig.Render(4, 8)), Values(4, 0));
    g.rig.PlayTo(4);
    g.enclosure->SetValue(10);  // frame 12, dropped by the reset
    g.enclosure->Reset();
    EXPECT_EQ(g.enclosure->value, 127u);
    g.rig.PlayTo(6);
    g.enclosure->SetValue(0);  // frame 14, after the reset: kept
    // From full level to 0 over [12, 14).
    EXPECT_EQ(Left(g.rig.Render(4, 12)), (Values{1000, 500, 0, 0}));
}

TEST(Enclosure, FullRingRefusesTheValueForEveryGroup) {
    RecordingErrorSink errors;
    DefinitionFile file;
    file.ParseText("[Enclosure001]\nName=Swell\nMIDIInputNumber=1\nAmpMinimumLevel=0\n");
    std::array<WindchestGroup, 3> groups;
    groups[1].enclosureCount = 1;
    groups[2].enclosureCount = 1;
    auto enclosure = std::make_unique<Enclosure>();
    ASSERT_TRUE(enclosure->Load(file, 0, 0, 0, groups));
    ASSERT_EQ(enclosure->LinkCount(), 2);
    auto& second = enclosure->Link(1).events;
    for (size_t i = 0; i + 1 < kEnclosureEventRing; ++i) ASSERT_TRUE(second.Push({0, 1}));
    EXPECT_FALSE(second.Push({0, 1}));
    EXPECT_EQ(second.Dropped(), 1u);

    EXPECT_FALSE(enclosure->SetValue(5));
    EXPECT_EQ(enclosure->value, 127u);
    EXPECT_EQ(second.Dropped(), 2u);
    auto& first = enclosure->Link(0).events;
    first.BeginBlock();
    EXPECT_EQ(first.Peek(), nullptr);  // nothing queued for the first group either
    EXPECT_EQ(errors.Count(), 0u);
}

TEST(Tremulant, OnAndOffWithinOneBufferActsOnTheStampedFrames) {
    ProcessedGroup g("AmpMinimumLevel=0", kTremulant);
    TremulantGroupLink& link = g.tremulant->Link(0);
    g.rig.PlayTo(2);
    g.tremulant->QueueToggle();  // on at frame 10
    g.rig.PlayTo(5);
    g.tremulant->QueueToggle();  // off at frame 13
    g.rig.Render(8, 8);
    // On for frames 10, 11, 12; off for 13, 14, 15: three steps up and three
    // of the same size down, so the speed is back at rest (to float rounding)
    // and the phase moved by 0 + 1 + 2 + 3 + 2 + 1 steps of 2e-7.
    EXPECT_FALSE(link.on);
    EXPECT_NEAR(link.speed, 0.0f, 1e-12f);
    EXPECT_NEAR(link.phase, 9 * 2e-7, 1e-12);
    link.events.BeginBlock();
    EXPECT_EQ(link.events.Peek(), nullptr);
}

TEST(Tremulant, SpinsUpToFullSpeedAndWindsDownFromWhereItWas) {
    ProcessedGroup g("AmpMinimumLevel=0", "Period=32\nStartRate=100\nStopRate=50\nAmpModDepth=50");
    TremulantGroupLink& link = g.tremulant->Link(0);
    const float full = g.tremulant->fullSpeed;
    EXPECT_FLOAT_EQ(full, static_cast<float>(2 * std::numbers::pi / (32 * 44.1)));
    g.tremulant->QueueToggle();  // on at frame 8
    int64_t t = 8;
    for (; t < 8 + 30000; t += 8) g.rig.Render(8, t);
    EXPECT_EQ(link.speed, full);  // 2e-7 a frame reaches it after about 22300 frames
    // At full speed the gain swings between 1 - depth and 1 + depth.
    int32_t lowest = 1000, highest = 1000;
    for (int64_t end = t + 1500; t < end; t += 8) {
        for (int32_t v : Left(g.rig.Render(8, t))) {
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
        }
    }
    EXPECT_GE(lowest, 500);
    EXPECT_LE(lowest, 501);
    EXPECT_GE(highest, 1499);
    EXPECT_LE(highest, 1500);

    g.rig.PlayTo(t - 8);
    g.tremulant->QueueToggle();  // off at frame t
    for (int64_t end = t + 8000; t < end; t += 8) g.rig.Render(8, t);
    EXPECT_FALSE(link.on);
    EXPECT_NEAR(link.speed, full - 8000 * 1e-7f, 2e-6f);
    const float woundDown = link.speed;
    g.rig.PlayTo(t - 8);
    g.tremulant->QueueToggle();  // on again before it came to rest
    g.rig.Render(8, t);
    EXPECT_TRUE(link.on);
    EXPECT_GT(link.speed, woundDown);
    EXPECT_LT(link.speed, woundDown + 9 * 2e-7f);
}

TEST(Tremulant, PhaseStaysPreciseOverLongPlaying) {
    ProcessedGroup g("AmpMinimumLevel=0", kTremulant);
    TremulantGroupLink& link = g.tremulant->Link(0);
    link.on = true;
    link.speed = g.tremulant->fullSpeed;
    std::vector<int32_t> frames(2 * 4096, 1000);
    const int64_t total = 4096 * 2600;  // about four minutes
    for (int64_t done = 0; done < total; done += 4096) {
        std::fill(frames.begin(), frames.end(), 1000);
        link.Modulate(*g.tremulant, frames.data(), 4096, true);
    }
    EXPECT_GE(link.phase, 0.0);
    EXPECT_LT(link.phase, 2 * std::numbers::pi);
    const double expected =
        std::fmod(static_cast<double>(total) * link.speed, 2 * std::numbers::pi);
    EXPECT_NEAR(link.phase, expected, 1e-6);
}

TEST(Tremulant, ResetStillsTheLinksAndFollowsAnEngagedDrawstop) {
    ProcessedGroup g("AmpMinimumLevel=0", kTremulant);
    TremulantGroupLink& link = g.tremulant->Link(0);
    g.tremulant->QueueToggle();
    g.rig.Render(8, 8);
    EXPECT_TRUE(link.on);
    g.rig.PlayTo(8);
    g.tremulant->QueueToggle();  // off at 16, dropped by the reset
    g.tremulant->Reset(false);
    g.rig.Render(8, 16);
    EXPECT_FALSE(link.on);
    EXPECT_EQ(link.speed, 0.0f);
    EXPECT_EQ(link.phase, 0.0);

    g.tremulant->Reset(true);  // the drawstop comes back engaged
    g.rig.Render(8, 24);
    EXPECT_TRUE(link.on);
    EXPECT_GT(link.speed, 0.0f);
    EXPECT_EQ(Left(g.rig.Render(8, 32)), Values(8, 1000));  // spinning up from rest
}

TEST(Tremulant, GroupWithoutEnclosuresOrTremulantsIsMixedUnchanged) {
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
    auto out = rig.Render(2, 8);
    EXPECT_EQ(Left(out), (Values{300 + 199, 300 + 199}));
    EXPECT_EQ(Right(out), (Values{-7 + 199, -7 + 199}));
}

}  // namespace
}  // namespace tessaline
