// RegistryStore: the machine-wide settings store, with the semantics of the
// registry calls the console makes (open, query, create, set, flush, close).
//
// Model. A hive (HKEY_LOCAL_MACHINE, ...) holds keys named by paths of
// components joined with "\" ("SOFTWARE\Kerlan\Tellar"); a key holds named
// values. Key and value names are byte strings in the console code page and,
// as in the registry, are matched without regard to case (the spelling of
// the first creation is kept). Values are byte strings with a type number;
// a value may hold any bytes, NUL included, and may be empty. Creating a key
// creates its missing parents.
//
// Results are Win32 error codes (Error below): 0 success, 2 key or value not
// found, 3 the store's folder cannot be reached (a path component is not a
// folder), 5 access denied (by the file system, or a handle opened without
// the needed access), 6 invalid handle, 112 disk full, 161 bad key path,
// 234 buffer too small, 1009 the stored file is corrupt, 1012/1013 other
// read/write failures, 1018 the key was removed by someone else.
//
// On disk (one folder, AppPaths::registryDir() for the console):
//   <HIVE>.reg    e.g. HKEY_LOCAL_MACHINE.reg, the whole hive as text lines
//                 (LF ended):
//                   TELLAR-REGISTRY 1
//                   [SOFTWARE\Kerlan\Tellar]
//                   POS=1:00000042
//                 a "[path]" line opens a key (every key has one, parents
//                 included, in creation order); "name=type:data" lines are
//                 its values. Bytes outside 0x21..0x7E and the bytes % = [ ]
//                 are written as %HH in names and paths; in data every byte
//                 outside 0x20..0x7E and "%" are. Anything else is a corrupt
//                 file (1009), which is never overwritten.
//   <HIVE>.lock   an empty file for flock(2): writers hold it exclusively.
//   .<HIVE>.reg.XXXXXX  a writer's new file before it is renamed into place.
// A missing folder or hive file is an empty hive.
//
// Durability and sharing. Every change (createKey of a new key, setValue)
// goes to disk before it returns: under the exclusive lock the writer
// re-reads the hive file, applies its change, writes a new file beside it,
// fsyncs it, renames it over the old one and fsyncs the folder. A crash
// therefore leaves either the old or the new file, never a torn or empty
// one, and two consoles (or a console and `Tellar --config set`) never lose
// each other's writes. Readers take no lock: rename is atomic. Temporary
// files left by a crashed writer are removed by the next writer.
//
// Handles. Opened keys get small handle numbers private to one RegistryStore
// object; the hive constants are always valid. A handle remembers its access
// mask: setting a value through a key opened with KEY_READ gives 5.
// A RegistryStore is meant for one thread (the console's UI thread); its
// handle table is guarded, the store files need no guard.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <QtGlobal>

#include <functional>

using HKEY = quint32;

// Predefined hives, with their registry numbers. Messages write them as
// signed 32-bit numbers: HKEY_LOCAL_MACHINE is -2147483646.
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;

// Access masks.
inline constexpr quint32 KEY_QUERY_VALUE = 0x0001;
inline constexpr quint32 KEY_SET_VALUE = 0x0002;
inline constexpr quint32 KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr quint32 KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr quint32 KEY_READ = 0x20019;
inline constexpr quint32 KEY_WRITE = 0x20006;
inline constexpr quint32 KEY_ALL_ACCESS = 0xF003F;

// Value types (only the number is stored; the store does not interpret it).
inline constexpr quint32 REG_NONE = 0;
inline constexpr quint32 REG_SZ = 1;
inline constexpr quint32 REG_BINARY = 3;

inline constexpr quint32 REG_OPTION_NON_VOLATILE = 0;

class RegistryStore {
public:
    enum Error : qint32 {
        Success = 0,
        FileNotFound = 2,      // key or value does not exist
        PathNotFound = 3,      // the store folder's path is blocked
        AccessDenied = 5,
        InvalidHandle = 6,
        InvalidParameter = 87,
        DiskFull = 112,
        BadPathname = 161,     // empty component or leading "\" in a key path
        MoreData = 234,        // buffer smaller than the value
        BadDb = 1009,          // the hive file is corrupt
        BadKey = 1010,
        CantRead = 1012,
        CantWrite = 1013,
        KeyDeleted = 1018,
    };
    enum Disposition : quint32 { CreatedNewKey = 1, OpenedExistingKey = 2 };

    struct Value {
        QByteArray name;
        quint32 type = REG_SZ;
        QByteArray data;
    };

    explicit RegistryStore(const QString &directory);
    ~RegistryStore();
    RegistryStore(const RegistryStore &) = delete;
    RegistryStore &operator=(const RegistryStore &) = delete;

    // The console's store. Its folder follows AppPaths::registryDir() at
    // each call (tests may move it between cases); keep no handle of it
    // across such a move.
    static RegistryStore &machine();

    QString directory() const;
    void setDirectory(const QString &directory);
    // <directory>/<HIVE>.reg, or "" for a handle that is not a hive.
    QString hiveFilePath(HKEY hive) const;

    // Opens an existing key. `key` may be a hive or an open handle; an empty
    // subKey opens `key` itself again. *result is 0 on failure.
    qint32 openKey(HKEY key, QByteArrayView subKey, quint32 access, HKEY *result);

    // Reads a value. With data == nullptr only the size is asked: *size
    // becomes the stored byte count. Otherwise *size holds the buffer's size
    // on entry; a smaller buffer gives MoreData (and the needed size in
    // *size), else the bytes are copied and *size is their count. `type` may
    // be nullptr. The key needs KEY_QUERY_VALUE.
    qint32 queryValue(HKEY key, QByteArrayView valueName, quint32 *type, char *data, quint32 *size);

    // Opens a key, creating it (and its missing parents) when absent. The
    // class text and options are accepted as the registry accepts them;
    // nothing reads them back. *result is 0 on failure.
    qint32 createKey(HKEY key, QByteArrayView subKey, QByteArrayView className, quint32 options,
                     quint32 access, HKEY *result, quint32 *disposition = nullptr);

    // Creates or replaces a value; needs KEY_SET_VALUE. Written through to
    // disk before it returns.
    qint32 setValue(HKEY key, QByteArrayView valueName, quint32 type, QByteArrayView data);

    // Every change is already on disk: succeeds for any valid handle.
    qint32 flushKey(HKEY key);
    // Releases an opened handle; closing a hive succeeds and does nothing.
    qint32 closeKey(HKEY key);

    // All values of a key in stored order (for listing); needs
    // KEY_QUERY_VALUE.
    qint32 enumValues(HKEY key, QList<Value> *values);

    // Fault-injection seam for tests: called after the new hive file has
    // been written and synced, before it replaces the old one. A test
    // ends the process there to play a crash in mid-write.
    void setBeforeCommitHook(std::function<void()> hook);

    struct Hive;  // the parsed file (RegistryStore.cpp)

private:
    struct OpenKey {
        HKEY hive;
        QByteArray path;   // canonical spelling, components joined by '\'
        quint32 access;
    };

    bool resolve(HKEY key, OpenKey *out) const;
    HKEY addHandle(const OpenKey &key);
    qint32 readHive(HKEY hive, Hive *out) const;
    qint32 modifyHive(HKEY hive, const std::function<qint32(Hive &)> &change);

    QString m_directory;
    mutable QMutex m_mutex;
    QHash<HKEY, OpenKey> m_handles;
    HKEY m_nextHandle = 1;
    std::function<void()> m_beforeCommit;
};
