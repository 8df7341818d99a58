#include "Preview.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <array>

namespace tessaline::artwork {
namespace {

// The mock organ: three manuals and pedal on a medium-sized console.
constexpr int W = kPreviewWidth;
constexpr int H = kPreviewHeight;
constexpr int kCentralWidth = 452;
constexpr int kJambWidth = (W - kCentralWidth) / 2;
constexpr int kCentralLeft = W / 2 - kCentralWidth / 2;
constexpr int kDrawstopCols = 6;
constexpr int kDrawstopRows = 7;
constexpr int kHalf = kDrawstopCols / 2;
constexpr int kBlockWidth = kHalf * 78 - 4;
constexpr int kGridTop = (H - kDrawstopRows * 69) / 2;
constexpr int kManuals = 3;
constexpr int kButtonCols = 10;
constexpr int kExtraDrawstopCols = 5;

constexpr int kJambTile = 6, kConsoleTile = 5, kKeyHorizTile = 14, kKeyVertTile = 27;

int SlotTop(int slot) { return H - 10 - (slot + 1) * 72 - (slot >= 1 ? 87 : 0); }

int DrawstopX(int column) {
    int left = (kJambWidth - kBlockWidth) / 2;
    if (column < kHalf) return left + column * 78;
    return left + kJambWidth + kCentralWidth + (column - kHalf) * 78;
}

int DrawstopY(int row) { return kGridTop + row * 69; }

int ButtonX(int column) { return W / 2 - (kButtonCols * 44) / 2 + column * 44 - 6; }

void Tile(QPainter& p, const QImage& tile, int x0, int y0, int x1, int y1) {
    for (int x = x0; x < x1; x += 256)
        for (int y = y0; y < y1; y += 256) p.drawImage(x, y, tile, 0, 0, std::min(256, x1 - x), std::min(256, y1 - y));
}

QFont LabelFont() {
    QFont font("DejaVu Serif");
    font.setPixelSize(9);
    return font;
}

// A control's picture composed over the window, then its name centred on the
// picture and wrapped at word breaks, as the console draws it.
void Control(QImage& window, QPoint at, QSize picture, const QImage& image, const QImage& mask,
             const QString& name, QColor colour) {
    QImage composed = ComposeOver(window, at, image, mask);
    QPainter p(&window);
    p.drawImage(at, composed);
    QFont font = LabelFont();
    p.setFont(font);
    p.setPen(colour);
    int inset = picture.width() / 10;
    QRect nameRect(at.x() + inset, at.y(), picture.width() - 2 * inset, picture.height());
    QRect measured = QFontMetrics(font).boundingRect(nameRect, Qt::AlignHCenter | Qt::TextWordWrap, name);
    nameRect.setTop(at.y() + (picture.height() - measured.height()) / 2);
    p.drawText(nameRect, Qt::AlignHCenter | Qt::TextWordWrap | Qt::TextDontClip, name);
}

constexpr std::array<int, 12> kOffsets{0, 10, 12, 22, 24, 36, 46, 48, 58, 60, 70, 72};

int Span(int a, int b) { return ((b - a + a % 12) / 12) * 84 + kOffsets[b % 12] - kOffsets[a % 12]; }

// One keyboard of `count` keys from MIDI note `first` with its key strip at
// `top`; `pressed` keys are red, `coupled` ones blue.
void Keyboard(QImage& window, const ArtworkSet& set, int first, int count, int top, bool pedal,
              std::initializer_list<int> pressed, std::initializer_list<int> coupled) {
    QPainter p(&window);
    Tile(p, set.tiles[kKeyVertTile - 1], kCentralLeft, top, kCentralLeft + kCentralWidth, top + 32);
    int end = first + count;
    int width = Span(first, end);
    int left = W / 2 - width / 2;
    if (!pedal) p.fillRect(left, top, width, 32, QColor(128, 128, 128));
    for (int n = first; n < end; ++n) {
        int pc = n % 12;
        bool isFirst = n == first, isLast = n == end - 1;
        bool black = pc == 1 || pc == 3 || pc == 6 || pc == 8 || pc == 10;
        QRect upper, lower;
        if (black) {
            upper = QRect(0, 0, 4, 19);
        } else {
            bool notchLeft = false, notchRight = false;
            if (pc == 0 || pc == 5) notchRight = !isLast;
            else if (pc == 4 || pc == 11) notchLeft = !isFirst;
            else {
                notchLeft = !isFirst;
                notchRight = !isLast;
            }
            if (!notchLeft && !notchRight) {
                upper = QRect(0, 0, 11, 32);
            } else {
                upper = QRect(QPoint(notchLeft ? 3 : 0, 0), QPoint(notchRight ? 8 : 10, 19));
                lower = QRect(0, 20, 11, 12);
            }
        }
        QColor colour = pedal ? (black ? QColor(96, 57, 36) : QColor(235, 203, 24))
                              : (black ? QColor(0, 0, 0) : QColor(255, 255, 255));
        for (int k : pressed)
            if (k == n) colour = QColor(255, 0, 0);
        for (int k : coupled)
            if (k == n) colour = QColor(0, 0, 255);
        QPoint at(left + Span(first, n), top);
        p.fillRect(upper.translated(at), colour);
        if (!lower.isNull()) p.fillRect(lower.translated(at), colour);
    }
}

const char* const kStopNames[kDrawstopCols][kDrawstopRows] = {
    {"Contra Bourdon 32", "Open Wood 16", "Bourdon 16", "Octave 8", "Bass Flute 8", "Trombone 16",
     "Great to Pedal"},
    {"Double Diapason 16", "Open Diapason 8", "Stopped Diapason 8", "Principal 4", "Harmonic Flute 4",
     "Twelfth 2 2/3", "Fifteenth 2"},
    {"Tierce 1 3/5", "Mixture IV", "Sesquialtera II", "Trumpet 8", "Clarion 4", "Swell to Great",
     "Choir to Great"},
    {"Bourdon 16", "Geigen Diapason 8", "Rohr Flute 8", "Salicional 8", "Voix Celeste 8", "Gemshorn 4",
     "Flageolet 2"},
    {"Mixture III", "Contra Oboe 16", "Cornopean 8", "Oboe 8", "Vox Humana 8", "Clarion 4", "Swell Octave"},
    {"Lieblich Gedackt 8", "Dulciana 8", "Suabe Flute 4", "Nazard 2 2/3", "Piccolo 2", "Clarinet 8", "Tuba 8"},
};

const char* const kExtraNames[kExtraDrawstopCols] = {"Tremulant Swell", "Swell to Choir", "Swell to Pedal",
                                                     "Choir to Pedal", "Tremulant Choir"};

// A registration for the look of it: some stops drawn on every division.
bool Drawn(int column, int row) { return (row * 5 + column * 3) % 7 < 3; }

void LabelPlate(QImage& window, const ArtworkSet& set, QPoint at, const QString& name) {
    QImage plate = ComposeOver(window, at, set.label.picture, set.label.mask);
    QPainter p(&window);
    p.drawImage(at, plate);
    QFont font("DejaVu Serif");
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(40, 24, 12));
    p.drawText(QRect(at, set.label.picture.size()), Qt::AlignCenter | Qt::TextDontClip, name);
}

void EnclosurePanel(QImage& window, int x, int y, int level, const QString& name) {
    QPainter p(&window);
    p.fillRect(x, y, 46, 52, Qt::black);
    int lit = 45 * level / 127;
    p.fillRect(x + 5, y + 16, 35, 45 - lit, QColor(102, 82, 28));
    p.fillRect(x + 5, y + 16 + 45 - lit, 35, lit, QColor(151, 129, 60));
    QFont font("DejaVu Sans");
    font.setPixelSize(10);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(x, y, 46, 16), Qt::AlignCenter | Qt::TextDontClip, name);
}

}  // namespace

QImage ComposeOver(const QImage& window, QPoint at, const QImage& picture, const QImage& mask) {
    QImage block = window.copy(QRect(at, picture.size())).convertToFormat(QImage::Format_RGB32);
    QImage source = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < block.height(); ++y) {
        QRgb* out = reinterpret_cast<QRgb*>(block.scanLine(y));
        const QRgb* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = 0; x < block.width(); ++x) {
            QRgb bits = mask.pixelIndex(x, y) == 1 ? 0x00FFFFFFU : 0U;
            out[x] = 0xFF000000U | (in[x] & bits) | (out[x] & ~bits & 0x00FFFFFFU);
        }
    }
    return block;
}

QImage MakePreview(const ArtworkSet& set) {
    QImage window(W, H, QImage::Format_RGB32);
    {
        QPainter p(&window);
        Tile(p, set.tiles[kJambTile - 1], 0, 0, kJambWidth, H);
        Tile(p, set.tiles[kJambTile - 1], W - kJambWidth, 0, W, H);
        Tile(p, set.tiles[kConsoleTile - 1], kJambWidth, 0, W - kJambWidth, H);
        int base = SlotTop(kManuals) - 6;
        int extraTop = base - 69;
        Tile(p, set.tiles[kKeyHorizTile - 1], kCentralLeft, extraTop - 14, kCentralLeft + kCentralWidth, base);
        Tile(p, set.tiles[kKeyVertTile - 1], kCentralLeft, extraTop - 20, kCentralLeft + kCentralWidth, extraTop - 14);
        Tile(p, set.tiles[kKeyVertTile - 1], kCentralLeft, base, kCentralLeft + kCentralWidth, base + 6);
        Tile(p, set.tiles[kKeyVertTile - 1], kCentralLeft, SlotTop(1) + 72, kCentralLeft + kCentralWidth,
             SlotTop(1) + 78);
        Tile(p, set.tiles[kKeyHorizTile - 1], kCentralLeft, SlotTop(0), kCentralLeft + kCentralWidth, SlotTop(0) + 40);
        for (int s = 1; s <= kManuals; ++s)
            Tile(p, set.tiles[kKeyHorizTile - 1], kCentralLeft, SlotTop(s) + 32, kCentralLeft + kCentralWidth,
                 SlotTop(s) + 72);
    }

    LabelPlate(window, set, QPoint(DrawstopX(0) + 9 - 7, kGridTop - 28), "Pedal");
    LabelPlate(window, set, QPoint(DrawstopX(1) + 9 + 32, kGridTop - 28), "Great");
    LabelPlate(window, set, QPoint(DrawstopX(3) + 32, kGridTop - 28), "Swell");
    LabelPlate(window, set, QPoint(DrawstopX(5) - 7, kGridTop - 28), "Choir");

    Keyboard(window, set, 36, 32, SlotTop(0) + 40, true, {36, 43}, {});
    Keyboard(window, set, 36, 61, SlotTop(1), false, {}, {});
    Keyboard(window, set, 36, 61, SlotTop(2), false, {60, 64, 67}, {});
    Keyboard(window, set, 36, 61, SlotTop(3), false, {}, {60, 64, 67});

    const QSize drawstop(65, 65);
    for (int c = 0; c < kDrawstopCols; ++c) {
        int k = c < kHalf ? 0 : 1;
        QColor ink = k == 0 ? QColor(30, 16, 8) : QColor(16, 24, 70);
        for (int r = 0; r < kDrawstopRows; ++r) {
            const DrawstopSet& images = set.drawstops[k];
            Control(window, QPoint(DrawstopX(c), DrawstopY(r)), drawstop, Drawn(c, r) ? images.engaged : images.disengaged,
                    images.mask, kStopNames[c][r], ink);
        }
    }
    int extraY = SlotTop(kManuals) - 6 - 69;
    for (int c = 0; c < kExtraDrawstopCols; ++c) {
        const DrawstopSet& images = set.drawstops[1];
        Control(window, QPoint((W - kExtraDrawstopCols * 78) / 2 + c * 78, extraY), drawstop,
                c == 0 ? images.engaged : images.disengaged, images.mask, kExtraNames[c], QColor(16, 24, 70));
    }

    // Divisionals under each manual and toe-level generals in the pedal strip.
    const QSize button(31, 30);
    for (int c = 0; c < kButtonCols; ++c) {
        Control(window, QPoint(ButtonX(c), SlotTop(0) + 4), button, set.buttons[1].picture, set.buttons[1].mask,
                QString::number(c + 1), Qt::white);
        for (int s = 1; s <= kManuals; ++s) {
            if (c >= 8) continue;
            Control(window, QPoint(ButtonX(c + 1), SlotTop(s) + 36), button, set.buttons[0].picture,
                    set.buttons[0].mask, QString::number(c + 1), QColor(30, 16, 8));
        }
    }
    EnclosurePanel(window, W / 2 - 52, SlotTop(1) + 86, 127, "Swell");
    EnclosurePanel(window, W / 2, SlotTop(1) + 86, 40, "Choir");
    return window;
}

}  // namespace tessaline::artwork
