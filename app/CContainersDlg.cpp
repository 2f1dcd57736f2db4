#include "app/CContainersDlg.h"

#include "app/CChildFrame.h"
#include "app/CContainers.h"
#include "app/CDocumentTabs.h"
#include "app/CMainFrame.h"
#include "app/CVellumView.h"
#include "platform/UserInterface.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kIdRole = Qt::UserRole + 1;

int Ask(HWND owner, const QString &text, UINT type)
{
    return MessageBoxW(owner, text.toStdU16String().c_str(), u"Tessaly", type);
}

} // namespace

CContainersDlg::CContainersDlg(CMainFrame *frame) : QDialog(frame), m_pFrame(frame)
{
    setWindowTitle(QStringLiteral("管理容器"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    m_pList = new QTreeWidget(this);
    m_pList->setRootIsDecorated(false);
    m_pList->setHeaderLabels({QStringLiteral("名称"), QStringLiteral("磁盘占用"), QStringLiteral("使用中的标签页")});
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->header()->setStretchLastSection(true);
    m_pRename = new QPushButton(QStringLiteral("重命名(&R)..."), this);
    m_pClear = new QPushButton(QStringLiteral("清除数据(&C)"), this);
    m_pDelete = new QPushButton(QStringLiteral("删除(&D)"), this);
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {m_pRename, m_pClear, m_pDelete})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_pList, 1);
    layout->addLayout(buttons);
    resize(560, 300);

    connect(m_pRename, &QPushButton::clicked, this, &CContainersDlg::OnRename);
    connect(m_pClear, &QPushButton::clicked, this, &CContainersDlg::OnClearData);
    connect(m_pDelete, &QPushButton::clicked, this, &CContainersDlg::OnDelete);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &CContainersDlg::UpdateButtons);
    Fill();
    m_pList->resizeColumnToContents(1);
    m_pList->setColumnWidth(0, std::max(m_pList->columnWidth(0), 160));
}

QString CContainersDlg::SizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 字节").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(static_cast<double>(bytes) / 1024, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(static_cast<double>(bytes) / (1024 * 1024), 0, 'f', 1);
}

QStringList CContainersDlg::TabsOf(const QString &id) const
{
    QStringList titles;
    if (CDocumentTabs *tabs = m_pFrame->Tabs())
        for (CChildFrame *frame : tabs->Frames())
            if (frame->Container() == id)
                titles.append(frame->Title());
    return titles;
}

void CContainersDlg::Fill()
{
    const QString selected = Selected();
    m_pList->clear();
    CContainers *containers = m_pFrame->Containers();
    for (const ContainerIndex::Entry &entry : containers->Entries()) {
        const QString id = QString::fromStdU16String(entry.folder);
        const QStringList tabs = TabsOf(id);
        auto *item = new QTreeWidgetItem(m_pList);
        item->setText(0, QString::fromStdU16String(entry.name));
        item->setIcon(0, CContainers::Swatch(CContainers::Colour(entry.colour)));
        item->setData(0, kIdRole, id);
        item->setText(1, SizeText(containers->SizeOnDisk(id)));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(2, tabs.isEmpty() ? QStringLiteral("无") : QStringLiteral("%1 个").arg(tabs.size()));
        item->setToolTip(2, tabs.join(QLatin1Char('\n')));
        if (id == selected)
            item->setSelected(true);
    }
    if (m_pList->selectedItems().isEmpty() && m_pList->topLevelItemCount() > 0)
        m_pList->topLevelItem(0)->setSelected(true);
    UpdateButtons();
}

void CContainersDlg::UpdateButtons()
{
    const bool any = !Selected().isEmpty();
    for (QPushButton *b : {m_pRename, m_pClear, m_pDelete})
        b->setEnabled(any);
}

QString CContainersDlg::Selected() const
{
    const QList<QTreeWidgetItem *> items = m_pList->selectedItems();
    return items.isEmpty() ? QString() : items.first()->data(0, kIdRole).toString();
}

void CContainersDlg::Select(const QString &id)
{
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i)
        m_pList->topLevelItem(i)->setSelected(m_pList->topLevelItem(i)->data(0, kIdRole).toString() == id);
}

void CContainersDlg::OnRename()
{
    const QString id = Selected();
    CContainers *containers = m_pFrame->Containers();
    if (id.isEmpty())
        return;
    QInputDialog input(this);
    input.setWindowTitle(QStringLiteral("重命名容器"));
    input.setLabelText(QStringLiteral("容器的新名称："));
    input.setTextValue(containers->Name(id));
    input.setOkButtonText(QStringLiteral("确定"));
    input.setCancelButtonText(QStringLiteral("取消"));
    if (input.exec() != QDialog::Accepted)
        return;
    QString error;
    if (!containers->Rename(id, input.textValue(), &error) && !error.isEmpty())
        Ask(m_pFrame->GetSafeHwnd(), error, MB_OK | MB_ICONWARNING);
    Fill();
}

void CContainersDlg::OnClearData()
{
    const QString id = Selected();
    CContainers *containers = m_pFrame->Containers();
    if (id.isEmpty())
        return;
    const QString question =
        QStringLiteral("清除容器“%1”的全部数据（Cookie、本地存储和缓存）吗？\n在这个容器中的登录都将退出。")
            .arg(containers->Name(id));
    if (Ask(m_pFrame->GetSafeHwnd(), question, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    containers->ClearData(id);
    const bool inUse = containers->PagesUsing(id) > 0;
    // The open pages forget their own origin's storage now; the rest goes before the container is next opened.
    if (CDocumentTabs *tabs = m_pFrame->Tabs())
        for (CChildFrame *frame : tabs->Frames())
            if (CVellumView *view = frame->GetBrowserView(); view && frame->Container() == id)
                view->StartScript(u"try { localStorage.clear(); sessionStorage.clear(); } catch (e) { }", u"javascript",
                    [](bool, const wstring16 &) {});
    if (inUse)
        Ask(m_pFrame->GetSafeHwnd(),
            QStringLiteral("已清除 Cookie 和缓存。\n容器“%1”正在使用，其余的网站存储将在下次启动程序时清除。")
                .arg(containers->Name(id)),
            MB_OK | MB_ICONINFORMATION);
    Fill();
}

void CContainersDlg::OnDelete()
{
    const QString id = Selected();
    CContainers *containers = m_pFrame->Containers();
    if (id.isEmpty())
        return;
    const QString name = containers->Name(id);
    const int tabs = static_cast<int>(TabsOf(id).size());
    if (tabs > 0 || containers->PagesUsing(id) > 0) {
        Ask(m_pFrame->GetSafeHwnd(),
            QStringLiteral("容器“%1”正在被 %2 个标签页使用，不能删除。\n请先关闭这些标签页。")
                .arg(name)
                .arg(std::max(tabs, containers->PagesUsing(id))),
            MB_OK | MB_ICONWARNING);
        return;
    }
    if (Ask(m_pFrame->GetSafeHwnd(), QStringLiteral("删除容器“%1”及其全部数据吗？此操作无法撤消。").arg(name),
            MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    if (!containers->Remove(id))
        Ask(m_pFrame->GetSafeHwnd(), QStringLiteral("无法删除容器“%1”。").arg(name), MB_OK | MB_ICONERROR);
    Fill();
}
