#include "platform/Resource.h"

#include "platform/FileSystem.h"
#include "platform/Threading.h"
#include "platform/WideString.h"

#include <algorithm>
#include <map>
#include <string>
#include <string_view>

// Generated from res/resources.txt at build time.
extern const EmbeddedResource g_embeddedResources[];
extern const std::size_t g_embeddedResourceCount;

namespace {

// Resolves a name or type given either as an integer resource or as text
// ("#123" is the number 123). Text names compare without regard to case.
struct Key {
    unsigned id = 0;
    wstring16 name;
};

Key MakeKey(LPCWSTR value)
{
    Key key;
    if (IS_INTRESOURCE(value)) {
        key.id = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(value));
        return key;
    }
    key.name = WideString::ToLower(value);
    if (key.name.size() > 1 && key.name[0] == u'#' && key.name.find_first_not_of(u"0123456789", 1) == wstring16::npos &&
        key.name.size() <= 6) {
        key.id = static_cast<unsigned>(WideString::ToInt(std::u16string_view(key.name).substr(1)));
        key.name.clear();
    }
    return key;
}

bool Matches(const Key &key, unsigned id, const char16_t *name)
{
    if (key.id)
        return id == key.id;
    return id == 0 && name && WideString::ToLower(name) == key.name;
}

bool ModuleIsOurs(HMODULE module) { return !module || module == GetModuleHandleW(nullptr); }

constexpr unsigned kStringTableId = 1;

// Read once from resource 1 of type "STRINGTABLE"; lines that are not
// "identifier text" are skipped.
const std::map<UINT, wstring16> &StringTable()
{
    static const std::map<UINT, wstring16> table = [] {
        std::map<UINT, wstring16> strings;
        HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(kStringTableId), u"STRINGTABLE");
        const auto *bytes = found ? static_cast<const char *>(LockResource(LoadResource(nullptr, found))) : nullptr;
        if (!bytes)
            return strings;
        const std::string_view text(bytes, SizeofResource(nullptr, found));
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string_view::npos)
                end = text.size();
            std::string_view line = text.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            const std::size_t digits = line.find_first_not_of("0123456789");
            if (digits == 0 || digits == std::string_view::npos || digits > 5 ||
                (line[digits] != ' ' && line[digits] != '\t'))
                continue;
            const UINT id = static_cast<UINT>(std::stoul(std::string(line.substr(0, digits))));
            std::string_view body = line.substr(digits);
            body.remove_prefix(std::min(body.find_first_not_of(" \t"), body.size()));
            std::string unescaped;
            for (std::size_t i = 0; i < body.size(); ++i) {
                if (body[i] == '\\' && i + 1 < body.size()) {
                    const char next = body[++i];
                    unescaped += next == 'n' ? '\n' : next == 't' ? '\t' : next;
                } else {
                    unescaped += body[i];
                }
            }
            if (id <= 0xFFFF)
                strings[id] = WideString::FromUtf8(unescaped);
        }
        return strings;
    }();
    return table;
}

} // namespace

namespace Resource {

const EmbeddedResource *Table(std::size_t *count)
{
    if (count)
        *count = g_embeddedResourceCount;
    return g_embeddedResources;
}

wstring16 String(UINT id)
{
    const auto &table = StringTable();
    const auto it = table.find(id);
    return it == table.end() ? wstring16() : it->second;
}

} // namespace Resource

int LoadStringW(HMODULE module, UINT id, LPWSTR buffer, int max)
{
    if (!ModuleIsOurs(module) || !buffer || max < 0)
        return 0;
    const auto &table = StringTable();
    const auto it = table.find(id);
    if (it == table.end()) {
        if (max > 0)
            buffer[0] = 0;
        return 0;
    }
    const wstring16 &text = it->second;
    if (max == 0) {
        *reinterpret_cast<LPCWSTR *>(buffer) = text.c_str();
        return static_cast<int>(text.size());
    }
    const int length = std::min(static_cast<int>(text.size()), max - 1);
    std::copy_n(text.begin(), length, buffer);
    buffer[length] = 0;
    return length;
}

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    if (!ModuleIsOurs(module)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!name || !type) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const Key nameKey = MakeKey(name);
    const Key typeKey = MakeKey(type);
    bool typeSeen = false;
    for (std::size_t i = 0; i < g_embeddedResourceCount; ++i) {
        const EmbeddedResource &r = g_embeddedResources[i];
        if (!Matches(typeKey, r.typeId, r.typeName))
            continue;
        typeSeen = true;
        if (Matches(nameKey, r.id, r.name))
            return reinterpret_cast<HRSRC>(const_cast<EmbeddedResource *>(&r));
    }
    SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource)
{
    if (!ModuleIsOurs(module) || !resource) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return resource;
}

LPVOID LockResource(HGLOBAL data)
{
    if (!data)
        return nullptr;
    return const_cast<unsigned char *>(static_cast<const EmbeddedResource *>(data)->data);
}

DWORD SizeofResource(HMODULE module, HRSRC resource)
{
    if (!ModuleIsOurs(module) || !resource) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<DWORD>(reinterpret_cast<const EmbeddedResource *>(resource)->size);
}
