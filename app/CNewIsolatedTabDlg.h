#pragma once
// "新建隔离标签页...": picks a container for a new tab, or makes one from a name
// typed in. Any name is taken; the container's folder is made safe by itself.

#include <QDialog>
#include <QString>

class CContainers;
class QComboBox;

class CNewIsolatedTabDlg : public QDialog {
    Q_OBJECT
public:
    CNewIsolatedTabDlg(CContainers *containers, QWidget *parent);

    // The container chosen or made; empty when the dialog was cancelled.
    static QString Ask(QWidget *parent, CContainers *containers);

    QComboBox *NameBox() const { return m_pName; }
    QString Container() const { return m_strContainer; }
    void accept() override;

private:
    CContainers *m_pContainers;
    QComboBox *m_pName = nullptr;
    QString m_strContainer;
};
