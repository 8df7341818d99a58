#pragma once
// Test and headless back end of the console view: a screen of a chosen size, a
// window frame of fixed metrics, every face name usable except those listed as
// missing, and text measured at a fixed advance per character.

#include <algorithm>
#include <set>
#include <string>
#include <vector>
#include <utility>

#include "platform/ConsoleView.h"

namespace tessaline {

class FixedMetricsConsoleView : public ConsoleView {
public:
    // Frame metrics of the fake window: outer size less these gives the
    // client area (H also loses the status bar).
    static constexpr int kFrameWidth = 8;
    static constexpr int kFrameHeight = 50;  // caption, menu bar and borders
    static constexpr int kStatusBarHeight = 20;

    explicit FixedMetricsConsoleView(uint32_t screenWidth = 1920, uint32_t screenHeight = 1200,
                                     uint32_t bitsPerPixel = 32)
        : screen{screenWidth, screenHeight, bitsPerPixel} {}

    ScreenMetrics Screen() const override { return screen; }
    void PlaceWindow(int x, int y, int outerWidth, int outerHeight) override {
        windowX = x;
        windowY = y;
        windowWidth = outerWidth;
        windowHeight = outerHeight;
        ++placements;
    }
    uint32_t ClientWidth() const override {
        return static_cast<uint32_t>(std::max(0, windowWidth - kFrameWidth));
    }
    uint32_t ClientHeight() const override {
        return static_cast<uint32_t>(std::max(0, windowHeight - kFrameHeight - kStatusBarHeight));
    }
    void SetTitle(const std::string& text) override { title = text; }
    bool FontUsable(const std::string& face) override { return missingFaces.count(face) == 0; }
    // Each character advances height / 2 pixels; wrapped text breaks at
    // maxWidth on character boundaries.
    TextSize MeasureText(const FontSpec& font, const std::string& text, uint32_t maxWidth,
                         bool wrap) override {
        uint32_t advance = static_cast<uint32_t>(std::max(1, font.height / 2));
        uint32_t width = static_cast<uint32_t>(text.size()) * advance;
        uint32_t lines = 1;
        if (wrap && maxWidth > 0 && width > maxWidth) {
            uint32_t perLine = std::max<uint32_t>(1, maxWidth / advance);
            lines = (static_cast<uint32_t>(text.size()) + perLine - 1) / perLine;
            width = perLine * advance;
        }
        return {width, lines * static_cast<uint32_t>(font.height)};
    }
    void RequestRedraw() override { ++redraws; }
    void ShowFrame(uint32_t shownNumber) override { shownFrame = shownNumber; }
    void RequestKeyRedraw(int manual, int key) override {
        ++keyRedraws;
        lastKeyRedraw = {manual, key};
    }
    void RequestControlRedraw(const Control& control) override {
        ++controlRedraws;
        lastControlRedraw = &control;
    }

    void RequestEnclosureBarRedraw(int enclosure) override { enclosureBarRedraws.push_back(enclosure); }

    ScreenMetrics screen;
    std::set<std::string> missingFaces;
    int windowX = 0, windowY = 0;
    int windowWidth = 792, windowHeight = 560;
    int placements = 0;
    int redraws = 0;
    uint32_t shownFrame = 0;  // the last frame number the status bar was given
    int keyRedraws = 0;
    int controlRedraws = 0;
    std::pair<int, int> lastKeyRedraw{-1, -1};  // manual, key
    const Control* lastControlRedraw = nullptr;
    std::vector<int> enclosureBarRedraws;  // enclosure indices, in request order
    std::string title = "Tessaline Console";
};

}  // namespace tessaline
