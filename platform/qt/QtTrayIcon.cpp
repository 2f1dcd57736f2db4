#include "platform/qt/QtTrayIcon.h"

#include "platform/Window.h"
#include "platform/WindowBackend.h"
#include "platform/qt/QtPlatform.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <map>
#include <mutex>

namespace {

struct Icon {
    QSystemTrayIcon *tray = nullptr;
    UINT callbackMessage = 0;
};

// Touched on the UI thread only.
struct State {
    std::map<std::pair<HWND, UINT>, Icon> icons;
    std::map<std::uintptr_t, QIcon> images;
    std::uintptr_t nextImage = 0x100;
    int destroyListener = 0;
    bool installed = false;
};

State &TheState()
{
    static auto *state = new State;
    return *state;
}

QIcon FallbackIcon()
{
    QIcon icon = QApplication::windowIcon();
    if (!icon.isNull())
        return icon;
    QPixmap pixmap(16, 16);
    pixmap.fill(QColor(0x2e, 0x6d, 0xb4));
    return QIcon(pixmap);
}

LPARAM MouseMessageOf(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        return WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::Context:
        return WM_RBUTTONUP;
    default:
        return WM_LBUTTONUP;
    }
}

void Apply(QSystemTrayIcon &tray, Icon &icon, const NOTIFYICONDATAW &data)
{
    if (data.uFlags & NIF_MESSAGE)
        icon.callbackMessage = data.uCallbackMessage;
    if (data.uFlags & NIF_ICON)
        tray.setIcon(QtTrayIcon::IconOf(data.hIcon));
    if (data.uFlags & NIF_TIP)
        tray.setToolTip(QString::fromUtf16(data.szTip));
}

BOOL NotifyOnUiThread(DWORD message, const NOTIFYICONDATAW &data)
{
    auto &s = TheState();
    if (!s.installed)
        return FALSE;
    const auto key = std::make_pair(data.hWnd, data.uID);
    auto it = s.icons.find(key);
    switch (message) {
    case NIM_ADD: {
        if (it != s.icons.end() || !WindowBackend::IsWindowAlive(data.hWnd))
            return FALSE;
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            return FALSE;
        Icon icon;
        icon.tray = new QSystemTrayIcon(FallbackIcon());
        Apply(*icon.tray, icon, data);
        const HWND window = data.hWnd;
        const UINT id = data.uID;
        QObject::connect(
            icon.tray, &QSystemTrayIcon::activated, icon.tray, [window, id](QSystemTrayIcon::ActivationReason reason) {
                auto &st = TheState();
                auto found = st.icons.find(std::make_pair(window, id));
                if (found == st.icons.end() || !(found->second.callbackMessage))
                    return;
                PostMessageW(window, found->second.callbackMessage, id, MouseMessageOf(reason));
            });
        icon.tray->show();
        s.icons.emplace(key, icon);
        return TRUE;
    }
    case NIM_MODIFY:
        if (it == s.icons.end())
            return FALSE;
        Apply(*it->second.tray, it->second, data);
        return TRUE;
    case NIM_DELETE:
        if (it == s.icons.end())
            return FALSE;
        delete it->second.tray;
        s.icons.erase(it);
        return TRUE;
    default:
        return FALSE;
    }
}

void RemoveIconsOf(HWND window)
{
    auto &s = TheState();
    for (auto it = s.icons.begin(); it != s.icons.end();) {
        if (!window || it->first.first == window) {
            delete it->second.tray;
            it = s.icons.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace

void QtTrayIcon::Install()
{
    auto &s = TheState();
    if (s.installed)
        return;
    s.installed = true;
    s.destroyListener = WindowBackend::AddDestroyListener([](HWND window) {
        if (QtPlatform::IsUiThread())
            RemoveIconsOf(window);
        else if (auto *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [window] { RemoveIconsOf(window); }, Qt::QueuedConnection);
    });
    SetNotifyIconBackend(&QtTrayIcon::Notify);
}

void QtTrayIcon::Uninstall()
{
    auto &s = TheState();
    if (!s.installed)
        return;
    SetNotifyIconBackend(nullptr);
    WindowBackend::RemoveDestroyListener(s.destroyListener);
    RemoveIconsOf(nullptr);
    s.installed = false;
}

BOOL QtTrayIcon::Notify(DWORD message, const NOTIFYICONDATAW &data)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return FALSE;
    if (QtPlatform::IsUiThread())
        return NotifyOnUiThread(message, data);
    // The icon's objects belong to the UI thread.
    return QtPlatform::CallOnUiThread(
        [message, data](std::function<void(int)> answer) { answer(NotifyOnUiThread(message, data)); }, FALSE);
}

HICON QtTrayIcon::RegisterIcon(const QIcon &icon)
{
    auto &s = TheState();
    s.nextImage += 4;
    s.images[s.nextImage] = icon;
    return reinterpret_cast<HICON>(s.nextImage);
}

QIcon QtTrayIcon::IconOf(HICON icon)
{
    auto &s = TheState();
    auto it = s.images.find(reinterpret_cast<std::uintptr_t>(icon));
    if (it == s.images.end() || it->second.isNull())
        return FallbackIcon();
    return it->second;
}

QSystemTrayIcon *QtTrayIcon::Find(HWND window, UINT id)
{
    auto &s = TheState();
    auto it = s.icons.find(std::make_pair(window, id));
    return it == s.icons.end() ? nullptr : it->second.tray;
}
