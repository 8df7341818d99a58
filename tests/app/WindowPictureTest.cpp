// The whole window with the demo organ, as a picture in the build tree: menu
// bar, console and status bar, painted as the live window paints them.

#include <gtest/gtest.h>

#include <QDir>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <filesystem>

#include "ShellRig.h"

namespace tessaline {
namespace {

TEST(WindowPicture, TheDemoOrganFillsTheWindowBetweenMenuBarAndStatusBar) {
    const std::string organ = std::string(DEMO_ORGAN_DIRECTORY) + "/Tessaline Demo Organ.organ";
    ASSERT_TRUE(std::filesystem::exists(organ)) << organ << " (build target demo-organ makes it)";
    test::ShellRig rig;
    rig.StartSetUp();
    MainWindow& window = *rig.window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(window.LoadOrganFromPath(organ)) << rig.Reports()[0];
    QTest::qWait(100);
    ASSERT_EQ(rig.errors.Count(), 0u) << rig.Reports()[0];

    QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const std::string path = std::string(WINDOW_PICTURE_DIRECTORY) + "/tessaline-window.png";
    QDir().mkpath(WINDOW_PICTURE_DIRECTORY);
    ASSERT_TRUE(shot.save(QString::fromStdString(path))) << path;

    // The window has the size the organ asked for, the menu bar on top, the
    // status bar at the bottom and the renderer's console between them.
    EXPECT_EQ(shot.size(), QSize(1016, 728));
    const QRect console = window.Console().geometry();
    EXPECT_EQ(console.top(), window.menuBar()->geometry().bottom() + 1);
    EXPECT_EQ(console.bottom() + 1, window.statusBar()->geometry().top());
    EXPECT_EQ(window.statusBar()->geometry().bottom() + 1, shot.height());
    EXPECT_EQ(shot.copy(console), window.Console().Renderer().Canvas().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(window.windowTitle().toStdString(), "Tessaline Console - Tessaline Demo Organ");
}

}  // namespace
}  // namespace tessaline
