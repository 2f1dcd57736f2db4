#include "tools/ToolListRows.h"

#include "platform/SystemTime.h"
#include "platform/WideString.h"
#include "util/CReportCtrl.h"

#include <set>

using KorrinControlsEx::CReportCtrl;

ToolListRows::ToolListRows(CReportCtrl &list, bool withBodies) : m_list(list), m_bBodies(withBodies) { }

void ToolListRows::InsertColumns(int count, int firstWidth)
{
    for (int c = 0; c < count && c < ActionRow::ColumnCount; ++c)
        m_list.InsertColumn(
            c, ActionRow::kHeaders[c].text, LVCFMT_LEFT, c == 0 ? firstWidth : ActionRow::kHeaders[c].width);
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    m_list.SetSortable(false);
}

bool ToolListRows::IsSelected(int row) const { return (m_list.GetItemState(row, LVIS_SELECTED) & LVIS_SELECTED) != 0; }

int ToolListRows::LastSelected() const
{
    for (int row = m_list.GetItemCount() - 1; row >= 0; --row)
        if (IsSelected(row))
            return row;
    return -1;
}

void ToolListRows::DeleteSelected()
{
    for (int row = m_list.GetItemCount() - 1; row >= 0; --row)
        if (IsSelected(row))
            m_list.DeleteRow(row, false);
    Prune();
}

void ToolListRows::DeleteChecked()
{
    for (int row = m_list.GetItemCount() - 1; row >= 0; --row)
        if (m_list.GetChecked(row) == 1)
            m_list.DeleteRow(row, false);
    Prune();
}

void ToolListRows::DeleteAll()
{
    m_list.DeleteRows(KorrinControlsEx::AnyRow);
    m_bodies.clear();
}

void ToolListRows::MoveSelectedUp()
{
    for (int row = 0; row < m_list.GetItemCount(); ++row) {
        if (!IsSelected(row))
            continue;
        if (row == 0)
            return;
        m_list.MoveRowUp(row, 1);
    }
}

void ToolListRows::MoveSelectedDown()
{
    const int last = m_list.GetItemCount() - 1;
    for (int row = last; row >= 0; --row) {
        if (!IsSelected(row))
            continue;
        if (row == last)
            return;
        m_list.MoveRowDown(row, 1);
    }
}

int ToolListRows::InsertAtEnd()
{
    const int count = m_list.GetItemCount();
    const int row = m_list.InsertRow(count, wstring16());
    if (row >= 0)
        m_list.SetCellNumber(row, ActionRow::ColNumber, count + 1);
    return row;
}

void ToolListRows::SetEditedCells(int row, const ActionRow &a)
{
    m_list.SetCellText(row, ActionRow::ColDesc, a.desc);
    m_list.SetCellNumber(row, ActionRow::ColX1, a.x1);
    m_list.SetCellNumber(row, ActionRow::ColX2, a.x2);
    m_list.SetCellNumber(row, ActionRow::ColY1, a.y1);
    m_list.SetCellNumber(row, ActionRow::ColY2, a.y2);
    m_list.SetCellNumber(row, ActionRow::ColRetry, a.retry);
    m_list.SetCellNumber(row, ActionRow::ColRuns, a.runs);
    m_list.SetCellNumber(row, ActionRow::ColLoopCount, a.loopCount);
    m_list.SetCellNumber(row, ActionRow::ColLoopInterval, a.loopInterval);
    m_list.SetCellNumber(row, ActionRow::ColDelay, a.delay);
}

void ToolListRows::SetCells(int row, const ActionRow &a, const wstring16 &desc)
{
    ActionRow shown = a;
    shown.desc = desc;
    SetEditedCells(row, shown);
    m_list.SetCellNumber(row, ActionRow::ColFlashIndex, a.flashIndex);
    if (m_list.GetColumnCount() > ActionRow::ColLanguage)
        m_list.SetCellText(row, ActionRow::ColLanguage, a.language);
}

int ToolListRows::Append(const ActionRow &action)
{
    const int row = InsertAtEnd();
    if (row < 0)
        return -1;
    SetCells(row, action, action.desc + wstring16(ActionRow::KindWord(action.body)));
    m_list.SetCellText(
        row, ActionRow::ColId, ActionRow::NewId(GetTickCount(), [this](const wstring16 &id) { return HasId(id); }));
    m_list.SetCellText(row, ActionRow::ColAction, action.body);
    SetBody(row, action.body);
    return row;
}

int ToolListRows::AppendAsTyped(const ActionRow &action, const wstring16 &id)
{
    const int row = InsertAtEnd();
    if (row < 0)
        return -1;
    SetCells(row, action, action.desc);
    // A row without an id could never be told from another in the catalogue.
    m_list.SetCellText(row, ActionRow::ColId,
        !id.empty() ? id : ActionRow::NewId(GetTickCount(), [this](const wstring16 &taken) { return HasId(taken); }));
    SetBody(row, action.body);
    return row;
}

bool ToolListRows::HasId(const wstring16 &id) const
{
    for (int row = 0; row < m_list.GetItemCount(); ++row)
        if (m_list.GetItemText(row, ActionRow::ColId) == id)
            return true;
    return false;
}

wstring16 ToolListRows::Body(int row) const
{
    if (!m_bBodies)
        return m_list.GetItemText(row, ActionRow::ColAction);
    const auto it = m_bodies.find(m_list.GetRowData(row));
    return it == m_bodies.end() ? wstring16() : it->second;
}

void ToolListRows::SetBody(int row, const wstring16 &body)
{
    if (!m_bBodies || row < 0 || row >= m_list.GetItemCount())
        return;
    const UINT_PTR key = m_list.GetRowData(row);
    if (key != 0 && m_bodies.count(key)) {
        m_bodies[key] = body;
        return;
    }
    m_bodies[m_nNextKey] = body;
    m_list.SetRowData(row, m_nNextKey++);
}

void ToolListRows::Prune()
{
    std::set<UINT_PTR> live;
    for (int row = 0; row < m_list.GetItemCount(); ++row)
        live.insert(m_list.GetRowData(row));
    std::erase_if(m_bodies, [&](const auto &entry) { return !live.count(entry.first); });
}

wstring16 ToolListRows::Text(int row, int column) const { return m_list.GetItemText(row, column); }

int ToolListRows::Int(int row, int column) const { return WideString::ToInt(m_list.GetItemText(row, column)); }

ActionRow ToolListRows::Read(int row) const
{
    ActionRow a;
    a.body = Body(row);
    a.desc = Text(row, ActionRow::ColDesc);
    a.x1 = Int(row, ActionRow::ColX1);
    a.x2 = Int(row, ActionRow::ColX2);
    a.y1 = Int(row, ActionRow::ColY1);
    a.y2 = Int(row, ActionRow::ColY2);
    a.flashIndex = Int(row, ActionRow::ColFlashIndex);
    a.retry = Int(row, ActionRow::ColRetry);
    a.runs = Int(row, ActionRow::ColRuns);
    a.loopCount = Int(row, ActionRow::ColLoopCount);
    a.loopInterval = Int(row, ActionRow::ColLoopInterval);
    a.delay = Int(row, ActionRow::ColDelay);
    if (m_list.GetColumnCount() > ActionRow::ColLanguage)
        a.language = Text(row, ActionRow::ColLanguage);
    return a;
}

std::vector<TempCatalogue::Action> ToolListRows::CatalogueActions() const
{
    std::vector<TempCatalogue::Action> actions;
    const bool language = m_list.GetColumnCount() > ActionRow::ColLanguage;
    for (int row = 0; row < m_list.GetItemCount(); ++row) {
        TempCatalogue::Action a;
        a.id = Text(row, ActionRow::ColId);
        a.px1 = Text(row, ActionRow::ColX1);
        a.px2 = Text(row, ActionRow::ColX2);
        a.py1 = Text(row, ActionRow::ColY1);
        a.py2 = Text(row, ActionRow::ColY2);
        a.desc = Text(row, ActionRow::ColDesc);
        a.reTryCount = Text(row, ActionRow::ColRetry);
        a.bDoCount = Text(row, ActionRow::ColRuns);
        a.loopCount = Text(row, ActionRow::ColLoopCount);
        a.loopDifTime = Text(row, ActionRow::ColLoopInterval);
        a.doFlashIndex = Text(row, ActionRow::ColFlashIndex);
        a.iSleep = Text(row, ActionRow::ColDelay);
        a.body = Body(row);
        if (language)
            a.language = Text(row, ActionRow::ColLanguage);
        actions.push_back(std::move(a));
    }
    return actions;
}
