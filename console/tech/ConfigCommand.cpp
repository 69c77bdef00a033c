#include "tech/ConfigCommand.h"

#include "common/AppPaths.h"
#include "common/CodePage.h"
#include "common/Config.h"
#include "common/ConfigValues.h"
#include "common/RegistryStore.h"

#include <QIODevice>

namespace {

const char kUsage[] =
    "usage: Tellar [--registry DIR] --config list\n"
    "       Tellar [--registry DIR] --config get NAME\n"
    "       Tellar [--registry DIR] --config set NAME VALUE\n";

QString describe(qint32 rc)
{
    switch (rc) {
    case RegistryStore::PathNotFound:
        return QStringLiteral("a part of the path is not a folder");
    case RegistryStore::AccessDenied:
        return QStringLiteral("access denied");
    case RegistryStore::DiskFull:
        return QStringLiteral("disk full");
    case RegistryStore::BadDb:
        return QStringLiteral("the store file is corrupt");
    case RegistryStore::CantRead:
        return QStringLiteral("read failure");
    case RegistryStore::CantWrite:
        return QStringLiteral("write failure");
    default:
        return QStringLiteral("system error");
    }
}

void line(QIODevice &dev, const QString &text)
{
    dev.write(text.toUtf8() + '\n');
}

int storeFailure(QIODevice &err, const char *what, const RegistryStore &store, qint32 rc)
{
    line(err, QStringLiteral("Tellar --config: cannot %1 the settings store in %2: error %3 (%4)")
                  .arg(QLatin1String(what), store.directory(), QString::number(rc), describe(rc)));
    return ConfigCommand::StoreError;
}

int usage(QIODevice &err, const QString &why)
{
    line(err, QStringLiteral("Tellar --config: ") + why);
    err.write(kUsage);
    return ConfigCommand::UsageError;
}

QByteArray consoleKey()
{
    return "SOFTWARE\\" + CodePage::console().encode(QString(Config::KeyPath));
}

// A stored value's text as the console reads it (the bytes before a NUL),
// empty when it is not there or cannot be read: the rules between values
// then hold against the console's defaults, as the console's reads would.
QString storedText(RegistryStore &store, QLatin1String name)
{
    const CodePage &cp = CodePage::console();
    HKEY key = 0;
    if (store.openKey(HKEY_LOCAL_MACHINE, consoleKey(), KEY_READ, &key) != RegistryStore::Success)
        return QString();
    const QByteArray n = cp.encode(QString(name));
    QByteArray data;
    quint32 size = 0;
    qint32 rc = store.queryValue(key, n, nullptr, nullptr, &size);
    if (rc == RegistryStore::Success) {
        data.resize(size);
        rc = store.queryValue(key, n, nullptr, data.data(), &size);
        data.truncate(size);
    }
    store.closeKey(key);
    if (rc != RegistryStore::Success)
        return QString();
    const qsizetype nul = data.indexOf('\0');
    if (nul >= 0)
        data.truncate(nul);
    return cp.decode(data);
}

// Why `name` may not be set to `text`, as the one line a technician sees;
// empty when it may. Names must be spelt as the console spells them: the
// store would take "kkport" for KKPort, but a list or a script then shows
// two spellings of one value.
QString refuseSet(RegistryStore &store, const QString &name, const QString &text)
{
    const ConfigValues::Value *value = ConfigValues::find(name);
    if (!value) {
        const ConfigValues::Value *near = ConfigValues::findAnyCase(name);
        const QString spelling = near ? QStringLiteral("; see kirjutatakse \"%1\"").arg(near->name) : QString();
        return QStringLiteral("tundmatu seade \"%1\"%2. Tuntud seaded: %3.")
            .arg(name, spelling, ConfigValues::knownNames());
    }
    const QString accepts = ConfigValues::refusal(*value, text);
    if (!accepts.isEmpty())
        return QStringLiteral("%1: \"%2\" ei sobi. Lubatud: %3.").arg(value->name, text, accepts);
    const QString why = ConfigValues::clash(*value, text, [&](QLatin1String other) {
        return storedText(store, other);
    });
    if (!why.isEmpty())
        return QStringLiteral("%1: \"%2\" ei sobi, %3. Lubatud: %4.").arg(value->name, text, why, value->accepts);
    return QString();
}

} // namespace

bool isConfigCommand(const QStringList &args)
{
    return args.indexOf(QStringLiteral("--config"), 1) > 0;
}

int runConfigCommand(const QStringList &args, QIODevice &out, QIODevice &err)
{
    const AppPaths::Options options = AppPaths::parse(args);
    const QStringList &rest = options.rest;
    const qsizetype at = rest.indexOf(QStringLiteral("--config"), 1);
    if (at < 0)
        return usage(err, QStringLiteral("no --config command given"));
    if (at != 1)
        return usage(err, QStringLiteral("unknown argument \"%1\"").arg(rest[1]));
    const QStringList command = rest.mid(at + 1);
    const QString verb = command.value(0);

    RegistryStore store(options.registryDir);
    const CodePage &cp = CodePage::console();

    if (verb == QLatin1String("list") && command.size() == 1) {
        HKEY key = 0;
        const qint32 rc = store.openKey(HKEY_LOCAL_MACHINE, consoleKey(), KEY_READ, &key);
        if (rc == RegistryStore::FileNotFound)
            return ConfigCommand::Ok;  // nothing stored yet
        if (rc != RegistryStore::Success)
            return storeFailure(err, "read", store, rc);
        QList<RegistryStore::Value> values;
        const qint32 enumRc = store.enumValues(key, &values);
        store.closeKey(key);
        if (enumRc != RegistryStore::Success)
            return storeFailure(err, "read", store, enumRc);
        for (const auto &v : values)
            out.write(v.name + '=' + v.data + '\n');
        return ConfigCommand::Ok;
    }

    if (verb == QLatin1String("get") && command.size() == 2) {
        const QString name = command[1];
        HKEY key = 0;
        qint32 rc = store.openKey(HKEY_LOCAL_MACHINE, consoleKey(), KEY_READ, &key);
        QByteArray data;
        if (rc == RegistryStore::Success) {
            quint32 size = 0;
            rc = store.queryValue(key, cp.encode(name), nullptr, nullptr, &size);
            if (rc == RegistryStore::Success) {
                data.resize(size);
                rc = store.queryValue(key, cp.encode(name), nullptr, data.data(), &size);
                data.truncate(size);
            }
            store.closeKey(key);
        }
        if (rc == RegistryStore::FileNotFound) {
            line(err, QStringLiteral("Tellar --config: no value \"%1\"").arg(name));
            return ConfigCommand::NotFound;
        }
        if (rc != RegistryStore::Success)
            return storeFailure(err, "read", store, rc);
        out.write(data + '\n');
        return ConfigCommand::Ok;
    }

    if (verb == QLatin1String("set") && command.size() == 3) {
        // Refused before the store is opened for writing: a refusal changes
        // nothing, not even the store's folder.
        const QString refused = refuseSet(store, command[1], command[2]);
        if (!refused.isEmpty()) {
            line(err, QStringLiteral("Tellar --config: ") + refused);
            return ConfigCommand::UsageError;
        }
        HKEY key = 0;
        qint32 rc = store.createKey(HKEY_LOCAL_MACHINE, consoleKey(), QByteArrayView(),
                                    REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &key);
        if (rc == RegistryStore::Success) {
            rc = store.setValue(key, cp.encode(command[1]), REG_SZ, cp.encode(command[2]));
            store.closeKey(key);
        }
        if (rc != RegistryStore::Success)
            return storeFailure(err, "write", store, rc);
        return ConfigCommand::Ok;
    }

    if (verb.isEmpty())
        return usage(err, QStringLiteral("--config needs list, get or set"));
    return usage(err, QStringLiteral("wrong arguments for \"%1\"").arg(verb));
}
