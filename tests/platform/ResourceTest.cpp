#include "platform/Resource.h"
#include "platform/FileSystem.h"
#include "platform/Threading.h"
#include "platform/WideString.h"
#include "tests/util/TestBytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::filesystem::path ResDir()
{
    const char *source = std::getenv("TESSALY_SOURCE_DIR");
    return source ? std::filesystem::path(source) / "res"
                  : std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "res";
}

std::string Bytes(HRSRC resource)
{
    const void *data = LockResource(LoadResource(nullptr, resource));
    return std::string(static_cast<const char *>(data), SizeofResource(nullptr, resource));
}

} // namespace

TEST(Resource, DefaultCatalogueByIdAndType)
{
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(314), u"CONFIG");
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(Bytes(found), TestBytes::Read(ResDir() / "Config.xml"));
    EXPECT_EQ(found, FindResourceW(GetModuleHandleW(nullptr), u"#314", u"config"));

    EXPECT_EQ(nullptr, FindResourceW(nullptr, MAKEINTRESOURCEW(315), u"CONFIG"));
    EXPECT_EQ(ERROR_RESOURCE_NAME_NOT_FOUND, GetLastError());
    EXPECT_EQ(nullptr, FindResourceW(nullptr, MAKEINTRESOURCEW(314), u"NOSUCHTYPE"));
    EXPECT_EQ(ERROR_RESOURCE_TYPE_NOT_FOUND, GetLastError());
    EXPECT_EQ(nullptr, FindResourceW(reinterpret_cast<HMODULE>(0x1234), MAKEINTRESOURCEW(314), u"CONFIG"));
    EXPECT_EQ(nullptr, LoadResource(nullptr, nullptr));
    EXPECT_EQ(nullptr, LockResource(nullptr));
    EXPECT_EQ(0u, SizeofResource(nullptr, nullptr));
}

// Whatever is added to the manifest comes back byte for byte.
TEST(Resource, EveryManifestEntryIsEmbeddedUnchanged)
{
    std::ifstream manifest(ResDir() / "resources.txt");
    ASSERT_TRUE(manifest);
    std::string line;
    int entries = 0;
    while (std::getline(manifest, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string id, type, file;
        fields >> id >> type >> file;
        if (file.empty())
            continue;
        const bool numericType = type.find_first_not_of("0123456789") == std::string::npos;
        const std::u16string typeText = WideString::FromUtf8(type);
        const std::u16string idText = WideString::FromUtf8(id);
        LPCWSTR typeArg = numericType ? MAKEINTRESOURCEW(static_cast<WORD>(std::stoi(type))) : typeText.c_str();
        LPCWSTR nameArg = id.find_first_not_of("0123456789") == std::string::npos
            ? MAKEINTRESOURCEW(static_cast<WORD>(std::stoi(id)))
            : idText.c_str();
        HRSRC found = FindResourceW(nullptr, nameArg, typeArg);
        ASSERT_NE(nullptr, found) << line;
        EXPECT_EQ(Bytes(found), TestBytes::Read(ResDir() / file)) << line;
        ++entries;
    }
    std::size_t count = 0;
    Resource::Table(&count);
    EXPECT_EQ(static_cast<std::size_t>(entries), count);
}

TEST(Resource, DefaultCatalogueIsUtf8WithMark)
{
    const std::string bytes = TestBytes::Read(ResDir() / "Config.xml");
    ASSERT_GT(bytes.size(), 3u);
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(bytes.substr(3, 38), "<?xml version=\"1.0\" encoding=\"utf-8\"?>");
    // Valid UTF-8 all through: nothing decodes to U+FFFD.
    EXPECT_EQ(WideString::FromUtf8(bytes).find(u'\uFFFD'), std::u16string::npos);
    for (const char *needle :
        {"id=\"hello\"", "desc=\"测试\"", "hello word.", "name=\"网址大全\"", "id=\"reload\"", "desc=\"刷新页面\"",
            "window.location.reload();", "Url=\"qrc:/home/index.html\"", "id=\"Readme\"", "languang=\"javascript\""})
        EXPECT_NE(bytes.find(needle), std::string::npos) << needle;
}

TEST(Resource, StringTableHoldsTheProgramsStrings)
{
    EXPECT_EQ(Resource::String(100), u"OLE 初始化失败。请确保 OLE 库是正确的版本。");
    EXPECT_EQ(Resource::String(104), u"Windows 套接字初始化失败。");
    EXPECT_EQ(Resource::String(124), u"标准");
    EXPECT_EQ(Resource::String(125), u"自定义...");
    EXPECT_EQ(Resource::String(132), u"窗口(&W)...");
    EXPECT_EQ(Resource::String(306), u"编辑");
    // The document string's seven fields: both type fields say "Vellum.Document".
    EXPECT_EQ(Resource::String(130), u"\nTessaly\nTessaly\n\n\nVellum.Document\nVellum.Document");
    EXPECT_EQ(Resource::String(101), u"");

    WCHAR buffer[8];
    EXPECT_EQ(LoadStringW(nullptr, 104, buffer, 8), 7);
    EXPECT_EQ(std::u16string(buffer), u"Windows");
    EXPECT_EQ(LoadStringW(nullptr, 124, buffer, 8), 2);
    EXPECT_EQ(std::u16string(buffer), u"标准");
    EXPECT_EQ(LoadStringW(nullptr, 9999, buffer, 8), 0);
    EXPECT_EQ(buffer[0], 0);
    LPCWSTR direct = nullptr;
    EXPECT_EQ(LoadStringW(nullptr, 306, reinterpret_cast<LPWSTR>(&direct), 0), 2);
    EXPECT_EQ(std::u16string(direct, 2), u"编辑");
}
