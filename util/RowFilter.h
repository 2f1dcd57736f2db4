#pragma once
// Row-state filters of the report list; the same bits as actions change a row's state.

namespace KorrinControlsEx {

enum RowFilter : unsigned {
    AnyRow = 0x01,
    Selected = 0x02,
    Unselected = 0x04,
    Checked = 0x08,
    Unchecked = 0x10,
    Focused = 0x20,
    Unfocused = 0x40,
};

// A row matches when the filter is non-zero and either has AnyRow or all its
// bits are in the row's state (one bit of each pair).
constexpr bool RowMatches(unsigned rowState, unsigned filter)
{
    return filter != 0 && ((filter & AnyRow) != 0 || (filter & rowState) == filter);
}

} // namespace KorrinControlsEx
