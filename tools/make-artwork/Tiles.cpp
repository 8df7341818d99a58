#include "Tiles.h"

#include <cmath>
#include <functional>
#include <numbers>

#include "Noise.h"
#include "organ/Constants.h"

namespace tessaline::artwork {
namespace {

constexpr double kTau = 2.0 * std::numbers::pi;
constexpr double kSide = kTileSize;

struct Rgb {
    double r, g, b;
};

Rgb Hex(uint32_t rgb) {
    return {double((rgb >> 16) & 0xFF), double((rgb >> 8) & 0xFF), double(rgb & 0xFF)};
}
Rgb Mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Rgb Scale(Rgb a, double f) { return {a.r * f, a.g * f, a.b * f}; }

double Fraction(double x) { return x - std::floor(x); }

QImage Render(const std::function<Rgb(double, double)>& shade) {
    QImage image(kTileSize, kTileSize, QImage::Format_RGB32);
    for (int y = 0; y < kTileSize; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kTileSize; ++x) {
            Rgb c = shade(x, y);
            auto clamp = [](double v) { return static_cast<int>(std::lround(v < 0 ? 0 : (v > 255 ? 255 : v))); };
            line[x] = qRgb(clamp(c.r), clamp(c.g), clamp(c.b));
        }
    }
    return image;
}

// Planks run vertically: the growth rings cross the tile a whole number of
// times from left to right, wandering with periodic noise.
struct WoodLook {
    uint32_t early, late;  // light and dark part of a growth ring
    int rings;
    double warp;    // how far the rings wander
    double figure;  // strength of the fibre streaks
    double pores;   // darkening by open pores
    bool quarterSawn;
    double sheen;   // polish: a broad soft highlight
    uint32_t seed;
};

Rgb Wood(const WoodLook& look, double x, double y) {
    PeriodicNoise n(look.seed);
    // Straight grain: a wander that is constant down the plank, a slow sway
    // along it and a little local jitter.
    double phase = look.rings * x / kSide + look.warp * (n.Fractal(x, y, 2, 1, 2) - 0.5) * 3.0 +
                   0.8 * (n.Fractal(x, y, 6, 1, 2) - 0.5) + 0.3 * look.warp * (n.Fractal(x, y, 3, 2, 3) - 0.5) +
                   0.12 * (n.Fractal(x, y, 16, 2, 2) - 0.5);
    double ring = Fraction(phase);
    // Earlywood darkens gradually into a narrow latewood band that ends sharply.
    double late = Smoothstep(0.55, 0.95, ring) * (1.0 - Smoothstep(0.95, 1.0, ring));
    Rgb colour = Mix(Hex(look.early), Hex(look.late), late);
    double fibre = n.Fractal(x, y, 128, 2, 2);
    double tone = 1.0 + look.figure * (fibre - 0.5) + 0.12 * (n.Fractal(x, y, 2, 2, 2) - 0.5);
    double pore = n.Value(x, y, 128, 24);
    if (pore > 0.72) tone -= look.pores * (pore - 0.72) / 0.28;
    if (look.quarterSawn) {
        // Medullary rays: short, pale, glossy flecks across the grain.
        double fleck = n.Fractal(x, y, 10, 48, 3);
        colour = Mix(colour, Mix(Hex(look.early), Rgb{250, 225, 170}, 0.3), 0.6 * Smoothstep(0.62, 0.72, fleck));
    }
    // Polish deepens the colour and lets a soft, uneven lustre play over it.
    if (look.sheen > 0) {
        colour = Mix(Scale(colour, 0.92), Hex(look.late), 0.15 * look.sheen / 0.08);
        tone *= 1.0 + look.sheen * 1.6 * (n.Fractal(x, y, 2, 3, 2) - 0.5);
    }
    return Scale(colour, tone);
}

struct KnotField {
    double eye;    // 1 inside a knot's dark eye, falling to 0 outside
    double rings;  // -1 to 1: the growth rings curling round nearby knots
};

// Knots at hashed places in 16-pixel cells, more of them where a slow noise
// says so, so they gather in clusters; neighbouring cells wrap, so knots near
// an edge continue across it.
KnotField Knots(const PeriodicNoise& n, double x, double y) {
    constexpr int kCell = 16, kCells = kTileSize / kCell;
    int cx = static_cast<int>(x) / kCell, cy = static_cast<int>(y) / kCell;
    KnotField field{0.0, 0.0};
    double nearest = 1e9;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            int kx = ((cx + dx) % kCells + kCells) % kCells, ky = ((cy + dy) % kCells + kCells) % kCells;
            double chance = 0.15 + 0.8 * n.Value(kx * kCell + 8.0, ky * kCell + 8.0, 3, 3);
            if (n.CellValue(kx + 500, ky) > chance) continue;
            double px = (cx + dx) * kCell + kCell * n.CellValue(kx + 600, ky);
            double py = (cy + dy) * kCell + kCell * n.CellValue(kx + 700, ky);
            double radius = 1.0 + 1.6 * n.CellValue(kx + 800, ky);
            double d = std::hypot(x - px, y - py);
            field.eye = std::max(field.eye, 1.0 - Smoothstep(radius * 0.5, radius + 0.8, d));
            nearest = std::min(nearest, d - radius);
        }
    }
    if (nearest < 12.0) field.rings = std::cos(nearest * 1.3) * (1.0 - nearest / 12.0);
    return field;
}

// Burr veneer: knotted, swirling figure with small dark eyes.
Rgb Burr(uint32_t light, uint32_t dark, uint32_t seed, double x, double y) {
    PeriodicNoise n(seed);
    double wx = x + 60.0 * (n.Fractal(x, y, 4, 4, 3) - 0.5);
    double wy = y + 60.0 * (n.Fractal(x + 97.0, y + 31.0, 4, 4, 3) - 0.5);
    double v = n.Fractal(wx, wy, 8, 8, 4);
    double swirl = 0.5 + 0.5 * std::sin(v * 40.0);
    KnotField knots = Knots(n, x, y);
    Rgb colour = Mix(Hex(light), Hex(dark), 0.2 + 0.4 * swirl * v * 1.4 + 0.18 * knots.rings);
    colour = Mix(colour, Scale(Hex(dark), 0.6), 0.85 * knots.eye);
    return Scale(colour, 0.94 + 0.12 * n.Value(x, y, 128, 128));
}

// Book-matched veneer: the right half mirrors the left, so the figure forms
// chevrons down the middle; the mirror also makes the side edges meet.
Rgb BookMatched(uint32_t light, uint32_t dark, uint32_t seed, double x, double y) {
    PeriodicNoise n(seed);
    double m = x < kSide / 2 ? x : kSide - 1 - x;
    double phase = 10.0 * y / kSide + 3.0 * m / kSide + 1.2 * (n.Fractal(m, y, 2, 3, 3) - 0.5) +
                   0.3 * (n.Fractal(m, y, 16, 4, 2) - 0.5);
    double ring = Fraction(phase);
    double late = Smoothstep(0.5, 0.95, ring) * (1.0 - Smoothstep(0.95, 1.0, ring));
    Rgb colour = Mix(Hex(light), Hex(dark), late * 0.7);
    double tone = 1.0 + 0.22 * (n.Fractal(m, y, 64, 6, 2) - 0.5);
    // A soft sheen across each leaf, brighter towards the centre line.
    tone *= 0.95 + 0.1 * m / (kSide / 2);
    return Scale(colour, tone);
}

Rgb Marble(uint32_t base, uint32_t cloud, uint32_t vein, uint32_t seed, double x, double y) {
    PeriodicNoise n(seed);
    Rgb colour = Mix(Hex(base), Hex(cloud), Smoothstep(0.3, 0.75, n.Fractal(x, y, 3, 3, 5)));
    double turbulence = n.Fractal(x, y, 2, 2, 6, 0.6) - 0.5;
    double wave = std::fabs(std::sin(kTau * (x + 2.0 * y) / kSide + 16.0 * turbulence));
    // A soft halo round a sharper core, as veins bleed into the stone.
    double main = 0.45 * std::pow(1.0 - wave, 5.0) + 0.55 * std::pow(1.0 - wave, 30.0);
    double cross = std::pow(
        1.0 - std::fabs(std::sin(kTau * (2.0 * x - y) / kSide + 14.0 * (n.Fractal(x, y, 3, 3, 5, 0.6) - 0.5))), 24.0);
    double strength = Smoothstep(0.25, 0.7, n.Fractal(x, y, 2, 2, 3));
    colour = Mix(colour, Hex(vein), (0.8 * main + 0.35 * cross) * (0.35 + 0.65 * strength));
    return Scale(colour, 0.97 + 0.06 * n.Value(x, y, 128, 128));
}

// Paint with faint horizontal brush strokes and a little grit.
Rgb Painted(uint32_t paint, uint32_t seed, double x, double y) {
    PeriodicNoise n(seed);
    double strokes = n.Fractal(x, y, 3, 80, 3);
    double tone = 1.0 + 0.07 * (strokes - 0.5) + 0.05 * (n.Fractal(x, y, 2, 2, 2) - 0.5) +
                  0.025 * (n.Value(x, y, 128, 128) - 0.5);
    return Scale(Hex(paint), tone);
}

// Gold leaf laid in 64-pixel squares, each of its own tone, with overlapping
// seams; an antique finish lets the red bole show through worn places. The
// squares are set half a square off the tile's edges so that the wrap falls
// inside a leaf, not on a seam.
Rgb Gilded(bool antique, uint32_t seed, double x, double y) {
    PeriodicNoise n(seed);
    int lx = (static_cast<int>(x) + 32) % kTileSize, ly = (static_cast<int>(y) + 32) % kTileSize;
    int cx = lx / 64, cy = ly / 64;
    Rgb gold = Mix(Hex(0xC9A43E), Hex(0xE8CB6A), n.CellValue(cx, cy));
    double shimmer = n.Fractal(x, y, 4, 4, 3);
    Rgb colour = Mix(Scale(gold, 0.82), Scale(gold, 1.1), shimmer);
    if (lx % 64 == 0 || ly % 64 == 0) colour = Scale(colour, 0.88);
    if (antique) {
        colour = Scale(colour, 0.8);
        double wear = n.Fractal(x, y, 8, 8, 3);
        colour = Mix(colour, Hex(0x7A3424), 0.8 * Smoothstep(0.66, 0.76, wear));
    }
    return Scale(colour, 0.96 + 0.08 * n.Value(x, y, 64, 64));
}

Rgb Felt(uint32_t cloth, uint32_t seed, double x, double y) {
    PeriodicNoise n(seed);
    double fuzz = n.Fractal(x, y, 64, 64, 3);
    double grain = n.CellValue(static_cast<int>(x), static_cast<int>(y));
    double tone = 0.86 + 0.24 * fuzz + 0.08 * (grain - 0.5) + 0.06 * (n.Fractal(x, y, 4, 4, 2) - 0.5);
    return Scale(Hex(cloth), tone);
}

struct TileEntry {
    const char* description;
    std::function<Rgb(double, double)> shade;
};

WoodLook Look(uint32_t early, uint32_t late, int rings, double warp, double figure, double pores,
              bool quarter, double sheen, uint32_t seed) {
    return {early, late, rings, warp, figure, pores, quarter, sheen, seed};
}

std::function<Rgb(double, double)> WoodTile(WoodLook look) {
    return [look](double x, double y) { return Wood(look, x, y); };
}

const TileEntry* Entries() {
    static const TileEntry entries[kBackgroundImages] = {
        {"Oak, natural", WoodTile(Look(0xC9A06A, 0x8E6434, 14, 0.35, 0.30, 0.25, false, 0.0, 101))},
        {"Oak, light stain", WoodTile(Look(0xDDBB84, 0xA67C45, 12, 0.4, 0.25, 0.2, false, 0.0, 102))},
        {"Oak, dark stain", WoodTile(Look(0x6E4A2A, 0x3E2713, 14, 0.35, 0.3, 0.25, false, 0.0, 103))},
        {"Oak, quarter-sawn with ray flecks",
         WoodTile(Look(0xC29660, 0xA27646, 30, 0.08, 0.2, 0.12, true, 0.0, 104))},
        {"Walnut", WoodTile(Look(0x7A5236, 0x4A2E1C, 10, 0.45, 0.3, 0.2, false, 0.0, 105))},
        {"Walnut, polished", WoodTile(Look(0x6E4830, 0x3C2416, 10, 0.45, 0.25, 0.12, false, 0.07, 106))},
        {"Walnut burr veneer",
         [](double x, double y) { return Burr(0x9A6A42, 0x3F2515, 107, x, y); }},
        {"Mahogany", WoodTile(Look(0x8C3F24, 0x5C2414, 16, 0.25, 0.35, 0.2, false, 0.0, 108))},
        {"Mahogany, polished", WoodTile(Look(0x7E3520, 0x4E1C10, 18, 0.2, 0.3, 0.1, false, 0.08, 109))},
        {"Cherry", WoodTile(Look(0xB8704A, 0x8A4A2C, 12, 0.3, 0.22, 0.12, false, 0.0, 110))},
        {"Maple", WoodTile(Look(0xE6CFA0, 0xCDAE78, 14, 0.3, 0.18, 0.05, false, 0.0, 111))},
        {"Rosewood", WoodTile(Look(0x6A2E1E, 0x2E120C, 18, 0.5, 0.35, 0.15, false, 0.03, 112))},
        {"Rosewood, book-matched veneer",
         [](double x, double y) { return BookMatched(0x74321F, 0x2E120B, 113, x, y); }},
        {"Ebony", WoodTile(Look(0x2C221C, 0x120C09, 20, 0.3, 0.45, 0.1, false, 0.04, 114))},
        {"Walnut, book-matched veneer",
         [](double x, double y) { return BookMatched(0x8A603E, 0x46291A, 115, x, y); }},
        {"Maple burr veneer", [](double x, double y) { return Burr(0xE2C28E, 0x9A6C3C, 116, x, y); }},
        {"Marble, white", [](double x, double y) { return Marble(0xEDEBE6, 0xD9D6D0, 0x8E8E94, 117, x, y); }},
        {"Marble, grey", [](double x, double y) { return Marble(0x8C8C8E, 0x6A6A6E, 0xDADADA, 118, x, y); }},
        {"Marble, green", [](double x, double y) { return Marble(0x1F4A36, 0x0F2E20, 0xB8D4C0, 119, x, y); }},
        {"Marble, red", [](double x, double y) { return Marble(0x8A2A24, 0x5E1814, 0xE0C0B0, 120, x, y); }},
        {"Painted panel, cream", [](double x, double y) { return Painted(0xE8DDC0, 121, x, y); }},
        {"Painted panel, green", [](double x, double y) { return Painted(0x3C5A40, 122, x, y); }},
        {"Painted panel, blue", [](double x, double y) { return Painted(0x2E4A72, 123, x, y); }},
        {"Painted panel, burgundy", [](double x, double y) { return Painted(0x6A1E2A, 124, x, y); }},
        {"Gilded panel, bright gold leaf", [](double x, double y) { return Gilded(false, 125, x, y); }},
        {"Gilded panel, antique with red bole showing", [](double x, double y) { return Gilded(true, 126, x, y); }},
        {"Felt, red (key bed)", [](double x, double y) { return Felt(0x9A1E1E, 127, x, y); }},
        {"Felt, green (key bed)", [](double x, double y) { return Felt(0x245A2E, 128, x, y); }},
        {"Felt, black (key bed)", [](double x, double y) { return Felt(0x262424, 129, x, y); }},
        {"Cherry, dark stain", WoodTile(Look(0x7A3E26, 0x4A2214, 12, 0.3, 0.25, 0.15, false, 0.02, 130))},
    };
    return entries;
}

}  // namespace

std::string TileDescription(int number) {
    if (number < 1 || number > kBackgroundImages) return {};
    return Entries()[number - 1].description;
}

QImage MakeTile(int number) {
    if (number < 1 || number > kBackgroundImages) return {};
    return Render(Entries()[number - 1].shade);
}

}  // namespace tessaline::artwork
