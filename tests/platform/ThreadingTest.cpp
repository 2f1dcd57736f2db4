#include "platform/Threading.h"
#include "platform/SystemTime.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

DWORD ReturnParameter(LPVOID p) { return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(p)); }

DWORD WaitOnEventThenReturn(LPVOID p)
{
    WaitForSingleObject(static_cast<HANDLE>(p), INFINITE);
    return 7;
}

// A thread whose handle is gone can still tell the test it has left the gate.
struct Gate {
    HANDLE event = nullptr;
    std::atomic<bool> passed {false};
};

DWORD PassGate(LPVOID p)
{
    auto *gate = static_cast<Gate *>(p);
    WaitForSingleObject(gate->event, INFINITE);
    gate->passed = true;
    return 7;
}

} // namespace

TEST(Threading, ThreadExitCodeIsStillActiveUntilItEnds)
{
    HANDLE gate = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE t = CreateThread(nullptr, 0, WaitOnEventThenReturn, gate, 0, &id);
    ASSERT_NE(t, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(t, 50), WAIT_TIMEOUT);
    SetEvent(gate);
    EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, 7u);
    // A finished thread stays signalled for every later wait.
    EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(t));
    EXPECT_TRUE(CloseHandle(gate));
}

TEST(Threading, AutoResetEventReleasesOneWaitPerSet)
{
    HANDLE e = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    SetEvent(e);
    SetEvent(e);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    HANDLE m = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetEvent(m);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    ResetEvent(m);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_TIMEOUT);
    CloseHandle(e);
    CloseHandle(m);
}

TEST(Threading, HandleCanBeClosedWhileThreadRuns)
{
    Gate gate;
    gate.event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE t = CreateThread(nullptr, 0, PassGate, &gate, 0, nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(CloseHandle(t));
    SetEvent(gate.event);
    HANDLE t2 = CreateThread(nullptr, 0, ReturnParameter, reinterpret_cast<LPVOID>(std::uintptr_t {3}), 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(t2, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(t2, &code);
    EXPECT_EQ(code, 3u);
    CloseHandle(t2);
    // The gate may go only once the first thread no longer uses it.
    for (int i = 0; i < 5000 && !gate.passed.load(); ++i)
        Sleep(1);
    EXPECT_TRUE(gate.passed.load());
    CloseHandle(gate.event);
}

TEST(Threading, InvalidHandlesFailCleanly)
{
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(nullptr, &code));
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
}

TEST(SystemTime, ClockIsCalendarPlusEightHoursAndOverridable)
{
    const long long expected = static_cast<long long>(std::time(nullptr)) + 28800;
    EXPECT_NEAR(static_cast<double>(static_cast<std::uint32_t>(SystemTime::ClockSeconds())),
        static_cast<double>(static_cast<std::uint32_t>(expected)), 2.0);
    SystemTime::SetClockSource([] { return 1234; });
    EXPECT_EQ(SystemTime::ClockSeconds(), 1234);
    SystemTime::SetClockSource({});
    const DWORD a = GetTickCount();
    Sleep(30);
    const DWORD b = GetTickCount();
    EXPECT_GE(b - a, 25u);
}
