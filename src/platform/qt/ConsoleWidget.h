#pragma once
// The client area of the main window where the console is drawn. Until a
// painter is set it shows the plain grey face of an empty console.

#include <QWidget>
#include <functional>

namespace tessaline {

class ConsoleWidget : public QWidget {
    Q_OBJECT
public:
    using Painter = std::function<void(QPainter&, const QRect& dirty)>;

    explicit ConsoleWidget(QWidget* parent = nullptr);
    // UI. Draws the console from now on (an empty painter: the grey face).
    void SetPainter(Painter paint);
    // Repaints handled so far; tests count coalesced redraws by it.
    int Paints() const { return paints; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Painter painter;
    int paints = 0;
};

}  // namespace tessaline
