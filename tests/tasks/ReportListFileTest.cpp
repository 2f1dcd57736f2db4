#include "tasks/ReportListFile.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/Window.h"
#include "platform/qt/QtPlatform.h"
#include "tests/common/TempDir.h"
#include "tests/util/TestBytes.h"
#include "util/CReportCtrl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <random>
#include <thread>

using namespace KorrinControlsEx;

namespace {

const std::string kMark("\xFF\xFE", 2);

class ReportListFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QtPlatform::Install();
        list = std::make_unique<CReportCtrl>();
        for (const char16_t *h : {u"序号", u"操作", u"秒", u"gameId", u"EventId", u"执行", u"stop", u"time",
                 u"loopCount", u"useloopCount", u"lastTickCount"})
            list->InsertColumn(list->GetColumnCount(), h, LVCFMT_LEFT, 30);
    }
    void TearDown() override
    {
        SetFileDialogSeam({});
        list.reset();
    }

    void AddRow(const std::vector<std::u16string> &cells)
    {
        const int row = list->InsertRow(list->GetItemCount(), u"");
        for (std::size_t c = 0; c < cells.size(); ++c)
            list->SetCellText(row, static_cast<int>(c), cells[c]);
    }
    std::vector<std::u16string> Row(int row) const
    {
        std::vector<std::u16string> cells;
        for (int c = 0; c < list->GetColumnCount(); ++c)
            cells.push_back(list->GetItemText(row, c));
        return cells;
    }

    std::unique_ptr<CReportCtrl> list;
};

const std::vector<std::u16string> kRowA = {
    u"1", u"测试", u"-9999", u"0", u"hello", u"成功", u"0", u"75", u"2", u"1", u"4000123456"};
const std::vector<std::u16string> kRowB = {
    u"4", u"刷新页面", u"30", u"1", u"reload", u"", u"1", u"30", u"0", u"0", u""};

std::u16string Joined(const std::vector<std::u16string> &cells)
{
    std::u16string text;
    for (std::size_t i = 0; i < cells.size(); ++i)
        text += (i ? u"____" : u"") + cells[i];
    return text;
}

} // namespace

TEST_F(ReportListFileTest, SavesExactBytesAndLeavesOutUnnumberedRows)
{
    TempDir dir;
    const auto path = dir / "exeList.bak";
    ReportListFile::Save(*list, TestBytes::Wide(path));
    EXPECT_EQ(TestBytes::Read(path), kMark);

    AddRow(kRowA);
    AddRow({u"", u"orphan", u"5"});
    AddRow(kRowB);
    ReportListFile::Save(*list, TestBytes::Wide(path));
    EXPECT_EQ(TestBytes::Read(path), kMark + TestBytes::Utf16(Joined(kRowA) + u"\r\n____" + Joined(kRowB) + u"\r\n"));
}

TEST_F(ReportListFileTest, ImportRestoresCellsAsSaved)
{
    TempDir dir;
    const auto path = TestBytes::Wide(dir / "exeList.bak");
    AddRow(kRowA);
    AddRow(kRowB);
    ReportListFile::Save(*list, path);
    list->DeleteRows(AnyRow);
    AddRow({u"99", u"stale"});

    ReportListFile::Load(*list, path);
    ASSERT_EQ(list->GetItemCount(), 2);
    auto a = kRowA;
    auto b = kRowB;
    a.back() += u"\r\n"; // the last cell keeps its line end
    b.back() += u"\r\n";
    EXPECT_EQ(Row(0), a);
    EXPECT_EQ(Row(1), b);
    EXPECT_EQ(WideString::ToInt(Row(1)[10]), 0);

    // Saved again the line ends stay inside the last cells.
    ReportListFile::Save(*list, path);
    ReportListFile::Load(*list, path);
    EXPECT_EQ(Row(0)[10], u"4000123456\r\n\r\n");
}

TEST_F(ReportListFileTest, DialogsCarryTheirRequestAndCancelChangesNothing)
{
    TempDir dir;
    const auto path = dir / "chosen.bak";
    TestBytes::Write(path, "old");
    AddRow(kRowA);

    std::vector<FileDialogRequest> asked;
    bool answer = false;
    SetFileDialogSeam([&](const FileDialogRequest &request, wstring16 *chosen) {
        asked.push_back(request);
        *chosen = TestBytes::Wide(path);
        return answer;
    });
    EXPECT_FALSE(ReportListFile::SaveWithDialog(*list));
    EXPECT_EQ(TestBytes::Read(path), "old");
    EXPECT_FALSE(ReportListFile::LoadWithDialog(*list));
    EXPECT_EQ(list->GetItemCount(), 1);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_TRUE(asked[0].save);
    EXPECT_FALSE(asked[1].save);
    for (const auto &r : asked) {
        EXPECT_EQ(r.defaultExtension, u"*.bak");
        EXPECT_EQ(r.initialName, u"exeList.bak");
        EXPECT_EQ(r.flags, 0x2002u);
        EXPECT_EQ(r.filter, u"exeList Files (*.bak)|*.bak||");
    }

    answer = true;
    EXPECT_TRUE(ReportListFile::SaveWithDialog(*list));
    EXPECT_EQ(TestBytes::Read(path), kMark + TestBytes::Utf16(Joined(kRowA) + u"\r\n"));
    list->DeleteRows(AnyRow);
    EXPECT_TRUE(ReportListFile::LoadWithDialog(*list));
    EXPECT_EQ(list->GetItemCount(), 1);
    EXPECT_EQ(list->GetItemText(0, 4), u"hello");
}

TEST_F(ReportListFileTest, FromAWorkerThreadAsWell)
{
    TempDir dir;
    const auto path = TestBytes::Wide(dir / "worker.bak");
    AddRow(kRowA);
    ReportListFile::Save(*list, path);
    std::atomic<bool> done {false};
    std::thread worker([&] {
        ReportListFile::Load(*list, path);
        done = true;
    });
    PumpMessagesUntil([&] { return done.load(); }, 20000);
    worker.join();
    ASSERT_EQ(list->GetItemCount(), 1);
    EXPECT_EQ(list->GetItemText(0, 1), u"测试");
}

TEST_F(ReportListFileTest, ArbitraryBytesImportWithoutCrash)
{
    TempDir dir;
    const auto path = dir / "noise.bak";
    std::mt19937 random(11);
    for (int round = 0; round < 60; ++round) {
        std::string bytes = round % 2 ? kMark : std::string();
        const int length = static_cast<int>(random() % 600);
        while (static_cast<int>(bytes.size()) < length)
            bytes += random() % 5 == 0 ? std::string("____") : std::string(1, static_cast<char>(random() & 0xFF));
        TestBytes::Write(path, bytes);
        ReportListFile::Load(*list, TestBytes::Wide(path));
        for (int r = 0; r < list->GetItemCount(); ++r)
            (void)list->GetItemText(r, 10);
    }
    SUCCEED();
}
