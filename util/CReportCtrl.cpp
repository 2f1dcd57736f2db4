#include "util/CReportCtrl.h"

#include "platform/WideString.h"
#include "platform/Window.h"
#include "platform/qt/DialogTemplate.h"
#include "util/ReportCellCompare.h"
#include "util/ReportModel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionViewItem>

#include <algorithm>
#include <string_view>
#include <vector>

namespace KorrinControlsEx {

namespace {

constexpr DWORD ForcedStyleCleared = LVS_TYPEMASK | LVS_EDITLABELS | LVS_NOSCROLL; // 0x2203
constexpr DWORD ForcedStyleSet = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LVS_REPORT; // 0x50300001
constexpr DWORD AlwaysExtended = LVS_EX_SUBITEMIMAGES | LVS_EX_FULLROWSELECT; // 0x22
constexpr int DefaultColumnWidth = 100;

DWORD ForceStyle(DWORD style) { return (style & ~ForcedStyleCleared) | ForcedStyleSet; }

QString ToQString(const wstring16 &text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

wstring16 ToWide(const QString &text)
{
    return wstring16(reinterpret_cast<const char16_t *>(text.utf16()), text.size());
}

std::u16string_view View(const QString &text)
{
    return {reinterpret_cast<const char16_t *>(text.constData()), static_cast<std::size_t>(text.size())};
}

UINT MouseMessage(Qt::MouseButton button, bool doubleClick)
{
    switch (button) {
    case Qt::RightButton:
        return doubleClick ? 0x0206 : WM_RBUTTONDOWN; // WM_RBUTTONDBLCLK
    case Qt::MiddleButton:
        return doubleClick ? 0x0209 : 0x0207; // WM_MBUTTONDBLCLK, WM_MBUTTONDOWN
    default:
        return doubleClick ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
    }
}

// Quicksort over row indices, pivot at the middle, Hoare partition; the smaller
// side recurses so that the depth stays logarithmic.
template <typename Less> void QuickSort(std::vector<int> &rows, int lo, int hi, const Less &compare)
{
    while (lo < hi) {
        const int pivot = rows[static_cast<std::size_t>(lo + (hi - lo) / 2)];
        int i = lo;
        int j = hi;
        while (i <= j) {
            while (i <= hi && compare(rows[static_cast<std::size_t>(i)], pivot) < 0)
                ++i;
            while (j >= lo && compare(rows[static_cast<std::size_t>(j)], pivot) > 0)
                --j;
            if (i <= j) {
                std::swap(rows[static_cast<std::size_t>(i)], rows[static_cast<std::size_t>(j)]);
                ++i;
                --j;
            }
        }
        if (j - lo < hi - i) {
            QuickSort(rows, lo, j, compare);
            lo = i;
        } else {
            QuickSort(rows, i, hi, compare);
            hi = j;
        }
    }
}

} // namespace

// Runs work on the list's thread (directly when called there) and returns its
// result, or gone when the window no longer takes calls.
template <typename R, typename F> R CReportCtrl::Call(R gone, F &&work) const
{
    R result = gone;
    InvokeOnWindowThread(m_hWnd, [&]() -> LRESULT {
        result = work();
        return 0;
    });
    return result;
}

CReportCtrl::CReportCtrl(QWidget *parent, HWND parentWindow) : QTableView(parent), m_parentWindow(parentWindow)
{
    m_model = new ReportModel(this);
    setModel(m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setDefaultSectionSize(DefaultColumnWidth);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &CReportCtrl::OnColumnClick);

    m_hWnd = CreateWindowEntry(u"SysListView32", parentWindow,
        [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) { return WindowProc(message, wParam, lParam); });
    if (!m_hWnd && parentWindow) {
        // The parent's window is already gone: stand alone rather than not at all.
        m_parentWindow = nullptr;
        m_hWnd = CreateWindowEntry(u"SysListView32", nullptr,
            [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) { return WindowProc(message, wParam, lParam); });
    }
    ApplyStyle(0);
    m_exStyle = AlwaysExtended;
    setShowGrid(false);
}

CReportCtrl::~CReportCtrl()
{
    if (m_hWnd && IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

LRESULT CReportCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        DeleteRowsNow(AnyRow);
        return 0;
    case LVM_GETITEMCOUNT:
        return m_model->Rows();
    case LVM_DELETEALLITEMS:
        DeleteRowsNow(AnyRow);
        return TRUE;
    case LVM_GETSELECTEDCOUNT:
        return CountRowsNow(Selected);
    case LVM_GETITEMSTATE: {
        const int row = static_cast<int>(wParam);
        const unsigned state = RowStateNow(row);
        UINT bits = 0;
        if (state & Focused)
            bits |= LVIS_FOCUSED;
        if (state & Selected)
            bits |= LVIS_SELECTED;
        if (const ReportRow *r = m_model->Row(row))
            bits |= INDEXTOSTATEIMAGEMASK(static_cast<UINT>(r->stateImage));
        return static_cast<LRESULT>(bits & static_cast<UINT>(lParam));
    }
    default:
        return 0;
    }
}

void CReportCtrl::ApplyStyle(DWORD style)
{
    m_style = ForceStyle(style);
    horizontalHeader()->setVisible((m_style & LVS_NOCOLUMNHEADER) == 0);
    horizontalHeader()->setSectionsClickable((m_style & LVS_NOSORTHEADER) == 0);
    setSelectionMode(
        m_style & LVS_SINGLESEL ? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection);
    setFrameShape(m_style & WS_BORDER ? QFrame::StyledPanel : QFrame::NoFrame);
}

BOOL CReportCtrl::Create(DWORD style, const RECT *rect, QWidget *parent, UINT id, HWND parentWindow)
{
    return Call<BOOL>(FALSE, [&] {
        if (parent && parent != parentWidget())
            setParent(parent);
        if (parentWindow)
            m_parentWindow = parentWindow;
        m_id = id;
        ApplyStyle(style);
        SetExtendedStyle(m_exStyle);
        if (rect)
            setGeometry(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
        else if (parentWidget())
            setGeometry(parentWidget()->rect());
        setVisible(true);
        return TRUE;
    });
}

void CReportCtrl::PreSubclassWindow(DWORD style)
{
    Call<BOOL>(FALSE, [&] {
        ApplyStyle(style);
        m_exStyle = 0;
        SetExtendedStyle(0);
        return TRUE;
    });
}

BOOL CReportCtrl::DestroyWindow()
{
    return Call<BOOL>(FALSE, [&] { return ::DestroyWindow(m_hWnd); });
}

void CReportCtrl::SetParentWindow(HWND parentWindow)
{
    Call<BOOL>(FALSE, [&] {
        m_parentWindow = parentWindow;
        return TRUE;
    });
}

DWORD CReportCtrl::GetStyle() const
{
    return Call<DWORD>(0, [&] { return m_style; });
}

DWORD CReportCtrl::GetExtendedStyle() const
{
    return Call<DWORD>(0, [&] { return m_exStyle; });
}

DWORD CReportCtrl::SetExtendedStyle(DWORD style)
{
    return Call<DWORD>(0, [&] {
        const DWORD previous = m_exStyle;
        m_exStyle = style | AlwaysExtended;
        setShowGrid((m_exStyle & LVS_EX_GRIDLINES) != 0);
        m_model->SetCheckBoxes((m_exStyle & LVS_EX_CHECKBOXES) != 0);
        return previous;
    });
}

BOOL CReportCtrl::SetSortable(bool sortable)
{
    return Call<BOOL>(FALSE, [&] {
        if (m_style & LVS_NOCOLUMNHEADER)
            return FALSE;
        horizontalHeader()->setSectionsClickable(sortable);
        if (!sortable)
            ResetSort();
        horizontalHeader()->viewport()->update();
        return TRUE;
    });
}

bool CReportCtrl::IsSortable() const
{
    return Call<bool>(
        false, [&] { return (m_style & LVS_NOCOLUMNHEADER) == 0 && horizontalHeader()->sectionsClickable(); });
}

void CReportCtrl::ResetSort()
{
    m_sortColumn = -1;
    m_sortAscending = true;
}

int CReportCtrl::GetSortColumn() const
{
    return Call<int>(-1, [&] { return m_sortColumn; });
}

bool CReportCtrl::IsSortAscending() const
{
    return Call<bool>(true, [&] { return m_sortAscending; });
}

int CReportCtrl::InsertColumn(int index, const wstring16 &heading, int format, int width)
{
    return Call<int>(-1, [&] {
        const int column = m_model->InsertColumn(index, ToQString(heading), format);
        if (column >= 0) {
            setColumnHidden(column, width == 0);
            setColumnWidth(column, width > 0 ? width : DefaultColumnWidth);
        }
        return column;
    });
}

int CReportCtrl::GetColumnCount() const
{
    return Call<int>(0, [&] { return m_model->Columns(); });
}

int CReportCtrl::GetColumnWidth(int column) const
{
    return Call<int>(0, [&] {
        if (column < 0 || column >= m_model->Columns() || isColumnHidden(column))
            return 0;
        return columnWidth(column);
    });
}

BOOL CReportCtrl::SetColumnWidth(int column, int width)
{
    return Call<BOOL>(FALSE, [&] {
        if (column < 0 || column >= m_model->Columns() || width < 0)
            return FALSE;
        setColumnHidden(column, width == 0);
        if (width > 0)
            setColumnWidth(column, width);
        return TRUE;
    });
}

int CReportCtrl::InsertRow(int index, const wstring16 &text)
{
    return Call<int>(-1, [&] {
        ResetSort();
        return m_model->InsertRow(index, ToQString(text), true);
    });
}

int CReportCtrl::InsertItem(int index, const wstring16 &text)
{
    return Call<int>(-1, [&] { return m_model->InsertRow(index, ToQString(text), false); });
}

void CReportCtrl::SelectRowNow(int row, bool select)
{
    if (row < 0 || row >= m_model->Rows() || m_model->Columns() == 0)
        return;
    selectionModel()->select(m_model->index(row, 0),
        (select ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) | QItemSelectionModel::Rows);
}

BOOL CReportCtrl::DeleteRowNow(int row, bool selectNext)
{
    if (row < 0 || row >= m_model->Rows())
        return FALSE;
    if (selectNext)
        SelectRowNow(row + 1, true);
    return m_model->RemoveRow(row) ? TRUE : FALSE;
}

BOOL CReportCtrl::DeleteRow(int row, bool selectNext)
{
    return Call<BOOL>(FALSE, [&] { return DeleteRowNow(row, selectNext); });
}

int CReportCtrl::DeleteRowsNow(unsigned filter)
{
    if (filter == 0)
        return 0;
    // Only a pause of its own is undone here: one of a parent (a tab in the
    // background) must not stay on the list after the parent's has ended.
    const bool paused = testAttribute(Qt::WA_ForceUpdatesDisabled);
    setUpdatesEnabled(false);
    int deleted = 0;
    if (filter & AnyRow) {
        deleted = m_model->RemoveAll();
    } else {
        for (int row = 0; row < m_model->Rows();) {
            if (RowMatches(RowStateNow(row), filter) && DeleteRowNow(row, false))
                ++deleted;
            else
                ++row;
        }
    }
    if (!paused)
        setUpdatesEnabled(true);
    return deleted;
}

int CReportCtrl::DeleteRows(unsigned filter)
{
    return Call<int>(0, [&] { return DeleteRowsNow(filter); });
}

int CReportCtrl::GetItemCount() const
{
    return Call<int>(0, [&] { return m_model->Rows(); });
}

BOOL CReportCtrl::SetCellTextNow(int row, int column, const wstring16 &text)
{
    ResetSort();
    return m_model->SetText(row, column, ToQString(text)) ? TRUE : FALSE;
}

BOOL CReportCtrl::SetCellText(int row, int column, const wstring16 &text)
{
    return Call<BOOL>(FALSE, [&] { return SetCellTextNow(row, column, text); });
}

BOOL CReportCtrl::SetCellNumber(int row, int column, int value)
{
    return SetCellText(row, column, WideString::FromInt(value));
}

BOOL CReportCtrl::SetCellUnsigned(int row, int column, unsigned value)
{
    return SetCellText(row, column, WideString::FromUnsigned(value));
}

wstring16 CReportCtrl::GetItemText(int row, int column) const
{
    return Call<wstring16>(wstring16(), [&] { return ToWide(m_model->Text(row, column)); });
}

int CReportCtrl::GetItemInt(int row, int column) const
{
    return Call<int>(0, [&] {
        const QString text = m_model->Text(row, column);
        return WideString::ToInt(std::u16string_view(
            reinterpret_cast<const char16_t *>(text.utf16()), static_cast<std::size_t>(text.size())));
    });
}

BOOL CReportCtrl::SetCellImage(int row, int column, int image)
{
    return Call<BOOL>(FALSE, [&] { return m_model->SetImage(row, column, image) ? TRUE : FALSE; });
}

int CReportCtrl::GetCellImage(int row, int column) const
{
    return Call<int>(-1, [&] { return m_model->Image(row, column); });
}

BOOL CReportCtrl::SetCellColours(int row, int column, COLORREF text, COLORREF back)
{
    return Call<BOOL>(FALSE, [&] { return m_model->SetColours(row, column, text, back) ? TRUE : FALSE; });
}

BOOL CReportCtrl::GetCellColours(int row, int column, COLORREF *text, COLORREF *back) const
{
    return Call<BOOL>(FALSE, [&] {
        const ReportRow *r = m_model->Row(row);
        if (!r || !r->record || column < 0 || static_cast<std::size_t>(column) >= r->record->textColours.size())
            return FALSE;
        if (text)
            *text = r->record->textColours[static_cast<std::size_t>(column)];
        if (back)
            *back = r->record->backColours[static_cast<std::size_t>(column)];
        return TRUE;
    });
}

BOOL CReportCtrl::SetRowData(int row, UINT_PTR value)
{
    return Call<BOOL>(FALSE, [&] {
        ReportRow *r = m_model->Row(row);
        if (!r || !r->record)
            return FALSE;
        r->record->userData = value;
        return TRUE;
    });
}

UINT_PTR CReportCtrl::GetRowData(int row) const
{
    return Call<UINT_PTR>(0, [&] {
        const ReportRow *r = m_model->Row(row);
        return r && r->record ? r->record->userData : UINT_PTR {0};
    });
}

int CReportCtrl::MoveRow(int row, int to)
{
    return Call<int>(-1, [&] {
        const int count = m_model->Rows();
        if (row < 0 || row >= count)
            return -1;
        to = std::clamp(to, 0, count - 1);
        if (to != row)
            m_model->MoveRow(row, to);
        return to;
    });
}

int CReportCtrl::MoveRowUp(int row, int count) { return MoveRow(row, row - count); }

int CReportCtrl::MoveRowDown(int row, int count) { return MoveRow(row, row + count); }

unsigned CReportCtrl::RowStateNow(int row) const
{
    const ReportRow *r = m_model->Row(row);
    if (!r)
        return 0;
    unsigned state = 0;
    const bool selected = m_model->Columns() > 0 && selectionModel()->isSelected(m_model->index(row, 0));
    state |= selected ? Selected : Unselected;
    state |= r->stateImage == 2 ? Checked : Unchecked;
    const QModelIndex current = selectionModel()->currentIndex();
    state |= current.isValid() && current.row() == row ? Focused : Unfocused;
    return state;
}

unsigned CReportCtrl::GetRowState(int row) const
{
    return Call<unsigned>(0, [&] { return RowStateNow(row); });
}

UINT CReportCtrl::GetItemState(int row, UINT mask) const
{
    return static_cast<UINT>(SendMessageW(m_hWnd, LVM_GETITEMSTATE, static_cast<WPARAM>(row), mask));
}

int CReportCtrl::CountRowsNow(unsigned filter) const
{
    if (filter & AnyRow)
        return m_model->Rows();
    int count = 0;
    for (int row = 0; row < m_model->Rows(); ++row)
        if (RowMatches(RowStateNow(row), filter))
            ++count;
    return count;
}

int CReportCtrl::CountRows(unsigned filter) const
{
    return Call<int>(0, [&] { return CountRowsNow(filter); });
}

BOOL CReportCtrl::ApplyStateNow(int row, unsigned actions)
{
    if (!m_model->Row(row))
        return FALSE;
    if (actions & Selected)
        SelectRowNow(row, true);
    if (actions & Unselected)
        SelectRowNow(row, false);
    if (actions & Checked)
        m_model->SetStateImage(row, 2);
    if (actions & Unchecked)
        m_model->SetStateImage(row, 1);
    if ((actions & Focused) && m_model->Columns() > 0)
        selectionModel()->setCurrentIndex(m_model->index(row, 0), QItemSelectionModel::NoUpdate);
    if (actions & Unfocused) {
        const QModelIndex current = selectionModel()->currentIndex();
        if (current.isValid() && current.row() == row)
            selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    return TRUE;
}

BOOL CReportCtrl::ApplyState(int row, unsigned actions)
{
    return Call<BOOL>(FALSE, [&] { return ApplyStateNow(row, actions); });
}

int CReportCtrl::ApplyStateToAll(unsigned filter, unsigned actions)
{
    return Call<int>(0, [&] {
        if (filter == 0 || actions == 0)
            return 0;
        int touched = 0;
        for (int row = 0; row < m_model->Rows(); ++row)
            if (RowMatches(RowStateNow(row), filter) && ApplyStateNow(row, actions))
                ++touched;
        return touched;
    });
}

BOOL CReportCtrl::SetChecked(int row, bool checked)
{
    return Call<BOOL>(FALSE, [&] { return m_model->SetStateImage(row, checked ? 2 : 1) ? TRUE : FALSE; });
}

int CReportCtrl::GetChecked(int row) const
{
    return Call<int>(-1, [&] {
        const ReportRow *r = m_model->Row(row);
        return r ? r->stateImage - 1 : -1;
    });
}

QRect CReportCtrl::CheckBoxRect(int row) const
{
    return Call<QRect>(QRect(), [&] {
        if (!m_model->CheckBoxes() || !m_model->Row(row) || m_model->Columns() == 0 || isColumnHidden(0))
            return QRect();
        const QModelIndex index = m_model->index(row, 0);
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        option.rect = visualRect(index);
        option.index = index;
        option.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
        option.checkState = m_model->Row(row)->stateImage == 2 ? Qt::Checked : Qt::Unchecked;
        option.text = m_model->Text(row, 0);
        return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
    });
}

void CReportCtrl::HandleClick(QMouseEvent *event, bool doubleClick)
{
    const QPoint pos = event->position().toPoint();
    const int row = indexAt(pos).row();
    const UINT message = MouseMessage(event->button(), doubleClick);
    auto checkedNow = [&](int r) {
        const ReportRow *rr = m_model->Row(r);
        return rr && rr->stateImage == 2;
    };
    const bool before = checkedNow(row);
    const QPointer<CReportCtrl> alive(this);

    // A press on a row's box toggles it (as the list does); any other press is
    // the view's own business.
    if (event->button() == Qt::LeftButton && row >= 0 && CheckBoxRect(row).contains(pos)) {
        m_model->SetStateImage(row, before ? 1 : 2);
        event->accept();
    } else if (doubleClick) {
        QTableView::mouseDoubleClickEvent(event);
    } else {
        QTableView::mousePressEvent(event);
    }
    if (!alive || row < 0 || !m_model->Row(row))
        return;
    if (doubleClick)
        emit rowDoubleClicked(row);
    if (checkedNow(row) == before)
        return;
    selectionModel()->clearSelection();
    SelectRowNow(row, true);
    selectionModel()->setCurrentIndex(m_model->index(row, 0), QItemSelectionModel::NoUpdate);
    SendMessageW(m_parentWindow, ReportCheckChanged, static_cast<WPARAM>(row), static_cast<LPARAM>(message));
}

void CReportCtrl::mousePressEvent(QMouseEvent *event) { HandleClick(event, false); }

void CReportCtrl::mouseDoubleClickEvent(QMouseEvent *event) { HandleClick(event, true); }

void CReportCtrl::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const Qt::MouseButton button = event->button();
    const QPoint global = event->globalPosition().toPoint();
    const QPointer<CReportCtrl> alive(this);
    QTableView::mouseReleaseEvent(event);
    if (!alive)
        return;
    const int row = indexAt(pos).row();
    if (button == Qt::LeftButton)
        emit rowClicked(row);
    else if (button == Qt::RightButton)
        emit rowRightClicked(row, global);
}

void CReportCtrl::keyPressEvent(QKeyEvent *event)
{
    // The keyboard does not toggle check boxes.
    if (event->key() == Qt::Key_Space) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void CReportCtrl::OnColumnClick(int column)
{
    const bool ascending = !(column == m_sortColumn && m_sortAscending);
    if (column < 0 || column >= m_model->Columns() || !IsSortable())
        return;
    m_sortColumn = column;
    m_sortAscending = ascending;

    std::vector<int> order(static_cast<std::size_t>(m_model->Rows()));
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    auto compare = [&](int a, int b) {
        const int c = ReportCellCompare::Compare(View(m_model->Text(a, column)), View(m_model->Text(b, column)));
        return ascending ? c : -c;
    };
    if (!order.empty())
        QuickSort(order, 0, static_cast<int>(order.size()) - 1, compare);
    m_model->Permute(order);

    SendMessageW(m_parentWindow, ReportSorted, static_cast<WPARAM>(column), ascending ? 1 : 0);
}

QWidget *CReportCtrl::CreateForDialog(QWidget *parent, HWND parentWindow, const DialogControl &control, HWND *window)
{
    auto *list = new CReportCtrl(parent, parentWindow);
    list->SetDlgCtrlID(static_cast<UINT>(control.id));
    list->PreSubclassWindow(control.style);
    if (window)
        *window = list->GetSafeHwnd();
    return list;
}

} // namespace KorrinControlsEx
