#pragma once
// Every built-in image of the console, generated from fixed seeds: the same
// program makes the same bytes on every run.

#include <QImage>
#include <QString>
#include <array>
#include <vector>

#include "Controls.h"
#include "organ/Constants.h"

namespace tessaline::artwork {

struct ArtworkSet {
    std::array<QImage, kBackgroundImages> tiles;  // 8-bit palette; tile n at [n - 1]
    std::array<DrawstopSet, kDrawstopImageSets> drawstops;
    std::array<MaskedPicture, kButtonImageSets> buttons;
    MaskedPicture label;
    QImage splash;
    std::array<QImage, 3> icons;  // 256, 48 and 32 pixels
};

ArtworkSet MakeArtwork();

struct ArtworkFile {
    QString name;  // file name in the images directory
    const QImage* image;
};

// The file of every image of `set`, in a fixed order.
std::vector<ArtworkFile> ArtworkFiles(const ArtworkSet& set);

// The README of the images directory: what each tile shows, which picture is
// which, and the mask convention.
QString ImagesReadme();

// Writes every image as PNG, and the README, into `directory` (created when
// missing). On failure returns false with the reason in `error`.
bool WriteArtwork(const ArtworkSet& set, const QString& directory, QString& error);

}  // namespace tessaline::artwork
