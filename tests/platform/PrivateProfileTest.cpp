#include "platform/PrivateProfile.h"
#include "platform/CodePage.h"
#include "platform/Threading.h"
#include "platform/WideString.h"
#include "tests/common/TempDir.h"
#include "tests/util/TestBytes.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

using TestBytes::Utf16;

namespace {

class PrivateProfile : public ::testing::Test {
protected:
    void SetUp() override { CodePage::SetActiveCodePageForTest(CP_UTF8); }
    void TearDown() override { CodePage::SetActiveCodePageForTest(0); }

    std::u16string Get(LPCWSTR section, LPCWSTR key, LPCWSTR def = u"dflt")
    {
        char16_t buffer[256];
        const DWORD n = GetPrivateProfileStringW(section, key, def, buffer, 256, file.c_str());
        return std::u16string(buffer, n);
    }
    BOOL Put(LPCWSTR section, LPCWSTR key, LPCWSTR value)
    {
        return WritePrivateProfileStringW(section, key, value, file.c_str());
    }
    std::string Bytes() { return TestBytes::Read(dir / "t.ini"); }
    void SetBytes(const std::string &bytes) { TestBytes::Write(dir / "t.ini", bytes); }

    TempDir dir;
    std::u16string file = TestBytes::Wide(dir / "t.ini");
};

} // namespace

TEST_F(PrivateProfile, MissingFileIsCreatedOnWrite)
{
    EXPECT_EQ(Get(u"MAIN", u"k"), u"dflt");
    EXPECT_TRUE(Put(u"MAIN", u"HotkeyVK", u"70"));
    EXPECT_EQ(Bytes(), "[MAIN]\r\nHotkeyVK=70\r\n");
    EXPECT_TRUE(Put(u"MAIN", u"HotkeySystem", u"6"));
    EXPECT_TRUE(Put(u"Other", u"a", u"中"));
    EXPECT_EQ(Bytes(), "[MAIN]\r\nHotkeyVK=70\r\nHotkeySystem=6\r\n[Other]\r\na=\xE4\xB8\xAD\r\n");
    EXPECT_EQ(Get(u"other", u"A"), u"中");
}

TEST_F(PrivateProfile, Utf16FileStaysUtf16AndGetsItsLineBreak)
{
    // What a first start leaves: the mark and "[MAIN]" with no line break.
    SetBytes("\xFF\xFE" + Utf16(u"[MAIN]"));
    EXPECT_TRUE(Put(u"main", u"HotkeyVK", u"70"));
    EXPECT_TRUE(Put(u"MAIN", u"HotkeySystem", u"6"));
    EXPECT_EQ(Bytes(), "\xFF\xFE" + Utf16(u"[MAIN]\r\nHotkeyVK=70\r\nHotkeySystem=6\r\n"));
    EXPECT_EQ(70u, GetPrivateProfileIntW(u"MAIN", u"hotkeyvk", 0, file.c_str()));
    EXPECT_EQ(6u, GetPrivateProfileIntW(u"Main", u"HOTKEYSYSTEM", 0, file.c_str()));
}

TEST_F(PrivateProfile, WriteKeepsEveryOtherByte)
{
    const std::string before = "; comment \xFF\xFE odd bytes\r\n"
                               "\r\n"
                               "  [ First ]  \n"
                               "  Key =  old value  \n"
                               "other=1\n"
                               "\n"
                               "[Second]\r\n"
                               "key=keep\r\n"
                               "garbage line without equals\r\n"
                               "bad=\xC0\x80\r\n";
    SetBytes(before);
    EXPECT_EQ(Get(u"first", u"KEY"), u"old value");
    EXPECT_TRUE(Put(u"FIRST", u"key", u"new"));
    std::string expected = before;
    expected.replace(expected.find("  Key =  old value  "), 20, "Key=new");
    EXPECT_EQ(Bytes(), expected);
    // A new key goes after the section's last line that is not blank.
    EXPECT_TRUE(Put(u"first", u"added", u"2"));
    expected.insert(expected.find("other=1\n") + 8, "added=2\r\n");
    EXPECT_EQ(Bytes(), expected);
    EXPECT_EQ(Get(u"Second", u"key"), u"keep");
    EXPECT_EQ(Get(u"Second", u"bad"), u"\uFFFD\uFFFD");
}

TEST_F(PrivateProfile, ValuesAreTrimmedAndUnquoted)
{
    SetBytes("[s]\na= \"quoted\" \nb='x'\nc=\"half\nd=\ne\n f = x = y \n");
    EXPECT_EQ(Get(u"s", u"a"), u"quoted");
    EXPECT_EQ(Get(u"s", u"b"), u"x");
    EXPECT_EQ(Get(u"s", u"c"), u"\"half");
    EXPECT_EQ(Get(u"s", u"d"), u"");
    EXPECT_EQ(Get(u"s", u"f"), u"x = y");
    EXPECT_EQ(Get(u"s", u"missing", u"def  "), u"def") << "trailing blanks of the default go";
    EXPECT_EQ(Get(u"s", u"missing", nullptr), u"");
    EXPECT_EQ(Get(u"nosection", u"a"), u"dflt");
}

TEST_F(PrivateProfile, Integers)
{
    SetBytes("[n]\na=70\nb=-5\nc=0x1F\nd=12abc\ne=abc\nf=\ng= +8\n");
    struct Case {
        LPCWSTR key;
        UINT value;
    };
    const Case cases[] = {{u"a", 70}, {u"b", static_cast<UINT>(-5)}, {u"c", 31}, {u"d", 12}, {u"e", 0}, {u"f", 99},
        {u"g", 8}, {u"missing", 99}};
    for (const Case &c : cases)
        EXPECT_EQ(c.value, GetPrivateProfileIntW(u"n", c.key, 99, file.c_str())) << WideString::ToUtf8(c.key);
}

TEST_F(PrivateProfile, ListsAndTruncation)
{
    SetBytes("[one]\na=1\n;x=comment\nb=2\n[two]\n");
    char16_t buffer[64];
    DWORD n = GetPrivateProfileStringW(nullptr, nullptr, nullptr, buffer, 64, file.c_str());
    EXPECT_EQ(std::u16string(buffer, n + 1), std::u16string(u"one\0two\0\0", 9));
    n = GetPrivateProfileStringW(u"ONE", nullptr, nullptr, buffer, 64, file.c_str());
    EXPECT_EQ(std::u16string(buffer, n + 1), std::u16string(u"a\0b\0\0", 5));
    n = GetPrivateProfileStringW(nullptr, nullptr, nullptr, buffer, 5, file.c_str());
    EXPECT_EQ(3u, n);
    EXPECT_EQ(std::u16string(buffer, 5), std::u16string(u"one\0\0", 5));
    n = GetPrivateProfileStringW(u"one", u"a", nullptr, buffer, 1, file.c_str());
    EXPECT_EQ(0u, n);
    EXPECT_EQ(u'\0', buffer[0]);
    SetBytes("[s]\nk=abcdef\n");
    n = GetPrivateProfileStringW(u"s", u"k", nullptr, buffer, 4, file.c_str());
    EXPECT_EQ(3u, n);
    EXPECT_EQ(std::u16string(buffer), u"abc");
}

TEST_F(PrivateProfile, DeleteKeyAndSection)
{
    SetBytes("[a]\r\nx=1\r\ny=2\r\n[b]\r\nz=3\r\n");
    EXPECT_TRUE(Put(u"A", u"X", nullptr));
    EXPECT_EQ(Bytes(), "[a]\r\ny=2\r\n[b]\r\nz=3\r\n");
    EXPECT_TRUE(Put(u"a", nullptr, nullptr));
    EXPECT_EQ(Bytes(), "[b]\r\nz=3\r\n");
    EXPECT_TRUE(Put(u"gone", nullptr, nullptr));
    EXPECT_EQ(Bytes(), "[b]\r\nz=3\r\n");
}

TEST_F(PrivateProfile, ValueCannotAddLines)
{
    EXPECT_TRUE(Put(u"s", u"k", u"1\r\n[evil]\r\nk=2"));
    EXPECT_EQ(Bytes(), "[s]\r\nk=1\r\n");
}

TEST_F(PrivateProfile, Utf8MarkAndOddUtf16AreKept)
{
    SetBytes("\xEF\xBB\xBF[s]\nk=\xE4\xB8\xAD\n");
    EXPECT_EQ(Get(u"s", u"k"), u"中");
    EXPECT_TRUE(Put(u"s", u"j", u"文"));
    EXPECT_EQ(Bytes(), "\xEF\xBB\xBF[s]\nk=\xE4\xB8\xAD\nj=\xE6\x96\x87\r\n");
    SetBytes("\xFF\xFE" + Utf16(u"[s]\r\nk=1\r\n") + "Z");
    EXPECT_TRUE(Put(u"s", u"k", u"2"));
    EXPECT_EQ(Bytes(), "\xFF\xFE" + Utf16(u"[s]\r\nk=2\r\n") + "Z");
}

TEST_F(PrivateProfile, Failures)
{
    const auto nowhere = TestBytes::Wide(dir / "no" / "t.ini");
    EXPECT_FALSE(WritePrivateProfileStringW(u"s", u"k", u"v", nowhere.c_str()));
    const auto folder = TestBytes::Wide(dir.Path());
    EXPECT_FALSE(WritePrivateProfileStringW(u"s", u"k", u"v", folder.c_str()));
    char16_t buffer[8];
    EXPECT_EQ(1u, GetPrivateProfileStringW(u"s", u"k", u"d", buffer, 8, folder.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringW(nullptr, u"k", u"v", file.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str()));
    EXPECT_EQ(0u, GetPrivateProfileStringW(u"s", u"k", u"d", nullptr, 8, file.c_str()));
}

TEST_F(PrivateProfile, GarbageSurvivesAndIsKept)
{
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        std::string garbage(static_cast<std::size_t>(random() % 600), '\0');
        for (char &c : garbage)
            c = static_cast<char>(random() % 7 == 0 ? "[]=\r\n;\""[random() % 7] : random());
        if (round % 2)
            garbage = "\xFF\xFE" + garbage;
        SetBytes(garbage);
        Get(u"s", u"k");
        Get(nullptr, nullptr);
        GetPrivateProfileIntW(u"s", u"k", 0, file.c_str());
        ASSERT_TRUE(Put(u"tessaly-new-section", u"k", u"v"));
        // A UTF-16 file's odd last byte is no character: it stays last, behind the new lines.
        const bool odd = round % 2 && garbage.size() % 2;
        const std::string after = Bytes();
        const std::size_t kept = garbage.size() - (odd ? 1 : 0);
        EXPECT_EQ(after.compare(0, kept, garbage, 0, kept), 0) << "round " << round;
        if (odd) {
            EXPECT_EQ(after.back(), garbage.back()) << "round " << round;
        }
        EXPECT_EQ(Get(u"tessaly-new-section", u"k"), u"v") << "round " << round;
    }
}

TEST_F(PrivateProfile, ConcurrentWritersLoseNothing)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([this, t] {
            for (int i = 0; i < 25; ++i) {
                // Built in two steps: GCC 12 at -O3 warns falsely (-Wrestrict) on literal + temporary.
                std::u16string key = u"k";
                key += WideString::FromInt(t * 100 + i);
                WritePrivateProfileStringW(u"s", key.c_str(), u"1", file.c_str());
            }
        });
    for (auto &thread : threads)
        thread.join();
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 25; ++i) {
            std::u16string key = u"k";
            key += WideString::FromInt(t * 100 + i);
            EXPECT_EQ(1u, GetPrivateProfileIntW(u"s", key.c_str(), 0, file.c_str())) << t * 100 + i;
        }
}
