// Numbers as the cashier's workstation writes them: the locale's decimal
// separator, no thousands separators. Receipt numbers of the cancellation and
// tip tabs are read so; amounts never are (window/AmountRules).
#pragma once

#include <QLocale>
#include <QStringView>

// The general numeric test: ignoring leading and trailing blanks, an optional
// sign, digits with at most one decimal separator (the locale's), at least
// one digit, and an optional exponent ("e", "E", optional sign, digits).
// Thousands separators, currency signs and hexadecimal prefixes do not count.
bool IsLocaleNumeric(QStringView text, const QLocale &locale = QLocale::system());

// The value of a text that passes IsLocaleNumeric with the same locale; NaN
// for any other text and for a value a double cannot hold ("1e999").
double LocaleNumericValue(QStringView text, const QLocale &locale = QLocale::system());
