#pragma once
// A small organ with combinations for the combination tests: no pedal,
// manual 1 (Great) with 12 stops and manual 2 (Swell) with 3, two
// divisionals on each manual drawing the manual's first stop, three generals
// each drawing Great stop g, and one reversible piston on the Great's second
// stop. Every stop has one pipe; stop 5 of the Great is not displayed.

#include <string>

#include "organ/Organ.h"
#include "organ/Stop.h"
#include "support/CombinationSections.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"

namespace tessaline::test {

class CombinationRig {
public:
    CombinationRig() : organ(OrganFileBuilder::MinimalOrgan()) {
        std::string pipe = WritePipeWav(rig.dir, "p.wav");
        organ.Set("Organ", "NumberOfManuals", "2");
        organ.Set("Organ", "NumberOfGenerals", "3");
        organ.Set("Organ", "NumberOfReversiblePistons", "1");
        organ.Set("Organ", "NumberOfFrameGenerals", "512");
        for (int n = 1; n <= 15; ++n) SetStop(organ, n, {pipe});
        organ.Set("Stop005", "Displayed", "N");
        SetManual(organ, 1, 61, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
        SetManual(organ, 2, 61, {13, 14, 15});
        for (int m = 1; m <= 2; ++m) {
            std::string manual = "Manual00" + std::to_string(m);
            organ.Set(manual, "NumberOfDivisionals", "2");
            organ.Set(manual, "Divisional001", std::to_string(2 * m - 1));
            organ.Set(manual, "Divisional002", std::to_string(2 * m));
        }
        for (int d = 1; d <= 4; ++d) SetDivisional(organ, d, 1, d, {1});
        for (int g = 1; g <= 3; ++g) SetGeneral(organ, g, 2, g, {{1, g}});
        SetButtonKeys(organ, "ReversiblePiston001", "R", 3, 1);
        organ.Set("ReversiblePiston001", "ObjectType", "Stop");
        organ.Set("ReversiblePiston001", "ManualNumber", "1");
        organ.Set("ReversiblePiston001", "ObjectNumber", "2");
    }

    std::string OrganPath() const { return rig.dir.File("test.organ"); }
    bool Load() {
        rig.errors.Clear();
        return rig.Load(organ);
    }
    // The reports since the last Clear, "message [action]" joined with " / ".
    std::string Reports() const {
        std::string joined;
        for (const auto& e : rig.errors.Errors())
            joined += (joined.empty() ? "" : " / ") + e.message + " [" + e.attemptedAction + "]";
        return joined;
    }

    Stop& StopOf(int m, int s) { return *rig.organ.manuals[static_cast<size_t>(m)].GetStop(s); }
    // Every drawstop of both manuals as a string of 1 and 0, "Great/Swell".
    std::string Registration() {
        std::string states;
        for (int m = 1; m <= 2; ++m) {
            for (int s = 0; s < model().manuals[static_cast<size_t>(m)].numberOfStops; ++s)
                states += StopOf(m, s).Engaged() ? '1' : '0';
            states += m == 1 ? "/" : "";
        }
        return states;
    }
    // Sets the drawstops from a string of the same form.
    void SetRegistration(const std::string& states) {
        size_t i = 0;
        for (int m = 1; m <= 2; ++m, ++i) {
            for (int s = 0; s < model().manuals[static_cast<size_t>(m)].numberOfStops; ++s, ++i) {
                if (states[i] == '1')
                    StopOf(m, s).Engage();
                else
                    StopOf(m, s).Disengage();
            }
        }
    }
    Organ& model() { return rig.organ; }

    OrganFileBuilder organ;
    OrganRig rig;
};

}  // namespace tessaline::test
