#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "audio/AudioEngine.h"
#include "audio/PipeVoice.h"
#include "organ/Organ.h"
#include "organ/Pipe.h"
#include "organ/Stop.h"
#include "support/EngineRig.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"
#include "support/WavBuilder.h"

namespace tessaline {
namespace {

using test::OrganFileBuilder;

constexpr int64_t kBuffer = 128;
constexpr uint32_t kTick = 32;

// A looped sample of one steady value: 600 frames, loop [100, 300], release
// marker at 400.
std::string WriteSteadyPipe(const test::TempDir& dir, const std::string& name, int16_t value) {
    test::WavBuilder wav;
    wav.Values(std::vector<int16_t>(600, value)).Loop(100, 300).Cue(400);
    dir.Write(name, wav.Build());
    return name;
}

// An organ of two windchest groups: group 1 under the swell (enclosure 1) and
// the tremulant, group 2 under neither. Manual 1 has one key and two stops,
// stop 1 on group 1 and stop 2 on group 2, one pipe each.
struct SoundOrgan : ::testing::Test {
    SoundOrgan() {
        b = OrganFileBuilder::MinimalOrgan();
        b.Set("Organ", "NumberOfEnclosures", "1");
        b.Set("Organ", "NumberOfTremulants", "1");
        b.Set("Organ", "NumberOfWindchestGroups", "2");
        b.Set("WindchestGroup001", "NumberOfEnclosures", "1");
        b.Set("WindchestGroup001", "NumberOfTremulants", "1");
        b.Set("WindchestGroup001", "Enclosure001", "1");
        b.Set("WindchestGroup001", "Tremulant001", "1");
        b.Set("WindchestGroup002", "NumberOfEnclosures", "0");
        b.Set("WindchestGroup002", "NumberOfTremulants", "0");
        b.Set("Enclosure001", "Name", "Swell");
        b.Set("Enclosure001", "MIDIInputNumber", "1");
        b.Set("Enclosure001", "AmpMinimumLevel", "0");
        test::SetTremulant(b, 1);
        b.Set("Tremulant001", "Name", "Tremolo");
        b.Set("Tremulant001", "AmpModDepth", "20");
        test::SetManual(b, 1, 1, {1, 2});
        test::SetStop(b, 1, {WriteSteadyPipe(rig.dir, "swell.wav", 1000)});
        test::SetStop(b, 2, {WriteSteadyPipe(rig.dir, "open.wav", 3000)});
        b.Set("Stop002", "WindchestGroup", "2");
    }

    // Reports of the last load as "message [action]" lines.
    std::vector<std::string> Reports() const {
        std::vector<std::string> lines;
        for (const auto& e : rig.errors.Errors())
            lines.push_back(e.message + " [" + e.attemptedAction + "]");
        return lines;
    }
    std::vector<std::string> LoadFails() {
        rig.errors.Clear();
        EXPECT_FALSE(rig.Load(b));
        EXPECT_FALSE(rig.organ.loaded);
        EXPECT_TRUE(rig.organ.WindchestGroups().empty());
        EXPECT_TRUE(rig.organ.Enclosures().empty());
        EXPECT_TRUE(rig.organ.Tremulants().empty());
        return Reports();
    }

    // Loads, attaches the organ to the engine, draws both stops and starts
    // playing; no pipe sounds yet.
    void Play() {
        ASSERT_TRUE(rig.Load(b));
        ASSERT_TRUE(rig.organ.AttachEngine(output.engine));
        ASSERT_TRUE(output.engine.StartPlayback());
        StopAt(0).Engage();
        StopAt(1).Engage();
    }
    Stop& StopAt(int s) { return *rig.organ.manuals[1].GetStop(s); }
    // The value the pipe of stop s holds in memory (after the load's gains).
    int32_t Stored(int s) { return StopAt(s).GetPipe(0)->sample.memory[0]; }
    // Plays the device on to the play position `until`, a tick at a time.
    void PlayTo(int64_t until) {
        while (output.engine.CurrentPlayPosition() < until) ASSERT_TRUE(output.Play(kTick));
    }
    // Left values the device played in [from, to); right equals left (mono).
    std::vector<int32_t> Played(size_t from, size_t to) {
        std::vector<int16_t> all = output.devices.Captured();
        EXPECT_GE(all.size(), 2 * to);
        std::vector<int32_t> left;
        for (size_t i = from; i < to && 2 * i + 1 < all.size(); ++i) {
            EXPECT_EQ(all[2 * i], all[2 * i + 1]) << "frame " << i;
            left.push_back(all[2 * i]);
        }
        return left;
    }
    static std::vector<int32_t> Steady(size_t n, int32_t v) { return std::vector<int32_t>(n, v); }

    test::EngineRig output{kBuffer, 65536};
    test::OrganRig rig;
    OrganFileBuilder b;
};

TEST_F(SoundOrgan, EachStageNamesTheObjectThatFailedAndTakesEverythingDown) {
    struct Case {
        const char* section;
        const char* key;
        const char* value;  // nullptr removes the key
        std::vector<std::string> reports;
    } cases[] = {
        {"WindchestGroup002", "NumberOfEnclosures", nullptr, {"The NumberOfEnclosures setting for windchest group 2 is not specified in the organ definition file. [Loading an organ windchest group.]", "Windchest group 2 failed to load. [Loading an organ.]"}},
        {"Enclosure001", "AmpMinimumLevel", "101", {"An invalid minimum level value for enclosure 1 is specified in the organ definition file (range 0-100). [Loading an organ enclosure.]", "Enclosure 1 failed to load. [Loading an organ.]"}},
        {"Tremulant001", "Period", nullptr, {"The period for Tremulant001 is not specified in the organ definition file. [Loading an organ tremulant.]", "Tremulant 1 failed to load. [Loading an organ.]"}},
        // The drawstop keys are read first and fail the tremulant too.
        {"Tremulant001", "DispImageNum", nullptr, {"The DispImageNum setting for the drawstop Tremulant001 could not be found in the organ definition file. [Loading a drawstop.]", "Tremulant 1 failed to load. [Loading an organ.]"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        OrganFileBuilder saved = b;
        if (c.value)
            b.Set(c.section, c.key, c.value);
        else
            b.Remove(c.section, c.key);
        EXPECT_EQ(LoadFails(), c.reports);
        b = saved;
    }
    // A later stage fails after all three were built; all of it goes.
    b.Set("Stop002", "WindchestGroup", "3");
    EXPECT_EQ(LoadFails().back(), "Manual 1 failed to load. [Loading an organ.]");
    b.Set("Stop002", "WindchestGroup", "2");
    rig.errors.Clear();
    ASSERT_TRUE(rig.Load(b));
    EXPECT_EQ(rig.errors.Count(), 0u);
    // Links are made afresh, not added to what a failed load had attached.
    EXPECT_EQ(rig.organ.Enclosures()[0].LinkCount(), 1);
    EXPECT_EQ(rig.organ.Tremulants()[0].LinkCount(), 1);
}

TEST_F(SoundOrgan, LoadBuildsTheGroupsAndAttachesToTheEngine) {
    ASSERT_TRUE(rig.Load(b));
    std::span<const WindchestGroup> groups = rig.organ.WindchestGroups();
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_TRUE(groups[0].loaded);  // the implicit group
    EXPECT_EQ(groups[0].enclosureCount + groups[0].tremulantCount, 0u);
    EXPECT_EQ(groups[1].enclosures[0], 0);
    EXPECT_EQ(groups[1].tremulants[0], 0);
    Enclosure& swell = rig.organ.Enclosures()[0];
    Tremulant& tremolo = rig.organ.Tremulants()[0];
    ASSERT_EQ(swell.LinkCount(), 1);
    ASSERT_EQ(tremolo.LinkCount(), 1);
    EXPECT_EQ(swell.Link(0).group, 1);
    EXPECT_EQ(tremolo.Link(0).group, 1);
    EXPECT_EQ(tremolo.drawstop.name, "Tremolo");
    // One panel of 52 pixels, centred, in the row above manual 1.
    const Point panel = rig.organ.Layout().EnclosurePanel(0, 1);
    EXPECT_EQ(panel.x, rig.organ.Layout().clientWidth / 2 - 26);
    EXPECT_EQ(swell.indicatorX, static_cast<int>(panel.x));
    EXPECT_EQ(swell.indicatorY, static_cast<int>(rig.organ.SlotTop(1) + 86));

    EXPECT_EQ(rig.organ.Engine(), nullptr);
    ASSERT_TRUE(rig.organ.AttachEngine(output.engine));
    EXPECT_EQ(rig.organ.Engine(), &output.engine);
    EXPECT_EQ(groups[2].engine, &output.engine);
    EXPECT_EQ(swell.Link(0).bufferFrames, kBuffer);
    EXPECT_EQ(tremolo.Link(0).bufferFrames, kBuffer);
    EXPECT_EQ(rig.organ.Voices().Engine(), &output.engine);
    ASSERT_TRUE(rig.organ.Unload(false));
    rig.errors.Clear();
    EXPECT_FALSE(rig.organ.AttachEngine(output.engine));
    EXPECT_EQ(Reports(), std::vector<std::string>{"No organ is loaded. [Updating organ MIDI parameters.]"});
}

TEST_F(SoundOrgan, APipeSoundsOneBufferAfterItsStartAndStopsWithItsRelease) {
    Play();
    PlayTo(96);
    StopAt(1).PipeOn(0);  // heard from play position 96 + 128
    PlayTo(320);
    const int32_t v = Stored(1);
    ASSERT_NE(v, 0);
    EXPECT_EQ(Played(0, 224), Steady(224, 0));
    EXPECT_EQ(Played(224, 320), Steady(96, v));

    StopAt(1).PipeOff(0);  // the release from 448 on: the loop fades out
    PlayTo(448 + 1024 + 256);
    EXPECT_EQ(Played(320, 448), Steady(128, v));
    // The loop at its first fade gain; the stored release fades in from 0.
    EXPECT_EQ(Played(448, 449)[0], (v * 32767) >> 15);
    EXPECT_EQ(rig.organ.Voices().CountInUse(), 0);
    EXPECT_EQ(Played(448 + 1024 + 128, 448 + 1024 + 256), Steady(128, 0));
}

TEST_F(SoundOrgan, EnclosureClosedSilencesItsGroupOnly) {
    Play();
    rig.organ.Enclosures()[0].SetValue(0);
    StopAt(0).PipeOn(0);
    StopAt(1).PipeOn(0);
    PlayTo(512);
    EXPECT_EQ(Played(0, 128), Steady(128, 0));
    EXPECT_EQ(Played(128, 512), Steady(384, Stored(1)));

    rig.organ.Enclosures()[0].SetValue(127);  // open again at 640
    PlayTo(768);
    EXPECT_EQ(Played(512, 640), Steady(128, Stored(1)));
    EXPECT_EQ(Played(640, 768), Steady(128, Stored(0) + Stored(1)));
}

TEST_F(SoundOrgan, SilenceAllVoicesStopsEveryPipeAtOnce) {
    Play();
    StopAt(0).PipeOn(0);
    StopAt(1).PipeOn(0);
    PlayTo(256);
    EXPECT_EQ(rig.organ.Voices().CountInUse(), 2);
    rig.organ.SilenceAllVoices();
    EXPECT_EQ(rig.organ.Voices().CountInUse(), 0);
    PlayTo(640);
    // What was rendered before stays in the ring; nothing after it.
    EXPECT_EQ(Played(128, 384), Steady(256, Stored(0) + Stored(1)));
    EXPECT_EQ(Played(384, 640), Steady(256, 0));
    // The pipes let go of their voices: a new start sounds again.
    StopAt(1).PipeOff(0);
    StopAt(1).PipeOn(0);
    EXPECT_EQ(rig.organ.Voices().CountInUse(), 1);
}

TEST_F(SoundOrgan, TremulantSwitchesItsDrawstopAndItsLinksAfterOneBuffer) {
    EXPECT_FALSE(rig.organ.TremulantOn(0));  // no organ
    Play();
    Tremulant& tremolo = rig.organ.Tremulants()[0];
    EXPECT_FALSE(rig.organ.TremulantOn(1));  // no such tremulant
    EXPECT_FALSE(rig.organ.TremulantOff(0));  // already off
    EXPECT_TRUE(rig.organ.TremulantOn(0));
    EXPECT_TRUE(tremolo.drawstop.Engaged());
    EXPECT_FALSE(rig.organ.TremulantOn(0));
    StopAt(0).PipeOn(0);
    // The renderer runs one buffer ahead of the play position: before the
    // first tick the toggle, due at 128, has not been reached.
    EXPECT_FALSE(tremolo.Link(0).on);
    PlayTo(40000);
    EXPECT_TRUE(tremolo.Link(0).on);
    EXPECT_EQ(tremolo.Link(0).speed, tremolo.fullSpeed);
    // The swell's group is modulated, from rest at 128 up to full depth.
    const int32_t v = Stored(0);
    EXPECT_EQ(Played(128, 129)[0], v);
    std::vector<int32_t> played = Played(30000, 40000);  // more than a period
    EXPECT_LT(*std::min_element(played.begin(), played.end()), v * 85 / 100);
    EXPECT_GT(*std::max_element(played.begin(), played.end()), v * 115 / 100);

    EXPECT_TRUE(rig.organ.TremulantToggle(0));
    EXPECT_FALSE(tremolo.drawstop.Engaged());
    PlayTo(40256);
    EXPECT_FALSE(tremolo.Link(0).on);
    EXPECT_TRUE(rig.organ.TremulantToggle(0));
    EXPECT_TRUE(tremolo.drawstop.Engaged());

    rig.organ.ResetTremulants();  // back to the drawstop's default, off
    EXPECT_FALSE(tremolo.drawstop.Engaged());
    PlayTo(40512);
    EXPECT_FALSE(tremolo.Link(0).on);
    EXPECT_EQ(tremolo.Link(0).speed, 0.0f);
}

}  // namespace
}  // namespace tessaline
