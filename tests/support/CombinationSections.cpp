#include "support/CombinationSections.h"

#include "organ/DefinitionReader.h"
#include "support/OrganSections.h"

namespace tessaline::test {

void SetGeneral(OrganFileBuilder& b, int n, int row, int column,
                const std::vector<std::pair<int, int>>& stops) {
    const std::string section = NumberedName("General", n);
    SetButtonKeys(b, section, "G" + std::to_string(n), row, column);
    b.Set(section, "NumberOfStops", std::to_string(stops.size()));
    for (size_t s = 0; s < stops.size(); ++s) {
        const int i = static_cast<int>(s) + 1;
        b.Set(section, NumberedName("StopManual", i), std::to_string(stops[s].first));
        b.Set(section, NumberedName("StopNumber", i), std::to_string(stops[s].second));
    }
    b.Set(section, "NumberOfCouplers", "0");
    b.Set(section, "NumberOfTremulants", "0");
    b.Set(section, "NumberOfDivisionalCouplers", "0");
}

void SetDivisional(OrganFileBuilder& b, int n, int row, int column, const std::vector<int>& stops) {
    const std::string section = NumberedName("Divisional", n);
    SetButtonKeys(b, section, "D" + std::to_string(n), row, column);
    b.Set(section, "NumberOfStops", std::to_string(stops.size()));
    for (size_t s = 0; s < stops.size(); ++s)
        b.Set(section, NumberedName("Stop", static_cast<int>(s) + 1),
              (stops[s] > 0 ? "+" : "") + std::to_string(stops[s]));
    b.Set(section, "NumberOfCouplers", "0");
    b.Set(section, "NumberOfTremulants", "0");
}

}  // namespace tessaline::test
