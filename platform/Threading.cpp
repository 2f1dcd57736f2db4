#include "platform/Threading.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <thread>

namespace {

thread_local DWORD t_lastError = 0;
thread_local DWORD t_threadId = 0;
std::atomic<DWORD> g_nextThreadId {1};

DWORD AssignThreadId()
{
    if (t_threadId == 0)
        t_threadId = g_nextThreadId.fetch_add(1);
    return t_threadId;
}

// What a HANDLE names; shared so that a running thread outlives its handle.
struct KernelObject {
    enum class Kind { Thread, Event } kind;
    std::mutex mutex;
    std::condition_variable changed;
    // Thread
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    DWORD threadId = 0;
    // Event
    bool manualReset = false;
    bool signalled = false;

    explicit KernelObject(Kind k) : kind(k) { }

    bool IsSignalled() const { return kind == Kind::Thread ? ended : signalled; }
    void Consume()
    {
        if (kind == Kind::Event && !manualReset)
            signalled = false;
    }
};

struct HandleBox {
    static constexpr std::uint32_t kMagic = 0x48444c45; // "HDLE"
    std::uint32_t magic = kMagic;
    std::shared_ptr<KernelObject> object;
};

KernelObject *ObjectOf(HANDLE h)
{
    auto *box = static_cast<HandleBox *>(h);
    if (!box || box->magic != HandleBox::kMagic)
        return nullptr;
    return box->object.get();
}

HANDLE MakeHandle(std::shared_ptr<KernelObject> object)
{
    auto *box = new HandleBox;
    box->object = std::move(object);
    return box;
}

} // namespace

void InitializeCriticalSection(CRITICAL_SECTION *) { }
void DeleteCriticalSection(CRITICAL_SECTION *) { }
void EnterCriticalSection(CRITICAL_SECTION *cs) { cs->mutex.lock(); }
BOOL TryEnterCriticalSection(CRITICAL_SECTION *cs) { return cs->mutex.try_lock() ? TRUE : FALSE; }
void LeaveCriticalSection(CRITICAL_SECTION *cs) { cs->mutex.unlock(); }

HANDLE CreateThread(
    SECURITY_ATTRIBUTES *, std::size_t, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags, LPDWORD threadId)
{
    if (!start || flags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto object = std::make_shared<KernelObject>(KernelObject::Kind::Thread);
    const DWORD id = g_nextThreadId.fetch_add(1);
    object->threadId = id;
    try {
        std::thread([object, start, parameter, id]() {
            t_threadId = id;
            const DWORD code = start(parameter);
            {
                std::lock_guard<std::mutex> lock(object->mutex);
                object->exitCode = code;
                object->ended = true;
            }
            object->changed.notify_all();
        }).detach();
    } catch (const std::system_error &) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (threadId)
        *threadId = id;
    return MakeHandle(std::move(object));
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode)
{
    KernelObject *o = ObjectOf(thread);
    if (!o || o->kind != KernelObject::Kind::Thread || !exitCode) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(o->mutex);
    *exitCode = o->exitCode;
    return TRUE;
}

DWORD GetCurrentThreadId() { return AssignThreadId(); }

DWORD GetThreadId(HANDLE thread)
{
    KernelObject *o = ObjectOf(thread);
    if (!o || o->kind != KernelObject::Kind::Thread)
        return 0;
    return o->threadId;
}

HANDLE CreateEventW(SECURITY_ATTRIBUTES *, BOOL manualReset, BOOL initialState, LPCWSTR)
{
    auto object = std::make_shared<KernelObject>(KernelObject::Kind::Event);
    object->manualReset = manualReset != FALSE;
    object->signalled = initialState != FALSE;
    return MakeHandle(std::move(object));
}

BOOL SetEvent(HANDLE event)
{
    KernelObject *o = ObjectOf(event);
    if (!o || o->kind != KernelObject::Kind::Event)
        return FALSE;
    {
        std::lock_guard<std::mutex> lock(o->mutex);
        o->signalled = true;
    }
    o->changed.notify_all();
    return TRUE;
}

BOOL ResetEvent(HANDLE event)
{
    KernelObject *o = ObjectOf(event);
    if (!o || o->kind != KernelObject::Kind::Event)
        return FALSE;
    std::lock_guard<std::mutex> lock(o->mutex);
    o->signalled = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds)
{
    auto *box = static_cast<HandleBox *>(object);
    if (!box || box->magic != HandleBox::kMagic) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    // Keep the object alive for the wait even if the handle is closed meanwhile.
    std::shared_ptr<KernelObject> o = box->object;
    std::unique_lock<std::mutex> lock(o->mutex);
    const auto ready = [&] { return o->IsSignalled(); };
    if (milliseconds == INFINITE) {
        o->changed.wait(lock, ready);
    } else if (!o->changed.wait_for(lock, std::chrono::milliseconds(milliseconds), ready)) {
        return WAIT_TIMEOUT;
    }
    o->Consume();
    return WAIT_OBJECT_0;
}

BOOL CloseHandle(HANDLE object)
{
    auto *box = static_cast<HandleBox *>(object);
    if (!box || box->magic != HandleBox::kMagic) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    box->magic = 0;
    delete box;
    return TRUE;
}

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD error) { t_lastError = error; }
