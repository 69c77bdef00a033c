// The session's receive side with no socket: the fuzzer's bytes arrive in
// reads of the sizes it chooses, and after every read the reader is stepped
// as the session steps it. What every step promises:
//  - it takes bytes off the front of the buffer, and only a NeedMore takes
//    none (so the loop always ends);
//  - every byte that arrived is either taken by exactly one step or still
//    in the buffer: nothing is lost and nothing is counted twice;
//  - after a NeedMore the buffer is empty or begins with the start byte and
//    is shorter than the frame its header announces (or than a header);
//  - a Frame carries this console's POS identifier and this session's
//    number, and a Dropped step names its reason.
//
// Input: one byte for the session number's low bits, then chunks of
// [length byte][that many bytes].
#include "FuzzSupport.h"

#include "common/Bytes.h"
#include "common/Helpers.h"
#include "session/FrameReader.h"
#include "session/VaroMessages.h"

#include <VaroFrameFormat.h>
#include <VaroManager.h>

#include <QtEndian>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    using Fuzz::require;
    Fuzz::Reader in(data, size);
    const QByteArray pos = "00000000";
    const qint32 session = 1 + in.byte() % 8;

    QByteArray buffer;
    FrameReader reader(buffer);
    reader.setAddress(pos, session);
    qsizetype arrived = 0;
    qsizetype taken = 0;
    while (!in.atEnd()) {
        const QByteArray chunk = in.bytes(in.byte());
        buffer += chunk;
        arrived += chunk.size();
        for (;;) {
            VaroManager message;
            const qsizetype before = buffer.size();
            const FrameReader::Step step = reader.next(message);
            require(step.consumed == before - buffer.size(), "a step reports the bytes it took");
            require(buffer.size() <= before, "a step never adds bytes");
            taken += step.consumed;
            if (step.kind == FrameReader::Kind::NeedMore) {
                require(step.consumed == 0, "NeedMore takes nothing");
                if (!buffer.isEmpty()) {
                    require(uchar(buffer[0]) == VaroFrame::kStartByte, "a waiting buffer begins a frame");
                    if (buffer.size() >= qsizetype(VaroFrame::kOverhead)) {
                        const qint64 body = qint32(qFromLittleEndian<quint32>(buffer.constData() + 1));
                        require(body >= 0 && buffer.size() < body + qint64(VaroFrame::kOverhead),
                                "a waiting frame is shorter than its header says");
                    }
                }
                break;
            }
            require(step.consumed > 0, "every step but NeedMore takes bytes");
            if (step.kind == FrameReader::Kind::Frame) {
                require(Bytes::field(message, VaroMsg::kFieldPos, VaroMsg::kNoPosOrSession) == pos,
                        "a frame is this console's");
                const QString number =
                    QString::fromLatin1(Bytes::field(message, VaroMsg::kFieldSession, VaroMsg::kNoPosOrSession));
                require(IsNumericText(number) && number.trimmed().toDouble() == double(session),
                        "a frame is this session's");
            } else {
                require(step.reason != FrameReader::Drop::None, "a drop names its reason");
            }
        }
        require(taken + buffer.size() == arrived, "every byte is taken once or still waits");
    }
    return 0;
}
