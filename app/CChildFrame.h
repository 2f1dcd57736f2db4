#pragma once
// One tab: a splitter of one row and two columns, the task panel at (0,0) and
// the browser view at (0,1). The task panel finds its browser as pane (0,1).

#include "app/CVellumDoc.h"
#include "platform/Win32Types.h"

#include <QColor>
#include <QPointer>
#include <QWidget>
#include <memory>

class CContainers;
class CLeftView;
class CVellumView;
class QSplitter;
class WindowBinding;

class CChildFrame : public QWidget {
    Q_OBJECT
public:
    CChildFrame(CVellumDoc *document, QWidget *parent = nullptr);
    ~CChildFrame() override;

    // Builds the two panes; false (and no splitter) when either cannot be made.
    bool OnCreateClient();
    // Runs the initial update of both panes.
    void OnInitialUpdate();
    // Left-button presses and releases inside the tab at a screen point, for
    // the recorder's automatic capture; never consumes the message.
    bool PreTranslateMessage(UINT message, POINT cursor);

    QSplitter *m_wndSplitter = nullptr;
    // GetTickCount of the last left-button release and press taken for the recorder.
    DWORD m_dwLastUpTick;
    DWORD m_dwLastDownTick;

    QWidget *GetPane(int row, int column) const;
    CLeftView *GetLeftView() const;
    CVellumView *GetBrowserView() const;
    CVellumDoc *GetDocument() const { return m_pDocument; }
    HWND GetSafeHwnd() const;
    // The tab's title; an isolated tab's carries its container's name.
    QString Title() const;

    // Puts the tab in a named container (before OnCreateClient); empty: the default one.
    void SetContainer(CContainers *containers, const QString &id);
    QString Container() const { return m_strContainer; }
    // The container's colour; invalid in the default container.
    QColor ContainerColour() const;

    static constexpr int kInitialPaneSize = 214;
    // Presses (releases) this close to the last one taken are not taken again.
    static constexpr DWORD kDoubleTakeMs = 300;

signals:
    void TitleChanged(const QString &title);

private:
    std::unique_ptr<WindowBinding> m_window;
    QPointer<CVellumDoc> m_pDocument;
    QPointer<CContainers> m_pContainers;
    QString m_strContainer;
};
