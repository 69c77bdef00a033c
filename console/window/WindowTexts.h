// The main window's own texts: captions, messages and the title prefix.
// Estonian is the source language: each text is shown exactly as written
// here, or as its translation in the cashier's language (Language.h).
#pragma once

#include <QCoreApplication>
#include <QString>

namespace WindowTexts {

inline QString titlePrefix() { return QStringLiteral("Tellar - POS:"); }

inline constexpr const char *kTabCaptions[5] = {
    QT_TRANSLATE_NOOP("WindowTexts", "Kaardimakse"), QT_TRANSLATE_NOOP("WindowTexts", "Tühistamine"),
    QT_TRANSLATE_NOOP("WindowTexts", "Jootraha"),    QT_TRANSLATE_NOOP("WindowTexts", "Broneering"),
    QT_TRANSLATE_NOOP("WindowTexts", "Broneeringu lõpetamine")};

// Tabs 1 to 5, in the cashier's language; sourceTabCaption in Estonian.
inline QString tabCaption(int tab)
{
    return tab >= 1 && tab <= 5 ? QCoreApplication::translate("WindowTexts", kTabCaptions[tab - 1]) : QString();
}
inline QString sourceTabCaption(int tab)
{
    return tab >= 1 && tab <= 5 ? QString::fromUtf8(kTabCaptions[tab - 1]) : QString();
}

// Frame captions keep their leading and trailing blank.
inline QString frame1CardPayment() { return QCoreApplication::translate("WindowTexts", " Kaardimakse "); }
inline QString frame1Booking() { return QCoreApplication::translate("WindowTexts", " Broneering "); }
inline QString frame2Caption() { return QCoreApplication::translate("WindowTexts", " Tühistamine "); }
inline QString frame3Caption() { return QCoreApplication::translate("WindowTexts", " Jootraha "); }
inline QString frame5Caption() { return QCoreApplication::translate("WindowTexts", " Broneeringu lõpetamine "); }

inline QString amountLabel() { return QCoreApplication::translate("WindowTexts", "Summa:"); }
inline QString cardLabel() { return QCoreApplication::translate("WindowTexts", "Kaardi nr."); }
inline QString receiptLabel() { return QCoreApplication::translate("WindowTexts", "Kviitungi nr."); }

// Names a screen reader gives the picture and the status line.
inline QString pictureName() { return QCoreApplication::translate("WindowTexts", "Kaarditerminal"); }
inline QString statusLineName() { return QCoreApplication::translate("WindowTexts", "Olekurida"); }

inline QString okCaption() { return QCoreApplication::translate("WindowTexts", "OK"); }
inline QString cancelCaption() { return QCoreApplication::translate("WindowTexts", "Loobu"); }
inline QString reportModeNotice() { return QCoreApplication::translate("WindowTexts", "Terminal pole aktiivne."); }

inline QString menuCaption() { return QCoreApplication::translate("WindowTexts", "&Menüü"); }
inline QString reportItem() { return QCoreApplication::translate("WindowTexts", "&Aruanne..."); }
inline QString posCommandItem() { return QCoreApplication::translate("WindowTexts", "Eri&toimingud..."); }
inline QString settingsItem() { return QCoreApplication::translate("WindowTexts", "&Seaded..."); }
// The language menu names each language in that language, so a cashier
// finds their own whichever is shown.
inline QString languageMenuCaption() { return QCoreApplication::translate("WindowTexts", "&Keel"); }
inline QString estonianItem() { return QStringLiteral("Eesti"); }
inline QString russianItem() { return QStringLiteral("Русский"); }
// The cashier's choice of language could not be written (kind 0, warning).
inline QString languageNotRemembered(const QString &reason)
{
    return QCoreApplication::translate("WindowTexts",
                                       "Keelevalikut ei saa salvestada: järgmisel käivitamisel valitakse keel "
                                       "uuesti arvuti seadete järgi. (%1)")
        .arg(reason);
}
inline QString quitItem() { return QCoreApplication::translate("WindowTexts", "&Lõpeta"); }

// Validation messages (kind 0, style 16).
inline QString invalidAmount() { return QCoreApplication::translate("WindowTexts", "Vigane summa."); }
inline QString invalidReceiptNumber() { return QCoreApplication::translate("WindowTexts", "Vigane kviitungi number."); }

// Above the fields of a request the till handed over: the till's own
// receipt number, when it gave one.
inline QString fromTill(const QString &tillReceipt)
{
    return tillReceipt.isEmpty() ? QCoreApplication::translate("WindowTexts", "Kassast")
                                 : QCoreApplication::translate("WindowTexts", "Kassast: tšekk %1").arg(tillReceipt);
}

} // namespace WindowTexts
