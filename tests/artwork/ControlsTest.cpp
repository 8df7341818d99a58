#include <gtest/gtest.h>

#include <QSet>

#include "GeneratedSet.h"
#include "Preview.h"

namespace tessaline::artwork {
namespace {

using test::Generated;

// A mask is strictly two-level: one bit per pixel, colour 0 black, colour 1
// white, and both present.
void ExpectOneBitMask(const QImage& mask, const char* what) {
    ASSERT_EQ(mask.depth(), 1) << what;
    ASSERT_EQ(mask.colorCount(), 2) << what;
    EXPECT_EQ(mask.color(0), qRgb(0, 0, 0)) << what;
    EXPECT_EQ(mask.color(1), qRgb(255, 255, 255)) << what;
    int white = 0;
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x) white += mask.pixelIndex(x, y);
    EXPECT_GT(white, 0) << what;
    EXPECT_LT(white, mask.width() * mask.height()) << what;
}

// The mask covers the picture exactly: black where the mask is black, and
// never pure black where the picture is meant to show.
void ExpectMaskCovers(const QImage& picture, const QImage& mask, const char* what) {
    ASSERT_EQ(picture.size(), mask.size()) << what;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            QRgb rgb = picture.pixel(x, y) & 0x00FFFFFFU;
            if (mask.pixelIndex(x, y) == 0) ASSERT_EQ(rgb, 0U) << what << " shows outside its mask at " << x << "," << y;
            else ASSERT_NE(rgb, 0U) << what << " is empty inside its mask at " << x << "," << y;
        }
    }
}

TEST(Controls, PicturesHaveTheirExactSizes) {
    const ArtworkSet& set = Generated();
    for (const DrawstopSet& d : set.drawstops) {
        EXPECT_EQ(d.disengaged.size(), QSize(65, 65));
        EXPECT_EQ(d.engaged.size(), QSize(65, 65));
        EXPECT_EQ(d.mask.size(), QSize(65, 65));
    }
    for (const MaskedPicture& b : set.buttons) {
        EXPECT_EQ(b.picture.size(), QSize(31, 30));
        EXPECT_EQ(b.mask.size(), QSize(31, 30));
    }
    EXPECT_EQ(set.label.picture.size(), QSize(78, 22));
    EXPECT_EQ(set.label.mask.size(), QSize(78, 22));
    EXPECT_EQ(set.splash.size(), QSize(400, 300));
    EXPECT_EQ(set.icons[0].size(), QSize(256, 256));
    EXPECT_EQ(set.icons[1].size(), QSize(48, 48));
    EXPECT_EQ(set.icons[2].size(), QSize(32, 32));
}

TEST(Controls, MasksAreOneBitAndCoverTheirPictures) {
    const ArtworkSet& set = Generated();
    for (const DrawstopSet& d : set.drawstops) {
        ExpectOneBitMask(d.mask, "drawstop mask");
        ExpectMaskCovers(d.disengaged, d.mask, "disengaged drawstop");
        ExpectMaskCovers(d.engaged, d.mask, "engaged drawstop");
    }
    for (const MaskedPicture& b : set.buttons) {
        ExpectOneBitMask(b.mask, "button mask");
        ExpectMaskCovers(b.picture, b.mask, "button");
    }
    ExpectOneBitMask(set.label.mask, "label mask");
    ExpectMaskCovers(set.label.picture, set.label.mask, "label plate");
    // The plate fills its rectangle but for the rounded corners.
    EXPECT_EQ(set.label.mask.pixelIndex(0, 0), 0);
    EXPECT_EQ(set.label.mask.pixelIndex(39, 11), 1);
    EXPECT_EQ(set.label.mask.pixelIndex(39, 0), 1);
}

TEST(Controls, EngagedDrawstopIsVisiblyDrawnOut) {
    for (const DrawstopSet& d : Generated().drawstops) {
        int inside = 0, changed = 0;
        for (int y = 0; y < 65; ++y)
            for (int x = 0; x < 65; ++x) {
                if (d.mask.pixelIndex(x, y) == 0) continue;
                ++inside;
                QRgb a = d.disengaged.pixel(x, y), b = d.engaged.pixel(x, y);
                if (std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) > 24)
                    ++changed;
            }
        EXPECT_GT(changed, inside / 5) << changed << " of " << inside;
    }
    // The two sets look different from each other too.
    EXPECT_NE(Generated().drawstops[0].disengaged, Generated().drawstops[1].disengaged);
    EXPECT_NE(Generated().buttons[0].picture, Generated().buttons[1].picture);
}

TEST(Controls, ComposingShowsThePictureInsideTheMaskAndTheBackgroundOutside) {
    const DrawstopSet& d = Generated().drawstops[0];
    QImage window(100, 80, QImage::Format_RGB32);
    window.fill(qRgb(12, 200, 99));
    QImage composed = ComposeOver(window, QPoint(20, 10), d.engaged, d.mask);
    ASSERT_EQ(composed.size(), QSize(65, 65));
    for (int y = 0; y < 65; ++y)
        for (int x = 0; x < 65; ++x) {
            QRgb expected = d.mask.pixelIndex(x, y) == 1 ? d.engaged.pixel(x, y) : qRgb(12, 200, 99);
            ASSERT_EQ(composed.pixel(x, y), expected) << x << "," << y;
        }
    // The corner of a drawstop is background; its centre is the ivory face.
    EXPECT_EQ(composed.pixel(0, 0), qRgb(12, 200, 99));
    EXPECT_GT(qGray(composed.pixel(32, 32)), 200);
}

TEST(Artwork, FilesAreNamedOnceEachAndTheReadmeListsEveryTile) {
    std::vector<ArtworkFile> files = ArtworkFiles(Generated());
    ASSERT_EQ(files.size(), 46U);
    QSet<QString> names;
    for (const ArtworkFile& f : files) {
        names.insert(f.name);
        EXPECT_FALSE(f.image->isNull()) << f.name.toStdString();
    }
    EXPECT_EQ(names.size(), 46);
    EXPECT_EQ(files.front().name, "background01.png");
    EXPECT_EQ(files[29].name, "background30.png");
    EXPECT_TRUE(names.contains("drawstop2-mask.png"));
    EXPECT_TRUE(names.contains("button1-mask.png"));
    EXPECT_TRUE(names.contains("label-mask.png"));

    QString readme = ImagesReadme();
    EXPECT_TRUE(readme.contains("| 1 | background01.png | Oak, natural |"));
    EXPECT_TRUE(readme.contains("| 7 | background07.png | Walnut burr veneer |"));
    EXPECT_TRUE(readme.contains("| 30 | background30.png | Cherry, dark stain |"));
    EXPECT_TRUE(readme.contains("White (1) marks the pixels where the picture shows"));
}

TEST(Artwork, PreviewHasTheConsoleSize) {
    QImage preview = MakePreview(Generated());
    EXPECT_EQ(preview.size(), QSize(1016, 668));
    // The mock pedal has 32 keys from C to G, 2 x 84 + 58 = 226 pixels wide,
    // centred: its first key, held in the mock registration, starts at x 395
    // in the key strip that runs from y 626 (slot 0 at 586, under its
    // 40-pixel button strip), and is 11 pixels wide at the front.
    EXPECT_EQ(preview.pixel(395, 626), qRgb(255, 0, 0));
    EXPECT_EQ(preview.pixel(405, 650), qRgb(255, 0, 0));
    // Then the one-pixel gap, where the pedal shows the strip's background,
    // and the D, a light pedal key.
    EXPECT_NE(preview.pixel(406, 650), qRgb(255, 0, 0));
    EXPECT_NE(preview.pixel(406, 650), qRgb(235, 203, 24));
    EXPECT_EQ(preview.pixel(407, 650), qRgb(235, 203, 24));
}

}  // namespace
}  // namespace tessaline::artwork
