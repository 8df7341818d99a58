#include <gtest/gtest.h>

#include <QSet>
#include <algorithm>

#include "GeneratedSet.h"
#include "Noise.h"
#include "Palette.h"
#include "Tiles.h"
#include "organ/Constants.h"

namespace tessaline::artwork {
namespace {

using test::Generated;
using test::LineDifference;

// The wrap-around difference (last line against the first) and the largest
// difference between neighbouring lines inside the tile.
struct Seam {
    double wrap;
    double largestInside;
};

Seam MeasureSeam(const QImage& tile, bool rows) {
    int side = rows ? tile.height() : tile.width();
    Seam seam{LineDifference(tile, side - 1, 0, rows), 0.0};
    for (int i = 0; i + 1 < side; ++i) seam.largestInside = std::max(seam.largestInside, LineDifference(tile, i, i + 1, rows));
    return seam;
}

TEST(Tiles, EveryTileMeetsItselfAcrossBothEdges) {
    for (int n = 1; n <= kBackgroundImages; ++n) {
        const QImage& tile = Generated().tiles[n - 1];
        for (bool rows : {false, true}) {
            Seam seam = MeasureSeam(tile, rows);
            EXPECT_LE(seam.wrap, seam.largestInside)
                << "tile " << n << (rows ? " top/bottom" : " left/right") << " wrap " << seam.wrap;
        }
    }
}

TEST(Tiles, SeamMeasureCatchesATileThatDoesNotWrap) {
    // A left-to-right ramp steps by 1 inside but jumps by 255 at the wrap.
    QImage ramp(256, 256, QImage::Format_RGB32);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) ramp.setPixel(x, y, qRgb(x, x, x));
    Seam across = MeasureSeam(ramp, false);
    EXPECT_DOUBLE_EQ(across.largestInside, 1.0);
    EXPECT_DOUBLE_EQ(across.wrap, 255.0);
    Seam down = MeasureSeam(ramp, true);
    EXPECT_DOUBLE_EQ(down.wrap, 0.0);
}

TEST(Tiles, ThirtyDistinctPaletteTilesOf256Square) {
    QSet<QByteArray> seen;
    for (int n = 1; n <= kBackgroundImages; ++n) {
        const QImage& tile = Generated().tiles[n - 1];
        EXPECT_EQ(tile.size(), QSize(256, 256)) << n;
        EXPECT_EQ(tile.format(), QImage::Format_Indexed8) << n;
        EXPECT_LE(tile.colorCount(), 256) << n;
        EXPECT_GT(tile.colorCount(), 16) << "tile " << n << " has lost its texture";
        EXPECT_FALSE(TileDescription(n).empty()) << n;
        seen.insert(QByteArray(reinterpret_cast<const char*>(tile.constBits()), static_cast<int>(tile.sizeInBytes())));
    }
    EXPECT_EQ(seen.size(), kBackgroundImages);
}

TEST(Tiles, NumbersOutsideOneToThirtyGiveNothing) {
    EXPECT_TRUE(MakeTile(0).isNull());
    EXPECT_TRUE(MakeTile(31).isNull());
    EXPECT_EQ(TileDescription(0), "");
    EXPECT_EQ(TileDescription(31), "");
    EXPECT_EQ(TileDescription(1), "Oak, natural");
    EXPECT_EQ(TileDescription(30), "Cherry, dark stain");
}

TEST(Noise, RepeatsEveryTileSideAndStaysInRange) {
    PeriodicNoise noise(7);
    for (int cells : {1, 3, 8, 40}) {
        for (double x : {0.0, 17.25, 128.5, 255.75}) {
            for (double y : {0.0, 99.5, 200.125}) {
                double v = noise.Value(x, y, cells, cells + 2);
                EXPECT_DOUBLE_EQ(v, noise.Value(x + 256, y, cells, cells + 2));
                EXPECT_DOUBLE_EQ(v, noise.Value(x, y + 256, cells, cells + 2));
                EXPECT_DOUBLE_EQ(v, noise.Value(x - 256, y - 512, cells, cells + 2));
                EXPECT_GE(v, 0.0);
                EXPECT_LT(v, 1.0);
                double f = noise.Fractal(x, y, cells, 2, 4);
                EXPECT_DOUBLE_EQ(f, noise.Fractal(x + 256, y + 256, cells, 2, 4));
            }
        }
    }
    // One cell down the side means no change along it.
    EXPECT_DOUBLE_EQ(noise.Value(10, 0, 4, 1), noise.Value(10, 180, 4, 1));
    EXPECT_NE(PeriodicNoise(7).Value(10.5, 10.5, 8, 8), PeriodicNoise(8).Value(10.5, 10.5, 8, 8));
}

TEST(Noise, WrapAndSmoothstep) {
    EXPECT_DOUBLE_EQ(Wrap(-1.0, 256.0), 255.0);
    EXPECT_DOUBLE_EQ(Wrap(256.0, 256.0), 0.0);
    EXPECT_DOUBLE_EQ(Wrap(513.5, 256.0), 1.5);
    EXPECT_DOUBLE_EQ(Smoothstep(0.2, 0.4, 0.1), 0.0);
    EXPECT_DOUBLE_EQ(Smoothstep(0.2, 0.4, 0.3), 0.5);
    EXPECT_DOUBLE_EQ(Smoothstep(0.2, 0.4, 0.9), 1.0);
}

TEST(Palette, FewColoursSurviveExactlyAndEachPixelMapsAlone) {
    // Three colours: the palette must hold them exactly.
    QImage few(8, 4, QImage::Format_RGB32);
    const QRgb colours[3] = {qRgb(10, 20, 30), qRgb(200, 100, 50), qRgb(255, 255, 255)};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) few.setPixel(x, y, colours[(x + y) % 3]);
    QImage indexed = ToPalette(few);
    ASSERT_EQ(indexed.format(), QImage::Format_Indexed8);
    EXPECT_EQ(indexed.colorCount(), 3);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(indexed.pixel(x, y), colours[(x + y) % 3]) << x << "," << y;

    // Many colours, the right half a copy of the left: without dithering the
    // halves stay equal, which is what keeps a tile's edges meeting.
    QImage many(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 32; ++x) {
            QRgb c = qRgb((x * 37 + y * 11) % 256, (x * 5 + y * 29) % 256, (x * y) % 256);
            many.setPixel(x, y, c);
            many.setPixel(x + 32, y, c);
        }
    QImage reduced = ToPalette(many);
    EXPECT_LE(reduced.colorCount(), 256);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 32; ++x) ASSERT_EQ(reduced.pixelIndex(x, y), reduced.pixelIndex(x + 32, y));
}

}  // namespace
}  // namespace tessaline::artwork
