#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <algorithm>

#include "app/SetupDialog.h"

namespace tessaline {
namespace {

const SetupDevices kDevices{{"Keyboard", "Pedals", "Swell Box"},
                            {"Virtual: First", "Virtual: Second"}};

class SetupDialogTest : public ::testing::Test {
public:
    SetupDialogTest() { setup.AmplitudeLevel = 100; }

    void Open() {
        dialog = std::make_unique<SetupDialog>(setup, kDevices);
        dialog->SetRangePrompt(
            [this](const QString& text) { prompts.push_back(text.toStdString()); });
    }
    template <class Control>
    Control* Find(const char* name) {
        auto* control = dialog->findChild<Control*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    NumberEdit* Edit(const char* name) { return Find<NumberEdit>(name); }
    // Presses OK; true when the dialog closed with it.
    bool PressOk() {
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        return dialog->result() == QDialog::Accepted;
    }
    std::vector<std::string> Entries(const char* list) {
        std::vector<std::string> entries;
        QComboBox* box = Find<QComboBox>(list);
        for (int i = 0; i < box->count(); ++i) entries.push_back(box->itemText(i).toStdString());
        return entries;
    }
    // The text a number field shows for a record.
    static std::string Shown(const SetupInfo& record, const char* field) {
        SetupDialog shown(record, kDevices);
        return shown.findChild<NumberEdit*>(field)->text().toStdString();
    }

    SetupInfo setup;
    std::unique_ptr<SetupDialog> dialog;
    std::vector<std::string> prompts;
};

TEST_F(SetupDialogTest, SixPagesInTabOrderAndCaptionsThatLeadToTheirControls) {
    Open();
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Tessaline System Setup");
    const std::pair<const char*, const char*> pages[] = {
        {"Fixed Manual MIDI Inputs", "tessaline::CSetupDlgMIDI"},
        {"Redirectable Manual MIDI Inputs", "tessaline::CSetupDlgRedir"},
        {"Audio Output", "tessaline::CSetupDlgAudio"},
        {"Enclosure MIDI Input", "tessaline::CSetupDlgEnclosures"},
        {"Stop Control MIDI Input", "tessaline::CSetupDlgControl"},
        {"Registration Frame Control MIDI Input", "tessaline::CSetupDlgCombFrame"}};
    ASSERT_EQ(dialog->Tabs()->count(), SetupDialog::kPages);
    for (int i = 0; i < SetupDialog::kPages; ++i) {
        EXPECT_EQ(dialog->Tabs()->tabText(i).toStdString(), pages[i].first);
        EXPECT_STREQ(dialog->Tabs()->widget(i)->metaObject()->className(), pages[i].second);
    }
    // A representative of each kind of caption.
    const std::pair<const char*, const char*> captions[] = {
        {"Input &1 (Pedal):", "Manual0MIDIInDev"},
        {"F&8:", "ManualBSend4"},
        {"Buffer Si&ze (Blocks):", "AudioBufferBlocks"},
        {"&6:", "Enclosure5MIDIInDev"}};
    const auto labels = dialog->findChildren<QLabel*>();
    for (const auto& [text, control] : captions) {
        const bool found = std::any_of(labels.begin(), labels.end(), [&](QLabel* label) {
            return label->text() == text && label->buddy() != nullptr &&
                   label->buddy()->objectName() == control;
        });
        EXPECT_TRUE(found) << text;
    }
}

TEST_F(SetupDialogTest, DeviceListsSelectTheStoredDeviceAndOkStoresTheChoice) {
    setup.ManualMIDIInDevNumber[2] = 1;
    setup.EnclosureMIDIInDevNumber[3] = 3;  // beyond the three ports
    setup.DSDevNumber = 1;
    Open();
    EXPECT_EQ(Entries("CombFrame3MIDIInDev"), kDevices.midiInputs);
    EXPECT_EQ(Entries("ManualASend1"),
              (std::vector<std::string>{"Manual 0 (Pedal)", "Manual 1", "Manual 2", "Manual 3",
                                        "Manual 4", "Manual 5"}));
    EXPECT_EQ(Find<QComboBox>("Enclosure3MIDIInDev")->currentIndex(), -1);

    Find<QComboBox>("CombFrame2MIDIInDev")->setCurrentIndex(2);
    Find<QComboBox>("DSDev")->setCurrentIndex(0);
    Find<QComboBox>("ManualBSend3")->setCurrentIndex(5);
    ASSERT_TRUE(PressOk());
    const SetupInfo& result = dialog->Result();
    EXPECT_EQ(result.ManualMIDIInDevDesc[2], "Pedals");  // as stored
    EXPECT_EQ(result.EnclosureMIDIInDevNumber[3], static_cast<uint32_t>(-1));
    EXPECT_EQ(result.CombFrameMIDIInDevDesc[1], "Swell Box");
    EXPECT_EQ(result.DSDevDesc, "Virtual: First");
    EXPECT_EQ(result.ManualBSend, (std::array<uint32_t, 4>{1, 2, 5, 4}));
    EXPECT_EQ(setup.EnclosureMIDIInDevNumber[3], 3u);  // the caller's record is untouched
}

// The first and last valid values and one past each on one field; for the
// others, whose limits the prompt names, a value past one end or not a number.
TEST_F(SetupDialogTest, OkPromptsForAValueOutsideItsRangeAndStoresNothingUntilCorrected) {
    struct Row {
        const char* field;
        int page;
        const char* rejected;
        const char* accepted;
        const char* prompt;
    };
    const char* kChannel = "Please enter an integer between 1 and 16.";
    const Row rows[] = {
        {"AudioBufferBlocks", 2, "0", "2048", "Please enter an integer between 1 and 2048."},
        {"AudioBufferBlocks", 2, "2049", "1", "Please enter an integer between 1 and 2048."},
        {"AmplitudeLevel", 2, "1", "99", "Please enter an integer between 2 and 100."},
        {"Manual3Chan", 0, "17", "16", kChannel},
        {"Enclosure5Chan", 3, "", "9", kChannel},
        {"ControlChan", 4, "99999999", "12", kChannel},
        {"CombFrame2PrevPC", 5, "129", "128", "Please enter an integer between 1 and 128."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.field) + "=" + row.rejected);
        prompts.clear();
        Open();
        Edit(row.field)->SetText(row.rejected);
        EXPECT_FALSE(PressOk());
        EXPECT_EQ(prompts, std::vector<std::string>{row.prompt});
        EXPECT_EQ(dialog->Tabs()->currentIndex(), row.page);
        Edit(row.field)->SetText(row.accepted);
        ASSERT_TRUE(PressOk());
        EXPECT_EQ(Shown(dialog->Result(), row.field), row.accepted);
    }
}

TEST_F(SetupDialogTest, TheLatencyFollowsTheBufferInWholeMilliseconds) {
    Open();
    QLabel* latency = Find<QLabel>("Latency");
    EXPECT_EQ(latency->text().toStdString(), "121");  // 42 blocks by default
    for (const auto& [blocks, milliseconds] :
         {std::pair{"1", "2"}, std::pair{"2048", "5944"}, std::pair{"", "0"}}) {
        Edit("AudioBufferBlocks")->SetText(blocks);
        EXPECT_EQ(latency->text().toStdString(), milliseconds) << blocks;
    }
}

TEST_F(SetupDialogTest, OnlyARealChangeOfVolumeFormatOrStereoSimulationAsksForAReload) {
    const std::pair<std::function<void(SetupDialogTest&)>, bool> edits[] = {
        {[](SetupDialogTest& t) {  // volume changed and back
             t.Edit("AmplitudeLevel")->SetText("99");
             t.Edit("AmplitudeLevel")->SetText("100");
         },
         false},
        {[](SetupDialogTest& t) {  // buffer and MIDI settings
             t.Edit("AudioBufferBlocks")->SetText("8");
             t.Find<QComboBox>("Manual0MIDIInDev")->setCurrentIndex(2);
         },
         false},
        {[](SetupDialogTest& t) { t.Edit("AmplitudeLevel")->SetText("99"); }, true},
        {[](SetupDialogTest& t) { t.Find<QRadioButton>("Mono")->setChecked(true); }, true},
        {[](SetupDialogTest& t) { t.Find<QCheckBox>("MixUpwardsOnOutput")->setChecked(false); },
         true},
    };
    for (size_t i = 0; i < std::size(edits); ++i) {
        SCOPED_TRACE(i);
        Open();
        edits[i].first(*this);
        ASSERT_TRUE(PressOk());
        EXPECT_EQ(dialog->Result().reloadRequired, edits[i].second);
    }
    EXPECT_FALSE(dialog->Result().MixUpwardsOnOutput);
}

}  // namespace
}  // namespace tessaline
