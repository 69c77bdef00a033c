#include "common/RegistryStore.h"

#include "common/FileAppend.h"

#include "common/AppPaths.h"
#include "common/CodePage.h"

#include <QDir>
#include <QFile>
#include <QMutexLocker>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

struct RegistryStore::Hive {
    struct Key {
        QByteArray path;  // components joined by '\', as first created
        QList<Value> values;
    };
    QList<Key> keys;
    bool dirty = false;   // changed since read: must be written

    Key *find(QByteArrayView path);
};

namespace {

constexpr char kHeader[] = "TELLAR-REGISTRY 1";

// Names are matched the registry's way: without regard to case, in the
// console code page.
bool sameName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    if (a == b)
        return true;
    const CodePage &cp = CodePage::console();
    return cp.decode(a).compare(cp.decode(b), Qt::CaseInsensitive) == 0;
}

const char *hiveName(HKEY hive)
{
    switch (hive) {
    case HKEY_CLASSES_ROOT:
        return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER:
        return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE:
        return "HKEY_LOCAL_MACHINE";
    case HKEY_USERS:
        return "HKEY_USERS";
    default:
        return nullptr;
    }
}

qint32 readError(int e)
{
    switch (e) {
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG:
        return RegistryStore::PathNotFound;
    case EACCES:
    case EPERM:
        return RegistryStore::AccessDenied;
    default:
        return RegistryStore::CantRead;
    }
}

qint32 writeError(int e)
{
    switch (e) {
    case ENOTDIR:
    case ENOENT:
    case ELOOP:
    case ENAMETOOLONG:
        return RegistryStore::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return RegistryStore::AccessDenied;
    case ENOSPC:
    case EDQUOT:
        return RegistryStore::DiskFull;
    default:
        return RegistryStore::CantWrite;
    }
}

// --- file format -------------------------------------------------------

void escapeInto(QByteArray &out, QByteArrayView bytes, bool isName)
{
    static const char hex[] = "0123456789ABCDEF";
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        const bool plain = isName ? (b >= 0x21 && b <= 0x7E && b != '%' && b != '=' && b != '['
                                     && b != ']')
                                  : (b >= 0x20 && b <= 0x7E && b != '%');
        if (plain) {
            out.append(ch);
        } else {
            out.append('%');
            out.append(hex[b >> 4]);
            out.append(hex[b & 0xF]);
        }
    }
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;  // lower case is never written, so never accepted
}

bool unescape(QByteArrayView text, QByteArray *out)
{
    out->clear();
    out->reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out->append(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int hi = hexDigit(text[i + 1]);
        const int lo = hexDigit(text[i + 2]);
        if (hi < 0 || lo < 0)
            return false;
        out->append(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    return true;
}

QByteArray serialize(const RegistryStore::Hive &hive)
{
    QByteArray out(kHeader);
    out.append('\n');
    for (const auto &key : hive.keys) {
        out.append('[');
        const QList<QByteArray> parts = key.path.split('\\');
        for (qsizetype i = 0; i < parts.size(); ++i) {
            if (i)
                out.append('\\');
            escapeInto(out, parts[i], true);
        }
        out.append("]\n");
        for (const auto &value : key.values) {
            escapeInto(out, value.name, true);
            out.append('=');
            out.append(QByteArray::number(value.type));
            out.append(':');
            escapeInto(out, value.data, false);
            out.append('\n');
        }
    }
    return out;
}

bool parse(const QByteArray &text, RegistryStore::Hive *hive)
{
    hive->keys.clear();
    if (!text.endsWith('\n'))
        return false;  // empty or cut short: never a file we wrote
    QList<QByteArray> lines = text.split('\n');
    lines.removeLast();  // after the final '\n'
    if (lines.isEmpty() || lines.first() != kHeader)
        return false;
    RegistryStore::Hive::Key *current = nullptr;
    for (qsizetype n = 1; n < lines.size(); ++n) {
        const QByteArray &line = lines[n];
        if (line.startsWith('[')) {
            if (!line.endsWith(']') || line.size() < 3)
                return false;
            QByteArray path;
            const QList<QByteArray> parts = line.mid(1, line.size() - 2).split('\\');
            for (qsizetype i = 0; i < parts.size(); ++i) {
                QByteArray part;
                if (!unescape(parts[i], &part) || part.isEmpty() || part.contains('\\'))
                    return false;
                if (i)
                    path.append('\\');
                path.append(part);
            }
            current = hive->find(path);
            if (!current) {
                hive->keys.append({path, {}});
                current = &hive->keys.last();
            }
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        const qsizetype colon = line.indexOf(':', eq + 1);
        if (!current || eq < 0 || colon < 0)
            return false;
        RegistryStore::Value value;
        bool ok = false;
        value.type = line.mid(eq + 1, colon - eq - 1).toUInt(&ok);
        if (!ok || !unescape(QByteArrayView(line).first(eq), &value.name)
            || !unescape(QByteArrayView(line).sliced(colon + 1), &value.data))
            return false;
        current->values.append(value);
    }
    return true;
}

// --- file system ---------------------------------------------------------

bool readAll(int fd, QByteArray *out)
{
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out->append(buffer, n);
    }
}

bool writeAll(int fd, const QByteArray &data)
{
    const int error = FileAppend::writeAll(fd, data);
    if (error != 0)
        errno = error;
    return error == 0;
}

// mkdir -p, telling "a path component is a file" (3) from other failures.
qint32 makeFolders(const QByteArray &dir)
{
    QByteArray prefix;
    const QList<QByteArray> parts = dir.split('/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i)
            prefix.append('/');
        prefix.append(parts[i]);
        if (parts[i].isEmpty())
            continue;
        if (::mkdir(prefix.constData(), 0755) == 0)
            continue;
        const int e = errno;
        struct stat st;
        if (e == EEXIST && ::stat(prefix.constData(), &st) == 0) {
            if (S_ISDIR(st.st_mode))
                continue;
            return RegistryStore::PathNotFound;
        }
        return writeError(e);
    }
    return RegistryStore::Success;
}

void syncFolder(const QByteArray &dir)
{
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Removes temporary files that a writer left when it died before renaming.
// Called only under the exclusive lock, when no writer can be mid-write.
void removeStrayTemporaries(const QByteArray &dir, const QByteArray &prefix)
{
    DIR *d = ::opendir(dir.constData());
    if (!d)
        return;
    while (dirent *entry = ::readdir(d)) {
        if (std::strncmp(entry->d_name, prefix.constData(), size_t(prefix.size())) == 0)
            ::unlinkat(::dirfd(d), entry->d_name, 0);
    }
    ::closedir(d);
}

class LockFile {
public:
    explicit LockFile(const QByteArray &path)
    {
        // Read-only is enough for flock(2), and lets a user who may not
        // write the lock file still take it.
        m_fd = ::open(path.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0) {
            m_error = writeError(errno);
            return;
        }
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                m_error = RegistryStore::CantWrite;
                return;
            }
        }
    }
    ~LockFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);  // releases the lock
    }
    LockFile(const LockFile &) = delete;
    LockFile &operator=(const LockFile &) = delete;
    qint32 error() const { return m_error; }

private:
    int m_fd = -1;
    qint32 m_error = RegistryStore::Success;
};

// Splits a key path into components: a leading "\" or an empty component is
// a bad path; one trailing "\" is tolerated.
bool splitPath(QByteArrayView subKey, QList<QByteArray> *parts)
{
    parts->clear();
    if (subKey.isEmpty())
        return true;
    if (subKey.startsWith('\\'))
        return false;
    if (subKey.endsWith('\\'))
        subKey.chop(1);
    for (const QByteArray &part : subKey.toByteArray().split('\\')) {
        if (part.isEmpty())
            return false;
        parts->append(part);
    }
    return true;
}

// The path of the key that subKey names below the key at basePath, in
// basePath's spelling followed by subKey's components; false for a bad path.
bool joinKeyPath(const QByteArray &basePath, QByteArrayView subKey, QByteArray *path)
{
    QList<QByteArray> parts;
    if (!splitPath(subKey, &parts))
        return false;
    *path = basePath;
    for (const auto &part : parts) {
        if (!path->isEmpty())
            path->append('\\');
        path->append(part);
    }
    return true;
}

} // namespace

RegistryStore::Hive::Key *RegistryStore::Hive::find(QByteArrayView path)
{
    for (auto &key : keys) {
        if (sameName(key.path, path))
            return &key;
    }
    return nullptr;
}

RegistryStore::RegistryStore(const QString &directory) : m_directory(directory) {}

RegistryStore::~RegistryStore() = default;

RegistryStore &RegistryStore::machine()
{
    static RegistryStore store(AppPaths::registryDir());
    const QString dir = AppPaths::registryDir();
    if (store.directory() != dir)
        store.setDirectory(dir);
    return store;
}

QString RegistryStore::directory() const
{
    QMutexLocker lock(&m_mutex);
    return m_directory;
}

void RegistryStore::setDirectory(const QString &directory)
{
    QMutexLocker lock(&m_mutex);
    m_directory = directory;
}

QString RegistryStore::hiveFilePath(HKEY hive) const
{
    const char *name = hiveName(hive);
    if (!name)
        return QString();
    return directory() + u'/' + QLatin1String(name) + QStringLiteral(".reg");
}

void RegistryStore::setBeforeCommitHook(std::function<void()> hook)
{
    m_beforeCommit = std::move(hook);
}

bool RegistryStore::resolve(HKEY key, OpenKey *out) const
{
    if (hiveName(key)) {
        *out = {key, QByteArray(), KEY_ALL_ACCESS};
        return true;
    }
    QMutexLocker lock(&m_mutex);
    const auto it = m_handles.constFind(key);
    if (it == m_handles.cend())
        return false;
    *out = *it;
    return true;
}

HKEY RegistryStore::addHandle(const OpenKey &key)
{
    QMutexLocker lock(&m_mutex);
    // Handle numbers stay far below the hive constants (0x80000000...).
    HKEY h = m_nextHandle;
    while (h == 0 || hiveName(h) || m_handles.contains(h))
        h = (h + 1) & 0x7FFFFFFF;
    m_nextHandle = (h + 1) & 0x7FFFFFFF;
    m_handles.insert(h, key);
    return h;
}

qint32 RegistryStore::readHive(HKEY hive, Hive *out) const
{
    out->keys.clear();
    out->dirty = false;
    const QByteArray path = QFile::encodeName(hiveFilePath(hive));
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return Success;  // no store yet: an empty hive
        return readError(errno);
    }
    QByteArray text;
    const bool ok = readAll(fd, &text);
    const int e = errno;
    ::close(fd);
    if (!ok)
        return e == EISDIR ? CantRead : readError(e);
    return parse(text, out) ? Success : BadDb;
}

qint32 RegistryStore::modifyHive(HKEY hive, const std::function<qint32(Hive &)> &change)
{
    const QByteArray dir = QFile::encodeName(directory());
    if (const qint32 rc = makeFolders(dir))
        return rc;
    const QByteArray base = hiveName(hive);
    LockFile lock(dir + '/' + base + ".lock");
    if (lock.error())
        return lock.error();

    Hive current;
    if (const qint32 rc = readHive(hive, &current))
        return rc;  // a corrupt file is never overwritten
    if (const qint32 rc = change(current))
        return rc;
    if (!current.dirty)
        return Success;

    const QByteArray tempPrefix = '.' + base + ".reg.";
    removeStrayTemporaries(dir, tempPrefix);

    QByteArray tempPath = dir + '/' + tempPrefix + "XXXXXX";
    const int fd = ::mkostemp(tempPath.data(), O_CLOEXEC);
    if (fd < 0)
        return writeError(errno);
    const QByteArray text = serialize(current);
    if (::fchmod(fd, 0644) != 0 || !writeAll(fd, text) || ::fsync(fd) != 0) {
        const int e = errno;
        ::close(fd);
        ::unlink(tempPath.constData());
        return writeError(e);
    }
    if (::close(fd) != 0) {
        const int e = errno;
        ::unlink(tempPath.constData());
        return writeError(e);
    }
    if (m_beforeCommit)
        m_beforeCommit();
    const QByteArray finalPath = dir + '/' + base + ".reg";
    if (::rename(tempPath.constData(), finalPath.constData()) != 0) {
        const int e = errno;
        ::unlink(tempPath.constData());
        return writeError(e);
    }
    syncFolder(dir);
    return Success;
}

qint32 RegistryStore::openKey(HKEY key, QByteArrayView subKey, quint32 access, HKEY *result)
{
    if (!result)
        return InvalidParameter;
    *result = 0;
    OpenKey base;
    if (!resolve(key, &base))
        return InvalidHandle;
    QByteArray path;
    if (!joinKeyPath(base.path, subKey, &path))
        return BadPathname;
    Hive hive;
    if (const qint32 rc = readHive(base.hive, &hive))
        return rc;
    if (!path.isEmpty()) {
        const Hive::Key *found = hive.find(path);
        if (!found)
            return FileNotFound;
        path = found->path;
    }
    *result = addHandle({base.hive, path, access});
    return Success;
}

qint32 RegistryStore::createKey(HKEY key, QByteArrayView subKey, QByteArrayView className,
                                quint32 options, quint32 access, HKEY *result,
                                quint32 *disposition)
{
    Q_UNUSED(className);  // kept by the registry, read by nobody here
    Q_UNUSED(options);    // every key is non-volatile: it is on disk
    if (!result)
        return InvalidParameter;
    *result = 0;
    OpenKey base;
    if (!resolve(key, &base))
        return InvalidHandle;
    QByteArray wanted;
    if (!joinKeyPath(base.path, subKey, &wanted))
        return BadPathname;

    QByteArray canonical = wanted;
    bool created = false;
    auto findOrCreate = [&](Hive &hive) -> qint32 {
        if (!base.path.isEmpty() && !hive.find(base.path))
            return KeyDeleted;
        QByteArray prefix;
        for (const auto &part : wanted.split('\\')) {
            if (wanted.isEmpty())
                break;
            const QByteArray candidate = prefix.isEmpty() ? part : prefix + '\\' + part;
            if (const Hive::Key *k = hive.find(candidate)) {
                prefix = k->path;
            } else {
                hive.keys.append({candidate, {}});
                hive.dirty = true;
                created = true;
                prefix = candidate;
            }
        }
        canonical = prefix;
        return Success;
    };

    // Most calls find the key already there: read without the lock first and
    // write only when something is missing.
    Hive hive;
    qint32 rc = readHive(base.hive, &hive);
    if (rc == Success)
        rc = findOrCreate(hive);
    if (rc == Success && created) {
        created = false;
        rc = modifyHive(base.hive, findOrCreate);
    }
    if (rc != Success)
        return rc;
    if (disposition)
        *disposition = created ? CreatedNewKey : OpenedExistingKey;
    *result = addHandle({base.hive, canonical, access});
    return Success;
}

qint32 RegistryStore::queryValue(HKEY key, QByteArrayView valueName, quint32 *type, char *data,
                                 quint32 *size)
{
    OpenKey k;
    if (!resolve(key, &k))
        return InvalidHandle;
    if (data && !size)
        return InvalidParameter;
    if (!(k.access & KEY_QUERY_VALUE))
        return AccessDenied;
    Hive hive;
    if (const qint32 rc = readHive(k.hive, &hive))
        return rc;
    const Hive::Key *found = k.path.isEmpty() ? nullptr : hive.find(k.path);
    if (!k.path.isEmpty() && !found)
        return KeyDeleted;
    const Value *value = nullptr;
    if (found) {
        for (const auto &v : found->values) {
            if (sameName(v.name, valueName)) {
                value = &v;
                break;
            }
        }
    }
    if (!value)
        return FileNotFound;
    if (type)
        *type = value->type;
    const auto needed = static_cast<quint32>(value->data.size());
    if (!data) {
        if (size)
            *size = needed;
        return Success;
    }
    if (*size < needed) {
        *size = needed;
        return MoreData;
    }
    std::memcpy(data, value->data.constData(), needed);
    *size = needed;
    return Success;
}

qint32 RegistryStore::setValue(HKEY key, QByteArrayView valueName, quint32 type,
                               QByteArrayView data)
{
    OpenKey k;
    if (!resolve(key, &k))
        return InvalidHandle;
    if (!(k.access & KEY_SET_VALUE))
        return AccessDenied;
    if (k.path.isEmpty())
        return AccessDenied;  // a hive's root holds no values
    return modifyHive(k.hive, [&](Hive &hive) -> qint32 {
        Hive::Key *found = hive.find(k.path);
        if (!found)
            return KeyDeleted;
        for (auto &v : found->values) {
            if (sameName(v.name, valueName)) {
                if (v.type != type || v.data != data) {
                    v.type = type;
                    v.data = data.toByteArray();
                    hive.dirty = true;
                }
                return Success;
            }
        }
        found->values.append({valueName.toByteArray(), type, data.toByteArray()});
        hive.dirty = true;
        return Success;
    });
}

qint32 RegistryStore::flushKey(HKEY key)
{
    OpenKey k;
    return resolve(key, &k) ? Success : InvalidHandle;
}

qint32 RegistryStore::closeKey(HKEY key)
{
    if (hiveName(key))
        return Success;
    QMutexLocker lock(&m_mutex);
    return m_handles.remove(key) ? Success : InvalidHandle;
}

qint32 RegistryStore::enumValues(HKEY key, QList<Value> *values)
{
    values->clear();
    OpenKey k;
    if (!resolve(key, &k))
        return InvalidHandle;
    if (!(k.access & KEY_QUERY_VALUE))
        return AccessDenied;
    Hive hive;
    if (const qint32 rc = readHive(k.hive, &hive))
        return rc;
    if (k.path.isEmpty())
        return Success;
    const Hive::Key *found = hive.find(k.path);
    if (!found)
        return KeyDeleted;
    *values = found->values;
    return Success;
}
