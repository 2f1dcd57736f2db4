#pragma once
// The record a report list attaches to every row it inserts itself.

#include "util/ListViewTypes.h"

#include <vector>

namespace KorrinControlsEx {

struct ReportRowData {
    // The owner's pointer-sized value.
    UINT_PTR userData = 0;
    // One colour per column.
    std::vector<COLORREF> textColours;
    std::vector<COLORREF> backColours;
};

} // namespace KorrinControlsEx
