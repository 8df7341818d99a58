#include "platform/qt/QtConsoleView.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <algorithm>
#include <climits>

namespace tessaline {

QtConsoleView::QtConsoleView(QMainWindow& mainWindow) : window(mainWindow) {}

ScreenMetrics QtConsoleView::Screen() const {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return {};
    QSize size = screen->geometry().size();
    return {static_cast<uint32_t>(size.width()), static_cast<uint32_t>(size.height()),
            static_cast<uint32_t>(screen->depth())};
}

void QtConsoleView::PlaceWindow(int x, int y, int outerWidth, int outerHeight) {
    window.setFixedSize(outerWidth, outerHeight);
    window.move(x, y);
}

uint32_t QtConsoleView::ClientWidth() const { return static_cast<uint32_t>(window.width()); }

uint32_t QtConsoleView::ClientHeight() const {
    int bars = 0;
    if (QMenuBar* menu = window.menuBar(); menu && !menu->isHidden())
        bars += menu->sizeHint().height();
    if (QStatusBar* status = window.statusBar(); status && !status->isHidden())
        bars += status->sizeHint().height();
    return static_cast<uint32_t>(std::max(0, window.height() - bars));
}

void QtConsoleView::SetTitle(const std::string& title) {
    window.setWindowTitle(QString::fromStdString(title));
}

bool QtConsoleView::FontUsable(const std::string& face) {
    QFontInfo info(QFont(QString::fromStdString(face)));
    return !info.family().isEmpty();
}

QFont QtConsoleView::MakeFont(const FontSpec& spec) {
    QFont font(QString::fromStdString(spec.face));
    font.setPixelSize(std::max(1, spec.height));
    font.setWeight(static_cast<QFont::Weight>(std::clamp(spec.weight, 100, 900)));
    return font;
}

TextSize QtConsoleView::MeasureText(const FontSpec& spec, const std::string& text,
                                    uint32_t maxWidth, bool wrap) {
    QFontMetrics metrics(MakeFont(spec));
    QString string = QString::fromStdString(text);
    QRect bounds;
    if (wrap) {
        int width = static_cast<int>(std::min<uint32_t>(maxWidth, INT_MAX / 2));
        bounds = metrics.boundingRect(QRect(0, 0, width, INT_MAX / 2),
                                      Qt::AlignHCenter | Qt::TextWordWrap, string);
    } else {
        bounds = QRect(0, 0, metrics.horizontalAdvance(string), metrics.height());
    }
    return {static_cast<uint32_t>(std::max(0, bounds.width())),
            static_cast<uint32_t>(std::max(0, bounds.height()))};
}

void QtConsoleView::RequestRedraw() {
    if (ConsoleWidget* widget = console.load(std::memory_order_acquire)) widget->QueueRedraw();
}

void QtConsoleView::RequestKeyRedraw(int manual, int key) {
    if (ConsoleWidget* widget = console.load(std::memory_order_acquire))
        widget->QueueKeyRedraw(manual, key);
}

void QtConsoleView::RequestControlRedraw(const Control& control) {
    if (ConsoleWidget* widget = console.load(std::memory_order_acquire))
        widget->QueueControlRedraw(control);
}

void QtConsoleView::RequestEnclosureBarRedraw(int enclosure) {
    if (ConsoleWidget* widget = console.load(std::memory_order_acquire))
        widget->QueueEnclosureBarRedraw(enclosure);
}

void QtConsoleView::ShowFrame(uint32_t) {
    // The pane reads the frame number itself when it is updated.
    if (frameShown) QMetaObject::invokeMethod(&window, frameShown, Qt::QueuedConnection);
}

}  // namespace tessaline
