#include "common/FileAppend.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace FileAppend {

int writeAll(int fd, QByteArrayView data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return ENOSPC;
        done += n;
    }
    return 0;
}

int append(const QString &path, QByteArrayView data, int mode, QString *errorText)
{
    if (data.isEmpty())
        return 0;
    const auto failed = [errorText](int error) {
        if (errorText)
            *errorText = QString::fromLocal8Bit(std::strerror(error));
        return error;
    };
    const QByteArray nativePath = QFile::encodeName(path);
    const int fd = ::open(nativePath.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, mode);
    if (fd < 0)
        return failed(errno);
    const int written = writeAll(fd, data);
    if (::close(fd) != 0 && written == 0 && errno != EINTR)
        return failed(errno);
    return written == 0 ? 0 : failed(written);
}

} // namespace FileAppend
