#include "window/TransactionCheck.h"

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
