#include "platform/MessageQueue.h"

#include "platform/SystemTime.h"
#include "platform/Threading.h"

#include <algorithm>
#include <utility>

// Defined with the registry: forgets the windows of a queue whose thread ends.
void ReleaseWindowsOwnedBy(MessageQueue &queue);

namespace {

struct QueueHolder {
    std::shared_ptr<MessageQueue> queue;
    ~QueueHolder()
    {
        if (!queue)
            return;
        // Senders blocked on this thread's windows must not wait for a thread that is gone.
        ReleaseWindowsOwnedBy(*queue);
        queue->Close();
    }
};

thread_local QueueHolder t_holder;

} // namespace

MessageQueue::MessageQueue(DWORD threadId) : m_threadId(threadId) { }

std::shared_ptr<MessageQueue> MessageQueue::Current()
{
    if (!t_holder.queue)
        t_holder.queue = std::make_shared<MessageQueue>(GetCurrentThreadId());
    return t_holder.queue;
}

std::shared_ptr<MessageQueue> MessageQueue::CurrentIfAny() { return t_holder.queue; }

MessageQueue *MessageQueue::CurrentRaw() { return t_holder.queue.get(); }

LRESULT MessageQueue::Dispatch(
    WindowEntry &window, UINT message, WPARAM wParam, LPARAM lParam, const std::function<LRESULT()> *call)
{
    if (window.destroying.load())
        return 0;
    if (call)
        return (*call)();
    auto handler = window.Handler();
    if (!handler || !*handler)
        return 0;
    return (*handler)(window.handle, message, wParam, lParam);
}

LRESULT MessageQueue::Send(const std::shared_ptr<WindowEntry> &window, UINT message, WPARAM wParam, LPARAM lParam,
    const std::function<LRESULT()> *call)
{
    auto sender = Current();
    auto sent = std::make_shared<SentCall>();
    sent->window = window;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    sent->call = call;
    sent->sender = sender;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed || window->destroying.load())
            return 0;
        m_sends.push_back(sent);
        ++m_generation;
    }
    m_changed.notify_all();
    Wake();
    sender->WaitForReply(*sent);
    return sent->result;
}

void MessageQueue::WaitForReply(SentCall &call)
{
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return call.done || !m_sends.empty(); });
            if (call.done)
                return;
        }
        // A thread waiting for a reply still answers what is sent to it, so two
        // threads sending to each other do not deadlock.
        PumpSends();
    }
}

void MessageQueue::Complete(SentCall &call, LRESULT result)
{
    auto sender = call.sender;
    {
        std::lock_guard lock(sender->m_mutex);
        call.result = result;
        call.done = true;
    }
    sender->m_changed.notify_all();
}

bool MessageQueue::Post(const std::shared_ptr<WindowEntry> &window, UINT message, WPARAM wParam, LPARAM lParam)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_closed || window->destroying.load())
            return false;
        m_posts.push_back(Posted {window, message, wParam, lParam});
        ++m_generation;
    }
    m_changed.notify_all();
    Wake();
    return true;
}

void MessageQueue::Release(WindowEntry &window)
{
    std::vector<std::shared_ptr<SentCall>> released;
    {
        std::lock_guard lock(m_mutex);
        window.destroying.store(true);
        for (auto it = m_sends.begin(); it != m_sends.end();) {
            if ((*it)->window.get() == &window) {
                released.push_back(std::move(*it));
                it = m_sends.erase(it);
            } else {
                ++it;
            }
        }
        std::erase_if(m_posts, [&](const Posted &p) { return p.window.get() == &window; });
        std::erase_if(m_timers, [&](const Timer &t) { return t.window.get() == &window; });
        ++m_generation;
    }
    for (auto &call : released)
        Complete(*call, 0);
}

void MessageQueue::Close()
{
    std::deque<std::shared_ptr<SentCall>> released;
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        released.swap(m_sends);
        m_posts.clear();
        m_timers.clear();
        m_waker = nullptr;
    }
    for (auto &call : released)
        Complete(*call, 0);
}

UINT_PTR MessageQueue::SetTimer(const std::shared_ptr<WindowEntry> &window, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    // Windows' bounds: at least 10 ms, at most 0x7FFFFFFF ms.
    const UINT ms = std::clamp<UINT>(elapse, 10u, 0x7FFFFFFFu);
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return 0;
        if (window && window->destroying.load())
            return 0;
        if (!window) {
            if (!proc)
                return 0; // a thread timer without a procedure would reach no one
            id = ++m_nextThreadTimerId;
        }
        const auto due = Clock::now() + std::chrono::milliseconds(ms);
        auto it = std::find_if(
            m_timers.begin(), m_timers.end(), [&](const Timer &t) { return t.window == window && t.id == id; });
        if (it != m_timers.end()) {
            it->interval = std::chrono::milliseconds(ms);
            it->due = due;
            it->proc = proc;
        } else {
            m_timers.push_back(Timer {window, id, std::chrono::milliseconds(ms), due, proc, m_nextSerial++});
        }
        ++m_generation;
    }
    m_changed.notify_all();
    Wake();
    return id != 0 ? id : 1;
}

bool MessageQueue::KillTimer(HWND window, UINT_PTR id)
{
    bool found = false;
    {
        std::lock_guard lock(m_mutex);
        found = std::erase_if(m_timers, [&](const Timer &t) {
            return (t.window ? t.window->handle : nullptr) == window && t.id == id;
        }) > 0;
        ++m_generation;
    }
    if (found)
        Wake();
    return found;
}

DWORD MessageQueue::MillisecondsToNextTimer()
{
    std::lock_guard lock(m_mutex);
    if (m_timers.empty())
        return INFINITE;
    auto next = m_timers.front().due;
    for (const auto &t : m_timers)
        next = std::min(next, t.due);
    const auto now = Clock::now();
    if (next <= now)
        return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
    return static_cast<DWORD>(std::min<long long>(ms, 0x7FFFFFFF));
}

bool MessageQueue::RunOneSend()
{
    std::shared_ptr<SentCall> call;
    {
        std::lock_guard lock(m_mutex);
        if (m_sends.empty())
            return false;
        call = std::move(m_sends.front());
        m_sends.pop_front();
    }
    LRESULT result = 0;
    try {
        result = Dispatch(*call->window, call->message, call->wParam, call->lParam, call->call);
    } catch (...) {
        Complete(*call, 0);
        throw;
    }
    Complete(*call, result);
    return true;
}

int MessageQueue::PumpSends(Clock::time_point until)
{
    // Only the sends queued at the start: a sender answered here usually sends
    // again at once, and a few busy senders would keep this call going for ever.
    std::size_t budget = 0;
    {
        std::lock_guard lock(m_mutex);
        budget = m_sends.size();
    }
    int n = 0;
    while (budget-- > 0 && RunOneSend()) {
        ++n;
        if (Clock::now() >= until)
            break;
    }
    return n;
}

int MessageQueue::RunDueTimers(Clock::time_point until)
{
    const auto now = Clock::now();
    std::vector<std::uint64_t> due;
    {
        std::lock_guard lock(m_mutex);
        for (const auto &t : m_timers)
            if (t.due <= now)
                due.push_back(t.serial);
    }
    int n = 0;
    for (auto serial : due) {
        Timer timer;
        {
            // A timer killed or reset by an earlier one of this round is skipped.
            std::lock_guard lock(m_mutex);
            auto it =
                std::find_if(m_timers.begin(), m_timers.end(), [&](const Timer &t) { return t.serial == serial; });
            if (it == m_timers.end() || it->due > now)
                continue;
            it->due = now + it->interval;
            timer = *it;
        }
        HWND hwnd = timer.window ? timer.window->handle : nullptr;
        if (timer.window && timer.window->destroying.load())
            continue;
        if (timer.proc)
            timer.proc(hwnd, WM_TIMER, timer.id, GetTickCount());
        else if (timer.window)
            Dispatch(*timer.window, WM_TIMER, timer.id, 0, nullptr);
        ++n;
        n += PumpSends(until);
        if (Clock::now() >= until)
            break;
    }
    return n;
}

int MessageQueue::Pump(Clock::time_point until)
{
    int n = 0;
    // A call cut short by its sends lets the next one begin with the posts and
    // timers behind them, so a flood of sends never starves them.
    if (!std::exchange(m_sendsCutShort, false)) {
        n = PumpSends(until);
        if (n > 0 && Clock::now() >= until) {
            m_sendsCutShort = true;
            return n;
        }
    }
    std::size_t budget = 0;
    {
        std::lock_guard lock(m_mutex);
        budget = m_posts.size();
    }
    // Only what was queued at the start: a handler that posts again does not
    // keep this call going for ever.
    while (budget-- > 0) {
        Posted post;
        {
            std::lock_guard lock(m_mutex);
            if (m_posts.empty())
                break;
            post = std::move(m_posts.front());
            m_posts.pop_front();
        }
        Dispatch(*post.window, post.message, post.wParam, post.lParam, nullptr);
        ++n;
        n += PumpSends(until);
        if (Clock::now() >= until)
            break;
    }
    n += RunDueTimers(until);
    return n;
}

bool MessageQueue::HasWork()
{
    std::lock_guard lock(m_mutex);
    if (!m_sends.empty() || !m_posts.empty())
        return true;
    const auto now = Clock::now();
    return std::any_of(m_timers.begin(), m_timers.end(), [&](const Timer &t) { return t.due <= now; });
}

void MessageQueue::WaitForWork(Clock::time_point until)
{
    const DWORD toTimer = MillisecondsToNextTimer();
    if (toTimer != INFINITE)
        until = std::min(until, Clock::now() + std::chrono::milliseconds(toTimer));
    std::unique_lock lock(m_mutex);
    const auto generation = m_generation;
    m_changed.wait_until(
        lock, until, [&] { return !m_sends.empty() || !m_posts.empty() || m_generation != generation; });
}

void MessageQueue::SetWaker(std::function<void()> waker)
{
    std::lock_guard lock(m_mutex);
    m_waker = waker ? std::make_shared<std::function<void()>>(std::move(waker)) : nullptr;
}

void MessageQueue::Wake()
{
    std::shared_ptr<std::function<void()>> waker;
    {
        std::lock_guard lock(m_mutex);
        waker = m_waker;
    }
    if (waker)
        (*waker)();
}
