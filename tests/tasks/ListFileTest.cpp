#include "tasks/ListFile.h"
#include "tests/common/TempDir.h"
#include "tests/util/TestBytes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Rows = std::vector<std::vector<std::u16string>>;

std::u16string ComposeRows(const Rows &rows, int columns)
{
    return ListFile::Compose(
        columns, [&] { return static_cast<int>(rows.size()); },
        [&](int r, int c) { return rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]; });
}

const std::string kMark("\xFF\xFE", 2);

} // namespace

TEST(ListFile, ComposeLaysOutRowsAndSeparators)
{
    struct Case {
        const char *name;
        Rows rows;
        std::u16string text;
    };
    const std::vector<Case> cases = {
        {"empty list", {}, u""},
        {"one row", {{u"a1", u"a2", u"a3"}}, u"a1____a2____a3\r\n"},
        {"two rows: separator right after the first row end", {{u"a1", u"a2", u"a3"}, {u"b1", u"b2", u"b3"}},
            u"a1____a2____a3\r\n____b1____b2____b3\r\n"},
        {"row with empty first cell left out", {{u"", u"x", u"y"}, {u"b1", u"", u"b3"}}, u"b1________b3\r\n"},
        {"only empty-numbered rows", {{u"", u"x", u"y"}}, u""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ComposeRows(c.rows, 3), c.text) << c.name;
}

TEST(ListFile, ComposeAsksForTheRowCountAgainAtEveryRow)
{
    Rows rows = {{u"1", u"a"}, {u"2", u"b"}, {u"3", u"c"}};
    // The list shrinks while it is being saved.
    const std::u16string text = ListFile::Compose(
        2,
        [&] {
            const int n = static_cast<int>(rows.size());
            return n;
        },
        [&](int r, int c) {
            const auto cell = rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
            if (r == 0 && c == 1)
                rows.pop_back();
            return cell;
        });
    EXPECT_EQ(text, u"1____a\r\n____2____b\r\n");
}

TEST(ListFile, SplitKeepsEmptyPiecesButNotAnEmptyRest)
{
    struct Case {
        std::u16string text;
        std::vector<std::u16string> fields;
    };
    const std::vector<Case> cases = {
        {u"", {}},
        {u"a", {u"a"}},
        {u"a____", {u"a"}},
        {u"____", {u""}},
        {u"a________b", {u"a", u"", u"b"}},
        {u"a____b\r\n____c____d\r\n", {u"a", u"b\r\n", u"c", u"d\r\n"}},
        {u"a___b", {u"a___b"}},
        {u"a_____b", {u"a", u"_b"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ListFile::Split(c.text), c.fields) << WideString::ToUtf8(c.text);
}

TEST(ListFile, WritesUtf16WithMarkAndReplacesTheFile)
{
    TempDir dir;
    const auto path = dir / "exeList.bak";
    TestBytes::Write(path, std::string(100, 'x'));
    ListFile::Write(TestBytes::Wide(path), ComposeRows({{u"1", u"测试", u"-9999"}}, 3));
    EXPECT_EQ(TestBytes::Read(path), kMark + TestBytes::Utf16(u"1____测试____-9999\r\n"));

    ListFile::Write(TestBytes::Wide(path), ComposeRows({}, 11));
    EXPECT_EQ(TestBytes::Read(path), kMark);
}

TEST(ListFile, ReadsRowsByColumnCountDroppingSurplusFields)
{
    TempDir dir;
    const auto path = dir / "list.bak";
    // 25 fields for 11 columns: two rows, three fields ignored.
    std::u16string text;
    for (int i = 0; i < 25; ++i) {
        if (i)
            text += u"____";
        text += WideString::FromInt(i);
        if (i % 11 == 10)
            text += u"\r\n";
    }
    TestBytes::Write(path, kMark + TestBytes::Utf16(text));
    const auto rows = ListFile::ReadRows(TestBytes::Wide(path), 11);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], u"0");
    EXPECT_EQ(rows[0][10], u"10\r\n");
    EXPECT_EQ(rows[1][0], u"11");
    EXPECT_EQ(rows[1][10], u"21\r\n");
}

TEST(ListFile, ReadsUtf8WithoutMarkAndSurvivesMissingFiles)
{
    TempDir dir;
    const auto path = dir / "utf8.bak";
    TestBytes::Write(path, "1____\xE6\xB5\x8B\xE8\xAF\x95____5\r\n____2____x____0\r\n");
    const auto rows = ListFile::ReadRows(TestBytes::Wide(path), 3);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], u"测试");
    EXPECT_EQ(rows[0][2], u"5\r\n");
    EXPECT_EQ(rows[1][2], u"0\r\n");

    EXPECT_TRUE(ListFile::ReadRows(TestBytes::Wide(dir / "missing.bak"), 3).empty());
    EXPECT_TRUE(ListFile::ReadRows(TestBytes::Wide(path), 0).empty());
}

TEST(ListFile, ArbitraryBytesNeverCrashAndRowsAreWhole)
{
    TempDir dir;
    const auto path = dir / "noise.bak";
    std::mt19937 random(7);
    const std::vector<std::string> pieces = {"____", "\r\n", "\xFF\xFE", "\xFE\xFF", "_", "\0", "\xC3", "\xD8\x00"};
    for (int round = 0; round < 300; ++round) {
        std::string bytes;
        const int length = static_cast<int>(random() % 200);
        if (round % 3 == 0)
            bytes = kMark;
        while (static_cast<int>(bytes.size()) < length) {
            if (random() % 4 == 0)
                bytes += pieces[random() % pieces.size()];
            else
                bytes.push_back(static_cast<char>(random() & 0xFF));
        }
        if (round % 5 == 0 && !bytes.empty())
            bytes.pop_back(); // an odd UTF-16 length
        TestBytes::Write(path, bytes);
        for (int columns : {1, 3, 11}) {
            const auto rows = ListFile::ReadRows(TestBytes::Wide(path), columns);
            for (const auto &row : rows)
                ASSERT_EQ(static_cast<int>(row.size()), columns);
        }
    }
}
