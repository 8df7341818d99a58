#include "console/Control.h"

#include <algorithm>
#include <cstdio>

#include "organ/KeyReader.h"
#include "organ/Organ.h"
#include "platform/ConsoleView.h"

namespace tessaline {

namespace {

constexpr const char* kControlAction = "Loading an organ control.";
constexpr const char* kDrawstopAction = "Loading a drawstop.";
constexpr const char* kButtonAction = "Loading a button control.";
constexpr size_t kNameBuffer = 64;
constexpr size_t kCommentsBuffer = 256;
constexpr size_t kNumberBuffer = 8;
constexpr size_t kColourBuffer = 32;
constexpr size_t kFontSizeBuffer = 16;
constexpr size_t kShortcutLabelBuffer = 8;
constexpr size_t kMaxShortcutLabel = 4;
constexpr uint32_t kShortcutKeyLimit = 256;
constexpr uint32_t kImageSets = 2;
constexpr uint32_t kMaxMidiNote = 127;
constexpr uint32_t kProgramChanges = 128;

}  // namespace

bool IsReservedShortcutKey(uint32_t code) {
    return code == 16 || code == 17 || code == 25 || code == 27 || code == 28 ||
           (code >= 112 && code <= 119);
}

bool ReadLabelAppearance(const KeyReader& section, const char* sectionName, Colour& colour,
                         LabelFontSize& size) {
    if (!section.ColourName("DispLabelColour", kColourBuffer, colour,
                            "No label colour is specified in the organ definition file for %s.",
                            "An invalid label colour is specified in the organ definition file for %s.",
                            sectionName))
        return false;
    std::string text = section.Text("DispLabelFontSize", kFontSizeBuffer);
    if (text.empty()) {
        section.Report("No label font size is specified in the organ definition file for %s.",
                       sectionName);
        return false;
    }
    if (EqualsIgnoreCase(text, "Small")) {
        size = LabelFontSize::Small;
    } else if (EqualsIgnoreCase(text, "Normal")) {
        size = LabelFontSize::Normal;
    } else if (EqualsIgnoreCase(text, "Large")) {
        size = LabelFontSize::Large;
    } else {
        section.Report("An invalid label font size is specified in the organ definition file for %s.",
                       sectionName);
        return false;
    }
    return true;
}

void Control::Attach(Organ& owner) {
    organ = &owner;
    window = &owner.View();
}

void Control::Clear() {
    Organ* owner = organ;
    ConsoleView* view = window;
    name.clear();
    comments.clear();
    shortcutKey = 0;
    shortcutKeyLabel.clear();
    displayed = false;
    keyLabelOnLeft = false;
    labelColour = Colour{};
    labelFontSize = LabelFontSize::Small;
    frame = pictureRect = nameRect = ControlRect{};
    loaded = false;
    organ = owner;
    window = view;
}

bool Control::Load(const DefinitionFile& file, const char* sectionPrefix, int number, int32_t x,
                   int32_t y, int32_t width, int32_t height, int32_t pictureWidth,
                   int32_t pictureHeight) {
    Clear();
    std::string sectionName = NumberedName(sectionPrefix, number);
    const char* s = sectionName.c_str();
    KeyReader section(file, sectionName, kControlAction);
    if (!section.RequiredText("Name", kNameBuffer, name,
                              "No name is specified in the organ definition file for %s.", s)) {
        Clear();
        return false;
    }
    comments = section.Text("Comments", kCommentsBuffer);
    bool ok =
        ReadShortcutKey(section, sectionName) &&
        section.Flag("Displayed", displayed,
                     "No display setting is specified in the organ definition file for %s.",
                     "An invalid display setting is specified in the organ definition file for %s (Y/N).",
                     s) &&
        section.Flag("DispKeyLabelOnLeft", keyLabelOnLeft,
                     "No DispKeyLabelOnLeft setting is specified in the organ definition file for %s.",
                     "An invalid DispKeyLabelOnLeft setting is specified in the organ definition file for %s (Y/N).",
                     s) &&
        ReadLabelAppearance(section, s, labelColour, labelFontSize);
    if (!ok) {
        Clear();
        return false;
    }
    PlaceRectangles(x, y, width, height, pictureWidth, pictureHeight);
    loaded = true;
    return true;
}

// Every control reads its label from the shortcut-key file, with or without a
// shortcut key (Key000 then), so a missing file stops every control.
bool Control::ReadShortcutKey(const KeyReader& section, const std::string& sectionName) {
    const char* s = sectionName.c_str();
    std::string text = section.Text("ShortcutKey", kNumberBuffer);
    shortcutKey = text.empty() ? 0 : static_cast<uint32_t>(ParseWholeNumber(text.c_str()));
    if (shortcutKey >= kShortcutKeyLimit) {
        section.Report("An invalid shortcut key number is specified for %s.", s);
        return false;
    }
    if (IsReservedShortcutKey(shortcutKey)) {
        section.Report("An invalid shortcut key number is specified for %s - key %d is reserved.", s,
                       static_cast<int>(shortcutKey));
        return false;
    }

    std::string keyFile = organ->DataDirectory() + "/" + kShortcutKeyFileName;
    std::FILE* probe = std::fopen(keyFile.c_str(), "rb");
    if (probe == nullptr) {
        ReportError("The key definition file %s could not be found in the Tessaline application "
                    "directory.\nPlease reinstall Tessaline or ensure that the file is replaced.",
                    "Loading an control.", keyFile.c_str());
        return false;
    }
    std::fclose(probe);
    char label[kShortcutLabelBuffer];
    std::string key = NumberedName("Key", static_cast<int>(shortcutKey));
    size_t length = ReadDefinitionValue("ShortcutKeyLabels", key.c_str(), "", label,
                                        sizeof label, keyFile.c_str());
    if (length > kMaxShortcutLabel) {
        section.Report("The shortcut key label %s is too long in the key definition file %s.", s,
                       keyFile.c_str());
        return false;
    }
    shortcutKeyLabel.assign(label, length);
    return true;
}

void Control::PlaceRectangles(int32_t x, int32_t y, int32_t width, int32_t height,
                              int32_t pictureWidth, int32_t pictureHeight) {
    // A layout formula that wraps (more columns than the console is wide)
    // places a control near the end of the coordinate range; such a control
    // is off every screen, and kept far enough inside the range that its
    // rectangles can still be added up.
    constexpr int32_t kFarAway = 1 << 30;
    x = std::clamp(x, -kFarAway, kFarAway);
    y = std::clamp(y, -kFarAway, kFarAway);
    if (keyLabelOnLeft)
        pictureRect = {x + width - pictureWidth, y, x + width, y + pictureHeight};
    else
        pictureRect = {x, y, x + pictureWidth, y + pictureHeight};

    nameRect = pictureRect;
    nameRect.left += pictureWidth / 10;
    nameRect.right -= pictureWidth / 10;
    uint32_t wrapWidth = nameRect.right > nameRect.left
                             ? static_cast<uint32_t>(nameRect.right - nameRect.left)
                             : 0;
    TextSize text = window->MeasureText(organ->Layout().LabelFont(labelFontSize), name,
                                        wrapWidth, true);
    nameRect.top += (pictureHeight - static_cast<int32_t>(text.height)) / 2;

    frame = {x, y, x + width, y + height};
}

bool Control::Hit(int32_t x, int32_t y) const {
    return loaded && displayed && frame.left <= x && x <= frame.right && frame.top <= y &&
           y <= frame.bottom;
}

// Code 0 stands for "no shortcut key" and so never matches.
bool Control::MatchesKey(uint32_t code) const { return loaded && code != 0 && shortcutKey == code; }

void Drawstop::Clear() {
    Control::Clear();
    row = 0;
    column = 0;
    defaultToEngaged = false;
    displayInInvertedState = false;
    stopControlMidiKeyNumber = -1;
    imageIndex = 0;
    engaged.store(false, std::memory_order_release);
    picturesBuilt = false;
}

bool Drawstop::Load(const DefinitionFile& file, const char* sectionPrefix, int number) {
    Clear();
    std::string sectionName = NumberedName(sectionPrefix, number);
    const char* s = sectionName.c_str();
    KeyReader section(file, sectionName, kDrawstopAction);
    uint32_t midiKey = UINT32_MAX;
    uint32_t image = 0;
    bool ok =
        ReadPosition(section) &&
        section.Flag("DefaultToEngaged", defaultToEngaged,
                     "The DefaultToEngaged setting for the drawstop %s could not be found in the organ definition file.",
                     "The DefaultToEngaged setting for the drawstop %s is invalid in the organ definition file (Y/N).",
                     s) &&
        section.Flag("DisplayInInvertedState", displayInInvertedState,
                     "The DisplayInInvertedState setting for the drawstop %s could not be found in the organ definition file.",
                     "The DisplayInInvertedState setting for the drawstop %s is invalid in the organ definition file (Y/N).",
                     s) &&
        section.OptionalWhole("StopControlMIDIKeyNumber", kNumberBuffer, 0, kMaxMidiNote, midiKey,
                              "The StopControlMIDIKeyNumber setting for the drawstop %s is invalid.",
                              s) &&
        section.Whole("DispImageNum", kNumberBuffer, 1, kImageSets, image,
                      "The DispImageNum setting for the drawstop %s could not be found in the organ definition file.",
                      "An invalid DispImageNum setting for the drawstop %s is specified in the organ definition file (1-%d).",
                      s, static_cast<int>(kImageSets));
    if (!ok) {
        Clear();
        return false;
    }
    stopControlMidiKeyNumber = midiKey == UINT32_MAX ? -1 : static_cast<int32_t>(midiKey);
    imageIndex = image - 1;
    const ConsoleLayout& layout = organ->Layout();
    if (!Control::Load(file, sectionPrefix, number, static_cast<int32_t>(layout.DrawstopX(row, column)),
                       static_cast<int32_t>(layout.DrawstopY(row, column)),
                       static_cast<int32_t>(kDrawstopWidth), static_cast<int32_t>(kDrawstopHeight),
                       kDrawstopPictureSize, kDrawstopPictureSize)) {
        Clear();
        return false;
    }
    engaged.store(false, std::memory_order_release);
    picturesBuilt = false;
    return true;
}

bool Drawstop::ReadPosition(const KeyReader& section) {
    const ConsoleLayout& layout = organ->Layout();
    const char* s = section.Section().c_str();
    std::string text = section.Text("DispDrawstopRow", kNumberBuffer);
    if (text.empty()) {
        section.Report("The drawstop display row number for the drawstop %s could not be found in the organ definition file.", s);
        return false;
    }
    uint32_t fileRow = static_cast<uint32_t>(ParseWholeNumber(text.c_str()));
    bool standard = fileRow >= 1 && fileRow <= layout.dispDrawstopRows;
    bool extra = fileRow >= kFirstExtraRow && fileRow - kFirstExtraRow < layout.dispExtraDrawstopRows;
    if (!standard && !extra) {
        if (layout.dispExtraDrawstopRows > 0)
            section.Report("The display row number for the drawstop %s is invalid (1-%d, 100-%d).", s,
                           static_cast<int>(layout.dispDrawstopRows),
                           static_cast<int>(layout.dispExtraDrawstopRows + kFirstExtraRow - 1));
        else
            section.Report("The display row number for the drawstop %s is invalid (1-%d).", s,
                           static_cast<int>(layout.dispDrawstopRows));
        return false;
    }
    row = standard ? fileRow - 1 : fileRow;

    uint32_t columns = standard ? layout.dispDrawstopCols : layout.dispExtraDrawstopCols;
    uint32_t fileColumn = 0;
    if (!section.Whole("DispDrawstopCol", kNumberBuffer, 1, columns, fileColumn,
                       "The drawstop display column number for the drawstop %s could not be found in the organ definition file.",
                       "The drawstop display column number for the drawstop %s is invalid.", s))
        return false;
    column = fileColumn - 1;
    return true;
}

void Drawstop::Engage() {
    if (!loaded || Engaged()) return;
    engaged.store(true, std::memory_order_release);
    window->RequestControlRedraw(*this);
}

void Drawstop::Disengage() {
    if (!loaded || !Engaged()) return;
    engaged.store(false, std::memory_order_release);
    window->RequestControlRedraw(*this);
}

void Drawstop::ResetToDefault() {
    if (defaultToEngaged)
        Engage();
    else
        Disengage();
}

void Button::Clear() {
    Control::Clear();
    column = 0;
    row = 0;
    midiProgramChangeNumber = -1;
    imageIndex = 0;
    pictureBuilt = false;
}

bool Button::Load(const DefinitionFile& file, const char* sectionPrefix, int number) {
    Clear();
    std::string sectionName = NumberedName(sectionPrefix, number);
    const char* s = sectionName.c_str();
    KeyReader section(file, sectionName, kButtonAction);
    const ConsoleLayout& layout = organ->Layout();

    uint32_t fileColumn = 0;
    if (!section.Whole("DispButtonCol", kNumberBuffer, 1, layout.dispButtonCols, fileColumn,
                       "The display column number for the button %s could not be found in the organ definition file.",
                       "The display column number for the button %s is invalid.", s)) {
        Clear();
        return false;
    }
    column = fileColumn - 1;

    std::string text = section.Text("DispButtonRow", kNumberBuffer);
    if (text.empty()) {
        section.Report("The display row number for the button %s could not be found in the organ definition file.", s);
        Clear();
        return false;
    }
    row = static_cast<uint32_t>(ParseWholeNumber(text.c_str()));
    bool valid = row <= kMaxButtonSlotRow ||
                 (row == kExtraPedalButtonRow && layout.dispExtraPedalButtonRow) ||
                 (row >= kFirstExtraRow && row - kFirstExtraRow < layout.dispExtraButtonRows);
    if (!valid) {
        if (layout.dispExtraButtonRows > 0)
            section.Report("The display row number for the button %s is invalid (0-%d, 99, 100-%d).", s,
                           static_cast<int>(kMaxButtonSlotRow),
                           static_cast<int>(layout.dispExtraButtonRows + kFirstExtraRow - 1));
        else
            section.Report("The display row number for the button %s is invalid (0-%d, 99).", s,
                           static_cast<int>(kMaxButtonSlotRow));
        Clear();
        return false;
    }

    uint32_t program = 0;
    uint32_t image = 0;
    if (!section.Whole("MIDIProgramChangeNumber", kNumberBuffer, 1, kProgramChanges, program,
                       "The MIDIProgramChangeNumber setting for the button %s is not specified in the organ definition file.",
                       "An invalid MIDIProgramChangeNumber setting for the button %s is specified in the organ definition file.",
                       s) ||
        !section.Whole("DispImageNum", kNumberBuffer, 1, kImageSets, image,
                       "The DispImageNum setting for the button %s could not be found in the organ definition file.",
                       "An invalid DispImageNum setting for the button %s is specified in the organ definition file (1-%d).",
                       s, static_cast<int>(kImageSets))) {
        Clear();
        return false;
    }
    midiProgramChangeNumber = static_cast<int32_t>(program) - 1;
    imageIndex = image - 1;

    if (!Control::Load(file, sectionPrefix, number, static_cast<int32_t>(layout.ButtonX(row, column)),
                       static_cast<int32_t>(layout.ButtonY(row)), static_cast<int32_t>(kButtonWidth),
                       static_cast<int32_t>(kButtonHeight), kButtonPictureWidth,
                       kButtonPictureHeight)) {
        Clear();
        return false;
    }
    pictureBuilt = false;
    return true;
}

}  // namespace tessaline
