// Mouse messages posted to the content window chain become real input of the
// page: trusted events at the posted client coordinates, in any tab and with the
// main window hidden; the game-area window delivers relative to its element.

#include "tests/app/BrowserTest.h"

#include "app/CPageInput.h"
#include "app/CVellumApp.h"
#include "platform/Window.h"

#include <QStringList>

namespace {

HWND ContentWindow(CVellumView *view)
{
    HWND embedding = FindWindowExW(view->GetSafeHwnd(), nullptr, u"Shell Embedding", nullptr);
    HWND docObject = FindWindowExW(embedding, nullptr, u"Shell DocObject View", nullptr);
    return FindWindowExW(docObject, nullptr, u"Internet Explorer_Server", nullptr);
}

void Post(HWND window, UINT message, int x, int y)
{
    PostMessageW(window, message, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}

void PostClick(HWND window, int x, int y)
{
    Post(window, WM_MOUSEMOVE, x, y);
    Post(window, WM_LBUTTONDOWN, x, y);
    Post(window, WM_LBUTTONUP, x, y);
}

} // namespace

class InputTest : public BrowserTest {
protected:
    static QStringList Log(CVellumView *view)
    {
        return Js(view, QStringLiteral("log.join('|')")).split(QLatin1Char('|'), Qt::SkipEmptyParts);
    }
    static bool WaitForLog(CVellumView *view, int entries)
    {
        return WaitFor([&] { return Log(view).size() >= entries; }, 5000);
    }
};

TEST_F(InputTest, ChainExistsWhileAPageIsLoaded)
{
    CChildFrame *frame = NewTab();
    ASSERT_NE(frame, nullptr);
    CVellumView *view = frame->GetBrowserView();
    HWND embedding = FindWindowExW(view->GetSafeHwnd(), nullptr, u"Shell Embedding", nullptr);
    ASSERT_NE(embedding, nullptr);
    ASSERT_NE(FindWindowExW(embedding, nullptr, u"Shell DocObject View", nullptr), nullptr);
    EXPECT_EQ(ContentWindow(view), nullptr);
    ASSERT_TRUE(Load(view, Page(QStringLiteral("plain.html"))));
    EXPECT_NE(ContentWindow(view), nullptr);
    EXPECT_EQ(ContentWindow(view), view->GetContentWindow());
}

TEST_F(InputTest, PostedClickIsATrustedClickAtThosePoints)
{
    CVellumView *view = NewView(QStringLiteral("input.html"));
    ASSERT_NE(view, nullptr);
    PostClick(ContentWindow(view), 40, 60);
    ASSERT_TRUE(WaitForLog(view, 3));
    EXPECT_EQ(Log(view),
        QStringList({QStringLiteral("mousedown true 40,60 1"), QStringLiteral("mouseup true 40,60 1"),
            QStringLiteral("click true 40,60 1")}));
}

TEST_F(InputTest, DragPressesAtOnePointAndReleasesAtAnother)
{
    CVellumView *view = NewView(QStringLiteral("input.html"));
    ASSERT_NE(view, nullptr);
    HWND content = ContentWindow(view);
    Post(content, WM_MOUSEMOVE, 15, 25);
    Post(content, WM_LBUTTONDOWN, 15, 25);
    Post(content, WM_LBUTTONUP, 300, 40);
    ASSERT_TRUE(WaitForLog(view, 2));
    const QStringList log = Log(view);
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log[0], QStringLiteral("mousedown true 15,25 1"));
    EXPECT_EQ(log[1], QStringLiteral("mouseup true 300,40 1"));
}

TEST_F(InputTest, TwoClicksInARowAreADoubleClick)
{
    CVellumView *view = NewView(QStringLiteral("input.html"));
    ASSERT_NE(view, nullptr);
    PostClick(ContentWindow(view), 50, 50);
    PostClick(ContentWindow(view), 50, 50);
    ASSERT_TRUE(WaitForLog(view, 7));
    EXPECT_TRUE(Log(view).contains(QStringLiteral("dblclick true 50,50 2")));
}

TEST_F(InputTest, GameAreaWindowDeliversRelativeToItsElement)
{
    CVellumView *view = NewView(QStringLiteral("input.html"));
    ASSERT_NE(view, nullptr);
    HWND content = ContentWindow(view);
    HWND game = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (game = FindWindowExW(content, nullptr, u"MacromediaFlashPlayerActiveX", nullptr)); }));
    PostClick(game, 10, 20);
    ASSERT_TRUE(WaitForLog(view, 3));
    EXPECT_EQ(Log(view).value(2), QStringLiteral("click true 130,320 1 game"));

    // The page scrolls: the element moves and the window follows it.
    Js(view, QStringLiteral("window.scrollTo(0, 200); log = []"));
    PostClick(game, 10, 20);
    ASSERT_TRUE(WaitForLog(view, 3));
    EXPECT_EQ(Log(view).value(2), QStringLiteral("click true 130,120 1 game"));
    ASSERT_TRUE(WaitFor([&] {
        POINT p {0, 0};
        POINT q {0, 0};
        ClientToScreen(game, &p);
        ClientToScreen(content, &q);
        return p.y - q.y == 100 && p.x - q.x == 120;
    }));

    // Without a visible element the window goes.
    Js(view, QStringLiteral("document.getElementById('game').style.display = 'none'"));
    ASSERT_TRUE(WaitFor([&] { return !FindWindowExW(content, nullptr, u"MacromediaFlashPlayerActiveX", nullptr); }));
}

TEST_F(InputTest, BackgroundTabTakesInput)
{
    CVellumView *background = NewView(QStringLiteral("input.html"));
    ASSERT_NE(background, nullptr);
    CVellumView *front = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(front, nullptr);
    ASSERT_EQ(m_frame->ActiveView(), front);
    PostClick(ContentWindow(background), 70, 90);
    ASSERT_TRUE(WaitForLog(background, 3));
    EXPECT_EQ(Log(background).value(2), QStringLiteral("click true 70,90 1"));
}

TEST_F(InputTest, TabCreatedInTheBackgroundTakesInput)
{
    CVellumView *front = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(front, nullptr);
    CVellumView *background = NewView(QStringLiteral("input.html"), false);
    ASSERT_NE(background, nullptr);
    ASSERT_EQ(m_frame->ActiveView(), front);
    // Real size from the first load, whichever tab is current.
    EXPECT_EQ(background->size(), front->size());
    PostClick(ContentWindow(background), 33, 44);
    ASSERT_TRUE(WaitForLog(background, 3));
    EXPECT_EQ(Log(background).value(2), QStringLiteral("click true 33,44 1"));
}

TEST_F(InputTest, HiddenMainWindowStillTakesInput)
{
    CVellumView *view = NewView(QStringLiteral("input.html"));
    ASSERT_NE(view, nullptr);
    m_frame->hide();
    PostClick(ContentWindow(view), 21, 31);
    ASSERT_TRUE(WaitForLog(view, 3));
    EXPECT_EQ(Log(view).value(2), QStringLiteral("click true 21,31 1"));
}

TEST_F(InputTest, PagesRunAtFullRateWhenTheWindowIsHidden)
{
    CVellumView *view = NewView(QStringLiteral("timers.html"));
    ASSERT_NE(view, nullptr);
    CVellumView *front = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(front, nullptr);
    m_frame->HideKeepingPagesLive();
    EXPECT_FALSE(IsWindowVisible(m_frame->GetSafeHwnd()));
    Js(view, QStringLiteral("ticks = 0; frames_ = 0"));
    Pause(1000);
    const QStringList counts = Js(view, QStringLiteral("ticks + ' ' + frames_")).split(QLatin1Char(' '));
    ASSERT_EQ(counts.size(), 2);
    // About 100 ticks of 10 ms and 60 frames a second at full rate; a
    // throttled page gets about one tick and no frame.
    EXPECT_GT(counts[0].toInt(), 40);
    EXPECT_GT(counts[1].toInt(), 10);
    m_frame->ShowFromHidden();
    EXPECT_TRUE(IsWindowVisible(m_frame->GetSafeHwnd()));
}

TEST_F(InputTest, MinimisedOrHiddenPageKeepsItsTimers)
{
    CVellumView *view = NewView(QStringLiteral("timers.html"));
    ASSERT_NE(view, nullptr);
    m_frame->hide();
    Pause(200);
    Js(view, QStringLiteral("ticks = 0"));
    Pause(1000);
    EXPECT_GT(Js(view, QStringLiteral("ticks")).toInt(), 40);
    EXPECT_EQ(Js(view, QStringLiteral("document.visibilityState")), QStringLiteral("visible"));
}

TEST_F(InputTest, HomePagePracticeAreaCountsRealInput)
{
    CChildFrame *frame = NewTab();
    ASSERT_NE(frame, nullptr);
    CVellumView *view = frame->GetBrowserView();
    ASSERT_TRUE(Load(view, QUrl(QString::fromUtf16(CVellumApp::kHomePageUrl))));
    const auto center = [&](const QString &id) {
        const QStringList xy = Js(view,
            QStringLiteral("(function(){var e=document.getElementById('%1');"
                           "e.scrollIntoView();var r=e.getBoundingClientRect();"
                           "return Math.round(r.left+r.width/2)+' '+Math.round(r.top+r.height/2)})()")
                .arg(id))
                                   .split(QLatin1Char(' '));
        return QPoint(xy.value(0).toInt(), xy.value(1).toInt());
    };
    HWND content = ContentWindow(view);

    // A script's click() is not trusted and does not count; a posted one does.
    Js(view, QStringLiteral("document.getElementById('counter-button').click()"));
    const QPoint button = center(QStringLiteral("counter-button"));
    PostClick(content, button.x(), button.y());
    ASSERT_TRUE(WaitFor(
        [&] {
            return Js(view, QStringLiteral("document.getElementById('counter').textContent")) == QStringLiteral("1");
        },
        5000));

    const QPoint target = center(QStringLiteral("drag-target"));
    Post(content, WM_MOUSEMOVE, target.x(), target.y());
    Post(content, WM_LBUTTONDOWN, target.x(), target.y());
    Post(content, WM_LBUTTONUP, target.x() + 100, target.y() + 10);
    const QString expected = QStringLiteral("起点：(%1, %2) 终点：(%3, %4)")
                                 .arg(target.x())
                                 .arg(target.y())
                                 .arg(target.x() + 100)
                                 .arg(target.y() + 10);
    ASSERT_TRUE(WaitFor(
        [&] { return Js(view, QStringLiteral("document.getElementById('drag-report').textContent")) == expected; },
        5000));

    // The canvas is the page's game area.
    center(QStringLiteral("board"));
    HWND game = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (game = FindWindowExW(content, nullptr, u"MacromediaFlashPlayerActiveX", nullptr)); }));
    PostClick(game, 25, 35);
    ASSERT_TRUE(WaitFor(
        [&] {
            return Js(view, QStringLiteral("document.getElementById('board-report').textContent")) ==
                QStringLiteral("画布点击位置：(25, 35)");
        },
        5000));
}
