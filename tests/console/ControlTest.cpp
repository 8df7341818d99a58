#include "console/Control.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "console/Label.h"
#include "organ/DefinitionReader.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"

namespace tessaline {
namespace {

using test::OrganFileBuilder;

struct Row {
    const char* section;  // Stop001 loads a drawstop, General001 a button, Label001 a label
    std::vector<std::pair<const char*, const char*>> edits;  // a null value removes the key
    std::string expected;  // "message | action", or "loaded"
};

const std::string kDrawstop = " | Loading a drawstop.";
const std::string kControl = " | Loading an organ control.";
const std::string kButton = " | Loading a button control.";
const std::string kLabel = " | Loading an organ label.";

// A loaded minimal organ (4 drawstop columns and rows, 10 button columns, no
// extra rows) whose layout the controls are placed with: drawstop Stop001 at
// row 2, column 3, button General001 at row 1, column 2; and the organ with a
// label at drawstop column 2.
class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Load(organFile)) << ::testing::PrintToString(rig.errors.Messages());
        test::SetDrawstopKeys(controls, "Stop001", "Diapason", 2, 3);
        test::SetButtonKeys(controls, "General001", "Gt 1", 1, 2);
        labelOrgan.Set("Organ", "NumberOfLabels", "1");
        for (auto [key, value] : {std::pair{"Name", "Great"}, {"DispImageNum", "1"},
                                  {"FreeXPlacement", "N"}, {"FreeYPlacement", "N"},
                                  {"DispDrawstopCol", "2"}, {"DispSpanDrawstopColToRight", "Y"},
                                  {"DispAtTopOfDrawstopCol", "Y"}, {"DispLabelColour", "Black"},
                                  {"DispLabelFontSize", "Large"}})
            labelOrgan.Set("Label001", key, value);
    }

    template <typename C>
    bool Load(C& control, const char* section) {
        file.ParseText(controls.Text());
        control.Attach(rig.organ);
        return control.Load(file, section, 1);
    }
    // The one report of a failed load with its action; "loaded" when it loads.
    template <typename C>
    std::string Result(const char* section) {
        C control;
        rig.errors.Clear();
        if (Load(control, section)) return "loaded";
        EXPECT_EQ(rig.errors.Count(), 1u);
        return rig.errors.Errors()[0].message + " | " + rig.errors.Errors()[0].attemptedAction;
    }
    // A label loads with the whole organ; its report is followed by the organ's.
    std::string LabelResult() {
        test::OrganRig labelRig;
        if (labelRig.Load(labelOrgan)) return "loaded";
        auto errors = labelRig.errors.Errors();
        EXPECT_EQ(errors.back().message, "Label 1 failed to load.");
        return errors[0].message + " | " + errors[0].attemptedAction;
    }
    // Each row's edits on the controls of SetUp, loaded on their own.
    void Check(const std::vector<Row>& rows) {
        for (const Row& row : rows) {
            const std::string section = row.section;
            OrganFileBuilder& target = section == "Label001" ? labelOrgan : controls;
            const OrganFileBuilder saved = target;
            std::string trace = row.section;
            for (const auto& [key, value] : row.edits) {
                trace += std::string(" ") + key + "=" + (value ? value : "(none)");
                if (value) target.Set(row.section, key, value);
                else target.Remove(row.section, key);
            }
            SCOPED_TRACE(trace);
            EXPECT_EQ(section == "Stop001"      ? Result<Drawstop>("Stop")
                      : section == "General001" ? Result<Button>("General")
                                                : LabelResult(),
                      row.expected);
            target = saved;
        }
    }

    OrganFileBuilder organFile = OrganFileBuilder::MinimalOrgan();
    test::OrganRig rig;
    OrganFileBuilder controls;
    OrganFileBuilder labelOrgan = organFile;
    DefinitionFile file;
};

TEST_F(ControlTest, EachBadKeyIsReportedWithItsOwnMessage) {
    const std::string width = std::to_string(ScreenSizeWidth(ScreenSize::Small));
    const std::string lastX = std::to_string(ScreenSizeWidth(ScreenSize::Small) - 1);
    std::vector<Row> rows = {
        {"Stop001", {{"DispDrawstopRow", "0"}}, "The display row number for the drawstop Stop001 is invalid (1-4)." + kDrawstop},
        {"Stop001", {{"DispDrawstopRow", nullptr}}, "The drawstop display row number for the drawstop Stop001 could not be found in the organ definition file." + kDrawstop},
        {"Stop001", {{"DispDrawstopRow", "4"}, {"DispDrawstopCol", "5"}}, "The drawstop display column number for the drawstop Stop001 is invalid." + kDrawstop},
        {"Stop001", {{"DispDrawstopRow", "4"}, {"DispDrawstopCol", "4"}}, "loaded"},
        {"Stop001", {{"DefaultToEngaged", "maybe"}}, "The DefaultToEngaged setting for the drawstop Stop001 is invalid in the organ definition file (Y/N)." + kDrawstop},
        {"Stop001", {{"StopControlMIDIKeyNumber", "128"}}, "The StopControlMIDIKeyNumber setting for the drawstop Stop001 is invalid." + kDrawstop},
        {"Stop001", {{"DispImageNum", "3"}}, "An invalid DispImageNum setting for the drawstop Stop001 is specified in the organ definition file (1-2)." + kDrawstop},
        // The keys every control shares, read after the drawstop's own.
        {"Stop001", {{"Name", nullptr}, {"StopControlMIDIKeyNumber", "127"}}, "No name is specified in the organ definition file for Stop001." + kControl},
        {"Stop001", {{"Displayed", "Q"}}, "An invalid display setting is specified in the organ definition file for Stop001 (Y/N)." + kControl},
        {"Stop001", {{"DispLabelColour", "Mauve"}}, "An invalid label colour is specified in the organ definition file for Stop001." + kControl},
        {"Stop001", {{"ShortcutKey", "256"}}, "An invalid shortcut key number is specified for Stop001." + kControl},
        {"General001", {{"DispButtonRow", "99"}}, "The display row number for the button General001 is invalid (0-5, 99)." + kButton},  // only with the pedal button row
        {"General001", {{"DispButtonCol", "11"}}, "The display column number for the button General001 is invalid." + kButton},
        {"General001", {{"MIDIProgramChangeNumber", "129"}}, "An invalid MIDIProgramChangeNumber setting for the button General001 is specified in the organ definition file." + kButton},
        {"Label001", {{"Name", nullptr}}, "No name is specified in the organ definition file for Label001 or the section is missing." + kLabel},
        {"Label001", {{"DispDrawstopCol", "5"}}, "An invalid display drawstop column number is specified in the organ definition file for Label001." + kLabel},
        // A free placement must lie inside the window.
        {"Label001", {{"FreeXPlacement", "Y"}, {"DispXpos", lastX.c_str()}}, "loaded"},
        {"Label001", {{"FreeXPlacement", "Y"}, {"DispXpos", width.c_str()}}, "An invalid display x-position is specified in the organ definition file for Label001." + kLabel},
        {"Label001", {{"FreeXPlacement", "Y"}}, "The display x-position is not specified in the organ definition file for Label001." + kLabel},
    };
    // Shift, control, 25, escape, 28 and F1 to F8 are the console's own.
    for (const char* key : {"16", "17", "25", "27", "28", "112", "119"})
        rows.push_back({"Stop001", {{"ShortcutKey", key}}, "An invalid shortcut key number is specified for Stop001 - key " + std::string(key) + " is reserved." + kControl});
    for (const char* key : {"0", "18", "26", "111", "120", "255"}) rows.push_back({"Stop001", {{"ShortcutKey", key}}, "loaded"});
    Check(rows);

    // Numbers in the file count from 1, in the program from 0; a button's
    // row stays as in the file.
    controls.Set("General001", "MIDIProgramChangeNumber", "128");
    controls.Set("General001", "DispButtonCol", "10");
    controls.Set("General001", "DispButtonRow", "0");
    Button button;
    ASSERT_TRUE(Load(button, "General"));
    EXPECT_EQ((std::vector<int64_t>{button.midiProgramChangeNumber, button.column, button.row}),
              (std::vector<int64_t>{127, 9, 0}));
}

// Found by fuzzing: more extra columns than the console is wide make the
// layout wrap to the end of the coordinate range; the control must still
// get ordered rectangles (adding its width overflowed). Extra rows widen the
// row ranges and their messages.
TEST_F(ControlTest, AControlPlacedBeyondTheCoordinateRangeKeepsOrderedRectangles) {
    for (auto [key, value] : {std::pair{"DispExtraDrawstopRows", "2"}, {"DispExtraButtonRows", "2"},
                              {"DispExtraPedalButtonRow", "Y"}, {"DispExtraPedalButtonRowOffset", "N"},
                              {"DispExtraPedalButtonRowOffsetRight", "N"}})
        organFile.Set("Organ", key, value);
    controls.Set("Stop001", "DispDrawstopRow", "100");
    for (int columns : {30, 35, 40}) {
        organFile.Set("Organ", "DispExtraDrawstopCols", std::to_string(columns));
        ASSERT_TRUE(rig.Load(organFile)) << ::testing::PrintToString(rig.errors.Messages());
        for (int column = 1; column <= columns; ++column) {
            SCOPED_TRACE(std::to_string(columns) + " columns, column " + std::to_string(column));
            controls.Set("Stop001", "DispDrawstopCol", std::to_string(column));
            Drawstop drawstop;
            ASSERT_TRUE(Load(drawstop, "Stop"));
            EXPECT_LT(drawstop.frame.left, drawstop.frame.right);
            EXPECT_LT(drawstop.pictureRect.left, drawstop.pictureRect.right);
        }
    }
    Check({
        {"Stop001", {{"DispDrawstopRow", "102"}}, "The display row number for the drawstop Stop001 is invalid (1-4, 100-101)." + kDrawstop},
        {"General001", {{"DispButtonRow", "99"}}, "loaded"},
        {"General001", {{"DispButtonRow", "102"}}, "The display row number for the button General001 is invalid (0-5, 99, 100-101)." + kButton},
    });
}

TEST_F(ControlTest, ShortcutLabelsComeFromTheKeyFileAndNoControlLoadsWithoutIt) {
    // A private key file: four characters are accepted, five are not.
    rig.organ.SetDataDirectory(rig.dir.Path().string());
    std::string keyFile = rig.dir.Write("ShortcutKeys.ini", "[ShortcutKeyLabels]\nKey066=Bbbb\nKey067=Ccccc\n");
    Drawstop drawstop;
    controls.Set("Stop001", "ShortcutKey", "66");
    ASSERT_TRUE(Load(drawstop, "Stop"));
    EXPECT_EQ(drawstop.shortcutKeyLabel, "Bbbb");
    controls.Set("Stop001", "ShortcutKey", "67");
    EXPECT_EQ(Result<Drawstop>("Stop"), "The shortcut key label Stop001 is too long in the key definition file " + keyFile + "." + kControl);

    std::string missing = rig.dir.File("nowhere");
    rig.organ.SetDataDirectory(missing);
    EXPECT_EQ(Result<Button>("General"), "The key definition file " + missing + "/ShortcutKeys.ini could not be found in the Tessaline application directory.\nPlease reinstall Tessaline or ensure that the file is replaced. | Loading an control.");
}

TEST_F(ControlTest, RectanglesFollowTheLabelSideAndTheMeasuredName) {
    const ConsoleLayout& layout = rig.organ.Layout();
    int32_t x = static_cast<int32_t>(layout.DrawstopX(1, 2));
    int32_t y = static_cast<int32_t>(layout.DrawstopY(1, 2));
    Drawstop drawstop;
    controls.Set("Stop001", "DispKeyLabelOnLeft", "Y");
    controls.Set("Stop001", "Name", "Open Diapason 8");  // 90 pixels: two lines
    ASSERT_TRUE(Load(drawstop, "Stop"));
    EXPECT_EQ(drawstop.frame, (ControlRect{x, y, x + 74, y + 65}));
    EXPECT_EQ(drawstop.pictureRect, (ControlRect{x + 9, y, x + 74, y + 65}));
    EXPECT_EQ(drawstop.nameRect, (ControlRect{x + 15, y + 20, x + 68, y + 65}));

    int32_t bx = static_cast<int32_t>(layout.ButtonX(1, 1));
    int32_t by = static_cast<int32_t>(layout.ButtonY(1));
    controls.Set("General001", "DispLabelFontSize", "Small");
    controls.Set("General001", "Name", "ABCDEFGHIJKLMNOPQRST");  // four lines, 40 high
    Button button;
    ASSERT_TRUE(Load(button, "General"));
    EXPECT_EQ(button.frame, (ControlRect{bx, by, bx + 44, by + 35}));
    // Taller than the picture: the name starts above it.
    EXPECT_EQ(button.nameRect, (ControlRect{bx + 3, by - 5, bx + 28, by + 30}));
}

}  // namespace
}  // namespace tessaline
