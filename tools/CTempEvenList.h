#pragma once
// The auxiliary event table of a task panel (dialog 313, "辅助事件表"): a
// staging list, filled from catalogue files and from the recorder, whose
// checked or selected rows go into the panel's editor or into the recorder.
// Keeps nothing on disk.

#include "tools/ActionRow.h"
#include "tools/CToolDialog.h"

#include <QPointer>

class CeditEventList;
class ToolListRows;

class CTempEvenList : public CToolDialog {
    Q_OBJECT

public:
    enum : int { IDD = 313 };
    enum Control : int {
        IDC_IMPORT = 1012,
        IDC_INSERT_CHECKED = 1013,
        IDC_CHECK_ALL = 1014,
        IDC_UNCHECK_ALL = 1015,
        IDC_CLOSE = 1016,
        IDC_DELETE_CHECKED = 1017,
        IDC_LIST = 1032,
        IDC_TO_EDITOR = 1036,
        IDC_TO_RECORDER = 1037,
    };
    enum class Target { Editor, Recorder };

    explicit CTempEvenList(QWidget *parent = nullptr);
    ~CTempEvenList() override;

    void SetEditor(CeditEventList *editor) { m_pEditor = editor; }
    CeditEventList *Editor() const { return m_pEditor; }
    // Checks the target's box and unchecks the other.
    void SetTarget(Target target);

    // Appends a checked row.
    int AddActionRow(const ActionRow &action);
    // Asks for a catalogue file and imports it.
    void ImportCatalogueIntoTable();
    // Replaces the rows with the catalogue's actions; messages as the import shows them.
    void ImportCatalogueFile(const wstring16 &path);
    // The checked rows (or the selected ones), last first, into the chosen target.
    void InsertIntoTarget(bool checkedRows);

    ToolListRows &Rows() const { return *m_rows; }

protected:
    void OnControl(int id, int code) override;

private:
    QPointer<CeditEventList> m_pEditor;
    std::unique_ptr<ToolListRows> m_rows;
};
