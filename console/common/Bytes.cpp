#include "common/Bytes.h"

#include <VaroManager.h>

#include <cstring>

namespace Bytes {

QByteArray field(const VaroManager &message, qint16 id, QByteArrayView absent)
{
    return fromStd(message.GetFieldData(id, toStd(absent)));
}

} // namespace Bytes

QByteArray EncodeInt32(qint32 value)
{
    const auto u = static_cast<quint32>(value);
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
    return out;
}

qint32 DecodeInt32(QByteArrayView bytes)
{
    if (bytes.size() != 4)
        return 0;
    quint32 u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<quint32>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    return static_cast<qint32>(u);
}

QByteArray EncodeDouble(double value)
{
    quint64 u = 0;
    static_assert(sizeof(u) == sizeof(value));
    std::memcpy(&u, &value, sizeof(u));
    QByteArray out(8, '\0');
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
    return out;
}

double DecodeDouble(QByteArrayView bytes)
{
    if (bytes.size() != 8)
        return 0;
    quint64 u = 0;
    for (int i = 0; i < 8; ++i)
        u |= static_cast<quint64>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    double v = 0;
    std::memcpy(&v, &u, sizeof(v));
    return v;
}
