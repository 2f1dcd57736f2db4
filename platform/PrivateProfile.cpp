#include "platform/PrivateProfile.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Threading.h"
#include "platform/WideString.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// One lock for every profile call: a write is a read-modify-write of the whole file.
std::mutex g_profileLock;

enum class Encoding { Ansi, Utf8Mark, Utf16Le };

struct Line {
    std::string raw; // bytes of the line as in the file, without its ending
    std::string ending; // "\r\n", "\n" or "" (last line)
    wstring16 text;
    bool changed = false;
};

enum class Kind { Blank, Comment, Section, Key };

struct Parsed {
    Kind kind = Kind::Blank;
    wstring16 name; // section or key name
    wstring16 value;
};

struct Profile {
    Encoding encoding = Encoding::Ansi;
    UINT codePage = CP_UTF8;
    std::string mark;
    std::vector<Line> lines;
    std::string oddByte; // a UTF-16LE file of odd length keeps its last byte
};

wstring16 Decode(const Profile &p, const std::string &raw)
{
    if (raw.empty())
        return {};
    if (p.encoding == Encoding::Utf16Le) {
        wstring16 text;
        for (std::size_t i = 0; i + 1 < raw.size(); i += 2)
            text.push_back(static_cast<char16_t>(
                static_cast<unsigned char>(raw[i]) | (static_cast<unsigned char>(raw[i + 1]) << 8)));
        return text;
    }
    const UINT cp = p.encoding == Encoding::Utf8Mark ? CP_UTF8 : p.codePage;
    const int n = MultiByteToWideChar(cp, 0, raw.data(), static_cast<int>(raw.size()), nullptr, 0);
    wstring16 text(static_cast<std::size_t>(std::max(n, 0)), u'\0');
    if (n > 0)
        MultiByteToWideChar(cp, 0, raw.data(), static_cast<int>(raw.size()), text.data(), n);
    return text;
}

std::string Encode(const Profile &p, const wstring16 &text)
{
    if (text.empty())
        return {};
    if (p.encoding == Encoding::Utf16Le) {
        std::string raw;
        for (char16_t c : text) {
            raw.push_back(static_cast<char>(c & 0xFF));
            raw.push_back(static_cast<char>(c >> 8));
        }
        return raw;
    }
    const UINT cp = p.encoding == Encoding::Utf8Mark ? CP_UTF8 : p.codePage;
    const int length = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(cp, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string raw(static_cast<std::size_t>(std::max(n, 0)), '\0');
    if (n > 0)
        WideCharToMultiByte(cp, 0, text.data(), length, raw.data(), n, nullptr, nullptr);
    return raw;
}

std::string LineBreak(const Profile &p)
{
    return p.encoding == Encoding::Utf16Le ? std::string("\r\0\n\0", 4) : "\r\n";
}

void Split(Profile &p, const std::string &bytes, std::size_t from)
{
    const bool wide = p.encoding == Encoding::Utf16Le;
    std::size_t end = bytes.size();
    if (wide && (end - from) % 2) {
        p.oddByte = bytes.substr(end - 1);
        --end;
    }
    const std::size_t unit = wide ? 2 : 1;
    std::size_t start = from;
    for (std::size_t i = from; i < end; i += unit) {
        const bool lf = bytes[i] == '\n' && (!wide || bytes[i + 1] == '\0');
        if (!lf)
            continue;
        Line line;
        std::size_t contentEnd = i;
        if (contentEnd >= start + unit && bytes[contentEnd - unit] == '\r' && (!wide || bytes[contentEnd - 1] == '\0'))
            contentEnd -= unit;
        line.raw = bytes.substr(start, contentEnd - start);
        line.ending = bytes.substr(contentEnd, i + unit - contentEnd);
        line.text = Decode(p, line.raw);
        p.lines.push_back(std::move(line));
        start = i + unit;
    }
    if (start < end) {
        Line line;
        line.raw = bytes.substr(start, end - start);
        line.text = Decode(p, line.raw);
        p.lines.push_back(std::move(line));
    }
}

// Reads the file; a missing one is an empty profile. nullopt: it exists but cannot be read.
std::optional<Profile> Load(const std::string &path)
{
    Profile p;
    p.codePage = GetACP();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return p;
        }
        SetLastError(errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
        return std::nullopt;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return std::nullopt;
    }
    std::string bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            SetLastError(ERROR_ACCESS_DENIED);
            return std::nullopt;
        }
        if (n == 0)
            break;
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    close(fd);
    std::size_t from = 0;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        p.encoding = Encoding::Utf16Le;
        from = 2;
    } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        p.encoding = Encoding::Utf8Mark;
        from = 3;
    }
    p.mark = bytes.substr(0, from);
    Split(p, bytes, from);
    return p;
}

bool Save(const std::string &path, const Profile &p)
{
    std::string bytes = p.mark;
    for (const Line &line : p.lines) {
        bytes += line.changed ? Encode(p, line.text) : line.raw;
        bytes += line.ending;
    }
    bytes += p.oddByte;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            close(fd);
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return close(fd) == 0;
}

Parsed Parse(const wstring16 &text)
{
    Parsed r;
    const wstring16 t = WideString::Trim(text);
    if (t.empty())
        return r;
    if (t[0] == u'[') {
        const auto close = t.rfind(u']');
        if (close != wstring16::npos) {
            r.kind = Kind::Section;
            r.name = WideString::Trim(std::u16string_view(t).substr(1, close - 1));
            return r;
        }
    }
    if (t[0] == u';') {
        r.kind = Kind::Comment;
        return r;
    }
    r.kind = Kind::Key;
    const auto eq = t.find(u'=');
    if (eq == wstring16::npos) {
        r.name = t;
    } else {
        r.name = WideString::TrimRight(std::u16string_view(t).substr(0, eq));
        r.value = WideString::TrimLeft(std::u16string_view(t).substr(eq + 1));
    }
    return r;
}

bool SameName(const wstring16 &a, LPCWSTR b) { return WideString::ToLower(a) == WideString::ToLower(b); }

// Index of the first header named section, or npos.
std::size_t FindSection(const std::vector<Line> &lines, LPCWSTR section)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Parsed parsed = Parse(lines[i].text);
        if (parsed.kind == Kind::Section && SameName(parsed.name, section))
            return i;
    }
    return wstring16::npos;
}

// One past the last line of the section whose header is at index header.
std::size_t SectionEnd(const std::vector<Line> &lines, std::size_t header)
{
    std::size_t i = header + 1;
    while (i < lines.size() && Parse(lines[i].text).kind != Kind::Section)
        ++i;
    return i;
}

std::size_t FindKey(const std::vector<Line> &lines, std::size_t header, LPCWSTR key)
{
    const std::size_t end = SectionEnd(lines, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        const Parsed parsed = Parse(lines[i].text);
        if (parsed.kind == Kind::Key && SameName(parsed.name, key))
            return i;
    }
    return wstring16::npos;
}

wstring16 Unquote(const wstring16 &value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

DWORD CopyValue(const wstring16 &value, LPWSTR target, DWORD capacity)
{
    const std::size_t n = std::min<std::size_t>(value.size(), capacity - 1);
    std::copy_n(value.begin(), n, target);
    target[n] = 0;
    return static_cast<DWORD>(n);
}

DWORD CopyList(const std::vector<wstring16> &names, LPWSTR target, DWORD capacity)
{
    wstring16 joined;
    for (const wstring16 &name : names) {
        joined += name;
        joined.push_back(0);
    }
    if (joined.size() + 1 <= capacity) {
        std::copy(joined.begin(), joined.end(), target);
        target[joined.size()] = 0;
        return static_cast<DWORD>(joined.size());
    }
    if (capacity < 2) {
        target[0] = 0;
        return 0;
    }
    std::copy_n(joined.begin(), capacity - 2, target);
    target[capacity - 2] = 0;
    target[capacity - 1] = 0;
    return capacity - 2;
}

Line NewLine(const Profile &p, wstring16 text)
{
    Line line;
    line.text = std::move(text);
    line.changed = true;
    line.ending = LineBreak(p);
    return line;
}

// A line that will have another after it needs an ending of its own.
void EndLine(const Profile &p, Line &line)
{
    if (line.ending.empty())
        line.ending = LineBreak(p);
}

} // namespace

DWORD GetPrivateProfileStringW(
    LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR target, DWORD capacity, LPCWSTR fileName)
{
    if (!target || capacity == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::optional<Profile> profile;
    if (fileName && *fileName) {
        std::lock_guard lock(g_profileLock);
        profile = Load(FileSystem::NativePath(fileName));
    }
    if (!profile)
        profile.emplace();
    const std::vector<Line> &lines = profile->lines;
    if (!section) {
        std::vector<wstring16> names;
        for (const Line &line : lines) {
            const Parsed parsed = Parse(line.text);
            if (parsed.kind == Kind::Section)
                names.push_back(parsed.name);
        }
        return CopyList(names, target, capacity);
    }
    const std::size_t header = FindSection(lines, section);
    if (!key) {
        std::vector<wstring16> names;
        if (header != wstring16::npos) {
            const std::size_t end = SectionEnd(lines, header);
            for (std::size_t i = header + 1; i < end; ++i) {
                const Parsed parsed = Parse(lines[i].text);
                if (parsed.kind == Kind::Key)
                    names.push_back(parsed.name);
            }
        }
        return CopyList(names, target, capacity);
    }
    const std::size_t at = header == wstring16::npos ? wstring16::npos : FindKey(lines, header, key);
    if (at != wstring16::npos)
        return CopyValue(Unquote(Parse(lines[at].text).value), target, capacity);
    return CopyValue(WideString::TrimRight(defaultValue ? defaultValue : u""), target, capacity);
}

UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR fileName)
{
    if (!section || !key)
        return static_cast<UINT>(defaultValue);
    char16_t buffer[1024];
    if (GetPrivateProfileStringW(section, key, u"", buffer, 1024, fileName) == 0)
        return static_cast<UINT>(defaultValue);
    const char16_t *p = buffer;
    while (*p && WideString::IsSpace(*p))
        ++p;
    bool negative = false;
    if (*p == u'+' || *p == u'-')
        negative = *p++ == u'-';
    unsigned base = 10;
    if (p[0] == u'0' && (p[1] == u'x' || p[1] == u'X')) {
        base = 16;
        p += 2;
    }
    UINT value = 0;
    for (;; ++p) {
        unsigned digit;
        if (*p >= u'0' && *p <= u'9')
            digit = *p - u'0';
        else if (base == 16 && *p >= u'a' && *p <= u'f')
            digit = *p - u'a' + 10;
        else if (base == 16 && *p >= u'A' && *p <= u'F')
            digit = *p - u'A' + 10;
        else
            break;
        value = value * base + digit;
    }
    return negative ? 0u - value : value;
}

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName)
{
    if (!section && !key && !value)
        return TRUE; // nothing is cached, so there is nothing to flush
    if (!section || !fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string path = FileSystem::NativePath(fileName);
    std::lock_guard lock(g_profileLock);
    std::optional<Profile> loaded = Load(path);
    if (!loaded)
        return FALSE;
    Profile &p = *loaded;
    std::vector<Line> &lines = p.lines;
    const std::size_t header = FindSection(lines, section);
    if (!key) {
        if (header == wstring16::npos)
            return TRUE;
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(header),
            lines.begin() + static_cast<std::ptrdiff_t>(SectionEnd(lines, header)));
        return Save(path, p) ? TRUE : FALSE;
    }
    const std::size_t at = header == wstring16::npos ? wstring16::npos : FindKey(lines, header, key);
    if (!value) {
        if (at == wstring16::npos)
            return TRUE;
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
        return Save(path, p) ? TRUE : FALSE;
    }
    // A line break in the value would smuggle further keys or sections into the file.
    wstring16 text(value);
    text = text.substr(0, text.find_first_of(u"\r\n"));
    if (at != wstring16::npos) {
        lines[at].text = Parse(lines[at].text).name + u"=" + text;
        lines[at].changed = true;
    } else if (header != wstring16::npos) {
        std::size_t after = header;
        const std::size_t end = SectionEnd(lines, header);
        for (std::size_t i = header + 1; i < end; ++i)
            if (Parse(lines[i].text).kind != Kind::Blank)
                after = i;
        EndLine(p, lines[after]);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(after + 1), NewLine(p, key + (u"=" + text)));
    } else {
        if (!lines.empty())
            EndLine(p, lines.back());
        lines.push_back(NewLine(p, u"[" + wstring16(section) + u"]"));
        lines.push_back(NewLine(p, key + (u"=" + text)));
    }
    return Save(path, p) ? TRUE : FALSE;
}
