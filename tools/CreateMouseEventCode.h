#pragma once
// The mouse event recorder (dialog 311, "鼠标事件记录"): follows the cursor to
// take a start and an end point inside the active tab's browser, or takes them
// from real clicks in the page (automatic mode, fed by the child frame's and
// the view's input hooks), and records clicks and drags as rows. The list is
// kept in temEventList.bak after every added row, can be staged into the
// active tab's auxiliary table, and written out as a catalogue.
// One recorder exists for the program's whole run (g_pMouseRecorder).

#include "tools/ActionRow.h"
#include "tools/CToolDialog.h"

#include <QPointer>

class CLeftView;
class CMainFrame;
class CTempEvenList;
class ToolListRows;

class CreateMouseEventCode : public CToolDialog {
    Q_OBJECT

public:
    enum : int {
        IDD = 311,
        IDR_LIST_MENU = 315,
        ID_PUT_INTO_AUX_TABLE = 32784,
        kHotKeyId = 200,
        kStartPointTimer = 1,
        kEndPointTimer = 2,
        kTimerMs = 200,
    };
    enum Control : int {
        IDC_START_POINT = 1012,
        IDC_END_POINT = 1013,
        IDC_MOVE_UP = 1014,
        IDC_MOVE_DOWN = 1015,
        IDC_X1 = 1016,
        IDC_Y1 = 1017,
        IDC_X2 = 1018,
        IDC_Y2 = 1019,
        IDC_DRAG = 1022,
        IDC_CLICK = 1023,
        IDC_EDIT_ROW = 1024,
        IDC_RETRY = 1025,
        IDC_RUNS = 1026,
        IDC_LOOP_COUNT = 1027,
        IDC_LOOP_INTERVAL = 1028,
        IDC_GENERATE = 1029,
        IDC_DESC = 1030,
        IDC_DELAY = 1031,
        IDC_LIST = 1032,
        IDC_CLEAR = 1034,
        IDC_DELETE_SELECTED = 1035,
        IDC_FLASH_AREA = 1036,
        IDC_AUTO_EACH_CLICK = 1037,
        IDC_STOP = 1039,
        IDC_TEMP_EVENTS = 1040,
    };

    // frame: the main frame, whose active tab the recorder works on.
    explicit CreateMouseEventCode(CMainFrame *frame, QWidget *parent = nullptr);
    ~CreateMouseEventCode() override;

    // Controls to fields (true) or fields to controls (false); reading goes on
    // past a field that is no number and then gives false.
    bool UpdateData(bool saveAndValidate = true);

    void OnStartPoint();
    void OnEndPoint();
    void OnStop();
    void OnRecordClick();
    void OnRecordDrag();
    void OnRowClick();
    void OnEditRow();
    void PutIntoAuxTable();
    void OnTempEvents();
    void OnGenerateCatalogue();

    // Appends one row and saves the whole list to temEventList.bak.
    void AddRecorderRow(const wstring16 &word, int x1, int x2, int y1, int y2, const wstring16 &desc, int retry,
        int runs, int loopCount, int loopInterval, int flashIndex, int delay);
    // Replaces the list with temEventList.bak when the file exists.
    void LoadEventList();
    bool SaveEventList();
    static wstring16 EventListPath();

    // The panel whose commands showed the recorder last.
    void SetOwnerPanel(CLeftView *panel);
    CLeftView *OwnerPanel() const;

    // What the input hooks read and set.
    bool IsAutoCapturing() const;
    void SetStartPoint(POINT point);
    void SetEndPoint(POINT point);
    POINT StartPoint() const { return {m_nX1, m_nY1}; }
    POINT EndPoint() const { return {m_nX2, m_nY2}; }
    // Refreshes the coordinate edits from the points.
    void WriteBackPoints();
    int ViewHandledUp = 0;
    int CaptureActive = 0;

    HWND ContentWindow() const { return m_hContent; }
    HWND FlashWindow() const { return m_hFlash; }
    int FlashIndex() const { return m_nFlashIndex; }
    int BaseTime() const { return m_nBaseTime; }
    ToolListRows &Rows() const { return *m_rows; }
    // The auxiliary table of the active tab (through its panel and editor).
    CTempEvenList *ActiveAuxTable() const;

    static int NowSeconds();

protected:
    void OnControl(int id, int code) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnClose() override;

private:
    // The counts, flash index and delay of the fields with this word, points and description.
    ActionRow Fields(const wstring16 &word, POINT p1, POINT p2, const wstring16 &desc) const;
    void WindowLookup();
    POINT ToClient(POINT screen) const;
    void ShowListMenu(const QPoint &globalPos);
    void KillTimers();

    QPointer<CMainFrame> m_pFrame;
    QPointer<CLeftView> m_pOwnerPanel;
    std::unique_ptr<ToolListRows> m_rows;
    bool m_bHotKey = false;
    // An existing list file that could not be read: set aside before it is replaced.
    bool m_bUnreadableList = false;

    // Recorder state.
    UINT_PTR m_nStartTimer = 0;
    UINT_PTR m_nEndTimer = 0;
    HWND m_hContent = nullptr;
    HWND m_hFlash = nullptr;
    HWND m_hTop = nullptr;
    HWND m_hEmbedding = nullptr;
    HWND m_hDocView = nullptr;
    int m_nFlashIndex = 0;
    int m_nBaseTime = 0;
    int m_nX1 = 0;
    int m_nY1 = 0;
    int m_nX2 = 0;
    int m_nY2 = 0;
    int m_nRetry = 3;
    int m_nRuns = 1;
    int m_nLoopCount = 0;
    int m_nLoopInterval = 0;
    wstring16 m_strDesc;
    bool m_bFlashArea = false;
    bool m_bAutoEachClick = false;
    int m_nDelay = 0;
};
