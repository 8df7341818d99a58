// The generated console artwork: exact sizes and formats, masks that cover
// their pictures exactly, tiles that meet themselves across their edges, the
// file names, the preview, and the tool that writes the same bytes every run.

#include <QGuiApplication>
#include <QSet>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "Artwork.h"
#include "Preview.h"
#include "Tiles.h"
#include "organ/Constants.h"
#include "support/TempDir.h"

namespace tessaline::artwork {
namespace {

// Generated once per test program and shared by the tests.
const ArtworkSet& Generated() {
    static const ArtworkSet set = MakeArtwork();
    return set;
}

// A mask is one bit per pixel, colour 0 black and colour 1 white, and the
// picture is pure black exactly where the mask is.
void ExpectMaskCovers(const QImage& picture, const QImage& mask, QSize size, const char* what) {
    SCOPED_TRACE(what);
    ASSERT_EQ(picture.size(), size);
    ASSERT_EQ(mask.size(), size);
    ASSERT_EQ(mask.depth(), 1);
    ASSERT_EQ(mask.colorCount(), 2);
    EXPECT_EQ(mask.color(0), qRgb(0, 0, 0));
    EXPECT_EQ(mask.color(1), qRgb(255, 255, 255));
    int white = 0;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            white += mask.pixelIndex(x, y);
            bool black = (picture.pixel(x, y) & 0x00FFFFFFU) == 0;
            ASSERT_EQ(black, mask.pixelIndex(x, y) == 0) << x << "," << y;
        }
    EXPECT_GT(white, 0);
    EXPECT_LT(white, size.width() * size.height());
}

TEST(Artwork, ControlPicturesHaveTheirSizesAndMasksCoverThemExactly) {
    const ArtworkSet& set = Generated();
    for (const DrawstopSet& d : set.drawstops) {
        ExpectMaskCovers(d.disengaged, d.mask, QSize(65, 65), "disengaged drawstop");
        ExpectMaskCovers(d.engaged, d.mask, QSize(65, 65), "engaged drawstop");
    }
    for (const MaskedPicture& b : set.buttons)
        ExpectMaskCovers(b.picture, b.mask, QSize(31, 30), "button");
    ExpectMaskCovers(set.label.picture, set.label.mask, QSize(78, 22), "label plate");
    // The plate fills its rectangle but for the rounded corners.
    EXPECT_EQ(set.label.mask.pixelIndex(0, 0), 0);
}

// Mean absolute difference of the colour channels between column a and
// column b (rows when `rows`).
double LineDifference(const QImage& image, int a, int b, bool rows) {
    long sum = 0;
    for (int i = 0; i < 256; ++i) {
        QRgb p = rows ? image.pixel(i, a) : image.pixel(a, i);
        QRgb q = rows ? image.pixel(i, b) : image.pixel(b, i);
        sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
               std::abs(qBlue(p) - qBlue(q));
    }
    return static_cast<double>(sum) / (3.0 * 256);
}

TEST(Artwork, ThirtyDistinctPaletteTilesMeetThemselvesAcrossBothEdges) {
    QSet<QByteArray> seen;
    for (int n = 1; n <= kBackgroundImages; ++n) {
        SCOPED_TRACE(n);
        const QImage& tile = Generated().tiles[n - 1];
        ASSERT_EQ(tile.size(), QSize(256, 256));
        EXPECT_EQ(tile.format(), QImage::Format_Indexed8);
        EXPECT_GT(tile.colorCount(), 16) << "the tile has lost its texture";
        seen.insert(QByteArray(reinterpret_cast<const char*>(tile.constBits()),
                               static_cast<int>(tile.sizeInBytes())));
        // The step from the last line to the first is no larger than the
        // largest step between neighbouring lines inside the tile.
        for (bool rows : {false, true}) {
            double largestInside = 0.0;
            for (int i = 0; i + 1 < 256; ++i)
                largestInside = std::max(largestInside, LineDifference(tile, i, i + 1, rows));
            EXPECT_LE(LineDifference(tile, 255, 0, rows), largestInside) << rows;
        }
    }
    EXPECT_EQ(seen.size(), kBackgroundImages);
}

namespace fs = std::filesystem;

int RunTool(const std::string& arguments) {
    std::string command = std::string("\"") + MAKE_ARTWORK_PROGRAM + "\" " + arguments + " 2>/dev/null";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::map<std::string, std::string> ReadAll(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().string()] =
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
}

TEST(MakeArtwork, TwoRunsWriteTheSameBytesAndAFailureGivesItsExitCode) {
    test::TempDir first, second;
    ASSERT_EQ(RunTool("\"" + first.File("images") + "\""), 0);
    ASSERT_EQ(RunTool("\"" + second.File("images") + "\""), 0);
    auto a = ReadAll(first.Path() / "images");
    auto b = ReadAll(second.Path() / "images");
    ASSERT_EQ(a.size(), 47U);  // 46 images and the README
    EXPECT_TRUE(a == b) << "a file differs between runs";

    // Read back, the files keep the depths the console expects.
    fs::path dir = first.Path() / "images";
    QImage tile(QString::fromStdString((dir / "background12.png").string()));
    EXPECT_EQ(tile.format(), QImage::Format_Indexed8);
    QImage mask(QString::fromStdString((dir / "drawstop1-mask.png").string()));
    EXPECT_EQ(mask.depth(), 1);
    QImage picture(QString::fromStdString((dir / "drawstop1-engaged.png").string()));
    EXPECT_FALSE(picture.hasAlphaChannel());

    // It fails where it cannot write, and on bad arguments.
    EXPECT_EQ(RunTool("\"" + first.File("images/background12.png") + "\""), 1);
    EXPECT_EQ(RunTool("--preview"), 2);
}

}  // namespace
}  // namespace tessaline::artwork

// Drawing text needs a QGuiApplication; the tests never open a window.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
