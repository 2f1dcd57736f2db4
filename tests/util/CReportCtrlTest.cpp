#include "util/CReportCtrl.h"
#include "platform/WideString.h"
#include "platform/Window.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

using namespace KorrinControlsEx;

namespace {

struct Notification {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// A parent window that records what the list tells it.
class ParentWindow {
public:
    ParentWindow()
    {
        m_hwnd = CreateWindowEntry(u"TestParent", nullptr, [this](HWND, UINT message, WPARAM w, LPARAM l) {
            if (message == ReportCheckChanged || message == ReportSorted)
                notes.push_back({message, w, l});
            return LRESULT {0};
        });
    }
    ~ParentWindow() { DestroyWindow(m_hwnd); }
    HWND Handle() const { return m_hwnd; }
    std::vector<Notification> notes;

private:
    HWND m_hwnd = nullptr;
};

// Runs work on the UI thread, or on a worker while the UI thread serves its sends.
void Exec(bool fromWorker, const std::function<void()> &work)
{
    if (!fromWorker) {
        work();
        return;
    }
    std::atomic<bool> done {false};
    std::thread worker([&] {
        work();
        done = true;
    });
    PumpMessagesUntil([&] { return done.load(); }, 20000);
    worker.join();
}

class ReportList : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        list = std::make_unique<CReportCtrl>(nullptr, parent.Handle());
        list->resize(400, 300);
        list->InsertColumn(0, u"name", LVCFMT_LEFT, 80);
        list->InsertColumn(1, u"value", LVCFMT_LEFT, 80);
        list->InsertColumn(2, u"hidden", LVCFMT_LEFT, 0);
    }
    // Rows "r0".."r{n-1}" with column 1 holding the row number.
    void Fill(int n)
    {
        for (int i = 0; i < n; ++i) {
            list->InsertRow(i, u"r" + WideString::FromInt(i));
            list->SetCellNumber(i, 1, i);
        }
    }
    bool Worker() const { return GetParam(); }

    ParentWindow parent;
    std::unique_ptr<CReportCtrl> list;
};

TEST_P(ReportList, CountsRowsByFilter)
{
    Exec(Worker(), [&] {
        EXPECT_EQ(list->CountRows(0), 0);
        EXPECT_EQ(list->CountRows(AnyRow), 0);
        Fill(5);
        list->SetChecked(1, true);
        list->SetChecked(3, true);
        list->ApplyState(3, Selected | Focused);
        list->ApplyState(4, Selected);
        EXPECT_EQ(list->CountRows(0), 0);
        EXPECT_EQ(list->CountRows(AnyRow), 5);
        EXPECT_EQ(list->CountRows(AnyRow | Checked), 5);
        EXPECT_EQ(list->CountRows(Checked), 2);
        EXPECT_EQ(list->CountRows(Unchecked), 3);
        EXPECT_EQ(list->CountRows(Selected), 2);
        EXPECT_EQ(list->CountRows(Selected | Checked), 1);
        EXPECT_EQ(list->CountRows(Selected | Unselected), 0);
        EXPECT_EQ(list->CountRows(Focused), 1);
        EXPECT_EQ(list->CountRows(Unfocused | Unselected), 3);
    });
}

TEST_P(ReportList, DeletingCheckedRowsRenumbersTheRest)
{
    Exec(Worker(), [&] {
        Fill(4);
        list->SetChecked(1, true);
        list->SetChecked(2, true);
        EXPECT_EQ(list->DeleteRows(Checked), 2);
        ASSERT_EQ(list->GetItemCount(), 2);
        EXPECT_EQ(list->GetItemText(0, 0), u"r0");
        EXPECT_EQ(list->GetItemText(1, 0), u"r3");
        EXPECT_EQ(list->GetItemText(1, 1), u"3");
        EXPECT_EQ(list->DeleteRows(0), 0);
        EXPECT_EQ(list->DeleteRows(AnyRow), 2);
        EXPECT_EQ(list->GetItemCount(), 0);
    });
}

TEST_P(ReportList, DeleteRowCanSelectTheNextRow)
{
    Exec(Worker(), [&] {
        Fill(3);
        EXPECT_TRUE(list->DeleteRow(0, true));
        EXPECT_EQ(list->GetItemText(0, 0), u"r1");
        EXPECT_TRUE(list->GetRowState(0) & Selected);
        EXPECT_FALSE(list->DeleteRow(2));
        EXPECT_FALSE(list->DeleteRow(-1));
        EXPECT_TRUE(list->DeleteRow(1));
        EXPECT_EQ(list->GetItemCount(), 1);
    });
}

TEST_P(ReportList, MovesAtTheEdgesChangeNothing)
{
    Exec(Worker(), [&] {
        Fill(3);
        EXPECT_EQ(list->MoveRowUp(0, 1), 0);
        EXPECT_EQ(list->MoveRowDown(2, 1), 2);
        EXPECT_EQ(list->MoveRow(3, 0), -1);
        EXPECT_EQ(list->MoveRow(-1, 0), -1);
        EXPECT_EQ(list->MoveRow(0, 99), 2); // clamped
        EXPECT_EQ(list->GetItemText(0, 0), u"r1");
        EXPECT_EQ(list->GetItemText(2, 0), u"r0");
    });
}

TEST_P(ReportList, MovedRowKeepsTextsDataImagesColoursAndState)
{
    Exec(Worker(), [&] {
        Fill(4);
        list->SetRowData(1, 0xBEEF);
        list->SetCellImage(1, 1, 7);
        list->SetCellColours(1, 1, RGB(1, 2, 3), RGB(4, 5, 6));
        list->SetChecked(1, true);
        list->ApplyState(1, Selected | Focused);
        list->ApplyState(3, Selected);
        EXPECT_EQ(list->MoveRowDown(1, 1), 2);
        EXPECT_EQ(list->GetItemText(2, 0), u"r1");
        EXPECT_EQ(list->GetItemText(2, 1), u"1");
        EXPECT_EQ(list->GetItemText(1, 0), u"r2");
        EXPECT_EQ(list->GetRowData(2), 0xBEEFu);
        EXPECT_EQ(list->GetRowData(1), 0u);
        EXPECT_EQ(list->GetCellImage(2, 1), 7);
        COLORREF text = 0, back = 0;
        EXPECT_TRUE(list->GetCellColours(2, 1, &text, &back));
        EXPECT_EQ(text, RGB(1, 2, 3));
        EXPECT_EQ(back, RGB(4, 5, 6));
        EXPECT_EQ(list->GetChecked(2), 1);
        EXPECT_EQ(list->GetRowState(2), Selected | Checked | Focused);
        EXPECT_EQ(list->GetRowState(1), Unselected | Unchecked | Unfocused);
        EXPECT_EQ(list->GetRowState(3), Selected | Unchecked | Unfocused);
        EXPECT_EQ(list->MoveRowUp(2, 5), 0);
        EXPECT_EQ(list->GetRowState(0), Selected | Checked | Focused);
        EXPECT_EQ(list->GetItemText(0, 0), u"r1");
    });
}

TEST_P(ReportList, RowWithoutItsRecordHasNoData)
{
    Exec(Worker(), [&] {
        EXPECT_EQ(list->InsertItem(0, u"plain"), 0);
        EXPECT_FALSE(list->SetRowData(0, 42));
        EXPECT_EQ(list->GetRowData(0), 0u);
        EXPECT_FALSE(list->SetCellColours(0, 0, 0, 0));
        EXPECT_EQ(list->InsertRow(1, u"own"), 1);
        EXPECT_TRUE(list->SetRowData(1, 42));
        EXPECT_EQ(list->GetRowData(1), 42u);
        EXPECT_FALSE(list->SetRowData(2, 1));
        EXPECT_EQ(list->GetRowData(-1), 0u);
    });
}

TEST_P(ReportList, CellsFormatAndRejectWhatIsNotThere)
{
    Exec(Worker(), [&] {
        Fill(1);
        EXPECT_TRUE(list->SetCellNumber(0, 1, -9999));
        EXPECT_EQ(list->GetItemText(0, 1), u"-9999");
        EXPECT_TRUE(list->SetCellUnsigned(0, 2, 4294967295u));
        EXPECT_EQ(list->GetItemText(0, 2), u"4294967295");
        EXPECT_TRUE(list->SetCellText(0, 0, u"执行..."));
        EXPECT_EQ(list->GetItemText(0, 0), u"执行...");
        EXPECT_FALSE(list->SetCellText(0, 3, u"x"));
        EXPECT_FALSE(list->SetCellText(1, 0, u"x"));
        EXPECT_EQ(list->GetItemText(0, 3), u"");
        EXPECT_EQ(list->GetItemText(5, 0), u"");
        EXPECT_EQ(list->InsertRow(-1, u"x"), -1);
        EXPECT_EQ(list->InsertRow(99, u"last"), 1); // appended
    });
}

TEST_P(ReportList, ColumnsHideAtZeroWidthAndGiveRowsDefaultColours)
{
    Exec(Worker(), [&] {
        Fill(2);
        EXPECT_EQ(list->GetColumnCount(), 3);
        EXPECT_EQ(list->GetColumnWidth(2), 0);
        EXPECT_EQ(list->GetColumnWidth(1), 80);
        EXPECT_EQ(list->InsertColumn(99, u"late", LVCFMT_RIGHT, 30), 3);
        EXPECT_EQ(list->InsertColumn(-1, u"bad"), -1);
        COLORREF text = 1, back = 1;
        EXPECT_TRUE(list->GetCellColours(1, 3, &text, &back));
        EXPECT_EQ(text, DefaultWindowTextColour);
        EXPECT_EQ(back, DefaultWindowColour);
        EXPECT_EQ(list->GetItemText(1, 3), u"");
        EXPECT_TRUE(list->SetCellText(1, 3, u"x"));
    });
}

TEST_P(ReportList, ColumnsInsertedAmongRowsShiftTheirCells)
{
    CReportCtrl bare; // made on the UI thread, like every widget
    Exec(Worker(), [&] {
        EXPECT_EQ(bare.InsertRow(0, u"item"), 0);
        EXPECT_EQ(bare.GetItemText(0, 0), u"item"); // the item's text exists before any column
        EXPECT_EQ(bare.InsertColumn(0, u"first"), 0);
        EXPECT_EQ(bare.GetItemText(0, 0), u"item");
        EXPECT_EQ(bare.InsertColumn(1, u"second"), 1);
        bare.SetCellText(0, 1, u"b");
        EXPECT_EQ(bare.InsertColumn(1, u"middle"), 1);
        EXPECT_EQ(bare.GetItemText(0, 1), u"");
        EXPECT_EQ(bare.GetItemText(0, 2), u"b");
        COLORREF text = 0, back = 0;
        bare.SetCellColours(0, 2, RGB(9, 9, 9), RGB(8, 8, 8));
        EXPECT_EQ(bare.InsertColumn(0, u"zero"), 0);
        EXPECT_TRUE(bare.GetCellColours(0, 3, &text, &back));
        EXPECT_EQ(text, RGB(9, 9, 9));
        EXPECT_EQ(bare.GetItemText(0, 3), u"b");
        EXPECT_EQ(bare.GetColumnCount(), 4);
    });
}

TEST_P(ReportList, StatesApplyToMatchingRows)
{
    Exec(Worker(), [&] {
        Fill(4);
        EXPECT_EQ(list->ApplyStateToAll(0, Checked), 0);
        EXPECT_EQ(list->ApplyStateToAll(AnyRow, 0), 0);
        EXPECT_EQ(list->ApplyStateToAll(AnyRow, Selected), 4);
        EXPECT_EQ(list->ApplyState(2, Unselected | Checked), TRUE);
        EXPECT_EQ(list->ApplyStateToAll(Selected, Checked), 3);
        EXPECT_EQ(list->CountRows(Checked), 4);
        EXPECT_EQ(list->ApplyStateToAll(Unselected, Unchecked | Focused), 1);
        EXPECT_EQ(list->GetRowState(2), Unselected | Unchecked | Focused);
        EXPECT_TRUE(list->ApplyState(2, Unfocused));
        EXPECT_EQ(list->CountRows(Focused), 0);
        EXPECT_FALSE(list->ApplyState(4, Selected));
        // The state a plain list reports for its items.
        EXPECT_EQ(list->GetItemState(0, LVIS_SELECTED), LVIS_SELECTED);
        EXPECT_EQ(list->GetItemState(2, LVIS_SELECTED), 0u);
        EXPECT_EQ(SendMessageW(list->GetSafeHwnd(), LVM_GETITEMCOUNT, 0, 0), 4);
        EXPECT_EQ(SendMessageW(list->GetSafeHwnd(), LVM_GETITEMSTATE, 1, LVIS_STATEIMAGEMASK),
            static_cast<LRESULT>(INDEXTOSTATEIMAGEMASK(2)));
    });
}

TEST_P(ReportList, CheckStateReadsBackAsImageMinusOne)
{
    Exec(Worker(), [&] {
        Fill(2);
        EXPECT_EQ(list->GetChecked(0), -1); // no check boxes: no state image yet
        list->SetExtendedStyle(list->GetExtendedStyle() | LVS_EX_CHECKBOXES);
        EXPECT_EQ(list->GetExtendedStyle(), 0x26u);
        EXPECT_EQ(list->GetChecked(0), 0);
        EXPECT_TRUE(list->SetChecked(1, true));
        EXPECT_EQ(list->GetChecked(1), 1);
        EXPECT_FALSE(list->SetChecked(2, true));
        EXPECT_EQ(list->GetChecked(2), -1);
        list->InsertRow(2, u"new");
        EXPECT_EQ(list->GetChecked(2), 0);
    });
}

TEST_P(ReportList, GoneWindowAnswersAtOnce)
{
    Fill(2);
    ASSERT_TRUE(list->DestroyWindow());
    EXPECT_FALSE(IsWindow(list->GetSafeHwnd()));
    Exec(Worker(), [&] {
        EXPECT_EQ(list->GetItemCount(), 0);
        EXPECT_EQ(list->InsertRow(0, u"x"), -1);
        EXPECT_FALSE(list->SetCellText(0, 0, u"x"));
        EXPECT_EQ(list->GetItemText(0, 0), u"");
        EXPECT_EQ(list->CountRows(AnyRow), 0);
        EXPECT_EQ(list->MoveRow(0, 1), -1);
        EXPECT_EQ(list->GetRowData(0), 0u);
        EXPECT_EQ(list->GetColumnCount(), 0);
    });
}

INSTANTIATE_TEST_SUITE_P(Threads, ReportList, ::testing::Values(false, true),
    [](const ::testing::TestParamInfo<bool> &info) { return info.param ? "FromWorker" : "FromUiThread"; });

class ReportListUi : public ReportList { };

TEST_F(ReportListUi, StyleIsForcedToReportView)
{
    CReportCtrl created;
    const DWORD style = LVS_EDITLABELS | LVS_NOSCROLL | 0x3 | WS_BORDER;
    ASSERT_TRUE(created.Create(style, nullptr, nullptr, 1005));
    EXPECT_EQ(created.GetStyle(), (style & ~0x2203u) | 0x50300001u);
    EXPECT_EQ(created.GetDlgCtrlID(), 1005u);
    created.SetExtendedStyle(LVS_EX_GRIDLINES);
    EXPECT_EQ(created.GetExtendedStyle(), 0x23u);
    EXPECT_TRUE(created.showGrid());
    created.PreSubclassWindow(0);
    EXPECT_EQ(created.GetExtendedStyle(), 0x22u);
    EXPECT_FALSE(created.showGrid());
    EXPECT_TRUE(created.SetSortable(true));
    EXPECT_TRUE(created.IsSortable());

    CReportCtrl headerless;
    headerless.PreSubclassWindow(LVS_NOCOLUMNHEADER);
    EXPECT_FALSE(headerless.SetSortable(true));
    EXPECT_FALSE(headerless.IsSortable());
}

// Clicks the middle of a header section.
void ClickHeader(CReportCtrl &list, int column)
{
    QHeaderView *header = list.horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

TEST_F(ReportListUi, HeaderClickSortsByTheCellRulesAndTellsTheParent)
{
    list->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list.get()));
    const char16_t *values[] = {u"10", u"9", u"A", u"1F", u"2"}; // hexadecimal: 16, 9, 10, 31, 2
    for (int i = 0; i < 5; ++i) {
        list->InsertRow(i, u"r" + WideString::FromInt(i));
        list->SetCellText(i, 1, values[i]);
    }
    list->SetRowData(0, 100);
    list->ApplyState(0, Selected);
    ClickHeader(*list, 1);
    const char16_t *ascending[] = {u"2", u"9", u"A", u"10", u"1F"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(list->GetItemText(i, 1), ascending[i]) << i;
    EXPECT_EQ(list->GetItemText(3, 0), u"r0"); // the whole row moved
    EXPECT_EQ(list->GetRowData(3), 100u);
    EXPECT_EQ(list->CountRows(Selected), 1);
    EXPECT_TRUE(list->GetRowState(3) & Selected);
    EXPECT_EQ(list->GetSortColumn(), 1);
    ASSERT_EQ(parent.notes.size(), 1u);
    EXPECT_EQ(parent.notes[0].message, ReportSorted);
    EXPECT_EQ(parent.notes[0].wParam, 1u);
    EXPECT_EQ(parent.notes[0].lParam, 1);

    ClickHeader(*list, 1);
    EXPECT_EQ(list->GetItemText(0, 1), u"1F");
    EXPECT_EQ(list->GetItemText(4, 1), u"2");
    ASSERT_EQ(parent.notes.size(), 2u);
    EXPECT_EQ(parent.notes[1].lParam, 0);

    // Writing a cell forgets the sort: the next click sorts ascending again.
    list->SetCellText(0, 0, u"changed");
    EXPECT_EQ(list->GetSortColumn(), -1);
    ClickHeader(*list, 1);
    EXPECT_EQ(list->GetItemText(0, 1), u"2");
}

TEST_F(ReportListUi, NothingSortsWhenSortingIsOff)
{
    list->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list.get()));
    Fill(3);
    list->SetCellText(0, 1, u"z");
    ASSERT_TRUE(list->SetSortable(false));
    EXPECT_FALSE(list->IsSortable());
    ClickHeader(*list, 1);
    EXPECT_EQ(list->GetItemText(0, 1), u"z");
    EXPECT_EQ(list->GetSortColumn(), -1);
    EXPECT_TRUE(parent.notes.empty());
}

TEST_F(ReportListUi, SortingManyEqualAndMixedCellsKeepsEveryRow)
{
    const char16_t *values[] = {u"x", u"1", u"2.5%", u"x", u"", u"2026-01-01", u"1", u"-3", u"Z", u"x"};
    for (int i = 0; i < 300; ++i) {
        list->InsertRow(i, WideString::FromInt(i));
        list->SetCellText(i, 1, values[i % 10]);
    }
    list->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list.get()));
    ClickHeader(*list, 1);
    std::vector<bool> seen(300, false);
    for (int i = 0; i < 300; ++i) {
        const int original = WideString::ToInt(list->GetItemText(i, 0));
        ASSERT_FALSE(seen[static_cast<std::size_t>(original)]);
        seen[static_cast<std::size_t>(original)] = true;
        EXPECT_EQ(list->GetItemText(i, 1), values[original % 10]);
    }
}

TEST_F(ReportListUi, CheckBoxClickSelectsThatRowAloneAndTellsTheParent)
{
    Fill(4);
    list->SetExtendedStyle(list->GetExtendedStyle() | LVS_EX_CHECKBOXES);
    list->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list.get()));
    list->ApplyState(0, Selected | Focused);
    list->ApplyState(3, Selected);

    const QRect box = list->CheckBoxRect(2);
    ASSERT_FALSE(box.isEmpty());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
    EXPECT_EQ(list->GetChecked(2), 1);
    EXPECT_EQ(list->CountRows(Selected), 1);
    EXPECT_EQ(list->GetRowState(2), Selected | Checked | Focused);
    ASSERT_EQ(parent.notes.size(), 1u);
    EXPECT_EQ(parent.notes[0].message, ReportCheckChanged);
    EXPECT_EQ(parent.notes[0].wParam, 2u);
    EXPECT_EQ(parent.notes[0].lParam, static_cast<LPARAM>(WM_LBUTTONDOWN));

    // A right click on the box and a click beside it leave the box alone.
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, list->CheckBoxRect(1).center());
    const QRect cell = list->visualRect(list->model()->index(1, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(list->GetChecked(1), 0);
    EXPECT_EQ(parent.notes.size(), 1u);

    // Clicking the box again unchecks it, again with the row selected alone.
    list->ApplyStateToAll(AnyRow, Selected);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->CheckBoxRect(2).center());
    EXPECT_EQ(list->GetChecked(2), 0);
    EXPECT_EQ(list->CountRows(Selected), 1);
    EXPECT_EQ(parent.notes.size(), 2u);
}

TEST_F(ReportListUi, SpaceBarIsSwallowed)
{
    Fill(3);
    list->SetExtendedStyle(list->GetExtendedStyle() | LVS_EX_CHECKBOXES);
    list->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list.get()));
    list->setFocus();
    // A row starting with a blank is where a keyboard search for " " would go.
    list->SetCellText(1, 0, u" spaced");
    list->ApplyState(0, Selected);
    list->ApplyState(2, Focused);
    QTest::keyClick(list.get(), Qt::Key_Space);
    QTest::keyClick(list.get(), Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(list->CountRows(Checked), 0);
    EXPECT_EQ(list->GetRowState(0), Selected | Unchecked | Unfocused);
    EXPECT_EQ(list->GetRowState(2), Unselected | Unchecked | Focused);
    EXPECT_EQ(list->GetRowState(1), Unselected | Unchecked | Unfocused);
    // Other keys still reach the list.
    QTest::keyClick(list.get(), Qt::Key_Up);
    EXPECT_TRUE(list->GetRowState(1) & Focused);
}

TEST_F(ReportListUi, CellColoursAreDrawnAsGiven)
{
    Fill(2);
    list->SetCellColours(1, 1, RGB(255, 255, 0), RGB(0, 0, 200));
    list->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list.get()));
    const QImage image = list->viewport()->grab().toImage();
    const QRect cell = list->visualRect(list->model()->index(1, 1));
    EXPECT_EQ(image.pixelColor(cell.right() - 2, cell.center().y()), QColor(0, 0, 200));
    const QRect plain = list->visualRect(list->model()->index(0, 1));
    EXPECT_EQ(image.pixelColor(plain.right() - 2, plain.center().y()), QColor(255, 255, 255));
}

TEST_F(ReportListUi, WorkersCallingAtOnceEachSeeTheirOwnRows)
{
    constexpr int Workers = 4;
    constexpr int Calls = 500;
    Fill(Workers);
    std::atomic<int> finished {0};
    std::atomic<int> mismatches {0};
    std::vector<std::thread> threads;
    for (int w = 0; w < Workers; ++w)
        threads.emplace_back([&, w] {
            for (int i = 0; i < Calls; ++i) {
                const wstring16 value = WideString::FromInt(w * 100000 + i);
                if (!list->SetCellText(w, 1, value) || list->GetItemText(w, 1) != value)
                    ++mismatches;
            }
            ++finished;
        });
    PumpMessagesUntil([&] { return finished.load() == Workers; }, 60000);
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(mismatches.load(), 0);
    for (int w = 0; w < Workers; ++w)
        EXPECT_EQ(list->GetItemText(w, 1), WideString::FromInt(w * 100000 + Calls - 1));
}

TEST_F(ReportListUi, DestroyingTheListReleasesWaitingWorkers)
{
    Fill(2);
    constexpr int Workers = 8;
    std::atomic<int> started {0};
    std::atomic<int> finished {0};
    std::vector<std::thread> threads;
    for (int w = 0; w < Workers; ++w)
        threads.emplace_back([&] {
            ++started;
            // Runs until the list stops answering.
            while (list->SetCellText(0, 1, u"busy"))
                ;
            EXPECT_EQ(list->GetItemText(0, 1), u"");
            ++finished;
        });
    PumpMessagesUntil([&] { return started.load() == Workers; }, 10000);
    PumpMessagesUntil([] { return false; }, 50); // let the workers get some calls through
    list->DestroyWindow();
    // No pumping from here: every worker must come back on its own.
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(finished.load(), Workers);
    EXPECT_EQ(list->GetItemCount(), 0);
}

} // namespace
