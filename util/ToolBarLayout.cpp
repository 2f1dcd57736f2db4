#include "util/ToolBarLayout.h"

#include <algorithm>

namespace ToolBarLayout {

std::optional<std::vector<UINT>> Parse(std::u16string_view text, const std::function<bool(UINT)> &known)
{
    std::vector<UINT> buttons;
    if (text.empty())
        return buttons;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(u',', start);
        if (end == std::u16string_view::npos)
            end = text.size();
        std::u16string_view field = text.substr(start, end - start);
        while (!field.empty() && field.front() == u' ')
            field.remove_prefix(1);
        while (!field.empty() && field.back() == u' ')
            field.remove_suffix(1);
        // Digits only, and no more than a command identifier has.
        if (field.empty() || field.size() > 5 ||
            !std::all_of(field.begin(), field.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }))
            return std::nullopt;
        UINT id = 0;
        for (char16_t c : field)
            id = id * 10 + static_cast<UINT>(c - u'0');
        if (id > 0xFFFF)
            return std::nullopt;
        if (id == kSeparator) {
            if (!buttons.empty() && buttons.back() != kSeparator)
                buttons.push_back(kSeparator);
        } else if (known && known(id) && std::find(buttons.begin(), buttons.end(), id) == buttons.end()) {
            buttons.push_back(id);
        }
        if (buttons.size() >= kMaxButtons)
            break;
        start = end + 1;
    }
    while (!buttons.empty() && buttons.back() == kSeparator)
        buttons.pop_back();
    return buttons;
}

wstring16 Format(const std::vector<UINT> &buttons)
{
    wstring16 text;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (i)
            text += u',';
        const std::string digits = std::to_string(buttons[i]);
        text.append(digits.begin(), digits.end());
    }
    return text;
}

UINT FreeUserToolBarId(const std::vector<UINT> &taken)
{
    for (UINT id = kFirstUserToolBar; id <= kLastUserToolBar; ++id)
        if (std::find(taken.begin(), taken.end(), id) == taken.end())
            return id;
    return 0;
}

} // namespace ToolBarLayout
