#pragma once
// Hooks through which a backend (the Qt one) drives the window layer: it wakes
// the UI thread's loop when work arrives, schedules its timers, grabs hot keys
// and hears about destroyed windows. Not for use by the program's own classes.

#include "platform/Win32Types.h"

#include <chrono>
#include <functional>

namespace WindowBackend {

// Called (from any thread, without locks held) whenever a send, a post or a
// timer change arrives for the calling thread's queue. Empty: no waker.
void SetThreadWaker(std::function<void()> waker);

// How PumpMessagesUntil waits on the calling thread (at most the given
// milliseconds, serving the backend's own events meanwhile). Empty: it waits for
// this layer's messages only. The Qt backend sets one for the UI thread, so a
// wait there keeps the whole program live.
void SetThreadLoop(std::function<void(DWORD milliseconds)> wait);

// Milliseconds until the calling thread's next timer is due (0: due now;
// INFINITE: no timer).
DWORD MillisecondsToNextTimer();

// Runs only the sends queued for the calling thread; returns how many.
int PumpSentMessages();

// Runs the calling thread's queued work as PumpMessages does, but stops once
// `until` has passed, after the item at hand, so a busy queue cannot hold the
// backend's own loop. workLeft tells whether anything is still waiting.
int PumpMessagesBefore(std::chrono::steady_clock::time_point until, bool &workLeft);

// Forgets every window of the calling thread without calling handlers: pending
// and later sends answer 0, posts and timers are dropped. For a loop that ends
// for good (the application object going away).
void ReleaseThreadWindows();

// A window that exists and whose destruction has not started.
bool IsWindowAlive(HWND window);

// Grabs a system-wide key combination (modifiers are MOD_* without MOD_NOREPEAT,
// the key a virtual-key code). Grab returns false when the combination cannot be
// had. Called with the hot-key table locked: must not call back into it.
struct HotKeyGrabber {
    std::function<bool(UINT modifiers, UINT virtualKey)> grab;
    std::function<void(UINT modifiers, UINT virtualKey)> ungrab;
};
// Empty functions: no backend (registration then fails quietly).
void SetHotKeyGrabber(HotKeyGrabber grabber);
// The backend saw a grabbed combination pressed: posts WM_HOTKEY to its window.
// Returns whether a registration matched.
bool DeliverHotKey(UINT modifiers, UINT virtualKey);

// The backend's cursor position (GetCursorPos uses a test's source first).
void SetCursorPosBackend(std::function<bool(POINT *)> source);

// Called on the destroying thread after a window's destruction has started and
// its pending sends were released (message boxes owned by it close then).
// Returns a key for RemoveDestroyListener.
int AddDestroyListener(std::function<void(HWND)> listener);
void RemoveDestroyListener(int key);

} // namespace WindowBackend
