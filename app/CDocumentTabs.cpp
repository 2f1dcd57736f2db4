#include "app/CDocumentTabs.h"

#include "app/CChildFrame.h"
#include "app/CContainers.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

CDocumentTabs::CDocumentTabs(QWidget *parent) : QWidget(parent)
{
    m_pTabBar = new QTabBar(this);
    m_pTabBar->setTabsClosable(true);
    m_pTabBar->setMovable(false);
    m_pTabBar->setExpanding(false);
    m_pTabBar->setDocumentMode(true);
    m_pTabBar->setElideMode(Qt::ElideRight);

    m_pListButton = new QToolButton(this);
    m_pListButton->setText(QStringLiteral("▾"));
    m_pListButton->setToolTip(QStringLiteral("活动文档"));
    m_pListButton->setPopupMode(QToolButton::InstantPopup);
    m_pListButton->setAutoRaise(true);
    auto *listMenu = new QMenu(m_pListButton);
    m_pListButton->setMenu(listMenu);
    connect(listMenu, &QMenu::aboutToShow, this, &CDocumentTabs::FillDocumentList);

    m_pArea = new QWidget(this);
    m_pArea->installEventFilter(this);

    auto *top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    top->addWidget(m_pTabBar, 1);
    top->addWidget(m_pListButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(top);
    layout->addWidget(m_pArea, 1);

    connect(m_pTabBar, &QTabBar::currentChanged, this, &CDocumentTabs::OnCurrentChanged);
    connect(m_pTabBar, &QTabBar::tabCloseRequested, this, [this](int index) {
        if (index >= 0 && index < m_frames.size())
            emit CloseRequested(m_frames[index]);
    });
    UpdateCloseButtons();
}

void CDocumentTabs::AddFrame(CChildFrame *frame, bool activate)
{
    frame->setParent(m_pArea);
    frame->setGeometry(m_pArea->rect());
    m_frames.append(frame);
    const int index = m_pTabBar->addTab(frame->Title());
    // An isolated tab shows its container's colour.
    if (const QColor colour = frame->ContainerColour(); colour.isValid()) {
        m_pTabBar->setTabIcon(index, CContainers::Swatch(colour));
        m_pTabBar->setTabTextColor(index, colour.darker(120));
    }
    connect(frame, &CChildFrame::TitleChanged, this, [this, frame](const QString &title) {
        const int i = static_cast<int>(m_frames.indexOf(frame));
        if (i >= 0)
            m_pTabBar->setTabText(i, title);
    });
    // Shown at once and for good: the page gets its real size from the first load.
    frame->show();
    if (activate || m_frames.size() == 1)
        m_pTabBar->setCurrentIndex(index);
    else if (CChildFrame *active = ActiveFrame()) {
        active->raise();
        frame->setUpdatesEnabled(false);
    }
    UpdateCloseButtons();
    emit CountChanged(Count());
}

void CDocumentTabs::RemoveFrame(CChildFrame *frame)
{
    const int index = static_cast<int>(m_frames.indexOf(frame));
    if (index < 0)
        return;
    disconnect(frame, nullptr, this, nullptr);
    m_frames.removeAt(index);
    m_pTabBar->removeTab(index);
    frame->hide();
    UpdateCloseButtons();
    emit CountChanged(Count());
    if (m_frames.isEmpty())
        emit ActiveFrameChanged(nullptr);
}

void CDocumentTabs::SetActiveFrame(CChildFrame *frame)
{
    const int index = static_cast<int>(m_frames.indexOf(frame));
    if (index >= 0)
        m_pTabBar->setCurrentIndex(index);
}

CChildFrame *CDocumentTabs::ActiveFrame() const
{
    const int index = m_pTabBar->currentIndex();
    return index >= 0 && index < m_frames.size() ? m_frames[index] : nullptr;
}

void CDocumentTabs::OnCurrentChanged(int index)
{
    if (index < 0 || index >= m_frames.size())
        return;
    m_frames[index]->raise();
    // The tabs behind stay shown, so their pages keep running as in front, but
    // they are covered: what changes in them is drawn when they come to front.
    for (CChildFrame *frame : m_frames)
        frame->setUpdatesEnabled(frame == m_frames[index]);
    UpdateCloseButtons();
    emit ActiveFrameChanged(m_frames[index]);
}

bool CDocumentTabs::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_pArea && event->type() == QEvent::Resize)
        LayoutFrames();
    return QWidget::eventFilter(watched, event);
}

void CDocumentTabs::LayoutFrames()
{
    for (CChildFrame *frame : m_frames)
        frame->setGeometry(m_pArea->rect());
}

void CDocumentTabs::UpdateCloseButtons()
{
    const int current = m_pTabBar->currentIndex();
    for (int i = 0; i < m_pTabBar->count(); ++i) {
        for (auto side : {QTabBar::LeftSide, QTabBar::RightSide})
            if (QWidget *button = m_pTabBar->tabButton(i, side))
                button->setVisible(i == current);
    }
    m_pListButton->setEnabled(!m_frames.isEmpty());
}

void CDocumentTabs::FillDocumentList()
{
    QMenu *menu = m_pListButton->menu();
    menu->clear();
    const CChildFrame *active = ActiveFrame();
    for (CChildFrame *frame : m_frames) {
        QAction *action = menu->addAction(frame->Title());
        if (const QColor colour = frame->ContainerColour(); colour.isValid())
            action->setIcon(CContainers::Swatch(colour));
        action->setCheckable(true);
        action->setChecked(frame == active);
        connect(action, &QAction::triggered, this, [this, frame] { SetActiveFrame(frame); });
    }
}
