// Test main for suites with widgets and browsers: one QApplication for the whole
// run, per-user settings and data redirected to a temporary folder.

#include "tests/common/TempDir.h"

#include "platform/qt/QtGraphics.h"

#include <QApplication>
#include <QStandardPaths>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TempDir home;
    setenv("HOME", home.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home.Path() / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home.Path() / "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home.Path() / "cache").c_str(), 1);
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // The pages are drawn as the program draws them.
    QtGraphics::ChooseRenderer();
    return RUN_ALL_TESTS();
}
