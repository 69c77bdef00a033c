// Keys into a widget as the cashier or a card reader sends them, spaced on a
// manual clock, so the console's burst detection tells a swipe from typing.
#pragma once

#include "common/Timing.h"

#include <QChar>
#include <QString>
#include <QTest>
#include <QWidget>

namespace keytyping {

// One key press and release typing c (any Latin-1 character: the key code
// of a Latin-1 letter is its capital's code).
inline void typeChar(QWidget *w, QChar c)
{
    QTest::sendKeyEvent(QTest::Click, w, Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
}

// Types text into w one character every spacingMs on the manual clock, then
// lets 55 ms pass so the burst timer fires.
inline void typeAt(ManualTiming &timing, QWidget *w, const QString &text, int spacingMs)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (i > 0)
            timing.advanceMs(spacingMs);
        typeChar(w, text.at(i));
    }
    timing.advanceMs(55);
}

} // namespace keytyping
