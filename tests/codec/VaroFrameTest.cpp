// GetOutput byte for byte, and every ProcessMessage result with the exact
// Msg, Remainder and table it leaves behind.
#include "VaroTestSupport.h"

#include <gtest/gtest.h>

using namespace VaroTest;

namespace {

// ---- GetOutput -------------------------------------------------------------

TEST(VaroOutput, KeepAliveFrameMatchesTheWireExample)
{
    VaroManager m;
    m.AddField(1, "0003");
    EXPECT_EQ(toHex(m.GetOutput(true)), "01 0A 00 00 00 01 00 04 00 00 00 30 30 30 33 0D");
    EXPECT_EQ(toHex(m.GetOutput(false)), "01 0A 00 00 00 01 00 04 00 00 00 30 30 30 33 2C");
}

TEST(VaroOutput, EmptyTableGivesSixByteFrame)
{
    VaroManager m;
    EXPECT_EQ(toHex(m.GetOutput(true)), "01 00 00 00 00 01");
    EXPECT_EQ(toHex(m.GetOutput(false, false)), "01 00 00 00 00 2C");
}

TEST(VaroOutput, LengthsAndIdsAreLittleEndianSigned)
{
    VaroManager m;
    m.AddField(-2, std::string(300, 'z'));   // n = 300 = 0x012C
    m.AddField(0x1234, "");
    const std::string out = m.GetOutput(false);
    ASSERT_EQ(out.size(), 6u + 6 + 300 + 6);
    EXPECT_EQ(toHex(out.substr(0, 5)), "01 38 01 00 00");   // L = 312 = 6 + 300 + 6
    EXPECT_EQ(toHex(out.substr(5, 6)), "FE FF 2C 01 00 00");
    EXPECT_EQ(toHex(out.substr(311, 6)), "34 12 00 00 00 00");
    EXPECT_EQ(out.back(), ',');
}

TEST(VaroOutput, CheckByteIsXorOfEveryByteBeforeIt)
{
    std::mt19937 rng(7);
    for (std::size_t count : {1u, 3u, 17u, 200u}) {
        VaroManager m;
        const Fields fields = randomFields(rng, count, 61);
        for (const auto &[id, data] : fields)
            m.AddField(id, data);
        const std::string out = m.GetOutput(true);
        EXPECT_EQ(out, frameOf(fields)) << count << " fields";
        EXPECT_EQ(out.back(), xorOf(out.substr(0, out.size() - 1)));
    }
}

TEST(VaroOutput, UpdatedFieldIsWrittenAtItsFirstPosition)
{
    VaroManager m;
    m.AddField(1, "0001");
    m.AddField(2, "POS");
    m.UpdateField(1, "0019");
    EXPECT_EQ(m.GetOutput(true), frameOf({{1, "0019"}, {2, "POS"}}));
}

TEST(VaroOutput, GetOutputLeavesTheTableUnchanged)
{
    VaroManager m;
    m.AddField(3, "abc");
    m.AddField(-9, std::string("\0\xff", 2));
    const Fields before = fieldsOf(m);
    const std::string first = m.GetOutput(true);
    EXPECT_EQ(fieldsOf(m), before);
    EXPECT_EQ(m.GetOutput(true), first);
}

struct HookRow {
    const char *name;
    int fields;
    bool makeDoEvents;
    int expectedCalls;
};

class VaroOutputHook : public ::testing::TestWithParam<HookRow> {};

TEST_P(VaroOutputHook, ProcessEventsRunsOncePerFieldOnlyWhenAsked)
{
    const HookRow row = GetParam();
    VaroManager m;
    int calls = 0;
    m.setProcessEvents([&calls] { ++calls; });
    for (int i = 0; i < row.fields; ++i)
        m.AddField(static_cast<int16_t>(i), "d");
    const std::string out = m.GetOutput(true, row.makeDoEvents);
    EXPECT_EQ(calls, row.expectedCalls);
    EXPECT_EQ(out.size(), 6u + 7u * row.fields);
}

INSTANTIATE_TEST_SUITE_P(Rows, VaroOutputHook,
    ::testing::Values(HookRow{"emptyTable", 0, true, 0}, HookRow{"oneField", 1, true, 1},
                      HookRow{"manyFields", 50, true, 50}, HookRow{"notAsked", 50, false, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(VaroOutput, DefaultArgumentCallsTheHook)
{
    VaroManager m;
    int calls = 0;
    m.setProcessEvents([&calls] { ++calls; });
    m.AddField(1, "a");
    m.AddField(2, "b");
    m.GetOutput(true);
    EXPECT_EQ(calls, 2);
}

TEST(VaroOutput, WithoutHookNothingIsCalledAndOutputIsTheSame)
{
    VaroManager withHook;
    VaroManager without;
    withHook.setProcessEvents([] {});
    for (VaroManager *m : {&withHook, &without}) {
        m->AddField(1, "0002");
        m->AddField(2, "Text");
    }
    EXPECT_EQ(withHook.GetOutput(true, true), without.GetOutput(true, true));
}

// The hook must not touch the object; one that does must still not make the
// builder read freed memory or write a frame whose L disagrees with its body.
TEST(VaroOutput, HookThatResetsTheObjectCannotCorruptTheFrame)
{
    VaroManager m;
    for (int16_t i = 0; i < 40; ++i)
        m.AddField(i, std::string(50, 'x'));
    int calls = 0;
    m.setProcessEvents([&] {
        if (++calls == 3)
            m.Reset();
    });
    const std::string out = m.GetOutput(true);
    VaroManager back;
    std::string msg = out;
    std::string rest;
    EXPECT_EQ(back.ProcessMessage(msg, rest), VaroManager::Parsed);
    EXPECT_EQ(back.getFieldCount(), 2);
}

// ---- ProcessMessage --------------------------------------------------------

struct ParseRow {
    const char *name;
    std::string input;
    int16_t result;
    std::string msgAfter;
    std::string remainder;
    Fields fields;
};

const std::string kFrameA = frameOf({{1, "0003"}, {2, "POS1"}, {3, "000042"}});
const std::string kFrameB = frameOf({{1, "0002"}, {7, std::string("\0\x01\xff", 3)}});
const std::string kTail("\x01\x09\x00", 3);   // the start of a following frame

std::vector<ParseRow> parseRows()
{
    std::vector<ParseRow> rows;
    const auto frameRow = [&rows](const char *name, const std::string &frame, int16_t result, Fields fields) {
        rows.push_back({name, frame + kTail, result, frame, kTail, std::move(fields)});
    };
    const auto keepRow = [&rows](const char *name, const std::string &input, int16_t result) {
        rows.push_back({name, input, result, input, input, {}});
    };

    // Result 3 and 1: nothing consumed, Remainder is all of Msg.
    keepRow("emptyInput", "", VaroManager::Incomplete);
    keepRow("fiveBytes", hex("01 00 00 00 00"), VaroManager::Incomplete);
    keepRow("fiveBytesWithoutStartByte", hex("02 00 00 00 00"), VaroManager::Incomplete);
    keepRow("sixBytesStarting02", hex("02 00 00 00 00 02"), VaroManager::NoStartByte);
    keepRow("textBeforeFrame", std::string("x") + kFrameA, VaroManager::NoStartByte);
    keepRow("oneByteShortOfFrame", kFrameA.substr(0, kFrameA.size() - 1), VaroManager::Incomplete);
    keepRow("headerOnlyOfLongFrame", hex("01 10 00 00 00 01 00"), VaroManager::Incomplete);
    // Huge but representable L: still just incomplete (and nothing allocated
    // for it; see varo_allocation_test).
    keepRow("hugeButValidLength", frameHeader(INT32_MAX - 6) + "\x2C", VaroManager::Incomplete);

    // Result 0.
    frameRow("emptyFrame", hex("01 00 00 00 00 01"), VaroManager::Parsed, {});
    frameRow("threeFields", kFrameA, VaroManager::Parsed, {{1, "0003"}, {2, "POS1"}, {3, "000042"}});
    frameRow("uncheckedFrame", withCheckByte(kFrameB, ','), VaroManager::Parsed,
             {{1, "0002"}, {7, std::string("\0\x01\xff", 3)}});
    frameRow("emptyAndNegativeIdFields", frameOf({{-1, ""}, {INT16_MIN, "m"}}), VaroManager::Parsed,
             {{-1, ""}, {INT16_MIN, "m"}});
    rows.push_back({"frameAloneLeavesEmptyRemainder", kFrameA, VaroManager::Parsed, kFrameA, "",
                    {{1, "0003"}, {2, "POS1"}, {3, "000042"}}});

    // Result 4: consumed, nothing added.
    frameRow("wrongCheckByte", withCheckByte(kFrameA, static_cast<char>(kFrameA.back() ^ 0x40)),
             VaroManager::BadCheckByte, {});
    frameRow("zeroCheckByte", withCheckByte(kFrameA, 0), VaroManager::BadCheckByte, {});

    // Result 5: fewer than 6 bytes where a record starts.
    const char *shortBodies[] = {"bodyOf1", "bodyOf2", "bodyOf3", "bodyOf4", "bodyOf5"};
    for (int n = 1; n <= 5; ++n)
        frameRow(shortBodies[n - 1], frameOfBody(std::string(n, '\x07')), VaroManager::ShortRecord, {});
    frameRow("strayBytesAfterField", frameOfBody(record(1, "0002") + "\x02\x00\x01"), VaroManager::ShortRecord,
             {{1, "0002"}});

    // Result 6: data length past the body, or negative.
    frameRow("lengthPastCheckByte", frameOfBody(record(1, "0002") + le16(2) + le32(5) + "abcd"),
             VaroManager::DataOverrun, {{1, "0002"}});
    // n one past the body would take the check byte as data.
    frameRow("lengthCoversCheckByte", frameOfBody(le16(1) + le32(4) + "abc"), VaroManager::DataOverrun, {});
    frameRow("lengthExactlyFillsBody", frameOfBody(le16(1) + le32(3) + "abc"), VaroManager::Parsed, {{1, "abc"}});
    frameRow("negativeDataLength", frameOfBody(record(1, "0002") + le16(2) + le32(-6) + "abcdef"),
             VaroManager::DataOverrun, {{1, "0002"}});
    frameRow("minimumDataLength", frameOfBody(le16(2) + le32(INT32_MIN)), VaroManager::DataOverrun, {});
    frameRow("maximumDataLength", frameOfBody(le16(2) + le32(INT32_MAX) + "abc"), VaroManager::DataOverrun, {});

    // Result 2: the first occurrence and the fields before the repeat stay.
    frameRow("repeatedId", frameOf({{1, "0002"}, {5, "A"}, {6, "six"}, {5, "B"}, {8, "after"}}),
             VaroManager::DuplicateId, {{1, "0002"}, {5, "A"}, {6, "six"}});

    // Result 7: L negative or L + 6 past the signed 32-bit range. All of Msg
    // goes, including what follows.
    rows.push_back({"negativeBodyLength", frameHeader(-1) + std::string(",") + kFrameA, VaroManager::BadLength,
                    frameHeader(-1) + std::string(",") + kFrameA, "", {}});
    rows.push_back({"minimumBodyLength", frameHeader(INT32_MIN) + std::string(1, '\0'), VaroManager::BadLength,
                    frameHeader(INT32_MIN) + std::string(1, '\0'), "", {}});
    rows.push_back({"bodyLengthOverflowsFrame", frameHeader(INT32_MAX) + "\x2C", VaroManager::BadLength,
                    frameHeader(INT32_MAX) + "\x2C", "", {}});
    rows.push_back({"firstOverflowingLength", frameHeader(INT32_MAX - 5) + "ab", VaroManager::BadLength,
                    frameHeader(INT32_MAX - 5) + "ab", "", {}});
    return rows;
}

class VaroParse : public ::testing::TestWithParam<ParseRow> {};

TEST_P(VaroParse, ResultMsgRemainderAndFieldsAreExact)
{
    const ParseRow &row = GetParam();
    VaroManager m;
    std::string msg = row.input;
    std::string rest = "stale";   // must be overwritten whatever the result
    EXPECT_EQ(m.ProcessMessage(msg, rest), row.result);
    EXPECT_EQ(toHex(msg), toHex(row.msgAfter));
    EXPECT_EQ(toHex(rest), toHex(row.remainder));
    EXPECT_EQ(fieldsOf(m), row.fields);
}

TEST_P(VaroParse, SameStringAsMsgAndRemainderHoldsTheRemainder)
{
    const ParseRow &row = GetParam();
    VaroManager m;
    std::string buffer = row.input;
    EXPECT_EQ(m.ProcessMessage(buffer, buffer), row.result);
    EXPECT_EQ(toHex(buffer), toHex(row.remainder));
    EXPECT_EQ(fieldsOf(m), row.fields);
}

INSTANTIATE_TEST_SUITE_P(Rows, VaroParse, ::testing::ValuesIn(parseRows()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(VaroParse, AnyCheckByteOtherThanXorOrCommaIsRejected)
{
    const char right = kFrameA.back();
    int accepted = 0;
    for (int b = 0; b < 256; ++b) {
        VaroManager m;
        std::string msg = withCheckByte(kFrameA, static_cast<char>(b));
        std::string rest;
        const int16_t r = m.ProcessMessage(msg, rest);
        if (static_cast<char>(b) == right || b == 0x2C) {
            EXPECT_EQ(r, VaroManager::Parsed) << b;
            ++accepted;
        } else {
            EXPECT_EQ(r, VaroManager::BadCheckByte) << b;
            EXPECT_EQ(m.getFieldCount(), 0) << b;
        }
    }
    EXPECT_EQ(accepted, 2);
}

TEST(VaroParse, TableThatWasNotResetKeepsItsEntriesAndRejectsTheirIds)
{
    VaroManager m;
    m.AddField(3, "old");
    std::string msg = frameOf({{1, "0002"}, {3, "new"}, {4, "four"}});
    std::string rest;
    EXPECT_EQ(m.ProcessMessage(msg, rest), VaroManager::DuplicateId);
    EXPECT_EQ(fieldsOf(m), (Fields{{3, "old"}, {1, "0002"}}));
    EXPECT_TRUE(rest.empty());

    std::string next = frameOf({{9, "nine"}});
    EXPECT_EQ(m.ProcessMessage(next, rest), VaroManager::Parsed);   // appends
    EXPECT_EQ(fieldsOf(m), (Fields{{3, "old"}, {1, "0002"}, {9, "nine"}}));
}

TEST(VaroParse, FrameWithMoreFieldsThanTheTableTakesIsConsumed)
{
    std::string body;
    for (int i = 0; i <= VaroManager::kMaxFieldCount; ++i)   // 32,767 records
        body += record(static_cast<int16_t>(i), "");
    const std::string frame = frameOfBody(body);
    VaroManager m;
    std::string msg = frame + kTail;
    std::string rest;
    EXPECT_EQ(m.ProcessMessage(msg, rest), VaroManager::TooManyFields);
    EXPECT_EQ(m.getFieldCount(), VaroManager::kMaxFieldCount);
    EXPECT_EQ(m.GetFieldIDByIndex(VaroManager::kMaxFieldCount), VaroManager::kMaxFieldCount - 1);
    EXPECT_EQ(msg, frame);
    EXPECT_EQ(rest, kTail);
}

TEST(VaroParse, FullFrameOfTheLargestTableParses)
{
    VaroManager full;
    for (int i = 0; i < VaroManager::kMaxFieldCount; ++i)
        full.AddField(static_cast<int16_t>(-i), "");
    std::string msg = full.GetOutput(true, false);
    std::string rest;
    VaroManager back;
    EXPECT_EQ(back.ProcessMessage(msg, rest), VaroManager::Parsed);
    EXPECT_EQ(back.getFieldCount(), VaroManager::kMaxFieldCount);
}

} // namespace
