#include "util/FileFunctions.h"

#include "platform/FileSystem.h"
#include "platform/Resource.h"
#include "platform/WideString.h"
#include "util/CStdioFileEx.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

namespace KorrinUtilsFuns {

bool ReadTextFile(const wstring16 &path, wstring16 &text, int codePage)
{
    CStdioFileEx file;
    file.SetCodePage(codePage);
    if (!file.Open(path, CStdioFile::typeText))
        return true;
    const std::size_t before = text.size();
    try {
        wstring16 line;
        while (file.ReadString(line)) {
            // A line of megabytes is taken over or copied once into a text of the
            // size needed, not into one of twice the size, beside the line itself.
            const std::size_t needed = text.size() + line.size() + 2;
            if (text.empty() && line.capacity() >= needed) {
                text = std::move(line);
            } else if (needed > text.capacity()) {
                text.reserve(std::max(needed, text.capacity() + text.capacity() / 2));
                text += line;
            } else {
                text += line;
            }
            text += u"\r\n";
        }
        file.Close();
    } catch (const CFileException &) {
        // Half a file read as if it were whole would be worse than none.
        text.resize(before);
        file.Abort();
        return false;
    } catch (const std::bad_alloc &) {
        text.resize(before);
        file.Abort();
        return false;
    }
    return true;
}

void WriteTextFile(const wstring16 &path, const wstring16 &text, bool unicode, bool append)
{
    UINT flags = CStdioFile::modeCreate | CStdioFile::typeText | CStdioFile::modeWrite;
    if (append)
        flags |= CStdioFile::modeNoTruncate;
    if (unicode)
        flags |= CStdioFileEx::modeUnicodeWrite;
    CStdioFileEx file;
    if (!file.Open(path, flags))
        return;
    try {
        if (append)
            file.SeekToEnd();
        file.WriteString(text);
        file.Close();
    } catch (const CFileException &) {
        file.Abort();
    }
}

bool ReplaceTextFile(const wstring16 &path, const wstring16 &text)
{
    std::string bytes;
    try {
        bytes.reserve(2 + text.size() * 2);
        bytes += "\xFF\xFE";
        for (char16_t unit : text) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
    } catch (const std::bad_alloc &) {
        return false;
    }
    return ReplaceFileBytes(path, bytes);
}

bool ReplaceFileBytes(const wstring16 &path, const std::string &bytes, const wstring16 &previous)
{
    const std::string target = FileSystem::NativePath(path.c_str());
    // A read-only file stays as it is, whoever runs the program (root included).
    struct stat info { };
    if (target.empty() || (stat(target.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0))
        return false;
    const std::string temporary = target + ".new~";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    const bool written = done == bytes.size() && fsync(fd) == 0;
    if (close(fd) != 0 || !written) {
        unlink(temporary.c_str());
        return false;
    }
    // Between the two renames only the kept copy is there: a reader takes that.
    if (!previous.empty()) {
        const std::string kept = FileSystem::NativePath(previous.c_str());
        if (!kept.empty() && access(target.c_str(), F_OK) == 0)
            rename(target.c_str(), kept.c_str());
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    const std::string::size_type slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
    if (const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

bool ExtractResourceToFile(HMODULE module, UINT resourceId, const wstring16 &resourceType, const wstring16 &path)
{
    if (resourceId == 0 || resourceId > 0xFFFF)
        return false;
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(static_cast<WORD>(resourceId)), resourceType.c_str());
    if (!resource)
        return false;
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded)
        return false;
    const void *data = LockResource(loaded);
    if (!data)
        return false;
    const DWORD size = SizeofResource(module, resource);
    CStdioFile file;
    if (!file.Open(path, CStdioFile::modeCreate | CStdioFile::modeReadWrite))
        return false;
    try {
        file.Write(data, size);
        file.Close();
    } catch (const CFileException &) {
        // A catalogue cut short by a full disk must not pass for the template.
        file.Abort();
        return false;
    }
    return true;
}

bool IsFolder(const wstring16 &path) { return PathIsDirectoryW(path.c_str()) != FALSE; }

bool FileExists(const wstring16 &path) { return PathFileExistsW(path.c_str()) != FALSE; }

void DeleteFileForced(const wstring16 &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    DeleteFileW(path.c_str());
}

bool CreateFolderPath(const wstring16 &path)
{
    const auto isFolder = [](const wstring16 &p) {
        const DWORD attributes = GetFileAttributesW(p.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    };
    if (path.empty())
        return false;
    if (isFolder(path))
        return true;
    std::vector<wstring16> levels;
    for (std::size_t i = 0; i < path.size(); ++i)
        if (path[i] == u'/')
            levels.push_back(path.substr(0, i));
    levels.push_back(path);
    // The root (an empty prefix) stands where a drive stood and is never created;
    // a relative path's first folder is a folder like any other.
    for (const wstring16 &level : levels) {
        if (level.empty())
            continue;
        if (CreateDirectoryW(level.c_str(), nullptr))
            SetFileAttributesW(level.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    return isFolder(path);
}

wstring16 GetShortFolder(const wstring16 &path)
{
    const DWORD needed = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0)
        return {};
    wstring16 buffer(needed, u'\0');
    const DWORD length = GetShortPathNameW(path.c_str(), buffer.data(), needed);
    buffer.resize(length < needed ? length : 0);
    const wstring16 trimmed = WideString::Trim(buffer);
    const auto slash = trimmed.rfind(u'/');
    return slash == wstring16::npos ? wstring16() : trimmed.substr(0, slash + 1);
}

wstring16 GetFileNamePart(const wstring16 &path)
{
    const auto slash = path.rfind(u'/');
    return slash == wstring16::npos ? path : path.substr(slash + 1);
}

} // namespace KorrinUtilsFuns
