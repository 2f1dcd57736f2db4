// Two cell texts from any bytes: the sort comparison must not crash, must give
// opposite answers when the texts swap places, and call a text equal to itself.

#include "util/ReportCellCompare.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    // The first unit says where the first text ends.
    const std::size_t split = units.empty() ? 0 : units[0] % units.size();
    const std::u16string a = units.substr(units.empty() ? 0 : 1, split);
    const std::u16string b = units.substr(std::min(units.size(), split + 1));
    const int ab = ReportCellCompare::Compare(a, b);
    const int ba = ReportCellCompare::Compare(b, a);
    if ((ab < 0) != (ba > 0) || (ab == 0) != (ba == 0))
        std::abort();
    if (ReportCellCompare::Compare(a, a) != 0)
        std::abort();
    return 0;
}
