#include "util/ReportCellCompare.h"

#include "platform/WideString.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int HexValue(char16_t c)
{
    if (IsDigit(c))
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

std::size_t SkipSpace(std::u16string_view text, std::size_t i)
{
    while (i < text.size() && WideString::IsSpace(text[i]))
        ++i;
    return i;
}

template <typename T> int Order(T a, T b) { return a < b ? -1 : (b < a ? 1 : 0); }

// Reads up to maxDigits decimal digits at i; false when there is none.
bool ReadNumber(std::u16string_view text, std::size_t &i, int maxDigits, int &value, int &digits)
{
    value = 0;
    digits = 0;
    while (i < text.size() && IsDigit(text[i]) && digits < maxDigits) {
        value = value * 10 + (text[i] - u'0');
        ++i;
        ++digits;
    }
    return digits > 0 && !(i < text.size() && IsDigit(text[i]));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Days from 0001-01-01 (proleptic Gregorian).
std::int64_t DayNumber(int y, int m, int d)
{
    std::int64_t days = 0;
    const int py = y - 1;
    days += static_cast<std::int64_t>(py) * 365 + py / 4 - py / 100 + py / 400;
    for (int month = 1; month < m; ++month)
        days += DaysInMonth(y, month);
    return days + d - 1;
}

bool IsDateSeparator(char16_t c) { return c == u'-' || c == u'/' || c == u'.'; }

// "Y-M-D", "Y/M/D", "Y.M.D" (four-digit year first) or "M/D/Y" (year last).
bool ParseDate(std::u16string_view text, std::size_t &i, int &y, int &m, int &d)
{
    int a, b, c, na, nb, nc;
    std::size_t p = i;
    if (!ReadNumber(text, p, 4, a, na) || p >= text.size() || !IsDateSeparator(text[p]))
        return false;
    const char16_t sep = text[p++];
    if (!ReadNumber(text, p, 2, b, nb) || p >= text.size() || text[p] != sep)
        return false;
    ++p;
    if (!ReadNumber(text, p, 4, c, nc))
        return false;
    if (na == 4 && nc <= 2) {
        y = a, m = b, d = c;
    } else if (na <= 2 && nc == 4) {
        m = a, d = b, y = c;
    } else {
        return false;
    }
    if (y < 100 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m))
        return false;
    i = p;
    return true;
}

// "H:MM" or "H:MM:SS", optionally followed by "AM" or "PM".
bool ParseTime(std::u16string_view text, std::size_t &i, int &seconds)
{
    int h, mi, s = 0, n;
    std::size_t p = i;
    if (!ReadNumber(text, p, 2, h, n) || p >= text.size() || text[p] != u':')
        return false;
    ++p;
    if (!ReadNumber(text, p, 2, mi, n) || n != 2)
        return false;
    if (p < text.size() && text[p] == u':') {
        ++p;
        if (!ReadNumber(text, p, 2, s, n) || n != 2)
            return false;
    }
    std::size_t q = SkipSpace(text, p);
    if (q + 2 <= text.size()) {
        const char16_t c0 = text[q] | 0x20, c1 = text[q + 1] | 0x20;
        if ((c0 == u'a' || c0 == u'p') && c1 == u'm') {
            if (h < 1 || h > 12)
                return false;
            h = (h % 12) + (c0 == u'p' ? 12 : 0);
            p = q + 2;
        }
    }
    if (h > 23 || mi > 59 || s > 59)
        return false;
    seconds = h * 3600 + mi * 60 + s;
    i = p;
    return true;
}

} // namespace

std::optional<std::uint64_t> ReportCellCompare::ParseHex(std::u16string_view text)
{
    std::size_t i = SkipSpace(text, 0);
    if (i + 2 < text.size() && text[i] == u'0' && (text[i + 1] | 0x20) == u'x' && HexValue(text[i + 2]) >= 0)
        i += 2;
    if (i >= text.size())
        return std::nullopt;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = HexValue(text[i]);
        if (digit < 0 || value > (UINT64_MAX >> 4))
            return std::nullopt;
        value = (value << 4) | static_cast<std::uint64_t>(digit);
    }
    return value;
}

std::optional<double> ReportCellCompare::ParseDecimal(std::u16string_view text)
{
    std::size_t i = SkipSpace(text, 0);
    std::string ascii;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ascii += static_cast<char>(text[i++]);
    int digits = 0;
    while (i < text.size() && IsDigit(text[i]))
        ascii += static_cast<char>(text[i++]), ++digits;
    if (i < text.size() && text[i] == u'.') {
        ascii += '.';
        ++i;
        while (i < text.size() && IsDigit(text[i]))
            ascii += static_cast<char>(text[i++]), ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] | 0x20) == u'e') {
        std::size_t p = i + 1;
        std::string exponent = "e";
        if (p < text.size() && (text[p] == u'+' || text[p] == u'-'))
            exponent += static_cast<char>(text[p++]);
        if (p < text.size() && IsDigit(text[p])) {
            while (p < text.size() && IsDigit(text[p]))
                exponent += static_cast<char>(text[p++]);
            ascii += exponent;
            i = p;
        }
    }
    if (i < text.size() && text[i] == u'%')
        ++i;
    if (i != text.size())
        return std::nullopt;
    // Independent of the C locale's decimal point.
    double value = 0;
    const char *first = ascii.data();
    if (*first == '+')
        ++first;
    const auto result = std::from_chars(first, ascii.data() + ascii.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        const bool negative = ascii[0] == '-';
        const bool tiny = ascii.find("e-") != std::string::npos;
        return tiny ? (negative ? -0.0 : 0.0) : (negative ? -HUGE_VAL : HUGE_VAL);
    }
    return value;
}

std::optional<std::int64_t> ReportCellCompare::ParseDateTime(std::u16string_view text)
{
    std::size_t i = SkipSpace(text, 0);
    int y = 1899, m = 12, d = 30, seconds = 0;
    const bool hasDate = ParseDate(text, i, y, m, d);
    bool hasTime = false;
    if (hasDate) {
        const std::size_t p = SkipSpace(text, i);
        if (p > i || p == text.size()) {
            std::size_t q = p;
            hasTime = ParseTime(text, q, seconds);
            if (hasTime)
                i = q;
        }
    } else {
        hasTime = ParseTime(text, i, seconds);
    }
    if (!hasDate && !hasTime)
        return std::nullopt;
    if (SkipSpace(text, i) != text.size())
        return std::nullopt;
    return DayNumber(y, m, d) * 86400 + seconds;
}

int ReportCellCompare::Compare(std::u16string_view a, std::u16string_view b)
{
    if (auto x = ParseHex(a)) {
        if (auto y = ParseHex(b))
            return Order(*x, *y);
    }
    if (auto x = ParseDecimal(a)) {
        if (auto y = ParseDecimal(b))
            return Order(*x, *y);
    }
    if (auto x = ParseDateTime(a)) {
        if (auto y = ParseDateTime(b))
            return Order(*x, *y);
    }
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
