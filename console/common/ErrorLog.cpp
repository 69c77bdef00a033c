#include "common/ErrorLog.h"

#include "common/FileAppend.h"

#include "common/AppPaths.h"
#include "common/Clock.h"
#include "common/CodePage.h"
#include "common/Helpers.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<const Clock *> g_clock{nullptr};

const Clock &entryClock()
{
    const Clock *c = g_clock.load();
    return c ? *c : Clock::system();
}

} // namespace

void SetErrorLogClock(const Clock *clock)
{
    g_clock.store(clock);
}

QString GetMachineName()
{
    // One byte more than the longest name accepted, so an over-long name is
    // seen as such instead of silently cut.
    constexpr int kMaxName = 2048;
    char buffer[kMaxName + 2] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0)
        return QStringLiteral(" <> ");
    const QByteArray name(buffer);
    if (name.isEmpty() || name.size() > kMaxName)
        return QStringLiteral(" <> ");
    return CodePage::console().decode(name);
}

QByteArray FormatErrorEntry(const QString &machineName, const QString &procedure,
                            const QDateTime &when, qint32 errorNumber, const QString &message)
{
    const QString entry = u'<' + machineName + u'>' + u'\t' + procedure + QStringLiteral(" , ")
        + FormatDateWords(when.date()) + QStringLiteral(" kell ")
        + when.time().toString(QStringLiteral("HH:mm:ss")) + u'\t' + u'('
        + QString::number(errorNumber) + QStringLiteral(" - ") + message + QStringLiteral(") ");
    return CodePage::console().encode(entry) + QByteArrayLiteral("\r\n");
}

void LogError(qint32 errorNumber, const QString &message, const QString &procedure,
              const QString &fileName)
{
    const QString path = fileName.isEmpty() ? AppPaths::errorLogPath() : fileName;
    const QByteArray entry =
        FormatErrorEntry(GetMachineName(), procedure, entryClock().now(), errorNumber, message);

    // One write(2) on an O_APPEND descriptor: entries of two processes land
    // whole, one after the other. Every failure is swallowed: the log is
    // never a reason for an operation to fail.
    FileAppend::append(path, entry, 0644);
}
