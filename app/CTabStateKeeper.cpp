#include "app/CTabStateKeeper.h"

#include "app/CChildFrame.h"
#include "app/CDocumentTabs.h"
#include "app/CMainFrame.h"
#include "app/CVellumApp.h"
#include "app/CVellumView.h"
#include "platform/FileSystem.h"
#include "platform/Threading.h"
#include "tasks/CLeftView.h"
#include "tasks/SessionStateFile.h"
#include "util/CReportCtrl.h"
#include "util/ThreadManager.h"

#include <QSplitter>

#include <unistd.h>

using KorrinControlsEx::CReportCtrl;

struct CTabStateKeeper::Tab {
    QPointer<CChildFrame> frame;
    // Compared while the frame is being destroyed, when it is no CChildFrame any more.
    const QObject *identity = nullptr;
    QPointer<CLeftView> panel;
    std::shared_ptr<const std::vector<SessionState::Row>> rows =
        std::make_shared<const std::vector<SessionState::Row>>();
    bool rowsDirty = true;
    unsigned structure = 0;
    // A read under way.
    std::shared_ptr<std::vector<SessionState::Row>> reading;
    unsigned readingStructure = 0;
    int readRow = 0;
};

// Composes and writes the states it is handed, the latest only when several wait.
struct CTabStateKeeper::Writer {
    std::mutex lock;
    std::condition_variable wake;
    std::condition_variable written;
    std::unique_ptr<SessionState> pending;
    bool stop = false;
    int handed = 0;
    int saves = 0;
    wstring16 path;
    // The thread registry owns the handle: the end is told here instead.
    bool running = false;
    std::condition_variable ended;

    static DWORD Run(LPVOID self)
    {
        auto *writer = static_cast<Writer *>(self);
        writer->Loop();
        // Under the lock: the owner cannot free the writer before this is done.
        std::lock_guard guard(writer->lock);
        writer->running = false;
        writer->ended.notify_all();
        writer->written.notify_all();
        return 0;
    }

    void Loop()
    {
        std::unique_lock guard(lock);
        for (;;) {
            wake.wait(guard, [this] { return pending || stop; });
            if (!pending)
                return;
            const std::unique_ptr<SessionState> state = std::move(pending);
            const int number = handed;
            guard.unlock();
            SessionStateFile::Write(path, SessionStateFile::Compose(*state));
            guard.lock();
            saves = number;
            written.notify_all();
        }
    }

    void Hand(SessionState state)
    {
        std::lock_guard guard(lock);
        pending = std::make_unique<SessionState>(std::move(state));
        ++handed;
        wake.notify_all();
    }

    void WaitWritten()
    {
        std::unique_lock guard(lock);
        written.wait(guard, [this] { return saves >= handed || !running; });
    }
};

CTabStateKeeper::CTabStateKeeper(CMainFrame *frame, const wstring16 &path)
    : m_pFrame(frame), m_path(path), m_writer(std::make_unique<Writer>())
{
    m_writer->path = path;
    m_writer->running = true;
    if (!KorrinControlsEx::ThreadManager(&Writer::Run, m_writer.get()).threadHandle) {
        std::lock_guard guard(m_writer->lock);
        m_writer->running = false;
    }
    m_timer.setSingleShot(true);
    m_timer.setInterval(kSaveDelayMs);
    connect(&m_timer, &QTimer::timeout, this, &CTabStateKeeper::StartCollecting);
}

CTabStateKeeper::~CTabStateKeeper()
{
    std::unique_lock guard(m_writer->lock);
    m_writer->stop = true;
    m_writer->wake.notify_all();
    m_writer->ended.wait(guard, [this] { return !m_writer->running; });
}

bool CTabStateKeeper::ReadLast(SessionState *state, bool *damaged, bool *usedPrevious)
{
    bool bad = false;
    const SessionStateFile::Source source = SessionStateFile::Read(m_path, state, &bad);
    if (damaged)
        *damaged = bad;
    if (usedPrevious)
        *usedPrevious = source == SessionStateFile::Source::Previous;
    // The next save would keep the damaged file as the previous copy and lose the good one.
    if (bad && source == SessionStateFile::Source::Previous)
        unlink(FileSystem::NativePath(m_path.c_str()).c_str());
    return source != SessionStateFile::Source::None;
}

std::vector<wstring16> CTabStateKeeper::Restore(const SessionState &state)
{
    std::vector<wstring16> messages;
    if (!m_pFrame)
        return messages;
    std::vector<std::pair<QPointer<CChildFrame>, int>> dividers;
    CChildFrame *active = nullptr;
    for (std::size_t t = 0; t < state.tabs.size(); ++t) {
        const SessionState::Tab &saved = state.tabs[t];
        // A container deleted since opens its tab in the default one.
        CChildFrame *frame = m_pFrame->CreateChildFrame(nullptr, t == 0, QString::fromStdU16String(saved.container));
        if (!frame)
            continue;
        if (static_cast<int>(t) == state.activeTab)
            active = frame;
        CLeftView *panel = frame->GetLeftView();
        if (!panel)
            continue;
        if (!saved.catalogue.empty()) {
            wstring16 message;
            if (!panel->UseCatalogue(saved.catalogue, &message))
                messages.push_back(message);
        }
        CReportCtrl &list = panel->List();
        for (const SessionState::Row &cells : *saved.rows) {
            const int row = list.InsertRow(list.GetItemCount(), wstring16());
            if (row < 0)
                break;
            for (int c = 0; c < SessionState::kCells && c < list.GetColumnCount(); ++c)
                list.SetCellText(row, c, cells[static_cast<std::size_t>(c)]);
            // A tick count of before the restart says nothing about now: count from here.
            list.SetCellText(row, CLeftView::ColLastTick, wstring16());
        }
        if (CVellumView *view = frame->GetBrowserView(); view && !saved.url.empty())
            view->NavigateUrl(saved.url, false);
        if (saved.divider > 0)
            dividers.emplace_back(frame, saved.divider);
    }
    if (active && m_pFrame->Tabs())
        m_pFrame->Tabs()->SetActiveFrame(active);
    // Once the frames have their width.
    QTimer::singleShot(0, this, [dividers] {
        for (const auto &[frame, divider] : dividers)
            if (frame && frame->m_wndSplitter)
                frame->m_wndSplitter->setSizes({divider, std::max(1, frame->m_wndSplitter->width() - divider)});
    });
    return messages;
}

void CTabStateKeeper::Watch()
{
    if (m_bWatching || !m_pFrame || !m_pFrame->Tabs())
        return;
    m_bWatching = true;
    CDocumentTabs *tabs = m_pFrame->Tabs();
    connect(tabs, &CDocumentTabs::CountChanged, this, &CTabStateKeeper::FollowNewFrames);
    connect(tabs, &CDocumentTabs::ActiveFrameChanged, this, &CTabStateKeeper::Changed);
    FollowNewFrames();
    Changed();
}

void CTabStateKeeper::FollowNewFrames()
{
    if (!m_pFrame || !m_pFrame->Tabs())
        return;
    for (CChildFrame *frame : m_pFrame->Tabs()->Frames())
        if (!Find(frame))
            Follow(frame);
    Changed();
}

void CTabStateKeeper::Follow(CChildFrame *frame)
{
    auto tab = std::make_unique<Tab>();
    tab->frame = frame;
    tab->identity = frame;
    tab->panel = frame->GetLeftView();
    m_tabs.push_back(std::move(tab));
    connect(frame, &QObject::destroyed, this, &CTabStateKeeper::Forget);
    // Looked up at each signal: a tab is forgotten when its frame goes.
    const QPointer<CChildFrame> watched(frame);
    const auto rowsChanged = [this, watched](bool structure) {
        if (Tab *t = watched ? Find(watched) : nullptr)
            RowsChanged(t, structure);
    };
    if (CLeftView *panel = frame->GetLeftView()) {
        connect(panel, &CLeftView::StateChanged, this, &CTabStateKeeper::Changed);
        QAbstractItemModel *model = panel->List().model();
        connect(model, &QAbstractItemModel::dataChanged, this,
            [rowsChanged](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole))
                    rowsChanged(false);
            });
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            connect(model, signal, this, [rowsChanged] { rowsChanged(true); });
        connect(model, &QAbstractItemModel::rowsMoved, this, [rowsChanged] { rowsChanged(true); });
        connect(model, &QAbstractItemModel::modelReset, this, [rowsChanged] { rowsChanged(true); });
        connect(model, &QAbstractItemModel::layoutChanged, this, [rowsChanged] { rowsChanged(true); });
    }
    if (CVellumView *view = frame->GetBrowserView())
        connect(view, &QWebEngineView::urlChanged, this, &CTabStateKeeper::Changed);
    if (frame->m_wndSplitter)
        connect(frame->m_wndSplitter, &QSplitter::splitterMoved, this, &CTabStateKeeper::Changed);
}

void CTabStateKeeper::Forget(QObject *frame)
{
    for (auto it = m_tabs.begin(); it != m_tabs.end(); ++it) {
        if ((*it)->identity == frame || (*it)->frame.isNull()) {
            m_tabs.erase(it);
            break;
        }
    }
    Changed();
}

CTabStateKeeper::Tab *CTabStateKeeper::Find(const CChildFrame *frame) const
{
    for (const auto &tab : m_tabs)
        if (tab->frame == frame)
            return tab.get();
    return nullptr;
}

void CTabStateKeeper::RowsChanged(Tab *tab, bool structure)
{
    tab->rowsDirty = true;
    if (structure)
        ++tab->structure;
    Changed();
}

void CTabStateKeeper::Changed()
{
    if (!m_bWatching || m_bFinal)
        return;
    m_bDirty = true;
    if (!m_bCollecting && !m_timer.isActive())
        m_timer.start();
}

void CTabStateKeeper::StartCollecting()
{
    if (m_bCollecting || m_bFinal || !m_pFrame || !m_pFrame->Tabs())
        return;
    m_bDirty = false;
    m_bCollecting = true;
    ++m_nGeneration;
    m_collectOrder.clear();
    for (CChildFrame *frame : m_pFrame->Tabs()->Frames())
        m_collectOrder.append(frame);
    m_nCollectTab = 0;
    ContinueCollecting(true);
}

void CTabStateKeeper::ContinueCollecting(bool sliced)
{
    QElapsedTimer slice;
    slice.start();
    while (m_nCollectTab < m_collectOrder.size()) {
        Tab *tab = Find(m_collectOrder[m_nCollectTab]);
        if (tab && !ReadRows(*tab, slice, sliced)) {
            CountSlice(slice.nsecsElapsed());
            const unsigned generation = m_nGeneration;
            QTimer::singleShot(0, this, [this, generation] {
                if (m_bCollecting && generation == m_nGeneration)
                    ContinueCollecting(true);
            });
            return;
        }
        ++m_nCollectTab;
    }
    SessionState state = Assemble(false);
    if (sliced)
        CountSlice(slice.nsecsElapsed());
    m_bCollecting = false;
    m_writer->Hand(std::move(state));
    emit Saved();
    if (m_bDirty && !m_bFinal && !m_timer.isActive())
        m_timer.start();
}

void CTabStateKeeper::CountSlice(qint64 ns)
{
    m_longestSliceNs = std::max(m_longestSliceNs, ns);
    ++m_nSlices;
    if (ns > 2 * kSliceNs)
        ++m_nLongSlices;
}

bool CTabStateKeeper::ReadRows(Tab &tab, const QElapsedTimer &slice, bool sliced)
{
    if (!tab.reading) {
        if (!tab.rowsDirty)
            return true;
        tab.reading = std::make_shared<std::vector<SessionState::Row>>();
        tab.readingStructure = tab.structure;
        tab.readRow = 0;
        tab.rowsDirty = false;
    }
    // Rows came or went since the read began: begin again, rather than miss or repeat one.
    if (tab.readingStructure != tab.structure) {
        tab.reading->clear();
        tab.readingStructure = tab.structure;
        tab.readRow = 0;
        tab.rowsDirty = false;
    }
    if (tab.panel) {
        const CReportCtrl &list = tab.panel->List();
        const int count = list.GetItemCount();
        if (tab.reading->capacity() < static_cast<std::size_t>(count))
            tab.reading->reserve(static_cast<std::size_t>(count));
        while (tab.readRow < count) {
            SessionState::Row &row = tab.reading->emplace_back();
            for (int c = 0; c < SessionState::kCells; ++c)
                row[static_cast<std::size_t>(c)] = list.GetItemText(tab.readRow, c);
            ++tab.readRow;
            if (sliced && slice.nsecsElapsed() > kSliceNs)
                return false;
        }
    }
    tab.rows = std::move(tab.reading);
    tab.reading.reset();
    return true;
}

SessionState CTabStateKeeper::Assemble(bool cleanExit) const
{
    SessionState state;
    state.cleanExit = cleanExit;
    if (!m_pFrame || !m_pFrame->Tabs())
        return state;
    const QList<CChildFrame *> frames = m_pFrame->Tabs()->Frames();
    state.activeTab = std::max(0, static_cast<int>(frames.indexOf(m_pFrame->Tabs()->ActiveFrame())));
    const wstring16 builtIn = g_strAppDir + u"Config.xml";
    for (CChildFrame *frame : frames) {
        SessionState::Tab tab;
        if (const Tab *t = Find(frame))
            tab.rows = t->rows;
        if (CVellumView *view = frame->GetBrowserView())
            tab.url = view->Address().toString().toStdU16String();
        if (CLeftView *panel = frame->GetLeftView()) {
            tab.catalogue = panel->Catalogue().Path() == builtIn ? wstring16() : panel->Catalogue().Path();
            tab.started = panel->IsStarted();
        }
        tab.container = frame->Container().toStdU16String();
        if (frame->m_wndSplitter && !frame->m_wndSplitter->sizes().isEmpty())
            tab.divider = frame->m_wndSplitter->sizes().constFirst();
        state.tabs.push_back(std::move(tab));
    }
    return state;
}

void CTabStateKeeper::Flush()
{
    if (m_bFinal)
        return;
    m_timer.stop();
    if (!m_bCollecting)
        StartCollecting();
    if (m_bCollecting)
        ContinueCollecting(false);
    m_writer->WaitWritten();
}

void CTabStateKeeper::SaveAtExit()
{
    // A start-up that failed before it watched the tabs leaves the last state as it was.
    if (m_bFinal || !m_bWatching)
        return;
    m_timer.stop();
    ++m_nGeneration;
    m_bCollecting = false;
    // Every tab read whole now, changed or not since the last save.
    for (const auto &tab : m_tabs)
        tab->rowsDirty = true;
    if (m_pFrame && m_pFrame->Tabs()) {
        m_collectOrder.clear();
        for (CChildFrame *frame : m_pFrame->Tabs()->Frames())
            m_collectOrder.append(frame);
        QElapsedTimer unused;
        unused.start();
        for (const QPointer<CChildFrame> &frame : m_collectOrder)
            if (Tab *tab = Find(frame)) {
                tab->reading.reset();
                ReadRows(*tab, unused, false);
            }
    }
    m_bFinal = true;
    m_writer->Hand(Assemble(true));
    m_writer->WaitWritten();
}

int CTabStateKeeper::Saves() const
{
    std::lock_guard guard(m_writer->lock);
    return m_writer->saves;
}
