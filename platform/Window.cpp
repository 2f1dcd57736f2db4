#include "platform/Window.h"

#include "platform/MessageQueue.h"
#include "platform/Threading.h"
#include "platform/WideString.h"
#include "platform/WindowBackend.h"

#include <algorithm>
#include <shared_mutex>
#include <unistd.h>
#include <unordered_map>

void ReleaseWindowsOwnedBy(MessageQueue &queue);

namespace {

struct Registry {
    std::shared_mutex mutex;
    std::unordered_map<HWND, std::shared_ptr<WindowEntry>> windows;
    std::vector<HWND> topLevel;
    // Handles are never reused, so a stale one can never reach a newer window.
    std::uintptr_t nextHandle = 0x10000;
};

Registry &Windows()
{
    // Never destroyed: threads ending during exit still release their windows.
    static auto *registry = new Registry;
    return *registry;
}

struct HotKey {
    HWND window;
    int id;
    UINT modifiers;
    UINT virtualKey;
};

struct HotKeys {
    std::mutex mutex;
    std::vector<HotKey> keys;
    WindowBackend::HotKeyGrabber grabber;
};

HotKeys &HotKeyTable()
{
    static auto *table = new HotKeys;
    return *table;
}

struct Hooks {
    std::mutex mutex;
    std::function<bool(POINT *)> cursorSeam;
    std::function<bool(POINT *)> cursorBackend;
    std::vector<std::pair<int, std::shared_ptr<std::function<void(HWND)>>>> destroyListeners;
    int nextListener = 1;
};

Hooks &BackendHooks()
{
    static auto *hooks = new Hooks;
    return *hooks;
}

std::shared_ptr<WindowEntry> Find(HWND window)
{
    if (!window)
        return nullptr;
    auto &r = Windows();
    std::shared_lock lock(r.mutex);
    auto it = r.windows.find(window);
    return it == r.windows.end() ? nullptr : it->second;
}

std::shared_ptr<WindowEntry> FindOrFail(HWND window)
{
    auto entry = Find(window);
    if (!entry)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return entry;
}

bool OnOwnerThread(const WindowEntry &entry) { return entry.owner.get() == MessageQueue::CurrentRaw(); }

LRESULT CallOnOwner(const std::shared_ptr<WindowEntry> &entry, const std::function<LRESULT()> &call)
{
    if (OnOwnerThread(*entry))
        return MessageQueue::Dispatch(*entry, 0, 0, 0, &call);
    return entry->owner->Send(entry, 0, 0, 0, &call);
}

bool SameText(const wstring16 &a, LPCWSTR b)
{
    return WideString::ToLower(a) == WideString::ToLower(std::u16string_view(b, WideString::Length(b)));
}

void DropHotKeysOf(HWND window)
{
    auto &table = HotKeyTable();
    std::lock_guard lock(table.mutex);
    for (auto it = table.keys.begin(); it != table.keys.end();) {
        if (it->window == window) {
            if (table.grabber.ungrab)
                table.grabber.ungrab(it->modifiers, it->virtualKey);
            it = table.keys.erase(it);
        } else {
            ++it;
        }
    }
}

void NotifyDestroyed(HWND window)
{
    std::vector<std::shared_ptr<std::function<void(HWND)>>> listeners;
    {
        auto &hooks = BackendHooks();
        std::lock_guard lock(hooks.mutex);
        for (auto &[key, listener] : hooks.destroyListeners)
            listeners.push_back(listener);
    }
    for (auto &listener : listeners)
        (*listener)(window);
}

// Takes the entries out of the registry and their parents' child lists.
void Unregister(const std::vector<std::shared_ptr<WindowEntry>> &entries)
{
    auto &r = Windows();
    std::unique_lock lock(r.mutex);
    for (const auto &e : entries) {
        r.windows.erase(e->handle);
        std::vector<HWND> *siblings = &r.topLevel;
        if (e->parent) {
            auto parent = r.windows.find(e->parent);
            siblings = parent == r.windows.end() ? nullptr : &parent->second->children;
        }
        if (siblings)
            std::erase(*siblings, e->handle);
    }
}

bool ClientOrigin(HWND window, POINT *origin)
{
    auto entry = FindOrFail(window);
    if (!entry)
        return false;
    *origin = POINT {};
    for (auto e = entry; e; e = Find(e->parent)) {
        auto surface = e->Surface();
        if (!surface)
            continue;
        bool ran = false;
        POINT p;
        CallOnOwner(e, [&]() -> LRESULT {
            p = surface->ClientOrigin();
            ran = true;
            return 0;
        });
        if (!ran)
            return false; // the window went away meanwhile
        *origin = p;
        return true;
    }
    return true;
}

} // namespace

void ReleaseWindowsOwnedBy(MessageQueue &queue)
{
    std::vector<std::shared_ptr<WindowEntry>> owned;
    {
        auto &r = Windows();
        std::shared_lock lock(r.mutex);
        for (auto &[handle, entry] : r.windows)
            if (entry->owner.get() == &queue)
                owned.push_back(entry);
    }
    for (auto &e : owned)
        queue.Release(*e);
    for (auto &e : owned)
        DropHotKeysOf(e->handle);
    Unregister(owned);
    for (auto &e : owned) {
        std::lock_guard lock(e->mutex);
        e->surface.reset();
    }
}

HWND CreateWindowEntry(LPCWSTR className, HWND parent, WindowHandler handler, LPCWSTR windowName)
{
    auto entry = std::make_shared<WindowEntry>();
    entry->className.assign(className ? className : u"", WideString::Length(className));
    entry->windowName.assign(windowName ? windowName : u"", WideString::Length(windowName));
    entry->parent = parent;
    entry->owner = MessageQueue::Current();
    if (handler)
        entry->handler = std::make_shared<const WindowHandler>(std::move(handler));

    auto &r = Windows();
    std::unique_lock lock(r.mutex);
    std::vector<HWND> *siblings = &r.topLevel;
    if (parent) {
        auto it = r.windows.find(parent);
        if (it == r.windows.end() || it->second->destroying.load()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        siblings = &it->second->children;
    }
    r.nextHandle += 4;
    entry->handle = reinterpret_cast<HWND>(r.nextHandle);
    r.windows.emplace(entry->handle, entry);
    siblings->push_back(entry->handle);
    return entry->handle;
}

void SetWindowHandler(HWND window, WindowHandler handler)
{
    auto entry = Find(window);
    if (!entry)
        return;
    auto h = handler ? std::make_shared<const WindowHandler>(std::move(handler)) : nullptr;
    std::lock_guard lock(entry->mutex);
    entry->handler = std::move(h);
}

BOOL DestroyWindow(HWND window)
{
    auto entry = FindOrFail(window);
    if (!entry)
        return FALSE;
    if (!OnOwnerThread(*entry)) {
        // As on Windows: only the owner thread may destroy a window.
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (entry->destroying.load())
        return TRUE; // already under way (a WM_DESTROY handler destroying itself again)

    // The window and its descendants, parents first.
    std::vector<std::shared_ptr<WindowEntry>> subtree {entry};
    {
        auto &r = Windows();
        std::shared_lock lock(r.mutex);
        for (std::size_t i = 0; i < subtree.size(); ++i)
            for (HWND child : subtree[i]->children) {
                auto it = r.windows.find(child);
                if (it != r.windows.end() && !it->second->destroying.load())
                    subtree.push_back(it->second);
            }
    }
    // From here every send to any of them answers 0 and their posts are gone.
    for (auto &e : subtree)
        e->owner->Release(*e);
    for (auto &e : subtree) {
        DropHotKeysOf(e->handle);
        NotifyDestroyed(e->handle);
    }
    for (auto &e : subtree) {
        if (!OnOwnerThread(*e))
            continue;
        if (auto handler = e->Handler(); handler && *handler)
            (*handler)(e->handle, WM_DESTROY, 0, 0);
    }
    Unregister(subtree);
    for (auto &e : subtree) {
        std::lock_guard lock(e->mutex);
        e->surface.reset();
    }
    return TRUE;
}

BOOL IsWindow(HWND window) { return Find(window) ? TRUE : FALSE; }

BOOL IsWindowVisible(HWND window)
{
    auto &r = Windows();
    std::shared_lock lock(r.mutex);
    auto it = r.windows.find(window);
    if (it == r.windows.end())
        return FALSE;
    // Visible only when every ancestor is visible too.
    while (it != r.windows.end()) {
        if (!it->second->visible.load())
            return FALSE;
        if (!it->second->parent)
            break;
        it = r.windows.find(it->second->parent);
    }
    return TRUE;
}

BOOL ShowWindow(HWND window, int command)
{
    auto entry = FindOrFail(window);
    if (!entry)
        return FALSE;
    const bool wasVisible = entry->visible.load();
    if (auto surface = entry->Surface()) {
        // The backend reports what the widget really did (a child of a hidden
        // widget stays unseen).
        CallOnOwner(entry, [&]() -> LRESULT {
            surface->Show(command);
            return 0;
        });
    } else {
        entry->visible.store(command != SW_HIDE);
    }
    return wasVisible ? TRUE : FALSE;
}

HWND GetParent(HWND window)
{
    auto entry = Find(window);
    return entry ? entry->parent : nullptr;
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId)
{
    auto entry = Find(window);
    if (!entry) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (processId)
        *processId = static_cast<DWORD>(getpid());
    return entry->owner->ThreadId();
}

BOOL SetWindowTextW(HWND window, LPCWSTR text)
{
    auto entry = FindOrFail(window);
    if (!entry)
        return FALSE;
    wstring16 value(text ? text : u"", WideString::Length(text));
    {
        auto &r = Windows();
        std::unique_lock lock(r.mutex);
        entry->windowName = value;
    }
    if (auto surface = entry->Surface()) {
        CallOnOwner(entry, [&]() -> LRESULT {
            surface->SetText(value);
            return 0;
        });
    }
    return TRUE;
}

HWND FindWindowExW(HWND parent, HWND childAfter, LPCWSTR className, LPCWSTR windowName)
{
    auto &r = Windows();
    std::shared_lock lock(r.mutex);
    const std::vector<HWND> *list = &r.topLevel;
    if (parent) {
        auto it = r.windows.find(parent);
        if (it == r.windows.end())
            return nullptr;
        list = &it->second->children;
    }
    auto pos = list->begin();
    if (childAfter) {
        pos = std::find(list->begin(), list->end(), childAfter);
        if (pos == list->end())
            return nullptr;
        ++pos;
    }
    for (; pos != list->end(); ++pos) {
        auto it = r.windows.find(*pos);
        if (it == r.windows.end() || it->second->destroying.load())
            continue;
        const WindowEntry &e = *it->second;
        if (className && !SameText(e.className, className))
            continue;
        if (windowName && !SameText(e.windowName, windowName))
            continue;
        return e.handle;
    }
    return nullptr;
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto entry = FindOrFail(window);
    if (!entry)
        return 0;
    if (OnOwnerThread(*entry))
        return MessageQueue::Dispatch(*entry, message, wParam, lParam, nullptr);
    return entry->owner->Send(entry, message, wParam, lParam, nullptr);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto entry = FindOrFail(window);
    if (!entry)
        return FALSE;
    return entry->owner->Post(entry, message, wParam, lParam) ? TRUE : FALSE;
}

LRESULT InvokeOnWindowThread(HWND window, const std::function<LRESULT()> &call)
{
    auto entry = FindOrFail(window);
    if (!entry || !call)
        return 0;
    return CallOnOwner(entry, call);
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    if (!window)
        return MessageQueue::Current()->SetTimer(nullptr, id, elapse, proc);
    auto entry = FindOrFail(window);
    if (!entry)
        return 0;
    return entry->owner->SetTimer(entry, id, elapse, proc);
}

BOOL KillTimer(HWND window, UINT_PTR id)
{
    if (!window) {
        auto queue = MessageQueue::CurrentIfAny();
        return queue && queue->KillTimer(nullptr, id) ? TRUE : FALSE;
    }
    auto entry = FindOrFail(window);
    if (!entry)
        return FALSE;
    return entry->owner->KillTimer(window, id) ? TRUE : FALSE;
}

BOOL RegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey)
{
    auto entry = FindOrFail(window);
    if (!entry || entry->destroying.load())
        return FALSE;
    modifiers &= MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN; // MOD_NOREPEAT is implied
    if (virtualKey == 0 || virtualKey > 0xFE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto &table = HotKeyTable();
    std::lock_guard lock(table.mutex);
    if (!table.grabber.grab) {
        SetLastError(ERROR_HOTKEY_ALREADY_REGISTERED);
        return FALSE;
    }
    auto same = std::find_if(
        table.keys.begin(), table.keys.end(), [&](const HotKey &k) { return k.window == window && k.id == id; });
    if (same != table.keys.end() && same->modifiers == modifiers && same->virtualKey == virtualKey)
        return TRUE;
    for (auto it = table.keys.begin(); it != table.keys.end(); ++it)
        if (it != same && it->modifiers == modifiers && it->virtualKey == virtualKey) {
            SetLastError(ERROR_HOTKEY_ALREADY_REGISTERED);
            return FALSE;
        }
    if (!table.grabber.grab(modifiers, virtualKey)) {
        SetLastError(ERROR_HOTKEY_ALREADY_REGISTERED);
        return FALSE;
    }
    // Registering an id again moves it to the new combination; the old one
    // would otherwise stay grabbed with no way to release it.
    if (same != table.keys.end()) {
        if (table.grabber.ungrab)
            table.grabber.ungrab(same->modifiers, same->virtualKey);
        table.keys.erase(same);
    }
    table.keys.push_back(HotKey {window, id, modifiers, virtualKey});
    return TRUE;
}

BOOL UnregisterHotKey(HWND window, int id)
{
    auto &table = HotKeyTable();
    std::lock_guard lock(table.mutex);
    auto it = std::find_if(
        table.keys.begin(), table.keys.end(), [&](const HotKey &k) { return k.window == window && k.id == id; });
    if (it == table.keys.end())
        return FALSE;
    if (table.grabber.ungrab)
        table.grabber.ungrab(it->modifiers, it->virtualKey);
    table.keys.erase(it);
    return TRUE;
}

BOOL GetCursorPos(POINT *point)
{
    if (!point)
        return FALSE;
    std::function<bool(POINT *)> source;
    {
        auto &hooks = BackendHooks();
        std::lock_guard lock(hooks.mutex);
        source = hooks.cursorSeam ? hooks.cursorSeam : hooks.cursorBackend;
    }
    if (!source) {
        *point = POINT {};
        return TRUE;
    }
    return source(point) ? TRUE : FALSE;
}

void SetCursorPosSource(std::function<bool(POINT *)> source)
{
    auto &hooks = BackendHooks();
    std::lock_guard lock(hooks.mutex);
    hooks.cursorSeam = std::move(source);
}

BOOL ScreenToClient(HWND window, POINT *point)
{
    POINT origin;
    if (!point || !ClientOrigin(window, &origin))
        return FALSE;
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

BOOL ClientToScreen(HWND window, POINT *point)
{
    POINT origin;
    if (!point || !ClientOrigin(window, &origin))
        return FALSE;
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

BOOL BindWindowSurface(HWND window, std::shared_ptr<WindowSurface> surface)
{
    auto entry = FindOrFail(window);
    if (!entry)
        return FALSE;
    std::lock_guard lock(entry->mutex);
    entry->surface = std::move(surface);
    return TRUE;
}

void SetWindowVisibleFlag(HWND window, bool visible)
{
    if (auto entry = Find(window))
        entry->visible.store(visible);
}

int PumpMessages() { return MessageQueue::Current()->Pump(); }

bool PumpMessagesUntil(const std::function<bool()> &done, DWORD milliseconds)
{
    using Clock = MessageQueue::Clock;
    const bool forever = milliseconds == INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : milliseconds);
    auto queue = MessageQueue::Current();
    for (;;) {
        if (done && done())
            return true;
        queue->Pump();
        if (done && done())
            return true;
        const auto now = Clock::now();
        if (!forever && now >= deadline)
            return false;
        // done() may turn true without any message: look again at least every 2 ms.
        auto until = now + std::chrono::milliseconds(2);
        if (!forever)
            until = std::min(until, deadline);
        if (const auto loop = queue->Loop()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
            loop(static_cast<DWORD>(std::max<long long>(left, 1)));
        } else {
            queue->WaitForWork(until);
        }
    }
}

namespace WindowBackend {

void SetThreadWaker(std::function<void()> waker) { MessageQueue::Current()->SetWaker(std::move(waker)); }

void SetThreadLoop(std::function<void(DWORD)> wait) { MessageQueue::Current()->SetLoop(std::move(wait)); }

DWORD MillisecondsToNextTimer()
{
    auto queue = MessageQueue::CurrentIfAny();
    return queue ? queue->MillisecondsToNextTimer() : INFINITE;
}

int PumpSentMessages() { return MessageQueue::Current()->PumpSends(); }

int PumpMessagesBefore(std::chrono::steady_clock::time_point until, bool &workLeft)
{
    auto queue = MessageQueue::Current();
    const int n = queue->Pump(until);
    workLeft = queue->HasWork();
    return n;
}

void ReleaseThreadWindows() { ReleaseWindowsOwnedBy(*MessageQueue::Current()); }

bool IsWindowAlive(HWND window)
{
    auto entry = Find(window);
    return entry && !entry->destroying.load();
}

void SetHotKeyGrabber(HotKeyGrabber grabber)
{
    auto &table = HotKeyTable();
    std::lock_guard lock(table.mutex);
    // Keys grabbed through the old backend cannot be kept.
    if (table.grabber.ungrab)
        for (const auto &k : table.keys)
            table.grabber.ungrab(k.modifiers, k.virtualKey);
    table.keys.clear();
    table.grabber = std::move(grabber);
}

bool DeliverHotKey(UINT modifiers, UINT virtualKey)
{
    HotKey found {};
    {
        auto &table = HotKeyTable();
        std::lock_guard lock(table.mutex);
        auto it = std::find_if(table.keys.begin(), table.keys.end(),
            [&](const HotKey &k) { return k.modifiers == modifiers && k.virtualKey == virtualKey; });
        if (it == table.keys.end())
            return false;
        found = *it;
    }
    PostMessageW(found.window, WM_HOTKEY, static_cast<WPARAM>(found.id),
        MAKELPARAM(static_cast<WORD>(modifiers), static_cast<WORD>(virtualKey)));
    return true;
}

void SetCursorPosBackend(std::function<bool(POINT *)> source)
{
    auto &hooks = BackendHooks();
    std::lock_guard lock(hooks.mutex);
    hooks.cursorBackend = std::move(source);
}

int AddDestroyListener(std::function<void(HWND)> listener)
{
    auto &hooks = BackendHooks();
    std::lock_guard lock(hooks.mutex);
    const int key = hooks.nextListener++;
    hooks.destroyListeners.emplace_back(key, std::make_shared<std::function<void(HWND)>>(std::move(listener)));
    return key;
}

void RemoveDestroyListener(int key)
{
    auto &hooks = BackendHooks();
    std::lock_guard lock(hooks.mutex);
    std::erase_if(hooks.destroyListeners, [&](const auto &l) { return l.first == key; });
}

} // namespace WindowBackend
