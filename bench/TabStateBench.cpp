// What keeping the tabs on disk costs: 1,000 rows in each of three tabs (so
// 3,000; TESSALY_BENCH_ROWS and TESSALY_BENCH_TABS change that), the panels
// started so that the countdown changes every row each second and a tenth of
// the rows runs a script, for TESSALY_BENCH_SECONDS (default 30). Prints the
// longest time the keeper held the UI thread in one slice, the longest stall of
// the UI thread (a 5 ms timer) with and without the keeper, the saves made, the
// file's size, and the writer thread's time to compose and to write one save.

#include "app/CChildFrame.h"
#include "app/CMainFrame.h"
#include "app/CTabStateKeeper.h"
#include "app/CVellumApp.h"
#include "app/CVellumView.h"
#include "bench/BenchApplication.h"
#include "bench/EventLoopWait.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/qt/QtGraphics.h"
#include "platform/qt/QtPlatform.h"
#include "tasks/CLeftView.h"
#include "tasks/SessionStateFile.h"
#include "util/CReportCtrl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace {

const char kCatalogue[] = R"(<?xml version="1.0" encoding="utf-8"?>
<game>
<item name="bench" Id="1" Url="about:blank">
<event>
<action id="js" desc="js" loopCount="100000" loopDifTime="10"><![CDATA[window.n = (window.n || 0) + 1;]]></action>
<action id="wait" desc="wait" loopCount="0"><![CDATA[window.w = 1;]]></action>
</event>
</item>
</game>
)";

int EnvInt(const char *name, int fallback, int least)
{
    const char *text = std::getenv(name);
    return text ? std::max(least, std::atoi(text)) : fallback;
}

void Write(const QString &path, const char *text) { std::ofstream(path.toStdString(), std::ios::binary) << text; }

// The UI thread's longest gap between ticks of a 5 ms timer over that many seconds.
qint64 LongestStall(int seconds)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    ticker.start(5);
    WaitFor([] { return false; }, seconds * 1000);
    return longest;
}

} // namespace

int main(int argc, char **argv)
{
    PrepareBenchProcess();
    QApplication app(argc, argv);
    InstallBenchPlatform();
    const int seconds = EnvInt("TESSALY_BENCH_SECONDS", 30, 5);
    const int rowCount = EnvInt("TESSALY_BENCH_ROWS", 1000, 1);
    const int tabCount = EnvInt("TESSALY_BENCH_TABS", 3, 1);

    QTemporaryDir dir;
    Write(dir.filePath(QStringLiteral("Config.xml")), kCatalogue);
    Write(dir.filePath(QStringLiteral("page.html")), "<!DOCTYPE html><html><body>bench</body></html>");
    g_strAppDir = (dir.path() + QStringLiteral("/")).toStdU16String();
    g_bNavigateHome = false;
    const wstring16 statePath = g_strAppDir + u"TabState.dat";

    CMainFrame frame;
    if (!frame.LoadFrame())
        return 1;
    frame.resize(1200, 800);
    frame.show();
    std::vector<CLeftView *> panels;
    for (int t = 0; t < tabCount; ++t) {
        CChildFrame *tab = frame.CreateChildFrame(nullptr, t == 0);
        CLeftView *panel = tab->GetLeftView();
        tab->GetBrowserView()->load(QUrl::fromLocalFile(dir.filePath(QStringLiteral("page.html"))));
        WaitFor([&] { return tab->GetBrowserView()->HasPage(); }, 20000);
        auto &list = panel->List();
        for (int i = 0; i < rowCount; ++i) {
            // A tenth runs a script every ten seconds; the rest count down from far.
            const bool runs = i % 10 == 0;
            const wstring16 delay = WideString::FromInt(runs ? 1 + i % 10 : 100000 + i);
            const int row = list.InsertRow(i, u"");
            list.SetCellNumber(row, CLeftView::ColNumber, row + 1);
            list.SetCellText(row, CLeftView::ColDesc, runs ? u"js 累加" : u"wait 等待");
            list.SetCellText(row, CLeftView::ColSeconds, delay);
            list.SetCellNumber(row, CLeftView::ColGameId, 0);
            list.SetCellText(row, CLeftView::ColEventId, runs ? u"js" : u"wait");
            list.SetCellNumber(row, CLeftView::ColStop, 0);
            list.SetCellText(row, CLeftView::ColTime, delay);
            list.SetCellText(row, CLeftView::ColLoopCount, runs ? u"100000" : u"0");
            list.SetCellNumber(row, CLeftView::ColUseLoopCount, 0);
        }
        panels.push_back(panel);
    }
    for (CLeftView *panel : panels)
        panel->OnStartStop();

    const qint64 stallWithout = LongestStall(seconds / 2);

    CTabStateKeeper keeper(&frame, statePath);
    keeper.Watch();
    const int savesBefore = keeper.Saves();
    const qint64 stallWith = LongestStall(seconds);
    const int saves = keeper.Saves() - savesBefore;

    // A whole save at once, as at exit, for comparison with the slices.
    QElapsedTimer whole;
    whole.start();
    keeper.Flush();
    const double flushMs = static_cast<double>(whole.nsecsElapsed()) / 1e6;

    std::ifstream in(dir.filePath(QStringLiteral("TabState.dat")).toStdString(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SessionState state;
    const bool readable = SessionStateFile::Parse(bytes, &state);
    QElapsedTimer timer;
    timer.start();
    const std::string composed = SessionStateFile::Compose(state);
    const double composeMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    SessionStateFile::Write(statePath, composed);
    const double writeMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    SessionState parsed;
    SessionStateFile::Parse(composed, &parsed);
    const double parseMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;

    for (CLeftView *panel : panels)
        panel->OnStartStop();

    std::printf("tab_state_tabs %d\n", tabCount);
    std::printf("tab_state_rows_per_tab %d\n", rowCount);
    std::printf("tab_state_seconds %d\n", seconds);
    std::printf("tab_state_saves %d\n", saves);
    std::printf("tab_state_ui_longest_slice_ms %.2f\n", static_cast<double>(keeper.LongestSliceNs()) / 1e6);
    std::printf("tab_state_ui_slices %lld\n", static_cast<long long>(keeper.Slices()));
    std::printf("tab_state_ui_slices_over_4ms %lld\n", static_cast<long long>(keeper.LongSlices()));
    std::printf("tab_state_ui_longest_stall_ms_without_keeper %lld\n", static_cast<long long>(stallWithout));
    std::printf("tab_state_ui_longest_stall_ms_with_keeper %lld\n", static_cast<long long>(stallWith));
    std::printf("tab_state_whole_save_unsliced_ms %.2f\n", flushMs);
    std::printf("tab_state_file_bytes %zu\n", bytes.size());
    std::printf("tab_state_file_readable %d\n", readable ? 1 : 0);
    std::printf("tab_state_compose_ms %.2f\n", composeMs);
    std::printf("tab_state_write_fsync_rename_ms %.2f\n", writeMs);
    std::printf("tab_state_read_ms %.2f\n", parseMs);
    return 0;
}
