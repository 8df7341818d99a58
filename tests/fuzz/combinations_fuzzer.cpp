// Feeds arbitrary bytes to the combination file loader as a combination file
// for a loaded test organ with stops, couplers and divisional couplers. A
// refused file must have been reported; whatever was loaded must name only
// objects that exist, and recalling it must be safe. The organ's own
// combinations are restored after every run so runs do not depend on each
// other. Seeds: the organ's definition file (which reads as a combination
// file) and combination files saved from it, before and after captures into
// divisionals, generals and frames.

#include "fuzz/FuzzCommon.h"
#include "fuzz/FuzzOrgans.h"

namespace tessaline::test {

std::vector<std::string> Seeds(const std::filesystem::path& corpus) {
    CombinationFuzzOrgan fuzzOrgan;
    Organ& organ = fuzzOrgan.model();
    if (!fuzzOrgan.Load() || !organ.SaveCombinationFile((corpus / "defaults.cmb").string())) return {};
    fuzzOrgan.SetRegistration("101010101010/011");
    organ.manuals[1].CouplerOn(0);
    organ.DivisionalCouplerOn(0);
    organ.captureMode = true;
    organ.PressDivisional(1, 1);
    organ.PressDivisional(2, 0);
    organ.PressGeneral(1);
    organ.NextFrame();
    organ.NextFrame();
    organ.captureMode = false;
    if (!organ.SaveCombinationFile((corpus / "captured.cmb").string())) return {};
    return {fuzzOrgan.organ.Text()};
}

}  // namespace tessaline::test

namespace {

using namespace tessaline;
using test::Check;

template <typename List>
void CheckEntries(const List& list, uint32_t capacity, int count) {
    Check(list.count <= capacity);
    for (uint32_t i = 0; i < list.count; ++i) Check(list.entries[i].index < static_cast<uint32_t>(count));
}

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
        Check(general.stops.count <= kMaxGeneralStops && general.couplers.count <= kMaxGeneralCouplers);
        for (const CombinationEntry& e : general.stops)
            Check(e.manual >= 1 && e.manual <= organ.numberOfManuals &&
                  e.index < organ.manuals[e.manual].numberOfStops);
        for (const CombinationEntry& e : general.couplers)
            Check(e.manual >= 1 && e.manual <= organ.numberOfManuals &&
                  e.index < organ.manuals[e.manual].numberOfCouplers);
        CheckEntries(general.tremulants, kMaxTremulants, static_cast<int>(organ.numberOfTremulants));
        CheckEntries(general.divisionalCouplers, kMaxDivisionalCouplers,
                     static_cast<int>(organ.numberOfDivisionalCouplers));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static struct Harness {
        Harness() {
            if (!fuzzOrgan.Load()) std::abort();
        }
        test::CombinationFuzzOrgan fuzzOrgan;
        test::InputFile file{"fuzz.cmb"};
    } h;
    Organ& organ = h.fuzzOrgan.model();
    h.fuzzOrgan.rig.errors.Clear();
    if (!organ.LoadCombinationFile(h.file.Hold(data, size))) Check(h.fuzzOrgan.rig.errors.Count() > 0);
    CheckCombinations(organ);
    for (int m = 1; m <= 2; ++m)
        for (int d = 0; d < 2; ++d) organ.PressDivisional(m, d);
    for (int e = 0; e < kGeneralEntries; ++e) organ.PressGeneral(e);

    h.fuzzOrgan.rig.errors.Clear();
    if (!organ.LoadCombinationFile(h.fuzzOrgan.OrganPath())) std::abort();
    return 0;
}
