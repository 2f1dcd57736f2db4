// Any bytes as a saved toolbar's buttons: what is read must format and read back the same.

#include "util/ToolBarLayout.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    const auto known = [](UINT id) { return id % 3 != 0; };
    const std::optional<std::vector<UINT>> buttons = ToolBarLayout::Parse(text, known);
    if (!buttons)
        return 0;
    if (buttons->size() > ToolBarLayout::kMaxButtons)
        std::abort();
    if (ToolBarLayout::Parse(ToolBarLayout::Format(*buttons), known) != buttons)
        std::abort();
    return 0;
}
