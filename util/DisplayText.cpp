#include "util/DisplayText.h"

wstring16 DisplayText::Shorten(std::u16string_view text)
{
    if (!NeedsShortening(text))
        return wstring16(text);
    std::size_t length = kMaxUnits;
    if (text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF)
        --length;
    wstring16 shown(text.substr(0, length));
    shown += u'\u2026';
    return shown;
}
