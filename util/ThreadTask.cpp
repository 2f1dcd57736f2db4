#include "util/ThreadTask.h"

#include "platform/Threading.h"
#include "util/CHandleW.h"

#include <algorithm>

namespace KorrinControlsEx {

ThreadTask &ThreadTask::Instance()
{
    // Reachable from a static for the life of the process, so leak checkers
    // do not count what it holds at exit.
    static ThreadTask *const instance = new ThreadTask;
    return *instance;
}

ThreadTask::~ThreadTask()
{
    for (CHandleW *entry : handles) {
        if (entry->handle)
            CloseHandle(entry->handle);
        delete entry;
    }
}

void ThreadTask::AddHandle(HANDLE handle)
{
    auto *entry = new CHandleW;
    entry->handle = handle;
    std::lock_guard<std::mutex> guard(m_lock);
    // The new entry is spared: its ThreadManager's owner has yet to read the handle.
    if (handles.size() + 1 >= m_pruneAt) {
        RemoveEnded();
        m_pruneAt = std::max(kMinPruneAt, (handles.size() + 1) * 2);
    }
    handles.push_back(entry);
}

void ThreadTask::StopAll()
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (handles.empty())
        return;
    RemoveEnded();
}

std::size_t ThreadTask::RemoveEnded()
{
    std::size_t removed = 0;
    for (auto it = handles.begin(); it != handles.end();) {
        const auto next = std::next(it);
        CHandleW *entry = *it;
        // A null handle (a thread that could not be created) has nothing to wait for.
        // The wait, not the exit code, decides: a thread may itself return 259.
        const bool ended = !entry->handle || WaitForSingleObject(entry->handle, 0) == WAIT_OBJECT_0;
        if (ended) {
            handles.erase(it);
            if (entry->handle)
                CloseHandle(entry->handle);
            delete entry;
            ++removed;
        }
        it = next;
    }
    return removed;
}

std::size_t ThreadTask::GetCount() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return handles.size();
}

bool ThreadTask::IsRegistered(HANDLE handle) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return std::any_of(handles.begin(), handles.end(), [handle](const CHandleW *e) { return e->handle == handle; });
}

} // namespace KorrinControlsEx
