// The site check (`Tellar --check`): what a technician needs to know about a
// till before the cashier meets it, without a display. Each check gives one
// line (Seaded one per finding)
//
//   STATUS TAB check TAB detail
//
// where STATUS is "OK", "HOIATUS" (works, but not as it should) or "VIGA"
// (the console will fail at this). The texts are Estonian like the rest of
// the console; paths, names and system messages appear as they are.
//
// Checks, in this order:
//   Seadete hoidla       the store folder and its file: readable, writable,
//                        not corrupt (nothing is written to find out);
//   Seaded               a warning for every stored value the console cannot
//                        use (ConfigValues.h), saying what it uses instead,
//                        and for every stored name the console does not read;
//                        one OK line when there is none;
//   Programmi kaust      log.txt, the error log and Report.pdf can be written;
//   Makseserver          KKAddress:KKPort accepts a TCP connection within the
//                        time-out; the connection is closed at once, nothing
//                        is sent;
//   Kassaliides          the till hand-off listener: off without ECRPort,
//                        else 127.0.0.1:ECRPort can be listened on (bound for
//                        a moment and let go); taken or forbidden warns;
//   Kviitungiprinter     with DoPrint on: the Printer queue exists in CUPS
//                        under exactly that name, accepts jobs, is not
//                        stopped; RAW on a queue that is not raw warns;
//   PDF-i avaja          TELLAR_PDF_OPENER's program, else the desktop's
//                        handler for application/pdf (xdg-mime); none warns;
//   Klaviatuuripaigutus  the layout card tracks are corrected for; no display
//                        to ask and no TELLAR_KEYBOARD_LAYOUT warns;
//   Koodileht            the code page of wire, logs and store.
//
// The settings are read from the store directly, without the console's
// fall-back reads: a check never writes the error log.
#pragma once

#include "session/ConsoleSettings.h"

#include <QList>
#include <QString>

struct CheckResult {
    enum Status { Ok, Warning, Error };
    Status status = Ok;
    QString name;
    QString detail;
};

struct SiteCheckOptions {
    QString programDir;
    QString registryDir;
    QString programName = QStringLiteral("Tellar");
    int connectTimeoutMs = 5000;
};

// "OK", "HOIATUS", "VIGA".
QString StatusWord(CheckResult::Status status);
// STATUS TAB name TAB detail, no line end.
QString FormatCheckLine(const CheckResult &result);

QList<CheckResult> RunSiteCheck(const SiteCheckOptions &options);
// True when no result is an Error.
bool SiteCheckPassed(const QList<CheckResult> &results);

// The single checks.
CheckResult CheckStore(const QString &registryDir);
QList<CheckResult> CheckStoredSettings(const QString &registryDir);
CheckResult CheckProgramFolder(const QString &programDir, const QString &programName);
CheckResult CheckPaymentServer(const QString &address, qint32 port, int timeoutMs);
CheckResult CheckTillListener(const QString &registryDir);
CheckResult CheckReceiptPrinter(const ConsoleSettings &settings);
CheckResult CheckPdfOpener();
CheckResult CheckKeyboardLayout();
CheckResult CheckCodePage();

// The settings as the console reads them at start-up, from the store in
// registryDir; values that cannot be read take their defaults.
ConsoleSettings ReadSettingsForCheck(const QString &registryDir);
