#pragma once
// The application object: fixes the program's folders (creating the user's data
// folder for an installed program), writes the default
// catalogue, makes sure the configuration folder exists, creates the main frame
// and opens the first tab. Every failing step shows its message and ends the
// start-up.

#include "platform/Win32Types.h"

#include <QIcon>
#include <QObject>
#include <QStringList>

#include <memory>

class CMainFrame;
class CTabStateKeeper;
class CreateMouseEventCode;

// The folder the program keeps its files in, ending in '/': the executable's folder
// where the user may write there, else the user's data folder (~/.local/share/tessaly/).
extern wstring16 g_strAppDir;
// g_strAppDir + "Config/".
extern wstring16 g_strConfigDir;
// Set at start-up; the first browser view opens the home page and clears it.
extern bool g_bNavigateHome;
// The mouse event recorder; null until the recorder exists.
extern CreateMouseEventCode *g_pMouseRecorder;

class CVellumApp : public QObject {
    Q_OBJECT
public:
    enum : UINT {
        IDR_CONFIG = 314,
        IDR_POPUP_EDIT = 119,
        IDS_EDIT_MENU = 306,
        IDR_VellumTYPE = 130,
    };
    static constexpr char16_t kHomePageUrl[] = u"qrc:/home/index.html";
    // The key under which per-user settings are kept.
    static constexpr char16_t kRegistryKey[] = u"应用程序向导生成的本地应用程序";
    static constexpr int kRecentFileCount = 4;

    CVellumApp();
    ~CVellumApp() override;

    // arguments: the program's command line (the first is the program itself);
    // a further one names a file to open. False: start-up failed, the program ends.
    bool InitInstance(const QStringList &arguments);
    void ShowAboutBox();
    // Before any window state is restored: the edit menu (119) for context menus, named by string 306.
    void PreLoadState();
    // The program's picture: windows, the task bar and the tray show it.
    static QIcon AppIcon();

    CMainFrame *MainFrame() const { return m_pMainWnd; }
    CTabStateKeeper *StateKeeper() const { return m_pKeeper.get(); }

    // The current look (210 to 218), kept for the frame.
    UINT m_nLookId = 218;
    bool m_bHighColorIcons = true;

private:
    bool Fail(const wstring16 &message);

    CMainFrame *m_pMainWnd = nullptr;
    std::unique_ptr<CTabStateKeeper> m_pKeeper;
};

// The application object of this run (null before one is made).
extern CVellumApp *g_pApp;
