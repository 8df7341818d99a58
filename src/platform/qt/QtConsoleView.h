#pragma once
// The console view of the application: the main window, its console widget
// and its status bar seen through the ConsoleView interface.

#include <QMainWindow>
#include <QObject>
#include <atomic>

#include "platform/ConsoleView.h"
#include "platform/qt/ConsoleWidget.h"

namespace tessaline {

class QtConsoleView : public ConsoleView {
public:
    // Both must outlive the view.
    QtConsoleView(QMainWindow& window, ConsoleWidget& console);

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
    // Any thread. Requests made before the UI thread gets to them come to one
    // repaint.
    void RequestRedraw() override;

    // The font a FontSpec names: face, pixel height, weight.
    static QFont MakeFont(const FontSpec& font);

private:
    QMainWindow& window;
    ConsoleWidget& console;
    QObject context;  // queued redraws die with the view
    std::atomic<bool> redrawPending{false};
};

}  // namespace tessaline
