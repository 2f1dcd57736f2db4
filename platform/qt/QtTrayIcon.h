#pragma once
// The notification-area icon over QSystemTrayIcon, behind Shell_NotifyIconW.
// Adding fails where the desktop has no tray. Activations post the icon's
// callback message to its window: wParam the icon id, lParam WM_LBUTTONUP
// (click), WM_LBUTTONDBLCLK (double click) or WM_RBUTTONUP (context click).

#include "platform/UserInterface.h"

#include <QIcon>

class QSystemTrayIcon;

class QtTrayIcon {
public:
    static void Install();
    static void Uninstall();

    static BOOL Notify(DWORD message, const NOTIFYICONDATAW &data);

    // Icons for NOTIFYICONDATAW::hIcon. A null or unknown handle shows the
    // application's icon.
    static HICON RegisterIcon(const QIcon &icon);
    static QIcon IconOf(HICON icon);

    // The icon shown for a window and id (null if none), for tests.
    static QSystemTrayIcon *Find(HWND window, UINT id);
};
