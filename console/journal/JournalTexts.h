// The words the "Viimane tehing" window uses for what the journal holds, and
// the texts the console shows around transactions in doubt.
#pragma once

#include "session/TransactionJournal.h"

#include <QString>

namespace JournalTexts {

inline QString caption() { return QStringLiteral("Viimane tehing"); }
inline QString menuItem() { return QStringLiteral("&Viimane tehing..."); }
inline QString checkButton() { return QStringLiteral("Kontrolli serverist"); }
inline QString reprintButton() { return QStringLiteral("Prindi kviitung uuesti"); }
inline QString closeButton() { return QStringLiteral("Sulge"); }
inline QString pickButton() { return QStringLiteral("See tehing õnnestus"); }

// Asked before a card payment or booking while the last one is in doubt.
inline QString secondChargeQuestion()
{
    return QStringLiteral("Eelmise makse tulemus on teadmata. Kas alustada uus makse?");
}
inline QString checkApprovedPrefix() { return QStringLiteral("Tehing õnnestus. Kviitungi number: "); }
inline QString checkNotFound() { return QStringLiteral("Serveri andmetel tehingut ei toimunud."); }
inline QString checkSeveral()
{
    return QStringLiteral("Serveri andmetel sobib mitu tehingut. Valige õige või jätke tehing kontrollimata.");
}
inline QString checkRunning() { return QStringLiteral("Kontrollin serverist..."); }
inline QString checkFailed() { return QStringLiteral("Serverist kontrollimine ebaõnnestus."); }
inline QString noTransactions() { return QStringLiteral("Tehinguid pole veel tehtud."); }

// The copy's first line on a reprinted receipt.
inline constexpr char kCopyMark[] = "*** KOOPIA ***";

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
