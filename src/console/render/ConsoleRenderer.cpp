#include "console/render/ConsoleRenderer.h"

#include <algorithm>

#include <QFontMetrics>
#include <QPainter>

#include "console/ConsoleControls.h"
#include "console/ConsolePalette.h"
#include "console/Label.h"
#include "audio/Enclosure.h"
#include "console/render/ConsoleArtwork.h"
#include "organ/Manual.h"
#include "organ/Organ.h"

namespace tessaline {

namespace {

constexpr int64_t kTile = kTileSize;
constexpr int kPictureFontSizes = 3;

QColor ToQColor(Colour colour) { return QColor(colour.red, colour.green, colour.blue); }

// Layout positions are unsigned; a layout that does not fit wraps them, and
// as signed values they then lie off the window.
int32_t Signed(uint32_t value) { return static_cast<int32_t>(value); }

QRect ToQRect(const ControlRect& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

// First block start at or after -256 that keeps the anchor at `start`, so that
// a region reaching far off the canvas costs no empty copies.
int64_t FirstVisibleBlock(int64_t start) {
    if (start >= 0) return start;
    return start + (-start / kTile) * kTile;
}

}  // namespace

QFont MakeConsoleFont(const FontSpec& spec) {
    QFont font(QString::fromStdString(spec.face));
    int height = std::max(1, spec.height);
    font.setPixelSize(height);
    font.setWeight(spec.weight >= 700 ? QFont::Bold : QFont::Normal);
    font.setStyleStrategy(QFont::NoAntialias);
    // The height asked for is the whole character cell (ascent and descent);
    // shrink the em size until the cell fits it.
    int cell = QFontMetrics(font).height();
    if (cell > height) font.setPixelSize(std::max(1, height * height / cell));
    return font;
}

ConsoleRenderer::ConsoleRenderer(Organ& owner, const ConsoleArtwork& images)
    : organ(owner), artwork(images) {
    litDrawn.fill(kEnclosureBarNotDrawn);
}

void ConsoleRenderer::SetClientSize(int width, int height) {
    canvas = QImage(std::max(0, width), std::max(0, height), QImage::Format_RGB32);
    canvas.fill(ToQColor(kConsoleGrey));
}

const ConsoleRenderer::Fonts& ConsoleRenderer::CurrentFonts() {
    const ConsoleLayout& layout = organ.Layout();
    if (fonts.labelFace != layout.dispControlLabelFont ||
        fonts.shortcutFace != layout.dispShortcutKeyLabelFont) {
        fonts.labelFace = layout.dispControlLabelFont;
        fonts.shortcutFace = layout.dispShortcutKeyLabelFont;
        for (int size = 0; size < kPictureFontSizes; ++size)
            fonts.label[static_cast<size_t>(size)] =
                MakeConsoleFont(layout.LabelFont(static_cast<LabelFontSize>(size)));
        fonts.shortcut = MakeConsoleFont(layout.ShortcutKeyFont());
    }
    return fonts;
}

void ConsoleRenderer::FillRect(int64_t x, int64_t y, int64_t width, int64_t height,
                               Colour colour) {
    if (width <= 0 || height <= 0 || canvas.isNull()) return;
    QPainter painter(&canvas);
    painter.fillRect(QRect(static_cast<int>(x), static_cast<int>(y), static_cast<int>(width),
                           static_cast<int>(height)),
                     ToQColor(colour));
}

void ConsoleRenderer::TileRegion(uint32_t number, int64_t x0, int64_t y0, int64_t x1,
                                 int64_t y1) {
    const QImage& tile = artwork.Tile(number);
    if (tile.isNull() || canvas.isNull()) return;
    QPainter painter(&canvas);
    int64_t endX = std::min<int64_t>(x1, canvas.width());
    int64_t endY = std::min<int64_t>(y1, canvas.height());
    for (int64_t x = FirstVisibleBlock(x0); x < endX; x += kTile) {
        int64_t width = std::min(kTile, x1 - x);
        for (int64_t y = FirstVisibleBlock(y0); y < endY; y += kTile) {
            int64_t height = std::min(kTile, y1 - y);
            painter.drawImage(QPoint(static_cast<int>(x), static_cast<int>(y)), tile,
                              QRect(0, 0, static_cast<int>(width), static_cast<int>(height)));
        }
    }
}

void ConsoleRenderer::TileRegion(uint32_t number, const Rect& region) {
    TileRegion(number, Signed(region.left), Signed(region.top), Signed(region.right),
               Signed(region.bottom));
}

void ConsoleRenderer::DrawConsole() {
    // Before the window has a size there is nothing to draw on.
    if (canvas.isNull()) return;
    if (!organ.loaded) {
        canvas.fill(ToQColor(kConsoleGrey));
        return;
    }
    bool first = organ.firstPaintAfterLoad;
    if (first && bringToFront) bringToFront(true);

    DrawBackgrounds();
    for (uint32_t i = 0; i < organ.numberOfLabels && i < organ.labels.size(); ++i)
        DrawLabel(organ.labels[i]);
    if (organ.hasPedals) DrawManual(organ.manuals[0]);
    for (uint32_t m = 1; m <= organ.numberOfManuals && m < organ.manuals.size(); ++m)
        DrawManual(organ.manuals[m]);
    auto drawControl = [&](const ControlRef& ref) { DrawControl(ref); };
    ForEachGeneralButton(organ, drawControl);
    ForEachReversiblePiston(organ, drawControl);
    for (const Enclosure& enclosure : organ.Enclosures()) DrawEnclosure(enclosure);
    ForEachTremulantDrawstop(organ, drawControl);
    ForEachDivisionalCouplerDrawstop(organ, drawControl);

    if (first) {
        if (bringToFront) bringToFront(false);
        organ.firstPaintAfterLoad = false;
    }
}

void ConsoleRenderer::DrawBackgrounds() {
    const ConsoleLayout& layout = organ.Layout();
    TileRegion(layout.dispDrawstopBackgroundImageNum, layout.LeftJamb());
    TileRegion(layout.dispDrawstopBackgroundImageNum, layout.RightJamb());
    Rect central = layout.CentralPanel();
    TileRegion(layout.dispConsoleBackgroundImageNum, central);

    if (auto panel = layout.ExtraRowsPanel()) {
        TileRegion(layout.dispKeyHorizBackgroundImageNum, *panel);
        if (auto trim = layout.TrimAboveExtraRows())
            TileRegion(layout.dispKeyVertBackgroundImageNum, *trim);
    }
    if (auto trim = layout.TrimAboveManuals()) TileRegion(layout.dispKeyVertBackgroundImageNum, *trim);
    if (auto trim = layout.TrimBelowManuals()) TileRegion(layout.dispKeyVertBackgroundImageNum, *trim);

    uint32_t pedalTop = layout.SlotTop(0);
    uint32_t pedalStripTop = layout.dispExtraPedalButtonRow ? pedalTop - kButtonStripHeight : pedalTop;
    TileRegion(layout.dispKeyHorizBackgroundImageNum,
               Rect{central.left, pedalStripTop, central.right, pedalTop + kButtonStripHeight});
    for (uint32_t slot = 1; slot <= layout.displayedManualCount; ++slot) {
        uint32_t top = layout.SlotTop(slot) + (layout.dispButtonsAboveManuals ? 0 : kKeyStripHeight);
        TileRegion(layout.dispKeyHorizBackgroundImageNum,
                   Rect{central.left, top, central.right, top + kButtonStripHeight});
    }
    if (layout.dispPairDrawstopCols)
        for (uint32_t pair = 0; pair < layout.dispDrawstopCols / 2; ++pair)
            TileRegion(layout.dispDrawstopInsetBackgroundImageNum, layout.InsetPanel(pair));
}

void ConsoleRenderer::DrawManual(Manual& manual) {
    if (!manual.loaded) return;
    if (manual.displayed) {
        const ConsoleLayout& layout = organ.Layout();
        TileRegion(layout.dispKeyVertBackgroundImageNum, layout.KeyStrip(manual.keyboardSlot));
        // The pedal has no key bed: its gaps show the strip's tile.
        if (manual.index != 0) {
            const Rect& bed = manual.keyboardRect;
            FillRect(Signed(bed.left), Signed(bed.top), bed.Width(), kKeyStripHeight, kConsoleGrey);
        }
        int end = manual.firstAccessibleKey + manual.numberOfAccessibleKeys;
        for (int k = manual.firstAccessibleKey; k < end; ++k) DrawKey(manual, k);
    }
    ForEachManualControl(manual, [&](const ControlRef& ref) { DrawControl(ref); });
}

void ConsoleRenderer::DrawControl(const ControlRef& ref) {
    if (ref.drawstop)
        DrawDrawstop(*ref.drawstop);
    else
        DrawButton(*ref.button);
}

void ConsoleRenderer::DrawKey(const Manual& manual, int key) {
    if (!manual.loaded || key < 0 || key >= manual.numberOfLogicalKeys) return;
    const ManualKey& state = manual.keys[static_cast<size_t>(key)];
    if (!state.playable) return;
    Colour normal = KeyNormalColour(manual.index == 0, manual.keyColourInverted, state.shape);
    Colour colour = KeyColour(state.holds, state.directHolds, normal);
    KeyRects rects = RectsOfKeyShape(state.shape);
    int64_t x = Signed(state.position.x), y = Signed(state.position.y);
    FillRect(x + rects.upper.left, y + rects.upper.top, rects.upper.Width(), rects.upper.Height(),
             colour);
    if (rects.lower)
        FillRect(x + rects.lower->left, y + rects.lower->top, rects.lower->Width(),
                 rects.lower->Height(), colour);
}

QImage ConsoleRenderer::Compose(const QImage& picture, const QImage& mask, int32_t x,
                                int32_t y) const {
    // Outside the canvas the copy reads black, as a covered window would.
    QImage result = canvas.copy(x, y, picture.width(), picture.height());
    for (int row = 0; row < result.height(); ++row) {
        auto* out = reinterpret_cast<uint32_t*>(result.scanLine(row));
        auto* p = reinterpret_cast<const uint32_t*>(picture.constScanLine(row));
        auto* m = reinterpret_cast<const uint32_t*>(mask.constScanLine(row));
        for (int col = 0; col < result.width(); ++col)
            out[col] = (p[col] & m[col]) | (out[col] & ~m[col]) | 0xff000000u;
    }
    return result;
}

void ConsoleRenderer::DrawControlFace(const Control& control, const QImage& picture) {
    const Fonts& current = CurrentFonts();
    QPainter painter(&canvas);
    painter.drawImage(QPoint(control.pictureRect.left, control.pictureRect.top), picture);

    painter.setFont(current.label[static_cast<size_t>(control.labelFontSize)]);
    painter.setPen(ToQColor(control.labelColour));
    QRect name = ToQRect(control.nameRect);
    name.setBottom(std::max(name.bottom(), control.pictureRect.bottom - 1));
    painter.drawText(name, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextDontClip,
                     QString::fromStdString(control.name));

    if (control.shortcutKeyLabel.empty()) return;
    painter.setFont(current.shortcut);
    painter.setPen(ToQColor(organ.Layout().dispShortcutKeyLabelColour));
    int side = control.keyLabelOnLeft ? Qt::AlignLeft : Qt::AlignRight;
    painter.drawText(ToQRect(control.frame), side | Qt::AlignBottom | Qt::TextSingleLine | Qt::TextDontClip,
                     QString::fromStdString(control.shortcutKeyLabel));
}

void ConsoleRenderer::DrawDrawstop(Drawstop& drawstop) {
    if (!drawstop.loaded || !drawstop.displayed || canvas.isNull()) return;
    auto found = drawstopPictures.find(&drawstop);
    if (!drawstop.picturesBuilt || found == drawstopPictures.end()) {
        size_t set = std::min<size_t>(drawstop.imageIndex, size_t{kDrawstopImageSets} - 1);
        int32_t x = drawstop.pictureRect.left, y = drawstop.pictureRect.top;
        const QImage& mask = artwork.drawstopMask[set];
        found = drawstopPictures
                    .insert_or_assign(&drawstop,
                                      DrawstopPictures{Compose(artwork.drawstopOff[set], mask, x, y),
                                                       Compose(artwork.drawstopOn[set], mask, x, y)})
                    .first;
        drawstop.picturesBuilt = true;
    }
    bool showOn = drawstop.Engaged() != drawstop.displayInInvertedState;
    DrawControlFace(drawstop, showOn ? found->second.on : found->second.off);
}

void ConsoleRenderer::DrawButton(Button& button) {
    if (!button.loaded || !button.displayed || canvas.isNull()) return;
    auto found = buttonPictures.find(&button);
    if (!button.pictureBuilt || found == buttonPictures.end()) {
        size_t set = std::min<size_t>(button.imageIndex, size_t{kButtonImageSets} - 1);
        found = buttonPictures
                    .insert_or_assign(&button, Compose(artwork.button[set], artwork.buttonMask[set],
                                                       button.pictureRect.left, button.pictureRect.top))
                    .first;
        button.pictureBuilt = true;
    }
    DrawControlFace(button, found->second);
}

void ConsoleRenderer::DrawLabel(Label& label) {
    if (!label.loaded || canvas.isNull()) return;
    auto found = plates.find(&label);
    if (!label.plateBuilt || found == plates.end()) {
        found = plates.insert_or_assign(&label, Compose(artwork.plate, artwork.plateMask, label.x, label.y))
                    .first;
        label.plateBuilt = true;
    }
    const Fonts& current = CurrentFonts();
    QPainter painter(&canvas);
    painter.drawImage(QPoint(label.x, label.y), found->second);
    painter.setFont(current.label[static_cast<size_t>(label.fontSize)]);
    painter.setPen(ToQColor(label.colour));
    painter.drawText(QRect(label.x, label.y, kLabelWidth, kLabelHeight),
                     Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip,
                     QString::fromStdString(label.name));
}

void ConsoleRenderer::DrawEnclosure(int index, int32_t x, int32_t y, const std::string& name,
                                    uint32_t position) {
    if (index < 0 || index >= kMaxEnclosures || canvas.isNull()) return;
    FillRect(x, y, kEnclosurePanelWidth, kEnclosurePanelHeight, kEnclosurePanel);
    litDrawn[static_cast<size_t>(index)] = kEnclosureBarNotDrawn;
    DrawEnclosureBar(index, x, y, position);
    QPainter painter(&canvas);
    painter.setFont(CurrentFonts().shortcut);
    painter.setPen(ToQColor(kEnclosureName));
    painter.drawText(QRect(x, y, kEnclosurePanelWidth, kEnclosureNameHeight),
                     Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip,
                     QString::fromStdString(name));
}

bool ConsoleRenderer::DrawEnclosureBar(int index, int32_t x, int32_t y, uint32_t position) {
    if (index < 0 || index >= kMaxEnclosures || canvas.isNull()) return false;
    uint32_t lit = EnclosureLitHeight(position);
    uint32_t& drawn = litDrawn[static_cast<size_t>(index)];
    if (lit == drawn) return false;
    int64_t barX = x + int64_t{kEnclosureBarLeft};
    int64_t barY = y + int64_t{kEnclosureNameHeight};
    FillRect(barX, barY, kEnclosureBarWidth, kEnclosureBarHeight - lit, kEnclosureClosed);
    FillRect(barX, barY + kEnclosureBarHeight - lit, kEnclosureBarWidth, lit, kEnclosureOpen);
    drawn = lit;
    return true;
}

void ConsoleRenderer::DrawEnclosure(const Enclosure& enclosure) {
    if (!enclosure.loaded) return;
    DrawEnclosure(enclosure.index, enclosure.indicatorX, enclosure.indicatorY, enclosure.name,
                  enclosure.value.load(std::memory_order_acquire));
}

bool ConsoleRenderer::DrawEnclosureBar(const Enclosure& enclosure) {
    if (!enclosure.loaded) return false;
    return DrawEnclosureBar(enclosure.index, enclosure.indicatorX, enclosure.indicatorY,
                            enclosure.value.load(std::memory_order_acquire));
}

}  // namespace tessaline
