// The words the "Viimane tehing" window uses for what the journal holds, and
// the texts the console shows around transactions in doubt.
#pragma once

#include "common/BoxStyle.h"
#include "session/TransactionJournal.h"

#include <QString>
#include <QTime>

namespace JournalTexts {

inline QString caption() { return QStringLiteral("Viimane tehing"); }
inline QString menuItem() { return QStringLiteral("&Viimane tehing..."); }
inline QString checkButton() { return QStringLiteral("Kontrolli serverist"); }
inline QString reprintButton() { return QStringLiteral("Prindi kviitung uuesti"); }
// The button names the receipt it prints.
inline QString reprintButton(qint64 receiptNumber)
{
    return reprintButton() + QStringLiteral(" (kviitung ") + QString::number(receiptNumber) + u')';
}
inline QString markNotFoundButton() { return QStringLiteral("Märgi mittetoimunuks"); }
inline QString closeButton() { return QStringLiteral("Sulge"); }
inline QString pickButton() { return QStringLiteral("See tehing õnnestus"); }

// Asked before a card payment or booking while the last one is in doubt.
inline QString secondChargeQuestion()
{
    return QStringLiteral("Eelmise makse tulemus on teadmata. Kas alustada uus makse?");
}
inline QString checkApprovedPrefix() { return QStringLiteral("Tehing õnnestus. Kviitungi number: "); }
// No record answers for the transaction: the cashier decides, not the check.
inline QString checkNotFound(const QTime &checkedAt)
{
    return QStringLiteral("Serveri aruandes seda tehingut ei ole (kontrollitud ") + checkedAt.toString(QStringLiteral("HH:mm"))
         + QStringLiteral("). Kui olete kindel, et klient ei maksnud, märkige tehing mittetoimunuks.");
}
inline QString markedNotFound() { return QStringLiteral("Tehing on märgitud mittetoimunuks."); }
inline QString checkSeveral()
{
    return QStringLiteral("Serveri andmetel sobib mitu tehingut. Valige õige või jätke tehing kontrollimata.");
}
inline QString checkRunning() { return QStringLiteral("Kontrollin serverist..."); }
inline QString checkFailed() { return QStringLiteral("Serverist kontrollimine ebaõnnestus."); }
inline QString noTransactions() { return QStringLiteral("Tehinguid pole veel tehtud."); }

// A second console on the same till's store.
inline QString alreadyRunning() { return QStringLiteral("Tellar töötab selles kassas juba."); }
inline constexpr qint32 kAlreadyRunningStyle = BoxStyle::ErrorOk;
// The last run ended without closing, and the till's last transaction was approved.
inline QString crashAfterApproval(qint64 stan)
{
    return QStringLiteral("Programm lõpetas eelmisel korral ootamatult töö. Viimane tehing õnnestus. Kviitungi number: ")
         + QString::number(stan);
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
