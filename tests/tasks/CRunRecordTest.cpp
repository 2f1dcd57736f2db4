// The run record: newest first, bounded, and a CSV file that a CSV reader other
// than ours reads back to the same texts.

#include "tasks/CRunRecord.h"
#include "platform/WideString.h"
#include "tests/common/TempDir.h"
#include "tests/util/TestBytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

CRunRecord::Entry Entry(int n, bool success = true)
{
    CRunRecord::Entry e;
    e.time = 1700000000 + n;
    e.tab = u"标签页 " + WideString::FromInt(n % 3 + 1);
    e.row = WideString::FromInt(n);
    e.action = u"操作 " + WideString::FromInt(n);
    e.mouse = n % 2 == 0;
    e.success = success;
    e.durationMs = n * 10;
    e.attempts = n % 4 + 1;
    return e;
}

// Rows and fields as Python's csv module reads the file (fields joined by US, rows by RS).
std::string ReadWithPython(const std::string &path)
{
    const std::string command = "python3 -c \"import csv,sys\n"
                                "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                                "    sys.stdout.write(chr(30).join(chr(31).join(r) for r in csv.reader(f)))\" '" +
        path + "'";
    std::FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return std::string();
    std::string out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

} // namespace

TEST(CRunRecord, KeepsTheNewestFirstUpToItsCapacity)
{
    CRunRecord record;
    for (int i = 0; i < static_cast<int>(CRunRecord::kCapacity) + 5; ++i)
        record.Add(Entry(i));
    EXPECT_EQ(record.Count(), CRunRecord::kCapacity);
    EXPECT_EQ(record.Total(), CRunRecord::kCapacity + 5);
    const std::vector<CRunRecord::Entry> all = record.Entries();
    EXPECT_EQ(all.front().row, WideString::FromInt(CRunRecord::kCapacity + 4));
    EXPECT_EQ(all.back().row, u"5");

    const std::vector<CRunRecord::Entry> fresh = record.EntriesSince(record.Total() - 2);
    ASSERT_EQ(fresh.size(), 2u);
    EXPECT_EQ(fresh[0].row, all[0].row);
    EXPECT_EQ(fresh[1].row, all[1].row);
    EXPECT_TRUE(record.EntriesSince(record.Total()).empty());
    EXPECT_EQ(record.EntriesSince(0).size(), CRunRecord::kCapacity);
}

TEST(CRunRecord, CountsEveryRunAddedFromManyThreads)
{
    CRunRecord record;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&record, t] {
            for (int i = 0; i < 500; ++i)
                record.Add(Entry(t * 1000 + i));
        });
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(record.Total(), 2000u);
    EXPECT_EQ(record.Count(), 2000u);
}

TEST(CRunRecord, CsvReadsBackWithAnotherReader)
{
    TempDir dir;
    std::vector<CRunRecord::Entry> entries = {Entry(1), Entry(2, false), Entry(3)};
    entries[0].action = u"带逗号,引号\"和\r\n换行的操作";
    entries[2].tab = u"";
    const std::string path = (dir / "运行记录.csv").string();
    ASSERT_TRUE(CRunRecord::ExportCsv(entries, WideString::FromUtf8(path)));
    const std::string bytes = TestBytes::Read(path);
    ASSERT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");

    const std::string read = ReadWithPython(path);
    ASSERT_FALSE(read.empty()) << "python3 is needed to read the file back";
    std::string expected = "时间\x1f标签页\x1f序号\x1f操作\x1f方式\x1f结果\x1f耗时(毫秒)\x1f尝试次数";
    for (const CRunRecord::Entry &e : entries) {
        expected += '\x1e';
        const wstring16 fields[] = {CRunRecord::TimeText(e.time), e.tab, e.row, e.action, CRunRecord::KindText(e.mouse),
            CRunRecord::ResultText(e.success), WideString::FromInt(e.durationMs), WideString::FromInt(e.attempts)};
        for (std::size_t i = 0; i < std::size(fields); ++i) {
            if (i)
                expected += '\x1f';
            expected += WideString::ToUtf8(fields[i]);
        }
    }
    EXPECT_EQ(read, expected);
    EXPECT_EQ(CRunRecord::KindText(true), u"鼠标");
    EXPECT_EQ(CRunRecord::KindText(false), u"脚本");
}
