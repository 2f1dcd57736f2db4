// The whole program in this process, driven through its widgets as a user
// would: load a catalogue of script and mouse actions aimed at a practice page,
// add rows, press Start, and look in the pages themselves; two tabs at once, one
// of them not current; close a tab while its rows run; quit with rows running.

#include "app/CChildFrame.h"
#include "app/CMainFrame.h"
#include "app/CVellumApp.h"
#include "app/CVellumView.h"
#include "platform/FileSystem.h"
#include "platform/UserInterface.h"
#include "platform/WideString.h"
#include "platform/Window.h"
#include "platform/qt/QtPlatform.h"
#include "tasks/CLeftView.h"
#include "tests/common/TempDir.h"
#include "util/CReportCtrl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

std::string PracticePage()
{
    const char *root = std::getenv("TESSALY_TEST_DATA");
    return std::string(root ? root : "tests/data") + "/tasks/practice.html";
}

// A catalogue whose site opens the practice page.
std::string Catalogue()
{
    const std::string url = QUrl::fromLocalFile(QString::fromStdString(PracticePage())).toString().toStdString();
    return R"(<?xml version="1.0" encoding="utf-8"?>
<game>
<item name="练习" Id="1" Url=")" +
        url + R"(">
<event>
<action languang="javascript" id="js" debug="false" disable="false" desc="脚本" reTryCount="2" bDoCount="1" loopCount="1" loopDifTime="1"><![CDATA[window.ran = (window.ran || 0) + 1;]]></action>
<action id="hidden" disable="true" desc="隐藏"><![CDATA[window.hidden = 1;]]></action>
<action id="click" desc="点击" doFlashIndex="-1" px1="50" py1="60" px2="50" py2="60"><![CDATA[DoClick]]></action>
<action id="draw" desc="散点" doFlashIndex="0" px1="10" py1="20" px2="150" py2="70"><![CDATA[DoDraw]]></action>
<action id="scroll" desc="滚动" doFlashIndex="-1" px1="0" py1="0" px2="0" py2="500"><![CDATA[DoScroll]]></action>
<action id="busy" desc="忙" loopCount="1000" loopDifTime="1"><![CDATA[var t = Date.now(); while (Date.now() - t < 300) {} window.busy = (window.busy || 0) + 1;]]></action>
</event>
</item>
</game>
)";
}

bool WaitFor(const std::function<bool()> &condition, int milliseconds = 20000)
{
    return QTest::qWaitFor(condition, milliseconds);
}

QString Js(CVellumView *view, const QString &code)
{
    wstring16 result;
    view->ExecScript(code.toStdU16String(), u"javascript", result);
    return QString::fromStdU16String(result);
}

int PageInt(CVellumView *view, const QString &expression)
{
    return Js(view, QStringLiteral("(") + expression + QStringLiteral(") | 0")).toInt();
}

void Click(CLeftView *panel, int id)
{
    auto *button = qobject_cast<QAbstractButton *>(panel->GetDlgItem(id));
    ASSERT_NE(button, nullptr) << id;
    QTest::mouseClick(button, Qt::LeftButton);
}

void Type(CLeftView *panel, int id, const QString &text)
{
    auto *edit = qobject_cast<QLineEdit *>(panel->GetDlgItem(id));
    ASSERT_NE(edit, nullptr) << id;
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

// Picks the action by its entry and presses "添加" with a delay of 0.
void AddAction(CLeftView *panel, const QString &desc)
{
    QComboBox *combo = panel->ActionCombo();
    const int index = combo->findText(desc);
    ASSERT_GE(index, 0) << desc.toStdString();
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    Type(panel, 1013, QStringLiteral("0"));
    Type(panel, 1008, QStringLiteral("0"));
    Click(panel, 1006);
}

std::u16string Cell(CLeftView *panel, int row, int column) { return panel->List().GetItemText(row, column); }

class TaskEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        QtPlatform::Install();
        SetMessageBoxSeam([](HWND, const wstring16 &, const wstring16 &, UINT) { return IDOK; });
        std::ofstream(m_dir / "practice.xml", std::ios::binary) << Catalogue();
        SetFileDialogSeam([this](const FileDialogRequest &, wstring16 *path) {
            *path = WideString::FromUtf8((m_dir / "practice.xml").string());
            return true;
        });
        FileSystem::SetModuleFileNameForTest(WideString::FromUtf8((m_dir / "tessaly").string()));
        m_app = std::make_unique<CVellumApp>();
        ASSERT_TRUE(m_app->InitInstance({QStringLiteral("tessaly")}));
        ASSERT_NE(m_app->MainFrame(), nullptr);
    }
    void TearDown() override
    {
        m_app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SetFileDialogSeam({});
        SetMessageBoxSeam({});
        FileSystem::SetModuleFileNameForTest(u"");
    }

    // Loads the practice catalogue with "加载配置文件" and opens its site with "Go".
    void OpenPractice(CChildFrame *tab)
    {
        CLeftView *panel = tab->GetLeftView();
        Click(panel, 1012);
        ASSERT_EQ(panel->SiteCombo()->currentText(), QStringLiteral("练习"));
        CVellumView *view = tab->GetBrowserView();
        bool loaded = false;
        const auto c = QObject::connect(view, &CVellumView::PageLoaded, view, [&](bool) { loaded = true; });
        Click(panel, 1002);
        ASSERT_TRUE(WaitFor(
            [&] { return loaded && view->HasPage() && PageInt(view, QStringLiteral("window.log ? 1 : 0")) == 1; }));
        QObject::disconnect(c);
        const HWND content = view->GetContentWindow();
        ASSERT_TRUE(WaitFor(
            [&] { return FindWindowExW(content, nullptr, u"MacromediaFlashPlayerActiveX", nullptr) != nullptr; }));
    }

    TempDir m_dir;
    std::unique_ptr<CVellumApp> m_app;
};

} // namespace

TEST_F(TaskEndToEnd, ScriptsClicksDragsAndScrollsRunInTwoTabsAndClosingIsClean)
{
    CMainFrame *frame = m_app->MainFrame();
    CChildFrame *first = frame->findChild<CChildFrame *>();
    ASSERT_NE(first, nullptr);
    OpenPractice(first);
    CLeftView *panel = first->GetLeftView();
    CVellumView *view = first->GetBrowserView();
    ASSERT_EQ(panel->ActionCombo()->findText(QStringLiteral("隐藏")), -1);

    // A second tab, not the current one, runs its own rows meanwhile.
    CChildFrame *second = frame->CreateChildFrame(nullptr, false);
    ASSERT_NE(second, nullptr);
    OpenPractice(second);
    CLeftView *otherPanel = second->GetLeftView();
    CVellumView *otherView = second->GetBrowserView();
    AddAction(otherPanel, QStringLiteral("脚本"));
    AddAction(otherPanel, QStringLiteral("忙"));
    Click(otherPanel, 1007);

    // The scroll comes later: game-area gestures land relative to where the element is then.
    for (const char *desc : {"脚本", "点击", "散点"})
        AddAction(panel, QString::fromUtf8(desc));
    ASSERT_EQ(panel->List().GetItemCount(), 3);
    Click(panel, 1007);
    EXPECT_EQ(panel->Controls().GetDlgItemText(1007), u"停止");

    // loopCount 1: three runs in all, one second apart.
    ASSERT_TRUE(WaitFor([&] { return PageInt(view, QStringLiteral("window.ran")) == 3; }, 30000));
    EXPECT_TRUE(WaitFor([&] { return Cell(panel, 0, CLeftView::ColUseLoopCount) == u"2"; }));
    EXPECT_TRUE(WaitFor([&] { return Cell(panel, 0, CLeftView::ColStatus) == u"成功"; }));
    EXPECT_EQ(Cell(panel, 0, CLeftView::ColSeconds), u"-9999");
    for (int row = 1; row < 3; ++row) {
        EXPECT_EQ(Cell(panel, row, CLeftView::ColStatus), u"成功") << row;
        EXPECT_EQ(Cell(panel, row, CLeftView::ColSeconds), u"-9999") << row;
    }
    ASSERT_TRUE(WaitFor([&] { return PageInt(view, QStringLiteral("window.log.length")) >= 5; }));
    const QString log = Js(view, QStringLiteral("window.log.join('|')"));
    EXPECT_TRUE(log.startsWith(QStringLiteral("mousedown true 50,60|mouseup true 50,60|"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("mousedown true 210,120 game"))) << log.toStdString();
    EXPECT_TRUE(log.endsWith(QStringLiteral("mouseup true 350,170 game"))) << log.toStdString();
    AddAction(panel, QStringLiteral("滚动"));
    EXPECT_TRUE(WaitFor([&] { return PageInt(view, QStringLiteral("window.scrollY")) == 500; }));
    EXPECT_TRUE(WaitFor([&] { return Cell(panel, 3, CLeftView::ColStatus) == u"成功"; }));
    QTest::qWait(2500);
    EXPECT_EQ(PageInt(view, QStringLiteral("window.ran")), 3);

    // The other tab has been running all along.
    EXPECT_EQ(PageInt(otherView, QStringLiteral("window.ran")), 3);
    EXPECT_GE(PageInt(otherView, QStringLiteral("window.busy")), 2);

    // Close the first tab with its busy row running.
    AddAction(panel, QStringLiteral("忙"));
    ASSERT_TRUE(WaitFor([&] { return PageInt(view, QStringLiteral("window.busy")) >= 1; }));
    QElapsedTimer clock;
    clock.start();
    frame->CloseFrame(first);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_LT(clock.elapsed(), 2500);
    const int busy = PageInt(otherView, QStringLiteral("window.busy"));
    EXPECT_TRUE(WaitFor([&] { return PageInt(otherView, QStringLiteral("window.busy")) >= busy + 2; }));

    // Quit with rows running.
    clock.restart();
    m_app.reset();
    EXPECT_LT(clock.elapsed(), 2500);
}
