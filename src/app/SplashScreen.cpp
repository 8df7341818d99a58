#include "app/SplashScreen.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>

namespace tessaline {

SplashScreen::SplashScreen(const QString& picturePath, int milliseconds, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), showMilliseconds(milliseconds) {
    auto* picture = new QLabel(this);
    picture->setPixmap(QPixmap(picturePath));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(picture);
}

void SplashScreen::Run() {
    shown.start();
    QTimer::singleShot(showMilliseconds, this, &QDialog::accept);
    exec();
}

void SplashScreen::keyPressEvent(QKeyEvent* event) {
    if (shown.isValid() && shown.elapsed() >= kKeysIgnoredMilliseconds)
        accept();
    else
        event->accept();
}

}  // namespace tessaline
