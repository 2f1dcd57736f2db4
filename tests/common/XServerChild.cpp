#include "tests/common/XServerChild.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <gtest/gtest.h>

bool XServerChild::IsChild(const char *marker) { return qEnvironmentVariableIsSet(marker); }

void XServerChild::Run(const char *marker, const QString &filter, int tests, int timeoutMs)
{
    if (IsChild(marker))
        GTEST_SKIP() << "this is the child";
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "no X display (run the suite under xvfb-run)";
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "xdotool missing";
    QProcess child;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(marker), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + filter});
    ASSERT_TRUE(child.waitForFinished(timeoutMs));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    const QByteArray passed = tests == 1 ? QByteArrayLiteral("[  PASSED  ] 1 test")
                                         : QByteArrayLiteral("[  PASSED  ] ") + QByteArray::number(tests) + " tests";
    EXPECT_TRUE(output.contains(passed)) << output.toStdString();
}
