#include "platform/qt/ConsoleWidget.h"

#include <QPaintEvent>
#include <QPainter>

namespace tessaline {

namespace {
// The face of a console with no organ.
const QColor kEmptyFace(192, 192, 192);
}  // namespace

ConsoleWidget::ConsoleWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void ConsoleWidget::SetPainter(Painter paint) {
    painter = std::move(paint);
    update();
}

void ConsoleWidget::paintEvent(QPaintEvent* event) {
    ++paints;
    QPainter p(this);
    if (painter)
        painter(p, event->rect());
    else
        p.fillRect(event->rect(), kEmptyFace);
}

}  // namespace tessaline
