#include "platform/WideString.h"

#include <gtest/gtest.h>

TEST(WideString, IntegerRuleReadsSignAndLeadingDigitsOnly)
{
    struct Case {
        std::u16string text;
        int value;
    } cases[] = {
        {u"", 0},
        {u"abc", 0},
        {u"12abc", 12},
        {u"-7", -7},
        {u"+8", 8},
        {u"  42", 42},
        {u"-", 0},
        {u"--3", 0},
        {u"3.9", 3},
        {u"-9999", -9999},
        {u"2147483647", 2147483647},
        {u"99999999999", 2147483647},
        {u"-99999999999", -2147483647 - 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(WideString::ToInt(c.text), c.value) << WideString::ToUtf8(c.text);
}

TEST(WideString, TrimLowerAndFormat)
{
    EXPECT_EQ(WideString::Trim(u" \t\r\n x y \n"), u"x y");
    EXPECT_EQ(WideString::Trim(u"   "), u"");
    EXPECT_EQ(WideString::ToLower(u"TRUE JScript"), u"true jscript");
    EXPECT_EQ(WideString::FromInt(-9999), u"-9999");
    EXPECT_EQ(WideString::FromUnsigned(4294967295u), u"4294967295");
}

TEST(WideString, Utf8RoundTripAndInvalidBytes)
{
    const std::u16string text = u"配置文件 \U0001F600 x";
    EXPECT_EQ(WideString::FromUtf8(WideString::ToUtf8(text)), text);
    // Truncated sequences, stray continuation bytes, overlong forms and encoded
    // surrogates each become U+FFFD; nothing around them is dropped.
    EXPECT_EQ(WideString::FromUtf8("a\xE4\xBD"), u"a\uFFFD");
    EXPECT_EQ(WideString::FromUtf8("\x80z"), u"\uFFFDz");
    EXPECT_EQ(WideString::FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(WideString::FromUtf8("\xED\xA0\x80q"), u"\uFFFD\uFFFD\uFFFDq");
    EXPECT_EQ(WideString::ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
}
