#include "app/CContextMenuManager.h"

#include "platform/qt/MenuTemplate.h"

#include <QAction>
#include <QMenu>

#include <memory>

CContextMenuManager &CContextMenuManager::Instance()
{
    static CContextMenuManager manager;
    return manager;
}

bool CContextMenuManager::AddMenu(const wstring16 &name, UINT menuId)
{
    if (name.empty() || !MenuTemplate::Load(static_cast<int>(menuId)))
        return false;
    m_menus[name] = menuId;
    return true;
}

bool CContextMenuManager::HasMenu(const wstring16 &name) const { return m_menus.count(name) != 0; }

QMenu *CContextMenuManager::CreatePopupMenu(
    const wstring16 &name, QWidget *parent, const std::function<bool(UINT)> &enabled) const
{
    const auto it = m_menus.find(name);
    if (it == m_menus.end())
        return nullptr;
    const std::optional<MenuTemplate> menu = MenuTemplate::Load(static_cast<int>(it->second));
    QMenu *popup = menu ? menu->CreatePopup(0, parent) : nullptr;
    if (popup && enabled)
        for (QAction *action : popup->actions())
            if (const int id = MenuTemplate::CommandOf(action); id != 0)
                action->setEnabled(enabled(static_cast<UINT>(id)));
    return popup;
}

UINT CContextMenuManager::ShowPopupMenu(
    const wstring16 &name, QPoint globalPos, QWidget *parent, const std::function<bool(UINT)> &enabled) const
{
    // Not the parent's child: the parent may go away while the menu waits.
    std::unique_ptr<QMenu> popup(CreatePopupMenu(name, nullptr, enabled));
    if (!popup)
        return 0;
    if (parent)
        popup->setFont(parent->font());
    return static_cast<UINT>(MenuTemplate::TrackPopupMenu(popup.get(), globalPos));
}
