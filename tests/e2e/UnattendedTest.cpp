// Leaving the program running: the tabs kept on disk and brought back after a
// crash (and after a normal exit when asked), the command-line options, the
// autostart entry and the run record. The program runs in this process, with
// its files in a temporary folder; the crash test kills a real copy of it.

#include "app/AutostartEntry.h"
#include "app/CChildFrame.h"
#include "app/CDocumentTabs.h"
#include "app/CMainFrame.h"
#include "app/CTabStateKeeper.h"
#include "app/CUnattendedSettings.h"
#include "app/CVellumApp.h"
#include "app/CVellumView.h"
#include "platform/FileSystem.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/Window.h"
#include "platform/qt/QtPlatform.h"
#include "tasks/CLeftView.h"
#include "tasks/CRunRecord.h"
#include "tasks/CRunRecordDlg.h"
#include "tasks/SessionStateFile.h"
#include "tests/common/TempDir.h"
#include "util/CReportCtrl.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSplitter>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>

namespace fs = std::filesystem;
using KorrinControlsEx::CReportCtrl;

namespace {

constexpr char kPage[] = R"(<!DOCTYPE html><html><head><meta charset="utf-8"></head><body style="margin:0">
<div style="width:400px;height:300px"></div>
<script>window.n = 0; window.clicks = 0; document.addEventListener('mousedown', function () { clicks++; });</script>
</body></html>
)";

constexpr char kCatalogue[] = R"(<?xml version="1.0" encoding="utf-8"?>
<game>
<item name="练习" Id="1" Url="about:blank">
<event>
<action id="inc" desc="累加" loopCount="100000" loopDifTime="1"><![CDATA[window.n = (window.n || 0) + 1;]]></action>
<action id="twice" desc="两次" loopCount="1" loopDifTime="1"><![CDATA[window.n = (window.n || 0) + 1;]]></action>
<action id="click" desc="点击" doFlashIndex="-1" px1="50" py1="60" px2="50" py2="60"><![CDATA[DoClick]]></action>
<action id="reject" desc="拒绝" reTryCount="3" bDoCount="1"><![CDATA[window.tries = (window.tries || 0) + 1; throw new Error("no");]]></action>
</event>
</item>
</game>
)";

std::string ReadAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

bool WaitFor(const std::function<bool()> &condition, int milliseconds = 20000)
{
    return QTest::qWaitFor(condition, milliseconds);
}

SessionState::Row TaskRow(int number, const wstring16 &event, const wstring16 &seconds, const wstring16 &stop = u"0")
{
    const wstring16 n = WideString::FromInt(number);
    return {n, u"累加", seconds, u"0", event, u"", stop, u"1", u"100000", u"0", u"123456"};
}

class Unattended : public ::testing::Test {
protected:
    void SetUp() override
    {
        QtPlatform::Install();
        SetMessageBoxSeam([this](HWND, const wstring16 &text, const wstring16 &, UINT) {
            std::lock_guard lock(m_lock);
            m_messages.push_back(text);
            return IDOK;
        });
        WriteAll(m_dir / "page.html", kPage);
        WriteAll(m_dir / "tasks.xml", kCatalogue);
        std::ofstream(m_dir / "tessaly").put('x');
        FileSystem::SetModuleFileNameForTest(WideString::FromUtf8((m_dir / "tessaly").string()));
        fs::create_directories(m_dir / "Config");
        for (const char *name : {"HOME", "XDG_CONFIG_HOME"}) {
            const char *value = std::getenv(name);
            m_env.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        setenv("HOME", (m_dir / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_dir / "xdg").c_str(), 1);
    }

    void TearDown() override
    {
        m_app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SetMessageBoxSeam({});
        SetFileDialogSeam({});
        FileSystem::SetModuleFileNameForTest(u"");
        for (const auto &[name, value] : m_env) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

    bool Start(QStringList arguments = {})
    {
        arguments.prepend(QStringLiteral("tessaly"));
        m_app = std::make_unique<CVellumApp>();
        const bool started = m_app->InitInstance(arguments);
        QCoreApplication::processEvents(); // the messages told once the program runs
        return started;
    }

    // A normal exit, as the user closes the window.
    void Exit()
    {
        if (m_app && m_app->MainFrame())
            m_app->MainFrame()->close();
        m_app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    fs::path StateFile() const { return m_dir / "Config" / "TabState.dat"; }
    wstring16 StatePath() const { return WideString::FromUtf8(StateFile().string()); }
    wstring16 Url() const
    {
        return QUrl::fromLocalFile(QString::fromStdString((m_dir / "page.html").string())).toString().toStdU16String();
    }
    wstring16 CataloguePath() const { return WideString::FromUtf8((m_dir / "tasks.xml").string()); }

    SessionState CrashState(bool cleanExit = false) const
    {
        SessionState state;
        state.cleanExit = cleanExit;
        state.activeTab = 2;
        for (int t = 0; t < 3; ++t) {
            SessionState::Tab tab;
            tab.url = Url() + u"?tab=" + WideString::FromInt(t);
            tab.catalogue = t == 1 ? wstring16() : CataloguePath();
            tab.started = true;
            tab.divider = 300 + 10 * t;
            tab.rows = std::make_shared<std::vector<SessionState::Row>>(std::vector<SessionState::Row> {
                TaskRow(1, u"inc", u"40"), TaskRow(2, u"inc", u"-9999"), TaskRow(4, u"inc", u"7", u"1")});
            state.tabs.push_back(tab);
        }
        return state;
    }

    void WriteState(const SessionState &state) const
    {
        ASSERT_TRUE(SessionStateFile::Write(StatePath(), SessionStateFile::Compose(state)));
    }

    std::optional<SessionState> ReadState() const
    {
        SessionState state;
        if (!SessionStateFile::Parse(ReadAll(StateFile()), &state))
            return std::nullopt;
        return state;
    }

    QList<CChildFrame *> Frames() const { return m_app->MainFrame()->Tabs()->Frames(); }

    std::vector<wstring16> Messages()
    {
        std::lock_guard lock(m_lock);
        return m_messages;
    }

    static std::vector<SessionState::Row> Rows(CLeftView *panel)
    {
        std::vector<SessionState::Row> rows;
        for (int r = 0; r < panel->List().GetItemCount(); ++r) {
            SessionState::Row row;
            for (int c = 0; c < SessionState::kCells; ++c)
                row[static_cast<std::size_t>(c)] = panel->List().GetItemText(r, c);
            rows.push_back(row);
        }
        return rows;
    }

    static int PageInt(CVellumView *view, const QString &expression)
    {
        wstring16 result;
        view->ExecScript((QStringLiteral("(") + expression + QStringLiteral(") | 0")).toStdU16String(), u"", result);
        return QString::fromStdU16String(result).toInt();
    }

    TempDir m_dir;
    std::unique_ptr<CVellumApp> m_app;
    std::mutex m_lock;
    std::vector<wstring16> m_messages;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_env;
};

} // namespace

TEST_F(Unattended, AfterACrashTheTabsComeBackWithTheirPagesAndRowsNotStarted)
{
    const SessionState crashed = CrashState();
    WriteState(crashed);
    ASSERT_TRUE(Start());
    ASSERT_EQ(Frames().size(), 3);
    EXPECT_EQ(m_app->MainFrame()->Tabs()->ActiveFrame(), Frames()[2]);
    EXPECT_EQ(
        m_app->MainFrame()->StatusText(), QStringLiteral("已恢复上次的 3 个标签页，任务未开始：请在各标签页按“开始”"));
    EXPECT_TRUE(Messages().empty());
    for (int t = 0; t < 3; ++t) {
        CLeftView *panel = Frames()[t]->GetLeftView();
        const SessionState::Tab &saved = crashed.tabs[static_cast<std::size_t>(t)];
        EXPECT_FALSE(panel->IsStarted());
        EXPECT_EQ(panel->Catalogue().Path(), saved.catalogue.empty() ? g_strAppDir + u"Config.xml" : saved.catalogue);
        // Every cell as saved, but the tick count of the earlier run.
        std::vector<SessionState::Row> expected = *saved.rows;
        for (SessionState::Row &row : expected)
            row[CLeftView::ColLastTick].clear();
        EXPECT_EQ(Rows(panel), expected);
        CVellumView *view = Frames()[t]->GetBrowserView();
        EXPECT_TRUE(WaitFor([&] { return view->url().toString().toStdU16String() == saved.url; })) << t;
        EXPECT_TRUE(WaitFor([&] { return Frames()[t]->m_wndSplitter->sizes().value(0) == saved.divider; }))
            << Frames()[t]->m_wndSplitter->sizes().value(0);
    }
    // Still said once the pages have loaded, until a tab is started.
    EXPECT_EQ(
        m_app->MainFrame()->StatusText(), QStringLiteral("已恢复上次的 3 个标签页，任务未开始：请在各标签页按“开始”"));
    // The paused row is drawn grey, the others not.
    COLORREF text = 0, back = 0;
    CReportCtrl &list = Frames()[0]->GetLeftView()->List();
    ASSERT_TRUE(list.GetCellColours(2, 1, &text, &back));
    EXPECT_EQ(text, RGB(150, 150, 150));
    ASSERT_TRUE(list.GetCellColours(0, 1, &text, &back));
    EXPECT_EQ(text, RGB(0, 0, 0));

    // The restored run is kept at once: not started, not a clean exit.
    ASSERT_TRUE(WaitFor([&] {
        const std::optional<SessionState> now = ReadState();
        return now && now->tabs.size() == 3 && !now->tabs[0].started;
    }));
    // Counted from the restore: a start counts the first step as one second.
    CLeftView *first = Frames()[0]->GetLeftView();
    first->OnStartStop();
    // Nothing was restored: the bar shows the page loading or the idle text.
    EXPECT_FALSE(m_app->MainFrame()->StatusText().startsWith(QStringLiteral("已恢复")));
    ASSERT_TRUE(WaitFor([&] { return first->List().GetItemText(0, CLeftView::ColSeconds) == u"39"; }, 10000));
    QTest::qWait(1500);
    const int seconds = WideString::ToInt(first->List().GetItemText(0, CLeftView::ColSeconds));
    EXPECT_GE(seconds, 36);
    EXPECT_LE(seconds, 38);

    Exit();
    const std::optional<SessionState> last = ReadState();
    ASSERT_TRUE(last);
    EXPECT_TRUE(last->cleanExit);
    EXPECT_TRUE(last->tabs[0].started);
    EXPECT_EQ(last->tabs[1].catalogue, u"");
    EXPECT_EQ(last->tabs[2].catalogue, CataloguePath());
}

TEST_F(Unattended, AfterANormalExitTabsComeBackOnlyWhenAsked)
{
    WriteState(CrashState(true));
    ASSERT_TRUE(Start());
    EXPECT_EQ(Frames().size(), 1);
    EXPECT_EQ(Frames()[0]->GetLeftView()->List().GetItemCount(), 0);
    EXPECT_FALSE(CUnattendedSettings::RestoreOnStart());
    m_app.reset();

    // --restore, whatever the setting.
    WriteState(CrashState(true));
    ASSERT_TRUE(Start({QStringLiteral("--restore")}));
    EXPECT_EQ(Frames().size(), 3);
    m_app.reset();

    // The setting, through its menu command, kept in Orvane.ini.
    WriteState(CrashState(true));
    ASSERT_TRUE(Start());
    ASSERT_EQ(Frames().size(), 1);
    ASSERT_TRUE(m_app->MainFrame()->OnCommand(CMainFrame::ID_RESTORE_ON_START));
    EXPECT_TRUE(CUnattendedSettings::RestoreOnStart());
    EXPECT_NE(ReadAll(m_dir / "Orvane.ini").find(std::string("R\0e\0s\0t\0o\0r\0e\0O\0n\0S\0t\0a\0r\0t\0=\0001", 30)),
        std::string::npos);
    m_app.reset();
    WriteState(CrashState(true));
    ASSERT_TRUE(Start());
    EXPECT_EQ(Frames().size(), 3);
    EXPECT_FALSE(Frames()[0]->GetLeftView()->IsStarted());
    ASSERT_TRUE(m_app->MainFrame()->OnCommand(CMainFrame::ID_RESTORE_ON_START));
    EXPECT_FALSE(CUnattendedSettings::RestoreOnStart());
}

TEST_F(Unattended, DamagedStateFallsBackToThePreviousCopyAndTellsOnce)
{
    SessionState older = CrashState();
    older.tabs.resize(2);
    WriteState(older);
    std::string newer = SessionStateFile::Compose(CrashState());
    newer[newer.size() / 2] ^= 0x20;
    ASSERT_TRUE(SessionStateFile::Write(StatePath(), newer));
    ASSERT_TRUE(Start());
    EXPECT_EQ(Frames().size(), 2);
    EXPECT_EQ(Messages(), std::vector<wstring16> {u"任务状态文件已损坏，已改用上一次保存的副本：" + StatePath()});
    Exit();
    ASSERT_TRUE(ReadState());
    m_messages.clear();
    // The damaged copy was not kept as the previous one.
    SessionState previous;
    EXPECT_TRUE(SessionStateFile::Parse(ReadAll(m_dir / "Config" / "TabState.dat.prev"), &previous));
    ASSERT_TRUE(Start());
    EXPECT_TRUE(Messages().empty());
    m_app.reset();

    // Nothing readable at all: a fresh tab, and the user is told.
    WriteAll(StateFile(), "TessalyTabs 1 garbage");
    WriteAll(m_dir / "Config" / "TabState.dat.prev", std::string(100, '\0'));
    m_messages.clear();
    ASSERT_TRUE(Start());
    EXPECT_EQ(Frames().size(), 1);
    EXPECT_EQ(Messages(), std::vector<wstring16> {u"任务状态文件已损坏，无法恢复上次的任务：" + StatePath()});
}

TEST_F(Unattended, CatalogueListAndStartOptions)
{
    // A list of two rows for the catalogue's "inc" action.
    const wstring16 list = u"1____累加____30____0____inc________0____30____100000____0____\r\n"
                           u"____2____累加____20____0____inc________0____20____100000____0____\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : list) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    WriteAll(m_dir / "list.bak", bytes);
    ASSERT_TRUE(Start({QStringLiteral("--catalogue"), QString::fromStdU16String(CataloguePath()), QStringLiteral("-x"),
        QStringLiteral("--list"), QStringLiteral("list.bak"), QStringLiteral("--start"), QStringLiteral("--unknown")}));
    ASSERT_EQ(Frames().size(), 1);
    CLeftView *panel = Frames()[0]->GetLeftView();
    EXPECT_EQ(panel->Catalogue().Path(), CataloguePath());
    EXPECT_EQ(panel->List().GetItemCount(), 2);
    EXPECT_EQ(panel->List().GetItemText(1, CLeftView::ColEventId), u"inc");
    EXPECT_TRUE(panel->IsStarted());
    EXPECT_TRUE(Messages().empty());
    // Nothing was restored: the bar shows the page loading or the idle text.
    EXPECT_FALSE(m_app->MainFrame()->StatusText().startsWith(QStringLiteral("已恢复")));
    m_app.reset();

    // Missing files: the messages, the built-in catalogue, no rows; --start still starts.
    WriteState(CrashState(true));
    ASSERT_TRUE(Start({QStringLiteral("--catalogue"), QStringLiteral("nothing.xml"), QStringLiteral("--list"),
        QStringLiteral("nothing.bak"), QStringLiteral("--start")}));
    panel = Frames()[0]->GetLeftView();
    EXPECT_EQ(panel->Catalogue().Path(), g_strAppDir + u"Config.xml");
    EXPECT_EQ(panel->List().GetItemCount(), 0);
    EXPECT_TRUE(panel->IsStarted());
    const wstring16 cwd = WideString::FromUtf8(fs::current_path().string()) + u"/";
    EXPECT_EQ(Messages(),
        (std::vector<wstring16> {
            u"配置文件没有找到：" + cwd + u"nothing.xml", u"没有找到执行列表文件：" + cwd + u"nothing.bak"}));
    m_app.reset();

    // Damaged files: the catalogue is refused with its message; a list of any
    // bytes imports what it holds; a missing argument is named.
    WriteAll(m_dir / "bad.xml", "<game><item name=\"x\"");
    WriteAll(m_dir / "bad.bak", std::string("\xFF\xFE\x00\xD8____\x01", 9));
    m_messages.clear();
    ASSERT_TRUE(Start({QStringLiteral("--catalogue"), QString::fromStdString((m_dir / "bad.xml").string()),
        QStringLiteral("--list"), QString::fromStdString((m_dir / "bad.bak").string()), QStringLiteral("--list")}));
    panel = Frames()[0]->GetLeftView();
    EXPECT_EQ(panel->Catalogue().Path(), g_strAppDir + u"Config.xml");
    EXPECT_FALSE(panel->IsStarted());
    EXPECT_EQ(Messages(),
        (std::vector<wstring16> {u"命令行选项缺少文件名：--list",
            u"配置文件格式被破坏：" + WideString::FromUtf8((m_dir / "bad.xml").string())}));
}

TEST_F(Unattended, HiddenStartKeepsTheWindowOutOfSightWhileTheTabsRun)
{
    ASSERT_TRUE(Start({QStringLiteral("--hidden")}));
    CMainFrame *frame = m_app->MainFrame();
    EXPECT_FALSE(IsWindowVisible(frame->GetSafeHwnd()) && !frame->isMinimized());
    EXPECT_TRUE(frame->IsHiddenKeepingPagesLive() || frame->isMinimized());
}

TEST_F(Unattended, AutostartEntryIsWrittenAndRemoved)
{
    ASSERT_TRUE(Start());
    const fs::path entry = m_dir / "xdg" / "autostart" / "tessaly.desktop";
    EXPECT_EQ(AutostartEntry::Path(), entry.string());
    ASSERT_TRUE(m_app->MainFrame()->OnCommand(CMainFrame::ID_AUTOSTART));
    ASSERT_TRUE(fs::exists(entry));
    const std::string text = ReadAll(entry);
    EXPECT_NE(text.find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(text.find("Exec=" + (m_dir / "tessaly").string() + " --restore --start --hidden\n"), std::string::npos)
        << text;
    EXPECT_TRUE(CUnattendedSettings::AutostartOn());
    ASSERT_TRUE(m_app->MainFrame()->OnCommand(CMainFrame::ID_AUTOSTART));
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_TRUE(fs::is_directory(entry.parent_path()));

    // Without XDG_CONFIG_HOME it goes below the home folder; a path with blanks is quoted.
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(AutostartEntry::Path(), (m_dir / "home" / ".config" / "autostart" / "tessaly.desktop").string());
    EXPECT_NE(AutostartEntry::Contents("/opt/my apps/tessaly").find("Exec=\"/opt/my apps/tessaly\" --restore"),
        std::string::npos);
    // Where it cannot be written, the user is told.
    WriteAll(m_dir / "home" / ".config", "a file in the folder's place");
    fs::create_directories(m_dir / "home");
    WriteAll(m_dir / "home" / ".config", "a file in the folder's place");
    m_messages.clear();
    m_app->MainFrame()->OnCommand(CMainFrame::ID_AUTOSTART);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].rfind(u"无法写入开机自动运行项：", 0), 0u);
}

TEST_F(Unattended, RunRecordCountsExactlyTheRunsThePageSaw)
{
    ASSERT_TRUE(Start({QStringLiteral("--catalogue"), QString::fromStdU16String(CataloguePath())}));
    CChildFrame *tab = Frames()[0];
    CLeftView *panel = tab->GetLeftView();
    CVellumView *view = tab->GetBrowserView();
    view->NavigateUrl(Url(), false);
    ASSERT_TRUE(WaitFor([&] { return PageInt(view, QStringLiteral("document.readyState == 'complete' && 1")) == 1; }));
    const std::uint64_t before = g_RunRecord.Total();
    // "两次" runs three times (loopCount 1), the click once, "拒绝" once with three tries.
    CReportCtrl &list = panel->List();
    const auto addRow = [&](const wstring16 &event, const wstring16 &desc, const wstring16 &loop) {
        const int row = list.InsertRow(list.GetItemCount(), wstring16());
        const SessionState::Row cells {
            WideString::FromInt(row + 1), desc, u"0", u"0", event, u"", u"0", u"1", loop, u"0", u""};
        for (int c = 0; c < SessionState::kCells; ++c)
            list.SetCellText(row, c, cells[static_cast<std::size_t>(c)]);
    };
    addRow(u"twice", u"两次", u"1");
    addRow(u"click", u"点击", u"0");
    addRow(u"reject", u"拒绝", u"0");
    panel->OnStartStop();
    ASSERT_TRUE(WaitFor(
        [&] {
            return PageInt(view, QStringLiteral("window.n")) == 3 &&
                PageInt(view, QStringLiteral("window.clicks")) == 1 &&
                list.GetItemText(2, CLeftView::ColStatus) == u"失败";
        },
        30000));
    QTest::qWait(2500); // nothing more runs
    panel->OnStartStop();
    const std::vector<CRunRecord::Entry> runs = g_RunRecord.EntriesSince(before);
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(PageInt(view, QStringLiteral("window.n")), 3);
    EXPECT_EQ(PageInt(view, QStringLiteral("window.tries")), 3);
    int scripts = 0, mouse = 0, failed = 0;
    for (const CRunRecord::Entry &e : runs) {
        EXPECT_EQ(e.tab, panel->TabName());
        scripts += e.mouse ? 0 : 1;
        mouse += e.mouse ? 1 : 0;
        if (!e.success) {
            ++failed;
            EXPECT_EQ(e.row, u"3");
            EXPECT_EQ(e.action, u"拒绝");
            EXPECT_EQ(e.attempts, 3);
        }
    }
    EXPECT_EQ(scripts, 4);
    EXPECT_EQ(mouse, 1);
    EXPECT_EQ(failed, 1);
    // Newest first.
    for (std::size_t i = 1; i < runs.size(); ++i)
        EXPECT_GE(runs[i - 1].time, runs[i].time);

    // The window: filtered by result, exported, read back.
    ASSERT_TRUE(m_app->MainFrame()->OnCommand(CMainFrame::ID_RUN_RECORD));
    auto *dialog = m_app->MainFrame()->findChild<CRunRecordDlg *>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    dialog->SetFilter(panel->TabName(), u"失败");
    ASSERT_EQ(dialog->List().GetItemCount(), 1);
    EXPECT_EQ(dialog->List().GetItemText(0, CRunRecordDlg::ColAction), u"拒绝");
    EXPECT_EQ(dialog->List().GetItemText(0, CRunRecordDlg::ColAttempts), u"3");
    dialog->SetFilter(panel->TabName(), u"");
    EXPECT_EQ(dialog->List().GetItemCount(), 5);
    EXPECT_EQ(dialog->List().GetItemText(0, CRunRecordDlg::ColTab), panel->TabName());
    const fs::path csv = m_dir / "记录.csv";
    SetFileDialogSeam([&](const FileDialogRequest &request, wstring16 *path) {
        EXPECT_TRUE(request.save);
        *path = WideString::FromUtf8(csv.string());
        return true;
    });
    ASSERT_TRUE(dialog->ExportCsv());
    const std::string bytes = ReadAll(csv);
    EXPECT_EQ(bytes, CRunRecord::ToCsv(dialog->Shown()));
    EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF", 0), 0u);
}

namespace {

// The real program, started from a copy in a temporary folder and killed as a power cut would.
class KilledProgram : public Unattended {
protected:
    void SetUp() override
    {
        Unattended::SetUp();
        const char *binaryDir = std::getenv("TESSALY_BINARY_DIR");
        ASSERT_NE(binaryDir, nullptr);
        fs::remove(m_dir / "tessaly");
        fs::copy_file(fs::path(binaryDir) / "tessaly_under_test", m_dir / "tessaly");
    }

    void TearDown() override
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
        Unattended::TearDown();
    }

    void Run(const QStringList &arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TESSALY_ANSWER_MESSAGE_BOXES"), QStringLiteral("1"));
        const QString home = QString::fromStdString((m_dir / "home").string());
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(QString::fromStdString(m_dir.Path().string()));
        m_process.start(QString::fromStdString((m_dir / "tessaly").string()), arguments);
        ASSERT_TRUE(m_process.waitForStarted(10000));
    }

    QProcess m_process;
};

} // namespace

TEST_F(KilledProgram, ThreeRunningTabsComeBackAfterSigkill)
{
    SessionState crashed = CrashState();
    for (SessionState::Tab &tab : crashed.tabs) {
        tab.catalogue = CataloguePath();
        tab.rows = std::make_shared<std::vector<SessionState::Row>>(std::vector<SessionState::Row> {
            TaskRow(1, u"inc", u"1"), TaskRow(2, u"inc", u"2"), TaskRow(3, u"inc", u"1", u"1")});
    }
    WriteState(crashed);
    Run({QStringLiteral("--start")});
    // Every tab's running rows have run a few times; the paused one not at all.
    std::optional<SessionState> running;
    ASSERT_TRUE(WaitFor(
        [&] {
            running = ReadState();
            if (!running || running->tabs.size() != 3)
                return false;
            for (const SessionState::Tab &tab : running->tabs)
                if (!tab.started || tab.rows->size() != 3 || WideString::ToInt((*tab.rows)[0][9]) < 3 ||
                    WideString::ToInt((*tab.rows)[1][9]) < 2)
                    return false;
            return true;
        },
        60000))
        << m_process.readAllStandardError().toStdString();
    for (const SessionState::Tab &tab : running->tabs)
        EXPECT_EQ((*tab.rows)[2][9], u"0");
    m_process.kill();
    ASSERT_TRUE(m_process.waitForFinished(10000));
    const auto killedAt = fs::file_time_type::clock::now();
    const std::optional<SessionState> atKill = ReadState();
    ASSERT_TRUE(atKill);
    EXPECT_FALSE(atKill->cleanExit);
    // Saved at most about two seconds before the end, while the rows changed every second.
    EXPECT_LT(killedAt - fs::last_write_time(StateFile()), std::chrono::milliseconds(2500));

    Run({});
    std::optional<SessionState> back;
    ASSERT_TRUE(WaitFor(
        [&] {
            back = ReadState();
            return back && back->tabs.size() == 3 && !back->tabs[0].started;
        },
        60000));
    for (std::size_t t = 0; t < 3; ++t) {
        const SessionState::Tab &before = atKill->tabs[t];
        const SessionState::Tab &after = back->tabs[t];
        EXPECT_EQ(after.url, before.url);
        EXPECT_EQ(after.catalogue, before.catalogue);
        EXPECT_FALSE(after.started);
        std::vector<SessionState::Row> expected = *before.rows;
        for (SessionState::Row &row : expected)
            row[CLeftView::ColLastTick].clear();
        EXPECT_EQ(*after.rows, expected) << "tab " << t;
    }
    EXPECT_EQ(back->activeTab, atKill->activeTab);
    QTest::qWait(500);
    EXPECT_EQ(m_process.state(), QProcess::Running);
    EXPECT_FALSE(m_process.readAllStandardError().contains("MessageBox"));
}

TEST_F(Unattended, StartUpThatFailsLeavesTheKeptTabsAsTheyWere)
{
    WriteState(CrashState(true));
    const std::string before = ReadAll(StateFile());
    EXPECT_FALSE(Start({QString::fromStdString((m_dir / "no such document").string())}));
    m_app.reset();
    EXPECT_EQ(ReadAll(StateFile()), before);
    EXPECT_FALSE(fs::exists(m_dir / "Config" / "TabState.dat.prev"));
}
