#include "app/CRecentlyUsedMenus.h"

#include <QAction>
#include <QMenu>
#include <QSettings>

#include <algorithm>

namespace {

const QString kShowAllKey = QStringLiteral("Workspace/Menus/ShowAllCommands");
const QString kUsedKey = QStringLiteral("Workspace/Menus/UsedCommands");
// More than the program has commands: a list edited by hand stops there.
constexpr int kMaxUsed = 256;

} // namespace

CRecentlyUsedMenus::CRecentlyUsedMenus(QObject *parent, std::vector<UINT> basicCommands, std::vector<UINT> keep)
    : QObject(parent), m_basic(std::move(basicCommands)), m_keep(std::move(keep))
{
    QSettings settings;
    m_bShowAll = settings.value(kShowAllKey, true).toBool();
    const QVariant used = settings.value(kUsedKey);
    const QStringList ids = used.typeId() == QMetaType::QStringList
        ? used.toStringList()
        : used.toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &id : ids.mid(0, kMaxUsed)) {
        bool ok = false;
        const uint value = id.trimmed().toUInt(&ok);
        if (ok && value > 0 && value <= 0xFFFF)
            m_used.insert(value);
    }
    m_pExpand = new QAction(QStringLiteral("展开菜单(&E) ⌄"), this);
}

void CRecentlyUsedMenus::Attach(QMenu *menu)
{
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        if (!m_bShowAll && !m_bExpanding)
            Shorten(menu);
        m_bExpanding = false;
    });
    connect(menu, &QMenu::aboutToHide, this, [this, menu] { Restore(menu); });
}

bool CRecentlyUsedMenus::IsShortListed(UINT id) const
{
    return std::find(m_basic.begin(), m_basic.end(), id) != m_basic.end() ||
        std::find(m_keep.begin(), m_keep.end(), id) != m_keep.end() || m_used.count(id) != 0;
}

void CRecentlyUsedMenus::Shorten(QMenu *menu)
{
    Restore(m_pShortened);
    const QList<QAction *> all = menu->actions();
    bool hidden = false;
    QAction *last = nullptr;
    for (QAction *action : all) {
        const UINT id = action->data().toUInt();
        const bool command = !action->isSeparator() && !action->menu() && id != 0;
        if (command && !IsShortListed(id)) {
            menu->removeAction(action);
            hidden = true;
        } else if (action->isSeparator() && (!last || last->isSeparator())) {
            menu->removeAction(action);
        } else {
            last = action;
        }
    }
    if (!hidden) {
        // Nothing left out: the menu as it is.
        for (QAction *action : menu->actions())
            menu->removeAction(action);
        menu->addActions(all);
        return;
    }
    if (last && last->isSeparator())
        menu->removeAction(last);
    m_full = all;
    m_pShortened = menu;
    menu->addAction(m_pExpand);
    disconnect(m_pExpand, nullptr, this, nullptr);
    connect(m_pExpand, &QAction::triggered, this, [this, menu] {
        // Opened again where it was, with everything.
        m_bExpanding = true;
        menu->popup(menu->pos());
    });
}

void CRecentlyUsedMenus::Restore(QMenu *menu)
{
    if (!menu || menu != m_pShortened)
        return;
    for (QAction *action : menu->actions())
        menu->removeAction(action);
    menu->addActions(m_full);
    m_full.clear();
    m_pShortened = nullptr;
}

void CRecentlyUsedMenus::SetShowAllCommands(bool all)
{
    m_bShowAll = all;
    Save();
}

void CRecentlyUsedMenus::Used(UINT id)
{
    if (id == 0 || IsShortListed(id) || static_cast<int>(m_used.size()) >= kMaxUsed)
        return;
    m_used.insert(id);
    Save();
}

void CRecentlyUsedMenus::ResetUsage()
{
    m_used.clear();
    Save();
}

void CRecentlyUsedMenus::Save() const
{
    QSettings settings;
    settings.setValue(kShowAllKey, m_bShowAll);
    QStringList ids;
    for (UINT id : m_used)
        ids.append(QString::number(id));
    settings.setValue(kUsedKey, ids.join(QLatin1Char(',')));
}
