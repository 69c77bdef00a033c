// GetAmount and the receipt-number rules, row by row.
#include "window/AmountRules.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QString>

#include <cmath>
#include <ostream>

namespace {

struct AmountRow {
    const char *name;
    QString text;
    bool accepted;
    double value;   // checked when accepted, and for rows that fix the value on refusal
    bool checkValueOnRefusal = false;
};

void PrintTo(const AmountRow &row, std::ostream *os) { *os << row.name; }

class GetAmountRows : public ::testing::TestWithParam<AmountRow> {};

TEST_P(GetAmountRows, AcceptsExactlyTwoDecimalsWithCommaOrPoint)
{
    const AmountRow &row = GetParam();
    double value = -12345;   // a value GetAmount must overwrite when it accepts
    EXPECT_EQ(GetAmount(row.text, value), row.accepted) << row.text.toStdString();
    if (row.accepted || row.checkValueOnRefusal)
        EXPECT_DOUBLE_EQ(value, row.value) << row.text.toStdString();
}

const QString k32Digits = QString(32, u'9');
const QString k33Digits = QString(33, u'9');

INSTANTIATE_TEST_SUITE_P(
    AmountTexts, GetAmountRows,
    ::testing::Values(
        AmountRow{"CommaTwoDecimals", u"12,50"_qs, true, 12.5},
        AmountRow{"PointTwoDecimals", u"12.50"_qs, true, 12.5},
        AmountRow{"BlanksAroundWholeNumber", u" 7 "_qs, true, 7},
        AmountRow{"NegativeBelowOne", u"-0,50"_qs, true, -0.5},
        AmountRow{"Zero", u"0"_qs, true, 0},
        AmountRow{"NegativeWhole", u"-3"_qs, true, -3},
        AmountRow{"OneDecimalRefused", u"12,5"_qs, false, 0},
        AmountRow{"ThreeDecimalsRefused", u"12,505"_qs, false, 0},
        AmountRow{"TrailingSeparatorRefused", u"12."_qs, false, 0},
        AmountRow{"LeadingSeparatorRefused", u",50"_qs, false, 0},
        AmountRow{"MinusThenSeparatorRefused", u"-,50"_qs, false, 0},
        AmountRow{"MinusAloneRefused", u"-"_qs, false, 0},
        AmountRow{"ThousandsBlankRefused", u"1 000"_qs, false, 0, true},
        AmountRow{"ExponentRefusedWithValueZero", u"1e3"_qs, false, 0, true},
        AmountRow{"TwoSeparatorsRefused", u"12,50,00"_qs, false, 0},
        AmountRow{"EmptyRefused", u""_qs, false, 0},
        AmountRow{"BlanksOnlyRefused", u"   "_qs, false, 0},
        AmountRow{"PlusSignRefused", u"+5"_qs, false, 0, true},
        AmountRow{"ThirtyTwoDigitsAccepted", k32Digits, true, 1e32 - 1},
        AmountRow{"ThirtyThreeDigitsRefused", k33Digits, false, 0},
        AmountRow{"ThirtyTwoAfterTrimAccepted", u"  "_qs + k32Digits + u"  "_qs, true, 1e32 - 1}),
    [](const ::testing::TestParamInfo<AmountRow> &info) { return std::string(info.param.name); });

TEST(GetAmount, DoesNotFollowTheLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Estonian, QLocale::Estonia));
    double value = 0;
    EXPECT_TRUE(GetAmount(u"1.25"_qs, value));
    EXPECT_DOUBLE_EQ(value, 1.25);
    EXPECT_TRUE(GetAmount(u"1,25"_qs, value));
    EXPECT_DOUBLE_EQ(value, 1.25);
    QLocale::setDefault(saved);
}

// The request carries the amount as a double: "12345678901234567" went out
// as 12345678901234568, and "70368744177664,01" as 70368744177664,02.
TEST(AmountCarriedToTheCent, AmountsTheDoubleCannotHoldToTheCentAreRefused)
{
    for (const char *text : {"12,50", "0,29", "-0,50", "0", "0,00", "1234567,89", "-3", "12345678901234,56", "70368744177664,02",
                             "  000012.34 "})
        EXPECT_TRUE(AmountCarriedToTheCent(QString::fromLatin1(text))) << text;
    for (const char *text : {"12345678901234567", "70368744177664,01", "90071992547409,93", "99999999999999999999999999999999",
                             "12,5", "abc", ""})
        EXPECT_FALSE(AmountCarriedToTheCent(QString::fromLatin1(text))) << text;
}

struct RuleRow {
    const char *name;
    QString text;
    bool ruleA;      // with a locale whose decimal separator is "."
    bool ruleAComma; // with a locale whose decimal separator is ","
    bool ruleB;
};

void PrintTo(const RuleRow &row, std::ostream *os) { *os << row.name; }

class ReceiptRuleRows : public ::testing::TestWithParam<RuleRow> {};

TEST_P(ReceiptRuleRows, LengthAndNumericTests)
{
    const RuleRow &row = GetParam();
    const QLocale pointLocale(QLocale::English, QLocale::UnitedStates);
    const QLocale commaLocale(QLocale::Estonian, QLocale::Estonia);
    EXPECT_EQ(ReceiptRuleA(row.text, pointLocale), row.ruleA);
    EXPECT_EQ(ReceiptRuleA(row.text, commaLocale), row.ruleAComma);
    EXPECT_EQ(ReceiptRuleB(row.text), row.ruleB);
}

INSTANTIATE_TEST_SUITE_P(
    ReceiptTexts, ReceiptRuleRows,
    ::testing::Values(
        RuleRow{"SixDigits", u"123456"_qs, true, true, true},
        RuleRow{"SevenDigitsTooLong", u"1234567"_qs, false, false, false},
        RuleRow{"Empty", u""_qs, false, false, false},
        RuleRow{"ExponentNumericButNoAmount", u"1e3"_qs, true, true, false},
        RuleRow{"FractionalAmountIsNoReceipt", u"12,50"_qs, false, false, false},
        RuleRow{"WholeAmountWithCommaIsRuleB", u"12,00"_qs, false, true, true},
        RuleRow{"WholeAmountWithPointFollowsLocale", u"12.00"_qs, true, false, true},
        RuleRow{"WholeWithOneDecimalInLocale", u"12,0"_qs, false, true, false},
        RuleRow{"TypoWithHalfIsRefusedNotRounded", u"12.5"_qs, false, false, false},
        RuleRow{"OneAndAHalfIsRefusedNotRoundedToTwo", u"1.5"_qs, false, false, false},
        RuleRow{"BlanksCountInLength", u"  1234 "_qs, false, false, false},
        RuleRow{"BlanksAroundFitLength", u" 42 "_qs, true, true, true},
        RuleRow{"NegativeIsNoReceipt", u"-5"_qs, false, false, false},
        RuleRow{"PlusSignedWhole", u"+5"_qs, true, true, false},
        RuleRow{"Letters", u"12a"_qs, false, false, false},
        RuleRow{"HexPrefixNotNumeric", u"0x10"_qs, false, false, false},
        RuleRow{"BlanksOnly", u"   "_qs, false, false, false},
        RuleRow{"ExponentWithoutDigits", u"1e"_qs, false, false, false},
        RuleRow{"ExponentBeyondLargestReceipt", u"1e6"_qs, false, false, false},
        RuleRow{"FractionalExponent", u"1e-1"_qs, false, false, false},
        RuleRow{"SeparatorOnly", u"."_qs, false, false, false}),
    [](const ::testing::TestParamInfo<RuleRow> &info) { return std::string(info.param.name); });

// What passes a rule is the number the request carries, in every locale.
TEST(ReceiptNumber, PassingTextIsTheNumberSent)
{
    const QLocale pointLocale(QLocale::English, QLocale::UnitedStates);
    const QLocale commaLocale(QLocale::Estonian, QLocale::Estonia);
    EXPECT_EQ(ReceiptNumberA(u"123"_qs, pointLocale), 123);
    EXPECT_EQ(ReceiptNumberA(u"123"_qs, commaLocale), 123);
    EXPECT_EQ(ReceiptNumberA(u"12,0"_qs, commaLocale), 12);
    EXPECT_EQ(ReceiptNumberA(u"12.0"_qs, pointLocale), 12);
    EXPECT_EQ(ReceiptNumberA(u"12.0"_qs, QLocale::c()), 12);
    EXPECT_EQ(ReceiptNumberA(u"1e3"_qs, commaLocale), 1000);
    EXPECT_EQ(ReceiptNumberA(u" 0 "_qs, pointLocale), 0);
    EXPECT_EQ(ReceiptNumberA(u"999999"_qs, pointLocale), 999999);
    EXPECT_EQ(ReceiptNumberA(u"12,0"_qs, pointLocale), std::nullopt);
    EXPECT_EQ(ReceiptNumberA(u"12.5"_qs, pointLocale), std::nullopt);
    EXPECT_EQ(ReceiptNumberB(u"12,00"_qs), 12);
    EXPECT_EQ(ReceiptNumberB(u"12.00"_qs), 12);
    EXPECT_EQ(ReceiptNumberB(u"7"_qs), 7);
    EXPECT_EQ(ReceiptNumberB(u"12,50"_qs), std::nullopt);
    EXPECT_EQ(ReceiptNumberB(u"-1"_qs), std::nullopt);
}

TEST(LocaleNumericValue, ReadsTheLocaleSeparatorAndRefusesOverflow)
{
    const QLocale commaLocale(QLocale::Estonian, QLocale::Estonia);
    EXPECT_DOUBLE_EQ(LocaleNumericValue(u" 80,5 "_qs, commaLocale), 80.5);
    EXPECT_DOUBLE_EQ(LocaleNumericValue(u"-1,5e2"_qs, commaLocale), -150);
    EXPECT_TRUE(std::isnan(LocaleNumericValue(u"80.5"_qs, commaLocale)));
    EXPECT_TRUE(std::isnan(LocaleNumericValue(u"1e999"_qs, QLocale::c())));
}

} // namespace
