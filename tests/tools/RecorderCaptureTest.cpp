// Automatic capture from the user's own clicks on a real page: the input goes
// to the page as usual, exactly one row is recorded, and its points replay at
// the same place of the page or of its game area, also scrolled and zoomed.

#include "platform/Window.h"
#include "tasks/MouseReplay.h"
#include "tests/tools/ToolFixture.h"

#include <QComboBox>
#include <QTest>

namespace {

using R = ActionRow;

} // namespace

class RecorderCapture : public ToolFixture {
protected:
    void SetUp() override
    {
        ToolFixture::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(LoadPage(m_view, "practice.html"));
        // The cursor is elsewhere by the time the UI thread looks: points come from the input.
        SetCursorPosSource([](POINT *p) {
            *p = {1, 1};
            return true;
        });
    }

    // A press and a release by the user, the cursor where the page gets them.
    void UserDrag(QPoint from, QPoint to)
    {
        QWidget *target = m_view->focusProxy();
        ASSERT_NE(target, nullptr);
        const QPoint a = target->mapFrom(m_view, from);
        const QPoint b = target->mapFrom(m_view, to);
        QTest::mousePress(target, Qt::LeftButton, {}, a);
        if (a != b)
            QTest::mouseMove(target, b);
        QTest::mouseRelease(target, Qt::LeftButton, {}, b);
    }

    QString Log() { return Js(m_view, QStringLiteral("log.join('|')")); }
    // Presses and releases only: a replayed click moves the mouse in between.
    std::string Presses()
    {
        return Js(m_view, QStringLiteral("log.filter(e => !e.startsWith('mousemove')).join('|')")).toStdString();
    }
    void ClearLog() { Js(m_view, QStringLiteral("log = []")); }

    // Replays row `row` as the executor would, from a run thread.
    void Replay(int row)
    {
        const ActionRow a = m_recorder->Rows().Read(row);
        const HWND view = m_view->GetSafeHwnd();
        ASSERT_TRUE(OnWorker([&] {
            EXPECT_TRUE(MouseReplay::Replay(view, {a.body, a.x1, a.y1, a.x2, a.y2, a.flashIndex}, {}));
        }));
    }
};

TEST_F(RecorderCapture, AUserClickOnThePageIsOneRowAndReachesThePage)
{
    Check(m_recorder, 1037, true);
    Press(m_recorder, 1012);
    ASSERT_NE(m_recorder->ContentWindow(), nullptr);
    EXPECT_EQ(m_recorder->windowTitle(),
        QStringLiteral("鼠标事件记录 - Tessaly - ") + QString::fromStdU16String(m_view->GetLocationURL()));
    m_frame->activateWindow();
    UserDrag({60, 70}, {60, 70});
    ASSERT_TRUE(WaitFor([&] { return Log().contains(QStringLiteral("mouseup true 60,70")); })) << Log().toStdString();
    ASSERT_EQ(Rows(m_recorder), 1);
    EXPECT_EQ(Cell(m_recorder, 0, R::ColAction), u"DoClick");
    EXPECT_EQ(Cell(m_recorder, 0, R::ColX1), u"60");
    EXPECT_EQ(Cell(m_recorder, 0, R::ColY2), u"70");
    EXPECT_EQ(Cell(m_recorder, 0, R::ColFlashIndex), u"-1");

    // A drag over the page, after the presses' 300 ms.
    Pause(350);
    UserDrag({20, 30}, {150, 40});
    ASSERT_EQ(Rows(m_recorder), 2);
    EXPECT_EQ(Cell(m_recorder, 1, R::ColAction), u"DoDraw");
    EXPECT_EQ(Cell(m_recorder, 1, R::ColX1), u"20");
    EXPECT_EQ(Cell(m_recorder, 1, R::ColX2), u"150");

    // Played back, the page gets the same points as from the user.
    ClearLog();
    Replay(1);
    ASSERT_TRUE(WaitFor([&] { return Log().contains(QStringLiteral("mouseup")); }));
    EXPECT_TRUE(Log().startsWith(QStringLiteral("mousedown true 20,30"))) << Log().toStdString();
    EXPECT_TRUE(Log().endsWith(QStringLiteral("mouseup true 150,40"))) << Log().toStdString();
}

TEST_F(RecorderCapture, GameAreaPointsReplayInTheElementScrolledAndZoomed)
{
    m_view->setZoomFactor(1.5);
    Js(m_view, QStringLiteral("window.scrollTo(0, 40)"));
    ASSERT_TRUE(WaitFor([&] { return Js(m_view, QStringLiteral("window.scrollY")).toInt() == 40; }));
    Pause(300);
    Check(m_recorder, 1036, true);
    Check(m_recorder, 1037, true);
    Press(m_recorder, 1012);
    ASSERT_NE(m_recorder->FlashWindow(), nullptr);
    EXPECT_EQ(m_recorder->FlashIndex(), 0);
    // The canvas stands at (200,100) of the page: (300,90) in the view at this zoom and scroll.
    const QPoint inCanvas(300 + 30, 90 + 15);
    UserDrag(inCanvas, inCanvas);
    ASSERT_TRUE(WaitFor([&] { return Log().contains(QStringLiteral("mouseup true")); })) << Log().toStdString();
    const std::string fromUser = Presses();
    ASSERT_EQ(Rows(m_recorder), 1);
    EXPECT_EQ(Cell(m_recorder, 0, R::ColX1), u"30") << "relative to the element";
    EXPECT_EQ(Cell(m_recorder, 0, R::ColY1), u"15");
    EXPECT_EQ(Cell(m_recorder, 0, R::ColFlashIndex), u"0");

    ClearLog();
    Replay(0);
    ASSERT_TRUE(WaitFor([&] { return Log().contains(QStringLiteral("mouseup")); }));
    EXPECT_EQ(Presses(), fromUser);
    EXPECT_EQ(fromUser, "mousedown true 220,70 game|mouseup true 220,70 game");
}

TEST_F(RecorderCapture, TheEditorsCatalogueRunsInThePanel)
{
    Type(m_editor, 1021, QStringLiteral("window.fromEditor = (window.fromEditor || 0) + 1;"));
    Type(m_editor, 1030, QStringLiteral("script"));
    Type(m_editor, 1025, QStringLiteral("1"));
    Type(m_editor, 1026, QStringLiteral("1"));
    Press(m_editor, 1015);
    Type(m_editor, 1021, QStringLiteral("DoClick"));
    Type(m_editor, 1020, QString());
    Type(m_editor, 1030, QStringLiteral("click"));
    Type(m_editor, 1016, QStringLiteral("60"));
    Type(m_editor, 1017, QStringLiteral("70"));
    Type(m_editor, 1018, QStringLiteral("60"));
    Type(m_editor, 1019, QStringLiteral("70"));
    Press(m_editor, 1015);
    ASSERT_EQ(Rows(m_editor), 2);
    EXPECT_NE(Cell(m_editor, 0, R::ColId), Cell(m_editor, 1, R::ColId)) << "rows typed without an id get one each";

    const auto file = m_dir / "edited.xml";
    AnswerFileDialogs(file);
    Press(m_editor, 1029);
    m_panel->OnCommand(1012);
    ASSERT_EQ(m_panel->ActionCombo()->count(), 2);
    for (int i = 0; i < 2; ++i) {
        m_panel->ActionCombo()->setCurrentIndex(i);
        m_panel->Controls().SetDlgItemText(1013, u"0");
        m_panel->Controls().SetDlgItemText(1008, u"0");
        m_panel->OnAdd();
    }
    // The catalogue's site opens the page the editor saved with; stay on it.
    ClearLog();
    m_panel->OnStartStop();
    EXPECT_TRUE(WaitFor([&] {
        return TaskPanelFixture::Cell(m_panel, 0, 5) == u"成功" && TaskPanelFixture::Cell(m_panel, 1, 5) == u"成功";
    }));
    m_panel->OnStartStop();
    EXPECT_EQ(Js(m_view, QStringLiteral("window.fromEditor")), QStringLiteral("1"));
    EXPECT_TRUE(WaitFor([&] { return Presses() == "mousedown true 60,70|mouseup true 60,70"; })) << Presses();
}
