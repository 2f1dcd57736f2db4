#include "app/CVellumApp.h"

#include "app/CAboutDlg.h"
#include "app/CMainFrame.h"
#include "platform/FileSystem.h"
#include "platform/Threading.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "tools/CreateMouseEventCode.h"
#include "util/FileFunctions.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>

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

// Drawn rather than shipped as files: four tiles, one of them lit, sharp at
// every size a desktop asks for.
QIcon CVellumApp::AppIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = size / 16.0;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x2e, 0x6d, 0xb4));
        painter.drawRoundedRect(QRectF(0, 0, size, size), 3 * unit, 3 * unit);
        const qreal tile = 5.5 * unit;
        const qreal gap = 1.5 * unit;
        const qreal origin = (size - 2 * tile - gap) / 2;
        for (int i = 0; i < 4; ++i) {
            const bool lit = i == 3;
            painter.setBrush(lit ? QColor(0xf5, 0xa6, 0x23) : QColor(Qt::white));
            const QRectF r(origin + (i % 2) * (tile + gap), origin + (i / 2) * (tile + gap), tile, tile);
            painter.drawRoundedRect(r, unit, unit);
        }
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

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
    g_strAppDir = modulePath.substr(0, modulePath.rfind(u'/') + 1);

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

    // The command line names at most a file to open; without one, a new tab.
    const bool opened = arguments.size() > 1 ? m_pMainWnd->OpenDocumentFile(arguments.at(1).toStdU16String()) != nullptr
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
