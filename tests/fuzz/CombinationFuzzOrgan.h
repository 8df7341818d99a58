#pragma once
// The organ the combination file fuzzer loads files into: the combination
// test organ with two couplers on the Great (into the Swell, and an octave
// up on itself), two tremulants and a one-way divisional coupler from the
// Swell to the Great.

#include "combinations/CombinationRig.h"

namespace tessaline::test {

class CombinationFuzzOrgan : public CombinationRig {
public:
    CombinationFuzzOrgan() {
        SetCoupler(organ, 1, 2, 0);
        SetCoupler(organ, 2, 1, 12);
        organ.Set("Manual001", "NumberOfCouplers", "2");
        organ.Set("Manual001", "Coupler001", "1");
        organ.Set("Manual001", "Coupler002", "2");
        organ.Set("Organ", "NumberOfTremulants", "2");
        SetTremulant(organ, 1);
        SetTremulant(organ, 2);
        organ.Set("Manual002", "NumberOfTremulants", "1");
        organ.Set("Manual002", "Tremulant001", "2");
        SetDrawstopKeys(organ, "DivisionalCoupler001", "Swell to Great", 3, 1);
        organ.Set("DivisionalCoupler001", "NumberOfManuals", "2");
        organ.Set("DivisionalCoupler001", "Manual001", "2");
        organ.Set("DivisionalCoupler001", "Manual002", "1");
        organ.Set("DivisionalCoupler001", "BiDirectionalCoupling", "N");
        organ.Set("Organ", "NumberOfDivisionalCouplers", "1");
    }
};

}  // namespace tessaline::test
