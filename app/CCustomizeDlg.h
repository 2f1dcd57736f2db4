#pragma once
// The customise dialog (command 126): on "命令" the user picks the buttons of
// a toolbar from the program's commands, grouped by the menus they are in; on
// "工具栏" toolbars are shown or hidden, made, renamed, deleted and reset.
// Every change takes effect at once and is kept.

#include "platform/Win32Types.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <vector>

class CRecentlyUsedMenus;
class CToolBarManager;
class QCheckBox;
class QAction;
class QComboBox;
class QListWidget;
class QPushButton;
class QTabWidget;

class CCustomizeDlg : public QDialog {
    Q_OBJECT
public:
    struct Category {
        QString name;
        std::vector<UINT> commands;
    };
    using CommandLookup = std::function<QAction *(UINT)>;

    // menus: the short menus' settings for the "选项" page; none, no such page.
    CCustomizeDlg(CToolBarManager *toolBars, CRecentlyUsedMenus *menus, std::vector<Category> categories,
        CommandLookup commands, QWidget *parent = nullptr);

    // The toolbar the "命令" page edits.
    void SelectToolBar(UINT id);
    UINT SelectedToolBar() const;
    // As the buttons of the "命令" page do, on the selected command and button.
    void OnAddCommand();
    void OnRemoveButton();
    void OnMoveButton(int step);
    void OnAddSeparator();
    // As the "工具栏" page's buttons do, with the name the user typed.
    UINT NewToolBar(const QString &name);
    bool RenameToolBar(UINT id, const QString &name);
    bool DeleteToolBar(UINT id);

    QTabWidget *Pages() const { return m_pPages; }
    QListWidget *CommandList() const { return m_pCommands; }
    QListWidget *ButtonList() const { return m_pButtons; }
    QListWidget *ToolBarList() const { return m_pToolBars; }
    QComboBox *CategoryBox() const { return m_pCategory; }
    QCheckBox *ShowAllBox() const { return m_pShowAll; }

private:
    QWidget *MakeCommandsPage();
    QWidget *MakeToolBarsPage();
    QWidget *MakeOptionsPage();
    void FillCommands();
    void FillButtons(int select = -1);
    void FillToolBars(UINT select = 0);
    void UpdateButtons();
    UINT ToolBarAt(int row) const;
    QString AskName(const QString &title, const QString &current);

    CToolBarManager *m_pToolBarSet;
    CRecentlyUsedMenus *m_pMenus;
    QCheckBox *m_pShowAll = nullptr;
    std::vector<Category> m_categories;
    CommandLookup m_commandOf;
    QTabWidget *m_pPages = nullptr;
    QComboBox *m_pToolBarBox = nullptr;
    QComboBox *m_pCategory = nullptr;
    QListWidget *m_pCommands = nullptr;
    QListWidget *m_pButtons = nullptr;
    QPushButton *m_pAdd = nullptr;
    QPushButton *m_pRemove = nullptr;
    QPushButton *m_pUp = nullptr;
    QPushButton *m_pDown = nullptr;
    QPushButton *m_pSeparator = nullptr;
    QPushButton *m_pResetButtons = nullptr;
    QListWidget *m_pToolBars = nullptr;
    QPushButton *m_pNew = nullptr;
    QPushButton *m_pRename = nullptr;
    QPushButton *m_pDelete = nullptr;
    QPushButton *m_pReset = nullptr;
    bool m_bFilling = false;
};
