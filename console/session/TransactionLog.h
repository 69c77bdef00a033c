// TransactionLog: "log.txt", the record of the console's conversation with the
// payment server. Never truncated, rotated or read back by the console.
//
// Two kinds of entry, both appended as raw bytes (texts already in the
// console code page, outgoing frames byte for byte, control bytes included;
// the server's texts inside event entries escaped, see escapeServerText):
//
//   outgoing  '"' STAMP " OUT:" TEXT '"' CR LF      one per message sent
//   event     STAMP " " TEXT                        no quotes, no terminator
//
// so event entries run on in one line until the next outgoing entry ends it.
// STAMP is the local date and time. The platform's short date and long time
// would follow the regional settings; the console writes one fixed,
// locale-independent form instead, "dd.MM.yyyy HH:mm:ss", so the file reads
// the same on every machine.
//
// Each entry opens the file (creating it when absent), appends and closes it;
// no handle is kept between entries.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

class Clock;

class TransactionLog {
public:
    // clock must outlive the log; nullptr means Clock::system().
    explicit TransactionLog(QString path, const Clock *clock = nullptr);

    const QString &path() const { return m_path; }
    void setClock(const Clock &clock) { m_clock = &clock; }

    // The entries above. Both ignore a file that cannot be written: a log
    // failure never stops the session.
    void logOutgoing(const QByteArray &text);
    void logEvent(const QByteArray &text);

    // Text that came from the server, as it goes into an entry: every byte
    // below 0x20, '"' and '\' written as an escape (\r, \n, \t, \", \\, and
    // \xHH with two capital hex digits for the others), every other byte as
    // it is. A server text can then neither end an entry (CR LF, '"') nor
    // look like the escape of a byte it does not hold.
    static QByteArray escapeServerText(QByteArrayView text);

    // "dd.MM.yyyy HH:mm:ss", ASCII digits whatever the locale.
    static QByteArray stampText(const QDateTime &time);

    // Appends data at the end of the file at path (created when absent).
    // Empty data does nothing and returns 0. Otherwise returns 0, or a
    // non-zero error number with its description in *errorText (when given).
    static int AppendToFile(const QString &path, const QByteArray &data, QString *errorText = nullptr);

private:
    QByteArray stamp() const;

    QString m_path;
    const Clock *m_clock;
};
