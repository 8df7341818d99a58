#include "Noise.h"

#include <cmath>

#include "organ/Constants.h"

namespace tessaline::artwork {
namespace {

uint32_t Hash(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

int Modulo(int value, int period) {
    int m = value % period;
    return m < 0 ? m + period : m;
}

double Fade(double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }

}  // namespace

double PeriodicNoise::CellValue(int ix, int iy) const {
    uint32_t h = Hash(static_cast<uint32_t>(ix) * 0x9E3779B1U ^ Hash(static_cast<uint32_t>(iy) + seed));
    return static_cast<double>(h >> 8) / static_cast<double>(1U << 24);
}

double PeriodicNoise::Value(double x, double y, int cellsX, int cellsY) const {
    double fx = x * cellsX / kTileSize;
    double fy = y * cellsY / kTileSize;
    double flx = std::floor(fx);
    double fly = std::floor(fy);
    int ix = static_cast<int>(flx);
    int iy = static_cast<int>(fly);
    double tx = Fade(fx - flx);
    double ty = Fade(fy - fly);
    int x0 = Modulo(ix, cellsX), x1 = Modulo(ix + 1, cellsX);
    int y0 = Modulo(iy, cellsY), y1 = Modulo(iy + 1, cellsY);
    // Each lattice size gets its own values, so octaves do not line up.
    int salt = cellsX * 1031 + cellsY;
    double a = CellValue(x0 + salt, y0);
    double b = CellValue(x1 + salt, y0);
    double c = CellValue(x0 + salt, y1);
    double d = CellValue(x1 + salt, y1);
    double top = a + (b - a) * tx;
    double bottom = c + (d - c) * tx;
    return top + (bottom - top) * ty;
}

double PeriodicNoise::Fractal(double x, double y, int cellsX, int cellsY, int octaves,
                              double gain) const {
    double sum = 0.0, weight = 1.0, total = 0.0;
    for (int o = 0; o < octaves; ++o) {
        sum += weight * Value(x, y, cellsX << o, cellsY << o);
        total += weight;
        weight *= gain;
    }
    return sum / total;
}

double Wrap(double x, double period) {
    double m = std::fmod(x, period);
    return m < 0 ? m + period : m;
}

double Smoothstep(double edge0, double edge1, double x) {
    double t = (x - edge0) / (edge1 - edge0);
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    return t * t * (3 - 2 * t);
}

}  // namespace tessaline::artwork
