// The demo console laid out by the console's own layout from the written
// definition file: everything on the Medium window, nothing overlapping, and
// a file whose console would spill over is refused.

#include <gtest/gtest.h>

#include "ConsoleCheck.h"
#include "DemoInstrument.h"
#include "OrganFileWriter.h"

namespace tessaline::demo {
namespace {

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

bool Fits(const std::string& text, std::string& error) {
    DefinitionFile file;
    file.ParseText(text);
    return ConsoleFitsWindow(file, error);
}

TEST(DemoConsole, EveryPieceLiesOnTheMediumWindowWithoutOverlapping) {
    DefinitionFile file;
    file.ParseText(OrganDefinitionText(TheDemoOrgan(), false));
    std::vector<PlacedPiece> pieces;
    uint32_t width = 0, height = 0;
    std::string error;
    ASSERT_TRUE(PlaceConsole(file, kWindowFrameWidth, kWindowFrameHeight, pieces, width, height, error)) << error;
    EXPECT_EQ(width, 1016u - kWindowFrameWidth);
    EXPECT_EQ(height, 728u - kWindowFrameHeight);
    // 3 keyboards, 21 drawstops, 16 buttons, 3 labels, 1 enclosure panel.
    EXPECT_EQ(pieces.size(), 3u + 21u + 16u + 3u + 1u);
    for (size_t i = 0; i < pieces.size(); ++i) {
        const Rect& a = pieces[i].frame;
        EXPECT_LE(a.right, width) << pieces[i].section;
        EXPECT_LE(a.bottom, height) << pieces[i].section;
        for (size_t j = i + 1; j < pieces.size(); ++j) {
            const Rect& b = pieces[j].frame;
            bool overlap = a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
            EXPECT_FALSE(overlap) << pieces[i].section << " overlaps " << pieces[j].section;
        }
    }
    EXPECT_TRUE(ConsoleFitsWindow(file, error)) << error;
}

TEST(DemoConsole, ConsolesThatSpillOffTheWindowAreRefused) {
    const std::string text = OrganDefinitionText(TheDemoOrgan(), false);
    std::string error;
    // Four drawstop columns a jamb do not fit beside the keyboards.
    EXPECT_FALSE(Fits(Replace(text, "DispDrawstopCols=6", "DispDrawstopCols=8"), error));
    EXPECT_EQ(error, "Stop012 lies outside the console window.");
    EXPECT_FALSE(Fits(Replace(text, "DispScreenSizeHoriz=Medium", "DispScreenSizeHoriz=Small"), error));
    EXPECT_EQ(error, "Stop012 lies outside the console window.");
    // The Medium width with the Small height still holds everything.
    EXPECT_TRUE(Fits(Replace(text, "DispScreenSizeVert=Medium", "DispScreenSizeVert=Small"), error)) << error;
    EXPECT_FALSE(Fits(Replace(text, "[Stop012]\r\nDispDrawstopRow=1\r\n", "[Stop012]\r\n"), error));
    EXPECT_EQ(error, "The key Stop012/DispDrawstopRow is missing.");
}

TEST(DemoConsole, OptionalDisplayKeysAreWrittenWhenTheirSettingsNeedThem) {
    DemoOrgan organ = TheDemoOrgan();
    organ.display.extraPedalButtonRow = true;
    organ.display.extraPedalButtonRowOffset = true;
    organ.display.drawstopColsOffset = true;
    DefinitionFile file;
    file.ParseText(OrganDefinitionText(organ, false));
    ASSERT_NE(file.Find("Organ", "DispExtraPedalButtonRowOffsetRight"), nullptr);
    EXPECT_EQ(*file.Find("Organ", "DispExtraPedalButtonRowOffset"), "Y");
    EXPECT_EQ(*file.Find("Organ", "DispDrawstopOuterColOffsetUp"), "N");
    std::string error;
    EXPECT_TRUE(ConsoleFitsWindow(file, error)) << error;

    file.ParseText(OrganDefinitionText(TheDemoOrgan(), false));
    EXPECT_EQ(file.Find("Organ", "DispExtraPedalButtonRowOffset"), nullptr);
    EXPECT_EQ(file.Find("Organ", "DispDrawstopOuterColOffsetUp"), nullptr);
}

}  // namespace
}  // namespace tessaline::demo
