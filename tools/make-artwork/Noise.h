#pragma once
// Noise that repeats exactly every tile: every lattice has a whole number of
// cells across the tile, and lattice indices wrap, so a texture built from it
// meets itself at the left/right and top/bottom edges.

#include <cstdint>

namespace tessaline::artwork {

class PeriodicNoise {
public:
    explicit PeriodicNoise(uint32_t seed) : seed(seed) {}

    // Smooth value noise in [0, 1] at tile pixel (x, y) on a lattice of
    // cellsX by cellsY cells over the tile side; both at least 1.
    double Value(double x, double y, int cellsX, int cellsY) const;

    // Sum of `octaves` layers, each with twice the cells and `gain` times the
    // weight of the one before, scaled back to [0, 1].
    double Fractal(double x, double y, int cellsX, int cellsY, int octaves,
                   double gain = 0.5) const;

    // A hashed value in [0, 1) for an integer cell, for per-cell choices.
    double CellValue(int ix, int iy) const;

private:
    uint32_t seed;
};

// x mod `period` for any sign, the period being the tile side by default.
double Wrap(double x, double period);

double Smoothstep(double edge0, double edge1, double x);

}  // namespace tessaline::artwork
