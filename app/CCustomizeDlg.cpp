#include "app/CCustomizeDlg.h"

#include "app/CRecentlyUsedMenus.h"
#include "app/CToolBarManager.h"
#include "util/ToolBarLayout.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kSeparatorText = QStringLiteral("—— 分隔符 ——");

} // namespace

CCustomizeDlg::CCustomizeDlg(CToolBarManager *toolBars, CRecentlyUsedMenus *menus, std::vector<Category> categories,
    CommandLookup commands, QWidget *parent)
    : QDialog(parent), m_pToolBarSet(toolBars), m_pMenus(menus), m_categories(std::move(categories)),
      m_commandOf(std::move(commands))
{
    setWindowTitle(QStringLiteral("自定义"));
    // Everything the menus offer, once, after the menus one by one.
    Category all;
    all.name = QStringLiteral("所有命令");
    for (const Category &category : m_categories)
        for (UINT id : category.commands)
            if (std::find(all.commands.begin(), all.commands.end(), id) == all.commands.end())
                all.commands.push_back(id);
    m_categories.push_back(std::move(all));

    m_pPages = new QTabWidget(this);
    m_pPages->addTab(MakeCommandsPage(), QStringLiteral("命令(&C)"));
    m_pPages->addTab(MakeToolBarsPage(), QStringLiteral("工具栏(&B)"));
    if (m_pMenus)
        m_pPages->addTab(MakeOptionsPage(), QStringLiteral("选项(&O)"));
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *close = buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
    close->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pPages);
    layout->addWidget(buttons);

    connect(m_pToolBarSet, &CToolBarManager::Changed, this, [this] {
        if (!m_bFilling)
            FillToolBars(SelectedToolBar());
    });
    FillToolBars(CToolBarManager::kStandardId);
    FillCommands();
    resize(560, 420);
}

QWidget *CCustomizeDlg::MakeCommandsPage()
{
    auto *page = new QWidget(this);
    auto *grid = new QGridLayout(page);
    m_pToolBarBox = new QComboBox(page);
    m_pToolBarBox->setObjectName(QStringLiteral("ToolBarBox"));
    auto *toolBarLabel = new QLabel(QStringLiteral("工具栏(&T):"), page);
    toolBarLabel->setBuddy(m_pToolBarBox);
    grid->addWidget(toolBarLabel, 0, 0);
    grid->addWidget(m_pToolBarBox, 0, 1, 1, 3);

    m_pCategory = new QComboBox(page);
    m_pCategory->setObjectName(QStringLiteral("CategoryBox"));
    for (const Category &category : m_categories)
        m_pCategory->addItem(category.name);
    auto *categoryLabel = new QLabel(QStringLiteral("类别(&G):"), page);
    categoryLabel->setBuddy(m_pCategory);
    grid->addWidget(categoryLabel, 1, 0);
    grid->addWidget(m_pCategory, 1, 1);

    m_pCommands = new QListWidget(page);
    m_pCommands->setObjectName(QStringLiteral("CommandList"));
    // Commands with and without pictures in rows of one height.
    m_pCommands->setIconSize(QSize(16, 16));
    m_pCommands->setUniformItemSizes(true);
    auto *commandsLabel = new QLabel(QStringLiteral("命令(&D):"), page);
    commandsLabel->setBuddy(m_pCommands);
    grid->addWidget(commandsLabel, 2, 0, 1, 2);
    grid->addWidget(m_pCommands, 3, 0, 1, 2);

    auto *middle = new QVBoxLayout;
    const auto button = [&](const QString &text, const char *name) {
        auto *b = new QPushButton(text, page);
        b->setObjectName(QLatin1String(name));
        middle->addWidget(b);
        return b;
    };
    m_pAdd = button(QStringLiteral("添加(&A) >"), "AddButton");
    m_pRemove = button(QStringLiteral("< 删除(&R)"), "RemoveButton");
    middle->addSpacing(8);
    m_pUp = button(QStringLiteral("上移(&U)"), "UpButton");
    m_pDown = button(QStringLiteral("下移(&W)"), "DownButton");
    m_pSeparator = button(QStringLiteral("分隔符(&S)"), "SeparatorButton");
    middle->addSpacing(8);
    m_pResetButtons = button(QStringLiteral("重置(&E)"), "ResetButtonsButton");
    middle->addStretch(1);
    grid->addLayout(middle, 3, 2);

    m_pButtons = new QListWidget(page);
    m_pButtons->setObjectName(QStringLiteral("ButtonList"));
    m_pButtons->setIconSize(QSize(16, 16));
    m_pButtons->setUniformItemSizes(true);
    auto *buttonsLabel = new QLabel(QStringLiteral("工具栏按钮(&O):"), page);
    buttonsLabel->setBuddy(m_pButtons);
    grid->addWidget(buttonsLabel, 2, 3);
    grid->addWidget(m_pButtons, 3, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    connect(m_pToolBarBox, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_bFilling)
            FillButtons();
    });
    connect(m_pCategory, &QComboBox::currentIndexChanged, this, [this] { FillCommands(); });
    connect(m_pCommands, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    connect(m_pCommands, &QListWidget::itemDoubleClicked, this, [this] { OnAddCommand(); });
    connect(m_pButtons, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    connect(m_pAdd, &QPushButton::clicked, this, [this] { OnAddCommand(); });
    connect(m_pRemove, &QPushButton::clicked, this, [this] { OnRemoveButton(); });
    connect(m_pUp, &QPushButton::clicked, this, [this] { OnMoveButton(-1); });
    connect(m_pDown, &QPushButton::clicked, this, [this] { OnMoveButton(1); });
    connect(m_pSeparator, &QPushButton::clicked, this, [this] { OnAddSeparator(); });
    connect(m_pResetButtons, &QPushButton::clicked, this, [this] {
        m_pToolBarSet->ResetToolBar(SelectedToolBar());
        FillButtons();
    });
    return page;
}

QWidget *CCustomizeDlg::MakeToolBarsPage()
{
    auto *page = new QWidget(this);
    auto *layout = new QHBoxLayout(page);
    auto *left = new QVBoxLayout;
    m_pToolBars = new QListWidget(page);
    m_pToolBars->setObjectName(QStringLiteral("ToolBarList"));
    auto *label = new QLabel(QStringLiteral("工具栏(&A):"), page);
    label->setBuddy(m_pToolBars);
    left->addWidget(label);
    left->addWidget(m_pToolBars);
    layout->addLayout(left, 1);
    auto *right = new QVBoxLayout;
    const auto button = [&](const QString &text, const char *name) {
        auto *b = new QPushButton(text, page);
        b->setObjectName(QLatin1String(name));
        right->addWidget(b);
        return b;
    };
    right->addSpacing(label->sizeHint().height());
    m_pNew = button(QStringLiteral("新建(&N)..."), "NewToolBarButton");
    m_pRename = button(QStringLiteral("重命名(&M)..."), "RenameToolBarButton");
    m_pDelete = button(QStringLiteral("删除(&D)"), "DeleteToolBarButton");
    m_pReset = button(QStringLiteral("重置(&R)"), "ResetToolBarButton");
    right->addStretch(1);
    layout->addLayout(right);

    connect(m_pToolBars, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        if (m_bFilling)
            return;
        m_bFilling = true;
        m_pToolBarSet->SetVisible(item->data(Qt::UserRole).toUInt(), item->checkState() == Qt::Checked);
        m_bFilling = false;
    });
    connect(m_pToolBars, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    connect(m_pNew, &QPushButton::clicked, this, [this] {
        const QString name = AskName(
            QStringLiteral("新建工具栏"), QStringLiteral("自定义 %1").arg(m_pToolBarSet->UserToolBarCount() + 1));
        if (!name.isEmpty())
            NewToolBar(name);
    });
    connect(m_pRename, &QPushButton::clicked, this, [this] {
        const UINT id = ToolBarAt(m_pToolBars->currentRow());
        const QString name = AskName(QStringLiteral("重命名工具栏"), m_pToolBarSet->Name(id));
        if (!name.isEmpty())
            RenameToolBar(id, name);
    });
    connect(m_pDelete, &QPushButton::clicked, this, [this] { DeleteToolBar(ToolBarAt(m_pToolBars->currentRow())); });
    connect(m_pReset, &QPushButton::clicked, this,
        [this] { m_pToolBarSet->ResetToolBar(ToolBarAt(m_pToolBars->currentRow())); });
    return page;
}

QWidget *CCustomizeDlg::MakeOptionsPage()
{
    auto *page = new QWidget(this);
    auto *layout = new QVBoxLayout(page);
    auto *group = new QGroupBox(QStringLiteral("个性化菜单和工具栏"), page);
    auto *inner = new QVBoxLayout(group);
    m_pShowAll = new QCheckBox(QStringLiteral("始终显示完整菜单(&N)"), group);
    m_pShowAll->setObjectName(QStringLiteral("ShowAllBox"));
    m_pShowAll->setChecked(m_pMenus->ShowAllCommands());
    auto *note = new QLabel(QStringLiteral("不选时，菜单先只显示基本命令和最近用过的命令，"
                                           "点菜单末尾的“展开菜单”显示其余命令。"),
        group);
    note->setWordWrap(true);
    auto *reset = new QPushButton(QStringLiteral("重置菜单使用数据(&R)"), group);
    reset->setObjectName(QStringLiteral("ResetUsageButton"));
    inner->addWidget(m_pShowAll);
    inner->addWidget(note);
    inner->addWidget(reset, 0, Qt::AlignLeft);
    layout->addWidget(group);
    layout->addStretch(1);
    connect(m_pShowAll, &QCheckBox::toggled, this, [this](bool on) { m_pMenus->SetShowAllCommands(on); });
    connect(reset, &QPushButton::clicked, this, [this] { m_pMenus->ResetUsage(); });
    return page;
}

QString CCustomizeDlg::AskName(const QString &title, const QString &current)
{
    QInputDialog ask(this);
    ask.setWindowTitle(title);
    ask.setLabelText(QStringLiteral("工具栏名称(&T):"));
    ask.setTextValue(current);
    ask.setOkButtonText(QStringLiteral("确定"));
    ask.setCancelButtonText(QStringLiteral("取消"));
    return ask.exec() == QDialog::Accepted ? ask.textValue().trimmed() : QString();
}

UINT CCustomizeDlg::ToolBarAt(int row) const
{
    const QListWidgetItem *item = row >= 0 ? m_pToolBars->item(row) : nullptr;
    return item ? item->data(Qt::UserRole).toUInt() : 0;
}

UINT CCustomizeDlg::SelectedToolBar() const { return m_pToolBarBox->currentData().toUInt(); }

void CCustomizeDlg::SelectToolBar(UINT id)
{
    const int index = m_pToolBarBox->findData(id);
    if (index >= 0)
        m_pToolBarBox->setCurrentIndex(index);
}

void CCustomizeDlg::FillToolBars(UINT select)
{
    m_bFilling = true;
    m_pToolBarBox->clear();
    m_pToolBars->clear();
    for (UINT id : m_pToolBarSet->ToolBarIds()) {
        m_pToolBarBox->addItem(m_pToolBarSet->Name(id), id);
        auto *item = new QListWidgetItem(m_pToolBarSet->Name(id), m_pToolBars);
        item->setData(Qt::UserRole, id);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(m_pToolBarSet->IsVisible(id) ? Qt::Checked : Qt::Unchecked);
        if (id == select)
            m_pToolBars->setCurrentItem(item);
    }
    int index = m_pToolBarBox->findData(select);
    m_pToolBarBox->setCurrentIndex(index >= 0 ? index : 0);
    if (!m_pToolBars->currentItem())
        m_pToolBars->setCurrentRow(0);
    m_bFilling = false;
    FillButtons(m_pButtons->currentRow());
}

void CCustomizeDlg::FillCommands()
{
    m_pCommands->clear();
    const int index = m_pCategory->currentIndex();
    if (index < 0 || index >= static_cast<int>(m_categories.size()))
        return;
    for (UINT id : m_categories[static_cast<std::size_t>(index)].commands) {
        const QAction *action = m_commandOf(id);
        if (!action)
            continue;
        auto *item = new QListWidgetItem(action->icon(), CToolBarManager::CommandText(action), m_pCommands);
        item->setData(Qt::UserRole, id);
    }
    m_pCommands->setCurrentRow(0);
    UpdateButtons();
}

void CCustomizeDlg::FillButtons(int select)
{
    m_pButtons->clear();
    for (UINT id : m_pToolBarSet->Buttons(SelectedToolBar())) {
        const QAction *action = id == ToolBarLayout::kSeparator ? nullptr : m_commandOf(id);
        auto *item = action ? new QListWidgetItem(action->icon(), CToolBarManager::CommandText(action), m_pButtons)
                            : new QListWidgetItem(kSeparatorText, m_pButtons);
        item->setData(Qt::UserRole, id);
    }
    if (m_pButtons->count() > 0)
        m_pButtons->setCurrentRow(std::clamp(select, 0, m_pButtons->count() - 1));
    UpdateButtons();
}

void CCustomizeDlg::UpdateButtons()
{
    const int row = m_pButtons->currentRow();
    const QListWidgetItem *command = m_pCommands->currentItem();
    const std::vector<UINT> buttons = m_pToolBarSet->Buttons(SelectedToolBar());
    const bool onBar =
        command && std::find(buttons.begin(), buttons.end(), command->data(Qt::UserRole).toUInt()) != buttons.end();
    m_pAdd->setEnabled(command && !onBar && buttons.size() < ToolBarLayout::kMaxButtons);
    m_pRemove->setEnabled(row >= 0);
    m_pUp->setEnabled(row > 0);
    m_pDown->setEnabled(row >= 0 && row + 1 < m_pButtons->count());
    m_pSeparator->setEnabled(row >= 0 && buttons.size() < ToolBarLayout::kMaxButtons);
    const UINT toolBar = ToolBarAt(m_pToolBars->currentRow());
    const bool user = m_pToolBarSet->IsUserToolBar(toolBar);
    m_pNew->setEnabled(m_pToolBarSet->UserToolBarCount() < CToolBarManager::kMaxUserToolBars);
    m_pRename->setEnabled(user);
    m_pDelete->setEnabled(user);
    m_pReset->setEnabled(toolBar != 0);
}

void CCustomizeDlg::OnAddCommand()
{
    const QListWidgetItem *command = m_pCommands->currentItem();
    if (!command || !m_pAdd->isEnabled())
        return;
    std::vector<UINT> buttons = m_pToolBarSet->Buttons(SelectedToolBar());
    // After the chosen button, or at the end.
    const int row = m_pButtons->currentRow();
    const int at = row >= 0 ? row + 1 : static_cast<int>(buttons.size());
    buttons.insert(buttons.begin() + at, command->data(Qt::UserRole).toUInt());
    m_bFilling = true;
    m_pToolBarSet->SetButtons(SelectedToolBar(), buttons);
    m_bFilling = false;
    FillButtons(at);
}

void CCustomizeDlg::OnRemoveButton()
{
    const int row = m_pButtons->currentRow();
    std::vector<UINT> buttons = m_pToolBarSet->Buttons(SelectedToolBar());
    if (row < 0 || row >= static_cast<int>(buttons.size()))
        return;
    buttons.erase(buttons.begin() + row);
    m_bFilling = true;
    m_pToolBarSet->SetButtons(SelectedToolBar(), buttons);
    m_bFilling = false;
    FillButtons(row);
}

void CCustomizeDlg::OnMoveButton(int step)
{
    const int row = m_pButtons->currentRow();
    std::vector<UINT> buttons = m_pToolBarSet->Buttons(SelectedToolBar());
    const int to = row + step;
    if (row < 0 || to < 0 || row >= static_cast<int>(buttons.size()) || to >= static_cast<int>(buttons.size()))
        return;
    std::swap(buttons[static_cast<std::size_t>(row)], buttons[static_cast<std::size_t>(to)]);
    m_bFilling = true;
    m_pToolBarSet->SetButtons(SelectedToolBar(), buttons);
    m_bFilling = false;
    // Two separators meeting become one; keep the chosen button chosen.
    const std::vector<UINT> now = m_pToolBarSet->Buttons(SelectedToolBar());
    const UINT moved = buttons[static_cast<std::size_t>(to)];
    const auto it = std::find(now.begin(), now.end(), moved);
    FillButtons(moved != ToolBarLayout::kSeparator && it != now.end() ? static_cast<int>(it - now.begin()) : to);
}

void CCustomizeDlg::OnAddSeparator()
{
    const int row = m_pButtons->currentRow();
    std::vector<UINT> buttons = m_pToolBarSet->Buttons(SelectedToolBar());
    if (row < 0 || row >= static_cast<int>(buttons.size()))
        return;
    buttons.insert(buttons.begin() + row + 1, ToolBarLayout::kSeparator);
    m_bFilling = true;
    m_pToolBarSet->SetButtons(SelectedToolBar(), buttons);
    m_bFilling = false;
    FillButtons(row + 1);
}

UINT CCustomizeDlg::NewToolBar(const QString &name)
{
    const UINT id = m_pToolBarSet->CreateUserToolBar(name);
    if (id) {
        FillToolBars(id);
        SelectToolBar(id);
    }
    return id;
}

bool CCustomizeDlg::RenameToolBar(UINT id, const QString &name)
{
    const bool ok = m_pToolBarSet->RenameUserToolBar(id, name);
    FillToolBars(id);
    return ok;
}

bool CCustomizeDlg::DeleteToolBar(UINT id)
{
    const bool ok = m_pToolBarSet->DeleteUserToolBar(id);
    FillToolBars(CToolBarManager::kStandardId);
    return ok;
}
