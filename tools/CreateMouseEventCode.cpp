#include "tools/CreateMouseEventCode.h"

#include "app/CChildFrame.h"
#include "app/CMainFrame.h"
#include "app/CVellumApp.h"
#include "app/CVellumView.h"
#include "platform/ControlStyles.h"
#include "platform/FileSystem.h"
#include "platform/SystemTime.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/Window.h"
#include "platform/qt/MenuTemplate.h"
#include "tasks/CLeftView.h"
#include "tasks/ListFile.h"
#include "tasks/ReportListFile.h"
#include "tools/CTempEvenList.h"
#include "tools/CeditEventList.h"
#include "tools/TempCatalogue.h"
#include "tools/ToolListRows.h"
#include "util/CReportCtrl.h"
#include "util/FileFunctions.h"

#include <QMenu>

#include <cstdio>
#include <filesystem>
#include <fstream>

using KorrinControlsEx::CReportCtrl;

namespace {

constexpr char16_t kListFileName[] = u"temEventList.bak";

// A row's last field keeps the line break that ended it in the file.
wstring16 WithoutRowEnd(wstring16 field)
{
    while (!field.empty() && (field.back() == u'\n' || field.back() == u'\r'))
        field.pop_back();
    return field;
}

} // namespace

CreateMouseEventCode::CreateMouseEventCode(CMainFrame *frame, QWidget *parent)
    : CToolDialog(IDD, parent), m_pFrame(frame)
{
    m_rows = std::make_unique<ToolListRows>(List(), false);
    m_rows->InsertColumns(ActionRow::kRecorderColumns, ActionRow::kHeaders[0].width);
    m_bHotKey = RegisterHotKey(GetSafeHwnd(), kHotKeyId, 0, VK_F1) != FALSE;
    connect(&List(), &CReportCtrl::rowClicked, this, [this](int) { OnRowClick(); });
    connect(&List(), &CReportCtrl::rowRightClicked, this,
        [this](int, const QPoint &globalPos) { ShowListMenu(globalPos); });
    UpdateData(false);
}

CreateMouseEventCode::~CreateMouseEventCode()
{
    KillTimers();
    if (m_bHotKey)
        UnregisterHotKey(GetSafeHwnd(), kHotKeyId);
    if (g_pMouseRecorder == this)
        g_pMouseRecorder = nullptr;
}

void CreateMouseEventCode::SetOwnerPanel(CLeftView *panel) { m_pOwnerPanel = panel; }

CLeftView *CreateMouseEventCode::OwnerPanel() const { return m_pOwnerPanel; }

int CreateMouseEventCode::NowSeconds() { return SystemTime::ClockSeconds(); }

wstring16 CreateMouseEventCode::EventListPath() { return g_strConfigDir + kListFileName; }

bool CreateMouseEventCode::UpdateData(bool saveAndValidate)
{
    if (!saveAndValidate) {
        WriteInt(IDC_X1, m_nX1);
        WriteInt(IDC_Y1, m_nY1);
        WriteInt(IDC_X2, m_nX2);
        WriteInt(IDC_Y2, m_nY2);
        WriteInt(IDC_RETRY, m_nRetry);
        WriteInt(IDC_RUNS, m_nRuns);
        WriteInt(IDC_LOOP_COUNT, m_nLoopCount);
        WriteInt(IDC_LOOP_INTERVAL, m_nLoopInterval);
        WriteText(IDC_DESC, m_strDesc);
        SetChecked(IDC_FLASH_AREA, m_bFlashArea);
        SetChecked(IDC_AUTO_EACH_CLICK, m_bAutoEachClick);
        WriteInt(IDC_DELAY, m_nDelay);
        return true;
    }
    m_strDesc = ReadText(IDC_DESC);
    m_bFlashArea = IsChecked(IDC_FLASH_AREA);
    m_bAutoEachClick = IsChecked(IDC_AUTO_EACH_CLICK);
    return ReadInts({{IDC_X1, &m_nX1}, {IDC_Y1, &m_nY1}, {IDC_X2, &m_nX2}, {IDC_Y2, &m_nY2}, {IDC_RETRY, &m_nRetry},
        {IDC_RUNS, &m_nRuns}, {IDC_LOOP_COUNT, &m_nLoopCount}, {IDC_LOOP_INTERVAL, &m_nLoopInterval},
        {IDC_DELAY, &m_nDelay}});
}

void CreateMouseEventCode::WriteBackPoints()
{
    // Only the points: the other fields may hold what the user is typing.
    WriteInt(IDC_X1, m_nX1);
    WriteInt(IDC_Y1, m_nY1);
    WriteInt(IDC_X2, m_nX2);
    WriteInt(IDC_Y2, m_nY2);
}

void CreateMouseEventCode::SetStartPoint(POINT point)
{
    m_nX1 = point.x;
    m_nY1 = point.y;
}

void CreateMouseEventCode::SetEndPoint(POINT point)
{
    m_nX2 = point.x;
    m_nY2 = point.y;
}

bool CreateMouseEventCode::IsAutoCapturing() const { return CaptureActive == 1 && IsChecked(IDC_AUTO_EACH_CLICK); }

void CreateMouseEventCode::OnControl(int id, int code)
{
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case IDC_START_POINT:
        OnStartPoint();
        break;
    case IDC_END_POINT:
        OnEndPoint();
        break;
    case IDC_CLICK:
        OnRecordClick();
        break;
    case IDC_DRAG:
        OnRecordDrag();
        break;
    case IDC_EDIT_ROW:
        OnEditRow();
        break;
    case IDC_DELETE_SELECTED:
        m_rows->DeleteSelected();
        break;
    case IDC_CLEAR:
        m_rows->DeleteAll();
        break;
    case IDC_MOVE_UP:
        m_rows->MoveSelectedUp();
        break;
    case IDC_MOVE_DOWN:
        m_rows->MoveSelectedDown();
        break;
    case IDC_TEMP_EVENTS:
        OnTempEvents();
        break;
    case IDC_GENERATE:
        OnGenerateCatalogue();
        break;
    case IDC_STOP:
        OnStop();
        break;
    case IDOK:
    case IDCANCEL:
        OnClose();
        break;
    case ID_PUT_INTO_AUX_TABLE:
        PutIntoAuxTable();
        break;
    default:
        break;
    }
}

LRESULT CreateMouseEventCode::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER: {
        POINT cursor {};
        if (!GetCursorPos(&cursor))
            return 0;
        if (wParam == kStartPointTimer)
            SetStartPoint(cursor);
        else if (wParam == kEndPointTimer)
            SetEndPoint(cursor);
        else
            return 0;
        WriteBackPoints();
        return 0;
    }
    case WM_HOTKEY:
        if (wParam == kHotKeyId)
            OnStop();
        return 0;
    case WM_COMMAND:
        OnControl(static_cast<int>(wParam & 0xFFFF), 0);
        return 0;
    default:
        return CToolDialog::WindowProc(message, wParam, lParam);
    }
}

void CreateMouseEventCode::KillTimers()
{
    KillTimer(GetSafeHwnd(), kStartPointTimer);
    KillTimer(GetSafeHwnd(), kEndPointTimer);
    m_nStartTimer = 0;
    m_nEndTimer = 0;
}

void CreateMouseEventCode::WindowLookup()
{
    m_nFlashIndex = IsChecked(IDC_FLASH_AREA) ? 0 : -1;
    m_hContent = nullptr;
    m_hFlash = nullptr;
    m_hTop = m_hEmbedding = m_hDocView = nullptr;
    CChildFrame *frame = m_pFrame ? m_pFrame->MDIGetActive() : nullptr;
    CVellumView *view = frame ? frame->GetBrowserView() : nullptr;
    if (!view)
        return;
    const CVellumDoc *document = view->GetDocument();
    const wstring16 title =
        u"鼠标事件记录 - " + (document ? document->GetTitle() : wstring16()) + u" - " + view->GetLocationURL();
    SetWindowTextW(GetSafeHwnd(), title.c_str());
    m_hTop = view->GetSafeHwnd();
    m_hEmbedding = FindWindowExW(m_hTop, nullptr, u"Shell Embedding", nullptr);
    if (!m_hEmbedding)
        return;
    m_hDocView = FindWindowExW(m_hEmbedding, nullptr, u"Shell DocObject View", nullptr);
    if (!m_hDocView)
        return;
    m_hContent = FindWindowExW(m_hDocView, nullptr, u"Internet Explorer_Server", nullptr);
    if (m_hContent && IsChecked(IDC_FLASH_AREA))
        m_hFlash = FindWindowExW(m_hContent, nullptr, u"MacromediaFlashPlayerActiveX", nullptr);
}

void CreateMouseEventCode::OnStartPoint()
{
    if (!UpdateData(true))
        return;
    CaptureActive = 1;
    KillTimers();
    m_nBaseTime = m_nDelay == 0 ? 0 : NowSeconds() - m_nDelay;
    WindowLookup();
    if (!m_bAutoEachClick)
        m_nStartTimer = SetTimer(GetSafeHwnd(), kStartPointTimer, kTimerMs, nullptr);
    m_nX2 = 0;
    m_nY2 = 0;
    WriteBackPoints();
    EnableControl(IDC_DRAG, false);
    EnableControl(IDC_CLICK, true);
    EnableControl(IDC_STOP, true);
}

void CreateMouseEventCode::OnEndPoint()
{
    if (!UpdateData(true))
        return;
    KillTimers();
    m_nBaseTime = 0;
    WindowLookup();
    m_nEndTimer = SetTimer(GetSafeHwnd(), kEndPointTimer, kTimerMs, nullptr);
    EnableControl(IDC_DRAG, true);
    EnableControl(IDC_CLICK, true);
    EnableControl(IDC_STOP, true);
}

void CreateMouseEventCode::OnStop()
{
    KillTimers();
    CaptureActive = 0;
    EnableControl(IDC_STOP, false);
}

void CreateMouseEventCode::OnClose()
{
    OnStop();
    hide();
}

POINT CreateMouseEventCode::ToClient(POINT screen) const
{
    // Without either window the points keep their screen values.
    if (const HWND target = m_hFlash ? m_hFlash : m_hContent)
        ScreenToClient(target, &screen);
    return screen;
}

void CreateMouseEventCode::OnRecordClick()
{
    if (!UpdateData(true))
        return;
    int delay = 0;
    wstring16 desc;
    if (m_bAutoEachClick) {
        const int now = NowSeconds();
        if (m_nBaseTime == 0) {
            delay = 0;
            m_nBaseTime = now;
        } else {
            delay = now - m_nBaseTime;
        }
        if (delay == 0)
            delay = 1;
        UpdateData(false);
        desc = u"[" + WideString::FromInt(delay) + u"]" + m_strDesc;
    } else {
        m_strDesc = WideString::Trim(m_strDesc);
        WriteText(IDC_DESC, m_strDesc);
        desc = m_strDesc;
    }
    const POINT p1 = ToClient({m_nX1, m_nY1});
    const POINT p2 = ToClient({m_nX2 > 0 ? m_nX2 : m_nX1, m_nY2 > 0 ? m_nY2 : m_nY1});
    AddRecorderRow(u"DoClick", p1.x, p2.x, p1.y, p2.y, desc, m_nRetry, m_nRuns, m_nLoopCount, m_nLoopInterval,
        m_nFlashIndex, delay);
}

void CreateMouseEventCode::OnRecordDrag()
{
    if (!UpdateData(true))
        return;
    m_strDesc = WideString::Trim(m_strDesc);
    WriteText(IDC_DESC, m_strDesc);
    const POINT p1 = ToClient({m_nX1, m_nY1});
    const POINT p2 = ToClient({m_nX2 > 0 ? m_nX2 : m_nX1, m_nY2 > 0 ? m_nY2 : m_nY1});
    AddRecorderRow(u"DoDraw", p1.x, p2.x, p1.y, p2.y, m_strDesc, m_nRetry, m_nRuns, m_nLoopCount, m_nLoopInterval,
        m_nFlashIndex, m_nDelay);
}

void CreateMouseEventCode::AddRecorderRow(const wstring16 &word, int x1, int x2, int y1, int y2, const wstring16 &desc,
    int retry, int runs, int loopCount, int loopInterval, int flashIndex, int delay)
{
    ActionRow row;
    row.body = word;
    row.x1 = x1;
    row.x2 = x2;
    row.y1 = y1;
    row.y2 = y2;
    row.desc = desc;
    row.retry = retry;
    row.runs = runs;
    row.loopCount = loopCount;
    row.loopInterval = loopInterval;
    row.flashIndex = flashIndex;
    row.delay = delay;
    m_rows->Append(row);
    SaveEventList();
}

bool CreateMouseEventCode::SaveEventList()
{
    const wstring16 path = EventListPath();
    if (m_bUnreadableList) {
        // Whatever it held stays on disk under another name.
        const std::string native = FileSystem::NativePath(path.c_str());
        if (std::rename(native.c_str(), (native + ".unreadable").c_str()) == 0)
            m_bUnreadableList = false;
        else
            return false;
    }
    if (const std::vector<int> rows = ReportListFile::UnsavableRows(List()); !rows.empty()) {
        // Written, the file would come back shifted at the next start: keep the old one.
        const wstring16 message = u"鼠标事件记录没有保存：" + ListFile::RowNames(rows) + u"含有“____”，请修改或删除。";
        MessageBoxW(GetSafeHwnd(), message.c_str(), kCaption, MB_OK | MB_ICONWARNING);
        return false;
    }
    return ListFile::Write(path, ReportListFile::Compose(List()));
}

void CreateMouseEventCode::LoadEventList()
{
    const wstring16 path = EventListPath();
    if (!KorrinUtilsFuns::FileExists(path))
        return;
    m_rows->DeleteAll();
    wstring16 text;
    std::error_code error;
    const bool regular = std::filesystem::is_regular_file(FileSystem::NativePath(path.c_str()), error);
    const bool opened = regular && std::ifstream(FileSystem::NativePath(path.c_str()), std::ios::binary).is_open();
    if (!opened || !KorrinUtilsFuns::ReadTextFile(path, text, 65001)) {
        m_bUnreadableList = true;
        return;
    }
    m_bUnreadableList = false;
    const std::vector<wstring16> fields = ListFile::Split(text);
    const std::size_t columns = ActionRow::kRecorderColumns;
    for (std::size_t first = 0; first + columns <= fields.size(); first += columns) {
        const int row = List().InsertRow(List().GetItemCount(), wstring16());
        if (row < 0)
            break;
        for (std::size_t c = 0; c < columns; ++c) {
            const wstring16 &field = fields[first + c];
            List().SetCellText(row, static_cast<int>(c), c + 1 == columns ? WithoutRowEnd(field) : field);
        }
    }
}

void CreateMouseEventCode::OnRowClick()
{
    const int row = m_rows->LastSelected();
    if (row < 0)
        return;
    m_strDesc = m_rows->Text(row, ActionRow::ColDesc);
    m_nX1 = m_rows->Int(row, ActionRow::ColX1);
    m_nX2 = m_rows->Int(row, ActionRow::ColX2);
    m_nY1 = m_rows->Int(row, ActionRow::ColY1);
    m_nY2 = m_rows->Int(row, ActionRow::ColY2);
    m_nRetry = m_rows->Int(row, ActionRow::ColRetry);
    m_nRuns = m_rows->Int(row, ActionRow::ColRuns);
    m_nLoopCount = m_rows->Int(row, ActionRow::ColLoopCount);
    m_nLoopInterval = m_rows->Int(row, ActionRow::ColLoopInterval);
    m_nDelay = m_rows->Int(row, ActionRow::ColDelay);
    UpdateData(false);
    EnableControl(IDC_DRAG, false);
    EnableControl(IDC_CLICK, false);
}

void CreateMouseEventCode::OnEditRow()
{
    const int row = m_rows->LastSelected();
    if (row >= 0 && UpdateData(true))
        m_rows->SetEditedCells(row, Fields({}, {m_nX1, m_nY1}, {m_nX2, m_nY2}, m_strDesc));
}

ActionRow CreateMouseEventCode::Fields(const wstring16 &word, POINT p1, POINT p2, const wstring16 &desc) const
{
    ActionRow action;
    action.body = word;
    action.x1 = p1.x;
    action.y1 = p1.y;
    action.x2 = p2.x;
    action.y2 = p2.y;
    action.desc = desc;
    action.retry = m_nRetry;
    action.runs = m_nRuns;
    action.loopCount = m_nLoopCount;
    action.loopInterval = m_nLoopInterval;
    action.flashIndex = m_nFlashIndex;
    action.delay = m_nDelay;
    return action;
}

CTempEvenList *CreateMouseEventCode::ActiveAuxTable() const
{
    CChildFrame *frame = m_pFrame ? m_pFrame->MDIGetActive() : nullptr;
    CLeftView *panel = frame ? frame->GetLeftView() : nullptr;
    CeditEventList *editor = panel ? panel->EditEventList() : nullptr;
    return editor ? editor->TempEvenList() : nullptr;
}

void CreateMouseEventCode::ShowListMenu(const QPoint &globalPos)
{
    const std::optional<MenuTemplate> menu = MenuTemplate::Load(IDR_LIST_MENU);
    if (!menu)
        return;
    std::unique_ptr<QMenu> popup(menu->CreatePopup(0, this));
    if (!popup)
        return;
    QPointer<CreateMouseEventCode> self(this);
    ShowTool();
    const int id = MenuTemplate::TrackPopupMenu(popup.get(), globalPos);
    if (self && id == ID_PUT_INTO_AUX_TABLE)
        PutIntoAuxTable();
}

void CreateMouseEventCode::PutIntoAuxTable()
{
    const int row = m_rows->LastSelected();
    CTempEvenList *table = ActiveAuxTable();
    if (row < 0 || !table || !UpdateData(true))
        return;
    m_strDesc = WideString::Trim(m_strDesc);
    WriteText(IDC_DESC, m_strDesc);
    // The row's word and points; everything else from the fields as they are now.
    const POINT p1 {m_rows->Int(row, ActionRow::ColX1), m_rows->Int(row, ActionRow::ColY1)};
    const POINT p2 {m_rows->Int(row, ActionRow::ColX2), m_rows->Int(row, ActionRow::ColY2)};
    table->AddActionRow(Fields(m_rows->Text(row, ActionRow::ColAction), p1, p2, m_strDesc));
    table->ShowTool();
}

void CreateMouseEventCode::OnTempEvents()
{
    CTempEvenList *table = ActiveAuxTable();
    if (!table)
        return;
    table->ShowTool();
    table->SetTarget(CTempEvenList::Target::Recorder);
}

void CreateMouseEventCode::OnGenerateCatalogue()
{
    wstring16 path;
    if (!RunFileDialog(TempCatalogue::SaveDialog(GetSafeHwnd()), &path))
        return;
    CChildFrame *frame = m_pFrame ? m_pFrame->MDIGetActive() : nullptr;
    const CVellumView *view = frame ? frame->GetBrowserView() : nullptr;
    const wstring16 url = view ? view->GetLocationURL() : wstring16();
    TempCatalogue::Save(GetSafeHwnd(), path, url, m_rows->CatalogueActions(), TempCatalogue::Form::Recorder);
}
