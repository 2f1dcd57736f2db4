#include "platform/FileSystem.h"
#include "platform/Threading.h"
#include "tests/common/TempDir.h"
#include "tests/util/TestBytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>

using TestBytes::Wide;

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const std::optional<std::string> &value) : m_name(name)
    {
        if (const char *old = std::getenv(name))
            m_old = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *m_name;
    std::optional<std::string> m_old;
};

} // namespace

TEST(FileSystem, ExistenceAndFolders)
{
    TempDir dir;
    TestBytes::Write(dir / "file.txt", "x");
    const auto file = Wide(dir / "file.txt");
    const auto folder = Wide(dir.Path());
    const auto missing = Wide(dir / "missing");
    EXPECT_TRUE(PathFileExistsW(file.c_str()));
    EXPECT_TRUE(PathFileExistsW(folder.c_str()));
    EXPECT_FALSE(PathFileExistsW(missing.c_str()));
    EXPECT_FALSE(PathFileExistsW(u""));
    EXPECT_FALSE(PathFileExistsW(nullptr));
    EXPECT_FALSE(PathIsDirectoryW(file.c_str()));
    EXPECT_TRUE(PathIsDirectoryW(folder.c_str()));
    EXPECT_FALSE(PathIsDirectoryW(missing.c_str()));
}

TEST(FileSystem, CreateDirectoryReportsWhy)
{
    TempDir dir;
    const auto made = Wide(dir / "made");
    EXPECT_TRUE(CreateDirectoryW(made.c_str(), nullptr));
    EXPECT_TRUE(PathIsDirectoryW(made.c_str()));
    EXPECT_FALSE(CreateDirectoryW(made.c_str(), nullptr));
    EXPECT_EQ(ERROR_ALREADY_EXISTS, GetLastError());
    const auto orphan = Wide(dir / "no" / "parent");
    EXPECT_FALSE(CreateDirectoryW(orphan.c_str(), nullptr));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
}

TEST(FileSystem, ReadOnlyIsTheWriteBits)
{
    TempDir dir;
    TestBytes::Write(dir / "f", "x");
    const auto file = Wide(dir / "f");
    EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, GetFileAttributesW(file.c_str()));
    EXPECT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(FILE_ATTRIBUTE_READONLY, GetFileAttributesW(file.c_str()));
    struct stat info;
    ASSERT_EQ(0, stat((dir / "f").c_str(), &info));
    EXPECT_EQ(0u, info.st_mode & 0222);
    // Windows refuses to delete a read-only file; so do we.
    EXPECT_FALSE(DeleteFileW(file.c_str()));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_TRUE(PathFileExistsW(file.c_str()));
    EXPECT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, GetFileAttributesW(file.c_str()));
    EXPECT_TRUE(DeleteFileW(file.c_str()));
    EXPECT_FALSE(PathFileExistsW(file.c_str()));

    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesW(Wide(dir.Path()).c_str()));
    EXPECT_FALSE(DeleteFileW(Wide(dir.Path()).c_str())) << "a folder is not a file";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(file.c_str()));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_FALSE(DeleteFileW(file.c_str()));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST(FileSystem, ShortPathIsThePathOfSomethingThatExists)
{
    TempDir dir;
    const auto folder = Wide(dir.Path());
    char16_t buffer[4096];
    EXPECT_EQ(folder.size(), GetShortPathNameW(folder.c_str(), buffer, 4096));
    EXPECT_EQ(folder, std::u16string(buffer));
    EXPECT_EQ(folder.size() + 1, GetShortPathNameW(folder.c_str(), buffer, 3));
    EXPECT_EQ(0u, GetShortPathNameW(Wide(dir / "missing").c_str(), buffer, 4096));
}

TEST(FileSystem, ModuleFileName)
{
    char16_t buffer[4096];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, 4096);
    ASSERT_GT(length, 0u);
    EXPECT_TRUE(std::u16string(buffer).ends_with(u"/test_platform"));
    EXPECT_EQ(length, GetModuleFileNameW(GetModuleHandleW(nullptr), buffer, 4096));

    FileSystem::SetModuleFileNameForTest(u"/opt/tessaly/Orvane.exe");
    EXPECT_EQ(23u, GetModuleFileNameW(nullptr, buffer, 4096));
    EXPECT_EQ(u"/opt/tessaly/Orvane.exe", std::u16string(buffer));
    // Too small: cut, terminated, the capacity answered.
    EXPECT_EQ(5u, GetModuleFileNameW(nullptr, buffer, 5));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    EXPECT_EQ(u"/opt", std::u16string(buffer));
    FileSystem::SetModuleFileNameForTest(u"");
    EXPECT_EQ(length, GetModuleFileNameW(nullptr, buffer, 4096));

    EXPECT_EQ(0u, GetModuleFileNameW(reinterpret_cast<HMODULE>(0x1234), buffer, 4096));
    EXPECT_EQ(nullptr, GetModuleHandleW(u"other.dll"));
}

TEST(FileSystem, UserFilesStayBesideAProgramInAFolderTheUserMayWrite)
{
    namespace fs = std::filesystem;
    TempDir dir;
    ScopedEnv data("XDG_DATA_HOME", (dir / "data").string());
    const auto program = dir / "程序";
    fs::create_directories(program);
    const auto dataFolder = Wide(dir / "data") + u"/tessaly/";

    EXPECT_EQ(Wide(program) + u"/", FileSystem::UserFilesFolder(Wide(program), u"tessaly", {}));
    EXPECT_EQ(Wide(program) + u"/", FileSystem::UserFilesFolder(Wide(program) + u"/", u"tessaly", {u"/usr/bin"}));

    // No write bit at all: read-only, for root too.
    fs::permissions(program, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(dataFolder, FileSystem::UserFilesFolder(Wide(program), u"tessaly", {}));
    fs::permissions(program, fs::perms::owner_all);

    // The folder an install puts programs in, named through a link and with a '/'.
    fs::create_directory_symlink(program, dir / "link");
    EXPECT_EQ(dataFolder, FileSystem::UserFilesFolder(Wide(program), u"tessaly", {Wide(dir / "link") + u"/"}));
    EXPECT_EQ(dataFolder, FileSystem::UserFilesFolder(Wide(dir / "missing"), u"tessaly", {}));
    EXPECT_FALSE(fs::exists(dir / "data")) << "deciding creates nothing";
}

TEST(FileSystem, UserDataFolderFollowsTheXdgRules)
{
    namespace fs = std::filesystem;
    TempDir dir;
    const auto program = dir / "bin";
    fs::create_directories(program);
    fs::permissions(program, fs::perms::owner_read | fs::perms::owner_exec);
    ScopedEnv home("HOME", (dir / "home").string());
    const auto user = [&] { return FileSystem::UserFilesFolder(Wide(program), u"tessaly", {}); };

    {
        ScopedEnv data("XDG_DATA_HOME", (dir / "xdg").string() + "/");
        EXPECT_EQ(Wide(dir / "xdg") + u"/tessaly/", user());
    }
    const auto fallback = Wide(dir / "home") + u"/.local/share/tessaly/";
    {
        ScopedEnv data("XDG_DATA_HOME", std::nullopt);
        EXPECT_EQ(fallback, user());
    }
    {
        ScopedEnv data("XDG_DATA_HOME", "");
        EXPECT_EQ(fallback, user());
    }
    {
        ScopedEnv data("XDG_DATA_HOME", "relative/data");
        EXPECT_EQ(fallback, user()) << "a relative XDG_DATA_HOME is ignored";
    }
    fs::permissions(program, fs::perms::owner_all);
}
