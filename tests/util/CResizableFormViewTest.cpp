#include "util/CResizableFormView.h"
#include "platform/ControlStyles.h"
#include "platform/Window.h"
#include "util/CReportCtrl.h"

#include <QGroupBox>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

// Design 200 x 100 dialog units.
const char *const Form = R"({
  "id": 500, "style": ["WS_CHILD"], "font": { "name": "", "size": 9 }, "rect": [0, 0, 200, 100],
  "controls": [
    { "id": 10, "class": "Button", "rect": [4, 4, 192, 40], "style": ["BS_GROUPBOX"] },
    { "id": 11, "class": "Edit", "rect": [8, 14, 140, 12], "style": ["WS_BORDER"] },
    { "id": 12, "class": "Button", "text": "Go", "rect": [152, 14, 40, 12] },
    { "id": 13, "class": "SysListView32", "rect": [4, 48, 192, 48], "style": ["LVS_REPORT", "WS_BORDER"] },
    { "id": 14, "class": "Static", "text": "fixed", "rect": [4, 90, 40, 8] }
  ] })";

// Counts how often a widget is moved or resized.
class MoveCounter : public QObject {
public:
    int moves = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
            ++moves;
        return false;
    }
};

class TestPanel : public CResizableFormView {
public:
    explicit TestPanel(DialogTemplate t) : CResizableFormView(std::move(t)) { }
    void OnInitialUpdate() override
    {
        AnchorControl(10, {0, 0}, {100, 0});
        AnchorControl(11, {0, 0}, {100, 0});
        AnchorControl(12, {100, 0});
        AnchorControl(13, {0, 0}, {100, 100});
        AnchorControl(14, {0, 0});
        CResizableFormView::OnInitialUpdate();
    }
    std::vector<UINT> messages;

protected:
    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override
    {
        messages.push_back(message);
        return 77;
    }
};

class ResizableForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto t = DialogTemplate::Parse(QByteArray(Form));
        ASSERT_TRUE(t.has_value());
        view = std::make_unique<TestPanel>(*t);
        design = view->GetTotalSize();
        view->resize(design);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        for (int id : {10, 11, 12, 13, 14})
            start[id] = view->GetDlgItem(id)->geometry();
    }
    // Resizes the view so that its viewport gets exactly this size.
    void ResizeViewport(QSize size)
    {
        view->resize(size);
        QCoreApplication::processEvents();
    }
    QRect Now(int id) { return view->GetDlgItem(id)->geometry(); }

    std::unique_ptr<TestPanel> view;
    QSize design;
    std::map<int, QRect> start;
};

TEST_F(ResizableForm, SizeChangesBeforeTheInitialUpdateMoveNothing)
{
    ResizeViewport(design + QSize(100, 100));
    EXPECT_FALSE(view->IsLayoutReady());
    EXPECT_EQ(Now(13), start[13]);
    EXPECT_EQ(Now(12), start[12]);
}

TEST_F(ResizableForm, AnchorsStretchAndMoveWithTheWindow)
{
    view->OnInitialUpdate();
    ASSERT_TRUE(view->IsLayoutReady());
    const QSize grow(120, 80);
    ResizeViewport(design + grow);
    ASSERT_EQ(view->viewport()->size(), design + grow);
    // Stretched both ways: every distance to the edges kept.
    EXPECT_EQ(Now(13), start[13].adjusted(0, 0, grow.width(), grow.height()));
    // Stretched across only.
    EXPECT_EQ(Now(11), start[11].adjusted(0, 0, grow.width(), 0));
    // Right-anchored without a second anchor: same size, same distance to the right edge.
    EXPECT_EQ(Now(12), start[12].translated(grow.width(), 0));
    EXPECT_EQ(Now(14), start[14]);
    EXPECT_EQ(view->Form()->size(), design + grow);
}

TEST_F(ResizableForm, NarrowerThanTheDesignKeepsDesignPositionsAndScrolls)
{
    view->OnInitialUpdate();
    ResizeViewport(design + QSize(60, 60));
    ResizeViewport(QSize(design.width() / 2, design.height() / 2));
    for (int id : {10, 11, 12, 13, 14})
        EXPECT_EQ(Now(id), start[id]) << id;
    EXPECT_EQ(view->Form()->size(), design);
    EXPECT_GT(view->horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(view->verticalScrollBar()->maximum(), 0);
    RECT area;
    view->GetLayoutArea(area);
    EXPECT_EQ(area.right, design.width());
    EXPECT_EQ(area.bottom, design.height());
}

TEST_F(ResizableForm, UnchangedRectangleIsNotTouched)
{
    view->OnInitialUpdate();
    MoveCounter counter;
    view->GetDlgItem(14)->installEventFilter(&counter);
    ResizeViewport(design + QSize(50, 30));
    ResizeViewport(design + QSize(10, 90));
    EXPECT_EQ(counter.moves, 0);
    EXPECT_NE(Now(13), start[13]);
}

TEST_F(ResizableForm, GroupBoxGainsClipSiblings)
{
    HWND group = view->GetDlgItemWindow(10);
    EXPECT_FALSE(view->Controls().StyleOf(group) & WS_CLIPSIBLINGS);
    view->OnInitialUpdate();
    EXPECT_TRUE(view->Controls().StyleOf(group) & WS_CLIPSIBLINGS);
    EXPECT_FALSE(view->Controls().StyleOf(view->GetDlgItemWindow(12)) & WS_CLIPSIBLINGS);
    ASSERT_EQ(view->AnchorCount(), 5);
    EXPECT_TRUE(view->LayoutInfos()[4].needsRepaint); // left-aligned static text
    EXPECT_FALSE(view->LayoutInfos()[3].needsRepaint);
}

TEST_F(ResizableForm, ListIsAReportControlUnderTheFormsWindow)
{
    auto *list = qobject_cast<KorrinControlsEx::CReportCtrl *>(view->GetDlgItem(13));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetDlgCtrlID(), 13u);
    EXPECT_EQ(list->GetExtendedStyle(), 0x22u);
    EXPECT_EQ(list->GetParentWindow(), view->GetSafeHwnd());
    EXPECT_EQ(FindWindowExW(view->GetSafeHwnd(), nullptr, u"SysListView32", nullptr), list->GetSafeHwnd());
    EXPECT_EQ(view->GetDlgItemWindow(13), list->GetSafeHwnd());
    EXPECT_EQ(SendMessageW(view->GetSafeHwnd(), WM_USER + 5, 0, 0), 77);
    ASSERT_EQ(view->messages.size(), 1u);
}

TEST_F(ResizableForm, ClipLeavesControlsAloneButNotGroupBoxes)
{
    view->OnInitialUpdate();
    std::vector<CResizableLayout::ClipStep> steps = view->ClipControls();
    ASSERT_EQ(steps.size(), 5u);
    EXPECT_FALSE(steps[0].exclude); // group box: erased behind
    EXPECT_TRUE(steps[1].exclude);
    EXPECT_FALSE(steps[4].exclude); // plain static text
    view->GetDlgItem(11)->hide();
    EXPECT_EQ(view->ClipControls().size(), 4u);
}

TEST(ResizableFormTemplate, TaskPanelFormBuildsFromItsResource)
{
    CResizableFormView view(101);
    EXPECT_NE(qobject_cast<KorrinControlsEx::CReportCtrl *>(view.GetDlgItem(1005)), nullptr);
    EXPECT_NE(qobject_cast<QGroupBox *>(view.GetDlgItem(1011)), nullptr);
    EXPECT_EQ(view.GetTotalSize(), view.Controls().Units().MapDialogRect({0, 0, 137, 264}).size());
    CResizableFormView missing(9999);
    EXPECT_EQ(missing.GetDlgItem(1005), nullptr);
    missing.OnInitialUpdate();
}

} // namespace
