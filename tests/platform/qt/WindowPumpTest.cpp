// The UI thread's queue pumped by Qt's event loop, nested loops and modal
// dialogs included, and widgets bound to windows.

#include "platform/Threading.h"
#include "platform/Window.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/WindowBinding.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr UINT kAsk = WM_USER + 1;

// Runs Qt's loop until done() holds or the limit passes; true if done.
bool RunLoopUntil(const std::function<bool()> &done, int limitMs = 60000)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

TEST(WindowPump, InstalledWithTheApplication) { EXPECT_TRUE(QtPlatform::IsInstalled()); }

TEST(WindowPump, EightSendersThroughQtsLoop)
{
    constexpr int kSenders = 8;
    constexpr int kCalls = 10000;
    std::vector<long> lastSeen(kSenders, -1);
    int outOfOrder = 0;
    HWND window = CreateWindowEntry(u"Owner", nullptr, [&](HWND, UINT message, WPARAM w, LPARAM l) -> LRESULT {
        if (message != kAsk)
            return 0;
        EXPECT_TRUE(QtPlatform::IsUiThread());
        if (static_cast<long>(w) != lastSeen[l] + 1)
            ++outOfOrder;
        lastSeen[l] = static_cast<long>(w);
        return static_cast<LRESULT>(w) + l * 100000;
    });
    std::atomic<int> wrong {0};
    std::atomic<int> finished {0};
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s)
        senders.emplace_back([&, s] {
            for (int i = 0; i < kCalls; ++i)
                if (SendMessageW(window, kAsk, static_cast<WPARAM>(i), s) != i + s * 100000)
                    ++wrong;
            ++finished;
        });
    const bool done = RunLoopUntil([&] { return finished.load() == kSenders; }, 120000);
    if (!done)
        DestroyWindow(window); // releases the senders so the test can end
    for (auto &t : senders)
        t.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(outOfOrder, 0);
    DestroyWindow(window);
}

TEST(WindowPump, NestedLoopsAndModalDialogsServeSends)
{
    HWND window = CreateWindowEntry(u"Owner", nullptr, [](HWND, UINT message, WPARAM w, LPARAM) -> LRESULT {
        return message == kAsk ? static_cast<LRESULT>(w) * 2 : 0;
    });
    std::atomic<LRESULT> fromNested {0};
    std::atomic<LRESULT> fromModal {0};

    // A nested QEventLoop, as a wait for a page script runs.
    {
        QEventLoop nested;
        std::thread worker([&] {
            fromNested = SendMessageW(window, kAsk, 21, 0);
            QMetaObject::invokeMethod(&nested, &QEventLoop::quit, Qt::QueuedConnection);
        });
        QTimer::singleShot(20000, &nested, &QEventLoop::quit);
        nested.exec();
        worker.join();
    }
    EXPECT_EQ(fromNested.load(), 42);

    // A modal dialog's own loop.
    {
        QDialog dialog;
        std::thread worker([&] {
            fromModal = SendMessageW(window, kAsk, 50, 0);
            QMetaObject::invokeMethod(&dialog, &QDialog::accept, Qt::QueuedConnection);
        });
        QTimer::singleShot(20000, &dialog, &QDialog::reject);
        dialog.exec();
        worker.join();
    }
    EXPECT_EQ(fromModal.load(), 100);
    DestroyWindow(window);
}

TEST(WindowPump, PlainWaitOnTheUiThreadKeepsQtLive)
{
    // A Qt timer and a worker's send both get through while the UI thread waits
    // with the layer's own loop.
    bool qtTimerFired = false;
    QTimer::singleShot(10, qApp, [&] { qtTimerFired = true; });
    HWND window = CreateWindowEntry(
        u"Owner", nullptr, [](HWND, UINT message, WPARAM, LPARAM) -> LRESULT { return message == kAsk ? 11 : 0; });
    std::atomic<LRESULT> answer {0};
    std::thread worker([&] { answer = SendMessageW(window, kAsk, 0, 0); });
    EXPECT_TRUE(PumpMessagesUntil([&] { return qtTimerFired && answer.load() == 11; }, 20000));
    worker.join();
    DestroyWindow(window);
}

TEST(WindowPump, DestroyReleasesSendersWaitingOnTheUiThread)
{
    std::atomic<int> handled {0};
    HWND window = CreateWindowEntry(u"Owner", nullptr, [&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kAsk)
            ++handled;
        return 3;
    });
    std::atomic<int> started {0};
    std::atomic<int> finished {0};
    std::atomic<int> nonZero {0};
    std::vector<std::thread> senders;
    for (int s = 0; s < 8; ++s)
        senders.emplace_back([&] {
            ++started;
            if (SendMessageW(window, kAsk, 0, 0) != 0)
                ++nonZero;
            ++finished;
        });
    // The UI thread is busy (not pumping) while they queue up.
    while (started.load() < 8)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    DestroyWindow(window);
    const bool released = RunLoopUntil([&] { return finished.load() == 8; }, 20000);
    ASSERT_TRUE(released) << "senders still blocked";
    for (auto &t : senders)
        t.join();
    EXPECT_EQ(handled.load(), 0);
    EXPECT_EQ(nonZero.load(), 0);
}

TEST(WindowPump, PostsAndTimersRunFromQtsLoop)
{
    std::vector<int> order;
    int ticks = 0;
    HWND window = CreateWindowEntry(u"Owner", nullptr, [&](HWND, UINT message, WPARAM w, LPARAM) -> LRESULT {
        if (message == kAsk)
            order.push_back(static_cast<int>(w));
        if (message == WM_TIMER && w == 7)
            ++ticks;
        return 0;
    });
    std::thread poster([&] {
        for (int i = 0; i < 1000; ++i)
            PostMessageW(window, kAsk, static_cast<WPARAM>(i), 0);
    });
    poster.join();
    ASSERT_TRUE(RunLoopUntil([&] { return order.size() == 1000; }));
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(order[i], i);

    ASSERT_EQ(SetTimer(window, 7, 15, nullptr), 7u);
    EXPECT_TRUE(RunLoopUntil([&] { return ticks >= 3; }, 20000));
    KillTimer(window, 7);
    const int stopped = ticks;
    RunLoopUntil([] { return false; }, 120);
    EXPECT_EQ(ticks, stopped);
    DestroyWindow(window);
}

// A long queue of work is served in slices: Qt's own events (repaints among
// them) get their turn before the queue is through, and nothing is lost.
TEST(WindowPump, ALongQueueLetsQtsEventsIn)
{
    constexpr int kPosts = 60;
    int handled = 0;
    int handledWhenTimerFired = -1;
    HWND window = CreateWindowEntry(u"Owner", nullptr, [&](HWND, UINT message, WPARAM w, LPARAM) -> LRESULT {
        if (message == kAsk) {
            EXPECT_EQ(static_cast<int>(w), handled);
            ++handled;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return 0;
    });
    QTimer::singleShot(0, [&] { handledWhenTimerFired = handled; });
    for (int i = 0; i < kPosts; ++i)
        PostMessageW(window, kAsk, static_cast<WPARAM>(i), 0);
    EXPECT_TRUE(RunLoopUntil([&] { return handled == kPosts && handledWhenTimerFired >= 0; }));
    EXPECT_LT(handledWhenTimerFired, kPosts);
    EXPECT_EQ(handled, kPosts);
    DestroyWindow(window);
}

TEST(WindowPump, BindingFollowsTheWidget)
{
    QWidget top;
    top.setGeometry(200, 150, 400, 300);
    auto *child = new QWidget(&top);
    child->setGeometry(30, 40, 100, 100);
    std::vector<std::pair<WPARAM, LPARAM>> sizes;
    bool destroyedSeen = false;
    WindowBinding topBinding(
        &top, u"Frame", nullptr,
        [&](HWND, UINT message, WPARAM w, LPARAM l) -> LRESULT {
            if (message == WM_SIZE)
                sizes.emplace_back(w, l);
            if (message == WM_DESTROY)
                destroyedSeen = true;
            return 0;
        },
        u"Main", WindowBindingOptions {true});
    auto childBinding = std::make_unique<WindowBinding>(child, u"View", topBinding.Handle());
    HWND content = CreateWindowEntry(u"Content", childBinding->Handle(), nullptr);

    EXPECT_EQ(WindowBinding::WidgetOf(topBinding.Handle()), &top);
    EXPECT_EQ(WindowBinding::HandleOf(child), childBinding->Handle());
    EXPECT_FALSE(IsWindowVisible(topBinding.Handle()));

    ShowWindow(topBinding.Handle(), SW_SHOW);
    EXPECT_TRUE(top.isVisible());
    EXPECT_TRUE(IsWindowVisible(childBinding->Handle()));

    // Geometry of an unbound child comes from the widget above it.
    const QPoint origin = child->mapToGlobal(QPoint(0, 0));
    POINT p {origin.x() + 5, origin.y() + 7};
    ASSERT_TRUE(ScreenToClient(content, &p));
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 7);

    // Visibility changed by Qt itself reaches the registry.
    top.hide();
    EXPECT_FALSE(IsWindowVisible(topBinding.Handle()));
    EXPECT_FALSE(IsWindowVisible(childBinding->Handle()));
    top.show();
    top.resize(420, 310);
    QApplication::processEvents();
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back().first, SIZE_RESTORED);
    EXPECT_EQ(sizes.back().second, MAKELPARAM(420, 310));

    // Worker threads get the geometry through the UI thread.
    std::atomic<bool> done {false};
    POINT fromWorker {origin.x(), origin.y()};
    std::thread worker([&] {
        ScreenToClient(childBinding->Handle(), &fromWorker);
        done = true;
    });
    RunLoopUntil([&] { return done.load(); });
    worker.join();
    EXPECT_EQ(fromWorker.x, 0);
    EXPECT_EQ(fromWorker.y, 0);

    // The widget going first takes its window (and the children) with it.
    HWND childHandle = childBinding->Handle();
    delete child;
    EXPECT_FALSE(IsWindow(childHandle));
    EXPECT_FALSE(IsWindow(content));
    childBinding.reset(); // nothing left to destroy; must not fail

    SetWindowTextW(topBinding.Handle(), u"新标题");
    EXPECT_EQ(top.windowTitle(), QStringLiteral("新标题"));
    topBinding.Destroy();
    EXPECT_TRUE(destroyedSeen);
    EXPECT_EQ(WindowBinding::WidgetOf(nullptr), nullptr);
}

TEST(WindowPump, BindingDestructionCallsNoHandler)
{
    QWidget widget;
    bool called = false;
    HWND handle = nullptr;
    {
        WindowBinding binding(&widget, u"Frame", nullptr, [&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
            called = true;
            return 0;
        });
        handle = binding.Handle();
    }
    EXPECT_FALSE(called);
    EXPECT_FALSE(IsWindow(handle));
}

} // namespace
