#include "common/ConfigValues.h"

#include "common/Config.h"
#include "common/Helpers.h"

namespace ConfigValues {

namespace {

constexpr qint32 kMaxPort = 65535;
constexpr qint32 kMaxSession = 999999;

// Only ASCII digits, at least one, and a value within [min, max]. No sign,
// blanks, fraction or exponent: what a technician types is what is meant.
bool digitsWithin(QStringView text, qint32 min, qint32 max)
{
    if (text.isEmpty() || text.size() > 9)  // nine digits cannot overflow
        return false;
    qint32 v = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c.unicode() - u'0');
    }
    return v >= min && v <= max;
}

bool anyText(QStringView)
{
    return true;
}

bool notEmpty(QStringView text)
{
    return !text.isEmpty();
}

bool port(QStringView text)
{
    return digitsWithin(text, 1, kMaxPort);
}

bool tillPort(QStringView text)
{
    return tillListenerOff(text) || port(text);
}

bool flag(QStringView text)
{
    return text == u"0" || text == u"1";
}

bool session(QStringView text)
{
    return digitsWithin(text, 0, kMaxSession);
}

} // namespace

const QList<Value> &all()
{
    static const QList<Value> values = {
        {Config::KKAddress, Config::KKAddressDefault,
         QStringLiteral("makseserveri nimi või IP-aadress (mitte tühi)"), notEmpty},
        {Config::KKPort, Config::KKPortDefault, QStringLiteral("täisarv 1–65535"), port},
        {Config::Printer, Config::PrinterDefault, QString(), anyText},
        {Config::RAW, Config::RAWDefault, QStringLiteral("0 või 1"), flag},
        {Config::ReportMode, Config::ReportModeDefault, QStringLiteral("0 või 1"), flag},
        {Config::DoPrint, Config::DoPrintDefault, QStringLiteral("0 või 1"), flag},
        {Config::POS, Config::POSDefault, QString(), anyText},
        {Config::Session, Config::SessionDefault, QStringLiteral("täisarv 0–999999"), session},
        {Config::ECRPort, Config::ECRPortDefault,
         QStringLiteral("täisarv 1–65535; tühi või 0 lülitab kassaliidese välja"), tillPort},
        {Config::ECRAutoStart, Config::ECRAutoStartDefault, QStringLiteral("0 või 1"), flag},
    };
    return values;
}

const Value *find(QStringView name)
{
    for (const Value &v : all()) {
        if (name == v.name)
            return &v;
    }
    return nullptr;
}

const Value *findAnyCase(QStringView name)
{
    for (const Value &v : all()) {
        if (name.compare(v.name, Qt::CaseInsensitive) == 0)
            return &v;
    }
    return nullptr;
}

QString knownNames()
{
    QStringList names;
    for (const Value &v : all())
        names << QString(v.name);
    return names.join(QStringLiteral(", "));
}

QString refusal(const Value &value, QStringView text)
{
    return value.fits(text) ? QString() : value.accepts;
}

QString clash(const Value &value, QStringView text, const StoredLookup &stored)
{
    if (value.name == Config::ECRPort) {
        if (tillListenerOff(text) || !port(text))
            return QString();
        if (text.toInt() == paymentServerPort(stored(Config::KKPort)))
            return QStringLiteral("sama port kui KKPort");
        return QString();
    }
    if (value.name == Config::KKPort) {
        const QString ecr = stored(Config::ECRPort);
        if (port(text) && port(ecr) && ecr.toInt() == text.toInt())
            return QStringLiteral("sama port kui ECRPort");
    }
    return QString();
}

qint32 paymentServerPort(const QString &kkPort)
{
    // StartupSettings' PortFromText with the default as fall-back; an empty
    // text reads as the default anyway.
    return ParseBoundedLong(kkPort, 1, kMaxPort, QString(Config::KKPortDefault).toInt());
}

bool tillListenerOff(QStringView ecrPort)
{
    return ecrPort.isEmpty() || ecrPort == u"0";
}

quint16 tillListenerPort(const QString &ecrPort, qint32 paymentServerPort)
{
    if (tillListenerOff(ecrPort) || !port(ecrPort))
        return 0;
    const qint32 p = ecrPort.toInt();
    return p == paymentServerPort ? 0 : quint16(p);
}

bool tillAutoStart(QStringView ecrAutoStart)
{
    return ecrAutoStart == u"1";
}

} // namespace ConfigValues
