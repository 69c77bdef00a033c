#include "journal/DoubtCheck.h"

#include "common/Clock.h"
#include "journal/JournalTexts.h"
#include "reports/ReportRequest.h"
#include "session/PaymentSession.h"

#include <QTimer>

#include <algorithm>

namespace {

// A terminal as the server sent it, for the log: printable ASCII as it is,
// anything else (which could forge a log entry) in hex.
QString shownTerminal(const QByteArray &terminal)
{
    const bool printable = std::all_of(terminal.begin(), terminal.end(), [](char c) { return c > 0x20 && c < 0x7F; });
    return printable ? QString::fromLatin1(terminal) : QStringLiteral("hex ") + QString::fromLatin1(terminal.toHex());
}

} // namespace

DoubtCheck::DoubtCheck(PaymentSession &session, const Clock &clock) : m_session(session), m_clock(clock) {}

DoubtCheck::~DoubtCheck() = default;

DoubtCheck::Start DoubtCheck::start(const JournalTransaction &transaction)
{
    if (m_awaiting || m_session.SessionState != PaymentSession::Idle)
        return Start::Busy;
    auto check = std::make_unique<ServerCheck::Check>(m_session.journal(), transaction);
    if (!transaction.isInDoubt() || !check->checkable()) {
        if (m_view)
            m_view->showCheckFailed();
        return Start::NotCheckable;
    }
    m_check = std::move(check);
    m_checked = transaction;
    m_candidates.clear();
    m_noneFound = false;
    m_asking = m_check->firstPeriod();
    // Set before the session begins: a begin that fails at once returns to
    // idle, and that must count as a check without an answer.
    m_awaiting = true;
    if (m_view)
        m_view->showCheckRunning();
    if (!ReportRequest::everyRecord(m_asking.from, m_asking.to).startOn(m_session, true)) {
        m_awaiting = false;
        failed();
        return Start::Busy;
    }
    return Start::Started;
}

void DoubtCheck::onAnswer(const VaroManager &answer)
{
    // The answer is in hand: nothing more is awaited, and "Loobu" sends
    // nothing while it is read.
    m_session.closeForReport();
    if (!m_awaiting || !m_check) {
        m_session.ReturnToIdle();
        return;
    }
    m_awaiting = false;
    const std::optional<QList<ServerCheck::Record>> records = ServerCheck::wholeAnswer(answer);
    if (!records) {
        m_session.LogEvent(QStringLiteral("Check answer rejected: not whole"));
        m_session.ReturnToIdle();
        failed();
        return;
    }
    const std::optional<ServerCheck::Period> again = m_check->addAnswer(m_asking, *records);
    if (again) {
        // The server's clock puts the window on a day not asked yet: one
        // more session, once this one has let go. The check stays running
        // in between, so no second check can start in the gap.
        m_asking = *again;
        m_awaiting = true;
        m_followUp = true;
        m_session.ReturnToIdle();
        QTimer::singleShot(0, &m_session, [this] {
            m_followUp = false;
            if (!m_awaiting)
                return;
            if (!ReportRequest::everyRecord(m_asking.from, m_asking.to).startOn(m_session, true)) {
                m_awaiting = false;
                failed();
            }
        });
        return;
    }
    m_session.ReturnToIdle();
    finish(m_check->result());
}

void DoubtCheck::onSessionEnded()
{
    if (!m_awaiting) {
        if (m_view)
            m_view->showJournalChanged();
        return;
    }
    // The check's session ended without its answer (an answer clears
    // m_awaiting before its session ends; a follow-up waits for its turn).
    if (m_followUp)
        return;
    m_awaiting = false;
    failed();
}

void DoubtCheck::failed()
{
    m_check.reset();
    m_candidates.clear();
    if (m_view)
        m_view->showCheckFailed();
}

void DoubtCheck::finish(const ServerCheck::Result &result)
{
    m_session.LogEvent(QStringLiteral("Check against the server: %1 matching records, terminal %2, clock offset %3")
                           .arg(result.candidates.size())
                           .arg(result.terminal.isEmpty() ? QStringLiteral("not learned") : shownTerminal(result.terminal))
                           .arg(result.offsetSeconds ? QString::number(*result.offsetSeconds) + u's'
                                                     : QStringLiteral("not learned")));
    CheckOutcome outcome;
    outcome.kind = result.kind;
    const JournalTransaction checked = m_check->transaction();
    m_check.reset();
    switch (result.kind) {
    case ServerCheck::Result::Settled:
        if (m_session.resolveDoubt(checked, QStringLiteral("approved"), result.candidates.first().stan)) {
            outcome.text = [stan = result.candidates.first().stan] { return JournalTexts::checkApproved(stan); };
            break;
        }
        // Settled meanwhile by someone else: what the server holds is shown.
        outcome.kind = ServerCheck::Result::Listed;
        [[fallthrough]];
    case ServerCheck::Result::Listed:
        outcome.text = &JournalTexts::checkSeveral;
        outcome.candidates = result.candidates;
        break;
    case ServerCheck::Result::NoneFound:
        outcome.text = [checkedAt = m_clock.now().time()] { return JournalTexts::checkNotFound(checkedAt); };
        break;
    }
    m_candidates = outcome.candidates;
    m_noneFound = outcome.kind == ServerCheck::Result::NoneFound;
    if (m_view)
        m_view->showCheckOutcome(outcome);
}

bool DoubtCheck::pick(qint64 transactionId, const ServerCheck::Candidate &candidate)
{
    if (!m_checked || m_checked->id != transactionId || m_awaiting)
        return false;
    const bool listed = std::any_of(m_candidates.begin(), m_candidates.end(), [&](const ServerCheck::Candidate &c) {
        return c.stan == candidate.stan && c.stamp == candidate.stamp && c.terminal == candidate.terminal;
    });
    if (!listed)
        return false;
    const bool settled = m_session.resolveDoubt(*m_checked, QStringLiteral("approved"), candidate.stan);
    m_candidates.clear();
    return settled;
}

bool DoubtCheck::markNotFound(qint64 transactionId)
{
    if (!m_checked || m_checked->id != transactionId || m_awaiting || !m_noneFound)
        return false;
    m_noneFound = false;
    return m_session.resolveDoubt(*m_checked, QStringLiteral("not found"));
}

void DoubtCheck::forget()
{
    if (m_awaiting)
        return;
    m_checked.reset();
    m_candidates.clear();
    m_noneFound = false;
}
