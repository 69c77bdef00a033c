#include "common/TillLock.h"

#include "common/Helpers.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

TillLock::~TillLock()
{
    ::close(m_fd);   // drops the flock
}

std::unique_ptr<TillLock> TillLock::acquire(const QString &storeDir, Result *result, QString *errorText)
{
    auto failed = [&](int err) {
        *result = Result::Unusable;
        if (errorText)
            *errorText = QString::fromLocal8Bit(std::strerror(err));
        return nullptr;
    };
    QDir().mkpath(storeDir);
    const QByteArray path = QFile::encodeName(JoinPath(storeDir, QStringLiteral("Tellar.lock")));
    // Every cashier of the till must be able to take it: group-writable, as
    // the store is.
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0664);
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failed(errno);
    ::fchmod(fd, 0664);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK) {
            *result = Result::Busy;
            return nullptr;
        }
        return failed(err);
    }
    *result = Result::Taken;
    return std::unique_ptr<TillLock>(new TillLock(fd));
}
