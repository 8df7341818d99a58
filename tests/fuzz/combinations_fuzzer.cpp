// Feeds arbitrary bytes to the combination file loader as a combination file
// for a loaded test organ with stops, couplers and divisional couplers. A
// refused file must have been reported; whatever was loaded must name only
// objects that exist, and recalling it must be safe. The organ's own
// combinations are restored after every run so runs do not depend on each
// other.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/CombinationFuzzOrgan.h"

namespace {

using namespace tessaline;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

template <typename List>
void CheckEntries(const List& list, uint32_t capacity, uint32_t count) {
    Check(list.count <= capacity);
    for (uint32_t i = 0; i < list.count; ++i) Check(list.entries[i].index < count);
}

void CheckCombinations(Organ& organ) {
    for (uint32_t m = 1; m <= organ.numberOfManuals; ++m) {
        const Manual& manual = organ.manuals[m];
        for (int d = 0; d < manual.numberOfDivisionals; ++d) {
            const Divisional& divisional = manual.divisionals[static_cast<size_t>(d)];
            CheckEntries(divisional.stops, kMaxStopsPerManual, static_cast<uint32_t>(manual.numberOfStops));
            CheckEntries(divisional.couplers, kMaxManualCouplers, static_cast<uint32_t>(manual.numberOfCouplers));
            CheckEntries(divisional.tremulants, kMaxManualTremulants, static_cast<uint32_t>(manual.numberOfTremulants));
        }
    }
    for (const General& general : organ.generals) {
        Check(general.stops.count <= kMaxGeneralStops && general.couplers.count <= kMaxGeneralCouplers);
        for (const CombinationEntry& e : general.stops) {
            Check(e.manual >= 1 && e.manual <= organ.numberOfManuals);
            Check(e.index < organ.manuals[e.manual].numberOfStops);
        }
        for (const CombinationEntry& e : general.couplers) {
            Check(e.manual >= 1 && e.manual <= organ.numberOfManuals);
            Check(e.index < organ.manuals[e.manual].numberOfCouplers);
        }
        CheckEntries(general.tremulants, kMaxTremulants, organ.numberOfTremulants);
        CheckEntries(general.divisionalCouplers, kMaxDivisionalCouplers, organ.numberOfDivisionalCouplers);
    }
}

struct Harness {
    Harness() {
        if (!fuzzOrgan.Load()) std::abort();
        fd = ::memfd_create("fuzz.cmb", 0);
        if (fd < 0) std::abort();
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    test::CombinationFuzzOrgan fuzzOrgan;
    int fd = -1;
    std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness harness;
    Organ& organ = harness.fuzzOrgan.model();
    if (::ftruncate(harness.fd, 0) != 0) std::abort();
    size_t written = 0;
    while (written < size) {
        ssize_t n = ::pwrite(harness.fd, data + written, size - written, static_cast<off_t>(written));
        if (n <= 0) std::abort();
        written += static_cast<size_t>(n);
    }

    harness.fuzzOrgan.rig.errors.Clear();
    if (!organ.LoadCombinationFile(harness.path)) Check(harness.fuzzOrgan.rig.errors.Count() > 0);
    CheckCombinations(organ);
    for (int m = 1; m <= 2; ++m)
        for (int d = 0; d < 2; ++d) organ.PressDivisional(m, d);
    for (int e = 0; e < kGeneralEntries; ++e) organ.PressGeneral(e);

    harness.fuzzOrgan.rig.errors.Clear();
    if (!organ.LoadCombinationFile(harness.fuzzOrgan.OrganPath())) std::abort();
    return 0;
}
