#include "tests/tasks/TaskPanelFixture.h"

#include "app/CVellumApp.h"
#include "platform/FileSystem.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/Window.h"
#include "platform/qt/QtPlatform.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QTest>
#include <QUrl>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

void TaskPanelFixture::SetUp()
{
    QtPlatform::Install();
    SetMessageBoxSeam([this](HWND, const wstring16 &text, const wstring16 &, UINT) {
        std::lock_guard lock(m_messagesLock);
        m_messages.push_back(text);
        return IDOK;
    });
    std::filesystem::copy_file(DataFile("panel.xml"), m_dir / "Config.xml");
    g_strAppDir = WideString::FromUtf8(m_dir.Slash());
    // Settings the frame writes beside the program go to the same folder.
    std::ofstream(m_dir / "tessaly").put('x');
    FileSystem::SetModuleFileNameForTest(WideString::FromUtf8((m_dir / "tessaly").string()));
    g_bNavigateHome = false;
    m_frame = std::make_unique<CMainFrame>();
    ASSERT_TRUE(m_frame->LoadFrame());
    m_frame->resize(1100, 700);
    m_frame->show();
    m_tab = NewTab();
    ASSERT_NE(m_tab, nullptr);
    m_panel = m_tab->GetLeftView();
    m_view = m_tab->GetBrowserView();
    ASSERT_NE(m_panel, nullptr);
    ASSERT_NE(m_view, nullptr);
}

void TaskPanelFixture::TearDown()
{
    m_frame.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SetMessageBoxSeam({});
    SetFileDialogSeam({});
    FileSystem::SetModuleFileNameForTest(u"");
}

std::string TaskPanelFixture::DataFile(const std::string &name)
{
    const char *root = std::getenv("TESSALY_TEST_DATA");
    return std::string(root ? root : "tests/data") + "/tasks/" + name;
}

bool TaskPanelFixture::WaitFor(const std::function<bool()> &condition, int milliseconds)
{
    return QTest::qWaitFor(condition, milliseconds);
}

void TaskPanelFixture::Pause(int milliseconds) { QTest::qWait(milliseconds); }

bool TaskPanelFixture::OnWorker(const std::function<void()> &work, int milliseconds)
{
    std::atomic<bool> done {false};
    std::thread worker([&] {
        work();
        done = true;
    });
    const bool finished = WaitFor([&] { return done.load(); }, milliseconds);
    worker.join();
    return finished;
}

bool TaskPanelFixture::LoadPage(CVellumView *view, const std::string &name)
{
    bool loaded = false;
    const auto connection = QObject::connect(view, &CVellumView::PageLoaded, view, [&](bool) { loaded = true; });
    view->load(QUrl::fromLocalFile(QString::fromStdString(DataFile(name))));
    const bool ok = WaitFor([&] { return loaded && view->HasPage(); });
    QObject::disconnect(connection);
    return ok;
}

QString TaskPanelFixture::Js(CVellumView *view, const QString &code)
{
    wstring16 result;
    EXPECT_TRUE(view->ExecScript(code.toStdU16String(), u"javascript", result)) << code.toStdString();
    return QString::fromStdU16String(result);
}

CChildFrame *TaskPanelFixture::NewTab(bool activate)
{
    CChildFrame *frame = m_frame->CreateChildFrame(nullptr, activate);
    EXPECT_NE(frame, nullptr);
    return frame;
}

void TaskPanelFixture::Add(CLeftView *panel, const QString &desc, int minutes, int seconds)
{
    const int index = panel->ActionCombo()->findText(desc);
    ASSERT_GE(index, 0) << desc.toStdString();
    panel->ActionCombo()->setCurrentIndex(index);
    panel->Controls().SetDlgItemText(1013, WideString::FromInt(minutes));
    panel->Controls().SetDlgItemText(1008, WideString::FromInt(seconds));
    panel->OnAdd();
}

std::vector<std::u16string> TaskPanelFixture::Column(CLeftView *panel, int column)
{
    std::vector<std::u16string> cells;
    for (int row = 0; row < panel->List().GetItemCount(); ++row)
        cells.push_back(panel->List().GetItemText(row, column));
    return cells;
}

std::u16string TaskPanelFixture::Cell(CLeftView *panel, int row, int column)
{
    return panel->List().GetItemText(row, column);
}

void TaskPanelFixture::Select(CLeftView *panel, const std::vector<int> &rows)
{
    auto &list = panel->List();
    list.ApplyStateToAll(KorrinControlsEx::AnyRow, KorrinControlsEx::Unselected);
    for (int row : rows)
        list.ApplyState(row, KorrinControlsEx::Selected);
}

std::vector<std::u16string> TaskPanelFixture::Messages()
{
    std::lock_guard lock(m_messagesLock);
    return m_messages;
}
