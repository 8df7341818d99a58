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

// A loaded minimal organ (4 drawstop columns and rows, 10 button columns, no
// extra rows) whose layout the controls are placed with.
class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Load(organFile)) << ::testing::PrintToString(rig.errors.Messages());
        test::SetDrawstopKeys(controls, "Stop001", "Diapason", 2, 3);
        test::SetButtonKeys(controls, "General001", "Gt 1", 1, 2);
        rig.errors.Clear();
    }

    bool LoadDrawstop(Drawstop& drawstop) {
        file.ParseText(controls.Text());
        drawstop.Attach(rig.organ);
        return drawstop.Load(file, "Stop", 1);
    }
    bool LoadButton(Button& button) {
        file.ParseText(controls.Text());
        button.Attach(rig.organ);
        return button.Load(file, "General", 1);
    }
    // The one report of a failed drawstop load, with its action.
    std::string DrawstopFailure() {
        Drawstop drawstop;
        rig.errors.Clear();
        if (LoadDrawstop(drawstop)) return "loaded";
        EXPECT_FALSE(drawstop.loaded);
        auto errors = rig.errors.Errors();
        if (errors.size() != 1) return "reports: " + std::to_string(errors.size());
        return errors[0].message + " | " + errors[0].attemptedAction;
    }
    std::string ButtonFailure() {
        Button button;
        rig.errors.Clear();
        if (LoadButton(button)) return "loaded";
        auto errors = rig.errors.Errors();
        if (errors.size() != 1) return "reports: " + std::to_string(errors.size());
        return errors[0].message + " | " + errors[0].attemptedAction;
    }

    OrganFileBuilder organFile = OrganFileBuilder::MinimalOrgan();
    test::OrganRig rig;
    OrganFileBuilder controls;
    DefinitionFile file;
};

TEST_F(ControlTest, DrawstopRowsAndColumnsAreCheckedWithTheGridsOwnBounds) {
    const std::string shortForm = "The display row number for the drawstop Stop001 is invalid (1-4). | Loading a drawstop.";
    for (const char* row : {"0", "5", "99", "100", "-1"}) {
        controls.Set("Stop001", "DispDrawstopRow", row);
        EXPECT_EQ(DrawstopFailure(), shortForm) << row;
    }
    controls.Remove("Stop001", "DispDrawstopRow");
    EXPECT_EQ(DrawstopFailure(),
              "The drawstop display row number for the drawstop Stop001 could not be found in the "
              "organ definition file. | Loading a drawstop.");
    controls.Set("Stop001", "DispDrawstopRow", "4");
    for (const char* column : {"0", "5"}) {
        controls.Set("Stop001", "DispDrawstopCol", column);
        EXPECT_EQ(DrawstopFailure(),
                  "The drawstop display column number for the drawstop Stop001 is invalid. | "
                  "Loading a drawstop.")
            << column;
    }
    controls.Set("Stop001", "DispDrawstopCol", "4");
    EXPECT_EQ(DrawstopFailure(), "loaded");
}

TEST_F(ControlTest, ExtraDrawstopRowsTakeTheirOwnColumnCountAndTheLongMessage) {
    organFile.Set("Organ", "DispExtraDrawstopRows", "2");
    organFile.Set("Organ", "DispExtraDrawstopCols", "6");
    ASSERT_TRUE(rig.Load(organFile));
    controls.Set("Stop001", "DispDrawstopRow", "102");
    EXPECT_EQ(DrawstopFailure(),
              "The display row number for the drawstop Stop001 is invalid (1-4, 100-101). | "
              "Loading a drawstop.");
    controls.Set("Stop001", "DispDrawstopRow", "101");
    controls.Set("Stop001", "DispDrawstopCol", "6");
    Drawstop drawstop;
    ASSERT_TRUE(LoadDrawstop(drawstop));
    EXPECT_EQ(drawstop.row, 101u);  // extra rows are kept as in the file
    EXPECT_EQ(drawstop.column, 5u);
    controls.Set("Stop001", "DispDrawstopCol", "7");
    EXPECT_EQ(DrawstopFailure(),
              "The drawstop display column number for the drawstop Stop001 is invalid. | "
              "Loading a drawstop.");
    controls.Set("Stop001", "DispDrawstopCol", "0");
    EXPECT_EQ(DrawstopFailure(),
              "The drawstop display column number for the drawstop Stop001 is invalid. | "
              "Loading a drawstop.");
}

TEST_F(ControlTest, DrawstopKeysAreReadBeforeTheCommonKeysAndInOrder) {
    controls.Remove("Stop001", "Name");
    controls.Remove("Stop001", "DefaultToEngaged");
    controls.Set("Stop001", "DisplayInInvertedState", "X");
    EXPECT_EQ(DrawstopFailure(),
              "The DefaultToEngaged setting for the drawstop Stop001 could not be found in the "
              "organ definition file. | Loading a drawstop.");
    controls.Set("Stop001", "DefaultToEngaged", "maybe");
    EXPECT_EQ(DrawstopFailure(),
              "The DefaultToEngaged setting for the drawstop Stop001 is invalid in the organ "
              "definition file (Y/N). | Loading a drawstop.");
    controls.Set("Stop001", "DefaultToEngaged", "Y");
    EXPECT_EQ(DrawstopFailure(),
              "The DisplayInInvertedState setting for the drawstop Stop001 is invalid in the "
              "organ definition file (Y/N). | Loading a drawstop.");
    controls.Set("Stop001", "DisplayInInvertedState", "N");
    for (const char* key : {"128", "-1"}) {
        controls.Set("Stop001", "StopControlMIDIKeyNumber", key);
        EXPECT_EQ(DrawstopFailure(),
                  "The StopControlMIDIKeyNumber setting for the drawstop Stop001 is invalid. | "
                  "Loading a drawstop.");
    }
    controls.Set("Stop001", "StopControlMIDIKeyNumber", "127");
    controls.Set("Stop001", "DispImageNum", "3");
    EXPECT_EQ(DrawstopFailure(),
              "An invalid DispImageNum setting for the drawstop Stop001 is specified in the organ "
              "definition file (1-2). | Loading a drawstop.");
    controls.Set("Stop001", "DispImageNum", "2");
    EXPECT_EQ(DrawstopFailure(),
              "No name is specified in the organ definition file for Stop001. | Loading an organ "
              "control.");
    controls.Set("Stop001", "Name", "Diapason");
    Drawstop drawstop;
    ASSERT_TRUE(LoadDrawstop(drawstop));
    EXPECT_EQ(drawstop.stopControlMidiKeyNumber, 127);
    EXPECT_EQ(drawstop.imageIndex, 1u);
    EXPECT_TRUE(drawstop.defaultToEngaged);
    EXPECT_FALSE(drawstop.Engaged());
}

TEST_F(ControlTest, CommonKeysHaveTheirOwnMessages) {
    struct Case {
        const char* key;
        const char* value;  // nullptr: removed
        const char* message;
    } cases[] = {
        {"Displayed", nullptr, "No display setting is specified in the organ definition file for Stop001."},
        {"Displayed", "Q", "An invalid display setting is specified in the organ definition file for Stop001 (Y/N)."},
        {"DispKeyLabelOnLeft", nullptr, "No DispKeyLabelOnLeft setting is specified in the organ definition file for Stop001."},
        {"DispKeyLabelOnLeft", "2", "An invalid DispKeyLabelOnLeft setting is specified in the organ definition file for Stop001 (Y/N)."},
        {"DispLabelColour", nullptr, "No label colour is specified in the organ definition file for Stop001."},
        {"DispLabelColour", "Mauve", "An invalid label colour is specified in the organ definition file for Stop001."},
        {"DispLabelFontSize", nullptr, "No label font size is specified in the organ definition file for Stop001."},
        {"DispLabelFontSize", "Huge", "An invalid label font size is specified in the organ definition file for Stop001."},
        {"DispLabelFontSize", "Normal Large", "An invalid label font size is specified in the organ definition file for Stop001."},
    };
    for (const Case& c : cases) {
        OrganFileBuilder saved = controls;
        if (c.value == nullptr)
            controls.Remove("Stop001", c.key);
        else
            controls.Set("Stop001", c.key, c.value);
        EXPECT_EQ(DrawstopFailure(), std::string(c.message) + " | Loading an organ control.")
            << c.key;
        controls = saved;
    }
    controls.Set("Stop001", "DispLabelFontSize", "lARGE");
    Drawstop drawstop;
    ASSERT_TRUE(LoadDrawstop(drawstop));
    EXPECT_EQ(drawstop.labelFontSize, LabelFontSize::Large);
}

TEST_F(ControlTest, ShortcutKeysOutOfRangeOrReservedAreRefused) {
    for (const char* key : {"256", "-1", "70000"}) {
        controls.Set("Stop001", "ShortcutKey", key);
        EXPECT_EQ(DrawstopFailure(),
                  "An invalid shortcut key number is specified for Stop001. | Loading an organ control.")
            << key;
    }
    std::vector<int> reserved = {16, 17, 25, 27, 28};
    for (int f = 112; f <= 119; ++f) reserved.push_back(f);
    for (int key : reserved) {
        controls.Set("Stop001", "ShortcutKey", std::to_string(key));
        EXPECT_EQ(DrawstopFailure(),
                  "An invalid shortcut key number is specified for Stop001 - key " +
                      std::to_string(key) + " is reserved. | Loading an organ control.");
    }
    for (int key : {0, 18, 26, 111, 120, 255}) {
        controls.Set("Stop001", "ShortcutKey", std::to_string(key));
        EXPECT_EQ(DrawstopFailure(), "loaded") << key;
    }
}

TEST_F(ControlTest, ShortcutLabelsComeFromTheKeyFile) {
    controls.Set("Stop001", "ShortcutKey", "65");
    Drawstop drawstop;
    ASSERT_TRUE(LoadDrawstop(drawstop));
    EXPECT_EQ(drawstop.shortcutKey, 65u);
    EXPECT_EQ(drawstop.shortcutKeyLabel, "A");
    EXPECT_TRUE(drawstop.MatchesKey(65));
    EXPECT_FALSE(drawstop.MatchesKey(66));

    // A private key file: four characters are accepted, five are not, and a
    // control without a shortcut reads Key000.
    rig.organ.SetDataDirectory(rig.dir.Path().string());
    std::string keyFile = rig.dir.Write("ShortcutKeys.ini",
                                        "[ShortcutKeyLabels]\nKey000=none\nKey066=Bbbb\nKey067=Ccccc\n");
    controls.Remove("Stop001", "ShortcutKey");
    ASSERT_TRUE(LoadDrawstop(drawstop));
    EXPECT_EQ(drawstop.shortcutKeyLabel, "none");
    EXPECT_EQ(drawstop.shortcutKey, 0u);
    controls.Set("Stop001", "ShortcutKey", "66");
    ASSERT_TRUE(LoadDrawstop(drawstop));
    EXPECT_EQ(drawstop.shortcutKeyLabel, "Bbbb");
    controls.Set("Stop001", "ShortcutKey", "67");
    EXPECT_EQ(DrawstopFailure(), "The shortcut key label Stop001 is too long in the key definition file " +
                                     keyFile + ". | Loading an organ control.");
}

TEST_F(ControlTest, NoControlLoadsWithoutTheKeyFile) {
    std::string missing = rig.dir.File("nowhere");
    rig.organ.SetDataDirectory(missing);
    const std::string expected =
        "The key definition file " + missing +
        "/ShortcutKeys.ini could not be found in the Tessaline application directory.\nPlease "
        "reinstall Tessaline or ensure that the file is replaced. | Loading an control.";
    EXPECT_EQ(DrawstopFailure(), expected);
    EXPECT_EQ(ButtonFailure(), expected);
}

TEST_F(ControlTest, RectanglesFollowTheLabelSideAndTheMeasuredName) {
    const ConsoleLayout& layout = rig.organ.Layout();
    int32_t x = static_cast<int32_t>(layout.DrawstopX(1, 2));
    int32_t y = static_cast<int32_t>(layout.DrawstopY(1, 2));
    Drawstop drawstop;
    ASSERT_TRUE(LoadDrawstop(drawstop));
    EXPECT_EQ(drawstop.row, 1u);
    EXPECT_EQ(drawstop.column, 2u);
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

TEST_F(ControlTest, HitIncludesBothEdgesOfDisplayedControlsOnly) {
    Drawstop drawstop;
    ASSERT_TRUE(LoadDrawstop(drawstop));
    ControlRect f = drawstop.frame;
    EXPECT_TRUE(drawstop.Hit(f.left, f.top));
    EXPECT_TRUE(drawstop.Hit(f.right, f.bottom));
    EXPECT_FALSE(drawstop.Hit(f.left - 1, f.top));
    EXPECT_FALSE(drawstop.Hit(f.right + 1, f.top));
    EXPECT_FALSE(drawstop.Hit(f.left, f.bottom + 1));

    controls.Set("Stop001", "Displayed", "N");
    controls.Set("Stop001", "ShortcutKey", "70");
    ASSERT_TRUE(LoadDrawstop(drawstop));
    EXPECT_FALSE(drawstop.Hit(f.left, f.top));
    EXPECT_TRUE(drawstop.MatchesKey(70));  // hidden controls keep their shortcut

    drawstop.Clear();
    EXPECT_FALSE(drawstop.MatchesKey(70));
    EXPECT_EQ(drawstop.organ, &rig.organ);  // clearing keeps the owner
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
    drawstop.Disengage();
    EXPECT_FALSE(drawstop.Engaged());
    EXPECT_EQ(rig.view.controlRedraws, before + 2);
    drawstop.ResetToDefault();
    EXPECT_TRUE(drawstop.Engaged());
    EXPECT_EQ(rig.view.controlRedraws, before + 3);
    EXPECT_EQ(rig.view.lastControlRedraw, &drawstop);
}

TEST_F(ControlTest, ButtonRowsColumnsAndProgramChanges) {
    auto failure = [](const char* text) {
        return std::string(text) + " | Loading a button control.";
    };
    for (const char* row : {"6", "98", "99", "100", "-1"}) {
        controls.Set("General001", "DispButtonRow", row);
        EXPECT_EQ(ButtonFailure(),
                  failure("The display row number for the button General001 is invalid (0-5, 99)."))
            << row;
    }
    controls.Remove("General001", "DispButtonRow");
    EXPECT_EQ(ButtonFailure(), failure("The display row number for the button General001 could "
                                       "not be found in the organ definition file."));
    controls.Set("General001", "DispButtonRow", "0");
    for (const char* column : {"0", "11"}) {
        controls.Set("General001", "DispButtonCol", column);
        EXPECT_EQ(ButtonFailure(),
                  failure("The display column number for the button General001 is invalid."));
    }
    controls.Set("General001", "DispButtonCol", "10");
    for (const char* program : {"0", "129"}) {
        controls.Set("General001", "MIDIProgramChangeNumber", program);
        EXPECT_EQ(ButtonFailure(),
                  failure("An invalid MIDIProgramChangeNumber setting for the button General001 "
                          "is specified in the organ definition file."));
    }
    controls.Set("General001", "MIDIProgramChangeNumber", "128");
    controls.Set("General001", "DispImageNum", "0");
    EXPECT_EQ(ButtonFailure(), failure("An invalid DispImageNum setting for the button General001 "
                                       "is specified in the organ definition file (1-2)."));
    controls.Set("General001", "DispImageNum", "1");
    Button button;
    ASSERT_TRUE(LoadButton(button));
    EXPECT_EQ(button.midiProgramChangeNumber, 127);
    EXPECT_EQ(button.column, 9u);
    EXPECT_EQ(button.row, 0u);

    // With the pedal button row and two extra rows: 99, 100 and 101 are valid.
    organFile.Set("Organ", "DispExtraPedalButtonRow", "Y");
    organFile.Set("Organ", "DispExtraPedalButtonRowOffset", "N");
    organFile.Set("Organ", "DispExtraPedalButtonRowOffsetRight", "N");
    organFile.Set("Organ", "DispExtraButtonRows", "2");
    ASSERT_TRUE(rig.Load(organFile)) << ::testing::PrintToString(rig.errors.Messages());
    for (const char* row : {"99", "100", "101"}) {
        controls.Set("General001", "DispButtonRow", row);
        EXPECT_EQ(ButtonFailure(), "loaded") << row;
    }
    controls.Set("General001", "DispButtonRow", "102");
    EXPECT_EQ(ButtonFailure(), failure("The display row number for the button General001 is "
                                       "invalid (0-5, 99, 100-101)."));
}

}  // namespace
}  // namespace tessaline
