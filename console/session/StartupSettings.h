// The console's settings as start-up reads them from the store
// (Config::KeyPath), each with its default and its interpretation.
#pragma once

#include "session/ConsoleSettings.h"

#include <QString>
#include <QtGlobal>

// KKAddress as is; KKPort a TCP port 1..65535, else 8145; Printer as is;
// RAW and ReportMode on only for exactly "1"; DoPrint on unless exactly "0";
// POS as is (an empty value reads as "00000000").
void ReadConsoleSettings(ConsoleSettings &settings);

// The session counter of the last session started, 0..999999. A text that is
// not a number, a negative number or one beyond the counter's range gives 0,
// so the next session is number 1 (as it would be after 999999).
qint32 ReadSessionNumber();

// The port text of the store: a whole number 1..65535, else `fallback`. A
// port outside that range cannot be connected to (a 16-bit port would wrap
// 70000 round to 4464 and reach another service).
qint32 PortFromText(const QString &text, qint32 fallback);
