#pragma once
// A menu as the program's resources describe it: popups of items, each item a
// command identifier with its text, a separator or a nested popup. Templates are
// JSON files of res/menus, embedded as resources of type "MENU":
//
//   { "id": 310, "items": [ { "text": "List", "items": [
//       { "id": 32771, "text": "暂停" }, { "separator": true },
//       { "id": 32776, "text": "删除所有", "disabled": true } ] } ] }
//
// Built menus carry each command's identifier in its action (CommandOf).

#include "platform/Win32Types.h"

#include <QByteArray>
#include <QPoint>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

class MenuTemplate {
public:
    struct Item {
        wstring16 text;
        int id = 0;
        bool separator = false;
        bool disabled = false;
        bool checked = false;
        std::vector<Item> items; // a popup when not empty
    };

    int id = 0;
    std::vector<Item> items;

    static std::optional<MenuTemplate> Parse(const QByteArray &json, QString *error = nullptr);
    static std::optional<MenuTemplate> Load(int templateId, QString *error = nullptr);

    // Lets the owner put its own actions for an item (a command it already has,
    // a list standing for a placeholder): it adds them to menu and returns true,
    // or returns false to have the item built as the template says. Asked for
    // nested popups too.
    using ItemHandler = std::function<bool(QMenu *menu, const Item &item)>;

    // The index-th top-level popup as a menu (null when there is none).
    QMenu *CreatePopup(int index, QWidget *parent = nullptr, const ItemHandler &handler = {}) const;
    // Every top-level popup into a menu bar.
    void FillMenuBar(QMenuBar *bar) const;

    // The command identifier an action stands for (0 for none).
    static int CommandOf(const QAction *action);
    // Shows the menu at a screen position and waits; the chosen command or 0.
    static int TrackPopupMenu(QMenu *menu, QPoint globalPos);
};
