// Feeds arbitrary bytes to the combination file loader as a combination file
// for the loaded demo organ (over the fuzz samples). The organ's own
// combinations, saved at the start, are restored after every run so runs do
// not depend on each other. Seeds: the organ's definition file (which reads
// as a combination file) and combination files saved from it, before and
// after captures.

#include "fuzz/FuzzCommon.h"
#include "fuzz/FuzzOrgans.h"
#include "support/ToolRun.h"

namespace tessaline::test {
namespace {

struct Harness : FuzzOrganRig {
    Harness() {
        if (!rig.organ.Load(rig.dir.Write("demo.organ", DemoOrganOverFuzzSamples())) ||
            !rig.organ.SaveCombinationFile(defaults))
            std::abort();
    }
    const std::string path = MemoryFilePath("fuzz.cmb");
    const std::string defaults = rig.dir.File("defaults.cmb");
};

}  // namespace

std::vector<std::string> Seeds(const std::filesystem::path& corpus) {
    Harness h;
    Organ& organ = h.rig.organ;
    for (int s = 0; s < 3; ++s) organ.StopOn(1, s);
    organ.CouplerOn(1, 0);
    organ.DivisionalCouplerOn(0);
    organ.captureMode = true;
    organ.PressDivisional(1, 1);
    organ.PressDivisional(2, 0);
    organ.PressGeneral(1);
    organ.NextFrame();
    organ.NextFrame();
    organ.captureMode = false;
    if (!organ.SaveCombinationFile((corpus / "captured.cmb").string())) return {};
    return {DemoOrganOverFuzzSamples(), FileBytes(h.defaults)};
}

}  // namespace tessaline::test

namespace {

using namespace tessaline;
using test::Check;

template <typename List>
void CheckEntries(const List& list, uint32_t capacity, int64_t count) {
    Check(list.count <= capacity);
    for (uint32_t i = 0; i < list.count; ++i) Check(list.entries[i].index < count);
}

// Entries of generals name their manual; those of divisionals are the manual's own.
void CheckCombinations(Organ& organ) {
    test::ForEachManual(organ, [](int, const Manual& manual) {
        for (int d = 0; d < manual.numberOfDivisionals; ++d) {
            const Divisional& divisional = manual.divisionals[static_cast<size_t>(d)];
            CheckEntries(divisional.stops, kMaxStopsPerManual, manual.numberOfStops);
            CheckEntries(divisional.couplers, kMaxManualCouplers, manual.numberOfCouplers);
            CheckEntries(divisional.tremulants, kMaxManualTremulants, manual.numberOfTremulants);
        }
    });
    for (const General& general : organ.generals) {
        Check(general.stops.count <= kMaxGeneralStops &&
              general.couplers.count <= kMaxGeneralCouplers);
        for (const CombinationEntry& e : general.stops)
            Check(organ.ManualAt(e.manual) && e.index < organ.ManualAt(e.manual)->numberOfStops);
        for (const CombinationEntry& e : general.couplers)
            Check(organ.ManualAt(e.manual) && e.index < organ.ManualAt(e.manual)->numberOfCouplers);
        CheckEntries(general.tremulants, kMaxTremulants, organ.numberOfTremulants);
        CheckEntries(general.divisionalCouplers, kMaxDivisionalCouplers,
                     organ.numberOfDivisionalCouplers);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static test::Harness h;
    Organ& organ = h.rig.organ;
    test::WriteInput(h.path, data, size);
    h.rig.errors.Clear();
    if (!organ.LoadCombinationFile(h.path)) Check(h.rig.errors.Count() > 0);
    CheckCombinations(organ);
    test::ForEachManual(organ, [&](int m, const Manual& manual) {
        for (int d = 0; d < manual.numberOfDivisionals; ++d) organ.PressDivisional(m, d);
    });
    for (int e = 0; e < kGeneralEntries; ++e) organ.PressGeneral(e);

    h.rig.errors.Clear();
    if (!organ.LoadCombinationFile(h.defaults)) std::abort();
    return 0;
}
