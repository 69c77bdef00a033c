// The till's journal in SQLite: entries keep their fields and stamp, a
// second console on the same file sees what the first committed, open
// requests become doubts once, a resolution never settles what is no longer
// in doubt, contradicting outcomes make a doubt, every kind of charge is
// asked about, the earlier JSON Lines journal is imported, and a journal
// that cannot be made says why.
#include "session/TransactionJournal.h"

#include "SessionTestSupport.h"
#include "common/Clock.h"

#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <gtest/gtest.h>

namespace {

const QString kPos = QStringLiteral("1");

class TransactionJournalTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("journal.sqlite")); }
    void sent(const char *session, const char *op, double amount)
    {
        ASSERT_TRUE(journal.logSent(QString::fromLatin1(session), kPos, QString::fromLatin1(op), amount, 1));
    }

    QTemporaryDir dir{testTmpParent() + QStringLiteral("/journal-XXXXXX")};
    ManualClock clock{QDateTime(QDate(2026, 12, 6), QTime(15, 30, 0))};
    TransactionJournal journal{path(), &clock, 2 * 3600};
};

TEST_F(TransactionJournalTest, EntryKeepsItsFieldsTheOffsetAndTwoDecimals)
{
    ASSERT_TRUE(journal.logSent(QStringLiteral("000041"), kPos, QStringLiteral("payment"), 12.5, 123));
    EXPECT_EQ(journal.entriesAsJsonLines(QDateTime(QDate(2026, 1, 1), QTime(0, 0))),
              QByteArray(R"({"amount":"12.50","event":"sent","op":"payment","pos":"1","receipt":123,)"
                         R"("session":"000041","time":"2026-12-06T15:30:00+02:00"})" "\n"));
}

// Two program folders, one store: the next cashier's console must know the
// last one's doubt.
TEST_F(TransactionJournalTest, SecondConsoleOnTheSameFileSeesTheDoubt)
{
    sent("000041", "payment", 5.0);
    ASSERT_TRUE(journal.logUnknown(QStringLiteral("000041"), kPos, QStringLiteral("Timeout")));
    TransactionJournal other(path(), &clock, 0);
    ASSERT_TRUE(other.unresolvedCharge().has_value());
    EXPECT_EQ(other.unresolvedCharge()->sent.session, QStringLiteral("000041"));
}

TEST_F(TransactionJournalTest, OpenRequestBecomesADoubtOnRestartOnlyOnce)
{
    sent("000041", "payment", 1.0);
    journal.logApproved(QStringLiteral("000041"), kPos, 1001);
    sent("000042", "booking", 9.99);

    TransactionJournal restarted(path(), &clock, 0);
    const auto closed = restarted.recoverAfterRestart();
    ASSERT_EQ(closed.size(), 1);
    EXPECT_EQ(closed[0].sent.session, QStringLiteral("000042"));
    EXPECT_EQ(closed[0].outcome->why, QStringLiteral("restart"));
    EXPECT_TRUE(restarted.recoverAfterRestart().isEmpty());
    ASSERT_TRUE(restarted.unresolvedCharge().has_value());
    EXPECT_EQ(restarted.unresolvedCharge()->sent.amount, QStringLiteral("9.99"));
}

// A pick made on a stale list (another console settled the doubt meanwhile)
// must not overwrite what was decided.
TEST_F(TransactionJournalTest, ResolutionOfWhatIsNoLongerInDoubtIsRefused)
{
    sent("000043", "payment", 5.0);
    journal.logUnknown(QStringLiteral("000043"), kPos, QStringLiteral("Timeout"));
    const JournalTransaction doubt = *journal.unresolvedCharge();
    ASSERT_TRUE(journal.logResolved(doubt, QStringLiteral("cashier"), std::nullopt));
    EXPECT_FALSE(journal.unresolvedCharge().has_value());
    EXPECT_FALSE(journal.logResolved(doubt, QStringLiteral("approved"), 555));
    EXPECT_TRUE(journal.lastErrorText().isEmpty()) << "a refused resolution is no journal failure";
    EXPECT_EQ(journal.transaction(doubt.id)->resolved->outcome, QStringLiteral("cashier"));
}

TEST_F(TransactionJournalTest, ContradictingOutcomeTurnsAnApprovalIntoADoubt)
{
    sent("000044", "payment", 5.0);
    journal.logDeclined(QStringLiteral("000044"), kPos, QStringLiteral("0006"), QStringLiteral("05"),
                        QStringLiteral("Keeldutud"));
    ASSERT_FALSE(journal.unresolvedCharge().has_value());
    journal.logConflict(QStringLiteral("000044"), kPos);
    ASSERT_TRUE(journal.unresolvedCharge().has_value());
    EXPECT_EQ(journal.unresolvedCharge()->outcome->why, QStringLiteral("conflict"));
}

TEST_F(TransactionJournalTest, TipAndCompletionInDoubtAreAskedAboutButNotACancellation)
{
    sent("000050", "cancellation", 0);
    journal.logUnknown(QStringLiteral("000050"), kPos, QStringLiteral("Timeout"));
    EXPECT_FALSE(journal.unresolvedCharge().has_value());
    for (const char *op : {"tip", "completion"}) {
        sent("000051", op, 2.0);
        journal.logUnknown(QStringLiteral("000051"), kPos, QStringLiteral("Timeout"));
        ASSERT_TRUE(journal.unresolvedCharge().has_value()) << op;
        EXPECT_EQ(journal.unresolvedCharge()->sent.op, QString::fromLatin1(op));
        journal.logResolved(*journal.unresolvedCharge(), QStringLiteral("cashier"), std::nullopt);
    }
}

TEST_F(TransactionJournalTest, ImportOfTheOldJournalSkipsTornLinesAndKeepsOutcomes)
{
    const QByteArray old =
        R"({"amount":"9.99","event":"sent","op":"booking","pos":"1","session":"000041","time":"2026-12-05T10:00:00+02:00"})" "\n"
        R"({"event":"unknown","pos":"1","session":"000041","time":"2026-12-05T10:00:30+02:00","why":"Timeout"})" "\n"
        R"({"event":"sent","op":"pay)" "\n"
        R"({"amount":"1.00","event":"sent","op":"payment","pos":"1","session":"000042","time":"2026-12-05T10:05:00+02:00"})" "\n"
        R"({"event":"approved","pos":"1","session":"000042","stan":77,"time":"2026-12-05T10:05:10+02:00"})" "\n";
    EXPECT_EQ(journal.importJsonLines(old), 4);
    const QList<JournalTransaction> all = journal.readTransactions();
    ASSERT_EQ(all.size(), 2);
    EXPECT_TRUE(all[0].isInDoubt());
    EXPECT_EQ(all[1].knownStan(), 77);
    EXPECT_EQ(journal.unresolvedCharge()->sent.session, QStringLiteral("000041"));
}

TEST_F(TransactionJournalTest, LastTwentyAreNewestFirst)
{
    for (int i = 0; i < 25; ++i) {
        const QString s = QStringLiteral("%1").arg(100 + i, 6, 10, QLatin1Char('0'));
        journal.logSent(s, kPos, QStringLiteral("payment"), i, i);
        journal.logApproved(s, kPos, 1000 + i);
    }
    const auto last = journal.lastTransactions();
    ASSERT_EQ(last.size(), 20);
    EXPECT_EQ(last.first().outcome->stan, 1024);
    EXPECT_EQ(last.last().outcome->stan, 1005);
}

TEST_F(TransactionJournalTest, JournalThatCannotBeMadeSaysWhy)
{
    QFile blocker(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    TransactionJournal bad(dir.filePath(QStringLiteral("file/journal.sqlite")), &clock, 0);
    QString why;
    EXPECT_FALSE(bad.logSent(QStringLiteral("000046"), kPos, QStringLiteral("tip"), 1.0, std::nullopt, &why));
    EXPECT_FALSE(why.isEmpty());
}

} // namespace

// A till's journal of the previous version (no till key): it keeps every
// entry, and its payment in doubt is still the one a new charge asks about,
// once the console that hands keys over has opened it.
TEST(TransactionJournalUpgrade, VersionOneJournalKeepsItsEntriesAndTakesTillKeys)
{
    QTemporaryDir dir(testTmpParent() + QStringLiteral("/journal-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("journal.sqlite"));
    ManualClock clock(QDateTime(QDate(2026, 12, 6), QTime(15, 30, 0)));
    {
        TransactionJournal made(path, &clock, 0);
        ASSERT_TRUE(made.logSent(QStringLiteral("000041"), kPos, QStringLiteral("payment"), 12.5, std::nullopt));
        ASSERT_TRUE(made.logUnknown(QStringLiteral("000041"), kPos, QStringLiteral("Timeout")));
    }
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    const char *toVersionOne =
        "DROP INDEX transactions_by_till; DROP INDEX transactions_by_workstation;"
        "ALTER TABLE entries DROP COLUMN workstation; ALTER TABLE entries DROP COLUMN request_id;"
        "ALTER TABLE transactions DROP COLUMN workstation; ALTER TABLE transactions DROP COLUMN request_id;"
        "PRAGMA user_version=1;";
    ASSERT_EQ(sqlite3_exec(db, toVersionOne, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);

    TransactionJournal upgraded(path, &clock, 0);
    ASSERT_EQ(upgraded.readEntries().size(), 2) << upgraded.lastErrorText().toStdString();
    ASSERT_TRUE(upgraded.unresolvedCharge().has_value());
    const TillKey key{QStringLiteral("K1"), QStringLiteral("17")};
    ASSERT_TRUE(upgraded.logSent(QStringLiteral("000042"), kPos, QStringLiteral("payment"), 3.0, std::nullopt, key));
    const std::optional<JournalTransaction> found = upgraded.transactionOfTillKey(key);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->sent.session, QStringLiteral("000042"));
    EXPECT_FALSE(upgraded.transactionOfTillKey(TillKey{QStringLiteral("K2"), QStringLiteral("17")}));
}
