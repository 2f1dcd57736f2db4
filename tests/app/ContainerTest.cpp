// Isolated tabs: tabs in named containers against a loopback server that keeps
// logins in a cookie. Real browser profiles over real folders; a "restart" is
// a new main frame with new profiles over the same folders.

#include "app/CContainers.h"
#include "app/CContainersDlg.h"
#include "app/CDocumentTabs.h"
#include "app/CNewIsolatedTabDlg.h"
#include "app/CTabStateKeeper.h"
#include "app/CVellumApp.h"
#include "app/CWindowsDialog.h"
#include "platform/FileSystem.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "tests/app/BrowserTest.h"
#include "tests/common/CookieServer.h"
#include "tests/common/TempDir.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineProfile>

#include <fstream>

namespace {

class Containers : public BrowserTest {
protected:
    void SetUp() override
    {
        const std::string exe = (m_dir / "tessaly").string();
        std::ofstream(exe).put('x');
        FileSystem::SetModuleFileNameForTest(WideString::FromUtf8(exe));
        BrowserTest::SetUp();
        ASSERT_TRUE(m_server.Start());
        SetMessageBoxSeam([this](HWND, const wstring16 &text, const wstring16 &, UINT type) {
            m_messages.push_back(text);
            return (type & 0xF) == MB_YESNO ? m_answer : IDOK;
        });
    }
    void TearDown() override
    {
        BrowserTest::TearDown();
        FileSystem::SetModuleFileNameForTest(u"");
    }

    QString Root() const { return QString::fromStdU16String(CContainers::DefaultFolder()); }

    CChildFrame *Tab(const QString &container)
    {
        CChildFrame *frame = m_frame->CreateChildFrame(nullptr, true, container);
        EXPECT_NE(frame, nullptr);
        return frame;
    }
    QString Make(const QString &name)
    {
        QString error;
        const QString id = m_frame->Containers()->Create(name, &error);
        EXPECT_FALSE(id.isEmpty()) << error.toStdString();
        return id;
    }
    // The user the server saw in the view's cookie, after a fresh load.
    QString Who(CVellumView *view)
    {
        if (!Load(view, m_server.WhoAmI()))
            return QStringLiteral("(no page)");
        return Js(view, QStringLiteral("document.getElementById('who').textContent"));
    }
    void LogIn(CVellumView *view, const QString &user)
    {
        ASSERT_TRUE(Load(view, m_server.Login(user)));
        ASSERT_EQ(Js(view, QStringLiteral("localStorage.getItem('user')")), user);
    }
    // Closes every tab and the frame, and makes a new frame on the same folders.
    void Restart()
    {
        m_frame.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(m_frame->LoadFrame());
        m_frame->resize(1000, 700);
        m_frame->show();
    }
    // The engine writes cookies behind the program's back, their values
    // encrypted; a restart reads what it wrote. The host names stay plain.
    bool CookiesWritten(const QString &id)
    {
        const QString file =
            QString::fromStdU16String(m_frame->Containers()->PathOf(id)) + QStringLiteral("storage/Cookies");
        return WaitFor(
            [&] {
                QFile f(file);
                return f.open(QIODevice::ReadOnly) && f.readAll().contains("127.0.0.1");
            },
            20000);
    }

    TempDir m_dir;
    CookieServer m_server;
    int m_answer = IDYES;
};

TEST_F(Containers, TwoContainersHoldTwoLoginsOfOneSiteAndTheDefaultTabNeither)
{
    const QString a = Make(QStringLiteral("账号甲"));
    const QString b = Make(QStringLiteral("账号乙"));
    EXPECT_NE(a, b);
    CVellumView *va = Tab(a)->GetBrowserView();
    CVellumView *vb = Tab(b)->GetBrowserView();
    CVellumView *plain = Tab(QString())->GetBrowserView();
    EXPECT_NE(va->page()->profile(), vb->page()->profile());
    EXPECT_EQ(plain->page()->profile(), QWebEngineProfile::defaultProfile());
    EXPECT_FALSE(va->page()->profile()->isOffTheRecord());

    LogIn(va, QStringLiteral("alice"));
    LogIn(vb, QStringLiteral("bob"));
    EXPECT_EQ(Who(va), QStringLiteral("alice"));
    EXPECT_EQ(Who(vb), QStringLiteral("bob"));
    EXPECT_EQ(Who(plain), QStringLiteral("none"));
    EXPECT_EQ(Js(plain, QStringLiteral("String(localStorage.getItem('user'))")), QStringLiteral("null"));

    // A page's new window opens in the page's container.
    const int before = m_frame->Tabs()->Count();
    Js(va, QStringLiteral("window.open('/whoami'); 1"));
    ASSERT_TRUE(WaitFor([&] { return m_frame->Tabs()->Count() == before + 1; }));
    CChildFrame *opened = m_frame->Tabs()->Frames().last();
    EXPECT_EQ(opened->Container(), a);
    CVellumView *child = opened->GetBrowserView();
    ASSERT_TRUE(WaitFor([&] { return child->HasPage() && child->title() == QStringLiteral("alice"); }))
        << child->title().toStdString();

    // Two logins in one container are one login: the later replaces the earlier there only.
    CVellumView *va2 = Tab(a)->GetBrowserView();
    LogIn(va2, QStringLiteral("carol"));
    EXPECT_EQ(Who(va), QStringLiteral("carol"));
    EXPECT_EQ(Who(vb), QStringLiteral("bob"));
}

TEST_F(Containers, TabsShowTheirContainerByNameAndColourAlsoInTheWindowsDialog)
{
    const QString a = Make(QStringLiteral("工作"));
    const QString b = Make(QStringLiteral("私人"));
    EXPECT_NE(m_frame->Containers()->ColourOf(a), m_frame->Containers()->ColourOf(b));
    CChildFrame *plain = Tab(QString());
    CChildFrame *ta = Tab(a);
    Tab(b);
    QTabBar *bar = m_frame->Tabs()->TabBar();
    EXPECT_FALSE(bar->tabText(0).contains(QLatin1Char('[')));
    EXPECT_TRUE(bar->tabIcon(0).isNull());
    EXPECT_TRUE(bar->tabText(1).startsWith(QStringLiteral("[工作] "))) << bar->tabText(1).toStdString();
    EXPECT_FALSE(bar->tabIcon(1).isNull());
    EXPECT_EQ(bar->tabTextColor(1), m_frame->Containers()->ColourOf(a).darker(120));
    EXPECT_TRUE(bar->tabText(2).startsWith(QStringLiteral("[私人] ")));
    EXPECT_EQ(ta->Title(), QStringLiteral("[工作] ") + plain->Title().replace(QLatin1Char('1'), QLatin1Char('2')))
        << ta->Title().toStdString();

    {
        CWindowsDialog dialog(m_frame.get());
        ASSERT_EQ(dialog.List()->count(), 3);
        EXPECT_EQ(dialog.List()->item(0)->text(), bar->tabText(0));
        EXPECT_EQ(dialog.List()->item(1)->text(), bar->tabText(1));
        EXPECT_FALSE(dialog.List()->item(1)->icon().isNull());
    }

    // A rename shows at once and moves no data.
    const wstring16 folder = m_frame->Containers()->PathOf(a);
    QString error;
    EXPECT_FALSE(m_frame->Containers()->Rename(a, QStringLiteral(" 私人 "), &error));
    EXPECT_EQ(error, QStringLiteral("已有名为“私人”的容器。"));
    ASSERT_TRUE(m_frame->Containers()->Rename(a, QStringLiteral("工作二"), &error));
    EXPECT_TRUE(bar->tabText(1).startsWith(QStringLiteral("[工作二] ")));
    EXPECT_EQ(m_frame->Containers()->PathOf(a), folder);
    CContainers again(CContainers::DefaultFolder());
    EXPECT_EQ(again.Name(a), QStringLiteral("工作二"));
}

TEST_F(Containers, FileMenuCommandMakesAContainerFromATypedNameAndOpensTheHomePageInIt)
{
    QMenu *file = nullptr;
    for (QAction *a : m_frame->menuBar()->actions())
        if (a->text() == QStringLiteral("文件(&F)"))
            file = a->menu();
    ASSERT_NE(file, nullptr);
    ASSERT_GE(file->actions().size(), 2);
    EXPECT_EQ(file->actions()[1]->data().toUInt(), CMainFrame::ID_FILE_NEW_ISOLATED);
    EXPECT_EQ(file->actions()[1]->text(), QStringLiteral("新建隔离标签页..."));

    const int before = m_frame->Tabs()->Count();
    bool answered = false;
    QTimer::singleShot(300, m_frame.get(), [&] {
        auto *dialog = qobject_cast<CNewIsolatedTabDlg *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        // An empty name is refused with a message and the dialog stays.
        dialog->accept();
        EXPECT_TRUE(dialog->isVisible());
        dialog->NameBox()->setEditText(QStringLiteral("  小号 / ../x  "));
        dialog->accept();
        answered = true;
    });
    EXPECT_TRUE(m_frame->OnCommand(CMainFrame::ID_FILE_NEW_ISOLATED));
    ASSERT_TRUE(answered);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0], u"请输入容器名称。");
    ASSERT_EQ(m_frame->Tabs()->Count(), before + 1);
    CChildFrame *frame = m_frame->MDIGetActive();
    const QString id = m_frame->Containers()->IdOfName(QStringLiteral("小号 / ../x"));
    ASSERT_FALSE(id.isEmpty());
    EXPECT_EQ(frame->Container(), id);
    CVellumView *view = frame->GetBrowserView();
    ASSERT_TRUE(WaitFor([&] { return view->HasPage() && !view->page()->isLoading(); }));
    EXPECT_EQ(view->url().toString(), QString::fromStdU16String(CVellumApp::kHomePageUrl));

    // Picking the existing name again uses the same container.
    QTimer::singleShot(300, m_frame.get(), [&] {
        auto *dialog = qobject_cast<CNewIsolatedTabDlg *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        ASSERT_EQ(dialog->NameBox()->count(), 1);
        dialog->NameBox()->setCurrentIndex(0);
        dialog->accept();
    });
    EXPECT_TRUE(m_frame->OnCommand(CMainFrame::ID_FILE_NEW_ISOLATED));
    EXPECT_EQ(m_frame->MDIGetActive()->Container(), id);
    EXPECT_EQ(m_frame->Containers()->Entries().size(), 1u);
}

TEST_F(Containers, LoginsSurviveARestartAndTheSavedTabsReopenInTheirContainers)
{
    const QString a = Make(QStringLiteral("甲"));
    const QString b = Make(QStringLiteral("乙"));
    CVellumView *va = Tab(a)->GetBrowserView();
    CVellumView *vb = Tab(b)->GetBrowserView();
    CVellumView *plain = Tab(QString())->GetBrowserView();
    LogIn(va, QStringLiteral("alice"));
    LogIn(vb, QStringLiteral("bob"));
    ASSERT_TRUE(Load(va, m_server.WhoAmI()));
    ASSERT_TRUE(Load(vb, m_server.WhoAmI()));
    ASSERT_TRUE(Load(plain, m_server.WhoAmI()));

    const wstring16 statePath = WideString::FromUtf8((m_dir / "tabs.state").string());
    {
        CTabStateKeeper keeper(m_frame.get(), statePath);
        keeper.Watch();
        keeper.SaveAtExit();
    }
    Restart();
    ASSERT_TRUE(CookiesWritten(a));
    ASSERT_TRUE(CookiesWritten(b));

    CTabStateKeeper keeper(m_frame.get(), statePath);
    SessionState state;
    ASSERT_TRUE(keeper.ReadLast(&state, nullptr, nullptr));
    ASSERT_EQ(state.tabs.size(), 3u);
    EXPECT_EQ(QString::fromStdU16String(state.tabs[0].container), a);
    EXPECT_EQ(QString::fromStdU16String(state.tabs[1].container), b);
    EXPECT_TRUE(state.tabs[2].container.empty());
    keeper.Restore(state);
    const QList<CChildFrame *> frames = m_frame->Tabs()->Frames();
    ASSERT_EQ(frames.size(), 3);
    EXPECT_EQ(frames[0]->Container(), a);
    EXPECT_EQ(frames[1]->Container(), b);
    EXPECT_EQ(frames[2]->Container(), QString());
    // The restored pages come from the server with each container's own login.
    for (int i = 0; i < 3; ++i) {
        CVellumView *view = frames[i]->GetBrowserView();
        const QString expected = i == 0 ? QStringLiteral("alice")
            : i == 1                    ? QStringLiteral("bob")
                                        : QStringLiteral("none");
        EXPECT_TRUE(WaitFor([&] { return view->HasPage() && view->title() == expected; }))
            << i << " " << view->title().toStdString();
    }
    EXPECT_EQ(Js(frames[0]->GetBrowserView(), QStringLiteral("localStorage.getItem('user')")), QStringLiteral("alice"));
}

TEST_F(Containers, ClearingOneContainerLogsItOutAndLeavesTheOthers)
{
    const QString a = Make(QStringLiteral("甲"));
    const QString b = Make(QStringLiteral("乙"));
    CVellumView *va = Tab(a)->GetBrowserView();
    CVellumView *vb = Tab(b)->GetBrowserView();
    LogIn(va, QStringLiteral("alice"));
    LogIn(vb, QStringLiteral("bob"));
    // Storage of a site no page shows when the container is cleared.
    QUrl other = m_server.WhoAmI();
    other.setHost(QStringLiteral("localhost"));
    ASSERT_TRUE(Load(va, other));
    Js(va, QStringLiteral("localStorage.setItem('other', 'x'); 1"));
    ASSERT_TRUE(Load(va, m_server.WhoAmI()));

    // In use: the cookies go at once, and the storage of the open page; the rest at the next start.
    {
        CContainersDlg dialog(m_frame.get());
        ASSERT_EQ(dialog.List()->topLevelItemCount(), 2);
        EXPECT_EQ(dialog.List()->topLevelItem(0)->text(2), QStringLiteral("1 个"));
        dialog.Select(a);
        m_answer = IDNO;
        dialog.OnClearData();
        EXPECT_EQ(Who(va), QStringLiteral("alice"));
        m_answer = IDYES;
        m_messages.clear();
        dialog.OnClearData();
        ASSERT_EQ(m_messages.size(), 2u);
        EXPECT_EQ(m_messages[1], u"已清除 Cookie 和缓存。\n容器“甲”正在使用，其余的网站存储将在下次启动程序时清除。");
    }
    EXPECT_TRUE(WaitFor([&] { return Who(va) == QStringLiteral("none"); }, 10000));
    EXPECT_EQ(Js(va, QStringLiteral("String(localStorage.getItem('user'))")), QStringLiteral("null"));
    EXPECT_EQ(Who(vb), QStringLiteral("bob"));
    EXPECT_EQ(Js(vb, QStringLiteral("localStorage.getItem('user')")), QStringLiteral("bob"));

    // A login after the clear is kept; what was there before it is not.
    ASSERT_TRUE(Load(va, m_server.Login(QStringLiteral("alice2"))));
    Restart();
    ASSERT_TRUE(CookiesWritten(a));
    CChildFrame *ta = Tab(a);
    va = ta->GetBrowserView();
    EXPECT_EQ(Who(va), QStringLiteral("alice2"));
    ASSERT_TRUE(Load(va, other));
    EXPECT_EQ(Js(va, QStringLiteral("String(localStorage.getItem('other'))")), QStringLiteral("null"));
    vb = Tab(b)->GetBrowserView();
    EXPECT_EQ(Who(vb), QStringLiteral("bob"));
    EXPECT_EQ(Js(vb, QStringLiteral("localStorage.getItem('user')")), QStringLiteral("bob"));

    // Not in use: the folders go, and a new tab finds nothing of before.
    LogIn(va, QStringLiteral("alice"));
    m_frame->CloseFrame(ta);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(m_frame->Containers()->PagesUsing(a), 0);
    m_frame->Containers()->ClearData(a);
    const QString folder = QString::fromStdU16String(m_frame->Containers()->PathOf(a));
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("storage/Cookies")));
    EXPECT_TRUE(QFileInfo::exists(folder));
    CVellumView *again = Tab(a)->GetBrowserView();
    EXPECT_EQ(Who(again), QStringLiteral("none"));
    EXPECT_EQ(Js(again, QStringLiteral("String(localStorage.getItem('user'))")), QStringLiteral("null"));
    EXPECT_EQ(Who(vb), QStringLiteral("bob"));
}

TEST_F(Containers, DeletingIsRefusedWhileATabUsesTheContainer)
{
    const QString a = Make(QStringLiteral("甲"));
    CChildFrame *ta = Tab(a);
    LogIn(ta->GetBrowserView(), QStringLiteral("alice"));
    const QString folder = QString::fromStdU16String(m_frame->Containers()->PathOf(a));
    {
        CContainersDlg dialog(m_frame.get());
        dialog.Select(a);
        EXPECT_NE(dialog.List()->topLevelItem(0)->text(1), QStringLiteral("0 字节"));
        dialog.OnDelete();
        ASSERT_EQ(m_messages.size(), 1u);
        EXPECT_EQ(m_messages[0], u"容器“甲”正在被 1 个标签页使用，不能删除。\n请先关闭这些标签页。");
        EXPECT_TRUE(m_frame->Containers()->Exists(a));
        EXPECT_FALSE(m_frame->Containers()->Remove(a));
    }
    m_frame->CloseFrame(ta);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    {
        CContainersDlg dialog(m_frame.get());
        dialog.Select(a);
        EXPECT_EQ(dialog.List()->topLevelItem(0)->text(2), QStringLiteral("无"));
        m_messages.clear();
        dialog.OnDelete();
        ASSERT_EQ(m_messages.size(), 1u);
        EXPECT_EQ(m_messages[0], u"删除容器“甲”及其全部数据吗？此操作无法撤消。");
        EXPECT_EQ(dialog.List()->topLevelItemCount(), 0);
    }
    EXPECT_FALSE(m_frame->Containers()->Exists(a));
    EXPECT_FALSE(QFileInfo(folder).isDir());
    EXPECT_EQ(m_frame->Containers()->SizeOnDisk(a), 0);
    // A container of the same name later starts empty, in a folder of its own.
    const QString b = Make(QStringLiteral("甲"));
    EXPECT_EQ(Who(Tab(b)->GetBrowserView()), QStringLiteral("none"));
}

TEST_F(Containers, HostileNamesStayInsideTheContainersFolder)
{
    const QStringList names = {QStringLiteral("../../逃出"), QStringLiteral(".."), QStringLiteral("a/b\\c"),
        QStringLiteral("\"引号\" 'x'"), QStringLiteral("CON"), QStringLiteral("nul"), QStringLiteral("中文/../名字"),
        QStringLiteral("\x01\n\t控制"), QStringLiteral("/"), QStringLiteral("~root"), QString(200, QLatin1Char('x')),
        QStringLiteral("\u202Egnp.exe"), QStringLiteral("..\\..\\win")};
    const QString root = QFileInfo(Root()).absoluteFilePath();
    const QString outside = QFileInfo(QString::fromStdString(m_dir.Path().string())).absoluteFilePath();
    const QStringList before = QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    QStringList ids;
    for (const QString &name : names) {
        const QString id = Make(name);
        ASSERT_FALSE(id.isEmpty()) << name.toStdString();
        EXPECT_FALSE(ids.contains(id));
        ids.append(id);
        const QFileInfo folder(QString::fromStdU16String(m_frame->Containers()->PathOf(id)));
        EXPECT_TRUE(folder.isDir());
        EXPECT_EQ(QFileInfo(folder.canonicalFilePath()).dir().canonicalPath(), QFileInfo(root).canonicalFilePath())
            << id.toStdString();
        EXPECT_FALSE(m_frame->Containers()->Name(id).contains(QLatin1Char('\n')));
    }
    EXPECT_EQ(m_frame->Containers()->Name(ids[1]), QStringLiteral(".."));
    EXPECT_EQ(m_frame->Containers()->Name(ids[7]), QStringLiteral("控制"));
    // A tab in a hostile container keeps its data in that container's folder.
    CVellumView *view = Tab(ids[0])->GetBrowserView();
    LogIn(view, QStringLiteral("eve"));
    EXPECT_EQ(view->page()->profile()->persistentStoragePath(),
        QString::fromStdU16String(m_frame->Containers()->PathOf(ids[0])) + QStringLiteral("storage"));
    // Nothing came into being beside the containers folder, and nothing inside it but the containers.
    QStringList after = QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    after.removeAll(QStringLiteral("Containers"));
    EXPECT_EQ(after, before);
    QStringList inside = QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    inside.removeAll(QStringLiteral("index.txt"));
    inside.removeAll(QStringLiteral("index.txt.prev"));
    ids.sort();
    inside.sort();
    EXPECT_EQ(inside, ids);
    // The list reads back whole.
    CContainers again(CContainers::DefaultFolder());
    EXPECT_EQ(again.Entries().size(), static_cast<std::size_t>(names.size()));
}

} // namespace
