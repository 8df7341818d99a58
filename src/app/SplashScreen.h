#pragma once
// The splash screen shown once at start-up: a borderless picture that closes
// itself after a while; a key closes it sooner, but only once it has shown
// for a second, so a key still held from starting the program is ignored.

#include <QDialog>
#include <QElapsedTimer>

namespace tessaline {

class SplashScreen : public QDialog {
    Q_OBJECT
public:
    static constexpr int kKeysIgnoredMilliseconds = 1000;

    SplashScreen(const QString& picturePath, int showMilliseconds, QWidget* parent = nullptr);
    // UI. Shows the splash modally until it closes.
    void Run();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int showMilliseconds;
    QElapsedTimer shown;
};

}  // namespace tessaline
