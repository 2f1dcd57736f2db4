#include "catalogue/CCatalogue.h"
#include "catalogue/CatalogueAction.h"
#include "catalogue/CatalogueSite.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using WideString::FromUtf8;
using WideString::ToUtf8;

std::string DataPath(const std::string &name)
{
    const char *root = std::getenv("TESSALY_TEST_DATA");
    return std::string(root ? root : "tests/data") + "/catalogue/" + name;
}

std::string SourcePath(const std::string &name)
{
    const char *root = std::getenv("TESSALY_SOURCE_DIR");
    return std::string(root ? root : ".") + "/" + name;
}

void WriteBytes(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Catches the fatal message and the process end, so a failing load can be watched.
class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetMessageBoxSeam([this](HWND, const wstring16 &text, const wstring16 &, UINT) {
            messages.push_back(ToUtf8(text));
            return IDOK;
        });
        CCatalogue::SetProcessEnd([this](int code) { exitCodes.push_back(code); });
    }
    void TearDown() override
    {
        SetMessageBoxSeam({});
        CCatalogue::SetProcessEnd({});
    }

    bool Load(CCatalogue &catalogue, const std::filesystem::path &path)
    {
        return catalogue.LoadCatalogue(FromUtf8(path.string()));
    }

    std::vector<std::string> messages;
    std::vector<int> exitCodes;
    TempDir dir;
};

TEST_F(CatalogueTest, DefaultTemplateLoads)
{
    CCatalogue catalogue;
    ASSERT_TRUE(Load(catalogue, SourcePath("res/Config.xml")));
    EXPECT_TRUE(messages.empty());
    const XmlNode &root = catalogue.Root();
    EXPECT_EQ(root.name, u"game");

    std::vector<XmlNode *> sites = CCatalogue::Sites(root);
    ASSERT_EQ(sites.size(), 2u);
    EXPECT_EQ(CatalogueSite::Read(*sites[0]).name, u"Tessaly");
    EXPECT_EQ(CatalogueSite::Read(*sites[0]).id, u"1");
    EXPECT_FALSE(CatalogueSite::Read(*sites[0]).url.empty());
    EXPECT_EQ(CatalogueSite::Read(*sites[1]).name, u"网址大全");
    EXPECT_EQ(CatalogueSite::Read(*sites[1]).id, u"2");
    EXPECT_EQ(CCatalogue::Site(root, 2), nullptr);
    // The "Readme" note sits inside `property`, so it is no site.
    const XmlNode *notes = sites[0]->FindChild(u"property");
    ASSERT_NE(notes, nullptr);
    ASSERT_NE(notes->FindChild(u"item"), nullptr);
    EXPECT_EQ(*notes->FindChild(u"item")->AttributeValue(u"id"), u"Readme");
    EXPECT_NE(
        notes->FindChild(u"item")->ChildText(u"#CDATA", DefaultXmlTextOptions).find(u"languang"), std::u16string::npos);

    const XmlNode *hello = CCatalogue::ActionById(*sites[0], u"hello");
    ASSERT_NE(hello, nullptr);
    CatalogueAction a = CatalogueAction::Read(*hello);
    EXPECT_EQ(a.languang, u"javascript");
    EXPECT_EQ(a.desc, u"测试");
    EXPECT_FALSE(a.debug);
    EXPECT_FALSE(a.disable);
    EXPECT_EQ(a.reTryCount, 3);
    EXPECT_EQ(a.bDoCount, 1);
    EXPECT_EQ(a.loopCount, 0);
    EXPECT_EQ(a.loopCountText, u"0");
    EXPECT_EQ(a.loopDifTime, 0);
    EXPECT_EQ(a.iSleep, 0);
    EXPECT_EQ(a.px1 | a.py1 | a.px2 | a.py2 | a.doFlashIndex, 0);
    EXPECT_NE(a.body.find(u"alert(\"hello word.\")"), std::u16string::npos);
    EXPECT_FALSE(a.IsMouseAction());
    EXPECT_EQ(CCatalogue::EnabledAction(*sites[0], 0), hello);

    const XmlNode *reload = CCatalogue::ActionById(*sites[1], u"reload");
    ASSERT_NE(reload, nullptr);
    CatalogueAction r = CatalogueAction::Read(*reload);
    EXPECT_EQ(r.desc, u"刷新页面");
    EXPECT_EQ(r.body, u"window.location.reload();");
    EXPECT_EQ(r.reTryCount, 3);
    EXPECT_EQ(CCatalogue::ActionById(*sites[1], u"hello"), nullptr);
}

TEST_F(CatalogueTest, ToolWrittenUtf16FileLoads)
{
    CCatalogue catalogue;
    ASSERT_TRUE(Load(catalogue, DataPath("tools-utf16.xml")));
    const XmlNode *site = CCatalogue::Site(catalogue.Root(), 0);
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(CatalogueSite::Read(*site).name, u"录制");
    EXPECT_EQ(CatalogueSite::Read(*site).url, u"http://127.0.0.1/practice.html");

    const XmlNode *click = CCatalogue::ActionById(*site, u"click1");
    ASSERT_NE(click, nullptr);
    CatalogueAction c = CatalogueAction::Read(*click);
    EXPECT_TRUE(c.IsMouseAction());
    EXPECT_EQ(c.px1, 120);
    EXPECT_EQ(c.py2, 45);
    EXPECT_EQ(c.doFlashIndex, -1);
    EXPECT_EQ(c.iSleep, 3);
    EXPECT_EQ(c.loopCount, 2);
    EXPECT_EQ(c.loopDifTime, 5);
    EXPECT_EQ(c.desc, u"点击按钮");
    EXPECT_EQ(c.languang, u"");

    CatalogueAction js = CatalogueAction::Read(*CCatalogue::ActionById(*site, u"js1"));
    EXPECT_EQ(js.languang, u"jscript");
    EXPECT_EQ(js.body, u"document.title = \"a < b && c\";");
    EXPECT_EQ(js.bDoCount, 4);
    EXPECT_FALSE(js.IsMouseAction());

    CatalogueAction drag = CatalogueAction::Read(*CCatalogue::ActionById(*site, u"drag"));
    EXPECT_TRUE(drag.IsMouseAction());
    EXPECT_EQ(drag.px2, 300);
    EXPECT_EQ(drag.py2, 400);
    EXPECT_EQ(drag.doFlashIndex, 2);
}

TEST_F(CatalogueTest, MissingAndDamagedFilesEndTheProcess)
{
    const std::filesystem::path absent = dir / "absent.xml";
    {
        CCatalogue catalogue;
        EXPECT_FALSE(Load(catalogue, absent));
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], "配置文件没有找到：" + absent.string());
    }
    {
        CCatalogue catalogue;
        catalogue.SetPath(FromUtf8(absent.string()));
        EXPECT_FALSE(catalogue.ParseCatalogue());
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(messages[1], "没有找到配置文件：" + absent.string());
    }
    {
        CCatalogue catalogue;
        EXPECT_FALSE(Load(catalogue, DataPath("damaged.xml")));
        ASSERT_EQ(messages.size(), 3u);
        EXPECT_EQ(messages[2], "配置文件格式被破坏：" + DataPath("damaged.xml"));
        EXPECT_TRUE(catalogue.Root().children.empty());
    }
    const std::string damaged[] = {
        "",
        "no markup at all",
        "\xEF\xBB\xBF",
        "<game><item name=\"a\"></item",
        "<game><item x></game>",
        "<game><!-- open",
        "<game",
        std::string("\xFF\xFE<\0g\0", 6),
    };
    for (const std::string &bytes : damaged) {
        SCOPED_TRACE(bytes);
        WriteBytes(dir / "bad.xml", bytes);
        CCatalogue catalogue;
        std::size_t before = messages.size();
        EXPECT_FALSE(Load(catalogue, dir / "bad.xml"));
        ASSERT_EQ(messages.size(), before + 1);
        EXPECT_EQ(messages.back(), "配置文件格式被破坏：" + (dir / "bad.xml").string());
    }
    {
        // A folder exists but reads as nothing: damaged, not missing.
        std::filesystem::create_directory(dir / "folder.xml");
        CCatalogue catalogue;
        EXPECT_FALSE(Load(catalogue, dir / "folder.xml"));
        EXPECT_EQ(messages.back(), "配置文件格式被破坏：" + (dir / "folder.xml").string());
    }
    EXPECT_EQ(exitCodes, std::vector<int>(exitCodes.size(), 1));
    EXPECT_EQ(exitCodes.size(), messages.size());
}

TEST_F(CatalogueTest, ReloadReplacesTheTree)
{
    WriteBytes(dir / "one.xml", "<game><item name=\"A\"/><item name=\"B\"/></game>");
    WriteBytes(dir / "two.xml", "<?xml version=\"1.0\"?>\n<game>\n<item name=\"C\"/>\n</game>\n");
    CCatalogue catalogue;
    ASSERT_TRUE(Load(catalogue, dir / "one.xml"));
    EXPECT_EQ(CCatalogue::Sites(catalogue.Root()).size(), 2u);
    ASSERT_TRUE(Load(catalogue, dir / "two.xml"));
    std::vector<XmlNode *> sites = CCatalogue::Sites(catalogue.Root());
    ASSERT_EQ(sites.size(), 1u);
    EXPECT_EQ(*sites[0]->AttributeValue(u"name"), u"C");
    EXPECT_EQ(catalogue.Path(), FromUtf8((dir / "two.xml").string()));
    // Tolerant: a stray closing tag is skipped rather than failing the file.
    WriteBytes(dir / "stray.xml", "<game><item name=\"D\"></event></item></game>");
    ASSERT_TRUE(Load(catalogue, dir / "stray.xml"));
    EXPECT_EQ(CCatalogue::Sites(catalogue.Root()).size(), 1u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(CatalogueTest, LookupsFollowTheSchema)
{
    WriteBytes(dir / "c.xml", R"(<?xml version="1.0" encoding="utf-8"?>
<game>
  <item name="first" Url="u1">
    <property><item id="Readme"><![CDATA[note]]></item></property>
    <event>
      <action id="A" desc="a" disable="false" loopCount="7x" loopDifTime="abc" reTryCount="-2" bDoCount="+3"><![CDATA[ one ]]></action>
      <action id="B" desc="b" disable="TRUE"><![CDATA[
        DoClick
      ]]></action>
      <action id="C" desc="c" disable="yes" debug="True"><![CDATA[DoScroll]]></action>
      <action id="a" desc="lower" disable="tRuE"/>
      <action id="C" desc="second C"/>
      <action desc="no id"><![CDATA[doclick]]><![CDATA[DoClick]]></action>
      <other id="A"/>
    </event>
    <event><action id="Z" desc="second event"/></event>
  </item>
  <notitem name="not a site"/>
  <item name="no event"/>
  <item name="empty event"><event/></item>
</game>
)");
    CCatalogue catalogue;
    ASSERT_TRUE(Load(catalogue, dir / "c.xml"));
    const XmlNode &root = catalogue.Root();
    std::vector<XmlNode *> sites = CCatalogue::Sites(root);
    ASSERT_EQ(sites.size(), 3u);
    EXPECT_EQ(CCatalogue::Site(root, 1), sites[1]);
    EXPECT_EQ(CCatalogue::Site(root, -1), nullptr);
    EXPECT_EQ(CCatalogue::Site(root, 3), nullptr);
    const XmlNode &site = *sites[0];

    ASSERT_NE(CCatalogue::SiteEvent(site), nullptr);
    EXPECT_EQ(CCatalogue::Actions(*CCatalogue::SiteEvent(site)).size(), 6u);
    EXPECT_EQ(CCatalogue::ActionById(site, u"Z"), nullptr);

    // Disabled in any letter case is hidden; any other word is not.
    std::vector<XmlNode *> enabled = CCatalogue::EnabledActions(site);
    std::vector<std::u16string> ids;
    for (XmlNode *a : enabled)
        ids.push_back(CatalogueAction::Read(*a).desc);
    EXPECT_EQ(ids, (std::vector<std::u16string> {u"a", u"c", u"second C", u"no id"}));
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(CCatalogue::EnabledAction(site, k), enabled[static_cast<std::size_t>(k)]);
    EXPECT_EQ(CCatalogue::EnabledAction(site, 4), nullptr);
    EXPECT_EQ(CCatalogue::EnabledAction(site, -1), nullptr);

    // By id: exact and case-sensitive, first match, disabled ones too.
    EXPECT_EQ(CatalogueAction::Read(*CCatalogue::ActionById(site, u"C")).desc, u"c");
    EXPECT_EQ(CatalogueAction::Read(*CCatalogue::ActionById(site, u"a")).desc, u"lower");
    EXPECT_EQ(CatalogueAction::Read(*CCatalogue::ActionById(site, u"B")).desc, u"b");
    EXPECT_EQ(CatalogueAction::Read(*CCatalogue::ActionById(site, u"")).desc, u"no id");
    EXPECT_EQ(CCatalogue::ActionById(site, u"c"), nullptr);
    EXPECT_EQ(CCatalogue::ActionById(site, u"A "), nullptr);

    CatalogueAction a = CatalogueAction::Read(*CCatalogue::ActionById(site, u"A"));
    EXPECT_EQ(a.loopCount, 7);
    EXPECT_EQ(a.loopCountText, u"7x");
    EXPECT_EQ(a.loopDifTime, 0);
    EXPECT_EQ(a.reTryCount, -2);
    EXPECT_EQ(a.bDoCount, 3);
    EXPECT_EQ(a.body, u"one");
    EXPECT_FALSE(a.debug);

    CatalogueAction b = CatalogueAction::Read(*CCatalogue::ActionById(site, u"B"));
    EXPECT_TRUE(b.disable);
    EXPECT_EQ(b.body, u"DoClick");
    EXPECT_TRUE(b.IsMouseAction());
    CatalogueAction c = CatalogueAction::Read(*CCatalogue::ActionById(site, u"C"));
    EXPECT_TRUE(c.debug);
    EXPECT_FALSE(c.disable);
    EXPECT_TRUE(c.IsMouseAction());
    // The body is the first section only, compared case-sensitively.
    CatalogueAction noId = CatalogueAction::Read(*CCatalogue::ActionById(site, u""));
    EXPECT_EQ(noId.body, u"doclick");
    EXPECT_FALSE(noId.IsMouseAction());
    EXPECT_EQ(CatalogueAction::Read(*CCatalogue::ActionById(site, u"a")).body, u"");

    EXPECT_EQ(CCatalogue::SiteEvent(*sites[1]), nullptr);
    EXPECT_TRUE(CCatalogue::EnabledActions(*sites[1]).empty());
    EXPECT_EQ(CCatalogue::EnabledAction(*sites[1], 0), nullptr);
    EXPECT_EQ(CCatalogue::ActionById(*sites[1], u""), nullptr);
    EXPECT_TRUE(CCatalogue::EnabledActions(*sites[2]).empty());
    EXPECT_EQ(CCatalogue::ActionById(*sites[2], u"A"), nullptr);

    for (const char16_t *body : {u"DoClick", u"DoDraw", u"DoScroll"})
        EXPECT_TRUE(CCatalogue::IsMouseBody(body));
    for (const char16_t *body : {u"doclick", u"DoClick;", u"", u"DoScrol", u" DoDraw"})
        EXPECT_FALSE(CCatalogue::IsMouseBody(body));
}

TEST_F(CatalogueTest, ThousandsOfSitesAndActions)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<game>\r\n";
    for (int s = 0; s < 2000; ++s) {
        xml += "<item name=\"站点" + std::to_string(s) + "\" Id=\"" + std::to_string(s) + "\" Url=\"\"><event>\r\n";
        for (int a = 0; a < 5; ++a)
            xml += "<action id=\"e" + std::to_string(a) + "\" desc=\"&lt;" + std::to_string(s * 5 + a) +
                "&gt;\" disable=\"" + (a == 1 ? "true" : "false") + "\" px1=\"" + std::to_string(a) +
                "\"><![CDATA[run(" + std::to_string(a) + ") ]] < ]]></action>\r\n";
        xml += "</event></item>\r\n";
    }
    xml += "</game>\r\n";
    WriteBytes(dir / "big.xml", xml);
    CCatalogue catalogue;
    ASSERT_TRUE(Load(catalogue, dir / "big.xml"));
    const XmlNode &root = catalogue.Root();
    ASSERT_EQ(CCatalogue::Sites(root).size(), 2000u);
    const XmlNode *last = CCatalogue::Site(root, 1999);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(CatalogueSite::Read(*last).name, u"站点1999");
    EXPECT_EQ(CCatalogue::EnabledActions(*last).size(), 4u);
    CatalogueAction a = CatalogueAction::Read(*CCatalogue::EnabledAction(*last, 3));
    EXPECT_EQ(a.id, u"e4");
    EXPECT_EQ(a.desc, u"<9999>");
    EXPECT_EQ(a.px1, 4);
    EXPECT_EQ(a.body, u"run(4) ]] <");
}

TEST_F(CatalogueTest, SnapshotOutlivesReloadOnAnotherThread)
{
    WriteBytes(dir / "one.xml",
        "<game><item><event><action id=\"x\" px1=\"1\"><![CDATA[DoClick]]></action></event></item></game>");
    WriteBytes(dir / "two.xml",
        "<game><item><event><action id=\"x\" px1=\"2\"><![CDATA[DoDraw]]></action></event></item></game>");
    CCatalogue catalogue;
    ASSERT_TRUE(Load(catalogue, dir / "one.xml"));
    std::atomic<bool> stop {false};
    std::atomic<int> reads {0};
    std::atomic<int> wrong {0};
    std::thread reader([&] {
        while (!stop.load()) {
            std::shared_ptr<const XmlNode> root = catalogue.Snapshot();
            const XmlNode *site = CCatalogue::Site(*root, 0);
            const XmlNode *action = site ? CCatalogue::ActionById(*site, u"x") : nullptr;
            if (!action) {
                ++wrong;
                continue;
            }
            CatalogueAction a = CatalogueAction::Read(*action);
            // A snapshot is always one whole file, never a mix of two.
            if (!((a.px1 == 1 && a.body == u"DoClick") || (a.px1 == 2 && a.body == u"DoDraw")))
                ++wrong;
            ++reads;
        }
    });
    for (int i = 0; i < 300 || reads.load() < 100; ++i)
        ASSERT_TRUE(Load(catalogue, dir / (i % 2 ? "one.xml" : "two.xml")));
    stop = true;
    reader.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_TRUE(messages.empty());
}

TEST(CatalogueProcess, MissingCatalogueExitsWithCodeOne)
{
    // Nothing injected: the real message goes to standard error and the process ends.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    SetMessageBoxSeam({});
    CCatalogue::SetProcessEnd({});
    EXPECT_EXIT(
        {
            CCatalogue catalogue;
            catalogue.SetPath(u"/nonexistent-folder-of-tessaly/Config.xml");
            catalogue.ParseCatalogue();
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "nonexistent-folder-of-tessaly/Config.xml");
}

} // namespace
