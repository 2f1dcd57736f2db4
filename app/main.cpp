#include "app/CVellumApp.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/qt/QtGraphics.h"
#include "platform/qt/QtPlatform.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QtGraphics::ChooseRenderer();
    // Message boxes of the earliest start-up steps already need the Qt backend.
    QtPlatform::Install();
    // Runs of the program under test answer message boxes on standard error.
    if (const char *answer = std::getenv("TESSALY_ANSWER_MESSAGE_BOXES"); answer && *answer) {
        SetMessageBoxSeam([](HWND, const wstring16 &text, const wstring16 &caption, UINT) {
            std::fprintf(
                stderr, "MessageBox [%s] %s\n", WideString::ToUtf8(caption).c_str(), WideString::ToUtf8(text).c_str());
            return IDOK;
        });
    }
    CVellumApp theApp;
    if (!theApp.InitInstance(QApplication::arguments()))
        return 1;
    return app.exec();
}
