// What isolated tabs cost: the memory of the whole process tree (PSS) that a
// tab adds in the default container, in a new named container and as a second
// tab of that container; and the time from asking for a tab in a new container
// to its home page painted, against a tab in the default container. Prints one
// line per figure; asserts nothing. TESSALY_BENCH_CONTAINERS sets how many new
// containers are timed (default 5).

#include "app/CChildFrame.h"
#include "app/CContainers.h"
#include "app/CMainFrame.h"
#include "app/CVellumApp.h"
#include "app/CVellumView.h"
#include "bench/BenchApplication.h"
#include "bench/EventLoopWait.h"
#include "platform/FileSystem.h"
#include "util/FileFunctions.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void Settle(int milliseconds)
{
    WaitFor([] { return false; }, milliseconds);
}

// Milliseconds from asking for the tab to its home page painted: loaded, and
// two animation frames later (the second comes once the first was drawn).
double OpenTab(CMainFrame &frame, const QString &container, CChildFrame **opened = nullptr)
{
    QElapsedTimer clock;
    clock.start();
    CChildFrame *tab = frame.CreateChildFrame(nullptr, true, container);
    if (!tab)
        return -1;
    CVellumView *view = tab->GetBrowserView();
    bool painted = false;
    QObject::connect(view, &CVellumView::PageLoaded, view, [view](bool) {
        view->page()->runJavaScript(QStringLiteral("requestAnimationFrame(function () { requestAnimationFrame(function "
                                                   "() { document.title = 'painted'; }); })"));
    });
    QObject::connect(view, &QWebEngineView::titleChanged, view, [&painted](const QString &title) {
        if (title == QStringLiteral("painted"))
            painted = true;
    });
    view->NavigateUrl(CVellumApp::kHomePageUrl, false);
    if (!WaitFor([&] { return painted; }, 30000))
        return -1;
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    QObject::disconnect(view, &QWebEngineView::titleChanged, nullptr, nullptr);
    if (opened)
        *opened = tab;
    return ms;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    PrepareBenchProcess();
    QApplication app(argc, argv);
    InstallBenchPlatform();
    const char *countText = std::getenv("TESSALY_BENCH_CONTAINERS");
    const int count = countText ? std::max(1, std::atoi(countText)) : 5;

    QTemporaryDir dir;
    g_strAppDir = (dir.path() + QStringLiteral("/")).toStdU16String();
    g_strConfigDir = g_strAppDir + u"Config/";
    g_bNavigateHome = false;
    if (!KorrinUtilsFuns::ExtractResourceToFile(
            GetModuleHandleW(nullptr), CVellumApp::IDR_CONFIG, u"CONFIG", g_strAppDir + u"Config.xml") ||
        !KorrinUtilsFuns::CreateFolderPath(g_strConfigDir))
        return 1;

    CMainFrame frame;
    if (!frame.LoadFrame())
        return 1;
    frame.resize(1200, 800);
    frame.show();

    constexpr int kSettleMs = 2500;
    // The engine's own start and the first tab are paid once, whatever the container.
    std::vector<double> defaultMs;
    defaultMs.push_back(OpenTab(frame, QString()));
    Settle(kSettleMs);
    const double base = TreePssMb();
    defaultMs.push_back(OpenTab(frame, QString()));
    Settle(kSettleMs);
    const double withDefault = TreePssMb();

    QString error;
    const QString first = frame.Containers()->Create(QStringLiteral("容器一"), &error);
    const double firstMs = OpenTab(frame, first);
    Settle(kSettleMs);
    const double withContainer = TreePssMb();
    const double secondMs = OpenTab(frame, first);
    Settle(kSettleMs);
    const double withSecond = TreePssMb();

    std::vector<double> newMs {firstMs};
    for (int i = 1; i < count; ++i)
        newMs.push_back(OpenTab(frame, frame.Containers()->Create(QStringLiteral("容器%1").arg(i + 1), &error)));
    for (int i = 2; i < count; ++i)
        defaultMs.push_back(OpenTab(frame, QString()));

    std::printf("pss_before_mb %.1f\n", base);
    std::printf("pss_default_tab_mb %.1f\n", withDefault - base);
    std::printf("pss_first_tab_new_container_mb %.1f\n", withContainer - withDefault);
    std::printf("pss_extra_over_default_tab_mb %.1f\n", (withContainer - withDefault) - (withDefault - base));
    std::printf("pss_second_tab_same_container_mb %.1f\n", withSecond - withContainer);
    std::printf("open_first_default_tab_ms %.1f\n", defaultMs.front());
    defaultMs.erase(defaultMs.begin());
    std::printf("open_default_tab_median_ms %.1f\n", Median(defaultMs));
    std::printf("open_tab_first_new_container_ms %.1f\n", firstMs);
    std::printf("open_tab_new_container_median_ms %.1f\n", Median(newMs));
    std::printf("open_tab_new_container_max_ms %.1f\n", *std::max_element(newMs.begin(), newMs.end()));
    std::printf("open_second_tab_same_container_ms %.1f\n", secondMs);
    std::printf("new_containers_timed %zu\n", newMs.size());
    return 0;
}
