#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>

#include "ShellRig.h"
#include "app/SetupDialog.h"

namespace tessaline {
namespace {

using test::ShellRig;

const SetupDevices kDevices{{"Keyboard", "Pedals", "Swell Box"},
                            {"Virtual: First", "Virtual: Second"}};

class SetupDialogTest : public ::testing::Test {
public:
    SetupDialogTest() { setup.AmplitudeLevel = 100; }

    SetupDialog& Open() {
        dialog = std::make_unique<SetupDialog>(setup, kDevices);
        dialog->SetRangePrompt(
            [this](const QString& text) { prompts.push_back(text.toStdString()); });
        return *dialog;
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
        {"Input &1 (Pedal):", "Manual0MIDIInDev"}, {"Input &B:", "ManualBMIDIInDev"},
        {"F&8:", "ManualBSend4"}, {"Buffer Si&ze (Blocks):", "AudioBufferBlocks"},
        {"Overall &Volume (%):", "AmplitudeLevel"}, {"&6:", "Enclosure5MIDIInDev"},
        {"&Channel:", "ControlChan"}, {"Input &3:", "CombFrame3MIDIInDev"}};
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
    EXPECT_EQ(Entries("DSDev"), kDevices.audioOutputs);
    EXPECT_EQ(Entries("ManualASend1"),
              (std::vector<std::string>{"Manual 0 (Pedal)", "Manual 1", "Manual 2", "Manual 3",
                                        "Manual 4", "Manual 5"}));
    EXPECT_EQ(Find<QComboBox>("Manual2MIDIInDev")->currentIndex(), 1);
    EXPECT_EQ(Find<QComboBox>("Enclosure3MIDIInDev")->currentIndex(), -1);
    EXPECT_EQ(Find<QComboBox>("DSDev")->currentIndex(), 1);

    Find<QComboBox>("CombFrame2MIDIInDev")->setCurrentIndex(2);
    Find<QComboBox>("DSDev")->setCurrentIndex(0);
    Find<QComboBox>("ManualBSend3")->setCurrentIndex(5);
    ASSERT_TRUE(PressOk());
    const SetupInfo& result = dialog->Result();
    EXPECT_EQ(result.ManualMIDIInDevDesc[2], "Pedals");
    EXPECT_EQ(result.EnclosureMIDIInDevNumber[3], static_cast<uint32_t>(-1));
    EXPECT_EQ(result.EnclosureMIDIInDevDesc[3], "");
    EXPECT_EQ(result.CombFrameMIDIInDevNumber[1], 2u);
    EXPECT_EQ(result.CombFrameMIDIInDevDesc[1], "Swell Box");
    EXPECT_EQ(result.DSDevDesc, "Virtual: First");
    EXPECT_EQ(result.ManualBSend, (std::array<uint32_t, 4>{1, 2, 5, 4}));
    EXPECT_EQ(setup.EnclosureMIDIInDevNumber[3], 3u);  // the caller's record is untouched
}

// The first and last valid values and one past each, one row per message.
TEST_F(SetupDialogTest, OkPromptsForAValueOutsideItsRangeAndStoresNothingUntilCorrected) {
    struct Row {
        const char* field;
        int page;
        const char* rejected;
        uint32_t accepted;
        const char* prompt;
        uint32_t (*stored)(const SetupInfo&);
    };
    const Row rows[] = {
        {"AudioBufferBlocks", 2, "0", 2048, "Please enter an integer between 1 and 2048.",
         [](const SetupInfo& s) { return s.AudioBufferBlocks; }},
        {"AudioBufferBlocks", 2, "2049", 1, "Please enter an integer between 1 and 2048.",
         [](const SetupInfo& s) { return s.AudioBufferBlocks; }},
        {"AmplitudeLevel", 2, "1", 100, "Please enter an integer between 2 and 100.",
         [](const SetupInfo& s) { return s.AmplitudeLevel; }},
        {"AmplitudeLevel", 2, "101", 2, "Please enter an integer between 2 and 100.",
         [](const SetupInfo& s) { return s.AmplitudeLevel; }},
        {"Manual3Chan", 0, "17", 16, "Please enter an integer between 1 and 16.",
         [](const SetupInfo& s) { return s.ManualChan[3]; }},
        {"ManualBChan", 1, "0", 1, "Please enter an integer between 1 and 16.",
         [](const SetupInfo& s) { return s.ManualBChan; }},
        {"Enclosure5Chan", 3, "", 9, "Please enter an integer between 1 and 16.",
         [](const SetupInfo& s) { return s.EnclosureChan[5]; }},
        {"ControlChan", 4, "99999999", 12, "Please enter an integer between 1 and 16.",
         [](const SetupInfo& s) { return s.ControlChan; }},
        {"CombFrame2PrevPC", 5, "129", 128, "Please enter an integer between 1 and 128.",
         [](const SetupInfo& s) { return s.CombFramePrevPC[1]; }},
        {"CombFrame3NextPC", 5, "0", 1, "Please enter an integer between 1 and 128.",
         [](const SetupInfo& s) { return s.CombFrameNextPC[2]; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.field) + "=" + row.rejected);
        prompts.clear();
        Open();
        Edit(row.field)->SetText(row.rejected);
        EXPECT_FALSE(PressOk());
        EXPECT_EQ(prompts, std::vector<std::string>{row.prompt});
        EXPECT_EQ(dialog->Tabs()->currentIndex(), row.page);
        Edit(row.field)->SetText(QString::number(row.accepted));
        ASSERT_TRUE(PressOk());
        EXPECT_EQ(row.stored(dialog->Result()), row.accepted);
    }
}

TEST_F(SetupDialogTest, LeavingAPageWithAValueOutOfRangeStaysOnIt) {
    Open();
    Edit("Manual0Chan")->SetText("0");
    dialog->Tabs()->setCurrentIndex(2);
    EXPECT_EQ(dialog->Tabs()->currentIndex(), 0);
    EXPECT_EQ(prompts, std::vector<std::string>{"Please enter an integer between 1 and 16."});

    Edit("Manual0Chan")->SetText("16");
    dialog->Tabs()->setCurrentIndex(2);
    EXPECT_EQ(dialog->Tabs()->currentIndex(), 2);
    EXPECT_EQ(prompts.size(), 1u);
}

TEST_F(SetupDialogTest, NumbersStepInsideTheirRangeAndTheLatencyFollowsTheBuffer) {
    NumberEdit edit(1, 16);
    edit.SetText("16");
    edit.stepBy(1);
    EXPECT_EQ(edit.text().toStdString(), "16");
    edit.stepBy(-20);
    EXPECT_EQ(edit.text().toStdString(), "1");
    for (QString typed : {QString("-3"), QString("1a"), QString("+4"), QString(" 5")}) {
        int position = 0;
        EXPECT_EQ(edit.validate(typed, position), QValidator::Invalid) << typed.toStdString();
    }
    // The latency in whole milliseconds; 42 blocks by default.
    Open();
    QLabel* latency = Find<QLabel>("Latency");
    EXPECT_EQ(latency->text().toStdString(), "121");
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
             t.Find<QSpinBox>("Enclosure0Controller")->setValue(7);
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

// Answers the application's modal setup dialog once it shows (looking for it
// for at most a second).
void AnswerSetupDialog(std::function<void(SetupDialog&)> answer, int tries = 100) {
    QTimer::singleShot(10, [answer, tries] {
        if (auto* open = qobject_cast<SetupDialog*>(QApplication::activeModalWidget()))
            answer(*open);
        else if (tries > 1)
            AnswerSetupDialog(answer, tries - 1);
    });
}

TEST(SetupDialogInShell, TheFirstRunSetupListsTheWindowsDevicesAndACancelKeepsTheStore) {
    ShellRig rig;
    rig.prompts.systemSetup = RunSystemSetup;
    std::string midiList, audioList;
    AnswerSetupDialog([&](SetupDialog& open) {
        midiList = open.findChild<QComboBox*>("ManualAMIDIInDev")->itemText(0).toStdString();
        audioList = open.findChild<QComboBox*>("DSDev")->itemText(0).toStdString();
        open.findChild<NumberEdit*>("AmplitudeLevel")->SetText("80");
        open.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    ASSERT_TRUE(rig.Start());
    EXPECT_EQ(midiList, "Keyboard");
    EXPECT_EQ(audioList, rig.window->Stream().DeviceDescription(0));
    EXPECT_EQ(SetupInfo::ReadSettingString(rig.store, "AmplitudeLevel"), "80");

    AnswerSetupDialog([](SetupDialog& open) {
        open.findChild<NumberEdit*>("AmplitudeLevel")->SetText("30");
        open.reject();
    });
    EXPECT_FALSE(rig.window->ShowSystemSetup());
    EXPECT_EQ(rig.window->Setup().AmplitudeLevel, 80u);
    EXPECT_EQ(SetupInfo::ReadSettingString(rig.store, "AmplitudeLevel"), "80");
    EXPECT_EQ(rig.errors.Count(), 0u);
}

}  // namespace
}  // namespace tessaline
