// The main frame's looks, fonts, menus, tray and boss key. The tray is the
// notification service's test seam (offscreen has no tray); the boss key's real
// key presses run in a child process on the X server (xvfb-run gives one).

#include "app/CAboutDlg.h"
#include "app/CApplicationLook.h"
#include "app/CBossKey.h"
#include "app/CContextMenuManager.h"
#include "app/CDocumentTabs.h"
#include "app/CHotKeyCtrl.h"
#include "app/CSetHotKey.h"
#include "app/CVellumApp.h"
#include "app/CVellumDoc.h"
#include "platform/FileSystem.h"
#include "platform/WideString.h"
#include "platform/Window.h"
#include "platform/qt/DialogForm.h"
#include "platform/qt/MenuTemplate.h"
#include "platform/qt/QtTrayIcon.h"
#include "tasks/CLeftView.h"
#include "tests/app/BrowserTest.h"
#include "tests/common/TempDir.h"
#include "tests/common/XServerChild.h"
#include "util/CReportCtrl.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTest>
#include <QToolBar>
#include <QToolTip>
#include <QWidgetAction>
#include <QWindow>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

constexpr char kXChild[] = "TESSALY_FRAME_X_CHILD";
bool InXChild() { return XServerChild::IsChild(kXChild); }

// The program runs from a temporary folder, so "Orvane.ini" is a fresh file.
class MainFrameTest : public BrowserTest {
protected:
    void SetUp() override
    {
        const std::string exe = (m_dir / "tessaly").string();
        std::ofstream(exe).put('x');
        FileSystem::SetModuleFileNameForTest(std::u16string(exe.begin(), exe.end()));
        SetNotifyIconBackend([this](DWORD message, const NOTIFYICONDATAW &data) {
            m_notes.push_back({message, data});
            return m_trayPresent ? TRUE : FALSE;
        });
        BrowserTest::SetUp();
    }
    void TearDown() override
    {
        BrowserTest::TearDown();
        SetNotifyIconBackend(&QtTrayIcon::Notify);
        FileSystem::SetModuleFileNameForTest(u"");
    }
    int Adds() const
    {
        return static_cast<int>(
            std::count_if(m_notes.begin(), m_notes.end(), [](const auto &n) { return n.first == NIM_ADD; }));
    }
    QAction *Command(UINT id, CMainFrame *frame = nullptr) const
    {
        for (QAction *a : (frame ? frame : m_frame.get())->actions())
            if (a->data().toUInt() == id)
                return a;
        return nullptr;
    }
    QMenu *TopMenu(const QString &title) const
    {
        for (QAction *a : m_frame->menuBar()->actions())
            if (a->menu() && a->text() == title)
                return a->menu();
        return nullptr;
    }

    TempDir m_dir;
    std::vector<std::pair<DWORD, NOTIFYICONDATAW>> m_notes;
    bool m_trayPresent = true;
};

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

TEST_F(MainFrameTest, StoredLookIsAppliedAndEveryChangeIsSaved)
{
    QSettings().setValue(QStringLiteral("Workspace/ApplicationLook"), 212);
    CMainFrame frame;
    ASSERT_TRUE(frame.LoadFrame());
    EXPECT_EQ(frame.LookId(), 212u);
    EXPECT_EQ(QApplication::style()->name().toLower(), QStringLiteral("windows"));
    for (UINT id = 215; id <= 218; ++id)
        EXPECT_FALSE(Command(id, &frame)->isChecked());

    SendMessageW(frame.GetSafeHwnd(), WM_COMMAND, 216, 0);
    EXPECT_EQ(QSettings().value(QStringLiteral("Workspace/ApplicationLook")).toInt(), 216);
    EXPECT_EQ(QApplication::style()->name().toLower(), QStringLiteral("fusion"));
    EXPECT_EQ(CApplicationLook::CurrentOffice2007Style(), CApplicationLook::Office2007Style::ObsidianBlack);

    frame.SetApplicationLook(300);
    EXPECT_EQ(CApplicationLook::CurrentManager(), CApplicationLook::Manager::Office2007);
    EXPECT_EQ(QSettings().value(QStringLiteral("Workspace/ApplicationLook")).toInt(), 300);
    frame.SetApplicationLook(218);
}

TEST_F(MainFrameTest, LookMenuMarksTheCurrentLookAndTabMenuHasTheBossKeyCommand)
{
    m_frame->SetApplicationLook(217);
    QMenu *view = TopMenu(QStringLiteral("视图(&V)"));
    ASSERT_NE(view, nullptr);
    QMenu *looks = nullptr;
    for (QAction *a : view->actions())
        if (a->menu())
            looks = a->menu();
    ASSERT_NE(looks, nullptr);
    std::vector<UINT> offered;
    for (QAction *a : looks->actions()) {
        offered.push_back(a->data().toUInt());
        EXPECT_EQ(a->isChecked(), a->data().toUInt() == 217u) << a->data().toUInt();
        EXPECT_NE(a->actionGroup(), nullptr); // drawn with a radio mark
    }
    EXPECT_EQ(offered, (std::vector<UINT> {215, 216, 217, 218}));
    m_frame->SetApplicationLook(218);
    EXPECT_TRUE(Command(218)->isChecked());
    EXPECT_FALSE(Command(217)->isChecked());

    EXPECT_EQ(TopMenu(QStringLiteral("基础功能")), nullptr); // not without a tab
    ASSERT_NE(NewTab(), nullptr);
    QMenu *basic = TopMenu(QStringLiteral("基础功能"));
    ASSERT_NE(basic, nullptr);
    // The boss key, then what leaving the program running needs.
    ASSERT_EQ(basic->actions().size(), 7);
    EXPECT_EQ(basic->actions()[0]->data().toUInt(), CMainFrame::ID_BOSS_KEY_SETTINGS);
    EXPECT_EQ(basic->actions()[0]->text(), QStringLiteral("老板键设置"));
    EXPECT_TRUE(basic->actions()[1]->isSeparator());
    EXPECT_EQ(basic->actions()[2]->text(), QStringLiteral("启动时恢复上次的任务"));
    EXPECT_TRUE(basic->actions()[2]->isCheckable());
    EXPECT_EQ(basic->actions()[3]->text(), QStringLiteral("开机自动运行"));
    EXPECT_TRUE(basic->actions()[3]->isCheckable());
    EXPECT_EQ(basic->actions()[4]->data().toUInt(), CMainFrame::ID_RUN_RECORD);
    EXPECT_EQ(basic->actions()[4]->text(), QStringLiteral("运行记录"));
    EXPECT_TRUE(basic->actions()[5]->isSeparator());
    EXPECT_EQ(basic->actions()[6]->data().toUInt(), CMainFrame::ID_MANAGE_CONTAINERS);
    EXPECT_EQ(basic->actions()[6]->text(), QStringLiteral("管理容器..."));
    EXPECT_EQ(m_frame->menuBar()->actions().indexOf(basic->menuAction()), 1);
}

TEST_F(MainFrameTest, FontsSurviveSystemFontAndMetricsChanges)
{
    const QFont mine = CApplicationLook::InterfaceFont();
    EXPECT_EQ(m_frame->font().family(), mine.family());
    EXPECT_EQ(m_frame->font().pixelSize(), 12);
    const QFont before = QApplication::font();
    QFont other(QStringLiteral("DejaVu Serif"));
    other.setPixelSize(20);
    QApplication::setFont(other); // as a desktop font change would
    for (WPARAM flag : {42, 47, 34, 0})
        SendMessageW(m_frame->GetSafeHwnd(), WM_SETTINGCHANGE, flag, 0);
    EXPECT_EQ(m_frame->font().family(), mine.family());
    EXPECT_EQ(m_frame->font().pixelSize(), 12);
    EXPECT_EQ(m_frame->menuBar()->font().family(), mine.family());
    EXPECT_EQ(m_frame->menuBar()->font().pixelSize(), 12);
    QApplication::setFont(before);
}

TEST_F(MainFrameTest, MinimisingGoesToTheTrayOnceAndRestoringMaximises)
{
    ASSERT_NE(NewTab(), nullptr);
    m_frame->showMinimized();
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(m_frame->GetSafeHwnd()); }, 5000)) << Adds();
    ASSERT_EQ(Adds(), 1);
    const NOTIFYICONDATAW &d = m_notes[0].second;
    EXPECT_EQ(std::u16string(d.szTip), u"Tessaly - qrc:/home/index.html");
    EXPECT_EQ(d.uID, 317u);
    EXPECT_EQ(d.uCallbackMessage, static_cast<UINT>(CMainFrame::WM_TRAY_NOTIFY));
    EXPECT_TRUE(m_frame->TrayIcon().IsShown());
    m_frame->OnSize(SIZE_MINIMIZED);
    SendMessageW(m_frame->GetSafeHwnd(), WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(Adds(), 1);

    // The icon's double click restores the window maximised and removes the icon.
    SendMessageW(m_frame->GetSafeHwnd(), CMainFrame::WM_TRAY_NOTIFY, 317, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(WaitFor([&] { return m_frame->isMaximized(); }, 5000));
    EXPECT_TRUE(IsWindowVisible(m_frame->GetSafeHwnd()));
    EXPECT_FALSE(m_frame->TrayIcon().IsShown());
    ASSERT_FALSE(m_notes.empty());
    EXPECT_EQ(m_notes.back().first, NIM_DELETE);

    // Next time it goes to the tray again.
    m_frame->showMinimized();
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(m_frame->GetSafeHwnd()); }, 5000));
    EXPECT_EQ(Adds(), 2);

    // The boss key shows it from the tray still minimised, and the icon stays.
    SendMessageW(m_frame->GetSafeHwnd(), WM_HOTKEY, CBossKey::kHotKeyId, 0);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(m_frame->GetSafeHwnd()) && m_frame->isMinimized(); }, 5000));
    Pause(200);
    EXPECT_TRUE(m_frame->isMinimized());
    EXPECT_FALSE(m_frame->IsHiddenKeepingPagesLive());
    EXPECT_TRUE(m_frame->TrayIcon().IsShown());
    EXPECT_EQ(Adds(), 2);
    SendMessageW(m_frame->GetSafeHwnd(), WM_HOTKEY, CBossKey::kHotKeyId, 0);
    EXPECT_FALSE(IsWindowVisible(m_frame->GetSafeHwnd()));
    Pause(200);
    EXPECT_FALSE(IsWindowVisible(m_frame->GetSafeHwnd()));
    EXPECT_TRUE(m_frame->TrayIcon().IsShown());

    m_frame->OnShowMainWindow();
    EXPECT_TRUE(WaitFor([&] { return m_frame->isMaximized(); }, 5000));
    Pause(200);
    EXPECT_TRUE(IsWindowVisible(m_frame->GetSafeHwnd()));
    EXPECT_FALSE(m_frame->TrayIcon().IsShown());
}

TEST_F(MainFrameTest, ToolbarButtonsShowPictures)
{
    auto *bar = m_frame->findChild<QToolBar *>(QStringLiteral("StandardToolBar"));
    ASSERT_NE(bar, nullptr);
    int buttons = 0;
    for (QAction *action : bar->actions()) {
        if (action->isSeparator() || qobject_cast<QWidgetAction *>(action)) // the customise button
            continue;
        ++buttons;
        EXPECT_FALSE(action->icon().isNull()) << action->text().toStdString();
        EXPECT_FALSE(action->icon().pixmap(16, 16).toImage().isNull()) << action->text().toStdString();
    }
    EXPECT_EQ(buttons, 7);
    // Tips name the button in the bold interface font, in the tooltip font.
    const QAction *newFile = bar->actions().first();
    EXPECT_EQ(newFile->iconText(), QStringLiteral("新建"));
    EXPECT_TRUE(newFile->toolTip().contains(QStringLiteral("font-weight:bold\">新建</span> (Ctrl+N)")))
        << newFile->toolTip().toStdString();
    EXPECT_TRUE(
        newFile->toolTip().contains(CApplicationLook::InterfaceFont(CApplicationLook::FontKind::Bold).family()));
    EXPECT_EQ(QToolTip::font(), CApplicationLook::InterfaceFont(CApplicationLook::FontKind::Tooltip));
}

TEST_F(MainFrameTest, TitleFollowsTheActiveTabsDocument)
{
    EXPECT_EQ(m_frame->windowTitle(), QString::fromUtf16(u"Tessaly"));
    CChildFrame *first = NewTab();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(m_frame->windowTitle(), QString::fromUtf16(u"Tessaly - Tessaly"));
    CChildFrame *second = NewTab();
    ASSERT_NE(second, nullptr);
    second->GetDocument()->SetTitle(u"每日任务.txt");
    EXPECT_EQ(m_frame->windowTitle(), QString::fromUtf16(u"Tessaly - 每日任务.txt"));
    m_frame->Tabs()->SetActiveFrame(first);
    EXPECT_EQ(m_frame->windowTitle(), QString::fromUtf16(u"Tessaly - Tessaly"));
    // Only the active tab's document speaks for the frame.
    second->GetDocument()->SetTitle(u"other.txt");
    EXPECT_EQ(m_frame->windowTitle(), QString::fromUtf16(u"Tessaly - Tessaly"));
    m_frame->CloseFrame(first);
    EXPECT_TRUE(WaitFor([&] { return m_frame->windowTitle() == QString::fromUtf16(u"Tessaly - other.txt"); }, 3000))
        << m_frame->windowTitle().toStdString();
    m_frame->CloseFrame(second);
    EXPECT_TRUE(WaitFor([&] { return m_frame->windowTitle() == QString::fromUtf16(u"Tessaly"); }, 3000));
}

// Every tab stays shown, stacked, so that its page runs as in front; the ones
// behind cost no repaints, and come to front whole, a bulk delete made behind
// included (it pauses the list's repaints itself).
TEST_F(MainFrameTest, TabsBehindDoNotRepaintAndComeToFrontWhole)
{
    CChildFrame *first = NewTab();
    CChildFrame *second = NewTab();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    m_frame->Tabs()->SetActiveFrame(first);
    KorrinControlsEx::CReportCtrl &list = second->GetLeftView()->List();
    PaintCounter behind(list.viewport());
    PaintCounter front(first->GetLeftView()->List().viewport());
    for (int i = 0; i < 30; ++i)
        list.InsertRow(i, WideString::FromInt(i));
    list.SetChecked(0, true);
    EXPECT_EQ(list.DeleteRows(KorrinControlsEx::Checked), 1);
    list.SetCellText(1, 0, u"changed");
    // The front tab paints at least once, so the tab behind had its chances.
    first->GetLeftView()->List().InsertRow(0, u"front");
    EXPECT_TRUE(WaitFor([&] { return front.count > 0; }, 5000));
    QTest::qWait(200);
    EXPECT_EQ(behind.count, 0);
    EXPECT_TRUE(second->isVisible());

    m_frame->Tabs()->SetActiveFrame(second);
    EXPECT_TRUE(WaitFor([&] { return behind.count > 0; }, 5000));
    EXPECT_TRUE(list.updatesEnabled());
    behind.count = 0;
    list.SetCellText(2, 0, u"again");
    EXPECT_TRUE(WaitFor([&] { return behind.count > 0; }, 5000));
    EXPECT_FALSE(first->GetLeftView()->List().updatesEnabled());
}

TEST_F(MainFrameTest, WithoutATrayTheWindowMinimisesNormally)
{
    m_trayPresent = false;
    m_frame->showMinimized();
    QTest::qWait(200);
    EXPECT_EQ(Adds(), 1);
    EXPECT_FALSE(m_frame->TrayIcon().IsShown());
    EXPECT_TRUE(m_frame->isMinimized());
    EXPECT_TRUE(IsWindowVisible(m_frame->GetSafeHwnd()));
    EXPECT_FALSE(m_frame->IsHiddenKeepingPagesLive());
}

TEST_F(MainFrameTest, BossKeyTogglesOnlyVisibilityAndItsPagesKeepRunning)
{
    CVellumView *view = NewView(QStringLiteral("timers.html"));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(m_frame->OnBossKey(201), 0);
    EXPECT_TRUE(IsWindowVisible(m_frame->GetSafeHwnd()));
    SendMessageW(m_frame->GetSafeHwnd(), WM_HOTKEY, CBossKey::kHotKeyId, 0);
    EXPECT_FALSE(IsWindowVisible(m_frame->GetSafeHwnd()));
    EXPECT_TRUE(m_notes.empty()); // the tray is not touched
    Js(view, QStringLiteral("ticks = 0"));
    Pause(1000);
    EXPECT_GT(Js(view, QStringLiteral("ticks")).toInt(), 40);
    SendMessageW(m_frame->GetSafeHwnd(), WM_HOTKEY, CBossKey::kHotKeyId, 0);
    EXPECT_TRUE(IsWindowVisible(m_frame->GetSafeHwnd()));
}

// The desktop's mail opener is whatever "xdg-email" the PATH finds first.
TEST_F(MainFrameTest, SendHandsThePageAddressToTheMailOpenerOnlyWhereThereIsOne)
{
    const QByteArray path = qgetenv("PATH");
    TempDir bin;
    const QString record = QString::fromStdString((bin.Path() / "args").string());
    CVellumView *view = NewTab()->GetBrowserView();
    QUrl page = Page(QStringLiteral("plain.html"));
    page.setQuery(QStringLiteral("q=$(touch%20pwned)&x='\"; echo"));
    ASSERT_TRUE(Load(view, page));
    QMenu *file = TopMenu(QStringLiteral("文件(&F)"));
    ASSERT_NE(file, nullptr);
    QAction *send = Command(CVellumDoc::ID_FILE_SEND_MAIL);
    ASSERT_NE(send, nullptr);
    EXPECT_EQ(send->text(), QStringLiteral("发送(&D)..."));
    EXPECT_TRUE(file->actions().contains(send));

    qputenv("PATH", QByteArray(bin.Path().c_str()));
    emit file->aboutToShow();
    EXPECT_FALSE(send->isEnabled());
    EXPECT_FALSE(m_frame->OnCommand(CVellumDoc::ID_FILE_SEND_MAIL));

    {
        std::ofstream script(bin.Path() / "xdg-email");
        script << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << record.toStdString()
               << ".part' && mv '" << record.toStdString() << ".part' '" << record.toStdString() << "'\n";
    }
    std::filesystem::permissions(bin.Path() / "xdg-email", std::filesystem::perms::owner_all);
    qputenv("PATH", QByteArray(bin.Path().c_str()) + ":" + path);
    emit file->aboutToShow();
    EXPECT_TRUE(send->isEnabled());
    EXPECT_TRUE(m_frame->OnCommand(CVellumDoc::ID_FILE_SEND_MAIL));
    qputenv("PATH", path);
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(record); }, 10000));
    QFile args(record);
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(args.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines,
        (QStringList {QStringLiteral("--utf8"), QStringLiteral("--subject"), QStringLiteral("Tessaly"),
            QStringLiteral("--body"), QString::fromStdU16String(view->GetLocationURL())}));
    EXPECT_TRUE(lines.value(4).contains(QStringLiteral("$(touch"))) << lines.value(4).toStdString();
    EXPECT_FALSE(std::filesystem::exists("pwned"));
    EXPECT_TRUE(m_messages.empty());
}

// What the menu bar shows, item by item: the text of each popup and each
// command, separators as "-"; the recent files' place as the template has it.
QStringList Describe(const QList<QAction *> &actions)
{
    QStringList out;
    for (QAction *a : actions) {
        if (a->isSeparator())
            out.append(QStringLiteral("-"));
        else if (a->menu())
            out.append(a->text() + QStringLiteral(" {") + Describe(a->menu()->actions()).join(QLatin1Char('|')) +
                QStringLiteral("}"));
        else if (a->data().toUInt() >= CMainFrame::ID_FILE_MRU_FILE1 &&
            a->data().toUInt() < CMainFrame::ID_FILE_MRU_FILE1 + 4)
            continue;
        else
            out.append(QStringLiteral("%1 %2").arg(a->data().toUInt()).arg(a->text()));
    }
    return out;
}

QStringList Describe(const std::vector<MenuTemplate::Item> &items)
{
    QStringList out;
    for (const MenuTemplate::Item &item : items) {
        const QString text = QString::fromStdU16String(item.text);
        if (item.separator)
            out.append(QStringLiteral("-"));
        else if (!item.items.empty() && item.items.front().id == CMainFrame::ID_VIEW_TOOLBAR)
            out.append(text + QStringLiteral(" {}")); // filled when it opens
        else if (!item.items.empty())
            out.append(text + QStringLiteral(" {") + Describe(item.items).join(QLatin1Char('|')) + QStringLiteral("}"));
        else
            out.append(QStringLiteral("%1 %2").arg(item.id == CMainFrame::ID_FILE_MRU_FILE1 ? 0 : item.id).arg(text));
    }
    return out;
}

TEST_F(MainFrameTest, MenusAreTheTemplatesOfTheResources)
{
    for (UINT id : {CMainFrame::IDR_MAINFRAME, CMainFrame::IDR_VellumTYPE}) {
        if (id == CMainFrame::IDR_VellumTYPE) {
            ASSERT_NE(NewTab(), nullptr);
        }
        ASSERT_EQ(m_frame->CurrentMenuId(), id);
        const std::optional<MenuTemplate> menu = MenuTemplate::Load(static_cast<int>(id));
        ASSERT_TRUE(menu.has_value());
        EXPECT_EQ(Describe(m_frame->menuBar()->actions()), Describe(menu->items)) << id;
    }
    // Texts that are no menu's come from the string table.
    EXPECT_EQ(Command(CMainFrame::ID_VIEW_CUSTOMIZE)->text(), QStringLiteral("自定义..."));
    EXPECT_EQ(Command(CMainFrame::ID_WINDOW_MANAGER)->text(), QStringLiteral("窗口(&W)..."));
}

TEST_F(MainFrameTest, AboutBoxIsDialog100)
{
    CAboutDlg about(m_frame.get());
    ASSERT_NE(about.Form(), nullptr);
    EXPECT_EQ(about.windowTitle(), QStringLiteral("关于 Tessaly"));
    QStringList texts;
    for (QLabel *label : about.findChildren<QLabel *>())
        if (!label->text().isEmpty())
            texts.append(label->text());
        else
            EXPECT_FALSE(label->pixmap().isNull()); // the program's icon
    EXPECT_TRUE(texts.contains(QStringLiteral("Tessaly，1.0 版")));
    EXPECT_EQ(texts.size(), 3);
    auto *ok = qobject_cast<QAbstractButton *>(about.Form()->GetDlgItem(IDOK));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("确定"));
    about.show();
    ok->click();
    EXPECT_EQ(about.result(), QDialog::Accepted);
    EXPECT_FALSE(about.isVisible());
}

TEST_F(MainFrameTest, EditMenuIsMenu119UnderTheNameOfString306)
{
    CVellumApp app;
    app.PreLoadState();
    CContextMenuManager &menus = CContextMenuManager::Instance();
    EXPECT_TRUE(menus.HasMenu(u"编辑"));
    EXPECT_FALSE(menus.AddMenu(u"无", 9999));
    std::unique_ptr<QMenu> popup(
        menus.CreatePopupMenu(u"编辑", nullptr, [](UINT id) { return id == CMainFrame::ID_EDIT_COPY; }));
    ASSERT_NE(popup, nullptr);
    QStringList items;
    for (QAction *a : popup->actions())
        items.append(QStringLiteral("%1 %2 %3").arg(MenuTemplate::CommandOf(a)).arg(a->text()).arg(a->isEnabled()));
    EXPECT_EQ(items,
        (QStringList {QStringLiteral("57635 剪切(&T) 0"), QStringLiteral("57634 复制(&C) 1"),
            QStringLiteral("57637 粘贴(&P) 0")}));
    // Over a page nothing was asked for yet: nothing to edit.
    CVellumView *view = NewView(QStringLiteral("input.html"));
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->CanEdit(CMainFrame::ID_EDIT_COPY));
}

TEST_F(MainFrameTest, FirstRunMakesTheIniFileWithExactBytes)
{
    std::ifstream in(m_dir / "Orvane.ini", std::ios::binary);
    const std::string bytes {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(bytes, std::string("\xFF\xFE[\0M\0A\0I\0N\0]\0", 14));
}

// The real key presses, on the X server.
TEST(MainFrameOnX, RunsInAChildOnTheXServer) { XServerChild::Run(kXChild, QStringLiteral("*OnXServer"), 3, 240000); }

TEST_F(MainFrameTest, BossKeySetInTheDialogHidesAndShowsOnXServer)
{
    if (!InXChild())
        GTEST_SKIP() << "runs in the child";
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    const HWND hwnd = m_frame->GetSafeHwnd();
    const auto press = [] {
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+alt+f")});
    };
    ASSERT_TRUE(WaitFor([&] { return m_frame->isVisible(); }, 5000));

    // First run: no key yet.
    press();
    Pause(300);
    EXPECT_TRUE(IsWindowVisible(hwnd));

    {
        CSetHotKey dialog(hwnd, m_frame.get());
        QTest::keyClick(dialog.HotKeyCtrl(), Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
        qobject_cast<QAbstractButton *>(dialog.Form()->GetDlgItem(IDOK))->click();
    }
    press();
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(hwnd); }, 10000));
    press();
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(hwnd); }, 10000));

    // Closing the frame releases the combination for others.
    m_frame->close();
    HWND other = CreateWindowEntry(u"Other", nullptr, nullptr);
    EXPECT_TRUE(RegisterHotKey(other, 1, MOD_CONTROL | MOD_ALT, 'F'));
    DestroyWindow(other);
}

// With a window manager, as a user minimises: the window leaves the screen and
// the task bar from its normal size too, and comes back with its sizes.
TEST_F(MainFrameTest, MinimisingFromNormalSizeLeavesTheScreenOnXServer)
{
    if (!InXChild())
        GTEST_SKIP() << "runs in the child";
    QProcess manager;
    manager.start(QStringLiteral("icewm"), {});
    if (!manager.waitForStarted(5000))
        GTEST_SKIP() << "no icewm";
    const auto run = [](const QString &program, const QStringList &arguments) {
        QProcess p;
        p.start(program, arguments);
        p.waitForFinished(5000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    ASSERT_TRUE(WaitFor(
        [&] {
            return run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                .contains(QStringLiteral("window id"));
        },
        10000));
    const HWND hwnd = m_frame->GetSafeHwnd();
    m_frame->showNormal();
    m_frame->resize(900, 600);
    ASSERT_TRUE(WaitFor([&] { return m_frame->windowHandle() && m_frame->windowHandle()->isExposed(); }, 5000));
    Pause(500);
    const QSize normal = m_frame->size();
    const QString id = QString::number(m_frame->winId());
    const auto mapState = [&] {
        const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
        const int at = info.indexOf(QStringLiteral("Map State: "));
        return at < 0 ? QString() : info.mid(at + 11).section(QLatin1Char('\n'), 0, 0).trimmed();
    };
    // The manager takes over windows that were there before it, unmapping them for a moment.
    Pause(1500);
    ASSERT_TRUE(WaitFor([&] { return mapState() == QStringLiteral("IsViewable"); }, 5000));

    run(QStringLiteral("xdotool"), {QStringLiteral("windowminimize"), id});
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(hwnd); }, 10000));
    Pause(1000);
    EXPECT_EQ(mapState(), QStringLiteral("IsUnMapped"));
    // Withdrawn: no longer a window of the task bar.
    EXPECT_TRUE(run(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("WM_STATE")})
                    .contains(QStringLiteral("not found")));
    EXPECT_TRUE(m_frame->TrayIcon().IsShown());
    Pause(3000);

    Pause(500);
    m_frame->OnShowMainWindow();
    ASSERT_TRUE(WaitFor([&] { return m_frame->isMaximized() && IsWindowVisible(hwnd); }, 10000));
    Pause(1500);
    EXPECT_EQ(mapState(), QStringLiteral("IsViewable"));
    m_frame->showNormal();
    EXPECT_TRUE(WaitFor([&] { return !m_frame->isMaximized() && m_frame->size() == normal; }, 10000))
        << m_frame->width() << "x" << m_frame->height();
    manager.terminate();
    manager.waitForFinished(5000);
}

// The lights show what the server has, from the start and for keys pressed
// while another window has the focus.
TEST_F(MainFrameTest, LockIndicatorsFollowTheKeyboardOnXServer)
{
    if (!InXChild())
        GTEST_SKIP() << "runs in the child";
    const auto indicator = [&](const QString &name) {
        for (QLabel *label : m_frame->statusBar()->findChildren<QLabel *>())
            if (label->text() == name)
                return label;
        return static_cast<QLabel *>(nullptr);
    };
    // The virtual server's keyboard has no Scroll Lock light to try.
    const QString names[] = {QStringLiteral("CAP"), QStringLiteral("NUM")};
    const QString keys[] = {QStringLiteral("Caps_Lock"), QStringLiteral("Num_Lock")};
    // Focus elsewhere: a window of another program would get the keys.
    QWidget other;
    other.show();
    other.activateWindow();
    for (int i = 0; i < 2; ++i) {
        QLabel *label = indicator(names[i]);
        ASSERT_NE(label, nullptr) << i;
        const bool before = label->isEnabled();
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), keys[i]});
        EXPECT_TRUE(WaitFor([&] { return label->isEnabled() != before; }, 3000)) << names[i].toStdString();
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), keys[i]});
        EXPECT_TRUE(WaitFor([&] { return label->isEnabled() == before; }, 3000)) << names[i].toStdString();
    }
}

} // namespace
