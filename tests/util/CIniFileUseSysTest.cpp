#include "util/CIniFileUseSys.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "tests/common/TempDir.h"
#include "tests/util/TestBytes.h"
#include "util/FileFunctions.h"

#include <gtest/gtest.h>

using namespace KorrinUtilsFuns;
using TestBytes::Utf16;
using TestBytes::Wide;

namespace {

class IniFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        CodePage::SetActiveCodePageForTest(CP_UTF8);
        TestBytes::Write(dir / "Orvane.exe", "");
        FileSystem::SetModuleFileNameForTest(Wide(dir / "Orvane.exe"));
    }
    void TearDown() override
    {
        FileSystem::SetModuleFileNameForTest(u"");
        CodePage::SetActiveCodePageForTest(0);
    }
    std::u16string Folder() const { return Wide(dir.Path()) + u"/"; }

    TempDir dir;
};

} // namespace

TEST_F(IniFile, DefaultPathFollowsTheExecutable)
{
    EXPECT_EQ(CIniFileUseSys().GetIniFile(), Folder() + u"Orvane.ini");
    TestBytes::Write(dir / "tessaly", "");
    FileSystem::SetModuleFileNameForTest(Wide(dir / "tessaly"));
    EXPECT_EQ(CIniFileUseSys().GetIniFile(), Folder() + u"tessaly.ini");
    EXPECT_FALSE(g_IniFile.GetIniFile().empty());
}

TEST_F(IniFile, SetIniFileNameRules)
{
    struct Case {
        LPCWSTR name;
        std::u16string path;
    };
    const Case cases[] = {
        {u"x.INI", Folder() + u"x.INI"},
        {u"x", Folder() + u"x.ini"},
        {u".ini", Folder() + u".ini.ini"},
        {u"  Orvane.ini \t", Folder() + u"Orvane.ini"},
        {u"x.ini.bak", Folder() + u"x.ini.bak.ini"},
        {u"/etc/tessaly/a.Ini", u"/etc/tessaly/a.Ini"},
        {u"sub/b", u"sub/b.ini"},
    };
    for (const Case &c : cases) {
        CIniFileUseSys ini;
        EXPECT_TRUE(ini.SetIniFile(c.name));
        EXPECT_EQ(ini.GetIniFile(), c.path);
    }
    CIniFileUseSys ini;
    const auto before = ini.GetIniFile();
    EXPECT_FALSE(ini.SetIniFile(nullptr));
    EXPECT_EQ(ini.GetIniFile(), before);
}

TEST_F(IniFile, WrittenValuesReadBackThroughAnotherObject)
{
    CIniFileUseSys writer;
    ASSERT_TRUE(writer.SetIniFile(u"Orvane.ini"));
    // First start: the file holds only "[MAIN]" as UTF-16LE.
    WriteTextFile(writer.GetIniFile(), u"[MAIN]", true, false);
    EXPECT_EQ(0, writer.ReadInt(u"MAIN", u"HotkeyVK", 0));
    writer.WriteValue(u"MAIN", u"HotkeyVK", u"70");
    writer.WriteValue(u"MAIN", u"HotkeySystem", u"6");

    CIniFileUseSys reader;
    ASSERT_TRUE(reader.SetIniFile(u"Orvane"));
    EXPECT_EQ(70, reader.ReadInt(u"MAIN", u"HotkeyVK", 0));
    EXPECT_EQ(6, reader.ReadInt(u"main", u"hotkeysystem", 0));
    EXPECT_EQ(-3, reader.ReadInt(u"MAIN", u"Missing", -3));
    EXPECT_EQ(TestBytes::Read(dir / "Orvane.ini"), "\xFF\xFE" + Utf16(u"[MAIN]\r\nHotkeyVK=70\r\nHotkeySystem=6\r\n"));
}
