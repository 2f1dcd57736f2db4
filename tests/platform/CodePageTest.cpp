#include "platform/CodePage.h"
#include "platform/Threading.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::u16string Decode(UINT cp, const std::string &bytes, DWORD flags = 0)
{
    const int n = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    if (n > 0) {
        EXPECT_EQ(n, MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), n));
    }
    return out;
}

std::string Encode(
    UINT cp, const std::u16string &text, DWORD flags = 0, const char *def = nullptr, BOOL *used = nullptr)
{
    const int count = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(cp, flags, text.data(), count, nullptr, 0, def, used);
    std::string out(static_cast<std::size_t>(n), '\0');
    if (n > 0) {
        EXPECT_EQ(n, WideCharToMultiByte(cp, flags, text.data(), count, out.data(), n, def, used));
    }
    return out;
}

struct ActiveCodePage {
    explicit ActiveCodePage(UINT cp) { CodePage::SetActiveCodePageForTest(cp); }
    ~ActiveCodePage() { CodePage::SetActiveCodePageForTest(0); }
};

} // namespace

TEST(CodePage, Utf8InvalidSequencesBecomeOneReplacementPerMaximalPiece)
{
    struct Case {
        std::string bytes;
        std::u16string text;
    };
    const Case cases[] = {
        {"abc", u"abc"},
        {"\xE4\xB8\xAD\xE6\x96\x87", u"中文"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"\xC0\x80", u"\uFFFD\uFFFD"}, // overlong NUL
        {"\xE2\x82"
         "A",
            u"\uFFFDA"}, // cut short, next byte kept
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}, // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xFF"
         "a\x80",
            u"\uFFFDa\uFFFD"},
        {"\xE4\xB8", u"\uFFFD"}, // cut at the end
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Decode(CP_UTF8, c.bytes), c.text) << c.bytes;
}

TEST(CodePage, Utf8StrictModeAndFlags)
{
    char16_t buffer[8] = {};
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, buffer, 8));
    EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, GetLastError());
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", 1, buffer, 8));
    EXPECT_EQ(ERROR_INVALID_FLAGS, GetLastError());
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, WC_COMPOSITECHECK, u"a", 1, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_FLAGS, GetLastError());
    BOOL used = FALSE;
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, u"a", 1, nullptr, 0, nullptr, &used));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
    // A lone surrogate cannot be UTF-8: it becomes U+FFFD.
    EXPECT_EQ(Encode(CP_UTF8, std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}

TEST(CodePage, TerminatorCountingAndSmallBuffers)
{
    char16_t wide[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(3, MultiByteToWideChar(CP_UTF8, 0, "ab", -1, nullptr, 0));
    EXPECT_EQ(3, MultiByteToWideChar(CP_UTF8, 0, "ab", -1, wide, 4));
    EXPECT_EQ(u'\0', wide[2]);
    char16_t small[2] = {u'x', u'x'};
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "abc", -1, small, 2));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    EXPECT_EQ(u'x', small[0]) << "nothing is written into a buffer that is too small";
    char narrow[2] = {'x', 'x'};
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, u"中", -1, narrow, 2, nullptr, nullptr));
    EXPECT_EQ('x', narrow[0]);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, nullptr, 0));
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "a", 0, nullptr, 0));
    EXPECT_EQ(0, MultiByteToWideChar(54321, 0, "a", 1, nullptr, 0)) << "unknown code page";
}

TEST(CodePage, Gbk)
{
    const std::string bytes = "\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4";
    EXPECT_EQ(Decode(936, bytes, MB_PRECOMPOSED), u"中文测试");
    EXPECT_EQ(Encode(936, u"中文测试"), bytes);
    EXPECT_EQ(Decode(936, "\x80"), u"€");
    // A bad lead byte is replaced and what follows it is read again.
    EXPECT_EQ(Decode(936, "\x81 a"), u"\uFFFD a");
    EXPECT_EQ(Decode(936, "a\xD6"), u"a\uFFFD");
    EXPECT_EQ(Decode(936, "\xFF"), u"\uFFFD");
    char16_t out[4];
    EXPECT_EQ(0, MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, "\xFF", 1, out, 4));
    EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, GetLastError());
}

TEST(CodePage, GbkReplacesWhatItCannotHold)
{
    BOOL used = FALSE;
    EXPECT_EQ(Encode(936, u"中a", 0, "#", &used),
        "\xD6\xD0"
        "a");
    EXPECT_FALSE(used);
    // Hangul, an emoji (one character of two units) and a lone surrogate.
    const std::u16string text = u"한\U0001F600" + std::u16string(1, char16_t(0xDC00)) + u"z";
    EXPECT_EQ(Encode(936, text, WC_COMPOSITECHECK | WC_SEPCHARS, "#", &used), "###z");
    EXPECT_TRUE(used);
    EXPECT_EQ(Encode(936, u"한", 0, nullptr, &used), "?");
}

TEST(CodePage, CompositeCheckJoinsLetterAndMark)
{
    const std::string macronA = Encode(936, u"\u0101");
    ASSERT_EQ(macronA.size(), 2u);
    EXPECT_EQ(Encode(936, u"a\u0304", WC_COMPOSITECHECK, "#"), macronA);
    // u with diaeresis and caron: two marks compose in turn.
    EXPECT_EQ(Encode(936, u"u\u0308\u030C", WC_COMPOSITECHECK, "#"), Encode(936, u"\u01DA"));
    EXPECT_EQ(Encode(936, u"a\u0304", 0, "#"), "a#");
}

TEST(CodePage, ActiveCodePage)
{
    {
        ActiveCodePage gbk(936);
        EXPECT_EQ(936u, GetACP());
        EXPECT_EQ(Encode(CP_ACP, u"中"), "\xD6\xD0");
    }
    const char *saved = std::getenv("LC_ALL");
    const std::string old = saved ? saved : "";
    setenv("LC_ALL", "zh_CN.GBK", 1);
    EXPECT_EQ(936u, GetACP()) << "the locale decides once no test fixes the code page";
    setenv("LC_ALL", "en_US.UTF-8", 1);
    EXPECT_EQ(65001u, GetACP());
    if (saved)
        setenv("LC_ALL", old.c_str(), 1);
    else
        unsetenv("LC_ALL");
    struct Case {
        const char *locale;
        UINT codePage;
    };
    const Case cases[] = {
        {"C.UTF-8", 65001},
        {"en_US.utf8", 65001},
        {"zh_CN.GBK", 936},
        {"zh_CN.gb2312", 936},
        {"zh_CN.GB18030", 936},
        {"zh_CN", 936},
        {"zh_TW.Big5", 950},
        {"de_DE.CP1252@euro", 1252},
        {"C", 65001},
        {"", 65001},
        {"POSIX", 65001},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CodePage::FromLocaleName(c.locale), c.codePage) << c.locale;
}

TEST(CodePage, IncompleteTail)
{
    struct Case {
        UINT codePage;
        std::string bytes;
        int tail;
    };
    const Case cases[] = {
        {65001, "ab", 0},
        {65001, "a\xE4", 1},
        {65001, "a\xE4\xB8", 2},
        {65001, "a\xE4\xB8\xAD", 0},
        {65001, "\xF0\x9F\x98", 3},
        {65001, "\x80\x80", 0},
        {936, "a\xD6", 1},
        {936, "\xD6\xD0", 0},
        {936, "\xD6\xD0\xD6", 1},
        {936,
            "\xD6"
            "a",
            0},
        {1252, "a\xE4", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CodePage::IncompleteTailLength(c.codePage, c.bytes.data(), static_cast<int>(c.bytes.size())), c.tail)
            << c.codePage << " " << c.bytes;
}
