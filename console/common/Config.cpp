#include "common/Config.h"

#include "common/CodePage.h"
#include "common/ErrorLog.h"

namespace {

// Hive handles appear in messages as signed 32-bit numbers:
// HKEY_LOCAL_MACHINE is -2147483646.
QString hiveText(HKEY hive)
{
    return QString::number(static_cast<qint32>(hive));
}

QString number(qint32 code)
{
    return QString::number(code);
}

QByteArray bytes(const QString &text)
{
    return CodePage::console().encode(text);
}

void logFailure(const char *procedure, const QString &message)
{
    LogError(Config::RegistryErrorNumber, message, QString::fromLatin1(procedure));
}

// "Kerlan\Tellar" stays; "Software\Kerlan\Tellar" (any case) loses
// everything up to and including its first "software\".
QString stripSoftwarePrefix(const QString &path)
{
    const qsizetype at = path.indexOf(QLatin1String("software\\"), 0, Qt::CaseInsensitive);
    return at < 0 ? path : path.mid(at + 9);
}

} // namespace

QString GetRegString(RegistryStore &store, HKEY hive, const QString &subKey,
                     const QString &valueName, const QString &defaultValue)
{
    HKEY key = 0;
    const qint32 openRc = store.openKey(hive, bytes(subKey), KEY_READ, &key);
    if (openRc != RegistryStore::Success) {
        if (openRc != RegistryStore::FileNotFound)
            logFailure("GetRegString", QStringLiteral("RegOpenKeyEx andis vea ") + number(openRc)
                           + QStringLiteral(", hkey=") + hiveText(hive)
                           + QStringLiteral(", asukoht=") + subKey);
        return defaultValue;
    }

    const QByteArray name = bytes(valueName);
    QString result = defaultValue;
    quint32 size = 0;
    qint32 rc = store.queryValue(key, name, nullptr, nullptr, &size);
    // The value may grow between asking its size and reading it (another
    // console writing): ask again a few times rather than report a spurious
    // failure.
    for (int attempt = 0; rc == RegistryStore::Success && size > 0; ++attempt) {
        QByteArray buffer(static_cast<qsizetype>(size), '\0');
        quint32 got = size;
        rc = store.queryValue(key, name, nullptr, buffer.data(), &got);
        if (rc == RegistryStore::MoreData && attempt < 3) {
            size = got;
            continue;
        }
        if (rc == RegistryStore::Success) {
            buffer.truncate(got);
            const qsizetype nul = buffer.indexOf('\0');
            if (nul >= 0)
                buffer.truncate(nul);
            result = CodePage::console().decode(buffer);
        } else if (rc != RegistryStore::FileNotFound && rc != RegistryStore::BadKey) {
            logFailure("GetRegString", QStringLiteral("RegQueryValueEx andis vea ") + number(rc)
                           + QStringLiteral(", hkey=") + hiveText(hive)
                           + QStringLiteral(", key=") + valueName
                           + QStringLiteral(" asukoht=") + subKey);
        }
        break;
    }
    store.closeKey(key);
    return result;
}

void PutRegString(RegistryStore &store, HKEY hive, const QString &subKey,
                  const QString &valueName, const QString &value)
{
    HKEY key = 0;
    const qint32 createRc = store.createKey(hive, bytes(subKey), "ei tea, mida siia panna",
                                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &key);
    if (createRc != RegistryStore::Success)
        logFailure("PutRegString", QStringLiteral("RegCreateKeyEx andis vea ") + number(createRc)
                       + QStringLiteral(", hkey=") + hiveText(hive)
                       + QStringLiteral(", asukoht=") + subKey);

    // Attempted even without a key: the set then fails on the null handle
    // and is logged too, so a failed create leaves two entries.
    const qint32 setRc = store.setValue(key, bytes(valueName), REG_SZ, bytes(value));
    if (setRc != RegistryStore::Success)
        logFailure("PutRegString", QStringLiteral("RegSetValueEx andis vea ") + number(setRc)
                       + QStringLiteral(", key=") + valueName
                       + QStringLiteral(", vaart=") + value);

    store.flushKey(hive);
    if (key)
        store.closeKey(key);
}

QString GetConfigString(RegistryStore &store, const QString &path, const QString &valueName,
                        const QString &defaultValue)
{
    return GetRegString(store, HKEY_LOCAL_MACHINE,
                        QStringLiteral("SOFTWARE\\") + stripSoftwarePrefix(path), valueName,
                        defaultValue);
}

void PutConfigString(RegistryStore &store, const QString &path, const QString &valueName,
                     const QString &value)
{
    PutRegString(store, HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\") + path, valueName, value);
}

QString GetRegString(HKEY hive, const QString &subKey, const QString &valueName,
                     const QString &defaultValue)
{
    return GetRegString(RegistryStore::machine(), hive, subKey, valueName, defaultValue);
}

void PutRegString(HKEY hive, const QString &subKey, const QString &valueName, const QString &value)
{
    PutRegString(RegistryStore::machine(), hive, subKey, valueName, value);
}

QString GetConfigString(const QString &path, const QString &valueName, const QString &defaultValue)
{
    return GetConfigString(RegistryStore::machine(), path, valueName, defaultValue);
}

void PutConfigString(const QString &path, const QString &valueName, const QString &value)
{
    PutConfigString(RegistryStore::machine(), path, valueName, value);
}
