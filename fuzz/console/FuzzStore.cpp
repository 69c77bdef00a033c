// The settings store's hive file. Each input is one HKEY_LOCAL_MACHINE.reg
// (after an optional header line, so the fuzzer reaches the key and value
// lines at once), read by a RegistryStore, then written back by a change of
// the store's own, and read again by a second store.
//
// Invariants: a file the store rejects is never overwritten (the change
// fails, the file keeps its bytes, no new file stays beside it); a file it
// accepts round-trips unchanged: every key that the file names reads back
// with the same values, in the same order, after the store has written the
// file anew, and the store's own file, changed and written again, differs
// only by that change.
#include "FuzzSupport.h"

#include "common/CodePage.h"
#include "common/RegistryStore.h"

#include <QDir>
#include <QFile>

#include <vector>

using Fuzz::require;

namespace {

constexpr char kHeader[] = "TELLAR-REGISTRY 1\n";
constexpr char kProbeKey[] = "Fuzz~RoundTrip";

QString storeDir()
{
    return Fuzz::scratchDir() + QStringLiteral("/store");
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    require(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "the hive file can be written");
    require(f.write(bytes) == bytes.size(), "the hive file is written whole");
}

// %HH as the file format writes it; false for a broken escape.
bool unescapeName(QByteArrayView text, QByteArray *out)
{
    const auto hex = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    out->clear();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out->append(text[i]);
            continue;
        }
        if (i + 2 >= text.size() || hex(text[i + 1]) < 0 || hex(text[i + 2]) < 0)
            return false;
        out->append(char(hex(text[i + 1]) * 16 + hex(text[i + 2])));
        i += 2;
    }
    return true;
}

// The key paths the file's "[...]" lines name, as the store spells them.
std::vector<QByteArray> keyPaths(const QByteArray &file)
{
    std::vector<QByteArray> out;
    for (const QByteArray &line : file.split('\n')) {
        if (!line.startsWith('[') || !line.endsWith(']') || line.size() < 3)
            continue;
        QByteArray path;
        bool ok = true;
        const QList<QByteArray> parts = line.mid(1, line.size() - 2).split('\\');
        for (qsizetype i = 0; i < parts.size() && ok; ++i) {
            QByteArray part;
            ok = unescapeName(parts[i], &part);
            path += (i ? "\\" : "") + part;
        }
        if (ok)
            out.push_back(path);
    }
    return out;
}

bool isProbeKey(const QByteArray &path)
{
    return CodePage::console().decode(path).compare(QLatin1String(kProbeKey), Qt::CaseInsensitive) == 0;
}

struct KeyReading {
    qint32 openResult = 0;
    qint32 enumResult = 0;
    QList<RegistryStore::Value> values;
    bool operator==(const KeyReading &o) const
    {
        if (openResult != o.openResult || enumResult != o.enumResult || values.size() != o.values.size())
            return false;
        for (qsizetype i = 0; i < values.size(); ++i)
            if (values[i].name != o.values[i].name || values[i].type != o.values[i].type
                || values[i].data != o.values[i].data)
                return false;
        return true;
    }
};

std::vector<KeyReading> readKeys(RegistryStore &store, const std::vector<QByteArray> &paths)
{
    std::vector<KeyReading> out;
    for (const QByteArray &path : paths) {
        KeyReading r;
        HKEY h = 0;
        r.openResult = store.openKey(HKEY_LOCAL_MACHINE, path, KEY_READ, &h);
        if (r.openResult == RegistryStore::Success) {
            r.enumResult = store.enumValues(h, &r.values);
            store.closeKey(h);
        }
        out.push_back(r);
    }
    return out;
}

qint32 setProbe(RegistryStore &store, QByteArrayView data)
{
    HKEY h = 0;
    const qint32 rc = store.createKey(HKEY_LOCAL_MACHINE, kProbeKey, {}, REG_OPTION_NON_VOLATILE,
                                      KEY_ALL_ACCESS, &h);
    if (rc != RegistryStore::Success)
        return rc;
    const qint32 set = store.setValue(h, "v", REG_SZ, data);
    store.closeKey(h);
    return set;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    Fuzz::Reader in(data, size);
    const bool withHeader = in.byte() & 0x01;
    const QByteArray file = (withHeader ? QByteArray(kHeader) : QByteArray()) + in.rest();

    QDir(storeDir()).removeRecursively();
    require(QDir().mkpath(storeDir()), "the store folder can be made");
    RegistryStore store(storeDir());
    const QString hivePath = store.hiveFilePath(HKEY_LOCAL_MACHINE);
    writeFile(hivePath, file);

    QList<RegistryStore::Value> rootValues;
    const qint32 read = store.enumValues(HKEY_LOCAL_MACHINE, &rootValues);
    if (read != RegistryStore::Success) {
        require(read == RegistryStore::BadDb, "a file that cannot be read is a corrupt store");
        require(setProbe(store, "x") == RegistryStore::BadDb, "a change to a corrupt store fails");
        require(readFile(hivePath) == file, "a rejected file is never overwritten");
        const QStringList left = QDir(storeDir()).entryList(QDir::Files | QDir::Hidden);
        for (const QString &name : left)
            require(name == QStringLiteral("HKEY_LOCAL_MACHINE.reg") || name == QStringLiteral("HKEY_LOCAL_MACHINE.lock"),
                    "a rejected file leaves no new file beside it");
        return 0;
    }

    std::vector<QByteArray> paths = keyPaths(file);
    const bool hadProbe = std::erase_if(paths, isProbeKey) > 0;
    const std::vector<KeyReading> before = readKeys(store, paths);

    require(setProbe(store, "x") == RegistryStore::Success, "an accepted store takes a change");
    const QByteArray written = readFile(hivePath);
    RegistryStore again(storeDir());
    require(again.enumValues(HKEY_LOCAL_MACHINE, &rootValues) == RegistryStore::Success,
            "the store reads the file it wrote");
    require(readKeys(again, paths) == before, "an accepted file round-trips unchanged");

    // The store's own file, changed once more: only the changed value differs.
    if (hadProbe)
        return 0;   // the file's own probe key may hold other values around "v"
    require(setProbe(again, "y") == RegistryStore::Success, "the written store takes a change");
    QByteArray expected = written;
    const QByteArray from = QByteArray("[") + kProbeKey + "]\nv=1:x\n";
    const qsizetype at = expected.indexOf(from);
    require(at >= 0, "the change stands in the written file");
    expected.replace(at, from.size(), QByteArray("[") + kProbeKey + "]\nv=1:y\n");
    require(readFile(hivePath) == expected, "the store's own file round-trips byte for byte");
    return 0;
}
