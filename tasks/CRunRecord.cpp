#include "tasks/CRunRecord.h"

#include "platform/WideString.h"
#include "util/FileFunctions.h"

#include <algorithm>
#include <ctime>

CRunRecord g_RunRecord;

namespace {

void CsvField(std::string &out, const wstring16 &text)
{
    const std::string bytes = WideString::ToUtf8(text);
    if (bytes.find_first_of(",\"\r\n") == std::string::npos) {
        out += bytes;
        return;
    }
    out += '"';
    for (char c : bytes) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

void CRunRecord::Add(Entry entry)
{
    std::lock_guard lock(m_lock);
    m_entries.push_front(std::move(entry));
    if (m_entries.size() > kCapacity)
        m_entries.pop_back();
    ++m_total;
}

std::vector<CRunRecord::Entry> CRunRecord::Entries() const
{
    std::lock_guard lock(m_lock);
    return {m_entries.begin(), m_entries.end()};
}

std::vector<CRunRecord::Entry> CRunRecord::EntriesSince(std::uint64_t seen) const
{
    std::lock_guard lock(m_lock);
    const std::uint64_t fresh = seen >= m_total ? 0 : m_total - seen;
    const auto count = static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(fresh, m_entries.size()));
    return {m_entries.begin(), m_entries.begin() + count};
}

std::size_t CRunRecord::Count() const
{
    std::lock_guard lock(m_lock);
    return m_entries.size();
}

std::uint64_t CRunRecord::Total() const
{
    std::lock_guard lock(m_lock);
    return m_total;
}

void CRunRecord::Clear()
{
    std::lock_guard lock(m_lock);
    m_entries.clear();
}

wstring16 CRunRecord::TimeText(std::int64_t time)
{
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm local {};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return WideString::FromUtf8(text);
}

wstring16 CRunRecord::KindText(bool mouse) { return mouse ? u"鼠标" : u"脚本"; }

wstring16 CRunRecord::ResultText(bool success) { return success ? u"成功" : u"失败"; }

std::string CRunRecord::ToCsv(const std::vector<Entry> &entries)
{
    std::string out = "\xEF\xBB\xBF";
    const char16_t *headers[] = {u"时间", u"标签页", u"序号", u"操作", u"方式", u"结果", u"耗时(毫秒)", u"尝试次数"};
    for (std::size_t i = 0; i < std::size(headers); ++i) {
        if (i)
            out += ',';
        CsvField(out, headers[i]);
    }
    out += "\r\n";
    for (const Entry &e : entries) {
        const wstring16 fields[] = {TimeText(e.time), e.tab, e.row, e.action, KindText(e.mouse), ResultText(e.success),
            WideString::FromInt(e.durationMs), WideString::FromInt(e.attempts)};
        for (std::size_t i = 0; i < std::size(fields); ++i) {
            if (i)
                out += ',';
            CsvField(out, fields[i]);
        }
        out += "\r\n";
    }
    return out;
}

bool CRunRecord::ExportCsv(const std::vector<Entry> &entries, const wstring16 &path)
{
    return KorrinUtilsFuns::ReplaceFileBytes(path, ToCsv(entries));
}
