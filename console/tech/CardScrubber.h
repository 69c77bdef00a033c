// Card data out of text that leaves the till (the support bundle): every
// card number and every magnetic-stripe track is overwritten in place by as
// many '*' as it has bytes, so offsets, line lengths and everything around
// it stay as they were.
//
// Input is bytes (log.txt, the error log, the store file are code page
// text; nothing is decoded). Two shapes are taken out:
//
//   card number  a run of 13 to 19 ASCII digits, with no digit directly
//                before or after it, whose Luhn check digit is right.
//                Digit runs that fail the check (most STANs, amounts,
//                stamps and counters of that length) and runs of any other
//                length stay.
//   track        track 2: ';' 1..19 digits '=' then anything but '?', CR, LF
//                up to the end sentinel '?', 40 bytes at most;
//                track 1: "%B" then anything but '?', CR, LF, holding a '^',
//                up to the end sentinel '?', 79 bytes at most.
//                Sentinels included, the whole track is overwritten. The
//                lengths are those of ISO/IEC 7813 tracks, so a line of
//                log text that happens to hold the marks far apart stays.
// A track without its end sentinel is not a track here; its card number is
// still a Luhn-valid digit run and goes as such.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

struct ScrubCount {
    int cardNumbers = 0;   // digit runs overwritten
    int tracks = 0;        // tracks overwritten (their digits not counted again)
    int total() const { return cardNumbers + tracks; }
};

// True when the digits (ASCII '0'..'9' only, any length >= 1) pass the Luhn
// check: doubling every second digit from the right, the sum is a multiple
// of 10. Anything that is not a digit gives false.
bool PassesLuhn(QByteArrayView digits);

// Overwrites the card data in `bytes` in place; returns what it found.
ScrubCount ScrubCardData(QByteArray &bytes);
