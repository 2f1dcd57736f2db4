#include "app/CTrayIcon.h"

#include "platform/Window.h"
#include "platform/qt/MenuTemplate.h"
#include "platform/qt/WindowBinding.h"

#include <QAction>
#include <QCursor>
#include <QMenu>

#include <memory>

namespace KorrinControlsEx {

namespace {

constexpr DWORD kIconDataSize = 936;

void BringToForeground(HWND window)
{
    if (QWidget *widget = WindowBinding::WidgetOf(window)) {
        widget->raise();
        widget->activateWindow();
    }
}

} // namespace

CTrayIcon::CTrayIcon() = default;

CTrayIcon::~CTrayIcon() { RemoveIcon(); }

bool CTrayIcon::AddIcon(HWND owner, UINT callbackMessage, LPCWSTR tip, HICON icon, UINT id)
{
    if (!owner || !IsWindow(owner)) {
        m_bIconShown = false;
        return false;
    }
    m_IconData = NOTIFYICONDATAW {};
    m_IconData.cbSize = kIconDataSize;
    m_IconData.hWnd = owner;
    m_IconData.uID = id;
    m_IconData.hIcon = icon;
    m_IconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_IconData.uCallbackMessage = callbackMessage;
    if (tip) {
        const size_t limit = std::size(m_IconData.szTip) - 1;
        size_t n = 0;
        while (n < limit && tip[n])
            ++n;
        std::char_traits<char16_t>::copy(m_IconData.szTip, tip, n);
        m_IconData.szTip[n] = 0;
    }
    m_bIconShown = Shell_NotifyIconW(NIM_ADD, &m_IconData) != FALSE;
    return m_bIconShown;
}

void CTrayIcon::RemoveIcon()
{
    if (!m_bIconShown)
        return;
    m_IconData.uFlags = 0;
    Shell_NotifyIconW(NIM_DELETE, &m_IconData);
    m_bIconShown = false;
}

LRESULT CTrayIcon::HandleNotify(WPARAM wParam, LPARAM lParam)
{
    if (wParam != m_IconData.uID)
        return 0;
    const UINT mouse = LOWORD(lParam);
    if (mouse != WM_RBUTTONUP && mouse != WM_LBUTTONDBLCLK)
        return 1;
    const auto menuTemplate = MenuTemplate::Load(static_cast<int>(m_IconData.uID));
    if (!menuTemplate)
        return 0;
    std::unique_ptr<QMenu> popup(menuTemplate->CreatePopup(0));
    if (!popup || popup->actions().isEmpty())
        return 0;
    QAction *first = popup->actions().first();
    const HWND owner = m_IconData.hWnd;
    if (mouse == WM_RBUTTONUP) {
        popup->setDefaultAction(first);
        BringToForeground(owner);
        // The icon may go while the menu is open (the command restores the window).
        const int command = MenuTemplate::TrackPopupMenu(popup.get(), QCursor::pos());
        if (command != 0)
            PostMessageW(owner, WM_COMMAND, static_cast<WPARAM>(command), 0);
    } else {
        BringToForeground(owner);
        SendMessageW(owner, WM_COMMAND, static_cast<WPARAM>(MenuTemplate::CommandOf(first)), 0);
    }
    return 1;
}

} // namespace KorrinControlsEx
