#include "app/CNewIsolatedTabDlg.h"

#include "app/CContainers.h"
#include "platform/UserInterface.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CNewIsolatedTabDlg::CNewIsolatedTabDlg(CContainers *containers, QWidget *parent)
    : QDialog(parent), m_pContainers(containers)
{
    setWindowTitle(QStringLiteral("新建隔离标签页"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto *hint = new QLabel(
        QStringLiteral("隔离标签页有自己的 Cookie、本地存储和缓存，同一网站可以在不同容器中登录不同的账号。\n"
                       "选择已有的容器，或输入新容器的名称："),
        this);
    hint->setWordWrap(true);
    m_pName = new QComboBox(this);
    m_pName->setEditable(true);
    m_pName->setInsertPolicy(QComboBox::NoInsert);
    m_pName->lineEdit()->setMaxLength(64);
    m_pName->lineEdit()->setPlaceholderText(QStringLiteral("容器名称"));
    for (const ContainerIndex::Entry &entry : containers->Entries())
        m_pName->addItem(CContainers::Swatch(CContainers::Colour(entry.colour)), QString::fromStdU16String(entry.name));
    m_pName->setCurrentIndex(-1);
    m_pName->setEditText(QString());
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CNewIsolatedTabDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(m_pName);
    layout->addWidget(buttons);
    setMinimumWidth(380);
    m_pName->setFocus();
}

void CNewIsolatedTabDlg::accept()
{
    const QString name = m_pName->currentText();
    QString id = m_pContainers->IdOfName(name);
    if (id.isEmpty()) {
        QString error;
        id = m_pContainers->Create(name, &error);
        if (id.isEmpty()) {
            MessageBoxW(nullptr, error.toStdU16String().c_str(), u"Tessaly", MB_OK | MB_ICONWARNING);
            return;
        }
    }
    m_strContainer = id;
    QDialog::accept();
}

QString CNewIsolatedTabDlg::Ask(QWidget *parent, CContainers *containers)
{
    CNewIsolatedTabDlg dialog(containers, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.Container() : QString();
}
