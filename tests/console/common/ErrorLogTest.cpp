// The error log's entry bytes, its file and its silence on failure.
#include "common/AppPaths.h"
#include "common/Clock.h"
#include "common/ErrorLog.h"

#include "TestDir.h"

#include <unistd.h>

namespace {

TEST(ErrorLog, EntryLayoutByteForByte)
{
    struct Row {
        const char *name;
        QDateTime when;
        qint32 number;
        const char *message;
        QByteArray expected;
    } rows[] = {
        {"afternoon", QDateTime(QDate(2026, 12, 6), QTime(15, 30, 0)), 321,
         "RegSetValueEx andis vea 5, key=POS, vaart=1",
         "<KASSA1>\tPutRegString , 06. detsember 2026 kell 15:30:00\t"
         "(321 - RegSetValueEx andis vea 5, key=POS, vaart=1) \r\n"},
        {"24-hour clock and padded fields", QDateTime(QDate(2010, 3, 1), QTime(23, 5, 9)), -7,
         "x",
         "<KASSA1>\tPutRegString , 01. m\xE4rts 2010 kell 23:05:09\t(-7 - x) \r\n"},
        {"line break kept", QDateTime(QDate(2026, 1, 2), QTime(0, 0, 0)), 1, "a\r\nb",
         "<KASSA1>\tPutRegString , 02. jaanuar 2026 kell 00:00:00\t(1 - a\r\nb) \r\n"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(FormatErrorEntry(QStringLiteral("KASSA1"), QStringLiteral("PutRegString"), r.when,
                                   r.number, qs(r.message)),
                  r.expected);
    }
}

TEST(ErrorLog, EstonianTextIsWrittenInTheCodePage)
{
    const QByteArray e = FormatErrorEntry(qs("KASSA-Õ"), QStringLiteral("P"),
                                          QDateTime(QDate(2026, 5, 1), QTime(8, 0)), 1,
                                          qs("šž"));
    EXPECT_EQ(e, QByteArray("<KASSA-\xD5>\tP , 01. mai 2026 kell 08:00:00\t(1 - \xF0\xFE) \r\n"));
}

TEST(ErrorLog, MachineNameIsTheHostName)
{
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    const QString expected = host[0] ? QString::fromLatin1(host) : QStringLiteral(" <> ");
    EXPECT_EQ(GetMachineName(), expected);
}

class ErrorLogFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        AppPaths::setProgramDir(m_home.path());
        AppPaths::setProgramName(QStringLiteral("Tellar"));
        SetErrorLogClock(&m_clock);
    }
    void TearDown() override { SetErrorLogClock(nullptr); }
    TestDir m_home;
    ManualClock m_clock{QDateTime(QDate(2026, 12, 6), QTime(15, 30, 0))};
};

TEST_F(ErrorLogFile, FirstEntryCreatesFileLaterOnesAppend)
{
    EXPECT_EQ(AppPaths::errorLogPath(), m_home.file(QStringLiteral("Tellar.err")));
    LogError(321, QStringLiteral("first"), QStringLiteral("GetRegString"));
    m_clock.advanceMs(61'000);
    LogError(321, QStringLiteral("second"), QStringLiteral("PutRegString"), QString());
    const QString host = GetMachineName();
    EXPECT_EQ(m_home.readFile(QStringLiteral("Tellar.err")),
              FormatErrorEntry(host, QStringLiteral("GetRegString"),
                               QDateTime(QDate(2026, 12, 6), QTime(15, 30, 0)), 321,
                               QStringLiteral("first"))
                  + FormatErrorEntry(host, QStringLiteral("PutRegString"),
                                     QDateTime(QDate(2026, 12, 6), QTime(15, 31, 1)), 321,
                                     QStringLiteral("second")));
}

TEST_F(ErrorLogFile, ExplicitFileNameIsUsedAsGiven)
{
    LogError(5, QStringLiteral("m"), QStringLiteral("p"), m_home.file(QStringLiteral("other.log")));
    EXPECT_FALSE(m_home.exists(QStringLiteral("Tellar.err")));
    EXPECT_TRUE(m_home.readFile(QStringLiteral("other.log")).endsWith("(5 - m) \r\n"));
}

TEST_F(ErrorLogFile, UnwritableFolderLosesEntryWithoutFailing)
{
    m_home.writeFile(QStringLiteral("blocker"), "x");
    AppPaths::setProgramDir(m_home.file(QStringLiteral("blocker")));
    LogError(321, QStringLiteral("lost"), QStringLiteral("PutRegString"));
    EXPECT_EQ(m_home.readFile(QStringLiteral("blocker")), QByteArray("x"));
}

} // namespace
