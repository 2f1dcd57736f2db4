#include "platform/qt/X11Keyboard.h"

#include <QGuiApplication>

#if TESSALY_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#endif

int X11Keyboard::LockLights()
{
#if TESSALY_HAVE_XCB
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return -1;
    xcb_get_keyboard_control_reply_t *reply =
        xcb_get_keyboard_control_reply(connection, xcb_get_keyboard_control(connection), nullptr);
    if (!reply)
        return -1;
    // The server's first three lights are Caps, Num and Scroll Lock, in that order.
    const int lights = static_cast<int>(reply->led_mask & 7u);
    std::free(reply);
    return lights;
#else
    return -1;
#endif
}
