// Sends, posts and timers across real threads, pumped by the plain loop.

#include "platform/Threading.h"
#include "platform/Window.h"
#include "platform/WindowBackend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr UINT kAsk = WM_USER + 1;

// Waits for a condition without the message loop; false when it never held.
bool WaitFor(const std::function<bool()> &done, std::chrono::milliseconds limit = 20s)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Joins threads that must already be finishing; a hang would otherwise block the
// whole suite, so a test that sees no finish aborts loudly instead.
void JoinAll(std::vector<std::thread> &threads, const std::atomic<int> &finished)
{
    if (!WaitFor([&] { return finished.load() == static_cast<int>(threads.size()); }, 30s)) {
        ADD_FAILURE() << "threads still blocked";
        std::abort();
    }
    for (auto &t : threads)
        t.join();
}

TEST(MessageSend, EightSendersGetTheirAnswersInOrder)
{
    constexpr int kSenders = 8;
    constexpr int kCalls = 10000;
    std::vector<long> lastSeen(kSenders, -1);
    std::atomic<int> outOfOrder {0};
    const DWORD owner = GetCurrentThreadId();
    std::atomic<int> wrongThread {0};
    HWND window = CreateWindowEntry(u"Owner", nullptr, [&](HWND, UINT message, WPARAM w, LPARAM l) -> LRESULT {
        if (message != kAsk)
            return 0;
        if (GetCurrentThreadId() != owner)
            ++wrongThread;
        if (static_cast<long>(w) != lastSeen[l] + 1)
            ++outOfOrder;
        lastSeen[l] = static_cast<long>(w);
        return static_cast<LRESULT>(w) * 3 + l * 1000000;
    });
    ASSERT_NE(window, nullptr);

    std::atomic<int> wrongAnswers {0};
    std::atomic<int> finished {0};
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s)
        senders.emplace_back([&, s] {
            for (int i = 0; i < kCalls; ++i)
                if (SendMessageW(window, kAsk, static_cast<WPARAM>(i), s) != i * 3 + s * 1000000)
                    ++wrongAnswers;
            ++finished;
        });
    EXPECT_TRUE(PumpMessagesUntil([&] { return finished.load() == kSenders; }, 120000));
    JoinAll(senders, finished);
    EXPECT_EQ(wrongAnswers.load(), 0);
    EXPECT_EQ(outOfOrder.load(), 0);
    EXPECT_EQ(wrongThread.load(), 0);
    for (long last : lastSeen)
        EXPECT_EQ(last, kCalls - 1);
    DestroyWindow(window);
}

// Starts senders that each send once and block (the owner does not pump).
struct BlockedSenders {
    std::vector<std::thread> threads;
    std::atomic<int> started {0};
    std::atomic<int> finished {0};
    std::atomic<int> nonZero {0};

    BlockedSenders(HWND window, int count)
    {
        for (int s = 0; s < count; ++s)
            threads.emplace_back([this, window] {
                ++started;
                if (SendMessageW(window, kAsk, 1, 2) != 0)
                    ++nonZero;
                ++finished;
            });
        WaitFor([&] { return started.load() == count; });
        std::this_thread::sleep_for(50ms); // let them reach the queue
    }
};

TEST(MessageSend, DestroyingAWindowReleasesEveryWaitingSender)
{
    std::atomic<int> handled {0};
    HWND window = CreateWindowEntry(u"Owner", nullptr, [&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kAsk)
            ++handled;
        return 7;
    });
    BlockedSenders senders(window, 8);
    EXPECT_EQ(senders.finished.load(), 0);
    ASSERT_TRUE(DestroyWindow(window));
    // Released without the owner pumping at all.
    JoinAll(senders.threads, senders.finished);
    EXPECT_EQ(senders.nonZero.load(), 0);
    EXPECT_EQ(handled.load(), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(SendMessageW(window, kAsk, 0, 0), 0);
    EXPECT_EQ(PumpMessages(), 0);
}

TEST(MessageSend, AWindowDestroyingItselfAnswersTheOthersWithZero)
{
    std::atomic<int> handled {0};
    LRESULT sentToSelfWhileDestroying = -1;
    HWND window = CreateWindowEntry(u"Owner", nullptr, [&](HWND self, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == WM_DESTROY)
            sentToSelfWhileDestroying = SendMessageW(self, kAsk, 0, 0);
        if (message != kAsk)
            return 0;
        ++handled;
        DestroyWindow(self);
        return 5;
    });
    BlockedSenders senders(window, 8);
    PumpMessages();
    JoinAll(senders.threads, senders.finished);
    EXPECT_EQ(handled.load(), 1);
    EXPECT_EQ(senders.nonZero.load(), 1); // the one that ran got its answer
    EXPECT_EQ(sentToSelfWhileDestroying, 0);
    EXPECT_FALSE(IsWindow(window));
}

TEST(MessageSend, ThreadEndReleasesSendersToItsWindows)
{
    std::atomic<HWND> window {nullptr};
    std::atomic<bool> letGo {false};
    std::thread owner([&] {
        window = CreateWindowEntry(u"Worker", nullptr, [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 9; });
        WaitFor([&] { return letGo.load(); });
        std::this_thread::sleep_for(50ms);
        // Ends without pumping or destroying.
    });
    ASSERT_TRUE(WaitFor([&] { return window.load() != nullptr; }));
    std::atomic<int> finished {0};
    std::vector<std::thread> senders;
    std::atomic<LRESULT> answer {-1};
    senders.emplace_back([&] {
        letGo = true;
        answer = SendMessageW(window, kAsk, 0, 0);
        ++finished;
    });
    JoinAll(senders, finished);
    owner.join();
    EXPECT_EQ(answer.load(), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(PostMessageW(window, kAsk, 0, 0));
}

TEST(MessageSend, TwoThreadsSendingToEachOtherDoNotDeadlock)
{
    std::atomic<HWND> workerWindow {nullptr};
    std::atomic<bool> stop {false};
    HWND mainWindow = CreateWindowEntry(u"Main", nullptr, [](HWND, UINT message, WPARAM w, LPARAM) -> LRESULT {
        return message == kAsk ? static_cast<LRESULT>(w) + 1 : 0;
    });
    std::thread worker([&] {
        // Its handler sends back to the main thread, which is blocked sending here.
        workerWindow = CreateWindowEntry(u"Worker", nullptr, [&](HWND, UINT message, WPARAM w, LPARAM) -> LRESULT {
            return message == kAsk ? SendMessageW(mainWindow, kAsk, w * 10, 0) : 0;
        });
        PumpMessagesUntil([&] { return stop.load(); }, INFINITE);
    });
    ASSERT_TRUE(WaitFor([&] { return workerWindow.load() != nullptr; }));
    for (WPARAM i = 1; i <= 200; ++i)
        ASSERT_EQ(SendMessageW(workerWindow, kAsk, i, 0), static_cast<LRESULT>(i * 10 + 1));
    stop = true;
    worker.join();
    DestroyWindow(mainWindow);
}

TEST(MessageSend, NestedLoopAnswersSends)
{
    std::atomic<bool> workerDone {false};
    std::atomic<LRESULT> workerAnswer {0};
    std::thread worker;
    bool nestedReturned = false;
    HWND window = nullptr;
    window = CreateWindowEntry(u"Owner", nullptr, [&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kAsk)
            return 42;
        if (message == WM_USER + 2) {
            // Like a modal dialog: a loop inside a handler that waits for a send.
            worker = std::thread([&] {
                workerAnswer = SendMessageW(window, kAsk, 0, 0);
                workerDone = true;
            });
            nestedReturned = PumpMessagesUntil([&] { return workerDone.load(); }, 20000);
        }
        return 0;
    });
    PostMessageW(window, WM_USER + 2, 0, 0);
    PumpMessages();
    worker.join();
    EXPECT_TRUE(nestedReturned);
    EXPECT_EQ(workerAnswer.load(), 42);
    DestroyWindow(window);
}

TEST(MessageSend, InvokeRunsOnTheOwnerThreadAndSkipsGoneWindows)
{
    const DWORD owner = GetCurrentThreadId();
    HWND window = CreateWindowEntry(u"Owner", nullptr, nullptr);
    std::atomic<DWORD> ranOn {0};
    std::atomic<LRESULT> result {0};
    std::atomic<bool> done {false};
    std::thread worker([&] {
        result = InvokeOnWindowThread(window, [&]() -> LRESULT {
            ranOn = GetCurrentThreadId();
            return 77;
        });
        done = true;
    });
    PumpMessagesUntil([&] { return done.load(); }, 20000);
    worker.join();
    EXPECT_EQ(result.load(), 77);
    EXPECT_EQ(ranOn.load(), owner);
    // A window without a handler answers 0 to messages.
    EXPECT_EQ(SendMessageW(window, kAsk, 1, 1), 0);
    DestroyWindow(window);
    bool ran = false;
    EXPECT_EQ(InvokeOnWindowThread(window,
                  [&]() -> LRESULT {
                      ran = true;
                      return 1;
                  }),
        0);
    EXPECT_FALSE(ran);
}

TEST(MessageSend, InvalidHandlesAnswerZero)
{
    HWND bogus = reinterpret_cast<HWND>(std::uintptr_t {0x12345678});
    SetLastError(0);
    EXPECT_EQ(SendMessageW(bogus, kAsk, 0, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(PostMessageW(nullptr, kAsk, 0, 0));
    EXPECT_FALSE(PostMessageW(bogus, kAsk, 0, 0));
    EXPECT_FALSE(DestroyWindow(bogus));
}

TEST(MessagePost, PostsFromManyThreadsKeepTheirOrder)
{
    constexpr int kPosters = 4;
    constexpr int kPosts = 5000;
    std::vector<long> lastSeen(kPosters + 1, -1);
    int outOfOrder = 0;
    int received = 0;
    HWND window = CreateWindowEntry(u"Owner", nullptr, [&](HWND, UINT message, WPARAM w, LPARAM l) -> LRESULT {
        if (message != kAsk)
            return 0;
        if (static_cast<long>(w) != lastSeen[l] + 1)
            ++outOfOrder;
        lastSeen[l] = static_cast<long>(w);
        ++received;
        return 0;
    });
    std::vector<std::thread> posters;
    for (int p = 0; p < kPosters; ++p)
        posters.emplace_back([&, p] {
            for (int i = 0; i < kPosts; ++i)
                PostMessageW(window, kAsk, static_cast<WPARAM>(i), p);
        });
    // The owner posts to itself meanwhile, as its own sender number kPosters.
    for (int i = 0; i < kPosts; ++i)
        PostMessageW(window, kAsk, static_cast<WPARAM>(i), kPosters);
    for (auto &t : posters)
        t.join();
    PumpMessagesUntil([&] { return received == (kPosters + 1) * kPosts; }, 60000);
    EXPECT_EQ(received, (kPosters + 1) * kPosts);
    EXPECT_EQ(outOfOrder, 0);
    DestroyWindow(window);
}

TEST(MessagePost, PostsQueuedBeforeDestructionAreDropped)
{
    int received = 0;
    HWND window = CreateWindowEntry(u"Owner", nullptr, [&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kAsk)
            ++received;
        return 0;
    });
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(PostMessageW(window, kAsk, 0, 0));
    DestroyWindow(window);
    PumpMessages();
    EXPECT_EQ(received, 0);
}

TEST(MessagePost, AHandlerThatPostsAgainDoesNotHoldThePump)
{
    int received = 0;
    HWND window = CreateWindowEntry(u"Owner", nullptr, [&](HWND self, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kAsk) {
            ++received;
            PostMessageW(self, kAsk, 0, 0);
        }
        return 0;
    });
    PostMessageW(window, kAsk, 0, 0);
    EXPECT_EQ(PumpMessages(), 1);
    EXPECT_EQ(PumpMessages(), 1);
    EXPECT_EQ(received, 2);
    DestroyWindow(window);
}

// Two senders that send again as soon as they are answered: one send is always queued.
class BusySenders {
public:
    explicit BusySenders(HWND window)
    {
        for (int i = 0; i < 2; ++i)
            m_threads.emplace_back([this, window] {
                while (!m_stop.load())
                    SendMessageW(window, kAsk, 0, 0);
                ++m_finished;
            });
    }
    // The window's destruction answers the sends still waiting.
    void StopAndDestroy(HWND window)
    {
        m_stop = true;
        DestroyWindow(window);
        JoinAll(m_threads, m_finished);
    }

private:
    std::atomic<bool> m_stop {false};
    std::atomic<int> m_finished {0};
    std::vector<std::thread> m_threads;
};

// A pump that ran until no send was left would never come back to its loop.
TEST(MessageSend, BusySendersDoNotHoldThePump)
{
    HWND window = CreateWindowEntry(u"Owner", nullptr, [](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kAsk)
            std::this_thread::sleep_for(1ms);
        return 1;
    });
    BusySenders senders(window);
    EXPECT_TRUE(WaitFor([&] { return PumpMessages() > 0; }));
    const auto start = std::chrono::steady_clock::now();
    const int handled = PumpMessages();
    const auto took = std::chrono::steady_clock::now() - start;
    senders.StopAndDestroy(window);
    EXPECT_LE(handled, 2);
    EXPECT_LT(took, 200ms);
}

// A pump bounded in time stops after the item at hand; what is left keeps its
// order and is reported, so the loop that pumps can come back for it.
TEST(MessagePost, APumpPastItsTimeLeavesTheRestInOrder)
{
    std::vector<WPARAM> seen;
    HWND window = CreateWindowEntry(u"Owner", nullptr, [&](HWND, UINT message, WPARAM w, LPARAM) -> LRESULT {
        if (message == kAsk) {
            seen.push_back(w);
            std::this_thread::sleep_for(2ms);
        }
        return 0;
    });
    for (WPARAM i = 0; i < 6; ++i)
        PostMessageW(window, kAsk, i, 0);
    bool workLeft = false;
    const auto soon = std::chrono::steady_clock::now() + 3ms;
    const int first = WindowBackend::PumpMessagesBefore(soon, workLeft);
    EXPECT_GE(first, 1);
    EXPECT_LT(first, 6);
    EXPECT_TRUE(workLeft);
    // A deadline already past still runs one item, so the queue always moves.
    const int second = WindowBackend::PumpMessagesBefore(std::chrono::steady_clock::now(), workLeft);
    EXPECT_EQ(second, 1);
    while (workLeft)
        WindowBackend::PumpMessagesBefore(std::chrono::steady_clock::now() + 100ms, workLeft);
    EXPECT_EQ(seen, (std::vector<WPARAM> {0, 1, 2, 3, 4, 5}));
    DestroyWindow(window);
}

// Senders that are answered and send again keep the send queue full; a pump
// bounded in time must still reach the posts and timers behind them.
TEST(MessageSend, BusySendersDoNotStarveABoundedPumpsPostsAndTimers)
{
    std::atomic<bool> posted {false};
    std::atomic<bool> ticked {false};
    HWND window = CreateWindowEntry(u"Owner", nullptr, [&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kAsk)
            std::this_thread::sleep_for(1ms);
        else if (message == kAsk + 1)
            posted = true;
        else if (message == WM_TIMER)
            ticked = true;
        return 1;
    });
    BusySenders senders(window);
    EXPECT_TRUE(WaitFor([&] {
        bool left = false;
        return WindowBackend::PumpMessagesBefore(std::chrono::steady_clock::now(), left) > 0;
    }));
    PostMessageW(window, kAsk + 1, 0, 0);
    SetTimer(window, 7, 10, nullptr);
    std::this_thread::sleep_for(20ms);
    for (int i = 0; i < 5 && !(posted && ticked); ++i) {
        bool left = false;
        WindowBackend::PumpMessagesBefore(std::chrono::steady_clock::now(), left);
    }
    senders.StopAndDestroy(window);
    EXPECT_TRUE(posted.load());
    EXPECT_TRUE(ticked.load());
}

std::atomic<int> g_procTicks {0};
void CountingProc(HWND, UINT message, UINT_PTR id, DWORD)
{
    if (message == WM_TIMER && id != 0)
        ++g_procTicks;
}

TEST(MessageTimer, TimersFireOnTheOwnerAndStop)
{
    int ticks = 0;
    int otherTicks = 0;
    HWND window = CreateWindowEntry(u"Owner", nullptr, [&](HWND, UINT message, WPARAM id, LPARAM) -> LRESULT {
        if (message == WM_TIMER)
            (id == 1 ? ticks : otherTicks)++;
        return 0;
    });
    EXPECT_EQ(SetTimer(window, 1, 20, nullptr), 1u);
    EXPECT_EQ(SetTimer(window, 2, 20, nullptr), 2u);
    // Setting id 2 again replaces it rather than adding a second timer.
    EXPECT_EQ(SetTimer(window, 2, 1000000, nullptr), 2u);
    PumpMessagesUntil([&] { return ticks >= 3; }, 20000);
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(otherTicks, 0);
    EXPECT_TRUE(KillTimer(window, 1));
    EXPECT_FALSE(KillTimer(window, 1));
    const int stoppedAt = ticks;
    PumpMessagesUntil([] { return false; }, 100);
    EXPECT_EQ(ticks, stoppedAt);

    // A thread timer calls its procedure; a window timer with a procedure too.
    g_procTicks = 0;
    UINT_PTR threadTimer = SetTimer(nullptr, 0, 10, CountingProc);
    ASSERT_NE(threadTimer, 0u);
    EXPECT_EQ(SetTimer(nullptr, 0, 10, nullptr), 0u);
    PumpMessagesUntil([] { return g_procTicks.load() >= 2; }, 20000);
    EXPECT_TRUE(KillTimer(nullptr, threadTimer));
    EXPECT_GE(g_procTicks.load(), 2);

    // Destroying the window stops its timers.
    SetTimer(window, 3, 10, nullptr);
    DestroyWindow(window);
    EXPECT_FALSE(KillTimer(window, 3));
    EXPECT_EQ(SetTimer(window, 4, 10, nullptr), 0u);
}

TEST(MessageTimer, TimerSetFromAnotherThreadFiresOnTheOwner)
{
    const DWORD owner = GetCurrentThreadId();
    std::atomic<DWORD> firedOn {0};
    HWND window = CreateWindowEntry(u"Owner", nullptr, [&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == WM_TIMER)
            firedOn = GetCurrentThreadId();
        return 0;
    });
    std::thread([&] { SetTimer(window, 5, 10, nullptr); }).join();
    EXPECT_TRUE(PumpMessagesUntil([&] { return firedOn.load() != 0; }, 20000));
    EXPECT_EQ(firedOn.load(), owner);
    DestroyWindow(window);
}

} // namespace
