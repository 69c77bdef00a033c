#include "session/SessionJournal.h"

#include "common/ErrorLog.h"
#include "session/SessionHost.h"
#include "session/SessionTexts.h"
#include "session/TransactionRequest.h"
#include "session/VaroMessages.h"

SessionJournal::SessionJournal(TransactionJournal &journal, SessionHost &host) : m_journal(journal), m_host(host) {}

void SessionJournal::beginSession(const QString &session, const QString &pos)
{
    m_session = session;
    m_pos = pos;
    m_open = false;
    m_firstOutcome = 0;
    m_endWhy.clear();
    m_doubtToTell = false;
    m_outcome = SessionOutcome{};
}

void SessionJournal::sent(const TransactionRequest &request)
{
    const std::optional<double> amount =
        request.carriesAmount() ? std::optional(request.amount) : std::nullopt;
    const std::optional<qint64> receipt =
        request.carriesReceipt() ? std::optional<qint64>(request.receiptNumber) : std::nullopt;
    m_outcome = SessionOutcome{SessionOutcome::Unknown, 0, {}, {}, {}};
    written(m_journal.logSent(m_session, m_pos, request.journalOperation(), amount, receipt, request.tillKey));
    m_open = true;
}

void SessionJournal::approved(qint32 stan)
{
    if (!m_open)
        return;
    m_open = false;
    m_firstOutcome = 'a';
    m_outcome.kind = SessionOutcome::Approved;
    m_outcome.stan = stan;
    written(m_journal.logApproved(m_session, m_pos, stan));
}

void SessionJournal::declined(const QString &code, const QString &reason, const QString &text)
{
    if (!m_open)
        return;
    m_open = false;
    m_firstOutcome = 'd';
    m_outcome.kind = SessionOutcome::Declined;
    m_outcome.code = code;
    m_outcome.reason = reason;
    m_outcome.text = text;
    written(m_journal.logDeclined(m_session, m_pos, code, reason, text));
}

bool SessionJournal::contradicts(QByteArrayView code)
{
    const bool decline = code == VaroMsg::kDeclined || code == VaroMsg::kDeclinedOther;
    return (m_firstOutcome == 'a' && decline) || (m_firstOutcome == 'd' && code == VaroMsg::kApproved);
}

void SessionJournal::conflict()
{
    m_firstOutcome = 'c';
    m_outcome.kind = SessionOutcome::Unknown;
    written(m_journal.logConflict(m_session, m_pos));
}

void SessionJournal::endFor(const QString &why)
{
    if (m_endWhy.isEmpty())
        m_endWhy = why;
}

void SessionJournal::endSession()
{
    if (!m_open)
        return;
    m_open = false;
    written(m_journal.logUnknown(m_session, m_pos, m_endWhy.isEmpty() ? QStringLiteral("Socket closed") : m_endWhy));
    m_doubtToTell = true;
}

bool SessionJournal::takeDoubtToTell()
{
    const bool tell = m_doubtToTell;
    m_doubtToTell = false;
    return tell;
}

QList<JournalTransaction> SessionJournal::recoverAfterRestart()
{
    const QList<JournalTransaction> closed = m_journal.recoverAfterRestart();
    written(m_journal.lastError() == 0);
    return closed;
}

bool SessionJournal::resolve(const JournalTransaction &transaction, const QString &outcome,
                             std::optional<qint64> stan)
{
    const bool ok = m_journal.logResolved(transaction, outcome, stan);
    written(ok);
    return ok;
}

void SessionJournal::written(bool ok)
{
    // A resolution refused because the doubt was settled meanwhile is no
    // failure: the journal has no error text then.
    if (ok || m_failureReported || m_journal.lastErrorText().isEmpty())
        return;
    m_failureReported = true;
    LogError(1, QStringLiteral("Tehingute päevikusse ei saa kirjutada: ") + m_journal.path() + QStringLiteral(": ")
                    + m_journal.lastErrorText(),
             QStringLiteral("TransactionJournal"));
    m_host.tellJournalUnwritable(SessionText::journalUnwritable(m_journal.lastErrorText()),
                                 SessionText::kJournalUnwritableStyle);
}
