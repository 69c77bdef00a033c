#include "tech/TarGzWriter.h"

#include <QIODevice>

#include <zlib.h>

#include <cstring>

namespace {

constexpr qsizetype kBlock = 512;
constexpr qsizetype kNameField = 100;
constexpr qsizetype kPrefixField = 155;

// ustar header offsets and sizes (POSIX.1-1988).
constexpr qsizetype kName = 0;
constexpr qsizetype kMode = 100;      // 8
constexpr qsizetype kUid = 108;       // 8
constexpr qsizetype kGid = 116;       // 8
constexpr qsizetype kSize = 124;      // 12
constexpr qsizetype kMtime = 136;     // 12
constexpr qsizetype kChecksum = 148;  // 8
constexpr qsizetype kTypeFlag = 156;  // 1
constexpr qsizetype kMagic = 257;     // 6 "ustar\0", then version "00"
constexpr qsizetype kPrefix = 345;

// An octal number in a field of `width` bytes: width - 1 digits, then NUL.
bool putOctal(QByteArray &block, qsizetype at, qsizetype width, quint64 value)
{
    for (qsizetype i = width - 2; i >= 0; --i) {
        block[at + i] = char('0' + (value & 7));
        value >>= 3;
    }
    block[at + width - 1] = '\0';
    return value == 0;  // the number fitted
}

} // namespace

struct TarGzWriter::Stream {
    z_stream z{};
    bool open = false;
    ~Stream()
    {
        if (open)
            deflateEnd(&z);
    }
};

TarGzWriter::TarGzWriter(QIODevice &out) : m_out(out), m_stream(std::make_unique<Stream>())
{
    // windowBits 15 + 16: a gzip wrapper (header and CRC-32 trailer) instead
    // of zlib's own.
    m_stream->open = deflateInit2(&m_stream->z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8,
                                  Z_DEFAULT_STRATEGY)
                     == Z_OK;
    m_failed = !m_stream->open;
}

TarGzWriter::~TarGzWriter() = default;

QByteArray TarGzWriter::header(const QString &name, qint64 size, const QDateTime &modified, int mode,
                               bool *ok)
{
    QByteArray block(kBlock, '\0');
    *ok = false;
    const QByteArray utf8 = name.toUtf8();
    if (utf8.isEmpty() || utf8.startsWith('/') || size < 0)
        return block;
    QByteArray prefix;
    QByteArray base = utf8;
    if (utf8.size() > kNameField) {
        // Split at the last '/' that leaves both parts within their fields.
        qsizetype cut = -1;
        for (qsizetype i = utf8.size() - 1; i > 0; --i) {
            if (utf8[i] == '/' && i <= kPrefixField && utf8.size() - i - 1 <= kNameField
                && utf8.size() - i - 1 > 0) {
                cut = i;
                break;
            }
        }
        if (cut < 0)
            return block;
        prefix = utf8.first(cut);
        base = utf8.sliced(cut + 1);
    }
    std::memcpy(block.data() + kName, base.constData(), size_t(base.size()));
    std::memcpy(block.data() + kPrefix, prefix.constData(), size_t(prefix.size()));
    const qint64 seconds = qMax<qint64>(0, modified.toSecsSinceEpoch());
    if (!putOctal(block, kMode, 8, quint64(mode & 07777)) || !putOctal(block, kUid, 8, 0)
        || !putOctal(block, kGid, 8, 0) || !putOctal(block, kSize, 12, quint64(size))
        || !putOctal(block, kMtime, 12, quint64(seconds)))
        return block;
    block[kTypeFlag] = '0';
    std::memcpy(block.data() + kMagic, "ustar\0" "00", 8);
    // The checksum is the byte sum with the checksum field read as blanks,
    // written as six octal digits, NUL, blank.
    std::memset(block.data() + kChecksum, ' ', 8);
    quint32 sum = 0;
    for (char c : block)
        sum += static_cast<unsigned char>(c);
    putOctal(block, kChecksum, 7, sum);
    block[kChecksum + 7] = ' ';
    *ok = true;
    return block;
}

bool TarGzWriter::deflate(const char *data, qsizetype size, bool last)
{
    if (m_failed)
        return false;
    z_stream &z = m_stream->z;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
    z.avail_in = uInt(size);
    char buffer[65536];
    int rc = Z_OK;
    do {
        z.next_out = reinterpret_cast<Bytef *>(buffer);
        z.avail_out = sizeof buffer;
        rc = ::deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        if (rc == Z_STREAM_ERROR) {
            m_failed = true;
            return false;
        }
        const qint64 produced = qint64(sizeof buffer - z.avail_out);
        if (produced > 0 && m_out.write(buffer, produced) != produced) {
            m_failed = true;
            return false;
        }
    } while (z.avail_out == 0 || (last && rc != Z_STREAM_END));
    return true;
}

bool TarGzWriter::addFile(const QString &name, const QByteArray &data, const QDateTime &modified,
                          int mode)
{
    if (m_failed || m_finished)
        return false;
    bool ok = false;
    const QByteArray block = header(name, data.size(), modified, mode, &ok);
    if (!ok)
        return false;  // the name cannot be stored: the archive stays usable
    // zlib takes at most 4 GiB per call: feed large members in slices.
    constexpr qsizetype kSlice = qsizetype(1) << 30;
    if (!deflate(block.constData(), block.size(), false))
        return false;
    for (qsizetype at = 0; at < data.size(); at += kSlice) {
        if (!deflate(data.constData() + at, qMin(kSlice, data.size() - at), false))
            return false;
    }
    const qsizetype padding = (kBlock - data.size() % kBlock) % kBlock;
    const QByteArray zeros(padding, '\0');
    return deflate(zeros.constData(), zeros.size(), false);
}

bool TarGzWriter::finish()
{
    if (m_finished)
        return !m_failed;
    m_finished = true;
    const QByteArray end(2 * kBlock, '\0');
    return deflate(end.constData(), end.size(), true);
}
