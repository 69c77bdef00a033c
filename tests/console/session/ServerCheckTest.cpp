// The records that answer for a transaction in doubt: same amount to the
// cent, a stamp from two minutes before the request to two minutes after the
// session ended, approved and not cancelled.
#include "journal/ServerCheck.h"

#include "common/Helpers.h"

#include <gtest/gtest.h>

namespace {

JournalTransaction doubtAt(const QString &amount, const QDateTime &sent, const QDateTime &ended)
{
    JournalEntry s;
    s.event = QStringLiteral("sent");
    s.op = QStringLiteral("payment");
    s.amount = amount;
    s.session = QStringLiteral("000041");
    s.time = sent;
    JournalEntry u = s;
    u.event = QStringLiteral("unknown");
    u.why = QStringLiteral("Timeout");
    u.time = ended;
    return {s, u, std::nullopt};
}

// One decoded record per call, in the decoder's cell formats.
class Records {
public:
    Records &add(const char *date, const char *time, qint32 stan, double amount, qint32 code = 0,
                 bool cancelled = false)
    {
        m_rows.push_back({date, time, stan, amount, code, cancelled});
        return *this;
    }
    ReportTable table() const
    {
        ReportTable t(qint32(m_rows.size()));
        qint32 row = 0;
        for (const Row &r : m_rows) {
            ++row;
            t.setCell(row, ReportColumn::kDate, r.date);
            t.setCell(row, ReportColumn::kTime, r.time);
            t.setCell(row, ReportColumn::kStan, QByteArray::number(r.stan));
            t.setCell(row, ReportColumn::kResponseCode, ' ' + QByteArray::number(r.code));
            if (r.cancelled)
                t.setCell(row, ReportColumn::kCancelFlag, "t\xfchistatud");
            const double sum = r.code != 0 ? 0 : (r.cancelled ? -r.amount : r.amount);
            t.setCell(row, ReportColumn::kSumAmount, EncodeDouble(sum));
        }
        return t;
    }
    qint32 kept() const { return qint32(m_rows.size()); }

private:
    struct Row {
        QByteArray date, time;
        qint32 stan;
        double amount;
        qint32 code;
        bool cancelled;
    };
    std::vector<Row> m_rows;
};

// The journal's stamps carry the console's offset; the records none.
const QDateTime kSent = QDateTime::fromString(QStringLiteral("2026-12-06T15:30:00+02:00"), Qt::ISODate);
const QDateTime kEnded = QDateTime::fromString(QStringLiteral("2026-12-06T15:30:20+02:00"), Qt::ISODate);

QList<qint64> stansOf(const QList<ServerCheck::Match> &matches)
{
    QList<qint64> out;
    for (const ServerCheck::Match &m : matches)
        out << m.stan;
    return out;
}

TEST(ServerCheck, RecordOfTheSameAmountInTheWindowAnswersForTheDoubt)
{
    const auto window = ServerCheck::windowOf(doubtAt(QStringLiteral("12.50"), kSent, kEnded));
    ASSERT_TRUE(window);
    EXPECT_EQ(window->day, QDate(2026, 12, 6));
    Records r;
    r.add("06.12.2026", "15:30:05", 555, 12.5).add("06.12.2026", "15:30:06", 556, 12.49);
    EXPECT_EQ(stansOf(ServerCheck::approvedMatches(r.table(), r.kept(), *window)), QList<qint64>{555});
}

TEST(ServerCheck, StampsAreComparedAsWallTimesWithTwoMinutesEitherSide)
{
    const auto window = ServerCheck::windowOf(doubtAt(QStringLiteral("7.00"), kSent, kEnded));
    ASSERT_TRUE(window);
    Records r;
    r.add("06.12.2026", "15:27:59", 1, 7.0)    // too early
        .add("06.12.2026", "15:28:00", 2, 7.0)  // two minutes before the request
        .add("06.12.2026", "15:32:20", 3, 7.0)  // two minutes after the end
        .add("06.12.2026", "15:32:21", 4, 7.0)  // too late
        .add("05.12.2026", "15:30:10", 5, 7.0); // another day
    EXPECT_EQ(stansOf(ServerCheck::approvedMatches(r.table(), r.kept(), *window)), (QList<qint64>{2, 3}));
}

TEST(ServerCheck, DeclinedOrCancelledRecordIsNoCharge)
{
    const auto window = ServerCheck::windowOf(doubtAt(QStringLiteral("3.00"), kSent, kEnded));
    ASSERT_TRUE(window);
    Records r;
    r.add("06.12.2026", "15:30:05", 10, 3.0, 5).add("06.12.2026", "15:30:06", 11, 3.0, 0, true);
    EXPECT_TRUE(ServerCheck::approvedMatches(r.table(), r.kept(), *window).isEmpty());
}

TEST(ServerCheck, RestartWidensTheWindowToWhenTheDoubtWasFound)
{
    const QDateTime restart = kSent.addSecs(3600);
    const auto window = ServerCheck::windowOf(doubtAt(QStringLiteral("1.00"), kSent, restart));
    ASSERT_TRUE(window);
    Records r;
    r.add("06.12.2026", "16:00:00", 77, 1.0);
    EXPECT_EQ(stansOf(ServerCheck::approvedMatches(r.table(), r.kept(), *window)), QList<qint64>{77});
}

// The customer before paid the same amount a minute earlier and was
// approved: the check took that approval for the doubt's own, and the
// customer in doubt left without paying.
TEST(ServerCheck, ApprovalTheJournalGivesToAnotherTransactionAnswersForNoDoubt)
{
    const JournalTransaction doubt = doubtAt(QStringLiteral("12.50"), kSent, kEnded);
    JournalTransaction before = doubtAt(QStringLiteral("12.50"), kSent.addSecs(-60), kSent.addSecs(-50));
    before.sent.session = QStringLiteral("000040");
    before.outcome->event = QStringLiteral("approved");
    before.outcome->stan = 100;
    JournalTransaction settled = doubtAt(QStringLiteral("12.50"), kSent.addSecs(-40), kSent.addSecs(-30));
    settled.sent.session = QStringLiteral("000039");
    JournalEntry resolved;
    resolved.event = QStringLiteral("resolved");
    resolved.outcome = QStringLiteral("approved");
    resolved.stan = 101;
    settled.resolved = resolved;
    // The doubt itself, should it have been settled once: its STAN is its own.
    JournalTransaction self = doubt;
    self.resolved = resolved;
    self.resolved->stan = 102;

    auto window = ServerCheck::windowOf(doubt);
    ASSERT_TRUE(window);
    window->takenStans = ServerCheck::stansOfOthers({before, settled, self}, doubt);
    EXPECT_EQ(window->takenStans, (QSet<qint64>{100, 101}));
    Records r;
    r.add("06.12.2026", "15:29:00", 100, 12.50).add("06.12.2026", "15:29:20", 101, 12.50)
        .add("06.12.2026", "15:30:05", 102, 12.50);
    EXPECT_EQ(stansOf(ServerCheck::approvedMatches(r.table(), r.kept(), *window)), QList<qint64>{102});
}

TEST(ServerCheck, TransactionWithoutAmountCannotBeChecked)
{
    JournalTransaction t = doubtAt(QString(), kSent, kEnded);
    t.sent.op = QStringLiteral("cancellation");
    EXPECT_FALSE(ServerCheck::windowOf(t));
}

TEST(JournalAmount, CentsAreReadExactlyFromTheTwoDecimalText)
{
    EXPECT_EQ(TransactionJournal::amountCents(QStringLiteral("12.50")), 1250);
    EXPECT_EQ(TransactionJournal::amountCents(QStringLiteral("0.29")), 29);
    EXPECT_EQ(TransactionJournal::amountCents(QStringLiteral("-0.50")), -50);
    EXPECT_EQ(TransactionJournal::amountCents(TransactionJournal::amountText(0.1 + 0.2)), 30);
    EXPECT_FALSE(TransactionJournal::amountCents(QStringLiteral("12.5")));
    EXPECT_FALSE(TransactionJournal::amountCents(QStringLiteral("12.-5")));
    EXPECT_FALSE(TransactionJournal::amountCents(QStringLiteral("abc")));
}

} // namespace
