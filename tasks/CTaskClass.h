#pragma once
// A timed-task scheduler: a table of TimedTask records, one loop thread that
// sleeps until the nearest due time or a change of the table, and a fresh thread
// for every run of a due record. A run calls the record's callback, then sends
// the record's message to its window (WPARAM = text, LPARAM = the record).
// A repeating record is due again interval seconds after its run ended; the same
// record never runs twice at once, different records run side by side.

#include "platform/Threading.h"
#include "tasks/TimedTask.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace KorrinControlsEx {

class CTaskClass {
public:
    // Starts the loop thread with an empty table.
    CTaskClass();
    // Shutdown, then frees the records still in the table.
    virtual ~CTaskClass();
    CTaskClass(const CTaskClass &) = delete;
    CTaskClass &operator=(const CTaskClass &) = delete;

    // Refuses a null record and one whose id is already in the table (the caller
    // keeps a refused record); otherwise the scheduler owns it.
    bool AddTask(TimedTask *record);
    // False when no record has that id. Turning repeat off lets a record run
    // once more when it falls due; it is then removed and freed.
    bool SetRepeat(int id, bool repeat);
    // End of a run; true when the record was removed (and freed).
    bool TaskDone(int id);

    // Ends the loop, cancels every record and returns once no thread of this
    // scheduler can touch it or its records any more. Safe to call twice. A
    // derived class whose callbacks use its own members calls this before they go.
    // Must not be called from a run thread of this scheduler. A run blocked in a
    // send to a window owned by the calling thread keeps it waiting unless that
    // window is destroyed, or its destruction has started, first.
    void Shutdown();

    int GetCount() const;
    int GetPending() const;
    bool HasTask(int id) const;
    // How often the loop thread has woken from its wait.
    std::uint64_t GetWakeCount() const { return m_wakeCount.load(std::memory_order_relaxed); }

    // Thread routines: the loop takes the scheduler, a run takes the record.
    // A second loop on the same scheduler returns at once.
    static DWORD SchedulerLoop(LPVOID scheduler);
    static DWORD RunTask(LPVOID record);

private:
    static DWORD LoopThreadMain(LPVOID scheduler);
    static DWORD RunThreadMain(LPVOID record);

    // Starts a thread counted among this scheduler's own; false if none started.
    bool StartOwnThread(LPTHREAD_START_ROUTINE routine, LPVOID parameter, HANDLE *handle);
    // The last thing one of this scheduler's threads does with it.
    void OwnThreadEnded();
    // Caller holds lock.
    void StartRun(TimedTask *record, int now);
    std::vector<TimedTask *>::const_iterator Find(int id) const;

    mutable CRITICAL_SECTION lock;
    std::vector<TimedTask *> tasks; // in order of addition
    int count = 0;
    int pending = 0; // records not running
    HANDLE wakeEvent = nullptr; // auto-reset; set after every change of the table
    DWORD waitTime = INFINITE; // loop thread only
    std::atomic<bool> stopping {false};
    std::atomic<bool> loopRunning {false};
    std::atomic<std::uint64_t> m_wakeCount {0};

    std::mutex m_threadsLock;
    std::condition_variable m_threadsEnded;
    int m_threadsAlive = 0;
};

} // namespace KorrinControlsEx
