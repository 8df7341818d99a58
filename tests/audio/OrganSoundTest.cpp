#include <gtest/gtest.h>

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
using Values = std::vector<int32_t>;

constexpr int64_t kBuffer = 128;

// Two windchest groups: group 1 under the swell and the tremulant, group 2
// under neither. Manual 1 has one key and two stops, stop 1 on group 1 and
// stop 2 on group 2; each pipe is a looped sample of one steady value.
struct SoundOrgan : ::testing::Test {
    SoundOrgan() {
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
        test::SetManual(b, 1, 1, {1, 2});
        test::SetStop(b, 1, {SteadyPipe("swell.wav", 1000)});
        test::SetStop(b, 2, {SteadyPipe("open.wav", 3000)});
        b.Set("Stop002", "WindchestGroup", "2");
    }
    // 600 frames, loop [100, 300], release marker at 400.
    std::string SteadyPipe(const std::string& name, int16_t value) {
        test::WavBuilder wav;
        rig.dir.Write(name, wav.Values(std::vector<int16_t>(600, value)).Loop(100, 300).Cue(400)
                                .Build());
        return name;
    }
    Stop& StopAt(int s) { return *rig.organ.manuals[1].GetStop(s); }
    // The value the pipe of stop s holds in memory (after the load's gains).
    int32_t Stored(int s) { return StopAt(s).GetPipe(0)->sample.memory[0]; }
    void PlayTo(int64_t until) {
        while (output.engine.CurrentPlayPosition() < until) ASSERT_TRUE(output.Play(32));
    }
    // Left values the device played in [from, to); right equals left (mono).
    Values Played(size_t from, size_t to) {
        const std::vector<int16_t> all = output.devices.Captured();
        EXPECT_GE(all.size(), 2 * to);
        Values left;
        for (size_t i = from; i < to && 2 * i + 1 < all.size(); ++i) {
            EXPECT_EQ(all[2 * i], all[2 * i + 1]) << "frame " << i;
            left.push_back(all[2 * i]);
        }
        return left;
    }

    test::EngineRig output{kBuffer, 65536};
    test::OrganRig rig;
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
};

TEST_F(SoundOrgan, EachStageNamesTheObjectThatFailedAndTakesEverythingDown) {
    const struct {
        const char* section;
        const char* key;
        const char* value;  // nullptr removes the key
        const char* report;
    } cases[] = {
        {"WindchestGroup002", "NumberOfEnclosures", nullptr, "Windchest group 2 failed to load."},
        {"Enclosure001", "AmpMinimumLevel", "101", "Enclosure 1 failed to load."},
        {"Tremulant001", "Period", nullptr, "Tremulant 1 failed to load."},
        {"Stop002", "WindchestGroup", "3", "Manual 1 failed to load."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        OrganFileBuilder broken = b;
        if (c.value) {
            broken.Set(c.section, c.key, c.value);
        } else {
            broken.Remove(c.section, c.key);
        }
        rig.errors.Clear();
        EXPECT_FALSE(rig.Load(broken));
        EXPECT_EQ(rig.errors.Errors().back().message, c.report);
        EXPECT_EQ(rig.errors.Errors().back().attemptedAction, "Loading an organ.");
        EXPECT_TRUE(rig.organ.WindchestGroups().empty() && rig.organ.Enclosures().empty() &&
                    rig.organ.Tremulants().empty());
    }
    // Links are made afresh, not added to what a failed load had attached.
    ASSERT_TRUE(rig.Load(b));
    EXPECT_EQ(rig.organ.Enclosures()[0].LinkCount(), 1);
    EXPECT_EQ(rig.organ.Tremulants()[0].LinkCount(), 1);
    ASSERT_TRUE(rig.organ.Unload(false));
    rig.errors.Clear();
    EXPECT_FALSE(rig.organ.AttachEngine(output.engine));
    EXPECT_EQ(rig.errors.Errors().at(0).boxText,
              "Message: No organ is loaded.\n\nAttempted action: Updating organ MIDI parameters.");
}

TEST_F(SoundOrgan, APipeSoundsOneBufferAfterItsStartAndOnlyItsGroupFollowsTheSwell) {
    ASSERT_TRUE(rig.Load(b));
    ASSERT_TRUE(rig.organ.AttachEngine(output.engine));
    ASSERT_TRUE(output.engine.StartPlayback());
    StopAt(0).Engage();
    StopAt(1).Engage();
    PlayTo(96);
    StopAt(1).PipeOn(0);  // heard from play position 96 + 128
    PlayTo(320);
    const int32_t v = Stored(1);
    ASSERT_NE(v, 0);
    EXPECT_EQ(Played(0, 224), Values(224, 0));
    EXPECT_EQ(Played(224, 320), Values(96, v));

    StopAt(1).PipeOff(0);  // the release from 448 on: the loop fades out
    PlayTo(448 + 1024 + 128);
    EXPECT_EQ(Played(320, 448), Values(128, v));
    EXPECT_EQ(Played(448, 449)[0], (v * 32767) >> 15);
    EXPECT_EQ(rig.organ.Voices().CountInUse(), 0);

    // The swell closed silences its group only, from one buffer on.
    rig.organ.Enclosures()[0].SetValue(0);
    StopAt(0).PipeOn(0);
    StopAt(1).PipeOn(0);
    PlayTo(1856);
    EXPECT_EQ(Played(1728, 1856), Values(128, Stored(1)));
    rig.organ.Enclosures()[0].SetValue(127);
    PlayTo(1984);
    rig.organ.SilenceAllVoices();  // stops every pipe at once
    EXPECT_EQ(rig.organ.Voices().CountInUse(), 0);
    PlayTo(2368);
    // What was rendered before stays in the ring; nothing after it.
    EXPECT_EQ(Played(1984, 2112), Values(128, Stored(0) + Stored(1)));
    EXPECT_EQ(Played(2112, 2368), Values(256, 0));
    // The pipes let go of their voices: a new start sounds again.
    StopAt(1).PipeOff(0);
    StopAt(1).PipeOn(0);
    EXPECT_EQ(rig.organ.Voices().CountInUse(), 1);
}

}  // namespace
}  // namespace tessaline
