#pragma once
// A mock console composed from the built-in images the way the console window
// draws them, so the artwork can be judged in place.

#include <QImage>
#include <QPoint>

#include "Artwork.h"

namespace tessaline::artwork {

inline constexpr int kPreviewWidth = 1016;
inline constexpr int kPreviewHeight = 668;

// The console's composition of a control: the block of `window` at `at`, as
// large as `picture`, becomes (picture AND mask) OR (block AND NOT mask).
QImage ComposeOver(const QImage& window, QPoint at, const QImage& picture, const QImage& mask);

QImage MakePreview(const ArtworkSet& set);

}  // namespace tessaline::artwork
