#pragma once
// "管理容器...": the containers with their size on disk and the tabs in them;
// renames them, clears their data and deletes those no tab uses.

#include <QDialog>

class CMainFrame;
class QPushButton;
class QTreeWidget;

class CContainersDlg : public QDialog {
    Q_OBJECT
public:
    explicit CContainersDlg(CMainFrame *frame);

    QTreeWidget *List() const { return m_pList; }
    // The selected container; empty when none.
    QString Selected() const;
    void Select(const QString &id);
    void OnRename();
    // Asks first, as deleting does.
    void OnClearData();
    void OnDelete();

    static QString SizeText(qint64 bytes);

private:
    void Fill();
    void UpdateButtons();
    // The tab titles of the container.
    QStringList TabsOf(const QString &id) const;

    CMainFrame *m_pFrame;
    QTreeWidget *m_pList = nullptr;
    QPushButton *m_pRename = nullptr;
    QPushButton *m_pClear = nullptr;
    QPushButton *m_pDelete = nullptr;
};
