// What the session tells the cashier (boxes, the status line and bar), in
// the cashier's language, and the log texts of its own events, which are
// never translated. The server's texts are shown as sent and are not here.
#pragma once

#include "common/BoxStyle.h"

#include <QCoreApplication>
#include <QString>

#include <functional>
#include <utility>

// A text shown to the cashier that can be said again in another language:
// the console's own words (a function of the translation installed), or a
// fixed text (a server's, shown as sent, or none).
class ShownText {
public:
    ShownText() = default;
    ShownText(QString fixed) : m_fixed(std::move(fixed)) {}
    ShownText(std::function<QString()> words) : m_words(std::move(words)) {}

    QString text() const { return m_words ? m_words() : m_fixed; }
    bool isEmpty() const { return !m_words && m_fixed.isEmpty(); }
    // True when text() follows the language installed.
    bool followsLanguage() const { return bool(m_words); }
    void clear() { *this = ShownText(); }

private:
    QString m_fixed;
    std::function<QString()> m_words;
};

namespace SessionText {

// The session's failure box: kind 0, error icon, "OK".
inline constexpr qint32 kFailureStyle = BoxStyle::ErrorOk;
inline QString timeout() { return QCoreApplication::translate("SessionText", "Ühendus maksesüsteemiga katkes. (Timeout)"); }
inline QString socketClosed()
{
    return QCoreApplication::translate("SessionText", "Ühendus maksesüsteemiga katkes. (Socket closed)");
}
inline QString writeOnClosed()
{
    return QCoreApplication::translate("SessionText", "Ühendus maksesüsteemiga katkes. (Attempt to write on closed socket)");
}
// The socket's error number, " - " and its description go in the brackets.
inline QString connectFailed(const QString &detail)
{
    return QCoreApplication::translate("SessionText", "Ei saa ühendust maksesüsteemiga. (%1)").arg(detail);
}
inline QString connectionLost(const QString &detail)
{
    return QCoreApplication::translate("SessionText", "Ühendus maksesüsteemiga katkes. (%1)").arg(detail);
}

// The status line after an approval (with the STAN) and after a special
// command the server took.
inline QString approved(qint32 stan)
{
    return QCoreApplication::translate("SessionText", "Toiming on teostatud. Kviitungi number: %1").arg(stan);
}
inline QString posCommandTaken() { return QCoreApplication::translate("SessionText", "Toiming täitmiseks võetud."); }
inline ShownText approvedWords(qint32 stan)
{
    return ShownText(std::function<QString()>([stan] { return approved(stan); }));
}
inline ShownText posCommandTakenWords() { return ShownText(std::function<QString()>(&posCommandTaken)); }

// The status bar while a session runs: "Session: " and the six-digit number.
inline QString statusBar(const QString &sessionNumber)
{
    return QCoreApplication::translate("SessionText", "Session: %1").arg(sessionNumber);
}
inline ShownText statusBarWords(const QString &sessionNumber)
{
    return ShownText(std::function<QString()>([sessionNumber] { return statusBar(sessionNumber); }));
}

// The second box of a session that ended after its request went out with
// neither an approval nor a decline, or with two that contradict each other.
inline QString outcomeUnknown()
{
    return QCoreApplication::translate(
        "SessionText",
        "Tehingu tulemus on teadmata. Enne uut katset kontrollige, kas tehing õnnestus (Menüü > Viimane tehing).");
}
inline constexpr qint32 kOutcomeUnknownStyle = BoxStyle::WarningOk;

// Told once per run when the journal cannot be written, with the reason.
inline QString journalUnwritable(const QString &reason)
{
    return QCoreApplication::translate(
               "SessionText",
               "Tehingupäevikusse ei saa kirjutada: teadmata tulemusega makseid ei jälgita. (%1)")
        .arg(reason);
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
