#include "app/CVellumApp.h"

#include "BuildInfo.h"
#include "app/CAboutDlg.h"
#include "app/CAppIcon.h"
#include "app/CChildFrame.h"
#include "app/CContextMenuManager.h"
#include "app/CDocumentTabs.h"
#include "app/CMainFrame.h"
#include "app/CTabStateKeeper.h"
#include "app/CUnattendedSettings.h"
#include "app/CVellumView.h"
#include "app/CommandLineOptions.h"
#include "platform/FileSystem.h"
#include "platform/Resource.h"
#include "platform/Threading.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "tasks/CLeftView.h"
#include "tasks/ReportListFile.h"
#include "tools/CreateMouseEventCode.h"
#include "util/CReportCtrl.h"
#include "util/FileFunctions.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <vector>

wstring16 g_strAppDir;
wstring16 g_strConfigDir;
bool g_bNavigateHome = false;
CreateMouseEventCode *g_pMouseRecorder = nullptr;
CVellumApp *g_pApp = nullptr;

namespace {

// Linux paths may be far longer than Windows' 260 characters.
constexpr DWORD kModulePathCapacity = 4096;

} // namespace

CVellumApp::CVellumApp() { g_pApp = this; }

CVellumApp::~CVellumApp()
{
    // An exit that did not close the frame first still ends as a normal one.
    if (m_pKeeper)
        m_pKeeper->SaveAtExit();
    delete m_pMainWnd;
    m_pKeeper.reset();
    if (g_pApp == this)
        g_pApp = nullptr;
}

QIcon CVellumApp::AppIcon() { return CAppIcon::Icon(); }

bool CVellumApp::Fail(const wstring16 &message)
{
    MessageBoxW(nullptr, message.c_str(), u"Tessaly", MB_OK);
    return false;
}

bool CVellumApp::InitInstance(const QStringList &arguments)
{
    using namespace KorrinUtilsFuns;
    g_bNavigateHome = true;
    // Common controls, the framework's own start, sockets: nothing to prepare here.

    std::vector<WCHAR> buffer(kModulePathCapacity, 0);
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), kModulePathCapacity);
    // A cut path would name a folder that is not the program's: a failure too.
    if (length == 0 || length >= kModulePathCapacity)
        return Fail(u"GetModuleFileName failed (" + WideString::FromInt(GetLastError()) + u")");
    const wstring16 modulePath(buffer.data(), length);
    const wstring16 moduleFolder = modulePath.substr(0, modulePath.rfind(u'/') + 1);
    // An installed program cannot write beside itself: its files go to the user's data folder.
    g_strAppDir = FileSystem::UserFilesFolder(
        moduleFolder, u"tessaly", {WideString::FromUtf8(TESSALY_INSTALL_BINDIR), u"/usr/bin"});
    if (g_strAppDir.empty())
        return Fail(u"配置目录创建失败：$XDG_DATA_HOME/tessaly/");
    const wstring16 appFolder = g_strAppDir.substr(0, g_strAppDir.size() - 1);
    if (!IsFolder(appFolder) && !CreateFolderPath(appFolder))
        return Fail(u"配置目录创建失败：" + appFolder);

    // Rewritten at every start, replacing a catalogue the user edited.
    const wstring16 catalogue = g_strAppDir + u"Config.xml";
    if (!ExtractResourceToFile(GetModuleHandleW(nullptr), IDR_CONFIG, u"CONFIG", catalogue))
        return Fail(u"生成配置文件失败：" + catalogue);

    g_strConfigDir = g_strAppDir + u"Config";
    if (!IsFolder(g_strConfigDir) && !CreateFolderPath(g_strConfigDir))
        return Fail(u"配置目录创建失败：" + g_strConfigDir);
    g_strConfigDir += u"/";

    // OLE and the control container: the browser needs no preparation.
    QCoreApplication::setOrganizationName(QString::fromStdU16String(kRegistryKey));
    QCoreApplication::setApplicationName(QStringLiteral("Tessaly"));
    QApplication::setWindowIcon(AppIcon());
    // Keyboard and tooltip managers: Qt's own serve.
    PreLoadState();

    m_pMainWnd = new CMainFrame;
    if (!m_pMainWnd->LoadFrame()) {
        delete m_pMainWnd;
        m_pMainWnd = nullptr;
        return false;
    }

    // The file dialogs start in the program's folder, as they do where the program
    // is started from its own folder; files named on the command line are found first.
    const CommandLineOptions options = CommandLineOptions::Parse(arguments);
    const auto absolute = [](const QString &path) {
        return path.isEmpty() ? wstring16() : QFileInfo(path).absoluteFilePath().toStdU16String();
    };
    const wstring16 named = absolute(options.file);
    const wstring16 catalogueFile = absolute(options.catalogue);
    const wstring16 listFile = absolute(options.list);
    QDir::setCurrent(QString::fromStdU16String(g_strAppDir));

    // The tabs of the last run come back after a crash, when asked for, or always by the setting.
    std::vector<wstring16> messages;
    m_pKeeper = std::make_unique<CTabStateKeeper>(m_pMainWnd, CUnattendedSettings::StatePath());
    SessionState last;
    bool damaged = false;
    bool usedPrevious = false;
    const bool haveLast = m_pKeeper->ReadLast(&last, &damaged, &usedPrevious);
    if (damaged)
        messages.push_back((usedPrevious ? u"任务状态文件已损坏，已改用上一次保存的副本："
                                         : u"任务状态文件已损坏，无法恢复上次的任务：") +
            m_pKeeper->Path());
    const bool restore =
        haveLast && !last.tabs.empty() && (options.restore || !last.cleanExit || CUnattendedSettings::RestoreOnStart());
    if (restore)
        for (wstring16 &message : m_pKeeper->Restore(last))
            messages.push_back(std::move(message));
    const int restored = m_pMainWnd->Tabs() ? m_pMainWnd->Tabs()->Count() : 0;

    // The command line names at most a file to open; without one (and nothing restored), a new tab.
    bool opened = restored > 0;
    if (!named.empty())
        opened = m_pMainWnd->OpenDocumentFile(named) != nullptr || opened;
    else if (!opened)
        opened = m_pMainWnd->OnFileNew() != nullptr;
    if (!opened)
        return false;

    CChildFrame *first = m_pMainWnd->Tabs() ? m_pMainWnd->Tabs()->Frames().value(0) : nullptr;
    CLeftView *firstPanel = first ? first->GetLeftView() : nullptr;
    if (!options.missingValue.isEmpty())
        messages.push_back(u"命令行选项缺少文件名：" + options.missingValue.toStdU16String());
    if (!catalogueFile.empty() && firstPanel) {
        wstring16 message;
        if (!firstPanel->UseCatalogue(catalogueFile, &message))
            messages.push_back(message);
    }
    if (!listFile.empty() && firstPanel) {
        if (!FileExists(listFile))
            messages.push_back(u"没有找到执行列表文件：" + listFile);
        else
            ReportListFile::Load(firstPanel->List(), listFile);
    }
    if (options.start && m_pMainWnd->Tabs())
        for (CChildFrame *frame : m_pMainWnd->Tabs()->Frames())
            if (CLeftView *panel = frame->GetLeftView(); panel && !panel->IsStarted())
                panel->OnStartStop();
    if (restored > 0 && !options.start) {
        // Said until the user starts a tab.
        for (CChildFrame *frame : m_pMainWnd->Tabs()->Frames())
            if (CLeftView *panel = frame->GetLeftView())
                connect(panel, &CLeftView::StateChanged, m_pMainWnd, [frame = m_pMainWnd, panel] {
                    if (panel->IsStarted())
                        frame->SetStatusText(QStringLiteral("就绪"));
                });
    }
    if (restored > 0)
        m_pMainWnd->SetStatusText(options.start
                ? QStringLiteral("已恢复上次的 %1 个标签页，任务已开始").arg(restored)
                : QStringLiteral("已恢复上次的 %1 个标签页，任务未开始：请在各标签页按“开始”").arg(restored));

    if (options.hidden)
        m_pMainWnd->StartHidden();
    else
        m_pMainWnd->show();

    m_pKeeper->Watch();
    connect(m_pMainWnd, &CMainFrame::TabsClosing, m_pKeeper.get(), &CTabStateKeeper::SaveAtExit);

    // The one recorder, hidden until a panel shows it; the main frame owns it.
    if (!g_pMouseRecorder)
        g_pMouseRecorder = new CreateMouseEventCode(m_pMainWnd, m_pMainWnd);
    g_pMouseRecorder->LoadEventList();

    // Told once the program runs, so that the tabs are already at work meanwhile.
    if (!messages.empty())
        QTimer::singleShot(0, m_pMainWnd, [owner = m_pMainWnd->GetSafeHwnd(), messages] {
            for (const wstring16 &message : messages)
                MessageBoxW(owner, message.c_str(), u"Tessaly", MB_OK | MB_ICONWARNING);
        });
    return true;
}

void CVellumApp::PreLoadState()
{
    CContextMenuManager::Instance().AddMenu(Resource::String(IDS_EDIT_MENU), IDR_POPUP_EDIT);
}

void CVellumApp::ShowAboutBox()
{
    CAboutDlg about(m_pMainWnd);
    about.exec();
}
