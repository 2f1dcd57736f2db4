// A user's whole round on the X server: record a click and a drag on a page,
// and a click in its game area, with real mouse input (XTEST through xdotool);
// write the catalogue, load it in the panel, add its actions, start, and see
// the page get the same input from the executor. Then the editor's catalogue.

#include "platform/WideString.h"
#include "platform/Window.h"
#include "tests/common/XServerChild.h"
#include "tests/tools/ToolFixture.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

constexpr char kXChild[] = "TESSALY_TOOLS_X_CHILD";
bool InXChild() { return XServerChild::IsChild(kXChild); }

void Xdotool(const QStringList &arguments) { QProcess::execute(QStringLiteral("xdotool"), arguments); }

// The trusted press and release points the page logged, in order.
QStringList Presses(const QString &log)
{
    QStringList points;
    static const QRegularExpression event(QStringLiteral("mouse(down|up) true (-?\\d+,-?\\d+)"));
    for (const QString &entry : log.split(QLatin1Char('|')))
        if (const auto match = event.match(entry); match.hasMatch())
            points << match.captured(1) + QLatin1Char(' ') + match.captured(2);
    return points;
}

} // namespace

TEST(ToolsOnX, RunInAChildOnTheXServer) { XServerChild::Run(kXChild, QStringLiteral("*OnXServer"), 1, 240000); }

class ToolEndToEnd : public ToolFixture {
protected:
    QString Log() { return Js(m_view, QStringLiteral("log.join('|')")); }
    // Moves the real pointer to a point of the view and acts there.
    void At(QPoint inView, const QStringList &then)
    {
        const QPoint global = m_view->mapToGlobal(inView);
        Xdotool({QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y())});
        Pause(120);
        if (!then.isEmpty())
            Xdotool(then);
    }
};

TEST_F(ToolEndToEnd, RecordedActionsRunFromTheirCatalogueOnXServer)
{
    if (!InXChild())
        GTEST_SKIP() << "runs in the child";
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    ASSERT_TRUE(LoadPage(m_view, "practice.html"));
    m_frame->move(0, 0);
    m_frame->raise();
    m_frame->activateWindow();
    ASSERT_TRUE(WaitFor([&] { return m_frame->isActiveWindow(); }, 5000));

    // Automatic capture; the recorder is out of the way while the user clicks.
    Check(m_recorder, 1037, true);
    Type(m_recorder, 1030, QStringLiteral("e2e"));
    Press(m_recorder, 1012);
    m_recorder->hide();
    m_frame->activateWindow();
    Pause(300);
    At({60, 70}, {QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(WaitFor([&] { return Rows(m_recorder) == 1; }, 5000)) << Log().toStdString();
    Pause(400);
    At({20, 30}, {QStringLiteral("mousedown"), QStringLiteral("1")});
    At({90, 50}, {});
    At({150, 40}, {QStringLiteral("mouseup"), QStringLiteral("1")});
    ASSERT_TRUE(WaitFor([&] { return Rows(m_recorder) == 2; }, 5000)) << Log().toStdString();

    // In the game area: "Flash区域" and a fresh lookup.
    m_recorder->ShowTool();
    Check(m_recorder, 1036, true);
    Press(m_recorder, 1012);
    m_recorder->hide();
    m_frame->activateWindow();
    Pause(400);
    At({200 + 44, 100 + 33}, {QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(WaitFor([&] { return Rows(m_recorder) == 3; }, 5000)) << Log().toStdString();
    SendMessageW(m_recorder->GetSafeHwnd(), WM_HOTKEY, CreateMouseEventCode::kHotKeyId, 0);
    EXPECT_EQ(m_recorder->CaptureActive, 0);
    EXPECT_EQ(Cell(m_recorder, 2, ActionRow::ColX1), u"44");
    EXPECT_EQ(Cell(m_recorder, 2, ActionRow::ColFlashIndex), u"0");
    const QStringList fromUser = Presses(Log());
    ASSERT_EQ(fromUser.size(), 6) << Log().toStdString();

    // The catalogue, loaded in the panel, its three actions added and started.
    const auto catalogue = m_dir / "recorded.xml";
    AnswerFileDialogs(catalogue);
    m_recorder->ShowTool();
    Press(m_recorder, 1029);
    EXPECT_EQ(Messages().back(), u"配置文件已生成，在左窗格加载。");
    m_panel->OnCommand(1012);
    ASSERT_EQ(m_panel->ActionCombo()->count(), 3);
    Js(m_view, QStringLiteral("log = []"));
    for (int i = 0; i < 3; ++i) {
        m_panel->ActionCombo()->setCurrentIndex(i);
        m_panel->Controls().SetDlgItemText(1013, u"0");
        m_panel->Controls().SetDlgItemText(1008, WideString::FromInt(i * 2));
        m_panel->OnAdd();
    }
    m_panel->OnStartStop();
    ASSERT_TRUE(
        WaitFor([&] { return TaskPanelFixture::Cell(m_panel, 2, 5) == u"成功" && Presses(Log()).size() == 6; }, 20000))
        << Log().toStdString();
    EXPECT_EQ(Presses(Log()).join(QLatin1Char('|')).toStdString(), fromUser.join(QLatin1Char('|')).toStdString());
    m_panel->OnStartStop();
}
