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

// First child of parent (null: top-level windows) of the class after childAfter,
// in creation order. className and windowName may be null (match any).
HWND FindWindowExW(HWND parent, HWND childAfter, LPCWSTR className, LPCWSTR windowName);

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

BOOL RegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey);
BOOL UnregisterHotKey(HWND window, int id);

BOOL GetCursorPos(POINT *point);
BOOL ScreenToClient(HWND window, POINT *point);
BOOL ClientToScreen(HWND window, POINT *point);

// Runs the calling thread's queued sends, posts and timers that are due; returns
// how many it ran. Threads without Qt pump with this; Qt's event loop pumps the UI thread.
int PumpMessages();
// Pumps until done() holds or the time runs out (INFINITE: no limit); true if done.
bool PumpMessagesUntil(const std::function<bool()> &done, DWORD milliseconds);
