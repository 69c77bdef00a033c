#include "window/TillAnswers.h"

#include "common/Helpers.h"
#include "common/LocaleNumber.h"
#include "window/AmountRules.h"
#include "window/TransactionCheck.h"

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
    // The amount field's own check, so the window never refuses what the
    // till was told it took; and a charge of nothing or less is no charge.
    if (charge) {
        TabFields fields;
        fields.text2 = TillFieldAmount(request.amount.value_or(QString()));
        double value = 0;
        if (!request.amount || CheckTransaction(1, fields, false) != TransactionCheck::Start
            || !GetAmount(fields.text2, value) || value <= 0)
            return refused(request, QStringLiteral("TotalAmount missing or invalid"));
    }
    if (reversal) {
        if (request.amount && !TillAmountCents(*request.amount))
            return refused(request, QStringLiteral("TotalAmount invalid"));
        // The cancellation tab's receipt number, and only digits: a till's
        // STAN never has a sign or an exponent.
        const QString stan = request.originalStan.value_or(QString());
        const bool digits = std::all_of(stan.begin(), stan.end(), IsAsciiDigit);
        if (!digits || !ReceiptRuleA(stan))
            return refused(request, QStringLiteral("OriginalTransaction STAN missing or invalid"));
    }
    return std::nullopt;
}

TillResponse TillAnswerOf(const TillRequest &request, const JournalTransaction &t)
{
    TillResponse r = TillResponseTo(request, TillProtocol::kTimedOut);
    r.terminalId = t.sent.pos;
    // Only an amount the journal holds: a cancellation carries none, and the
    // till's own figure is no proof of what was reversed.
    if (!t.sent.amount.isEmpty())
        r.amount = t.sent.amount;
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
    if (request.requestType != TillProtocol::kPaymentReversal)
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

std::optional<qint64> TillAmountCents(const QString &amount)
{
    double value = 0;
    if (!GetAmount(amount, value) || !AmountCarriedToTheCent(amount))
        return std::nullopt;
    return qRound64(value * 100);
}

QString TillJournalOperation(const QString &requestType)
{
    if (requestType == TillProtocol::kCardPayment)
        return QStringLiteral("payment");
    if (requestType == TillProtocol::kBooking)
        return QStringLiteral("booking");
    if (requestType == TillProtocol::kPaymentReversal)
        return QStringLiteral("cancellation");
    return {};
}

bool TillSameRequest(const TillRequest &a, const TillRequest &b)
{
    if (a.requestType != b.requestType || a.originalStan != b.originalStan)
        return false;
    if (!a.amount || !b.amount)
        return a.amount.has_value() == b.amount.has_value();
    return TillAmountCents(*a.amount) && TillAmountCents(*a.amount) == TillAmountCents(*b.amount);
}

bool TillSameRequest(const TillRequest &request, const JournalTransaction &t)
{
    if (TillJournalOperation(request.requestType) != t.sent.op)
        return false;
    if (request.requestType == TillProtocol::kPaymentReversal) {
        const QString stan = request.originalStan.value_or(QString());
        return t.sent.receipt && ParseBoundedLong(stan, 0, kMaxReceiptNumber, -1) == *t.sent.receipt;
    }
    const std::optional<qint64> cents = request.amount ? TillAmountCents(*request.amount) : std::nullopt;
    return cents && cents == TransactionJournal::amountCents(t.sent.amount);
}
