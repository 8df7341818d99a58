// make-artwork: writes the console's built-in images.
//   make-artwork DIRECTORY           every image and a README into DIRECTORY
//   make-artwork --preview OUT.png   a mock console composed from the images

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>
#include <cstring>

#include "Artwork.h"
#include "Preview.h"

int main(int argc, char** argv) {
    // Drawing needs fonts but never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    bool preview = argc == 3 && std::strcmp(argv[1], "--preview") == 0;
    // An option that is not --preview OUT.png is a mistake, never a directory name.
    if (!preview && (argc != 2 || argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: make-artwork DIRECTORY\n       make-artwork --preview OUT.png\n");
        return 2;
    }
    using namespace tessaline::artwork;
    // Check the destination before the few seconds of drawing.
    if (preview) {
        QFile out(QString::fromLocal8Bit(argv[2]));
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || !MakePreview(MakeArtwork()).save(&out, "PNG")) {
            std::fprintf(stderr, "make-artwork: cannot write %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    QString directory = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(directory)) {
        std::fprintf(stderr, "make-artwork: cannot create %s\n", argv[1]);
        return 1;
    }
    QString error;
    if (!WriteArtwork(MakeArtwork(), directory, error)) {
        std::fprintf(stderr, "make-artwork: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
