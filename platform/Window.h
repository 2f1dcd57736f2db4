#pragma once
// Windows and messages with Win32 semantics over a process-wide registry.
// A window is an entry: handle, class name, parent, children in creation order,
// owner thread, message handler, visibility, and optionally a widget (bound by
// the Qt backend) that gives it geometry.
//
// SendMessageW on the owner thread calls the handler directly; from another
// thread it queues the call to the owner thread and blocks until it has run.
// PostMessageW queues and returns at once. A destroyed window, or one whose
// destruction has started, answers every pending and later send with 0 at once
// and drops its posted messages.

#include "platform/Win32Types.h"

#include <functional>
#include <memory>

using WindowHandler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// Creates an entry owned by the calling thread. The handler may be empty (the
// window then answers 0). windowName is what FindWindowExW matches as the title.
HWND CreateWindowEntry(LPCWSTR className, HWND parent, WindowHandler handler, LPCWSTR windowName = nullptr);
void SetWindowHandler(HWND window, WindowHandler handler);

BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL IsWindowVisible(HWND window);
BOOL ShowWindow(HWND window, int command);
HWND GetParent(HWND window);
// The thread that owns the window (0 when it is not a window).
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);
// Changes the title FindWindowExW matches (and the bound widget's title).
BOOL SetWindowTextW(HWND window, LPCWSTR text);

// First child of parent (null: top-level windows) of the class after childAfter,
// in creation order. className and windowName may be null (match any).
HWND FindWindowExW(HWND parent, HWND childAfter, LPCWSTR className, LPCWSTR windowName);

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Runs call on the window's owner thread with SendMessageW's semantics (directly
// on that thread, else queued while the caller waits) and returns its result;
// 0 without running it once the window is gone or its destruction has started.
// For objects whose every operation may be called from any thread.
LRESULT InvokeOnWindowThread(HWND window, const std::function<LRESULT()> &call);

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

BOOL RegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey);
BOOL UnregisterHotKey(HWND window, int id);

BOOL GetCursorPos(POINT *point);
// A window without a bound widget of its own shares the client area of its
// nearest ancestor that has one; with none at all its client origin is 0,0.
BOOL ScreenToClient(HWND window, POINT *point);
BOOL ClientToScreen(HWND window, POINT *point);

// Tests replace the cursor position; an empty function restores the backend's.
void SetCursorPosSource(std::function<bool(POINT *)> source);

// Geometry and visibility of a window from a backend (a Qt widget). Every call
// comes on the window's owner thread.
class WindowSurface {
public:
    virtual ~WindowSurface() = default;
    // Screen position of the client area's top-left corner.
    virtual POINT ClientOrigin() = 0;
    // Applies a ShowWindow command.
    virtual void Show(int command) = 0;
    virtual void SetText(const wstring16 &text) = 0;
};

// Binds (or with null unbinds) the surface of a window. While bound, ShowWindow
// goes to it and the backend reports visibility with SetWindowVisibleFlag.
BOOL BindWindowSurface(HWND window, std::shared_ptr<WindowSurface> surface);
void SetWindowVisibleFlag(HWND window, bool visible);

// Runs the calling thread's queued sends, posts and timers that are due; returns
// how many it ran. Threads without Qt pump with this; Qt's event loop pumps the UI thread.
int PumpMessages();
// Pumps until done() holds or the time runs out (INFINITE: no limit); true if done.
bool PumpMessagesUntil(const std::function<bool()> &done, DWORD milliseconds);
