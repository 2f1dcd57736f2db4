// Runs the real program from a copy in a temporary folder, as a user starts it,
// and checks what start-up leaves on disk and how it fails.

#include "BuildInfo.h"
#include "tests/common/TempDir.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

QByteArray ReadAll(const fs::path &path)
{
    QFile file(QString::fromStdString(path.string()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const fs::path &path, const char *text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char *binaryDir = std::getenv("TESSALY_BINARY_DIR");
        const char *sourceDir = std::getenv("TESSALY_SOURCE_DIR");
        ASSERT_NE(binaryDir, nullptr);
        ASSERT_NE(sourceDir, nullptr);
        m_catalogue = ReadAll(fs::path(sourceDir) / "res" / "Config.xml");
        ASSERT_FALSE(m_catalogue.isEmpty());
        m_appDir = m_temp / "深层" / "程序";
        fs::create_directories(m_appDir);
        m_program = m_appDir / "tessaly";
        fs::copy_file(fs::path(binaryDir) / "tessaly_under_test", m_program);
    }

    void TearDown() override
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    void Start(const QStringList &arguments = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TESSALY_ANSWER_MESSAGE_BOXES"), QStringLiteral("1"));
        const QString home = QString::fromStdString((m_temp / "home").string());
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(DataHome().string()));
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(QString::fromStdString(m_temp.Path().string()));
        m_process.start(QString::fromStdString(m_program.string()), arguments);
        ASSERT_TRUE(m_process.waitForStarted(10000));
    }

    // The program failed at start-up: non-zero exit, and its message.
    QString FailureMessage()
    {
        EXPECT_TRUE(m_process.waitForFinished(60000));
        EXPECT_EQ(m_process.exitStatus(), QProcess::NormalExit);
        EXPECT_NE(m_process.exitCode(), 0);
        const QString err = QString::fromUtf8(m_process.readAllStandardError());
        const qsizetype at = err.indexOf(QStringLiteral("MessageBox [Tessaly] "));
        if (at < 0)
            return QString();
        return err.mid(at + 21).section(QLatin1Char('\n'), 0, 0);
    }

    void Stop()
    {
        m_process.kill();
        m_process.waitForFinished(10000);
    }

    fs::path DataHome() const { return m_temp / "home" / "data"; }

    QString AppDir() const { return QString::fromStdString(m_appDir.string()) + QLatin1Char('/'); }

    TempDir m_temp;
    fs::path m_appDir;
    fs::path m_program;
    QByteArray m_catalogue;
    QProcess m_process;
};

} // namespace

TEST_F(StartupTest, RewritesTheCatalogueAndCreatesTheConfigurationFolder)
{
    WriteAll(m_appDir / "Config.xml", "<game><item name=\"edited by the user\"/></game>");
    Start();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return ReadAll(m_appDir / "Config.xml") == m_catalogue && fs::is_directory(m_appDir / "Config"); },
        60000));
    // Start-up went on to the message loop.
    QTest::qWait(1000);
    EXPECT_EQ(m_process.state(), QProcess::Running) << m_process.readAllStandardError().toStdString();
    EXPECT_FALSE(m_process.readAllStandardError().contains("MessageBox"));
}

TEST_F(StartupTest, UnknownOptionsAreIgnored)
{
    Start({QStringLiteral("--foo"), QStringLiteral("-x")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::is_directory(m_appDir / "Config"); }, 60000));
    QTest::qWait(1500);
    EXPECT_EQ(m_process.state(), QProcess::Running) << m_process.readAllStandardError().toStdString();
    EXPECT_FALSE(m_process.readAllStandardError().contains("MessageBox"));
}

TEST_F(StartupTest, KeepsAnExistingConfigurationFolder)
{
    fs::create_directories(m_appDir / "Config");
    WriteAll(m_appDir / "Config" / "temEventList.bak", "kept");
    Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ReadAll(m_appDir / "Config.xml") == m_catalogue; }, 60000));
    QTest::qWait(1000);
    EXPECT_EQ(m_process.state(), QProcess::Running);
    EXPECT_EQ(ReadAll(m_appDir / "Config" / "temEventList.bak"), QByteArray("kept"));
}

TEST_F(StartupTest, CatalogueThatCannotBeWrittenEndsStartUp)
{
    // A folder where the catalogue belongs cannot be opened as a file, even by root.
    fs::create_directories(m_appDir / "Config.xml");
    Start();
    EXPECT_EQ(FailureMessage(), QStringLiteral("生成配置文件失败：") + AppDir() + QStringLiteral("Config.xml"));
    EXPECT_FALSE(fs::exists(m_appDir / "Config"));
}

TEST_F(StartupTest, ConfigurationFolderThatCannotBeMadeEndsStartUp)
{
    WriteAll(m_appDir / "Config", "a file in the folder's place");
    Start();
    EXPECT_EQ(FailureMessage(), QStringLiteral("配置目录创建失败：") + AppDir() + QStringLiteral("Config"));
    // The catalogue written before the failure stays.
    EXPECT_EQ(ReadAll(m_appDir / "Config.xml"), m_catalogue);
}

TEST_F(StartupTest, ReadOnlyFolderSendsTheFilesToTheUsersDataFolder)
{
    // What the program writes beside itself.
    Start();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return fs::exists(m_appDir / "Orvane.ini") && ReadAll(m_appDir / "Config.xml") == m_catalogue; }, 60000));
    Stop();
    const QByteArray bossKeyFile = ReadAll(m_appDir / "Orvane.ini");
    ASSERT_FALSE(bossKeyFile.isEmpty());
    for (const auto &entry : fs::directory_iterator(m_appDir))
        if (entry.path() != m_program)
            fs::remove_all(entry.path());

    // As installed: no write bit, which stops root too.
    fs::permissions(m_appDir, fs::perms::owner_read | fs::perms::owner_exec);
    Start();
    const fs::path data = DataHome() / "tessaly";
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return fs::exists(data / "Orvane.ini") && fs::is_directory(data / "Config") &&
                ReadAll(data / "Config.xml") == m_catalogue;
        },
        60000))
        << m_process.readAllStandardError().toStdString();
    EXPECT_EQ(ReadAll(data / "Orvane.ini"), bossKeyFile);
    QTest::qWait(1000);
    EXPECT_EQ(m_process.state(), QProcess::Running);
    Stop();
    fs::permissions(m_appDir, fs::perms::owner_all);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_appDir), fs::directory_iterator()), 1) << "only the program";
}

TEST_F(StartupTest, DataFolderThatCannotBeMadeEndsStartUp)
{
    fs::create_directories(DataHome());
    WriteAll(DataHome() / "tessaly", "a file in the folder's place");
    fs::permissions(m_appDir, fs::perms::owner_read | fs::perms::owner_exec);
    Start();
    EXPECT_EQ(FailureMessage(),
        QStringLiteral("配置目录创建失败：") + QString::fromStdString((DataHome() / "tessaly").string()));
    fs::permissions(m_appDir, fs::perms::owner_all);
}

TEST_F(StartupTest, VersionAndHelpPrintWithoutADisplay)
{
    // Without a display a window would end the program with an error.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    const auto run = [&](const QString &option) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QString::fromStdString(m_program.string()), {option});
        EXPECT_TRUE(process.waitForFinished(10000)) << option.toStdString();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    const QString version = QStringLiteral("Tessaly " TESSALY_VERSION "\n");
    EXPECT_EQ(run(QStringLiteral("--version")), version);
    EXPECT_EQ(run(QStringLiteral("-v")), version);
    const QString help = run(QStringLiteral("--help"));
    EXPECT_TRUE(help.startsWith(version + QStringLiteral("用法：tessaly"))) << help.toStdString();
    EXPECT_TRUE(help.contains(QStringLiteral("--help")) && help.contains(QStringLiteral("--version")));
    EXPECT_EQ(run(QStringLiteral("-h")), help);
    EXPECT_FALSE(fs::exists(m_appDir / "Config.xml")) << "start-up did not run";
}
