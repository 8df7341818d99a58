// The shell's tests need a QApplication; they run on the offscreen platform,
// with a screen large enough for a medium console.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    // The plain offscreen platform (as the test script sets it) has too small
    // a screen for the demo organ, so it gets the test screen too; a platform
    // chosen otherwise is kept.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen")
        qputenv("QT_QPA_PLATFORM", APP_TEST_PLATFORM);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
