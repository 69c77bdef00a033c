#include "window/TillAnswers.h"

#include "window/AmountRules.h"

#include <algorithm>

namespace {

TillResponse refused(const TillRequest &request, const QString &reason)
{
    TillResponse r = TillResponseTo(request, TillProtocol::kValidationError);
    r.reason = reason;
    return r;
}

bool usableKey(const QString &text)
{
    if (text.isEmpty() || text.size() > TillProtocol::kMaxKeyLength)
        return false;
    for (QChar c : text) {
        if (!c.isPrint())
            return false;
    }
    return true;
}

} // namespace

TillResponse TillResponseTo(const TillRequest &request, const QString &overallResult)
{
    TillResponse r;
    r.requestType = request.requestType;
    r.workstationId = request.workstationId;
    r.requestId = request.requestId;
    r.overallResult = overallResult;
    if (!request.currency.isEmpty())
        r.currency = request.currency;
    return r;
}

std::optional<TillResponse> RefuseTillRequest(const TillRequest &request)
{
    if (!usableKey(request.requestId))
        return refused(request, QStringLiteral("RequestID missing or unusable"));
    if (!usableKey(request.workstationId))
        return refused(request, QStringLiteral("WorkstationID missing or unusable"));
    const QString &type = request.requestType;
    const bool charge = type == TillProtocol::kCardPayment || type == TillProtocol::kBooking;
    const bool reversal = type == TillProtocol::kPaymentReversal;
    if (!charge && !reversal && type != TillProtocol::kAbortRequest && type != TillProtocol::kRepeatLastMessage)
        return refused(request, QStringLiteral("RequestType not supported"));
    if (!request.currency.isEmpty() && request.currency != u"EUR")
        return refused(request, QStringLiteral("Currency not supported"));
    double value = 0;
    if (charge && (!request.amount || !GetAmount(*request.amount, value)))
        return refused(request, QStringLiteral("TotalAmount missing or invalid"));
    if (reversal) {
        if (request.amount && !GetAmount(*request.amount, value))
            return refused(request, QStringLiteral("TotalAmount invalid"));
        // The cancellation tab's receipt number, and only digits: a till's
        // STAN never has a sign or an exponent.
        const QString stan = request.originalStan.value_or(QString());
        const bool digits = std::all_of(stan.begin(), stan.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        if (!digits || !ReceiptRuleA(stan))
            return refused(request, QStringLiteral("OriginalTransaction STAN missing or invalid"));
    }
    return std::nullopt;
}

TillResponse TillAnswerOf(const TillRequest &request, const JournalTransaction &t)
{
    TillResponse r = TillResponseTo(request, TillProtocol::kTimedOut);
    r.terminalId = t.sent.pos;
    if (!t.sent.amount.isEmpty())
        r.amount = t.sent.amount;
    else if (request.amount)
        r.amount = request.amount;
    const std::optional<qint64> stan = t.knownStan();
    if (t.resolved) {
        const QString &settled = t.resolved->outcome;
        if (settled == u"approved" && stan) {
            r.overallResult = TillProtocol::kSuccess;
            r.stan = stan;
        } else if (settled == u"not found" || settled == u"declined") {
            r.overallResult = TillProtocol::kFailure;
            r.reason = settled;
        } else {
            r.outcomeUnknown = true;
        }
        return r;
    }
    if (t.outcome && t.outcome->event == u"approved") {
        r.overallResult = TillProtocol::kSuccess;
        r.stan = stan;
    } else if (t.outcome && t.outcome->event == u"declined") {
        r.overallResult = TillProtocol::kFailure;
        r.code = t.outcome->code;
        r.reason = t.outcome->reason;
        r.text = t.outcome->text;
    } else {
        r.outcomeUnknown = true;
    }
    return r;
}

TillResponse TillAnswerOf(const TillRequest &request, const SessionOutcome &outcome, const QString &terminalId)
{
    TillResponse r = TillResponseTo(request, TillProtocol::kTimedOut);
    r.terminalId = terminalId;
    r.amount = request.amount;
    switch (outcome.kind) {
    case SessionOutcome::NotSent:
        r.overallResult = TillProtocol::kFailure;
        r.reason = QStringLiteral("not sent");
        break;
    case SessionOutcome::Approved:
        r.overallResult = TillProtocol::kSuccess;
        r.stan = outcome.stan;
        break;
    case SessionOutcome::Declined:
        r.overallResult = TillProtocol::kFailure;
        r.code = outcome.code;
        r.reason = outcome.reason;
        r.text = outcome.text;
        break;
    case SessionOutcome::Unknown:
        r.outcomeUnknown = true;
        break;
    }
    return r;
}

QString TillFieldAmount(const QString &amount)
{
    QString text = amount.trimmed();
    text.replace(u'.', u',');
    return text;
}
