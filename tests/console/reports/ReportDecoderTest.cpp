// Decoding of the "0020" answer into the report table: the filter on the
// response code, the shown and summing amounts, flags, delivery status,
// stamps, skipped records, and answers that must not be decoded at all.
#include "ReportTestSupport.h"

#include "common/CodePage.h"
#include "common/Bytes.h"
#include "common/Helpers.h"
#include "reports/ReportDecoder.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace reporttest;
namespace C = ReportColumn;

namespace {

DecodedReport decodeOne(const Record &record, bool onlyApproved = false)
{
    return DecodeReportAnswer(makeAnswer({record}), onlyApproved);
}

QByteArray cell(const DecodedReport &report, qint32 row, int column)
{
    return report.table.cell(row, column);
}

} // namespace

// --- The response-code filter ------------------------------------------------

struct FilterRow {
    const char *name;
    qint32 code;
    bool onlyApproved;
    bool kept;
    double sum;   // the summing amount of a kept record of 10.00
};

class ResponseCodeFilter : public ::testing::TestWithParam<FilterRow> {};

TEST_P(ResponseCodeFilter, KeepsAndSumsByCode)
{
    const FilterRow &row = GetParam();
    const DecodedReport report = decodeOne(Record().withCode(row.code).withAmount(10.0), row.onlyApproved);
    ASSERT_EQ(report.outcome, DecodedReport::Decoded);
    ASSERT_EQ(report.kept, row.kept ? 1 : 0);
    if (!row.kept) {
        EXPECT_TRUE(cell(report, 1, C::kTerminal).isEmpty());
        return;
    }
    EXPECT_EQ(cell(report, 1, C::kResponseCode), " " + QByteArray::number(row.code));
    EXPECT_EQ(cell(report, 1, C::kAmount), "10.00");   // shown whatever the code
    EXPECT_EQ(report.table.sumAmount(1), row.sum);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ResponseCodeFilter,
    ::testing::Values(FilterRow{"Approved", 0, true, true, 10.0},
                      FilterRow{"Code5WithFilter", 5, true, true, 0.0},
                      FilterRow{"Code5WithoutFilter", 5, false, true, 0.0},
                      FilterRow{"Code99WithFilter", 99, true, true, 0.0},
                      FilterRow{"Code100WithFilter", 100, true, false, 0.0},
                      FilterRow{"Code100WithoutFilter", 100, false, true, 0.0},
                      FilterRow{"Code9999WithoutFilter", 9999, false, true, 0.0},
                      FilterRow{"Code10000WithoutFilter", 10000, false, false, 0.0},
                      FilterRow{"Code10000WithFilter", 10000, true, false, 0.0},
                      FilterRow{"CodeMinus1WithFilter", -1, true, true, 0.0},
                      FilterRow{"CodeMinus1WithoutFilter", -1, false, true, 0.0}),
    [](const ::testing::TestParamInfo<FilterRow> &info) { return std::string(info.param.name); });

TEST(ReportDecoding, MissingResponseCodeReadsAsApproved)
{
    Record r;
    r.code.reset();
    const DecodedReport report = decodeOne(r, true);
    ASSERT_EQ(report.kept, 1);
    EXPECT_EQ(cell(report, 1, C::kResponseCode), " 0");
    EXPECT_EQ(report.table.sumAmount(1), 10.0);
}

// --- Amounts -----------------------------------------------------------------

struct AmountRow {
    const char *name;
    double amount;
    bool cancelled;
    qint32 code;
    const char *shown;
    double sum;
};

class ReportAmounts : public ::testing::TestWithParam<AmountRow> {};

TEST_P(ReportAmounts, ShownAndSummed)
{
    const AmountRow &row = GetParam();
    Record r = Record().withAmount(row.amount).withCode(row.code);
    if (row.cancelled)
        r.cancelled();
    const DecodedReport report = decodeOne(r);
    ASSERT_EQ(report.kept, 1);
    EXPECT_EQ(cell(report, 1, C::kAmount), QByteArray(row.shown));
    EXPECT_EQ(report.table.sumAmount(1), row.sum);
    EXPECT_EQ(cell(report, 1, C::kSumAmount).size(), 8);
    EXPECT_EQ(cell(report, 1, C::kCancelFlag), row.cancelled ? CodePage::console().encode(u"tühistatud") : "");
}

INSTANTIATE_TEST_SUITE_P(
    Amounts, ReportAmounts,
    ::testing::Values(AmountRow{"Plain", 12.5, false, 0, "12.50", 12.5},
                      AmountRow{"CancelledShowsAndSumsNegative", 10.0, true, 0, "-10.00", -10.0},
                      AmountRow{"CancelledDeclinedShowsNegativeSumsZero", 10.0, true, 5, "-10.00", 0.0},
                      AmountRow{"SmallNegative", -0.05, false, 0, "-0.05", -0.05},
                      AmountRow{"Zero", 0.0, false, 0, "0.00", 0.0},
                      AmountRow{"HalfCentRoundsAway", 1.005, false, 0, "1.01", 1.005},
                      AmountRow{"DeclinedShowsAmountSumsZero", 99.99, false, 51, "99.99", 0.0},
                      AmountRow{"NaNReadsAsZero", std::nan(""), false, 0, "0.00", 0.0},
                      AmountRow{"InfinityReadsAsZero", HUGE_VAL, true, 0, "0.00", 0.0},
                      AmountRow{"HugeAmountReadsAsZeroNotInfText", 1e307, false, 0, "0.00", 0.0},
                      AmountRow{"HugeNegativeAmountReadsAsZero", -1e20, true, 0, "0.00", 0.0},
                      AmountRow{"LargeAmountWithWholeCentsKept", 1e13, false, 0, "10000000000000.00", 1e13}),
    [](const ::testing::TestParamInfo<AmountRow> &info) { return std::string(info.param.name); });

TEST(ReportDecoding, CancellationMarkCountsOnlyAboveZero)
{
    Record r = Record().withAmount(3.0);
    r.cancelMark = -1;
    EXPECT_EQ(cell(decodeOne(r), 1, C::kAmount), "3.00");
    r.cancelMark = 2;
    EXPECT_EQ(cell(decodeOne(r), 1, C::kAmount), "-3.00");
}

TEST(ReportDecoding, AmountOfWrongLengthReadsAsZero)
{
    const std::string frame = [] {
        VaroManager m;
        m.AddField(1, "T1");
        m.AddField(4, std::string(7, '\x40'));   // 7 bytes: not a double
        m.AddField(8, std::string(4, '\0'));
        return m.GetOutput(true, false);
    }();
    const DecodedReport report = DecodeReportAnswer(makeAnswer({std::optional<std::string>(frame)}), false);
    ASSERT_EQ(report.kept, 1);
    EXPECT_EQ(cell(report, 1, C::kAmount), "0.00");
    EXPECT_EQ(cell(report, 1, C::kStan), "0");
}

// --- Flags -------------------------------------------------------------------

struct FlagRow {
    const char *name;
    const char *flags;
    bool booking;
    bool tip;
};

class ReportFlags : public ::testing::TestWithParam<FlagRow> {};

TEST_P(ReportFlags, CharactersFiveAndSix)
{
    const FlagRow &row = GetParam();
    const DecodedReport report = decodeOne(Record().withFlags(row.flags));
    ASSERT_EQ(report.kept, 1);
    EXPECT_EQ(cell(report, 1, C::kBookingFlag), row.booking ? "Broneering" : "");
    EXPECT_EQ(cell(report, 1, C::kTipFlag), row.tip ? "Jootraha lisatud" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Flags, ReportFlags,
    ::testing::Values(FlagRow{"FiveCharsEndingInOneIsBookingOnly", "00001", true, false},
                      FlagRow{"SixCharsEndingInTwoOnesIsBoth", "000011", true, true},
                      FlagRow{"SixCharsEndingInOneIsTipOnly", "000001", false, true},
                      FlagRow{"FourCharsSetNeither", "1111", false, false},
                      FlagRow{"EmptySetsNeither", "", false, false},
                      FlagRow{"OtherDigitsAreNotFlags", "000022", false, false},
                      FlagRow{"LongerTextStillUsesFiveAndSix", "00001011", true, false}),
    [](const ::testing::TestParamInfo<FlagRow> &info) { return std::string(info.param.name); });

// --- Delivery status ---------------------------------------------------------

struct DeliveryRow {
    const char *name;
    std::optional<QByteArray> field6;
    bool sent;
};

class ReportDelivery : public ::testing::TestWithParam<DeliveryRow> {};

TEST_P(ReportDelivery, FirstByteBelow200IsSent)
{
    const DeliveryRow &row = GetParam();
    const DecodedReport report = decodeOne(Record().withDelivery(row.field6));
    ASSERT_EQ(report.kept, 1);
    EXPECT_EQ(cell(report, 1, C::kSent), row.sent ? "      +" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Delivery, ReportDelivery,
    ::testing::Values(DeliveryRow{"MissingFieldIsSent", std::nullopt, true},
                      DeliveryRow{"EmptyFieldReadsAsMissing", QByteArray(), true},
                      DeliveryRow{"Byte0IsSent", QByteArray(1, '\0'), true},
                      DeliveryRow{"Byte199IsSent", QByteArray(1, char(199)), true},
                      DeliveryRow{"Byte200IsNotSent", QByteArray(1, char(200)), false},
                      DeliveryRow{"Byte255IsNotSent", QByteArray(1, char(255)), false},
                      DeliveryRow{"OnlyFirstByteCounts", QByteArray("\x05\xff", 2), true}),
    [](const ::testing::TestParamInfo<DeliveryRow> &info) { return std::string(info.param.name); });

// --- Cells -------------------------------------------------------------------

TEST(ReportDecoding, CellsOfAFullRecord)
{
    Record r = Record().withTerminal("KASSA 7").withStamp("050407235959").withCard("MASTERCARD");
    r.stan = -42;
    r.code = 0;
    const DecodedReport report = decodeOne(r);
    ASSERT_EQ(report.kept, 1);
    EXPECT_EQ(cell(report, 1, C::kDoneMark), "");
    EXPECT_EQ(cell(report, 1, C::kTerminal), "KASSA 7");
    EXPECT_EQ(cell(report, 1, C::kDate), "07.04.2005");
    EXPECT_EQ(cell(report, 1, C::kTime), "23:59:59");
    EXPECT_EQ(cell(report, 1, C::kStan), "-42");
    EXPECT_EQ(cell(report, 1, C::kCard), "MASTERCARD");
    EXPECT_EQ(cell(report, 1, C::kResponseCode), " 0");
    EXPECT_EQ(cell(report, 1, C::kSumAmount), EncodeDouble(10.0));
    // Row 0 is left for the headings.
    for (int c = 0; c < C::kCount; ++c)
        EXPECT_TRUE(cell(report, 0, c).isEmpty()) << c;
}

struct StampRow {
    const char *name;
    const char *stamp;
    const char *date;
    const char *time;
};

class ReportStamps : public ::testing::TestWithParam<StampRow> {};

TEST_P(ReportStamps, DateAndTimeCells)
{
    const StampRow &row = GetParam();
    const DecodedReport report = decodeOne(Record().withStamp(row.stamp));
    ASSERT_EQ(report.kept, 1);
    EXPECT_EQ(cell(report, 1, C::kDate), QByteArray(row.date));
    EXPECT_EQ(cell(report, 1, C::kTime), QByteArray(row.time));
}

INSTANTIATE_TEST_SUITE_P(
    Stamps, ReportStamps,
    ::testing::Values(StampRow{"TwelveCharacters", "261206153000", "06.12.2026", "15:30:00"},
                      StampRow{"CenturyIsAlways20", "991231000000", "31.12.2099", "00:00:00"},
                      StampRow{"ElevenCharactersGiveEmptyCells", "26120615300", "", ""},
                      StampRow{"ThirteenCharactersGiveEmptyCells", "2612061530000", "", ""},
                      StampRow{"EmptyStamp", "", "", ""},
                      StampRow{"CharactersAreCutAsTheyAre", "ab12cd34ef56", "cd.12.20ab", "34:ef:56"}),
    [](const ::testing::TestParamInfo<StampRow> &info) { return std::string(info.param.name); });

TEST(ReportDecoding, TextFieldsKeepTheirBytes)
{
    // 0xF5 is "õ" in the Baltic code page; every byte value stays as it is.
    QByteArray terminal("K\xf5\x81\x00Z", 5);
    const DecodedReport report = decodeOne(Record().withTerminal(terminal).withCard(QByteArray("\xff\x01", 2)));
    ASSERT_EQ(report.kept, 1);
    EXPECT_EQ(cell(report, 1, C::kTerminal), terminal);
    EXPECT_EQ(cell(report, 1, C::kCard), QByteArray("\xff\x01", 2));
}

// --- Records left out --------------------------------------------------------

TEST(ReportDecoding, SkippedRecordsLeaveNoGap)
{
    std::string broken = recordFrame(Record());
    broken.back() = char(broken.back() ^ 0x55);   // check byte wrong
    const std::vector<std::optional<std::string>> frames = {
        recordFrame(Record().withTerminal("first")),
        std::string("\x01garbage"),
        broken,
        std::nullopt,                                          // field absent
        std::string(),                                         // field empty
        recordFrame(Record().withTerminal("dropped").withCode(10000)),
        recordFrame(Record().withTerminal("second")),
        recordFrame(Record().withTerminal("third").withCode(-1)),
    };
    const DecodedReport report = DecodeReportAnswer(makeAnswer(frames), false);
    ASSERT_EQ(report.outcome, DecodedReport::Decoded);
    EXPECT_EQ(report.count, 8);
    ASSERT_EQ(report.kept, 3);
    EXPECT_EQ(cell(report, 1, C::kTerminal), "first");
    EXPECT_EQ(cell(report, 2, C::kTerminal), "second");
    EXPECT_EQ(cell(report, 3, C::kTerminal), "third");
    ASSERT_EQ(report.table.lastRow(), 8);
    for (qint32 r = 4; r <= 8; ++r) {
        for (int c = 0; c < C::kCount; ++c)
            EXPECT_TRUE(cell(report, r, c).isEmpty()) << r << "/" << c;
    }
}

TEST(ReportDecoding, RecordsBeyondTheCountAreNotRead)
{
    const std::vector<std::optional<std::string>> frames = {recordFrame(Record().withTerminal("a")),
                                                            recordFrame(Record().withTerminal("b"))};
    const DecodedReport report = DecodeReportAnswer(makeAnswer(frames, 1), false);
    ASSERT_EQ(report.kept, 1);
    EXPECT_EQ(report.table.lastRow(), 1);
    EXPECT_EQ(cell(report, 1, C::kTerminal), "a");
}

TEST(ReportDecoding, CountAboveTheRecordsPresentSkipsTheMissingOnes)
{
    const DecodedReport report =
        DecodeReportAnswer(makeAnswer({recordFrame(Record().withTerminal("only"))}, 5), false);
    ASSERT_EQ(report.outcome, DecodedReport::Decoded);
    EXPECT_EQ(report.kept, 1);
    EXPECT_EQ(report.table.lastRow(), 5);
}

TEST(ReportDecoding, EachRecordHookRunsOncePerAnnouncedRecord)
{
    int calls = 0;
    DecodeReportAnswer(makeAnswer({recordFrame(Record())}, 4), false, [&] { ++calls; });
    EXPECT_EQ(calls, 4);
}

// --- Answers that are not decoded --------------------------------------------

struct StatusRow {
    const char *name;
    std::optional<qint32> status;
    bool decoded;
};

class ReportAnswerStatus : public ::testing::TestWithParam<StatusRow> {};

TEST_P(ReportAnswerStatus, OnlyOneDigitStatusIsDecoded)
{
    const StatusRow &row = GetParam();
    const DecodedReport report = DecodeReportAnswer(makeAnswer({recordFrame(Record())}, {}, row.status), false);
    EXPECT_EQ(report.outcome, row.decoded ? DecodedReport::Decoded : DecodedReport::BadStatus);
    EXPECT_EQ(report.kept, row.decoded ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Status, ReportAnswerStatus,
    ::testing::Values(StatusRow{"Zero", 0, true}, StatusRow{"Nine", 9, true},
                      StatusRow{"MissingReadsAsZero", std::nullopt, true}, StatusRow{"Ten", 10, false},
                      StatusRow{"MinusOne", -1, false}, StatusRow{"Large", 123456, false}),
    [](const ::testing::TestParamInfo<StatusRow> &info) { return std::string(info.param.name); });

struct CountRow {
    const char *name;
    qint32 count;
    DecodedReport::Outcome outcome;
};

class ReportAnswerCount : public ::testing::TestWithParam<CountRow> {};

TEST_P(ReportAnswerCount, CountMustFitTheFieldIds)
{
    const CountRow &row = GetParam();
    int hookCalls = 0;
    const DecodedReport report = DecodeReportAnswer(makeAnswer({}, row.count), false, [&] { ++hookCalls; });
    EXPECT_EQ(report.outcome, row.outcome);
    EXPECT_EQ(report.kept, 0);
    if (row.outcome == DecodedReport::Decoded) {
        EXPECT_EQ(report.table.lastRow(), row.count);
        EXPECT_EQ(hookCalls, row.count);
    } else {
        EXPECT_EQ(report.table.lastRow(), 0);
        EXPECT_EQ(hookCalls, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Count, ReportAnswerCount,
    ::testing::Values(CountRow{"Zero", 0, DecodedReport::Decoded},
                      CountRow{"Largest", 32668, DecodedReport::Decoded},
                      CountRow{"OneTooMany", 32669, DecodedReport::BadCount},
                      CountRow{"Huge", 2000000000, DecodedReport::BadCount},
                      CountRow{"MinusOne", -1, DecodedReport::BadCount},
                      CountRow{"Minimum", INT32_MIN, DecodedReport::BadCount}),
    [](const ::testing::TestParamInfo<CountRow> &info) { return std::string(info.param.name); });

TEST(ReportDecoding, MissingCountGivesAnEmptyTable)
{
    VaroManager answer;
    answer.AddField(1, "0020");
    answer.AddField(6, std::string(4, '\0'));
    answer.AddField(100, recordFrame(Record()));
    const DecodedReport report = DecodeReportAnswer(answer, false);
    EXPECT_EQ(report.outcome, DecodedReport::Decoded);
    EXPECT_EQ(report.count, 0);
    EXPECT_EQ(report.kept, 0);
}
