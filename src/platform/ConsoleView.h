#pragma once
// What the organ model needs of the window that shows the console: screen
// metrics, placing the window, the client area, fonts and text measuring, and
// redraw requests. Real back end: the Qt console widget. Test back end:
// FixedMetricsConsoleView.
//
// Threads: everything here is called on the UI thread, except the redraw
// requests, which may be called from the MIDI thread (the back end queues and
// coalesces them).

#include <cstdint>
#include <string>

namespace tessaline {

class Control;

struct ScreenMetrics {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bitsPerPixel = 0;
};

struct TextSize {
    uint32_t width = 0;
    uint32_t height = 0;
};

// A font as the console asks for it: face name, character-cell height in
// pixels and weight (400 normal, 700 bold).
struct FontSpec {
    std::string face;
    int height = 0;
    int weight = 400;
};

class ConsoleView {
public:
    virtual ~ConsoleView() = default;

    virtual ScreenMetrics Screen() const = 0;

    // Moves and resizes the top-level window to the outer size given, without
    // activating it or changing its place in the window order.
    virtual void PlaceWindow(int x, int y, int outerWidth, int outerHeight) = 0;
    // Client width, and client height less the status bar: the W and H of the
    // console layout.
    virtual uint32_t ClientWidth() const = 0;
    virtual uint32_t ClientHeight() const = 0;
    virtual void SetTitle(const std::string& title) = 0;

    // True when a font can be made from the face name (a substitute face is
    // fine; false only when no font at all results).
    virtual bool FontUsable(const std::string& face) = 0;
    // Size of text drawn in the font: word-wrapped within maxWidth when wrap
    // is true, else on one line.
    virtual TextSize MeasureText(const FontSpec& font, const std::string& text, uint32_t maxWidth,
                                 bool wrap) = 0;

    // Asks for the whole console to be painted again.
    virtual void RequestRedraw() = 0;
    // The registration frame shown in the status bar (counted from 1). May
    // be called from the MIDI thread, like RequestRedraw.
    virtual void ShowFrame(uint32_t shownNumber) { (void)shownNumber; }
    // Asks for one key of a manual, or one control, to be painted again. A
    // view that paints only whole consoles may take either as RequestRedraw.
    virtual void RequestKeyRedraw(int /*manual*/, int /*key*/) { RequestRedraw(); }
    virtual void RequestControlRedraw(const Control& /*control*/) { RequestRedraw(); }
    // Asks for the bar of enclosure `enclosure` (from 0) to be painted again
    // after its position changed.
    virtual void RequestEnclosureBarRedraw(int /*enclosure*/) { RequestRedraw(); }
};

}  // namespace tessaline
