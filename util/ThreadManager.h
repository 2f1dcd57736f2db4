#pragma once
// Starts one thread at once and registers its handle with ThreadTask. Used as a
// short-lived local: read threadHandle right after construction and let the
// object go; the thread keeps running and the registry keeps the handle.

#include "platform/Threading.h"

namespace KorrinControlsEx {

class ThreadManager {
public:
    // A thread that cannot be created leaves (and registers) a null handle.
    ThreadManager(LPTHREAD_START_ROUTINE routine, LPVOID parameter);
    // Leaves the thread and its handle alone.
    virtual ~ThreadManager();
    ThreadManager(const ThreadManager &) = delete;
    ThreadManager &operator=(const ThreadManager &) = delete;

    // Cleans up the process-wide registry (ThreadTask::StopAll).
    static void StopAll();

    HANDLE threadHandle = nullptr;
};

} // namespace KorrinControlsEx
