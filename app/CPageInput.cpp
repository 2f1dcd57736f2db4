#include "app/CPageInput.h"

#include "app/CVellumView.h"
#include "platform/Window.h"
#include "platform/qt/WindowBinding.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPointer>
#include <QWebEngineScript>

#include <algorithm>
#include <cmath>

namespace {

// The first visible object, embed or canvas element of the page, in viewport pixels.
const QString kFindGameArea = QStringLiteral("(function(){var l=document.querySelectorAll('object,embed,canvas');"
                                             "for(var i=0;i<l.length;i++){var r=l[i].getBoundingClientRect();"
                                             "if(r.width>0&&r.height>0&&getComputedStyle(l[i]).visibility!=='hidden')"
                                             "return [r.left,r.top,r.width,r.height];}return null})()");

QRect ToRect(const QVariant &value, qreal zoom)
{
    const QVariantList list = value.toList();
    if (list.size() != 4)
        return {};
    const auto px = [zoom](const QVariant &v) { return static_cast<int>(std::lround(v.toDouble() * zoom)); };
    return QRect(px(list[0]), px(list[1]), std::max(1, px(list[2])), std::max(1, px(list[3])));
}

} // namespace

CPageInput::CPageInput(CVellumView *view, HWND viewWindow) : QObject(view), m_view(view)
{

    m_hEmbedding = CreateWindowEntry(u"Shell Embedding", viewWindow, {});
    m_hDocObject = CreateWindowEntry(u"Shell DocObject View", m_hEmbedding, {});
    // Stands where the game-area element is, so that screen and client
    // coordinates of the game window convert as the page shows it. Never shown.
    m_gameWidget = new QWidget(view);
    m_gameWidget->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_gameWidget->hide();
}

HWND CPageInput::GameWindow() const { return m_game ? m_game->Handle() : nullptr; }

CPageInput::~CPageInput()
{
    DestroyContentWindow();
    DestroyWindow(m_hDocObject);
    DestroyWindow(m_hEmbedding);
}

ulong CPageInput::NextTimestamp()
{
    static QElapsedTimer clock;
    static ulong last = 0;
    if (!clock.isValid())
        clock.start();
    // Offset so that the first event is not taken for one at time 0.
    const ulong now = static_cast<ulong>(clock.elapsed()) + 100000;
    last = std::max(last + 1, now);
    return last;
}

void CPageInput::OnPageLoaded()
{
    if (!m_hContent) {
        m_hContent = CreateWindowEntry(u"Internet Explorer_Server", m_hDocObject,
            [this](HWND, UINT message, WPARAM, LPARAM lParam) { return OnContentMessage(message, lParam, false); });
    }
    Refresh();
}

void CPageInput::OnPageGone()
{
    ++m_nGeneration;
    m_queue.clear();
    m_bLookupPending = false;
    m_bRefreshPending = false;
    m_bLeftDown = false;
    DestroyContentWindow();
}

void CPageInput::DestroyContentWindow()
{
    SetGameArea({});
    if (m_hContent) {
        DestroyWindow(m_hContent);
        m_hContent = nullptr;
    }
}

LRESULT CPageInput::OnContentMessage(UINT message, LPARAM lParam, bool relativeToGame)
{
    if (message != WM_MOUSEMOVE && message != WM_LBUTTONDOWN && message != WM_LBUTTONUP)
        return 0;
    m_queue.push_back({message, QPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)), relativeToGame});
    ProcessQueue();
    return 0;
}

void CPageInput::ProcessQueue()
{
    while (!m_queue.empty() && !m_bLookupPending) {
        const Pending head = m_queue.front();
        if (!head.relativeToGame) {
            m_queue.pop_front();
            Deliver(head.message, head.point);
            continue;
        }
        // The element may have moved since the last look: ask the page now.
        m_bLookupPending = true;
        const quint64 generation = m_nGeneration;
        QPointer<CPageInput> self(this);
        m_view->page()->runJavaScript(
            kFindGameArea, QWebEngineScript::ApplicationWorld, [self, generation](const QVariant &value) {
                if (!self || generation != self->m_nGeneration)
                    return;
                self->m_bLookupPending = false;
                const QRect area = ToRect(value, self->m_view->zoomFactor());
                if (!area.isEmpty())
                    self->SetGameArea(area);
                if (self->m_queue.empty())
                    return;
                const Pending event = self->m_queue.front();
                self->m_queue.pop_front();
                self->Deliver(event.message, event.point + self->m_gameArea.topLeft());
                self->ProcessQueue();
            });
    }
}

void CPageInput::Deliver(UINT message, QPoint point)
{
    QWidget *target = m_view->focusProxy();
    if (!target)
        return;
    QEvent::Type type = QEvent::MouseMove;
    Qt::MouseButton button = Qt::NoButton;
    if (message == WM_LBUTTONDOWN) {
        type = QEvent::MouseButtonPress;
        button = Qt::LeftButton;
        m_bLeftDown = true;
    } else if (message == WM_LBUTTONUP) {
        type = QEvent::MouseButtonRelease;
        button = Qt::LeftButton;
        m_bLeftDown = false;
    }
    const Qt::MouseButtons buttons = m_bLeftDown ? Qt::LeftButton : Qt::NoButton;
    const QPointF local = target->mapFrom(m_view, point);
    QMouseEvent event(
        type, local, local, QPointF(target->mapToGlobal(local.toPoint())), button, buttons, Qt::NoModifier);
    event.setTimestamp(NextTimestamp());
    QCoreApplication::sendEvent(target, &event);
}

void CPageInput::Refresh()
{
    if (!m_hContent || m_bRefreshPending)
        return;
    m_bRefreshPending = true;
    const quint64 generation = m_nGeneration;
    QPointer<CPageInput> self(this);
    m_view->page()->runJavaScript(
        kFindGameArea, QWebEngineScript::ApplicationWorld, [self, generation](const QVariant &value) {
            if (!self || generation != self->m_nGeneration)
                return;
            self->m_bRefreshPending = false;
            self->SetGameArea(ToRect(value, self->m_view->zoomFactor()));
        });
}

void CPageInput::SetGameArea(const QRect &area)
{
    m_gameArea = area;
    if (area.isEmpty() || !m_hContent) {
        m_game.reset();
        m_gameArea = {};
        return;
    }
    m_gameWidget->setGeometry(area);
    if (!m_game) {
        m_game = std::make_unique<WindowBinding>(m_gameWidget, u"MacromediaFlashPlayerActiveX", m_hContent,
            [this](HWND, UINT message, WPARAM, LPARAM lParam) { return OnContentMessage(message, lParam, true); });
        // The widget only lends its geometry; the element itself is visible.
        SetWindowVisibleFlag(m_game->Handle(), true);
    }
}
