// The task panel under load: 1,000 rows across three tabs, repeating script and
// click actions on a local page, a tenth of them due each second, run by the
// real countdown and executor records for two minutes. TESSALY_BENCH_SECONDS,
// TESSALY_BENCH_ROWS and TESSALY_BENCH_TABS change those. Prints the lateness
// from "秒" reaching 0 to "执行...", the time from "执行..." to a script row's
// result (the hand-off and the script), the longest stall of the UI thread, the
// memory at the start and the end and what each tab after the first added.
// Then every row is made finished and the panels stay started for
// TESSALY_BENCH_IDLE_SECONDS (default 20): the processor time they take then,
// against the same time stopped. Beside the UI thread's gaps it prints the
// processor time its event handlers took in them (its own work, without the
// waits for the machine to run it), and the gaps of a thread that does nothing
// but sleep 5 ms at a time: how late this machine wakes a thread under the same
// load, a floor under every gap of the UI thread.

#include "app/CChildFrame.h"
#include "app/CMainFrame.h"
#include "app/CVellumApp.h"
#include "app/CVellumView.h"
#include "bench/BenchApplication.h"
#include "bench/EventLoopWait.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/qt/QtGraphics.h"
#include "platform/qt/QtPlatform.h"
#include "tasks/CLeftView.h"
#include "util/CReportCtrl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <poll.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using KorrinControlsEx::CReportCtrl;

namespace {

constexpr int Period = 10; // seconds: a tenth of the rows falls due each second

const char kCatalogue[] = R"(<?xml version="1.0" encoding="utf-8"?>
<game>
<item name="bench" Id="1" Url="about:blank">
<event>
<action id="js" desc="js" loopCount="100000" loopDifTime="10"><![CDATA[window.n = (window.n || 0) + 1;]]></action>
<action id="click" desc="click" loopCount="100000" loopDifTime="10" doFlashIndex="-1" px1="30" py1="40" px2="30" py2="40"><![CDATA[DoClick]]></action>
</event>
</item>
</game>
)";

const char kPage[] = R"(<!DOCTYPE html><html><head><meta charset="utf-8"></head>
<body style="height:3000px"><script>window.clicks = 0; document.addEventListener('mousedown', function () { clicks++; });</script></body></html>
)";

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

int EnvInt(const char *name, int fallback, int least)
{
    const char *text = std::getenv(name);
    return text ? std::max(least, std::atoi(text)) : fallback;
}

double ProcessorSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Percent of one core the process used while the event loop ran for that long.
double ProcessorPercent(int seconds)
{
    const double before = ProcessorSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    return elapsed > 0 ? 100.0 * (ProcessorSeconds() - before) / elapsed : 0.0;
}

// Gaps between the wake-ups of a thread that sleeps 5 ms at a time, in ms.
class SleeperGaps {
public:
    SleeperGaps()
        : m_thread([this] {
              using Clock = std::chrono::steady_clock;
              auto last = Clock::now();
              while (!m_stop.load()) {
                  poll(nullptr, 0, 5);
                  const auto now = Clock::now();
                  m_gaps.push_back(std::chrono::duration<double, std::milli>(now - last).count());
                  last = now;
              }
          })
    {
    }
    std::vector<double> Stop()
    {
        m_stop = true;
        m_thread.join();
        return m_gaps;
    }

private:
    std::atomic<bool> m_stop {false};
    std::vector<double> m_gaps;
    std::thread m_thread;
};

std::size_t CountOver(const std::vector<double> &values, double limit)
{
    return static_cast<std::size_t>(std::count_if(values.begin(), values.end(), [&](double v) { return v > limit; }));
}

double ThreadProcessorMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Adds up the processor time the UI thread's event handlers take; the time
// between them (waiting, or the machine running something else) is left out.
class WorkMeteredApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        if (m_depth > 0)
            return QApplication::notify(receiver, event);
        ++m_depth;
        const double start = ThreadProcessorMs();
        const bool result = QApplication::notify(receiver, event);
        m_work += ThreadProcessorMs() - start;
        --m_depth;
        return result;
    }
    // The work since the last call.
    double TakeWork() { return std::exchange(m_work, 0.0); }

private:
    int m_depth = 0;
    double m_work = 0;
};

void Write(const QString &path, const char *text) { std::ofstream(path.toStdString(), std::ios::binary) << text; }

} // namespace

int main(int argc, char **argv)
{
    PrepareBenchProcess();
    WorkMeteredApplication app(argc, argv);
    InstallBenchPlatform();
    const int seconds = EnvInt("TESSALY_BENCH_SECONDS", 120, 5);
    const int rowCount = EnvInt("TESSALY_BENCH_ROWS", 1000, 1);
    const int tabCount = EnvInt("TESSALY_BENCH_TABS", 3, 1);
    const int idleSeconds = EnvInt("TESSALY_BENCH_IDLE_SECONDS", 20, 1);

    QTemporaryDir dir;
    Write(dir.filePath(QStringLiteral("Config.xml")), kCatalogue);
    Write(dir.filePath(QStringLiteral("page.html")), kPage);
    g_strAppDir = (dir.path() + QStringLiteral("/")).toStdU16String();
    g_bNavigateHome = false;

    CMainFrame frame;
    if (!frame.LoadFrame())
        return 1;
    frame.resize(1200, 800);
    frame.show();

    QElapsedTimer clock;
    clock.start();
    std::vector<double> lateness, handOff;
    // Per row: when "秒" reached 0, and when "执行..." was written.
    std::map<std::pair<int, int>, double> dueAt, startedAt;

    std::vector<CLeftView *> panels;
    long memoryFirstTab = 0;
    for (int t = 0; t < tabCount; ++t) {
        CChildFrame *tab = frame.CreateChildFrame(nullptr, t == 0);
        CLeftView *panel = tab->GetLeftView();
        // The flag lives for this pass only: a later load must not write to it.
        bool loaded = false;
        const auto waiting =
            QObject::connect(tab->GetBrowserView(), &CVellumView::PageLoaded, tab, [&loaded](bool) { loaded = true; });
        tab->GetBrowserView()->load(QUrl::fromLocalFile(dir.filePath(QStringLiteral("page.html"))));
        WaitFor([&] { return loaded && tab->GetBrowserView()->HasPage(); }, 20000);
        QObject::disconnect(waiting);
        panels.push_back(panel);

        QAbstractItemModel *model = panel->List().model();
        QObject::connect(model, &QAbstractItemModel::dataChanged, panel,
            [&, t, model](const QModelIndex &from, const QModelIndex &to) {
                for (int row = from.row(); row <= to.row(); ++row) {
                    for (int column = from.column(); column <= to.column(); ++column) {
                        const QString text = model->index(row, column).data().toString();
                        const auto key = std::make_pair(t, row);
                        const double nowMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
                        if (column == CLeftView::ColSeconds && text == QStringLiteral("0")) {
                            dueAt[key] = nowMs;
                        } else if (column == CLeftView::ColStatus && text == QStringLiteral("执行...")) {
                            startedAt[key] = nowMs;
                            if (auto it = dueAt.find(key); it != dueAt.end()) {
                                lateness.push_back((nowMs - it->second) / 1000.0);
                                dueAt.erase(it);
                            }
                        } else if (column == CLeftView::ColStatus && text == QStringLiteral("成功")) {
                            const bool script =
                                model->index(row, CLeftView::ColEventId).data().toString() == QStringLiteral("js");
                            if (auto it = startedAt.find(key); it != startedAt.end()) {
                                if (script)
                                    handOff.push_back(nowMs - it->second);
                                startedAt.erase(it);
                            }
                        }
                    }
                }
            });

        // Rows of this tab, spread over the ten seconds of the period.
        auto &list = panel->List();
        const int count = rowCount / tabCount + (t < rowCount % tabCount ? 1 : 0);
        for (int i = 0; i < count; ++i) {
            const int row = list.InsertRow(i, u"");
            const wstring16 delay = WideString::FromInt(1 + (i % Period));
            list.SetCellNumber(row, CLeftView::ColNumber, row + 1);
            list.SetCellText(row, CLeftView::ColDesc, i % 2 ? u"click" : u"js");
            list.SetCellText(row, CLeftView::ColSeconds, delay);
            list.SetCellNumber(row, CLeftView::ColGameId, 0);
            list.SetCellText(row, CLeftView::ColEventId, i % 2 ? u"click" : u"js");
            list.SetCellNumber(row, CLeftView::ColStop, 0);
            list.SetCellText(row, CLeftView::ColTime, delay);
            list.SetCellNumber(row, CLeftView::ColUseLoopCount, 0);
        }
        if (t == 0)
            memoryFirstTab = ResidentKb();
    }

    // The UI thread's gaps between ticks of a 5 ms timer.
    qint64 lastTick = clock.elapsed();
    qint64 longestStall = 0;
    qint64 lastTickNs = clock.nsecsElapsed();
    std::vector<double> tickGaps;
    double longestWork = 0;
    double longestGap = 0;
    double longestGapWork = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, &frame, [&] {
        const qint64 now = clock.elapsed();
        longestStall = std::max(longestStall, now - lastTick);
        lastTick = now;
        const qint64 nowNs = clock.nsecsElapsed();
        tickGaps.push_back(static_cast<double>(nowNs - lastTickNs) / 1e6);
        lastTickNs = nowNs;
        const double work = app.TakeWork();
        longestWork = std::max(longestWork, work);
        if (tickGaps.back() > longestGap) {
            longestGap = tickGaps.back();
            longestGapWork = work;
        }
    });

    const long memoryTabs = ResidentKb();
    const long memoryStart = memoryTabs;
    for (CLeftView *panel : panels)
        panel->OnStartStop();
    lastTick = clock.elapsed();
    lastTickNs = clock.nsecsElapsed();
    app.TakeWork();
    ticker.start(5);
    SleeperGaps sleeper;
    // Growth is counted from the end of the first tenth of the run, once the
    // pages and the lists have reached their working size.
    const int warmUpMs = seconds * 100;
    WaitFor([] { return false; }, warmUpMs);
    const long memoryWarm = ResidentKb();
    WaitFor([] { return false; }, seconds * 1000 - warmUpMs);
    ticker.stop();
    const std::vector<double> sleeperGaps = sleeper.Stop();
    for (CLeftView *panel : panels)
        panel->OnStartStop();
    const long memoryEnd = ResidentKb();

    // Every row has run for good: nothing is left to count down or run.
    for (CLeftView *panel : panels) {
        auto &list = panel->List();
        for (int row = 0; row < list.GetItemCount(); ++row) {
            list.SetCellNumber(row, CLeftView::ColSeconds, CLeftView::kTaken);
            list.SetCellText(row, CLeftView::ColStatus, u"成功");
        }
    }
    const double stoppedCpu = ProcessorPercent(idleSeconds);
    for (CLeftView *panel : panels)
        panel->OnStartStop();
    const double finishedCpu = ProcessorPercent(idleSeconds);
    for (CLeftView *panel : panels)
        panel->OnStartStop();

    std::printf("task_panel_rows %d\n", rowCount);
    std::printf("task_panel_tabs %d\n", tabCount);
    std::printf("task_panel_seconds %d\n", seconds);
    std::printf("task_panel_runs %zu\n", lateness.size());
    std::printf("task_panel_lateness_s_p50 %.3f\n", Percentile(lateness, 0.5));
    std::printf("task_panel_lateness_s_p99 %.3f\n", Percentile(lateness, 0.99));
    std::printf("task_panel_script_handoff_ms_p50 %.2f\n", Percentile(handOff, 0.5));
    std::printf("task_panel_script_handoff_ms_p99 %.2f\n", Percentile(handOff, 0.99));
    std::printf("task_panel_ui_longest_stall_ms %lld\n", static_cast<long long>(longestStall));
    std::printf("task_panel_ui_work_between_ticks_ms_longest %.1f\n", longestWork);
    std::printf("task_panel_ui_work_in_longest_gap_ms %.1f\n", longestGapWork);
    std::printf("task_panel_ui_gap_ms_p999 %.1f\n", Percentile(tickGaps, 0.999));
    std::printf("task_panel_ui_gaps_over_16_ms %zu\n", CountOver(tickGaps, 16));
    std::printf("task_panel_sleeper_gap_ms_longest %.1f\n", Percentile(sleeperGaps, 1));
    std::printf("task_panel_sleeper_gap_ms_p999 %.1f\n", Percentile(sleeperGaps, 0.999));
    std::printf("task_panel_sleeper_gaps_over_16_ms %zu\n", CountOver(sleeperGaps, 16));
    std::printf("task_panel_memory_kb_start %ld\n", memoryStart);
    std::printf("task_panel_memory_kb_end %ld\n", memoryEnd);
    std::printf(
        "task_panel_memory_kb_per_extra_tab %ld\n", tabCount > 1 ? (memoryTabs - memoryFirstTab) / (tabCount - 1) : 0L);
    std::printf("task_panel_cpu_percent_stopped %.1f\n", stoppedCpu);
    std::printf("task_panel_cpu_percent_started_all_finished %.1f\n", finishedCpu);
    std::printf("task_panel_memory_growth_percent %.1f\n",
        memoryStart ? 100.0 * static_cast<double>(memoryEnd - memoryStart) / static_cast<double>(memoryStart) : 0.0);
    std::printf("task_panel_memory_kb_after_warm_up %ld\n", memoryWarm);
    std::printf("task_panel_memory_growth_after_warm_up_percent %.1f\n",
        memoryWarm ? 100.0 * static_cast<double>(memoryEnd - memoryWarm) / static_cast<double>(memoryWarm) : 0.0);
    return 0;
}
