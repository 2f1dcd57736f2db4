#include "util/FileFunctions.h"
#include "platform/FileSystem.h"
#include "tests/common/TempDir.h"
#include "tests/util/TestBytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

using namespace KorrinUtilsFuns;
using TestBytes::Wide;

TEST(FileFunctions, CreateFolderPathMakesEveryMissingLevel)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "a");
    const auto deep = dir / "a" / "b" / "c";
    EXPECT_TRUE(CreateFolderPath(Wide(deep)));
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_TRUE(CreateFolderPath(Wide(deep))) << "already there";
    EXPECT_TRUE(CreateFolderPath(Wide(dir / "x" / "y") + u"/"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "x" / "y"));

    TestBytes::Write(dir / "file", "x");
    EXPECT_FALSE(CreateFolderPath(Wide(dir / "file")));
    EXPECT_FALSE(CreateFolderPath(Wide(dir / "file" / "sub")));
    EXPECT_FALSE(CreateFolderPath(u""));
}

TEST(FileFunctions, RelativeFolderPathCreatesItsFirstLevelToo)
{
    TempDir dir;
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    const bool made = CreateFolderPath(u"rel/sub");
    std::filesystem::current_path(cwd);
    EXPECT_TRUE(made);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "rel" / "sub"));
}

TEST(FileFunctions, ExistenceAndForcedDelete)
{
    TempDir dir;
    TestBytes::Write(dir / "ro", "x");
    chmod((dir / "ro").c_str(), 0444);
    EXPECT_TRUE(FileExists(Wide(dir / "ro")));
    EXPECT_TRUE(FileExists(Wide(dir.Path())));
    EXPECT_FALSE(IsFolder(Wide(dir / "ro")));
    EXPECT_TRUE(IsFolder(Wide(dir.Path())));
    EXPECT_FALSE(FileExists(Wide(dir / "none")));
    DeleteFileForced(Wide(dir / "ro"));
    EXPECT_FALSE(std::filesystem::exists(dir / "ro"));
    DeleteFileForced(Wide(dir / "none"));
}

TEST(FileFunctions, NameParts)
{
    struct Case {
        std::u16string path, name;
    };
    const Case cases[] = {
        {u"/opt/t/Orvane.exe", u"Orvane.exe"}, {u"plain", u"plain"}, {u"dir/", u""}, {u"/", u""}, {u"", u""}};
    for (const Case &c : cases)
        EXPECT_EQ(GetFileNamePart(c.path), c.name);

    TempDir dir;
    TestBytes::Write(dir / "prog", "");
    EXPECT_EQ(GetShortFolder(Wide(dir / "prog")), Wide(dir.Path()) + u"/");
    EXPECT_EQ(GetShortFolder(Wide(dir / "missing")), u"");
}

TEST(FileFunctions, ExtractedCatalogueIsTheTemplateByteForByte)
{
    const char *source = std::getenv("TESSALY_SOURCE_DIR");
    const auto res = (source ? std::filesystem::path(source)
                             : std::filesystem::path(__FILE__).parent_path().parent_path().parent_path()) /
        "res";
    const std::string expected = TestBytes::Read(res / "Config.xml");
    ASSERT_FALSE(expected.empty());
    TempDir dir;
    const auto target = dir / "Config.xml";
    // An edited, longer catalogue is replaced, not overwritten in part.
    TestBytes::Write(target, std::string(expected.size() * 2, 'e'));
    EXPECT_TRUE(ExtractResourceToFile(nullptr, 314, u"CONFIG", Wide(target)));
    EXPECT_EQ(TestBytes::Read(target), expected);
    EXPECT_TRUE(ExtractResourceToFile(GetModuleHandleW(nullptr), 314, u"CONFIG", Wide(dir / "again.xml")));
    EXPECT_EQ(TestBytes::Read(dir / "again.xml"), expected);

    EXPECT_FALSE(ExtractResourceToFile(nullptr, 999, u"CONFIG", Wide(dir / "x")));
    EXPECT_FALSE(ExtractResourceToFile(nullptr, 314, u"OTHER", Wide(dir / "x")));
    EXPECT_FALSE(std::filesystem::exists(dir / "x"));
    EXPECT_FALSE(ExtractResourceToFile(nullptr, 314, u"CONFIG", Wide(dir / "no" / "Config.xml")));
    EXPECT_FALSE(ExtractResourceToFile(nullptr, 314, u"CONFIG", u"/dev/full")) << "a full disk is a failure";
}
