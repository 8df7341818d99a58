#include "GeneratedSet.h"

#include <cstdlib>

namespace tessaline::artwork::test {

const ArtworkSet& Generated() {
    static const ArtworkSet set = MakeArtwork();
    return set;
}

double LineDifference(const QImage& image, int a, int b, bool rows) {
    int length = rows ? image.width() : image.height();
    long sum = 0;
    for (int i = 0; i < length; ++i) {
        QRgb p = rows ? image.pixel(i, a) : image.pixel(a, i);
        QRgb q = rows ? image.pixel(i, b) : image.pixel(b, i);
        sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
    }
    return static_cast<double>(sum) / (3.0 * length);
}

}  // namespace tessaline::artwork::test
