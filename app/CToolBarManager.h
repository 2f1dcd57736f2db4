#pragma once
// The frame's toolbars: the standard one and up to ten the user makes
// (identifiers 0xE828..0xE831). Each shows the buttons the user chose, and at
// its end the customise button, whose menu adds or removes buttons in place
// and opens the customise dialog (command 126). Buttons can also be moved,
// taken off or carried to another toolbar by dragging them with Alt held.
// What the toolbars are and show is kept in the user's settings at every change
// and comes back at the next start.

#include "platform/Win32Types.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

class CToolBarManager : public QObject {
    Q_OBJECT
public:
    // The standard toolbar's identifier, which is also its View command.
    static constexpr UINT kStandardId = 0xE800;
    static constexpr UINT ID_VIEW_CUSTOMIZE = 126;
    static constexpr int kMaxUserToolBars = 10;
    // Where the state lives in the user's settings.
    static const QString kSettingsGroup;

    using CommandLookup = std::function<QAction *(UINT)>;

    // commands: the frame's action of a command identifier, null for none.
    // customize: the action of command 126. The standard toolbar gets standardButtons
    // until the user changes them.
    CToolBarManager(QMainWindow *frame, CommandLookup commands, QAction *customize, const QString &standardTitle,
        std::vector<UINT> standardButtons);

    // A command's text without its mnemonic and accelerator ("新建(&N)" reads "新建").
    static QString CommandText(const QAction *action);

    // Builds the toolbars as the user left them (the defaults the first time).
    void Load();
    // Writes everything to the settings; done at every change and when the frame closes.
    void Save() const;

    // Standard first, then the user's in the order they were made.
    std::vector<UINT> ToolBarIds() const;
    QToolBar *ToolBar(UINT id) const;
    QString Name(UINT id) const;
    bool IsUserToolBar(UINT id) const;
    int UserToolBarCount() const;

    // A new, empty and shown toolbar; 0 when ten exist already or the name is empty.
    UINT CreateUserToolBar(const QString &name);
    bool RenameUserToolBar(UINT id, const QString &name);
    bool DeleteUserToolBar(UINT id);

    // Command identifiers, 0 for a separator.
    std::vector<UINT> Buttons(UINT id) const;
    void SetButtons(UINT id, std::vector<UINT> buttons);
    // The standard toolbar gets its first buttons back, a user's toolbar is emptied.
    void ResetToolBar(UINT id);
    std::vector<UINT> DefaultButtons(UINT id) const;

    bool IsVisible(UINT id) const;
    void SetVisible(UINT id, bool visible);

    // One checkable item per toolbar, then "自定义...": View's submenu and the
    // menu of the toolbars' area.
    void FillToolBarsMenu(QMenu *menu);

    // A button dragged with Alt: moved to toolbar target before index (appended
    // when index is out of range), or taken off when target is 0.
    void MoveButton(UINT from, int fromIndex, UINT target, int index);

signals:
    void Changed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Bar {
        UINT id = 0;
        QString name;
        std::vector<UINT> buttons;
        QPointer<QToolBar> toolBar;
    };

    Bar *Find(UINT id);
    const Bar *Find(UINT id) const;
    QToolBar *MakeToolBar(Bar &bar);
    void Populate(Bar &bar);
    QMenu *MakeCustomizeMenu(UINT id, QWidget *parent);
    bool KnownCommand(UINT id) const;
    void ChangedNow();
    // The bar and button index under a point of a toolbar; index -1 for none.
    UINT BarOf(const QToolBar *toolBar) const;
    int InsertIndexAt(const QToolBar *toolBar, QPoint pos) const;

    QMainWindow *m_pFrame;
    CommandLookup m_commands;
    QPointer<QAction> m_pCustomize;
    std::vector<UINT> m_standardDefaults;
    std::vector<Bar> m_bars; // standard first
    bool m_bLoading = false;
    // An Alt-drag under way.
    QPointer<QToolBar> m_pDragFrom;
    int m_nDragIndex = -1;
    QPoint m_dragStart;
};
