#pragma once
// Named popup menus for context menus, each made from a menu template: the
// program adds menu 119 under the name of string 306 ("编辑") before the frame
// is built, and the browser view shows it over text fields and selections.

#include "platform/Win32Types.h"

#include <QPoint>

#include <functional>
#include <map>

class QMenu;
class QWidget;

class CContextMenuManager {
public:
    static CContextMenuManager &Instance();

    // False when there is no such menu template.
    bool AddMenu(const wstring16 &name, UINT menuId);
    bool HasMenu(const wstring16 &name) const;
    // The menu's first popup; items whose command enabled() refuses are greyed. Null for an unknown name.
    QMenu *CreatePopupMenu(const wstring16 &name, QWidget *parent, const std::function<bool(UINT)> &enabled) const;
    // Shows it at a screen position and waits; the chosen command or 0.
    UINT ShowPopupMenu(
        const wstring16 &name, QPoint globalPos, QWidget *parent, const std::function<bool(UINT)> &enabled) const;

private:
    std::map<wstring16, UINT> m_menus;
};
