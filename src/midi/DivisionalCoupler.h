#pragma once
// A divisional coupler: a drawstop of the organ that, while engaged, makes a
// divisional pressed on one of its listed manuals recall the divisional of
// the same number on other listed manuals. A one-way coupler carries the
// press to the manuals listed after the pressed one, a two-way coupler to all
// the others. It has no state beyond its drawstop.
//
// Threads: Load and Clear run on the UI thread while the organ is not active;
// CoupledManuals is read under the organ's action lock.

#include <array>

#include "console/Control.h"
#include "organ/Constants.h"

namespace tessaline {

class DefinitionFile;

class DivisionalCoupler : public Drawstop {
public:
    // UI, OFF. Section DivisionalCoupler%03d (number). False after reporting
    // (a failing drawstop has reported for itself), cleared.
    bool Load(const DefinitionFile& file, int number);
    // UI, OFF.
    void Clear();

    // The manuals whose divisional of the same number a press on manual m
    // recalls, in list order, written to out; returns how many. None unless
    // the coupler is loaded, engaged and lists m. A manual listed twice is
    // recalled twice. Under the action lock.
    int CoupledManuals(int m, std::array<int, kMaxDivisionalCouplerManuals>& out) const;

    std::array<int, kMaxDivisionalCouplerManuals> manuals{};
    int numberOfManuals = 0;
    bool biDirectional = false;
    bool divisionalCouplerLoaded = false;

private:
    bool ReadKeys(const DefinitionFile& file, int number);
};

}  // namespace tessaline
