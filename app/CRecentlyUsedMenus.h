#pragma once
// Short menus: where the user asks for them (the customise dialog's
// "选项" page), a menu opens with the basic commands and the ones the user has
// run, and an item at its end that shows the rest. Off unless chosen. The
// choice and the commands used are kept in the user's settings.

#include "platform/Win32Types.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <set>
#include <vector>

class QAction;
class QMenu;

class CRecentlyUsedMenus : public QObject {
    Q_OBJECT
public:
    // keep: commands no short menu leaves out (the recent files).
    CRecentlyUsedMenus(QObject *parent, std::vector<UINT> basicCommands, std::vector<UINT> keep = {});

    // A menu whose commands follow the rule when it opens.
    void Attach(QMenu *menu);

    const std::vector<UINT> &BasicCommands() const { return m_basic; }
    bool ShowAllCommands() const { return m_bShowAll; }
    void SetShowAllCommands(bool all);
    // A command the user ran: shown from now on.
    void Used(UINT id);
    // Forgets the commands used.
    void ResetUsage();
    bool IsShortListed(UINT id) const;

private:
    void Shorten(QMenu *menu);
    void Restore(QMenu *menu);
    void Save() const;

    std::vector<UINT> m_basic;
    std::vector<UINT> m_keep;
    std::set<UINT> m_used;
    bool m_bShowAll = true;
    QAction *m_pExpand = nullptr;
    QPointer<QMenu> m_pShortened;
    QList<QAction *> m_full;
    bool m_bExpanding = false;
};
