// The toolbars the user arranges: the customise dialog, user toolbars, the
// customise button's menu, and all of it coming back after a restart.

#include "app/CCustomizeDlg.h"
#include "app/CRecentlyUsedMenus.h"
#include "app/CToolBarManager.h"
#include "tests/app/BrowserTest.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>

namespace {

class ToolBarCustomizeTest : public BrowserTest {
protected:
    void SetUp() override
    {
        QSettings().remove(CToolBarManager::kSettingsGroup);
        BrowserTest::SetUp();
    }
    void TearDown() override
    {
        BrowserTest::TearDown();
        QSettings().remove(CToolBarManager::kSettingsGroup);
    }
    // What the toolbar shows: command identifiers, 0 for a separator, without the customise button.
    static std::vector<UINT> Shown(const QToolBar *bar)
    {
        std::vector<UINT> ids;
        for (QAction *a : bar->actions())
            if (!qobject_cast<QWidgetAction *>(a))
                ids.push_back(a->isSeparator() ? 0 : a->data().toUInt());
        return ids;
    }
    // between: what happens to the settings while the program is not running.
    void Restart(const std::function<void()> &between = {})
    {
        m_frame->close();
        m_frame.reset();
        if (between)
            between();
        m_frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(m_frame->LoadFrame());
        m_frame->show();
    }
    CToolBarManager *Bars() const { return m_frame->ToolBars(); }
    QMenu *ViewMenu() const
    {
        for (QAction *a : m_frame->menuBar()->actions())
            if (a->menu() && a->text() == QStringLiteral("视图(&V)"))
                return a->menu();
        return nullptr;
    }
    static QListWidgetItem *Item(QListWidget *list, const QString &text)
    {
        const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }
    static std::vector<UINT> Standard()
    {
        return {CMainFrame::ID_FILE_NEW, CMainFrame::ID_FILE_SAVE, 0, CMainFrame::ID_EDIT_CUT, CMainFrame::ID_EDIT_COPY,
            CMainFrame::ID_EDIT_PASTE, 0, CMainFrame::ID_FILE_PRINT, CMainFrame::ID_APP_ABOUT};
    }
};

TEST_F(ToolBarCustomizeTest, DialogChoosesTheStandardToolbarsCommandsAndTheyStayAfterRestart)
{
    QToolBar *standard = Bars()->ToolBar(CToolBarManager::kStandardId);
    ASSERT_NE(standard, nullptr);
    EXPECT_EQ(standard->windowTitle(), QStringLiteral("标准"));
    EXPECT_EQ(Shown(standard), Standard());

    CCustomizeDlg dialog(Bars(), nullptr,
        {{QStringLiteral("文件"), {CMainFrame::ID_FILE_NEW, CMainFrame::ID_FILE_OPEN}}}, [this](UINT id) {
            for (QAction *a : m_frame->actions())
                if (a->data().toUInt() == id)
                    return a;
            return static_cast<QAction *>(nullptr);
        });
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("自定义"));
    EXPECT_EQ(dialog.SelectedToolBar(), CToolBarManager::kStandardId);
    // "打开" after "保存", the first separator taken off, "关于" moved up.
    dialog.ButtonList()->setCurrentRow(1);
    dialog.CommandList()->setCurrentItem(Item(dialog.CommandList(), QStringLiteral("打开...")));
    auto *add = dialog.findChild<QPushButton *>(QStringLiteral("AddButton"));
    ASSERT_TRUE(add->isEnabled());
    add->click();
    // A command already on the bar cannot be added twice.
    EXPECT_FALSE(add->isEnabled());
    dialog.ButtonList()->setCurrentRow(3);
    ASSERT_EQ(dialog.ButtonList()->currentItem()->data(Qt::UserRole).toUInt(), 0u);
    dialog.findChild<QPushButton *>(QStringLiteral("RemoveButton"))->click();
    dialog.ButtonList()->setCurrentRow(dialog.ButtonList()->count() - 1);
    dialog.findChild<QPushButton *>(QStringLiteral("UpButton"))->click();
    const std::vector<UINT> chosen {CMainFrame::ID_FILE_NEW, CMainFrame::ID_FILE_SAVE, CMainFrame::ID_FILE_OPEN,
        CMainFrame::ID_EDIT_CUT, CMainFrame::ID_EDIT_COPY, CMainFrame::ID_EDIT_PASTE, 0, CMainFrame::ID_APP_ABOUT,
        CMainFrame::ID_FILE_PRINT};
    EXPECT_EQ(Shown(standard), chosen);
    EXPECT_EQ(dialog.ButtonList()->currentRow(), 7);
    EXPECT_EQ(dialog.ButtonList()->item(7)->text(), QStringLiteral("关于 Tessaly..."));

    Restart();
    EXPECT_EQ(Shown(Bars()->ToolBar(CToolBarManager::kStandardId)), chosen);
    Bars()->ResetToolBar(CToolBarManager::kStandardId);
    Restart();
    EXPECT_EQ(Shown(Bars()->ToolBar(CToolBarManager::kStandardId)), Standard());
}

TEST_F(ToolBarCustomizeTest, UserToolbarIsCreatedHiddenAndRestoredAfterRestart)
{
    // Shown modally: the timer works in it and closes it.
    CCustomizeDlg *dialog = nullptr;
    QTimer::singleShot(0, [&] {
        dialog = m_frame->findChild<CCustomizeDlg *>();
        ASSERT_NE(dialog, nullptr);
        const UINT id = dialog->NewToolBar(QStringLiteral("我的工具"));
        EXPECT_EQ(id, 0xE828u);
        EXPECT_EQ(dialog->SelectedToolBar(), id);
        for (const QString &command : {QStringLiteral("窗口..."), QStringLiteral("老板键设置")}) {
            QListWidgetItem *item = nullptr;
            for (int i = 0; i < dialog->CategoryBox()->count() && !item; ++i) {
                dialog->CategoryBox()->setCurrentIndex(i);
                item = Item(dialog->CommandList(), command);
            }
            ASSERT_NE(item, nullptr) << command.toStdString();
            dialog->CommandList()->setCurrentItem(item);
            dialog->OnAddCommand();
        }
        // Hidden from the "工具栏" page's check box.
        QListWidgetItem *entry = Item(dialog->ToolBarList(), QStringLiteral("我的工具"));
        ASSERT_NE(entry, nullptr);
        entry->setCheckState(Qt::Unchecked);
        dialog->reject();
    });
    m_frame->OnCommand(CMainFrame::ID_VIEW_CUSTOMIZE);
    ASSERT_NE(dialog, nullptr);
    QToolBar *mine = Bars()->ToolBar(0xE828);
    ASSERT_NE(mine, nullptr);
    EXPECT_TRUE(mine->isHidden());
    EXPECT_EQ(Shown(mine), (std::vector<UINT> {CMainFrame::ID_WINDOW_MANAGER, CMainFrame::ID_BOSS_KEY_SETTINGS}));

    Restart();
    mine = Bars()->ToolBar(0xE828);
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(mine->windowTitle(), QStringLiteral("我的工具"));
    EXPECT_TRUE(mine->isHidden());
    EXPECT_EQ(Shown(mine), (std::vector<UINT> {CMainFrame::ID_WINDOW_MANAGER, CMainFrame::ID_BOSS_KEY_SETTINGS}));
    // It has its customise button, whose menu ends with "自定义..." (command 126).
    auto *customize = mine->findChild<QToolButton *>(QStringLiteral("CustomizeButton"));
    ASSERT_NE(customize, nullptr);
    emit customize->menu()->aboutToShow();
    ASSERT_FALSE(customize->menu()->actions().isEmpty());
    EXPECT_EQ(customize->menu()->actions().last()->text(), QStringLiteral("自定义..."));
    EXPECT_EQ(customize->menu()->actions().last()->data().toUInt(), 126u);

    // View's toolbars submenu lists it unchecked; choosing it shows it, and that too is kept.
    QMenu *view = ViewMenu();
    ASSERT_NE(view, nullptr);
    QMenu *toolBars = view->actions().first()->menu();
    ASSERT_NE(toolBars, nullptr);
    EXPECT_EQ(view->actions().first()->text(), QStringLiteral("工具栏和停靠窗口(&T)"));
    emit toolBars->aboutToShow();
    const QList<QAction *> items = toolBars->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0]->text(), QStringLiteral("标准"));
    EXPECT_TRUE(items[0]->isChecked());
    EXPECT_EQ(items[1]->text(), QStringLiteral("我的工具"));
    EXPECT_FALSE(items[1]->isChecked());
    EXPECT_TRUE(items[2]->isSeparator());
    EXPECT_EQ(items[3]->data().toUInt(), 126u);
    {
        // The toolbars' area offers the same (its menu is the frame's child until deleted here).
        const std::unique_ptr<QMenu> pane(m_frame->createPopupMenu());
        ASSERT_EQ(pane->actions().size(), 4);
        EXPECT_EQ(pane->actions()[1]->text(), QStringLiteral("我的工具"));
        EXPECT_EQ(pane->actions()[3]->data().toUInt(), 126u);
    }
    items[1]->trigger();
    EXPECT_FALSE(mine->isHidden());
    Restart();
    EXPECT_FALSE(Bars()->ToolBar(0xE828)->isHidden());

    // Renamed and deleted, for good.
    EXPECT_TRUE(Bars()->RenameUserToolBar(0xE828, QStringLiteral("常用")));
    Restart();
    EXPECT_EQ(Bars()->Name(0xE828), QStringLiteral("常用"));
    EXPECT_TRUE(Bars()->DeleteUserToolBar(0xE828));
    EXPECT_FALSE(Bars()->DeleteUserToolBar(CToolBarManager::kStandardId));
    Restart();
    EXPECT_EQ(Bars()->ToolBar(0xE828), nullptr);
    EXPECT_EQ(Bars()->ToolBarIds(), std::vector<UINT> {CToolBarManager::kStandardId});
}

TEST_F(ToolBarCustomizeTest, AtMostTenUserToolbarsAndIdentifiersAreReused)
{
    for (UINT i = 0; i < 10; ++i)
        EXPECT_EQ(Bars()->CreateUserToolBar(QStringLiteral("栏 %1").arg(i)), 0xE828 + i);
    EXPECT_EQ(Bars()->CreateUserToolBar(QStringLiteral("第十一")), 0u);
    EXPECT_EQ(Bars()->CreateUserToolBar(QStringLiteral("  ")), 0u);
    ASSERT_TRUE(Bars()->DeleteUserToolBar(0xE82B));
    EXPECT_EQ(Bars()->CreateUserToolBar(QStringLiteral("又一个")), 0xE82Bu);
    Restart();
    EXPECT_EQ(Bars()->UserToolBarCount(), 10);
    EXPECT_EQ(Bars()->Name(0xE82B), QStringLiteral("又一个"));
}

TEST_F(ToolBarCustomizeTest, CustomizeButtonAddsAndRemovesButtonsInPlace)
{
    QToolBar *standard = Bars()->ToolBar(CToolBarManager::kStandardId);
    auto *customize = standard->findChild<QToolButton *>(QStringLiteral("CustomizeButton"));
    ASSERT_NE(customize, nullptr);
    const auto buttonsMenu = [&] {
        emit customize->menu()->aboutToShow();
        return customize->menu()->actions().first()->menu();
    };
    QMenu *buttons = buttonsMenu();
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(customize->menu()->actions().first()->text(), QStringLiteral("添加或删除按钮(&A)"));
    QAction *copy = nullptr;
    for (QAction *a : buttons->actions())
        if (a->text() == QStringLiteral("复制"))
            copy = a;
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->isChecked());
    copy->trigger();
    std::vector<UINT> without = Standard();
    without.erase(without.begin() + 4);
    EXPECT_EQ(Shown(standard), without);
    // Put back where it was, not at the end.
    customize = standard->findChild<QToolButton *>(QStringLiteral("CustomizeButton"));
    for (QAction *a : buttonsMenu()->actions())
        if (a->text() == QStringLiteral("复制")) {
            EXPECT_FALSE(a->isChecked());
            a->trigger();
        }
    EXPECT_EQ(Shown(standard), Standard());
}

TEST_F(ToolBarCustomizeTest, AltDragMovesButtonsBetweenToolbarsAndOffThem)
{
    const UINT mine = Bars()->CreateUserToolBar(QStringLiteral("我的"));
    ASSERT_NE(mine, 0u);
    Bars()->MoveButton(CToolBarManager::kStandardId, 0, mine, 0); // "新建" over
    Bars()->MoveButton(CToolBarManager::kStandardId, 0, CToolBarManager::kStandardId, 3); // "保存" after "剪切"
    // The leading separator went with them.
    Bars()->MoveButton(CToolBarManager::kStandardId, 6, 0, -1); // "关于" dropped off
    EXPECT_EQ(Bars()->Buttons(mine), std::vector<UINT> {CMainFrame::ID_FILE_NEW});
    EXPECT_EQ(Bars()->Buttons(CToolBarManager::kStandardId),
        (std::vector<UINT> {CMainFrame::ID_EDIT_CUT, CMainFrame::ID_FILE_SAVE, CMainFrame::ID_EDIT_COPY,
            CMainFrame::ID_EDIT_PASTE, 0, CMainFrame::ID_FILE_PRINT}));
}

TEST_F(ToolBarCustomizeTest, DamagedSavedStateGivesWorkingToolbars)
{
    Restart([] {
        QSettings settings;
        settings.beginGroup(CToolBarManager::kSettingsGroup);
        settings.setValue(QStringLiteral("UserToolBars"), QStringLiteral("59432,59432,1,abc,59441,59442"));
        settings.setValue(QStringLiteral("ToolBar-E800/Buttons"), QStringLiteral("57600,,57603"));
        settings.setValue(QStringLiteral("ToolBar-E828/Buttons"), QStringLiteral("0,57600,0,0,126,65000,57600,0"));
        settings.setValue(QStringLiteral("ToolBar-E828/Name"), QString());
        settings.setValue(QStringLiteral("DockState"), QByteArray("\xff\x00garbage", 9));
    });
    // A list that is not one keeps the defaults; bad entries of a good list are dropped.
    EXPECT_EQ(Shown(Bars()->ToolBar(CToolBarManager::kStandardId)), Standard());
    EXPECT_EQ(Bars()->ToolBarIds(), (std::vector<UINT> {CToolBarManager::kStandardId, 0xE828, 0xE831}));
    EXPECT_EQ(Bars()->Buttons(0xE828), std::vector<UINT> {CMainFrame::ID_FILE_NEW});
    EXPECT_EQ(Bars()->Name(0xE828), QStringLiteral("自定义 1"));
}

TEST_F(ToolBarCustomizeTest, ShortMenusShowBasicAndUsedCommandsUntilExpanded)
{
    QSettings().remove(QStringLiteral("Workspace/Menus"));
    CRecentlyUsedMenus *menus = m_frame->RecentlyUsedMenus();
    ASSERT_NE(menus, nullptr);
    EXPECT_TRUE(menus->ShowAllCommands()); // full menus unless the user asks otherwise
    EXPECT_EQ(menus->BasicCommands(),
        (std::vector<UINT> {CMainFrame::ID_FILE_NEW, CMainFrame::ID_FILE_OPEN, CMainFrame::ID_FILE_SAVE,
            CMainFrame::ID_FILE_PRINT, CMainFrame::ID_APP_EXIT, CMainFrame::ID_EDIT_CUT, CMainFrame::ID_EDIT_PASTE,
            CMainFrame::ID_EDIT_UNDO, CMainFrame::ID_APP_ABOUT, CMainFrame::ID_VIEW_STATUS_BAR,
            CMainFrame::ID_VIEW_TOOLBAR, 213, 214, 215, 217, 216, 218}));
    ASSERT_NE(NewTab(), nullptr);
    QMenu *file = nullptr;
    for (QAction *a : m_frame->menuBar()->actions())
        if (a->menu() && a->text() == QStringLiteral("文件(&F)"))
            file = a->menu();
    ASSERT_NE(file, nullptr);
    const auto commands = [&] {
        QStringList texts;
        for (QAction *a : file->actions())
            if (!a->isSeparator() && a->isVisible())
                texts.append(a->text());
        return texts;
    };
    const QStringList full = commands();

    // Chosen on the dialog's "选项" page, and kept.
    CCustomizeDlg dialog(Bars(), menus, {}, [](UINT) { return static_cast<QAction *>(nullptr); });
    ASSERT_NE(dialog.ShowAllBox(), nullptr);
    dialog.ShowAllBox()->setChecked(false);
    EXPECT_FALSE(QSettings().value(QStringLiteral("Workspace/Menus/ShowAllCommands")).toBool());

    emit file->aboutToShow();
    EXPECT_EQ(commands(),
        (QStringList {QStringLiteral("新建(&N)"), QStringLiteral("保存(&S)"), QStringLiteral("最近的文件"),
            QStringLiteral("退出(&X)"), QStringLiteral("展开菜单(&E) ⌄")}));
    emit file->aboutToHide();
    EXPECT_EQ(commands(), full);

    // A command the user ran stays in the short menu, also after a restart.
    menus->Used(CMainFrame::ID_FILE_CLOSE);
    Restart();
    ASSERT_NE(NewTab(), nullptr);
    for (QAction *a : m_frame->menuBar()->actions())
        if (a->menu() && a->text() == QStringLiteral("文件(&F)"))
            file = a->menu();
    EXPECT_FALSE(m_frame->RecentlyUsedMenus()->ShowAllCommands());
    emit file->aboutToShow();
    EXPECT_TRUE(commands().contains(QStringLiteral("关闭(&C)")));
    EXPECT_FALSE(commands().contains(QStringLiteral("另存为(&A)...")));
    emit file->aboutToHide();
    m_frame->RecentlyUsedMenus()->ResetUsage();
    m_frame->RecentlyUsedMenus()->SetShowAllCommands(true);
    emit file->aboutToShow();
    EXPECT_EQ(commands(), full);
    emit file->aboutToHide();
}

} // namespace
