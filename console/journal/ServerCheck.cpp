#include "journal/ServerCheck.h"

#include "common/Bytes.h"
#include "common/Helpers.h"
#include "reports/ReportDecoder.h"

#include <VaroManager.h>

#include <QHash>

#include <algorithm>
#include <cmath>

namespace ServerCheck {
namespace {

// The field's data, or nullopt when the message has no such field.
std::optional<QByteArray> fieldOf(const VaroManager &m, qint16 id)
{
    if (m.getFieldIndex(id) < 0)
        return std::nullopt;
    return Bytes::field(m, id);
}

std::optional<qint32> int32Of(const VaroManager &m, qint16 id)
{
    const std::optional<QByteArray> data = fieldOf(m, id);
    if (!data || data->size() != 4)
        return std::nullopt;
    return DecodeInt32(*data);
}

// YYMMDDhhmmss, read as 20YY.
std::optional<QDateTime> stampOf(const QByteArray &text)
{
    if (text.size() != 12 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const QDate date = QDate::fromString(QStringLiteral("20") + QString::fromLatin1(text.left(6)),
                                         QStringLiteral("yyyyMMdd"));
    const QTime time = QTime::fromString(QString::fromLatin1(text.mid(6)), QStringLiteral("HHmmss"));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

std::optional<Record> recordOf(const QByteArray &frame)
{
    VaroManager m;
    m.Reset();
    std::string bytes = frame.toStdString();
    std::string remainder;
    if (m.ProcessMessage(bytes, remainder) != VaroManager::Parsed || !remainder.empty())
        return std::nullopt;
    Record r;
    r.terminal = fieldOf(m, RecordField::kTerminal).value_or(QByteArray());
    const std::optional<QDateTime> stamp = stampOf(fieldOf(m, RecordField::kStamp).value_or(QByteArray()));
    const std::optional<qint32> stan = int32Of(m, RecordField::kStan);
    const std::optional<qint32> code = int32Of(m, RecordField::kResponseCode);
    const std::optional<QByteArray> amount = fieldOf(m, RecordField::kAmount);
    if (!stamp || !stan || !code || !amount || amount->size() != 8)
        return std::nullopt;
    const double value = DecodeDouble(*amount);
    if (!std::isfinite(value) || std::fabs(value) > 1e13)
        return std::nullopt;
    std::optional<qint32> cancel = 0;
    if (m.getFieldIndex(RecordField::kCancelMark) >= 0)
        cancel = int32Of(m, RecordField::kCancelMark);
    if (!cancel)
        return std::nullopt;
    r.stamp = *stamp;
    r.stan = *stan;
    r.code = *code;
    r.cents = std::llround(value * 100.0);
    r.cancelled = *cancel > 0;
    return r;
}

qint64 wall(const QDateTime &t)
{
    return TransactionJournal::wallSeconds(t);
}

QDateTime atWall(qint64 seconds)
{
    return TransactionJournal::fromWallSeconds(seconds);
}

// The wall time a transaction ran at, for the server's stamp: midway
// between its request and its outcome.
qint64 midWall(const JournalTransaction &t)
{
    const qint64 sent = wall(t.sent.time);
    const qint64 ended = t.outcome && t.outcome->time.isValid() ? wall(t.outcome->time) : sent;
    return (sent + ended) / 2;
}

// The days a wall-time range touches.
Period daysOf(qint64 fromWall, qint64 toWall)
{
    return {atWall(fromWall).date(), atWall(toWall).date()};
}

bool covered(const QList<Period> &asked, const QDate &day)
{
    return std::any_of(asked.begin(), asked.end(), [&](const Period &p) { return day >= p.from && day <= p.to; });
}

} // namespace

std::optional<QList<Record>> wholeAnswer(const VaroManager &answer)
{
    const std::optional<qint32> status = int32Of(answer, ReportField::kStatus);
    const std::optional<qint32> count = int32Of(answer, ReportField::kCount);
    if (!status || *status != 0 || !count || *count < 0 || *count > ReportField::kMaxRecords)
        return std::nullopt;
    QList<Record> out;
    out.reserve(*count);
    for (qint32 i = 1; i <= *count; ++i) {
        const std::optional<QByteArray> frame = fieldOf(answer, qint16(ReportField::kRecordBase + i));
        if (!frame)
            return std::nullopt;
        const std::optional<Record> r = recordOf(*frame);
        if (!r)
            return std::nullopt;
        out.append(*r);
    }
    return out;
}

Check::Check(const TransactionJournal &journal, JournalTransaction doubt)
    : m_journal(journal), m_doubt(std::move(doubt))
{
    m_cents = TransactionJournal::amountCents(m_doubt.sent.amount);
    if (m_doubt.sent.time.isValid()) {
        m_sentWall = wall(m_doubt.sent.time);
        // The session's end: its outcome entry (for a restart, the moment the
        // console found the request open, the latest it can have ended).
        m_endWall = m_doubt.outcome && m_doubt.outcome->time.isValid() ? wall(m_doubt.outcome->time) : m_sentWall;
        m_endWall = std::max(m_endWall, m_sentWall);
    }
}

Period Check::firstPeriod() const
{
    return daysOf(m_sentWall - kUnknownOffsetSlackSeconds, m_endWall + kUnknownOffsetSlackSeconds);
}

std::optional<Period> Check::addAnswer(const Period &asked, const QList<Record> &records)
{
    m_asked.append(asked);
    for (const Record &r : records) {
        const bool known = std::any_of(m_records.begin(), m_records.end(), [&](const Record &k) {
            return k.terminal == r.terminal && k.stamp == r.stamp && k.stan == r.stan && k.cents == r.cents;
        });
        if (!known)
            m_records.append(r);
    }
    learn();
    if (!m_offset)
        return std::nullopt;
    // The server's days of the window, once its clock is known.
    const Period needed = daysOf(m_sentWall - kSlackSeconds + *m_offset, m_endWall + kSlackSeconds + *m_offset);
    if (covered(m_asked, needed.from) && covered(m_asked, needed.to))
        return std::nullopt;
    return needed;
}

void Check::learn()
{
    m_offset.reset();
    m_terminal.clear();
    m_approvals.clear();
    if (m_records.isEmpty())
        return;
    // The approvals of this till the asked days can hold, whatever the clocks.
    QDate first = m_asked.first().from;
    QDate last = m_asked.first().to;
    for (const Period &p : m_asked) {
        first = std::min(first, p.from);
        last = std::max(last, p.to);
    }
    const qint64 from = wall(QDateTime(first, QTime(0, 0), Qt::UTC)) - kMaxClockOffsetSeconds;
    const qint64 to = wall(QDateTime(last.addDays(1), QTime(0, 0), Qt::UTC)) + kMaxClockOffsetSeconds;
    QHash<QPair<qint64, qint64>, QList<JournalTransaction>> approvals;
    for (const JournalTransaction &t : m_journal.approvalsBetween(m_doubt.sent.pos, atWall(from), atWall(to))) {
        const std::optional<qint64> stan = t.knownStan();
        const std::optional<qint64> cents = TransactionJournal::amountCents(t.sent.amount);
        if (stan && cents && t.id != m_doubt.id) {
            approvals[{*stan, *cents}].append(t);
            m_approvals[{*stan, *cents}].append(midWall(t));
        }
    }

    struct Anchor {
        QByteArray terminal;
        qint64 offset;
    };
    QList<Anchor> anchors;
    for (const Record &r : m_records) {
        if (r.code != 0 || r.cancelled)
            continue;
        const auto it = approvals.constFind({r.stan, r.cents});
        if (it == approvals.constEnd())
            continue;
        QList<qint64> offsets;
        for (const JournalTransaction &t : *it) {
            // The server stamps the transaction while it runs: between the
            // request and its approval.
            const qint64 offset = wall(r.stamp) - midWall(t);
            if (std::llabs(offset) <= kMaxClockOffsetSeconds)
                offsets.append(offset);
        }
        // A STAN and amount that two approvals of the journal share teach nothing.
        if (offsets.size() == 1)
            anchors.append({r.terminal, offsets.first()});
    }
    // The server lists every approval of this till, so a record of another
    // terminal that shares a STAN and amount with one of ours comes beside
    // our own: the till's terminal is the one that holds more anchors than
    // all others together, and only its anchors set the clock.
    QHash<QByteArray, QList<qint64>> byTerminal;
    for (const Anchor &a : anchors)
        byTerminal[a.terminal].append(a.offset);
    QByteArray terminal;
    qsizetype most = 0;
    for (auto it = byTerminal.cbegin(); it != byTerminal.cend(); ++it) {
        if (it.value().size() > most) {
            most = it.value().size();
            terminal = it.key();
        }
    }
    if (most * 2 <= anchors.size())
        return;   // no terminal holds a majority: nothing is learned
    QList<qint64> offsets = byTerminal.value(terminal);
    std::sort(offsets.begin(), offsets.end());
    const qint64 median = offsets[offsets.size() / 2];
    // Its anchors must agree: the server has one clock.
    if (offsets.first() < median - kAnchorAgreementSeconds || offsets.last() > median + kAnchorAgreementSeconds)
        return;
    m_offset = median;
    m_terminal = terminal;
}

Result Check::result() const
{
    Result result;
    result.offsetSeconds = m_offset;
    result.terminal = m_terminal;
    if (!checkable())
        return result;
    const qint64 slack = m_offset ? kSlackSeconds : kUnknownOffsetSlackSeconds;
    const qint64 offset = m_offset.value_or(0);
    const qint64 from = m_sentWall - slack;
    const qint64 to = m_endWall + slack;
    const bool terminalKnown = m_offset && !m_terminal.isEmpty();
    for (const Record &r : m_records) {
        if (r.code != 0 || r.cancelled || r.cents != *m_cents)
            continue;
        if (terminalKnown && r.terminal != m_terminal)
            continue;
        // The record's stamp on the till's clock.
        const qint64 at = wall(r.stamp) - offset;
        if (at < from || at > to)
            continue;
        // Another transaction of the same day holds this STAN, or an
        // approval of the same STAN and amount ran minutes from it: the
        // record is that one's.
        if (!m_journal.withStanOnDay(m_doubt.sent.pos, r.stan, atWall(at).date(), m_doubt.id).isEmpty())
            continue;
        const QList<qint64> near = m_approvals.value({r.stan, r.cents});
        if (std::any_of(near.begin(), near.end(),
                        [&](qint64 mid) { return std::llabs(at - mid) <= kUnknownOffsetSlackSeconds; }))
            continue;
        result.candidates.append({r.terminal, r.stamp, r.stan, r.cents});
    }
    if (result.candidates.isEmpty())
        return result;
    result.kind = Result::Listed;
    if (result.candidates.size() == 1 && terminalKnown) {
        const bool claimed =
            // Two windows overlap when the other's request and end fall
            // within this window widened by the other's slack.
            !m_journal.claimantsBetween(m_doubt.sent.pos, *m_cents, atWall(from - slack), atWall(to + slack),
                                        m_doubt.id)
                 .isEmpty();
        if (!claimed)
            result.kind = Result::Settled;
    }
    return result;
}

} // namespace ServerCheck
