// The check of a transaction in doubt against the server's own records.
//
// The protocol cannot ask what became of one transaction, but the day's
// report lists what the server recorded. A record answers for the
// transaction when it has the same amount to the cent and a stamp within two
// minutes before the request went out and two minutes after the session
// ended (the journal's sent and unknown entries). Only approved (response
// code 0, the records the report adds to its sums), uncancelled ones count: one
// means the customer was charged, none that the transaction did not happen,
// several that the cashier must tell which. A record whose STAN the journal
// already holds for another transaction (the customer before, who paid the
// same amount a minute earlier) is that transaction's and answers for none
// other.
//
// Stamps are compared as wall times: the report's records carry the server's
// local date and time without a zone, the journal the console's local time
// with its offset, and both clocks stand in the same place.
#pragma once

#include "reports/ReportTable.h"
#include "session/TransactionJournal.h"

#include <QDateTime>
#include <QList>
#include <QSet>

#include <optional>

namespace ServerCheck {

inline constexpr qint64 kSlackSeconds = 120;

struct Window {
    QDateTime from;   // wall times, UTC as a neutral zone
    QDateTime to;
    qint64 cents = 0;
    QDate day;        // the day whose report is asked for
    QSet<qint64> takenStans;   // approvals the journal gives to other transactions
};

struct Match {
    QDateTime stamp;  // wall time, as the record has it
    qint64 stan = 0;
    qint64 cents = 0;
};

// What the records must show for the transaction; nullopt for one that
// cannot be checked (no amount, no stamp).
std::optional<Window> windowOf(const JournalTransaction &transaction);

// The STANs the journal records as approved for transactions other than
// this one: their own approvals and the doubts settled as approved.
QSet<qint64> stansOfOthers(const QList<JournalTransaction> &journal, const JournalTransaction &transaction);

// The approved, uncancelled records of a decoded report (rows 1 ... kept)
// that answer for the window, in the report's order.
QList<Match> approvedMatches(const ReportTable &table, qint32 kept, const Window &window);

} // namespace ServerCheck
