#include "platform/qt/WindowBinding.h"

#include "platform/qt/QtPlatform.h"

#include <QCoreApplication>
#include <QEvent>
#include <QResizeEvent>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <mutex>
#include <unordered_map>

namespace {

struct Bindings {
    std::mutex mutex;
    std::unordered_map<HWND, QPointer<QWidget>> widgets;
};

Bindings &TheBindings()
{
    static auto *bindings = new Bindings;
    return *bindings;
}

class WidgetSurface : public WindowSurface {
public:
    explicit WidgetSurface(QWidget *widget) : m_widget(widget) { }

    POINT ClientOrigin() override
    {
        if (!m_widget)
            return {};
        const QPoint p = m_widget->mapToGlobal(QPoint(0, 0));
        return POINT {p.x(), p.y()};
    }

    void Show(int command) override
    {
        if (!m_widget)
            return;
        switch (command) {
        case SW_HIDE:
            m_widget->hide();
            break;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
            m_widget->showMinimized();
            break;
        case SW_SHOWMAXIMIZED:
            m_widget->showMaximized();
            break;
        case SW_SHOWNORMAL:
        case SW_RESTORE:
            m_widget->showNormal();
            break;
        default:
            m_widget->show();
            break;
        }
    }

    void SetText(const wstring16 &text) override
    {
        if (m_widget)
            m_widget->setWindowTitle(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
    }

private:
    QPointer<QWidget> m_widget;
};

} // namespace

// Follows the widget: visibility into the registry, size changes to the
// handler, and the widget's end into the window's end.
class WindowBinding::Watcher : public QObject {
public:
    Watcher(QWidget *widget, HWND handle, bool forwardSize) : m_handle(handle), m_forwardSize(forwardSize)
    {
        widget->installEventFilter(this);
    }

    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *widget = static_cast<QWidget *>(object);
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
            SetWindowVisibleFlag(m_handle, widget->isVisible());
            break;
        case QEvent::Resize:
            if (m_forwardSize && !widget->isMinimized()) {
                const QSize size = static_cast<QResizeEvent *>(event)->size();
                SendSize(widget->isMaximized() ? SIZE_MAXIMIZED : SIZE_RESTORED, size);
            }
            break;
        case QEvent::WindowStateChange:
            if (m_forwardSize && widget->isMinimized())
                SendSize(SIZE_MINIMIZED, QSize(0, 0));
            break;
        default:
            break;
        }
        return false;
    }

private:
    void SendSize(WPARAM kind, QSize size)
    {
        SendMessageW(m_handle, WM_SIZE, kind,
            MAKELPARAM(static_cast<WORD>(std::clamp(size.width(), 0, 0xFFFF)),
                static_cast<WORD>(std::clamp(size.height(), 0, 0xFFFF))));
    }

    HWND m_handle;
    bool m_forwardSize;
};

WindowBinding::WindowBinding(
    QWidget *widget, LPCWSTR className, HWND parent, WindowHandler handler, LPCWSTR windowName, Options options)
    : m_widget(widget)
{
    QtPlatform::Install();
    m_handle = CreateWindowEntry(className, parent, std::move(handler), windowName);
    if (!m_handle || !widget)
        return;
    BindWindowSurface(m_handle, std::make_shared<WidgetSurface>(widget));
    SetWindowVisibleFlag(m_handle, widget->isVisible());
    {
        auto &b = TheBindings();
        std::lock_guard lock(b.mutex);
        b.widgets[m_handle] = widget;
    }
    m_watcher = new Watcher(widget, m_handle, options.forwardSize);
    m_watcher->setParent(widget);
    const HWND handle = m_handle;
    QObject::connect(widget, &QObject::destroyed, QCoreApplication::instance(), [handle] {
        {
            auto &bindings = TheBindings();
            std::lock_guard lock(bindings.mutex);
            bindings.widgets.erase(handle);
        }
        SetWindowHandler(handle, nullptr);
        DestroyWindow(handle);
    });
}

WindowBinding::~WindowBinding()
{
    if (!m_handle)
        return;
    SetWindowHandler(m_handle, nullptr);
    Destroy();
}

void WindowBinding::Destroy()
{
    if (!m_handle)
        return;
    if (m_watcher && m_widget) {
        m_widget->removeEventFilter(m_watcher);
        delete m_watcher;
    }
    m_watcher = nullptr;
    {
        auto &b = TheBindings();
        std::lock_guard lock(b.mutex);
        b.widgets.erase(m_handle);
    }
    DestroyWindow(m_handle);
    m_handle = nullptr;
}

QWidget *WindowBinding::WidgetOf(HWND window)
{
    if (!window)
        return nullptr;
    auto &b = TheBindings();
    std::lock_guard lock(b.mutex);
    auto it = b.widgets.find(window);
    return it == b.widgets.end() ? nullptr : it->second.data();
}

HWND WindowBinding::HandleOf(const QWidget *widget)
{
    if (!widget)
        return nullptr;
    auto &b = TheBindings();
    std::lock_guard lock(b.mutex);
    for (const auto &[handle, w] : b.widgets)
        if (w == widget)
            return handle;
    return nullptr;
}
