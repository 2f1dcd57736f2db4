#include "platform/qt/X11HotKeys.h"

#include "platform/WindowBackend.h"
#include "platform/qt/QtPlatform.h"

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <QThread>

#include <map>
#include <mutex>
#include <vector>

#if TESSALY_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace {

struct Grabbed {
    unsigned keycode = 0;
    unsigned modifierMask = 0;
};

struct State {
    std::mutex mutex;
    X11HotKeys *filter = nullptr;
    bool filterInstalled = false;
    std::map<std::pair<UINT, UINT>, Grabbed> grabs;
};

State &TheState()
{
    static auto *state = new State;
    return *state;
}

// Keysyms of the X protocol (keysymdef.h), spelled out to need no X headers.
constexpr unsigned kF1 = 0xffbe;
constexpr unsigned kKeypad0 = 0xffb0;

unsigned SpecialKeysym(UINT vk)
{
    switch (vk) {
    case VK_BACK:
        return 0xff08;
    case VK_TAB:
        return 0xff09;
    case VK_RETURN:
        return 0xff0d;
    case VK_PAUSE:
        return 0xff13;
    case VK_ESCAPE:
        return 0xff1b;
    case VK_SPACE:
        return 0x0020;
    case VK_PRIOR:
        return 0xff55;
    case VK_NEXT:
        return 0xff56;
    case VK_END:
        return 0xff57;
    case VK_HOME:
        return 0xff50;
    case VK_LEFT:
        return 0xff51;
    case VK_UP:
        return 0xff52;
    case VK_RIGHT:
        return 0xff53;
    case VK_DOWN:
        return 0xff54;
    case VK_INSERT:
        return 0xff63;
    case VK_DELETE:
        return 0xffff;
    case 0x6A: // multiply
        return 0xffaa;
    case 0x6B: // add
        return 0xffab;
    case 0x6D: // subtract
        return 0xffad;
    case 0x6E: // decimal
        return 0xffae;
    case 0x6F: // divide
        return 0xffaf;
    case 0xBA: // ;:
        return 0x003b;
    case 0xBB: // =+
        return 0x003d;
    case 0xBC: // ,<
        return 0x002c;
    case 0xBD: // -_
        return 0x002d;
    case 0xBE: // .>
        return 0x002e;
    case 0xBF: // /?
        return 0x002f;
    case 0xC0: // `~
        return 0x0060;
    case 0xDB: // [{
        return 0x005b;
    case 0xDC: // backslash
        return 0x005c;
    case 0xDD: // ]}
        return 0x005d;
    case 0xDE: // '"
        return 0x0027;
    default:
        return 0;
    }
}

#if TESSALY_HAVE_XCB

xcb_connection_t *Connection()
{
    auto *app = qGuiApp;
    if (!app)
        return nullptr;
    auto *x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t RootOf(xcb_connection_t *c)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
    return it.rem > 0 ? it.data->root : 0;
}

// The first keycode that produces the keysym in any column, 0 if none.
unsigned KeycodeOf(xcb_connection_t *c, unsigned keysym)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    const unsigned first = setup->min_keycode;
    const unsigned count = static_cast<unsigned>(setup->max_keycode) - first + 1;
    auto cookie = xcb_get_keyboard_mapping(c, static_cast<xcb_keycode_t>(first), static_cast<uint8_t>(count));
    xcb_get_keyboard_mapping_reply_t *reply = xcb_get_keyboard_mapping_reply(c, cookie, nullptr);
    if (!reply)
        return 0;
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(reply);
    const int length = xcb_get_keyboard_mapping_keysyms_length(reply);
    const int perCode = reply->keysyms_per_keycode;
    unsigned found = 0;
    for (int i = 0; perCode > 0 && i < length; ++i)
        if (syms[i] == keysym) {
            found = first + static_cast<unsigned>(i / perCode);
            break;
        }
    free(reply);
    return found;
}

unsigned MaskOf(UINT modifiers)
{
    unsigned mask = 0;
    if (modifiers & MOD_SHIFT)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & MOD_CONTROL)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & MOD_ALT)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & MOD_WIN)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

// Caps Lock and Num Lock must not stop the key from working.
const unsigned kIgnoredMasks[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

#endif

} // namespace

unsigned X11HotKeys::KeysymOf(UINT vk)
{
    if ((vk >= '0' && vk <= '9'))
        return vk;
    if (vk >= 'A' && vk <= 'Z')
        return vk - 'A' + 'a';
    if (vk >= VK_F1 && vk <= VK_F1 + 23) // F1..F24
        return kF1 + (vk - VK_F1);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9)
        return kKeypad0 + (vk - VK_NUMPAD0);
    return SpecialKeysym(vk);
}

// The filter needs the event dispatcher, which the GUI application makes only
// after its start-up hooks ran; it is put in place with the first grab.
static void EnsureFilter()
{
    auto *app = QCoreApplication::instance();
    if (!app)
        return;
    if (QThread::currentThread() != app->thread()) {
        QMetaObject::invokeMethod(app, &EnsureFilter, Qt::QueuedConnection);
        return;
    }
    if (!QAbstractEventDispatcher::instance(app->thread()))
        return;
    auto &s = TheState();
    X11HotKeys *filter = nullptr;
    {
        std::lock_guard lock(s.mutex);
        if (!s.filter || s.filterInstalled)
            return;
        s.filterInstalled = true;
        filter = s.filter;
    }
    app->installNativeEventFilter(filter);
}

void X11HotKeys::Install()
{
    auto &s = TheState();
    {
        std::lock_guard lock(s.mutex);
        if (s.filter)
            return;
        s.filter = new X11HotKeys;
    }
    WindowBackend::SetHotKeyGrabber({&X11HotKeys::Grab, &X11HotKeys::Ungrab});
}

void X11HotKeys::Uninstall()
{
    auto &s = TheState();
    // Releases every grab through the old grabber first.
    WindowBackend::SetHotKeyGrabber({});
    X11HotKeys *filter = nullptr;
    {
        std::lock_guard lock(s.mutex);
        filter = s.filter;
        s.filter = nullptr;
        s.filterInstalled = false;
        s.grabs.clear();
    }
    if (filter) {
        if (auto *app = QCoreApplication::instance())
            app->removeNativeEventFilter(filter);
        delete filter;
    }
}

bool X11HotKeys::Grab(UINT modifiers, UINT virtualKey)
{
#if TESSALY_HAVE_XCB
    xcb_connection_t *c = Connection();
    if (!c || xcb_connection_has_error(c))
        return false;
    const unsigned keysym = KeysymOf(virtualKey);
    const unsigned keycode = keysym ? KeycodeOf(c, keysym) : 0;
    const xcb_window_t root = RootOf(c);
    if (!keycode || !root)
        return false;
    const unsigned mask = MaskOf(modifiers);
    std::vector<unsigned> done;
    bool ok = true;
    for (unsigned extra : kIgnoredMasks) {
        auto cookie = xcb_grab_key_checked(c, 1, root, static_cast<uint16_t>(mask | extra),
            static_cast<xcb_keycode_t>(keycode), XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t *error = xcb_request_check(c, cookie)) {
            free(error); // BadAccess: another client holds it
            ok = false;
            break;
        }
        done.push_back(extra);
    }
    if (!ok) {
        for (unsigned extra : done)
            xcb_ungrab_key(c, static_cast<xcb_keycode_t>(keycode), root, static_cast<uint16_t>(mask | extra));
        xcb_flush(c);
        return false;
    }
    xcb_flush(c);
    {
        auto &s = TheState();
        std::lock_guard lock(s.mutex);
        s.grabs[{modifiers, virtualKey}] = Grabbed {keycode, mask};
    }
    EnsureFilter();
    return true;
#else
    (void)modifiers;
    (void)virtualKey;
    return false;
#endif
}

void X11HotKeys::Ungrab(UINT modifiers, UINT virtualKey)
{
#if TESSALY_HAVE_XCB
    Grabbed grabbed;
    {
        auto &s = TheState();
        std::lock_guard lock(s.mutex);
        auto it = s.grabs.find({modifiers, virtualKey});
        if (it == s.grabs.end())
            return;
        grabbed = it->second;
        s.grabs.erase(it);
    }
    xcb_connection_t *c = Connection();
    if (!c || xcb_connection_has_error(c))
        return;
    const xcb_window_t root = RootOf(c);
    for (unsigned extra : kIgnoredMasks)
        xcb_ungrab_key(
            c, static_cast<xcb_keycode_t>(grabbed.keycode), root, static_cast<uint16_t>(grabbed.modifierMask | extra));
    xcb_flush(c);
#else
    (void)modifiers;
    (void)virtualKey;
#endif
}

bool X11HotKeys::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
#if TESSALY_HAVE_XCB
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    auto *event = static_cast<xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
        return false;
    auto *press = reinterpret_cast<xcb_key_press_event_t *>(event);
    const unsigned relevant = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
    std::pair<UINT, UINT> key {0, 0};
    {
        auto &s = TheState();
        std::lock_guard lock(s.mutex);
        for (const auto &[combination, grabbed] : s.grabs)
            if (grabbed.keycode == press->detail && grabbed.modifierMask == (press->state & relevant)) {
                key = combination;
                break;
            }
    }
    if (key.second == 0)
        return false;
    // Like a Windows hot key, the press goes to the registered window only.
    return WindowBackend::DeliverHotKey(key.first, key.second);
#else
    (void)eventType;
    (void)message;
    return false;
#endif
}
