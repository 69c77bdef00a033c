// SessionJournal: the session's bookkeeping in the till's journal.
//
// A transaction request is journaled as sent the moment it goes to a
// connected socket, and stays open until its approval or decline. A session
// that ends with it still open ends in doubt, for the first failure that
// ended it (endFor), and the cashier is told so behind the session's failure
// box (takeDoubtToTell). A second outcome that contradicts the first makes
// the transaction a doubt as well. Reports and special commands are never
// journaled.
//
// A journal that cannot be written never stops a payment: Tellar.err gets a
// line and the cashier a box (SessionHost::tellJournalUnwritable), once per
// run.
#pragma once

#include "session/TransactionJournal.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

class SessionHost;
struct TransactionRequest;

// What the session's transaction request came to, as the session saw it:
// the till hand-off answers from it when the journal cannot be read.
struct SessionOutcome {
    enum Kind {
        NotSent,    // no transaction request left for the server
        Approved,
        Declined,
        Unknown,    // sent, and no outcome (or two that contradict)
    };
    Kind kind = NotSent;
    qint32 stan = 0;
    QString code, reason, text;
};

class SessionJournal {
public:
    // journal and host must outlive this object.
    SessionJournal(TransactionJournal &journal, SessionHost &host);

    TransactionJournal &journal() { return m_journal; }
    const TransactionJournal &journal() const { return m_journal; }

    // A session begins: its number (six digits, as on the wire) and the
    // POS identifier its entries carry; nothing journaled yet.
    void beginSession(const QString &session, const QString &pos);

    // The request leaves for the server.
    void sent(const TransactionRequest &request);
    // The first approval or decline of the journaled request; nothing for a
    // session whose request was not journaled.
    void approved(qint32 stan);
    void declined(const QString &code, const QString &reason, const QString &text);
    // A second outcome frame (code as the wire carries it): true when it
    // says the opposite of the first, which is then journaled as a doubt.
    bool contradicts(QByteArrayView code);
    void conflict();

    // The reason the session ends for, when the request went out: the first
    // one given stands.
    void endFor(const QString &why);
    // The session is ending: a request still open is in doubt from now on.
    void endSession();
    // Once: whether the session ended in doubt and the cashier is yet to be
    // told.
    bool takeDoubtToTell();
    // The outcome of this (or the last) session's transaction request.
    const SessionOutcome &outcome() const { return m_outcome; }

    // At start-up: every request sent without an outcome is closed as
    // unknown ("restart"); the transactions closed so.
    QList<JournalTransaction> recoverAfterRestart();
    // A doubt settled; false when the journal no longer shows it in doubt.
    bool resolve(const JournalTransaction &transaction, const QString &outcome, std::optional<qint64> stan);

private:
    void written(bool ok);

    TransactionJournal &m_journal;
    SessionHost &m_host;
    QString m_session;
    QString m_pos;
    bool m_open = false;
    // The outcome the journaled request had first ('a'pproved, 'd'eclined,
    // 'c'onflict; 0 none yet, or no request journaled).
    char m_firstOutcome = 0;
    QString m_endWhy;
    bool m_doubtToTell = false;
    bool m_failureReported = false;
    SessionOutcome m_outcome;
};
