#include "util/Conversions.h"

#include "platform/CodePage.h"

#include <algorithm>

namespace KorrinUtilsFuns {

namespace {

UINT Resolve(int codePage) { return codePage == -1 ? GetACP() : static_cast<UINT>(codePage); }

} // namespace

int MultiByteToUnicode(LPCSTR source, LPWSTR target, int capacity, int codePage)
{
    if (!source || !target || capacity <= 0)
        return 0;
    try {
        const UINT cp = Resolve(codePage);
        std::fill_n(target, capacity, u'\0');
        const int n = MultiByteToWideChar(cp, cp == CP_UTF8 ? 0 : MB_PRECOMPOSED, source, -1, target, capacity);
        return n > 0 ? n - 1 : 0;
    } catch (...) {
        return 0;
    }
}

int UnicodeToMultiByte(LPCWSTR source, LPSTR target, int capacity, int codePage)
{
    if (!source || !target || capacity <= 0)
        return 0;
    try {
        std::fill_n(target, capacity, '\0');
        const UINT cp = Resolve(codePage);
        int n = 0;
        if (cp == CP_UTF8) {
            n = WideCharToMultiByte(cp, 0, source, -1, target, capacity, nullptr, nullptr);
        } else {
            BOOL usedDefault = FALSE;
            n = WideCharToMultiByte(
                cp, WC_COMPOSITECHECK | WC_SEPCHARS, source, -1, target, capacity, "#", &usedDefault);
        }
        return n > 0 ? n - 1 : 0;
    } catch (...) {
        return 0;
    }
}

int GetMultiByteLength(LPCWSTR source, int codePage)
{
    if (!source)
        return 0;
    try {
        const UINT cp = Resolve(codePage);
        if (cp == CP_UTF8)
            return std::max(WideCharToMultiByte(cp, 0, source, -1, nullptr, 0, nullptr, nullptr), 0);
        BOOL usedDefault = FALSE;
        return std::max(
            WideCharToMultiByte(cp, WC_COMPOSITECHECK | WC_SEPCHARS, source, -1, nullptr, 0, "#", &usedDefault), 0);
    } catch (...) {
        return 0;
    }
}

} // namespace KorrinUtilsFuns
