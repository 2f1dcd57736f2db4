#include "tools/CTempEvenList.h"

#include "app/CVellumApp.h"
#include "platform/ControlStyles.h"
#include "platform/UserInterface.h"
#include "tools/CeditEventList.h"
#include "tools/CreateMouseEventCode.h"
#include "tools/TempCatalogue.h"
#include "tools/ToolListRows.h"
#include "util/CReportCtrl.h"
#include "util/FileFunctions.h"

#include <new>

using KorrinControlsEx::CReportCtrl;

CTempEvenList::CTempEvenList(QWidget *parent) : CToolDialog(IDD, parent)
{
    m_rows = std::make_unique<ToolListRows>(List(), true);
    m_rows->InsertColumns(ActionRow::ColumnCount, 50);
    List().SetExtendedStyle(List().GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    connect(&List(), &CReportCtrl::rowDoubleClicked, this, [this](int row) {
        if (row >= 0)
            InsertIntoTarget(false);
    });
}

CTempEvenList::~CTempEvenList() = default;

void CTempEvenList::SetTarget(Target target)
{
    SetChecked(IDC_TO_EDITOR, target == Target::Editor);
    SetChecked(IDC_TO_RECORDER, target == Target::Recorder);
}

void CTempEvenList::OnControl(int id, int code)
{
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case IDC_IMPORT:
        ImportCatalogueIntoTable();
        break;
    case IDC_INSERT_CHECKED:
        InsertIntoTarget(true);
        break;
    case IDC_CHECK_ALL:
    case IDC_UNCHECK_ALL:
        for (int row = List().GetItemCount() - 1; row >= 0; --row)
            List().SetChecked(row, id == IDC_CHECK_ALL);
        break;
    case IDC_DELETE_CHECKED:
        m_rows->DeleteChecked();
        break;
    case IDC_TO_EDITOR:
        // Both boxes may be left unchecked; never both checked.
        if (IsChecked(IDC_TO_EDITOR))
            SetChecked(IDC_TO_RECORDER, false);
        break;
    case IDC_TO_RECORDER:
        if (IsChecked(IDC_TO_RECORDER))
            SetChecked(IDC_TO_EDITOR, false);
        break;
    case IDC_CLOSE:
    case IDOK:
    case IDCANCEL:
        OnClose();
        break;
    default:
        break;
    }
}

int CTempEvenList::AddActionRow(const ActionRow &action)
{
    const int row = m_rows->Append(action);
    if (row >= 0)
        List().SetChecked(row, true);
    return row;
}

void CTempEvenList::ImportCatalogueIntoTable()
{
    wstring16 path;
    if (!RunFileDialog(TempCatalogue::OpenDialog(GetSafeHwnd()), &path))
        return;
    ImportCatalogueFile(path);
}

void CTempEvenList::ImportCatalogueFile(const wstring16 &path)
{
    m_rows->DeleteAll();
    if (!KorrinUtilsFuns::FileExists(path)) {
        MessageBoxW(GetSafeHwnd(), (u"没有找到配置文件：" + path).c_str(), kCaption, MB_OK | MB_ICONWARNING);
        return;
    }
    try {
        wstring16 text;
        std::optional<std::vector<ActionRow>> actions;
        if (KorrinUtilsFuns::ReadTextFile(path, text, 65001))
            actions = TempCatalogue::ReadActions(text);
        if (!actions) {
            MessageBoxW(GetSafeHwnd(), (u"配置文件格式被破坏：" + path).c_str(), kCaption, MB_OK | MB_ICONWARNING);
            return;
        }
        for (const ActionRow &action : *actions)
            AddActionRow(action);
    } catch (const std::exception &) {
        MessageBoxW(GetSafeHwnd(), u"配置文件格式不对", kCaption, MB_OK | MB_ICONWARNING);
    }
}

void CTempEvenList::InsertIntoTarget(bool checkedRows)
{
    const bool toEditor = IsChecked(IDC_TO_EDITOR);
    const bool toRecorder = IsChecked(IDC_TO_RECORDER);
    if (!toEditor && !toRecorder) {
        MessageBoxW(GetSafeHwnd(), u"请选择插入目标。", kCaption, MB_OK | MB_ICONINFORMATION);
        return;
    }
    CreateMouseEventCode *recorder = g_pMouseRecorder;
    if ((toEditor && !m_pEditor) || (!toEditor && !recorder))
        return;
    for (int row = List().GetItemCount() - 1; row >= 0; --row) {
        if (checkedRows ? List().GetChecked(row) != 1 : !m_rows->IsSelected(row))
            continue;
        ActionRow action = m_rows->Read(row);
        if (!ActionRow::IsRecordWord(action.body) && action.language.empty())
            action.language = u"javascript";
        if (toEditor)
            m_pEditor->AddActionRow(action);
        else
            recorder->AddRecorderRow(action.body, action.x1, action.x2, action.y1, action.y2, action.desc, action.retry,
                action.runs, action.loopCount, action.loopInterval, action.flashIndex, action.delay);
    }
    if (toEditor) {
        m_pEditor->ShowTool();
        if (recorder)
            recorder->hide();
    } else {
        recorder->ShowTool();
        if (m_pEditor)
            m_pEditor->hide();
    }
}
