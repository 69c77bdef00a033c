// The check of a doubt against the server's records, one test per way it
// once settled wrongly: a server clock ahead or on UTC, another till's
// approval, an earlier doubt of the same amount, an old day's STAN, and an
// answer that is damaged or cut short.
#include "journal/ServerCheck.h"

#include "SessionTestSupport.h"
#include "common/Clock.h"
#include "common/Bytes.h"
#include "common/Helpers.h"
#include "reports/ReportDecoder.h"

#include <VaroManager.h>

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kPos = QStringLiteral("00001234");

struct Rec {
    QByteArray terminal;
    QDateTime stamp;   // the server's wall time
    qint32 stan;
    double amount;
    qint32 code = 0;
};

std::string frameOf(const Rec &r)
{
    VaroManager m;
    m.AddField(RecordField::kTerminal, r.terminal.toStdString());
    m.AddField(RecordField::kStamp, r.stamp.toString(QStringLiteral("yyMMddHHmmss")).toStdString());
    m.AddField(RecordField::kStan, EncodeInt32(r.stan).toStdString());
    m.AddField(RecordField::kAmount, EncodeDouble(r.amount).toStdString());
    m.AddField(RecordField::kResponseCode, EncodeInt32(r.code).toStdString());
    m.AddField(RecordField::kCancelMark, EncodeInt32(0).toStdString());
    return m.GetOutput(true, false);
}

VaroManager answerOf(const QList<Rec> &records, qint32 status = 0, std::optional<qint32> count = std::nullopt)
{
    VaroManager a;
    a.AddField(ReportField::kCount, EncodeInt32(count.value_or(qint32(records.size()))).toStdString());
    a.AddField(ReportField::kStatus, EncodeInt32(status).toStdString());
    for (qsizetype i = 0; i < records.size(); ++i)
        a.AddField(qint16(ReportField::kRecordBase + 1 + i), frameOf(records[i]));
    return a;
}

class ServerCheckTest : public ::testing::Test {
protected:
    QString nextSession() { return QStringLiteral("%1").arg(++m_session, 6, 10, QLatin1Char('0')); }
    // The till's wall clock now, as a server with this offset reads it.
    QDateTime serverNow(qint64 offset) const
    {
        const QDateTime now = clock.now();
        return QDateTime(now.date(), now.time(), Qt::UTC).addSecs(offset);
    }
    // An approval of this till: request, 20 s, approval, then a minute passes.
    // Returns the server's stamp of it.
    QDateTime approved(double amount, qint32 stan, qint64 serverOffset)
    {
        const QString s = nextSession();
        journal.logSent(s, kPos, QStringLiteral("payment"), amount, std::nullopt);
        clock.advanceMs(10'000);
        const QDateTime stamp = serverNow(serverOffset);
        clock.advanceMs(10'000);
        journal.logApproved(s, kPos, stan);
        clock.advanceMs(60'000);
        return stamp;
    }
    // A payment whose connection broke; the server's stamp had it been booked.
    QDateTime inDoubt(double amount, qint64 serverOffset)
    {
        const QString s = nextSession();
        journal.logSent(s, kPos, QStringLiteral("payment"), amount, std::nullopt);
        clock.advanceMs(10'000);
        const QDateTime stamp = serverNow(serverOffset);
        clock.advanceMs(10'000);
        journal.logUnknown(s, kPos, QStringLiteral("Socket closed"));
        m_doubt = *journal.unresolvedCharge();
        clock.advanceMs(60'000);
        return stamp;
    }
    ServerCheck::Result check(const QList<Rec> &records)
    {
        ServerCheck::Check c(journal, m_doubt);
        const std::optional<QList<ServerCheck::Record>> whole = ServerCheck::wholeAnswer(answerOf(records));
        EXPECT_TRUE(whole.has_value());
        c.addAnswer(c.firstPeriod(), whole.value_or(QList<ServerCheck::Record>{}));
        return c.result();
    }

    QTemporaryDir dir{testTmpParent() + QStringLiteral("/check-XXXXXX")};
    ManualClock clock{QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0))};
    TransactionJournal journal{dir.filePath(QStringLiteral("journal.sqlite")), &clock, 2 * 3600};
    JournalTransaction m_doubt;
    int m_session = 0;
};

TEST_F(ServerCheckTest, ServerClockThreeMinutesAheadStillFindsTheCharge)
{
    const QDateTime a = approved(5.00, 100, 180);
    const QDateTime d = inDoubt(12.50, 180);
    const ServerCheck::Result r = check({{"T1", a, 100, 5.00}, {"T1", d, 555, 12.50}});
    ASSERT_EQ(r.kind, ServerCheck::Result::Settled);
    EXPECT_EQ(r.candidates.first().stan, 555);
    EXPECT_EQ(r.terminal, QByteArray("T1"));
    ASSERT_TRUE(r.offsetSeconds);
    EXPECT_NEAR(double(*r.offsetSeconds), 180.0, 15.0);
}

TEST_F(ServerCheckTest, ServerOnUtcBesideATillOnTallinnTimeStillFindsTheCharge)
{
    const QDateTime a = approved(5.00, 100, -7200);
    const QDateTime d = inDoubt(12.50, -7200);
    const ServerCheck::Result r = check({{"T1", a, 100, 5.00}, {"T1", d, 555, 12.50}});
    ASSERT_EQ(r.kind, ServerCheck::Result::Settled);
    EXPECT_EQ(r.candidates.first().stan, 555);
}

TEST_F(ServerCheckTest, AnotherTillsApprovalOfTheSameAmountIsNeverTaken)
{
    const QDateTime a = approved(5.00, 100, 0);
    const QDateTime d = inDoubt(12.50, 0);
    const ServerCheck::Result r = check({{"T1", a, 100, 5.00}, {"T2", d, 901, 12.50}});
    EXPECT_EQ(r.kind, ServerCheck::Result::NoneFound);
    EXPECT_TRUE(r.candidates.isEmpty());
}

TEST_F(ServerCheckTest, EarlierDoubtTheCashierWentPastClaimsTheSameRecord)
{
    const QDateTime a = approved(5.00, 100, 0);
    inDoubt(12.50, 0);
    journal.logResolved(m_doubt, QStringLiteral("cashier"), std::nullopt);
    const QDateTime d = inDoubt(12.50, 0);
    const ServerCheck::Result r = check({{"T1", a, 100, 5.00}, {"T1", d, 556, 12.50}});
    EXPECT_EQ(r.kind, ServerCheck::Result::Listed) << "either doubt may own the record: the cashier decides";
    ASSERT_EQ(r.candidates.size(), 1);
    EXPECT_EQ(r.candidates.first().stan, 556);
}

TEST_F(ServerCheckTest, StanOfAnEarlierDayDoesNotHideTodaysRecord)
{
    // Yesterday's approval got STAN 555 (STANs wrap and restart).
    clock.setNow(QDateTime(QDate(2026, 12, 7), QTime(10, 5, 0)));
    approved(12.50, 555, 0);
    clock.setNow(QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0)));
    const QDateTime a = approved(5.00, 100, 0);
    const QDateTime d = inDoubt(12.50, 0);
    const ServerCheck::Result r = check({{"T1", a, 100, 5.00}, {"T1", d, 555, 12.50}});
    ASSERT_EQ(r.kind, ServerCheck::Result::Settled);
    EXPECT_EQ(r.candidates.first().stan, 555);
}

// Another terminal's record shared our approval's STAN and amount, hours
// apart: it must teach neither the terminal nor the clock.
TEST_F(ServerCheckTest, AnotherTerminalSharingAnApprovalsStanTeachesNothing)
{
    const QDateTime a = approved(5.00, 100, 0);
    const QDateTime d = inDoubt(12.50, 0);
    const ServerCheck::Result r = check({{"T1", a, 100, 5.00}, {"T9", a.addSecs(3 * 3600), 100, 5.00},
                                         {"T9", d.addSecs(3 * 3600), 777, 12.50}});
    EXPECT_NE(r.kind, ServerCheck::Result::Settled);
    EXPECT_FALSE(r.offsetSeconds.has_value());
    EXPECT_TRUE(r.terminal.isEmpty());
}

// The approval before ran across midnight: the server stamped it on the
// next day, and it answered for the doubt right after it.
TEST_F(ServerCheckTest, ApprovalAcrossMidnightKeepsItsRecord)
{
    clock.setNow(QDateTime(QDate(2026, 12, 8), QTime(23, 40, 0)));
    const QDateTime earlier = approved(5.00, 90, 30);
    clock.setNow(QDateTime(QDate(2026, 12, 8), QTime(23, 59, 55)));
    const QDateTime a = approved(10.00, 100, 30);
    ASSERT_EQ(a.date(), QDate(2026, 12, 9)) << "the server stamps it after midnight";
    inDoubt(10.00, 30);
    const ServerCheck::Result r = check({{"T1", earlier, 90, 5.00}, {"T1", a, 100, 10.00}});
    EXPECT_EQ(r.kind, ServerCheck::Result::NoneFound) << "the approval before was taken for the doubt";
}

TEST_F(ServerCheckTest, SameDaysApprovalKeepsItsStan)
{
    const QDateTime a = approved(12.50, 100, 0);
    inDoubt(12.50, 0);
    // The only record of 12.50 in the window is the approval before.
    const ServerCheck::Result r = check({{"T1", a, 100, 12.50}});
    EXPECT_EQ(r.kind, ServerCheck::Result::NoneFound);
}

TEST_F(ServerCheckTest, WithoutAnApprovalToLearnFromRecordsAreOnlyListed)
{
    const QDateTime d = inDoubt(12.50, 600);
    const ServerCheck::Result r = check({{"T1", d, 555, 12.50}});
    EXPECT_EQ(r.kind, ServerCheck::Result::Listed);
    EXPECT_FALSE(r.offsetSeconds.has_value());
}

TEST_F(ServerCheckTest, DamagedOrCutShortAnswerIsNotWhole)
{
    const QDateTime stamp = serverNow(0);
    const QList<Rec> three = {{"T1", stamp, 1, 1.0}, {"T1", stamp, 2, 2.0}, {"T1", stamp, 3, 3.0}};
    ASSERT_TRUE(ServerCheck::wholeAnswer(answerOf(three)).has_value());

    VaroManager damaged = answerOf(three);
    std::string bad = damaged.GetFieldData(ReportField::kRecordBase + 2);
    bad.back() = char(bad.back() ^ 0x55);   // the check byte
    damaged.UpdateField(ReportField::kRecordBase + 2, bad);
    EXPECT_FALSE(ServerCheck::wholeAnswer(damaged).has_value());

    EXPECT_FALSE(ServerCheck::wholeAnswer(answerOf(three.mid(0, 2), 0, 3)).has_value()) << "cut short";
    EXPECT_FALSE(ServerCheck::wholeAnswer(answerOf(three, 1)).has_value()) << "status 1";
}

TEST_F(ServerCheckTest, WindowOnTheServersNextDayIsAskedForToo)
{
    clock.setNow(QDateTime(QDate(2026, 12, 8), QTime(23, 20, 0)));
    const QDateTime a = approved(5.00, 100, 3600);
    inDoubt(12.50, 3600);
    ServerCheck::Check c(journal, m_doubt);
    const ServerCheck::Period first = c.firstPeriod();
    EXPECT_EQ(first.to, QDate(2026, 12, 8));
    const auto again = c.addAnswer(first, *ServerCheck::wholeAnswer(answerOf({{"T1", a, 100, 5.00}})));
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->to, QDate(2026, 12, 9));
}

TEST(JournalAmount, CentsAreReadExactlyFromTheTwoDecimalText)
{
    EXPECT_EQ(TransactionJournal::amountCents(QStringLiteral("12.50")), 1250);
    EXPECT_EQ(TransactionJournal::amountCents(QStringLiteral("-0.50")), -50);
    EXPECT_EQ(TransactionJournal::amountCents(TransactionJournal::amountText(0.1 + 0.2)), 30);
    EXPECT_FALSE(TransactionJournal::amountCents(QStringLiteral("12.5")));
    EXPECT_FALSE(TransactionJournal::amountCents(QStringLiteral("abc")));
}

} // namespace
