#include "VaroManager.h"

#include "VaroFrameFormat.h"

#include <cstring>
#include <string_view>
#include <utility>

namespace {

using namespace VaroFrame;

// Field IDs are 16-bit, so the index is a direct table over all 65,536 IDs:
// one step per look-up whatever IDs a peer chooses (a hash could be driven
// into long probe chains). Its 128 KiB only pay off for large tables; up to
// this many entries a scan is about as fast and costs nothing, and the
// console's own requests and answers stay below it (report answers do not).
constexpr std::size_t kScanLimit = 64;
constexpr std::size_t kIdSpace = 65536;

void EncodeInt16(int16_t value, char *out)
{
    const auto v = static_cast<uint16_t>(value);
    out[0] = static_cast<char>(v & 0xFF);
    out[1] = static_cast<char>(v >> 8);
}

void EncodeInt32(int32_t value, char *out)
{
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Like the console's own decoders: 0 unless the input has exactly the size.
int16_t DecodeInt16(std::string_view bytes)
{
    if (bytes.size() != 2)
        return 0;
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    return static_cast<int16_t>(static_cast<uint16_t>(b0 | (b1 << 8)));
}

int32_t DecodeInt32(std::string_view bytes)
{
    if (bytes.size() != 4)
        return 0;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[i]);
    return static_cast<int32_t>(v);
}

// XOR of every byte, eight at a time: the order of the bytes does not matter
// to XOR, so folding the 64-bit lanes at the end gives the byte-wise result.
unsigned char XorChecksum(const char *data, std::size_t size)
{
    uint64_t wide = 0;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        std::memcpy(&word, data + i, 8);
        wide ^= word;
    }
    unsigned char c = 0;
    for (int lane = 0; lane < 8; ++lane)
        c ^= static_cast<unsigned char>(wide >> (8 * lane));
    for (; i < size; ++i)
        c ^= static_cast<unsigned char>(data[i]);
    return c;
}

} // namespace

VaroManager::VaroManager()
{
    Reset();
}

VaroManager::~VaroManager()
{
    Reset();
}

void VaroManager::setProcessEvents(EventHook hook)
{
    m_processEvents = std::move(hook);
}

uint8_t VaroManager::getProtocolVersion() const
{
    return 1;
}

void VaroManager::Reset()
{
    m_fields.clear();
    m_positionById = {};
}

int16_t VaroManager::AddField(int16_t FieldID, const std::string &FieldData)
{
    return appendField(FieldID, FieldData.data(), FieldData.size());
}

// The one place where entries are added, so the index never falls out of step
// with the table. Callers see the same results as a scan from position 1:
// there is never a second entry with an ID, so "first occurrence wins" holds
// trivially.
int16_t VaroManager::appendField(int16_t FieldID, const char *data, std::size_t size)
{
    if (FieldExists(FieldID))
        return FieldIdExists;
    if (m_fields.size() >= static_cast<std::size_t>(kMaxFieldCount))
        return FieldTableFull;

    m_fields.push_back(FieldRecord{FieldID, std::string(data, size)});
    const auto position = static_cast<uint16_t>(m_fields.size());
    if (!m_positionById.empty()) {
        m_positionById[static_cast<uint16_t>(FieldID)] = position;
    } else if (m_fields.size() > kScanLimit) {
        m_positionById.assign(kIdSpace, 0);
        for (std::size_t i = 0; i < m_fields.size(); ++i)
            m_positionById[static_cast<uint16_t>(m_fields[i].FieldID)] = static_cast<uint16_t>(i + 1);
    }
    return FieldAdded;
}

void VaroManager::UpdateField(int16_t FieldID, const std::string &FieldData)
{
    const int16_t position = getFieldIndex(FieldID);
    if (position > 0)
        m_fields[position - 1].FieldData = FieldData;
    else
        appendField(FieldID, FieldData.data(), FieldData.size());
}

std::string VaroManager::GetFieldData(int16_t FieldID, const std::string &Default) const
{
    const int16_t position = getFieldIndex(FieldID);
    return position > 0 ? m_fields[position - 1].FieldData : Default;
}

std::string VaroManager::GetFieldDataByIndex(int16_t FieldIndex, const std::string &Default) const
{
    if (FieldIndex < 1 || FieldIndex > getFieldCount())
        return Default;
    return m_fields[FieldIndex - 1].FieldData;
}

int16_t VaroManager::GetFieldIDByIndex(int16_t FieldIndex) const
{
    if (FieldIndex < 1 || FieldIndex > getFieldCount())
        return -1;
    return m_fields[FieldIndex - 1].FieldID;
}

int16_t VaroManager::getFieldIndex(int16_t FieldID) const
{
    if (!m_positionById.empty()) {
        const uint16_t position = m_positionById[static_cast<uint16_t>(FieldID)];
        return position ? static_cast<int16_t>(position) : int16_t(-1);
    }
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].FieldID == FieldID)
            return static_cast<int16_t>(i + 1);
    }
    return -1;
}

bool VaroManager::FieldExists(int16_t FieldID) const
{
    return getFieldIndex(FieldID) > 0;
}

int16_t VaroManager::getFieldCount() const
{
    return static_cast<int16_t>(m_fields.size());
}

// Appends the field records. The hook may run host code; the loop re-reads
// the table's size on every step so that even a hook that breaks its contract
// and changes this object cannot make it read past the end.
void VaroManager::serializeFields(std::string &out, bool MakeDoEvents) const
{
    char header[kRecordHeaderSize];
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (MakeDoEvents && m_processEvents) {
            m_processEvents();
            if (i >= m_fields.size())
                break;
        }
        const FieldRecord &field = m_fields[i];
        EncodeInt16(field.FieldID, header);
        EncodeInt32(static_cast<int32_t>(field.FieldData.size()), header + kFieldIdSize);
        out.append(header, kRecordHeaderSize);
        out.append(field.FieldData);
    }
}

std::string VaroManager::GetOutput(bool DoCRC, bool MakeDoEvents) const
{
    // The exact frame size is known up front, so the frame is built in one
    // allocation rather than in growing steps.
    int64_t bodySize = 0;
    for (const FieldRecord &field : m_fields)
        bodySize += static_cast<int64_t>(kRecordHeaderSize + field.FieldData.size());
    if (bodySize > kMaxBodyLength)
        return {};

    std::string frame;
    frame.reserve(static_cast<std::size_t>(bodySize) + kOverhead);
    frame.push_back(static_cast<char>(kStartByte));
    frame.append(kLengthSize, '\0');
    serializeFields(frame, MakeDoEvents);

    // L is taken from what was written, so the frame stays self-consistent.
    // A table grown past the limit by a misbehaving hook gets no frame.
    const std::size_t body = frame.size() - kHeaderSize;
    if (static_cast<int64_t>(body) > kMaxBodyLength)
        return {};
    EncodeInt32(static_cast<int32_t>(body), frame.data() + kStartSize);

    frame.push_back(static_cast<char>(DoCRC ? XorChecksum(frame.data(), frame.size()) : kUncheckedByte));
    return frame;
}

int16_t VaroManager::ProcessMessage(std::string &Msg, std::string &Remainder)
{
    // Results 1 and 3 consume nothing. An incomplete frame is not an error:
    // TCP delivers a frame in whatever pieces it likes, and the caller keeps
    // Remainder and calls again when more bytes have arrived.
    const auto keepAll = [&](int16_t result) {
        if (&Remainder != &Msg)
            Remainder = Msg;
        return result;
    };
    if (Msg.size() < kOverhead)
        return keepAll(Incomplete);
    if (static_cast<unsigned char>(Msg[0]) != kStartByte)
        return keepAll(NoStartByte);

    // Computed in 64 bits: L + 6 must not wrap. A negative or overflowing L
    // describes no frame at all; see BadLength for why all of Msg goes. A
    // large but representable L only waits for more bytes: nothing is ever
    // reserved by a length read from the wire.
    const int64_t bodyLength = DecodeInt32(std::string_view(Msg).substr(kStartSize, kLengthSize));
    if (bodyLength < 0 || bodyLength > kMaxBodyLength) {
        Remainder.clear();
        return BadLength;
    }
    const auto frameLength = static_cast<std::size_t>(bodyLength) + kOverhead;
    if (Msg.size() < frameLength)
        return keepAll(Incomplete);

    // From here on the frame is consumed whatever its content; a bad frame is
    // dropped and the caller goes on with the bytes after it.
    const int16_t result = parseFrame(std::string_view(Msg).substr(0, frameLength));
    if (&Remainder == &Msg) {
        Msg.erase(0, frameLength);
    } else {
        Remainder.assign(Msg, frameLength);
        Msg.resize(frameLength);
    }
    return result;
}

int16_t VaroManager::parseFrame(std::string_view frame)
{
    // A check byte of 0x2C means the sender did not compute one: accepted
    // untested, as every peer of the protocol does.
    const std::size_t checkAt = frame.size() - kCheckSize;
    const auto check = static_cast<unsigned char>(frame[checkAt]);
    if (check != kUncheckedByte && check != XorChecksum(frame.data(), checkAt))
        return BadCheckByte;

    std::size_t p = kHeaderSize;
    while (p != checkAt) {
        if (checkAt - p < kRecordHeaderSize)
            return ShortRecord;
        const int16_t id = DecodeInt16(frame.substr(p, kFieldIdSize));
        const int32_t n = DecodeInt32(frame.substr(p + kFieldIdSize, kFieldLengthSize));
        const std::size_t q = p + kRecordHeaderSize;
        // A negative n would step backwards through the body; it is as
        // malformed as one that runs past the end.
        if (n < 0 || static_cast<std::size_t>(n) > checkAt - q)
            return DataOverrun;
        const int16_t added = appendField(id, frame.data() + q, static_cast<std::size_t>(n));
        if (added == FieldIdExists)
            return DuplicateId;
        if (added == FieldTableFull)
            return TooManyFields;
        p = q + static_cast<std::size_t>(n);
    }
    return Parsed;
}
