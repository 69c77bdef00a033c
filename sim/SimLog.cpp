#include "SimLog.h"

#include <cstdio>

namespace Sim {

SimLog::SimLog()
{
    m_clock.start();
}

void SimLog::line(const QString &text)
{
    // Integer arithmetic: QCoreApplication adopts the user's locale, and a
    // decimal comma must not sneak into the log.
    const long long ms = m_clock.elapsed();
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "[%4lld.%03lld] ", ms / 1000, ms % 1000);
    const QByteArray utf8 = text.toUtf8();
    std::fputs(stamp, stdout);
    std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    if (m_tap)
        m_tap(QString::fromLatin1(stamp) + text);
}

void SimLog::line(int connection, const QString &text)
{
    line(u'#' + QString::number(connection) + u' ' + text);
}

} // namespace Sim
