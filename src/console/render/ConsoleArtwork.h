#pragma once
// The console's built-in pictures, read once from the data directory's
// images/ folder and kept in the canvas's pixel format: the 30 background
// tiles, the two drawstop sets, the two button sets and the label plate, each
// picture with its 1-bit mask (white where the picture shows).
//
// Threads: UI.

#include <array>
#include <string>

#include <QImage>

#include "organ/Constants.h"

namespace tessaline {


class ConsoleArtwork {
public:
    // Reads every picture from directory + "/images/". False when one is
    // missing or unreadable; `missing` then names the first such file.
    bool Load(const std::string& dataDirectory);
    const std::string& Missing() const { return missing; }

    // Tile n, 1..30; a null image for any other number.
    const QImage& Tile(uint32_t number) const;

    std::array<QImage, kBackgroundImages> tiles;
    std::array<QImage, kDrawstopImageSets> drawstopOff, drawstopOn, drawstopMask;
    std::array<QImage, kButtonImageSets> button, buttonMask;
    QImage plate, plateMask;

private:
    bool Read(const std::string& folder, const std::string& file, QImage& into);
    std::string missing;
    QImage none;
};

}  // namespace tessaline
