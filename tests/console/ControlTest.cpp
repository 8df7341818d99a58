#include "console/Control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "organ/DefinitionReader.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"

namespace tessaline {
namespace {

using test::OrganFileBuilder;

struct Edit {
    const char* key;
    const char* value;  // nullptr removes the key
};
struct Row {
    const char* section;  // Stop001 loads a drawstop, General001 a button
    std::vector<Edit> edits;
    std::string expected;  // "message | action", or "loaded"
};

const std::string kDrawstop = " | Loading a drawstop.";
const std::string kControl = " | Loading an organ control.";
const std::string kButton = " | Loading a button control.";

// A loaded minimal organ (4 drawstop columns and rows, 10 button columns, no
// extra rows) whose layout the controls are placed with: drawstop Stop001 at
// row 2, column 3, and button General001 at row 1, column 2.
class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Load(organFile)) << ::testing::PrintToString(rig.errors.Messages());
        test::SetDrawstopKeys(controls, "Stop001", "Diapason", 2, 3);
        test::SetButtonKeys(controls, "General001", "Gt 1", 1, 2);
        rig.errors.Clear();
    }

    template <typename C>
    bool Load(C& control, const char* section) {
        file.ParseText(controls.Text());
        control.Attach(rig.organ);
        return control.Load(file, section, 1);
    }
    bool LoadDrawstop(Drawstop& drawstop) { return Load(drawstop, "Stop"); }
    bool LoadButton(Button& button) { return Load(button, "General"); }
    // The one report of a failed load, with its action; "loaded" when it loads.
    template <typename C>
    std::string Result(const char* section) {
        C control;
        rig.errors.Clear();
        if (Load(control, section)) return "loaded";
        EXPECT_FALSE(control.loaded);
        auto errors = rig.errors.Errors();
        if (errors.size() != 1) return "reports: " + std::to_string(errors.size());
        return errors[0].message + " | " + errors[0].attemptedAction;
    }
    std::string DrawstopFailure() { return Result<Drawstop>("Stop"); }
    // Each row's edits on the controls of SetUp, loaded on their own.
    void Check(const std::vector<Row>& rows) {
        const OrganFileBuilder saved = controls;
        for (const Row& row : rows) {
            std::string trace = row.section;
            for (const Edit& e : row.edits) {
                trace += std::string(" ") + e.key + "=" + (e.value ? e.value : "(none)");
                if (e.value)
                    controls.Set(row.section, e.key, e.value);
                else
                    controls.Remove(row.section, e.key);
            }
            SCOPED_TRACE(trace);
            bool drawstop = std::string(row.section) == "Stop001";
            EXPECT_EQ(drawstop ? Result<Drawstop>("Stop") : Result<Button>("General"), row.expected);
            controls = saved;
        }
    }

    OrganFileBuilder organFile = OrganFileBuilder::MinimalOrgan();
    test::OrganRig rig;
    OrganFileBuilder controls;
    DefinitionFile file;
};

TEST_F(ControlTest, EveryKeyIsCheckedInOrderWithItsOwnMessage) {
    const std::string row = "The display row number for the drawstop Stop001 is invalid (1-4)." + kDrawstop;
    const std::string column = "The drawstop display column number for the drawstop Stop001 is invalid." + kDrawstop;
    const std::string midiKey = "The StopControlMIDIKeyNumber setting for the drawstop Stop001 is invalid." + kDrawstop;
    const std::string shortcut = "An invalid shortcut key number is specified for Stop001." + kControl;
    const std::string buttonRow = "The display row number for the button General001 is invalid (0-5, 99)." + kButton;
    const std::string program = "An invalid MIDIProgramChangeNumber setting for the button General001 is specified in the organ definition file." + kButton;
    std::vector<Row> rows = {
        {"Stop001", {{"DispDrawstopRow", "0"}}, row},
        {"Stop001", {{"DispDrawstopRow", "100"}}, row},
        {"Stop001", {{"DispDrawstopRow", nullptr}}, "The drawstop display row number for the drawstop Stop001 could not be found in the organ definition file." + kDrawstop},
        {"Stop001", {{"DispDrawstopRow", "4"}, {"DispDrawstopCol", "5"}}, column},
        {"Stop001", {{"DispDrawstopRow", "4"}, {"DispDrawstopCol", "4"}}, "loaded"},
        // The drawstop's own keys come before the name and in order.
        {"Stop001", {{"Name", nullptr}, {"DefaultToEngaged", "maybe"}, {"DisplayInInvertedState", "X"}}, "The DefaultToEngaged setting for the drawstop Stop001 is invalid in the organ definition file (Y/N)." + kDrawstop},
        {"Stop001", {{"Name", nullptr}, {"DisplayInInvertedState", "X"}, {"StopControlMIDIKeyNumber", "128"}}, "The DisplayInInvertedState setting for the drawstop Stop001 is invalid in the organ definition file (Y/N)." + kDrawstop},
        {"Stop001", {{"Name", nullptr}, {"StopControlMIDIKeyNumber", "128"}}, midiKey},
        {"Stop001", {{"Name", nullptr}, {"DispImageNum", "3"}}, "An invalid DispImageNum setting for the drawstop Stop001 is specified in the organ definition file (1-2)." + kDrawstop},
        {"Stop001", {{"Name", nullptr}, {"DispImageNum", "2"}, {"StopControlMIDIKeyNumber", "127"}}, "No name is specified in the organ definition file for Stop001." + kControl},
        // The keys every control shares.
        {"Stop001", {{"Displayed", nullptr}}, "No display setting is specified in the organ definition file for Stop001." + kControl},
        {"Stop001", {{"Displayed", "Q"}}, "An invalid display setting is specified in the organ definition file for Stop001 (Y/N)." + kControl},
        {"Stop001", {{"DispLabelColour", "Mauve"}}, "An invalid label colour is specified in the organ definition file for Stop001." + kControl},
        {"Stop001", {{"DispLabelFontSize", "Normal Large"}}, "An invalid label font size is specified in the organ definition file for Stop001." + kControl},
        {"Stop001", {{"ShortcutKey", "256"}}, shortcut},
        // Buttons.
        {"General001", {{"DispButtonRow", "6"}}, buttonRow},
        {"General001", {{"DispButtonRow", "99"}}, buttonRow},  // only with the pedal button row
        {"General001", {{"DispButtonRow", nullptr}}, "The display row number for the button General001 could not be found in the organ definition file." + kButton},
        {"General001", {{"DispButtonCol", "11"}}, "The display column number for the button General001 is invalid." + kButton},
        {"General001", {{"MIDIProgramChangeNumber", "129"}}, program},
        {"General001", {{"DispImageNum", "0"}}, "An invalid DispImageNum setting for the button General001 is specified in the organ definition file (1-2)." + kButton},
    };
    // Shift, control, 25, escape, 28 and F1 to F8 are the console's own.
    for (const char* key : {"16", "17", "25", "27", "28", "112", "119"})
        rows.push_back({"Stop001", {{"ShortcutKey", key}}, "An invalid shortcut key number is specified for Stop001 - key " + std::string(key) + " is reserved." + kControl});
    for (const char* key : {"0", "18", "26", "111", "120", "255"}) rows.push_back({"Stop001", {{"ShortcutKey", key}}, "loaded"});
    Check(rows);

    controls.Set("Stop001", "DispImageNum", "2");
    controls.Set("Stop001", "DispLabelFontSize", "lARGE");
    Drawstop drawstop;
    ASSERT_TRUE(LoadDrawstop(drawstop));
    EXPECT_EQ(drawstop.imageIndex, 1u);
    EXPECT_EQ(drawstop.labelFontSize, LabelFontSize::Large);
    controls.Set("General001", "MIDIProgramChangeNumber", "128");
    controls.Set("General001", "DispButtonCol", "10");
    controls.Set("General001", "DispButtonRow", "0");
    Button button;
    ASSERT_TRUE(LoadButton(button));
    // The program counts from 0, the column from 0, the row as in the file.
    EXPECT_EQ((std::vector<int64_t>{button.midiProgramChangeNumber, button.column, button.row}), (std::vector<int64_t>{127, 9, 0}));
}

TEST_F(ControlTest, ExtraRowsWidenTheRowRangesAndTheirMessages) {
    organFile.Set("Organ", "DispExtraDrawstopRows", "2");
    organFile.Set("Organ", "DispExtraDrawstopCols", "6");
    organFile.Set("Organ", "DispExtraPedalButtonRow", "Y");
    organFile.Set("Organ", "DispExtraPedalButtonRowOffset", "N");
    organFile.Set("Organ", "DispExtraPedalButtonRowOffsetRight", "N");
    organFile.Set("Organ", "DispExtraButtonRows", "2");
    ASSERT_TRUE(rig.Load(organFile)) << ::testing::PrintToString(rig.errors.Messages());
    const std::string column = "The drawstop display column number for the drawstop Stop001 is invalid." + kDrawstop;
    Check({
        {"Stop001", {{"DispDrawstopRow", "102"}}, "The display row number for the drawstop Stop001 is invalid (1-4, 100-101)." + kDrawstop},
        {"Stop001", {{"DispDrawstopRow", "101"}, {"DispDrawstopCol", "7"}}, column},
        {"General001", {{"DispButtonRow", "99"}}, "loaded"},
        {"General001", {{"DispButtonRow", "101"}}, "loaded"},
        {"General001", {{"DispButtonRow", "102"}}, "The display row number for the button General001 is invalid (0-5, 99, 100-101)." + kButton},
    });
    controls.Set("Stop001", "DispDrawstopRow", "101");
    controls.Set("Stop001", "DispDrawstopCol", "6");
    Drawstop drawstop;
    ASSERT_TRUE(LoadDrawstop(drawstop));
    EXPECT_EQ(drawstop.row, 101u);  // extra rows are kept as in the file
    EXPECT_EQ(drawstop.column, 5u);
}

// Found by fuzzing: more extra columns than the console is wide make the
// layout wrap to the end of the coordinate range; the control must still
// get ordered rectangles (adding its width overflowed).
TEST_F(ControlTest, AControlPlacedBeyondTheCoordinateRangeKeepsOrderedRectangles) {
    organFile.Set("Organ", "DispExtraDrawstopRows", "1");
    controls.Set("Stop001", "DispDrawstopRow", "100");
    for (int columns : {30, 35, 40}) {
        organFile.Set("Organ", "DispExtraDrawstopCols", std::to_string(columns));
        ASSERT_TRUE(rig.Load(organFile)) << ::testing::PrintToString(rig.errors.Messages());
        for (int column = 1; column <= columns; ++column) {
            SCOPED_TRACE(std::to_string(columns) + " columns, column " + std::to_string(column));
            controls.Set("Stop001", "DispDrawstopCol", std::to_string(column));
            Drawstop drawstop;
            ASSERT_TRUE(LoadDrawstop(drawstop));
            EXPECT_LT(drawstop.frame.left, drawstop.frame.right);
            EXPECT_LT(drawstop.pictureRect.left, drawstop.pictureRect.right);
        }
    }
}

TEST_F(ControlTest, ShortcutLabelsComeFromTheKeyFileAndNoControlLoadsWithoutIt) {
    controls.Set("Stop001", "ShortcutKey", "65");
    Drawstop drawstop;
    ASSERT_TRUE(LoadDrawstop(drawstop));
    EXPECT_EQ(drawstop.shortcutKeyLabel, "A");

    // A private key file: four characters are accepted, five are not, and a
    // control without a shortcut reads Key000.
    rig.organ.SetDataDirectory(rig.dir.Path().string());
    std::string keyFile = rig.dir.Write("ShortcutKeys.ini", "[ShortcutKeyLabels]\nKey000=none\nKey066=Bbbb\nKey067=Ccccc\n");
    controls.Remove("Stop001", "ShortcutKey");
    ASSERT_TRUE(LoadDrawstop(drawstop));
    EXPECT_EQ(drawstop.shortcutKeyLabel, "none");
    controls.Set("Stop001", "ShortcutKey", "66");
    ASSERT_TRUE(LoadDrawstop(drawstop));
    EXPECT_EQ(drawstop.shortcutKeyLabel, "Bbbb");
    controls.Set("Stop001", "ShortcutKey", "67");
    EXPECT_EQ(DrawstopFailure(), "The shortcut key label Stop001 is too long in the key definition file " + keyFile + "." + kControl);

    std::string missing = rig.dir.File("nowhere");
    rig.organ.SetDataDirectory(missing);
    const std::string expected = "The key definition file " + missing + "/ShortcutKeys.ini could not be found in the Tessaline application directory.\nPlease reinstall Tessaline or ensure that the file is replaced. | Loading an control.";
    EXPECT_EQ(Result<Button>("General"), expected);
}

TEST_F(ControlTest, RectanglesFollowTheLabelSideAndTheMeasuredName) {
    const ConsoleLayout& layout = rig.organ.Layout();
    int32_t x = static_cast<int32_t>(layout.DrawstopX(1, 2));
    int32_t y = static_cast<int32_t>(layout.DrawstopY(1, 2));
    Drawstop drawstop;
    ASSERT_TRUE(LoadDrawstop(drawstop));
    EXPECT_EQ(drawstop.frame, (ControlRect{x, y, x + 74, y + 65}));
    EXPECT_EQ(drawstop.pictureRect, (ControlRect{x, y, x + 65, y + 65}));
    // "Diapason" in the 12-pixel font: one line 12 high in the 53 wide name area.
    EXPECT_EQ(drawstop.nameRect, (ControlRect{x + 6, y + 26, x + 59, y + 65}));

    controls.Set("Stop001", "DispKeyLabelOnLeft", "Y");
    controls.Set("Stop001", "Name", "Open Diapason 8");  // 90 pixels: two lines
    ASSERT_TRUE(LoadDrawstop(drawstop));
    EXPECT_EQ(drawstop.pictureRect, (ControlRect{x + 9, y, x + 74, y + 65}));
    EXPECT_EQ(drawstop.nameRect, (ControlRect{x + 15, y + 20, x + 68, y + 65}));

    int32_t bx = static_cast<int32_t>(layout.ButtonX(1, 1));
    int32_t by = static_cast<int32_t>(layout.ButtonY(1));
    controls.Set("General001", "DispLabelFontSize", "Small");
    controls.Set("General001", "Name", "ABCDEFGHIJKLMNOPQRST");  // four lines, 40 high
    Button button;
    ASSERT_TRUE(LoadButton(button));
    EXPECT_EQ(button.frame, (ControlRect{bx, by, bx + 44, by + 35}));
    EXPECT_EQ(button.pictureRect, (ControlRect{bx, by, bx + 31, by + 30}));
    // Taller than the picture: the name starts above it.
    EXPECT_EQ(button.nameRect, (ControlRect{bx + 3, by - 5, bx + 28, by + 30}));
}

TEST_F(ControlTest, EngagingRedrawsOnlyOnAChangeOfALoadedDrawstop) {
    Drawstop drawstop;
    drawstop.Attach(rig.organ);
    int before = rig.view.controlRedraws;
    drawstop.Engage();
    EXPECT_FALSE(drawstop.Engaged());
    EXPECT_EQ(rig.view.controlRedraws, before);

    controls.Set("Stop001", "DefaultToEngaged", "Y");
    ASSERT_TRUE(LoadDrawstop(drawstop));
    EXPECT_FALSE(drawstop.Engaged());
    drawstop.Engage();
    drawstop.Engage();
    EXPECT_TRUE(drawstop.Engaged());
    EXPECT_EQ(rig.view.controlRedraws, before + 1);
    drawstop.Disengage();
    EXPECT_EQ(rig.view.controlRedraws, before + 2);
    drawstop.ResetToDefault();
    EXPECT_TRUE(drawstop.Engaged());
    EXPECT_EQ(rig.view.controlRedraws, before + 3);
    EXPECT_EQ(rig.view.lastControlRedraw, &drawstop);
}

}  // namespace
}  // namespace tessaline
