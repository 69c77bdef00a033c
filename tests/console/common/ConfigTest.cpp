// GetConfigString / PutConfigString over the store: defaults, the zero-length
// and NUL rules, the path asymmetry, and the error-log entries of failures.
#include "common/AppPaths.h"
#include "common/Clock.h"
#include "common/Config.h"
#include "common/ErrorLog.h"

#include "TestDir.h"

#include <QDir>

namespace {

const QByteArray kKey = "SOFTWARE\\Kerlan\\Tellar";

// The error log goes to the case's own program folder, stamped by a clock
// that stands still at 6 December 2026 15:30:00.
class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AppPaths::setProgramDir(m_home.path());
        AppPaths::setProgramName(QStringLiteral("Tellar"));
        SetErrorLogClock(&m_clock);
    }
    void TearDown() override { SetErrorLogClock(nullptr); }

    QByteArray errorLog() const { return m_home.readFile(QStringLiteral("Tellar.err")); }
    QList<QByteArray> errorLines() const
    {
        QList<QByteArray> lines = errorLog().split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
    QByteArray entry(const char *procedure, const QString &message) const
    {
        return FormatErrorEntry(GetMachineName(), QString::fromLatin1(procedure), m_clock.now(),
                                321, message);
    }
    QByteArray stored(const QByteArray &key, const QByteArray &name)
    {
        HKEY h = 0;
        if (m_store.openKey(HKEY_LOCAL_MACHINE, key, KEY_READ, &h) != 0)
            return "<no key>";
        QByteArray data(256, '\0');
        quint32 size = 256;
        const qint32 rc = m_store.queryValue(h, name, nullptr, data.data(), &size);
        m_store.closeKey(h);
        return rc == 0 ? data.left(size) : QByteArray("<no value>");
    }

    TestDir m_home;
    TestDir m_registryDir;
    RegistryStore m_store{m_registryDir.path()};
    ManualClock m_clock;
};

TEST_F(ConfigTest, NothingStoredGivesEveryDefaultAndLogsNothing)
{
    struct Row {
        QLatin1String name, def;
    } rows[] = {
        {Config::KKAddress, Config::KKAddressDefault}, {Config::KKPort, Config::KKPortDefault},
        {Config::Printer, Config::PrinterDefault},     {Config::RAW, Config::RAWDefault},
        {Config::ReportMode, Config::ReportModeDefault}, {Config::DoPrint, Config::DoPrintDefault},
        {Config::POS, Config::POSDefault},             {Config::Session, Config::SessionDefault},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name.data());
        EXPECT_EQ(GetConfigString(m_store, Config::KeyPath, r.name, r.def), QString(r.def));
    }
    // A key without the value is "not found" too.
    PutConfigString(m_store, Config::KeyPath, Config::POS, QStringLiteral("12345678"));
    EXPECT_EQ(GetConfigString(m_store, Config::KeyPath, Config::Session, Config::SessionDefault),
              QStringLiteral("0"));
    EXPECT_FALSE(m_home.exists(QStringLiteral("Tellar.err")));
}

TEST_F(ConfigTest, WrittenTextIsStoredInTheCodePageWithoutNul)
{
    PutConfigString(m_store, Config::KeyPath, Config::Printer, qs("Kassa printer õ"));
    EXPECT_EQ(stored(kKey, "Printer"), QByteArray("Kassa printer \xF5"));
    EXPECT_EQ(GetConfigString(m_store, Config::KeyPath, Config::Printer, QString()),
              qs("Kassa printer õ"));
    PutConfigString(m_store, Config::KeyPath, Config::Printer, QStringLiteral("P2"));
    EXPECT_EQ(stored(kKey, "Printer"), QByteArray("P2"));
}

TEST_F(ConfigTest, ZeroLengthValueReadsAsTheDefault)
{
    PutConfigString(m_store, Config::KeyPath, Config::POS, QString());
    EXPECT_EQ(stored(kKey, "POS"), QByteArray());
    EXPECT_EQ(GetConfigString(m_store, Config::KeyPath, Config::POS, Config::POSDefault),
              QStringLiteral("00000000"));
    EXPECT_FALSE(m_home.exists(QStringLiteral("Tellar.err")));
}

TEST_F(ConfigTest, StoredNulEndsTheText)
{
    struct Row {
        const char *name;
        QByteArray data;
        const char *expected;
    } rows[] = {
        {"nul inside", QByteArray("12\0" "34", 5), "12"},
        {"nul first", QByteArray("\0" "abc", 4), ""},   // not empty: no default
        {"nul last", QByteArray("8145\0", 5), "8145"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        HKEY h = 0;
        ASSERT_EQ(m_store.createKey(HKEY_LOCAL_MACHINE, kKey, "", 0, KEY_ALL_ACCESS, &h), 0);
        ASSERT_EQ(m_store.setValue(h, "KKPort", REG_SZ, r.data), 0);
        m_store.closeKey(h);
        EXPECT_EQ(GetConfigString(m_store, Config::KeyPath, Config::KKPort, QStringLiteral("dflt")),
                  QString::fromLatin1(r.expected));
    }
}

TEST_F(ConfigTest, ReadStripsSoftwarePrefixButWriteDoesNot)
{
    PutConfigString(m_store, Config::KeyPath, Config::POS, QStringLiteral("11111111"));
    struct Row {
        const char *path;
        const char *expected;
    } rows[] = {
        {"Kerlan\\Tellar", "11111111"},
        {"SOFTWARE\\Kerlan\\Tellar", "11111111"},
        {"software\\Kerlan\\Tellar", "11111111"},
        {"HKLM\\SoFtWaRe\\Kerlan\\Tellar", "11111111"},  // cut up to the first match
        {"Kerlan\\Other", "none"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.path);
        EXPECT_EQ(GetConfigString(m_store, qs(r.path), Config::POS, QStringLiteral("none")),
                  qs(r.expected));
    }

    PutConfigString(m_store, QStringLiteral("SOFTWARE\\Kerlan\\Tellar"), Config::POS,
                    QStringLiteral("22222222"));
    EXPECT_EQ(stored("SOFTWARE\\SOFTWARE\\Kerlan\\Tellar", "POS"), QByteArray("22222222"));
    EXPECT_EQ(stored(kKey, "POS"), QByteArray("11111111"));
    EXPECT_EQ(GetConfigString(m_store, QStringLiteral("SOFTWARE\\Kerlan\\Tellar"), Config::POS,
                              QString()),
              QStringLiteral("11111111"));
}

TEST_F(ConfigTest, FailedCreateLeavesTwoLogEntries)
{
    m_registryDir.writeFile(QStringLiteral("blocker"), "x");
    RegistryStore blocked(m_registryDir.file(QStringLiteral("blocker/registry")));
    PutConfigString(blocked, Config::KeyPath, Config::POS, QStringLiteral("12345678"));

    const QList<QByteArray> lines = errorLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0] + '\n',
              entry("PutRegString", QStringLiteral("RegCreateKeyEx andis vea 3, hkey=-2147483646, "
                                                   "asukoht=SOFTWARE\\Kerlan\\Tellar")));
    EXPECT_EQ(lines[1] + '\n',
              entry("PutRegString",
                    QStringLiteral("RegSetValueEx andis vea 6, key=POS, vaart=12345678")));
}

TEST_F(ConfigTest, FailedOpenIsLoggedButMissingKeyIsNot)
{
    m_registryDir.writeFile(QStringLiteral("blocker"), "x");
    RegistryStore blocked(m_registryDir.file(QStringLiteral("blocker/registry")));
    EXPECT_EQ(GetConfigString(blocked, Config::KeyPath, Config::POS, Config::POSDefault),
              QStringLiteral("00000000"));
    const QList<QByteArray> lines = errorLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0] + '\n',
              entry("GetRegString", QStringLiteral("RegOpenKeyEx andis vea 3, hkey=-2147483646, "
                                                   "asukoht=SOFTWARE\\Kerlan\\Tellar")));
}

TEST_F(ConfigTest, CorruptStoreFallsBackAndIsLoggedAndKept)
{
    m_registryDir.writeFile(QStringLiteral("HKEY_LOCAL_MACHINE.reg"), "garbage");
    EXPECT_EQ(GetConfigString(m_store, Config::KeyPath, Config::KKAddress,
                              Config::KKAddressDefault),
              QStringLiteral("127.0.0.1"));
    PutConfigString(m_store, Config::KeyPath, Config::Session, QStringLiteral("7"));
    const QList<QByteArray> lines = errorLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].contains("(321 - RegOpenKeyEx andis vea 1009, hkey=-2147483646, "
                                  "asukoht=SOFTWARE\\Kerlan\\Tellar) "));
    EXPECT_TRUE(lines[1].contains("(321 - RegCreateKeyEx andis vea 1009, "));
    EXPECT_TRUE(lines[2].contains("(321 - RegSetValueEx andis vea 6, key=Session, vaart=7) "));
    EXPECT_EQ(m_registryDir.readFile(QStringLiteral("HKEY_LOCAL_MACHINE.reg")),
              QByteArray("garbage"));
}

TEST_F(ConfigTest, UnwritableProgramFolderLosesTheEntryQuietly)
{
    m_home.writeFile(QStringLiteral("blocker"), "x");
    AppPaths::setProgramDir(m_home.file(QStringLiteral("blocker/home")));
    m_registryDir.writeFile(QStringLiteral("blocker"), "x");
    RegistryStore blocked(m_registryDir.file(QStringLiteral("blocker/registry")));
    PutConfigString(blocked, Config::KeyPath, Config::POS, QStringLiteral("1"));
    EXPECT_FALSE(QFile::exists(m_home.file(QStringLiteral("blocker/home/Tellar.err"))));
    EXPECT_EQ(m_home.readFile(QStringLiteral("blocker")), QByteArray("x"));
}

TEST_F(ConfigTest, MachineStoreFollowsTheRegistryFolder)
{
    AppPaths::setRegistryDir(m_registryDir.path());
    PutConfigString(Config::KeyPath, Config::Session, QStringLiteral("42"));
    EXPECT_EQ(stored(kKey, "Session"), QByteArray("42"));
    EXPECT_EQ(GetConfigString(QStringLiteral("Software\\Kerlan\\Tellar"), Config::Session,
                              Config::SessionDefault),
              QStringLiteral("42"));
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Kerlan\\Tellar"),
                           QStringLiteral("session"), QString()),
              QStringLiteral("42"));

    TestDir other;
    AppPaths::setRegistryDir(other.path());
    EXPECT_EQ(GetConfigString(Config::KeyPath, Config::Session, Config::SessionDefault),
              QStringLiteral("0"));
}

} // namespace
