// The main window's own texts: captions, messages and the title prefix. The
// cashier reads Estonian; every text is shown exactly as written here.
#pragma once

#include <QString>

namespace WindowTexts {

inline QString titlePrefix() { return QStringLiteral("Tellar - POS:"); }

inline QString tabCaption(int tab)
{
    switch (tab) {
    case 1: return QStringLiteral("Kaardimakse");
    case 2: return QStringLiteral("Tühistamine");
    case 3: return QStringLiteral("Jootraha");
    case 4: return QStringLiteral("Broneering");
    case 5: return QStringLiteral("Broneeringu lõpetamine");
    default: return QString();
    }
}

// Frame captions keep their leading and trailing blank.
inline QString frame1CardPayment() { return QStringLiteral(" Kaardimakse "); }
inline QString frame1Booking() { return QStringLiteral(" Broneering "); }
inline QString frame2Caption() { return QStringLiteral(" Tühistamine "); }
inline QString frame3Caption() { return QStringLiteral(" Jootraha "); }
inline QString frame5Caption() { return QStringLiteral(" Broneeringu lõpetamine "); }

inline QString amountLabel() { return QStringLiteral("Summa:"); }
inline QString cardLabel() { return QStringLiteral("Kaardi nr."); }
inline QString receiptLabel() { return QStringLiteral("Kviitungi nr."); }

// Names a screen reader gives the picture and the status line.
inline QString pictureName() { return QStringLiteral("Kaarditerminal"); }
inline QString statusLineName() { return QStringLiteral("Olekurida"); }

inline QString okCaption() { return QStringLiteral("OK"); }
inline QString cancelCaption() { return QStringLiteral("Loobu"); }
inline QString reportModeNotice() { return QStringLiteral("Terminal pole aktiivne."); }

inline QString menuCaption() { return QStringLiteral("&Menüü"); }
inline QString reportItem() { return QStringLiteral("&Aruanne..."); }
inline QString posCommandItem() { return QStringLiteral("Eri&toimingud..."); }
inline QString settingsItem() { return QStringLiteral("&Seaded..."); }
inline QString quitItem() { return QStringLiteral("&Lõpeta"); }

// Validation messages (kind 0, style 16).
inline QString invalidAmount() { return QStringLiteral("Vigane summa."); }
inline QString invalidReceiptNumber() { return QStringLiteral("Vigane kviitungi number."); }

// Above the fields of a request the till handed over: the till's own
// receipt number, when it gave one.
inline QString fromTill(const QString &tillReceipt)
{
    return tillReceipt.isEmpty() ? QStringLiteral("Kassast") : QStringLiteral("Kassast: tšekk ") + tillReceipt;
}

} // namespace WindowTexts
