#include "platform/FileSystem.h"

#include "platform/Threading.h"
#include "platform/WideString.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct ModuleOverride {
    std::mutex mutex;
    wstring16 path;
};

ModuleOverride &Override()
{
    static ModuleOverride value;
    return value;
}

// Any non-null value names the program; there is no other module.
HMODULE SelfModule() { return reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x400000)); }

DWORD ErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EBUSY:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
    case ENOTEMPTY:
        return ERROR_ALREADY_EXISTS;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

bool StatPath(LPCWSTR path, struct stat &info)
{
    if (!path || !*path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (stat(FileSystem::NativePath(path).c_str(), &info) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return false;
    }
    return true;
}

DWORD CopyOut(const wstring16 &text, LPWSTR target, DWORD capacity)
{
    if (!target || capacity <= text.size())
        return static_cast<DWORD>(text.size() + 1);
    text.copy(target, text.size());
    target[text.size()] = 0;
    return static_cast<DWORD>(text.size());
}

} // namespace

namespace FileSystem {

std::string NativePath(LPCWSTR path) { return path ? WideString::ToUtf8(path) : std::string(); }

namespace {

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Symbolic links and a trailing '/' do not make another folder.
std::string SameFolderKey(const std::string &path)
{
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
    return WithoutTrailingSlash(error ? path : canonical.string());
}

bool UserMayWrite(const std::string &folder)
{
    struct stat info { };
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    return access(folder.c_str(), W_OK | X_OK) == 0;
}

// The XDG rules ignore a relative $XDG_DATA_HOME.
std::string DataHome()
{
    const char *data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return WithoutTrailingSlash(data);
    std::string home;
    if (const char *value = std::getenv("HOME"); value && *value)
        home = value;
    else if (const passwd *entry = getpwuid(getuid()); entry && entry->pw_dir)
        home = entry->pw_dir;
    if (home.empty())
        return std::string();
    return WithoutTrailingSlash(home) + "/.local/share";
}

} // namespace

wstring16 UserFilesFolder(
    const wstring16 &exeFolder, const wstring16 &name, const std::vector<wstring16> &systemFolders)
{
    const std::string folder = NativePath(exeFolder.c_str());
    bool system = false;
    for (const wstring16 &candidate : systemFolders)
        system =
            system || (!candidate.empty() && SameFolderKey(NativePath(candidate.c_str())) == SameFolderKey(folder));
    if (!system && UserMayWrite(folder))
        return exeFolder.ends_with(u'/') ? exeFolder : exeFolder + u'/';
    const std::string data = DataHome();
    if (data.empty())
        return wstring16();
    return WideString::FromUtf8(data) + u'/' + name + u'/';
}

void SetModuleFileNameForTest(const wstring16 &path)
{
    std::lock_guard lock(Override().mutex);
    Override().path = path;
}

} // namespace FileSystem

BOOL PathFileExistsW(LPCWSTR path)
{
    struct stat info;
    return StatPath(path, info) ? TRUE : FALSE;
}

BOOL PathIsDirectoryW(LPCWSTR path)
{
    struct stat info;
    if (!StatPath(path, info) || !S_ISDIR(info.st_mode))
        return FALSE;
    return static_cast<BOOL>(FILE_ATTRIBUTE_DIRECTORY);
}

BOOL CreateDirectoryW(LPCWSTR path, SECURITY_ATTRIBUTES *)
{
    if (!path || !*path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (mkdir(FileSystem::NativePath(path).c_str(), 0777) != 0) {
        const int error = errno;
        SetLastError(error == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(error));
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR path)
{
    struct stat info;
    if (!StatPath(path, info))
        return INVALID_FILE_ATTRIBUTES;
    DWORD attributes = 0;
    if (S_ISDIR(info.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes)
{
    struct stat info;
    if (!StatPath(path, info))
        return FALSE;
    mode_t mode = info.st_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        mode |= S_IWUSR;
    if (mode != (info.st_mode & 07777) && chmod(FileSystem::NativePath(path).c_str(), mode) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL DeleteFileW(LPCWSTR path)
{
    struct stat info;
    if (!path || !*path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    const std::string native = FileSystem::NativePath(path);
    if (lstat(native.c_str(), &info) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    if (S_ISDIR(info.st_mode) || (!S_ISLNK(info.st_mode) && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (unlink(native.c_str()) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetShortPathNameW(LPCWSTR longPath, LPWSTR shortPath, DWORD capacity)
{
    if (!longPath) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!PathFileExistsW(longPath))
        return 0;
    return CopyOut(wstring16(longPath), shortPath, capacity);
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD capacity)
{
    if (module && module != SelfModule()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    wstring16 path;
    {
        std::lock_guard lock(Override().mutex);
        path = Override().path;
    }
    if (path.empty()) {
        std::string buffer(4096, '\0');
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
            SetLastError(length <= 0 ? ErrorFromErrno(errno) : ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        buffer.resize(static_cast<std::size_t>(length));
        path = WideString::FromUtf8(buffer);
    }
    if (!fileName || capacity == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() >= capacity) {
        path.copy(fileName, capacity - 1);
        fileName[capacity - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return capacity;
    }
    path.copy(fileName, path.size());
    fileName[path.size()] = 0;
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}

HMODULE GetModuleHandleW(LPCWSTR moduleName)
{
    if (moduleName) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return SelfModule();
}
