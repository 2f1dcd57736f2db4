#include "app/CAboutDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("关于 Tessaly"));
    auto *icon = new QLabel(this);
    const QIcon appIcon =
        qApp->windowIcon().isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon) : qApp->windowIcon();
    icon->setPixmap(appIcon.pixmap(32, 32));
    auto *texts = new QVBoxLayout;
    texts->addWidget(new QLabel(QStringLiteral("Tessaly，1.0 版"), this));
    texts->addWidget(new QLabel(QStringLiteral("按时驱动网页的任务工具"), this));
    texts->addWidget(new QLabel(QStringLiteral("版权所有 (C) 2026 Tessaly 开发者"), this));
    auto *ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    top->addWidget(ok, 0, Qt::AlignTop);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    setSizeGripEnabled(false);
}
