// Frames fed the way a TCP reader feeds them (whole, back to back, split at
// every byte, in random chunks), round trips of random tables, and frames
// nested inside a field.
#include "VaroTestSupport.h"

#include <gtest/gtest.h>

using namespace VaroTest;

namespace {

std::vector<Fields> sampleMessages()
{
    return {
        {{1, "0003"}, {2, "POS1"}, {3, "000042"}},
        {},
        {{1, "0002"}, {2, "POS1"}, {3, "000042"}, {4, std::string("\0\0\0\0\0\0\xf0?", 8)}},
        {{1, "0008"}, {-7, ""}, {10, std::string(1, '\x01')}, {11, std::string(2000, '\x01')}},
    };
}

std::string streamOf(const std::vector<Fields> &messages)
{
    std::string stream;
    for (const Fields &f : messages)
        stream += frameOf(f);
    return stream;
}

void expectAllParsed(const StreamReader &reader, const std::vector<Fields> &messages)
{
    ASSERT_EQ(reader.frames.size(), messages.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
        EXPECT_EQ(reader.frames[i].result, VaroManager::Parsed) << "frame " << i;
        EXPECT_EQ(reader.frames[i].fields, messages[i]) << "frame " << i;
        EXPECT_EQ(reader.frames[i].frame, frameOf(messages[i])) << "frame " << i;
    }
    EXPECT_TRUE(reader.buffer.empty());
}

TEST(VaroStream, BackToBackFramesAreTakenOneAtATimeInOrder)
{
    const std::string first = frameOf({{1, "0002"}, {5, "Tere"}});
    const std::string second = frameOf({{1, "0003"}});
    VaroManager m;
    std::string msg = first + second;
    std::string rest;
    EXPECT_EQ(m.ProcessMessage(msg, rest), VaroManager::Parsed);
    EXPECT_EQ(msg, first);
    EXPECT_EQ(rest, second);
    EXPECT_EQ(m.GetFieldData(5), "Tere");

    VaroManager next;
    std::string msg2 = rest;
    EXPECT_EQ(next.ProcessMessage(msg2, rest), VaroManager::Parsed);
    EXPECT_EQ(next.GetFieldData(1), "0003");
    EXPECT_TRUE(rest.empty());
}

TEST(VaroStream, HalfFrameAfterAWholeOneWaitsForMoreBytes)
{
    const std::string first = frameOf({{1, "0002"}});
    const std::string second = frameOf({{1, "0012"}, {13, "\x07\x00\x00\x00"}});
    const std::string half = second.substr(0, second.size() / 2);
    VaroManager m;
    std::string msg = first + half;
    std::string rest;
    EXPECT_EQ(m.ProcessMessage(msg, rest), VaroManager::Parsed);
    EXPECT_EQ(rest, half);

    VaroManager next;
    std::string msg2 = rest;
    EXPECT_EQ(next.ProcessMessage(msg2, rest), VaroManager::Incomplete);
    EXPECT_EQ(msg2, half);
    EXPECT_EQ(rest, half);
    EXPECT_EQ(next.getFieldCount(), 0);
}

TEST(VaroStream, WholeStreamInOneReadParsesEveryFrame)
{
    StreamReader reader;
    reader.feed(streamOf(sampleMessages()));
    expectAllParsed(reader, sampleMessages());
}

TEST(VaroStream, ByteByByteFeedingParsesEveryFrameOnce)
{
    const std::string stream = streamOf(sampleMessages());
    StreamReader reader;
    for (char c : stream)
        reader.feed(std::string(1, c));
    expectAllParsed(reader, sampleMessages());
}

TEST(VaroStream, RandomChunkingParsesEveryFrameOnce)
{
    std::mt19937 rng(2024);
    std::vector<Fields> messages = sampleMessages();
    for (int i = 0; i < 20; ++i)
        messages.push_back(randomFields(rng, i % 9, 40));
    const std::string stream = streamOf(messages);
    for (int round = 0; round < 50; ++round) {
        std::uniform_int_distribution<std::size_t> chunk(1, 1 + round * 7);
        StreamReader reader;
        for (std::size_t at = 0; at < stream.size();) {
            const std::size_t n = std::min(chunk(rng), stream.size() - at);
            reader.feed(stream.substr(at, n));
            at += n;
        }
        SCOPED_TRACE("round " + std::to_string(round));
        expectAllParsed(reader, messages);
    }
}

TEST(VaroStream, BadFramesAreDroppedAndTheFollowingOnesParsed)
{
    const std::string good1 = frameOf({{1, "0002"}});
    const std::string badCheck = withCheckByte(frameOf({{1, "0003"}}), 0);
    const std::string dup = frameOf({{1, "0004"}, {1, "0004"}});
    const std::string overrun = frameOfBody(le16(1) + le32(-2) + "ab");
    const std::string good2 = frameOf({{1, "0012"}});
    const std::string stream = good1 + badCheck + dup + overrun + good2;
    for (std::size_t split = 0; split <= stream.size(); ++split) {
        StreamReader reader;
        reader.feed(stream.substr(0, split));
        reader.feed(stream.substr(split));
        ASSERT_EQ(reader.frames.size(), 5u) << "split at " << split;
        EXPECT_EQ(reader.frames[0].result, VaroManager::Parsed);
        EXPECT_EQ(reader.frames[1].result, VaroManager::BadCheckByte);
        EXPECT_EQ(reader.frames[2].result, VaroManager::DuplicateId);
        EXPECT_EQ(reader.frames[3].result, VaroManager::DataOverrun);
        EXPECT_EQ(reader.frames[4].result, VaroManager::Parsed);
        EXPECT_EQ(reader.frames[4].fields, (Fields{{1, "0012"}}));
        EXPECT_TRUE(reader.buffer.empty());
    }
}

TEST(VaroStream, BytesWithoutStartByteBlockTheBufferForever)
{
    StreamReader reader;
    reader.feed(std::string("?") + frameOf({{1, "0002"}}));
    reader.feed(frameOf({{1, "0003"}}));
    EXPECT_TRUE(reader.frames.empty());
    EXPECT_EQ(reader.buffer[0], '?');
}

// A negative or overflowing body length would otherwise hold the reader in
// "incomplete" for good: the bad bytes go, and the next arrival is parsed.
TEST(VaroStream, ImpossibleBodyLengthDoesNotBlockTheNextArrival)
{
    for (int32_t length : {-1, -6, INT32_MIN, INT32_MAX, INT32_MAX - 5}) {
        StreamReader reader;
        reader.feed(frameHeader(length) + "garbage of the broken frame");
        ASSERT_EQ(reader.frames.size(), 1u) << length;
        EXPECT_EQ(reader.frames[0].result, VaroManager::BadLength) << length;
        EXPECT_TRUE(reader.frames[0].fields.empty());
        EXPECT_TRUE(reader.buffer.empty()) << length;
        reader.feed(frameOf({{1, "0003"}}));
        ASSERT_EQ(reader.frames.size(), 2u) << length;
        EXPECT_EQ(reader.frames[1].result, VaroManager::Parsed);
        EXPECT_EQ(reader.frames[1].fields, (Fields{{1, "0003"}}));
    }
}

// ---- Round trips -----------------------------------------------------------

void expectRoundTrip(const Fields &fields, bool doCrc)
{
    VaroManager out;
    for (const auto &[id, data] : fields)
        ASSERT_EQ(out.AddField(id, data), 0);
    std::string msg = out.GetOutput(doCrc, false);
    if (doCrc)
        EXPECT_EQ(msg, frameOf(fields));
    else
        EXPECT_EQ(msg, withCheckByte(frameOf(fields), ','));
    const std::string sent = msg;
    std::string rest = "x";
    VaroManager in;
    ASSERT_EQ(in.ProcessMessage(msg, rest), VaroManager::Parsed);
    EXPECT_EQ(msg, sent);
    EXPECT_TRUE(rest.empty());
    EXPECT_EQ(fieldsOf(in), fields);
    for (const auto &[id, data] : fields)
        EXPECT_EQ(in.GetFieldData(id, "absent"), data);
}

TEST(VaroRoundTrip, RandomTablesSurviveEncodeAndParse)
{
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 rng(seed);
        const std::size_t count = seed * 37 % 300;   // crosses the index threshold
        SCOPED_TRACE("seed " + std::to_string(seed));
        const Fields fields = randomFields(rng, count, 100);
        expectRoundTrip(fields, seed % 2 == 0);
    }
}

TEST(VaroRoundTrip, AllByteValuesSurviveInDataAndIds)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    expectRoundTrip({{0, all}, {-1, all + all}, {INT16_MIN, ""}, {INT16_MAX, std::string(1, '\0')},
                     {0x0101, "\x01"}, {0x2C2C, ","}},
                    true);
}

TEST(VaroRoundTrip, LargeTableOfTheReportSizeSurvives)
{
    std::mt19937 rng(99);
    expectRoundTrip(randomFields(rng, 20000, 12), true);
}

// The receipt and the report records travel as frames inside a field.
TEST(VaroRoundTrip, FrameNestedInAFieldParsesWithItsOwnCodec)
{
    VaroManager receipt;
    receipt.AddField(1, "  KVIITUNG  ");
    receipt.AddField(2, "Summa: 12,50");
    VaroManager approval;
    approval.AddField(1, "0012");
    approval.AddField(12, receipt.GetOutput(true));
    approval.AddField(13, le32(4711));
    std::string msg = approval.GetOutput(true);
    std::string rest;
    VaroManager outer;
    ASSERT_EQ(outer.ProcessMessage(msg, rest), VaroManager::Parsed);
    std::string inner = outer.GetFieldData(12);
    std::string none;
    VaroManager decoded;
    ASSERT_EQ(decoded.ProcessMessage(inner, none), VaroManager::Parsed);
    EXPECT_EQ(fieldsOf(decoded), fieldsOf(receipt));
}

} // namespace
