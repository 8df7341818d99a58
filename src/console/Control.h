#pragma once
// The controls of the console: every stop, coupler, tremulant and divisional
// coupler shows as a Drawstop, every general, divisional and reversible
// piston as a Button. Each is read from its own section of the definition
// file; the keys common to both (name, shortcut key and its label, display
// flags, label colour and size) are the Control part.
//
// Threads: loading, clearing, hit-testing and key matching run on the UI
// thread while the organ is not active. Drawstop::Engage and Disengage also
// run on the MIDI thread, under the organ's action lock; `engaged` is read by
// the drawing on the UI thread, hence atomic.

#include <atomic>
#include <cstdint>
#include <string>

#include "console/ConsoleLayout.h"
#include "organ/DefinitionReader.h"

namespace tessaline {

class ConsoleView;
class KeyReader;
class Organ;

// A rectangle of the console in client pixels: left, top, right, bottom.
// Signed: a layout that does not fit gives positions off the window.
struct ControlRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const ControlRect&, const ControlRect&) = default;
};

// Keys with meanings of their own on the console (shift, control, 25, escape,
// 28, F1 to F8), which no control may take.
bool IsReservedShortcutKey(uint32_t code);

// Reads DispLabelColour and DispLabelFontSize ("Small", "Normal" or "Large",
// any case) with the messages every control and label shares, reported with
// the reader's action. UI.
bool ReadLabelAppearance(const KeyReader& section, const char* sectionName, Colour& colour,
                         LabelFontSize& size);

// The shortcut-key file's name in the data directory.
inline constexpr const char* kShortcutKeyFileName = "ShortcutKeys.ini";

class Control {
public:
    // UI: the organ (and through it the console window) the control belongs
    // to; set before loading and kept by Clear.
    void Attach(Organ& owner);

    // UI, OFF. Reads the common keys of section prefix + "%03d" (number),
    // then places the control at (x, y). False after reporting, with the
    // control cleared.
    bool Load(const DefinitionFile& file, const char* sectionPrefix, int number, int32_t x,
              int32_t y, int32_t width, int32_t height, int32_t pictureWidth,
              int32_t pictureHeight);
    // UI, OFF. Empties every field but the organ and window.
    void Clear();

    // UI. A loaded, displayed control whose frame holds the point, edges
    // included.
    bool Hit(int32_t x, int32_t y) const;
    // UI. A loaded control whose shortcut key is code (hidden ones too).
    bool MatchesKey(uint32_t code) const;

    std::string name;      // at most 63 characters
    std::string comments;  // at most 255
    uint32_t shortcutKey = 0;      // 0 none, else 1..255 and not reserved
    std::string shortcutKeyLabel;  // at most 4 characters
    bool displayed = false;
    bool keyLabelOnLeft = false;
    Colour labelColour;
    LabelFontSize labelFontSize = LabelFontSize::Small;
    ControlRect frame;
    ControlRect pictureRect;
    ControlRect nameRect;
    ConsoleView* window = nullptr;
    Organ* organ = nullptr;
    bool loaded = false;

private:
    bool ReadShortcutKey(const KeyReader& section, const std::string& sectionName);
    void PlaceRectangles(int32_t x, int32_t y, int32_t width, int32_t height,
                         int32_t pictureWidth, int32_t pictureHeight);
};

class Drawstop : public Control {
public:
    // UI, OFF. Reads the drawstop keys of prefix + "%03d" (number), then the
    // common keys. False after reporting, with the drawstop cleared.
    bool Load(const DefinitionFile& file, const char* sectionPrefix, int number);
    // UI, OFF.
    void Clear();

    // MIDI or UI, under the action lock. Each redraws the console when the
    // state changes; neither does anything before the drawstop is loaded.
    void Engage();
    void Disengage();
    void ResetToDefault();
    bool Engaged() const { return engaged.load(std::memory_order_acquire); }

    uint32_t row = 0;     // standard rows from 0; extra rows 100 + e
    uint32_t column = 0;  // from 0
    bool defaultToEngaged = false;
    bool displayInInvertedState = false;
    int32_t stopControlMidiKeyNumber = -1;  // -1: none
    uint32_t imageIndex = 0;                // 0 or 1
    std::atomic<bool> engaged{false};
    bool picturesBuilt = false;

private:
    bool ReadPosition(const KeyReader& section);
};

class Button : public Control {
public:
    // UI, OFF. Reads the button keys of prefix + "%03d" (number), then the
    // common keys. False after reporting, with the button cleared.
    bool Load(const DefinitionFile& file, const char* sectionPrefix, int number);
    // UI, OFF.
    void Clear();

    uint32_t column = 0;  // from 0
    uint32_t row = 0;     // 0..5, 99 or 100 + e, as in the file
    int32_t midiProgramChangeNumber = -1;  // from 0; -1 while cleared
    uint32_t imageIndex = 0;
    bool pictureBuilt = false;
};

}  // namespace tessaline
