#include "journal/JournalTexts.h"

namespace JournalTexts {

QString operationName(const QString &op)
{
    if (op == QLatin1String("payment"))
        return QCoreApplication::translate("JournalTexts", "Kaardimakse");
    if (op == QLatin1String("booking"))
        return QCoreApplication::translate("JournalTexts", "Broneering");
    if (op == QLatin1String("cancellation"))
        return QCoreApplication::translate("JournalTexts", "Tühistamine");
    if (op == QLatin1String("tip"))
        return QCoreApplication::translate("JournalTexts", "Jootraha");
    if (op == QLatin1String("completion"))
        return QCoreApplication::translate("JournalTexts", "Broneeringu lõpetamine");
    return op;
}

QString outcomeText(const JournalTransaction &t)
{
    if (t.resolved) {
        const QString &how = t.resolved->outcome;
        if (how == QLatin1String("approved"))
            return QCoreApplication::translate("JournalTexts", "Õnnestus (kontrollitud serverist)");
        if (how == QLatin1String("not found"))
            return QCoreApplication::translate("JournalTexts", "Ei toimunud (kassapidaja otsus)");
        if (how == QLatin1String("declined"))
            return QCoreApplication::translate("JournalTexts", "Keeldutud (kontrollitud serverist)");
        if (how == QLatin1String("cashier"))
            return QCoreApplication::translate("JournalTexts", "Teadmata (kassapidaja jätkas)");
    }
    if (!t.outcome)
        return QCoreApplication::translate("JournalTexts", "Pooleli");
    const QString &event = t.outcome->event;
    if (event == QLatin1String("approved"))
        return QCoreApplication::translate("JournalTexts", "Õnnestus");
    if (event == QLatin1String("declined"))
        return t.outcome->text.isEmpty() ? QCoreApplication::translate("JournalTexts", "Keeldutud")
                                         : QCoreApplication::translate("JournalTexts", "Keeldutud: %1").arg(t.outcome->text);
    if (t.outcome->why == QLatin1String("conflict"))
        return QCoreApplication::translate("JournalTexts", "Teadmata (vastuolulised vastused)");
    return QCoreApplication::translate("JournalTexts", "Teadmata");
}

QString stanText(const JournalTransaction &t)
{
    if (t.resolved && t.resolved->stan)
        return QString::number(*t.resolved->stan);
    if (t.outcome && t.outcome->stan)
        return QString::number(*t.outcome->stan);
    return {};
}

QString amountShown(const QString &amountText)
{
    QString shown = amountText;
    return shown.replace(u'.', u',');
}

QString timeShown(const QDateTime &time)
{
    return time.isValid() ? time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) : QString();
}

} // namespace JournalTexts
