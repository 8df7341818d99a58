#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/AudioEngine.h"
#include "audio/PipeVoice.h"
#include "organ/Manual.h"
#include "organ/Pipe.h"
#include "organ/Stop.h"
#include "support/EngineRig.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"

namespace tessaline {
namespace {

using test::OrganFileBuilder;

// Two manuals: manual 1 plays stops 1 and 2, manual 2 plays stop 3; each stop
// has three pipes of its own.
class ManualStop : public ::testing::Test {
protected:
    ManualStop() {
        organ.Set("Organ", "NumberOfManuals", "2");
        test::SetManual(organ, 1, 61, {1, 2});
        test::SetManual(organ, 2, 61, {3});
        for (int n = 1; n <= 3; ++n)
            test::SetStop(organ, n, test::WritePipeWavs(rig.dir, "stop" + std::to_string(n), 3));
    }

    // "loaded", or every report joined with " / ", each with its action.
    std::string LoadResult() {
        rig.errors.Clear();
        if (rig.Load(organ)) return "loaded";
        EXPECT_EQ(rig.organ.pipesLoaded, 0u);
        EXPECT_EQ(rig.organ.Samples().BytesUsed(), 0u);
        std::string joined;
        for (const auto& e : rig.errors.Errors())
            joined += (joined.empty() ? "" : " / ") + e.message + " [" + e.attemptedAction + "]";
        return joined;
    }
    Stop& StopAt(int manual, int slot) {
        Stop* stop = rig.organ.manuals[static_cast<size_t>(manual)].GetStop(slot);
        EXPECT_NE(stop, nullptr);
        return *stop;
    }

    test::OrganRig rig;
    OrganFileBuilder organ = OrganFileBuilder::MinimalOrgan();
};

TEST_F(ManualStop, KeyNumbersFollowTheFirstAccessibleKey) {
    // From logical key 6, MIDI note 36 is still the first reachable key.
    organ.Set("Manual001", "NumberOfAccessibleKeys", "56");
    organ.Set("Manual001", "FirstAccessibleKeyLogicalKeyNumber", "6");
    organ.Set("Manual001", "MIDIInputNumber", "6");
    ASSERT_EQ(LoadResult(), "loaded");
    const Manual& manual = rig.organ.manuals[1];
    EXPECT_EQ(manual.midiNoteOfKey0, 31);
    EXPECT_EQ(manual.midiInput, 5);
    EXPECT_FALSE(manual.keys[4].playable);
    EXPECT_TRUE(manual.keys[5].playable);
    EXPECT_EQ(manual.keys[5].midiNote, 36);
    EXPECT_TRUE(manual.keys[60].playable);

    const std::string invalidFirst =
        "An invalid FirstAccessibleKeyLogicalKeyNumber setting for manual 1 is specified in the "
        "organ definition file. [Loading an organ manual.] / Manual 1 failed to load. [Loading an "
        "organ.]";
    organ.Set("Manual001", "NumberOfAccessibleKeys", "57");
    EXPECT_EQ(LoadResult(), invalidFirst);
    organ.Set("Manual001", "FirstAccessibleKeyLogicalKeyNumber", "0");
    EXPECT_EQ(LoadResult(), invalidFirst);

    // No reachable key at all: a manual that only hears couplers. A hidden
    // manual has none either.
    organ.Set("Manual001", "NumberOfAccessibleKeys", "0");
    organ.Set("Manual001", "FirstAccessibleKeyLogicalKeyNumber", "61");
    organ.Set("Manual002", "Displayed", "N");
    ASSERT_EQ(LoadResult(), "loaded");
    for (int m : {1, 2})
        for (const ManualKey& key : rig.organ.manuals[static_cast<size_t>(m)].keys)
            EXPECT_FALSE(key.playable);
}

TEST_F(ManualStop, TremulantSpecifiersNameOrganTremulantsFromZero) {
    organ.Set("Organ", "NumberOfTremulants", "3");
    for (int n = 1; n <= 3; ++n) test::SetTremulant(organ, n);
    organ.Set("Manual001", "NumberOfTremulants", "2");
    organ.Set("Manual001", "Tremulant001", "3");
    organ.Set("Manual001", "Tremulant002", "1");
    ASSERT_EQ(LoadResult(), "loaded");
    EXPECT_EQ(rig.organ.manuals[1].tremulants[0], 2);
    EXPECT_EQ(rig.organ.manuals[1].tremulants[1], 0);
}

TEST_F(ManualStop, StopTextsFallBackToTheOrgansAndUnloadingGivesTheMemoryBack) {
    organ.Set("Stop001", "ChurchName", "Elsewhere");
    ASSERT_EQ(LoadResult(), "loaded");
    EXPECT_EQ(rig.organ.pipesLoaded, 9u);
    EXPECT_EQ(StopAt(1, 1).churchName, "Test Church");
    EXPECT_EQ(StopAt(1, 0).churchName, "Elsewhere");
    EXPECT_TRUE(rig.organ.Unload(false));
    EXPECT_EQ(rig.organ.pipesLoaded, 0u);
    EXPECT_EQ(rig.organ.Samples().BytesUsed(), 0u);
    EXPECT_EQ(rig.organ.manuals[1].GetStop(0), nullptr);
}

TEST_F(ManualStop, LogicalPipesAndAccessibleRangeBounds) {
    organ.Set("Stop001", "NumberOfLogicalPipes", "192");
    organ.Set("Stop001", "NumberOfAccessiblePipes", "192");
    test::WritePipeWav(rig.dir, "one.wav");
    for (int p = 1; p <= 192; ++p) organ.Set("Stop001", NumberedName("Pipe", p), "one.wav");
    ASSERT_EQ(LoadResult(), "loaded");
    EXPECT_EQ(rig.organ.pipesLoaded, 192u + 6u);

    // Sixty-one pipes from the fifth leave room for 57 accessible ones.
    organ.Set("Stop001", "NumberOfLogicalPipes", "61");
    organ.Set("Stop001", "FirstAccessiblePipeLogicalPipeNumber", "5");
    organ.Set("Stop001", "NumberOfAccessiblePipes", "57");
    ASSERT_EQ(LoadResult(), "loaded");
    EXPECT_EQ(StopAt(1, 0).firstAccessiblePipe, 4);
    organ.Set("Stop001", "NumberOfAccessiblePipes", "58");
    EXPECT_NE(LoadResult(), "loaded");
    EXPECT_EQ(rig.errors.Messages().at(0),
              "An invalid FirstAccessiblePipeLogicalPipeNumber setting for the stop is specified in "
              "the organ definition file (global stop number 1).");
}

TEST_F(ManualStop, MalformedReferencesAreRefusedInTheSecondPass) {
    const std::string format = "The pipe specifier for a shared pipe has an invalid format (REF:MM:SSS:PPP)";
    struct Case {
        const char* specifier;
        std::string message;
    } cases[] = {
        {"REF:1:002:003", format},
        {"REF:01:002:0030", format},
        {"REF:03:001:001", "An invalid referenced manual number for a shared pipe is specified"},
        {"REF:01:000:001", "An invalid referenced stop number for a shared pipe is specified"},
        {"REF:01:003:001", "An invalid referenced stop for a shared pipe is specified"},
        {"REF:01:001:000", "An invalid referenced pipe number for a shared pipe is specified"},
        {"REF:01:001:004", "An invalid referenced pipe for a shared pipe is specified"},
        // Pipe 1 of stop 3 is itself a reference.
        {"REF:02:001:001", "An invalid referenced pipe for a shared pipe is specified"},
    };
    organ.Set("Stop003", "Pipe001", "REF:01:001:001");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.specifier);
        organ.Set("Stop003", "Pipe002", c.specifier);
        EXPECT_EQ(LoadResult(),
                  c.message +
                      " in the organ definition file (global stop number 3, pipe 2). [Loading an "
                      "organ stop.] / Reference stop 1 for manual 2 could not be loaded. [Loading an "
                      "organ manual (second parse).] / Manual 2 failed to load. [Loading an organ "
                      "(second parse).]");
    }
}

TEST_F(ManualStop, SharedPipesResolveInEitherOrderAndAreNeverFreedByTheBorrower) {
    test::EngineRig output(512);
    // Manual 1 refers forward to manual 2, manual 2 back to manual 1, with any
    // letter case in the prefix.
    organ.Set("Stop001", "Pipe002", "ref:02:001:003");
    organ.Set("Stop003", "Pipe001", "REF:01:002:001");
    ASSERT_EQ(LoadResult(), "loaded");
    EXPECT_EQ(StopAt(1, 0).pipes[1], StopAt(2, 0).GetPipe(2));
    Pipe* borrowed = StopAt(2, 0).pipes[0];
    EXPECT_EQ(borrowed, StopAt(1, 1).GetPipe(0));
    // A shared entry is never handed out again, so references cannot chain.
    EXPECT_EQ(StopAt(1, 0).GetPipe(1), nullptr);
    // Shared pipes are not counted as pipes of their own.
    EXPECT_EQ(rig.organ.pipesLoaded, 7u);

    ASSERT_TRUE(rig.organ.AttachEngine(output.engine));
    EXPECT_TRUE(StopAt(2, 0).Unload());
    EXPECT_EQ(rig.organ.pipesLoaded, 5u);  // only stop 3's two own pipes went
    StopAt(1, 1).Engage();
    StopAt(1, 1).PipeOn(0);
    EXPECT_TRUE(borrowed->sounding);
}

TEST_F(ManualStop, KeysMapToPipesFromTheFirstAccessibleKey) {
    test::EngineRig output(512);
    organ.Set("Stop001", "FirstAccessiblePipeLogicalKeyNumber", "13");
    organ.Set("Stop001", "NumberOfAccessiblePipes", "1");
    organ.Set("Stop002", "FirstAccessiblePipeLogicalKeyNumber", "13");
    organ.Set("Stop002", "FirstAccessiblePipeLogicalPipeNumber", "3");
    organ.Set("Stop002", "NumberOfAccessiblePipes", "1");
    ASSERT_EQ(LoadResult(), "loaded");
    ASSERT_TRUE(rig.organ.AttachEngine(output.engine));
    Stop& stop = StopAt(1, 0);
    EXPECT_EQ(stop.PipeForKey(11), -1);
    EXPECT_EQ(stop.PipeForKey(12), 0);
    // Keys past the accessible pipes still reach the further logical pipes.
    EXPECT_EQ(stop.PipeForKey(14), 2);
    EXPECT_EQ(stop.PipeForKey(15), -1);
    EXPECT_EQ(StopAt(1, 1).PipeForKey(10), 0);
    EXPECT_EQ(StopAt(1, 1).PipeForKey(13), -1);
    // A retired stop sounds nothing.
    stop.PipeOn(12);
    EXPECT_EQ(rig.organ.Voices().CountInUse(), 0);
    stop.Engage();
    stop.PipeOn(12);
    EXPECT_EQ(rig.organ.Voices().CountInUse(), 1);
}

TEST_F(ManualStop, CancellingUnwindsWithoutAStopMessageOfItsOwn) {
    test::OrganRig cancelling(4);
    cancelling.organ.SetDataDirectory(rig.organ.DataDirectory());
    EXPECT_FALSE(cancelling.organ.Load(rig.dir.Write("test.organ", organ.Text())));
    EXPECT_EQ(cancelling.errors.Messages(),
              (std::vector<std::string>{"Loading the organ has been cancelled by the user.",
                                        "Stop 2 on manual 1 failed to load.",
                                        "Manual 1 failed to load."}));
    EXPECT_EQ(cancelling.organ.pipesLoaded, 0u);
    EXPECT_EQ(cancelling.organ.Samples().BytesUsed(), 0u);
}

}  // namespace
}  // namespace tessaline
