#pragma once
// The execution event editor of a task panel (dialog 312, "执行事件编辑"):
// assembles script and mouse actions, edits their parameters and saves them
// as a catalogue the panel can load. A row is a mouse row exactly when its
// body is a record word; the body is kept with the row.

#include "tools/ActionRow.h"
#include "tools/CToolDialog.h"

#include <QPointer>

class CLeftView;
class CTempEvenList;
class ToolListRows;

class CeditEventList : public CToolDialog {
    Q_OBJECT

public:
    enum : int { IDD = 312 };
    enum Control : int {
        IDC_IMPORT = 1012,
        IDC_MOVE_UP = 1013,
        IDC_MOVE_DOWN = 1014,
        IDC_NEW = 1015,
        IDC_X1 = 1016,
        IDC_Y1 = 1017,
        IDC_X2 = 1018,
        IDC_Y2 = 1019,
        IDC_LANGUAGE = 1020,
        IDC_CODE = 1021,
        IDC_EDIT_ROW = 1024,
        IDC_RETRY = 1025,
        IDC_RUNS = 1026,
        IDC_LOOP_COUNT = 1027,
        IDC_LOOP_INTERVAL = 1028,
        IDC_SAVE = 1029,
        IDC_DESC = 1030,
        IDC_DELAY = 1031,
        IDC_LIST = 1032,
        IDC_ID = 1033,
        IDC_CLEAR = 1034,
        IDC_DELETE = 1035,
        IDC_FLASH_AREA = 1036,
        IDC_TEMP_EVENTS = 1040,
    };

    // panel: the task panel that owns the editor (its parent).
    explicit CeditEventList(CLeftView *panel, QWidget *parent = nullptr);
    ~CeditEventList() override;

    void SetTempEvenList(CTempEvenList *table) { m_pTempEvenList = table; }
    CTempEvenList *TempEvenList() const { return m_pTempEvenList; }

    bool UpdateData(bool saveAndValidate = true);
    // Appends a row for an action coming from the auxiliary table.
    void AddActionRow(const ActionRow &action);

    void OnRowClick();
    void OnEditRow();
    void OnNew();
    void OnImport();
    void OnTempEvents();
    void OnSave();

    ToolListRows &Rows() const { return *m_rows; }

protected:
    void OnControl(int id, int code) override;

private:
    void EnableForRow(bool scriptRow);
    // The fields as an action (the code as its body), after UpdateData.
    ActionRow Fields() const;

    QPointer<CLeftView> m_pPanel;
    QPointer<CTempEvenList> m_pTempEvenList;
    std::unique_ptr<ToolListRows> m_rows;

    int m_nY1 = 0;
    int m_nX2 = 0;
    int m_nY2 = 0;
    int m_nX1 = 0;
    wstring16 m_strId;
    wstring16 m_strDesc;
    int m_nRetry = 0;
    int m_nRuns = 0;
    int m_nLoopCount = 0;
    int m_nLoopInterval = 0;
    int m_nDelay = 0;
    wstring16 m_strCode;
    wstring16 m_strLanguage;
};
