#include "tasks/MouseReplay.h"

#include "platform/Window.h"

#include <cstdint>

namespace {

// End minus start without overflow on any coordinates (wraps as 32-bit).
LONG Extent(int from, int to)
{
    return static_cast<LONG>(static_cast<std::uint32_t>(to) - static_cast<std::uint32_t>(from));
}

} // namespace

HWND MouseReplay::FindContentWindow(HWND viewWindow)
{
    if (!viewWindow)
        return nullptr;
    HWND embedding = FindWindowExW(viewWindow, nullptr, u"Shell Embedding", nullptr);
    if (!embedding)
        return nullptr;
    HWND docObject = FindWindowExW(embedding, nullptr, u"Shell DocObject View", nullptr);
    if (!docObject)
        return nullptr;
    return FindWindowExW(docObject, nullptr, u"Internet Explorer_Server", nullptr);
}

LPARAM MouseReplay::PointParam(int x, int y)
{
    return MAKELPARAM(
        static_cast<WORD>(static_cast<unsigned>(x) & 0xFFFFu), static_cast<WORD>(static_cast<unsigned>(y) & 0xFFFFu));
}

bool MouseReplay::Replay(HWND viewWindow, const Gesture &g, ScrollSlots scroll)
{
    HWND content = FindContentWindow(viewWindow);
    if (!content)
        return false;
    const LPARAM start = PointParam(g.px1, g.py1);
    const LPARAM end = PointParam(g.px2, g.py2);
    if (g.doFlashIndex >= 0) {
        // Only the first game area is ever used, whatever the index.
        if (HWND game = FindWindowExW(content, nullptr, u"MacromediaFlashPlayerActiveX", nullptr)) {
            PostMessageW(game, WM_MOUSEMOVE, 0, start);
            PostMessageW(game, WM_LBUTTONDOWN, 0, start);
            PostMessageW(game, WM_MOUSEMOVE, 0, end);
            PostMessageW(game, WM_LBUTTONUP, 0, end);
            return true;
        }
    }
    if (g.body == u"DoClick" || g.body == u"DoDraw") {
        PostMessageW(content, WM_MOUSEMOVE, 0, start);
        PostMessageW(content, WM_LBUTTONDOWN, 0, start);
        PostMessageW(content, WM_LBUTTONUP, 0, end);
    } else if (g.body == u"DoScroll") {
        if (scroll.x)
            scroll.x->store(Extent(g.px1, g.px2));
        if (scroll.y)
            scroll.y->store(Extent(g.py1, g.py2));
    }
    return true;
}
