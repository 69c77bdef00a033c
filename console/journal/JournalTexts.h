// The words the "Viimane tehing" window uses for what the journal holds, and
// the texts the console shows around transactions in doubt, in the cashier's
// language. The journal itself keeps its own words ("approved", "payment").
#pragma once

#include "common/BoxStyle.h"
#include "session/TransactionJournal.h"

#include <QCoreApplication>
#include <QString>
#include <QTime>

namespace JournalTexts {

inline QString caption() { return QCoreApplication::translate("JournalTexts", "Viimane tehing"); }
inline QString menuItem() { return QCoreApplication::translate("JournalTexts", "&Viimane tehing..."); }
inline QString checkButton() { return QCoreApplication::translate("JournalTexts", "Kontrolli serverist"); }
inline QString reprintButton() { return QCoreApplication::translate("JournalTexts", "Prindi kviitung uuesti"); }
// The button names the receipt it prints.
inline QString reprintButton(qint64 receiptNumber)
{
    return QCoreApplication::translate("JournalTexts", "Prindi kviitung uuesti (kviitung %1)").arg(receiptNumber);
}
inline QString markNotFoundButton() { return QCoreApplication::translate("JournalTexts", "Märgi mittetoimunuks"); }
inline QString closeButton() { return QCoreApplication::translate("JournalTexts", "Sulge"); }
inline QString pickButton() { return QCoreApplication::translate("JournalTexts", "See tehing õnnestus"); }

// Asked before a card payment or booking while the last one is in doubt.
inline QString secondChargeQuestion()
{
    return QCoreApplication::translate("JournalTexts", "Eelmise makse tulemus on teadmata. Kas alustada uus makse?");
}
inline QString checkApproved(qint64 stan)
{
    return QCoreApplication::translate("JournalTexts", "Tehing õnnestus. Kviitungi number: %1").arg(stan);
}
// No record answers for the transaction: the cashier decides, not the check.
inline QString checkNotFound(const QTime &checkedAt)
{
    return QCoreApplication::translate("JournalTexts",
                                       "Serveri aruandes seda tehingut ei ole (kontrollitud %1). Kui olete kindel, et "
                                       "klient ei maksnud, märkige tehing mittetoimunuks.")
        .arg(checkedAt.toString(QStringLiteral("HH:mm")));
}
inline QString markedNotFound() { return QCoreApplication::translate("JournalTexts", "Tehing on märgitud mittetoimunuks."); }
inline QString checkSeveral()
{
    return QCoreApplication::translate("JournalTexts", "Serveri andmetel sobib mitu tehingut. Valige õige või jätke tehing kontrollimata.");
}
inline QString checkRunning() { return QCoreApplication::translate("JournalTexts", "Kontrollin serverist..."); }
inline QString checkFailed() { return QCoreApplication::translate("JournalTexts", "Serverist kontrollimine ebaõnnestus."); }
inline QString noTransactions() { return QCoreApplication::translate("JournalTexts", "Tehinguid pole veel tehtud."); }

// A second console on the same till's store.
inline QString alreadyRunning() { return QCoreApplication::translate("JournalTexts", "Tellar töötab selles kassas juba."); }
inline constexpr qint32 kAlreadyRunningStyle = BoxStyle::ErrorOk;
// The last run ended without closing, and the till's last transaction was approved.
inline QString crashAfterApproval(qint64 stan)
{
    return QCoreApplication::translate("JournalTexts", "Programm lõpetas eelmisel korral ootamatult töö. Viimane "
                                                       "tehing õnnestus. Kviitungi number: %1")
        .arg(stan);
}
inline constexpr qint32 kCrashNoticeStyle = BoxStyle::InformationOk;

// "payment" -> "Kaardimakse", as the tabs name them.
QString operationName(const QString &op);
// What became of the transaction, in words: "Õnnestus", "Keeldutud: <text>",
// "Teadmata", "Pooleli", and how a doubt was settled.
QString outcomeText(const JournalTransaction &t);
// The STAN the journal knows for the transaction, as text; empty when none.
QString stanText(const JournalTransaction &t);
// "12.50" -> "12,50" as the cashier types amounts; empty stays empty.
QString amountShown(const QString &amountText);
// dd.MM.yyyy HH:mm:ss, the wall time written in the journal.
QString timeShown(const QDateTime &time);

} // namespace JournalTexts
