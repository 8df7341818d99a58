#include "organ/Stop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/AudioEngine.h"
#include "support/EngineRig.h"
#include "audio/PipeVoice.h"
#include "organ/LoaderSteps.h"
#include "organ/Pipe.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"

namespace tessaline {
namespace {

using test::OrganFileBuilder;

// Two manuals: manual 1 plays stops 1 and 2, manual 2 plays stop 3; each stop
// has three pipes of its own.
class StopLoad : public ::testing::Test {
protected:
    StopLoad() {
        organ.Set("Organ", "NumberOfManuals", "2");
        test::SetManual(organ, 1, 61, {1, 2});
        test::SetManual(organ, 2, 61, {3});
        for (int n = 1; n <= 3; ++n)
            test::SetStop(organ, n, test::WritePipeWavs(rig.dir, "stop" + std::to_string(n), 3));
    }

    // "loaded", or every report joined with " / ", each with its action.
    std::string LoadResult() {
        rig.errors.Clear();
        bool loaded = rig.Load(organ);
        if (!loaded) {
            EXPECT_EQ(rig.organ.pipesLoaded, 0u);
            EXPECT_EQ(rig.organ.Samples().BytesUsed(), 0u);
        }
        return loaded ? "loaded" : test::JoinedReports(rig.errors);
    }
    // The report sequence of stop 1 (slot 1 of manual 1) failing its first pass.
    static std::string FirstPass(const std::string& message) {
        return message +
               " [Loading an organ stop.] / Stop 1 on manual 1 failed to load. [Loading an organ "
               "manual.] / Manual 1 failed to load. [Loading an organ.]";
    }
    // The report sequence of a shared pipe of stop 3 (manual 2, slot 1).
    static std::string SecondPass(const std::string& message) {
        return message +
               " [Loading an organ stop.] / Reference stop 1 for manual 2 could not be loaded. "
               "[Loading an organ manual (second parse).] / Manual 2 failed to load. [Loading an "
               "organ (second parse).]";
    }
    Stop& StopAt(int manual, int slot) {
        Stop* stop = rig.organ.manuals[static_cast<size_t>(manual)].GetStop(slot);
        EXPECT_NE(stop, nullptr);
        return *stop;
    }

    test::OrganRig rig;
    OrganFileBuilder organ = OrganFileBuilder::MinimalOrgan();
};

TEST_F(StopLoad, EveryPipeGetsItsSampleAndUnloadingGivesTheMemoryBack) {
    organ.Set("Stop001", "ChurchName", "Elsewhere");
    organ.Set("Stop001", "RecordingDetails", "Close microphones");
    ASSERT_EQ(LoadResult(), "loaded");
    EXPECT_EQ(rig.organ.pipesLoaded, 9u);
    EXPECT_EQ(rig.progress.steps, 9u);
    EXPECT_GT(rig.organ.Samples().BytesUsed(), 0u);
    Stop& stop = StopAt(1, 1);
    EXPECT_EQ(stop.name, "Stop 2");
    EXPECT_EQ(stop.numberOfLogicalPipes, 3);
    EXPECT_EQ(stop.windchestGroup, 1);
    EXPECT_DOUBLE_EQ(stop.amplitudeLevel, 1.0);
    for (int p = 0; p < 3; ++p) {
        ASSERT_NE(stop.GetPipe(p), nullptr);
        EXPECT_TRUE(stop.GetPipe(p)->Playable());
        EXPECT_EQ(stop.GetPipe(p)->windchestGroup, 1);
    }
    EXPECT_EQ(stop.GetPipe(3), nullptr);
    // The stop's texts fall back to the organ's.
    EXPECT_EQ(stop.churchName, "Test Church");
    EXPECT_EQ(stop.organBuilder, "Test Builder");
    EXPECT_EQ(StopAt(1, 0).recordingDetails, "Close microphones");
    EXPECT_EQ(StopAt(1, 0).churchName, "Elsewhere");
    EXPECT_EQ(StopAt(1, 0).churchAddress, "1 Test Street");

    EXPECT_TRUE(rig.organ.Unload(false));
    EXPECT_EQ(rig.organ.pipesLoaded, 0u);
    EXPECT_EQ(rig.organ.Samples().BytesUsed(), 0u);
}

TEST_F(StopLoad, KeysAreCheckedInOrderWithTheirMessages) {
    const test::KeyStep steps[] = {
        {"AmplitudeLevel", "1000.1", "The AmplitudeLevel setting for the stop is invalid in the organ definition file (global stop number 1) (range 0-1000%).", "1000"},
        {"NumberOfLogicalPipes", "193", "An invalid NumberOfLogicalPipes setting for the stop is specified in the organ definition file (global stop number 1).", "3"},
        {"NumberOfAccessiblePipes", "4", "An invalid NumberOfAccessiblePipes setting for the stop is specified in the organ definition file (global stop number 1).", "2"},
        {"FirstAccessiblePipeLogicalPipeNumber", "3", "An invalid FirstAccessiblePipeLogicalPipeNumber setting for the stop is specified in the organ definition file (global stop number 1).", "2"},
        {"FirstAccessiblePipeLogicalKeyNumber", "193", "An invalid FirstAccessiblePipeLogicalKeyNumber setting for the stop is specified in the organ definition file (global stop number 1).", "192"},
        {"WindchestGroup", "0", "An invalid WindchestGroup setting for the stop is specified in the organ definition file (global stop number 1).", "2"},
        {"WindchestGroup", "2", "An invalid WindchestGroup setting for the stop is specified in the organ definition file (global stop number 1).", "1"},
        {"Percussive", nullptr, "The Percussive setting for the stop is not specified in the organ definition file (global stop number 1).", "N"},
        {"Pipe002", nullptr, "The pipe specifier for a pipe could not be found in the organ definition file (global stop number 1, pipe 2).", nullptr},
    };
    organ.Remove("Stop001", "Percussive");  // read after the steps before its own
    test::WalkKeys(organ, "Stop001", steps, [&] { return LoadResult(); }, FirstPass);
    // The drawstop part is read first.
    organ.Remove("Stop001", "DispDrawstopRow");
    EXPECT_EQ(LoadResult(),
              "The drawstop display row number for the drawstop Stop001 could not be found in the "
              "organ definition file. [Loading a drawstop.] / Stop 1 on manual 1 failed to load. "
              "[Loading an organ manual.] / Manual 1 failed to load. [Loading an organ.]");
}

TEST_F(StopLoad, AFailingSampleFreesThePipesBuiltSoFar) {
    organ.Set("Stop002", "Pipe003", "missing.wav");
    std::string result = LoadResult();
    EXPECT_NE(result.find("A pipe failed to load (global stop number 2, pipe 3). [Loading an organ "
                          "stop.] / Stop 2 on manual 1 failed to load. [Loading an organ manual.] "
                          "/ Manual 1 failed to load. [Loading an organ.]"),
              std::string::npos)
        << result;
    EXPECT_FALSE(rig.organ.loaded);
}

TEST_F(StopLoad, LogicalPipesAndAccessibleRangeBounds) {
    organ.Set("Stop001", "NumberOfLogicalPipes", "192");
    organ.Set("Stop001", "NumberOfAccessiblePipes", "192");
    test::WritePipeWav(rig.dir, "one.wav");
    for (int p = 1; p <= 192; ++p) organ.Set("Stop001", "Pipe" + std::string(p < 10 ? "00" : p < 100 ? "0" : "") + std::to_string(p), "one.wav");
    ASSERT_EQ(LoadResult(), "loaded");
    EXPECT_EQ(StopAt(1, 0).numberOfLogicalPipes, 192);
    EXPECT_EQ(rig.organ.pipesLoaded, 192u + 6u);

    // Sixty-one pipes from the fifth leave room for 57 accessible ones.
    organ.Set("Stop001", "NumberOfLogicalPipes", "61");
    organ.Set("Stop001", "FirstAccessiblePipeLogicalPipeNumber", "5");
    organ.Set("Stop001", "NumberOfAccessiblePipes", "57");
    ASSERT_EQ(LoadResult(), "loaded");
    EXPECT_EQ(StopAt(1, 0).firstAccessiblePipe, 4);
    organ.Set("Stop001", "NumberOfAccessiblePipes", "58");
    EXPECT_EQ(LoadResult(), FirstPass("An invalid FirstAccessiblePipeLogicalPipeNumber setting for the stop is specified in the organ definition file (global stop number 1)."));
}

TEST_F(StopLoad, SharedPipesResolveAcrossManualsInEitherOrder) {
    // Manual 1 refers forward to manual 2, manual 2 back to manual 1, with any
    // letter case in the prefix.
    organ.Set("Stop001", "Pipe002", "ref:02:001:003");
    organ.Set("Stop003", "Pipe001", "REF:01:002:001");
    ASSERT_EQ(LoadResult(), "loaded") ;
    Stop& first = StopAt(1, 0);
    Stop& owner = StopAt(1, 1);
    Stop& third = StopAt(2, 0);
    EXPECT_EQ(first.pipes[1], third.GetPipe(2));
    EXPECT_EQ(third.pipes[0], owner.GetPipe(0));
    EXPECT_TRUE(first.shared[1]);
    // A shared entry is never handed out again, so references cannot chain.
    EXPECT_EQ(first.GetPipe(1), nullptr);
    EXPECT_EQ(third.GetPipe(0), nullptr);
    // Shared pipes are not counted as pipes of their own.
    EXPECT_EQ(rig.organ.pipesLoaded, 7u);
}

TEST_F(StopLoad, MalformedReferencesAreRefusedWithTheirOwnMessages) {
    struct Case {
        const char* specifier;
        const char* message;
    } cases[] = {
        {"REF:1:002:003", "The pipe specifier for a shared pipe has an invalid format (REF:MM:SSS:PPP) in the organ definition file (global stop number 3, pipe 2)."},
        {"REF:01-002:003", "The pipe specifier for a shared pipe has an invalid format (REF:MM:SSS:PPP) in the organ definition file (global stop number 3, pipe 2)."},
        {"REF:01:002:0030", "The pipe specifier for a shared pipe has an invalid format (REF:MM:SSS:PPP) in the organ definition file (global stop number 3, pipe 2)."},
        {"REF:00:001:001", "An invalid referenced manual number for a shared pipe is specified in the organ definition file (global stop number 3, pipe 2)."},
        {"REF:03:001:001", "An invalid referenced manual number for a shared pipe is specified in the organ definition file (global stop number 3, pipe 2)."},
        {"REF:01:000:001", "An invalid referenced stop number for a shared pipe is specified in the organ definition file (global stop number 3, pipe 2)."},
        {"REF:01:003:001", "An invalid referenced stop for a shared pipe is specified in the organ definition file (global stop number 3, pipe 2)."},
        {"REF:01:-01:001", "An invalid referenced stop for a shared pipe is specified in the organ definition file (global stop number 3, pipe 2)."},
        {"REF:01:001:000", "An invalid referenced pipe number for a shared pipe is specified in the organ definition file (global stop number 3, pipe 2)."},
        {"REF:01:001:004", "An invalid referenced pipe for a shared pipe is specified in the organ definition file (global stop number 3, pipe 2)."},
        {"REF:01:001:-01", "An invalid referenced pipe for a shared pipe is specified in the organ definition file (global stop number 3, pipe 2)."},
        // Pipe 1 of stop 3 is itself a reference.
        {"REF:02:001:001", "An invalid referenced pipe for a shared pipe is specified in the organ definition file (global stop number 3, pipe 2)."},
    };
    organ.Set("Stop003", "Pipe001", "REF:01:001:001");
    for (const Case& c : cases) {
        organ.Set("Stop003", "Pipe002", c.specifier);
        EXPECT_EQ(LoadResult(), SecondPass(c.message)) << c.specifier;
        EXPECT_FALSE(rig.organ.loaded);
    }
}

TEST_F(StopLoad, AStopLetsGoOfSharedPipesWithoutFreeingThem) {
    test::EngineRig output(512);
    organ.Set("Stop003", "Pipe001", "REF:01:001:002");
    ASSERT_EQ(LoadResult(), "loaded");
    ASSERT_TRUE(rig.organ.AttachEngine(output.engine));
    VoicePool& voices = rig.organ.Voices();
    Pipe* borrowed = StopAt(2, 0).pipes[0];
    ASSERT_EQ(borrowed, StopAt(1, 0).GetPipe(1));

    EXPECT_TRUE(StopAt(2, 0).Unload());
    EXPECT_EQ(rig.organ.pipesLoaded, 6u);  // only stop 3's two own pipes went
    ASSERT_EQ(StopAt(1, 0).GetPipe(1), borrowed);
    EXPECT_TRUE(borrowed->Playable());
    StopAt(1, 0).Engage();
    StopAt(1, 0).PipeOn(1);
    EXPECT_TRUE(borrowed->sounding);
    EXPECT_EQ(voices.CountInUse(), 1);
    StopAt(1, 0).PipeCut(1);
    EXPECT_FALSE(borrowed->sounding);
}

TEST_F(StopLoad, KeysMapToPipesFromTheFirstAccessibleKey) {
    test::EngineRig output(512);
    organ.Set("Stop001", "FirstAccessiblePipeLogicalKeyNumber", "13");
    organ.Set("Stop001", "NumberOfAccessiblePipes", "1");
    organ.Set("Stop002", "FirstAccessiblePipeLogicalKeyNumber", "13");
    organ.Set("Stop002", "FirstAccessiblePipeLogicalPipeNumber", "3");
    organ.Set("Stop002", "NumberOfAccessiblePipes", "1");
    ASSERT_EQ(LoadResult(), "loaded");
    ASSERT_TRUE(rig.organ.AttachEngine(output.engine));
    VoicePool& voices = rig.organ.Voices();
    Stop& stop = StopAt(1, 0);
    EXPECT_EQ(stop.PipeForKey(11), -1);
    EXPECT_EQ(stop.PipeForKey(12), 0);
    // Keys past the accessible pipes still reach the further logical pipes.
    EXPECT_EQ(stop.PipeForKey(14), 2);
    EXPECT_EQ(stop.PipeForKey(15), -1);
    EXPECT_EQ(StopAt(1, 1).PipeForKey(10), 0);
    EXPECT_EQ(StopAt(1, 1).PipeForKey(12), 2);
    EXPECT_EQ(StopAt(1, 1).PipeForKey(13), -1);

    // A retired stop sounds nothing.
    stop.PipeOn(12);
    EXPECT_EQ(voices.CountInUse(), 0);
    stop.Engage();
    stop.PipeOn(11);
    stop.PipeOn(15);
    EXPECT_EQ(voices.CountInUse(), 0);
    stop.PipeOn(13);
    stop.PipeOn(13);
    EXPECT_EQ(stop.GetPipe(1)->holdCount, 2u);
    EXPECT_EQ(voices.CountInUse(), 1);
    stop.PipeOff(13);
    EXPECT_EQ(stop.GetPipe(1)->holdCount, 1u);
    stop.PipeCut(13);
    EXPECT_EQ(stop.GetPipe(1)->holdCount, 0u);
    EXPECT_FALSE(stop.GetPipe(1)->sounding);
}

TEST_F(StopLoad, CancellingUnwindsWithoutAStopMessageOfItsOwn) {
    test::OrganRig cancelling(4);
    cancelling.organ.SetDataDirectory(rig.organ.DataDirectory());
    std::string file = rig.dir.Write("test.organ", organ.Text());
    EXPECT_FALSE(cancelling.organ.Load(file));
    EXPECT_EQ(cancelling.errors.Messages(),
              (std::vector<std::string>{"Loading the organ has been cancelled by the user.",
                                        "Stop 2 on manual 1 failed to load.",
                                        "Manual 1 failed to load."}));
    EXPECT_FALSE(cancelling.organ.loaded);
    EXPECT_EQ(cancelling.organ.pipesLoaded, 0u);
    EXPECT_EQ(cancelling.organ.Samples().BytesUsed(), 0u);
    EXPECT_EQ(cancelling.organ.manuals[1].GetStop(0), nullptr);
}

}  // namespace
}  // namespace tessaline
