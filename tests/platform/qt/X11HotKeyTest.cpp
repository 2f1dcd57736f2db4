// Global hot keys and the tray. The suite runs offscreen, where neither exists;
// the X parts (tests named ...OnX) run in a child process on the X server
// (xvfb-run gives one), where keys are pressed with XTEST through xdotool.

#include "platform/UserInterface.h"
#include "platform/Window.h"
#include "platform/qt/QtTrayIcon.h"
#include "platform/qt/X11HotKeys.h"
#include "tests/common/XServerChild.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTimer>
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr char kXcbChild[] = "TESSALY_HOTKEY_CHILD";
bool InXcbChild() { return XServerChild::IsChild(kXcbChild); }

bool RunLoopUntil(const std::function<bool()> &done, int limitMs)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(2);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

TEST(X11HotKey, VirtualKeysMapToKeysyms)
{
    EXPECT_EQ(X11HotKeys::KeysymOf('F'), 0x66u); // lower-case letter keysym
    EXPECT_EQ(X11HotKeys::KeysymOf('7'), 0x37u);
    EXPECT_EQ(X11HotKeys::KeysymOf(VK_F1), 0xffbeu);
    EXPECT_EQ(X11HotKeys::KeysymOf(VK_F12), 0xffc9u);
    EXPECT_EQ(X11HotKeys::KeysymOf(VK_NUMPAD0 + 5), 0xffb5u);
    EXPECT_EQ(X11HotKeys::KeysymOf(VK_ESCAPE), 0xff1bu);
    EXPECT_EQ(X11HotKeys::KeysymOf(0), 0u);
    EXPECT_EQ(X11HotKeys::KeysymOf(0xFF), 0u);
}

TEST(X11HotKey, WithoutAnXServerRegistrationFailsQuietly)
{
    if (InXcbChild())
        GTEST_SKIP() << "the child runs on X";
    HWND window = CreateWindowEntry(u"Frame", nullptr, nullptr);
    EXPECT_FALSE(RegisterHotKey(window, 200, MOD_CONTROL | MOD_ALT, 'F'));
    EXPECT_FALSE(UnregisterHotKey(window, 200));
    DestroyWindow(window);

    // No tray offscreen either: adding the icon fails as on a desktop without one.
    HWND frame = CreateWindowEntry(u"Frame", nullptr, nullptr);
    NOTIFYICONDATAW data;
    data.cbSize = 936;
    data.hWnd = frame;
    data.uID = 317;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_USER + 1;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &data));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &data));
    DestroyWindow(frame);
}

TEST(X11Desktop, XPartsRunInAChildOnTheXServer) { XServerChild::Run(kXcbChild, QStringLiteral("*OnX"), 2, 120000); }

TEST(X11Desktop, PressedKeyPostsWmHotkeyOnX)
{
    if (!InXcbChild())
        GTEST_SKIP() << "runs in the child";
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    std::vector<std::pair<WPARAM, LPARAM>> hotKeys;
    HWND window = CreateWindowEntry(u"Frame", nullptr, [&](HWND, UINT message, WPARAM w, LPARAM l) -> LRESULT {
        if (message == WM_HOTKEY)
            hotKeys.emplace_back(w, l);
        return 0;
    });
    // Not Ctrl+Alt+F-keys: the X server keeps those for switching terminals.
    ASSERT_TRUE(RegisterHotKey(window, 200, MOD_CONTROL | MOD_ALT, 'J'));

    auto press = [](const char *keys) {
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QString::fromLatin1(keys)});
    };
    press("ctrl+alt+j");
    ASSERT_TRUE(RunLoopUntil([&] { return !hotKeys.empty(); }, 10000));
    EXPECT_EQ(hotKeys[0].first, 200u);
    EXPECT_EQ(hotKeys[0].second, MAKELPARAM(MOD_CONTROL | MOD_ALT, 'J'));

    // Another combination does nothing; after unregistering, neither does this one.
    hotKeys.clear();
    press("ctrl+j");
    RunLoopUntil([] { return false; }, 300);
    EXPECT_TRUE(hotKeys.empty());
    EXPECT_TRUE(UnregisterHotKey(window, 200));
    press("ctrl+alt+j");
    RunLoopUntil([] { return false; }, 300);
    EXPECT_TRUE(hotKeys.empty());

    // A combination another X client holds cannot be registered.
    xcb_connection_t *other = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(other), 0);
    const xcb_setup_t *setup = xcb_get_setup(other);
    const xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;
    xcb_grab_key(other, 1, root, XCB_MOD_MASK_ANY, XCB_GRAB_ANY, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr)); // the grab is in place
    EXPECT_FALSE(RegisterHotKey(window, 201, MOD_SHIFT, 'K'));
    xcb_disconnect(other);
    EXPECT_TRUE(RunLoopUntil([&] { return RegisterHotKey(window, 201, MOD_SHIFT, 'K') != FALSE; }, 5000));
    DestroyWindow(window); // releases the grab
}

xcb_atom_t Atom(xcb_connection_t *c, const char *name)
{
    auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : 0;
    free(reply);
    return atom;
}

TEST(X11Desktop, TrayIconPostsItsCallbackOnX)
{
    if (!InXcbChild())
        GTEST_SKIP() << "runs in the child";
    HWND frame = CreateWindowEntry(u"Frame", nullptr, nullptr);
    NOTIFYICONDATAW data;
    data.cbSize = 936;
    data.hWnd = frame;
    data.uID = 317;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_USER + 1;
    std::char_traits<char16_t>::copy(data.szTip, u"Tessaly - about:home", 21);

    // A bare X server has no tray.
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &data));

    // Another client becomes the tray manager by owning the tray selection.
    xcb_connection_t *manager = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(manager), 0);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(manager)).data->root;
    const xcb_window_t owner = xcb_generate_id(manager);
    xcb_create_window(manager, XCB_COPY_FROM_PARENT, owner, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
        XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t selection = Atom(manager, "_NET_SYSTEM_TRAY_S0");
    xcb_set_selection_owner(manager, owner, selection, XCB_CURRENT_TIME);
    xcb_client_message_event_t announce {};
    announce.response_type = XCB_CLIENT_MESSAGE;
    announce.format = 32;
    announce.window = root;
    announce.type = Atom(manager, "MANAGER");
    announce.data.data32[0] = XCB_CURRENT_TIME;
    announce.data.data32[1] = selection;
    announce.data.data32[2] = owner;
    xcb_send_event(manager, 0, root, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char *>(&announce));
    free(xcb_get_input_focus_reply(manager, xcb_get_input_focus(manager), nullptr));
    RunLoopUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 5000);
    ASSERT_TRUE(QSystemTrayIcon::isSystemTrayAvailable());

    std::vector<std::pair<WPARAM, LPARAM>> notes;
    SetWindowHandler(frame, [&](HWND, UINT message, WPARAM w, LPARAM l) -> LRESULT {
        if (message == WM_USER + 1)
            notes.emplace_back(w, l);
        return 0;
    });
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &data)); // one icon per window and id
    QSystemTrayIcon *tray = QtTrayIcon::Find(frame, 317);
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(tray->toolTip(), QStringLiteral("Tessaly - about:home"));
    EXPECT_TRUE(tray->isVisible());

    // What a person's clicks on the icon produce (no real tray host here to click on).
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    emit tray->activated(QSystemTrayIcon::Context);
    ASSERT_TRUE(RunLoopUntil([&] { return notes.size() == 2; }, 5000));
    EXPECT_EQ(notes[0], (std::pair<WPARAM, LPARAM> {317, WM_LBUTTONDBLCLK}));
    EXPECT_EQ(notes[1], (std::pair<WPARAM, LPARAM> {317, WM_RBUTTONUP}));

    data.uFlags = NIF_TIP;
    std::char_traits<char16_t>::copy(data.szTip, u"new", 4);
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &data));
    EXPECT_EQ(tray->toolTip(), QStringLiteral("new"));
    EXPECT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &data));
    EXPECT_EQ(QtTrayIcon::Find(frame, 317), nullptr);

    // Destroying the window takes its icon away.
    data.uFlags = NIF_MESSAGE;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    DestroyWindow(frame);
    EXPECT_EQ(QtTrayIcon::Find(frame, 317), nullptr);
    xcb_disconnect(manager);
}

} // namespace
