#include "tasks/CTaskClass.h"

#include "platform/SystemTime.h"
#include "platform/Window.h"
#include "util/ThreadManager.h"

#include <algorithm>

namespace KorrinControlsEx {

namespace {

// The clock is a wrapping 32-bit count; differences stay right across the wrap.
int ClockDiff(int later, int earlier)
{
    return static_cast<int>(static_cast<std::uint32_t>(later) - static_cast<std::uint32_t>(earlier));
}

int ClockAdd(int time, int seconds)
{
    return static_cast<int>(static_cast<std::uint32_t>(time) + static_cast<std::uint32_t>(seconds));
}

// After a failed thread start the record is tried again this much later.
constexpr DWORD kRetryStartMs = 1000;

} // namespace

CTaskClass::CTaskClass()
{
    InitializeCriticalSection(&lock);
    wakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE loop = nullptr;
    StartOwnThread(LoopThreadMain, this, &loop);
}

CTaskClass::~CTaskClass()
{
    Shutdown();
    for (TimedTask *record : tasks)
        delete record;
    tasks.clear();
    CloseHandle(wakeEvent);
    DeleteCriticalSection(&lock);
}

void CTaskClass::Shutdown()
{
    stopping = true;
    EnterCriticalSection(&lock);
    for (TimedTask *record : tasks) {
        record->repeat = false;
        record->cancelled = true;
    }
    LeaveCriticalSection(&lock);
    SetEvent(wakeEvent);
    {
        std::unique_lock<std::mutex> guard(m_threadsLock);
        m_threadsEnded.wait(guard, [this] { return m_threadsAlive == 0; });
    }
    ThreadManager::StopAll();
}

bool CTaskClass::StartOwnThread(LPTHREAD_START_ROUTINE routine, LPVOID parameter, HANDLE *handle)
{
    {
        std::lock_guard<std::mutex> guard(m_threadsLock);
        ++m_threadsAlive;
    }
    ThreadManager manager(routine, parameter);
    *handle = manager.threadHandle;
    if (!manager.threadHandle) {
        OwnThreadEnded();
        return false;
    }
    return true;
}

void CTaskClass::OwnThreadEnded()
{
    // Notified under the lock: the waiter cannot return, and free this object,
    // before the notification is done.
    std::lock_guard<std::mutex> guard(m_threadsLock);
    if (--m_threadsAlive == 0)
        m_threadsEnded.notify_all();
}

std::vector<TimedTask *>::const_iterator CTaskClass::Find(int id) const
{
    return std::find_if(tasks.begin(), tasks.end(), [id](const TimedTask *r) { return r->id == id; });
}

bool CTaskClass::AddTask(TimedTask *record)
{
    if (!record)
        return false;
    EnterCriticalSection(&lock);
    if (Find(record->id) != tasks.end()) {
        LeaveCriticalSection(&lock);
        return false;
    }
    record->running = false;
    record->removeAfterRun = false;
    record->counted = false;
    if (stopping)
        record->cancelled = true;
    tasks.push_back(record);
    ++count;
    ++pending;
    LeaveCriticalSection(&lock);
    SetEvent(wakeEvent);
    return true;
}

bool CTaskClass::SetRepeat(int id, bool repeat)
{
    EnterCriticalSection(&lock);
    const auto it = Find(id);
    const bool found = it != tasks.end();
    if (found)
        (*it)->repeat = repeat;
    LeaveCriticalSection(&lock);
    SetEvent(wakeEvent);
    return found;
}

bool CTaskClass::TaskDone(int id)
{
    EnterCriticalSection(&lock);
    const auto it = Find(id);
    if (it == tasks.end()) {
        LeaveCriticalSection(&lock);
        return false;
    }
    TimedTask *record = *it;
    bool removed = false;
    if (record->removeAfterRun) {
        tasks.erase(it);
        if (!record->counted)
            --pending;
        delete record;
        --count;
        removed = true;
    } else if (record->repeat || record->running) {
        // A run whose repeat was turned off after its end was decided comes
        // back once more instead of staying marked running for ever.
        record->dueTime = ClockAdd(SystemTime::ClockSeconds(), record->interval);
        if (record->counted) {
            ++pending;
            record->counted = false;
        }
        record->running = false;
    }
    LeaveCriticalSection(&lock);
    SetEvent(wakeEvent);
    return removed;
}

int CTaskClass::GetCount() const
{
    EnterCriticalSection(&lock);
    const int n = count;
    LeaveCriticalSection(&lock);
    return n;
}

int CTaskClass::GetPending() const
{
    EnterCriticalSection(&lock);
    const int n = pending;
    LeaveCriticalSection(&lock);
    return n;
}

bool CTaskClass::HasTask(int id) const
{
    EnterCriticalSection(&lock);
    const bool found = Find(id) != tasks.end();
    LeaveCriticalSection(&lock);
    return found;
}

void CTaskClass::StartRun(TimedTask *record, int now)
{
    record->running = true;
    record->counted = true;
    record->owner = this;
    record->runStart = now;
    --pending;
    HANDLE thread = nullptr;
    if (StartOwnThread(RunThreadMain, record, &thread)) {
        record->thread = thread;
        return;
    }
    record->running = false;
    record->counted = false;
    ++pending;
    waitTime = std::min(waitTime, kRetryStartMs);
}

DWORD CTaskClass::LoopThreadMain(LPVOID scheduler)
{
    auto *self = static_cast<CTaskClass *>(scheduler);
    SchedulerLoop(self);
    self->OwnThreadEnded();
    return 0;
}

DWORD CTaskClass::SchedulerLoop(LPVOID scheduler)
{
    auto *self = static_cast<CTaskClass *>(scheduler);
    if (!self || self->loopRunning.exchange(true))
        return 0;
    while (!self->stopping) {
        const SystemTime::ClockReading clock = SystemTime::ReadClock();
        const int now = clock.seconds;
        // One record at a time under the lock, so adds and run ends are never held up long.
        for (std::size_t i = 0;; ++i) {
            if (self->stopping) {
                self->loopRunning = false;
                return 0;
            }
            EnterCriticalSection(&self->lock);
            if (i >= self->tasks.size()) {
                LeaveCriticalSection(&self->lock);
                break;
            }
            TimedTask *record = self->tasks[i];
            const int diff = ClockDiff(record->dueTime, now);
            if (!record->running && diff <= 0)
                self->StartRun(record, now);
            if (diff > 0) {
                // Due when the clock turns to dueTime, not a whole number of
                // seconds after this reading, which may be late in its second.
                const long long ms = std::min<long long>(diff * 1000LL - clock.millisecond, INFINITE - 1);
                if (ms < static_cast<long long>(self->waitTime))
                    self->waitTime = static_cast<DWORD>(ms);
            }
            LeaveCriticalSection(&self->lock);
        }
        EnterCriticalSection(&self->lock);
        if (self->pending <= 0 || self->count <= 0)
            self->waitTime = INFINITE;
        LeaveCriticalSection(&self->lock);
        if (self->waitTime == 0)
            self->waitTime = INFINITE;
        WaitForSingleObject(self->wakeEvent, self->waitTime);
        self->m_wakeCount.fetch_add(1, std::memory_order_relaxed);
        self->waitTime = INFINITE;
    }
    self->loopRunning = false;
    return 0;
}

DWORD CTaskClass::RunThreadMain(LPVOID record)
{
    // The loop set owner before this thread started; the record may be freed by
    // the end of the run, the owner may not until OwnThreadEnded.
    CTaskClass *owner = static_cast<TimedTask *>(record)->owner;
    RunTask(record);
    owner->OwnThreadEnded();
    return 0;
}

DWORD CTaskClass::RunTask(LPVOID param)
{
    auto *record = static_cast<TimedTask *>(param);
    if (!record)
        return 0;
    CTaskClass *owner = record->owner;
    bool cancelled = false;
    if (owner) {
        EnterCriticalSection(&owner->lock);
        cancelled = record->cancelled;
        LeaveCriticalSection(&owner->lock);
    } else {
        cancelled = record->cancelled;
    }
    if (cancelled || !record->window)
        return 0;
    if (record->callback) {
        // A callback that throws ends its run like one that returned: the record
        // must not stay marked running for ever.
        try {
            record->callback(record->text, record);
        } catch (...) {
        }
    }
    if (record->window && IsWindow(record->window) && record->message != 0) {
        SendMessageW(
            record->window, record->message, reinterpret_cast<WPARAM>(record->text), reinterpret_cast<LPARAM>(record));
    }
    if (!owner)
        return 0;
    const int id = record->id;
    EnterCriticalSection(&owner->lock);
    record->removeAfterRun = !record->repeat;
    LeaveCriticalSection(&owner->lock);
    owner->TaskDone(id);
    return 0;
}

} // namespace KorrinControlsEx
