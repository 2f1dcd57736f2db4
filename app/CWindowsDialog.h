#pragma once
// The windows dialog (command 131): the open tabs in tab order, to activate,
// save or close them. Saving and closing act on every selected tab.

#include <QDialog>
#include <QPointer>

class CChildFrame;
class CMainFrame;
class QListWidget;
class QPushButton;

class CWindowsDialog : public QDialog {
    Q_OBJECT
public:
    explicit CWindowsDialog(CMainFrame *frame);

    QListWidget *List() const { return m_pList; }
    void OnActivate();
    void OnSave();
    void OnCloseWindows();

private:
    void Fill();
    void UpdateButtons();
    QList<CChildFrame *> SelectedFrames() const;

    CMainFrame *m_pFrame;
    QListWidget *m_pList = nullptr;
    QPushButton *m_pActivate = nullptr;
    QPushButton *m_pSave = nullptr;
    QPushButton *m_pClose = nullptr;
    QList<QPointer<CChildFrame>> m_frames; // in the list's order
};
