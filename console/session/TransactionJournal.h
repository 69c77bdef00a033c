// TransactionJournal: "journal.jsonl", the console's own record of which
// transactions are settled and which are in doubt. The payment protocol has
// no status inquiry, so after a broken connection only this file says that a
// request went out and no answer came back.
//
// JSON Lines: one UTF-8 object per line, LF, append-only. Each line is
// written, flushed and fsynced before append() returns, so a line the console
// has gone past survives a crash or power loss. Every entry carries "time"
// (ISO 8601 with the UTC offset), "session" (six digits, as on the wire) and
// "pos"; then per event:
//
//   sent      "op", "amount" ("12.50"; a cancellation has none), "receipt"
//             (only where the op has one)
//   approved  "stan"
//   declined  "code", "reason", "text"
//   unknown   "why" ("Timeout", "Socket closed", a socket error text, "restart")
//   resolved  "outcome" ("approved", "not found", "declined", "cashier"), "stan"
//
// A sent entry is followed by exactly one of approved/declined/unknown. Card
// numbers, tracks and receipt lines never go in: the entry types have no
// field that could hold them.
//
// A line torn by a crash (not a JSON object) is skipped on reading.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

class Clock;

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
};

// One transaction as the journal tells it: its sent entry and what followed.
struct JournalTransaction {
    JournalEntry sent;
    std::optional<JournalEntry> outcome;   // approved, declined or unknown
    std::optional<JournalEntry> resolved;  // the last resolved entry, if any

    bool isOpen() const { return !outcome.has_value(); }
    // Unknown and not settled since.
    bool isInDoubt() const
    {
        return outcome && outcome->event == QLatin1String("unknown") && !resolved;
    }
};

class TransactionJournal {
public:
    // clock must outlive the journal; nullptr means Clock::system().
    // utcOffsetSeconds fixes the offset written in "time"; without it the
    // offset of the local time zone at that moment is used.
    explicit TransactionJournal(QString path, const Clock *clock = nullptr,
                                std::optional<int> utcOffsetSeconds = std::nullopt);

    const QString &path() const { return m_path; }
    // The clock of the stamps; it must outlive the journal.
    void setClock(const Clock &clock) { m_clock = &clock; }

    // The entries. Each returns false when the line could not be written
    // whole (with the reason in *errorText); the caller reports it and goes
    // on: a journal failure never stops a payment.
    bool logSent(const QString &session, const QString &pos, const QString &op,
                 std::optional<double> amount, std::optional<qint64> receipt, QString *errorText = nullptr);
    bool logApproved(const QString &session, const QString &pos, qint64 stan,
                     QString *errorText = nullptr);
    bool logDeclined(const QString &session, const QString &pos, const QString &code,
                     const QString &reason, const QString &text, QString *errorText = nullptr);
    bool logUnknown(const QString &session, const QString &pos, const QString &why,
                    QString *errorText = nullptr);
    bool logResolved(const QString &session, const QString &pos, const QString &outcome,
                     std::optional<qint64> stan, QString *errorText = nullptr);

    // Every readable entry in file order; damaged lines are skipped.
    QList<JournalEntry> readEntries() const;
    // Entries grouped into transactions (by session and pos, a sent entry
    // opening a new one), oldest first.
    QList<JournalTransaction> readTransactions() const;
    // The newest `count` transactions, newest first.
    QList<JournalTransaction> lastTransactions(int count = 20) const;

    // At start-up: every sent entry without an outcome gets an unknown
    // entry with why "restart". Returns the transactions so closed.
    QList<JournalTransaction> recoverAfterRestart(QString *errorText = nullptr);

    // The newest payment or booking, when its outcome is unknown and not
    // settled since: the one a second charge must ask about. Asked at every
    // OK of a payment: the file (never truncated) is read once, and the
    // entries written since keep the answer up to date.
    std::optional<JournalTransaction> unresolvedCardPayment() const;

    // errno of the last failed write, 0 when the last write succeeded.
    int lastError() const { return m_lastError; }

    static QString amountText(double amount);
    // The amount text in cents ("12.50" -> 1250); nullopt when it is not one.
    static std::optional<qint64> amountCents(const QString &amountText);
    static std::optional<JournalEntry> parseLine(const QByteArray &line);

private:
    bool append(QJsonObject entry, const QString &session, const QString &pos, QString *errorText);
    // An entry other than "sent" to the transaction it belongs to.
    static void addOutcome(JournalTransaction &transaction, const JournalEntry &entry);
    static bool isCardPayment(const JournalEntry &sent);
    QString stamp() const;

    QString m_path;
    const Clock *m_clock;
    std::optional<int> m_utcOffsetSeconds;
    int m_lastError = 0;
    // The newest payment or booking, once the file has been read for it
    // (the inner nullopt: there is none).
    mutable std::optional<std::optional<JournalTransaction>> m_lastCardPayment;
};
