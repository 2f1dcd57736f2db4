#pragma once
// The saved form of a toolbar's buttons: command identifiers as decimal text,
// separated by commas, 0 standing for a separator ("57600,57603,0,57635").
// Read back from the user's settings file, which anyone may have edited, so
// reading keeps only what a toolbar can show.

#include "platform/Win32Types.h"

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace ToolBarLayout {

// More than any toolbar of the program holds; a longer list is cut there.
constexpr std::size_t kMaxButtons = 64;
constexpr UINT kSeparator = 0;

// Command identifiers for which known() is false are dropped, so is a command
// that is already on the bar, a separator at either end and a separator
// following another. An empty text is an empty toolbar; nothing when the text
// is not such a list at all.
std::optional<std::vector<UINT>> Parse(std::u16string_view text, const std::function<bool(UINT)> &known);
wstring16 Format(const std::vector<UINT> &buttons);

// The first free user toolbar identifier of 0xE828..0xE831, or 0 when all ten are taken.
constexpr UINT kFirstUserToolBar = 0xE828;
constexpr UINT kLastUserToolBar = 0xE831;
UINT FreeUserToolBarId(const std::vector<UINT> &taken);

} // namespace ToolBarLayout
