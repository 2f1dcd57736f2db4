#pragma once
// Private-profile (INI) files with Windows' behaviour: sections and keys match
// without regard to letter case; a file that starts with FF FE is read and
// written as UTF-16LE, one that starts with EF BB BF as UTF-8 with that mark,
// any other in the active code page. A write changes only the line it concerns
// and keeps every other byte of the file; a missing file is created.
// Safe to call from any thread.

#include "platform/Win32Types.h"

// The key's value (trimmed, one pair of enclosing quotes removed) or defaultValue.
// A null key lists the section's keys, a null section every section name, each
// NUL-terminated with one more NUL at the end. Returns the characters copied
// without the final terminator; a value cut to fit returns capacity - 1
// (a cut list capacity - 2).
DWORD GetPrivateProfileStringW(
    LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR target, DWORD capacity, LPCWSTR fileName);

// The value read as an integer (optional sign, decimal or 0x hex digits);
// defaultValue when the key is missing or empty.
UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR fileName);

// A null value deletes the key, a null key the whole section.
BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName);
