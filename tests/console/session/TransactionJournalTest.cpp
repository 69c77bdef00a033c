// journal.jsonl: one fsynced JSON object per line, a fixed offset in the
// stamp, torn lines skipped, open requests closed as unknown on restart, and
// the payment a second charge must ask about.
#include "session/TransactionJournal.h"

#include "SessionTestSupport.h"
#include "common/Clock.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class TransactionJournalTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("journal.jsonl")); }
    QByteArray content() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void appendRaw(const QByteArray &bytes)
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(bytes);
    }

    QTemporaryDir dir{testTmpParent() + QStringLiteral("/journal-XXXXXX")};
    ManualClock clock{QDateTime(QDate(2026, 12, 6), QTime(15, 30, 0))};
    TransactionJournal journal{path(), &clock, 2 * 3600};
};

TEST_F(TransactionJournalTest, SentLineCarriesTheInjectedOffsetAndTwoDecimals)
{
    ASSERT_TRUE(journal.logSent(QStringLiteral("000041"), QStringLiteral("1"),
                                QStringLiteral("payment"), 12.5, 123));
    EXPECT_EQ(content(),
              QByteArray(R"({"amount":"12.50","event":"sent","op":"payment","pos":"1","receipt":123,)"
                         R"("session":"000041","time":"2026-12-06T15:30:00+02:00"})" "\n"));
}

TEST_F(TransactionJournalTest, TornLastLineIsSkippedOnReading)
{
    journal.logSent(QStringLiteral("000041"), QStringLiteral("1"), QStringLiteral("payment"), 1.0, 1);
    journal.logApproved(QStringLiteral("000041"), QStringLiteral("1"), 1001);
    appendRaw(R"({"event":"sent","op":"pay)");
    const auto entries = journal.readEntries();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[1].stan, 1001);
}

TEST_F(TransactionJournalTest, EntryAfterATornLineIsNotSwallowedByIt)
{
    journal.logSent(QStringLiteral("000041"), QStringLiteral("1"), QStringLiteral("payment"), 1.0, 1);
    appendRaw(R"({"event":"approved","st)");   // the power went here
    TransactionJournal restarted(path(), &clock, 0);
    ASSERT_EQ(restarted.recoverAfterRestart().size(), 1);
    const auto entries = restarted.readEntries();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[1].event, QStringLiteral("unknown"));
    EXPECT_TRUE(restarted.recoverAfterRestart().isEmpty()) << "the doubt is told once";
}

TEST_F(TransactionJournalTest, OpenSentIsClosedAsUnknownOnRestartOnlyOnce)
{
    journal.logSent(QStringLiteral("000041"), QStringLiteral("1"), QStringLiteral("payment"), 1.0, 1);
    journal.logApproved(QStringLiteral("000041"), QStringLiteral("1"), 1001);
    journal.logSent(QStringLiteral("000042"), QStringLiteral("1"), QStringLiteral("booking"), 9.99, 2);

    TransactionJournal restarted(path(), &clock, 0);
    const auto closed = restarted.recoverAfterRestart();
    ASSERT_EQ(closed.size(), 1);
    EXPECT_EQ(closed[0].sent.session, QStringLiteral("000042"));
    EXPECT_TRUE(content().endsWith(R"("why":"restart"})" "\n"));
    EXPECT_TRUE(restarted.recoverAfterRestart().isEmpty());
    ASSERT_TRUE(restarted.unresolvedCardPayment().has_value());
    EXPECT_EQ(restarted.unresolvedCardPayment()->sent.amount, QStringLiteral("9.99"));
}

TEST_F(TransactionJournalTest, ResolvedByCashierEndsTheDoubt)
{
    journal.logSent(QStringLiteral("000043"), QStringLiteral("1"), QStringLiteral("payment"), 5.0, 3);
    journal.logUnknown(QStringLiteral("000043"), QStringLiteral("1"), QStringLiteral("Timeout"));
    ASSERT_TRUE(journal.unresolvedCardPayment().has_value());
    journal.logResolved(QStringLiteral("000043"), QStringLiteral("1"), QStringLiteral("cashier"), std::nullopt);
    EXPECT_FALSE(journal.unresolvedCardPayment().has_value());
}

TEST_F(TransactionJournalTest, NewerSettledPaymentHidesAnOlderDoubt)
{
    journal.logSent(QStringLiteral("000044"), QStringLiteral("1"), QStringLiteral("payment"), 5.0, 3);
    journal.logUnknown(QStringLiteral("000044"), QStringLiteral("1"), QStringLiteral("Socket closed"));
    journal.logSent(QStringLiteral("000045"), QStringLiteral("1"), QStringLiteral("payment"), 5.0, 4);
    journal.logDeclined(QStringLiteral("000045"), QStringLiteral("1"), QStringLiteral("0006"),
                        QStringLiteral("54"), QStringLiteral("Kaart aegunud"));
    EXPECT_FALSE(journal.unresolvedCardPayment().has_value());
}

// The answer is read from the file once and kept up to date by the entries
// written afterwards.
TEST_F(TransactionJournalTest, DoubtFollowsEntriesWrittenAfterTheFirstQuestion)
{
    EXPECT_FALSE(journal.unresolvedCardPayment().has_value());
    journal.logSent(QStringLiteral("000050"), QStringLiteral("1"), QStringLiteral("booking"), 2.0, std::nullopt);
    journal.logUnknown(QStringLiteral("000050"), QStringLiteral("1"), QStringLiteral("Timeout"));
    ASSERT_TRUE(journal.unresolvedCardPayment().has_value());
    EXPECT_EQ(journal.unresolvedCardPayment()->sent.session, QStringLiteral("000050"));
    // A tip in between is no card payment: the doubt stays.
    journal.logSent(QStringLiteral("000051"), QStringLiteral("1"), QStringLiteral("tip"), 1.0, 7);
    journal.logApproved(QStringLiteral("000051"), QStringLiteral("1"), 77);
    EXPECT_TRUE(journal.unresolvedCardPayment().has_value());
    journal.logSent(QStringLiteral("000052"), QStringLiteral("1"), QStringLiteral("payment"), 2.0, std::nullopt);
    journal.logApproved(QStringLiteral("000052"), QStringLiteral("1"), 78);
    EXPECT_FALSE(journal.unresolvedCardPayment().has_value());
    // What a fresh reader of the file says agrees.
    EXPECT_FALSE(TransactionJournal(path(), &clock, 0).unresolvedCardPayment().has_value());
}

TEST_F(TransactionJournalTest, LastTwentyAreNewestFirst)
{
    for (int i = 0; i < 25; ++i) {
        const QString s = QStringLiteral("%1").arg(100 + i, 6, 10, QLatin1Char('0'));
        journal.logSent(s, QStringLiteral("1"), QStringLiteral("payment"), i, i);
        journal.logApproved(s, QStringLiteral("1"), 1000 + i);
    }
    const auto last = journal.lastTransactions();
    ASSERT_EQ(last.size(), 20);
    EXPECT_EQ(last.first().outcome->stan, 1024);
    EXPECT_EQ(last.last().outcome->stan, 1005);
}

TEST_F(TransactionJournalTest, UnwritableJournalReportsItsReasonAndReturnsFalse)
{
    TransactionJournal bad(dir.filePath(QStringLiteral("missing/journal.jsonl")), &clock, 0);
    QString why;
    EXPECT_FALSE(bad.logSent(QStringLiteral("000046"), QStringLiteral("1"), QStringLiteral("tip"), 1.0,
                             std::nullopt, &why));
    EXPECT_FALSE(why.isEmpty());
}

} // namespace
