#include "tools/TempCatalogue.h"
#include "catalogue/CCatalogue.h"
#include "catalogue/CatalogueAction.h"
#include "tests/common/TempDir.h"
#include "tests/util/TestBytes.h"
#include "tools/ActionRow.h"
#include "util/FileFunctions.h"

#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>

namespace {

const std::u16string kHeader =
    u"<?xml version=\"1.0\" encoding=\"utf-8\"?><game><item name=\"Tessaly\" Id=\"1\" Url=\"http://h/p\"><event>";
const std::u16string kFooter = u"</event></item></game>";

TempCatalogue::Action Click(std::u16string desc)
{
    TempCatalogue::Action a;
    a.id = u"id7";
    a.px1 = u"10";
    a.px2 = u"10";
    a.py1 = u"20";
    a.py2 = u"20";
    a.desc = std::move(desc);
    a.reTryCount = u"3";
    a.bDoCount = u"1";
    a.loopCount = u"0";
    a.loopDifTime = u"0";
    a.doFlashIndex = u"-1";
    a.iSleep = u"5";
    a.body = u"DoClick";
    return a;
}

std::u16string Compose(const std::vector<TempCatalogue::Action> &actions, TempCatalogue::Form form)
{
    return TempCatalogue::Compose(u"http://h/p", actions, form).value_or(u"<failed>");
}

} // namespace

TEST(TempCatalogue, TextIsLaidOutAsTheCatalogueReaderExpects)
{
    EXPECT_EQ(Compose({}, TempCatalogue::Form::Recorder), kHeader + kFooter);
    EXPECT_EQ(Compose({}, TempCatalogue::Form::Editor), kHeader + kFooter);

    const std::u16string attributes = u"id=\"id7\" px1=\"10\" px2=\"10\" py1=\"20\" py2=\"20\" debug=\"false\" "
                                      u"disable=\"false\" desc=\"a点击\" reTryCount=\"3\" bDoCount=\"1\" "
                                      u"loopCount=\"0\" loopDifTime=\"0\" doFlashIndex=\"-1\" iSleep=\"5\"";
    EXPECT_EQ(Compose({Click(u"a点击")}, TempCatalogue::Form::Recorder),
        kHeader + u"\r\n<action " + attributes + u"><![CDATA[DoClick]]></action>\r\n" + kFooter);
    // The editor's form: a blank where the language would be, so two before id.
    EXPECT_EQ(Compose({Click(u"a点击")}, TempCatalogue::Form::Editor),
        kHeader + u"\r\n<action  " + attributes + u"><![CDATA[DoClick]]></action>\r\n" + kFooter);

    TempCatalogue::Action script = Click(u"s");
    script.body = u"if (a < b && c) { x = \"]]\"; }";
    script.language = u"vbscript";
    const std::u16string text = Compose({script, Click(u"b")}, TempCatalogue::Form::Editor);
    EXPECT_NE(text.find(u"\r\n<action languang=\"vbscript\" id=\"id7\""), std::u16string::npos);
    EXPECT_NE(
        text.find(u"<![CDATA[if (a < b && c) { x = \"]]\"; }]]></action>\r\n\r\n<action  id="), std::u16string::npos);
    // The recorder has no language place at all.
    EXPECT_EQ(Compose({script}, TempCatalogue::Form::Recorder).find(u"languang"), std::u16string::npos);
}

TEST(TempCatalogue, ValuesComeBackUnchangedThroughTheCatalogueLoader)
{
    TempDir dir;
    const std::u16string desc = u"say \"hi\" <b> & 'x' \\ end\\";
    TempCatalogue::Action a = Click(desc);
    a.body = u"window.v = \"a\\n\" + '<&>';";
    a.language = u"javascript";
    const std::u16string url = u"http://h/p?a=1&b=\"2\"";
    const auto text = TempCatalogue::Compose(url, {a, Click(u"plain")}, TempCatalogue::Form::Editor);
    ASSERT_TRUE(text);
    const auto path = TestBytes::Wide(dir / "t.xml");
    ASSERT_TRUE(TempCatalogue::Write(path, *text));

    CCatalogue::SetProcessEnd([](int) {});
    CCatalogue catalogue;
    const bool loaded = catalogue.LoadCatalogue(path);
    CCatalogue::SetProcessEnd({});
    ASSERT_TRUE(loaded);
    const XmlNode *site = CCatalogue::Site(catalogue.Root(), 0);
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(*site->AttributeValue(u"Url"), url);
    const std::vector<XmlNode *> actions = CCatalogue::EnabledActions(*site);
    ASSERT_EQ(actions.size(), 2u);
    const CatalogueAction first = CatalogueAction::Read(*actions[0]);
    EXPECT_EQ(first.desc, desc);
    EXPECT_EQ(first.body, a.body);
    EXPECT_EQ(first.languang, u"javascript");
    EXPECT_EQ(first.iSleep, 5);
    EXPECT_EQ(first.doFlashIndex, -1);
    EXPECT_EQ(CatalogueAction::Read(*actions[1]).desc, u"plain");

    // The table's import reads the same file the same way.
    wstring16 read;
    ASSERT_TRUE(KorrinUtilsFuns::ReadTextFile(path, read, 65001));
    const auto rows = TempCatalogue::ReadActions(read);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_EQ((*rows)[0].desc, desc);
    EXPECT_EQ((*rows)[0].body, a.body);
}

TEST(TempCatalogue, ABodyThatWouldEndItsSectionIsRefusedWithItsRow)
{
    TempCatalogue::Action bad = Click(u"b");
    bad.body = u"var s = 'a]]>b';";
    std::size_t row = 99;
    EXPECT_FALSE(TempCatalogue::Compose(u"", {Click(u"a"), bad}, TempCatalogue::Form::Editor, &row));
    EXPECT_EQ(row, 1u);
}

TEST(TempCatalogue, WriteReplacesTheFileWholeOrLeavesItAlone)
{
    TempDir dir;
    const auto path = dir / "c.xml";
    TestBytes::Write(path, std::string(5000, 'x'));
    ASSERT_TRUE(TempCatalogue::Write(TestBytes::Wide(path), u"<a>测</a>"));
    EXPECT_EQ(TestBytes::Read(path), std::string("\xFF\xFE", 2) + TestBytes::Utf16(u"<a>测</a>"));
    EXPECT_FALSE(std::filesystem::exists(dir / "c.xml.new~"));

    // A read-only file is not replaced, also for root.
    chmod(path.c_str(), 0444);
    EXPECT_FALSE(TempCatalogue::Write(TestBytes::Wide(path), u"new"));
    EXPECT_EQ(TestBytes::Read(path), std::string("\xFF\xFE", 2) + TestBytes::Utf16(u"<a>测</a>"));
    // A folder that does not exist.
    EXPECT_FALSE(TempCatalogue::Write(TestBytes::Wide(dir / "missing" / "c.xml"), u"new"));
}

TEST(TempCatalogue, ImportWalksItemsUntilOneHasNoEvent)
{
    const std::u16string items =
        u"<game>"
        u"<item name=\"a\"><event>"
        u"<action desc=\"s\"><![CDATA[go()]]></action>"
        u"<action desc=\"v\" languang=\"vbscript\"><![CDATA[x]]></action>"
        u"<action desc=\"c\" px1=\"4\" py2=\"-3\" doFlashIndex=\"0\"><![CDATA[DoClick]]></action>"
        u"<action desc=\"empty\"/>"
        u"</event></item>"
        u"<item name=\"b\"/>"
        u"<item name=\"c\"><event><action><![CDATA[late()]]></action></event></item>"
        u"</game>";
    const auto rows = TempCatalogue::ReadActions(items);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 4u);
    EXPECT_EQ((*rows)[0].language, u"javascript");
    EXPECT_EQ((*rows)[1].language, u"vbscript");
    EXPECT_EQ((*rows)[2].language, u"");
    EXPECT_EQ((*rows)[2].x1, 4);
    EXPECT_EQ((*rows)[2].y2, -3);
    EXPECT_EQ((*rows)[2].flashIndex, 0);
    EXPECT_EQ((*rows)[2].retry, 0);
    // No CDATA: an empty body, which is a script.
    EXPECT_EQ((*rows)[3].body, u"");
    EXPECT_EQ((*rows)[3].language, u"javascript");

    const auto none = TempCatalogue::ReadActions(u"<game><item/><item><event><action/></event></item></game>");
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
    EXPECT_FALSE(TempCatalogue::ReadActions(u"<game><item></game"));
}

TEST(ActionRow, KindWordsAndIdsThatStayUnique)
{
    EXPECT_EQ(ActionRow::KindWord(u"DoDraw"), u"散点");
    EXPECT_EQ(ActionRow::KindWord(u"DoScroll"), u"滚动");
    EXPECT_EQ(ActionRow::KindWord(u"DoClick"), u"点击");
    EXPECT_EQ(ActionRow::KindWord(u"alert(1)"), u"点击");
    EXPECT_FALSE(ActionRow::IsRecordWord(u"doclick"));
    EXPECT_FALSE(ActionRow::IsRecordWord(u" DoClick"));

    std::set<std::u16string> taken;
    const auto isTaken = [&](const std::u16string &id) { return taken.count(id) > 0; };
    for (int i = 0; i < 3; ++i)
        taken.insert(ActionRow::NewId(1000, isTaken));
    EXPECT_EQ(taken, (std::set<std::u16string> {u"id1000", u"id1001", u"id1002"}));
    // The tick count read as "%i": past 2^31 it is negative, and wraps past the top.
    EXPECT_EQ(ActionRow::NewId(0xFFFFFFFFu, {}), u"id-1");
    std::set<std::u16string> top {u"id2147483647"};
    EXPECT_EQ(
        ActionRow::NewId(0x7FFFFFFFu, [&](const std::u16string &id) { return top.count(id) > 0; }), u"id-2147483648");
}
