#pragma once
// Ordering of two cell texts when a report list sorts by a column: numbers as
// numbers, dates as dates, everything else as exact text.

#include "platform/Win32Types.h"

#include <cstdint>
#include <optional>
#include <string_view>

class ReportCellCompare {
public:
    // Negative, zero or positive. The first rule that applies to both texts wins:
    // unsigned hexadecimal, decimal (optionally with one trailing "%"), date and
    // time, then an exact case-sensitive comparison of the UTF-16 units.
    static int Compare(std::u16string_view a, std::u16string_view b);

    // The whole text is an unsigned hexadecimal number (leading white space and an
    // "0x" prefix allowed). Numbers beyond 64 bits do not qualify.
    static std::optional<std::uint64_t> ParseHex(std::u16string_view text);
    // The whole text is a decimal floating-point number, optionally followed by one "%".
    static std::optional<double> ParseDecimal(std::u16string_view text);
    // A valid date, time, or date and time: seconds from 0001-01-01 00:00:00 (a time
    // alone counts from 1899-12-30, as the framework's date type does).
    static std::optional<std::int64_t> ParseDateTime(std::u16string_view text);
};
