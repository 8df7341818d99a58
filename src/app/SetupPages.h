#pragma once
// The six tabs of the setup dialog, in tab order. Every control is named
// after the record field it edits (a row's device list after its value stem,
// "Manual0MIDIInDev"), so that tests and the dialog find them by that name.

#include <array>

#include "app/SetupDialog.h"
#include "organ/Constants.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;
class QSpinBox;

namespace tessaline {

// "Fixed Manual MIDI Inputs": device, channel and key shift of the six
// fixed manual inputs.
class CSetupDlgMIDI : public SetupPage {
    Q_OBJECT
public:
    explicit CSetupDlgMIDI(const SetupDevices& devices, QWidget* parent = nullptr);
    void Fill(const SetupInfo& setup) override;
    void Store(SetupInfo& setup) const override;

private:
    std::array<QComboBox*, SetupInfo::kManualPaths> device{};
    std::array<NumberEdit*, SetupInfo::kManualPaths> channel{};
    std::array<QSpinBox*, SetupInfo::kManualPaths> keyShift{};
};

// "Redirectable Manual MIDI Inputs": inputs A and B, and the manual each of
// the function keys F1..F4 (A) and F5..F8 (B) sends its input to.
class CSetupDlgRedir : public SetupPage {
    Q_OBJECT
public:
    explicit CSetupDlgRedir(const SetupDevices& devices, QWidget* parent = nullptr);
    void Fill(const SetupInfo& setup) override;
    void Store(SetupInfo& setup) const override;

private:
    std::array<QComboBox*, kRedirectableInputs> device{};
    std::array<NumberEdit*, kRedirectableInputs> channel{};
    std::array<QSpinBox*, kRedirectableInputs> keyShift{};
    std::array<std::array<QComboBox*, SetupInfo::kSendKeys>, kRedirectableInputs> send{};
};

// "Audio Output": device, buffer with its latency, volume, sample format and
// stereo simulation. The last three are applied when samples are loaded, so a
// real change of any of them asks for the organ to be loaded again.
class CSetupDlgAudio : public SetupPage {
    Q_OBJECT
public:
    explicit CSetupDlgAudio(const SetupDevices& devices, QWidget* parent = nullptr);
    void Fill(const SetupInfo& setup) override;
    // Sets reloadRequired when the volume, format or stereo simulation differ
    // from what Fill showed; never clears it.
    void Store(SetupInfo& setup) const override;

private:
    void ShowLatency(const QString& blocksText);

    QComboBox* device;
    NumberEdit* bufferBlocks;
    QLabel* latency;
    NumberEdit* volume;
    QRadioButton* mono;
    QRadioButton* stereo;
    QCheckBox* mixUpwards;
    uint32_t shownVolume = 0;
    uint32_t shownFormat = 0;
    bool shownMixUpwards = false;
};

// "Enclosure MIDI Input": device, channel and controller of the six
// enclosure inputs.
class CSetupDlgEnclosures : public SetupPage {
    Q_OBJECT
public:
    explicit CSetupDlgEnclosures(const SetupDevices& devices, QWidget* parent = nullptr);
    void Fill(const SetupInfo& setup) override;
    void Store(SetupInfo& setup) const override;

private:
    std::array<QComboBox*, SetupInfo::kEnclosurePaths> device{};
    std::array<NumberEdit*, SetupInfo::kEnclosurePaths> channel{};
    std::array<QSpinBox*, SetupInfo::kEnclosurePaths> controller{};
};

// "Stop Control MIDI Input": the device and channel whose notes draw stops.
class CSetupDlgControl : public SetupPage {
    Q_OBJECT
public:
    explicit CSetupDlgControl(const SetupDevices& devices, QWidget* parent = nullptr);
    void Fill(const SetupInfo& setup) override;
    void Store(SetupInfo& setup) const override;

private:
    QComboBox* device;
    NumberEdit* channel;
};

// "Registration Frame Control MIDI Input": device, channel and the program
// changes that step back and forward, for the three frame inputs.
class CSetupDlgCombFrame : public SetupPage {
    Q_OBJECT
public:
    explicit CSetupDlgCombFrame(const SetupDevices& devices, QWidget* parent = nullptr);
    void Fill(const SetupInfo& setup) override;
    void Store(SetupInfo& setup) const override;

private:
    std::array<QComboBox*, SetupInfo::kCombFrames> device{};
    std::array<NumberEdit*, SetupInfo::kCombFrames> channel{};
    std::array<NumberEdit*, SetupInfo::kCombFrames> previous{};
    std::array<NumberEdit*, SetupInfo::kCombFrames> next{};
};

}  // namespace tessaline
