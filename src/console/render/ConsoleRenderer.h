#pragma once
// Draws the organ's console onto an image the size of the console window's
// client area: the tiled backgrounds of the jambs, panels and strips, the
// keyboards with every key in its state, the drawstops, buttons, labels and
// enclosure panels; and single elements again when their state changes.
//
// Each drawstop, button and label picture is composed once, on its first
// drawing after a load, from its built-in picture, its mask and the canvas
// pixels beneath it (picture where the mask is white, background where it is
// black), and then copied as one block. The composition reads the canvas,
// so the full repaint paints every background before any element.
//
// Threads: UI only. Requests from other threads reach it through the
// console widget's queue.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include <QFont>
#include <QImage>

#include "console/ConsoleLayout.h"
#include "console/Control.h"
#include "organ/Constants.h"
#include "platform/ConsoleView.h"

namespace tessaline {

class ConsoleArtwork;
class Enclosure;
class Label;
struct ControlRef;
class Manual;
class Organ;

// A font made from the console's description of it: the face (or the
// system's substitute), sized so that its character cell is `height` pixels,
// drawn without anti-aliasing so that drawing a text twice changes nothing.
QFont MakeConsoleFont(const FontSpec& spec);

class ConsoleRenderer {
public:
    ConsoleRenderer(Organ& organ, const ConsoleArtwork& artwork);

    // UI. The canvas takes the client area's size; its contents are lost.
    void SetClientSize(int width, int height);
    const QImage& Canvas() const { return canvas; }

    // UI. Called with true before the first full repaint after a load and
    // with false after it, so that the window can come forward for the new
    // organ.
    std::function<void(bool above)> bringToFront;

    // UI. The full repaint: grey without an organ, else every background and
    // then every element.
    void DrawConsole();

    // UI. Single elements; each does nothing unless its object is loaded.
    void DrawLabel(Label& label);
    // Key strip, key bed and keys of a displayed manual, then its controls.
    void DrawManual(Manual& manual);
    // Key `key` (logical, from 0) of the manual: one or two filled
    // rectangles in the colour of its holds.
    void DrawKey(const Manual& manual, int key);
    void DrawDrawstop(Drawstop& drawstop);
    void DrawButton(Button& button);
    // The drawstop or button of a control of the walk.
    void DrawControl(const ControlRef& ref);
    // An enclosure's panel at (x, y) with its bar for `position` (0..127)
    // and its name; index is its place in the organ's table.
    void DrawEnclosure(int index, int32_t x, int32_t y, const std::string& name, uint32_t position);
    // The bar alone; false (nothing drawn) when the lit height is the one
    // drawn last.
    bool DrawEnclosureBar(int index, int32_t x, int32_t y, uint32_t position);
    // The same for one of the organ's enclosures, at its indicator's place and
    // its current position; nothing unless it is loaded.
    void DrawEnclosure(const Enclosure& enclosure);
    bool DrawEnclosureBar(const Enclosure& enclosure);

    // UI. Fills (x0, y0)-(x1, y1) with tile `number`, blocks of at most 256
    // by 256 anchored at the region's own top-left corner, each copied from
    // the tile's top-left corner.
    void TileRegion(uint32_t number, int64_t x0, int64_t y0, int64_t x1, int64_t y1);
    void TileRegion(uint32_t number, const Rect& region);

private:
    struct Fonts {
        std::string labelFace, shortcutFace;
        std::array<QFont, 3> label;
        QFont shortcut;
    };
    struct DrawstopPictures {
        QImage off, on;
    };

    const Fonts& CurrentFonts();
    void FillRect(int64_t x, int64_t y, int64_t width, int64_t height, Colour colour);
    QImage Compose(const QImage& picture, const QImage& mask, int32_t x, int32_t y) const;
    void DrawControlFace(const Control& control, const QImage& picture);
    void DrawBackgrounds();

    Organ& organ;
    const ConsoleArtwork& artwork;
    QImage canvas;
    Fonts fonts;
    std::unordered_map<const Drawstop*, DrawstopPictures> drawstopPictures;
    std::unordered_map<const Button*, QImage> buttonPictures;
    std::unordered_map<const Label*, QImage> plates;
    // Lit height of each enclosure's bar as last drawn (kEnclosureBarNotDrawn: none).
    std::array<uint32_t, kMaxEnclosures> litDrawn{};
};

}  // namespace tessaline
