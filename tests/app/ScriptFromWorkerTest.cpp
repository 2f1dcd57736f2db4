// Workers hand scripts to the UI thread by sending a message, as the executor
// does. A hung script in one tab must not hold up another tab's script, and a
// tab closed while its script waits must release everyone.

#include "tests/app/BrowserTest.h"

#include "app/CDocumentTabs.h"
#include "platform/Window.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include <atomic>
#include <thread>

namespace {

constexpr UINT kRunScript = 21024;

// A window on the UI thread that runs the script named by wParam in its view.
struct ScriptWindow {
    explicit ScriptWindow(CVellumView *view)
    {
        handle = CreateWindowEntry(u"ScriptWindow", nullptr, [this, view](HWND, UINT message, WPARAM, LPARAM lParam) {
            if (message != kRunScript)
                return LRESULT(0);
            const auto *code = reinterpret_cast<const char16_t *>(lParam);
            wstring16 answer;
            const bool ok = view->ExecScript(code, u"javascript", answer);
            result = answer;
            return LRESULT(ok ? 1 : 2);
        });
    }
    ~ScriptWindow() { DestroyWindow(handle); }
    HWND handle = nullptr;
    wstring16 result;
};

} // namespace

class ScriptFromWorkerTest : public BrowserTest { };

TEST_F(ScriptFromWorkerTest, WorkerGetsTheResultOfItsScript)
{
    CVellumView *view = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(view, nullptr);
    ScriptWindow window(view);
    std::atomic<LRESULT> answer {-1};
    std::thread worker(
        [&] { answer = SendMessageW(window.handle, kRunScript, 0, reinterpret_cast<LPARAM>(u"20 + 22")); });
    EXPECT_TRUE(WaitFor([&] { return answer != -1; }));
    worker.join();
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(window.result, u"42");
}

TEST_F(ScriptFromWorkerTest, HungTabDoesNotHoldUpAnother)
{
    CVellumView *hung = NewView(QStringLiteral("plain.html"));
    CVellumView *other = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(hung, nullptr);
    ASSERT_NE(other, nullptr);
    hung->SetScriptTimeout(6000);
    ScriptWindow hungWindow(hung);
    ScriptWindow otherWindow(other);

    std::atomic<LRESULT> hungAnswer {-1};
    std::atomic<LRESULT> otherAnswer {-1};
    std::atomic<qint64> otherDoneAt {-1};
    QElapsedTimer clock;
    clock.start();
    std::thread first([&] {
        hungAnswer = SendMessageW(hungWindow.handle, kRunScript, 0, reinterpret_cast<LPARAM>(u"while (true) { }"));
    });
    std::thread second([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        otherAnswer = SendMessageW(otherWindow.handle, kRunScript, 0, reinterpret_cast<LPARAM>(u"'free'"));
        otherDoneAt = clock.elapsed();
    });
    EXPECT_TRUE(WaitFor([&] { return hungAnswer != -1 && otherAnswer != -1; }));
    first.join();
    second.join();
    EXPECT_EQ(otherAnswer, 1);
    EXPECT_EQ(otherWindow.result, u"free");
    EXPECT_LT(otherDoneAt, 5000);
    EXPECT_EQ(hungAnswer, 2);
}

TEST_F(ScriptFromWorkerTest, ClosingTheTabReleasesAWaitingScript)
{
    CVellumView *view = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(view, nullptr);
    CChildFrame *frame = view->GetParentFrame();
    QPointer<CChildFrame> frameGone(frame);
    ScriptWindow window(view);
    std::atomic<LRESULT> answer {-1};
    // The tab goes while its script sits in a page dialog.
    QTimer::singleShot(500, m_frame.get(), [&] { m_frame->CloseFrame(frame); });
    std::thread worker(
        [&] { answer = SendMessageW(window.handle, kRunScript, 0, reinterpret_cast<LPARAM>(u"alert('closing'); 1")); });
    EXPECT_TRUE(WaitFor([&] { return answer != -1; }));
    worker.join();
    // The dismissed dialog lets the script finish, unless the tab went first.
    EXPECT_TRUE(answer == 1 || answer == 2);
    EXPECT_EQ(m_frame->Tabs()->Count(), 0);
    EXPECT_TRUE(WaitFor([&] { return frameGone.isNull(); }));
}

TEST_F(ScriptFromWorkerTest, ClosingTheTabReleasesAHungScript)
{
    CVellumView *view = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(view, nullptr);
    CChildFrame *frame = view->GetParentFrame();
    ScriptWindow window(view);
    std::atomic<LRESULT> answer {-1};
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(500, m_frame.get(), [&] { m_frame->CloseFrame(frame); });
    std::thread worker(
        [&] { answer = SendMessageW(window.handle, kRunScript, 0, reinterpret_cast<LPARAM>(u"while (true) { }")); });
    EXPECT_TRUE(WaitFor([&] { return answer != -1; }));
    worker.join();
    EXPECT_EQ(answer, 2);
    // Well before the ten-second bound.
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(ScriptFromWorkerTest, ClosingTheProgramDismissesPageDialogs)
{
    CVellumView *view = NewView(QStringLiteral("plain.html"));
    ASSERT_NE(view, nullptr);
    bool closed = false;
    QTimer::singleShot(500, m_frame.get(), [&] { closed = m_frame->close(); });
    wstring16 result;
    view->ExecScript(u"alert('still open'); 1", u"", result);
    EXPECT_FALSE(closed); // the first attempt waits for the dialog
    EXPECT_TRUE(WaitFor([&] { return !m_frame->isVisible(); }));
    EXPECT_EQ(m_frame->Tabs()->Count(), 0);
}
