#include "app/CSplitTracker.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSplitter>

#include <algorithm>

CSplitTracker *CSplitTracker::s_active = nullptr;

CSplitTracker *CSplitTracker::Start(QSplitter *splitter)
{
    if (!splitter || splitter->count() < 2 || s_active)
        return nullptr;
    return new CSplitTracker(splitter);
}

CSplitTracker::CSplitTracker(QSplitter *splitter) : QObject(splitter), m_pSplitter(splitter)
{
    s_active = this;
    m_nStart = m_nPosition = splitter->sizes().value(0);
    // The whole program's input goes to the divider until it is placed.
    qApp->installEventFilter(this);
    QApplication::setOverrideCursor(Qt::SplitHCursor);
    if (QWidget *handle = splitter->handle(1))
        QCursor::setPos(handle->mapToGlobal(handle->rect().center()));
}

// The splitter may go while the user still places its divider (its tab closed).
CSplitTracker::~CSplitTracker()
{
    if (s_active == this) {
        s_active = nullptr;
        QApplication::restoreOverrideCursor();
    }
}

void CSplitTracker::MoveTo(int position)
{
    if (!m_pSplitter)
        return;
    const int total = m_pSplitter->width() - m_pSplitter->handleWidth();
    m_nPosition = std::clamp(position, 0, std::max(0, total));
    m_pSplitter->setSizes({m_nPosition, total - m_nPosition});
    // The splitter keeps its panes' minimum sizes.
    m_nPosition = m_pSplitter->sizes().value(0);
}

void CSplitTracker::Finish(bool keep)
{
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
    if (!keep)
        MoveTo(m_nStart);
    s_active = nullptr;
    deleteLater();
}

bool CSplitTracker::eventFilter(QObject *, QEvent *event)
{
    // isNull: the splitter may be half destroyed here, no QSplitter any more.
    if (m_pSplitter.isNull()) {
        Finish(false);
        return false;
    }
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        const int step = (key->modifiers() & Qt::ControlModifier) ? 1 : kStep;
        switch (key->key()) {
        case Qt::Key_Left:
            MoveTo(m_nPosition - step);
            break;
        case Qt::Key_Right:
            MoveTo(m_nPosition + step);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            Finish(true);
            break;
        case Qt::Key_Escape:
            Finish(false);
            break;
        default:
            break;
        }
        return true;
    }
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
        return true;
    case QEvent::MouseMove: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        MoveTo(m_pSplitter->mapFromGlobal(mouse->globalPosition().toPoint()).x());
        return true;
    }
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton) {
            MoveTo(m_pSplitter->mapFromGlobal(mouse->globalPosition().toPoint()).x());
            Finish(true);
        } else {
            Finish(false);
        }
        return true;
    }
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return true;
    default:
        return false;
    }
}
