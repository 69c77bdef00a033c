// The amount parser of the transaction tabs and the two receipt-number rules.
//
// GetAmount never follows the locale: "," and "." are both the decimal
// separator, and an amount has exactly two decimals or none. Rule A's number
// test is the one place where the system locale counts: its decimal separator
// is the locale's, as the cashier's workstation shows numbers.
#pragma once

#include "common/LocaleNumber.h"

#include <QLocale>
#include <QString>
#include <QStringView>

#include <optional>

// Whether AmountString is an acceptable amount; ResultAmount receives its
// value in currency units ("12,50" -> 12.5). The text is trimmed of blanks and
// may be at most 32 characters; an optional "-", digits, and at most one ","
// or "." followed by exactly two digits. On a character that is none of
// these ResultAmount is 0. Zero and negative amounts pass.
bool GetAmount(const QString &AmountString, double &ResultAmount);

// Whether the double GetAmount makes of AmountString is the typed amount to
// the cent. The request carries the amount as an 8-byte double, whose 53 bits
// keep every cent apart only below 2^46 (about 70 000 000 000 000): above it
// a typed amount may reach the server as a neighbouring one
// ("70368744177664,01" as ...,02). False for a text GetAmount refuses.
bool AmountCarriedToTheCent(const QString &AmountString);

// The largest receipt number the server issues.
constexpr qint32 kMaxReceiptNumber = 999999;

// Rule A (cancellation and tip): 1 to 6 characters as entered, blanks
// included, numeric by IsLocaleNumeric, and of a whole value in
// 0..kMaxReceiptNumber ("12,0" in a comma locale is 12; "12.5" and "-5" are
// refused, never rounded or clamped into another receipt). The number is the
// one the request carries.
std::optional<qint32> ReceiptNumberA(const QString &text, const QLocale &locale = QLocale::system());
bool ReceiptRuleA(const QString &text, const QLocale &locale = QLocale::system());

// Rule B (booking completion): 1 to 6 characters as entered, accepted by
// GetAmount, and of a whole value in 0..kMaxReceiptNumber ("12,00" is 12,
// "12,50" is refused).
std::optional<qint32> ReceiptNumberB(const QString &text);
bool ReceiptRuleB(const QString &text);
