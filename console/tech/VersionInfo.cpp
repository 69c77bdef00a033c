#include "tech/VersionInfo.h"

#include <QByteArray>
#include <QtGlobal>

#include <cups/cups.h>

#ifndef TELLAR_VERSION
#error "TELLAR_VERSION must be defined by the build"
#endif

QString TellarVersion()
{
    return QStringLiteral(TELLAR_VERSION);
}

QString RuntimeQtVersion()
{
    return QString::fromLatin1(qVersion());
}

QString RuntimeCupsVersion()
{
    // libcups writes its own CUPS_SVERSION into the default User-Agent.
    const QByteArray agent(cupsUserAgent());
    if (agent.startsWith("CUPS/")) {
        const qsizetype end = agent.indexOf(' ');
        const QByteArray version = agent.mid(5, end < 0 ? -1 : end - 5);
        if (!version.isEmpty())
            return QString::fromLatin1(version);
    }
    return QStringLiteral("%1.%2.%3 (built against)")
        .arg(CUPS_VERSION_MAJOR)
        .arg(CUPS_VERSION_MINOR)
        .arg(CUPS_VERSION_PATCH);
}

QString VersionText()
{
    return QStringLiteral("Tellar ") + TellarVersion() + QStringLiteral("\nQt ") + RuntimeQtVersion()
           + QStringLiteral("\nlibcups ") + RuntimeCupsVersion() + u'\n';
}
