#pragma once
// The "Tessaline System Setup" dialog: six tabs that edit the audio and MIDI
// setup record. It works on a copy of the record and hands the edited copy
// back only on OK, so Cancel leaves the caller's record as it was.
//
// Edits with a validated range are checked when their page is left and when
// OK is pressed; a value outside the range keeps the player on its page with
// the range prompt, and nothing is stored until it is corrected.
//
// Threads: UI only.

#include <QAbstractSpinBox>
#include <QDialog>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "organ/SetupInfo.h"

class QComboBox;
class QTabWidget;

namespace tessaline {

class AudioStream;
class MidiInputSystem;

// The names the device lists offer, in device-number order.
struct SetupDevices {
    std::vector<std::string> midiInputs;
    std::vector<std::string> audioOutputs;
};

// UI. The MIDI input ports and the audio output devices as listed now.
SetupDevices ListSetupDevices(const MidiInputSystem& midi, const AudioStream& audio);

// A whole-number edit with up and down arrows. The arrows step within
// [low, high]; the player may type any digits, and Value() says whether the
// text is a whole number inside that range.
class NumberEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    NumberEdit(int low, int high, QWidget* parent = nullptr);

    void SetValue(int64_t value);
    // The text as a number when it is one inside [low, high].
    bool Value(int64_t& value) const;
    // The prompt shown when Value() fails.
    QString RangePrompt() const;
    // Replaces the text as if the player had typed it.
    void SetText(const QString& text);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void TextChanged(const QString& text);

protected:
    StepEnabled stepEnabled() const override;

private:
    int low;
    int high;
};

// One tab of the dialog, bound to the dialog's copy of the record.
class SetupPage : public QWidget {
    Q_OBJECT
public:
    explicit SetupPage(const SetupDevices& deviceNames, QWidget* parent = nullptr)
        : QWidget(parent), devices(deviceNames) {}

    // The record's values into the controls; the device lists are filled anew.
    virtual void Fill(const SetupInfo& setup) = 0;
    // The controls' values into the record (only once every edit is valid).
    virtual void Store(SetupInfo& setup) const = 0;
    // The first edit, in page order, whose text is outside its range.
    NumberEdit* FirstInvalid() const;

protected:
    // An edit checked by FirstInvalid; name: the record field it edits.
    NumberEdit* AddNumber(const QString& name, int low, int high);
    // A list of the MIDI input ports (or the audio output devices).
    QComboBox* AddDeviceList(const QString& name);
    // Selects the entry of the stored number, none when there is no such device.
    void FillDevice(QComboBox* list, const std::vector<std::string>& names, uint32_t number) const;
    // The selected index and its name; -1 and an empty name when nothing is selected.
    void StoreDevice(const QComboBox* list, const std::vector<std::string>& names, uint32_t& number,
                     std::string& description) const;

    const SetupDevices& devices;

private:
    std::vector<NumberEdit*> checked;
};

class SetupDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPages = 6;

    SetupDialog(const SetupInfo& setup, SetupDevices devices, QWidget* parent = nullptr);

    // The edited record; after OK it holds every page's values and the
    // reload-required mark when the volume, sample format or stereo
    // simulation changed.
    const SetupInfo& Result() const { return edited; }
    QTabWidget* Tabs() const { return tabs; }
    // The range prompt: a box by default; tests record the text instead.
    void SetRangePrompt(std::function<void(const QString&)> prompt) {
        rangePrompt = std::move(prompt);
    }

private:
    void OnTabChanged(int index);
    void OnOk();
    // True when the page's edits are all in range; otherwise shows the page,
    // prompts and puts the cursor into the offending edit.
    bool CheckPage(int index);

    SetupDevices devices;
    SetupInfo edited;
    QTabWidget* tabs;
    std::array<SetupPage*, kPages> pages{};
    int shownPage = 0;
    std::function<void(const QString&)> rangePrompt;
};

// UI. The setup prompt of the application: the dialog over the devices of the
// main window that owns it; on OK the record takes the dialog's result.
bool RunSystemSetup(QWidget* owner, SetupInfo& setup);

}  // namespace tessaline
