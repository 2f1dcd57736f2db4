#include "util/CResizableLayout.h"
#include "platform/ControlStyles.h"

#include <gtest/gtest.h>

#include <map>

namespace {

HWND Handle(int n) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1000 + n)); }

// A window system in memory: the layout core has no window of its own to drive.
class MemoryLayout : public CResizableLayout {
public:
    struct Control {
        std::u16string className;
        DWORD style = WS_CHILD | WS_VISIBLE;
        RECT rect;
        bool visible = true;
        int scrollLimit = 0;
        int scrollPosition = 0;
    };

    RECT client {0, 0, 200, 100};
    std::map<HWND, Control> controls;
    std::vector<std::vector<WindowPosition>> batches;

    HWND Add(int n, std::u16string className, RECT rect, DWORD style = 0)
    {
        Control c;
        c.className = std::move(className);
        c.rect = rect;
        c.style |= style;
        controls[Handle(n)] = c;
        return Handle(n);
    }
    void Resize(LONG width, LONG height)
    {
        client = {0, 0, width, height};
        RepositionControls();
    }
    RECT Rect(HWND h) { return controls.at(h).rect; }

    HWND GetLayoutWindow() override { return Handle(0); }

protected:
    std::u16string ControlClassName(HWND h) override { return controls.at(h).className; }
    DWORD ControlStyle(HWND h) override { return controls.at(h).style; }
    void SetControlStyle(HWND h, DWORD style) override { controls.at(h).style = style; }
    bool ControlRect(HWND h, RECT &rect) override
    {
        auto it = controls.find(h);
        if (it == controls.end())
            return false;
        rect = it->second.rect;
        return true;
    }
    bool ControlVisible(HWND h) override { return controls.count(h) && controls.at(h).visible; }
    RECT LayoutClientRect() override { return client; }
    bool HorizontalScroll(HWND h, int &limit, int &position) override
    {
        limit = controls.at(h).scrollLimit;
        position = controls.at(h).scrollPosition;
        return true;
    }
    void ApplyPositions(const std::vector<WindowPosition> &batch) override
    {
        batches.push_back(batch);
        for (const WindowPosition &p : batch) {
            RECT &r = controls.at(p.hwnd).rect;
            if (!(p.flags & SWP_NOMOVE)) {
                const LONG w = r.right - r.left, h = r.bottom - r.top;
                r = {p.x, p.y, p.x + w, p.y + h};
            }
            if (!(p.flags & SWP_NOSIZE)) {
                r.right = r.left + p.cx;
                r.bottom = r.top + p.cy;
            }
        }
    }
};

void ExpectRect(RECT r, LONG left, LONG top, LONG right, LONG bottom)
{
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

TEST(CResizableLayout, StretchedControlKeepsItsDistancesToAllEdges)
{
    MemoryLayout layout;
    HWND list = layout.Add(1, u"SysListView32", {10, 20, 190, 80});
    layout.AnchorControl(list, {0, 0}, {100, 100});
    layout.Resize(333, 257);
    ExpectRect(layout.Rect(list), 10, 20, 323, 237);
    layout.Resize(150, 60);
    ExpectRect(layout.Rect(list), 10, 20, 140, 40);
}

TEST(CResizableLayout, RightAnchoredControlKeepsSizeAndRightDistance)
{
    MemoryLayout layout;
    HWND button = layout.Add(1, u"Button", {150, 10, 190, 24});
    layout.AnchorControl(button, {100, 0}, NoAnchor);
    EXPECT_EQ(layout.LayoutInfos()[0].bottomRightAnchor.cx, 100);
    layout.Resize(300, 100);
    ExpectRect(layout.Rect(button), 250, 10, 290, 24);
    ASSERT_EQ(layout.batches.size(), 1u);
    EXPECT_EQ(layout.batches[0][0].flags, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOSIZE);
}

TEST(CResizableLayout, PercentagesTruncateTowardZero)
{
    MemoryLayout layout;
    layout.client = {0, 0, 101, 99};
    HWND edit = layout.Add(1, u"Edit", {50, 49, 60, 59});
    layout.AnchorControl(edit, {50, 50}, {50, 50});
    // 101 * 50 / 100 = 50 and 99 * 50 / 100 = 49: margins are 0 and 0.
    EXPECT_EQ(layout.LayoutInfos()[0].topLeftMargin.cx, 0);
    EXPECT_EQ(layout.LayoutInfos()[0].topLeftMargin.cy, 0);
    layout.Resize(203, 33);
    ExpectRect(layout.Rect(edit), 101, 16, 111, 26);
}

TEST(CResizableLayout, UnchangedRectangleIsNotMoved)
{
    MemoryLayout layout;
    HWND fixed = layout.Add(1, u"Static", {5, 5, 50, 20});
    HWND growing = layout.Add(2, u"Edit", {5, 30, 100, 44});
    layout.AnchorControl(fixed, {0, 0});
    layout.AnchorControl(growing, {0, 0}, {100, 0});
    layout.Resize(400, 300);
    ASSERT_EQ(layout.batches.size(), 1u);
    ASSERT_EQ(layout.batches[0].size(), 1u);
    EXPECT_EQ(layout.batches[0][0].hwnd, growing);
    EXPECT_TRUE(layout.batches[0][0].flags & SWP_NOMOVE);
    EXPECT_FALSE(layout.batches[0][0].flags & SWP_NOSIZE);
    layout.RepositionControls(); // nothing changed at all: no batch
    EXPECT_EQ(layout.batches.size(), 1u);
}

TEST(CResizableLayout, GroupBoxGainsClipSiblingsOtherButtonsDoNot)
{
    MemoryLayout layout;
    HWND group = layout.Add(1, u"Button", {0, 0, 10, 10}, BS_GROUPBOX);
    HWND push = layout.Add(2, u"Button", {0, 0, 10, 10}, BS_DEFPUSHBUTTON);
    HWND radio = layout.Add(3, u"Button", {0, 0, 10, 10}, BS_AUTORADIOBUTTON); // 9: 0x7 bits set, not a group box
    layout.AnchorControl(group, {0, 0});
    layout.AnchorControl(push, {0, 0});
    layout.AnchorControl(radio, {0, 0});
    EXPECT_TRUE(layout.controls[group].style & WS_CLIPSIBLINGS);
    EXPECT_FALSE(layout.controls[push].style & WS_CLIPSIBLINGS);
    EXPECT_FALSE(layout.controls[radio].style & WS_CLIPSIBLINGS);
}

TEST(CResizableLayout, RegistrationKeepsOrderAndSkipsUnknownControls)
{
    MemoryLayout layout;
    HWND a = layout.Add(1, u"ListBox", {0, 0, 10, 10});
    HWND b = layout.Add(2, u"Static", {0, 0, 10, 10}, SS_CENTER);
    layout.AnchorControl(a, {0, 0});
    layout.AnchorControl(Handle(99), {0, 0});
    layout.AnchorControl(nullptr, {0, 0});
    layout.AnchorControl(b, {0, 0});
    ASSERT_EQ(layout.AnchorCount(), 2);
    EXPECT_EQ(layout.LayoutInfos()[0].hwnd, a);
    EXPECT_TRUE(layout.LayoutInfos()[0].adjustHScroll);
    EXPECT_FALSE(layout.LayoutInfos()[0].needsRepaint);
    EXPECT_EQ(layout.LayoutInfos()[1].hwnd, b);
    EXPECT_TRUE(layout.LayoutInfos()[1].needsRepaint);
    layout.RemoveAllAnchors();
    EXPECT_EQ(layout.AnchorCount(), 0);
    EXPECT_TRUE(layout.LayoutInfos().empty());
}

TEST(CResizableLayout, ControlThatWentAwayIsSkipped)
{
    MemoryLayout layout;
    HWND gone = layout.Add(1, u"Edit", {0, 0, 10, 10});
    HWND kept = layout.Add(2, u"Edit", {0, 0, 10, 10});
    layout.AnchorControl(gone, {0, 0}, {100, 100});
    layout.AnchorControl(kept, {0, 0}, {100, 100});
    layout.controls.erase(gone);
    layout.Resize(300, 300);
    ExpectRect(layout.Rect(kept), 0, 0, 110, 210);
}

TEST(CResizableLayout, ListBoxRepaintsWhenScrolledPastTheNewLimit)
{
    struct Case {
        int limit, position, grow;
        bool repaint;
    } cases[] = {
        {0, 0, 50, false}, // no horizontal scrolling
        {100, 40, 50, false}, // 40 > 100 - 50 is false
        {100, 60, 50, true}, {100, 10, -20, false},
        {100, 130, 20, true}, // shrinking by 20 (grow is new - old; here it grows)
    };
    for (const Case &c : cases) {
        MemoryLayout layout;
        HWND box = layout.Add(1, u"ListBox", {0, 0, 100, 50});
        layout.controls[box].scrollLimit = c.limit;
        layout.controls[box].scrollPosition = c.position;
        layout.AnchorControl(box, {0, 0}, {100, 0});
        layout.Resize(200 + c.grow, 100);
        ASSERT_EQ(layout.batches.size(), 1u);
        EXPECT_EQ((layout.batches[0][0].flags & SWP_NOCOPYBITS) != 0, c.repaint)
            << c.limit << " " << c.position << " " << c.grow;
    }
}

TEST(CResizableLayout, StaticTextRepaintsOnEveryMove)
{
    MemoryLayout layout;
    HWND text = layout.Add(1, u"Static", {0, 0, 10, 10}, SS_LEFT);
    layout.AnchorControl(text, {100, 100});
    layout.Resize(300, 300);
    ASSERT_EQ(layout.batches.size(), 1u);
    EXPECT_TRUE(layout.batches[0][0].flags & SWP_NOCOPYBITS);
    EXPECT_TRUE(layout.batches[0][0].flags & SWP_NOSIZE);
    EXPECT_FALSE(layout.batches[0][0].flags & SWP_NOMOVE);
}

TEST(CResizableLayout, ClipRulesByClassAndStyle)
{
    struct Case {
        const char16_t *className;
        DWORD style;
        bool clip;
    } cases[] = {
        {u"ToolbarWindow32", 0, true},
        {u"ToolbarWindow32", TBSTYLE_TRANSPARENT, false},
        {u"Button", BS_GROUPBOX, false},
        {u"Button", BS_PUSHBUTTON, true},
        {u"Static", SS_ICON, true},
        {u"Static", SS_ICON | SS_CENTERIMAGE, false},
        {u"Static", SS_ENHMETAFILE | SS_CENTERIMAGE, false},
        {u"Static", SS_BLACKRECT, true},
        {u"Static", SS_WHITERECT | SS_CENTERIMAGE, true},
        {u"Static", SS_BITMAP, true},
        {u"Static", SS_ETCHEDVERT, true},
        {u"Static", SS_LEFT, false},
        {u"Static", SS_SIMPLE, false},
        {u"static", SS_LEFT, true}, // class names compare exactly
        {u"Edit", 0, true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CResizableLayout::ShouldClipClass(c.className, c.style), c.clip)
            << std::string(c.className, c.className + std::char_traits<char16_t>::length(c.className)) << " "
            << c.style;
}

TEST(CResizableLayout, RepaintRulesByClassAndStyle)
{
    struct Case {
        const char16_t *className;
        DWORD style;
        bool repaint;
    } cases[] = {
        {u"Static", SS_LEFT, true},
        {u"Static", SS_CENTER, true},
        {u"Static", SS_RIGHT, true},
        {u"Static", SS_BITMAP, true},
        {u"Static", SS_ENHMETAFILE, true},
        {u"Static", SS_ICON, false},
        {u"Static", SS_ICON | SS_CENTERIMAGE, false},
        {u"Static", SS_SIMPLE | SS_CENTERIMAGE, false},
        {u"Static", SS_ETCHEDHORZ | SS_CENTERIMAGE, false},
        {u"Static", SS_BLACKRECT, false},
        {u"Static", SS_BLACKRECT | SS_CENTERIMAGE, true},
        {u"Static", SS_LEFTNOWORDWRAP | SS_CENTERIMAGE, true},
        {u"Button", BS_GROUPBOX, false},
        {u"Edit", SS_CENTERIMAGE, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CResizableLayout::NeedsRepaintClass(c.className, c.style), c.repaint) << c.style;
}

TEST(CResizableLayout, ClipControlsSkipsHiddenAndMarksWhatIsErased)
{
    MemoryLayout layout;
    HWND edit = layout.Add(1, u"Edit", {1, 2, 3, 4});
    HWND group = layout.Add(2, u"Button", {5, 6, 7, 8}, BS_GROUPBOX);
    HWND hidden = layout.Add(3, u"Edit", {0, 0, 1, 1});
    layout.controls[hidden].visible = false;
    layout.AnchorControl(edit, {0, 0});
    layout.AnchorControl(group, {0, 0});
    layout.AnchorControl(hidden, {0, 0});
    auto steps = layout.ClipControls();
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].hwnd, edit);
    EXPECT_TRUE(steps[0].exclude);
    ExpectRect(steps[0].rect, 1, 2, 3, 4);
    EXPECT_EQ(steps[1].hwnd, group);
    EXPECT_FALSE(steps[1].exclude);
}

} // namespace
