#pragma once
// Code pages and conversions with Win32 semantics. 65001 is UTF-8 (done here);
// other code pages convert through iconv ("CP" + number, so 936 is GBK).
// Invalid input becomes U+FFFD unless MB_ERR_INVALID_CHARS asks for failure.

#include "platform/Win32Types.h"

#include <cstddef>
#include <string>

// The current locale's code page: 65001 for UTF-8 locales (and the C locale),
// 936 for GBK/GB2312/GB18030 ones, else the number iconv knows as CPnnn when the
// locale names one, else 65001.
UINT GetACP();

// count -1 converts through the terminating NUL (which is counted). A capacity of
// 0 asks for the size needed. A buffer too small fails with ERROR_INSUFFICIENT_BUFFER
// and nothing is written. For 65001 only MB_ERR_INVALID_CHARS is accepted as flag.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int count, LPWSTR target, int capacity);

// For 65001 the flags must be 0 and defaultChar/usedDefault
// null. Elsewhere characters the code page cannot hold become defaultChar ("?" when
// null) and set *usedDefault. WC_COMPOSITECHECK joins a letter and its combining
// mark into one precomposed character where one exists.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source, int count, LPSTR target, int capacity,
    LPCSTR defaultChar, LPBOOL usedDefault);

namespace CodePage {

// The code page a locale name such as "zh_CN.GBK" stands for.
UINT FromLocaleName(const char *locale);

// Tests fix the answer of GetACP; 0 returns to the locale's code page.
void SetActiveCodePageForTest(UINT codePage);

// As MultiByteToWideChar, into out (replaced) without a second buffer: out is
// sized once for the text plus `room` more units, so a caller may append that
// many without moving megabytes of text. False, with the last error, as it fails.
bool ToWide(
    UINT codePage, DWORD flags, const char *bytes, std::size_t count, std::u16string &out, std::size_t room = 0);

// Bytes at the end of a piece of text that start a character the piece does not
// finish (UTF-8 and the double-byte code pages), so a reader cut short can keep them.
int IncompleteTailLength(UINT codePage, const char *bytes, int count);

} // namespace CodePage
