// The check of a transaction in doubt against the server's own records.
//
// The protocol cannot ask what became of one transaction, but the day's
// report lists what the server recorded. The rule: evidence never becomes
// certainty by itself. A doubt is settled only by an answer that is whole
// (status 0, every announced record read) and by a record that can belong to
// nothing else; everything short of that is shown to the cashier.
//
// What the answer itself teaches:
//  - this till's terminal and the server's clock: a record whose STAN and
//    amount are those of an approval the journal holds for this till (within
//    the 14 hours any two clocks of one place can differ) is that approval's.
//    Its terminal is this till's; its stamp minus the approval's wall time is
//    the server's clock offset. Anchors that disagree with the median offset
//    by more than five minutes are left out; anchors on two terminals teach
//    no terminal.
//  - candidates: approved (code 0), uncancelled records of the same amount to
//    the cent, whose stamp, moved back by the offset, lies from two minutes
//    before the request to two minutes after the session ended; without an
//    offset the window is fifteen minutes each way and its records are only
//    listed. With a learned terminal, records of other terminals never count.
//  - taken records: a record whose STAN the journal gives to another
//    transaction of the same day (never of another day: STANs wrap) is that
//    transaction's; so is one whose STAN and amount are those of an approval
//    of this till that ran within fifteen minutes of it (across midnight).
//
// Settled is exactly one candidate, on the learned terminal, that no other
// transaction of this till could claim (another doubt, or one settled without
// a STAN, of the same amount and a window that overlaps).
#pragma once

#include "session/TransactionJournal.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>

#include <optional>

class VaroManager;

namespace ServerCheck {

inline constexpr qint64 kSlackSeconds = 120;
inline constexpr qint64 kUnknownOffsetSlackSeconds = 15 * 60;
inline constexpr qint64 kMaxClockOffsetSeconds = 14 * 3600;
inline constexpr qint64 kAnchorAgreementSeconds = 5 * 60;

// One record of the server's answer, as it travels.
struct Record {
    QByteArray terminal;
    QDateTime stamp;   // the server's wall time (UTC as a neutral zone)
    qint64 stan = 0;
    qint64 cents = 0;
    qint32 code = 0;
    bool cancelled = false;
};

// The records of a "0020", or nullopt unless the answer is whole: status 0,
// a count the answer can carry, and every announced record present, a
// frame that parses, with a 12-digit stamp, a 4-byte STAN and code and a
// finite 8-byte amount.
std::optional<QList<Record>> wholeAnswer(const VaroManager &answer);

struct Candidate {
    QByteArray terminal;
    QDateTime stamp;   // the server's wall time, as the record has it
    qint64 stan = 0;
    qint64 cents = 0;
};

struct Period {
    QDate from;
    QDate to;
    bool operator==(const Period &) const = default;
};

struct Result {
    enum Kind {
        Settled,   // candidates[0] is the transaction's
        Listed,    // the cashier must tell (one or more candidates)
        NoneFound, // no record answers for it
    };
    Kind kind = NoneFound;
    QList<Candidate> candidates;
    std::optional<qint64> offsetSeconds;   // server clock minus the till's
    QByteArray terminal;                    // learned; empty when not
};

// One check of one transaction in doubt. The journal must outlive it.
class Check {
public:
    Check(const TransactionJournal &journal, JournalTransaction doubt);

    const JournalTransaction &transaction() const { return m_doubt; }
    // False for a transaction without an amount or a time: it cannot be
    // checked.
    bool checkable() const { return m_cents.has_value() && m_sentWall != 0; }
    // The days of the first request: those the window touches, with the
    // fifteen minutes an unknown offset may need.
    Period firstPeriod() const;
    // Adds the records of a whole answer for `asked`. Returns the period of
    // one more request when the learned offset moves the window onto days
    // not asked yet; nullopt when the result is ready.
    std::optional<Period> addAnswer(const Period &asked, const QList<Record> &records);
    Result result() const;

private:
    void learn();

    const TransactionJournal &m_journal;
    JournalTransaction m_doubt;
    std::optional<qint64> m_cents;
    qint64 m_sentWall = 0;
    qint64 m_endWall = 0;
    QList<Period> m_asked;
    QList<Record> m_records;
    // The till's approvals of those days by STAN and cents: the wall times
    // (midway between request and approval) they ran at.
    QHash<QPair<qint64, qint64>, QList<qint64>> m_approvals;
    std::optional<qint64> m_offset;
    QByteArray m_terminal;
};

} // namespace ServerCheck
