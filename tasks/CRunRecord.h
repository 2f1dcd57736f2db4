#pragma once
// Every run of a task row, kept in memory for the run record window: the
// newest first, at most kCapacity (the oldest go). Run threads add to it while
// the window reads it, so every operation takes the lock.

#include "platform/Win32Types.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

class CRunRecord {
public:
    static constexpr std::size_t kCapacity = 10000;

    struct Entry {
        std::int64_t time = 0; // seconds since 1970-01-01 UTC
        wstring16 tab;
        wstring16 row; // the row's "序号"
        wstring16 action;
        bool mouse = false;
        bool success = false;
        std::int64_t durationMs = 0;
        int attempts = 0;
    };

    void Add(Entry entry);
    // Newest first.
    std::vector<Entry> Entries() const;
    // The entries added after the first `seen` ones (of Total()), newest first,
    // as many as are still kept.
    std::vector<Entry> EntriesSince(std::uint64_t seen) const;
    std::size_t Count() const;
    // Added since the program started, dropped ones included.
    std::uint64_t Total() const;
    void Clear();

    // The texts the window shows.
    static wstring16 TimeText(std::int64_t time);
    static wstring16 KindText(bool mouse);
    static wstring16 ResultText(bool success);
    // One header line and one line per entry, RFC 4180 quoting, CR LF, UTF-8
    // with its byte-order mark so that a spreadsheet reads the Chinese text.
    static std::string ToCsv(const std::vector<Entry> &entries);
    static bool ExportCsv(const std::vector<Entry> &entries, const wstring16 &path);

private:
    mutable std::mutex m_lock;
    std::deque<Entry> m_entries; // newest at the front
    std::uint64_t m_total = 0;
};

// The program's one record.
extern CRunRecord g_RunRecord;
