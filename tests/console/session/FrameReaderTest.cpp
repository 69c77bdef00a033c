// The receive side of a session without a socket: bytes in, frames of this
// console and session out, in order; what cannot be a frame of theirs is
// dropped without holding up the frames behind it.
#include "SessionTestSupport.h"

#include "common/Bytes.h"
#include "session/FrameReader.h"
#include "session/VaroMessages.h"

#include <VaroManager.h>

#include <gtest/gtest.h>

namespace {

using Kind = FrameReader::Kind;
using Drop = FrameReader::Drop;
constexpr qint32 kSession = 41;

class FrameReaderTest : public ::testing::Test {
protected:
    FrameReaderTest() { reader.setAddress("00000000", kSession); }

    // The code of the frame a step took.
    QByteArray codeOf() const { return Bytes::field(message, VaroMsg::kFieldCode); }

    QByteArray buffer;
    FrameReader reader{buffer};
    VaroManager message;
};

TEST_F(FrameReaderTest, BytesBeforeTheStartByteAreDroppedAndTheFrameBehindThemIsTaken)
{
    const QByteArray frame = serverFrame("0002", kSession, {{5, "Sisestage kaart"}});
    buffer = "\r\nnoise" + frame;
    FrameReader::Step step = reader.next(message);
    EXPECT_EQ(step.kind, Kind::Dropped);
    EXPECT_EQ(step.reason, Drop::NoStartByte);
    EXPECT_EQ(step.consumed, 7);
    step = reader.next(message);
    ASSERT_EQ(step.kind, Kind::Frame);
    EXPECT_EQ(codeOf(), "0002");
    EXPECT_EQ(step.consumed, frame.size());
    EXPECT_TRUE(buffer.isEmpty());
}

TEST_F(FrameReaderTest, BufferWithoutAStartByteIsDroppedWhole)
{
    buffer = "no frame here";
    const FrameReader::Step step = reader.next(message);
    EXPECT_EQ(step.reason, Drop::NoStartByte);
    EXPECT_EQ(step.consumed, 13);
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_EQ(reader.next(message).kind, Kind::NeedMore);
}

TEST_F(FrameReaderTest, FrameSplitAcrossReadsWaitsUntouchedForItsRest)
{
    const QByteArray frame = serverFrame("0012", kSession, {{13, int32Bytes(123)}});
    for (const qsizetype cut : {qsizetype(1), qsizetype(4), frame.size() - 1}) {
        buffer = frame.left(cut);
        EXPECT_EQ(reader.next(message).kind, Kind::NeedMore) << "cut at " << cut;
        EXPECT_EQ(buffer, frame.left(cut)) << "nothing taken while the frame is incomplete";
        buffer += frame.mid(cut);
        ASSERT_EQ(reader.next(message).kind, Kind::Frame);
        EXPECT_EQ(codeOf(), "0012");
    }
}

TEST_F(FrameReaderTest, SeveralFramesInOneReadComeOutInOrder)
{
    buffer = serverFrame("0002", kSession, {{5, "Palun oodake"}}) + serverFrame("0003", kSession)
           + serverFrame("0012", kSession, {{13, int32Bytes(7)}});
    QByteArrayList codes;
    while (reader.next(message).kind == Kind::Frame)
        codes << codeOf();
    EXPECT_EQ(codes, (QByteArrayList{"0002", "0003", "0012"}));
    EXPECT_TRUE(buffer.isEmpty());
}

TEST_F(FrameReaderTest, FrameOfAnotherPosIsDroppedAndTheNextIsTaken)
{
    buffer = serverFrame("0012", kSession, {}, "KASSA099") + serverFrame("0003", kSession);
    const FrameReader::Step step = reader.next(message);
    EXPECT_EQ(step.kind, Kind::Dropped);
    EXPECT_EQ(step.reason, Drop::OtherPos);
    ASSERT_EQ(reader.next(message).kind, Kind::Frame);
    EXPECT_EQ(codeOf(), "0003");
}

TEST_F(FrameReaderTest, FrameOfAnotherSessionIsDroppedButThisSessionPaddedOtherwiseIsTaken)
{
    buffer = serverFrame("0012", kSession - 1);
    EXPECT_EQ(reader.next(message).reason, Drop::OtherSession);
    buffer = serverFrameRaw("0012", "41", {}, "00000000");
    EXPECT_EQ(reader.next(message).kind, Kind::Frame) << "the session is compared by its value";
    buffer = serverFrameRaw("0012", "4l", {}, "00000000");
    EXPECT_EQ(reader.next(message).reason, Drop::OtherSession) << "a session field that is no number";
}

TEST_F(FrameReaderTest, FrameWithABadCheckByteIsDroppedAloneAndTheNextIsTaken)
{
    QByteArray bad = serverFrame("0012", kSession, {{13, int32Bytes(9)}});
    bad[bad.size() - 1] = char(bad.back() ^ 0x01);
    const QByteArray next = serverFrame("0003", kSession);
    buffer = bad + next;
    const FrameReader::Step step = reader.next(message);
    EXPECT_EQ(step.reason, Drop::Unparsable);
    EXPECT_EQ(step.consumed, bad.size());
    ASSERT_EQ(reader.next(message).kind, Kind::Frame);
    EXPECT_EQ(codeOf(), "0003");
}

TEST_F(FrameReaderTest, LengthNoFrameCanHaveDropsTheWholeBuffer)
{
    // A start byte and a negative length: no frame begins here, and nothing
    // in the buffer can be trusted to.
    buffer = QByteArray("\x01\xff\xff\xff\xff", 5) + serverFrame("0003", kSession);
    const qsizetype before = buffer.size();
    const FrameReader::Step step = reader.next(message);
    EXPECT_EQ(step.reason, Drop::Unparsable);
    EXPECT_EQ(step.consumed, before);
    EXPECT_TRUE(buffer.isEmpty());
}

} // namespace
