// What lists and combo boxes show of a text: whole up to the bound, then cut
// with an ellipsis, never inside a surrogate pair.

#include "util/DisplayText.h"

#include <gtest/gtest.h>

TEST(DisplayText, ShortTextsAreShownWholeAndLongOnesCut)
{
    const std::size_t max = DisplayText::kMaxUnits;
    EXPECT_EQ(DisplayText::Shorten(u""), u"");
    const wstring16 atBound(max, u'字');
    EXPECT_EQ(DisplayText::Shorten(atBound), atBound);
    const wstring16 longer(max + 1, u'x');
    EXPECT_EQ(DisplayText::Shorten(longer), wstring16(max, u'x') + u"\u2026");
    const wstring16 huge(50u << 20, u'y');
    EXPECT_EQ(DisplayText::Shorten(huge).size(), max + 1);

    // A pair across the cut is left out whole.
    wstring16 pair(max - 1, u'a');
    pair += u"\U0001F600tail";
    EXPECT_EQ(DisplayText::Shorten(pair), wstring16(max - 1, u'a') + u"\u2026");
    wstring16 before(max - 2, u'a');
    before += u"\U0001F600tail";
    EXPECT_EQ(DisplayText::Shorten(before), wstring16(max - 2, u'a') + u"\U0001F600\u2026");
}
