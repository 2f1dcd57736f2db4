#pragma once
// System-wide hot keys as key grabs on the X server, through Qt's own xcb
// connection. Virtual-key codes keep Windows' numbering and are mapped to
// keysyms here. Without X (Wayland, offscreen, no display) or when another
// client holds the combination, a grab fails and RegisterHotKey returns false.

#include "platform/Win32Types.h"

#include <QAbstractNativeEventFilter>

class X11HotKeys : public QAbstractNativeEventFilter {
public:
    static void Install();
    static void Uninstall();

    // The keysym of a virtual-key code (0 if it has none).
    static unsigned KeysymOf(UINT virtualKey);

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    X11HotKeys() = default;
    static bool Grab(UINT modifiers, UINT virtualKey);
    static void Ungrab(UINT modifiers, UINT virtualKey);
};
