// What the session tells the cashier (boxes and the status line) and the
// log texts of its own events. The server's texts are shown as sent and are
// not here.
#pragma once

#include "common/BoxStyle.h"

#include <QString>

namespace SessionText {

// The session's failure box: kind 0, error icon, "OK".
inline constexpr qint32 kFailureStyle = BoxStyle::ErrorOk;
inline const QString kTimeout = QStringLiteral("Ühendus maksesüsteemiga katkes. (Timeout)");
inline const QString kSocketClosed = QStringLiteral("Ühendus maksesüsteemiga katkes. (Socket closed)");
inline const QString kWriteOnClosed =
    QStringLiteral("Ühendus maksesüsteemiga katkes. (Attempt to write on closed socket)");
// Followed by the socket's error number, " - ", its description and ")".
inline const QString kConnectFailedPrefix = QStringLiteral("Ei saa ühendust maksesüsteemiga. (");
inline const QString kConnectionLostPrefix = QStringLiteral("Ühendus maksesüsteemiga katkes. (");

// The status line after an approval (with the STAN) and after a special
// command the server took.
inline const QString kApprovedPrefix = QStringLiteral("Toiming on teostatud. Kviitungi number: ");
inline const QString kPosCommandTaken = QStringLiteral("Toiming täitmiseks võetud.");

// The second box of a session that ended after its request went out with
// neither an approval nor a decline, or with two that contradict each other.
inline const QString kOutcomeUnknown = QStringLiteral(
    "Tehingu tulemus on teadmata. Enne uut katset kontrollige, kas tehing õnnestus (Menüü > Viimane tehing).");
inline constexpr qint32 kOutcomeUnknownStyle = BoxStyle::WarningOk;

// Told once per run when the journal cannot be written, with the reason.
inline QString journalUnwritable(const QString &reason)
{
    return QStringLiteral("Tehingupäevikusse ei saa kirjutada: teadmata tulemusega makseid ei jälgita. (") + reason
         + u')';
}
inline constexpr qint32 kJournalUnwritableStyle = BoxStyle::WarningOk;

// Log texts.
// A report answer that comes when no report was asked for.
inline constexpr char kReportDataIgnored[] = "Report data ignored: no report was requested.";
inline constexpr char kLateOutcomeIgnored[] = "Outcome ignored: the session has its outcome already. Code=";
// A second outcome that says the opposite of the first.
inline constexpr char kConflictingOutcome[] = "Conflicting outcome: the transaction is in doubt. Code=";
inline constexpr char kCommandResponseIgnored[] = "Command response ignored: no special command was sent.";
inline constexpr char kKeepAliveWhileClosing[] = "KeepAlive. (closing: the time-out stands)";

} // namespace SessionText
