#pragma once
// Keeps every tab's state on disk while the program runs, so that a crash, a
// killed process or a power cut loses at most the last two seconds: any change
// of a tab (rows, page, catalogue, start, divider, the tabs themselves) is
// saved within two seconds, and everything at exit.
//
// The UI thread reads the rows through the panels' lists in slices of at most
// a couple of milliseconds, re-reading only tabs that changed; a thread of the
// keeper composes the file and replaces it, keeping the one before.

#include "platform/Win32Types.h"
#include "tasks/SessionState.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

class CChildFrame;
class CMainFrame;

class CTabStateKeeper : public QObject {
    Q_OBJECT
public:
    // Time from a change to the start of its save; the save itself follows within milliseconds.
    static constexpr int kSaveDelayMs = 1000;
    // The longest the UI thread reads rows before it lets other work in.
    static constexpr qint64 kSliceNs = 2'000'000;

    CTabStateKeeper(CMainFrame *frame, const wstring16 &path);
    ~CTabStateKeeper() override;

    const wstring16 &Path() const { return m_path; }

    // The last saved state. damaged: the file (or its previous copy) was there
    // but unreadable; usedPrevious: the previous copy stands in for it.
    bool ReadLast(SessionState *state, bool *damaged, bool *usedPrevious);
    // Opens the state's tabs, rows and pages, tasks not started. The messages of
    // catalogues that could not be loaded (the tab keeps the built-in one).
    std::vector<wstring16> Restore(const SessionState &state);

    // Starts following the tabs of the frame; changes from now on are saved.
    void Watch();
    // The final save of a normal exit; nothing is saved after it. Nothing without Watch.
    void SaveAtExit();
    // Saves now and returns when the file is written (tests and benchmarks).
    void Flush();

    // Figures of the saves so far.
    qint64 LongestSliceNs() const { return m_longestSliceNs; }
    qint64 Slices() const { return m_nSlices; }
    // Slices that took more than twice their due (the thread was taken from them, or a row was slow).
    qint64 LongSlices() const { return m_nLongSlices; }
    int Saves() const;

signals:
    void Saved();

private:
    struct Tab;
    struct Writer;

    void Follow(CChildFrame *frame);
    void Forget(QObject *frame);
    void FollowNewFrames();
    void Changed();
    void RowsChanged(Tab *tab, bool structure);
    void StartCollecting();
    void ContinueCollecting(bool sliced);
    // Reads the rows of the tab at m_nCollectTab until the deadline; true when it has them all.
    bool ReadRows(Tab &tab, const QElapsedTimer &slice, bool sliced);
    SessionState Assemble(bool cleanExit) const;
    void CountSlice(qint64 ns);
    Tab *Find(const CChildFrame *frame) const;

    QPointer<CMainFrame> m_pFrame;
    wstring16 m_path;
    std::vector<std::unique_ptr<Tab>> m_tabs;
    QTimer m_timer;
    bool m_bWatching = false;
    bool m_bDirty = false;
    bool m_bCollecting = false;
    bool m_bFinal = false;
    // The collection under way.
    QList<QPointer<CChildFrame>> m_collectOrder;
    int m_nCollectTab = 0;
    unsigned m_nGeneration = 0;
    qint64 m_longestSliceNs = 0;
    qint64 m_nSlices = 0;
    qint64 m_nLongSlices = 0;
    std::unique_ptr<Writer> m_writer;
};
