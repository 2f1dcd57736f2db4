// Navigation, pending scroll, new windows, the first page and the documents of tabs.

#include "tests/app/BrowserTest.h"

#include "app/CSplitTracker.h"
#include "app/CTabStateKeeper.h"
#include "app/CWindowsDialog.h"

#include "app/CDocumentTabs.h"
#include "app/CVellumApp.h"
#include "app/CVellumDoc.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/Window.h"
#include "tasks/CLeftView.h"
#include "tests/common/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QPrinter>
#include <QSplitter>
#include <QStringList>
#include <QTabBar>
#include <QTest>

#include <filesystem>
#include <fstream>

class ViewTest : public BrowserTest {
protected:
    void TearDown() override
    {
        SetFileDialogSeam({});
        BrowserTest::TearDown();
    }

    static int ScrollY(CVellumView *view) { return Js(view, QStringLiteral("Math.round(window.scrollY)")).toInt(); }
    static int ScrollX(CVellumView *view) { return Js(view, QStringLiteral("Math.round(window.scrollX)")).toInt(); }
};

TEST_F(ViewTest, TabIsSplitIntoPanelAndBrowser)
{
    CChildFrame *frame = NewTab();
    ASSERT_NE(frame, nullptr);
    ASSERT_NE(frame->m_wndSplitter, nullptr);
    EXPECT_EQ(frame->m_wndSplitter->orientation(), Qt::Horizontal);
    EXPECT_EQ(frame->m_wndSplitter->count(), 2);
    EXPECT_NE(qobject_cast<CLeftView *>(frame->GetPane(0, 0)), nullptr);
    EXPECT_NE(qobject_cast<CVellumView *>(frame->GetPane(0, 1)), nullptr);
    EXPECT_EQ(frame->GetPane(1, 0), nullptr);
    EXPECT_EQ(frame->GetPane(0, 2), nullptr);
    // The panel finds its browser beside itself.
    auto *splitter = qobject_cast<QSplitter *>(frame->GetLeftView()->parentWidget());
    ASSERT_NE(splitter, nullptr);
    EXPECT_EQ(splitter->widget(1), frame->GetBrowserView());
    EXPECT_EQ(frame->GetBrowserView()->GetDocument()->GetTitle(), u"Tessaly");
}

TEST_F(ViewTest, PendingScrollIsCarriedOut)
{
    CVellumView *view = NewView(QStringLiteral("long.html"));
    ASSERT_NE(view, nullptr);
    view->m_nScrollX = 0;
    view->m_nScrollY = 500;
    ASSERT_TRUE(WaitFor([&] { return view->m_nScrollY == -1; }));
    ASSERT_TRUE(WaitFor([&] { return ScrollY(view) == 500; }));
    EXPECT_EQ(view->m_nScrollX, -1);

    view->m_nScrollX = 300;
    view->m_nScrollY = 1200;
    ASSERT_TRUE(WaitFor([&] { return ScrollY(view) == 1200 && ScrollX(view) == 300; }));

    view->m_nScrollX = 0;
    view->m_nScrollY = 0;
    ASSERT_TRUE(WaitFor([&] { return ScrollY(view) == 0 && ScrollX(view) == 0; }));
}

TEST_F(ViewTest, RequestWithMinusOneNeverRuns)
{
    CVellumView *view = NewView(QStringLiteral("long.html"));
    ASSERT_NE(view, nullptr);
    view->m_nScrollX = -1;
    view->m_nScrollY = 700;
    Pause(3 * CVellumView::kTimerMs);
    EXPECT_EQ(ScrollY(view), 0);
    EXPECT_EQ(view->m_nScrollY, 700);
    view->m_nScrollX = 400;
    view->m_nScrollY = -1;
    Pause(3 * CVellumView::kTimerMs);
    EXPECT_EQ(ScrollX(view), 0);
}

TEST_F(ViewTest, RequestBeforeThePageWaitsForIt)
{
    CChildFrame *frame = NewTab();
    ASSERT_NE(frame, nullptr);
    CVellumView *view = frame->GetBrowserView();
    view->m_nScrollX = 0;
    view->m_nScrollY = 900;
    Pause(3 * CVellumView::kTimerMs);
    EXPECT_EQ(view->m_nScrollY, 900);
    ASSERT_TRUE(Load(view, Page(QStringLiteral("long.html"))));
    ASSERT_TRUE(WaitFor([&] { return ScrollY(view) == 900; }));
}

TEST_F(ViewTest, PageRequestForANewWindowOpensATab)
{
    CVellumView *view = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(view, nullptr);
    Js(view, QStringLiteral("window.open('long.html'); 0"));
    ASSERT_TRUE(WaitFor([&] { return m_frame->Tabs()->Count() == 2; }));
    CChildFrame *frame = m_frame->MDIGetActive();
    ASSERT_NE(frame, nullptr);
    CVellumView *opened = frame->GetBrowserView();
    ASSERT_NE(opened, view);
    ASSERT_TRUE(WaitFor([&] { return opened->HasPage(); }));
    EXPECT_TRUE(opened->GetLocationURL().ends_with(u"long.html"));
    // Same document, a fresh panel, numbered titles.
    EXPECT_EQ(opened->GetDocument(), view->GetDocument());
    EXPECT_NE(frame->GetLeftView(), view->GetParentFrame()->GetLeftView());
    EXPECT_EQ(m_frame->Tabs()->TabBar()->tabText(0), QStringLiteral("Tessaly:1"));
    EXPECT_EQ(m_frame->Tabs()->TabBar()->tabText(1), QStringLiteral("Tessaly:2"));
}

TEST_F(ViewTest, NavigateInNewWindowOpensATabWithThePage)
{
    CVellumView *view = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(view, nullptr);
    view->NavigateUrl(Page(QStringLiteral("long.html")).toString().toStdU16String(), true);
    ASSERT_EQ(m_frame->Tabs()->Count(), 2);
    CVellumView *opened = m_frame->ActiveView();
    ASSERT_NE(opened, view);
    ASSERT_TRUE(WaitFor([&] { return opened->HasPage(); }));
    EXPECT_TRUE(opened->GetLocationURL().ends_with(u"long.html"));
    EXPECT_TRUE(view->GetLocationURL().ends_with(u"plain.html"));

    // The tab in front reports its loading in the status bar; one behind does not.
    ASSERT_TRUE(WaitFor([&] { return m_frame->StatusMessage() == QStringLiteral("完成"); }));
    view->NavigateUrl(Page(QStringLiteral("csp.html")).toString().toStdU16String(), false);
    ASSERT_TRUE(WaitFor([&] { return view->GetLocationURL().ends_with(u"csp.html") && view->HasPage(); }));
    EXPECT_EQ(m_frame->Tabs()->Count(), 2);
    EXPECT_EQ(m_frame->StatusMessage(), QStringLiteral("完成"));
    m_frame->Tabs()->SetActiveFrame(view->GetParentFrame());
    EXPECT_EQ(m_frame->StatusMessage(), QStringLiteral("就绪"));
    // Each text the view reports is what the bar shows then.
    QStringList seen;
    const auto connection = QObject::connect(view, &CVellumView::StatusText, m_frame.get(), [&](const QString &text) {
        if (!text.isEmpty()) {
            seen << text;
            EXPECT_EQ(m_frame->StatusMessage(), text);
        }
    });
    view->NavigateUrl(Page(QStringLiteral("plain.html")).toString().toStdU16String(), false);
    ASSERT_TRUE(WaitFor([&] { return seen.size() >= 2; })) << seen.join(QLatin1Char('|')).toStdString();
    QObject::disconnect(connection);
    EXPECT_TRUE(seen.first().startsWith(QStringLiteral("正在打开网页 "))) << seen.first().toStdString();
    EXPECT_EQ(seen.last(), QStringLiteral("完成"));
}

TEST_F(ViewTest, OnlyTheFirstViewOpensTheHomePage)
{
    g_bNavigateHome = true;
    CChildFrame *first = NewTab();
    CChildFrame *second = NewTab();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(g_bNavigateHome);
    CVellumView *home = first->GetBrowserView();
    ASSERT_TRUE(WaitFor([&] { return home->HasPage(); }));
    EXPECT_EQ(home->GetLocationURL(), CVellumApp::kHomePageUrl);
    // The built-in page works offline and offers its practice area.
    EXPECT_EQ(Js(home,
                  QStringLiteral("['counter-button','drag-target','board','long-area']"
                                 ".every(function (id) { return !!document.getElementById(id); })")),
        QStringLiteral("true"));
    Pause(500);
    EXPECT_FALSE(second->GetBrowserView()->HasPage());
    EXPECT_TRUE(second->GetBrowserView()->GetLocationURL().empty());
}

TEST_F(ViewTest, MenuFollowsWhetherATabIsOpen)
{
    EXPECT_EQ(m_frame->CurrentMenuId(), CMainFrame::IDR_MAINFRAME);
    EXPECT_FALSE(m_frame->IsCommandEnabled(CMainFrame::ID_FILE_SAVE));
    // Commands dispatch by identifier, also as WM_COMMAND to the frame's window.
    SendMessageW(m_frame->GetSafeHwnd(), WM_COMMAND, CMainFrame::ID_FILE_NEW, 0);
    ASSERT_EQ(m_frame->Tabs()->Count(), 1);
    EXPECT_EQ(m_frame->CurrentMenuId(), CMainFrame::IDR_VellumTYPE);
    EXPECT_TRUE(m_frame->IsCommandEnabled(CMainFrame::ID_FILE_SAVE));
    EXPECT_TRUE(m_frame->OnCommand(CMainFrame::ID_WINDOW_NEW));
    ASSERT_EQ(m_frame->Tabs()->Count(), 2);
    EXPECT_EQ(m_frame->Tabs()->Frames()[0]->GetDocument(), m_frame->Tabs()->Frames()[1]->GetDocument());
    // Close takes the document with all its tabs.
    EXPECT_TRUE(m_frame->OnCommand(CMainFrame::ID_FILE_CLOSE));
    EXPECT_EQ(m_frame->Tabs()->Count(), 0);
    EXPECT_EQ(m_frame->CurrentMenuId(), CMainFrame::IDR_MAINFRAME);
    EXPECT_FALSE(m_frame->OnCommand(12345));
}

TEST_F(ViewTest, SaveWritesAnEmptyFileAndOpenMakesATitledTab)
{
    TempDir dir;
    const std::string saved = (dir / "saved.doc").string();
    {
        std::ofstream out(saved);
        out << "old content";
    }
    ASSERT_NE(m_frame->OnFileNew(), nullptr);
    SetFileDialogSeam([&](const FileDialogRequest &request, wstring16 *path) {
        EXPECT_TRUE(request.save);
        *path = QString::fromStdString(saved).toStdU16String();
        return true;
    });
    EXPECT_TRUE(m_frame->OnCommand(CMainFrame::ID_FILE_SAVE));
    EXPECT_EQ(QFile(QString::fromStdString(saved)).size(), 0);
    EXPECT_EQ(m_frame->Tabs()->TabBar()->tabText(0), QStringLiteral("saved.doc"));

    const std::string other = (dir / "其他.txt").string();
    {
        std::ofstream out(other);
        out << "anything";
    }
    SetFileDialogSeam([&](const FileDialogRequest &request, wstring16 *path) {
        EXPECT_FALSE(request.save);
        *path = QString::fromStdString(other).toStdU16String();
        return true;
    });
    EXPECT_TRUE(m_frame->OnCommand(CMainFrame::ID_FILE_OPEN));
    ASSERT_EQ(m_frame->Tabs()->Count(), 2);
    CChildFrame *opened = m_frame->MDIGetActive();
    EXPECT_EQ(opened->Title(), QStringLiteral("其他.txt"));
    EXPECT_NE(opened->GetDocument(), m_frame->Tabs()->Frames()[0]->GetDocument());
    Pause(300);
    EXPECT_FALSE(opened->GetBrowserView()->HasPage());
    EXPECT_EQ(QFile(QString::fromStdString(other)).size(), 8);
    EXPECT_EQ(m_frame->RecentFiles().value(0), QString::fromStdString(other));

    // Opening a file that is open already shows its tab, also by another spelling
    // of its path, and the saved document counts as open too.
    m_frame->Tabs()->SetActiveFrame(m_frame->Tabs()->Frames()[0]);
    EXPECT_EQ(
        m_frame->OpenDocumentFile(QString::fromStdString((dir / "." / "其他.txt").string()).toStdU16String()), opened);
    EXPECT_EQ(m_frame->MDIGetActive(), opened);
    EXPECT_EQ(m_frame->OpenDocumentFile(QString::fromStdString(saved).toStdU16String()), m_frame->Tabs()->Frames()[0]);
    EXPECT_EQ(m_frame->Tabs()->Count(), 2);
}

// The split command lets the user place the divider: arrow keys (Ctrl for one
// pixel), Enter keeps it, Esc puts it back, a click places it at the pointer.
TEST_F(ViewTest, SplitCommandMovesTheDividerByKeysAndMouse)
{
    CChildFrame *tab = NewTab();
    ASSERT_NE(tab, nullptr);
    QSplitter *splitter = tab->m_wndSplitter;
    ASSERT_TRUE(WaitFor([&] { return splitter->width() > 600; }));
    const int before = splitter->sizes().value(0);

    EXPECT_TRUE(m_frame->OnCommand(CMainFrame::ID_WINDOW_SPLIT));
    EXPECT_TRUE(CSplitTracker::IsTracking());
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(splitter, Qt::Key_Right);
    EXPECT_EQ(splitter->sizes().value(0), before + 3 * CSplitTracker::kStep);
    QTest::keyClick(splitter, Qt::Key_Left, Qt::ControlModifier);
    QTest::keyClick(splitter, Qt::Key_Return);
    EXPECT_FALSE(CSplitTracker::IsTracking());
    const int kept = before + 3 * CSplitTracker::kStep - 1;
    EXPECT_EQ(splitter->sizes().value(0), kept);

    m_frame->OnCommand(CMainFrame::ID_WINDOW_SPLIT);
    QTest::keyClick(splitter, Qt::Key_Right);
    QTest::keyClick(splitter, Qt::Key_Right);
    QTest::keyClick(splitter, Qt::Key_Escape);
    EXPECT_FALSE(CSplitTracker::IsTracking());
    EXPECT_EQ(splitter->sizes().value(0), kept);

    m_frame->OnCommand(CMainFrame::ID_WINDOW_SPLIT);
    QTest::mouseClick(splitter, Qt::LeftButton, {}, QPoint(400, 20));
    EXPECT_FALSE(CSplitTracker::IsTracking());
    EXPECT_EQ(splitter->sizes().value(0), 400);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // The tab closed while its divider is being placed: the cursor comes back.
    m_frame->OnCommand(CMainFrame::ID_WINDOW_SPLIT);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    m_frame->CloseFrame(tab);
    EXPECT_TRUE(WaitFor([] { return !CSplitTracker::IsTracking(); }));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ViewTest, WindowsDialogActivatesSavesAndClosesTabs)
{
    TempDir dir;
    std::vector<CChildFrame *> tabs;
    for (int i = 0; i < 3; ++i)
        tabs.push_back(m_frame->OnFileNew());
    tabs[1]->GetDocument()->SetTitle(u"第二个");
    CWindowsDialog dialog(m_frame.get());
    QListWidget *list = dialog.List();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("第二个"));
    EXPECT_TRUE(list->item(2)->isSelected()); // the active tab

    // Save the selected tabs: each asks for its name, as its own Save would.
    std::vector<wstring16> asked;
    SetFileDialogSeam([&](const FileDialogRequest &request, wstring16 *path) {
        asked.push_back(request.initialName);
        *path =
            QString::fromStdString((dir / ("saved" + std::to_string(asked.size()) + ".doc")).string()).toStdU16String();
        return true;
    });
    list->clearSelection();
    list->item(0)->setSelected(true);
    list->item(1)->setSelected(true);
    dialog.OnSave();
    SetFileDialogSeam({});
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(dir / "saved1.doc"));
    EXPECT_EQ(
        tabs[1]->GetDocument()->GetPathName(), QString::fromStdString((dir / "saved2.doc").string()).toStdU16String());
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("saved2.doc"));

    // Close one, then activate another.
    list->clearSelection();
    list->item(1)->setSelected(true);
    dialog.OnCloseWindows();
    EXPECT_EQ(m_frame->Tabs()->Count(), 2);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), tabs[2]->Title());
    list->clearSelection();
    list->item(0)->setSelected(true);
    dialog.OnActivate();
    EXPECT_EQ(m_frame->MDIGetActive(), tabs[0]);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

// Print is offered while a page is loaded, and prints it (here into a PDF file,
// as the print dialog does where no printer is installed).
TEST_F(ViewTest, PrintIsOfferedWithAPageAndPrintsIt)
{
    QAction *print = nullptr;
    for (QAction *a : m_frame->actions())
        if (a->data().toUInt() == CMainFrame::ID_FILE_PRINT)
            print = a;
    ASSERT_NE(print, nullptr);
    EXPECT_FALSE(print->isEnabled());
    CChildFrame *empty = NewTab();
    ASSERT_NE(empty, nullptr);
    EXPECT_FALSE(print->isEnabled());
    CVellumView *view = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(WaitFor([&] { return print->isEnabled(); }));
    m_frame->Tabs()->SetActiveFrame(empty);
    EXPECT_FALSE(print->isEnabled());

    TempDir dir;
    const QString pdf = QString::fromStdString((dir / "页面.pdf").string());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    int finished = 0;
    bool ok = false;
    view->PrintPage(&printer, [&](bool result) {
        ++finished;
        ok = result;
    });
    ASSERT_TRUE(WaitFor([&] { return finished > 0; }, 30000));
    EXPECT_TRUE(ok);
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_GT(bytes.size(), 1000);
    Pause(200);
    EXPECT_EQ(finished, 1);
}

// A tab sent to an address that has not answered yet (a slow or unreachable
// site after a restart) is saved with that address, not with none.
TEST_F(ViewTest, ATabIsSavedWithTheAddressItWasSentToBeforeThePageAnswers)
{
    CChildFrame *tab = NewTab();
    ASSERT_NE(tab, nullptr);
    // Not routed anywhere: no answer comes during the test.
    const wstring16 address = u"http://10.255.255.1/slow";
    tab->GetBrowserView()->NavigateUrl(address, false);
    TempDir dir;
    const wstring16 statePath = WideString::FromUtf8((dir / "tabs.state").string());
    {
        CTabStateKeeper keeper(m_frame.get(), statePath);
        keeper.Watch();
        keeper.SaveAtExit();
    }
    CTabStateKeeper keeper(m_frame.get(), statePath);
    SessionState state;
    ASSERT_TRUE(keeper.ReadLast(&state, nullptr, nullptr));
    ASSERT_FALSE(state.tabs.empty());
    EXPECT_EQ(state.tabs.back().url, address);
}
