#include "journal/JournalTexts.h"

namespace JournalTexts {

QString operationName(const QString &op)
{
    if (op == QLatin1String("payment"))
        return QStringLiteral("Kaardimakse");
    if (op == QLatin1String("booking"))
        return QStringLiteral("Broneering");
    if (op == QLatin1String("cancellation"))
        return QStringLiteral("Tühistamine");
    if (op == QLatin1String("tip"))
        return QStringLiteral("Jootraha");
    if (op == QLatin1String("completion"))
        return QStringLiteral("Broneeringu lõpetamine");
    return op;
}

QString outcomeText(const JournalTransaction &t)
{
    if (t.resolved) {
        const QString &how = t.resolved->outcome;
        if (how == QLatin1String("approved"))
            return QStringLiteral("Õnnestus (kontrollitud serverist)");
        if (how == QLatin1String("not found"))
            return QStringLiteral("Ei toimunud (kassapidaja otsus)");
        if (how == QLatin1String("declined"))
            return QStringLiteral("Keeldutud (kontrollitud serverist)");
        if (how == QLatin1String("cashier"))
            return QStringLiteral("Teadmata (kassapidaja jätkas)");
    }
    if (!t.outcome)
        return QStringLiteral("Pooleli");
    const QString &event = t.outcome->event;
    if (event == QLatin1String("approved"))
        return QStringLiteral("Õnnestus");
    if (event == QLatin1String("declined"))
        return t.outcome->text.isEmpty() ? QStringLiteral("Keeldutud")
                                         : QStringLiteral("Keeldutud: ") + t.outcome->text;
    if (t.outcome->why == QLatin1String("conflict"))
        return QStringLiteral("Teadmata (vastuolulised vastused)");
    return QStringLiteral("Teadmata");
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
