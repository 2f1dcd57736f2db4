#include "app/CMainFrame.h"

#include "app/CAboutDlg.h"
#include "app/CApplicationLook.h"
#include "app/CBossKey.h"
#include "app/CChildFrame.h"
#include "app/CContainers.h"
#include "app/CContainersDlg.h"
#include "app/CCustomizeDlg.h"
#include "app/CDocumentTabs.h"
#include "app/CNewIsolatedTabDlg.h"
#include "app/CRecentlyUsedMenus.h"
#include "app/CSetHotKey.h"
#include "app/CSplitTracker.h"
#include "app/CToolBarIcons.h"
#include "app/CToolBarManager.h"
#include "app/CUnattendedSettings.h"
#include "app/CVellumApp.h"
#include "app/CVellumDoc.h"
#include "app/CVellumPage.h"
#include "app/CVellumView.h"
#include "app/CWindowsDialog.h"

#include "platform/Resource.h"
#include "platform/UserInterface.h"
#include "platform/Window.h"
#include "platform/qt/MenuTemplate.h"
#include "platform/qt/WindowBinding.h"
#include "platform/qt/X11Keyboard.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QWebEnginePage>

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>

namespace {

const QString kRecentGroup = QStringLiteral("Recent File List");

// X11 modifier state bits of the lock keys.
constexpr quint32 kCapsLockMask = 0x02;
constexpr quint32 kNumLockMask = 0x10;

QString RecentText(int index, const QString &path) { return QStringLiteral("&%1 %2").arg(index + 1).arg(path); }

} // namespace

CMainFrame::CMainFrame(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Tessaly"));
    WindowBinding::Options options;
    options.forwardSize = true;
    m_window = std::make_unique<WindowBinding>(
        this, u"CMainFrame", nullptr,
        [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) { return OnMessage(message, wParam, lParam); },
        nullptr, options);
    CApplicationLook::ApplyInterfaceFonts(this);
    m_nLookId = static_cast<UINT>(CApplicationLook::ReadStored());
}

CMainFrame::~CMainFrame()
{
    qApp->removeEventFilter(this);
    m_bClosing = true;
    if (m_pTabs)
        for (CChildFrame *frame : m_pTabs->Frames())
            CloseFrame(frame);
    m_TrayIcon.RemoveIcon();
    m_window.reset();
}

HWND CMainFrame::GetSafeHwnd() const { return m_window ? m_window->Handle() : nullptr; }

bool CMainFrame::LoadFrame()
{
    SetApplicationLook(m_nLookId);
    m_pTabs = new CDocumentTabs(this);
    setCentralWidget(m_pTabs);
    connect(m_pTabs, &CDocumentTabs::CloseRequested, this, &CMainFrame::CloseFrame);
    connect(m_pTabs, &CDocumentTabs::CountChanged, this, [this] { UpdateMenu(); });
    connect(m_pTabs, &CDocumentTabs::ActiveFrameChanged, this, &CMainFrame::OnActiveFrameChanged);

    if (!BuildMenus())
        return false;
    UpdateLookMenu();
    BuildToolBar();
    BuildStatusBar();
    {
        QSettings settings;
        settings.beginGroup(kRecentGroup);
        for (int i = 0; i < kRecentFileCount; ++i) {
            const QString path = settings.value(QStringLiteral("File%1").arg(i + 1)).toString();
            if (!path.isEmpty())
                m_recentFiles.append(path);
        }
    }
    UpdateRecentFiles();
    UpdateMenu();
    qApp->installEventFilter(this);
    resize(1024, 700);
    CBossKey::RegisterBossKey(0, 0, GetSafeHwnd());
    return true;
}

QAction *CMainFrame::AddCommand(UINT id, const QString &text, const QKeySequence &shortcut)
{
    auto *action = new QAction(text, this);
    action->setData(id);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    if (!text.isEmpty()) {
        // On a toolbar: "打开" for "打开(&O)...", and a tip naming it in the bold font.
        action->setIconText(CToolBarManager::CommandText(action));
        action->setToolTip(CApplicationLook::ToolTipText(CToolBarManager::CommandText(action), shortcut));
    }
    connect(action, &QAction::triggered, this, [this, id] {
        if (m_pRecentMenus)
            m_pRecentMenus->Used(id);
        OnCommand(id);
    });
    m_commands[id] = action;
    addAction(action); // shortcuts work whichever menu is shown
    return action;
}

bool CMainFrame::BuildMenus()
{
    const std::optional<MenuTemplate> menu128 = MenuTemplate::Load(IDR_MAINFRAME);
    const std::optional<MenuTemplate> menu130 = MenuTemplate::Load(IDR_VellumTYPE);
    if (!menu128 || !menu130)
        return false;
    // Each command's text as the menus give it.
    std::map<UINT, QString> texts;
    const std::function<void(const std::vector<MenuTemplate::Item> &)> collect =
        [&](const std::vector<MenuTemplate::Item> &items) {
            for (const MenuTemplate::Item &item : items) {
                if (item.id != 0 && !texts.count(static_cast<UINT>(item.id)))
                    texts[static_cast<UINT>(item.id)] = QString::fromStdU16String(item.text);
                collect(item.items);
            }
        };
    collect(menu128->items);
    collect(menu130->items);
    const auto text = [&](UINT id) { return texts.count(id) ? texts[id] : QString(); };
    const auto string = [](UINT id) { return QString::fromStdU16String(Resource::String(id)); };

    AddCommand(ID_FILE_NEW, text(ID_FILE_NEW), QKeySequence(Qt::CTRL | Qt::Key_N));
    AddCommand(ID_FILE_OPEN, text(ID_FILE_OPEN), QKeySequence(Qt::CTRL | Qt::Key_O));
    AddCommand(ID_FILE_CLOSE, text(ID_FILE_CLOSE));
    AddCommand(ID_FILE_SAVE, text(ID_FILE_SAVE), QKeySequence(Qt::CTRL | Qt::Key_S));
    AddCommand(ID_FILE_SAVE_AS, text(ID_FILE_SAVE_AS));
    // Only on the toolbar.
    AddCommand(ID_FILE_PRINT, QStringLiteral("打印(&P)..."))->setEnabled(false);
    AddCommand(ID_FILE_SEND_MAIL, text(ID_FILE_SEND_MAIL))->setEnabled(false);
    AddCommand(ID_APP_EXIT, text(ID_APP_EXIT));
    // With the standard alternates of the clipboard and undo keys.
    AddCommand(ID_EDIT_UNDO, text(ID_EDIT_UNDO), QKeySequence(Qt::CTRL | Qt::Key_Z))
        ->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    AddCommand(ID_EDIT_CUT, text(ID_EDIT_CUT), QKeySequence(Qt::CTRL | Qt::Key_X))
        ->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    AddCommand(ID_EDIT_COPY, text(ID_EDIT_COPY), QKeySequence(Qt::CTRL | Qt::Key_C))
        ->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    AddCommand(ID_EDIT_PASTE, text(ID_EDIT_PASTE), QKeySequence(Qt::CTRL | Qt::Key_V))
        ->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    // The standard toolbar's item in the toolbars' menu.
    AddCommand(ID_VIEW_TOOLBAR, string(IDS_TOOLBAR_STANDARD))->setCheckable(true);
    AddCommand(ID_VIEW_CUSTOMIZE, string(IDS_TOOLBAR_CUSTOMIZE));
    AddCommand(ID_VIEW_STATUS_BAR, text(ID_VIEW_STATUS_BAR))->setCheckable(true);
    AddCommand(ID_WINDOW_SPLIT, text(ID_WINDOW_SPLIT));
    AddCommand(ID_WINDOW_NEW, text(ID_WINDOW_NEW));
    AddCommand(ID_WINDOW_MANAGER, string(IDS_WINDOWS_MANAGER));
    AddCommand(ID_APP_ABOUT, text(ID_APP_ABOUT));
    AddCommand(ID_NEXT_PANE, QString(), QKeySequence(Qt::Key_F6));
    AddCommand(ID_PREV_PANE, QString(), QKeySequence(Qt::SHIFT | Qt::Key_F6));
    AddCommand(ID_BOSS_KEY_SETTINGS, text(ID_BOSS_KEY_SETTINGS));
    AddCommand(ID_SHOW_WINDOW, QStringLiteral("显示窗口"));
    AddCommand(ID_RESTORE_ON_START, text(ID_RESTORE_ON_START))->setCheckable(true);
    AddCommand(ID_AUTOSTART, text(ID_AUTOSTART))->setCheckable(true);
    AddCommand(ID_RUN_RECORD, text(ID_RUN_RECORD));
    AddCommand(ID_FILE_NEW_ISOLATED, text(ID_FILE_NEW_ISOLATED));
    AddCommand(ID_MANAGE_CONTAINERS, text(ID_MANAGE_CONTAINERS));
    // Only the four Office 2007 looks are in the menus; 210-214 still work as commands.
    auto *looks = new QActionGroup(this);
    looks->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const QString lookNames[] = {QStringLiteral("Windows 2000(&2)"), QStringLiteral("Office XP(&X)"),
        QStringLiteral("Windows XP(&W)"), QStringLiteral("Office 2003(&3)"), QStringLiteral("Visual Studio 2005(&V)")};
    for (UINT id = ID_VIEW_APPLOOK_FIRST; id <= ID_VIEW_APPLOOK_LAST; ++id) {
        QAction *action = AddCommand(id, id < 215 ? lookNames[id - ID_VIEW_APPLOOK_FIRST] : text(id));
        action->setCheckable(true);
        looks->addAction(action);
    }
    for (int i = 0; i < kRecentFileCount; ++i) {
        QAction *action = AddCommand(ID_FILE_MRU_FILE1 + i, QString());
        m_recentActions.append(action);
    }
    m_pNoRecentAction = new QAction(text(ID_FILE_MRU_FILE1), this);
    m_pNoRecentAction->setEnabled(false);
    m_commands[ID_VIEW_STATUS_BAR]->setChecked(true);

    // Every item is the frame's own command; the recent files and the toolbars stand for their placeholders.
    const MenuTemplate::ItemHandler handler = [this](QMenu *menu, const MenuTemplate::Item &item) {
        const auto holds = [](const MenuTemplate::Item &popup, UINT id) {
            return std::any_of(popup.items.begin(), popup.items.end(),
                [id](const MenuTemplate::Item &i) { return static_cast<UINT>(i.id) == id; });
        };
        if (!item.items.empty()) {
            if (!holds(item, ID_VIEW_TOOLBAR))
                return false;
            QMenu *toolBars = menu->addMenu(QString::fromStdU16String(item.text));
            connect(toolBars, &QMenu::aboutToShow, this, [this, toolBars] { m_pToolBars->FillToolBarsMenu(toolBars); });
            return true;
        }
        const auto id = static_cast<UINT>(item.id);
        if (id == ID_FILE_MRU_FILE1) {
            menu->addActions(m_recentActions);
            menu->addAction(m_pNoRecentAction);
            return true;
        }
        QAction *action = m_commands.count(id) ? m_commands[id] : AddCommand(id, QString::fromStdU16String(item.text));
        menu->addAction(action);
        return true;
    };
    // Shown in short menus before they are expanded.
    m_pRecentMenus = new CRecentlyUsedMenus(this,
        {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_PRINT, ID_APP_EXIT, ID_EDIT_CUT, ID_EDIT_PASTE, ID_EDIT_UNDO,
            ID_APP_ABOUT, ID_VIEW_STATUS_BAR, ID_VIEW_TOOLBAR, 213, 214, 215, 217, 216, 218},
        {ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE1 + 1, ID_FILE_MRU_FILE1 + 2, ID_FILE_MRU_FILE1 + 3});
    const auto build = [&](const MenuTemplate &menu) {
        QList<QMenu *> menus;
        for (int i = 0; i < static_cast<int>(menu.items.size()); ++i)
            if (QMenu *popup = menu.CreatePopup(i, this, handler)) {
                // Commands whose state lives outside the program are looked at when their menu opens.
                connect(popup, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
                m_pRecentMenus->Attach(popup);
                menus.append(popup);
            }
        return menus;
    };
    m_menus128 = build(*menu128);
    m_menus130 = build(*menu130);
    return true;
}

void CMainFrame::UpdateCommandStates()
{
    UpdateSendCommand();
    m_commands[ID_RESTORE_ON_START]->setChecked(CUnattendedSettings::RestoreOnStart());
    m_commands[ID_AUTOSTART]->setChecked(CUnattendedSettings::AutostartOn());
}

void CMainFrame::BuildToolBar()
{
    QStyle *s = style();
    m_commands[ID_FILE_NEW]->setIcon(s->standardIcon(QStyle::SP_FileIcon));
    m_commands[ID_FILE_SAVE]->setIcon(s->standardIcon(QStyle::SP_DialogSaveButton));
    m_commands[ID_EDIT_CUT]->setIcon(CToolBarIcons::Cut());
    m_commands[ID_EDIT_COPY]->setIcon(CToolBarIcons::Copy());
    m_commands[ID_EDIT_PASTE]->setIcon(CToolBarIcons::Paste());
    m_commands[ID_FILE_PRINT]->setIcon(CToolBarIcons::Print());
    m_commands[ID_APP_ABOUT]->setIcon(s->standardIcon(QStyle::SP_MessageBoxQuestion));
    const std::vector<UINT> standard {
        ID_FILE_NEW, ID_FILE_SAVE, 0, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, 0, ID_FILE_PRINT, ID_APP_ABOUT};
    m_pToolBars = new CToolBarManager(
        this,
        [this](UINT id) -> QAction * {
            // Commands of the menus only: not the recent files nor the keys without an item.
            const auto it = m_commands.find(id);
            if (it == m_commands.end() || it->second->text().isEmpty() ||
                (id >= ID_FILE_MRU_FILE1 && id < ID_FILE_MRU_FILE1 + kRecentFileCount))
                return nullptr;
            return it->second;
        },
        m_commands[ID_VIEW_CUSTOMIZE], QString::fromStdU16String(Resource::String(IDS_TOOLBAR_STANDARD)), standard);
    m_pToolBars->Load();
    const auto follow = [this] {
        m_commands[ID_VIEW_TOOLBAR]->setChecked(m_pToolBars->IsVisible(CToolBarManager::kStandardId));
    };
    connect(m_pToolBars->ToolBar(CToolBarManager::kStandardId), &QToolBar::visibilityChanged, this, follow);
    follow();
}

QMenu *CMainFrame::createPopupMenu()
{
    auto *menu = new QMenu(this);
    if (m_pToolBars)
        m_pToolBars->FillToolBarsMenu(menu);
    return menu;
}

std::vector<std::pair<QString, std::vector<UINT>>> CMainFrame::MenuCommands() const
{
    std::vector<std::pair<QString, std::vector<UINT>>> categories;
    const std::function<void(const QMenu *, std::vector<UINT> &)> scan = [&](const QMenu *menu,
                                                                             std::vector<UINT> &into) {
        for (const QAction *action : menu->actions()) {
            if (action->menu()) {
                scan(action->menu(), into);
                continue;
            }
            const UINT id = action->data().toUInt();
            if (id != 0 && m_pToolBars && m_commands.count(id) &&
                (id < ID_FILE_MRU_FILE1 || id >= ID_FILE_MRU_FILE1 + kRecentFileCount) &&
                std::find(into.begin(), into.end(), id) == into.end())
                into.push_back(id);
        }
    };
    // The tab's menus first: they hold all but Open.
    for (const QList<QMenu *> *menus : {&m_menus130, &m_menus128})
        for (const QMenu *menu : *menus) {
            const QString name = CToolBarManager::CommandText(menu->menuAction());
            auto it =
                std::find_if(categories.begin(), categories.end(), [&](const auto &c) { return c.first == name; });
            if (it == categories.end()) {
                categories.emplace_back(name, std::vector<UINT> {});
                it = categories.end() - 1;
            }
            scan(menu, it->second);
        }
    return categories;
}

void CMainFrame::OnCustomize()
{
    std::vector<CCustomizeDlg::Category> categories;
    for (auto &[name, commands] : MenuCommands())
        categories.push_back({name, commands});
    CCustomizeDlg dialog(
        m_pToolBars, m_pRecentMenus, std::move(categories),
        [this](UINT id) -> QAction * {
            const auto it = m_commands.find(id);
            return it == m_commands.end() ? nullptr : it->second;
        },
        this);
    dialog.exec();
}

void CMainFrame::BuildStatusBar()
{
    m_pMessagePane = new QLabel(QStringLiteral("就绪"), this);
    statusBar()->addWidget(m_pMessagePane, 1);
    const QString names[3] = {QStringLiteral("CAP"), QStringLiteral("NUM"), QStringLiteral("SCRL")};
    for (int i = 0; i < 3; ++i) {
        m_pIndicators[i] = new QLabel(names[i], this);
        m_pIndicators[i]->setEnabled(false);
        m_pIndicators[i]->setAlignment(Qt::AlignCenter);
        m_pIndicators[i]->setMinimumWidth(m_pIndicators[i]->fontMetrics().horizontalAdvance(names[i]) + 12);
        statusBar()->addPermanentWidget(m_pIndicators[i]);
    }
    // The lights change in other programs too, where no key event reaches this one.
    auto *lights = new QTimer(this);
    lights->setInterval(kLockLightsMs);
    connect(lights, &QTimer::timeout, this, &CMainFrame::ReadLockLights);
    if (ReadLockLights())
        lights->start();
}

QString CMainFrame::StatusMessage() const { return m_pMessagePane ? m_pMessagePane->text() : QString(); }

bool CMainFrame::ReadLockLights()
{
    const int lights = X11Keyboard::LockLights();
    if (lights < 0)
        return false;
    m_pIndicators[0]->setEnabled(lights & X11Keyboard::CapsLock);
    m_pIndicators[1]->setEnabled(lights & X11Keyboard::NumLock);
    m_pIndicators[2]->setEnabled(lights & X11Keyboard::ScrollLock);
    return true;
}

void CMainFrame::UpdateMenu()
{
    const UINT id = m_pTabs && m_pTabs->Count() > 0 ? IDR_VellumTYPE : IDR_MAINFRAME;
    for (UINT command : {ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY,
             ID_EDIT_PASTE, ID_WINDOW_NEW, ID_WINDOW_SPLIT, ID_WINDOW_MANAGER})
        m_commands[command]->setEnabled(id == IDR_VellumTYPE);
    if (id == m_nMenuId)
        return;
    m_nMenuId = id;
    menuBar()->clear();
    for (QMenu *menu : id == IDR_VellumTYPE ? m_menus130 : m_menus128)
        menuBar()->addMenu(menu);
}

void CMainFrame::UpdateRecentFiles()
{
    for (int i = 0; i < kRecentFileCount; ++i) {
        QAction *action = m_recentActions[i];
        const bool used = i < m_recentFiles.size();
        action->setVisible(used);
        if (used)
            action->setText(RecentText(i, m_recentFiles[i]));
    }
    m_pNoRecentAction->setVisible(m_recentFiles.isEmpty());
}

void CMainFrame::AddRecentFile(const wstring16 &path)
{
    const QString text = QString::fromStdU16String(path);
    m_recentFiles.removeAll(text);
    m_recentFiles.prepend(text);
    while (m_recentFiles.size() > kRecentFileCount)
        m_recentFiles.removeLast();
    SaveRecentFiles();
    UpdateRecentFiles();
}

void CMainFrame::SaveRecentFiles() const
{
    QSettings settings;
    settings.beginGroup(kRecentGroup);
    for (int i = 0; i < kRecentFileCount; ++i) {
        const QString key = QStringLiteral("File%1").arg(i + 1);
        if (i < m_recentFiles.size())
            settings.setValue(key, m_recentFiles[i]);
        else
            settings.remove(key);
    }
}

bool CMainFrame::IsCommandEnabled(UINT id) const
{
    const auto it = m_commands.find(id);
    return it != m_commands.end() && it->second->isEnabled();
}

bool CMainFrame::OnCommand(UINT id)
{
    if (id == ID_FILE_SEND_MAIL)
        UpdateSendCommand();
    if (!IsCommandEnabled(id))
        return false;
    switch (id) {
    case ID_FILE_NEW:
        OnFileNew();
        return true;
    case ID_FILE_OPEN:
        OnFileOpen();
        return true;
    case ID_FILE_CLOSE:
        OnFileClose();
        return true;
    case ID_FILE_SAVE:
        OnFileSave(false);
        return true;
    case ID_FILE_SAVE_AS:
        OnFileSave(true);
        return true;
    case ID_APP_EXIT:
        close();
        return true;
    case ID_EDIT_UNDO:
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
    case ID_EDIT_PASTE:
        OnEdit(id);
        return true;
    case ID_VIEW_TOOLBAR:
        m_pToolBars->SetVisible(CToolBarManager::kStandardId, !m_pToolBars->IsVisible(CToolBarManager::kStandardId));
        return true;
    case ID_VIEW_CUSTOMIZE:
        OnCustomize();
        return true;
    case ID_VIEW_STATUS_BAR:
        statusBar()->setVisible(m_commands[id]->isChecked());
        return true;
    case ID_WINDOW_SPLIT:
        // The user places the divider with the keys or the mouse.
        if (CChildFrame *frame = MDIGetActive(); frame && frame->m_wndSplitter)
            CSplitTracker::Start(frame->m_wndSplitter);
        return true;
    case ID_FILE_PRINT:
        OnFilePrint();
        return true;
    case ID_FILE_SEND_MAIL:
        OnFileSendMail();
        return true;
    case ID_WINDOW_MANAGER: {
        CWindowsDialog dialog(this);
        dialog.exec();
        return true;
    }
    case ID_WINDOW_NEW:
        if (CChildFrame *frame = MDIGetActive())
            CreateChildFrame(frame->GetDocument(), true, frame->Container());
        return true;
    case ID_APP_ABOUT: {
        CAboutDlg about(this);
        about.exec();
        return true;
    }
    case ID_NEXT_PANE:
    case ID_PREV_PANE:
        OnNextPane(id == ID_NEXT_PANE);
        return true;
    case ID_BOSS_KEY_SETTINGS: {
        CSetHotKey dialog(GetSafeHwnd(), this);
        dialog.exec();
        return true;
    }
    case ID_SHOW_WINDOW:
        OnShowMainWindow();
        return true;
    case ID_RESTORE_ON_START:
        CUnattendedSettings::SetRestoreOnStart(!CUnattendedSettings::RestoreOnStart());
        m_commands[id]->setChecked(CUnattendedSettings::RestoreOnStart());
        return true;
    case ID_AUTOSTART:
        CUnattendedSettings::SetAutostart(GetSafeHwnd(), !CUnattendedSettings::AutostartOn());
        m_commands[id]->setChecked(CUnattendedSettings::AutostartOn());
        return true;
    case ID_RUN_RECORD:
        CUnattendedSettings::ShowRunRecord(this);
        return true;
    case ID_FILE_NEW_ISOLATED:
        if (const QString id = CNewIsolatedTabDlg::Ask(this, Containers()); !id.isEmpty())
            if (CChildFrame *frame = CreateChildFrame(nullptr, true, id))
                frame->GetBrowserView()->NavigateUrl(CVellumApp::kHomePageUrl, false);
        return true;
    case ID_MANAGE_CONTAINERS: {
        CContainersDlg dialog(this);
        dialog.exec();
        return true;
    }
    default:
        if (id >= ID_VIEW_APPLOOK_FIRST && id <= ID_VIEW_APPLOOK_LAST) {
            SetApplicationLook(id);
            return true;
        }
        if (id >= ID_FILE_MRU_FILE1 && id < ID_FILE_MRU_FILE1 + kRecentFileCount) {
            const int index = static_cast<int>(id - ID_FILE_MRU_FILE1);
            if (index < m_recentFiles.size())
                OpenDocumentFile(m_recentFiles[index].toStdU16String());
            return true;
        }
        return false;
    }
}

CContainers *CMainFrame::Containers()
{
    if (!m_pContainers)
        m_pContainers = new CContainers(CContainers::DefaultFolder(), this);
    return m_pContainers;
}

CChildFrame *CMainFrame::CreateChildFrame(CVellumDoc *document, bool activate, const QString &container)
{
    if (!m_pTabs)
        return nullptr;
    bool fresh = false;
    if (!document) {
        document = new CVellumDoc(this);
        document->OnNewDocument();
        fresh = true;
    }
    auto *frame = new CChildFrame(document, m_pTabs->Area());
    if (!container.isEmpty())
        frame->SetContainer(Containers(), container);
    if (!frame->OnCreateClient()) {
        delete frame;
        if (fresh)
            delete document;
        return nullptr;
    }
    if (CVellumView *view = frame->GetBrowserView())
        connect(view, &CVellumView::PageLoaded, this, [this] { UpdatePrintCommand(); });
    // Only the tab in front speaks in the status bar.
    if (CVellumView *view = frame->GetBrowserView())
        connect(view, &CVellumView::StatusText, this, [this, frame](const QString &text) {
            if (frame == MDIGetActive())
                m_pMessagePane->setText(text.isEmpty() ? m_strIdleStatus : text);
        });
    m_pTabs->AddFrame(frame, activate);
    frame->OnInitialUpdate();
    return frame;
}

CChildFrame *CMainFrame::MDIGetActive() const { return m_pTabs ? m_pTabs->ActiveFrame() : nullptr; }

CVellumView *CMainFrame::ActiveView() const
{
    CChildFrame *frame = MDIGetActive();
    return frame ? frame->GetBrowserView() : nullptr;
}

CChildFrame *CMainFrame::FrameOfFile(const wstring16 &path) const
{
    const auto same = [](const QString &a, const QString &b) {
        const QFileInfo x(a), y(b);
        const QString cx = x.canonicalFilePath(), cy = y.canonicalFilePath();
        return !cx.isEmpty() && !cy.isEmpty() ? cx == cy : x.absoluteFilePath() == y.absoluteFilePath();
    };
    if (!m_pTabs || path.empty())
        return nullptr;
    const QString wanted = QString::fromStdU16String(path);
    for (CChildFrame *frame : m_pTabs->Frames()) {
        const CVellumDoc *document = frame->GetDocument();
        if (document && !document->GetPathName().empty() &&
            same(QString::fromStdU16String(document->GetPathName()), wanted))
            return frame;
    }
    return nullptr;
}

CChildFrame *CMainFrame::OnFileNew() { return CreateChildFrame(nullptr, true); }

CChildFrame *CMainFrame::OpenDocumentFile(const wstring16 &path)
{
    // A document that is open already is shown, not opened a second time.
    if (CChildFrame *open = FrameOfFile(path)) {
        m_pTabs->SetActiveFrame(open);
        AddRecentFile(path);
        return open;
    }
    auto *document = new CVellumDoc(this);
    if (!document->OnOpenDocument(path)) {
        delete document;
        const QString text = QStringLiteral("无法打开文件：") + QString::fromStdU16String(path);
        MessageBoxW(GetSafeHwnd(), text.toStdU16String().c_str(), u"Tessaly", MB_OK | MB_ICONERROR);
        m_recentFiles.removeAll(QString::fromStdU16String(path));
        SaveRecentFiles();
        UpdateRecentFiles();
        return nullptr;
    }
    CChildFrame *frame = CreateChildFrame(document, true);
    if (!frame) {
        delete document;
        return nullptr;
    }
    AddRecentFile(path);
    return frame;
}

void CMainFrame::OnFileOpen()
{
    FileDialogRequest request;
    request.save = false;
    request.owner = GetSafeHwnd();
    request.flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    request.filter = u"所有文件(*.*)|*.*|";
    wstring16 path;
    if (RunFileDialog(request, &path))
        OpenDocumentFile(path);
}

bool CMainFrame::OnFileSave(bool askForName)
{
    CChildFrame *frame = MDIGetActive();
    CVellumDoc *document = frame ? frame->GetDocument() : nullptr;
    if (!document)
        return false;
    wstring16 path = document->GetPathName();
    if (askForName || path.empty()) {
        FileDialogRequest request;
        request.save = true;
        request.owner = GetSafeHwnd();
        request.initialName = document->GetTitle();
        request.flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
        request.filter = u"所有文件(*.*)|*.*|";
        if (!RunFileDialog(request, &path))
            return false;
    }
    if (!document->OnSaveDocument(path)) {
        const QString text = QStringLiteral("无法保存文件：") + QString::fromStdU16String(path);
        MessageBoxW(GetSafeHwnd(), text.toStdU16String().c_str(), u"Tessaly", MB_OK | MB_ICONERROR);
        return false;
    }
    AddRecentFile(path);
    return true;
}

void CMainFrame::OnFileClose()
{
    CChildFrame *frame = MDIGetActive();
    if (!frame)
        return;
    // Closing a document closes every tab on it.
    const QList<CChildFrame *> frames = frame->GetDocument() ? frame->GetDocument()->Frames() : QList {frame};
    for (CChildFrame *f : frames)
        CloseFrame(f);
}

void CMainFrame::CloseFrame(CChildFrame *frame)
{
    if (!frame || !m_pTabs)
        return;
    m_pTabs->RemoveFrame(frame);
    DisposeFrame(frame);
}

void CMainFrame::DisposeFrame(CChildFrame *frame)
{
    CVellumView *view = frame->GetBrowserView();
    if (view && view->Page()->IsInDialog()) {
        // The browser still runs code of the page that opened the dialog:
        // the page may go only after that code has returned.
        connect(view->Page(), &CVellumPage::DialogsFinished, frame, &QObject::deleteLater, Qt::QueuedConnection);
        view->Page()->CloseDialogs();
        return;
    }
    // Later: the close may come from inside the frame's own code (a script wait).
    frame->deleteLater();
}

void CMainFrame::RetryClose()
{
    if (!m_bRetryingClose) {
        m_bRetryingClose = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_bRetryingClose = false;
                close();
            },
            Qt::QueuedConnection);
    }
}

void CMainFrame::OnEdit(UINT id)
{
    QWidget *focus = QApplication::focusWidget();
    const char *slot = id == ID_EDIT_UNDO ? "undo" : id == ID_EDIT_CUT ? "cut" : id == ID_EDIT_COPY ? "copy" : "paste";
    CVellumView *view = ActiveView();
    if (focus && (!view || !view->isAncestorOf(focus)) && focus->metaObject()->indexOfSlot(slot) >= 0) {
        QMetaObject::invokeMethod(focus, slot);
        return;
    }
    if (!view)
        return;
    const QWebEnginePage::WebAction action = id == ID_EDIT_UNDO ? QWebEnginePage::Undo
        : id == ID_EDIT_CUT                                     ? QWebEnginePage::Cut
        : id == ID_EDIT_COPY                                    ? QWebEnginePage::Copy
                                                                : QWebEnginePage::Paste;
    view->page()->triggerAction(action);
}

void CMainFrame::OnNextPane(bool forward)
{
    CChildFrame *frame = MDIGetActive();
    if (!frame)
        return;
    QWidget *left = frame->GetPane(0, 0);
    QWidget *right = frame->GetPane(0, 1);
    QWidget *focus = QApplication::focusWidget();
    // With two panes the next and the previous one are the same.
    Q_UNUSED(forward);
    const bool inLeft = focus && left && (focus == left || left->isAncestorOf(focus));
    QWidget *target = inLeft ? right : left;
    if (target)
        target->setFocus(Qt::OtherFocusReason);
}

void CMainFrame::OnFilePrint()
{
    CVellumView *view = ActiveView();
    if (!view || !view->HasPage())
        return;
    // The printer lives until the page has been printed on it.
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer.get(), this);
    dialog.setWindowTitle(QStringLiteral("打印"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    QPointer<CMainFrame> self(this);
    view->PrintPage(printer.get(), [self, printer](bool ok) {
        if (!ok && self)
            MessageBoxW(self->GetSafeHwnd(), u"打印失败。", u"Tessaly", MB_OK | MB_ICONERROR);
    });
}

void CMainFrame::UpdatePrintCommand()
{
    CVellumView *view = ActiveView();
    m_commands[ID_FILE_PRINT]->setEnabled(view && view->HasPage());
    UpdateSendCommand();
}

void CMainFrame::UpdateSendCommand()
{
    CChildFrame *frame = MDIGetActive();
    CVellumView *view = frame ? frame->GetBrowserView() : nullptr;
    const CVellumDoc *document = frame ? frame->GetDocument() : nullptr;
    m_commands[ID_FILE_SEND_MAIL]->setEnabled(document && view && view->HasPage() && document->OnUpdateFileSendMail());
}

void CMainFrame::OnFileSendMail()
{
    CChildFrame *frame = MDIGetActive();
    CVellumView *view = frame ? frame->GetBrowserView() : nullptr;
    const CVellumDoc *document = frame ? frame->GetDocument() : nullptr;
    if (document && view && !document->OnFileSendMail(view->GetLocationURL()))
        MessageBoxW(GetSafeHwnd(), u"无法启动邮件程序。", u"Tessaly", MB_OK | MB_ICONERROR);
}

void CMainFrame::OnActiveFrameChanged(CChildFrame *frame)
{
    UpdateMenu();
    UpdatePrintCommand();
    m_pMessagePane->setText(m_strIdleStatus);
    if (m_pTitleSource)
        disconnect(m_pTitleSource, &CChildFrame::TitleChanged, this, nullptr);
    m_pTitleSource = frame;
    if (frame)
        connect(frame, &CChildFrame::TitleChanged, this, [this] { UpdateFrameTitle(); });
    UpdateFrameTitle();
}

// "Tessaly - " and the active tab's document title, as the frame's title style asks.
void CMainFrame::UpdateFrameTitle()
{
    QString title = QStringLiteral("Tessaly");
    if (CChildFrame *frame = m_pTabs ? m_pTabs->ActiveFrame() : nullptr)
        if (CVellumDoc *document = frame->GetDocument(); document && !document->GetTitle().empty())
            title += QStringLiteral(" - ") + QString::fromStdU16String(document->GetTitle());
    setWindowTitle(title);
}

void CMainFrame::UpdateLockIndicators(quint32 nativeModifiers)
{
    m_pIndicators[0]->setEnabled(nativeModifiers & kCapsLockMask);
    m_pIndicators[1]->setEnabled(nativeModifiers & kNumLockMask);
}

// The user's own left-button presses and releases inside a tab, offered to the
// view and then to the child frame around it before the widget under the
// cursor sees them. Input the program sends to pages itself is not the user's.
void CMainFrame::PreTranslateMouse(QWidget *target, QEvent *event)
{
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (!event->spontaneous() || mouse->button() != Qt::LeftButton || target->window() != this)
        return;
    // An event a child ignored comes again for its parent. A press and its
    // release can share a timestamp and, one after the other, an address.
    if (event == m_pLastMouse && event->type() == m_nLastMouseType && mouse->timestamp() == m_nLastMouseTime)
        return;
    m_pLastMouse = event;
    m_nLastMouseType = event->type();
    m_nLastMouseTime = mouse->timestamp();
    const UINT message = event->type() == QEvent::MouseButtonPress ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    // Where the button went down or up, not where the cursor is by the time
    // this thread gets to the message.
    const QPoint global = mouse->globalPosition().toPoint();
    const POINT at {global.x(), global.y()};
    for (QWidget *w = target; w; w = w->parentWidget()) {
        if (auto *view = qobject_cast<CVellumView *>(w)) {
            view->PreTranslateMessage(message, at);
        } else if (auto *frame = qobject_cast<CChildFrame *>(w)) {
            frame->PreTranslateMessage(message, at);
            return;
        }
    }
}

bool CMainFrame::eventFilter(QObject *watched, QEvent *event)
{
    if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) &&
        watched->isWidgetType())
        PreTranslateMouse(static_cast<QWidget *>(watched), event);
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        const auto *key = static_cast<QKeyEvent *>(event);
        // Where the server's lights can be read they are the truth; the event's
        // state is from before the key itself.
        if (!ReadLockLights() && (key->nativeModifiers() != 0 || key->nativeScanCode() != 0))
            UpdateLockIndicators(key->nativeModifiers());
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::HideKeepingPagesLive()
{
    if (m_bHiddenLive)
        return;
    const QRect placement = normalGeometry();
    setVisible(false);
    // The state stays as it is (minimised, from the tray): leaving the minimised
    // state maps the window on the X server again, empty, whatever Qt shows.
    setAttribute(Qt::WA_DontShowOnScreen, true);
    setGeometry(placement);
    setVisible(true);
    m_bHiddenLive = true;
    SetWindowVisibleFlag(GetSafeHwnd(), false);
}

void CMainFrame::ShowFromHidden(bool minimised)
{
    if (!m_bHiddenLive)
        return;
    const QRect placement = geometry();
    setVisible(false);
    setAttribute(Qt::WA_DontShowOnScreen, false);
    setGeometry(placement);
    const Qt::WindowStates states = windowState();
    setWindowState(minimised ? states | Qt::WindowMinimized : states & ~Qt::WindowMinimized);
    // Qt's X backend still takes a window it saw minimised before it was hidden
    // for minimised at the first change of its state after it is mapped again.
    // That report is stale: it must not send the window back to the tray.
    if (!minimised) {
        m_bRestoring = true;
        QTimer::singleShot(kRestoreSettleMs, this, [this] { m_bRestoring = false; });
    }
    setVisible(true);
    m_bHiddenLive = false;
    SetWindowVisibleFlag(GetSafeHwnd(), true);
}

void CMainFrame::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Leaving the minimised state shows the window again for Qt (a spontaneous
    // show), while for everyone else it stays hidden.
    if (m_bHiddenLive)
        SetWindowVisibleFlag(GetSafeHwnd(), false);
}

void CMainFrame::closeEvent(QCloseEvent *event)
{
    // A page dialog is open: dismiss it and close once the page is done with it.
    bool waiting = false;
    if (m_pTabs) {
        for (CChildFrame *frame : m_pTabs->Frames()) {
            CVellumView *view = frame->GetBrowserView();
            if (view && view->Page()->IsInDialog()) {
                waiting = true;
                connect(
                    view->Page(), &CVellumPage::DialogsFinished, this, &CMainFrame::RetryClose, Qt::UniqueConnection);
                view->Page()->CloseDialogs();
            }
        }
    }
    if (waiting) {
        event->ignore();
        return;
    }
    m_bClosing = true;
    if (m_pToolBars)
        m_pToolBars->Save();
    emit TabsClosing();
    UnregisterHotKey(GetSafeHwnd(), CBossKey::kHotKeyId);
    if (m_pTabs)
        for (CChildFrame *frame : m_pTabs->Frames())
            CloseFrame(frame);
    event->accept();
}

void CMainFrame::SetApplicationLook(UINT id)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_nLookId = id;
    CApplicationLook::Apply(static_cast<int>(id));
    UpdateLookMenu();
    update();
    CApplicationLook::Store(static_cast<int>(id));
    QApplication::restoreOverrideCursor();
}

void CMainFrame::UpdateLookMenu()
{
    for (UINT id = ID_VIEW_APPLOOK_FIRST; id <= ID_VIEW_APPLOOK_LAST; ++id)
        if (const auto it = m_commands.find(id); it != m_commands.end())
            it->second->setChecked(id == m_nLookId);
}

LRESULT CMainFrame::OnBossKey(WPARAM id)
{
    if (id != static_cast<WPARAM>(CBossKey::kHotKeyId))
        return 0;
    // Hidden, the pages keep running their timers and input at full rate.
    if (IsWindowVisible(GetSafeHwnd()))
        HideKeepingPagesLive();
    else if (m_bHiddenLive)
        // From the tray it comes back minimised and the icon stays.
        ShowFromHidden(m_TrayIcon.IsShown());
    else
        show();
    return 0;
}

void CMainFrame::OnSize(WPARAM type)
{
    // Only the first report after a restore can be the stale one.
    const bool restoring = std::exchange(m_bRestoring, false);
    if (type != SIZE_MINIMIZED || m_TrayIcon.IsShown() || !GetSafeHwnd() || m_bHiddenLive || restoring)
        return;
    const std::u16string tip = u"Tessaly - " + std::u16string(CVellumApp::kHomePageUrl);
    // Without a tray the window stays minimised on the task bar: hidden with no
    // icon it could never be brought back.
    if (!m_TrayIcon.AddIcon(GetSafeHwnd(), WM_TRAY_NOTIFY, tip.c_str(), nullptr, IDR_TRAY))
        return;
    // After the state change that reported the minimising has been handled.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_TrayIcon.IsShown())
                HideKeepingPagesLive();
        },
        Qt::QueuedConnection);
}

void CMainFrame::StartHidden()
{
    const std::u16string tip = u"Tessaly - " + std::u16string(CVellumApp::kHomePageUrl);
    if (!m_TrayIcon.IsShown() && GetSafeHwnd() &&
        m_TrayIcon.AddIcon(GetSafeHwnd(), WM_TRAY_NOTIFY, tip.c_str(), nullptr, IDR_TRAY)) {
        HideKeepingPagesLive();
        return;
    }
    showMinimized();
}

void CMainFrame::SetStatusText(const QString &text)
{
    m_strIdleStatus = text;
    if (m_pMessagePane)
        m_pMessagePane->setText(text);
}

QString CMainFrame::StatusText() const { return m_pMessagePane ? m_pMessagePane->text() : QString(); }

void CMainFrame::OnShowMainWindow()
{
    if (m_bHiddenLive)
        ShowFromHidden();
    else
        show();
    PostMessageW(GetSafeHwnd(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    m_TrayIcon.RemoveIcon();
}

bool CMainFrame::OnSettingChange(WPARAM flag)
{
    constexpr WPARAM SPI_SETICONTITLELOGFONT = 34;
    constexpr WPARAM SPI_SETNONCLIENTMETRICS = 42;
    constexpr WPARAM SPI_SETWORKAREA = 47;
    if (flag == SPI_SETNONCLIENTMETRICS || flag == SPI_SETWORKAREA || flag == SPI_SETICONTITLELOGFONT)
        return false;
    // Other changes need nothing of the frame: Qt follows the desktop itself,
    // and the frame's fonts are its own (class fonts and an explicit font).
    CApplicationLook::ApplyInterfaceFonts(this);
    return true;
}

LRESULT CMainFrame::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam)) ? 0 : 1;
    case WM_HOTKEY:
        return OnBossKey(wParam);
    case WM_TRAY_NOTIFY:
        return m_TrayIcon.HandleNotify(wParam, lParam);
    case WM_SIZE:
        OnSize(wParam);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MAXIMIZE)
            showMaximized();
        return 0;
    case WM_SETTINGCHANGE:
        OnSettingChange(wParam);
        return 0;
    case WM_CLOSE:
        close();
        return 0;
    default:
        return 0;
    }
}
