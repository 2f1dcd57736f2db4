// A demanding user's run: 200 repeating rows in three tabs for
// TESSALY_BENCH_MINUTES minutes (1 by default). The first tab's page asks
// confirm() now and then (answered after 1.5 s, as a person would); the second
// tab's renderer is killed every 20 s; the third tab's page comes from a local
// server that is stopped for 3 s every 15 s and reloads itself every 5 s.
// Prints rows run, rows late by more than 1 s (per tab), renderer recoveries,
// main-process memory at the start and the end, and the longest UI stall.
// Each load can be left out to find what a fault comes from: TESSALY_STRESS_ROWS
// (a number), TESSALY_STRESS_NO_DIALOGS, _NO_CLICKS, _NO_KILLS, _NO_SERVER_STOPS.

#include "app/CChildFrame.h"
#include "app/CMainFrame.h"
#include "app/CVellumApp.h"
#include "app/CVellumPage.h"
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
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

using KorrinControlsEx::CReportCtrl;

namespace {

constexpr int Tabs = 3;
int Rows = 200;

const char kCatalogue[] = R"(<?xml version="1.0" encoding="utf-8"?>
<game>
<item name="stress" Id="1" Url="about:blank">
<event>
<action id="js" desc="js" loopCount="100000" loopDifTime="5"><![CDATA[window.n = (window.n || 0) + 1;]]></action>
<action id="ask" desc="ask" loopCount="100000" loopDifTime="10"><![CDATA[confirm('继续吗？') ? 1 : 0;]]></action>
<action id="click" desc="click" loopCount="100000" loopDifTime="5" doFlashIndex="-1" px1="30" py1="40" px2="30" py2="40"><![CDATA[DoClick]]></action>
</event>
</item>
</game>
)";

const char kPage[] = R"(<!DOCTYPE html><html><head><meta charset="utf-8"></head>
<body style="height:3000px"><script>document.addEventListener('mousedown', function () { window.clicks = (window.clicks || 0) + 1; });</script></body></html>
)";

const char kSelfNavigating[] = R"(<!DOCTYPE html><html><head><meta charset="utf-8"></head>
<body style="height:3000px"><script>setTimeout(function () { location.reload(); }, 5000);</script></body></html>
)";

void Write(const QString &path, const char *text) { std::ofstream(path.toStdString(), std::ios::binary) << text; }

// Serves the self-navigating page to every request; can be stopped and started.
class PageServer : public QTcpServer {
public:
    bool Start(quint16 port) { return listen(QHostAddress::LocalHost, port); }

protected:
    void incomingConnection(qintptr handle) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(handle);
        connect(socket, &QTcpSocket::readyRead, socket, [socket] {
            if (!socket->readAll().contains("\r\n\r\n"))
                return;
            const QByteArray body(kSelfNavigating);
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n"
                          "Content-Length: " +
                QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
};

} // namespace

int main(int argc, char **argv)
{
    PrepareBenchProcess();
    QApplication app(argc, argv);
    InstallBenchPlatform();
    const char *minutesText = std::getenv("TESSALY_BENCH_MINUTES");
    const double minutes = minutesText ? std::max(0.25, std::atof(minutesText)) : 1.0;
    if (const char *rows = std::getenv("TESSALY_STRESS_ROWS"))
        Rows = std::max(0, std::atoi(rows));

    QTemporaryDir dir;
    Write(dir.filePath(QStringLiteral("Config.xml")), kCatalogue);
    Write(dir.filePath(QStringLiteral("page.html")), kPage);
    g_strAppDir = (dir.path() + QStringLiteral("/")).toStdU16String();
    g_bNavigateHome = false;

    PageServer server;
    if (!server.Start(0))
        return 1;
    const quint16 port = server.serverPort();

    CMainFrame frame;
    if (!frame.LoadFrame())
        return 1;
    frame.resize(1200, 800);
    frame.show();

    QElapsedTimer clock;
    clock.start();
    std::vector<int> runs(Tabs, 0), late(Tabs, 0);
    std::map<std::pair<int, int>, double> dueAt;
    std::vector<CLeftView *> panels;
    std::vector<CVellumView *> views;
    // The counters write to locals that go before the frame does.
    std::vector<QMetaObject::Connection> counters;
    for (int t = 0; t < Tabs; ++t) {
        CChildFrame *tab = frame.CreateChildFrame(nullptr, t == 0);
        CLeftView *panel = tab->GetLeftView();
        CVellumView *view = tab->GetBrowserView();
        // The flag lives for this pass only: later loads (reloads, recoveries)
        // must not write to its stack slot, which the timers below reuse.
        bool loaded = false;
        const auto waiting = QObject::connect(view, &CVellumView::PageLoaded, tab, [&loaded](bool) { loaded = true; });
        view->load(t == 2 ? QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port))
                          : QUrl::fromLocalFile(dir.filePath(QStringLiteral("page.html"))));
        WaitFor([&] { return loaded && view->HasPage(); }, 20000);
        QObject::disconnect(waiting);
        panels.push_back(panel);
        views.push_back(view);

        QAbstractItemModel *model = panel->List().model();
        counters.push_back(QObject::connect(model, &QAbstractItemModel::dataChanged, panel,
            [&, t, model](const QModelIndex &from, const QModelIndex &to) {
                for (int row = from.row(); row <= to.row(); ++row) {
                    const auto key = std::make_pair(t, row);
                    const double nowMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
                    if (from.column() <= CLeftView::ColSeconds && to.column() >= CLeftView::ColSeconds &&
                        model->index(row, CLeftView::ColSeconds).data().toString() == QStringLiteral("0"))
                        dueAt[key] = nowMs;
                    if (from.column() <= CLeftView::ColStatus && to.column() >= CLeftView::ColStatus &&
                        model->index(row, CLeftView::ColStatus).data().toString() == QStringLiteral("执行...")) {
                        ++runs[static_cast<std::size_t>(t)];
                        if (auto it = dueAt.find(key); it != dueAt.end()) {
                            if (nowMs - it->second > 1000)
                                ++late[static_cast<std::size_t>(t)];
                            dueAt.erase(it);
                        }
                    }
                }
            }));

        auto &list = panel->List();
        const int count = Rows / Tabs + (t < Rows % Tabs ? 1 : 0);
        for (int i = 0; i < count; ++i) {
            wstring16 id = i % 2 && !std::getenv("TESSALY_STRESS_NO_CLICKS") ? u"click" : u"js";
            if (t == 0 && i == 0 && !std::getenv("TESSALY_STRESS_NO_DIALOGS"))
                id = u"ask";
            const int row = list.InsertRow(i, u"");
            const wstring16 delay = WideString::FromInt(1 + (i % 5));
            list.SetCellNumber(row, CLeftView::ColNumber, row + 1);
            list.SetCellText(row, CLeftView::ColDesc, id);
            list.SetCellText(row, CLeftView::ColSeconds, delay);
            list.SetCellNumber(row, CLeftView::ColGameId, 0);
            list.SetCellText(row, CLeftView::ColEventId, id);
            list.SetCellNumber(row, CLeftView::ColStop, 0);
            list.SetCellText(row, CLeftView::ColTime, delay);
            list.SetCellNumber(row, CLeftView::ColUseLoopCount, 0);
        }
    }

    qint64 lastTick = clock.elapsed();
    qint64 longestStall = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &frame, [&] {
        const qint64 now = clock.elapsed();
        longestStall = std::max(longestStall, now - lastTick);
        lastTick = now;
    });
    // A person answers each box of the first tab after 1.5 s.
    std::map<QDialog *, qint64> seen;
    int boxes = 0;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, &frame, [&] {
        for (QDialog *box : views[0]->Page()->Boxes()) {
            auto it = seen.emplace(box, clock.elapsed()).first;
            if (clock.elapsed() - it->second < 1500 || !box->isVisible())
                continue;
            ++boxes;
            seen.erase(it);
            if (auto *message = qobject_cast<QMessageBox *>(box))
                message->button(QMessageBox::Ok)->click();
            else
                box->accept();
        }
    });
    QTimer killer;
    QObject::connect(&killer, &QTimer::timeout, &frame, [&] {
        const qint64 pid = views[1]->page()->renderProcessPid();
        if (pid > 0)
            ::kill(static_cast<pid_t>(pid), SIGKILL);
    });
    QTimer serverCycle;
    QObject::connect(&serverCycle, &QTimer::timeout, &frame, [&] {
        server.close();
        QTimer::singleShot(3000, &server, [&] { server.Start(port); });
    });

    const long memoryStart = ResidentKb();
    for (CLeftView *panel : panels)
        panel->OnStartStop();
    lastTick = clock.elapsed();
    ticker.start(5);
    answerer.start(100);
    if (!std::getenv("TESSALY_STRESS_NO_KILLS"))
        killer.start(20000);
    if (!std::getenv("TESSALY_STRESS_NO_SERVER_STOPS"))
        serverCycle.start(15000);
    WaitFor([] { return false; }, static_cast<int>(minutes * 60000));
    for (QTimer *timer : {&ticker, &answerer, &killer, &serverCycle})
        timer->stop();
    for (CLeftView *panel : panels)
        panel->OnStartStop();
    for (const auto &connection : counters)
        QObject::disconnect(connection);
    const long memoryEnd = ResidentKb();

    int recoveries = 0;
    for (CVellumView *view : views)
        recoveries += view->RecoveryCount();
    std::printf("stress_minutes %.2f\n", minutes);
    std::printf("stress_rows %d\n", Rows);
    for (int t = 0; t < Tabs; ++t) {
        std::printf("stress_tab%d_rows_run %d\n", t, runs[static_cast<std::size_t>(t)]);
        std::printf("stress_tab%d_rows_late_over_1s %d\n", t, late[static_cast<std::size_t>(t)]);
    }
    std::printf("stress_dialogs_answered %d\n", boxes);
    std::printf("stress_renderer_recoveries %d\n", recoveries);
    std::printf("stress_memory_kb_start %ld\n", memoryStart);
    std::printf("stress_memory_kb_end %ld\n", memoryEnd);
    std::printf("stress_ui_longest_stall_ms %lld\n", static_cast<long long>(longestStall));
    return 0;
}
