// The list of containers: names of any text give safe folders below the
// containers folder, and the file reads back what was written and survives
// damage line by line.

#include "tasks/ContainerIndex.h"
#include "platform/WideString.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace {

wstring16 W(const char *utf8) { return WideString::FromUtf8(utf8); }

wstring16 Folder(const wstring16 &name, const std::set<wstring16> &taken = {})
{
    return ContainerIndex::DeriveFolder(
        ContainerIndex::CleanName(name), [&](const wstring16 &f) { return taken.count(f) > 0; });
}

} // namespace

TEST(ContainerIndex, NamesAreCleanedOfWhatBreaksALineOrHowTheNameReads)
{
    EXPECT_EQ(ContainerIndex::CleanName(W("  账号  甲 ")), W("账号 甲"));
    EXPECT_EQ(ContainerIndex::CleanName(W("a\tb\nc\r\x01"
                                          "d")),
        W("a b c d"));
    EXPECT_EQ(ContainerIndex::CleanName(W("\u202Egnp.exe")), W("gnp.exe"));
    EXPECT_EQ(ContainerIndex::CleanName(W("\u3000全角\u3000空格")), W("全角 空格"));
    EXPECT_EQ(ContainerIndex::CleanName(W(" \t\n")), u"");
    // A lone surrogate cannot be written as UTF-8: it becomes the replacement character.
    EXPECT_EQ(ContainerIndex::CleanName(std::u16string {u'a', char16_t(0xD800), u'b'}),
        (std::u16string {u'a', 0xFFFD, u'b'}));
    const std::u16string pair = u"\U0001F600";
    EXPECT_EQ(ContainerIndex::CleanName(pair), pair);
    // Cut at the limit, never between the halves of a pair.
    std::u16string longName(ContainerIndex::kMaxNameUnits - 1, u'x');
    longName += pair;
    EXPECT_EQ(ContainerIndex::CleanName(longName), std::u16string(ContainerIndex::kMaxNameUnits - 1, u'x'));
    for (const char *name : {"a  b", " x", "a\x7f"})
        EXPECT_EQ(ContainerIndex::CleanName(ContainerIndex::CleanName(W(name))), ContainerIndex::CleanName(W(name)));
}

TEST(ContainerIndex, FoldersFromHostileNamesAreOneSafeComponent)
{
    EXPECT_EQ(Folder(W("Work")), u"work");
    EXPECT_EQ(Folder(W("账号甲")), W("账号甲"));
    EXPECT_EQ(Folder(W("../../etc/passwd")), u"etc_passwd");
    EXPECT_EQ(Folder(W("..")), u"container");
    EXPECT_EQ(Folder(W("/")), u"container");
    EXPECT_EQ(Folder(W("\"'`$(rm -rf ~)")), u"rm_-rf");
    EXPECT_EQ(Folder(W("CON")), u"container_con");
    EXPECT_EQ(Folder(W("lpt1")), u"container_lpt1");
    EXPECT_EQ(Folder(W("a\\b:c*d?e|f<g>h")), u"a_b_c_d_e_f_g_h");
    EXPECT_EQ(Folder(W("-x")), u"x");
    EXPECT_EQ(Folder(std::u16string(500, u'y')).size(), ContainerIndex::kMaxFolderUnits - 6);
    // Taken folders, and folders that differ only in case, get a number.
    EXPECT_EQ(Folder(W("Work"), {u"work"}), u"work-2");
    EXPECT_EQ(Folder(W("work"), {u"work", u"work-2"}), u"work-3");
    for (const char *name : {"../x", "..", ".", "a/../..", "~", "$HOME", "\xe2\x80\xae", "nul", "con.txt", "中/文"}) {
        const wstring16 folder = Folder(W(name));
        EXPECT_TRUE(ContainerIndex::IsSafeFolder(folder)) << name;
        EXPECT_EQ(folder.find(u'/'), wstring16::npos);
        EXPECT_EQ(folder.find(u'.'), wstring16::npos);
    }
    for (const char16_t *bad : {u"", u".", u"..", u"a/b", u"A", u"-a", u"con", u"com1", u"a.b", u"a b", u"x\u202e"})
        EXPECT_FALSE(ContainerIndex::IsSafeFolder(bad)) << WideString::ToUtf8(bad);
}

TEST(ContainerIndex, ColoursGoToTheLeastUsed)
{
    std::vector<ContainerIndex::Entry> entries;
    for (int i = 0; i < ContainerIndex::kColours; ++i) {
        EXPECT_EQ(ContainerIndex::FreeColour(entries), i);
        entries.push_back({WideString::FromInt(i), WideString::FromInt(i), i});
    }
    EXPECT_EQ(ContainerIndex::FreeColour(entries), 0);
    entries.erase(entries.begin() + 3);
    EXPECT_EQ(ContainerIndex::FreeColour(entries), 3);
}

TEST(ContainerIndex, FileReadsBackAndDropsOnlyItsUnsoundLines)
{
    const std::vector<ContainerIndex::Entry> entries = {
        {u"work", W("工作 账号"), 0}, {W("账号甲"), W("\"quoted\" / ..\\"), 7}, {u"a-2", u"a", 3}};
    const std::string bytes = ContainerIndex::Compose(entries);
    EXPECT_EQ(ContainerIndex::Parse(bytes), entries);

    std::string damaged = "TessalyContainers 1\n"
                          "work\t0\tfirst\n"
                          "../up\t1\tescape\n" // not a safe folder
                          "ok\t9\tbad colour\n" // no such colour
                          "ok\t1\t\n" // no name
                          "ok\t1\t two  spaces\n" // not a clean name
                          "work\t2\tsame folder\n" // a folder taken
                          "other\t2\tfirst\n" // a name taken
                          "no tabs here\n"
                          "\t\t\n"
                          "x\t12\ttwo digits\n"
                          "ok\t1\tkept\n"
                          "cut\t1\tno line break";
    const std::vector<ContainerIndex::Entry> kept = {{u"work", u"first", 0}, {u"ok", u"kept", 1}};
    EXPECT_EQ(ContainerIndex::Parse(damaged), kept);
    EXPECT_TRUE(ContainerIndex::Parse("TessalyContainers 2\nwork\t0\tx\n").empty());
    EXPECT_TRUE(ContainerIndex::Parse("").empty());
    // Invalid UTF-8 in a name reads as replacement characters and writes back as such.
    const auto odd = ContainerIndex::Parse("TessalyContainers 1\nw\t0\ta\xff"
                                           "b\n");
    ASSERT_EQ(odd.size(), 1u);
    EXPECT_EQ(ContainerIndex::Parse(ContainerIndex::Compose(odd)), odd);

    TempDir dir;
    const wstring16 folder = WideString::FromUtf8(dir.Slash() + "Containers/");
    EXPECT_TRUE(ContainerIndex::Read(folder).empty());
    ASSERT_TRUE(ContainerIndex::Write(folder, entries));
    EXPECT_EQ(ContainerIndex::Read(folder), entries);
    ASSERT_TRUE(ContainerIndex::Write(folder, kept));
    EXPECT_EQ(ContainerIndex::Read(folder), kept);
    // Between the renames of a save only the previous copy is there.
    std::filesystem::remove(dir / "Containers/index.txt");
    EXPECT_EQ(ContainerIndex::Read(folder), entries);
}
