// The OK button's decision for each tab: which message, if any.
#include "window/TransactionCheck.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct CheckRow {
    const char *name;
    int tab;
    TabFields fields;
    bool burstOpen;
    TransactionCheck expected;
};

void PrintTo(const CheckRow &row, std::ostream *os) { *os << row.name; }

class CheckTransactionRows : public ::testing::TestWithParam<CheckRow> {};

TEST_P(CheckTransactionRows, MessageOrStart)
{
    const CheckRow &row = GetParam();
    const QLocale pointLocale(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(CheckTransaction(row.tab, row.fields, row.burstOpen, pointLocale), row.expected);
}

TabFields amount(const char *text2)
{
    TabFields f;
    f.text2 = QString::fromLatin1(text2);
    return f;
}

TabFields cancellation(const char *text3)
{
    TabFields f;
    f.text3 = QString::fromLatin1(text3);
    return f;
}

TabFields tip(const char *text8, const char *text9)
{
    TabFields f;
    f.text8 = QString::fromLatin1(text8);
    f.text9 = QString::fromLatin1(text9);
    return f;
}

TabFields completion(const char *text4, const char *text7)
{
    TabFields f;
    f.text4 = QString::fromLatin1(text4);
    f.text7 = QString::fromLatin1(text7);
    return f;
}

using C = TransactionCheck;

INSTANTIATE_TEST_SUITE_P(
    Tabs, CheckTransactionRows,
    ::testing::Values(
        CheckRow{"PaymentGoodAmountStarts", 1, amount("12,50"), false, C::Start},
        CheckRow{"PaymentBadAmount", 1, amount("12,5"), false, C::InvalidAmount},
        CheckRow{"PaymentEmptyAmount", 1, amount(""), false, C::InvalidAmount},
        CheckRow{"PaymentZeroAmountPasses", 1, amount("0"), false, C::Start},
        CheckRow{"PaymentNegativeAmountPasses", 1, amount("-1,00"), false, C::Start},
        CheckRow{"BookingBadAmount", 4, amount("abc"), false, C::InvalidAmount},
        CheckRow{"BookingGoodAmountStarts", 4, amount("100"), false, C::Start},
        CheckRow{"BurstOpenDoesNothingEvenWithBadFields", 1, amount("x"), true, C::BurstOpen},
        CheckRow{"BurstOpenDoesNothingWithGoodFields", 2, cancellation("123"), true, C::BurstOpen},
        CheckRow{"CancellationGood", 2, cancellation("123456"), false, C::Start},
        CheckRow{"CancellationSevenDigits", 2, cancellation("1234567"), false, C::InvalidReceiptNumber},
        CheckRow{"CancellationEmpty", 2, cancellation(""), false, C::InvalidReceiptNumber},
        CheckRow{"CancellationExponentPasses", 2, cancellation("1e3"), false, C::Start},
        CheckRow{"TipBadReceiptBeforeBadAmount", 3, tip("", "x"), false, C::InvalidReceiptNumber},
        CheckRow{"TipBadAmount", 3, tip("12", "1,5"), false, C::InvalidAmount},
        CheckRow{"TipSevenDigits", 3, tip("1234567", "1,50"), false, C::InvalidReceiptNumber},
        CheckRow{"TipGood", 3, tip("12", "1,50"), false, C::Start},
        CheckRow{"CompletionWholeAmountTextAsReceipt", 5, completion("12,00", "3"), false, C::Start},
        CheckRow{"CompletionFractionalReceiptRefused", 5, completion("12,50", "3"), false, C::InvalidReceiptNumber},
        CheckRow{"CompletionExponentReceiptRefused", 5, completion("1e3", "3"), false, C::InvalidReceiptNumber},
        CheckRow{"CompletionEmptyReceipt", 5, completion("", "3"), false, C::InvalidReceiptNumber},
        CheckRow{"CompletionBadAmount", 5, completion("42", "3,3"), false, C::InvalidAmount}),
    [](const ::testing::TestParamInfo<CheckRow> &info) { return std::string(info.param.name); });

} // namespace
