// TarGzWriter: a gzip-compressed tar archive (POSIX ustar), written in one
// pass to an open device, for the support bundle. Only regular files: each
// member is a name, its bytes, a mode and a modification time; owner and
// group are 0 and unnamed, so the archive does not tell who made it.
//
// Names are UTF-8, relative ("folder/file"), at most 100 bytes, or 255 when
// they can be split at a '/' into ustar's prefix (155) and name (100); a
// longer name is refused. Members are at most 8 GiB - 1 (the octal size
// field). Every member is 512-byte blocks; finish() writes the two zero
// blocks that end the archive and the gzip trailer.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <memory>

class QIODevice;

class TarGzWriter {
public:
    // `out` must be open for writing and outlive the writer.
    explicit TarGzWriter(QIODevice &out);
    ~TarGzWriter();
    TarGzWriter(const TarGzWriter &) = delete;
    TarGzWriter &operator=(const TarGzWriter &) = delete;

    // False when the name cannot be stored or the device refused bytes;
    // after a failure the archive is not usable.
    bool addFile(const QString &name, const QByteArray &data, const QDateTime &modified,
                 int mode = 0644);
    bool finish();

    // The ustar header block of one member (exposed for tests).
    static QByteArray header(const QString &name, qint64 size, const QDateTime &modified, int mode,
                             bool *ok);

private:
    bool deflate(const char *data, qsizetype size, bool last);

    struct Stream;
    QIODevice &m_out;
    std::unique_ptr<Stream> m_stream;
    bool m_failed = false;
    bool m_finished = false;
};
