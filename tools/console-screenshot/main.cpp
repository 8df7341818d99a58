// console-screenshot ORGAN.organ OUT.png [--screen WxH]
// Loads the organ without devices and writes the console picture, drawn by
// the renderer on the offscreen platform, to OUT.png. Exits 0 when the organ
// loaded and the picture was written.

#include <cstdio>
#include <cstring>
#include <string>

#include <QFontMetrics>
#include <QGuiApplication>

#include "console/render/ConsoleArtwork.h"
#include "console/render/ConsoleRenderer.h"
#include "organ/Organ.h"
#include "platform/DataDirectory.h"
#include "platform/ErrorReporting.h"
#include "platform/LoadingProgress.h"
#include "platform/virtual/FixedMetricsConsoleView.h"

namespace {

using namespace tessaline;

// The headless window with text measured in the fonts the renderer draws with.
class MeasuringConsoleView : public FixedMetricsConsoleView {
public:
    using FixedMetricsConsoleView::FixedMetricsConsoleView;
    TextSize MeasureText(const FontSpec& font, const std::string& text, uint32_t maxWidth,
                         bool wrap) override {
        QFontMetrics metrics(MakeConsoleFont(font));
        QRect box = metrics.boundingRect(QRect(0, 0, wrap ? static_cast<int>(maxWidth) : 100000, 100000),
                                         wrap ? Qt::TextWordWrap : Qt::TextSingleLine,
                                         QString::fromStdString(text));
        return {static_cast<uint32_t>(box.width()), static_cast<uint32_t>(box.height())};
    }
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: console-screenshot ORGAN.organ OUT.png [--screen WxH]\n");
        return 2;
    }
    unsigned screenWidth = 1920, screenHeight = 1200;
    if (argc >= 5 && std::strcmp(argv[3], "--screen") == 0 &&
        std::sscanf(argv[4], "%ux%u", &screenWidth, &screenHeight) != 2) {
        std::fprintf(stderr, "console-screenshot: the screen size is WIDTHxHEIGHT\n");
        return 2;
    }

    MeasuringConsoleView view(screenWidth, screenHeight);
    CountingLoadingProgress progress;
    Organ organ(view, progress);
    organ.SetDataDirectory(DefaultDataDirectory());
    ConsoleArtwork artwork;
    if (!artwork.Load(DefaultDataDirectory())) {
        std::fprintf(stderr, "console-screenshot: cannot read %s\n", artwork.Missing().c_str());
        return 1;
    }
    if (!organ.Load(argv[1])) return 1;
    ConsoleRenderer renderer(organ, artwork);
    renderer.SetClientSize(static_cast<int>(view.ClientWidth()), static_cast<int>(view.ClientHeight()));
    renderer.DrawConsole();
    if (!renderer.Canvas().save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "console-screenshot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
