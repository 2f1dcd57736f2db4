#pragma once
// The rows of a tool's list (ActionRow columns) and what the tools do with
// them: append an action, read one back, move and delete the selected rows,
// and the cells a catalogue is written from. Lists with bodies keep each row's
// body as the row's value (a key into the bodies held here); the recorder's
// list keeps it in the "action" column only.

#include "tools/ActionRow.h"
#include "tools/TempCatalogue.h"

#include <map>
#include <vector>

namespace KorrinControlsEx {
class CReportCtrl;
}

class ToolListRows {
public:
    ToolListRows(KorrinControlsEx::CReportCtrl &list, bool withBodies);

    // The first `count` ActionRow columns, full-row select and grid lines, no sorting.
    void InsertColumns(int count, int firstWidth);

    // The last selected row, scanning from the bottom; -1 without one.
    int LastSelected() const;
    bool IsSelected(int row) const;
    void DeleteSelected();
    void DeleteChecked();
    void DeleteAll();
    // From the top (bottom), each selected row one place up (down); the walk
    // stops at a selected row that is already first (last).
    void MoveSelectedUp();
    void MoveSelectedDown();

    // Appends a row: its position, the description followed by the body's kind
    // word, a new id, the body in "action" (and as the row's body).
    int Append(const ActionRow &action);
    // Appends a row with the cells as given (the editor's "新加": no kind word,
    // the typed id or a new one where none was typed, an empty "action" column).
    int AppendAsTyped(const ActionRow &action, const wstring16 &id);

    // What "编辑" writes into a row in every tool: the description as typed, the
    // points, the four counts and the delay.
    void SetEditedCells(int row, const ActionRow &action);

    wstring16 Body(int row) const;
    void SetBody(int row, const wstring16 &body);
    wstring16 Text(int row, int column) const;
    int Int(int row, int column) const;
    // Body, coordinates, numbers, description and language of a row.
    ActionRow Read(int row) const;
    // Every row's cells as a catalogue takes them, top to bottom.
    std::vector<TempCatalogue::Action> CatalogueActions() const;

    KorrinControlsEx::CReportCtrl &List() const { return m_list; }

private:
    int InsertAtEnd();
    void SetCells(int row, const ActionRow &action, const wstring16 &desc);
    bool HasId(const wstring16 &id) const;
    void Prune();

    KorrinControlsEx::CReportCtrl &m_list;
    bool m_bBodies;
    std::map<UINT_PTR, wstring16> m_bodies;
    UINT_PTR m_nNextKey = 1;
};
