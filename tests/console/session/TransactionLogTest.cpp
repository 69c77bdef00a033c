// log.txt byte for byte: quoted outgoing lines, run-on event entries, raw
// frames, the fixed stamp, and AppendToFile's results.
#include "session/TransactionLog.h"

#include "SessionTestSupport.h"
#include "common/Clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class TransactionLogTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("log.txt")); }
    QByteArray content() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir{testTmpParent() + QStringLiteral("/txlog-XXXXXX")};
    ManualClock clock{QDateTime(QDate(2026, 12, 6), QTime(15, 30, 0))};
    TransactionLog log{path(), &clock};
};

TEST_F(TransactionLogTest, OutgoingLineIsQuotedAndEndsInCrLf)
{
    log.logOutgoing("Starting Transaction: Session=000041, Amount=12.5");
    EXPECT_EQ(content(), QByteArray("\"06.12.2026 15:30:00 OUT:Starting Transaction: Session=000041, Amount=12.5\"\r\n"));
}

TEST_F(TransactionLogTest, EventEntriesRunOnUntilTheNextOutgoingLine)
{
    log.logOutgoing("first");
    clock.advanceMs(1000);
    log.logEvent("KeepAlive.");
    clock.advanceMs(61000);
    log.logEvent("ApproveMessage: STAN=7");
    log.logOutgoing("last");
    EXPECT_EQ(content(), QByteArray("\"06.12.2026 15:30:00 OUT:first\"\r\n"
                                    "06.12.2026 15:30:01 KeepAlive."
                                    "06.12.2026 15:31:02 ApproveMessage: STAN=7"
                                    "\"06.12.2026 15:31:02 OUT:last\"\r\n"));
}

TEST_F(TransactionLogTest, RawFrameBytesAreWrittenAsTheyAre)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    log.logOutgoing(all);
    EXPECT_EQ(content(), "\"06.12.2026 15:30:00 OUT:" + all + "\"\r\n");
}

TEST_F(TransactionLogTest, FirstEntryOfEitherKindCreatesTheFile)
{
    ASSERT_FALSE(QFileInfo::exists(path()));
    log.logEvent("KeepAlive.");
    EXPECT_EQ(content(), QByteArray("06.12.2026 15:30:00 KeepAlive."));
    QFile::remove(path());
    log.logOutgoing("x");
    EXPECT_EQ(content(), QByteArray("\"06.12.2026 15:30:00 OUT:x\"\r\n"));
}

TEST_F(TransactionLogTest, ExistingContentIsKept)
{
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old\r\n");
    f.close();
    log.logEvent("ReleaseBoxes.");
    EXPECT_EQ(content(), QByteArray("old\r\n06.12.2026 15:30:00 ReleaseBoxes."));
}

TEST_F(TransactionLogTest, UnwritableLogIsIgnored)
{
    TransactionLog broken(dir.filePath(QStringLiteral("missing/log.txt")), &clock);
    broken.logEvent("KeepAlive.");
    broken.logOutgoing("x");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
}

struct StampRow {
    const char *name;
    QDateTime time;
    const char *text;
};

class LogStamp : public ::testing::TestWithParam<StampRow> {};

TEST_P(LogStamp, IsTheFixedFormWhateverTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(TransactionLog::stampText(GetParam().time), QByteArray(GetParam().text));
    QLocale::setDefault(QLocale::c());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LogStamp,
    ::testing::Values(StampRow{"singleDigits", QDateTime(QDate(2005, 4, 7), QTime(1, 2, 3)), "07.04.2005 01:02:03"},
                      StampRow{"lastSecondOfYear", QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)), "31.12.1999 23:59:59"},
                      StampRow{"midnight", QDateTime(QDate(2026, 1, 1), QTime(0, 0, 0)), "01.01.2026 00:00:00"},
                      StampRow{"millisecondsDropped", QDateTime(QDate(2026, 6, 15), QTime(12, 0, 0, 999)), "15.06.2026 12:00:00"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(TransactionLogTest, AppendToFileWithEmptyDataDoesNothing)
{
    QString error = QStringLiteral("untouched");
    EXPECT_EQ(TransactionLog::AppendToFile(path(), QByteArray(), &error), 0);
    EXPECT_FALSE(QFileInfo::exists(path()));
    EXPECT_EQ(error, QStringLiteral("untouched"));
}

TEST_F(TransactionLogTest, AppendToFileAppendsAfterTheLastByte)
{
    EXPECT_EQ(TransactionLog::AppendToFile(path(), "ab"), 0);
    EXPECT_EQ(TransactionLog::AppendToFile(path(), QByteArray("\0c", 2)), 0);
    EXPECT_EQ(content(), QByteArray("ab\0c", 4));
}

TEST_F(TransactionLogTest, AppendToFileReportsAFolderThatDoesNotExist)
{
    QString error;
    const int result = TransactionLog::AppendToFile(dir.filePath(QStringLiteral("no/such/log.txt")), "x", &error);
    EXPECT_NE(result, 0);
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(TransactionLogTest, AppendToFileReportsAFolderInTheWay)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("log.txt")));
    QString error;
    EXPECT_NE(TransactionLog::AppendToFile(path(), "x", &error), 0);
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
