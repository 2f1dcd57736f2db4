#pragma once
// Binds a QWidget to a window of the registry for as long as both live: the
// window takes its geometry (ScreenToClient, ClientToScreen), visibility and
// title from the widget, and ShowWindow shows or hides the widget. Make it on
// the UI thread. The window goes when the binding or the widget goes, whichever
// is first; that silent destruction calls no handler, so a binding held as a
// member never calls into a half-destroyed owner. Destroy() ends the window
// earlier with WM_DESTROY delivered.

#include "platform/Window.h"

#include <QPointer>
#include <QWidget>

struct WindowBindingOptions {
    // Sends WM_SIZE (SIZE_RESTORED, SIZE_MAXIMIZED, SIZE_MINIMIZED with the
    // client size) to the handler when the widget is resized or minimised.
    bool forwardSize = false;
};

class WindowBinding {
public:
    using Options = WindowBindingOptions;

    WindowBinding(QWidget *widget, LPCWSTR className, HWND parent, WindowHandler handler = {},
        LPCWSTR windowName = nullptr, Options options = {});
    ~WindowBinding();
    WindowBinding(const WindowBinding &) = delete;
    WindowBinding &operator=(const WindowBinding &) = delete;

    HWND Handle() const { return m_handle; }
    QWidget *Widget() const { return m_widget; }
    // Destroys the window now, with WM_DESTROY (on the UI thread).
    void Destroy();

    // The widget bound to a window, and the window of a widget (null if none).
    static QWidget *WidgetOf(HWND window);
    static HWND HandleOf(const QWidget *widget);

private:
    class Watcher;

    QPointer<QWidget> m_widget;
    HWND m_handle = nullptr;
    Watcher *m_watcher = nullptr;
};
