#include "util/ThreadManager.h"

#include "util/ThreadTask.h"

namespace KorrinControlsEx {

ThreadManager::ThreadManager(LPTHREAD_START_ROUTINE routine, LPVOID parameter)
{
    threadHandle = CreateThread(nullptr, 0, routine, parameter, 0, nullptr);
    ThreadTask::Instance().AddHandle(threadHandle);
}

ThreadManager::~ThreadManager() = default;

void ThreadManager::StopAll() { ThreadTask::Instance().StopAll(); }

} // namespace KorrinControlsEx
