#include "common/LocaleNumber.h"

#include <limits>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// The locale's decimal separator as one character; locales whose separator is
// longer than one UTF-16 unit fall back to ".".
QChar decimalSeparator(const QLocale &locale)
{
    const QString point = locale.decimalPoint();
    return point.size() == 1 ? point.front() : QChar(u'.');
}

bool isSign(QChar c, const QLocale &locale)
{
    if (c == u'+' || c == u'-')
        return true;
    const QString minus = locale.negativeSign();
    const QString plus = locale.positiveSign();
    return (minus.size() == 1 && c == minus.front()) || (plus.size() == 1 && c == plus.front());
}

bool isMinus(QChar c, const QLocale &locale)
{
    const QString minus = locale.negativeSign();
    return c == u'-' || (minus.size() == 1 && c == minus.front());
}

// Splits a numeric text into its C-locale spelling ("-12.5e3"); empty when
// the text is not numeric.
QByteArray canonicalNumber(QStringView text, const QLocale &locale)
{
    const QStringView s = TrimBlanks(text);
    const QChar point = decimalSeparator(locale);
    QByteArray out;
    qsizetype i = 0;
    if (i < s.size() && isSign(s[i], locale)) {
        if (isMinus(s[i], locale))
            out += '-';
        ++i;
    }
    int digits = 0;
    bool pointSeen = false;
    for (; i < s.size(); ++i) {
        const QChar c = s[i];
        if (IsAsciiDigit(c)) {
            out += char(c.unicode());
            ++digits;
        } else if (c == point && !pointSeen) {
            pointSeen = true;
            out += '.';
        } else {
            break;
        }
    }
    if (digits == 0)
        return {};
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        out += 'e';
        ++i;
        if (i < s.size() && isSign(s[i], locale)) {
            if (isMinus(s[i], locale))
                out += '-';
            ++i;
        }
        int exponentDigits = 0;
        for (; i < s.size() && IsAsciiDigit(s[i]); ++i) {
            out += char(s[i].unicode());
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return {};
    }
    if (i != s.size())
        return {};
    return out;
}

} // namespace

QStringView TrimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

bool IsLocaleNumeric(QStringView text, const QLocale &locale)
{
    return !canonicalNumber(text, locale).isEmpty();
}

double LocaleNumericValue(QStringView text, const QLocale &locale)
{
    const QByteArray number = canonicalNumber(text, locale);
    if (number.isEmpty())
        return std::numeric_limits<double>::quiet_NaN();
    // The C locale's parser: strtod would follow LC_NUMERIC, which the
    // application sets from the environment.
    bool ok = false;
    const double value = QLocale::c().toDouble(QString::fromLatin1(number), &ok);
    return ok ? value : std::numeric_limits<double>::quiet_NaN();
}
