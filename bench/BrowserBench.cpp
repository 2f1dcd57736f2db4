// Figures of the application shell with the real browser: start to home page
// loaded, ExecScript latency, delivery of a posted click to the page, and the
// memory of the whole process tree with 1 and with 5 tabs on the home page.
// Prints one line per figure; asserts nothing.

#include "app/CChildFrame.h"
#include "app/CDocumentTabs.h"
#include "app/CMainFrame.h"
#include "app/CVellumApp.h"
#include "app/CVellumView.h"
#include "bench/BenchApplication.h"
#include "bench/EventLoopWait.h"
#include "platform/FileSystem.h"
#include "platform/Window.h"
#include "platform/qt/QtGraphics.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Milliseconds since this process was started by the system.
double MillisecondsSinceProcessStart()
{
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    // Field 22 (starttime) is the 20th after the command name.
    for (int i = 0; i < 20; ++i)
        fields >> field;
    const double startTicks = std::stod(field);
    timespec now {};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
    return nowMs - startTicks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())));
    return values[index];
}

void Wait(int milliseconds)
{
    WaitFor([] { return false; }, milliseconds);
}

bool WaitForLoad(CVellumView *view)
{
    return WaitFor([view] { return view->HasPage() && !view->page()->isLoading(); }, 30000);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QtGraphics::ChooseRenderer();
    QTemporaryDir folder;
    // The application writes its catalogue beside the executable it believes it is.
    FileSystem::SetModuleFileNameForTest((folder.path() + QStringLiteral("/tessaly")).toStdU16String());

    CVellumApp theApp;
    if (!theApp.InitInstance({QStringLiteral("tessaly")})) {
        std::printf("start-up failed\n");
        return 1;
    }
    CMainFrame *frame = theApp.MainFrame();
    CVellumView *home = frame->ActiveView();
    if (!WaitForLoad(home)) {
        std::printf("home page did not load\n");
        return 1;
    }
    std::printf("start_to_home_loaded_ms %.1f\n", MillisecondsSinceProcessStart());

    // Let the page settle before timing calls on it.
    Wait(500);
    std::vector<double> exec;
    for (int i = 0; i < 100; ++i) {
        wstring16 result;
        QElapsedTimer clock;
        clock.start();
        home->ExecScript(
            u"document.getElementById('counter').textContent.length + " + QString::number(i).toStdU16String(),
            u"javascript", result);
        exec.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::printf("exec_script_p50_ms %.3f\nexec_script_p99_ms %.3f\n", Percentile(exec, 0.5), Percentile(exec, 0.99));

    // The click handler names the page; the title change marks delivery.
    wstring16 ignored;
    home->ExecScript(
        u"var clicks = 0; document.addEventListener('click', function () { document.title = 'click ' + (++clicks); })",
        u"", ignored);
    HWND content = home->GetContentWindow();
    std::vector<double> clicks;
    for (int i = 1; i <= 50; ++i) {
        const QString expected = QStringLiteral("click %1").arg(i);
        QElapsedTimer clock;
        clock.start();
        const LPARAM at = MAKELPARAM(20, static_cast<WORD>(20 + (i % 2) * 40));
        PostMessageW(content, WM_MOUSEMOVE, 0, at);
        PostMessageW(content, WM_LBUTTONDOWN, 0, at);
        PostMessageW(content, WM_LBUTTONUP, 0, at);
        if (!WaitFor([&] { return home->title() == expected; }, 5000))
            break;
        clicks.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        Wait(20);
    }
    std::printf("click_delivery_p50_ms %.3f\nclick_delivery_p99_ms %.3f\nclick_samples %zu\n", Percentile(clicks, 0.5),
        Percentile(clicks, 0.99), clicks.size());

    Wait(1000);
    const double one = TreePssMb();
    std::printf("pss_1_tab_mb %.1f\n", one);
    for (int i = 0; i < 4; ++i) {
        CChildFrame *tab = frame->OnFileNew();
        tab->GetBrowserView()->NavigateUrl(CVellumApp::kHomePageUrl, false);
        WaitForLoad(tab->GetBrowserView());
    }
    Wait(2000);
    const double five = TreePssMb();
    std::printf("pss_5_tabs_mb %.1f\npss_per_extra_tab_mb %.1f\n", five, (five - one) / 4);
    return 0;
}
