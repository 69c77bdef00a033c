// The console's settings variables. The main window holds them as its public
// variables (Form1 derives from this struct); the settings dialog edits them
// and the session and printing code read them.
#pragma once

#include <QString>

struct ConsoleSettings {
    bool fDoPrint = false;          // DoPrint: print customer receipts
    QString fPOSID = QStringLiteral("00000000");   // POS: sent as field 2, shown in the title
    QString fAddress = QStringLiteral("127.0.0.1"); // KKAddress: payment server host
    qint32 fPort = 8145;            // KKPort: payment server TCP port
    QString fPrinter;               // Printer: receipt printer device name
    bool fRAW = false;              // RAW: raw receipt printing through the spooler
    bool fReportMode = true;        // ReportMode: reports only, no transactions
    qint32 fECRPort = 0;            // ECRPort: till hand-off on 127.0.0.1; 0 off
    bool fECRAutoStart = false;     // ECRAutoStart: a till's request starts at once
};
