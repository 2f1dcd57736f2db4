// The registry: lookup, tree, visibility, geometry through surfaces, hot keys.

#include "platform/Threading.h"
#include "platform/Window.h"
#include "platform/WindowBackend.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace {

TEST(WindowRegistry, FindWindowExWalksChildrenInCreationOrder)
{
    HWND top = CreateWindowEntry(u"Frame", nullptr, nullptr, u"Main");
    HWND a = CreateWindowEntry(u"Shell Embedding", top, nullptr);
    HWND b = CreateWindowEntry(u"Other", top, nullptr, u"Title");
    HWND c = CreateWindowEntry(u"Shell Embedding", top, nullptr);
    HWND grandChild = CreateWindowEntry(u"Shell DocObject View", a, nullptr);
    ASSERT_TRUE(top && a && b && c && grandChild);

    struct Case {
        HWND parent;
        HWND after;
        const char16_t *cls;
        const char16_t *name;
        HWND expected;
    };
    const Case cases[] = {
        {top, nullptr, u"Shell Embedding", nullptr, a},
        {top, a, u"Shell Embedding", nullptr, c},
        {top, c, u"Shell Embedding", nullptr, nullptr},
        {top, nullptr, u"shell embedding", nullptr, a}, // class names ignore case
        {top, nullptr, nullptr, u"Title", b},
        {top, nullptr, nullptr, nullptr, a},
        {top, a, nullptr, nullptr, b},
        {top, grandChild, nullptr, nullptr, nullptr}, // not a child of top
        {top, nullptr, u"Shell DocObject View", nullptr, nullptr}, // only direct children
        {a, nullptr, u"Shell DocObject View", nullptr, grandChild},
        {nullptr, nullptr, u"Frame", u"main", top},
        {top, nullptr, u"Missing", nullptr, nullptr},
    };
    for (const auto &k : cases)
        EXPECT_EQ(FindWindowExW(k.parent, k.after, k.cls, k.name), k.expected)
            << (k.cls ? "class" : "any") << " after " << k.after;

    EXPECT_EQ(GetParent(grandChild), a);
    EXPECT_EQ(GetParent(top), nullptr);
    EXPECT_EQ(GetWindowThreadProcessId(a, nullptr), GetCurrentThreadId());
    EXPECT_TRUE(SetWindowTextW(b, u"Renamed"));
    EXPECT_EQ(FindWindowExW(top, nullptr, nullptr, u"Renamed"), b);

    ASSERT_TRUE(DestroyWindow(a));
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(IsWindow(grandChild));
    EXPECT_EQ(FindWindowExW(top, nullptr, u"Shell Embedding", nullptr), c);
    DestroyWindow(top);
    EXPECT_FALSE(IsWindow(c));
    EXPECT_EQ(CreateWindowEntry(u"Child", top, nullptr), nullptr); // a gone parent
}

TEST(WindowRegistry, DestroyTellsParentThenChildrenAndOnlyOnTheOwnerThread)
{
    std::vector<HWND> destroyed;
    auto record = [&](HWND self, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == WM_DESTROY)
            destroyed.push_back(self);
        return 0;
    };
    HWND top = CreateWindowEntry(u"Top", nullptr, record);
    HWND child = CreateWindowEntry(u"Child", top, record);
    HWND grandChild = CreateWindowEntry(u"Child", child, record);

    BOOL fromOtherThread = TRUE;
    std::thread([&] { fromOtherThread = DestroyWindow(top); }).join();
    EXPECT_FALSE(fromOtherThread);
    EXPECT_TRUE(IsWindow(top));

    EXPECT_TRUE(DestroyWindow(top));
    EXPECT_EQ(destroyed, (std::vector<HWND> {top, child, grandChild}));
    EXPECT_FALSE(DestroyWindow(top));
}

TEST(WindowRegistry, HandlesAreNeverReused)
{
    std::set<HWND> seen;
    for (int i = 0; i < 100; ++i) {
        HWND w = CreateWindowEntry(u"Temp", nullptr, nullptr);
        EXPECT_TRUE(seen.insert(w).second);
        DestroyWindow(w);
    }
}

TEST(WindowRegistry, VisibilityNeedsEveryAncestorVisible)
{
    HWND top = CreateWindowEntry(u"Top", nullptr, nullptr);
    HWND child = CreateWindowEntry(u"Child", top, nullptr);
    EXPECT_FALSE(IsWindowVisible(top));
    EXPECT_FALSE(ShowWindow(child, SW_SHOW)); // was hidden
    EXPECT_FALSE(IsWindowVisible(child)); // parent still hidden
    ShowWindow(top, SW_SHOWMINIMIZED); // minimised windows are still visible
    EXPECT_TRUE(IsWindowVisible(child));
    EXPECT_TRUE(ShowWindow(top, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(child));
    EXPECT_FALSE(IsWindowVisible(nullptr));
    DestroyWindow(top);
}

struct FixedSurface : WindowSurface {
    POINT origin;
    int lastCommand = -1;
    wstring16 text;
    explicit FixedSurface(POINT o) : origin(o) { }
    POINT ClientOrigin() override { return origin; }
    void Show(int command) override { lastCommand = command; }
    void SetText(const wstring16 &t) override { text = t; }
};

TEST(WindowRegistry, GeometryComesFromTheNearestBoundSurface)
{
    HWND top = CreateWindowEntry(u"Top", nullptr, nullptr);
    HWND view = CreateWindowEntry(u"View", top, nullptr);
    HWND content = CreateWindowEntry(u"Content", view, nullptr);
    auto topSurface = std::make_shared<FixedSurface>(POINT {100, 50});
    auto viewSurface = std::make_shared<FixedSurface>(POINT {300, 80});

    POINT p {10, 20};
    EXPECT_TRUE(ScreenToClient(content, &p)); // nothing bound: origin 0,0
    EXPECT_EQ(p.x, 10);
    ASSERT_TRUE(BindWindowSurface(top, topSurface));
    p = {310, 100};
    ScreenToClient(content, &p);
    EXPECT_EQ(p.x, 210);
    EXPECT_EQ(p.y, 50);
    ASSERT_TRUE(BindWindowSurface(view, viewSurface));
    p = {310, 100};
    ScreenToClient(content, &p);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);
    ClientToScreen(content, &p);
    EXPECT_EQ(p.x, 310);
    EXPECT_EQ(p.y, 100);

    // From another thread the surface is asked on the owner thread.
    std::atomic<bool> done {false};
    POINT fromWorker {400, 400};
    BOOL ok = FALSE;
    std::thread worker([&] {
        ok = ScreenToClient(view, &fromWorker);
        done = true;
    });
    PumpMessagesUntil([&] { return done.load(); }, 20000);
    worker.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(fromWorker.x, 100);
    EXPECT_EQ(fromWorker.y, 320);

    ShowWindow(view, SW_SHOWMAXIMIZED);
    EXPECT_EQ(viewSurface->lastCommand, SW_SHOWMAXIMIZED);
    SetWindowTextW(view, u"Hello");
    EXPECT_EQ(viewSurface->text, u"Hello");

    DestroyWindow(top);
    p = {1, 1};
    EXPECT_FALSE(ScreenToClient(content, &p));
    EXPECT_FALSE(ScreenToClient(content, nullptr));
}

TEST(WindowRegistry, CursorSourceCanBeReplacedAndRestored)
{
    SetCursorPosSource([](POINT *p) {
        *p = POINT {12, 34};
        return true;
    });
    POINT p;
    EXPECT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 12);
    EXPECT_EQ(p.y, 34);
    SetCursorPosSource(nullptr);
    EXPECT_FALSE(GetCursorPos(nullptr));
}

// The key grabs of a display server, kept as a set: what the core decides is
// which registrations it asks for and releases.
struct GrabTable {
    std::set<std::pair<UINT, UINT>> grabbed;
    std::set<std::pair<UINT, UINT>> unavailable;
    WindowBackend::HotKeyGrabber Grabber()
    {
        return {[this](UINT m, UINT vk) {
                    if (unavailable.count({m, vk}) || grabbed.count({m, vk}))
                        return false;
                    grabbed.insert({m, vk});
                    return true;
                },
            [this](UINT m, UINT vk) {
                grabbed.erase({m, vk});
            }};
    }
};

TEST(WindowHotKey, RegistrationFollowsTheGrabs)
{
    std::vector<std::pair<WPARAM, LPARAM>> hotKeys;
    HWND window = CreateWindowEntry(u"Frame", nullptr, [&](HWND, UINT message, WPARAM w, LPARAM l) -> LRESULT {
        if (message == WM_HOTKEY)
            hotKeys.emplace_back(w, l);
        return 0;
    });
    HWND other = CreateWindowEntry(u"Recorder", nullptr, nullptr);

    WindowBackend::SetHotKeyGrabber({});
    EXPECT_FALSE(RegisterHotKey(window, 200, MOD_CONTROL | MOD_ALT, 'F')); // no display: quiet failure

    GrabTable table;
    table.unavailable.insert({0, VK_F12});
    WindowBackend::SetHotKeyGrabber(table.Grabber());
    EXPECT_TRUE(RegisterHotKey(window, 200, MOD_CONTROL | MOD_ALT | 0x4000, 'F'));
    EXPECT_EQ(table.grabbed.count({MOD_CONTROL | MOD_ALT, 'F'}), 1u);
    EXPECT_FALSE(RegisterHotKey(other, 1, MOD_CONTROL | MOD_ALT, 'F')); // taken in this process
    EXPECT_EQ(GetLastError(), ERROR_HOTKEY_ALREADY_REGISTERED);
    EXPECT_FALSE(RegisterHotKey(other, 1, 0, VK_F12)); // taken by someone else
    EXPECT_FALSE(RegisterHotKey(other, 1, 0, 0));
    EXPECT_FALSE(RegisterHotKey(nullptr, 1, 0, VK_F1));

    EXPECT_TRUE(WindowBackend::DeliverHotKey(MOD_CONTROL | MOD_ALT, 'F'));
    EXPECT_FALSE(WindowBackend::DeliverHotKey(MOD_ALT, 'F'));
    PumpMessages();
    ASSERT_EQ(hotKeys.size(), 1u);
    EXPECT_EQ(hotKeys[0].first, 200u);
    EXPECT_EQ(hotKeys[0].second, MAKELPARAM(MOD_CONTROL | MOD_ALT, 'F'));

    // The same id again moves to the new combination and frees the old one;
    // a failed move keeps the old one.
    EXPECT_FALSE(RegisterHotKey(window, 200, 0, VK_F12));
    EXPECT_EQ(table.grabbed.count({MOD_CONTROL | MOD_ALT, 'F'}), 1u);
    EXPECT_TRUE(RegisterHotKey(window, 200, MOD_SHIFT, 'G'));
    EXPECT_EQ(table.grabbed, (std::set<std::pair<UINT, UINT>> {{MOD_SHIFT, 'G'}}));
    EXPECT_TRUE(RegisterHotKey(other, 200, MOD_CONTROL | MOD_ALT, 'F'));

    EXPECT_TRUE(UnregisterHotKey(other, 200));
    EXPECT_FALSE(UnregisterHotKey(other, 200));
    DestroyWindow(window); // releases its grabs
    EXPECT_TRUE(table.grabbed.empty());
    EXPECT_FALSE(WindowBackend::DeliverHotKey(MOD_SHIFT, 'G'));
    WindowBackend::SetHotKeyGrabber({});
    DestroyWindow(other);
}

} // namespace
