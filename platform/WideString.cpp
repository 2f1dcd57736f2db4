#include "platform/WideString.h"

#include <climits>
#include <cwctype>

namespace WideString {

bool IsSpace(char16_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; }

wstring16 TrimLeft(std::u16string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && IsSpace(s[i]))
        ++i;
    return wstring16(s.substr(i));
}

wstring16 TrimRight(std::u16string_view s)
{
    std::size_t n = s.size();
    while (n > 0 && IsSpace(s[n - 1]))
        --n;
    return wstring16(s.substr(0, n));
}

wstring16 Trim(std::u16string_view s) { return TrimLeft(TrimRight(s)); }

wstring16 ToLower(std::u16string_view s)
{
    wstring16 out(s);
    for (auto &c : out) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        c = static_cast<char16_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return out;
}

wstring16 FromInt(long long v)
{
    std::string s = std::to_string(v);
    return wstring16(s.begin(), s.end());
}

wstring16 FromUnsigned(unsigned long long v)
{
    std::string s = std::to_string(v);
    return wstring16(s.begin(), s.end());
}

int ToInt(std::u16string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && IsSpace(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        negative = s[i] == u'-';
        ++i;
    }
    long long v = 0;
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
        v = v * 10 + (s[i] - u'0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            v = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        v = -v;
    if (v > INT_MAX)
        v = INT_MAX;
    if (v < INT_MIN)
        v = INT_MIN;
    return static_cast<int>(v);
}

std::optional<int> ParseWholeNumber(std::u16string_view s)
{
    const wstring16 t = Trim(s);
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
        negative = t[i++] == u'-';
    if (i == t.size())
        return std::nullopt;
    long long value = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < u'0' || t[i] > u'9')
            return std::nullopt;
        value = value * 10 + (t[i] - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

wstring16 FromUtf8(std::string_view s)
{
    wstring16 out;
    out.reserve(s.size());
    std::size_t i = 0;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    while (i < s.size()) {
        unsigned char b = byte(i);
        char32_t cp = 0;
        std::size_t len = 0;
        if (b < 0x80) {
            cp = b;
            len = 1;
        } else if (b >= 0xC2 && b <= 0xDF) {
            cp = b & 0x1F;
            len = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            cp = b & 0x0F;
            len = 3;
        } else if (b >= 0xF0 && b <= 0xF4) {
            cp = b & 0x07;
            len = 4;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        std::size_t k = 1;
        for (; k < len && i + k < s.size(); ++k) {
            unsigned char c = byte(i + k);
            if ((c & 0xC0) != 0x80)
                break;
            // Reject overlong forms and surrogates at the second byte, as decoders do.
            if (k == 1 &&
                ((b == 0xE0 && c < 0xA0) || (b == 0xED && c > 0x9F) || (b == 0xF0 && c < 0x90) ||
                    (b == 0xF4 && c > 0x8F)))
                break;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (k < len) {
            out.push_back(0xFFFD);
            i += k;
            continue;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string ToUtf8(std::u16string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::size_t Length(LPCWSTR s)
{
    if (!s)
        return 0;
    std::size_t n = 0;
    while (s[n])
        ++n;
    return n;
}

} // namespace WideString
