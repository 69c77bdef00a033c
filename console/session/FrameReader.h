// FrameReader: the receive side of a session. Bytes the server sent go into
// a buffer; whole frames of this console and this session come out, one at a
// time, in arrival order.
//
// A frame is the start byte, a 4-byte little-endian body length, the body
// and the check byte (VaroFrameFormat.h). What cannot be taken is dropped and
// never holds up the frames behind it:
//   - bytes in front of the buffer that cannot begin a frame (no start byte),
//     up to the next start byte, or all of them when there is none;
//   - a frame that does not parse (bad check byte, a broken field);
//   - a frame for another POS, or for another session of this one.
// A frame whose header announces more bytes than the buffer holds waits,
// untouched, for the rest.
//
// The buffer is the caller's (PaymentSession::ReceiveBuffer) and is read
// afresh at every step: the caller's handlers may append to it or empty it
// between two steps.
#pragma once

#include <QByteArray>
#include <QtGlobal>

class VaroManager;

class FrameReader {
public:
    enum class Kind {
        Frame,      // a frame of this console and session is in `message`
        Dropped,    // bytes were dropped (see `reason`)
        NeedMore,   // the buffer is empty or holds the front of a frame
    };
    enum class Drop {
        None,
        NoStartByte,    // bytes before the next start byte
        Unparsable,     // a frame (or what posed as one) the codec refused
        OtherPos,       // field 2 is not this console's POS identifier
        OtherSession,   // field 3 is not this session's number
    };
    struct Step {
        Kind kind = Kind::NeedMore;
        Drop reason = Drop::None;
        // Bytes taken off the front of the buffer by this step.
        qsizetype consumed = 0;
    };

    explicit FrameReader(QByteArray &buffer);

    // The address frames must carry: the POS identifier in the console code
    // page and the session number (compared by value, as the server may pad
    // it differently).
    void setAddress(const QByteArray &pos, qint32 session);

    // One step from the front of the buffer; `message` holds the frame when
    // the step is a Frame (and anything when it is not).
    Step next(VaroManager &message);

private:
    Step dropToStartByte();
    Step takeFrame(VaroManager &message);

    QByteArray &m_buffer;
    QByteArray m_pos;
    qint32 m_session = 0;
};
