#pragma once
// The splash picture shown while the program starts, and the application icon:
// a façade of organ pipes in a wooden case.

#include <QImage>

namespace tessaline::artwork {

inline constexpr int kSplashWidth = 400;
inline constexpr int kSplashHeight = 300;

// `background` is the wood tile the case is cut from.
QImage MakeSplash(const QImage& background);

// Square icon of `size` pixels (ARGB, transparent outside its rounded panel).
QImage MakeIcon(int size);

}  // namespace tessaline::artwork
