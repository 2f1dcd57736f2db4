#pragma once
// Keeps child controls anchored to fractions of their window's layout area.
// The arithmetic lives here; the window system (class names, styles, rectangles,
// moves) is reached through the protected operations a concrete window supplies.

#include "platform/Win32Types.h"
#include "util/LayoutInfo.h"

#include <string>
#include <vector>

// As a bottom-right anchor: the same as the top-left one (the control keeps its size).
inline constexpr SIZE NoAnchor {-1, -1};

constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_NOCOPYBITS = 0x0100;
constexpr UINT SWP_NOOWNERZORDER = 0x0200;

class CResizableLayout {
public:
    // One entry of a deferred positioning batch.
    struct WindowPosition {
        HWND hwnd = nullptr;
        int x = 0;
        int y = 0;
        int cx = 0;
        int cy = 0;
        UINT flags = 0;
    };

    // One step of a background-erase clip: the control's area is excluded from the
    // erase (exclude) or added back to it.
    struct ClipStep {
        HWND hwnd = nullptr;
        RECT rect;
        bool exclude = true;
    };

    CResizableLayout() = default;
    CResizableLayout(const CResizableLayout &) = delete;
    CResizableLayout &operator=(const CResizableLayout &) = delete;
    virtual ~CResizableLayout();

    void AnchorControl(HWND hwnd, SIZE topLeftAnchor, SIZE bottomRightAnchor = NoAnchor);
    void RemoveAllAnchors();
    void RepositionControls();
    // The clip steps of a background erase, in registration order.
    std::vector<ClipStep> ClipControls();

    virtual bool ShouldClip(HWND hwnd);
    virtual bool NeedsRepaint(HWND hwnd);
    virtual void GetLayoutArea(RECT &rect);
    virtual HWND GetLayoutWindow() = 0;

    // The rules behind ShouldClip and NeedsRepaint, by class name and style.
    static bool ShouldClipClass(const std::u16string &className, DWORD style);
    static bool NeedsRepaintClass(const std::u16string &className, DWORD style);

    // The new rectangle of a registered control in an area of the given size.
    static RECT AnchoredRect(const LayoutInfo &info, LONG width, LONG height);

    const std::vector<LayoutInfo> &LayoutInfos() const { return layoutInfos; }
    int AnchorCount() const { return anchorCount; }

protected:
    // The window system, as seen from the layout window. Rectangles are in the
    // layout window's client coordinates.
    virtual std::u16string ControlClassName(HWND hwnd) = 0;
    virtual DWORD ControlStyle(HWND hwnd) = 0;
    virtual void SetControlStyle(HWND hwnd, DWORD style) = 0;
    virtual bool ControlRect(HWND hwnd, RECT &rect) = 0;
    virtual bool ControlVisible(HWND hwnd) = 0;
    // Client rectangle of the layout window (the default layout area).
    virtual RECT LayoutClientRect() = 0;
    // Horizontal scroll limit and position of a list box; false when it has none.
    virtual bool HorizontalScroll(HWND hwnd, int &limit, int &position);
    // Carries out one positioning batch at once.
    virtual void ApplyPositions(const std::vector<WindowPosition> &batch) = 0;

private:
    std::vector<LayoutInfo> layoutInfos;
    int anchorCount = 0;
};
