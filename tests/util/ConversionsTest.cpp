#include "util/Conversions.h"
#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <string>

using namespace KorrinUtilsFuns;

namespace {
struct ActiveCodePage {
    explicit ActiveCodePage(UINT cp) { CodePage::SetActiveCodePageForTest(cp); }
    ~ActiveCodePage() { CodePage::SetActiveCodePageForTest(0); }
};
} // namespace

TEST(Conversions, ToUnicode)
{
    char16_t target[8];
    std::fill(std::begin(target), std::end(target), u'x');
    EXPECT_EQ(2, MultiByteToUnicode("\xD6\xD0\xCE\xC4", target, 8, 936));
    EXPECT_EQ(std::u16string(target), u"中文");
    EXPECT_EQ(u'\0', target[7]) << "the whole target is zeroed first";
    EXPECT_EQ(2, MultiByteToUnicode("\xE4\xB8\xAD\xE6\x96\x87", target, 8, 65001));
    EXPECT_EQ(std::u16string(target), u"中文");
    {
        ActiveCodePage gbk(936);
        EXPECT_EQ(1, MultiByteToUnicode("\xD6\xD0", target, 8, -1));
        EXPECT_EQ(std::u16string(target), u"中");
    }
    EXPECT_EQ(0, MultiByteToUnicode("abcdefghij", target, 8, 65001)) << "does not fit";
    EXPECT_EQ(u'\0', target[0]);
    EXPECT_EQ(0, MultiByteToUnicode(nullptr, target, 8, 65001));
    EXPECT_EQ(0, MultiByteToUnicode("a", nullptr, 8, 65001));
    EXPECT_EQ(0, MultiByteToUnicode("a", target, 0, 65001));
    EXPECT_EQ(0, MultiByteToUnicode("a", target, 8, 4242));
}

TEST(Conversions, ToMultiByteWithHashForTheUnholdable)
{
    char target[16];
    EXPECT_EQ(5, UnicodeToMultiByte(u"中文한", target, 16, 936));
    EXPECT_EQ(std::string(target), "\xD6\xD0\xCE\xC4#");
    EXPECT_EQ(6, GetMultiByteLength(u"中文한", 936));
    EXPECT_EQ(9, UnicodeToMultiByte(u"中文한", target, 16, 65001));
    EXPECT_EQ(std::string(target), "\xE4\xB8\xAD\xE6\x96\x87\xED\x95\x9C");
    EXPECT_EQ(10, GetMultiByteLength(u"中文한", 65001));
    {
        ActiveCodePage gbk(936);
        EXPECT_EQ(3, UnicodeToMultiByte(u"a\u0304b", target, 16, -1)) << "letter and mark join";
        EXPECT_EQ(4, GetMultiByteLength(u"a\u0304b", -1));
    }
    EXPECT_EQ(0, UnicodeToMultiByte(u"中文", target, 3, 65001));
    EXPECT_EQ('\0', target[0]);
    EXPECT_EQ(0, UnicodeToMultiByte(nullptr, target, 16, 65001));
    EXPECT_EQ(0, UnicodeToMultiByte(u"a", target, 0, 65001));
    EXPECT_EQ(0, GetMultiByteLength(nullptr, 65001));
    EXPECT_EQ(1, GetMultiByteLength(u"", 65001));
}
