#include "tasks/CLeftView.h"

#include "app/CVellumApp.h"
#include "app/CVellumView.h"
#include "catalogue/CatalogueAction.h"
#include "catalogue/CatalogueSite.h"
#include "platform/ControlStyles.h"
#include "platform/SystemTime.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/Window.h"
#include "platform/qt/MenuTemplate.h"
#include "tasks/CRunRecord.h"
#include "tasks/MouseReplay.h"
#include "tasks/ReportListFile.h"
#include "tools/CTempEvenList.h"
#include "tools/CeditEventList.h"
#include "tools/CreateMouseEventCode.h"
#include "tools/TempCatalogue.h"
#include "util/CReportCtrl.h"
#include "util/DisplayText.h"

#include <QAction>
#include <QComboBox>
#include <QEventLoop>
#include <QMenu>
#include <QPainter>
#include <QSplitter>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

using KorrinControlsEx::CReportCtrl;
using KorrinControlsEx::TimedTask;

namespace {

constexpr int kFormTemplate = 101;
constexpr int kContextMenu = 310;
constexpr char16_t kCaption[] = u"Tessaly";

struct ColumnDef {
    const char16_t *header;
    int width;
};
constexpr ColumnDef kColumns[] = {
    {u"序号", 30},
    {u"操作", 80},
    {u"秒", 40},
    {u"gameId", 0},
    {u"EventId", 0},
    {u"执行", 40},
    {u"stop", 0},
    {u"time", 0},
    {u"loopCount", 0},
    {u"useloopCount", 0},
    {u"lastTickCount", 0},
};

// "lastTickCount" holds an unsigned tick count; anything else reads as 0.
DWORD ParseTick(const wstring16 &text)
{
    unsigned long long value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            break;
        value = value * 10 + static_cast<unsigned>(c - u'0');
        if (value > 0xFFFFFFFFull)
            return 0;
    }
    return static_cast<DWORD>(value);
}

int CellInt(const CReportCtrl &list, int row, int column) { return list.GetItemInt(row, column); }

// A slice also ends when its time is up: rows that count down or run cost far
// more than finished ones, and the list's thread is the UI thread.
constexpr auto kSliceTime = std::chrono::microseconds(400);

// Whether a slice begun at `first` should stop before `row`; the clock is read
// every few rows only.
bool SliceSpent(int first, int row, std::chrono::steady_clock::time_point deadline)
{
    return row > first && (row - first) % 8 == 0 && std::chrono::steady_clock::now() >= deadline;
}

std::atomic<int> g_nPanels {0};
constexpr COLORREF kPausedTextColour = RGB(150, 150, 150);

} // namespace

// Counts a countdown pass: odd while one runs.
struct CLeftView::PassMark {
    explicit PassMark(std::atomic<int> &counter) : m_counter(counter) { ++m_counter; }
    ~PassMark() { ++m_counter; }
    PassMark(const PassMark &) = delete;
    PassMark &operator=(const PassMark &) = delete;
    std::atomic<int> &m_counter;
};

// One script hand-off: the UI thread answers it, or closing the panel does.
struct CLeftView::HandOff {
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    bool result = false;
    int attempts = 0;

    void Answer(bool value, int tries)
    {
        std::lock_guard lock(mutex);
        if (done)
            return;
        result = value;
        attempts = tries;
        done = true;
        answered.notify_all();
    }
};

CLeftView::CLeftView(QWidget *parent) : CResizableFormView(kFormTemplate, parent)
{
    InitializeCriticalSection(&m_handOffLock);
    m_list = qobject_cast<CReportCtrl *>(GetDlgItem(1005));
    m_siteCombo = qobject_cast<QComboBox *>(GetDlgItem(1003));
    m_actionCombo = qobject_cast<QComboBox *>(GetDlgItem(1010));
    Form()->setAutoFillBackground(false);
    // Statics and the group box show the white form through them, in black.
    for (int id : {1009, 1011, 1014, 1015}) {
        if (QWidget *w = GetDlgItem(id)) {
            w->setAutoFillBackground(false);
            QPalette p = w->palette();
            p.setColor(QPalette::WindowText, Qt::black);
            p.setColor(QPalette::Window, Qt::transparent);
            w->setPalette(p);
        }
    }
    connect(&Controls(), &DialogForm::command, this, &CLeftView::OnControl);
    m_strTabName = u"标签页 " + WideString::FromInt(++g_nPanels);
    if (m_list) {
        connect(m_list, &CReportCtrl::rowRightClicked, this,
            [this](int, const QPoint &globalPos) { ShowContextMenu(globalPos); });
        connect(m_list->model(), &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to, const QList<int> &roles) {
                if ((roles.isEmpty() || roles.contains(Qt::DisplayRole)) && from.column() <= ColStop &&
                    to.column() >= ColStop)
                    for (int row = from.row(); row <= to.row(); ++row)
                        ShowPaused(row);
            });
    }
}

void CLeftView::ShowPaused(int row)
{
    const COLORREF text = CellInt(*m_list, row, ColStop) == 1 ? kPausedTextColour : DefaultWindowTextColour;
    COLORREF now = 0;
    COLORREF back = DefaultWindowColour;
    if (!m_list->GetCellColours(row, 0, &now, &back) || now == text)
        return;
    for (int column = 0; column < m_list->GetColumnCount(); ++column)
        m_list->SetCellColours(row, column, text, back);
}

CLeftView::~CLeftView()
{
    OnDestroy();
    DeleteCriticalSection(&m_handOffLock);
}

void CLeftView::OnInitialUpdate()
{
    const SIZE stretch {100, 0};
    const SIZE right {100, 0};
    const SIZE fixed {0, 0};
    AnchorControl(1001, fixed, stretch);
    AnchorControl(1002, right, NoAnchor);
    AnchorControl(1003, fixed, NoAnchor);
    AnchorControl(1006, right, NoAnchor);
    AnchorControl(1007, right, NoAnchor);
    AnchorControl(1008, fixed, stretch);
    AnchorControl(1009, right, NoAnchor);
    AnchorControl(1010, fixed, stretch);
    AnchorControl(1011, fixed, stretch);
    AnchorControl(1012, fixed, NoAnchor);
    AnchorControl(1013, fixed, NoAnchor);
    AnchorControl(1014, fixed, NoAnchor);
    AnchorControl(1005, fixed, SIZE {100, 100});
    AnchorControl(1015, SIZE {0, 100}, SIZE {100, 100});
    // The form never scrolls: its controls follow the pane at any size.
    SetScrollSizes(QSize(0, 0));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    CResizableFormView::OnInitialUpdate();

    m_strUrl = CVellumApp::kHomePageUrl;
    UpdateData(false);

    if (m_list) {
        for (const ColumnDef &c : kColumns)
            m_list->InsertColumn(m_list->GetColumnCount(), c.header, LVCFMT_LEFT, c.width);
        m_list->SetExtendedStyle(m_list->GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
        m_list->SetSortable(false);
    }

    LoadCatalogue(g_strAppDir + u"Config.xml");
    AddRecord(kCountDownId, 1, 6, true);

    if (auto *splitter = qobject_cast<QSplitter *>(parentWidget()); splitter && splitter->count() > 1)
        m_pView = qobject_cast<CVellumView *>(splitter->widget(1));
    m_hView = m_pView ? m_pView->GetSafeHwnd() : nullptr;
    m_pScrollX = m_pView ? &m_pView->m_nScrollX : nullptr;
    m_pScrollY = m_pView ? &m_pView->m_nScrollY : nullptr;

    if (!m_pEditEventList) {
        m_pEditEventList = new CeditEventList(this, this);
        auto *table = new CTempEvenList(this);
        m_pEditEventList->SetTempEvenList(table);
        table->SetEditor(m_pEditEventList);
    }
}

bool CLeftView::UpdateData(bool saveAndValidate)
{
    DialogForm &form = Controls();
    if (!saveAndValidate) {
        form.SetDlgItemText(1001, m_strUrl);
        form.SetDlgItemText(1013, WideString::FromInt(m_nMinutes));
        form.SetDlgItemText(1008, WideString::FromInt(m_nSeconds));
        return true;
    }
    m_strUrl = form.GetDlgItemText(1001);
    const bool minutes = ReadInt(1013, m_nMinutes, false);
    const bool seconds = ReadInt(1008, m_nSeconds, true);
    return minutes && seconds;
}

// The typed value is kept even when it is out of range; text that is no whole
// number leaves the previous value.
bool CLeftView::ReadInt(int id, int &value, bool ranged)
{
    const std::optional<int> typed = WideString::ParseWholeNumber(Controls().GetDlgItemText(id));
    if (!typed) {
        MessageBoxW(GetSafeHwnd(), u"请输入一个整数。", kCaption, MB_OK | MB_ICONWARNING);
        return false;
    }
    value = *typed;
    if (ranged && (value < 0 || value > kMaxSeconds)) {
        MessageBoxW(GetSafeHwnd(), u"请输入一个在 0 和 9999999 之间的整数。", kCaption, MB_OK | MB_ICONWARNING);
        return false;
    }
    return true;
}

void CLeftView::LoadCatalogue(const wstring16 &path)
{
    if (m_catalogue.LoadCatalogue(path))
        FillSiteCombo();
}

void CLeftView::FillSiteCombo()
{
    if (!m_siteCombo)
        return;
    m_siteCombo->clear();
    for (XmlNode *site : CCatalogue::Sites(m_catalogue.Root()))
        m_siteCombo->addItem(QString::fromStdU16String(DisplayText::Shorten(CatalogueSite::Read(*site).name)));
    m_siteCombo->setCurrentIndex(m_siteCombo->count() > 0 ? 0 : -1);
    FillActionCombo();
}

bool CLeftView::ParseCatalogue() { return m_catalogue.ParseCatalogue(); }

void CLeftView::FillActionCombo()
{
    if (!m_siteCombo || !m_actionCombo || m_siteCombo->count() == 0)
        return;
    m_actionCombo->clear();
    const XmlNode *site = CCatalogue::Site(m_catalogue.Root(), m_siteCombo->currentIndex());
    if (!site)
        return;
    m_strUrl = CatalogueSite::Read(*site).url;
    Controls().SetDlgItemText(1001, m_strUrl);
    if (!CCatalogue::SiteEvent(*site))
        return;
    for (XmlNode *action : CCatalogue::EnabledActions(*site))
        m_actionCombo->addItem(QString::fromStdU16String(DisplayText::Shorten(CatalogueAction::Read(*action).desc)));
    m_actionCombo->setCurrentIndex(m_actionCombo->count() > 0 ? 0 : -1);
}

bool CLeftView::UseCatalogue(const wstring16 &path, wstring16 *message)
{
    try {
        if (!m_catalogue.TryLoadCatalogue(path, message))
            return false;
    } catch (...) {
        if (message)
            *message = u"配置文件格式不对";
        return false;
    }
    FillSiteCombo();
    emit StateChanged();
    return true;
}

bool CLeftView::ChooseCatalogue()
{
    wstring16 path;
    if (!RunFileDialog(TempCatalogue::OpenDialog(GetSafeHwnd()), &path))
        return false;
    try {
        // A wrong pick must not cost the rows or the catalogue the panel has.
        wstring16 message;
        if (!m_catalogue.TryLoadCatalogue(path, &message)) {
            MessageBoxW(GetSafeHwnd(), message.c_str(), kCaption, MB_OK | MB_ICONWARNING);
            return false;
        }
        if (m_list)
            m_list->DeleteRows(KorrinControlsEx::AnyRow);
        FillSiteCombo();
        emit StateChanged();
        return true;
    } catch (...) {
        MessageBoxW(GetSafeHwnd(), u"配置文件格式不对", kCaption, MB_OK | MB_ICONWARNING);
        return false;
    }
}

void CLeftView::OnControl(int id, int code)
{
    if (id == 1003 && code == CBN_SELCHANGE) {
        FillActionCombo();
        return;
    }
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case 1002:
        OnGo();
        break;
    case 1006:
        OnAdd();
        break;
    case 1007:
        OnStartStop();
        break;
    case 1012:
        ChooseCatalogue();
        break;
    case 1015:
        OnHelpClicked();
        break;
    default:
        break;
    }
}

bool CLeftView::OnCommand(UINT id)
{
    switch (id) {
    case 1002:
        OnGo();
        return true;
    case 1006:
        OnAdd();
        return true;
    case 1007:
        OnStartStop();
        return true;
    case 1012:
        ChooseCatalogue();
        return true;
    case 1015:
        OnHelpClicked();
        return true;
    case ID_IMPORT_EVENTS:
        Import();
        return true;
    case ID_RUN_NOW:
        AddRecord(kRunNowId, 2, 2, false);
        return true;
    case ID_RUN_NOW_SPACED:
        RunNowSpaced();
        return true;
    case ID_PAUSE:
        PauseSelected(true);
        return true;
    case ID_CONTINUE:
        PauseSelected(false);
        return true;
    case ID_RESET_EXECUTED:
        ResetExecuted();
        return true;
    case ID_DELETE_SELECTED:
        DeleteSelected();
        return true;
    case ID_DELETE_ALL:
        if (m_list)
            m_list->DeleteRows(KorrinControlsEx::AnyRow);
        return true;
    case ID_SAVE_LIST:
        if (m_list)
            ReportListFile::SaveWithDialog(*m_list, GetSafeHwnd());
        return true;
    case ID_IMPORT_LIST:
        if (m_list)
            ReportListFile::LoadWithDialog(*m_list, GetSafeHwnd());
        return true;
    case ID_RECORDER:
        ShowRecorder();
        return true;
    case ID_EVENT_EDITOR:
        ShowEditor();
        return true;
    default:
        return false;
    }
}

CeditEventList *CLeftView::EditEventList() const { return m_pEditEventList; }

void CLeftView::ShowRecorder()
{
    if (!g_pMouseRecorder)
        return;
    g_pMouseRecorder->SetOwnerPanel(this);
    g_pMouseRecorder->ShowTool();
}

void CLeftView::ShowEditor()
{
    if (m_pEditEventList)
        m_pEditEventList->ShowTool();
}

void CLeftView::OnGo()
{
    UpdateData(true);
    if (m_pView)
        m_pView->NavigateUrl(m_strUrl, false);
}

void CLeftView::OnHelpClicked()
{
    if (m_pView)
        m_pView->NavigateUrl(CVellumApp::kHomePageUrl, true);
}

void CLeftView::OnAdd()
{
    UpdateData(true);
    if (!m_siteCombo || !m_actionCombo || m_siteCombo->count() == 0 || m_actionCombo->count() == 0)
        return;
    const int siteIndex = m_siteCombo->currentIndex();
    const XmlNode *site = CCatalogue::Site(m_catalogue.Root(), siteIndex);
    if (!site || !CCatalogue::SiteEvent(*site))
        return;
    if (const XmlNode *action = CCatalogue::EnabledAction(*site, m_actionCombo->currentIndex()))
        AddRow(siteIndex, *action);
}

void CLeftView::Import()
{
    if (!ChooseCatalogue())
        return;
    UpdateData(true);
    if (!m_siteCombo || !m_actionCombo || m_siteCombo->count() == 0 || m_actionCombo->count() == 0)
        return;
    const int siteIndex = m_siteCombo->currentIndex();
    const XmlNode *site = CCatalogue::Site(m_catalogue.Root(), siteIndex);
    if (!site)
        return;
    const std::vector<XmlNode *> actions = CCatalogue::EnabledActions(*site);
    for (std::size_t i = static_cast<std::size_t>(std::max(0, m_actionCombo->currentIndex())); i < actions.size(); ++i)
        AddRow(siteIndex, *actions[i]);
}

void CLeftView::AddRow(int site, const XmlNode &node)
{
    if (!m_list)
        return;
    const CatalogueAction action = CatalogueAction::Read(node);
    // Wide enough for any typed minutes; the cell reads back saturated.
    const long long delay = static_cast<long long>(m_nMinutes) * 60 + m_nSeconds + action.iSleep;
    const wstring16 delayText = WideString::FromInt(delay);
    const int r = m_list->GetItemCount();
    const int row = m_list->InsertRow(r, wstring16());
    if (row < 0)
        return;
    m_list->SetCellNumber(row, ColNumber, r + 1);
    m_list->SetCellText(row, ColDesc, action.desc);
    m_list->SetCellText(row, ColSeconds, delayText);
    m_list->SetCellNumber(row, ColGameId, site);
    m_list->SetCellText(row, ColEventId, action.id);
    m_list->SetCellText(row, ColStatus, wstring16());
    m_list->SetCellNumber(row, ColStop, 0);
    m_list->SetCellText(row, ColTime, delayText);
    m_list->SetCellText(row, ColLoopCount, action.loopCountText);
    m_list->SetCellNumber(row, ColUseLoopCount, 0);
}

bool CLeftView::AddRecord(int id, int interval, int delay, bool repeat)
{
    if (m_bClosing)
        return false;
    auto *record = new TimedTask;
    record->message = WM_TASK_NOTIFY;
    record->window = GetSafeHwnd();
    record->callback = [this](LPWSTR text, TimedTask *r) { return TaskCallback(text, r); };
    record->SetText(WideString::FromInt(id));
    record->id = id;
    record->interval = interval;
    record->dueTime = SystemTime::ClockSeconds() + delay;
    record->repeat = repeat;
    if (!AddTask(record)) {
        delete record;
        return false;
    }
    m_pLastRecord = record;
    return true;
}

void CLeftView::OnStartStop()
{
    if (!m_bStarted) {
        m_bStarted = true;
        Controls().SetDlgItemText(1007, u"停止");
        EnsureExecutor();
    } else {
        SetRepeat(kExecutorId, false);
        m_bStarted = false;
        Controls().SetDlgItemText(1007, u"开始");
    }
    emit StateChanged();
}

// Start always starts: an executor still finishing its last run after Stop is
// told to repeat again. It may be removed between the two steps, and a run that
// has already decided to end is removed all the same, so look again shortly.
void CLeftView::EnsureExecutor()
{
    if (!m_bStarted || m_bClosing)
        return;
    if (AddRecord(kExecutorId, 1, 1, true))
        return;
    if (!SetRepeat(kExecutorId, true) && AddRecord(kExecutorId, 1, 1, true))
        return;
    QTimer::singleShot(1500, this, [this] {
        if (m_bStarted && !m_bClosing && !HasTask(kExecutorId))
            EnsureExecutor();
    });
}

bool CLeftView::IsSelected(int row) const
{
    return m_list && (m_list->GetItemState(row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

void CLeftView::RunNowSpaced()
{
    if (!m_list)
        return;
    int next = 0;
    for (int row = 0; row < m_list->GetItemCount(); ++row) {
        if (!IsSelected(row) || CellInt(*m_list, row, ColStop) == 1)
            continue;
        m_list->SetCellNumber(row, ColSeconds, next);
        // A tick from an earlier run would make the first step take all the time since.
        m_list->SetCellUnsigned(row, ColLastTick, 0);
        next += 5;
    }
}

void CLeftView::PauseSelected(bool pause)
{
    if (!m_list)
        return;
    const DWORD now = GetTickCount();
    for (int row = 0; row < m_list->GetItemCount(); ++row) {
        if (!IsSelected(row))
            continue;
        m_list->SetCellNumber(row, ColStop, pause ? 1 : 0);
        if (!pause)
            m_list->SetCellUnsigned(row, ColLastTick, now);
    }
}

void CLeftView::ResetExecuted()
{
    if (!m_list)
        return;
    for (int row = 0; row < m_list->GetItemCount(); ++row) {
        if (!IsSelected(row) || CellInt(*m_list, row, ColSeconds) != kTaken)
            continue;
        m_list->SetCellText(row, ColStatus, wstring16());
        m_list->SetCellNumber(row, ColStop, 0);
        m_list->SetCellText(row, ColSeconds, m_list->GetItemText(row, ColTime));
        m_list->SetCellUnsigned(row, ColLastTick, 0);
    }
}

void CLeftView::DeleteSelected()
{
    if (!m_list)
        return;
    for (int row = m_list->GetItemCount() - 1; row >= 0; --row)
        if (IsSelected(row))
            m_list->DeleteRow(row);
}

QMenu *CLeftView::CreateContextMenu(QWidget *parent) const
{
    const std::optional<MenuTemplate> menu = MenuTemplate::Load(kContextMenu);
    if (!menu)
        return nullptr;
    return menu->CreatePopup(0, parent);
}

void CLeftView::ShowContextMenu(const QPoint &globalPos)
{
    QPointer<CLeftView> self(this);
    activateWindow();
    std::unique_ptr<QMenu> popup(CreateContextMenu(this));
    if (!popup)
        return;
    const int id = MenuTemplate::TrackPopupMenu(popup.get(), globalPos);
    if (!self)
        return;
    popup.reset();
    if (id != 0)
        OnCommand(static_cast<UINT>(id));
}

bool CLeftView::TaskCallback(LPWSTR text, TimedTask *)
{
    switch (WideString::ToInt(text ? std::u16string_view(text) : std::u16string_view())) {
    case kExecutorId:
        ExecuteRows(ExecuteMode::Timer);
        break;
    case kCountDownId:
        CountDown();
        break;
    case kRunNowId:
        ExecuteRows(ExecuteMode::Selection);
        break;
    default:
        break;
    }
    return true;
}

void CLeftView::CountDown()
{
    if (!m_bStarted || !m_list)
        return;
    const PassMark mark(m_nCountDowns);
    for (int first = 0; first >= 0 && !m_bClosing;) {
        int next = -1;
        OnListThread([&] { next = CountDownSlice(first); });
        first = next;
    }
}

// The rows of a pass go to the list's thread a slice at a time: one send per
// slice instead of several per row, and the window is never held long.
int CLeftView::CountDownSlice(int first)
{
    CReportCtrl &list = *m_list;
    const int count = list.GetItemCount();
    const int end = std::min(count, first + kSliceRows);
    const DWORD now = GetTickCount();
    const auto deadline = std::chrono::steady_clock::now() + kSliceTime;
    for (int row = first; row < end; ++row) {
        if (SliceSpent(first, row, deadline))
            return row;
        // Most rows of a long list are done or due: one cell tells.
        const int seconds = CellInt(list, row, ColSeconds);
        if (seconds <= 0 || CellInt(list, row, ColStop) == 1)
            continue;
        const DWORD last = ParseTick(list.GetItemText(row, ColLastTick));
        long long value;
        if (last == 0)
            value = static_cast<long long>(seconds) - 1;
        else if (now >= last)
            value = static_cast<long long>(seconds) + last / 1000 - now / 1000;
        else if (const DWORD elapsed = now - last; elapsed < kTickWrapLimit) // the tick count wrapped
            value = static_cast<long long>(seconds) - elapsed / 1000;
        else // a tick of another boot (an imported list): one step
            value = static_cast<long long>(seconds) - 1;
        list.SetCellNumber(row, ColSeconds, static_cast<int>(std::max(0LL, value)));
        list.SetCellUnsigned(row, ColLastTick, now);
    }
    return end < count ? end : -1;
}

void CLeftView::ExecuteRows(ExecuteMode mode)
{
    if (!m_list)
        return;
    if (mode == ExecuteMode::Timer)
        WaitForCountDown();
    std::vector<int> rows;
    for (int first = 0; first >= 0 && !m_bClosing;) {
        int next = -1;
        rows.clear();
        OnListThread([&] { next = FindRunnableRows(first, mode, rows); });
        for (int row : rows) {
            if (m_bClosing)
                break;
            ExecuteRow(row, mode);
        }
        first = next;
    }
}

int CLeftView::FindRunnableRows(int first, ExecuteMode mode, std::vector<int> &rows) const
{
    const int count = m_list->GetItemCount();
    const int end = std::min(count, first + kSliceRows);
    const auto deadline = std::chrono::steady_clock::now() + kSliceTime;
    for (int row = first; row < end; ++row) {
        if (SliceSpent(first, row, deadline))
            return row;
        if (IsRunnable(row, mode))
            rows.push_back(row);
    }
    return end < count ? end : -1;
}

bool CLeftView::IsRunnable(int row, ExecuteMode mode) const
{
    if (mode == ExecuteMode::Timer ? CellInt(*m_list, row, ColSeconds) != 0 : !IsSelected(row))
        return false;
    return CellInt(*m_list, row, ColStop) != 1;
}

// The row is read again when its turn comes: the user may have paused, run or
// removed it since its slice was looked at.
void CLeftView::ExecuteRow(int row, ExecuteMode mode)
{
    std::optional<CatalogueAction> action;
    bool announced = false;
    OnListThread([&] {
        if (row >= m_list->GetItemCount() || !IsRunnable(row, mode))
            return;
        m_list->SetCellNumber(row, ColSeconds, kTaken);
        action = ActionOfRow(row);
        if (action && !action->debug && !action->body.empty() && !m_bClosing) {
            m_list->SetCellText(row, ColStatus, u"执行...");
            announced = true;
        }
    });
    if (!action)
        return;
    if (action->debug)
        MessageBoxW(GetSafeHwnd(), action->body.c_str(), kCaption, MB_OK);
    if (action->body.empty() || m_bClosing)
        return;
    if (!announced)
        OnListThread([&] { m_list->SetCellText(row, ColStatus, u"执行..."); });

    const auto began = std::chrono::steady_clock::now();
    int attempts = 1;
    const bool ok = action->IsMouseAction()
        ? ReplayMouseAction(action->body, action->px1, action->py1, action->px2, action->py2, action->doFlashIndex)
        : RunScript(action->body, action->languang, action->reTryCount, action->bDoCount, &attempts);
    const auto took = std::chrono::steady_clock::now() - began;

    OnListThread([&] {
        CReportCtrl &list = *m_list;
        list.SetCellText(row, ColStatus, ok ? u"成功" : u"失败");
        g_RunRecord.Add(
            {std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
                    .count(),
                m_strTabName, list.GetItemText(row, ColNumber), action->desc, action->IsMouseAction(), ok,
                std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), attempts});
        const int used = CellInt(list, row, ColUseLoopCount);
        if (action->loopCount >= used && action->loopCount > 0) {
            if (action->loopDifTime >= 1)
                list.SetCellNumber(row, ColSeconds, action->loopDifTime);
            else
                list.SetCellText(row, ColSeconds, list.GetItemText(row, ColTime));
            list.SetCellText(row, ColStatus, wstring16());
            list.SetCellNumber(row, ColUseLoopCount, used + 1);
        }
    });
}

std::optional<CatalogueAction> CLeftView::ActionOfRow(int row) const
{
    // The catalogue loaded now, kept alive even if another one is loaded meanwhile.
    const std::shared_ptr<const XmlNode> root = m_catalogue.Snapshot();
    const XmlNode *site = root ? CCatalogue::Site(*root, CellInt(*m_list, row, ColGameId)) : nullptr;
    if (!site || !CCatalogue::SiteEvent(*site))
        return std::nullopt;
    const XmlNode *node = CCatalogue::ActionById(*site, m_list->GetItemText(row, ColEventId));
    if (!node)
        return std::nullopt;
    return CatalogueAction::Read(*node);
}

bool CLeftView::OnListThread(const std::function<void()> &work) const
{
    bool ran = false;
    InvokeOnWindowThread(GetSafeHwnd(), [&]() -> LRESULT {
        if (m_list) {
            work();
            ran = true;
        }
        return 0;
    });
    return ran;
}

// Both one-second records fall due in the same second and start together; the
// rows the countdown brings to 0 should run in this pass, not a second later.
void CLeftView::WaitForCountDown()
{
    const DWORD start = GetTickCount();
    const int before = m_nCountDowns.load();
    // Its thread may not have begun yet.
    while (before % 2 == 0 && m_nCountDowns.load() == before && GetTickCount() - start < kCountDownStartWaitMs &&
        !m_bClosing)
        Sleep(2);
    while (m_nCountDowns.load() % 2 == 1 && GetTickCount() - start < kCountDownWaitMs && !m_bClosing)
        Sleep(2);
}

bool CLeftView::RunScript(const wstring16 &script, const wstring16 &language, int retries, int runs, int *attempts)
{
    if (attempts)
        *attempts = 0;
    if (m_bClosing)
        return false;
    EnterCriticalSection(&m_handOffLock);
    auto handOff = std::make_shared<HandOff>();
    {
        std::lock_guard lock(m_handOffMutex);
        m_nRuns = runs;
        m_nRetries = retries;
        m_strLanguage = language;
        m_strScript = script;
        m_pHandOff = handOff;
    }
    bool result = false;
    if (!m_bClosing && PostMessageW(GetSafeHwnd(), WM_TASK_NOTIFY, reinterpret_cast<WPARAM>(kHandOffText), 0)) {
        std::unique_lock lock(handOff->mutex);
        // The window may go before it takes the message: closing answers then.
        while (!handOff->answered.wait_for(lock, std::chrono::milliseconds(100), [&] { return handOff->done; })) {
            if (m_bClosing || !IsWindow(GetSafeHwnd()))
                break;
        }
        result = handOff->done && handOff->result;
        if (attempts)
            *attempts = handOff->attempts;
    }
    {
        std::lock_guard lock(m_handOffMutex);
        if (m_pHandOff == handOff)
            m_pHandOff.reset();
    }
    LeaveCriticalSection(&m_handOffLock);
    return result;
}

// A hand-off carried out on the UI thread. Each attempt starts when the one
// before has answered, so this thread never waits inside one tab's script while
// other tabs' hand-offs queue behind it.
struct CLeftView::ScriptJob {
    wstring16 script;
    wstring16 language;
    int retries = 1;
    int runs = 1;
    int run = 0;
    int attempt = 0;
    int attempts = 0; // over all runs
    bool result = false;
    std::function<void(bool, int)> finished;

    void Finish()
    {
        const auto done = std::move(finished);
        if (done)
            done(result, attempts);
    }
};

// The UI-thread half of RunScript. Also reached by the scheduler's notice after
// every run, whose text is the record's id: nothing to do for that one.
LRESULT CLeftView::OnTaskNotify(WPARAM wParam)
{
    const auto *text = reinterpret_cast<const char16_t *>(wParam);
    if (!text || std::u16string_view(text) != kHandOffText)
        return 0;
    auto job = std::make_shared<ScriptJob>();
    std::shared_ptr<HandOff> handOff;
    {
        // The job keeps its own copy, so the slots are free for the next hand-off.
        std::lock_guard lock(m_handOffMutex);
        handOff = m_pHandOff;
        job->script = std::move(m_strScript);
        job->language = std::move(m_strLanguage);
        m_strScript.clear();
        m_strLanguage.clear();
        job->retries = m_nRetries == 0 ? 1 : m_nRetries;
        job->runs = m_nRuns == 0 ? 1 : m_nRuns;
    }
    if (handOff) {
        job->finished = [handOff](bool result, int attempts) { handOff->Answer(result, attempts); };
        ContinueScript(job);
        return 0; // the run thread hears through the hand-off
    }
    // Sent by someone other than RunScript: the answer is the result.
    struct Outcome {
        bool done = false;
        bool result = false;
        QEventLoop loop;
    };
    auto outcome = std::make_shared<Outcome>();
    job->finished = [outcome](bool result, int) {
        outcome->done = true;
        outcome->result = result;
        outcome->loop.quit();
    };
    ContinueScript(job);
    while (!outcome->done)
        outcome->loop.exec();
    return outcome->result ? 1 : 0;
}

void CLeftView::ContinueScript(const std::shared_ptr<ScriptJob> &job)
{
    while (job->run < job->runs && !m_bClosing) {
        if (job->attempt >= job->retries) {
            ++job->run;
            job->attempt = 0;
            continue;
        }
        ++job->attempt;
        ++job->attempts;
        // The page may close this tab while a script runs (the panel goes with it).
        QPointer<CLeftView> self(this);
        const auto answered = [self, job](bool ok, const wstring16 &) {
            if (ok) {
                job->result = true;
                ++job->run;
                job->attempt = 0;
            }
            if (self)
                self->ContinueScript(job);
            else
                job->Finish();
        };
        if (m_pView && m_pView->StartScript(job->script, job->language, answered))
            return;
        // Nothing changes before this thread moves on, so no later attempt could start either.
        break;
    }
    job->Finish();
}

bool CLeftView::ReplayMouseAction(const wstring16 &body, int px1, int py1, int px2, int py2, int doFlashIndex)
{
    const HWND view = m_hView.load();
    if (!view || !IsWindow(view) || m_bClosing)
        return false;
    const MouseReplay::ScrollSlots scroll {m_pScrollX.load(), m_pScrollY.load()};
    return MouseReplay::Replay(view, {body, px1, py1, px2, py2, doFlashIndex}, scroll);
}

LRESULT CLeftView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TASK_NOTIFY:
        return OnTaskNotify(wParam);
    case WM_COMMAND:
        return OnCommand(static_cast<UINT>(wParam & 0xFFFF)) ? 0 : 1;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        return CResizableFormView::WindowProc(message, wParam, lParam);
    }
}

void CLeftView::EraseBackground(QPainter &painter, const QRegion &region)
{
    painter.fillRect(region.boundingRect(), Qt::white);
}

// Closing: no new work, the executor and countdown stop repeating, a waiting
// hand-off and any debug box are answered, the windows go (so every send from a
// run thread answers 0 at once) and the panel's threads are waited for. Nothing
// a run thread waits on needs this thread any more, so the wait is short.
void CLeftView::OnDestroy()
{
    if (m_bShutDown)
        return;
    m_bShutDown = true;
    m_bClosing = true;
    m_bStarted = false;
    SetRepeat(kExecutorId, false);
    SetRepeat(kCountDownId, false);
    const HWND window = GetSafeHwnd();
    {
        std::lock_guard lock(m_handOffMutex);
        if (m_pHandOff)
            m_pHandOff->Answer(false, 0);
    }
    // A null owner would close every box of the program.
    if (window) {
        DismissMessageBoxes(window);
        if (IsWindow(window))
            ::DestroyWindow(window);
        // A box asked for between the two steps.
        DismissMessageBoxes(window);
    }
    Shutdown();
}
