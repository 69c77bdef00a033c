#include "dialogs/SettingsSave.h"

#include "common/Config.h"
#include "common/LocaleNumber.h"

#include <cmath>

namespace {

constexpr double kMinPort = 1;
constexpr double kMaxPort = 65535;

void put(QLatin1String name, const QString &value)
{
    PutConfigString(Config::KeyPath, name, value);
}

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

qint32 PortFromDialogText(const QString &text, qint32 oldPort, const QLocale &locale)
{
    if (!IsLocaleNumeric(text, locale))
        return oldPort;
    const double value = std::nearbyint(LocaleNumericValue(text, locale));  // halves to even
    if (!(value >= kMinPort && value <= kMaxPort))
        return oldPort;
    return qint32(value);
}

void SaveSettings(ConsoleSettings &settings, const SettingsDialogValues &values, const QLocale &locale)
{
    settings.fPOSID = values.posId;
    settings.fAddress = values.address;
    settings.fPrinter = values.printer;
    settings.fDoPrint = values.receipt;
    settings.fReportMode = values.reportMode;
    settings.fPort = PortFromDialogText(values.portText, settings.fPort, locale);

    put(Config::POS, settings.fPOSID);
    put(Config::DoPrint, flag(settings.fDoPrint));
    settings.fRAW = values.raw;
    put(Config::Printer, settings.fPrinter);
    put(Config::KKAddress, settings.fAddress);
    put(Config::KKPort, QString::number(settings.fPort));
    put(Config::RAW, flag(values.raw));
    put(Config::ReportMode, flag(values.reportMode));
}
