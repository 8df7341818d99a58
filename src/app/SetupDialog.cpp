#include "app/SetupDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

#include "app/MainWindow.h"
#include "app/SetupPages.h"

namespace tessaline {

namespace {

// Long port names must not stretch the dialog; the list shows them whole
// when it drops down.
constexpr int kDeviceListCharacters = 28;
// Room for ten digits, the most a whole-number edit takes.
constexpr int kNumberEditDigits = 10;

bool AllDigits(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= '0' && c <= '9'; });
}

}  // namespace

SetupDevices ListSetupDevices(const MidiInputSystem& midi, const AudioStream& audio) {
    SetupDevices devices;
    for (unsigned d = 0; d < midi.DeviceCount(); ++d)
        devices.midiInputs.emplace_back(midi.DeviceName(d));
    for (uint32_t d = 0; d < audio.DeviceCount(); ++d)
        devices.audioOutputs.emplace_back(audio.DeviceDescription(d));
    return devices;
}

NumberEdit::NumberEdit(int lowest, int highest, QWidget* parent)
    : QAbstractSpinBox(parent), low(lowest), high(highest) {
    lineEdit()->setMaxLength(kNumberEditDigits);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(lineEdit(), &QLineEdit::textChanged, this, &NumberEdit::TextChanged);
}

void NumberEdit::SetValue(int64_t value) { SetText(QString::number(value)); }

void NumberEdit::SetText(const QString& text) { lineEdit()->setText(text); }

bool NumberEdit::Value(int64_t& value) const {
    const QString digits = text();
    if (digits.isEmpty() || !AllDigits(digits)) return false;
    value = ParseSettingNumber(digits.toStdString());
    return value >= low && value <= high;
}

QString NumberEdit::RangePrompt() const {
    return QString("Please enter an integer between %1 and %2.").arg(low).arg(high);
}

void NumberEdit::stepBy(int steps) {
    // An empty edit steps from the bottom of the range.
    int64_t value = text().isEmpty() ? low : ParseSettingNumber(text().toStdString());
    value = std::clamp<int64_t>(value + steps, low, high);
    SetValue(value);
    selectAll();
}

QAbstractSpinBox::StepEnabled NumberEdit::stepEnabled() const {
    if (isReadOnly()) return StepNone;
    if (text().isEmpty()) return StepUpEnabled | StepDownEnabled;
    const int64_t value = ParseSettingNumber(text().toStdString());
    StepEnabled enabled = StepNone;
    if (value < high) enabled |= StepUpEnabled;
    if (value > low) enabled |= StepDownEnabled;
    return enabled;
}

QValidator::State NumberEdit::validate(QString& input, int&) const {
    // Only digits can be typed; the range is checked when the page is left.
    return AllDigits(input) ? QValidator::Acceptable : QValidator::Invalid;
}

QSize NumberEdit::sizeHint() const {
    ensurePolished();
    const QString widest = QString::number(std::max(std::abs(low), std::abs(high))) + "00";
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    QSize content(fontMetrics().horizontalAdvance(widest), lineEdit()->sizeHint().height());
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, content, this);
}

QSize NumberEdit::minimumSizeHint() const { return sizeHint(); }

NumberEdit* SetupPage::FirstInvalid() const {
    int64_t value = 0;
    for (NumberEdit* edit : checked)
        if (!edit->Value(value)) return edit;
    return nullptr;
}

NumberEdit* SetupPage::AddNumber(const QString& name, int low, int high) {
    auto* edit = new NumberEdit(low, high, this);
    edit->setObjectName(name);
    checked.push_back(edit);
    return edit;
}

QComboBox* SetupPage::AddDeviceList(const QString& name) {
    auto* list = new QComboBox(this);
    list->setObjectName(name);
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setMinimumContentsLength(kDeviceListCharacters);
    return list;
}

void SetupPage::FillDevice(QComboBox* list, const std::vector<std::string>& names,
                           uint32_t number) const {
    list->clear();
    for (const std::string& name : names) list->addItem(QString::fromStdString(name));
    list->setCurrentIndex(number < names.size() ? static_cast<int>(number) : -1);
}

void SetupPage::StoreDevice(const QComboBox* list, const std::vector<std::string>& names,
                            uint32_t& number, std::string& description) const {
    const int index = list->currentIndex();
    if (index >= 0 && static_cast<size_t>(index) < names.size()) {
        number = static_cast<uint32_t>(index);
        description = names[static_cast<size_t>(index)];
    } else {
        // No device: the record's -1, which a later read of the store does
        // not confirm, so the player is asked again.
        number = static_cast<uint32_t>(-1);
        description.clear();
    }
}

SetupDialog::SetupDialog(const SetupInfo& setup, SetupDevices deviceNames, QWidget* parent)
    : QDialog(parent), devices(std::move(deviceNames)), edited(setup) {
    setWindowTitle("Tessaline System Setup");
    tabs = new QTabWidget(this);
    // Every title stays in view; the dialog is as wide as the six of them.
    tabs->setUsesScrollButtons(false);
    pages = {new CSetupDlgMIDI(devices),    new CSetupDlgRedir(devices),
             new CSetupDlgAudio(devices),   new CSetupDlgEnclosures(devices),
             new CSetupDlgControl(devices), new CSetupDlgCombFrame(devices)};
    const char* titles[kPages] = {"Fixed Manual MIDI Inputs",
                                  "Redirectable Manual MIDI Inputs",
                                  "Audio Output",
                                  "Enclosure MIDI Input",
                                  "Stop Control MIDI Input",
                                  "Registration Frame Control MIDI Input"};
    for (int i = 0; i < kPages; ++i) {
        SetupPage* page = pages[static_cast<size_t>(i)];
        page->Fill(edited);
        tabs->addTab(page, titles[i]);
    }
    connect(tabs, &QTabWidget::currentChanged, this, &SetupDialog::OnTabChanged);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SetupDialog::OnOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);

    rangePrompt = [this](const QString& text) {
        QMessageBox box(QMessageBox::Warning, "Tessaline", text, QMessageBox::Ok, this);
        box.exec();
    };
}

void SetupDialog::OnTabChanged(int index) {
    if (index == shownPage) return;
    const int left = shownPage;
    shownPage = index;
    CheckPage(left);
}

bool SetupDialog::CheckPage(int index) {
    NumberEdit* invalid = pages[static_cast<size_t>(index)]->FirstInvalid();
    if (invalid == nullptr) return true;
    if (tabs->currentIndex() != index) {
        // Set first, so that the change of tab is not taken for the player's.
        shownPage = index;
        tabs->setCurrentIndex(index);
    }
    rangePrompt(invalid->RangePrompt());
    invalid->setFocus();
    invalid->selectAll();
    return false;
}

void SetupDialog::OnOk() {
    if (!CheckPage(tabs->currentIndex())) return;
    for (int i = 0; i < kPages; ++i)
        if (!CheckPage(i)) return;
    for (SetupPage* page : pages) page->Store(edited);
    accept();
}

bool RunSystemSetup(QWidget* owner, SetupInfo& setup) {
    // The lists show the devices of the main window that asks; a dialog
    // without that window has none to offer.
    SetupDevices devices;
    if (auto* window = qobject_cast<MainWindow*>(owner))
        devices = ListSetupDevices(window->Midi(), window->Stream());
    SetupDialog dialog(setup, std::move(devices), owner);
    if (dialog.exec() != QDialog::Accepted) return false;
    setup = dialog.Result();
    return true;
}

}  // namespace tessaline
