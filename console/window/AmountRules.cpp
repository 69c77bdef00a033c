#include "window/AmountRules.h"

#include <cmath>
#include <limits>

namespace {

constexpr qsizetype kMaxAmountLength = 32;
constexpr qsizetype kMaxReceiptLength = 6;

// The decimal value of a run of ASCII digits, accumulated in a double as the
// amount is carried (32 digits are allowed and overflow no integer type).
double digitValue(const QString &digits)
{
    double value = 0;
    for (QChar c : digits)
        value = value * 10 + (c.unicode() - u'0');
    return value;
}

} // namespace

bool GetAmount(const QString &AmountString, double &ResultAmount)
{
    const QString s = TrimBlanks(AmountString).toString();
    if (s.isEmpty() || s.size() > kMaxAmountLength)
        return false;
    const bool negative = s.front() == u'-';
    if (negative && s.size() == 1)
        return false;

    QString digits;
    bool separatorSeen = false;
    for (qsizetype i = negative ? 1 : 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (IsAsciiDigit(c)) {
            digits += c;
        } else if (c == u',' || c == u'.') {
            // i is 0-based: the first character is i == 0, the second i == 1.
            if (separatorSeen || i == 0 || (i == 1 && negative))
                return false;
            if (i + 3 != s.size())   // exactly two characters follow
                return false;
            separatorSeen = true;
            ResultAmount = digitValue(digits);
            digits.clear();
        } else {
            ResultAmount = 0;
            return false;
        }
    }
    if (separatorSeen)
        ResultAmount = ResultAmount + digitValue(digits) / 100;
    else
        ResultAmount = digitValue(digits);
    if (negative)
        ResultAmount = -ResultAmount;
    return true;
}

bool AmountCarriedToTheCent(const QString &AmountString)
{
    double value = 0;
    if (!GetAmount(AmountString, value))
        return false;
    // The typed cents, exactly: the digits with two more for a whole amount.
    const QStringView s = TrimBlanks(AmountString);
    QString cents;
    for (QChar c : s)
        if (IsAsciiDigit(c))
            cents += c;
    if (!s.contains(u',') && !s.contains(u'.'))
        cents += u"00";
    qsizetype first = 0;
    while (first < cents.size() && cents[first] == u'0')
        ++first;
    cents = cents.mid(first);
    if (cents.size() > 18)
        return false;
    const qint64 typed = cents.isEmpty() ? 0 : cents.toLongLong();
    constexpr double kExactLimit = 9007199254740992.0;   // 2^53
    const double carried = std::fabs(value) * 100.0;
    return carried < kExactLimit && std::llround(carried) == typed;
}

namespace {

// A receipt number is a whole value the server can have issued; anything
// else would reach another customer's receipt once converted.
std::optional<qint32> wholeReceiptNumber(double value)
{
    if (!std::isfinite(value) || value != std::trunc(value) || value < 0 || value > kMaxReceiptNumber)
        return std::nullopt;
    return qint32(value);
}

bool receiptLengthFits(const QString &text)
{
    return !text.isEmpty() && text.size() <= kMaxReceiptLength;
}

} // namespace

std::optional<qint32> ReceiptNumberA(const QString &text, const QLocale &locale)
{
    if (!receiptLengthFits(text))
        return std::nullopt;
    return wholeReceiptNumber(LocaleNumericValue(text, locale));
}

bool ReceiptRuleA(const QString &text, const QLocale &locale)
{
    return ReceiptNumberA(text, locale).has_value();
}

std::optional<qint32> ReceiptNumberB(const QString &text)
{
    double value = 0;
    if (!receiptLengthFits(text) || !GetAmount(text, value))
        return std::nullopt;
    return wholeReceiptNumber(value);
}

bool ReceiptRuleB(const QString &text)
{
    return ReceiptNumberB(text).has_value();
}
