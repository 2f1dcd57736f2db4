#pragma once
// The split command's tracking of a splitter's divider, as the framework's
// keyboard split does: the arrow keys and the mouse move it, Enter or a click
// keeps it where it is, Esc puts it back. The tracker deletes itself when done.

#include <QObject>
#include <QPointer>

class QSplitter;

class CSplitTracker : public QObject {
    Q_OBJECT
public:
    // Starts tracking splitter's first divider; at most one tracker runs at once.
    static CSplitTracker *Start(QSplitter *splitter);
    static bool IsTracking() { return s_active != nullptr; }

    // Pixels an arrow key moves the divider (with Ctrl, one pixel).
    static constexpr int kStep = 8;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit CSplitTracker(QSplitter *splitter);
    ~CSplitTracker() override;
    void MoveTo(int position);
    void Finish(bool keep);

    QPointer<QSplitter> m_pSplitter;
    int m_nStart = 0;
    int m_nPosition = 0;
    static CSplitTracker *s_active;
};
