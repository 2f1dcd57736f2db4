#include "util/CResizableLayout.h"

#include "platform/ControlStyles.h"

namespace {

// Truncating toward zero, as the layout has always rounded.
LONG Percent(LONG length, LONG percent) { return static_cast<LONG>(static_cast<long long>(length) * percent / 100); }

bool SameSize(SIZE a, SIZE b) { return a.cx == b.cx && a.cy == b.cy; }

bool EqualRect(const RECT &a, const RECT &b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

CResizableLayout::~CResizableLayout() { RemoveAllAnchors(); }

void CResizableLayout::AnchorControl(HWND hwnd, SIZE topLeftAnchor, SIZE bottomRightAnchor)
{
    RECT rect;
    if (!hwnd || !ControlRect(hwnd, rect))
        return;

    const std::u16string className = ControlClassName(hwnd);
    const DWORD style = ControlStyle(hwnd);
    if (className == ControlClass::Button && (style & BS_TYPEMASK) == BS_GROUPBOX)
        SetControlStyle(hwnd, style | WS_CLIPSIBLINGS);

    LayoutInfo info;
    info.hwnd = hwnd;
    info.adjustHScroll = className == ControlClass::ListBox;
    info.needsRepaint = NeedsRepaint(hwnd);

    RECT area;
    GetLayoutArea(area);
    const LONG width = area.right - area.left;
    const LONG height = area.bottom - area.top;

    if (SameSize(bottomRightAnchor, NoAnchor))
        bottomRightAnchor = topLeftAnchor;

    info.topLeftAnchor = topLeftAnchor;
    info.bottomRightAnchor = bottomRightAnchor;
    info.topLeftMargin = {rect.left - Percent(width, topLeftAnchor.cx), rect.top - Percent(height, topLeftAnchor.cy)};
    info.bottomRightMargin = {
        rect.right - Percent(width, bottomRightAnchor.cx), rect.bottom - Percent(height, bottomRightAnchor.cy)};

    layoutInfos.insert(layoutInfos.begin() + anchorCount, info);
    ++anchorCount;
}

void CResizableLayout::RemoveAllAnchors()
{
    layoutInfos.clear();
    anchorCount = 0;
}

RECT CResizableLayout::AnchoredRect(const LayoutInfo &info, LONG width, LONG height)
{
    RECT rect;
    rect.left = Percent(width, info.topLeftAnchor.cx) + info.topLeftMargin.cx;
    rect.top = Percent(height, info.topLeftAnchor.cy) + info.topLeftMargin.cy;
    rect.right = Percent(width, info.bottomRightAnchor.cx) + info.bottomRightMargin.cx;
    rect.bottom = Percent(height, info.bottomRightAnchor.cy) + info.bottomRightMargin.cy;
    return rect;
}

void CResizableLayout::RepositionControls()
{
    RECT area;
    GetLayoutArea(area);
    const LONG width = area.right - area.left;
    const LONG height = area.bottom - area.top;

    std::vector<WindowPosition> batch;
    batch.reserve(layoutInfos.size());
    for (const LayoutInfo &info : layoutInfos) {
        RECT old;
        if (!ControlRect(info.hwnd, old))
            continue; // the control is gone
        const RECT now = AnchoredRect(info, width, height);
        if (EqualRect(now, old))
            continue;

        bool repaint = info.needsRepaint;
        if (info.adjustHScroll) {
            const int grow = (now.right - now.left) - (old.right - old.left);
            int limit = 0;
            int position = 0;
            repaint = HorizontalScroll(info.hwnd, limit, position) && limit > 0 && position > limit - grow;
        }

        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
        if (repaint)
            flags |= SWP_NOCOPYBITS;
        if (now.left == old.left && now.top == old.top)
            flags |= SWP_NOMOVE;
        if (now.right - now.left == old.right - old.left && now.bottom - now.top == old.bottom - old.top)
            flags |= SWP_NOSIZE;
        batch.push_back({info.hwnd, now.left, now.top, now.right - now.left, now.bottom - now.top, flags});
    }
    if (!batch.empty())
        ApplyPositions(batch);
}

std::vector<CResizableLayout::ClipStep> CResizableLayout::ClipControls()
{
    std::vector<ClipStep> steps;
    for (const LayoutInfo &info : layoutInfos) {
        RECT rect;
        if (!ControlVisible(info.hwnd) || !ControlRect(info.hwnd, rect))
            continue;
        steps.push_back({info.hwnd, rect, ShouldClip(info.hwnd)});
    }
    return steps;
}

bool CResizableLayout::ShouldClip(HWND hwnd) { return ShouldClipClass(ControlClassName(hwnd), ControlStyle(hwnd)); }

bool CResizableLayout::NeedsRepaint(HWND hwnd) { return NeedsRepaintClass(ControlClassName(hwnd), ControlStyle(hwnd)); }

void CResizableLayout::GetLayoutArea(RECT &rect) { rect = LayoutClientRect(); }

bool CResizableLayout::HorizontalScroll(HWND, int &limit, int &position)
{
    limit = 0;
    position = 0;
    return false;
}

bool CResizableLayout::ShouldClipClass(const std::u16string &className, DWORD style)
{
    if (className == ControlClass::ToolBar)
        return (style & TBSTYLE_TRANSPARENT) == 0;
    if (className == ControlClass::Button)
        return (style & BS_TYPEMASK) != BS_GROUPBOX;
    if (className == ControlClass::Static) {
        switch (style & SS_TYPEMASK) {
        case SS_ICON:
        case SS_ENHMETAFILE:
            return (style & SS_CENTERIMAGE) == 0;
        case SS_BLACKRECT:
        case SS_GRAYRECT:
        case SS_WHITERECT:
        case SS_BITMAP:
        case SS_ETCHEDHORZ:
        case SS_ETCHEDVERT:
            return true;
        default:
            return false;
        }
    }
    return true;
}

bool CResizableLayout::NeedsRepaintClass(const std::u16string &className, DWORD style)
{
    if (className != ControlClass::Static)
        return false;
    switch (style & SS_TYPEMASK) {
    case SS_LEFT:
    case SS_CENTER:
    case SS_RIGHT:
    case SS_BITMAP:
    case SS_ENHMETAFILE:
        return true;
    case SS_ICON:
    case SS_SIMPLE:
    case SS_ETCHEDHORZ:
    case SS_ETCHEDVERT:
        return false;
    default:
        return (style & SS_CENTERIMAGE) != 0;
    }
}
