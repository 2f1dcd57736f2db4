#include "BuildInfo.h"
#include "app/CVellumApp.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/qt/QtGraphics.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtTranslations.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kHelp[] = "用法：tessaly [选项] [文件]\n"
                         "按计划在网页中执行脚本和鼠标操作。文件：启动时打开的文档。\n"
                         "\n"
                         "  --restore          恢复上次保存的标签页和任务\n"
                         "  --start            开始所有恢复或载入的标签页的任务\n"
                         "  --catalogue 文件   在第一个标签页载入配置文件\n"
                         "  --list 文件        在第一个标签页导入执行列表\n"
                         "  --hidden           启动时隐藏到通知区域（没有通知区域时最小化）\n"
                         "  -h, --help         显示本帮助并退出\n"
                         "  -v, --version      显示版本并退出\n"
                         "\n"
                         "程序文件（Config.xml、Config/、Orvane.ini）保存在程序所在文件夹；\n"
                         "该文件夹不可写时（已安装的程序），保存在 $XDG_DATA_HOME/tessaly/\n"
                         "（默认 ~/.local/share/tessaly/）。\n";

} // namespace

int main(int argc, char **argv)
{
    // Answered before Qt starts, so they need no display and open no window.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            std::printf("Tessaly %s\n", TESSALY_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Tessaly %s\n%s", TESSALY_VERSION, kHelp);
            return 0;
        }
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QtTranslations::Install();
    QtGraphics::ChooseRenderer();
    // Message boxes of the earliest start-up steps already need the Qt backend.
    QtPlatform::Install();
#if TESSALY_TEST_SEAMS
    // The test build answers message boxes on standard error.
    if (const char *answer = std::getenv("TESSALY_ANSWER_MESSAGE_BOXES"); answer && *answer) {
        SetMessageBoxSeam([](HWND, const wstring16 &text, const wstring16 &caption, UINT) {
            std::fprintf(
                stderr, "MessageBox [%s] %s\n", WideString::ToUtf8(caption).c_str(), WideString::ToUtf8(text).c_str());
            return IDOK;
        });
    }
#endif
    CVellumApp theApp;
    if (!theApp.InitInstance(QApplication::arguments()))
        return 1;
    return app.exec();
}
