// The definition file that make-demo-organ writes: every section its counts
// call for, references that resolve, and output that is the same every run.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "DemoGenerator.h"
#include "Inspection.h"
#include "organ/DefinitionReader.h"
#include "support/TempDir.h"

namespace tessaline::demo {
namespace {

class DemoOrganFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(test::RunGenerator("\"" + dir.Path().string() + "\" --only Nazard"), 0);
        organPath = dir.File(DemoOrganFileName());
        ASSERT_TRUE(file.Parse(organPath));
    }
    std::string Value(const std::string& section, const std::string& key) const {
        const std::string* v = file.Find(section, key);
        return v ? *v : std::string();
    }
    // A whole-number key that must be present.
    int Number(const std::string& section, const std::string& key) const {
        const std::string* v = file.Find(section, key);
        EXPECT_NE(v, nullptr) << section << "/" << key;
        return v ? ParseWholeNumber(v->c_str()) : -1;
    }
    bool Has(const std::string& section, const std::string& key) const { return file.Find(section, key) != nullptr; }

    test::TempDir dir;
    std::string organPath;
    DefinitionFile file;
};

TEST_F(DemoOrganFile, OrganSectionDescribesTheInstrument) {
    EXPECT_EQ(Value("Organ", "TessalineOrganFileFormatVersion"), "1.21");
    EXPECT_EQ(Value("Organ", "ChurchName"), "Tessaline Demo Organ");
    EXPECT_FALSE(Value("Organ", "ChurchAddress").empty());
    EXPECT_EQ(Number("Organ", "NumberOfManuals"), 2);
    EXPECT_EQ(Value("Organ", "HasPedals"), "Y");
    EXPECT_EQ(Value("Organ", "HighestSampleFormat"), "Mono");
    EXPECT_EQ(Number("Organ", "NumberOfGenerals"), 6);
    EXPECT_EQ(Number("Organ", "NumberOfFrameGenerals"), 512);
    EXPECT_EQ(Number("Organ", "NumberOfReversiblePistons"), 1);
    EXPECT_EQ(Value("Organ", "DispScreenSizeHoriz"), "Medium");
    EXPECT_EQ(Value("Organ", "DispScreenSizeVert"), "Medium");
    EXPECT_EQ(Number("Manual000", "NumberOfLogicalKeys"), 32);
    EXPECT_EQ(Number("Manual001", "NumberOfLogicalKeys"), 61);
    EXPECT_EQ(Number("Manual002", "NumberOfLogicalKeys"), 61);
    // The default settings play the pedal from input 1, Great 2, Swell 3.
    for (int m = 0; m <= 2; ++m) EXPECT_EQ(Number(NumberedName("Manual", m), "MIDIInputNumber"), m + 1);
    EXPECT_EQ(Value("Stop009", "Name"), "Flute 4'");
}

// The loader checks that every section and reference is there (see
// DemoOrganLoad); what it allows but the demo must not do is use one object
// twice.
TEST_F(DemoOrganFile, EachStopCouplerAndDivisionalBelongsToOneManual) {
    std::set<int> stops, couplers, divisionals;
    int references = 0;
    for (int m = 0; m <= Number("Organ", "NumberOfManuals"); ++m) {
        const std::string manual = NumberedName("Manual", m);
        EXPECT_EQ(Number(manual, "NumberOfDivisionals"), 3) << manual;
        for (auto [set, kind] : {std::pair{&stops, "Stop"}, {&couplers, "Coupler"}, {&divisionals, "Divisional"}})
            for (int i = 1; i <= Number(manual, std::string("NumberOf") + kind + "s"); ++i, ++references)
                EXPECT_TRUE(set->insert(Number(manual, NumberedName(kind, i))).second) << manual << " " << kind << i;
    }
    EXPECT_EQ(stops.size(), 14u);
    EXPECT_EQ(couplers.size(), 5u);
    EXPECT_EQ(divisionals.size(), 9u);
    EXPECT_EQ(references, 14 + 5 + 9);
    EXPECT_EQ(Value("ReversiblePiston001", "ObjectType"), "Coupler");
    EXPECT_EQ(Value(NumberedName("Coupler", Number("Manual000", "Coupler001")), "Name"), "Great to Pedal");
    EXPECT_EQ(Number("ReversiblePiston001", "ManualNumber"), 0);
    EXPECT_EQ(Number("ReversiblePiston001", "ObjectNumber"), 1);
    EXPECT_EQ(Number("DivisionalCoupler001", "NumberOfManuals"), 2);
}

TEST_F(DemoOrganFile, SharedPipesReferToOwnedPipesOfTheSamePitch) {
    const std::string* ref = file.Find("Stop013", "Pipe001");
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(*ref, "REF:01:001:001");
    for (int p = 1; p <= Number("Stop013", "NumberOfLogicalPipes"); ++p) {
        std::string value = Value("Stop013", NumberedName("Pipe", p));
        ASSERT_EQ(value.size(), 14u);
        EXPECT_EQ(value.substr(0, 4), "REF:");
        EXPECT_EQ(value[6], ':');
        EXPECT_EQ(value[10], ':');
        int manual = ParseWholeNumber(value.substr(4, 2).c_str());
        int position = ParseWholeNumber(value.substr(7, 3).c_str());
        int pipe = ParseWholeNumber(value.substr(11, 3).c_str());
        std::string owner = NumberedName("Stop", Number(NumberedName("Manual", manual), NumberedName("Stop", position)));
        std::string target = Value(owner, NumberedName("Pipe", pipe));
        EXPECT_NE(target.substr(0, 4), "REF:") << "references never chain";
        // Pedal key p and the owner's pipe sound the same note.
        EXPECT_EQ(ParseWholeNumber(target.substr(target.rfind('/') + 1, 3).c_str()), 35 + p) << target;
    }
}

TEST_F(DemoOrganFile, ControlsAreShownAndAnswerUsableKeysAndPrograms) {
    // Shift, control, escape, the function keys F1-F8 and the frame arrows
    // have meanings of their own.
    std::set<int> taken = {16, 17, 25, 27, 28, 37, 38, 39, 40, 112, 113, 114, 115, 116, 117, 118, 119};
    std::vector<std::string> drawstops = {"Tremulant001", "DivisionalCoupler001"}, buttons = {"ReversiblePiston001"};
    for (int s = 1; s <= 14; ++s) drawstops.push_back(NumberedName("Stop", s));
    for (int c = 1; c <= 5; ++c) drawstops.push_back(NumberedName("Coupler", c));
    for (int d = 1; d <= 9; ++d) buttons.push_back(NumberedName("Divisional", d));
    for (int g = 1; g <= 6; ++g) buttons.push_back(NumberedName("General", g));
    std::set<int> shortcuts;
    for (const auto& section : drawstops) EXPECT_EQ(Value(section, "Displayed"), "Y") << section;
    for (const auto& section : buttons) {
        EXPECT_EQ(Value(section, "Displayed"), "Y") << section;
        int program = Number(section, "MIDIProgramChangeNumber");
        EXPECT_TRUE(program >= 1 && program <= 128) << section;
    }
    for (const auto& list : {drawstops, buttons})
        for (const auto& section : list)
            if (Has(section, "ShortcutKey")) {
                int key = Number(section, "ShortcutKey");
                EXPECT_TRUE(key > 0 && key < 256 && !taken.count(key)) << section << " " << key;
                EXPECT_TRUE(shortcuts.insert(key).second) << section << " shares key " << key;
            }
    EXPECT_EQ(shortcuts, (std::set<int>{49, 50, 51, 52, 53, 54, 80, 84}));
}

TEST_F(DemoOrganFile, OnlyWritesTheChosenStopsAndEveryRunIsTheSame) {
    namespace fs = std::filesystem;
    const fs::path samples = dir.Path() / "TessalineDemo";
    EXPECT_TRUE(fs::exists(samples / "Swell" / "Nazard" / "036-C2.wav"));
    EXPECT_TRUE(fs::exists(samples / "Swell" / "Nazard" / "096-C7.wav"));
    EXPECT_FALSE(fs::exists(samples / "Great"));
    EXPECT_EQ(Value("Stop010", "Pipe001"), "TessalineDemo/Swell/Nazard/036-C2.wav");

    test::TempDir again;
    ASSERT_EQ(test::RunGenerator("\"" + again.Path().string() + "\" --only NAZARD"), 0);
    EXPECT_EQ(test::ReadBytes(organPath), test::ReadBytes(again.File(DemoOrganFileName())));
    for (const char* pipe : {"036-C2.wav", "067-G4.wav", "096-C7.wav"}) {
        std::string relative = std::string("TessalineDemo/Swell/Nazard/") + pipe;
        auto first = test::ReadBytes(dir.File(relative));
        EXPECT_FALSE(first.empty());
        EXPECT_EQ(first, test::ReadBytes(again.File(relative))) << pipe;
    }
}

TEST(DemoOrganLoad, TheWholeOrganLoadsWithoutAReport) {
    test::TempDir dir;
    ASSERT_EQ(test::RunGenerator("\"" + dir.Path().string() + "\""), 0);
    // The checker prints every report to stderr and exits 0 only when the
    // organ loaded; a screen just larger than the Medium window suffices.
    std::string reports = dir.File("reports.txt");
    std::string command = std::string("\"") + ORGAN_CHECKER + "\" \"" + dir.File(DemoOrganFileName()) +
                          "\" --screen 1024x768 > /dev/null 2> \"" + reports + "\"";
    EXPECT_EQ(std::system(command.c_str()), 0);
    auto text = test::ReadBytes(reports);
    EXPECT_EQ(std::string(text.begin(), text.end()), "");
}

TEST(DemoOrganCommandLine, RefusesUnknownArgumentsAndMissingFolders) {
    EXPECT_NE(test::RunGenerator("2> /dev/null"), 0);
    EXPECT_NE(test::RunGenerator("--stereo 2> /dev/null"), 0);
    EXPECT_NE(test::RunGenerator("/tmp/x --bogus 2> /dev/null"), 0);
    EXPECT_NE(test::RunGenerator("/tmp/x --midi /tmp/y 2> /dev/null"), 0);
    // A stop folder that names nothing (or a stop that borrows its pipes)
    // is an error, not an organ without samples.
    test::TempDir dir;
    EXPECT_NE(test::RunGenerator("\"" + dir.Path().string() + "\" --only Principal9 2> /dev/null"), 0);
    EXPECT_NE(test::RunGenerator("\"" + dir.Path().string() + "\" --only Octave8 2> /dev/null"), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File(DemoOrganFileName())));
}

}  // namespace
}  // namespace tessaline::demo
