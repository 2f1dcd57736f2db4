#include "tasks/MouseReplay.h"
#include "platform/Window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Received {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Received &) const = default;
};

// The window chain of a browser view, made of plain registry windows that note
// every message they get.
class Chain {
public:
    explicit Chain(int depth, bool game)
    {
        auto note = [this](HWND w, UINT m, WPARAM wp, LPARAM lp) {
            got.push_back({w, m, wp, lp});
            return LRESULT {0};
        };
        view = CreateWindowEntry(u"CVellumView", nullptr, note);
        // Decoys first: only the named classes may be followed.
        CreateWindowEntry(u"Shell DocObject View", view, note);
        HWND parent = view;
        const char16_t *classes[] = {u"Shell Embedding", u"Shell DocObject View", u"Internet Explorer_Server"};
        for (int i = 0; i < depth; ++i)
            parent = CreateWindowEntry(classes[i], parent, note);
        content = depth == 3 ? parent : nullptr;
        if (content && game)
            this->game = CreateWindowEntry(u"MacromediaFlashPlayerActiveX", content, note);
    }
    ~Chain() { DestroyWindow(view); }

    HWND view = nullptr;
    HWND content = nullptr;
    HWND game = nullptr;
    std::vector<Received> got;
};

LPARAM P(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

} // namespace

TEST(MouseReplay, PostsTheExactMessagesOfEachRoute)
{
    struct Case {
        const char *name;
        MouseReplay::Gesture gesture;
        bool game;
        bool toGame;
        std::vector<std::pair<UINT, LPARAM>> messages;
    };
    const std::vector<Case> cases = {
        {"click to content", {u"DoClick", 10, 20, 10, 20, -1}, true, false,
            {{WM_MOUSEMOVE, P(10, 20)}, {WM_LBUTTONDOWN, P(10, 20)}, {WM_LBUTTONUP, P(10, 20)}}},
        {"draw to content: no move before the release", {u"DoDraw", 5, 5, 300, 40, -1}, false, false,
            {{WM_MOUSEMOVE, P(5, 5)}, {WM_LBUTTONDOWN, P(5, 5)}, {WM_LBUTTONUP, P(300, 40)}}},
        {"draw to game: one move to the end first", {u"DoDraw", 5, 5, 300, 40, 0}, true, true,
            {{WM_MOUSEMOVE, P(5, 5)}, {WM_LBUTTONDOWN, P(5, 5)}, {WM_MOUSEMOVE, P(300, 40)},
                {WM_LBUTTONUP, P(300, 40)}}},
        {"scroll with a game index becomes a drag in the game", {u"DoScroll", 0, 0, 0, 500, 0}, true, true,
            {{WM_MOUSEMOVE, P(0, 0)}, {WM_LBUTTONDOWN, P(0, 0)}, {WM_MOUSEMOVE, P(0, 500)}, {WM_LBUTTONUP, P(0, 500)}}},
        {"game index but no game window: content", {u"DoClick", 7, 8, 9, 10, 3}, false, false,
            {{WM_MOUSEMOVE, P(7, 8)}, {WM_LBUTTONDOWN, P(7, 8)}, {WM_LBUTTONUP, P(9, 10)}}},
        {"coordinates cut to 16 bits", {u"DoClick", 70000, -1, 70000, 65536, -1}, false, false,
            {{WM_MOUSEMOVE, P(4464, 0xFFFF)}, {WM_LBUTTONDOWN, P(4464, 0xFFFF)}, {WM_LBUTTONUP, P(4464, 0)}}},
        {"other word: nothing", {u"doclick", 1, 1, 1, 1, -1}, true, false, {}},
    };
    for (const Case &c : cases) {
        Chain chain(3, c.game);
        std::atomic<LONG> x {-1}, y {-1};
        EXPECT_TRUE(MouseReplay::Replay(chain.view, c.gesture, {&x, &y})) << c.name;
        EXPECT_TRUE(chain.got.empty()) << c.name << ": sent, not posted";
        PumpMessages();
        std::vector<Received> want;
        for (auto [m, l] : c.messages)
            want.push_back({c.toGame ? chain.game : chain.content, m, 0, l});
        EXPECT_EQ(chain.got, want) << c.name;
        EXPECT_EQ(x.load(), -1) << c.name;
        EXPECT_EQ(y.load(), -1) << c.name;
    }
}

TEST(MouseReplay, ScrollIsLeftAsThePendingPosition)
{
    Chain chain(3, true);
    std::atomic<LONG> x {-1}, y {-1};
    EXPECT_TRUE(MouseReplay::Replay(chain.view, {u"DoScroll", 0, 0, 0, 500, -1}, {&x, &y}));
    EXPECT_EQ(x.load(), 0);
    EXPECT_EQ(y.load(), 500);
    EXPECT_TRUE(MouseReplay::Replay(chain.view, {u"DoScroll", 100, 50, 40, 20, -1}, {&x, &y}));
    EXPECT_EQ(x.load(), -60);
    EXPECT_EQ(y.load(), -30);
    PumpMessages();
    EXPECT_TRUE(chain.got.empty());
}

TEST(MouseReplay, IncompleteChainFailsAndPostsNothing)
{
    for (int depth : {0, 1, 2}) {
        Chain chain(depth, false);
        std::atomic<LONG> x {-1}, y {-1};
        EXPECT_FALSE(MouseReplay::Replay(chain.view, {u"DoClick", 1, 2, 3, 4, -1}, {&x, &y})) << depth;
        EXPECT_FALSE(MouseReplay::Replay(chain.view, {u"DoScroll", 0, 0, 0, 500, -1}, {&x, &y})) << depth;
        PumpMessages();
        EXPECT_TRUE(chain.got.empty()) << depth;
        EXPECT_EQ(y.load(), -1) << depth;
    }
    EXPECT_FALSE(MouseReplay::Replay(nullptr, {u"DoClick", 1, 2, 3, 4, -1}, {}));
}

TEST(MouseReplay, FromAnotherThreadTheOwnerGetsThemInOrder)
{
    Chain chain(3, false);
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i)
            MouseReplay::Replay(chain.view, {u"DoDraw", i, i, i + 1, i + 1, -1}, {});
    });
    worker.join();
    PumpMessages();
    ASSERT_EQ(chain.got.size(), 150u);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(chain.got[static_cast<std::size_t>(3 * i)].lParam, P(i, i));
        EXPECT_EQ(chain.got[static_cast<std::size_t>(3 * i + 2)].message, static_cast<UINT>(WM_LBUTTONUP));
    }
}
