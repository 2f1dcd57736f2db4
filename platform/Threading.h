#pragma once
// Threads, events, critical sections and waits with Win32 semantics.
// A HANDLE names a thread or an event until CloseHandle; the object itself
// lives on while a thread still runs or another wait still needs it.

#include "platform/Win32Types.h"

#include <mutex>

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);

struct SECURITY_ATTRIBUTES;

// Recursive, like the Win32 critical section.
struct CRITICAL_SECTION {
    std::recursive_mutex mutex;
};

void InitializeCriticalSection(CRITICAL_SECTION *cs);
void DeleteCriticalSection(CRITICAL_SECTION *cs);
void EnterCriticalSection(CRITICAL_SECTION *cs);
BOOL TryEnterCriticalSection(CRITICAL_SECTION *cs);
void LeaveCriticalSection(CRITICAL_SECTION *cs);

// Starts the thread at once unless flags are non-zero (suspended start is not
// supported: flags other than 0 fail with a null handle).
HANDLE CreateThread(SECURITY_ATTRIBUTES *attributes, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
    LPVOID parameter, DWORD flags, LPDWORD threadId);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
DWORD GetCurrentThreadId();
DWORD GetThreadId(HANDLE thread);

// Events: manual or auto-reset; the name is ignored (no sharing between processes).
HANDLE CreateEventW(SECURITY_ATTRIBUTES *attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Thread handle: signalled once the thread has ended. Event: signalled while set
// (an auto-reset event is reset by the wait it releases).
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
BOOL CloseHandle(HANDLE object);

void Sleep(DWORD milliseconds);

// The calling thread's last error (thread-local, as on Windows).
DWORD GetLastError();
void SetLastError(DWORD error);
