#include "tools/CeditEventList.h"

#include "app/CChildFrame.h"
#include "app/CMainFrame.h"
#include "app/CVellumView.h"
#include "platform/ControlStyles.h"
#include "platform/UserInterface.h"
#include "tasks/CLeftView.h"
#include "tools/CTempEvenList.h"
#include "tools/TempCatalogue.h"
#include "tools/ToolListRows.h"
#include "util/CReportCtrl.h"

#include <QComboBox>

using KorrinControlsEx::CReportCtrl;

CeditEventList::CeditEventList(CLeftView *panel, QWidget *parent) : CToolDialog(IDD, parent), m_pPanel(panel)
{
    if (auto *languages = qobject_cast<QComboBox *>(GetDlgItem(IDC_LANGUAGE))) {
        languages->addItems({QStringLiteral("javascript"), QStringLiteral("vbscript"), QStringLiteral("jscript")});
        languages->model()->sort(0);
        languages->setCurrentIndex(0);
    }
    m_rows = std::make_unique<ToolListRows>(List(), true);
    m_rows->InsertColumns(ActionRow::ColumnCount, ActionRow::kHeaders[0].width);
    connect(&List(), &CReportCtrl::rowClicked, this, [this](int) { OnRowClick(); });
    m_strLanguage = ReadText(IDC_LANGUAGE);
    UpdateData(false);
}

CeditEventList::~CeditEventList() = default;

bool CeditEventList::UpdateData(bool saveAndValidate)
{
    if (!saveAndValidate) {
        WriteInt(IDC_Y1, m_nY1);
        WriteInt(IDC_X2, m_nX2);
        WriteInt(IDC_Y2, m_nY2);
        WriteInt(IDC_X1, m_nX1);
        WriteText(IDC_ID, m_strId);
        WriteText(IDC_DESC, m_strDesc);
        WriteInt(IDC_RETRY, m_nRetry);
        WriteInt(IDC_RUNS, m_nRuns);
        WriteInt(IDC_LOOP_COUNT, m_nLoopCount);
        WriteInt(IDC_LOOP_INTERVAL, m_nLoopInterval);
        WriteInt(IDC_DELAY, m_nDelay);
        WriteText(IDC_CODE, m_strCode);
        WriteText(IDC_LANGUAGE, m_strLanguage);
        return true;
    }
    m_strId = ReadText(IDC_ID);
    m_strDesc = ReadText(IDC_DESC);
    m_strCode = ReadText(IDC_CODE);
    m_strLanguage = ReadText(IDC_LANGUAGE);
    return ReadInts({{IDC_Y1, &m_nY1}, {IDC_X2, &m_nX2}, {IDC_Y2, &m_nY2}, {IDC_X1, &m_nX1}, {IDC_RETRY, &m_nRetry},
        {IDC_RUNS, &m_nRuns}, {IDC_LOOP_COUNT, &m_nLoopCount}, {IDC_LOOP_INTERVAL, &m_nLoopInterval},
        {IDC_DELAY, &m_nDelay}});
}

void CeditEventList::OnControl(int id, int code)
{
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case IDC_IMPORT:
        OnImport();
        break;
    case IDC_TEMP_EVENTS:
        OnTempEvents();
        break;
    case IDC_MOVE_UP:
        m_rows->MoveSelectedUp();
        break;
    case IDC_MOVE_DOWN:
        m_rows->MoveSelectedDown();
        break;
    case IDC_NEW:
        OnNew();
        break;
    case IDC_DELETE:
        m_rows->DeleteSelected();
        break;
    case IDC_EDIT_ROW:
        OnEditRow();
        break;
    case IDC_CLEAR:
        m_rows->DeleteAll();
        break;
    case IDC_SAVE:
        OnSave();
        break;
    case IDOK:
    case IDCANCEL:
        OnClose();
        break;
    default:
        break;
    }
}

void CeditEventList::AddActionRow(const ActionRow &action) { m_rows->Append(action); }

void CeditEventList::EnableForRow(bool scriptRow)
{
    EnableControl(IDC_LANGUAGE, scriptRow);
    EnableControl(IDC_CODE, scriptRow);
    EnableControl(IDC_FLASH_AREA, !scriptRow);
    for (int id : {IDC_X1, IDC_Y1, IDC_X2, IDC_Y2})
        EnableControl(id, !scriptRow);
}

void CeditEventList::OnRowClick()
{
    const int row = m_rows->LastSelected();
    if (row < 0)
        return;
    SetChecked(IDC_FLASH_AREA, m_rows->Int(row, ActionRow::ColFlashIndex) != -1);
    const wstring16 body = m_rows->Body(row);
    const bool scriptRow = !ActionRow::IsRecordWord(body);
    if (scriptRow) {
        m_nX1 = m_nX2 = m_nY1 = m_nY2 = 0;
        m_strCode = body;
        m_strLanguage = m_rows->Text(row, ActionRow::ColLanguage);
    } else {
        m_strCode.clear();
        m_nX1 = m_rows->Int(row, ActionRow::ColX1);
        m_nX2 = m_rows->Int(row, ActionRow::ColX2);
        m_nY1 = m_rows->Int(row, ActionRow::ColY1);
        m_nY2 = m_rows->Int(row, ActionRow::ColY2);
        m_strLanguage.clear();
    }
    EnableForRow(scriptRow);
    m_nRetry = m_rows->Int(row, ActionRow::ColRetry);
    m_nRuns = m_rows->Int(row, ActionRow::ColRuns);
    m_nLoopCount = m_rows->Int(row, ActionRow::ColLoopCount);
    m_nLoopInterval = m_rows->Int(row, ActionRow::ColLoopInterval);
    m_nDelay = m_rows->Int(row, ActionRow::ColDelay);
    m_strId = m_rows->Text(row, ActionRow::ColId);
    m_strDesc = m_rows->Text(row, ActionRow::ColDesc);
    UpdateData(false);
}

void CeditEventList::OnEditRow()
{
    const int row = m_rows->LastSelected();
    if (row < 0 || !UpdateData(true))
        return;
    const ActionRow fields = Fields();
    m_rows->SetEditedCells(row, fields);
    List().SetCellText(row, ActionRow::ColId, m_strId);
    List().SetCellText(row, ActionRow::ColLanguage, fields.language);
    if (!ActionRow::IsRecordWord(m_rows->Body(row)))
        m_rows->SetBody(row, fields.body);
    List().SetCellNumber(row, ActionRow::ColFlashIndex, fields.flashIndex);
}

void CeditEventList::OnNew()
{
    if (UpdateData(true))
        m_rows->AppendAsTyped(Fields(), m_strId);
}

ActionRow CeditEventList::Fields() const
{
    ActionRow action;
    action.body = m_strCode;
    action.x1 = m_nX1;
    action.x2 = m_nX2;
    action.y1 = m_nY1;
    action.y2 = m_nY2;
    action.desc = m_strDesc;
    action.retry = m_nRetry;
    action.runs = m_nRuns;
    action.loopCount = m_nLoopCount;
    action.loopInterval = m_nLoopInterval;
    action.flashIndex = IsChecked(IDC_FLASH_AREA) ? 0 : -1;
    action.delay = m_nDelay;
    action.language = m_strLanguage;
    return action;
}

void CeditEventList::OnImport()
{
    if (!m_pTempEvenList)
        return;
    m_pTempEvenList->ImportCatalogueIntoTable();
    OnTempEvents();
}

void CeditEventList::OnTempEvents()
{
    if (!m_pTempEvenList)
        return;
    m_pTempEvenList->ShowTool();
    m_pTempEvenList->SetTarget(CTempEvenList::Target::Editor);
}

void CeditEventList::OnSave()
{
    wstring16 path;
    if (!RunFileDialog(TempCatalogue::SaveDialog(GetSafeHwnd()), &path))
        return;
    // The active tab's page, or this panel's own where there is no frame around it.
    const auto *frame = m_pPanel ? qobject_cast<CMainFrame *>(m_pPanel->window()) : nullptr;
    CChildFrame *active = frame ? frame->MDIGetActive() : nullptr;
    const CVellumView *view = active ? active->GetBrowserView() : (m_pPanel ? m_pPanel->BrowserView() : nullptr);
    const wstring16 url = view ? view->GetLocationURL() : wstring16();
    TempCatalogue::Save(GetSafeHwnd(), path, url, m_rows->CatalogueActions(), TempCatalogue::Form::Editor);
}
