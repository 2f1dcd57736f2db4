#pragma once
// Replays a recorded mouse gesture into the page of a browser view: the content
// window is found below the view's window ("Shell Embedding" > "Shell DocObject
// View" > "Internet Explorer_Server"), and the gesture is posted to it, or to
// the game-area window inside it, or left with the view as a pending scroll.
// Everything is posted, never sent; callable from any thread.

#include "platform/Win32Types.h"

#include <atomic>
#include <string_view>

class MouseReplay {
public:
    struct Gesture {
        std::u16string_view body; // "DoClick", "DoDraw" or "DoScroll"
        int px1 = 0;
        int py1 = 0;
        int px2 = 0;
        int py2 = 0;
        int doFlashIndex = 0;
    };
    // Where a scroll is left for the view to carry out (-1: none).
    struct ScrollSlots {
        std::atomic<LONG> *x = nullptr;
        std::atomic<LONG> *y = nullptr;
    };

    // The content window below the view's window, or null while the chain is incomplete.
    static HWND FindContentWindow(HWND viewWindow);
    // False when the content window is missing (nothing is posted then).
    static bool Replay(HWND viewWindow, const Gesture &gesture, ScrollSlots scroll);
    // x in the low word, y in the high word, each cut to 16 bits.
    static LPARAM PointParam(int x, int y);
};
