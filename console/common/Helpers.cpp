#include "common/Helpers.h"

#include <QDateTime>
#include <QDir>
#include <QStringList>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

QString twoDigits(int n)
{
    return QString::number(n).rightJustified(2, u'0');
}

const char16_t *const kMonthNames[12] = {
    u"jaanuar", u"veebruar", u"märts",     u"aprill",   u"mai",      u"juuni",
    u"juuli",   u"august",   u"september", u"oktoober", u"november", u"detsember",
};

QDate dateFromVariant(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate();
    case QMetaType::QDateTime:
        return value.toDateTime().date();
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = value.toString().trimmed();
        // "yyyy-MM-dd", alone or as the start of an ISO date and time.
        QDate d = QDate::fromString(text.left(10), Qt::ISODate);
        if (d.isValid() && (text.size() == 10 || text.at(10) == u'T' || text.at(10) == u' '))
            return d;
        // The Estonian short form "d.M.yyyy".
        d = QDate::fromString(text, QStringLiteral("d.M.yyyy"));
        return d;
    }
    default:
        return {};
    }
}

// std::from_chars never looks at the locale, unlike strtod and friends.
bool parseCDouble(QStringView text, double *out)
{
    if (!IsNumericText(text))
        return false;
    QByteArray ascii = text.toString().trimmed().toLatin1();
    if (ascii.startsWith('+'))
        ascii.remove(0, 1);  // from_chars takes no plus sign
    const char *first = ascii.constData();
    const char *last = first + ascii.size();
    const auto [end, ec] = std::from_chars(first, last, *out);
    return ec == std::errc() && end == last;
}

} // namespace

QString FormatDateYYMMDD(const QDate &date)
{
    if (!date.isValid())
        return QString();
    QString year = QString::number(date.year());
    if (year.size() < 2)
        year.prepend(u'0');
    else
        year = year.right(2);
    return year + twoDigits(date.month()) + twoDigits(date.day());
}

QString FormatDateWords(const QVariant &value)
{
    const QDate d = dateFromVariant(value);
    if (!d.isValid())
        return QString();
    return twoDigits(d.day()) + QStringLiteral(". ")
        + QString::fromUtf16(kMonthNames[d.month() - 1]) + u' '
        + QString::number(d.year()).rightJustified(4, u'0');
}

QString FormatStampDate(QStringView stamp)
{
    if (stamp.size() != 12)
        return QString();
    const QString s = stamp.toString();
    return s.mid(4, 2) + u'.' + s.mid(2, 2) + QStringLiteral(".20") + s.mid(0, 2);
}

QString FormatStampTime(QStringView stamp)
{
    if (stamp.size() != 12)
        return QString();
    const QString s = stamp.toString();
    return s.mid(6, 2) + u':' + s.mid(8, 2) + u':' + s.mid(10, 2);
}

QString FormatStamp(QStringView stamp)
{
    return FormatStampDate(stamp) + u' ' + FormatStampTime(stamp);
}

double RoundToStep(double x, double step)
{
    if (step == 0 || std::isnan(step))
        return x;
    const double sign = x > 0 ? 1.0 : (x < 0 ? -1.0 : 0.0);
    return sign * std::floor(std::fabs(x) / step + 0.5 + 0.0000000000001) * step;
}

QString FormatAmount(double value)
{
    if (!std::isfinite(value))
        return QString();
    const double cents = RoundToStep(std::fabs(value) * 100, 1);
    // 'f' with no decimals: all integer digits, never an exponent or grouping.
    QString digits = QString::number(cents, 'f', 0);
    if (digits.size() < 3)
        digits = digits.rightJustified(3, u'0');
    const QString sign = value < 0 ? QStringLiteral("-") : QString();
    return sign + digits.left(digits.size() - 2) + u'.' + digits.right(2);
}

QString PadNumber(qint32 value, qint16 width)
{
    if (width <= 0)
        return QString();
    // Through 64 bits: |INT32_MIN| does not fit in 32.
    const QString digits = QString::number(std::llabs(static_cast<long long>(value)));
    if (digits.size() >= width)
        return digits.right(width);
    return digits.rightJustified(width, u'0');
}

bool IsNumericText(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto isBlank = [&](qsizetype k) { return text[k] == u' ' || text[k] == u'\t'; };
    auto isDigit = [&](qsizetype k) { return text[k] >= u'0' && text[k] <= u'9'; };
    while (i < n && isBlank(i))
        ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    int mantissaDigits = 0;
    while (i < n && isDigit(i)) {
        ++i;
        ++mantissaDigits;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && isDigit(i)) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        int exponentDigits = 0;
        while (i < n && isDigit(i)) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    while (i < n && isBlank(i))
        ++i;
    return i == n;
}

qint32 ParseBoundedLong(QStringView text, qint32 min, qint32 max, qint32 def)
{
    double v = 0;
    if (!parseCDouble(text, &v) || !std::isfinite(v))
        return def;
    // Round half to even (the default rounding mode), then range-check in
    // double so values beyond 32 bits never reach the conversion.
    const double rounded = std::nearbyint(v);
    if (rounded < static_cast<double>(min) || rounded > static_cast<double>(max))
        return def;
    return static_cast<qint32>(rounded);
}

QString TranslateChars(const QString &text, QStringView source, QStringView target)
{
    QString result = text;
    for (qsizetype i = 0; i < source.size() && i < target.size(); ++i) {
        const QChar from = source[i];
        for (qsizetype j = 0; j < text.size(); ++j) {
            if (text[j] == from)
                result[j] = target[i];
        }
    }
    return result;
}

QByteArray TranslateChars(const QByteArray &text, QByteArrayView source, QByteArrayView target)
{
    QByteArray result = text;
    for (qsizetype i = 0; i < source.size() && i < target.size(); ++i) {
        const char from = source[i];
        for (qsizetype j = 0; j < text.size(); ++j) {
            if (text[j] == from)
                result[j] = target[i];
        }
    }
    return result;
}

QString NormalizeTrackText(const QString &text, KeyboardLayout::Layout layout)
{
    switch (layout) {
    case KeyboardLayout::Estonian:
        return TranslateChars(text, u"\u00F6\u00B4_", u";=?");
    case KeyboardLayout::Russian:
        return TranslateChars(text, u"\u0436,", u";?");
    case KeyboardLayout::Other:
        break;
    }
    return text;
}

QString NormalizeTrackText(const QString &text)
{
    return NormalizeTrackText(text, KeyboardLayout::current());
}

QString JoinPath(const QString &directory, const QString &fileName)
{
    QString dir = directory.isEmpty() ? QDir::currentPath() : directory;
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir + fileName;
}
