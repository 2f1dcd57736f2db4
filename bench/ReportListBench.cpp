// A run thread's pass over the task list: read three cells and write two in each
// of 1,000 rows of a report list owned by the UI thread, while the UI thread
// keeps repainting the list. Prints the time of each pass and the largest gap
// between the UI thread's timer ticks while the passes ran.

#include "platform/WideString.h"
#include "platform/qt/QtPlatform.h"
#include "util/CReportCtrl.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;
using KorrinControlsEx::CReportCtrl;

namespace {

constexpr int Rows = 1000;
constexpr int Passes = 15;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

} // namespace

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QtPlatform::Install();

    CReportCtrl list;
    const char16_t *headings[] = {u"序号", u"操作", u"秒", u"gameId", u"EventId", u"执行", u"stop", u"time",
        u"loopCount", u"useloopCount", u"lastTickCount"};
    const int widths[] = {30, 80, 40, 0, 0, 40, 0, 0, 0, 0, 0};
    for (int c = 0; c < 11; ++c)
        list.InsertColumn(c, headings[c], 0, widths[c]);
    list.SetExtendedStyle(list.GetExtendedStyle() | 0x21);
    list.SetSortable(false);
    for (int r = 0; r < Rows; ++r) {
        list.InsertRow(r, u"");
        list.SetCellNumber(r, 0, r + 1);
        list.SetCellText(r, 1, u"点击开始");
        list.SetCellNumber(r, 2, 30);
        list.SetCellText(r, 6, u"0");
        list.SetCellText(r, 7, u"30");
    }
    list.resize(400, 600);
    list.show();

    // Idle first (the machine's own scheduling noise), then with the worker.
    std::atomic<bool> idle {false};
    std::atomic<bool> measuring {false};
    Clock::time_point lastTick = Clock::now();
    double largestGap = 0;
    double largestIdleGap = 0;
    QTimer repaint;
    repaint.setInterval(1);
    QObject::connect(&repaint, &QTimer::timeout, &list, [&] {
        const Clock::time_point now = Clock::now();
        if (measuring)
            largestGap = std::max(largestGap, Milliseconds(now - lastTick));
        if (idle)
            largestIdleGap = std::max(largestIdleGap, Milliseconds(now - lastTick));
        lastTick = now;
        list.viewport()->update();
    });
    repaint.start();

    std::vector<double> passes;
    std::thread worker;
    QTimer::singleShot(200, &list, [&] { idle = true; });
    QTimer::singleShot(1200, &list, [&] {
        idle = false;
        worker = std::thread([&] {
            measuring = true;
            for (int pass = 0; pass < Passes; ++pass) {
                const Clock::time_point start = Clock::now();
                for (int r = 0; r < Rows; ++r) {
                    const int seconds = WideString::ToInt(list.GetItemText(r, 2));
                    const int stop = WideString::ToInt(list.GetItemText(r, 6));
                    const wstring16 status = list.GetItemText(r, 5);
                    list.SetCellNumber(r, 2, seconds > 0 ? seconds - 1 + stop * 0 : 30);
                    list.SetCellUnsigned(r, 10, static_cast<unsigned>(pass * 1000 + r + status.size()));
                }
                passes.push_back(Milliseconds(Clock::now() - start));
            }
            measuring = false;
            QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
        });
    });
    app.exec();
    worker.join();

    std::printf("report_list_pass_rows %d\n", Rows);
    std::printf("report_list_pass_ms_median %.2f\n", Percentile(passes, 0.5));
    std::printf("report_list_pass_ms_max %.2f\n", Percentile(passes, 1.0));
    std::printf("report_list_pass_ms_min %.2f\n", Percentile(passes, 0.0));
    std::printf("report_list_ui_largest_gap_ms %.2f\n", largestGap);
    std::printf("report_list_ui_largest_gap_idle_ms %.2f\n", largestIdleGap);
    return 0;
}
