#include "tasks/SessionStateFile.h"

#include "platform/FileSystem.h"
#include "platform/WideString.h"
#include "util/FileFunctions.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>

namespace {

// Version 2 adds each tab's container. A state without containers is still
// written as version 1, which every earlier program reads.
constexpr std::string_view kMagic = "TessalyTabs 1 ";
constexpr std::string_view kMagic2 = "TessalyTabs 2 ";
// Beyond any real program's tabs and rows; a header claiming more is damaged.
constexpr std::size_t kMaxBody = std::size_t {1} << 30;
constexpr std::size_t kMaxTabs = 10000;

void Field(std::string &out, std::string_view value)
{
    out += std::to_string(value.size());
    out += ':';
    out += value;
    out += ',';
}

void Field(std::string &out, const wstring16 &value) { Field(out, std::string_view(WideString::ToUtf8(value))); }

void Field(std::string &out, long long value) { Field(out, std::string_view(std::to_string(value))); }

class FieldReader {
public:
    explicit FieldReader(std::string_view body) : m_rest(body) { }

    bool Next(std::string_view *value)
    {
        std::size_t length = 0;
        std::size_t i = 0;
        while (i < m_rest.size() && m_rest[i] >= '0' && m_rest[i] <= '9') {
            if (length > m_rest.size())
                return false;
            length = length * 10 + static_cast<std::size_t>(m_rest[i] - '0');
            ++i;
        }
        if (i == 0 || i >= m_rest.size() || m_rest[i] != ':')
            return false;
        ++i;
        if (length > m_rest.size() - i || m_rest.size() - i - length < 1 || m_rest[i + length] != ',')
            return false;
        *value = m_rest.substr(i, length);
        m_rest.remove_prefix(i + length + 1);
        return true;
    }

    bool Text(wstring16 *value)
    {
        std::string_view bytes;
        if (!Next(&bytes))
            return false;
        *value = WideString::FromUtf8(bytes);
        return true;
    }

    bool Number(long long least, long long most, long long *value)
    {
        std::string_view bytes;
        if (!Next(&bytes) || bytes.empty() || bytes.size() > 19)
            return false;
        bool negative = false;
        std::size_t i = 0;
        if (bytes[0] == '-') {
            negative = true;
            i = 1;
            if (bytes.size() == 1)
                return false;
        }
        long long v = 0;
        for (; i < bytes.size(); ++i) {
            if (bytes[i] < '0' || bytes[i] > '9')
                return false;
            v = v * 10 + (bytes[i] - '0');
        }
        v = negative ? -v : v;
        if (v < least || v > most)
            return false;
        *value = v;
        return true;
    }

    std::size_t Left() const { return m_rest.size(); }

private:
    std::string_view m_rest;
};

bool ReadFile(const std::string &path, std::string *bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace

std::uint32_t SessionStateFile::Crc32(std::string_view bytes)
{
    static const auto table = [] {
        std::array<std::uint32_t, 256> t {};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes)
        crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::string SessionStateFile::Compose(const SessionState &state)
{
    const bool containers = std::any_of(
        state.tabs.begin(), state.tabs.end(), [](const SessionState::Tab &tab) { return !tab.container.empty(); });
    std::string body;
    Field(body, state.cleanExit ? 1LL : 0LL);
    Field(body, static_cast<long long>(state.activeTab));
    Field(body, static_cast<long long>(state.tabs.size()));
    for (const SessionState::Tab &tab : state.tabs) {
        Field(body, tab.url);
        Field(body, tab.catalogue);
        Field(body, tab.started ? 1LL : 0LL);
        Field(body, static_cast<long long>(tab.divider));
        if (containers)
            Field(body, tab.container);
        Field(body, static_cast<long long>(tab.rows->size()));
        for (const SessionState::Row &row : *tab.rows)
            for (const wstring16 &cell : row)
                Field(body, cell);
    }
    char header[64];
    std::snprintf(header, sizeof header, "%zu %08x\n", body.size(), Crc32(body));
    return std::string(containers ? kMagic2 : kMagic) + header + body;
}

bool SessionStateFile::Parse(std::string_view bytes, SessionState *state)
{
    const bool containers = bytes.substr(0, kMagic2.size()) == kMagic2;
    if (bytes.substr(0, kMagic.size()) != kMagic && !containers)
        return false;
    bytes.remove_prefix(kMagic.size());
    const std::size_t newline = bytes.find('\n');
    if (newline == std::string_view::npos || newline > 40)
        return false;
    const std::string_view header = bytes.substr(0, newline);
    const std::string_view body = bytes.substr(newline + 1);
    const std::size_t space = header.find(' ');
    if (space == std::string_view::npos || space == 0 || header.size() - space - 1 != 8)
        return false;
    std::size_t length = 0;
    for (char c : header.substr(0, space)) {
        if (c < '0' || c > '9' || length > kMaxBody)
            return false;
        length = length * 10 + static_cast<std::size_t>(c - '0');
    }
    std::uint32_t crc = 0;
    for (char c : header.substr(space + 1)) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0)
            return false;
        crc = crc << 4 | static_cast<std::uint32_t>(digit);
    }
    if (length != body.size() || Crc32(body) != crc)
        return false;

    FieldReader in(body);
    SessionState read;
    long long clean = 0, active = 0, tabCount = 0;
    if (!in.Number(0, 1, &clean) || !in.Number(0, std::numeric_limits<int>::max(), &active) ||
        !in.Number(0, static_cast<long long>(kMaxTabs), &tabCount))
        return false;
    read.cleanExit = clean == 1;
    read.activeTab = static_cast<int>(active);
    for (long long t = 0; t < tabCount; ++t) {
        SessionState::Tab tab;
        long long started = 0, divider = 0, rowCount = 0;
        if (!in.Text(&tab.url) || !in.Text(&tab.catalogue) || !in.Number(0, 1, &started) ||
            !in.Number(std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), &divider) ||
            (containers && !in.Text(&tab.container)) || !in.Number(0, std::numeric_limits<int>::max(), &rowCount))
            return false;
        // Every cell takes at least three bytes ("0:,"): more rows than that cannot be there.
        if (static_cast<unsigned long long>(rowCount) * SessionState::kCells * 3 > in.Left())
            return false;
        tab.started = started == 1;
        tab.divider = static_cast<int>(divider);
        auto rows = std::make_shared<std::vector<SessionState::Row>>(static_cast<std::size_t>(rowCount));
        for (SessionState::Row &row : *rows)
            for (wstring16 &cell : row)
                if (!in.Text(&cell))
                    return false;
        tab.rows = std::move(rows);
        read.tabs.push_back(std::move(tab));
    }
    if (in.Left() != 0)
        return false;
    *state = std::move(read);
    return true;
}

wstring16 SessionStateFile::PreviousPath(const wstring16 &path) { return path + u".prev"; }

bool SessionStateFile::Write(const wstring16 &path, const std::string &bytes)
{
    return KorrinUtilsFuns::ReplaceFileBytes(path, bytes, PreviousPath(path));
}

SessionStateFile::Source SessionStateFile::Read(const wstring16 &path, SessionState *state, bool *damaged)
{
    if (damaged)
        *damaged = false;
    std::string bytes;
    if (ReadFile(FileSystem::NativePath(path.c_str()), &bytes)) {
        if (Parse(bytes, state))
            return Source::Current;
        if (damaged)
            *damaged = true;
    }
    // A crash between the two renames of a save leaves only the previous copy, whole.
    bytes.clear();
    if (ReadFile(FileSystem::NativePath(PreviousPath(path).c_str()), &bytes)) {
        if (Parse(bytes, state))
            return Source::Previous;
        if (damaged)
            *damaged = true;
    }
    return Source::None;
}
