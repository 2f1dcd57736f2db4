#pragma once
// Resources: files of res/ embedded into the program at build time, byte for
// byte, found by numeric identifier (or name) and type name (or number).

#include "platform/Win32Types.h"

#include <cstddef>

// An integer resource identifier in place of a name, as on Windows.
inline LPCWSTR MAKEINTRESOURCEW(WORD id) { return reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(id)); }
inline bool IS_INTRESOURCE(LPCWSTR name) { return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0; }

// Names match without regard to letter case; "#314" is the same as MAKEINTRESOURCEW(314).
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
// The bytes stay valid for the whole run.
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);

// The string with the identifier from the string table (res/strings.txt),
// copied into buffer (cut to max - 1 units and terminated); its length, 0 when
// there is no such string. With max 0, *buffer receives a pointer to the
// read-only text instead, which is not terminated.
int LoadStringW(HMODULE module, UINT id, LPWSTR buffer, int max);

// One embedded file; the build generates the table from res/resources.txt.
struct EmbeddedResource {
    unsigned id; // numeric identifier, 0 when the resource has a name
    const char16_t *name; // name when id is 0
    unsigned typeId; // numeric type, 0 when the type has a name
    const char16_t *typeName; // type name when typeId is 0
    const unsigned char *data;
    std::size_t size;
};

namespace Resource {
// Every embedded resource, in manifest order.
const EmbeddedResource *Table(std::size_t *count);
// The string table's text of id; empty when there is none.
wstring16 String(UINT id);
} // namespace Resource
