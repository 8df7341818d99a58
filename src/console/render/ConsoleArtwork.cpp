#include "console/render/ConsoleArtwork.h"

#include <cstdio>

namespace tessaline {

bool ConsoleArtwork::Read(const std::string& folder, const std::string& file, QImage& into) {
    std::string path = folder + file;
    QImage image(QString::fromStdString(path));
    if (image.isNull()) {
        if (missing.empty()) missing = path;
        return false;
    }
    // Palette tiles and 1-bit masks alike become 32-bit pixels, so that the
    // composition works on whole words.
    into = image.convertToFormat(QImage::Format_RGB32);
    return true;
}

bool ConsoleArtwork::Load(const std::string& dataDirectory) {
    missing.clear();
    std::string folder = dataDirectory + "/images/";
    bool ok = true;
    for (int n = 1; n <= kBackgroundImages; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "background%02d.png", n);
        ok = Read(folder, name, tiles[static_cast<size_t>(n - 1)]) && ok;
    }
    for (size_t k = 0; k < kDrawstopImageSets; ++k) {
        std::string set = "drawstop" + std::to_string(k + 1);
        ok = Read(folder, set + "-disengaged.png", drawstopOff[k]) && ok;
        ok = Read(folder, set + "-engaged.png", drawstopOn[k]) && ok;
        ok = Read(folder, set + "-mask.png", drawstopMask[k]) && ok;
    }
    for (size_t k = 0; k < kButtonImageSets; ++k) {
        std::string set = "button" + std::to_string(k + 1);
        ok = Read(folder, set + ".png", button[k]) && ok;
        ok = Read(folder, set + "-mask.png", buttonMask[k]) && ok;
    }
    ok = Read(folder, "label.png", plate) && ok;
    ok = Read(folder, "label-mask.png", plateMask) && ok;
    return ok;
}

const QImage& ConsoleArtwork::Tile(uint32_t number) const {
    if (number < 1 || number > static_cast<uint32_t>(kBackgroundImages)) return none;
    return tiles[number - 1];
}

}  // namespace tessaline
