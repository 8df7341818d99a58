#pragma once
// Combination sections for OrganFileBuilder: a general or a divisional whose
// button stands at the given row and column and that sets stops only.

#include <string>
#include <utility>
#include <vector>

#include "support/OrganFileBuilder.h"

namespace tessaline::test {

// Section General%03d (n) with its button; `stops` lists (manual, stop) with
// a negative stop number to put the stop in. The organ's NumberOfGenerals is
// the test's to set.
void SetGeneral(OrganFileBuilder& b, int n, int row, int column,
                const std::vector<std::pair<int, int>>& stops);
// Section Divisional%03d (n) with its button, drawing (or, negative, putting
// in) the manual's stops in `stops`; the manual's NumberOfDivisionals and
// DivisionalNNN keys are the test's to set.
void SetDivisional(OrganFileBuilder& b, int n, int row, int column, const std::vector<int>& stops);

}  // namespace tessaline::test
