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

TEST_F(LabelTest, EachBadKeyIsReportedWithItsOwnMessage) {
    const uint32_t width = ScreenSizeWidth(ScreenSize::Small);
    const std::string x = "An invalid display x-position is specified in the organ definition file for Label001.";
    struct Row {
        std::vector<std::pair<const char*, std::string>> edits;  // an empty value removes the key
        std::string message;
    } rows[] = {
        {{{"Name", ""}}, "No name is specified in the organ definition file for Label001 or the section is missing."},
        {{{"DispImageNum", "2"}}, "An invalid DispImageNum setting for Label001 is specified in the organ definition file (1-1)."},
        {{{"FreeYPlacement", "?"}}, "The free y-placement setting is invalid in the organ definition file for Label001 (Y/N)."},
        {{{"DispDrawstopCol", "5"}}, "An invalid display drawstop column number is specified in the organ definition file for Label001."},
        {{{"DispSpanDrawstopColToRight", ""}}, "The DispSpanDrawstopColToRight setting is not specified in the organ definition file for Label001."},
        // A free placement must lie inside the window.
        {{{"FreeXPlacement", "Y"}, {"DispXpos", std::to_string(width - 1)}}, "loaded"},
        {{{"FreeXPlacement", "Y"}, {"DispXpos", std::to_string(width)}}, x},
        {{{"FreeXPlacement", "Y"}, {"DispXpos", "-1"}}, x},
        {{{"FreeXPlacement", "Y"}}, "The display x-position is not specified in the organ definition file for Label001."},
        {{{"FreeYPlacement", "Y"}, {"DispYpos", "-5"}}, "An invalid display y-position is specified in the organ definition file for Label001."},
    };
    const OrganFileBuilder saved = organ;
    for (const Row& row : rows) {
        organ = saved;
        std::string trace;
        for (const auto& [key, value] : row.edits) {
            trace += std::string(key) + "=" + value + " ";
            if (value.empty()) organ.Remove("Label001", key);
            else organ.Set("Label001", key, value);
        }
        SCOPED_TRACE(trace);
        EXPECT_EQ(Failure(), row.message);
    }
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
