#include "app/CToolBarManager.h"

#include "util/ToolBarLayout.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QSettings>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

const QString CToolBarManager::kSettingsGroup = QStringLiteral("Workspace/ToolBars");

namespace {

const char kDragMime[] = "application/x-tessaly-toolbar-button";
const char kCustomizeButtonName[] = "CustomizeButton";
// More than any name shown on a toolbar's title needs.
constexpr int kMaxNameLength = 64;

QString BarKey(UINT id) { return QStringLiteral("ToolBar-") + QString::number(id, 16).toUpper(); }

QString PlainText(QString text)
{
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    if (tab >= 0)
        text.truncate(tab);
    // "新建(&N)" reads "新建"; "关于 Tessaly(&A)..." reads "关于 Tessaly...".
    static const QRegularExpression mnemonic(QStringLiteral("\\(&.\\)"));
    text.remove(mnemonic);
    return text.remove(QLatin1Char('&'));
}

// The settings file is text anyone may edit: a list written without its quotes reads as a list.
QString SettingText(const QVariant &value)
{
    return value.typeId() == QMetaType::QStringList ? value.toStringList().join(QLatin1Char(',')) : value.toString();
}

} // namespace

CToolBarManager::CToolBarManager(QMainWindow *frame, CommandLookup commands, QAction *customize,
    const QString &standardTitle, std::vector<UINT> standardButtons)
    : QObject(frame), m_pFrame(frame), m_commands(std::move(commands)), m_pCustomize(customize),
      m_standardDefaults(std::move(standardButtons))
{
    Bar standard;
    standard.id = kStandardId;
    standard.name = standardTitle;
    standard.buttons = m_standardDefaults;
    m_bars.push_back(std::move(standard));
}

QString CToolBarManager::CommandText(const QAction *action) { return action ? PlainText(action->text()) : QString(); }

bool CToolBarManager::KnownCommand(UINT id) const
{
    return id != ID_VIEW_CUSTOMIZE && m_commands && m_commands(id) != nullptr;
}

void CToolBarManager::Load()
{
    m_bLoading = true;
    QSettings settings;
    settings.beginGroup(kSettingsGroup);
    const auto known = [this](UINT id) { return KnownCommand(id); };
    const auto readButtons = [&](Bar &bar) {
        const QVariant saved = settings.value(BarKey(bar.id) + QStringLiteral("/Buttons"));
        if (!saved.isValid())
            return;
        if (auto buttons = ToolBarLayout::Parse(SettingText(saved).toStdU16String(), known))
            bar.buttons = std::move(*buttons);
    };
    readButtons(m_bars.front());
    // The user's toolbars in the order they were made; unknown or doubled identifiers are skipped.
    const QStringList users =
        SettingText(settings.value(QStringLiteral("UserToolBars"))).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &text : users) {
        bool ok = false;
        const UINT id = text.trimmed().toUInt(&ok);
        if (!ok || id < ToolBarLayout::kFirstUserToolBar || id > ToolBarLayout::kLastUserToolBar || Find(id))
            continue;
        Bar bar;
        bar.id = id;
        bar.name = settings.value(BarKey(id) + QStringLiteral("/Name")).toString().left(kMaxNameLength).trimmed();
        if (bar.name.isEmpty())
            bar.name = QStringLiteral("自定义 %1").arg(id - ToolBarLayout::kFirstUserToolBar + 1);
        readButtons(bar);
        m_bars.push_back(std::move(bar));
    }
    for (Bar &bar : m_bars) {
        MakeToolBar(bar);
        const QVariant visible = settings.value(BarKey(bar.id) + QStringLiteral("/Visible"));
        if (visible.isValid())
            bar.toolBar->setVisible(visible.toBool());
    }
    // Where the user docked them.
    const QByteArray dock = settings.value(QStringLiteral("DockState")).toByteArray();
    if (!dock.isEmpty())
        m_pFrame->restoreState(dock);
    settings.endGroup();
    m_bLoading = false;
}

void CToolBarManager::Save() const
{
    QSettings settings;
    settings.remove(kSettingsGroup);
    settings.beginGroup(kSettingsGroup);
    QStringList users;
    for (const Bar &bar : m_bars) {
        if (bar.id != kStandardId)
            users.append(QString::number(bar.id));
        settings.beginGroup(BarKey(bar.id));
        if (bar.id != kStandardId)
            settings.setValue(QStringLiteral("Name"), bar.name);
        settings.setValue(QStringLiteral("Buttons"), QString::fromStdU16String(ToolBarLayout::Format(bar.buttons)));
        settings.setValue(QStringLiteral("Visible"), bar.toolBar && !bar.toolBar->isHidden());
        settings.endGroup();
    }
    settings.setValue(QStringLiteral("UserToolBars"), users.join(QLatin1Char(',')));
    settings.setValue(QStringLiteral("DockState"), m_pFrame->saveState());
}

void CToolBarManager::ChangedNow()
{
    if (m_bLoading)
        return;
    Save();
    emit Changed();
}

CToolBarManager::Bar *CToolBarManager::Find(UINT id)
{
    const auto it = std::find_if(m_bars.begin(), m_bars.end(), [id](const Bar &b) { return b.id == id; });
    return it == m_bars.end() ? nullptr : &*it;
}

const CToolBarManager::Bar *CToolBarManager::Find(UINT id) const
{
    return const_cast<CToolBarManager *>(this)->Find(id);
}

std::vector<UINT> CToolBarManager::ToolBarIds() const
{
    std::vector<UINT> ids;
    for (const Bar &bar : m_bars)
        ids.push_back(bar.id);
    return ids;
}

QToolBar *CToolBarManager::ToolBar(UINT id) const
{
    const Bar *bar = Find(id);
    return bar ? bar->toolBar.data() : nullptr;
}

QString CToolBarManager::Name(UINT id) const
{
    const Bar *bar = Find(id);
    return bar ? bar->name : QString();
}

bool CToolBarManager::IsUserToolBar(UINT id) const { return id != kStandardId && Find(id) != nullptr; }

int CToolBarManager::UserToolBarCount() const { return static_cast<int>(m_bars.size()) - 1; }

QToolBar *CToolBarManager::MakeToolBar(Bar &bar)
{
    auto *toolBar = new QToolBar(bar.name, m_pFrame);
    toolBar->setObjectName(bar.id == kStandardId ? QStringLiteral("StandardToolBar") : BarKey(bar.id));
    toolBar->setProperty("tessalyToolBar", bar.id);
    toolBar->setAcceptDrops(true);
    toolBar->installEventFilter(this);
    bar.toolBar = toolBar;
    m_pFrame->addToolBar(Qt::TopToolBarArea, toolBar);
    Populate(bar);
    const UINT id = bar.id;
    connect(toolBar, &QToolBar::visibilityChanged, this, [this, id] {
        // A toolbar hidden with its window (the tray, the boss key) stays the user's choice.
        if (const Bar *b = Find(id); b && b->toolBar && m_pFrame->isVisible())
            ChangedNow();
    });
    connect(toolBar, &QToolBar::topLevelChanged, this, [this] { ChangedNow(); });
    return toolBar;
}

void CToolBarManager::Populate(Bar &bar)
{
    QToolBar *toolBar = bar.toolBar;
    if (!toolBar)
        return;
    toolBar->clear();
    for (UINT command : bar.buttons) {
        if (command == ToolBarLayout::kSeparator) {
            toolBar->addSeparator();
            continue;
        }
        QAction *action = m_commands(command);
        if (!action)
            continue;
        toolBar->addAction(action);
        if (QWidget *button = toolBar->widgetForAction(action))
            button->installEventFilter(this);
    }
    auto *customize = new QToolButton(toolBar);
    customize->setObjectName(QLatin1String(kCustomizeButtonName));
    customize->setText(QStringLiteral("»"));
    customize->setToolTip(m_pCustomize ? PlainText(m_pCustomize->text()) : QString());
    customize->setAutoRaise(true);
    customize->setPopupMode(QToolButton::InstantPopup);
    customize->setProperty("tessalyCommand", ID_VIEW_CUSTOMIZE);
    customize->setMenu(MakeCustomizeMenu(bar.id, customize));
    toolBar->addWidget(customize);
}

std::vector<UINT> CToolBarManager::DefaultButtons(UINT id) const
{
    return id == kStandardId ? m_standardDefaults : std::vector<UINT> {};
}

QMenu *CToolBarManager::MakeCustomizeMenu(UINT id, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    // Rebuilt each time: the buttons may have changed since.
    connect(menu, &QMenu::aboutToShow, this, [this, menu, id] {
        menu->clear();
        const Bar *bar = Find(id);
        if (!bar)
            return;
        QMenu *buttons = menu->addMenu(QStringLiteral("添加或删除按钮(&A)"));
        std::vector<UINT> offered = DefaultButtons(id);
        for (UINT command : bar->buttons)
            if (command != ToolBarLayout::kSeparator &&
                std::find(offered.begin(), offered.end(), command) == offered.end())
                offered.push_back(command);
        for (UINT command : offered) {
            QAction *source = command != ToolBarLayout::kSeparator ? m_commands(command) : nullptr;
            if (!source)
                continue;
            QAction *item = buttons->addAction(source->icon(), PlainText(source->text()));
            item->setCheckable(true);
            const std::vector<UINT> &now = bar->buttons;
            item->setChecked(std::find(now.begin(), now.end(), command) != now.end());
            connect(item, &QAction::toggled, this, [this, id, command](bool on) {
                std::vector<UINT> next = Buttons(id);
                const auto at = std::find(next.begin(), next.end(), command);
                if (!on && at != next.end()) {
                    next.erase(at);
                } else if (on && at == next.end()) {
                    // Where the defaults have it, after the buttons that come before it there.
                    const std::vector<UINT> defaults = DefaultButtons(id);
                    auto pos = next.end();
                    const auto d = std::find(defaults.begin(), defaults.end(), command);
                    if (d != defaults.end())
                        for (auto after = d + 1; after != defaults.end(); ++after)
                            if (*after != ToolBarLayout::kSeparator)
                                if (auto found = std::find(next.begin(), next.end(), *after); found != next.end()) {
                                    pos = found;
                                    break;
                                }
                    next.insert(pos, command);
                }
                SetButtons(id, next);
            });
        }
        buttons->addSeparator();
        QAction *reset = buttons->addAction(QStringLiteral("重置工具栏(&R)"));
        connect(reset, &QAction::triggered, this, [this, id] { ResetToolBar(id); });
        if (m_pCustomize)
            menu->addAction(m_pCustomize);
    });
    return menu;
}

UINT CToolBarManager::CreateUserToolBar(const QString &name)
{
    const QString trimmed = name.trimmed().left(kMaxNameLength);
    std::vector<UINT> taken = ToolBarIds();
    const UINT id = ToolBarLayout::FreeUserToolBarId(taken);
    if (trimmed.isEmpty() || id == 0 || UserToolBarCount() >= kMaxUserToolBars)
        return 0;
    Bar bar;
    bar.id = id;
    bar.name = trimmed;
    m_bars.push_back(std::move(bar));
    QToolBar *toolBar = MakeToolBar(m_bars.back());
    toolBar->show();
    ChangedNow();
    return id;
}

bool CToolBarManager::RenameUserToolBar(UINT id, const QString &name)
{
    Bar *bar = IsUserToolBar(id) ? Find(id) : nullptr;
    const QString trimmed = name.trimmed().left(kMaxNameLength);
    if (!bar || trimmed.isEmpty())
        return false;
    bar->name = trimmed;
    if (bar->toolBar)
        bar->toolBar->setWindowTitle(trimmed);
    ChangedNow();
    return true;
}

bool CToolBarManager::DeleteUserToolBar(UINT id)
{
    if (!IsUserToolBar(id))
        return false;
    const auto it = std::find_if(m_bars.begin(), m_bars.end(), [id](const Bar &b) { return b.id == id; });
    QPointer<QToolBar> toolBar = it->toolBar;
    m_bars.erase(it);
    if (toolBar) {
        m_pFrame->removeToolBar(toolBar);
        toolBar->deleteLater();
    }
    ChangedNow();
    return true;
}

std::vector<UINT> CToolBarManager::Buttons(UINT id) const
{
    const Bar *bar = Find(id);
    return bar ? bar->buttons : std::vector<UINT> {};
}

void CToolBarManager::SetButtons(UINT id, std::vector<UINT> buttons)
{
    Bar *bar = Find(id);
    if (!bar)
        return;
    // Read back as it would be after a restart.
    bar->buttons = ToolBarLayout::Parse(ToolBarLayout::Format(buttons), [this](UINT command) {
        return KnownCommand(command);
    }).value_or(std::vector<UINT> {});
    Populate(*bar);
    ChangedNow();
}

void CToolBarManager::ResetToolBar(UINT id) { SetButtons(id, DefaultButtons(id)); }

bool CToolBarManager::IsVisible(UINT id) const
{
    const QToolBar *toolBar = ToolBar(id);
    return toolBar && !toolBar->isHidden();
}

void CToolBarManager::SetVisible(UINT id, bool visible)
{
    if (QToolBar *toolBar = ToolBar(id)) {
        toolBar->setVisible(visible);
        ChangedNow();
    }
}

void CToolBarManager::FillToolBarsMenu(QMenu *menu)
{
    menu->clear();
    for (const Bar &bar : m_bars) {
        QAction *item = menu->addAction(bar.name);
        item->setCheckable(true);
        item->setChecked(bar.toolBar && !bar.toolBar->isHidden());
        item->setData(bar.id);
        const UINT id = bar.id;
        connect(item, &QAction::triggered, this, [this, id](bool on) { SetVisible(id, on); });
    }
    menu->addSeparator();
    if (m_pCustomize)
        menu->addAction(m_pCustomize);
}

UINT CToolBarManager::BarOf(const QToolBar *toolBar) const
{
    for (const Bar &bar : m_bars)
        if (bar.toolBar == toolBar)
            return bar.id;
    return 0;
}

int CToolBarManager::InsertIndexAt(const QToolBar *toolBar, QPoint pos) const
{
    const Bar *bar = Find(BarOf(toolBar));
    if (!bar)
        return -1;
    // Button i of the bar is action i of the toolbar; the customise button comes last.
    const QList<QAction *> actions = toolBar->actions();
    const bool vertical = toolBar->orientation() == Qt::Vertical;
    for (int i = 0; i < static_cast<int>(bar->buttons.size()) && i < actions.size(); ++i) {
        const QRect r = toolBar->actionGeometry(actions[i]);
        if (vertical ? pos.y() < r.center().y() : pos.x() < r.center().x())
            return i;
    }
    return static_cast<int>(bar->buttons.size());
}

void CToolBarManager::MoveButton(UINT from, int fromIndex, UINT target, int index)
{
    Bar *source = Find(from);
    if (!source || fromIndex < 0 || fromIndex >= static_cast<int>(source->buttons.size()))
        return;
    const UINT command = source->buttons[static_cast<std::size_t>(fromIndex)];
    std::vector<UINT> left = source->buttons;
    left.erase(left.begin() + fromIndex);
    if (target == from) {
        if (index > fromIndex)
            --index;
        if (index < 0 || index > static_cast<int>(left.size()))
            index = static_cast<int>(left.size());
        left.insert(left.begin() + index, command);
        SetButtons(from, left);
        return;
    }
    SetButtons(from, left);
    if (Bar *dest = target ? Find(target) : nullptr) {
        std::vector<UINT> next = dest->buttons;
        next.erase(std::remove(next.begin(), next.end(), command), next.end());
        if (index < 0 || index > static_cast<int>(next.size()))
            index = static_cast<int>(next.size());
        next.insert(next.begin() + index, command);
        SetButtons(target, next);
    }
}

bool CToolBarManager::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        auto *button = qobject_cast<QToolButton *>(watched);
        auto *toolBar = button ? qobject_cast<QToolBar *>(button->parentWidget()) : nullptr;
        if (!toolBar || mouse->button() != Qt::LeftButton || !(mouse->modifiers() & Qt::AltModifier))
            return false;
        m_pDragFrom = toolBar;
        m_nDragIndex = static_cast<int>(toolBar->actions().indexOf(button->defaultAction()));
        m_dragStart = mouse->globalPosition().toPoint();
        return true; // Alt+click arranges, it does not run the command
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (!m_pDragFrom || m_nDragIndex < 0 || !(mouse->buttons() & Qt::LeftButton))
            return false;
        if ((mouse->globalPosition().toPoint() - m_dragStart).manhattanLength() < QApplication::startDragDistance())
            return true;
        const UINT from = BarOf(m_pDragFrom);
        const int index = std::exchange(m_nDragIndex, -1);
        auto *drag = new QDrag(watched);
        auto *data = new QMimeData;
        data->setData(QLatin1String(kDragMime), QByteArray::number(from) + ',' + QByteArray::number(index));
        drag->setMimeData(data);
        if (auto *button = qobject_cast<QToolButton *>(watched))
            drag->setPixmap(button->grab());
        // Dropped anywhere but on a toolbar: the button is taken off.
        // Later: the button being dragged goes away with its toolbar's buttons.
        if (drag->exec(Qt::MoveAction) == Qt::IgnoreAction)
            QMetaObject::invokeMethod(
                this, [this, from, index] { MoveButton(from, index, 0, -1); }, Qt::QueuedConnection);
        m_pDragFrom = nullptr;
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (m_pDragFrom) {
            m_pDragFrom = nullptr;
            m_nDragIndex = -1;
            return true;
        }
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        if (!qobject_cast<QToolBar *>(watched) || !drag->mimeData()->hasFormat(QLatin1String(kDragMime)))
            return false;
        drag->setDropAction(Qt::MoveAction);
        drag->accept();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        auto *toolBar = qobject_cast<QToolBar *>(watched);
        if (!toolBar || !drop->mimeData()->hasFormat(QLatin1String(kDragMime)))
            return false;
        const QList<QByteArray> fields = drop->mimeData()->data(QLatin1String(kDragMime)).split(',');
        if (fields.size() != 2)
            return false;
        drop->setDropAction(Qt::MoveAction);
        drop->accept();
        const UINT from = fields[0].toUInt();
        const int index = fields[1].toInt();
        const UINT target = BarOf(toolBar);
        const int at = InsertIndexAt(toolBar, drop->position().toPoint());
        // After the drag has finished with the button's widget.
        QMetaObject::invokeMethod(
            this, [this, from, index, target, at] { MoveButton(from, index, target, at); }, Qt::QueuedConnection);
        return true;
    }
    default:
        return false;
    }
}
