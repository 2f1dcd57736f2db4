// Test main for suites with widgets and browsers: one QApplication for the whole
// run, per-user settings and data redirected to a temporary folder.

#include "tests/common/TempDir.h"

#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/qt/QtGraphics.h"

#include <QApplication>
#include <QStandardPaths>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// A message box no test asked for would wait for a person until the suite's time
// runs out. It fails the test instead, at once. Tests that expect boxes install
// their own answer (or the real box) in their set-up, after this one.
class UnexpectedMessageBoxes : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo &) override { SetMessageBoxSeam(&Fail); }
    void OnTestEnd(const ::testing::TestInfo &) override { SetMessageBoxSeam(&Fail); }

private:
    static int Fail(HWND, const wstring16 &text, const wstring16 &caption, UINT)
    {
        ADD_FAILURE() << "a message box nobody expected: [" << WideString::ToUtf8(caption) << "] "
                      << WideString::ToUtf8(text);
        return IDCANCEL;
    }
};

} // namespace

#if defined(__SANITIZE_ADDRESS__)
// The prebuilt browser engine frees some of its objects with another size than
// it made them with; it and the system libraries under it (fonts, udev, D-Bus)
// keep a few allocations to the end of the process. Neither is ours to mend;
// our own code still gets every check.
extern "C" const char *__asan_default_options() { return "new_delete_type_mismatch=0"; }
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libQt6WebEngineCore.so\nleak:libfontconfig.so\nleak:libudev.so\nleak:libdbus-1.so\n";
}
#endif

#if defined(__SANITIZE_THREAD__)
// Qt, the browser engine and the system libraries under them are not built for
// ThreadSanitizer: their own locks are invisible to it, so what they hand
// between threads looks like a race. That includes the engine's threads calling
// the string code our binaries carry, and descriptors its event loop still
// watches when a number is reused.
extern "C" const char *__tsan_default_suppressions()
{
    return "called_from_lib:libQt6WebEngineCore.so\nrace:libQt6Core.so\nrace:libQt6Gui.so\nrace:libQt6Widgets.so\n"
           "race:libglib-2.0.so\nrace:libfontconfig.so\nrace:libdbus-1.so\nthread:libQt6WebEngineCore.so\n"
           "race:libQt6WebEngineCore.so\nrace:libevent-2.1.so\nrace:libudev.so\nrace:libxkbcommon.so\n"
           "race:swrast_dri.so\nrace:libxcb.so\nrace:libQt6DBus.so\n";
}
// The children on the X server start Qt's threads after a fork.
extern "C" const char *__tsan_default_options() { return "die_after_fork=0"; }
#endif

int main(int argc, char **argv)
{
#if defined(__SANITIZE_ADDRESS__)
    // The real program, started by the end-to-end tests, meets the same engine.
    setenv("ASAN_OPTIONS", "new_delete_type_mismatch=0:detect_leaks=0", 0);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new UnexpectedMessageBoxes);
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
