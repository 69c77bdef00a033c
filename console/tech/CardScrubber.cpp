#include "tech/CardScrubber.h"

namespace {

constexpr qsizetype kMinPanDigits = 13;
constexpr qsizetype kMaxPanDigits = 19;
constexpr qsizetype kMaxTrack2Bytes = 40;   // sentinels included
constexpr qsizetype kMaxTrack1Bytes = 79;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool endsTrackSearch(char c)
{
    return c == '?' || c == '\r' || c == '\n';
}

// Length of the track 2 that starts at bytes[at] (';'), or 0.
qsizetype track2Length(QByteArrayView bytes, qsizetype at)
{
    const qsizetype limit = qMin(bytes.size(), at + kMaxTrack2Bytes);
    qsizetype i = at + 1;
    while (i < limit && isDigit(bytes[i]))
        ++i;
    const qsizetype digits = i - at - 1;
    if (digits < 1 || digits > kMaxPanDigits || i >= limit || bytes[i] != '=')
        return 0;
    for (++i; i < limit; ++i) {
        if (bytes[i] == '?')
            return i - at + 1;
        if (endsTrackSearch(bytes[i]))
            return 0;
    }
    return 0;
}

// Length of the track 1 that starts at bytes[at] ('%' 'B'), or 0.
qsizetype track1Length(QByteArrayView bytes, qsizetype at)
{
    const qsizetype limit = qMin(bytes.size(), at + kMaxTrack1Bytes);
    bool caret = false;
    for (qsizetype i = at + 2; i < limit; ++i) {
        if (bytes[i] == '?')
            return caret ? i - at + 1 : 0;
        if (endsTrackSearch(bytes[i]))
            return 0;
        caret = caret || bytes[i] == '^';
    }
    return 0;
}

void overwrite(QByteArray &bytes, qsizetype from, qsizetype length)
{
    for (qsizetype i = from; i < from + length; ++i)
        bytes[i] = '*';
}

} // namespace

bool PassesLuhn(QByteArrayView digits)
{
    if (digits.isEmpty())
        return false;
    int sum = 0;
    bool doubled = false;
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        if (!isDigit(digits[i]))
            return false;
        int d = digits[i] - '0';
        if (doubled) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
        doubled = !doubled;
    }
    return sum % 10 == 0;
}

ScrubCount ScrubCardData(QByteArray &bytes)
{
    ScrubCount count;
    // Tracks first: a track's own digits are then stars and not counted as
    // a second find.
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        qsizetype length = 0;
        if (bytes[i] == ';')
            length = track2Length(bytes, i);
        else if (bytes[i] == '%' && i + 1 < bytes.size() && bytes[i + 1] == 'B')
            length = track1Length(bytes, i);
        if (length > 0) {
            overwrite(bytes, i, length);
            ++count.tracks;
            i += length - 1;
        }
    }
    for (qsizetype i = 0; i < bytes.size();) {
        if (!isDigit(bytes[i])) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < bytes.size() && isDigit(bytes[end]))
            ++end;
        const qsizetype length = end - i;
        if (length >= kMinPanDigits && length <= kMaxPanDigits
            && PassesLuhn(QByteArrayView(bytes).sliced(i, length))) {
            overwrite(bytes, i, length);
            ++count.cardNumbers;
        }
        i = end;
    }
    return count;
}
