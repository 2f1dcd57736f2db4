#pragma once
// Texts as lists and combo boxes show them. A catalogue may hold an attribute
// of any length; laying out megabytes of one line holds the window for seconds
// and takes many times the text's size. What is shown is cut after a length no
// line on a screen reaches; the data itself stays whole.

#include "platform/Win32Types.h"

#include <string_view>

class DisplayText {
public:
    static constexpr std::size_t kMaxUnits = 1024;

    // The text itself, or its first kMaxUnits units (never half a surrogate
    // pair) and an ellipsis.
    static wstring16 Shorten(std::u16string_view text);
    static bool NeedsShortening(std::u16string_view text) { return text.size() > kMaxUnits; }
};
