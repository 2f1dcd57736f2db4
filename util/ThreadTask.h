#pragma once
// The process-wide record of every thread a ThreadManager started, in start order.
// StopAll forgets the threads that have ended (closing their handles) and leaves
// running ones registered: no thread is ever killed, and cleaning up for one tab
// must not disturb another tab's threads. A registered handle may be closed by the
// registry as soon as its thread has ended, so nobody else may wait on it.

#include "platform/Win32Types.h"

#include <cstddef>
#include <list>
#include <mutex>

namespace KorrinControlsEx {

class CHandleW;

class ThreadTask {
public:
    // Never destroyed: a worker still running at process exit may register a
    // thread after static destruction has begun.
    static ThreadTask &Instance();

    virtual ~ThreadTask();
    ThreadTask(const ThreadTask &) = delete;
    ThreadTask &operator=(const ThreadTask &) = delete;

    void AddHandle(HANDLE handle);
    // Removes every ended thread: closes its handle and frees its entry.
    void StopAll();

    std::size_t GetCount() const;
    bool IsRegistered(HANDLE handle) const;

protected:
    ThreadTask() = default;

private:
    // Caller holds m_lock. Returns how many entries were removed.
    std::size_t RemoveEnded();

    mutable std::mutex m_lock;
    std::list<CHandleW *> handles;
    // AddHandle also forgets ended threads once the list reaches this size, so
    // a scheduler that runs for days does not keep one entry per run forever.
    std::size_t m_pruneAt = kMinPruneAt;
    static constexpr std::size_t kMinPruneAt = 256;
};

} // namespace KorrinControlsEx
