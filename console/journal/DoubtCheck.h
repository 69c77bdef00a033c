// DoubtCheck: the check of a transaction in doubt as the cashier runs it from
// "Viimane tehing", and the cashier's decisions that follow. The window shows
// what this reports (DoubtCheckView) and passes on what the cashier picks;
// the rules are ServerCheck's.
//
// A check asks the server for the days of its window ("0019" in a session of
// its own, CheckPending), and, when the answer teaches a clock offset that
// moves the window onto another day, once more for those days. Only whole
// answers count: any other answer, or a session that ends without one, fails
// the check ("Serverist kontrollimine ebaõnnestus.") and the doubt stays.
//
// The result belongs to the transaction it was found for. A cashier's pick
// (or "Märgi mittetoimunuks") settles that transaction only, and only while
// the journal still shows it in doubt.
#pragma once

#include "journal/ServerCheck.h"
#include "session/TransactionJournal.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class Clock;
class PaymentSession;
class VaroManager;

struct CheckOutcome {
    ServerCheck::Result::Kind kind = ServerCheck::Result::NoneFound;
    std::function<QString()> text;               // the result in words, in the language shown
    QList<ServerCheck::Candidate> candidates;   // listed for the cashier
};

class DoubtCheckView {
public:
    virtual ~DoubtCheckView() = default;
    virtual void showCheckRunning() = 0;
    virtual void showCheckOutcome(const CheckOutcome &outcome) = 0;
    virtual void showCheckFailed() = 0;
    // A session that was no check ended: the journal may hold a new
    // transaction, or a new outcome of one.
    virtual void showJournalChanged() = 0;
};

class DoubtCheck {
public:
    // session and clock must outlive the check.
    DoubtCheck(PaymentSession &session, const Clock &clock);
    ~DoubtCheck();

    void setView(DoubtCheckView *view) { m_view = view; }

    enum class Start {
        Started,
        NotCheckable,   // no amount or time: the view was told it failed
        Busy,           // a session runs: nothing happened
    };
    Start start(const JournalTransaction &transaction);
    bool running() const { return m_awaiting; }

    // The session's "0020" of a check (CheckPending): ends the session and
    // reports, or asks again.
    void onAnswer(const VaroManager &answer);
    // A session has ended: a check whose answer did not come has failed;
    // after any other session the view shows the journal anew.
    void onSessionEnded();

    // The transaction the last result was found for, and its candidates.
    const std::optional<JournalTransaction> &checked() const { return m_checked; }
    const QList<ServerCheck::Candidate> &candidates() const { return m_candidates; }
    // The cashier's decisions about the checked transaction; false (nothing
    // written) when it is no longer in doubt or is not the one checked.
    bool pick(qint64 transactionId, const ServerCheck::Candidate &candidate);
    bool markNotFound(qint64 transactionId);
    // Forgets the result: the transaction it belongs to is no longer the last.
    void forget();

private:
    void finish(const ServerCheck::Result &result);
    void failed();

    PaymentSession &m_session;
    const Clock &m_clock;
    DoubtCheckView *m_view = nullptr;
    std::unique_ptr<ServerCheck::Check> m_check;
    ServerCheck::Period m_asking;
    bool m_awaiting = false;
    // A follow-up request is waiting for the last session to let go.
    bool m_followUp = false;
    std::optional<JournalTransaction> m_checked;
    QList<ServerCheck::Candidate> m_candidates;
    // The last result found no record: the cashier may mark it not done.
    bool m_noneFound = false;
};
