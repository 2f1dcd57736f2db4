#pragma once
// The content-window chain of a browser view and the real input it carries.
// Below the view's window: "Shell Embedding" > "Shell DocObject View" >
// "Internet Explorer_Server" (the last only while a page is loaded), and below
// that "MacromediaFlashPlayerActiveX" while the page holds a visible object,
// embed or canvas element. Mouse messages posted to the content window become
// mouse events of the page at those client coordinates; posted to the game-area
// window, at coordinates relative to the element's top-left corner, taken when
// the event is delivered. Events go to the page's current render widget, in the
// order they were posted, with real increasing timestamps.

#include "platform/Win32Types.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>

#include <deque>
#include <memory>

class CVellumView;
class QWidget;
class WindowBinding;

class CPageInput : public QObject {
    Q_OBJECT
public:
    CPageInput(CVellumView *view, HWND viewWindow);
    ~CPageInput() override;

    HWND EmbeddingWindow() const { return m_hEmbedding; }
    HWND ContentWindow() const { return m_hContent; }
    HWND GameWindow() const;
    // The game-area element's rectangle in view coordinates (empty: none).
    QRect GameArea() const { return m_gameArea; }

    void OnPageLoaded();
    // The renderer ended: nothing queued can reach the page any more.
    void OnPageGone();
    // Looks for the game-area element again (the page may have changed).
    void Refresh();

    // Timestamps of injected events: milliseconds, strictly increasing.
    static ulong NextTimestamp();

private:
    struct Pending {
        UINT message;
        QPoint point;
        bool relativeToGame;
    };
    LRESULT OnContentMessage(UINT message, LPARAM lParam, bool relativeToGame);
    void ProcessQueue();
    void Deliver(UINT message, QPoint point);
    void SetGameArea(const QRect &area);
    void DestroyContentWindow();

    CVellumView *m_view;
    HWND m_hEmbedding = nullptr;
    HWND m_hDocObject = nullptr;
    HWND m_hContent = nullptr;
    std::unique_ptr<WindowBinding> m_game;
    QWidget *m_gameWidget = nullptr;
    QRect m_gameArea;
    std::deque<Pending> m_queue;
    bool m_bLookupPending = false;
    bool m_bRefreshPending = false;
    bool m_bLeftDown = false;
    quint64 m_nGeneration = 0;
};
