#include "console/Label.h"

#include <gtest/gtest.h>

#include <string>

#include "support/OrganRig.h"

namespace tessaline {
namespace {

using test::OrganFileBuilder;

// Organs with one label, loaded whole: a label that fails stops the load with
// its own report followed by the organ's.
class LabelTest : public ::testing::Test {
protected:
    LabelTest() {
        organ.Set("Organ", "NumberOfLabels", "1");
        organ.Set("Label001", "Name", "Great");
        organ.Set("Label001", "DispImageNum", "1");
        organ.Set("Label001", "FreeXPlacement", "N");
        organ.Set("Label001", "FreeYPlacement", "N");
        organ.Set("Label001", "DispDrawstopCol", "2");
        organ.Set("Label001", "DispSpanDrawstopColToRight", "Y");
        organ.Set("Label001", "DispAtTopOfDrawstopCol", "Y");
        organ.Set("Label001", "DispLabelColour", "Black");
        organ.Set("Label001", "DispLabelFontSize", "Large");
    }

    // The label's report, or "loaded".
    std::string Failure() {
        test::OrganRig rig;
        if (rig.Load(organ)) return "loaded";
        auto errors = rig.errors.Errors();
        EXPECT_EQ(errors.size(), 2u);
        if (errors.size() != 2) return "";
        EXPECT_EQ(errors[1].message, "Label 1 failed to load.");
        EXPECT_EQ(errors[1].attemptedAction, "Loading an organ.");
        EXPECT_FALSE(rig.organ.loaded);
        EXPECT_FALSE(rig.organ.labels[0].loaded);
        EXPECT_EQ(errors[0].attemptedAction, "Loading an organ label.");
        return errors[0].message;
    }

    OrganFileBuilder organ = OrganFileBuilder::MinimalOrgan();
};

TEST_F(LabelTest, PlacedAboveOrBelowADrawstopColumn) {
    test::OrganRig rig;
    ASSERT_TRUE(rig.Load(organ)) << ::testing::PrintToString(rig.errors.Messages());
    const ConsoleLayout& layout = rig.organ.Layout();
    const Label& label = rig.organ.labels[0];
    EXPECT_TRUE(label.loaded);
    EXPECT_EQ(label.name, "Great");
    EXPECT_EQ(label.fontSize, LabelFontSize::Large);
    // Column 2 lies in the left jamb: 9 further right, and 32 more spanning right.
    EXPECT_EQ(label.x, static_cast<int32_t>(layout.DrawstopX(0, 1) + 9 + 32));
    EXPECT_EQ(label.y, static_cast<int32_t>(layout.DrawstopGridTop() - 28));
    EXPECT_FALSE(rig.organ.labels[1].loaded);

    EXPECT_TRUE(rig.organ.Unload(false));
    EXPECT_FALSE(rig.organ.labels[0].loaded);
    EXPECT_TRUE(rig.organ.labels[0].name.empty());
}

TEST_F(LabelTest, FreePlacementMustLieInsideTheWindow) {
    organ.Set("Label001", "FreeXPlacement", "Y");
    organ.Set("Label001", "FreeYPlacement", "Y");
    organ.Set("Label001", "DispXpos", "0");
    organ.Set("Label001", "DispYpos", "0");
    {
        test::OrganRig rig;
        ASSERT_TRUE(rig.Load(organ)) << ::testing::PrintToString(rig.errors.Messages());
        EXPECT_EQ(rig.organ.labels[0].x, 0);
        EXPECT_EQ(rig.organ.labels[0].y, 0);
    }
    uint32_t width = ScreenSizeWidth(ScreenSize::Small);
    organ.Set("Label001", "DispXpos", std::to_string(width - 1));
    EXPECT_EQ(Failure(), "loaded");
    for (std::string x : {std::to_string(width), std::string("-1")}) {
        organ.Set("Label001", "DispXpos", x);
        EXPECT_EQ(Failure(), "An invalid display x-position is specified in the organ definition file for Label001.") << x;
    }
    organ.Remove("Label001", "DispXpos");
    EXPECT_EQ(Failure(), "The display x-position is not specified in the organ definition file for Label001.");
    organ.Set("Label001", "DispXpos", "10");
    organ.Set("Label001", "DispYpos", "-5");
    EXPECT_EQ(Failure(), "An invalid display y-position is specified in the organ definition file for Label001.");
}

TEST_F(LabelTest, KeysAreCheckedInOrder) {
    organ.Remove("Label001", "Name");
    organ.Set("Label001", "DispImageNum", "2");
    EXPECT_EQ(Failure(), "No name is specified in the organ definition file for Label001 or the section is missing.");
    organ.Set("Label001", "Name", "Swell");
    EXPECT_EQ(Failure(), "An invalid DispImageNum setting for Label001 is specified in the organ definition file (1-1).");
    organ.Set("Label001", "DispImageNum", "1");
    organ.Set("Label001", "FreeYPlacement", "?");
    organ.Set("Label001", "DispDrawstopCol", "5");
    EXPECT_EQ(Failure(), "The free y-placement setting is invalid in the organ definition file for Label001 (Y/N).");
    organ.Set("Label001", "FreeYPlacement", "N");
    EXPECT_EQ(Failure(), "An invalid display drawstop column number is specified in the organ definition file for Label001.");
    organ.Set("Label001", "DispDrawstopCol", "4");
    organ.Remove("Label001", "DispSpanDrawstopColToRight");
    EXPECT_EQ(Failure(), "The DispSpanDrawstopColToRight setting is not specified in the organ definition file for Label001.");
    organ.Set("Label001", "DispSpanDrawstopColToRight", "N");
    organ.Remove("Label001", "DispAtTopOfDrawstopCol");
    EXPECT_EQ(Failure(), "The DispAtTopOfDrawstopCol setting is not specified in the organ definition file for Label001.");
    organ.Set("Label001", "DispAtTopOfDrawstopCol", "N");
    organ.Set("Label001", "DispLabelColour", "Tartan");
    EXPECT_EQ(Failure(), "An invalid label colour is specified in the organ definition file for Label001.");
    organ.Set("Label001", "DispLabelColour", "White");
    organ.Remove("Label001", "DispLabelFontSize");
    EXPECT_EQ(Failure(), "No label font size is specified in the organ definition file for Label001.");
}

TEST_F(LabelTest, ASecondLabelFailingUnloadsTheFirst) {
    organ.Set("Organ", "NumberOfLabels", "2");
    test::OrganRig rig;
    EXPECT_FALSE(rig.Load(organ));
    EXPECT_EQ(rig.errors.Messages(),
              (std::vector<std::string>{
                  "No name is specified in the organ definition file for Label002 or the section is missing.",
                  "Label 2 failed to load."}));
    EXPECT_FALSE(rig.organ.labels[0].loaded);
    EXPECT_TRUE(rig.organ.labels[0].name.empty());
}

}  // namespace
}  // namespace tessaline
