// The settings store's registry semantics, its file, and what happens to it
// when a writer dies or two write at once.
#include "common/RegistryStore.h"

#include "TestDir.h"

#include <QDir>

#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

namespace {

const QByteArray kKey = "SOFTWARE\\Kerlan\\Tellar";

// Creates kKey and sets one value through a fresh handle.
qint32 put(RegistryStore &store, const QByteArray &name, const QByteArray &data,
           const QByteArray &key = kKey)
{
    HKEY h = 0;
    qint32 rc = store.createKey(HKEY_LOCAL_MACHINE, key, "", 0, KEY_ALL_ACCESS, &h);
    if (rc == RegistryStore::Success) {
        rc = store.setValue(h, name, REG_SZ, data);
        store.closeKey(h);
    }
    return rc;
}

// Reads a value with the two-step size-then-data protocol.
qint32 get(RegistryStore &store, const QByteArray &name, QByteArray *data,
           const QByteArray &key = kKey)
{
    HKEY h = 0;
    qint32 rc = store.openKey(HKEY_LOCAL_MACHINE, key, KEY_READ, &h);
    if (rc != RegistryStore::Success)
        return rc;
    quint32 size = 0;
    rc = store.queryValue(h, name, nullptr, nullptr, &size);
    if (rc == RegistryStore::Success) {
        data->resize(size);
        rc = store.queryValue(h, name, nullptr, data->data(), &size);
    }
    store.closeKey(h);
    return rc;
}

QStringList strayTemporaries(const TestDir &dir)
{
    return QDir(dir.path()).entryList({QStringLiteral(".HKEY_LOCAL_MACHINE.reg.*")},
                                      QDir::Files | QDir::Hidden);
}

TEST(RegistryStore, MissingStoreIsAnEmptyHiveAndReadingCreatesNothing)
{
    TestDir dir;
    RegistryStore store(dir.file(QStringLiteral("registry")));
    HKEY h = 123;
    EXPECT_EQ(store.openKey(HKEY_LOCAL_MACHINE, kKey, KEY_READ, &h), RegistryStore::FileNotFound);
    EXPECT_EQ(h, 0u);
    EXPECT_FALSE(dir.exists(QStringLiteral("registry")));
}

TEST(RegistryStore, CreateKeyMakesParentsAndReportsDisposition)
{
    TestDir dir;
    RegistryStore store(dir.path());
    HKEY h = 0;
    quint32 disposition = 0;
    ASSERT_EQ(store.createKey(HKEY_LOCAL_MACHINE, kKey, "cls", 0, KEY_ALL_ACCESS, &h, &disposition),
              RegistryStore::Success);
    EXPECT_EQ(disposition, RegistryStore::CreatedNewKey);
    EXPECT_NE(h, 0u);
    EXPECT_EQ(store.closeKey(h), RegistryStore::Success);

    for (const QByteArray &parent : {QByteArray("SOFTWARE"), QByteArray("SOFTWARE\\Kerlan")}) {
        SCOPED_TRACE(parent.constData());
        HKEY p = 0;
        EXPECT_EQ(store.openKey(HKEY_LOCAL_MACHINE, parent, KEY_READ, &p), RegistryStore::Success);
        store.closeKey(p);
    }
    ASSERT_EQ(store.createKey(HKEY_LOCAL_MACHINE, kKey, "", 0, KEY_ALL_ACCESS, &h, &disposition),
              RegistryStore::Success);
    EXPECT_EQ(disposition, RegistryStore::OpenedExistingKey);
    store.closeKey(h);
}

TEST(RegistryStore, NamesMatchWithoutCaseAndKeepFirstSpelling)
{
    TestDir dir;
    RegistryStore store(dir.path());
    ASSERT_EQ(put(store, "POS", "1"), RegistryStore::Success);
    ASSERT_EQ(put(store, "pos", "2", "software\\KERLAN\\tellar"), RegistryStore::Success);
    QByteArray data;
    ASSERT_EQ(get(store, "Pos", &data, "Software\\Kerlan\\Tellar"), RegistryStore::Success);
    EXPECT_EQ(data, QByteArray("2"));
    EXPECT_EQ(dir.readFile(QStringLiteral("HKEY_LOCAL_MACHINE.reg")),
              QByteArray("TELLAR-REGISTRY 1\n[SOFTWARE]\n[SOFTWARE\\Kerlan]\n"
                         "[SOFTWARE\\Kerlan\\Tellar]\nPOS=1:2\n"));
}

TEST(RegistryStore, EveryByteValueSurvivesInNamesAndData)
{
    TestDir dir;
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    // 15 bytes, a NUL among them: the literal spells each one.
    const QByteArray oddName("a=b%c[d]e \x01\xF5\\" "\0" "x", 15);
    {
        RegistryStore writer(dir.path());
        ASSERT_EQ(put(writer, oddName, all), RegistryStore::Success);
        ASSERT_EQ(put(writer, "Empty", QByteArray()), RegistryStore::Success);
        ASSERT_EQ(put(writer, "Nul", QByteArray("12\0" "34", 5)), RegistryStore::Success);
    }
    RegistryStore reader(dir.path());
    QByteArray data;
    ASSERT_EQ(get(reader, oddName, &data), RegistryStore::Success);
    EXPECT_EQ(data, all);
    ASSERT_EQ(get(reader, "Empty", &data), RegistryStore::Success);
    EXPECT_TRUE(data.isEmpty());
    ASSERT_EQ(get(reader, "Nul", &data), RegistryStore::Success);
    EXPECT_EQ(data, QByteArray("12\0" "34", 5));
}

TEST(RegistryStore, QueryReportsSizeAndRefusesSmallBuffer)
{
    TestDir dir;
    RegistryStore store(dir.path());
    ASSERT_EQ(put(store, "KKAddress", "10.0.0.7"), RegistryStore::Success);
    HKEY h = 0;
    ASSERT_EQ(store.openKey(HKEY_LOCAL_MACHINE, kKey, KEY_READ, &h), RegistryStore::Success);
    quint32 type = 99, size = 0;
    ASSERT_EQ(store.queryValue(h, "KKAddress", &type, nullptr, &size), RegistryStore::Success);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 8u);
    char small[4] = {};
    quint32 smallSize = sizeof small;
    EXPECT_EQ(store.queryValue(h, "KKAddress", nullptr, small, &smallSize), RegistryStore::MoreData);
    EXPECT_EQ(smallSize, 8u);
    EXPECT_EQ(store.queryValue(h, "Nothing", nullptr, nullptr, &size), RegistryStore::FileNotFound);
    store.closeKey(h);
}

TEST(RegistryStore, HandlesAndAccessRights)
{
    TestDir dir;
    RegistryStore store(dir.path());
    ASSERT_EQ(put(store, "POS", "1"), RegistryStore::Success);
    HKEY readOnly = 0;
    ASSERT_EQ(store.openKey(HKEY_LOCAL_MACHINE, kKey, KEY_READ, &readOnly), RegistryStore::Success);
    EXPECT_EQ(store.setValue(readOnly, "POS", REG_SZ, "2"), RegistryStore::AccessDenied);
    EXPECT_EQ(store.flushKey(readOnly), RegistryStore::Success);
    EXPECT_EQ(store.closeKey(readOnly), RegistryStore::Success);
    EXPECT_EQ(store.closeKey(readOnly), RegistryStore::InvalidHandle);
    EXPECT_EQ(store.setValue(readOnly, "POS", REG_SZ, "2"), RegistryStore::InvalidHandle);
    EXPECT_EQ(store.setValue(0, "POS", REG_SZ, "2"), RegistryStore::InvalidHandle);
    EXPECT_EQ(store.flushKey(0), RegistryStore::InvalidHandle);
    EXPECT_EQ(store.flushKey(HKEY_LOCAL_MACHINE), RegistryStore::Success);
    EXPECT_EQ(store.closeKey(HKEY_LOCAL_MACHINE), RegistryStore::Success);
    HKEY h = 0;
    EXPECT_EQ(store.openKey(0x80000009u, kKey, KEY_READ, &h), RegistryStore::InvalidHandle);

    // A handle opened from another handle.
    HKEY kerlan = 0, tellar = 0;
    ASSERT_EQ(store.openKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kerlan", KEY_READ, &kerlan),
              RegistryStore::Success);
    ASSERT_EQ(store.openKey(kerlan, "Tellar", KEY_READ, &tellar), RegistryStore::Success);
    quint32 size = 0;
    EXPECT_EQ(store.queryValue(tellar, "POS", nullptr, nullptr, &size), RegistryStore::Success);
    EXPECT_EQ(size, 1u);
    store.closeKey(tellar);
    store.closeKey(kerlan);
}

TEST(RegistryStore, MalformedKeyPathsAreRefused)
{
    TestDir dir;
    RegistryStore store(dir.path());
    for (const QByteArray &path : {QByteArray("\\SOFTWARE"), QByteArray("SOFTWARE\\\\Kerlan")}) {
        SCOPED_TRACE(path.constData());
        HKEY h = 0;
        EXPECT_EQ(store.createKey(HKEY_LOCAL_MACHINE, path, "", 0, KEY_ALL_ACCESS, &h),
                  RegistryStore::BadPathname);
        EXPECT_EQ(store.openKey(HKEY_LOCAL_MACHINE, path, KEY_READ, &h), RegistryStore::BadPathname);
    }
    // One trailing separator is tolerated.
    EXPECT_EQ(put(store, "POS", "1", "SOFTWARE\\Kerlan\\Tellar\\"), RegistryStore::Success);
    QByteArray data;
    EXPECT_EQ(get(store, "POS", &data), RegistryStore::Success);
}

TEST(RegistryStore, FolderBlockedByAFileGivesPathNotFound)
{
    TestDir dir;
    dir.writeFile(QStringLiteral("blocker"), "not a folder");
    RegistryStore store(dir.file(QStringLiteral("blocker/registry")));
    HKEY h = 0;
    EXPECT_EQ(store.createKey(HKEY_LOCAL_MACHINE, kKey, "", 0, KEY_ALL_ACCESS, &h),
              RegistryStore::PathNotFound);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(store.openKey(HKEY_LOCAL_MACHINE, kKey, KEY_READ, &h), RegistryStore::PathNotFound);
    EXPECT_EQ(store.setValue(HKEY_LOCAL_MACHINE, "x", REG_SZ, "y"), RegistryStore::AccessDenied);
    EXPECT_EQ(dir.readFile(QStringLiteral("blocker")), QByteArray("not a folder"));
}

TEST(RegistryStore, CorruptOrTruncatedFileIsReportedAndNeverOverwritten)
{
    struct Row {
        const char *name;
        QByteArray content;
    } rows[] = {
        {"empty file", QByteArray()},
        {"wrong header", "REGEDIT4\n[SOFTWARE]\n"},
        {"cut in mid-line", "TELLAR-REGISTRY 1\n[SOFTWARE\\Kerlan\\Tellar]\nPOS=1:12"},
        {"value before any key", "TELLAR-REGISTRY 1\nPOS=1:1\n"},
        {"bad escape", "TELLAR-REGISTRY 1\n[SOFTWARE\\Kerlan\\Tellar]\nPOS=1:%G1\n"},
        {"missing type", "TELLAR-REGISTRY 1\n[SOFTWARE\\Kerlan\\Tellar]\nPOS=12\n"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        TestDir dir;
        dir.writeFile(QStringLiteral("HKEY_LOCAL_MACHINE.reg"), r.content);
        RegistryStore store(dir.path());
        HKEY h = 0;
        EXPECT_EQ(store.openKey(HKEY_LOCAL_MACHINE, kKey, KEY_READ, &h), RegistryStore::BadDb);
        EXPECT_EQ(put(store, "POS", "1"), RegistryStore::BadDb);
        EXPECT_EQ(dir.readFile(QStringLiteral("HKEY_LOCAL_MACHINE.reg")), r.content);
    }
}

// A writer killed after writing its new file but before renaming it: the old
// store must be untouched, and the next writer must clean up after it.
TEST(RegistryStore, WriterKilledMidWriteLeavesOldStoreIntact)
{
    TestDir dir;
    {
        RegistryStore store(dir.path());
        ASSERT_EQ(put(store, "POS", "00000042"), RegistryStore::Success);
    }
    const QByteArray before = dir.readFile(QStringLiteral("HKEY_LOCAL_MACHINE.reg"));

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        RegistryStore store(dir.path());
        store.setBeforeCommitHook([] { ::raise(SIGKILL); });
        put(store, "POS", "99999999");
        ::_exit(3);  // not reached when the hook ran
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);

    EXPECT_EQ(dir.readFile(QStringLiteral("HKEY_LOCAL_MACHINE.reg")), before);
    EXPECT_EQ(strayTemporaries(dir).size(), 1);
    RegistryStore store(dir.path());
    QByteArray data;
    ASSERT_EQ(get(store, "POS", &data), RegistryStore::Success);
    EXPECT_EQ(data, QByteArray("00000042"));

    // The lock died with the writer: the next write goes through and removes
    // the temporary file it left.
    ASSERT_EQ(put(store, "Session", "7"), RegistryStore::Success);
    EXPECT_TRUE(strayTemporaries(dir).isEmpty());
    ASSERT_EQ(get(store, "POS", &data), RegistryStore::Success);
    EXPECT_EQ(data, QByteArray("00000042"));
}

TEST(RegistryStore, StrayTemporaryFileIsNeverRead)
{
    TestDir dir;
    RegistryStore store(dir.path());
    ASSERT_EQ(put(store, "POS", "1"), RegistryStore::Success);
    dir.writeFile(QStringLiteral(".HKEY_LOCAL_MACHINE.reg.Ab12Cd"), "TELLAR-REGISTRY 1\n[SOFTW");
    QByteArray data;
    ASSERT_EQ(get(store, "POS", &data), RegistryStore::Success);
    EXPECT_EQ(data, QByteArray("1"));
}

// Two store objects, each with its key open, write in turn: each write
// re-reads the file, so neither undoes the other.
TEST(RegistryStore, InterleavedWritersKeepEachOthersValues)
{
    TestDir dir;
    RegistryStore a(dir.path()), b(dir.path());
    HKEY ha = 0, hb = 0;
    ASSERT_EQ(a.createKey(HKEY_LOCAL_MACHINE, kKey, "", 0, KEY_ALL_ACCESS, &ha), 0);
    ASSERT_EQ(b.createKey(HKEY_LOCAL_MACHINE, kKey, "", 0, KEY_ALL_ACCESS, &hb), 0);
    ASSERT_EQ(a.setValue(ha, "POS", REG_SZ, "11111111"), 0);
    ASSERT_EQ(b.setValue(hb, "Session", REG_SZ, "5"), 0);
    ASSERT_EQ(a.setValue(ha, "KKPort", REG_SZ, "9000"), 0);
    a.closeKey(ha);
    b.closeKey(hb);
    RegistryStore reader(dir.path());
    QByteArray data;
    for (const auto &[name, value] : {std::pair{"POS", "11111111"}, std::pair{"Session", "5"},
                                      std::pair{"KKPort", "9000"}}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(get(reader, name, &data), 0);
        EXPECT_EQ(data, QByteArray(value));
    }
}

// Four processes write 25 values each at the same time.
TEST(RegistryStore, ConcurrentProcessesLoseNoWrite)
{
    TestDir dir;
    constexpr int kWriters = 4, kValues = 25;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            RegistryStore store(dir.path());
            int failures = 0;
            for (int v = 0; v < kValues; ++v) {
                const QByteArray name = "w" + QByteArray::number(w) + "v" + QByteArray::number(v);
                failures += put(store, name, name + "-data") != RegistryStore::Success;
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    RegistryStore reader(dir.path());
    HKEY h = 0;
    ASSERT_EQ(reader.openKey(HKEY_LOCAL_MACHINE, kKey, KEY_READ, &h), 0);
    QList<RegistryStore::Value> values;
    ASSERT_EQ(reader.enumValues(h, &values), 0);
    EXPECT_EQ(values.size(), kWriters * kValues);
    for (int w = 0; w < kWriters; ++w) {
        for (int v = 0; v < kValues; ++v) {
            const QByteArray name = "w" + QByteArray::number(w) + "v" + QByteArray::number(v);
            QByteArray data;
            EXPECT_EQ(get(reader, name, &data), 0) << name.constData();
            EXPECT_EQ(data, name + "-data");
        }
    }
    EXPECT_TRUE(strayTemporaries(dir).isEmpty());
}

} // namespace
