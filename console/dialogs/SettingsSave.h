// What the settings dialog's "OK" does with the values on screen: it sets the
// main window's settings variables and writes them to the store, in this
// order: POS, DoPrint, Printer, KKAddress, KKPort, RAW, ReportMode.
#pragma once

#include "session/ConsoleSettings.h"

#include <QLocale>
#include <QString>

struct SettingsDialogValues {
    QString posId;        // "Kassa:"
    QString address;      // "Aadress:"
    QString portText;     // "Port:"
    QString printer;      // "Printer:" list text
    bool receipt = false; // "Kviitung"
    bool raw = false;     // "RAW printer"
    bool reportMode = false; // "Aruanne reziim"
};

// The port the dialog's text gives: when the text is numeric (the general
// numeric test with the locale's decimal separator) and its value, rounded
// half to even, is a TCP port 1..65535, that port; otherwise oldPort, and no
// message. "80a", "70000", "0" and "1e999" keep the old port.
qint32 PortFromDialogText(const QString &text, qint32 oldPort,
                          const QLocale &locale = QLocale::system());

// Steps 1 to 3 of "OK": settings variables, then the store writes.
void SaveSettings(ConsoleSettings &settings, const SettingsDialogValues &values,
                  const QLocale &locale = QLocale::system());
