#include "app/CVellumApp.h"

#include "BuildInfo.h"
#include "app/CAboutDlg.h"
#include "app/CAppIcon.h"
#include "app/CMainFrame.h"
#include "platform/FileSystem.h"
#include "platform/Threading.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "tools/CreateMouseEventCode.h"
#include "util/FileFunctions.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

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
    delete m_pMainWnd;
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
    // Context-menu, keyboard and tooltip managers: Qt's own serve.

    m_pMainWnd = new CMainFrame;
    if (!m_pMainWnd->LoadFrame()) {
        delete m_pMainWnd;
        m_pMainWnd = nullptr;
        return false;
    }

    // The file dialogs start in the program's folder, as they do where the program
    // is started from its own folder; a file named on the command line is found first.
    // Options start with "-" and are ignored (Qt has taken its own); the first
    // other argument names the file.
    QString named;
    for (qsizetype i = 1; i < arguments.size() && named.isEmpty(); ++i)
        if (!arguments.at(i).startsWith(QLatin1Char('-')))
            named = QFileInfo(arguments.at(i)).absoluteFilePath();
    QDir::setCurrent(QString::fromStdU16String(g_strAppDir));

    // The command line names at most a file to open; without one, a new tab.
    const bool opened = !named.isEmpty() ? m_pMainWnd->OpenDocumentFile(named.toStdU16String()) != nullptr
                                         : m_pMainWnd->OnFileNew() != nullptr;
    if (!opened)
        return false;
    m_pMainWnd->show();

    // The one recorder, hidden until a panel shows it; the main frame owns it.
    if (!g_pMouseRecorder)
        g_pMouseRecorder = new CreateMouseEventCode(m_pMainWnd, m_pMainWnd);
    g_pMouseRecorder->LoadEventList();
    return true;
}

void CVellumApp::ShowAboutBox()
{
    CAboutDlg about(m_pMainWnd);
    about.exec();
}
