// The till hand-off's decisions that need no socket and no window: whether a
// request can be taken at all, and what the till is told about a transaction
// the journal (or, when the journal cannot be read, the session) knows.
//
// A transaction's answer is always what the journal knows now: approved is
// Success with its STAN, declined is Failure with the server's code, reason
// and text, and an unknown outcome is TimedOut with OutcomeUnknown, never a
// plain Failure, until a whole answer settles it (approved: Success; not
// found or declined: Failure). A doubt the cashier settled by charging again
// stays unknown to the till: nothing proved its outcome.
#pragma once

#include "session/SessionJournal.h"
#include "session/TransactionJournal.h"
#include "till/TillProtocol.h"

#include <optional>

// The response skeleton of a request: its type and key echoed.
TillResponse TillResponseTo(const TillRequest &request, const QString &overallResult);

// ValidationError (with its reason in PrivateData) for a request the console
// cannot take: a missing or overlong WorkstationID or RequestID, an unknown
// RequestType, an amount the typed-amount rules refuse, a currency other
// than EUR, a reversal without a receipt number the cancellation tab takes.
std::optional<TillResponse> RefuseTillRequest(const TillRequest &request);

// The answer for a transaction the journal holds (with an outcome).
TillResponse TillAnswerOf(const TillRequest &request, const JournalTransaction &transaction);
// The answer from the session's own view, for a request that went out but
// that the journal could not record; NotSent gives Failure, nothing charged.
TillResponse TillAnswerOf(const TillRequest &request, const SessionOutcome &outcome, const QString &terminalId);

// The field text of a request's amount, as the cashier types it ("12,50").
QString TillFieldAmount(const QString &amount);
// An amount in cents by the typed-amount rules; nullopt when they refuse it.
std::optional<qint64> TillAmountCents(const QString &amount);
// The journal's name of the operation a RequestType starts.
QString TillJournalOperation(const QString &requestType);

// Whether a request under a key already seen is the same request again (the
// same type, amount and receipt): only then does it get the first one's
// answer. A till that reuses a key for another request is refused, never
// told that the first one's approval was its own.
bool TillSameRequest(const TillRequest &a, const TillRequest &b);
bool TillSameRequest(const TillRequest &request, const JournalTransaction &transaction);
