// Bytes: the one home of the adapters between the codec's byte strings
// (std::string), Qt's (QByteArray) and the wire's number fields.
//
// The codec library (VaroMgr) and the simulator speak std::string; the
// console speaks QByteArray. Both hold bytes, never text: no conversion here
// looks at an encoding.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <string>

class VaroManager;

namespace Bytes {

inline QByteArray fromStd(const std::string &s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

inline std::string toStd(QByteArrayView b)
{
    return std::string(b.data(), std::size_t(b.size()));
}

// The data of a message's field, or `absent` when it has no such field.
QByteArray field(const VaroManager &message, qint16 id, QByteArrayView absent = {});

} // namespace Bytes

// Little-endian raw bytes of Varo number fields. The decoders give 0 unless
// the input has exactly 4 (Int32) or 8 (Double) bytes.
QByteArray EncodeInt32(qint32 value);
qint32 DecodeInt32(QByteArrayView bytes);
QByteArray EncodeDouble(double value);
double DecodeDouble(QByteArrayView bytes);

namespace Bytes {

// The same number fields as the codec's byte strings (the simulator's).
inline std::string int32Field(qint32 value)
{
    return toStd(EncodeInt32(value));
}
inline std::string doubleField(double value)
{
    return toStd(EncodeDouble(value));
}

} // namespace Bytes
