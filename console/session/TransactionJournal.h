// TransactionJournal: the till's record of which transactions are settled and
// which are in doubt. The payment protocol has no status inquiry, so after a
// broken connection only the journal says that a request went out and no
// answer came back.
//
// One SQLite database per till, "journal.sqlite" beside the settings store:
// every console (every program folder, every cashier) that uses the store
// uses the same journal. WAL mode with synchronous=FULL: an entry is on disk
// when its append returns, so an entry the console has gone past survives a
// crash or a power loss. The schema's version is PRAGMA user_version.
//
// Each entry carries "time" (ISO 8601 with the UTC offset), "session" (six
// digits, as on the wire) and "pos"; then per event:
//
//   sent      "op", "amount" ("12.50"; a cancellation has none), "receipt"
//             (only where the op has one); "workstation" and "request" for
//             a request a till handed over (its WorkstationID and RequestID)
//   approved  "stan"
//   declined  "code", "reason", "text"
//   unknown   "why" ("Timeout", "Socket closed", a socket error text,
//             "restart", "conflict")
//   resolved  "outcome" ("approved", "not found", "declined", "cashier"), "stan"
//
// A sent entry is followed by one of approved/declined/unknown; a second
// outcome that contradicts the first turns the transaction into a doubt
// (unknown "conflict"). Card numbers, tracks and receipt lines never go in:
// no entry has a field that could hold them.
//
// Beside the entries, one row per transaction holds what the readers ask
// for (state, amount in cents, wall times, STAN), kept in the same SQLite
// transaction as the entry, and indexed, so that no reader ever reads the
// whole history: start-up, the question before a charge, "Viimane tehing"
// and the check cost the same after a year as on the first day.
#pragma once

#include "session/TillKey.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

class Clock;
struct sqlite3;

struct JournalEntry {
    QDateTime time;
    QString session;
    QString pos;
    QString event;      // sent, approved, declined, unknown, resolved
    QString op;         // sent
    QString amount;     // sent
    std::optional<qint64> receipt;  // sent
    std::optional<qint64> stan;     // approved, resolved
    QString code, reason, text;     // declined
    QString why;        // unknown
    QString outcome;    // resolved
    QString workstation, requestId;  // sent, when a till handed it over
};

// One transaction as the journal tells it: its sent entry and what followed.
struct JournalTransaction {
    qint64 id = 0;      // the journal's own number for it; 0: not from a journal
    JournalEntry sent;
    std::optional<JournalEntry> outcome;   // approved, declined or unknown
    std::optional<JournalEntry> resolved;  // the last resolved entry, if any

    bool isOpen() const { return !outcome.has_value(); }
    // Unknown and not settled since.
    bool isInDoubt() const
    {
        return outcome && outcome->event == QLatin1String("unknown") && !resolved;
    }
    // The STAN the journal knows for it: its approval's, or the one a doubt
    // was settled with.
    std::optional<qint64> knownStan() const;
};

class TransactionJournal {
public:
    static constexpr int kSchemaVersion = 2;
    static constexpr int kBusyTimeoutMs = 5000;

    // clock must outlive the journal; nullptr means Clock::system().
    // utcOffsetSeconds fixes the offset written in "time"; without it the
    // offset of the local time zone at that moment is used. The database is
    // opened (and made, with its folder) on first use.
    explicit TransactionJournal(QString path, const Clock *clock = nullptr,
                                std::optional<int> utcOffsetSeconds = std::nullopt);
    ~TransactionJournal();
    TransactionJournal(const TransactionJournal &) = delete;
    TransactionJournal &operator=(const TransactionJournal &) = delete;

    const QString &path() const { return m_path; }
    // The clock of the stamps; it must outlive the journal.
    void setClock(const Clock &clock) { m_clock = &clock; }

    // The entries. Each returns false when the entry could not be committed
    // (with the reason in *errorText); the caller reports it and goes on: a
    // journal failure never stops a payment.
    bool logSent(const QString &session, const QString &pos, const QString &op,
                 std::optional<double> amount, std::optional<qint64> receipt, QString *errorText = nullptr);
    // The same for a request a till handed over, with the till's key.
    bool logSent(const QString &session, const QString &pos, const QString &op, std::optional<double> amount,
                 std::optional<qint64> receipt, const TillKey &key, QString *errorText = nullptr);
    bool logApproved(const QString &session, const QString &pos, qint64 stan,
                     QString *errorText = nullptr);
    bool logDeclined(const QString &session, const QString &pos, const QString &code,
                     const QString &reason, const QString &text, QString *errorText = nullptr);
    bool logUnknown(const QString &session, const QString &pos, const QString &why,
                    QString *errorText = nullptr);
    // A second outcome in the same session that contradicts the first: the
    // transaction becomes a doubt (unknown, why "conflict") whatever the
    // first outcome said.
    bool logConflict(const QString &session, const QString &pos, QString *errorText = nullptr);
    // Settles a doubt: only while the transaction is still in doubt or open
    // (false, and nothing written, once it is not: another console or an
    // earlier answer settled it).
    bool logResolved(const JournalTransaction &transaction, const QString &outcome,
                     std::optional<qint64> stan, QString *errorText = nullptr);

    // The newest `count` transactions, newest first.
    QList<JournalTransaction> lastTransactions(int count = 20) const;
    std::optional<JournalTransaction> transaction(qint64 id) const;
    // The transaction a till handed over under this key (the newest, should
    // a till ever have reused one), and the newest one of a workstation.
    std::optional<JournalTransaction> transactionOfTillKey(const TillKey &key) const;
    std::optional<JournalTransaction> lastOfWorkstation(const QString &workstation) const;
    // The newest charge of this position approved (or settled) with this
    // STAN: what a reversal of that receipt would cancel.
    std::optional<JournalTransaction> chargeWithStan(const QString &pos, qint64 stan) const;
    // Whether the journal can be read at all: a key it cannot look up may
    // be a request it already holds.
    bool isReadable() const { return ensureOpen(nullptr); }

    // At start-up: every sent entry without an outcome gets an unknown
    // entry with why "restart". Returns the transactions so closed.
    QList<JournalTransaction> recoverAfterRestart(QString *errorText = nullptr);

    // The newest payment, booking, tip or completion of the till whose
    // outcome is unknown and not settled since (or still open outside a
    // session: its unknown entry could not be written): the one a new charge
    // must ask about, whatever position number it went out under.
    std::optional<JournalTransaction> unresolvedCharge() const;

    // Approvals of this position (approved, with their STAN) whose request
    // went out between the two wall times (local date and time).
    QList<JournalTransaction> approvalsBetween(const QString &pos, const QDateTime &fromWall,
                                               const QDateTime &toWall) const;
    // Transactions of this position other than `exceptId` with this STAN
    // (approved, or settled with it) whose request went out on `day`.
    QList<JournalTransaction> withStanOnDay(const QString &pos, qint64 stan, const QDate &day,
                                            qint64 exceptId) const;
    // Charges of this position other than `exceptId`, of this amount, that
    // no STAN ties to a record and whose time could overlap the wall times
    // [fromWall, toWall]: open, in doubt, or settled without a STAN.
    QList<JournalTransaction> claimantsBetween(const QString &pos, qint64 cents, const QDateTime &fromWall,
                                               const QDateTime &toWall, qint64 exceptId) const;

    // Every entry whose time is at or after `since`, oldest first, as JSON
    // Lines (the support bundle's copy).
    QByteArray entriesAsJsonLines(const QDateTime &since) const;
    // Every entry, oldest first; for tests and tools, never on a hot path.
    QList<JournalEntry> readEntries() const;
    QList<JournalTransaction> readTransactions() const;

    // Imports a JSON Lines journal of the earlier console, entry by entry,
    // in one SQLite transaction (lines that are not whole entries are
    // skipped). Returns the number of entries imported, -1 on failure.
    int importJsonLines(const QByteArray &lines, QString *errorText = nullptr);

    // Whether the last run of a console on this journal ended without
    // markEnded(); markRunning() records that a run has begun.
    bool lastRunEndedAbnormally() const;
    bool markRunning(QString *errorText = nullptr);
    bool markEnded(QString *errorText = nullptr);

    // Bulk writing for benchmarks and imports: the entries appended between
    // begin and commit go to disk together.
    bool beginBulk(QString *errorText = nullptr);
    bool commitBulk(QString *errorText = nullptr);

    // The text of the last failure, empty after a success.
    const QString &lastErrorText() const { return m_lastErrorText; }
    int lastError() const { return m_lastErrorText.isEmpty() ? 0 : 1; }

    static QString amountText(double amount);
    // The amount text in cents ("12.50" -> 1250); nullopt when it is not one.
    static std::optional<qint64> amountCents(const QString &amountText);
    static std::optional<JournalEntry> parseLine(const QByteArray &line);
    static QByteArray jsonLine(const JournalEntry &entry);
    // A wall time (the date and time fields as read, whatever the zone) in
    // seconds: wall times compare as the clocks on the wall show them.
    static qint64 wallSeconds(const QDateTime &time);
    static QDateTime fromWallSeconds(qint64 seconds);

private:
    class Db;
    bool append(JournalEntry entry, QString *errorText, bool onlyIfInDoubt = false, qint64 txnId = 0);
    bool ensureOpen(QString *errorText) const;
    bool setRunState(const char *state, QString *errorText);
    bool fail(const QString &what, QString *errorText) const;
    QString stamp() const;

    QString m_path;
    const Clock *m_clock;
    std::optional<int> m_utcOffsetSeconds;
    mutable std::unique_ptr<Db> m_db;
    mutable QString m_lastErrorText;
    bool m_bulk = false;
};
