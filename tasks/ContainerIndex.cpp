#include "tasks/ContainerIndex.h"

#include "platform/FileSystem.h"
#include "platform/WideString.h"
#include "util/FileFunctions.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>

namespace {

constexpr std::string_view kMagic = "TessalyContainers 1\n";

bool IsIdeograph(char16_t c) { return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF); }

bool IsFolderChar(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'-' || IsIdeograph(c);
}

// Characters that would break a line of the file or change how the name reads.
bool IsControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) ||
        (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF;
}

bool IsSpace(char16_t c) { return c == u' ' || c == 0x3000 || c == 0x00A0 || (c >= 0x2000 && c <= 0x200A); }

bool IsReserved(const wstring16 &folder)
{
    static const std::array<std::u16string_view, 4> names = {u"con", u"prn", u"aux", u"nul"};
    if (std::find(names.begin(), names.end(), folder) != names.end())
        return true;
    return folder.size() == 4 && (folder.starts_with(u"com") || folder.starts_with(u"lpt")) && folder[3] >= u'0' &&
        folder[3] <= u'9';
}

} // namespace

wstring16 ContainerIndex::CleanName(const wstring16 &name)
{
    wstring16 out;
    bool pendingSpace = false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char16_t c = name[i];
        // A surrogate stands only as half of a pair; alone it would not survive UTF-8.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF) {
            if (pendingSpace && !out.empty())
                out += u' ';
            pendingSpace = false;
            out += c;
            out += name[++i];
            continue;
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (IsControl(c) || IsSpace(c)) {
            pendingSpace = true;
            continue;
        }
        if (pendingSpace && !out.empty())
            out += u' ';
        pendingSpace = false;
        out += c;
    }
    if (out.size() > kMaxNameUnits) {
        out.resize(kMaxNameUnits);
        if (out.back() >= 0xD800 && out.back() <= 0xDBFF)
            out.pop_back();
        while (!out.empty() && out.back() == u' ')
            out.pop_back();
    }
    return out;
}

bool ContainerIndex::IsSafeFolder(const wstring16 &folder)
{
    if (folder.empty() || folder.size() > kMaxFolderUnits || folder.front() == u'-' || IsReserved(folder))
        return false;
    return std::all_of(folder.begin(), folder.end(), IsFolderChar);
}

wstring16 ContainerIndex::DeriveFolder(const wstring16 &name, const std::function<bool(const wstring16 &)> &taken)
{
    wstring16 base;
    for (char16_t c : name) {
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
        if (!IsFolderChar(c))
            c = u'_';
        if (c == u'_' && !base.empty() && base.back() == u'_')
            continue;
        base += c;
    }
    while (!base.empty() && (base.front() == u'_' || base.front() == u'-'))
        base.erase(0, 1);
    // Room for a "-number" suffix.
    if (base.size() > kMaxFolderUnits - 6)
        base.resize(kMaxFolderUnits - 6);
    while (!base.empty() && (base.back() == u'_' || base.back() == u'-'))
        base.pop_back();
    if (base.empty() || IsReserved(base))
        base = u"container" + (base.empty() ? wstring16() : u"_" + base);
    wstring16 folder = base;
    for (int n = 2; taken(folder); ++n)
        folder = base + u"-" + WideString::FromUtf8(std::to_string(n));
    return folder;
}

int ContainerIndex::FreeColour(const std::vector<Entry> &entries)
{
    std::array<int, kColours> used {};
    for (const Entry &entry : entries)
        if (entry.colour >= 0 && entry.colour < kColours)
            ++used[static_cast<std::size_t>(entry.colour)];
    return static_cast<int>(std::min_element(used.begin(), used.end()) - used.begin());
}

std::string ContainerIndex::Compose(const std::vector<Entry> &entries)
{
    std::string out(kMagic);
    for (const Entry &entry : entries) {
        out += WideString::ToUtf8(entry.folder);
        out += '\t';
        out += std::to_string(entry.colour);
        out += '\t';
        out += WideString::ToUtf8(entry.name);
        out += '\n';
    }
    return out;
}

std::vector<ContainerIndex::Entry> ContainerIndex::Parse(std::string_view bytes)
{
    std::vector<Entry> entries;
    if (!bytes.starts_with(kMagic))
        return entries;
    bytes.remove_prefix(kMagic.size());
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        // A last line without its line break was cut short by a crash.
        if (end == std::string_view::npos)
            break;
        const std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end + 1);
        const std::size_t tab1 = line.find('\t');
        const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string_view::npos || tab2 != tab1 + 2)
            continue;
        const char digit = line[tab1 + 1];
        if (digit < '0' || digit >= '0' + kColours)
            continue;
        Entry entry;
        entry.folder = WideString::FromUtf8(line.substr(0, tab1));
        entry.colour = digit - '0';
        entry.name = WideString::FromUtf8(line.substr(tab2 + 1));
        if (!IsSafeFolder(entry.folder) || entry.name.empty() || CleanName(entry.name) != entry.name ||
            WideString::ToUtf8(entry.folder) != line.substr(0, tab1))
            continue;
        const bool duplicate = std::any_of(entries.begin(), entries.end(),
            [&](const Entry &e) { return e.folder == entry.folder || e.name == entry.name; });
        if (!duplicate)
            entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<ContainerIndex::Entry> ContainerIndex::Read(const wstring16 &folder)
{
    // Between the two renames of a save only the previous copy is there.
    for (const wstring16 &path : {folder + kFileName, folder + kFileName + u".prev"}) {
        std::ifstream in(FileSystem::NativePath(path.c_str()), std::ios::binary);
        if (!in)
            continue;
        // Far beyond any real list; a bigger file is not one of ours.
        constexpr std::streamsize kMaxBytes = 1 << 20;
        std::string bytes(static_cast<std::size_t>(kMaxBytes), '\0');
        in.read(bytes.data(), kMaxBytes);
        bytes.resize(static_cast<std::size_t>(in.gcount()));
        return Parse(bytes);
    }
    return {};
}

bool ContainerIndex::Write(const wstring16 &folder, const std::vector<Entry> &entries)
{
    if (!KorrinUtilsFuns::CreateFolderPath(folder))
        return false;
    const wstring16 path = folder + kFileName;
    return KorrinUtilsFuns::ReplaceFileBytes(path, Compose(entries), path + u".prev");
}
