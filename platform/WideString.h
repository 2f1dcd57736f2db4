#pragma once
// Helpers for the program's wide strings (UTF-16 code units).

#include "platform/Win32Types.h"

#include <optional>
#include <string>
#include <string_view>

namespace WideString {

// The C library's wide white-space class (iswspace), for every UTF-16 unit.
bool IsSpace(char16_t c);

wstring16 TrimLeft(std::u16string_view s);
wstring16 TrimRight(std::u16string_view s);
wstring16 Trim(std::u16string_view s);

// ASCII and Unicode letters to lower case, unit by unit (surrogates unchanged).
wstring16 ToLower(std::u16string_view s);

// "%d", "%u" and "%i" formatting.
wstring16 FromInt(long long v);
wstring16 FromUnsigned(unsigned long long v);

// The integer rule: optional white space, optional sign, then leading decimal
// digits; anything else reads as 0. Values beyond 32 bits saturate.
int ToInt(std::u16string_view s);

// A whole number as a text field holds one: white space around an optionally
// signed run of digits that fits an int; nothing for any other text.
std::optional<int> ParseWholeNumber(std::u16string_view s);

// Conversions used at boundaries (UTF-8 for POSIX paths, logs and tests).
// Invalid input becomes U+FFFD.
wstring16 FromUtf8(std::string_view s);
std::string ToUtf8(std::u16string_view s);

// Length of a NUL-terminated wide string (nullptr counts as empty).
std::size_t Length(LPCWSTR s);

} // namespace WideString

// Shorthand for literals in code: u"..." is already a char16_t literal.
