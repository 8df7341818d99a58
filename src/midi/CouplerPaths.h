#pragma once
// Closed paths of couplers. A hold that a coupler carries may pass on through
// the couplers of its destination, and so on; when some path can bring a
// hold back to a key of a manual it has already passed with the same
// permissions, a press there would recurse without end. Such organs are
// refused when they load.

#include <array>

#include "organ/Constants.h"

namespace tessaline {

class Manual;

struct CouplerPathStart {
    int manual = -1;   // the manual that lists the coupler
    int coupler = -1;  // its slot, from 0
};

// True when the couplers of the loaded manuals (engaged or not) contain such
// a closed path; found then names a coupler on it. OFF, UI.
bool FindClosedCouplerPath(const std::array<Manual, kMaxManuals>& manuals, CouplerPathStart& found);

}  // namespace tessaline
