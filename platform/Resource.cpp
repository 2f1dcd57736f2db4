#include "platform/Resource.h"

#include "platform/FileSystem.h"
#include "platform/Threading.h"
#include "platform/WideString.h"

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

} // namespace

namespace Resource {

const EmbeddedResource *Table(std::size_t *count)
{
    if (count)
        *count = g_embeddedResourceCount;
    return g_embeddedResources;
}

} // namespace Resource

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
