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

TEST_F(SetupDialogTest, TheSixPagesComeInTabOrderWithTheirTitles) {
    Open();
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Tessaline System Setup");
    const char* titles[] = {"Fixed Manual MIDI Inputs",
                            "Redirectable Manual MIDI Inputs",
                            "Audio Output",
                            "Enclosure MIDI Input",
                            "Stop Control MIDI Input",
                            "Registration Frame Control MIDI Input"};
    const char* classes[] = {"tessaline::CSetupDlgMIDI",    "tessaline::CSetupDlgRedir",
                             "tessaline::CSetupDlgAudio",   "tessaline::CSetupDlgEnclosures",
                             "tessaline::CSetupDlgControl", "tessaline::CSetupDlgCombFrame"};
    ASSERT_EQ(dialog->Tabs()->count(), SetupDialog::kPages);
    for (int i = 0; i < SetupDialog::kPages; ++i) {
        EXPECT_EQ(dialog->Tabs()->tabText(i).toStdString(), titles[i]);
        EXPECT_STREQ(dialog->Tabs()->widget(i)->metaObject()->className(), classes[i]);
    }
}

TEST_F(SetupDialogTest, EveryCaptionLeadsToItsControl) {
    Open();
    const std::pair<const char*, const char*> captions[] = {
        {"Input &1 (Pedal):", "Manual0MIDIInDev"},
        {"Input &6 (Echo):", "Manual5MIDIInDev"},
        {"Input &B:", "ManualBMIDIInDev"},
        {"F&1:", "ManualASend1"},
        {"F&8:", "ManualBSend4"},
        {"Audio Output &Device:", "DSDev"},
        {"Buffer Si&ze (Blocks):", "AudioBufferBlocks"},
        {"Overall &Volume (%):", "AmplitudeLevel"},
        {"&6:", "Enclosure5MIDIInDev"},
        {"Stop Control MIDI Input &Device:", "ControlMIDIInDev"},
        {"&Channel:", "ControlChan"},
        {"Input &3:", "CombFrame3MIDIInDev"},
    };
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
    setup.ControlMIDIInDevNumber = 2;
    setup.DSDevNumber = 1;
    Open();
    const std::vector<std::string> ports{"Keyboard", "Pedals", "Swell Box"};
    for (const char* list : {"Manual0MIDIInDev", "ManualBMIDIInDev", "Enclosure5MIDIInDev",
                             "ControlMIDIInDev", "CombFrame3MIDIInDev"})
        EXPECT_EQ(Entries(list), ports) << list;
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
    EXPECT_EQ(result.ManualMIDIInDevNumber[2], 1u);
    EXPECT_EQ(result.ManualMIDIInDevDesc[2], "Pedals");
    EXPECT_EQ(result.EnclosureMIDIInDevNumber[3], static_cast<uint32_t>(-1));
    EXPECT_EQ(result.EnclosureMIDIInDevDesc[3], "");
    EXPECT_EQ(result.ControlMIDIInDevDesc, "Swell Box");
    EXPECT_EQ(result.CombFrameMIDIInDevNumber[1], 2u);
    EXPECT_EQ(result.CombFrameMIDIInDevDesc[1], "Swell Box");
    EXPECT_EQ(result.DSDevNumber, 0u);
    EXPECT_EQ(result.DSDevDesc, "Virtual: First");
    EXPECT_EQ(result.ManualBSend, (std::array<uint32_t, 4>{1, 2, 5, 4}));
    EXPECT_EQ(setup.EnclosureMIDIInDevNumber[3], 3u);  // the caller's record is untouched
}

struct RangeCase {
    const char* field;
    int page;
    const char* rejected;
    const char* accepted;
    const char* prompt;
};

TEST_F(SetupDialogTest, OkPromptsForAValueOutsideItsRangeAndStoresNothingUntilCorrected) {
    const RangeCase cases[] = {
        {"AudioBufferBlocks", 2, "0", "2048", "Please enter an integer between 1 and 2048."},
        {"AudioBufferBlocks", 2, "2049", "1", "Please enter an integer between 1 and 2048."},
        {"AmplitudeLevel", 2, "1", "2", "Please enter an integer between 2 and 100."},
        {"AmplitudeLevel", 2, "101", "100", "Please enter an integer between 2 and 100."},
        {"Manual3Chan", 0, "17", "16", "Please enter an integer between 1 and 16."},
        {"ManualBChan", 1, "0", "1", "Please enter an integer between 1 and 16."},
        {"Enclosure5Chan", 3, "", "9", "Please enter an integer between 1 and 16."},
        {"ControlChan", 4, "99999999", "12", "Please enter an integer between 1 and 16."},
        {"CombFrame2PrevPC", 5, "129", "128", "Please enter an integer between 1 and 128."},
        {"CombFrame3NextPC", 5, "0", "7", "Please enter an integer between 1 and 128."},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(std::string(c.field) + "=" + c.rejected);
        prompts.clear();
        Open();
        Edit(c.field)->SetText(c.rejected);
        EXPECT_FALSE(PressOk());
        EXPECT_EQ(prompts, std::vector<std::string>{c.prompt});
        EXPECT_EQ(dialog->Tabs()->currentIndex(), c.page);

        Edit(c.field)->SetText(c.accepted);
        ASSERT_TRUE(PressOk());
        SetupInfo expected = setup;
        const uint32_t value = static_cast<uint32_t>(std::stoul(c.accepted));
        const std::string field = c.field;
        if (field == "AudioBufferBlocks") expected.AudioBufferBlocks = value;
        if (field == "AmplitudeLevel") expected.AmplitudeLevel = value;
        if (field == "Manual3Chan") expected.ManualChan[3] = value;
        if (field == "ManualBChan") expected.ManualBChan = value;
        if (field == "Enclosure5Chan") expected.EnclosureChan[5] = value;
        if (field == "ControlChan") expected.ControlChan = value;
        if (field == "CombFrame2PrevPC") expected.CombFramePrevPC[1] = value;
        if (field == "CombFrame3NextPC") expected.CombFrameNextPC[2] = value;
        expected.reloadRequired = expected.AmplitudeLevel != setup.AmplitudeLevel;
        // The descriptions are the names of the devices each row selects.
        for (auto& name : expected.ManualMIDIInDevDesc) name = "Keyboard";
        for (auto& name : expected.EnclosureMIDIInDevDesc) name = "Keyboard";
        for (auto& name : expected.CombFrameMIDIInDevDesc) name = "Keyboard";
        expected.ManualAMIDIInDevDesc = expected.ManualBMIDIInDevDesc = "Keyboard";
        expected.ControlMIDIInDevDesc = "Keyboard";
        expected.DSDevDesc = "Virtual: First";
        EXPECT_EQ(dialog->Result(), expected);
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

TEST_F(SetupDialogTest, TheArrowsStayInsideTheRangeAndOnlyDigitsCanBeTyped) {
    NumberEdit edit(1, 16);
    edit.SetText("16");
    edit.stepBy(1);
    EXPECT_EQ(edit.text().toStdString(), "16");
    edit.stepBy(-20);
    EXPECT_EQ(edit.text().toStdString(), "1");
    edit.SetText("");
    edit.stepBy(1);
    EXPECT_EQ(edit.text().toStdString(), "2");
    for (QString typed : {QString("-3"), QString("1a"), QString("+4"), QString(" 5")}) {
        int position = 0;
        EXPECT_EQ(edit.validate(typed, position), QValidator::Invalid) << typed.toStdString();
    }
}

TEST_F(SetupDialogTest, TheLatencyFollowsTheBufferSizeInWholeMilliseconds) {
    Open();
    QLabel* latency = Find<QLabel>("Latency");
    EXPECT_EQ(latency->text().toStdString(), "121");  // the default of 42 blocks
    const std::pair<const char*, const char*> shown[] = {
        {"1", "2"}, {"8", "23"}, {"2048", "5944"}, {"", "0"}};
    for (const auto& [blocks, milliseconds] : shown) {
        Edit("AudioBufferBlocks")->SetText(blocks);
        EXPECT_EQ(latency->text().toStdString(), milliseconds) << blocks;
    }
}

TEST_F(SetupDialogTest, OnlyARealChangeOfVolumeFormatOrStereoSimulationAsksForAReload) {
    const std::pair<const char*, std::function<void(SetupDialogTest&)>> edits[] = {
        {"volume 100, 99, back to 100",
         [](SetupDialogTest& t) {
             t.Edit("AmplitudeLevel")->SetText("99");
             t.Edit("AmplitudeLevel")->SetText("100");
         }},
        {"buffer and MIDI settings",
         [](SetupDialogTest& t) {
             t.Edit("AudioBufferBlocks")->SetText("8");
             t.Edit("Manual1Chan")->SetText("5");
             t.Find<QSpinBox>("Enclosure0Controller")->setValue(7);
             t.Find<QComboBox>("Manual0MIDIInDev")->setCurrentIndex(2);
         }},
        {"volume 99", [](SetupDialogTest& t) { t.Edit("AmplitudeLevel")->SetText("99"); }},
        {"mono", [](SetupDialogTest& t) { t.Find<QRadioButton>("Mono")->setChecked(true); }},
        {"no stereo simulation",
         [](SetupDialogTest& t) { t.Find<QCheckBox>("MixUpwardsOnOutput")->setChecked(false); }},
    };
    const bool reload[] = {false, false, true, true, true};
    for (size_t i = 0; i < std::size(edits); ++i) {
        Open();
        edits[i].second(*this);
        ASSERT_TRUE(PressOk()) << edits[i].first;
        EXPECT_EQ(dialog->Result().reloadRequired, reload[i]) << edits[i].first;
    }
    EXPECT_EQ(dialog->Result().PreferredMemorySampleFormat, 1u);
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

TEST(SetupDialogInShell, TheFirstRunSetupListsTheWindowsDevicesAndStoresTheAnswer) {
    ShellRig rig;
    rig.prompts.systemSetup = RunSystemSetup;
    std::vector<std::string> midiList, audioList;
    AnswerSetupDialog([&](SetupDialog& open) {
        auto* midi = open.findChild<QComboBox*>("ManualAMIDIInDev");
        auto* audio = open.findChild<QComboBox*>("DSDev");
        for (int i = 0; i < midi->count(); ++i) midiList.push_back(midi->itemText(i).toStdString());
        for (int i = 0; i < audio->count(); ++i)
            audioList.push_back(audio->itemText(i).toStdString());
        open.findChild<NumberEdit*>("AmplitudeLevel")->SetText("80");
        open.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    ASSERT_TRUE(rig.Start());
    EXPECT_EQ(midiList, std::vector<std::string>{"Keyboard"});
    ASSERT_FALSE(audioList.empty());
    EXPECT_EQ(audioList[0], rig.window->Stream().DeviceDescription(0));
    EXPECT_EQ(SetupInfo::ReadSettingString(rig.store, "AmplitudeLevel"), "80");
    EXPECT_EQ(SetupInfo::ReadSettingString(rig.store, "Manual0MIDIInDevDesc"), "Keyboard");

    // Cancel keeps the record and the store as they were.
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
