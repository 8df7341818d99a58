#include "app/SetupPages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tessaline {

namespace {

// A label whose mnemonic moves the focus to its control.
QLabel* Caption(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

QLabel* Explanation(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

// An edit whose arrows bound what can be entered (key shifts, controllers).
QSpinBox* AddBoundedNumber(QWidget* page, const QString& name, int low, int high) {
    auto* box = new QSpinBox(page);
    box->setObjectName(name);
    box->setRange(low, high);
    box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return box;
}

// A grid of input rows under a heading row; column 0 holds the row captions.
QGridLayout* InputGrid(const QStringList& headings) {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(6);
    for (int c = 0; c < headings.size(); ++c) grid->addWidget(new QLabel(headings[c]), 0, c + 1);
    grid->setColumnStretch(1, 1);
    return grid;
}

// The page's layout: an optional explanation, then the content at the top.
QVBoxLayout* PageLayout(QWidget* page, const QString& explanation = {}) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    if (!explanation.isEmpty()) layout->addWidget(Explanation(explanation));
    return layout;
}

QString Number(int i) { return QString::number(i); }

constexpr const char* kFixedInputCaptions[SetupInfo::kManualPaths] = {
    "Input &1 (Pedal):", "Input &2 (Great):", "Input &3 (Swell):",
    "Input &4 (Choir):", "Input &5 (Solo):",  "Input &6 (Echo):"};
constexpr const char* kSendManuals[kMaxManuals] = {"Manual 0 (Pedal)", "Manual 1", "Manual 2",
                                                   "Manual 3",         "Manual 4", "Manual 5"};

}  // namespace

CSetupDlgMIDI::CSetupDlgMIDI(const SetupDevices& deviceNames, QWidget* parent)
    : SetupPage(deviceNames, parent) {
    QVBoxLayout* layout = PageLayout(this);
    QGridLayout* grid = InputGrid({"MIDI Input Device", "Channel", "Key Shift"});
    for (int i = 0; i < SetupInfo::kManualPaths; ++i) {
        const QString stem = "Manual" + Number(i);
        const auto k = static_cast<size_t>(i);
        device[k] = AddDeviceList(stem + "MIDIInDev");
        channel[k] = AddNumber(stem + "Chan", 1, kMidiChannels);
        keyShift[k] =
            AddBoundedNumber(this, stem + "KeyShift", -kMaxSetupKeyShift, kMaxSetupKeyShift);
        grid->addWidget(Caption(kFixedInputCaptions[k], device[k]), i + 1, 0);
        grid->addWidget(device[k], i + 1, 1);
        grid->addWidget(channel[k], i + 1, 2);
        grid->addWidget(keyShift[k], i + 1, 3);
    }
    layout->addLayout(grid);
    layout->addStretch();
}

void CSetupDlgMIDI::Fill(const SetupInfo& setup) {
    for (size_t k = 0; k < device.size(); ++k) {
        FillDevice(device[k], devices.midiInputs, setup.ManualMIDIInDevNumber[k]);
        channel[k]->SetValue(setup.ManualChan[k]);
        keyShift[k]->setValue(setup.ManualKeyShift[k]);
    }
}

void CSetupDlgMIDI::Store(SetupInfo& setup) const {
    for (size_t k = 0; k < device.size(); ++k) {
        StoreDevice(device[k], devices.midiInputs, setup.ManualMIDIInDevNumber[k],
                    setup.ManualMIDIInDevDesc[k]);
        int64_t value = 0;
        if (channel[k]->Value(value)) setup.ManualChan[k] = static_cast<uint32_t>(value);
        setup.ManualKeyShift[k] = keyShift[k]->value();
    }
}

CSetupDlgRedir::CSetupDlgRedir(const SetupDevices& deviceNames, QWidget* parent)
    : SetupPage(deviceNames, parent) {
    QVBoxLayout* layout =
        PageLayout(this,
                   "While the organ plays, the function keys choose the manual that each of these "
                   "inputs plays: F1 to F4 for input A, F5 to F8 for input B.");
    QGridLayout* grid = InputGrid({"MIDI Input Device", "Channel", "Key Shift"});
    for (int i = 0; i < kRedirectableInputs; ++i) {
        const QString letter = i == 0 ? "A" : "B";
        const QString stem = "Manual" + letter;
        const auto k = static_cast<size_t>(i);
        device[k] = AddDeviceList(stem + "MIDIInDev");
        channel[k] = AddNumber(stem + "Chan", 1, kMidiChannels);
        keyShift[k] =
            AddBoundedNumber(this, stem + "KeyShift", -kMaxSetupKeyShift, kMaxSetupKeyShift);
        grid->addWidget(Caption("Input &" + letter + ":", device[k]), i + 1, 0);
        grid->addWidget(device[k], i + 1, 1);
        grid->addWidget(channel[k], i + 1, 2);
        grid->addWidget(keyShift[k], i + 1, 3);
    }
    layout->addLayout(grid);

    auto* sendRow = new QHBoxLayout;
    sendRow->setSpacing(12);
    for (int i = 0; i < kRedirectableInputs; ++i) {
        const QString letter = i == 0 ? "A" : "B";
        auto* group = new QGroupBox("Input " + letter + " Sends", this);
        auto* form = new QGridLayout(group);
        form->setColumnStretch(1, 1);
        for (int s = 0; s < SetupInfo::kSendKeys; ++s) {
            auto* list = new QComboBox(group);
            list->setObjectName(QString("Manual%1Send%2").arg(letter).arg(s + 1));
            for (const char* manual : kSendManuals) list->addItem(manual);
            send[static_cast<size_t>(i)][static_cast<size_t>(s)] = list;
            const int key = i * SetupInfo::kSendKeys + s + 1;
            form->addWidget(Caption("F&" + Number(key) + ":", list), s, 0);
            form->addWidget(list, s, 1);
        }
        sendRow->addWidget(group);
    }
    layout->addLayout(sendRow);
    layout->addStretch();
}

void CSetupDlgRedir::Fill(const SetupInfo& setup) {
    const std::array<uint32_t, kRedirectableInputs> numbers{setup.ManualAMIDIInDevNumber,
                                                            setup.ManualBMIDIInDevNumber};
    const std::array<uint32_t, kRedirectableInputs> channels{setup.ManualAChan, setup.ManualBChan};
    const std::array<int32_t, kRedirectableInputs> shifts{setup.ManualAKeyShift,
                                                          setup.ManualBKeyShift};
    const std::array<const std::array<uint32_t, SetupInfo::kSendKeys>*, kRedirectableInputs> sends{
        &setup.ManualASend, &setup.ManualBSend};
    for (size_t k = 0; k < device.size(); ++k) {
        FillDevice(device[k], devices.midiInputs, numbers[k]);
        channel[k]->SetValue(channels[k]);
        keyShift[k]->setValue(shifts[k]);
        for (size_t s = 0; s < send[k].size(); ++s) {
            const uint32_t manual = (*sends[k])[s];
            send[k][s]->setCurrentIndex(manual < kMaxManuals ? static_cast<int>(manual) : -1);
        }
    }
}

void CSetupDlgRedir::Store(SetupInfo& setup) const {
    const std::array<uint32_t*, kRedirectableInputs> numbers{&setup.ManualAMIDIInDevNumber,
                                                             &setup.ManualBMIDIInDevNumber};
    const std::array<std::string*, kRedirectableInputs> names{&setup.ManualAMIDIInDevDesc,
                                                              &setup.ManualBMIDIInDevDesc};
    const std::array<uint32_t*, kRedirectableInputs> channels{&setup.ManualAChan,
                                                              &setup.ManualBChan};
    const std::array<int32_t*, kRedirectableInputs> shifts{&setup.ManualAKeyShift,
                                                           &setup.ManualBKeyShift};
    const std::array<std::array<uint32_t, SetupInfo::kSendKeys>*, kRedirectableInputs> sends{
        &setup.ManualASend, &setup.ManualBSend};
    for (size_t k = 0; k < device.size(); ++k) {
        StoreDevice(device[k], devices.midiInputs, *numbers[k], *names[k]);
        int64_t value = 0;
        if (channel[k]->Value(value)) *channels[k] = static_cast<uint32_t>(value);
        *shifts[k] = keyShift[k]->value();
        // A send the record held out of range shows nothing selected and
        // keeps its stored value.
        for (size_t s = 0; s < send[k].size(); ++s)
            if (send[k][s]->currentIndex() >= 0)
                (*sends[k])[s] = static_cast<uint32_t>(send[k][s]->currentIndex());
    }
}

CSetupDlgAudio::CSetupDlgAudio(const SetupDevices& deviceNames, QWidget* parent)
    : SetupPage(deviceNames, parent) {
    QVBoxLayout* layout = PageLayout(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(6);
    device = AddDeviceList("DSDev");
    grid->addWidget(Caption("Audio Output &Device:", device), 0, 0);
    grid->addWidget(device, 0, 1, 1, 4);

    bufferBlocks = AddNumber("AudioBufferBlocks", kMinBufferBlocks, kMaxBufferBlocks);
    latency = new QLabel(this);
    latency->setObjectName("Latency");
    latency->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    latency->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    latency->setFixedWidth(bufferBlocks->sizeHint().width());
    grid->addWidget(Caption("Buffer Si&ze (Blocks):", bufferBlocks), 1, 0);
    grid->addWidget(bufferBlocks, 1, 1);
    grid->addWidget(new QLabel("Latency (ms):"), 1, 2, Qt::AlignRight);
    grid->addWidget(latency, 1, 3);
    grid->addWidget(Explanation("Increasing this setting prevents the sound breaking up on "
                                "slower computers but introduces a longer audio delay."),
                    2, 1, 1, 4);

    volume = AddNumber("AmplitudeLevel", kMinAmplitudeLevel, kMaxAmplitudeLevel);
    grid->addWidget(Caption("Overall &Volume (%):", volume), 3, 0);
    grid->addWidget(volume, 3, 1);
    grid->setColumnStretch(4, 1);
    layout->addLayout(grid);

    auto* format = new QGroupBox("&Preferred Sample Format", this);
    auto* formatRow = new QHBoxLayout(format);
    mono = new QRadioButton("Mono", format);
    mono->setObjectName("Mono");
    stereo = new QRadioButton("Stereo", format);
    stereo->setObjectName("Stereo");
    formatRow->addWidget(mono);
    formatRow->addWidget(stereo);
    formatRow->addStretch();
    layout->addWidget(format);

    mixUpwards =
        new QCheckBox("&Simulate stereo output when loading stereo samples in mono?", this);
    mixUpwards->setObjectName("MixUpwardsOnOutput");
    layout->addWidget(mixUpwards);
    layout->addWidget(
        Explanation("Also note that changing the volume, sample format or stereo "
                    "simulation will cause any organ to be reloaded."));
    layout->addStretch();

    connect(bufferBlocks, &NumberEdit::TextChanged, this, &CSetupDlgAudio::ShowLatency);
}

void CSetupDlgAudio::ShowLatency(const QString& blocksText) {
    // The delay from a key to its sound is the whole output buffer.
    const int64_t blocks = ParseSettingNumber(blocksText.toStdString());
    latency->setText(QString::number(blocks * kBlockFrames * 1000 / kSampleRate));
}

void CSetupDlgAudio::Fill(const SetupInfo& setup) {
    FillDevice(device, devices.audioOutputs, setup.DSDevNumber);
    bufferBlocks->SetValue(setup.AudioBufferBlocks);
    ShowLatency(bufferBlocks->text());
    volume->SetValue(setup.AmplitudeLevel);
    mono->setChecked(setup.PreferredMemorySampleFormat == 0);
    stereo->setChecked(setup.PreferredMemorySampleFormat == 1);
    mixUpwards->setChecked(setup.MixUpwardsOnOutput);
    shownVolume = setup.AmplitudeLevel;
    shownFormat = setup.PreferredMemorySampleFormat;
    shownMixUpwards = setup.MixUpwardsOnOutput;
}

void CSetupDlgAudio::Store(SetupInfo& setup) const {
    StoreDevice(device, devices.audioOutputs, setup.DSDevNumber, setup.DSDevDesc);
    int64_t value = 0;
    if (bufferBlocks->Value(value)) setup.AudioBufferBlocks = static_cast<uint32_t>(value);
    if (volume->Value(value)) setup.AmplitudeLevel = static_cast<uint32_t>(value);
    if (mono->isChecked()) setup.PreferredMemorySampleFormat = 0;
    if (stereo->isChecked()) setup.PreferredMemorySampleFormat = 1;
    setup.MixUpwardsOnOutput = mixUpwards->isChecked();
    if (setup.AmplitudeLevel != shownVolume || setup.PreferredMemorySampleFormat != shownFormat ||
        setup.MixUpwardsOnOutput != shownMixUpwards)
        setup.reloadRequired = true;
}

CSetupDlgEnclosures::CSetupDlgEnclosures(const SetupDevices& deviceNames, QWidget* parent)
    : SetupPage(deviceNames, parent) {
    QVBoxLayout* layout = PageLayout(this);
    QGridLayout* grid = InputGrid({"MIDI Input Device", "Channel", "Controller"});
    for (int i = 0; i < SetupInfo::kEnclosurePaths; ++i) {
        const QString stem = "Enclosure" + Number(i);
        const auto k = static_cast<size_t>(i);
        device[k] = AddDeviceList(stem + "MIDIInDev");
        channel[k] = AddNumber(stem + "Chan", 1, kMidiChannels);
        controller[k] = AddBoundedNumber(this, stem + "Controller", 0, kMaxEnclosureController);
        grid->addWidget(Caption("&" + Number(i + 1) + ":", device[k]), i + 1, 0);
        grid->addWidget(device[k], i + 1, 1);
        grid->addWidget(channel[k], i + 1, 2);
        grid->addWidget(controller[k], i + 1, 3);
    }
    layout->addLayout(grid);
    layout->addStretch();
}

void CSetupDlgEnclosures::Fill(const SetupInfo& setup) {
    for (size_t k = 0; k < device.size(); ++k) {
        FillDevice(device[k], devices.midiInputs, setup.EnclosureMIDIInDevNumber[k]);
        channel[k]->SetValue(setup.EnclosureChan[k]);
        controller[k]->setValue(static_cast<int>(setup.EnclosureController[k]));
    }
}

void CSetupDlgEnclosures::Store(SetupInfo& setup) const {
    for (size_t k = 0; k < device.size(); ++k) {
        StoreDevice(device[k], devices.midiInputs, setup.EnclosureMIDIInDevNumber[k],
                    setup.EnclosureMIDIInDevDesc[k]);
        int64_t value = 0;
        if (channel[k]->Value(value)) setup.EnclosureChan[k] = static_cast<uint32_t>(value);
        setup.EnclosureController[k] = static_cast<uint32_t>(controller[k]->value());
    }
}

CSetupDlgControl::CSetupDlgControl(const SetupDevices& deviceNames, QWidget* parent)
    : SetupPage(deviceNames, parent) {
    QVBoxLayout* layout =
        PageLayout(this,
                   "Note-on and note-off events received on this device and channel engage and "
                   "disengage drawstops instead of playing notes.");
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(6);
    device = AddDeviceList("ControlMIDIInDev");
    channel = AddNumber("ControlChan", 1, kMidiChannels);
    grid->addWidget(Caption("Stop Control MIDI Input &Device:", device), 0, 0);
    grid->addWidget(device, 0, 1, 1, 2);
    grid->addWidget(Caption("&Channel:", channel), 1, 0);
    grid->addWidget(channel, 1, 1);
    grid->setColumnStretch(2, 1);
    layout->addLayout(grid);
    layout->addStretch();
}

void CSetupDlgControl::Fill(const SetupInfo& setup) {
    FillDevice(device, devices.midiInputs, setup.ControlMIDIInDevNumber);
    channel->SetValue(setup.ControlChan);
}

void CSetupDlgControl::Store(SetupInfo& setup) const {
    StoreDevice(device, devices.midiInputs, setup.ControlMIDIInDevNumber,
                setup.ControlMIDIInDevDesc);
    int64_t value = 0;
    if (channel->Value(value)) setup.ControlChan = static_cast<uint32_t>(value);
}

CSetupDlgCombFrame::CSetupDlgCombFrame(const SetupDevices& deviceNames, QWidget* parent)
    : SetupPage(deviceNames, parent) {
    QVBoxLayout* layout =
        PageLayout(this,
                   "A program change with a row's previous or next number steps backwards or "
                   "forwards through the stored registration frames.");
    QGridLayout* grid = InputGrid(
        {"MIDI Input Device", "Channel", "Previous Program Change No.", "Next Program Change No."});
    for (int i = 0; i < SetupInfo::kCombFrames; ++i) {
        const QString stem = "CombFrame" + Number(i + 1);
        const auto k = static_cast<size_t>(i);
        device[k] = AddDeviceList(stem + "MIDIInDev");
        channel[k] = AddNumber(stem + "Chan", 1, kMidiChannels);
        previous[k] = AddNumber(stem + "PrevPC", 1, kMaxProgramChangeNumber);
        next[k] = AddNumber(stem + "NextPC", 1, kMaxProgramChangeNumber);
        grid->addWidget(Caption("Input &" + Number(i + 1) + ":", device[k]), i + 1, 0);
        grid->addWidget(device[k], i + 1, 1);
        grid->addWidget(channel[k], i + 1, 2);
        grid->addWidget(previous[k], i + 1, 3);
        grid->addWidget(next[k], i + 1, 4);
    }
    layout->addLayout(grid);
    layout->addStretch();
}

void CSetupDlgCombFrame::Fill(const SetupInfo& setup) {
    for (size_t k = 0; k < device.size(); ++k) {
        FillDevice(device[k], devices.midiInputs, setup.CombFrameMIDIInDevNumber[k]);
        channel[k]->SetValue(setup.CombFrameChan[k]);
        previous[k]->SetValue(setup.CombFramePrevPC[k]);
        next[k]->SetValue(setup.CombFrameNextPC[k]);
    }
}

void CSetupDlgCombFrame::Store(SetupInfo& setup) const {
    for (size_t k = 0; k < device.size(); ++k) {
        StoreDevice(device[k], devices.midiInputs, setup.CombFrameMIDIInDevNumber[k],
                    setup.CombFrameMIDIInDevDesc[k]);
        int64_t value = 0;
        if (channel[k]->Value(value)) setup.CombFrameChan[k] = static_cast<uint32_t>(value);
        if (previous[k]->Value(value)) setup.CombFramePrevPC[k] = static_cast<uint32_t>(value);
        if (next[k]->Value(value)) setup.CombFrameNextPC[k] = static_cast<uint32_t>(value);
    }
}

}  // namespace tessaline
