#include "journal/ServerCheck.h"

#include <cmath>

namespace ServerCheck {
namespace {

QDateTime wallTime(const QDate &date, const QTime &time)
{
    return QDateTime(date, time, Qt::UTC);
}

QDateTime wallTime(const QDateTime &stamp)
{
    return wallTime(stamp.date(), stamp.time());
}

} // namespace

std::optional<Window> windowOf(const JournalTransaction &transaction)
{
    const std::optional<qint64> cents = TransactionJournal::amountCents(transaction.sent.amount);
    if (!cents || !transaction.sent.time.isValid())
        return std::nullopt;
    Window w;
    w.cents = *cents;
    w.day = transaction.sent.time.date();
    w.from = wallTime(transaction.sent.time).addSecs(-kSlackSeconds);
    // The session's end: its outcome entry (for a restart, the moment the
    // console found the request open, the latest it can have ended).
    const QDateTime end = transaction.outcome && transaction.outcome->time.isValid() ? transaction.outcome->time
                                                                                      : transaction.sent.time;
    w.to = wallTime(end).addSecs(kSlackSeconds);
    return w;
}

QSet<qint64> stansOfOthers(const QList<JournalTransaction> &journal, const JournalTransaction &transaction)
{
    const auto same = [&](const JournalTransaction &t) {
        // Session numbers come round again: the stamp tells two apart.
        return t.sent.session == transaction.sent.session && t.sent.pos == transaction.sent.pos
               && t.sent.time == transaction.sent.time;
    };
    QSet<qint64> out;
    for (const JournalTransaction &t : journal) {
        if (same(t))
            continue;
        if (t.outcome && t.outcome->event == QLatin1String("approved") && t.outcome->stan)
            out.insert(*t.outcome->stan);
        if (t.resolved && t.resolved->outcome == QLatin1String("approved") && t.resolved->stan)
            out.insert(*t.resolved->stan);
    }
    return out;
}

QList<Match> approvedMatches(const ReportTable &table, qint32 kept, const Window &window)
{
    QList<Match> out;
    const qint32 last = qMin(kept, table.lastRow());
    for (qint32 row = 1; row <= last; ++row) {
        if (!table.cell(row, ReportColumn::kCancelFlag).isEmpty())
            continue;
        bool ok = false;
        const qint64 code = table.cell(row, ReportColumn::kResponseCode).trimmed().toLongLong(&ok);
        if (!ok || code != 0)
            continue;
        const double amount = table.sumAmount(row);
        if (!std::isfinite(amount) || std::fabs(amount) > 1e15)
            continue;
        const qint64 cents = std::llround(amount * 100.0);
        if (cents != window.cents)
            continue;
        const QDate date = QDate::fromString(QString::fromLatin1(table.cell(row, ReportColumn::kDate)),
                                             QStringLiteral("dd.MM.yyyy"));
        const QTime time = QTime::fromString(QString::fromLatin1(table.cell(row, ReportColumn::kTime)),
                                             QStringLiteral("HH:mm:ss"));
        if (!date.isValid() || !time.isValid())
            continue;
        const QDateTime stamp = wallTime(date, time);
        if (stamp < window.from || stamp > window.to)
            continue;
        const qint64 stan = table.cell(row, ReportColumn::kStan).trimmed().toLongLong();
        if (window.takenStans.contains(stan))
            continue;
        out.append({stamp, stan, cents});
    }
    return out;
}

} // namespace ServerCheck
