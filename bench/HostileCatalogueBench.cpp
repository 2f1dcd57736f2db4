// A catalogue with one huge attribute value (TESSALY_BENCH_MB, 50 by default):
// the task panel of a new tab loads it, its action list is opened, the action is
// added as a row, the row is selected and the list drawn. Prints each step's
// time on the UI thread, the longest stall of the UI thread, and the peak memory
// the load took beside the file's size.

#include "app/CChildFrame.h"
#include "app/CMainFrame.h"
#include "app/CVellumApp.h"
#include "app/CVellumView.h"
#include "bench/BenchApplication.h"
#include "bench/EventLoopWait.h"
#include "catalogue/CCatalogue.h"
#include "catalogue/xml/XmlNode.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/qt/QtGraphics.h"
#include "platform/qt/QtPlatform.h"
#include "tasks/CLeftView.h"
#include "util/CReportCtrl.h"
#include "util/FileFunctions.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <string>

namespace {

long StatusKb(const char *key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::strtol(line.c_str() + std::char_traits<char>::length(key), nullptr, 10);
    return 0;
}

// Resets the peak resident size to the current one.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

} // namespace

int main(int argc, char **argv)
{
    // Large blocks come from and go back to the system at once, so that each
    // step's peak is its own and not hidden in memory an earlier step freed.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    PrepareBenchProcess();
    QApplication app(argc, argv);
    InstallBenchPlatform();
    const char *mbText = std::getenv("TESSALY_BENCH_MB");
    const long mb = mbText ? std::max(1L, std::atol(mbText)) : 50;

    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("Config.xml")).toStdString();
    {
        std::ofstream file(path, std::ios::binary);
        file
            << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<game>\n<item name=\"站点\" Id=\"1\" Url=\"about:blank\">\n"
               "<event>\n<action id=\"huge\" desc=\"";
        const std::string chunk(1 << 20, 'x');
        for (long i = 0; i < mb; ++i)
            file << chunk;
        file << "\" loopCount=\"0\"><![CDATA[window.n = 1;]]></action>\n"
                "<action id=\"small\" desc=\"小\"><![CDATA[DoClick]]></action>\n</event>\n</item>\n</game>\n";
    }
    const double fileMb =
        static_cast<double>(std::ifstream(path, std::ios::binary | std::ios::ate).tellg()) / 1048576.0;
    g_strAppDir = (dir.path() + QStringLiteral("/")).toStdU16String();
    g_bNavigateHome = false;

    CMainFrame frame;
    if (!frame.LoadFrame())
        return 1;
    frame.resize(1200, 800);
    frame.show();
    WaitFor([] { return false; }, 500);

    // The load's two halves on their own: reading the text, parsing it.
    {
        const long base = StatusKb("VmRSS:");
        ResetPeak();
        QElapsedTimer timer;
        timer.start();
        wstring16 text;
        KorrinUtilsFuns::ReadTextFile(WideString::FromUtf8(path), text, CP_UTF8);
        std::printf("hostile_catalogue_read_ms %lld\n", static_cast<long long>(timer.elapsed()));
        std::printf("hostile_catalogue_read_peak_mb %.1f\n", static_cast<double>(StatusKb("VmHWM:") - base) / 1024.0);
        const long read = StatusKb("VmRSS:");
        ResetPeak();
        timer.restart();
        XmlNode root;
        XmlParseOptions options;
        options.tolerant = true;
        options.trim = false;
        root.Load(text, 0, options);
        std::printf("hostile_catalogue_parse_ms %lld\n", static_cast<long long>(timer.elapsed()));
        std::printf("hostile_catalogue_parse_peak_mb %.1f\n", static_cast<double>(StatusKb("VmHWM:") - read) / 1024.0);
        std::fflush(stdout);
    }
    {
        const long base = StatusKb("VmRSS:");
        ResetPeak();
        QElapsedTimer timer;
        timer.start();
        CCatalogue catalogue;
        wstring16 message;
        catalogue.TryLoadCatalogue(WideString::FromUtf8(path), &message);
        const long peak = StatusKb("VmHWM:");
        std::printf("hostile_catalogue_load_ms %lld\n", static_cast<long long>(timer.elapsed()));
        std::printf("hostile_catalogue_load_peak_mb %.1f\n", static_cast<double>(peak - base) / 1024.0);
        std::printf(
            "hostile_catalogue_load_peak_times_file %.2f\n", static_cast<double>(peak - base) / 1024.0 / fileMb);
        std::printf("hostile_catalogue_load_kept_mb %.1f\n", static_cast<double>(StatusKb("VmRSS:") - base) / 1024.0);
        std::fflush(stdout);
    }
    WaitFor([] { return false; }, 200);
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = clock.elapsed();
    qint64 longestStall = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &frame, [&] {
        const qint64 now = clock.elapsed();
        longestStall = std::max(longestStall, now - lastTick);
        lastTick = now;
    });
    ticker.start(5);
    // A step's time: from its start until the UI thread has handled what it queued.
    const auto step = [&](const char *name, const std::function<void()> &work) {
        QElapsedTimer timer;
        timer.start();
        work();
        QCoreApplication::processEvents();
        std::printf("hostile_catalogue_step_ms_%s %lld\n", name, static_cast<long long>(timer.elapsed()));
        std::fflush(stdout);
        WaitFor([] { return false; }, 200);
    };

    const long before = StatusKb("VmRSS:");
    ResetPeak();
    CChildFrame *tab = nullptr;
    step("open_tab_and_load", [&] { tab = frame.CreateChildFrame(nullptr, true); });
    const long peak = StatusKb("VmHWM:");
    const long after = StatusKb("VmRSS:");
    if (!tab)
        return 1;
    CLeftView *panel = tab->GetLeftView();
    QComboBox *actions = panel->ActionCombo();
    step("open_action_list", [&] {
        if (actions)
            actions->showPopup();
    });
    step("close_action_list", [&] {
        if (actions)
            actions->hidePopup();
    });
    step("add_row", [&] { panel->OnCommand(1006); });
    auto &list = panel->List();
    step("select_and_draw_row", [&] {
        list.setCurrentIndex(list.model()->index(0, 0));
        list.viewport()->repaint();
    });
    step("row_tooltip_text", [&] { (void)list.model()->index(0, CLeftView::ColDesc).data(Qt::ToolTipRole); });
    ticker.stop();

    std::printf("hostile_catalogue_file_mb %.1f\n", fileMb);
    std::printf("hostile_catalogue_tab_peak_mb %.1f\n", static_cast<double>(peak - before) / 1024.0);
    std::printf("hostile_catalogue_tab_kept_mb %.1f\n", static_cast<double>(after - before) / 1024.0);
    std::printf("hostile_catalogue_ui_longest_stall_ms %lld\n", static_cast<long long>(longestStall));
    return 0;
}
