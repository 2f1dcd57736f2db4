#pragma once
// The task panel of a tab, pane (0,0) of its frame: form 101 with the site and
// action combos, the task list and its context menu, and at the same time the
// scheduler whose records count the rows down and run them in the browser view
// of pane (0,1). A row's cells are the task's whole state; run threads read and
// write them only through the list control.

#include "catalogue/CCatalogue.h"
#include "catalogue/CatalogueAction.h"
#include "platform/Threading.h"
#include "tasks/CTaskClass.h"
#include "util/CResizableFormView.h"

#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class CVellumView;
class CeditEventList;
class QComboBox;
class QMenu;
class QPoint;

namespace KorrinControlsEx {
class CReportCtrl;
}

class CLeftView : public CResizableFormView, public KorrinControlsEx::CTaskClass {
    Q_OBJECT

public:
    enum Column : int {
        ColNumber = 0, // "序号"
        ColDesc, // "操作"
        ColSeconds, // "秒"
        ColGameId,
        ColEventId,
        ColStatus, // "执行"
        ColStop,
        ColTime,
        ColLoopCount,
        ColUseLoopCount,
        ColLastTick,
        ColumnCount
    };
    enum RecordId : int { kExecutorId = -1, kCountDownId = -2, kRunNowId = -3 };
    enum class ExecuteMode { Timer, Selection };

    static constexpr UINT WM_TASK_NOTIFY = 21024;
    static constexpr char16_t kHandOffText[] = u"0000000000";
    // "秒" of a row the executor has taken.
    static constexpr int kTaken = -9999;
    static constexpr int kMaxSeconds = 9999999;
    // How long closing waits for the panel's threads at most.
    static constexpr DWORD kShutdownWaitMs = 2000;

    enum Command : UINT {
        ID_PAUSE = 32771,
        ID_CONTINUE = 32772,
        ID_DELETE_SELECTED = 32773,
        ID_RUN_NOW = 32774,
        ID_RESET_EXECUTED = 32775,
        ID_DELETE_ALL = 32776,
        ID_SAVE_LIST = 32777,
        ID_IMPORT_LIST = 32778,
        ID_RUN_NOW_SPACED = 32780,
        ID_RECORDER = 32781,
        ID_IMPORT_EVENTS = 32782,
        ID_EVENT_EDITOR = 32783,
    };

    explicit CLeftView(QWidget *parent = nullptr);
    ~CLeftView() override;

    // Anchors, columns, the catalogue beside the executable, the countdown record
    // and the browser view of the same frame.
    void OnInitialUpdate() override;

    // Controls to members (true) or members to controls (false). Reading goes on
    // past a field that fails; false when any did.
    bool UpdateData(bool saveAndValidate = true);

    // Catalogue operations; a missing or damaged file ends the program.
    void LoadCatalogue(const wstring16 &path);
    // Loads another catalogue keeping the rows; false with the message when it
    // cannot be read, and the panel keeps the one it has.
    bool UseCatalogue(const wstring16 &path, wstring16 *message);
    bool ParseCatalogue();
    void FillSiteCombo();
    void FillActionCombo();
    bool ChooseCatalogue();

    // Buttons and menu commands by identifier; false for one the panel does not know.
    bool OnCommand(UINT id);
    void OnGo();
    void OnAdd();
    void OnStartStop();
    void OnHelpClicked();
    void ShowContextMenu(const QPoint &globalPos);
    // The context menu as shown.
    QMenu *CreateContextMenu(QWidget *parent) const;

    // The work of the panel's records, on their run threads.
    bool TaskCallback(LPWSTR text, KorrinControlsEx::TimedTask *record);
    void ExecuteRows(ExecuteMode mode);
    void CountDown();
    // Hands a script to the UI thread and waits for its result.
    // attempts: how many executions the browser was asked for.
    bool RunScript(const wstring16 &script, const wstring16 &language, int retries, int runs, int *attempts = nullptr);
    bool ReplayMouseAction(const wstring16 &body, int px1, int py1, int px2, int py2, int doFlashIndex);

    KorrinControlsEx::CReportCtrl &List() const { return *m_list; }
    QComboBox *SiteCombo() const { return m_siteCombo; }
    QComboBox *ActionCombo() const { return m_actionCombo; }
    CVellumView *BrowserView() const { return m_pView; }
    // The panel's own editor, which holds its auxiliary table.
    CeditEventList *EditEventList() const;
    const CCatalogue &Catalogue() const { return m_catalogue; }
    bool IsStarted() const { return m_bStarted.load(); }
    const wstring16 &UrlText() const { return m_strUrl; }
    int Minutes() const { return m_nMinutes; }
    int Seconds() const { return m_nSeconds; }
    // "标签页 n", n counting the panels of this run: the run record's name for the tab.
    const wstring16 &TabName() const { return m_strTabName; }

signals:
    // The catalogue was replaced, or the tasks were started or stopped.
    void StateChanged();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void EraseBackground(QPainter &painter, const QRegion &region) override;

private:
    struct HandOff;
    struct ScriptJob;
    struct PassMark;
    static constexpr DWORD kCountDownStartWaitMs = 40;
    static constexpr DWORD kCountDownWaitMs = 900;
    static constexpr int kSliceRows = 128;
    // A tick count behind the last one by less than this has wrapped; by more, it is another boot's.
    static constexpr DWORD kTickWrapLimit = 0x80000000u;

    void OnControl(int id, int code);
    LRESULT OnTaskNotify(WPARAM wParam);
    void ContinueScript(const std::shared_ptr<ScriptJob> &job);
    void OnDestroy();
    // Appends one task row for an action of site `site`.
    void AddRow(int site, const XmlNode &action);
    bool AddRecord(int id, int interval, int delay, bool repeat);
    void EnsureExecutor();
    bool IsSelected(int row) const;
    void RunNowSpaced();
    void PauseSelected(bool pause);
    void ResetExecuted();
    void DeleteSelected();
    void Import();
    void ShowRecorder();
    void ShowEditor();
    bool ReadInt(int id, int &value, bool ranged);
    // Paused rows are drawn grey.
    void ShowPaused(int row);
    void WaitForCountDown();
    // Run on the list's thread, by a run thread's send.
    int CountDownSlice(int first);
    int FindRunnableRows(int first, ExecuteMode mode, std::vector<int> &rows) const;
    bool IsRunnable(int row, ExecuteMode mode) const;
    std::optional<CatalogueAction> ActionOfRow(int row) const;
    void ExecuteRow(int row, ExecuteMode mode);
    // Runs work on the list's thread; false once the panel's window has gone.
    bool OnListThread(const std::function<void()> &work) const;

    KorrinControlsEx::CReportCtrl *m_list = nullptr;
    QComboBox *m_siteCombo = nullptr;
    QComboBox *m_actionCombo = nullptr;
    int m_nMinutes = 0;
    int m_nSeconds = 10;
    wstring16 m_strUrl;
    wstring16 m_strTabName;
    CCatalogue m_catalogue;

    // Script hand-off: one at a time (the section), answered through the shared
    // slot so that a run thread never waits on a frame that is about to go.
    CRITICAL_SECTION m_handOffLock;
    wstring16 m_strScript;
    wstring16 m_strLanguage;
    int m_nRetries = 0;
    int m_nRuns = 0;
    std::mutex m_handOffMutex;
    std::shared_ptr<HandOff> m_pHandOff;

    std::atomic<int> m_nCountDowns {0}; // odd while a countdown pass runs
    std::atomic<bool> m_bStarted {false};
    std::atomic<bool> m_bClosing {false};
    bool m_bShutDown = false;
    QPointer<CVellumView> m_pView;
    QPointer<CeditEventList> m_pEditEventList;
    // What run threads use of the view; it outlives the panel in its frame.
    std::atomic<HWND> m_hView {nullptr};
    std::atomic<std::atomic<LONG> *> m_pScrollX {nullptr};
    std::atomic<std::atomic<LONG> *> m_pScrollY {nullptr};
    KorrinControlsEx::TimedTask *m_pLastRecord = nullptr; // owned by the scheduler once added
};
