// Which store values the console reads and which texts each one can hold:
// the one list `Tellar --config set` refuses typos by and `Tellar --check`
// judges the stored values by. A name the console starts reading belongs
// here (and in Config.h), or provisioning refuses it.
//
// The texts a value accepts are stricter than what its reader tolerates: the
// console reads KKPort " 9000" or "9e3" as 9000, but a technician is only
// ever told to write digits. What the console does with a text outside the
// rule is its reader's business (StartupSettings.h); the check states it.
#pragma once

#include <QLatin1String>
#include <QList>
#include <QString>
#include <QStringView>

#include <functional>

namespace ConfigValues {

struct Value {
    QLatin1String name;          // as Config.h spells it
    QLatin1String defaultValue;  // what the console uses when nothing is stored
    // What the value accepts, for a technician ("täisarv 1–65535"); empty
    // for a value that takes any text.
    QString accepts;
    // True when `text` is among what the value accepts.
    bool (*fits)(QStringView text);
};

// Every value the console reads, in Config.h's order.
const QList<Value> &all();

// The value of exactly that spelling, or null.
const Value *find(QStringView name);
// The value the store would match `name` to (the store ignores letter case,
// so the console reads "kkport" as KKPort), or null.
const Value *findAnyCase(QStringView name);
// "KKAddress, KKPort, ...": every name, for a technician who mistyped one.
QString knownNames();

// Empty when `text` fits the value; else what the value accepts.
QString refusal(const Value &value, QStringView text);

// The text of one stored value by its name (the store's letter case rules),
// empty when it is not stored.
using StoredLookup = std::function<QString(QLatin1String name)>;

// The rules between values: ECRPort may not be the payment server's port
// (KKPort as the console reads it, 8145 when not stored), and KKPort may not
// be a stored ECRPort that is on. Empty when `text` for `name` breaks none,
// else the reason ("sama port kui KKPort").
QString clash(const Value &value, QStringView text, const StoredLookup &stored);

// The port the payment server is reached on for a stored KKPort text, as the
// console reads it: a whole number 1..65535, else 8145.
qint32 paymentServerPort(const QString &kkPort);

// True for an ECRPort that switches the hand-off listener off on purpose:
// empty or "0".
bool tillListenerOff(QStringView ecrPort);
// The port the hand-off listener takes on 127.0.0.1 for a stored ECRPort
// text, 0 for none: off when empty or "0", and also off when the text does
// not fit or is the payment server's port (a listener there would take the
// server's place on this machine). The console's reader must agree with
// this, or the check's "väljas" is wrong.
quint16 tillListenerPort(const QString &ecrPort, qint32 paymentServerPort);
// ECRAutoStart as a reader takes it: on only for exactly "1".
bool tillAutoStart(QStringView ecrAutoStart);

} // namespace ConfigValues
