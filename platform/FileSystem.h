#pragma once
// File and folder functions with Win32 semantics over POSIX paths.
// Paths are wide strings; '/' separates their parts. Failures set GetLastError.

#include "platform/Win32Types.h"

#include <string>
#include <vector>

BOOL PathFileExistsW(LPCWSTR path);
// True (FILE_ATTRIBUTE_DIRECTORY) when path names a folder, false otherwise.
BOOL PathIsDirectoryW(LPCWSTR path);

// Fails with ERROR_ALREADY_EXISTS when something is there already and with
// ERROR_PATH_NOT_FOUND when the parent folder is missing.
BOOL CreateDirectoryW(LPCWSTR path, struct SECURITY_ATTRIBUTES *attributes);

// Read-only stands for "no write permission bit at all"; setting it clears every
// write bit, clearing it gives the owner write permission back.
DWORD GetFileAttributesW(LPCWSTR path);
BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes);

// As on Windows, a read-only file is not deleted (ERROR_ACCESS_DENIED), nor is a folder.
BOOL DeleteFileW(LPCWSTR path);

// There are no short names: the path itself is the answer. It must exist.
// Returns the length copied, or the size needed (with terminator) when the buffer is too small.
DWORD GetShortPathNameW(LPCWSTR longPath, LPWSTR shortPath, DWORD capacity);

// The running executable's path (from /proc/self/exe). The module must be null or
// the program's own. A path that does not fit is cut to capacity - 1 characters,
// terminated, and capacity is returned with ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD capacity);
// The program's own module handle (never null).
HMODULE GetModuleHandleW(LPCWSTR moduleName);

namespace FileSystem {

// POSIX path of a wide path (UTF-8).
std::string NativePath(LPCWSTR path);

// Where a program keeps the files it writes, ending in '/': exeFolder itself where the
// user may write there (a build folder, a portable copy), else the user's data folder
// by the XDG base-directory rules: $XDG_DATA_HOME/<name>/, by default
// ~/.local/share/<name>/. Root may write anywhere, so a folder without any write bit
// counts as read-only (as GetFileAttributesW has it), and the systemFolders, where an
// install puts programs, never count as the user's. Creates nothing.
wstring16 UserFilesFolder(
    const wstring16 &exeFolder, const wstring16 &name, const std::vector<wstring16> &systemFolders);

// Tests make the program believe it runs from another path; an empty text
// restores the real one.
void SetModuleFileNameForTest(const wstring16 &path);

} // namespace FileSystem
