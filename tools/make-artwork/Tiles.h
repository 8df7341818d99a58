#pragma once
// The 30 background tiles of the console, numbered 1 to 30 as organ files
// choose them with their Disp*BackgroundImageNum keys.

#include <QImage>
#include <string>

namespace tessaline::artwork {

// What tile `number` (1 to 30) shows, for the organ builder's list; empty
// for any other number.
std::string TileDescription(int number);

// Tile `number` (1 to 30) as a true-colour 256 by 256 picture that meets
// itself at the left/right and top/bottom edges; a null image for any other
// number.
QImage MakeTile(int number);

}  // namespace tessaline::artwork
