// Where the console's files go: options over environment over defaults.
#include "common/AppPaths.h"
#include "common/Clock.h"

#include "TestDir.h"

#include <QDir>
#include <QFileInfo>

namespace {

class EnvGuard {
public:
    explicit EnvGuard(const char *name) : m_name(name), m_saved(qgetenv(name)),
                                          m_was(qEnvironmentVariableIsSet(name)) {}
    ~EnvGuard()
    {
        if (m_was)
            qputenv(m_name, m_saved);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    QByteArray m_saved;
    bool m_was;
};

TEST(AppPaths, OptionsOverEnvironmentOverDefaults)
{
    EnvGuard home("TELLAR_HOME"), registry("TELLAR_REGISTRY");
    qunsetenv("TELLAR_HOME");
    qunsetenv("TELLAR_REGISTRY");
    const QString exeDir = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();

    struct Row {
        const char *name;
        const char *envHome, *envRegistry;
        QStringList args;
        QString programDir, registryDir;
        QStringList rest;
    } rows[] = {
        {"defaults", nullptr, nullptr, {QStringLiteral("T")}, exeDir,
         QStringLiteral("/var/lib/tellar/registry"), {QStringLiteral("T")}},
        {"environment", "/srv/h", "/srv/r", {QStringLiteral("T")}, QStringLiteral("/srv/h"),
         QStringLiteral("/srv/r"), {QStringLiteral("T")}},
        {"options win", "/srv/h", "/srv/r",
         {QStringLiteral("T"), QStringLiteral("--home"), QStringLiteral("/a"),
          QStringLiteral("--registry=/b"), QStringLiteral("--config"), QStringLiteral("list")},
         QStringLiteral("/a"), QStringLiteral("/b"),
         {QStringLiteral("T"), QStringLiteral("--config"), QStringLiteral("list")}},
        {"empty option value ignored", nullptr, "/srv/r",
         {QStringLiteral("T"), QStringLiteral("--registry="), QStringLiteral("--home"), QString()},
         exeDir, QStringLiteral("/srv/r"), {QStringLiteral("T")}},
        {"dangling option kept for the caller", nullptr, nullptr,
         {QStringLiteral("T"), QStringLiteral("--home")}, exeDir,
         QStringLiteral("/var/lib/tellar/registry"), {QStringLiteral("T"), QStringLiteral("--home")}},
        {"relative made absolute", nullptr, nullptr,
         {QStringLiteral("T"), QStringLiteral("--home"), QStringLiteral("rel/../h")},
         QDir::currentPath() + QStringLiteral("/h"), QStringLiteral("/var/lib/tellar/registry"),
         {QStringLiteral("T")}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        r.envHome ? qputenv("TELLAR_HOME", r.envHome) : qunsetenv("TELLAR_HOME");
        r.envRegistry ? qputenv("TELLAR_REGISTRY", r.envRegistry) : qunsetenv("TELLAR_REGISTRY");
        const AppPaths::Options o = AppPaths::parse(r.args);
        EXPECT_EQ(o.programDir, r.programDir);
        EXPECT_EQ(o.registryDir, r.registryDir);
        EXPECT_EQ(o.rest, r.rest);
    }
}

TEST(AppPaths, InitStoresFoldersAndNamesTheErrorLogAfterTheProgram)
{
    TestDir dir;
    const QStringList rest = AppPaths::init({QStringLiteral("prog"), QStringLiteral("--home"),
                                             dir.path(), QStringLiteral("--registry"),
                                             dir.file(QStringLiteral("reg"))});
    EXPECT_EQ(rest, QStringList{QStringLiteral("prog")});
    EXPECT_EQ(AppPaths::programDir(), dir.path());
    EXPECT_EQ(AppPaths::registryDir(), dir.file(QStringLiteral("reg")));
    // Named after the running executable, without extension.
    EXPECT_EQ(AppPaths::programName(), QStringLiteral("common_paths_test"));
    EXPECT_EQ(AppPaths::errorLogPath(), dir.file(QStringLiteral("common_paths_test.err")));
    EXPECT_EQ(AppPaths::programFile(QStringLiteral("Report.pdf")),
              dir.file(QStringLiteral("Report.pdf")));
}

TEST(AppPaths, InstalledProgramsFolderIsPerUserUnderXdgStateHome)
{
    EnvGuard state("XDG_STATE_HOME"), home("HOME");
    qputenv("HOME", "/home/kassa1");
    qputenv("XDG_STATE_HOME", "/srv/state");
    EXPECT_EQ(AppPaths::userStateDir(), QStringLiteral("/srv/state/tellar"));
    qputenv("XDG_STATE_HOME", "relative/state");  // not absolute: ignored, as the XDG rules say
    EXPECT_EQ(AppPaths::userStateDir(), QStringLiteral("/home/kassa1/.local/state/tellar"));
    qunsetenv("XDG_STATE_HOME");
    EXPECT_EQ(AppPaths::userStateDir(), QStringLiteral("/home/kassa1/.local/state/tellar"));
}

TEST(AppPaths, ProgramOutsideTheInstallFolderKeepsItsOwnFolder)
{
    EnvGuard home("TELLAR_HOME");
    qunsetenv("TELLAR_HOME");
    const QString exeDir = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
    EXPECT_EQ(AppPaths::parse({QStringLiteral("prog")}).programDir, exeDir);
}

TEST(ManualClock, MovesOnlyWhenTold)
{
    ManualClock clock(QDateTime(QDate(2026, 12, 6), QTime(15, 30, 0)), 500);
    EXPECT_EQ(clock.nowMs(), 500);
    clock.advanceMs(55);
    EXPECT_EQ(clock.nowMs(), 555);
    EXPECT_EQ(clock.now(), QDateTime(QDate(2026, 12, 6), QTime(15, 30, 0, 55)));
    clock.setNow(QDateTime(QDate(2027, 1, 1), QTime(0, 0)));
    clock.advanceMs(1000);
    EXPECT_EQ(clock.now(), QDateTime(QDate(2027, 1, 1), QTime(0, 0, 1)));
    EXPECT_EQ(clock.nowMs(), 1555);
}

TEST(SystemClock, MonotonicAndNearWallTime)
{
    const Clock &clock = Clock::system();
    const qint64 a = clock.nowMs();
    const qint64 b = clock.nowMs();
    EXPECT_GE(b, a);
    EXPECT_LE(qAbs(clock.now().msecsTo(QDateTime::currentDateTime())), 5000);
}

} // namespace
