#include "window/TransactionCheck.h"

#include "common/Helpers.h"
#include "window/AmountRules.h"

namespace {

// An amount the request cannot carry to the cent is refused like a wrong
// one: the customer would be charged another amount than the one typed.
bool amountAccepted(const QString &text)
{
    return AmountCarriedToTheCent(text);
}

} // namespace

TransactionCheck CheckTransaction(int tab, const TabFields &fields, bool burstOpen,
                                  const QLocale &locale)
{
    // A reader that ends its data with Enter presses OK in the middle of its
    // burst; the burst's end starts the transaction with the whole track.
    if (burstOpen)
        return TransactionCheck::BurstOpen;

    switch (tab) {
    case 1:
    case 4:
        if (!amountAccepted(fields.text2))
            return TransactionCheck::InvalidAmount;
        break;
    case 2:
        if (!ReceiptRuleA(fields.text3, locale))
            return TransactionCheck::InvalidReceiptNumber;
        break;
    case 3:
        if (!ReceiptRuleA(fields.text8, locale))
            return TransactionCheck::InvalidReceiptNumber;
        if (!amountAccepted(fields.text9))
            return TransactionCheck::InvalidAmount;
        break;
    case 5:
        if (!ReceiptRuleB(fields.text4))
            return TransactionCheck::InvalidReceiptNumber;
        if (!amountAccepted(fields.text7))
            return TransactionCheck::InvalidAmount;
        break;
    default:
        break;
    }
    return TransactionCheck::Start;
}

TransactionRequest RequestOfTab(int tab, const TabFields &fields, const QString &cardText, const QLocale &locale)
{
    using Op = TransactionRequest::Operation;
    TransactionRequest request;
    const auto amountOf = [&request](const QString &text) { GetAmount(text, request.amount); };
    switch (tab) {
    case 1:
    case 4:
        request.operation = Op::CardPayment;
        request.booking = tab == 4;
        amountOf(fields.text2);
        request.cardText = NormalizeTrackText(cardText);
        break;
    case 2:
        request.operation = Op::Cancellation;
        request.receiptNumber = ReceiptNumberA(fields.text3, locale).value_or(-1);
        break;
    case 3:
        request.operation = Op::Tip;
        amountOf(fields.text9);
        request.receiptNumber = ReceiptNumberA(fields.text8, locale).value_or(-1);
        break;
    case 5:
        request.operation = Op::BookingCompletion;
        amountOf(fields.text7);
        request.receiptNumber = ReceiptNumberB(fields.text4).value_or(-1);
        break;
    default:
        break;
    }
    return request;
}
