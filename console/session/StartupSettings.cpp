#include "session/StartupSettings.h"

#include "common/Config.h"
#include "common/ConfigValues.h"
#include "common/Helpers.h"

#include <limits>

namespace {

constexpr qint32 kMaxSessionNumber = 999999;
constexpr qint32 kMinPort = 1;
constexpr qint32 kMaxPort = 65535;

QString read(QLatin1String name, QLatin1String defaultValue)
{
    return GetConfigString(Config::KeyPath, name, defaultValue);
}

} // namespace

qint32 PortFromText(const QString &text, qint32 fallback)
{
    return ParseBoundedLong(text, kMinPort, kMaxPort, fallback);
}

void ReadConsoleSettings(ConsoleSettings &settings)
{
    settings.fAddress = read(Config::KKAddress, Config::KKAddressDefault);
    settings.fPort = PortFromText(read(Config::KKPort, Config::KKPortDefault),
                                  QString(Config::KKPortDefault).toInt());
    settings.fPrinter = read(Config::Printer, Config::PrinterDefault);
    settings.fRAW = read(Config::RAW, Config::RAWDefault) == u"1";
    settings.fReportMode = read(Config::ReportMode, Config::ReportModeDefault) == u"1";
    settings.fDoPrint = read(Config::DoPrint, Config::DoPrintDefault) != u"0";
    settings.fPOSID = read(Config::POS, Config::POSDefault);
    // Anything but a port of its own is "off": a till that cannot be heard is
    // safer than a listener on a port nobody chose, or on the server's.
    settings.fECRPort = ConfigValues::tillListenerPort(read(Config::ECRPort, Config::ECRPortDefault), settings.fPort);
    settings.fECRAutoStart = ConfigValues::tillAutoStart(read(Config::ECRAutoStart, Config::ECRAutoStartDefault));
}

qint32 ReadSessionNumber()
{
    // Every number outside 0..999999 leads to session 1 next, exactly as 0
    // does, and reading it as 0 keeps the increment from overflowing.
    return ParseBoundedLong(read(Config::Session, Config::SessionDefault), 0, kMaxSessionNumber, 0);
}
