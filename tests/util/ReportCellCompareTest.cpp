#include "util/ReportCellCompare.h"

#include <gtest/gtest.h>

namespace {

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

TEST(ReportCellCompare, FirstRuleThatFitsBothTextsDecides)
{
    struct Case {
        const char16_t *a;
        const char16_t *b;
        int order;
    } cases[] = {
        {u"10", u"9", 1}, // hexadecimal 16 and 9
        {u"1F", u"20", -1}, // 31 and 32
        {u"0x10", u"F", 1}, // prefix accepted: 16 and 15
        {u"abc", u"Abd", -1}, // both are hexadecimal numbers: 0xABC < 0xABD
        {u"2.5", u"10%", -1}, // decimal: 2.5 and 10
        {u"10%", u"9.5", 1}, // 10 and 9.5
        {u"-9999", u"30", -1}, // a sign makes it decimal, not a huge hexadecimal
        {u"-1", u"-2", 1}, {u"1e3", u"999.5", 1}, // both hexadecimal? "1e3" is, "999.5" is not: decimal 1000 > 999.5
        {u"4294967297", u"4294967296", 1}, // beyond 32 bits still ordered
        {u"2026-12-08 21:48:53", u"2026-12-08 9:00", 1}, {u"2026/1/2", u"2025/12/31", 1},
        {u"12/31/2025", u"2026-01-01", -1}, {u"9:05 PM", u"20:00", 1}, {u"abx", u"Aby", 1}, // exact text: 'a' > 'A'
        {u"b", u"ab", -1}, // both hexadecimal: 11 < 171, though "b" > "ab" as text
        {u"xyz", u"xyz", 0}, {u"", u"", 0}, {u"", u"x", -1}, {u"5", u"x", -1}, // no rule fits both: text, '5' < 'x'
        {u"2.5%%", u"3", -1}, // two "%" is no number: text, '2' < '3'
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Sign(ReportCellCompare::Compare(c.a, c.b)), c.order)
            << std::string(c.a, c.a + std::char_traits<char16_t>::length(c.a)) << " vs "
            << std::string(c.b, c.b + std::char_traits<char16_t>::length(c.b));
        EXPECT_EQ(Sign(ReportCellCompare::Compare(c.b, c.a)), -c.order);
    }
}

TEST(ReportCellCompare, HexadecimalMustConsumeTheWholeText)
{
    EXPECT_EQ(ReportCellCompare::ParseHex(u"ff"), 255u);
    EXPECT_EQ(ReportCellCompare::ParseHex(u"  0XfF"), 255u);
    EXPECT_EQ(ReportCellCompare::ParseHex(u"FFFFFFFFFFFFFFFF"), UINT64_MAX);
    for (const char16_t *text : {u"", u" ", u"0x", u"1 ", u"-1", u"+1", u"12g", u"1.0", u"10000000000000000", u"0x-1"})
        EXPECT_FALSE(ReportCellCompare::ParseHex(text).has_value())
            << std::string(text, text + std::char_traits<char16_t>::length(text));
}

TEST(ReportCellCompare, DecimalAllowsOneTrailingPercent)
{
    EXPECT_DOUBLE_EQ(*ReportCellCompare::ParseDecimal(u"10%"), 10.0);
    EXPECT_DOUBLE_EQ(*ReportCellCompare::ParseDecimal(u" -2.5"), -2.5);
    EXPECT_DOUBLE_EQ(*ReportCellCompare::ParseDecimal(u".5"), 0.5);
    EXPECT_DOUBLE_EQ(*ReportCellCompare::ParseDecimal(u"5."), 5.0);
    EXPECT_DOUBLE_EQ(*ReportCellCompare::ParseDecimal(u"1.5e2%"), 150.0);
    EXPECT_GT(*ReportCellCompare::ParseDecimal(u"1e999"), 1e300);
    EXPECT_DOUBLE_EQ(*ReportCellCompare::ParseDecimal(u"1e-999"), 0.0);
    for (const char16_t *text : {u"", u"%", u".", u"-", u"1%%", u"1 %", u"1e", u"nan", u"inf", u"1,5", u"1.2.3"})
        EXPECT_FALSE(ReportCellCompare::ParseDecimal(text).has_value())
            << std::string(text, text + std::char_traits<char16_t>::length(text));
}

TEST(ReportCellCompare, DatesAndTimesMustBeValid)
{
    EXPECT_TRUE(ReportCellCompare::ParseDateTime(u"2024-02-29").has_value());
    EXPECT_TRUE(ReportCellCompare::ParseDateTime(u"2024-02-29 23:59:59").has_value());
    EXPECT_TRUE(ReportCellCompare::ParseDateTime(u"12:30").has_value());
    EXPECT_EQ(
        *ReportCellCompare::ParseDateTime(u"2026-01-02") - *ReportCellCompare::ParseDateTime(u"2026-01-01"), 86400);
    EXPECT_EQ(*ReportCellCompare::ParseDateTime(u"12:00 AM"), *ReportCellCompare::ParseDateTime(u"0:00"));
    EXPECT_EQ(*ReportCellCompare::ParseDateTime(u"12:00 PM"), *ReportCellCompare::ParseDateTime(u"12:00"));
    for (const char16_t *text : {u"2023-02-29", u"2026-13-01", u"2026-00-10", u"24:00", u"12:60", u"2026-1-1 x",
             u"2026-1/1", u"13:00 PM", u"1:5", u"20261-01-01", u"99-01-01"})
        EXPECT_FALSE(ReportCellCompare::ParseDateTime(text).has_value())
            << std::string(text, text + std::char_traits<char16_t>::length(text));
}

} // namespace
