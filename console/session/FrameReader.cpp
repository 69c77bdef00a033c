#include "session/FrameReader.h"

#include "common/Bytes.h"
#include "common/Helpers.h"
#include "session/VaroMessages.h"

#include <VaroFrameFormat.h>
#include <VaroManager.h>

#include <QString>
#include <QtEndian>

#include <string>

FrameReader::FrameReader(QByteArray &buffer) : m_buffer(buffer) {}

void FrameReader::setAddress(const QByteArray &pos, qint32 session)
{
    m_pos = pos;
    m_session = session;
}

FrameReader::Step FrameReader::next(VaroManager &message)
{
    if (m_buffer.isEmpty())
        return {};
    if (uchar(m_buffer[0]) != VaroFrame::kStartByte)
        return dropToStartByte();

    message.Reset();
    Step step = takeFrame(message);
    if (step.kind != Kind::Frame)
        return step;

    const auto field = [&message](qint16 id) {
        return Bytes::fromStd(message.GetFieldData(id, Bytes::toStd(VaroMsg::kNoPosOrSession)));
    };
    if (field(VaroMsg::kFieldPos) != m_pos)
        return {Kind::Dropped, Drop::OtherPos, step.consumed};
    const QString sessionText = QString::fromLatin1(field(VaroMsg::kFieldSession));
    if (!IsNumericText(sessionText) || sessionText.trimmed().toDouble() != double(m_session))
        return {Kind::Dropped, Drop::OtherSession, step.consumed};
    return step;
}

// Bytes in front of the buffer that cannot begin a frame would stay there
// for good, and every frame behind them with them, until the session timed
// out.
FrameReader::Step FrameReader::dropToStartByte()
{
    const qsizetype next = m_buffer.indexOf(char(VaroFrame::kStartByte));
    const qsizetype dropped = next < 0 ? m_buffer.size() : next;
    m_buffer.remove(0, dropped);
    return {Kind::Dropped, Drop::NoStartByte, dropped};
}

// ProcessMessage on the front of the buffer, with its results and its effect
// on the buffer, without copying the whole buffer for every frame: a report
// answer arrives in many reads, and a buffer may hold many frames. A frame
// whose header is sound is cut off alone (ProcessMessage would leave the
// same remainder) or, while incomplete, left waiting untouched; anything else
// goes to ProcessMessage whole. Cutting the front of a QByteArray does not
// move the rest.
FrameReader::Step FrameReader::takeFrame(VaroManager &message)
{
    const qsizetype before = m_buffer.size();
    qint16 result = VaroManager::Incomplete;
    if (before >= qsizetype(VaroFrame::kOverhead)) {
        const qint64 bodyLength = qint32(qFromLittleEndian<quint32>(m_buffer.constData() + VaroFrame::kStartSize));
        if (bodyLength >= 0 && bodyLength <= VaroFrame::kMaxBodyLength) {
            const qint64 frameSize = bodyLength + qint64(VaroFrame::kOverhead);
            if (before < frameSize)
                return {};
            std::string frame(m_buffer.constData(), std::size_t(frameSize));
            std::string remainder;
            result = message.ProcessMessage(frame, remainder);
            m_buffer.remove(0, qsizetype(frameSize) - qsizetype(remainder.size()));
            return {result == VaroManager::Parsed ? Kind::Frame : Kind::Dropped,
                    result == VaroManager::Parsed ? Drop::None : Drop::Unparsable, before - m_buffer.size()};
        }
    }
    std::string whole = Bytes::toStd(m_buffer);
    std::string remainder;
    result = message.ProcessMessage(whole, remainder);
    if (result == VaroManager::Incomplete)
        return {};
    m_buffer = Bytes::fromStd(remainder);
    return {result == VaroManager::Parsed ? Kind::Frame : Kind::Dropped,
            result == VaroManager::Parsed ? Drop::None : Drop::Unparsable, before - m_buffer.size()};
}
