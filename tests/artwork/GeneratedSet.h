#pragma once
// The artwork is generated once per test program and shared by the tests.

#include "Artwork.h"

namespace tessaline::artwork::test {

const ArtworkSet& Generated();

// Mean absolute difference of the colour channels between column a and
// column b (rows when `rows`), over the whole side.
double LineDifference(const QImage& image, int a, int b, bool rows);

}  // namespace tessaline::artwork::test
