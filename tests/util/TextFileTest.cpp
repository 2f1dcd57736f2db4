#include "platform/CodePage.h"
#include "tests/common/TempDir.h"
#include "tests/util/TestBytes.h"
#include "util/CStdioFileEx.h"
#include "util/FileFunctions.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace KorrinUtilsFuns;
using TestBytes::Utf16;
using TestBytes::Wide;

namespace {

std::filesystem::path TextData()
{
    const char *data = std::getenv("TESSALY_TEST_DATA");
    return (data ? std::filesystem::path(data) : std::filesystem::path(__FILE__).parent_path().parent_path() / "data") /
        "text";
}

std::u16string ReadAll(const std::filesystem::path &path, int codePage)
{
    std::u16string text;
    EXPECT_TRUE(ReadTextFile(Wide(path), text, codePage));
    return text;
}

struct ActiveCodePage {
    explicit ActiveCodePage(UINT cp) { CodePage::SetActiveCodePageForTest(cp); }
    ~ActiveCodePage() { CodePage::SetActiveCodePageForTest(0); }
};

} // namespace

TEST(TextFile, EveryEncodingReadsAsTheSameLines)
{
    const std::u16string lines = u"第一行 line one\r\n第二行 two\r\n";
    struct Case {
        const char *file;
        int codePage;
        std::u16string expected;
    };
    const Case cases[] = {
        {"utf16le-mark.txt", 65001, lines},
        {"utf16le-mark.txt", 936, lines},
        {"utf16le-mark.txt", -1, lines},
        {"utf8-nomark.txt", 65001, lines},
        {"utf8-mark.txt", 65001, u"\uFEFF" + lines}, // the UTF-8 mark is a character like any other
        {"gbk.txt", 936, lines},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ReadAll(TextData() / c.file, c.codePage), c.expected) << c.file << " " << c.codePage;
}

TEST(TextFile, ReadAppendsAndToleratesWhatIsNotThere)
{
    TempDir dir;
    TestBytes::Write(dir / "empty", "");
    std::u16string text = u"kept";
    EXPECT_TRUE(ReadTextFile(Wide(dir / "empty"), text, 65001));
    EXPECT_EQ(text, u"kept");
    EXPECT_TRUE(ReadTextFile(Wide(dir / "missing"), text, 65001));
    EXPECT_TRUE(ReadTextFile(Wide(dir.Path()), text, 65001)) << "a folder reads as no file";
    EXPECT_EQ(text, u"kept");
    TestBytes::Write(dir / "a", "x\r\n\r\ny\rz\nlast");
    EXPECT_TRUE(ReadTextFile(Wide(dir / "a"), text, 65001));
    EXPECT_EQ(text, u"keptx\r\n\r\ny\rz\r\nlast\r\n");
    TestBytes::Write(dir / "b", "\xFF\xFE" + Utf16(u"a\nb\r\r\n"));
    text.clear();
    EXPECT_TRUE(ReadTextFile(Wide(dir / "b"), text, 65001));
    EXPECT_EQ(text, u"a\r\nb\r\r\n");
}

TEST(TextFile, BadBytesAreReplacedNotDropped)
{
    TempDir dir;
    struct Case {
        std::string bytes;
        int codePage;
        std::u16string expected;
    };
    const Case cases[] = {
        {"a\xFF"
         "b\n",
            65001, u"a\uFFFDb\r\n"},
        {std::string("a\0b\n\0", 5), 65001, std::u16string(u"a\0b\r\n\0\r\n", 8)},
        {std::string("\xFF\xFE"
                     "A\0B",
             5),
            65001, u"A\uFFFD\r\n"}, // odd length: the lone last byte
        {"\xFF\xFE" + std::string("A\0\0\0", 4), 65001, std::u16string(u"A\0\r\n", 4)},
        {"\xFF\xFE", 65001, u""},
        {"\xFF", 65001, u"\uFFFD\r\n"},
        {"\x81 ok\n", 936, u"\uFFFD ok\r\n"},
    };
    int i = 0;
    for (const Case &c : cases) {
        // In two steps: GCC 12 at -O3 warns falsely (-Wrestrict) on literal + temporary.
        std::string name = "f";
        name += std::to_string(i++);
        const auto path = dir / name;
        TestBytes::Write(path, c.bytes);
        EXPECT_EQ(ReadAll(path, c.codePage), c.expected) << i;
    }
}

// Lines of any length come back whole, in every encoding, at the lengths
// around the reading buffer's and far beyond.
TEST(TextFile, LinesOfAnyLengthAreReadWhole)
{
    TempDir dir;
    for (const std::size_t length : {4095u, 4096u, 8191u, 1000000u}) {
        // 1 + 3n bytes of UTF-8: the buffer's edges fall inside characters.
        std::string utf8 = "a";
        std::u16string wide = u"a";
        while (utf8.size() + 3 <= length) {
            utf8 += "\xE4\xB8\xAD";
            wide += u"中";
        }
        while (utf8.size() < length) {
            utf8 += "b";
            wide += u"b";
        }
        ASSERT_EQ(utf8.size(), length);
        TestBytes::Write(dir / "long", utf8 + "\r\nend\r\n");
        EXPECT_EQ(ReadAll(dir / "long", 65001), wide + u"\r\nend\r\n") << length;

        WriteTextFile(Wide(dir / "wide"), wide + u"\r\n", true, false);
        EXPECT_EQ(ReadAll(dir / "wide", 65001), wide + u"\r\n") << length;

        // GBK: two bytes a CJK character, so the cuts fall inside them too.
        ActiveCodePage gbk(936);
        WriteTextFile(Wide(dir / "gbk"), wide + u"\nlast", false, false);
        EXPECT_EQ(ReadAll(dir / "gbk", -1), wide + u"\r\nlast\r\n") << length;
    }
}

TEST(TextFile, UnicodeWriteIsExact)
{
    TempDir dir;
    const auto path = Wide(dir / "Orvane.ini");
    WriteTextFile(path, u"[MAIN]", true, false);
    EXPECT_EQ(TestBytes::Read(dir / "Orvane.ini"),
        std::string("\xFF\xFE\x5B\x00\x4D\x00\x41\x00\x49\x00\x4E\x00\x5D\x00", 14));
    // Rewriting replaces; no newline translation either way.
    WriteTextFile(path, u"a\nb\r\n", true, false);
    EXPECT_EQ(TestBytes::Read(dir / "Orvane.ini"), "\xFF\xFE" + Utf16(u"a\nb\r\n"));
}

TEST(TextFile, AppendWritesTheMarkOnlyIntoAnEmptyFile)
{
    TempDir dir;
    const auto path = Wide(dir / "log");
    WriteTextFile(path, u"one", true, true);
    WriteTextFile(path, u"two", true, true);
    EXPECT_EQ(TestBytes::Read(dir / "log"), "\xFF\xFE" + Utf16(u"onetwo"));
    TestBytes::Write(dir / "empty", "");
    WriteTextFile(Wide(dir / "empty"), u"x", true, true);
    EXPECT_EQ(TestBytes::Read(dir / "empty"), "\xFF\xFE" + Utf16(u"x"));
    WriteTextFile(Wide(dir / "plain"), u"a\n", false, true);
    WriteTextFile(Wide(dir / "plain"), u"b", false, true);
    ActiveCodePage utf8(65001);
    EXPECT_EQ(TestBytes::Read(dir / "plain"), "a\nb");
}

TEST(TextFile, MultiByteWriteUsesTheActiveCodePage)
{
    TempDir dir;
    {
        ActiveCodePage gbk(936);
        WriteTextFile(Wide(dir / "gbk"), u"中文한\U0001F600\r\n", false, false);
        EXPECT_EQ(TestBytes::Read(dir / "gbk"), "\xD6\xD0\xCE\xC4##\r\n");
        // A code page round trip of Chinese text.
        WriteTextFile(Wide(dir / "rt"), u"测试第一行\r\n第二行", false, false);
        EXPECT_EQ(ReadAll(dir / "rt", 936), u"测试第一行\r\n第二行\r\n");
        EXPECT_EQ(ReadAll(dir / "rt", -1), u"测试第一行\r\n第二行\r\n");
    }
    ActiveCodePage utf8(65001);
    WriteTextFile(Wide(dir / "utf8"), std::u16string(u"中\0x", 3), false, false);
    EXPECT_EQ(TestBytes::Read(dir / "utf8"), std::string("\xE4\xB8\xAD\0x", 5));
}

TEST(TextFile, WriteFailuresStayInside)
{
    TempDir dir;
    WriteTextFile(Wide(dir / "no" / "such" / "file"), u"x", true, false);
    EXPECT_FALSE(std::filesystem::exists(dir / "no"));
    // A full disk: the write fails inside, nothing escapes.
    EXPECT_NO_THROW(WriteTextFile(u"/dev/full", std::u16string(100000, u'x'), true, false));
    CStdioFileEx file;
    ASSERT_TRUE(file.Open(u"/dev/full", CStdioFile::modeWrite | CStdioFileEx::modeUnicodeWrite));
    EXPECT_THROW(
        {
            file.WriteString(std::u16string(100000, u'x'));
            file.Close();
        },
        CFileException);
}

TEST(TextFile, MarkDetectionAndFlags)
{
    TempDir dir;
    TestBytes::Write(dir / "u", "\xFF\xFE" + Utf16(u"abc"));
    TestBytes::Write(dir / "m", "ab");
    TestBytes::Write(dir / "one", "\xFF");
    EXPECT_TRUE(CStdioFileEx::HasUnicodeMark(Wide(dir / "u")));
    EXPECT_FALSE(CStdioFileEx::HasUnicodeMark(Wide(dir / "m")));
    EXPECT_FALSE(CStdioFileEx::HasUnicodeMark(Wide(dir / "one")));
    EXPECT_FALSE(CStdioFileEx::HasUnicodeMark(Wide(dir / "missing")));

    using F = CStdioFile;
    struct Case {
        UINT flags;
        bool unicode;
        UINT adjusted;
    };
    const Case cases[] = {
        {F::typeText, true, F::typeBinary},
        {F::typeText | F::modeReadWrite, true, F::typeBinary | F::modeReadWrite},
        {F::typeText | F::modeWrite, false, F::typeText | F::modeWrite},
        {F::typeText | F::modeCreate, false, F::typeText | F::modeCreate},
        {F::typeBinary, false, F::typeBinary},
    };
    for (const Case &c : cases) {
        CStdioFileEx file;
        EXPECT_EQ(file.AdjustOpenFlags(Wide(dir / "u"), c.flags), c.adjusted) << c.flags;
        EXPECT_EQ(file.m_bUnicodeText, c.unicode) << c.flags;
        EXPECT_EQ(file.m_nOpenFlags, c.adjusted);
    }

    CStdioFileEx file;
    EXPECT_EQ(0u, file.GetCharacterCount());
    ASSERT_TRUE(file.Open(Wide(dir / "u"), F::typeText));
    EXPECT_EQ(3u, file.GetCharacterCount());
    std::u16string line;
    EXPECT_TRUE(file.ReadString(line));
    EXPECT_EQ(line, u"abc");
    EXPECT_FALSE(file.ReadString(line));
    ASSERT_TRUE(file.Open(Wide(dir / "m"), F::typeText));
    EXPECT_EQ(2u, file.GetCharacterCount());
}
