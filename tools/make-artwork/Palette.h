#pragma once
// Reduces a true-colour picture to an 8-bit palette picture, as the console's
// background tiles are stored. Every pixel maps to its nearest palette colour on
// its own (no dithering), so a tile that meets itself at the edges still does.

#include <QImage>

namespace tessaline::artwork {

// The palette is chosen by median cut over the picture's own colours; at most
// 256 entries. Deterministic: the same picture gives the same bytes.
QImage ToPalette(const QImage& picture);

}  // namespace tessaline::artwork
