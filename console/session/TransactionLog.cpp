#include "session/TransactionLog.h"

#include "common/FileAppend.h"

#include "common/Clock.h"

#include <QFile>

#include <cstdio>

TransactionLog::TransactionLog(QString path, const Clock *clock)
    : m_path(std::move(path)), m_clock(clock ? clock : &Clock::system())
{
}

QByteArray TransactionLog::stampText(const QDateTime &time)
{
    const QDate date = time.date();
    const QTime clock = time.time();
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", date.day(), date.month(),
                  date.year(), clock.hour(), clock.minute(), clock.second());
    return QByteArray(text);
}

QByteArray TransactionLog::stamp() const
{
    return stampText(m_clock->now());
}

QByteArray TransactionLog::escapeServerText(QByteArrayView text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        const uchar b = uchar(c);
        switch (b) {
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        default:
            if (b < 0x20) {
                out += "\\x";
                out += kHex[b >> 4];
                out += kHex[b & 0x0F];
            } else {
                out += c;
            }
        }
    }
    return out;
}

void TransactionLog::logOutgoing(const QByteArray &text)
{
    QByteArray line;
    line.reserve(text.size() + 32);
    line += '"';
    line += stamp();
    line += " OUT:";
    line += text;
    line += "\"\r\n";
    // Nothing to do about an unwritable log here: the message is still sent.
    AppendToFile(m_path, line);
}

void TransactionLog::logEvent(const QByteArray &text)
{
    AppendToFile(m_path, stamp() + ' ' + text);
}

int TransactionLog::AppendToFile(const QString &path, const QByteArray &data, QString *errorText)
{
    // Readable and writable by the till's group, as a file Qt creates (the
    // umask decides): every cashier's console of the till writes to it.
    return FileAppend::append(path, data, 0666, errorText);
}
