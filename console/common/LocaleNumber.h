// Numbers as the cashier's workstation writes them: the locale's decimal
// separator, no thousands separators. Receipt numbers of the cancellation and
// tip tabs are read so; amounts never are (window/AmountRules).
#pragma once

#include <QLocale>
#include <QStringView>

// "0" to "9" only: no other script's digits count in a number the console reads.
inline bool IsAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The text without leading and trailing blanks (spaces and tabs; no other
// white space).
QStringView TrimBlanks(QStringView text);

// The general numeric test: ignoring leading and trailing blanks, an optional
// sign, digits with at most one decimal separator (the locale's), at least
// one digit, and an optional exponent ("e", "E", optional sign, digits).
// Thousands separators, currency signs and hexadecimal prefixes do not count.
bool IsLocaleNumeric(QStringView text, const QLocale &locale = QLocale::system());

// The value of a text that passes IsLocaleNumeric with the same locale; NaN
// for any other text and for a value a double cannot hold ("1e999").
double LocaleNumericValue(QStringView text, const QLocale &locale = QLocale::system());
