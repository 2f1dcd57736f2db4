#include "platform/qt/QtTranslations.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <gtest/gtest.h>

// Qt's standard buttons read in Chinese whatever the locale the user runs.
TEST(QtTranslations, StandardButtonsReadInChineseUnderAnEnglishLocale)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ASSERT_GE(QtTranslations::Install(), 1)
        << "Qt's translations in " << QLibraryInfo::path(QLibraryInfo::TranslationsPath).toStdString();
    QMessageBox box(
        QMessageBox::Warning, QStringLiteral("Tessaly"), QStringLiteral("x"), QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
    QDialogButtonBox buttons(QDialogButtonBox::Open | QDialogButtonBox::Save);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Save)->text().remove(QLatin1Char('&')).left(2), QStringLiteral("保存"));
    QLocale::setDefault(QLocale::system());
    // The other suites of this program compare nothing of Qt's own.
    for (QTranslator *translator : QCoreApplication::instance()->findChildren<QTranslator *>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}
