#include "app/CWindowsDialog.h"

#include "app/CChildFrame.h"
#include "app/CContainers.h"
#include "app/CDocumentTabs.h"
#include "app/CMainFrame.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

CWindowsDialog::CWindowsDialog(CMainFrame *frame) : QDialog(frame), m_pFrame(frame)
{
    setWindowTitle(QStringLiteral("窗口"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    m_pList = new QListWidget(this);
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pActivate = new QPushButton(QStringLiteral("激活(&A)"), this);
    auto *ok = new QPushButton(QStringLiteral("确定"), this);
    m_pSave = new QPushButton(QStringLiteral("保存(&S)"), this);
    m_pClose = new QPushButton(QStringLiteral("关闭窗口(&C)"), this);
    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {m_pActivate, ok, m_pSave, m_pClose})
        buttons->addWidget(b);
    buttons->addStretch(1);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_pList, 1);
    layout->addLayout(buttons);
    resize(420, 260);

    connect(m_pActivate, &QPushButton::clicked, this, &CWindowsDialog::OnActivate);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pSave, &QPushButton::clicked, this, &CWindowsDialog::OnSave);
    connect(m_pClose, &QPushButton::clicked, this, &CWindowsDialog::OnCloseWindows);
    connect(m_pList, &QListWidget::itemSelectionChanged, this, &CWindowsDialog::UpdateButtons);
    connect(m_pList, &QListWidget::itemDoubleClicked, this, &CWindowsDialog::OnActivate);
    Fill();
}

void CWindowsDialog::Fill()
{
    m_pList->clear();
    m_frames.clear();
    CDocumentTabs *tabs = m_pFrame->Tabs();
    if (!tabs)
        return;
    CChildFrame *active = tabs->ActiveFrame();
    // Rows without a container's colour keep their text in line with those with one.
    const QList<CChildFrame *> frames = tabs->Frames();
    const bool colours = std::any_of(
        frames.begin(), frames.end(), [](const CChildFrame *frame) { return frame->ContainerColour().isValid(); });
    for (CChildFrame *frame : frames) {
        m_frames.append(frame);
        auto *item = new QListWidgetItem(frame->Title(), m_pList);
        if (const QColor colour = frame->ContainerColour(); colour.isValid()) {
            item->setIcon(CContainers::Swatch(colour));
            item->setForeground(colour.darker(120));
        } else if (colours) {
            item->setIcon(CContainers::Swatch(Qt::transparent));
        }
        if (frame == active) {
            m_pList->setCurrentItem(item);
            item->setSelected(true);
        }
    }
    UpdateButtons();
}

void CWindowsDialog::UpdateButtons()
{
    const int selected = static_cast<int>(m_pList->selectedItems().size());
    m_pActivate->setEnabled(selected == 1);
    m_pSave->setEnabled(selected > 0);
    m_pClose->setEnabled(selected > 0);
}

QList<CChildFrame *> CWindowsDialog::SelectedFrames() const
{
    QList<CChildFrame *> frames;
    for (int row = 0; row < m_pList->count(); ++row)
        if (m_pList->item(row)->isSelected() && row < m_frames.size() && m_frames[row])
            frames.append(m_frames[row]);
    return frames;
}

void CWindowsDialog::OnActivate()
{
    const QList<CChildFrame *> frames = SelectedFrames();
    if (frames.size() != 1)
        return;
    m_pFrame->Tabs()->SetActiveFrame(frames.first());
    accept();
}

// Each document is saved as its own Save command would, from its tab.
void CWindowsDialog::OnSave()
{
    for (CChildFrame *frame : SelectedFrames()) {
        m_pFrame->Tabs()->SetActiveFrame(frame);
        m_pFrame->OnFileSave(false);
    }
    Fill();
}

void CWindowsDialog::OnCloseWindows()
{
    for (CChildFrame *frame : SelectedFrames())
        m_pFrame->CloseFrame(frame);
    Fill();
}
