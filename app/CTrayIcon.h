#pragma once
// The notification-area icon that stands for the main window while it is
// minimised. Mouse actions on it come back to the owner as its callback message,
// which the owner passes to HandleNotify: a right click offers the first popup of
// the menu resource with the icon's identifier, a double click runs that popup's
// first command.

#include "platform/UserInterface.h"
#include "platform/Win32Types.h"

namespace KorrinControlsEx {

class CTrayIcon {
public:
    CTrayIcon();
    virtual ~CTrayIcon();
    CTrayIcon(const CTrayIcon &) = delete;
    CTrayIcon &operator=(const CTrayIcon &) = delete;

    // False (icon not shown) when owner is not a window or the desktop has no
    // tray. A tip longer than 127 characters is cut.
    bool AddIcon(HWND owner, UINT callbackMessage, LPCWSTR tip, HICON icon, UINT id);
    void RemoveIcon();
    LRESULT HandleNotify(WPARAM wParam, LPARAM lParam);

    bool IsShown() const { return m_bIconShown; }
    const NOTIFYICONDATAW &IconData() const { return m_IconData; }

private:
    bool m_bIconShown = false;
    NOTIFYICONDATAW m_IconData;
};

} // namespace KorrinControlsEx
