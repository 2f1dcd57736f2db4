#pragma once
// The program's top-level window: tabbed documents, the menu of the moment
// (128 without a tab, 130 with one), the standard toolbar and the status bar,
// the looks 210-218, the boss key (a system-wide hot key that hides or shows
// the window) and the tray icon that stands for the window while minimised.
// Commands keep their identifiers and dispatch by them, also as WM_COMMAND sent
// to the frame's window.

#include "app/CTrayIcon.h"
#include "platform/Win32Types.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <map>
#include <memory>

class CChildFrame;
class CContainers;
class CDocumentTabs;
class CRecentlyUsedMenus;
class CToolBarManager;
class CVellumDoc;
class CVellumView;
class QLabel;
class QMenu;
class QToolBar;
class WindowBinding;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    enum : UINT {
        ID_FILE_NEW = 57600,
        ID_FILE_OPEN = 57601,
        ID_FILE_CLOSE = 57602,
        ID_FILE_SAVE = 57603,
        ID_FILE_SAVE_AS = 57604,
        ID_FILE_PRINT = 57607,
        ID_FILE_SEND_MAIL = 57612,
        ID_FILE_MRU_FILE1 = 57616,
        ID_EDIT_COPY = 57634,
        ID_EDIT_CUT = 57635,
        ID_EDIT_PASTE = 57637,
        ID_EDIT_UNDO = 57643,
        ID_WINDOW_MANAGER = 131,
        ID_VIEW_CUSTOMIZE = 126,
        IDS_TOOLBAR_STANDARD = 124,
        IDS_TOOLBAR_CUSTOMIZE = 125,
        IDS_WINDOWS_MANAGER = 132,
        ID_WINDOW_NEW = 57648,
        ID_WINDOW_SPLIT = 57653,
        ID_APP_ABOUT = 57664,
        ID_APP_EXIT = 57665,
        ID_NEXT_PANE = 57680,
        ID_PREV_PANE = 57681,
        ID_VIEW_TOOLBAR = 59392,
        ID_VIEW_STATUS_BAR = 59393,
        IDR_MAINFRAME = 128,
        IDR_VellumTYPE = 130,
        ID_VIEW_APPLOOK_FIRST = 210,
        ID_VIEW_APPLOOK_LAST = 218,
        IDR_TRAY = 317,
        ID_BOSS_KEY_SETTINGS = 32785,
        ID_SHOW_WINDOW = 32786,
        ID_RESTORE_ON_START = 32790,
        ID_AUTOSTART = 32791,
        ID_RUN_RECORD = 32792,
        ID_FILE_NEW_ISOLATED = 32793,
        ID_MANAGE_CONTAINERS = 32794,
        WM_TRAY_NOTIFY = WM_USER + 1,
        WM_SYSCOMMAND = 0x0112,
        SC_MAXIMIZE = 0xF030,
    };
    static constexpr int kRecentFileCount = 4;

    explicit CMainFrame(QWidget *parent = nullptr);
    ~CMainFrame() override;

    // Builds bars, tabs and menus; false when any of them cannot be made.
    bool LoadFrame();

    // A new tab on document (a new document when null), with its initial update,
    // in the named container (empty or unknown: the default one).
    CChildFrame *CreateChildFrame(CVellumDoc *document, bool activate, const QString &container = QString());
    // The named containers of the tabs, made at first use below g_strAppDir.
    CContainers *Containers();
    CChildFrame *MDIGetActive() const;
    CVellumView *ActiveView() const;
    CDocumentTabs *Tabs() const { return m_pTabs; }
    CToolBarManager *ToolBars() const { return m_pToolBars; }
    CRecentlyUsedMenus *RecentlyUsedMenus() const { return m_pRecentMenus; }
    HWND GetSafeHwnd() const;

    // Runs a command by its identifier; false when the frame has no such command.
    bool OnCommand(UINT id);
    bool IsCommandEnabled(UINT id) const;
    // The menu shown now: IDR_MAINFRAME or IDR_VellumTYPE.
    UINT CurrentMenuId() const { return m_nMenuId; }
    QStringList RecentFiles() const { return m_recentFiles; }

    CChildFrame *OnFileNew();
    // Opens the file in a new tab; a message and null when it cannot be read.
    CChildFrame *OpenDocumentFile(const wstring16 &path);
    // Saves the active tab's document, asking for a name when it has none or when asked to.
    bool OnFileSave(bool askForName);
    // The first tab of the document saved in or opened from path, if any.
    CChildFrame *FrameOfFile(const wstring16 &path) const;
    // The status bar's message pane.
    QString StatusMessage() const;
    void CloseFrame(CChildFrame *frame);

    // Hides the window while its pages keep running timers and animation frames
    // at full rate (an unmapped window stops them), and shows it again.
    void HideKeepingPagesLive();
    void ShowFromHidden(bool minimised = false);
    bool IsHiddenKeepingPagesLive() const { return m_bHiddenLive; }

    // Switches to look id (any value; see CApplicationLook) and stores it.
    void SetApplicationLook(UINT id);
    UINT LookId() const { return m_nLookId; }
    void UpdateLookMenu();
    // The boss key (identifier 200) toggles only the window's visibility.
    LRESULT OnBossKey(WPARAM id);
    // Minimised: into the tray when the desktop has one.
    void OnSize(WPARAM type);
    // Back from the tray, maximised.
    void OnShowMainWindow();
    // False when the notification is dropped (changes of the system's metrics
    // and fonts, which would replace the frame's own fonts).
    bool OnSettingChange(WPARAM flag);
    const KorrinControlsEx::CTrayIcon &TrayIcon() const { return m_TrayIcon; }
    // Starts in the tray, or minimised where the desktop has none.
    void StartHidden();
    // What the status bar says while no page has something to say ("就绪" at first).
    void SetStatusText(const QString &text);
    QString StatusText() const;

    // The toolbars' menu (also the one of the toolbars' area): one item per toolbar, then "自定义...".
    QMenu *createPopupMenu() override;
    // The commands of each menu, for the customise dialog.
    std::vector<std::pair<QString, std::vector<UINT>>> MenuCommands() const;

signals:
    // Closing: the tabs are still all there.
    void TabsClosing();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *AddCommand(UINT id, const QString &text, const QKeySequence &shortcut = {});
    bool BuildMenus();
    void UpdateCommandStates();
    void BuildToolBar();
    void BuildStatusBar();
    void UpdateMenu();
    void OnCustomize();
    void UpdateRecentFiles();
    void AddRecentFile(const wstring16 &path);
    void SaveRecentFiles() const;
    void OnFileOpen();
    void OnFileClose();
    // Prints the active tab's page through the system's print dialog.
    void OnFilePrint();
    void UpdatePrintCommand();
    // Send needs the desktop's mail opener and a page whose address it hands on.
    void UpdateSendCommand();
    void OnFileSendMail();
    void OnEdit(UINT id);
    void OnNextPane(bool forward);
    void OnActiveFrameChanged(CChildFrame *frame);
    void UpdateFrameTitle();
    void DisposeFrame(CChildFrame *frame);
    void RetryClose();
    void UpdateLockIndicators(quint32 nativeModifiers);
    // From the X server; false where there is none.
    bool ReadLockLights();
    void PreTranslateMouse(QWidget *target, QEvent *event);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    KorrinControlsEx::CTrayIcon m_TrayIcon;
    const QEvent *m_pLastMouse = nullptr;
    int m_nLastMouseType = 0;
    quint64 m_nLastMouseTime = 0;
    std::unique_ptr<WindowBinding> m_window;
    CDocumentTabs *m_pTabs = nullptr;
    bool m_bRestoring = false; // just shown from the tray: a minimised report is stale
    static constexpr int kRestoreSettleMs = 1000;
    static constexpr int kLockLightsMs = 250;
    QPointer<CChildFrame> m_pTitleSource; // the tab whose title the frame's title shows
    CToolBarManager *m_pToolBars = nullptr;
    CRecentlyUsedMenus *m_pRecentMenus = nullptr;
    QLabel *m_pMessagePane = nullptr;
    QLabel *m_pIndicators[3] = {};
    QList<QMenu *> m_menus128;
    QList<QMenu *> m_menus130;
    std::map<UINT, QAction *> m_commands;
    QList<QAction *> m_recentActions;
    QAction *m_pNoRecentAction = nullptr;
    QStringList m_recentFiles;
    UINT m_nMenuId = 0;
    bool m_bHiddenLive = false;
    bool m_bClosing = false;
    bool m_bRetryingClose = false;
    UINT m_nLookId = 0;
    CContainers *m_pContainers = nullptr;
    QString m_strIdleStatus = QStringLiteral("就绪");
};
