// Reports raised while the organ's action lock is held reach the player only
// once it is released: a box waiting for the player must not hold up the MIDI
// thread, which takes the same lock for every message.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "support/OrganRig.h"
#include "support/OrganSections.h"

namespace tessaline {
namespace {

using namespace std::chrono_literals;

// Notes each report, and whether another thread could take the action lock
// while it was being shown.
class LockProbeSink : public ErrorSink {
public:
    explicit LockProbeSink(Organ& organ) : organ(organ), previous(SetErrorSink(this)) {}
    ~LockProbeSink() override {
        SetErrorSink(previous);
        for (auto& probe : probes) probe.wait();
    }

    void Show(const std::string&, const std::string& message, const std::string&) override {
        probes.push_back(std::async(std::launch::async, [this] { auto lock = organ.LockAction(); }));
        const bool free = probes.back().wait_for(2s) == std::future_status::ready;
        shown.push_back(message + (free ? "" : " [shown under the lock]"));
    }

    std::vector<std::string> shown;

private:
    Organ& organ;
    ErrorSink* previous;
    std::vector<std::future<void>> probes;
};

TEST(LockedReports, CombinationFileFailuresAreShownWithTheLockReleased) {
    test::OrganRig rig;
    test::OrganFileBuilder organ = test::OrganFileBuilder::MinimalOrgan();
    test::SetManual(organ, 1, 61, {1});
    test::SetStop(organ, 1, {test::WritePipeWav(rig.dir, "p.wav")});
    ASSERT_TRUE(rig.Load(organ));
    LockProbeSink sink(rig.organ);

    const std::string foreign = rig.dir.Write("foreign.cmb", "[Organ]\r\nChurchName=Elsewhere\r\n");
    EXPECT_FALSE(rig.organ.LoadCombinationFile(foreign));
    EXPECT_FALSE(rig.organ.SaveCombinationFile(rig.dir.File("missing/folder/x.cmb")));
    EXPECT_EQ(sink.shown,
              (std::vector<std::string>{
                  "The name of the church in the combination file does not match that of the "
                  "currently loaded organ. A combination file can only be used with the organ "
                  "for which it was saved.",
                  "Could not create the combination file. Check that the directory exits and is "
                  "not read-only."}));
}

TEST(LockedReports, DeferredReportsArriveInOrderWhenTheOutermostScopeEnds) {
    RecordingErrorSink sink;
    {
        DeferredReports outer;
        ReportError("first %d", "Testing.", 1);
        {
            DeferredReports inner;
            ReportError("second", "Testing.");
        }
        ReportError("third", "Testing.");
        EXPECT_EQ(sink.Count(), 0u);
    }
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{"first 1", "second", "third"}));
    ReportError("fourth", "Testing.");
    EXPECT_EQ(sink.Count(), 4u);
}

}  // namespace
}  // namespace tessaline
