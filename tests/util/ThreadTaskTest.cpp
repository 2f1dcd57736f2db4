#include "util/ThreadTask.h"
#include "platform/Threading.h"
#include "util/ThreadManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace KorrinControlsEx;

namespace {

DWORD ReturnAtOnce(LPVOID) { return 0; }

DWORD WaitForGate(LPVOID gate)
{
    WaitForSingleObject(static_cast<HANDLE>(gate), INFINITE);
    return 3;
}

// Ends with the code that means "still running" to a reader of exit codes.
DWORD ReturnStillActiveCode(LPVOID) { return STILL_ACTIVE; }

void WaitEnded(HANDLE thread) { ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0); }

} // namespace

// The registry is process-wide: every test starts and ends with it holding no
// ended thread, so counts below are exact.
class ThreadTaskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ThreadTask::Instance().StopAll();
        ASSERT_EQ(ThreadTask::Instance().GetCount(), 0u);
    }
};

TEST_F(ThreadTaskTest, StopAllWithNothingRegisteredDoesNothing)
{
    ThreadTask::Instance().StopAll();
    ThreadManager::StopAll();
    EXPECT_EQ(ThreadTask::Instance().GetCount(), 0u);
    EXPECT_EQ(&ThreadTask::Instance(), &ThreadTask::Instance());
}

TEST_F(ThreadTaskTest, StopAllForgetsEndedThreadsAndKeepsRunningOnes)
{
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE ended = ThreadManager(ReturnAtOnce, nullptr).threadHandle;
    HANDLE endedWith259 = ThreadManager(ReturnStillActiveCode, nullptr).threadHandle;
    HANDLE running = ThreadManager(WaitForGate, gate).threadHandle;
    ASSERT_NE(ended, nullptr);
    ASSERT_NE(endedWith259, nullptr);
    ASSERT_NE(running, nullptr);
    WaitEnded(ended);
    WaitEnded(endedWith259);
    EXPECT_EQ(ThreadTask::Instance().GetCount(), 3u);

    ThreadTask::Instance().StopAll();
    EXPECT_EQ(ThreadTask::Instance().GetCount(), 1u);
    EXPECT_FALSE(ThreadTask::Instance().IsRegistered(ended));
    EXPECT_FALSE(ThreadTask::Instance().IsRegistered(endedWith259));
    EXPECT_TRUE(ThreadTask::Instance().IsRegistered(running));
    // The running thread was neither killed nor waited for; its handle still works.
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(running, &code));
    EXPECT_EQ(code, STILL_ACTIVE);

    ThreadTask::Instance().StopAll();
    EXPECT_EQ(ThreadTask::Instance().GetCount(), 1u);

    SetEvent(gate);
    WaitEnded(running);
    ASSERT_TRUE(GetExitCodeThread(running, &code));
    EXPECT_EQ(code, 3u);
    ThreadTask::Instance().StopAll();
    EXPECT_EQ(ThreadTask::Instance().GetCount(), 0u);
    CloseHandle(gate);
}

TEST_F(ThreadTaskTest, DestroyingTheManagerLeavesItsThreadRunning)
{
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;
    {
        ThreadManager manager(WaitForGate, gate);
        thread = manager.threadHandle;
    }
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 100), WAIT_TIMEOUT);
    EXPECT_TRUE(ThreadTask::Instance().IsRegistered(thread));
    SetEvent(gate);
    WaitEnded(thread);
    ThreadTask::Instance().StopAll();
    EXPECT_FALSE(ThreadTask::Instance().IsRegistered(thread));
    CloseHandle(gate);
}

TEST_F(ThreadTaskTest, AThreadThatCannotStartRegistersANullHandleThatCleanupRemoves)
{
    ThreadManager manager(nullptr, nullptr);
    EXPECT_EQ(manager.threadHandle, nullptr);
    EXPECT_TRUE(ThreadTask::Instance().IsRegistered(nullptr));
    ThreadTask::Instance().StopAll();
    EXPECT_FALSE(ThreadTask::Instance().IsRegistered(nullptr));
}

TEST_F(ThreadTaskTest, RegistrationsDuringCleanupAreNeitherLostNorCorrupted)
{
    constexpr int kWorkers = 4;
    constexpr int kThreadsEach = 150;
    std::atomic<int> workersDone {0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&] {
            for (int i = 0; i < kThreadsEach; ++i)
                ThreadManager manager(ReturnAtOnce, nullptr);
            workersDone.fetch_add(1);
        });
    }
    while (workersDone.load() < kWorkers)
        ThreadTask::Instance().StopAll();
    for (std::thread &t : workers)
        t.join();
    // Every thread started ends at once; cleanup must eventually forget them all.
    for (int tries = 0; tries < 500 && ThreadTask::Instance().GetCount() > 0; ++tries) {
        ThreadTask::Instance().StopAll();
        Sleep(10);
    }
    EXPECT_EQ(ThreadTask::Instance().GetCount(), 0u);
}

TEST_F(ThreadTaskTest, ManyShortThreadsDoNotGrowTheRegistryWithoutBound)
{
    // One entry per run would grow for as long as a scheduler runs.
    for (int i = 0; i < 2000; ++i) {
        HANDLE thread = ThreadManager(ReturnAtOnce, nullptr).threadHandle;
        ASSERT_NE(thread, nullptr);
        WaitEnded(thread);
    }
    EXPECT_LT(ThreadTask::Instance().GetCount(), 600u);
    ThreadTask::Instance().StopAll();
    EXPECT_EQ(ThreadTask::Instance().GetCount(), 0u);
}
