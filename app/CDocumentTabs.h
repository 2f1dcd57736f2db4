#pragma once
// The tab area of the main frame. Every frame stays shown and stacked in one
// place, the current one raised: a page that was never visible drops mouse
// presses and a hidden page runs its timers at about one tick a second, so
// hiding the others (as a stacked layout would) stops their tasks. The close
// button sits on the active tab; a list of all documents is at the right end.

#include <QList>
#include <QWidget>

class CChildFrame;
class QTabBar;
class QToolButton;

class CDocumentTabs : public QWidget {
    Q_OBJECT
public:
    explicit CDocumentTabs(QWidget *parent = nullptr);

    // The area frames are placed in (their parent).
    QWidget *Area() const { return m_pArea; }
    void AddFrame(CChildFrame *frame, bool activate);
    // Takes the frame out of the tabs; the caller deletes it.
    void RemoveFrame(CChildFrame *frame);
    void SetActiveFrame(CChildFrame *frame);
    CChildFrame *ActiveFrame() const;
    QList<CChildFrame *> Frames() const { return m_frames; }
    int Count() const { return static_cast<int>(m_frames.size()); }
    QTabBar *TabBar() const { return m_pTabBar; }

signals:
    void ActiveFrameChanged(CChildFrame *frame);
    void CountChanged(int count);
    void CloseRequested(CChildFrame *frame);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void OnCurrentChanged(int index);
    void LayoutFrames();
    void UpdateCloseButtons();
    void FillDocumentList();

    QTabBar *m_pTabBar;
    QToolButton *m_pListButton;
    QWidget *m_pArea;
    QList<CChildFrame *> m_frames;
};
