// Generated report answers: the same seed gives the same bytes, the answer
// carries its count, status and one field per record, every kind of record
// is present, and the console's own decoder reads each record as its kind
// intends (listed or left out, flags, sums, stamps within the requested
// period). Out-of-range statuses and counts reach the console's rejection.
#include "FrameSummary.h"
#include "ReportAnswer.h"
#include "Scenario.h"

#include "common/CodePage.h"
#include "reports/ReportDecoder.h"
#include "reports/ReportTable.h"

#include "VaroManager.h"

#include <QDateTime>
#include <QDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

using namespace Sim;

namespace {

namespace C = ReportColumn;

const CodePage &cp1257()
{
    static const CodePage codePage = *CodePage::fromName("windows-1257");
    return codePage;
}

QByteArray bytesOf(const std::string &s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

// A "0019" as the console sends it: fields 1, 2, 5, 9, 3.
VaroManager reportRequest(const std::string &from, const std::string &to)
{
    VaroManager request;
    request.AddField(1, "0019");
    request.AddField(2, "POS00042");
    request.AddField(5, from);
    request.AddField(9, to);
    request.AddField(3, "000007");
    return request;
}

// The answer message a "send" of this report builds, parsed back.
struct BuiltAnswer {
    std::string bytes;
    VaroManager parsed;
};

BuiltAnswer buildAnswer(const ReportSpec &report, const VaroManager *request)
{
    MessageSpec message;
    message.code = "0020";
    message.report = std::make_shared<ReportSpec>(report);
    SendContext context;
    context.pos = "POS00042";
    context.session = "000007";
    context.lastRequest = request;
    BuiltAnswer answer;
    answer.bytes = buildFrame(message, context);
    std::string copy = answer.bytes;
    std::string rest;
    EXPECT_EQ(answer.parsed.ProcessMessage(copy, rest), VaroManager::Parsed);
    EXPECT_TRUE(rest.empty());
    return answer;
}

ReportSpec makeReport(int records, uint32_t seed, int32_t status = 0)
{
    ReportSpec s;
    s.records = records;
    s.seed = seed;
    s.status = status;
    return s;
}

int32_t readInt32(const std::string &bytes)
{
    if (bytes.size() != 4)
        return 0;
    uint32_t raw = 0;
    for (int i = 3; i >= 0; --i)
        raw = (raw << 8) | static_cast<unsigned char>(bytes[size_t(i)]);
    return static_cast<int32_t>(raw);
}

double readDouble(const QByteArray &bytes)
{
    if (bytes.size() != 8)
        return 0;
    uint64_t raw = 0;
    for (int i = 7; i >= 0; --i)
        raw = (raw << 8) | static_cast<unsigned char>(bytes[i]);
    double value = 0;
    std::memcpy(&value, &raw, sizeof value);
    return value;
}

std::optional<VaroManager> parseRecord(const std::optional<std::string> &field)
{
    if (!field)
        return std::nullopt;
    VaroManager record;
    std::string copy = *field;
    std::string rest;
    if (record.ProcessMessage(copy, rest) != VaroManager::Parsed)
        return std::nullopt;
    return record;
}

const VaroManager &periodRequest()
{
    static const VaroManager request = reportRequest("050405000000", "050407235959");
    return request;
}

// ---- the answer's shape --------------------------------------------------

TEST(ReportAnswerTest, SameSeedAndPeriodGiveTheSameBytes)
{
    const BuiltAnswer first = buildAnswer(makeReport(300, 20250314), &periodRequest());
    const BuiltAnswer second = buildAnswer(makeReport(300, 20250314), &periodRequest());
    EXPECT_EQ(first.bytes, second.bytes);
    EXPECT_NE(first.bytes, buildAnswer(makeReport(300, 20250315), &periodRequest()).bytes);
}

TEST(ReportAnswerTest, AnswerCarriesCountStatusAndOneFieldPerPresentRecord)
{
    const ReportSpec s = makeReport(300, 11, 3);
    const BuiltAnswer answer = buildAnswer(s, &periodRequest());
    const VaroManager &m = answer.parsed;
    EXPECT_EQ(m.GetFieldData(1), "0020");
    EXPECT_EQ(m.GetFieldData(2), "POS00042");
    EXPECT_EQ(m.GetFieldData(3), "000007");
    EXPECT_EQ(readInt32(m.GetFieldData(10)), 300);
    EXPECT_EQ(readInt32(m.GetFieldData(6)), 3);
    EXPECT_EQ(m.GetFieldIDByIndex(4), 10);
    EXPECT_EQ(m.GetFieldIDByIndex(5), 6);

    const std::vector<GeneratedRecord> records = generateReportRecords(s, &periodRequest());
    ASSERT_EQ(records.size(), 300u);
    int present = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const auto id = int16_t(100 + i);
        EXPECT_EQ(m.FieldExists(id), records[i].kind != RecordKind::Absent) << "record " << i + 1;
        if (records[i].field) {
            ++present;
            EXPECT_EQ(m.GetFieldData(id), *records[i].field) << "record " << i + 1;
        }
    }
    EXPECT_FALSE(m.FieldExists(400));
    EXPECT_EQ(m.getFieldCount(), 5 + present);
}

TEST(ReportAnswerTest, AnnouncedCountMayDifferFromTheRecordsSent)
{
    ReportSpec s = makeReport(4, 2);
    s.count = -3;
    EXPECT_EQ(readInt32(buildAnswer(s, nullptr).parsed.GetFieldData(10)), -3);
    s.count = 32669;
    EXPECT_EQ(readInt32(buildAnswer(s, nullptr).parsed.GetFieldData(10)), 32669);
}

TEST(ReportAnswerTest, EveryKindOccursOnceThereIsRoomForAll)
{
    const size_t kinds = allRecordKinds().size();
    for (const uint32_t seed : {1u, 2u, 20250314u}) {
        const std::vector<GeneratedRecord> records = generateReportRecords(makeReport(int(kinds), seed), nullptr);
        std::set<RecordKind> seen;
        for (const GeneratedRecord &record : records)
            seen.insert(record.kind);
        EXPECT_EQ(seen.size(), kinds) << "seed " << seed;
    }
}

TEST(ReportAnswerTest, ListedKindsAloneAreDrawn)
{
    ReportSpec s = makeReport(50, 5);
    s.kinds = {RecordKind::Code5, RecordKind::NotSent};
    std::map<RecordKind, int> counts;
    for (const GeneratedRecord &record : generateReportRecords(s, nullptr))
        ++counts[record.kind];
    EXPECT_EQ(counts.size(), 2u);
    EXPECT_EQ(counts[RecordKind::Code5] + counts[RecordKind::NotSent], 50);
}

TEST(ReportAnswerTest, PlainApprovedPaymentsAreAboutHalfOfALargeAnswer)
{
    int approved = 0;
    for (const GeneratedRecord &record : generateReportRecords(makeReport(2000, 9), nullptr))
        approved += record.kind == RecordKind::Approved;
    EXPECT_GT(approved, 900);
    EXPECT_LT(approved, 1200);
}

TEST(ReportAnswerTest, LargestAnswerFitsOneFrameAndTheLastRecordField)
{
    const ReportSpec s = makeReport(ReportSpec::kMaxRecords, 3);
    ASSERT_EQ(ReportSpec::kMaxRecords, 32668);
    const BuiltAnswer answer = buildAnswer(s, nullptr);
    const std::vector<GeneratedRecord> records = generateReportRecords(s, nullptr);
    ASSERT_EQ(records.back().field.has_value(), answer.parsed.FieldExists(32767));
    const DecodedReport decoded = DecodeReportAnswer(answer.parsed, false);
    EXPECT_EQ(decoded.outcome, DecodedReport::Decoded);
    EXPECT_EQ(decoded.count, 32668);
    EXPECT_GT(decoded.kept, 32668 / 2);
}

// ---- stamps --------------------------------------------------------------

struct PeriodRow {
    const char *name;
    const char *from;
    const char *to;
    const char *first;   // the period the stamps must fall in, as yyMMddHHmmss
    const char *last;
};

class ReportPeriodTest : public ::testing::TestWithParam<PeriodRow> {};

TEST_P(ReportPeriodTest, StampsFallWithinThePeriod)
{
    const PeriodRow &row = GetParam();
    const VaroManager request = reportRequest(row.from, row.to);
    int checked = 0;
    for (const GeneratedRecord &record : generateReportRecords(makeReport(400, 17), &request)) {
        const auto parsed = parseRecord(record.field);
        if (!parsed || record.kind == RecordKind::ShortStamp || record.kind == RecordKind::LongStamp)
            continue;
        const std::string stamp = parsed->GetFieldData(2);
        ASSERT_EQ(stamp.size(), 12u);
        EXPECT_GE(stamp, row.first);
        EXPECT_LE(stamp, row.last);
        ++checked;
    }
    EXPECT_GT(checked, 300);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReportPeriodTest,
    ::testing::Values(PeriodRow{"OneDay", "050405000000", "050405235959", "050405000000", "050405235959"},
                      PeriodRow{"ThreeDaysOverAMonthEnd", "050330000000", "050401235959", "050330000000", "050401235959"},
                      PeriodRow{"OneSecond", "250101120000", "250101120000", "250101120000", "250101120000"},
                      PeriodRow{"EndBeforeStartFallsBackToTheDefaultDay", "050407000000", "050405235959",
                                "250314000000", "250314235959"},
                      PeriodRow{"UnreadableFallsBackToTheDefaultDay", "05040700000", "x", "250314000000",
                                "250314235959"},
                      PeriodRow{"NotADateFallsBackToTheDefaultDay", "050231000000", "050231235959", "250314000000",
                                "250314235959"}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- what the console makes of it -----------------------------------------

bool keptBy(RecordKind kind, bool onlyApproved)
{
    switch (kind) {
    case RecordKind::BadCheck:
    case RecordKind::Truncated:
    case RecordKind::Absent:
    case RecordKind::Code10000: return false;
    case RecordKind::Code100: return !onlyApproved;
    default: return true;
    }
}

const char *codeCell(RecordKind kind)
{
    switch (kind) {
    case RecordKind::Code5: return " 5";
    case RecordKind::Code100: return " 100";
    case RecordKind::CodeMinus1: return " -1";
    default: return " 0";
    }
}

bool isOneOf(RecordKind kind, std::initializer_list<RecordKind> kinds)
{
    return std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
}

class ReportDecodeTest : public ::testing::TestWithParam<bool> {};

TEST_P(ReportDecodeTest, EveryRecordDecodesAsItsKindIntends)
{
    const bool onlyApproved = GetParam();
    const ReportSpec s = makeReport(300, 20250314);
    const BuiltAnswer answer = buildAnswer(s, &periodRequest());
    const std::vector<GeneratedRecord> records = generateReportRecords(s, &periodRequest());
    const DecodedReport decoded = DecodeReportAnswer(answer.parsed, onlyApproved);
    ASSERT_EQ(decoded.outcome, DecodedReport::Decoded);
    ASSERT_EQ(decoded.count, 300);

    const QDateTime periodStart(QDate(2005, 4, 5), QTime(0, 0), QTimeZone::utc());
    const QDateTime periodEnd(QDate(2005, 4, 7), QTime(23, 59, 59), QTimeZone::utc());
    const CodePage &cp = CodePage::console();
    qint32 row = 0;
    qint64 lastStan = -1;
    for (size_t i = 0; i < records.size(); ++i) {
        const RecordKind kind = records[i].kind;
        SCOPED_TRACE(QStringLiteral("record %1 (%2)").arg(i + 1).arg(recordKindName(kind)).toStdString());
        if (!keptBy(kind, onlyApproved))
            continue;
        ++row;   // kept records fill consecutive rows, in arrival order
        ASSERT_LE(row, decoded.kept);
        const VaroManager record = *parseRecord(records[i].field);
        const ReportTable &t = decoded.table;

        EXPECT_EQ(t.cell(row, C::kTerminal), bytesOf(record.GetFieldData(1)));
        EXPECT_EQ(t.cell(row, C::kResponseCode), codeCell(kind));
        EXPECT_EQ(t.cell(row, C::kCard).isEmpty(), kind == RecordKind::UnknownCard);

        const bool badStamp = isOneOf(kind, {RecordKind::ShortStamp, RecordKind::LongStamp});
        if (badStamp) {
            EXPECT_TRUE(t.cell(row, C::kDate).isEmpty());
            EXPECT_TRUE(t.cell(row, C::kTime).isEmpty());
        } else {
            const QDate date = QDate::fromString(QString::fromLatin1(t.cell(row, C::kDate)), QStringLiteral("dd.MM.yyyy"));
            const QTime time = QTime::fromString(QString::fromLatin1(t.cell(row, C::kTime)), QStringLiteral("HH:mm:ss"));
            ASSERT_TRUE(date.isValid() && time.isValid())
                << t.cell(row, C::kDate).constData() << ' ' << t.cell(row, C::kTime).constData();
            const QDateTime utc(date, time, QTimeZone::utc());
            EXPECT_GE(utc, periodStart);
            EXPECT_LE(utc, periodEnd);
        }

        const qint64 stan = t.cell(row, C::kStan).toLongLong();
        if (kind == RecordKind::WrongSizeNumbers) {
            EXPECT_EQ(t.cell(row, C::kStan), "0");
            EXPECT_EQ(t.cell(row, C::kAmount), "0.00");
        } else {
            EXPECT_GT(stan, lastStan) << "STANs run on, one per transaction";
            lastStan = stan;
        }

        const bool tip = isOneOf(kind, {RecordKind::Tip, RecordKind::BookingWithTip});
        const bool booking = isOneOf(kind, {RecordKind::Booking, RecordKind::BookingFiveFlags, RecordKind::BookingWithTip});
        EXPECT_EQ(t.cell(row, C::kTipFlag), tip ? cp.encode(u"Jootraha lisatud") : QByteArray());
        EXPECT_EQ(t.cell(row, C::kBookingFlag), booking ? cp.encode(u"Broneering") : QByteArray());
        const bool cancelled = kind == RecordKind::Cancelled;
        EXPECT_EQ(t.cell(row, C::kCancelFlag), cancelled ? cp.encode(u"tühistatud") : QByteArray());
        EXPECT_EQ(t.cell(row, C::kSent), kind == RecordKind::NotSent ? QByteArray() : QByteArray("      +"));

        // What the record carries, read here from its own bytes.
        const double amount = kind == RecordKind::WrongSizeNumbers ? 0 : readDouble(bytesOf(record.GetFieldData(4)));
        if (kind != RecordKind::WrongSizeNumbers) {
            EXPECT_GT(amount, 0);
            EXPECT_EQ(t.cell(row, C::kAmount).startsWith('-'), cancelled) << t.cell(row, C::kAmount).constData();
        }
        const bool summed = !isOneOf(kind, {RecordKind::Code5, RecordKind::Code100, RecordKind::CodeMinus1});
        EXPECT_EQ(t.sumAmount(row), summed ? (cancelled ? -amount : amount) : 0.0);
    }
    EXPECT_EQ(decoded.kept, row);
}

INSTANTIATE_TEST_SUITE_P(Filter, ReportDecodeTest, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "OnlyApproved" : "All"; });

struct VerdictRow {
    const char *name;
    int32_t status;
    std::optional<int32_t> count;
    DecodedReport::Outcome outcome;
};

class ReportVerdictTest : public ::testing::TestWithParam<VerdictRow> {};

TEST_P(ReportVerdictTest, StatusAndCountReachTheConsolesVerdict)
{
    ReportSpec s = makeReport(20, 4, GetParam().status);
    s.count = GetParam().count;
    const DecodedReport decoded = DecodeReportAnswer(buildAnswer(s, nullptr).parsed, false);
    EXPECT_EQ(decoded.outcome, GetParam().outcome);
    EXPECT_EQ(decoded.status, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReportVerdictTest,
    ::testing::Values(VerdictRow{"StatusZero", 0, std::nullopt, DecodedReport::Decoded},
                      VerdictRow{"StatusNine", 9, std::nullopt, DecodedReport::Decoded},
                      VerdictRow{"StatusTen", 10, std::nullopt, DecodedReport::BadStatus},
                      VerdictRow{"StatusTwelve", 12, std::nullopt, DecodedReport::BadStatus},
                      VerdictRow{"StatusMinusOne", -1, std::nullopt, DecodedReport::BadStatus},
                      VerdictRow{"StatusLargest", 2147483647, std::nullopt, DecodedReport::BadStatus},
                      VerdictRow{"CountNegative", 0, -1, DecodedReport::BadCount},
                      VerdictRow{"CountBeyondTheLastRecordField", 0, 32669, DecodedReport::BadCount},
                      VerdictRow{"CountAboveTheRecordsSent", 0, 25, DecodedReport::Decoded}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- the scenario file ---------------------------------------------------

std::shared_ptr<const ReportSpec> reportOf(const LoadResult &loaded)
{
    const auto &steps = loaded.scenario->connections.at(0).steps;
    return std::get<SendStep>(steps.at(1).action).message.report;
}

TEST(ReportScenarioTest, ShippedReportAnswersThreeHundredRecordsOfEveryKind)
{
    const LoadResult loaded = loadScenarioFile(QStringLiteral(SIM_SCENARIO_DIR "/report.json"), cp1257());
    ASSERT_TRUE(loaded.scenario) << loaded.error.toStdString();
    const auto report = reportOf(loaded);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->records, 300);
    EXPECT_EQ(report->status, 0);
    std::set<RecordKind> seen;
    for (const GeneratedRecord &record : generateReportRecords(*report, &periodRequest()))
        seen.insert(record.kind);
    EXPECT_EQ(seen.size(), allRecordKinds().size());
}

TEST(ReportScenarioTest, ShippedBadStatusAnswerIsRejectedByTheConsole)
{
    const LoadResult loaded = loadScenarioFile(QStringLiteral(SIM_SCENARIO_DIR "/report-bad-status.json"), cp1257());
    ASSERT_TRUE(loaded.scenario) << loaded.error.toStdString();
    const auto report = reportOf(loaded);
    ASSERT_TRUE(report);
    EXPECT_EQ(DecodeReportAnswer(buildAnswer(*report, &periodRequest()).parsed, false).outcome,
              DecodedReport::BadStatus);
}

TEST(ReportScenarioTest, KeysOfAReportAreRead)
{
    const LoadResult loaded = loadScenarioJson(
        R"({"steps": [ {"expect": "0019"}, {"send": {"code": "0020", "fields": [{"id": 20, "text": "x"}],
            "report": {"records": 7, "seed": 99, "status": -4, "count": 8, "kinds": ["tip", "absent", "tip"]}}} ]})",
        QStringLiteral("r.json"), cp1257());
    ASSERT_TRUE(loaded.scenario) << loaded.error.toStdString();
    const auto report = reportOf(loaded);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->records, 7);
    EXPECT_EQ(report->seed, 99u);
    EXPECT_EQ(report->status, -4);
    EXPECT_EQ(report->count, 8);
    EXPECT_EQ(report->kinds, (std::vector<RecordKind>{RecordKind::Tip, RecordKind::Absent, RecordKind::Tip}));
}

TEST(ReportScenarioTest, EveryKindHasAScenarioNameThatReadsBack)
{
    std::set<QString> names;
    for (const RecordKind kind : allRecordKinds()) {
        const QString name = recordKindName(kind);
        EXPECT_FALSE(name.isEmpty());
        EXPECT_EQ(recordKindFromName(name), kind) << name.toStdString();
        names.insert(name);
    }
    EXPECT_EQ(names.size(), allRecordKinds().size());
    EXPECT_FALSE(recordKindFromName(QStringLiteral("Approved")));
}

struct BadReportRow {
    const char *name;
    const char *report;   // the JSON after "report":
    const char *error;    // what follows "bad.json: steps[0].send"
};

class BadReportTest : public ::testing::TestWithParam<BadReportRow> {};

TEST_P(BadReportTest, RefusedWithThePlaceAndTheReason)
{
    const QByteArray json = QByteArray(R"({"steps": [ {"send": {"code": "0020", )") + GetParam().report + "}} ]}";
    const LoadResult loaded = loadScenarioJson(json, QStringLiteral("bad.json"), cp1257());
    EXPECT_FALSE(loaded.scenario);
    EXPECT_EQ(loaded.error.toStdString(), std::string("bad.json: steps[0].send") + GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BadReportTest,
    ::testing::Values(
        BadReportRow{"NotAnObject", R"("report": 300)", ".report: expected an object { ... }"},
        BadReportRow{"WithoutRecords", R"("report": {"seed": 1})",
                     ".report: \"records\" is missing: how many records the answer carries"},
        BadReportRow{"TooManyRecords", R"("report": {"records": 32669})", ".report.records: 32669 is outside 0..32668"},
        BadReportRow{"NegativeRecords", R"("report": {"records": -1})", ".report.records: -1 is outside 0..32668"},
        BadReportRow{"UnknownKey", R"("report": {"records": 1, "stauts": 1})",
                     ".report.stauts: unknown key; expected one of: records, seed, status, count, kinds, given"},
        BadReportRow{"UnknownKind", R"("report": {"records": 1, "kinds": ["approved", "refund"]})",
                     ".report.kinds[1]: unknown record kind; expected one of: approved, notSent, cancelled, booking, "
                     "bookingFiveFlags, tip, bookingWithTip, shortFlags, code5, code100, code10000, codeMinus1, "
                     "deliveryMissing, deliveryEmpty, shortStamp, longStamp, unknownCard, wrongSizeNumbers, "
                     "commaCheck, badCheck, truncated, absent"},
        BadReportRow{"EmptyKinds", R"("report": {"records": 1, "kinds": []})",
                     ".report.kinds: the list is empty; leave it out for every kind"},
        BadReportRow{"StatusFieldListedToo", R"("fields": [{"id": 6, "int32": 0}], "report": {"records": 3})",
                     ".fields[0]: field 6 is one the report makes (10, 6 and 100 ... 102)"},
        BadReportRow{"RecordFieldListedToo",
                     R"("fields": [{"id": 5, "text": "a"}, {"id": 102, "hex": ""}], "report": {"records": 3})",
                     ".fields[1]: field 102 is one the report makes (10, 6 and 100 ... 102)"}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- the log -------------------------------------------------------------

TEST(ReportSummaryTest, RecordsOfAnAnswerMakeOneEntryInTheLog)
{
    ReportSpec s = makeReport(40, 8);
    const BuiltAnswer answer = buildAnswer(s, nullptr);
    int notFrames = 0;
    size_t bytes = 0;
    int16_t first = 0;
    int16_t last = 0;
    const std::vector<GeneratedRecord> records = generateReportRecords(s, nullptr);
    for (size_t i = 0; i < records.size(); ++i) {
        if (!records[i].field)
            continue;
        bytes += records[i].field->size();
        notFrames += !parseRecord(records[i].field);
        last = int16_t(100 + i);
        if (first == 0)
            first = last;
    }
    const QString line = describeFrame(answer.parsed, cp1257());
    QString expected = QStringLiteral("0020 pos=\"POS00042\" session=000007 10=int32 40 6=int32 0 %1..%2=records[%3, %4 bytes")
                           .arg(first)
                           .arg(last)
                           .arg(answer.parsed.getFieldCount() - 5)
                           .arg(bytes);
    ASSERT_GT(notFrames, 0);
    expected += QStringLiteral(", %1 not frames]").arg(notFrames);
    EXPECT_EQ(line, expected);
}

} // namespace
