// Formatting and parsing helpers shared by the console: date texts for
// requests, reports and the error log, the amount text, fixed-width numbers,
// bounded number parsing, the raw bytes of Varo number fields, character
// translation, path joining and the keyboard-layout correction of card text.
//
// All of them are pure functions of their arguments (NormalizeTrackText also
// asks for the active keyboard layout) and none follows the locale: digits,
// signs and the decimal point are always ASCII "0-9", "-" and ".".
//
// Text is QString; byte strings (Varo field data) are QByteArray, every one of
// the 256 byte values kept as it is.
#pragma once

#include "common/KeyboardLayout.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <QtGlobal>

// Year (last two digits), month and day, each two digits: 6 March 2009 ->
// "090306"; any date of 2000 -> "00....". An invalid date gives "".
QString FormatDateYYMMDD(const QDate &date);

// "06. detsember 2026": day (2 digits), ". ", the Estonian month name, " ",
// the year (4 digits). Accepts a QDate, a QDateTime, or a text holding a
// date as "yyyy-MM-dd" (optionally followed by a time, ISO style) or
// "d.M.yyyy"; anything else (and an invalid date) gives "".
QString FormatDateWords(const QVariant &value);

// Stamps are 12 characters YYMMDDhhmmss. Anything of another length gives "".
// "261206153000" -> "06.12.2026" and "15:30:00". The characters are not
// checked further: they are cut and joined as they are.
QString FormatStampDate(QStringView stamp);
QString FormatStampTime(QStringView stamp);
// FormatStampDate + " " + FormatStampTime: "06.12.2026 15:30:00"; " " for a
// stamp of another length.
QString FormatStamp(QStringView stamp);

// An amount in currency units as text with two decimals, rounded half away
// from zero (RoundToStep): 12.5 -> "12.50", -3.2 -> "-3.20", 1.005 -> "1.01",
// -0.001 -> "-0.00" (the sign follows the value, not the rounded text).
// No grouping. A NaN or infinite value gives "".
QString FormatAmount(double value);

// sign(x) * floor(|x| / step + 0.5 + 1e-13) * step: half away from zero to a
// multiple of step, nudged so that 1.005 * 100 rounds up. sign(0) = 0.
// A step of 0 (or NaN) would divide by zero: x is returned unchanged.
double RoundToStep(double x, double step);

// Decimal digits of |value|, exactly `width` long: left-padded with "0" or
// cut to the last `width` digits. Width 0 or negative gives "".
// PadNumber(42, 6) = "000042", PadNumber(1234567, 6) = "234567",
// PadNumber(-5, 3) = "005".
QString PadNumber(qint32 value, qint16 width);

// True for a text that reads as a decimal number in the C locale: optional
// blanks, an optional sign, digits with an optional "." and fraction (at
// least one digit in all), an optional exponent ("e5", "E-2"), optional
// blanks. "", " ", "1,5", "0x10", "12a" are not numeric.
bool IsNumericText(QStringView text);

// When IsNumericText(text), its value rounded to an integer (halves to even:
// "2.5" -> 2, "3.5" -> 4) if that lies within [min, max]; otherwise `def`.
// Also the way to take a configuration text as a 32-bit integer:
// ParseBoundedLong(t, INT32_MIN, INT32_MAX, 8145).
qint32 ParseBoundedLong(QStringView text, qint32 min, qint32 max, qint32 def);

// Every character of `text` equal to source[i] becomes target[i] (where
// target has an i-th character; otherwise it stays). Matching is done on the
// input, so a replacement is never translated again:
// TranslateChars("ab", "ab", "ba") = "ba". When `source` repeats a
// character, its last occurrence with a target wins.
QString TranslateChars(const QString &text, QStringView source, QStringView target);
// The same on bytes (for byte strings bound for raw printers).
QByteArray TranslateChars(const QByteArray &text, QByteArrayView source, QByteArrayView target);

// Keyboard-layout correction of card track text typed by a keyboard-wedge
// reader, for the sentinels ";" "=" "?":
//   Estonian layout: "ö" -> ";", "´" (U+00B4) -> "=", "_" -> "?";
//   Russian layout:  "ж" (U+0436; byte 230 of the Cyrillic code page) -> ";",
//                    "," -> "?";
//   any other layout: unchanged.
// The one-argument form asks KeyboardLayout::current().
QString NormalizeTrackText(const QString &text);
QString NormalizeTrackText(const QString &text, KeyboardLayout::Layout layout);

// directory + "/" + fileName, the "/" left out when directory already ends in
// one; an empty directory means the current working directory.
QString JoinPath(const QString &directory, const QString &fileName);
