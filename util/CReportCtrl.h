#pragma once
// The list control behind every table of the program: a report view whose rows
// are the owners' data model (texts per cell, one value per row, row states).
//
// Every operation may be called from any thread. Off the list's own (UI) thread
// it runs there with SendMessageW's semantics and returns what it would have
// returned there; once the list's window is gone every operation returns 0, -1,
// false or an empty text at once.

#include "util/ListViewTypes.h"
#include "util/ReportRowData.h"
#include "util/RowFilter.h"

#include <QTableView>

struct DialogControl;

namespace KorrinControlsEx {

class ReportModel;

// Sent to the parent window: wParam the row, lParam the mouse message that changed it.
constexpr UINT ReportCheckChanged = 0xA710;
// Sent to the parent window after a sort: wParam the column, lParam 1 ascending, 0 descending.
constexpr UINT ReportSorted = 0xA711;

class CReportCtrl : public QTableView {
    Q_OBJECT

public:
    // The window entry is a child of parentWindow (may be null); notifications go there.
    explicit CReportCtrl(QWidget *parent = nullptr, HWND parentWindow = nullptr);
    ~CReportCtrl() override;

    // Window set-up. The style is forced to a report view with header and scroll bars.
    BOOL Create(DWORD style, const RECT *rect, QWidget *parent, UINT id, HWND parentWindow = nullptr);
    // Takes over a dialog's list control of the given style (extended style exactly 0x22).
    void PreSubclassWindow(DWORD style);
    // Destroys the list's window: rows are freed, every later call returns at once.
    BOOL DestroyWindow();
    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetParentWindow() const { return m_parentWindow; }
    void SetParentWindow(HWND parentWindow);
    UINT GetDlgCtrlID() const { return m_id; }
    void SetDlgCtrlID(UINT id) { m_id = id; }
    DWORD GetStyle() const;
    DWORD GetExtendedStyle() const;
    // Returns the previous extended style; 0x22 is always added.
    DWORD SetExtendedStyle(DWORD style);
    BOOL SetSortable(bool sortable);
    bool IsSortable() const;

    // Columns. A width of 0 hides the column; -1 takes a default width.
    int InsertColumn(int index, const wstring16 &heading, int format = LVCFMT_LEFT, int width = -1);
    int GetColumnCount() const;
    int GetColumnWidth(int column) const;
    BOOL SetColumnWidth(int column, int width);

    // Rows.
    int InsertRow(int index, const wstring16 &text);
    // As the plain list inserts: the row gets no record of its own.
    int InsertItem(int index, const wstring16 &text);
    BOOL DeleteRow(int row, bool selectNext = false);
    int DeleteRows(unsigned filter);
    int GetItemCount() const;

    BOOL SetCellText(int row, int column, const wstring16 &text);
    BOOL SetCellNumber(int row, int column, int value);
    BOOL SetCellUnsigned(int row, int column, unsigned value);
    wstring16 GetItemText(int row, int column) const;
    // The cell's text read as an integer (WideString::ToInt), without copying it.
    int GetItemInt(int row, int column) const;
    BOOL SetCellImage(int row, int column, int image);
    int GetCellImage(int row, int column) const;
    BOOL SetCellColours(int row, int column, COLORREF text, COLORREF back);
    BOOL GetCellColours(int row, int column, COLORREF *text, COLORREF *back) const;

    BOOL SetRowData(int row, UINT_PTR value);
    UINT_PTR GetRowData(int row) const;

    int MoveRow(int row, int to);
    int MoveRowUp(int row, int count = 1);
    int MoveRowDown(int row, int count = 1);

    int CountRows(unsigned filter) const;
    BOOL ApplyState(int row, unsigned actions);
    int ApplyStateToAll(unsigned filter, unsigned actions);
    // The row's state as RowFilter bits (0 for no such row).
    unsigned GetRowState(int row) const;
    // LVIS_* bits of the row under mask.
    UINT GetItemState(int row, UINT mask) const;

    BOOL SetChecked(int row, bool checked);
    // 1 checked, 0 unchecked, -1 no check box (the state image index minus one).
    int GetChecked(int row) const;

    int GetSortColumn() const;
    bool IsSortAscending() const;

    // Where row's check box is drawn, in viewport coordinates (empty without one).
    QRect CheckBoxRect(int row) const;

    // Makes the list control of a dialog built from a template (see DialogForm).
    static QWidget *CreateForDialog(QWidget *parent, HWND parentWindow, const DialogControl &control, HWND *window);

signals:
    // A left click (button released) on a row, or -1 off the rows.
    void rowClicked(int row);
    void rowRightClicked(int row, const QPoint &globalPos);
    void rowDoubleClicked(int row);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    template <typename R, typename F> R Call(R gone, F &&work) const;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    void ApplyStyle(DWORD style);
    void ResetSort();
    void OnColumnClick(int column);
    void HandleClick(QMouseEvent *event, bool doubleClick);

    // The same operations, on the list's own thread.
    unsigned RowStateNow(int row) const;
    int CountRowsNow(unsigned filter) const;
    int DeleteRowsNow(unsigned filter);
    BOOL DeleteRowNow(int row, bool selectNext);
    BOOL ApplyStateNow(int row, unsigned actions);
    BOOL SetCellTextNow(int row, int column, const wstring16 &text);
    void SelectRowNow(int row, bool select);

    ReportModel *m_model = nullptr;
    HWND m_hWnd = nullptr;
    HWND m_parentWindow = nullptr;
    UINT m_id = 0;
    DWORD m_style = 0;
    DWORD m_exStyle = 0;
    int m_sortColumn = -1;
    bool m_sortAscending = true;
};

} // namespace KorrinControlsEx
