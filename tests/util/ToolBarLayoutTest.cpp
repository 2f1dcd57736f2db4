#include "util/ToolBarLayout.h"

#include <gtest/gtest.h>

namespace {

bool Known(UINT id) { return id >= 57600 && id < 57700; }

TEST(ToolBarLayoutTest, ReadsWhatItWritesAndDropsWhatNoToolbarCanShow)
{
    const std::vector<UINT> buttons {57600, 57603, 0, 57635, 0, 57607};
    EXPECT_EQ(ToolBarLayout::Format(buttons), u"57600,57603,0,57635,0,57607");
    EXPECT_EQ(ToolBarLayout::Parse(ToolBarLayout::Format(buttons), Known), buttons);
    EXPECT_EQ(ToolBarLayout::Parse(u"", Known), std::vector<UINT> {});
    // Unknown and doubled commands, and separators that separate nothing.
    EXPECT_EQ(ToolBarLayout::Parse(u"0,57600,0,0,126,57600, 57601 ,0", Known), (std::vector<UINT> {57600, 0, 57601}));
    EXPECT_EQ(ToolBarLayout::Parse(u"0,0", Known), std::vector<UINT> {});
}

TEST(ToolBarLayoutTest, TextThatIsNoListGivesNothingAndLongListsAreCut)
{
    for (const char16_t *bad : {u"57600,,57601", u"57600;57601", u"-1", u"123456", u"99999", u"1e3", u",", u"５"})
        EXPECT_FALSE(ToolBarLayout::Parse(bad, Known).has_value());
    wstring16 many;
    for (UINT id = 57600; id < 57700; ++id)
        many += ToolBarLayout::Format({id}) + u",0,";
    many += u"57600";
    const auto parsed = ToolBarLayout::Parse(many, Known);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_LE(parsed->size(), ToolBarLayout::kMaxButtons);
    EXPECT_NE(parsed->back(), 0u);
}

TEST(ToolBarLayoutTest, UserToolbarIdentifiersAreTheTenFromE828)
{
    EXPECT_EQ(ToolBarLayout::FreeUserToolBarId({0xE800}), 0xE828u);
    EXPECT_EQ(ToolBarLayout::FreeUserToolBarId({0xE800, 0xE828, 0xE82A}), 0xE829u);
    std::vector<UINT> all;
    for (UINT id = 0xE828; id <= 0xE831; ++id)
        all.push_back(id);
    EXPECT_EQ(ToolBarLayout::FreeUserToolBarId(all), 0u);
}

} // namespace
