// The error log: one line appended per internal failure of the settings
// store, never shown to the cashier and never read back by the console.
//
// File: AppPaths::errorLogPath(), that is "<program>.err" in the program
// folder ("Tellar.err"). Each entry is code page bytes (CodePage::console())
// ended by CR LF:
//
//   "<" machine ">" TAB procedure " , " date-in-words " kell " hh:mm:ss TAB
//   "(" number " - " message ") " CR LF
//
// for example
//   <KASSA1>\tPutRegString , 06. detsember 2026 kell 15:30:00\t(321 - RegSetValueEx andis vea 5, key=POS, vaart=1) \r\n
//
// A message holding a line break is written as it is (the entry then spans
// two lines). Writing never fails towards the caller: when the file cannot be
// opened or written, the entry is lost silently. Each call opens, appends
// with one write and closes, so entries of two processes never interleave.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

class Clock;

// Appends one entry. An empty fileName selects AppPaths::errorLogPath();
// every console caller passes it empty.
void LogError(qint32 errorNumber, const QString &message, const QString &procedure,
              const QString &fileName = QString());

// The host name (gethostname); " <> " when the system gives an empty name or
// one longer than 2048 characters.
QString GetMachineName();

// The bytes of one entry, CR LF included, as LogError writes them.
QByteArray FormatErrorEntry(const QString &machineName, const QString &procedure,
                            const QDateTime &when, qint32 errorNumber, const QString &message);

// The clock whose now() stamps the entries; Clock::system() unless a test
// sets another. The clock must outlive its use; pass nullptr to go back to
// the system clock.
void SetErrorLogClock(const Clock *clock);
