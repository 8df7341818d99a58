#pragma once
// The console view of the application: the main window, its console widget
// and its status bar seen through the ConsoleView interface.

#include <QMainWindow>
#include <atomic>
#include <functional>

#include "console/render/ConsoleWidget.h"
#include "platform/ConsoleView.h"

namespace tessaline {

class QtConsoleView : public ConsoleView {
public:
    // The window must outlive the view.
    explicit QtConsoleView(QMainWindow& window);
    // UI. The widget that paints the console, once it exists (it is made
    // after the organ, which needs the view first). Until then redraw
    // requests have nothing to paint.
    void SetConsole(ConsoleWidget* widget) { console = widget; }
    // UI. Called on the UI thread after the registration frame changed, to
    // show it in the status bar.
    void SetFrameShown(std::function<void()> shown) { frameShown = std::move(shown); }

    // The primary screen; 0 x 0 when there is none.
    ScreenMetrics Screen() const override;
    // The outer size is the window's own size with its menu bar, console and
    // status bar (the desktop's frame comes on top). The window keeps that
    // fixed size: the player cannot resize it.
    void PlaceWindow(int x, int y, int outerWidth, int outerHeight) override;
    uint32_t ClientWidth() const override;
    // The window's height less the menu bar and the status bar.
    uint32_t ClientHeight() const override;
    void SetTitle(const std::string& title) override;
    bool FontUsable(const std::string& face) override;
    TextSize MeasureText(const FontSpec& font, const std::string& text, uint32_t maxWidth,
                         bool wrap) override;
    // Any thread. The console widget queues and coalesces the requests and
    // paints them on the UI thread.
    void RequestRedraw() override;
    void RequestKeyRedraw(int manual, int key) override;
    void RequestControlRedraw(const Control& control) override;
    void RequestEnclosureBarRedraw(int enclosure) override;
    // Any thread: the status bar follows on the UI thread.
    void ShowFrame(uint32_t shownNumber) override;

    // The font a FontSpec names: face, pixel height, weight.
    static QFont MakeFont(const FontSpec& font);

private:
    QMainWindow& window;
    std::atomic<ConsoleWidget*> console{nullptr};
    std::function<void()> frameShown;
};

}  // namespace tessaline
