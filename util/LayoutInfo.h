#pragma once
// One control registered with a resizable layout.

#include "platform/Win32Types.h"

struct LayoutInfo {
    HWND hwnd = nullptr;
    // A list box: its horizontal scrolling may need a repaint when its width changes.
    bool adjustHScroll = false;
    // The control must be fully repainted after a move or resize.
    bool needsRepaint = false;
    // Anchors in percent of the layout area; margins in pixels from the anchor point.
    SIZE topLeftAnchor;
    SIZE topLeftMargin;
    SIZE bottomRightAnchor;
    SIZE bottomRightMargin;
};
