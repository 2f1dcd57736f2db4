#include "tests/app/BrowserTest.h"

#include "app/CVellumApp.h"
#include "platform/FileSystem.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/qt/QtPlatform.h"
#include "tests/common/TempDir.h"
#include "util/FileFunctions.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>

#include <cstdlib>
#include <fstream>

void BrowserTest::SetUp()
{
    QtPlatform::Install();
    // The folders start-up would fix, with the catalogue each task panel loads.
    static TempDir folder;
    // The program runs from that folder, unless the test already put it somewhere of its own.
    WCHAR module[4096] = {};
    GetModuleFileNameW(nullptr, module, 4096);
    if (QString::fromStdU16String(std::u16string(module)) == QCoreApplication::applicationFilePath()) {
        const std::string exe = folder.Slash() + "tessaly";
        std::ofstream(exe).put('x');
        FileSystem::SetModuleFileNameForTest(WideString::FromUtf8(exe));
        m_bOwnModulePath = true;
        g_strAppDir = WideString::FromUtf8(folder.Slash());
    } else {
        const std::u16string path(module);
        g_strAppDir = path.substr(0, path.rfind(u'/') + 1);
    }
    g_strConfigDir = g_strAppDir + u"Config/";
    ASSERT_TRUE(KorrinUtilsFuns::ExtractResourceToFile(
        GetModuleHandleW(nullptr), CVellumApp::IDR_CONFIG, u"CONFIG", g_strAppDir + u"Config.xml"));
    ASSERT_TRUE(KorrinUtilsFuns::CreateFolderPath(g_strConfigDir));
    SetMessageBoxSeam([this](HWND, const wstring16 &text, const wstring16 &, UINT) {
        m_messages.push_back(text);
        return IDOK;
    });
    g_bNavigateHome = false;
    m_frame = std::make_unique<CMainFrame>();
    ASSERT_TRUE(m_frame->LoadFrame());
    m_frame->resize(1000, 700);
    m_frame->show();
}

void BrowserTest::TearDown()
{
    m_frame.reset();
    SetMessageBoxSeam({});
    // Deferred deletions of closed tabs run before the next test.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (m_bOwnModulePath)
        FileSystem::SetModuleFileNameForTest(u"");
    m_bOwnModulePath = false;
}

QUrl BrowserTest::Page(const QString &name)
{
    const char *root = std::getenv("TESSALY_TEST_DATA");
    return QUrl::fromLocalFile(QString::fromUtf8(root ? root : "tests/data") + QStringLiteral("/pages/") + name);
}

bool BrowserTest::WaitFor(const std::function<bool()> &condition, int milliseconds)
{
    return QTest::qWaitFor(condition, milliseconds);
}

void BrowserTest::Pause(int milliseconds) { QTest::qWait(milliseconds); }

bool BrowserTest::Load(CVellumView *view, const QUrl &url)
{
    bool loaded = false;
    const auto connection = QObject::connect(view, &CVellumView::PageLoaded, view, [&](bool) { loaded = true; });
    view->load(url);
    const bool ok = WaitFor([&] { return loaded && view->HasPage(); });
    QObject::disconnect(connection);
    return ok;
}

QString BrowserTest::Js(CVellumView *view, const QString &code)
{
    wstring16 result;
    EXPECT_TRUE(view->ExecScript(code.toStdU16String(), u"javascript", result)) << code.toStdString();
    return QString::fromStdU16String(result);
}

CChildFrame *BrowserTest::NewTab(bool activate)
{
    CChildFrame *frame = m_frame->CreateChildFrame(nullptr, activate);
    EXPECT_NE(frame, nullptr);
    return frame;
}

CVellumView *BrowserTest::NewView(const QString &page, bool activate)
{
    CChildFrame *frame = NewTab(activate);
    if (!frame)
        return nullptr;
    CVellumView *view = frame->GetBrowserView();
    EXPECT_TRUE(Load(view, Page(page))) << page.toStdString();
    return view;
}
