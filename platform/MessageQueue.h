#pragma once
// The message queue of one thread: sends waiting for it, posted messages and
// window timers. A thread gets its queue the first time it needs one; when the
// thread ends, its windows are released and nothing waits on it any more.

#include "platform/WindowEntry.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class MessageQueue {
public:
    using Clock = std::chrono::steady_clock;

    // A send waiting for its owner thread; the sender blocks until done.
    struct SentCall {
        std::shared_ptr<WindowEntry> window;
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
        const std::function<LRESULT()> *call = nullptr; // instead of the handler
        std::shared_ptr<MessageQueue> sender;
        LRESULT result = 0;
        bool done = false; // guarded by the sender queue's lock
    };

    explicit MessageQueue(DWORD threadId);
    MessageQueue(const MessageQueue &) = delete;
    MessageQueue &operator=(const MessageQueue &) = delete;

    // The calling thread's queue, made on first use.
    static std::shared_ptr<MessageQueue> Current();
    // The calling thread's queue if it has one already.
    static std::shared_ptr<MessageQueue> CurrentIfAny();
    // The same without taking a reference (null if none).
    static MessageQueue *CurrentRaw();

    DWORD ThreadId() const { return m_threadId; }

    // Cross-thread send from the calling thread: 0 at once if the window's
    // destruction has started or its thread has ended.
    LRESULT Send(const std::shared_ptr<WindowEntry> &window, UINT message, WPARAM wParam, LPARAM lParam,
        const std::function<LRESULT()> *call);
    bool Post(const std::shared_ptr<WindowEntry> &window, UINT message, WPARAM wParam, LPARAM lParam);

    // Marks the window's destruction started and drops what waits for it:
    // pending sends answer 0, posts and timers go.
    void Release(WindowEntry &window);

    // Returns the timer id, 0 on failure.
    UINT_PTR SetTimer(const std::shared_ptr<WindowEntry> &window, UINT_PTR id, UINT elapse, TIMERPROC proc);
    bool KillTimer(HWND window, UINT_PTR id);
    DWORD MillisecondsToNextTimer();

    // Runs pending sends, then the posts that were queued when it started
    // (sends that arrive meanwhile go first), then due timers. Once `until` has
    // passed it stops after the item at hand; the rest stays queued in order.
    int Pump(Clock::time_point until = Clock::time_point::max());
    // Runs the sends queued when it started.
    int PumpSends(Clock::time_point until = Clock::time_point::max());
    // Whether a send or a post waits, or a timer is due.
    bool HasWork();
    // Blocks until work is queued or the time point passes.
    void WaitForWork(Clock::time_point until);

    void SetWaker(std::function<void()> waker);
    // Owner thread only.
    void SetLoop(std::function<void(DWORD)> wait) { m_loop = std::move(wait); }
    const std::function<void(DWORD)> &Loop() const { return m_loop; }

    // The thread ends: every later send answers 0 at once.
    void Close();

    // Runs a window's handler (or a call) on this thread, as a direct send does.
    static LRESULT Dispatch(
        WindowEntry &window, UINT message, WPARAM wParam, LPARAM lParam, const std::function<LRESULT()> *call);

private:
    struct Posted {
        std::shared_ptr<WindowEntry> window;
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };
    struct Timer {
        std::shared_ptr<WindowEntry> window; // null: a thread timer
        UINT_PTR id = 0;
        std::chrono::milliseconds interval {0};
        Clock::time_point due;
        TIMERPROC proc = nullptr;
        std::uint64_t serial = 0;
    };

    void Wake();
    bool RunOneSend();
    int RunDueTimers(Clock::time_point until);
    void WaitForReply(SentCall &call);
    static void Complete(SentCall &call, LRESULT result);

    const DWORD m_threadId;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<SentCall>> m_sends;
    std::deque<Posted> m_posts;
    std::vector<Timer> m_timers;
    std::uint64_t m_nextSerial = 1;
    UINT_PTR m_nextThreadTimerId = 0x7000;
    std::uint64_t m_generation = 0; // bumped by every change a waiting pump must see
    bool m_closed = false;
    bool m_sendsCutShort = false; // owner thread only
    std::shared_ptr<std::function<void()>> m_waker;
    std::function<void(DWORD)> m_loop;
};
