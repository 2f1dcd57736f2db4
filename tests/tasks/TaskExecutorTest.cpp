#include "tests/tasks/TaskPanelFixture.h"

#include "platform/SystemTime.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/Window.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <thread>

using namespace KorrinControlsEx;
using Panel = CLeftView;

namespace {

// A row as Add makes it, with the cells a test wants to set.
struct RowDef {
    std::u16string eventId;
    std::u16string seconds = u"0";
    std::u16string stop = u"0";
    std::u16string gameId = u"0";
    std::u16string time = u"0";
};

} // namespace

class TaskExecutor : public TaskPanelFixture {
protected:
    void SetUp() override
    {
        TaskPanelFixture::SetUp();
        if (!HasFatalFailure()) {
            ASSERT_TRUE(LoadPage(m_view, "practice.html"));
        }
    }

    void Put(CLeftView *panel, const std::vector<RowDef> &rows)
    {
        auto &list = panel->List();
        for (const RowDef &r : rows) {
            const int row = list.InsertRow(list.GetItemCount(), u"");
            list.SetCellNumber(row, Panel::ColNumber, row + 1);
            list.SetCellText(row, Panel::ColDesc, r.eventId);
            list.SetCellText(row, Panel::ColSeconds, r.seconds);
            list.SetCellText(row, Panel::ColGameId, r.gameId);
            list.SetCellText(row, Panel::ColEventId, r.eventId);
            list.SetCellText(row, Panel::ColStop, r.stop);
            list.SetCellText(row, Panel::ColTime, r.time);
            list.SetCellText(row, Panel::ColUseLoopCount, u"0");
        }
    }
    void Execute(CLeftView *panel, Panel::ExecuteMode mode)
    {
        ASSERT_TRUE(OnWorker([&] { panel->ExecuteRows(mode); }));
    }
    int PageInt(const QString &expression) { return Js(m_view, expression + u" | 0"_qs).toInt(); }
};

TEST_F(TaskExecutor, CountDownFollowsTheTickCountAndSkipsPausedRows)
{
    Put(m_panel,
        {{u"a1", u"100"}, {u"a1", u"100"}, {u"a1", u"100", u"1"}, {u"a1", u"2"}, {u"a1", u"-9999"}, {u"a1", u"100"}});
    auto &list = m_panel->List();
    const DWORD now = GetTickCount();
    list.SetCellUnsigned(1, Panel::ColLastTick, now - 3000);
    list.SetCellUnsigned(3, Panel::ColLastTick, now - 10000);
    // A tick of an earlier boot, ahead of this one's (a list imported after a restart).
    list.SetCellUnsigned(5, Panel::ColLastTick, now + 5000000);

    // Not started: nothing moves.
    ASSERT_TRUE(OnWorker([&] { m_panel->CountDown(); }));
    EXPECT_EQ(Column(m_panel, Panel::ColSeconds),
        (std::vector<std::u16string> {u"100", u"100", u"100", u"2", u"-9999", u"100"}));

    m_panel->OnStartStop();
    ASSERT_TRUE(m_panel->IsStarted());
    ASSERT_TRUE(OnWorker([&] { m_panel->CountDown(); }));
    m_panel->OnStartStop();
    const auto seconds = Column(m_panel, Panel::ColSeconds);
    EXPECT_EQ(seconds[0], u"99");
    EXPECT_TRUE(seconds[1] == u"97" || seconds[1] == u"96") << WideString::ToUtf8(seconds[1]);
    EXPECT_EQ(seconds[2], u"100");
    EXPECT_EQ(seconds[3], u"0"); // never below 0
    EXPECT_EQ(seconds[4], u"-9999");
    EXPECT_EQ(seconds[5], u"99") << "one step, neither all at once nor growing";
    const auto ticks = Column(m_panel, Panel::ColLastTick);
    EXPECT_GE(std::stoul(WideString::ToUtf8(ticks[0])), now);
    EXPECT_EQ(ticks[2], u"");
    EXPECT_EQ(ticks[4], u"");
}

TEST_F(TaskExecutor, TimerModeRunsDueRowsOnlyAndEmptyCellsReadAsZero)
{
    Put(m_panel, {{u"a1", u"0"}, {u"a1", u"5"}, {u"a1", u"", u""}, {u"a1", u"0", u"1"}, {u"a1", u"-9999"}});
    Execute(m_panel, Panel::ExecuteMode::Timer);
    EXPECT_EQ(PageInt(u"window.ranA"_qs), 2);
    EXPECT_EQ(
        Column(m_panel, Panel::ColSeconds), (std::vector<std::u16string> {u"-9999", u"5", u"-9999", u"0", u"-9999"}));
    EXPECT_EQ(Column(m_panel, Panel::ColStatus), (std::vector<std::u16string> {u"成功", u"", u"成功", u"", u""}));
}

TEST_F(TaskExecutor, SelectionModeRunsSelectedRowsWhateverTheirSeconds)
{
    Put(m_panel, {{u"a1", u"30"}, {u"a1", u"-9999"}, {u"a1", u"0"}, {u"a1", u"30", u"1"}});
    Select(m_panel, {0, 1, 3});
    Execute(m_panel, Panel::ExecuteMode::Selection);
    EXPECT_EQ(PageInt(u"window.ranA"_qs), 2);
    EXPECT_EQ(Column(m_panel, Panel::ColStatus), (std::vector<std::u16string> {u"成功", u"成功", u"", u""}));
    EXPECT_EQ(Column(m_panel, Panel::ColSeconds), (std::vector<std::u16string> {u"-9999", u"-9999", u"0", u"30"}));
}

TEST_F(TaskExecutor, RetriesAndRunsOfARejectedScript)
{
    Put(m_panel, {{u"reject"}, {u"neg"}});
    Execute(m_panel, Panel::ExecuteMode::Timer);
    EXPECT_EQ(PageInt(u"window.tries"_qs), 6); // 3 tries x 2 runs
    EXPECT_EQ(PageInt(u"window.neg"_qs), 0); // a negative count runs nothing
    EXPECT_EQ(Column(m_panel, Panel::ColStatus), (std::vector<std::u16string> {u"失败", u"失败"}));
}

TEST_F(TaskExecutor, RepeatRuleRunsLoopCountPlusTwoTimes)
{
    Put(m_panel, {{u"loop", u"0", u"0", u"0", u"9"}, {u"c1", u"0", u"0", u"0", u"9"}});
    for (int pass = 0; pass < 6; ++pass) {
        Execute(m_panel, Panel::ExecuteMode::Timer);
        // Stand in for the countdown.
        for (int row = 0; row < 2; ++row)
            if (Cell(m_panel, row, Panel::ColSeconds) != u"-9999")
                m_panel->List().SetCellNumber(row, Panel::ColSeconds, 0);
        if (pass == 0) {
            EXPECT_EQ(Column(m_panel, Panel::ColUseLoopCount), (std::vector<std::u16string> {u"1", u"1"}));
            EXPECT_EQ(Column(m_panel, Panel::ColStatus), (std::vector<std::u16string> {u"", u""}));
        }
    }
    EXPECT_EQ(PageInt(u"window.loops.length"_qs), 4);
    EXPECT_EQ(Cell(m_panel, 0, Panel::ColSeconds), u"-9999");
    EXPECT_EQ(Cell(m_panel, 0, Panel::ColStatus), u"成功");
    EXPECT_EQ(Cell(m_panel, 0, Panel::ColUseLoopCount), u"3");
    EXPECT_EQ(PageInt(u"window.ranC"_qs), 6); // loopCount 7: still repeating

    // Without loopDifTime the row's first delay re-arms it.
    Put(m_panel, {{u"c1", u"0", u"0", u"0", u"42"}});
    m_panel->List().SetCellNumber(0, Panel::ColStop, 1);
    m_panel->List().SetCellNumber(1, Panel::ColStop, 1);
    Execute(m_panel, Panel::ExecuteMode::Timer);
    EXPECT_EQ(Cell(m_panel, 2, Panel::ColSeconds), u"42");
}

TEST_F(TaskExecutor, RowsWhoseActionIsNotFoundStayTakenWithoutStatus)
{
    Put(m_panel, {{u"a1", u"0", u"0", u"9"}, {u"nope"}, {u"a1", u"0", u"0", u"1"}, {u"b1"}, {u"empty"}, {u"dbg"}});
    Execute(m_panel, Panel::ExecuteMode::Timer);
    EXPECT_EQ(Column(m_panel, Panel::ColSeconds), std::vector<std::u16string>(6, u"-9999"));
    EXPECT_EQ(Column(m_panel, Panel::ColStatus), (std::vector<std::u16string> {u"", u"", u"", u"成功", u"", u"成功"}));
    EXPECT_EQ(PageInt(u"window.ranB"_qs), 1); // disable is not consulted at run time
    EXPECT_EQ(Messages(), (std::vector<std::u16string> {u"window.dbg = 1;"}));
}

TEST_F(TaskExecutor, OnlyTheHandOffTextRunsAScript)
{
    static const char16_t other[] = u"-1";
    EXPECT_EQ(SendMessageW(m_panel->GetSafeHwnd(), Panel::WM_TASK_NOTIFY, reinterpret_cast<WPARAM>(other), 0), 0);
    EXPECT_EQ(SendMessageW(m_panel->GetSafeHwnd(), Panel::WM_TASK_NOTIFY, 0, 0), 0);

    bool ok = false;
    ASSERT_TRUE(OnWorker([&] { ok = m_panel->RunScript(u"window.handed = 7;", u"", 0, 0); }));
    EXPECT_TRUE(ok);
    EXPECT_EQ(PageInt(u"window.handed"_qs), 7);
    ASSERT_TRUE(OnWorker([&] { ok = m_panel->RunScript(u"window.handed = 8;", u"vbscript", 2, 1); }));
    EXPECT_FALSE(ok);
    EXPECT_EQ(PageInt(u"window.handed"_qs), 7);
}

TEST_F(TaskExecutor, MouseActionsLandInThePage)
{
    // The game-area window is looked up once the page has settled.
    const HWND content = m_view->GetContentWindow();
    ASSERT_TRUE(WaitFor([&] { return FindWindowExW(content, nullptr, u"MacromediaFlashPlayerActiveX", nullptr); }));
    Put(m_panel, {{u"click"}, {u"draw"}});
    Execute(m_panel, Panel::ExecuteMode::Timer);
    EXPECT_EQ(Column(m_panel, Panel::ColStatus), (std::vector<std::u16string> {u"成功", u"成功"}));
    ASSERT_TRUE(WaitFor([&] { return PageInt(u"window.log.length"_qs) >= 5; }))
        << Js(m_view, u"window.log.join('|')"_qs).toStdString();
    const QStringList log = Js(m_view, u"window.log.join('|')"_qs).split(u'|');
    EXPECT_EQ(log.value(0), u"mousedown true 50,60"_qs);
    EXPECT_EQ(log.value(1), u"mouseup true 50,60"_qs);
    // The drag goes to the canvas, relative to its corner (200, 100).
    EXPECT_EQ(log.value(2), u"mousedown true 210,120 game"_qs);
    EXPECT_TRUE(log.contains(u"mousemove true 350,170 game"_qs)) << log.join(u' ').toStdString();
    EXPECT_EQ(log.last(), u"mouseup true 350,170 game"_qs);

    Put(m_panel, {{u"scroll"}});
    Execute(m_panel, Panel::ExecuteMode::Timer);
    EXPECT_EQ(Cell(m_panel, 2, Panel::ColStatus), u"成功");
    EXPECT_TRUE(WaitFor([&] { return PageInt(u"window.scrollY"_qs) == 500; }));
}

TEST_F(TaskExecutor, WithoutAPageMouseActionsFail)
{
    CChildFrame *tab = NewTab();
    CLeftView *panel = tab->GetLeftView();
    Put(panel, {{u"click"}});
    Execute(panel, Panel::ExecuteMode::Timer);
    EXPECT_EQ(Cell(panel, 0, Panel::ColStatus), u"失败");
}

TEST_F(TaskExecutor, DeletingAllRowsDuringAPassEndsIt)
{
    std::vector<RowDef> rows(12, RowDef {u"slow"});
    Put(m_panel, rows);
    std::atomic<bool> done {false};
    std::thread worker([&] {
        m_panel->ExecuteRows(Panel::ExecuteMode::Timer);
        done = true;
    });
    WaitFor([&] { return Cell(m_panel, 2, Panel::ColStatus) == u"成功"; }, 10000);
    m_panel->OnCommand(Panel::ID_DELETE_ALL);
    EXPECT_TRUE(WaitFor([&] { return done.load(); }, 10000));
    worker.join();
    EXPECT_EQ(m_panel->List().GetItemCount(), 0);
    EXPECT_LT(PageInt(u"window.slow"_qs), 12);
}

// A pass takes the list in slices: the rows at and around their edges are
// counted down and run like any other.
TEST_F(TaskExecutor, LongListsAreCountedAndRunPastEverySliceEdge)
{
    constexpr int kRows = 600;
    std::vector<RowDef> rows(kRows, RowDef {u"a1", u"-9999"});
    const std::vector<int> due = {0, 127, 128, 255, 256, 511, 599};
    for (int row : due)
        rows[static_cast<std::size_t>(row)].seconds = u"0";
    for (int row : {1, 129, 383, 598})
        rows[static_cast<std::size_t>(row)].seconds = u"50";
    Put(m_panel, rows);

    m_panel->OnStartStop();
    ASSERT_TRUE(OnWorker([&] { m_panel->CountDown(); }));
    m_panel->OnStartStop();
    Execute(m_panel, Panel::ExecuteMode::Timer);

    EXPECT_EQ(PageInt(u"window.ranA"_qs), static_cast<int>(due.size()));
    const auto seconds = Column(m_panel, Panel::ColSeconds);
    const auto status = Column(m_panel, Panel::ColStatus);
    for (int row = 0; row < kRows; ++row) {
        const bool ran = std::find(due.begin(), due.end(), row) != due.end();
        const bool counting = row == 1 || row == 129 || row == 383 || row == 598;
        EXPECT_EQ(status[static_cast<std::size_t>(row)], ran ? u"成功" : u"") << row;
        EXPECT_EQ(seconds[static_cast<std::size_t>(row)], counting ? u"49" : u"-9999") << row;
    }
}

// The user may pause, reset or remove rows while earlier rows of the same pass
// still run: each row is read again when its turn comes.
TEST_F(TaskExecutor, ARowChangedWhileEarlierRowsRunIsReadAgainAtItsTurn)
{
    Put(m_panel, {{u"slow"}, {u"a1"}, {u"a1"}, {u"a1"}});
    std::atomic<bool> done {false};
    std::thread worker([&] {
        m_panel->ExecuteRows(Panel::ExecuteMode::Timer);
        done = true;
    });
    ASSERT_TRUE(WaitFor([&] { return Cell(m_panel, 0, Panel::ColStatus) == u"执行..."; }, 10000));
    auto &list = m_panel->List();
    list.SetCellNumber(1, Panel::ColStop, 1);
    list.SetCellNumber(2, Panel::ColSeconds, 30);
    EXPECT_TRUE(WaitFor([&] { return done.load(); }, 10000));
    worker.join();
    EXPECT_EQ(PageInt(u"window.ranA"_qs), 1);
    EXPECT_EQ(Column(m_panel, Panel::ColStatus), (std::vector<std::u16string> {u"成功", u"", u"", u"成功"}));
    EXPECT_EQ(Column(m_panel, Panel::ColSeconds), (std::vector<std::u16string> {u"-9999", u"0", u"30", u"-9999"}));
}

TEST_F(TaskExecutor, StartRunsDueRowsStopLetsTheExecutorEndAndStartAgainRestarts)
{
    Add(m_panel, u"A"_qs, 0, -5); // iSleep 5: due at once
    EXPECT_EQ(Cell(m_panel, 0, Panel::ColSeconds), u"0");
    Pause(1500);
    EXPECT_EQ(Cell(m_panel, 0, Panel::ColStatus), u""); // not started: stays

    m_panel->OnStartStop();
    EXPECT_EQ(m_panel->Controls().GetDlgItemText(1007), u"停止");
    EXPECT_TRUE(m_panel->HasTask(Panel::kExecutorId));
    EXPECT_TRUE(WaitFor([&] { return Cell(m_panel, 0, Panel::ColStatus) == u"成功"; }, 4000));

    m_panel->OnStartStop();
    EXPECT_EQ(m_panel->Controls().GetDlgItemText(1007), u"开始");
    EXPECT_TRUE(WaitFor([&] { return !m_panel->HasTask(Panel::kExecutorId); }, 3000));

    // Stop then Start at once: the executor keeps going.
    m_panel->OnStartStop();
    m_panel->OnStartStop();
    m_panel->OnStartStop();
    Pause(2500);
    EXPECT_TRUE(m_panel->HasTask(Panel::kExecutorId));
    Add(m_panel, u"A"_qs, 0, -5);
    EXPECT_TRUE(WaitFor([&] { return Cell(m_panel, 1, Panel::ColStatus) == u"成功"; }, 4000));
}

TEST_F(TaskExecutor, RunNowTakesSelectedRowsOnceAndIgnoresASecondRequest)
{
    Put(m_panel, {{u"a1", u"30"}, {u"a1", u"30"}});
    Select(m_panel, {1});
    m_panel->OnCommand(Panel::ID_RUN_NOW);
    m_panel->OnCommand(Panel::ID_RUN_NOW);
    EXPECT_TRUE(m_panel->HasTask(Panel::kRunNowId));
    EXPECT_TRUE(WaitFor([&] { return !m_panel->HasTask(Panel::kRunNowId); }, 6000));
    EXPECT_EQ(PageInt(u"window.ranA"_qs), 1);
    EXPECT_EQ(Column(m_panel, Panel::ColStatus), (std::vector<std::u16string> {u"", u"成功"}));
}

TEST_F(TaskExecutor, RepeatsFollowTheirIntervalInRealTime)
{
    // Counted down from 3 so that every gap is one of the steady countdown.
    m_panel->OnStartStop();
    Put(m_panel, {{u"loop", u"3"}});
    ASSERT_TRUE(WaitFor([&] { return PageInt(u"window.loops ? window.loops.length : 0"_qs) == 4; }, 30000));
    Pause(3500);
    EXPECT_EQ(PageInt(u"window.loops.length"_qs), 4);
    const QStringList times = Js(m_view, u"window.loops.join(',')"_qs).split(u',');
    for (int i = 1; i < times.size(); ++i) {
        const double gap = (times[i].toDouble() - times[i - 1].toDouble()) / 1000.0;
        // loopDifTime 2, seen through two one-second records.
        EXPECT_GE(gap, 0.8) << i;
        EXPECT_LE(gap, 3.5) << i;
    }
    EXPECT_EQ(Cell(m_panel, 0, Panel::ColUseLoopCount), u"3");
}

TEST_F(TaskExecutor, ClosingATabWhileItsRowsRunNeitherHangsNorStopsTheOtherTab)
{
    CChildFrame *other = NewTab(false);
    CLeftView *otherPanel = other->GetLeftView();
    ASSERT_TRUE(LoadPage(other->GetBrowserView(), "practice.html"));
    otherPanel->OnStartStop();
    Put(otherPanel, {{u"loop"}});

    m_panel->OnStartStop();
    std::vector<RowDef> rows(30, RowDef {u"slow"});
    Put(m_panel, rows);
    ASSERT_TRUE(WaitFor([&] { return Cell(m_panel, 1, Panel::ColStatus) == u"成功"; }, 5000));

    QElapsedTimer clock;
    clock.start();
    m_frame->CloseFrame(m_tab);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_LT(clock.elapsed(), 2500);
    m_tab = nullptr;
    m_panel = nullptr;

    CVellumView *otherView = other->GetBrowserView();
    EXPECT_TRUE(WaitFor(
        [&] {
            wstring16 result;
            otherView->ExecScript(u"window.loops ? window.loops.length : 0", u"", result);
            return result == u"4";
        },
        30000));
}

TEST_F(TaskExecutor, ClosingATabWhileItsPanelWaitsForAScriptReturnsAtOnce)
{
    m_panel->OnStartStop();
    Put(m_panel, {{u"long"}, {u"long"}});
    // The close arrives while the panel is inside the script's wait.
    bool closed = false;
    QElapsedTimer clock;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, m_frame.get(), [&] {
        if (closed || Cell(m_panel, 0, Panel::ColStatus) != u"执行...")
            return;
        closed = true;
        Pause(300);
        clock.start();
        m_frame->CloseFrame(m_tab);
    });
    poll.start(20);
    ASSERT_TRUE(WaitFor([&] { return closed; }, 10000));
    EXPECT_TRUE(WaitFor([&] { return m_frame->findChildren<CLeftView *>().isEmpty(); }, 5000));
    EXPECT_LT(clock.elapsed(), 2500);
    m_tab = nullptr;
    m_panel = nullptr;
    // The program goes on.
    CChildFrame *next = NewTab();
    ASSERT_NE(next, nullptr);
    Add(next->GetLeftView(), u"A"_qs, 0, 1);
    EXPECT_EQ(next->GetLeftView()->List().GetItemCount(), 1);
}

TEST_F(TaskExecutor, ClosingATabAnswersTheDebugBoxItsExecutorWaitsOn)
{
    SetMessageBoxSeam({}); // the real box
    Put(m_panel, {{u"dbg"}});
    m_panel->OnStartStop();
    const auto boxShown = [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<QMessageBox *>(w) && w->isVisible())
                return true;
        return false;
    };
    ASSERT_TRUE(WaitFor(boxShown, 10000));
    QElapsedTimer clock;
    clock.start();
    m_frame->CloseFrame(m_tab);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_LT(clock.elapsed(), 2500);
    m_tab = nullptr;
    m_panel = nullptr;
    EXPECT_TRUE(WaitFor([&] { return !boxShown(); }, 5000));
}

TEST_F(TaskExecutor, AHandOffIsNotHeldUpByAnotherTabsLongerScript)
{
    CChildFrame *other = NewTab(false);
    CLeftView *otherPanel = other->GetLeftView();
    ASSERT_TRUE(LoadPage(other->GetBrowserView(), "practice.html"));
    // This tab's script is under way when the other tab hands over a longer one;
    // this tab's answer must not wait for the other's script.
    std::atomic<bool> quickOk {false};
    std::atomic<bool> slowOk {false};
    std::atomic<qint64> quickMs {-1};
    ASSERT_TRUE(OnWorker([&] {
        std::thread slow([&] {
            Sleep(100);
            slowOk = otherPanel->RunScript(u"var t = Date.now(); while (Date.now() - t < 1500) { }", u"", 1, 1);
        });
        QElapsedTimer clock;
        clock.start();
        quickOk = m_panel->RunScript(u"var t = Date.now(); while (Date.now() - t < 300) { }", u"", 1, 1);
        quickMs = clock.elapsed();
        slow.join();
    }));
    EXPECT_TRUE(quickOk.load());
    EXPECT_TRUE(slowOk.load());
    EXPECT_GE(quickMs.load(), 300);
    EXPECT_LT(quickMs.load(), 1200);
}
