// Makes the Debian package from this build, as a release does, and checks it without
// installing it: what it holds, its validators and lintian, and the program it
// carries running from a read-only copy of its prefix.

#include "tests/common/TempDir.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <tuple>

namespace fs = std::filesystem;

namespace {

struct Result {
    int code = -1;
    QString out;
};

Result Execute(const QString &program, const QStringList &arguments, int timeoutMs = 600000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {-1, QString::fromUtf8(process.readAll())};
    }
    return {
        process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, QString::fromUtf8(process.readAll())};
}

QString Q(const fs::path &path) { return QString::fromStdString(path.string()); }

QByteArray ReadAll(const fs::path &path)
{
    QFile file(Q(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every entry below root with what a write would change.
using Snapshot = std::map<fs::path, std::tuple<bool, std::uintmax_t, fs::file_time_type, fs::perms>>;
Snapshot Take(const fs::path &root)
{
    Snapshot shot;
    for (const auto &entry : fs::recursive_directory_iterator(root)) {
        const bool folder = entry.is_directory();
        shot[entry.path()] = {
            folder, folder ? 0 : entry.file_size(), entry.last_write_time(), entry.status().permissions()};
    }
    return shot;
}

void MakeReadOnly(const fs::path &root)
{
    const auto noWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    for (const auto &entry : fs::recursive_directory_iterator(root))
        if (!entry.is_symlink())
            fs::permissions(entry.path(), noWrite, fs::perm_options::remove);
    fs::permissions(root, noWrite, fs::perm_options::remove);
}

class PackageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_temp = new TempDir;
        const char *binaryDir = std::getenv("TESSALY_BINARY_DIR");
        const char *cpack = std::getenv("TESSALY_CPACK");
        if (!binaryDir || !cpack) {
            s_error = QStringLiteral("TESSALY_BINARY_DIR or TESSALY_CPACK not set");
            return;
        }
        const fs::path out = *s_temp / "out";
        const Result made = Execute(QString::fromLocal8Bit(cpack),
            {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                QString::fromLocal8Bit(binaryDir) + QStringLiteral("/CPackConfig.cmake"), QStringLiteral("-B"),
                Q(out)});
        for (const auto &entry : fs::directory_iterator(out))
            if (entry.path().extension() == ".deb")
                s_deb = entry.path();
        if (made.code != 0 || s_deb.empty()) {
            s_error = QStringLiteral("cpack failed:\n") + made.out;
            return;
        }
        s_root = *s_temp / "root";
        const Result unpacked = Execute(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), Q(s_deb), Q(s_root)});
        if (unpacked.code != 0)
            s_error = QStringLiteral("dpkg-deb -x failed:\n") + unpacked.out;
    }

    static void TearDownTestSuite()
    {
        delete s_temp;
        s_temp = nullptr;
    }

    void SetUp() override { ASSERT_TRUE(s_error.isEmpty()) << s_error.toStdString(); }

    static QProcessEnvironment ProgramEnvironment(const fs::path &home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), Q(home));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Q(home / "config"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), Q(home / "cache"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), Q(home / "data"));
        return env;
    }

    // Starts program, waits until folder holds both files start-up writes, ends it.
    static void RunUntilWritten(const fs::path &program, const fs::path &home, const fs::path &folder)
    {
        fs::create_directories(home);
        QProcess process;
        process.setProcessEnvironment(ProgramEnvironment(home));
        process.setWorkingDirectory(Q(home));
        process.start(Q(program), {});
        ASSERT_TRUE(process.waitForStarted(10000));
        const bool written = QTest::qWaitFor(
            [&] { return fs::exists(folder / "Orvane.ini") && fs::exists(folder / "Config.xml"); }, 60000);
        QTest::qWait(1000);
        const bool running = process.state() == QProcess::Running;
        process.kill();
        process.waitForFinished(10000);
        const std::string err = process.readAllStandardError().toStdString();
        EXPECT_TRUE(written) << err;
        EXPECT_TRUE(running) << "start-up went on to the message loop\n" << err;
        EXPECT_EQ(err.find("MessageBox"), std::string::npos) << err;
    }

    static inline TempDir *s_temp = nullptr;
    static inline fs::path s_deb;
    static inline fs::path s_root;
    static inline QString s_error;
};

} // namespace

TEST_F(PackageTest, HoldsTheProgramItsMenuEntryIconsAndMetadata)
{
    const Result list = Execute(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), Q(s_deb)});
    ASSERT_EQ(list.code, 0) << list.out.toStdString();
    QStringList expected = {QStringLiteral("./usr/bin/tessaly"),
        QStringLiteral("./usr/share/applications/tessaly.desktop"),
        QStringLiteral("./usr/share/metainfo/org.example.tessaly.metainfo.xml"),
        QStringLiteral("./usr/share/icons/hicolor/scalable/apps/tessaly.svg"),
        QStringLiteral("./usr/share/doc/tessaly/copyright")};
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        expected << QStringLiteral("./usr/share/icons/hicolor/%1x%1/apps/tessaly.png").arg(size);
    for (const QString &path : expected)
        EXPECT_TRUE(list.out.contains(QLatin1Char(' ') + path + QLatin1Char('\n'))) << path.toStdString();

    for (int size : {16, 48, 256}) {
        const QImage icon(Q(s_root / "usr/share/icons/hicolor" / (std::to_string(size) + "x" + std::to_string(size)) /
            "apps/tessaly.png"));
        EXPECT_EQ(icon.size(), QSize(size, size));
        // The rounded corner is (all but) transparent, the middle is drawn.
        EXPECT_LT(qAlpha(icon.pixel(0, 0)), 32);
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255);
    }
    EXPECT_TRUE(ReadAll(s_root / "usr/share/icons/hicolor/scalable/apps/tessaly.svg").contains("<svg"));

    const Result depends =
        Execute(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), Q(s_deb), QStringLiteral("Depends")});
    for (const char *package : {"libc6", "libqt6webenginecore6", "libqt6widgets6", "fonts-noto-cjk",
             "fonts-arphic-uming", "qt6-translations-l10n"})
        EXPECT_TRUE(depends.out.contains(QLatin1String(package))) << package << " in " << depends.out.toStdString();
}

TEST_F(PackageTest, MenuEntryMetadataAndPackagePassTheirCheckers)
{
    const Result desktop =
        Execute(QStringLiteral("desktop-file-validate"), {Q(s_root / "usr/share/applications/tessaly.desktop")});
    EXPECT_EQ(desktop.code, 0) << desktop.out.toStdString();
    EXPECT_TRUE(desktop.out.trimmed().isEmpty()) << desktop.out.toStdString();

    const Result metadata = Execute(QStringLiteral("appstreamcli"),
        {QStringLiteral("validate"), QStringLiteral("--no-net"),
            Q(s_root / "usr/share/metainfo/org.example.tessaly.metainfo.xml")});
    EXPECT_EQ(metadata.code, 0) << metadata.out.toStdString();

    const Result lintian =
        Execute(QStringLiteral("lintian"), {QStringLiteral("--fail-on"), QStringLiteral("error"), Q(s_deb)});
    EXPECT_EQ(lintian.code, 0) << lintian.out.toStdString();
    EXPECT_FALSE(lintian.out.contains(QStringLiteral("\nE: ")) || lintian.out.startsWith(QStringLiteral("E: ")))
        << lintian.out.toStdString();
}

TEST_F(PackageTest, ProgramFromAReadOnlyPrefixWritesIntoTheUsersDataFolder)
{
    TempDir temp;
    // What the packaged program writes beside itself in a folder the user may write.
    const fs::path portable = temp / "portable";
    fs::create_directories(portable);
    fs::copy_file(s_root / "usr/bin/tessaly", portable / "tessaly");
    RunUntilWritten(portable / "tessaly", temp / "home1", portable);
    const QByteArray catalogue = ReadAll(portable / "Config.xml");
    const QByteArray bossKeyFile = ReadAll(portable / "Orvane.ini");
    ASSERT_FALSE(catalogue.isEmpty());
    ASSERT_FALSE(bossKeyFile.isEmpty());
    EXPECT_FALSE(fs::exists(temp / "home1" / "data" / "tessaly"));

    const fs::path prefix = temp / "usr";
    fs::copy(s_root / "usr", prefix, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    MakeReadOnly(prefix);
    const Snapshot before = Take(prefix);
    const fs::path data = temp / "home2" / "data" / "tessaly";
    RunUntilWritten(prefix / "bin/tessaly", temp / "home2", data);
    EXPECT_EQ(ReadAll(data / "Config.xml"), catalogue);
    EXPECT_EQ(ReadAll(data / "Orvane.ini"), bossKeyFile);
    EXPECT_TRUE(fs::is_directory(data / "Config"));
    EXPECT_TRUE(Take(prefix) == before) << "the prefix was changed";
}
