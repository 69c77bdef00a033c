// The simulator's ledger of approvals: what a record holds (terminal, the
// clock's stamp, STAN, amount, the card masked to its last four digits, the
// booking flag), how report answers list the ledger before their generated
// records, and, with the server in this process over loopback, that approvals
// are booked across connections, that approveThenHangup books one it never
// sends and hangs up (FIN or reset), and that no card number reaches the log
// or the ledger.
#include "Ledger.h"
#include "ReportAnswer.h"
#include "Scenario.h"
#include "SimHarness.h"
#include "SimLog.h"
#include "SimServer.h"

#include "common/CodePage.h"
#include "reports/ReportDecoder.h"
#include "reports/ReportTable.h"

#include "VaroManager.h"

#include <QCoreApplication>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Sim;
using namespace SimTest;
using namespace Qt::StringLiterals;

namespace {

namespace C = ReportColumn;

const std::string kPos = "KASSA-07";
const std::string kSession = "000041";
const std::string kTrack = ";4111111111111111=25121011234567890?";
const std::string kPan = "4111111111111111";
const std::string kMaskedPan = "************1111";

const CodePage &cp1257()
{
    static const CodePage codePage = *CodePage::fromName("windows-1257");
    return codePage;
}

// The clock of every test: UTC, so the stamps read the same in every time zone.
QDateTime at(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
}

VaroManager parsed(const std::string &frame)
{
    VaroManager message;
    std::string copy = frame;
    std::string rest;
    EXPECT_EQ(message.ProcessMessage(copy, rest), VaroManager::Parsed);
    return message;
}

std::string paymentRequest(const std::string &code = "0001", double amount = 12.5, const std::string &card = kTrack,
                           char bookingFlag = '\0', const std::string &session = kSession)
{
    return request(code, kPos, session,
                   {{4, doubleBytes(amount)}, {5, card}, {6, std::string(1, bookingFlag)},
                    {7, std::string(1, '\0')}, {11, std::string(1, '\0')}, {14, std::string(1, '\0')}});
}

std::string reportRequest(const std::string &session = "000050")
{
    return request("0019", kPos, session, {{5, "260305000000"}, {9, "260305235959"}});
}

// The record frame a ledger entry must be, written out field by field.
std::string expectedRecord(const std::string &terminal, const std::string &stamp, int32_t stan, double amount,
                           const std::string &card, const std::string &flags)
{
    return frameOf({{1, terminal}, {2, stamp}, {3, int32Bytes(stan)}, {4, doubleBytes(amount)}, {5, card},
                    {6, std::string(1, '\0')}, {7, flags}, {8, int32Bytes(0)}, {9, int32Bytes(0)}});
}

// ---- masking -------------------------------------------------------------

struct MaskRow {
    const char *name;
    const char *field;
    const char *masked;
};

class MaskCardNumberTest : public ::testing::TestWithParam<MaskRow> {};

TEST_P(MaskCardNumberTest, OnlyTheLastFourDigitsOfTheNumberRemain)
{
    EXPECT_EQ(maskCardNumber(GetParam().field), GetParam().masked);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MaskCardNumberTest,
    ::testing::Values(MaskRow{"TrackTwo", ";4111111111111111=25121011234567890?", "************1111"},
                      MaskRow{"TrackOne", "%B5500000000000004^DOE/J^2512101?", "************0004"},
                      MaskRow{"BarePan", "4111111111111111", "************1111"},
                      MaskRow{"NineteenDigits", "6703444444444444449", "***************4449"},
                      MaskRow{"PanWithSpaces", "4111 1111 1111 1111", "************1111"},
                      MaskRow{"FiveDigits", "12345", "*2345"},
                      MaskRow{"FourDigitsAreAllHidden", "1234", "****"},
                      MaskRow{"NoDigits", "KAART", ""},
                      MaskRow{"Empty", "", ""}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- the record ----------------------------------------------------------

VaroManager transaction(const std::string &code, const std::vector<std::pair<int16_t, std::string>> &fields)
{
    VaroManager request;
    request.AddField(1, code);
    request.AddField(2, kPos);
    request.AddField(3, kSession);
    for (const auto &[id, data] : fields)
        request.AddField(id, data);
    return request;
}

TEST(LedgerTest, RecordHoldsTerminalClockStampStanAmountAndMaskedCard)
{
    Ledger ledger;
    ledger.setClock([] { return at(2026, 3, 5, 9, 8, 7); });
    ledger.recordApproval(transaction("0001", {{4, doubleBytes(12.5)}, {5, kTrack}, {6, std::string(1, '\0')}}), 123);
    ASSERT_EQ(ledger.size(), 1u);
    const LedgerRecord &record = ledger.records().front();
    EXPECT_EQ(record.terminal, kPos);
    EXPECT_EQ(record.stamp, "260305090807");
    EXPECT_EQ(record.stan, 123);
    EXPECT_EQ(record.amount, 12.5);
    EXPECT_EQ(record.card, kMaskedPan);
    EXPECT_EQ(record.frame(), expectedRecord(kPos, "260305090807", 123, 12.5, kMaskedPan, "000000"));
}

struct FlagRow {
    const char *name;
    const char *code;
    std::optional<std::string> bookingFlag;   // field 6; nullopt: absent
    const char *flags;
};

class LedgerFlagTest : public ::testing::TestWithParam<FlagRow> {};

TEST_P(LedgerFlagTest, BookingFlagOfTheRequestMarksTheRecord)
{
    Ledger ledger;
    std::vector<std::pair<int16_t, std::string>> fields{{4, doubleBytes(3.0)}, {5, kTrack}};
    if (GetParam().bookingFlag)
        fields.emplace_back(6, *GetParam().bookingFlag);
    ledger.recordApproval(transaction(GetParam().code, fields), 9);
    EXPECT_EQ(ledger.records().front().frame(),
              expectedRecord(kPos, ledger.records().front().stamp, 9, 3.0, kMaskedPan, GetParam().flags));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LedgerFlagTest,
    ::testing::Values(FlagRow{"Booking", "0001", std::string(1, '\x01'), "000010"},
                      FlagRow{"Payment", "0001", std::string(1, '\0'), "000000"},
                      FlagRow{"NoFlagField", "0017", std::nullopt, "000000"},
                      FlagRow{"OtherByte", "0001", std::string(1, '\x02'), "000000"},
                      FlagRow{"TwoBytes", "0018", std::string("\x01\x01", 2), "000000"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(LedgerTest, RequestWithoutAmountOrCardGivesZeroAndAnEmptyCard)
{
    Ledger ledger;
    ledger.setClock([] { return at(2030, 12, 31, 23, 59, 59); });
    ledger.recordApproval(transaction("0016", {{13, int32Bytes(77)}}), 78);
    EXPECT_EQ(ledger.records().front().frame(), expectedRecord(kPos, "301231235959", 78, 0.0, "", "000000"));
    // An amount field of the wrong size reads as 0, as the console reads it.
    ledger.recordApproval(transaction("0017", {{4, int32Bytes(1250)}}), 79);
    EXPECT_EQ(ledger.records().back().amount, 0.0);
}

TEST(LedgerTest, KeepsTheNewestRecordsAnAnswerCanCarry)
{
    Ledger ledger;
    const VaroManager request = transaction("0001", {{4, doubleBytes(1.0)}});
    for (int32_t stan = 1; stan <= int32_t(Ledger::kMaxRecords) + 2; ++stan)
        ledger.recordApproval(request, stan);
    EXPECT_EQ(ledger.size(), Ledger::kMaxRecords);
    EXPECT_EQ(ledger.booked(), Ledger::kMaxRecords + 2);
    EXPECT_EQ(ledger.records().front().stan, 3);
    EXPECT_EQ(ledger.records().back().stan, int32_t(Ledger::kMaxRecords) + 2);
}

// ---- the report answer ---------------------------------------------------

VaroManager buildAnswer(const ReportSpec &report, const VaroManager *request, const Ledger *ledger,
                        std::vector<FieldSpec> listed = {})
{
    MessageSpec message;
    message.code = "0020";
    message.body.fields = std::move(listed);
    message.report = std::make_shared<ReportSpec>(report);
    SendContext context;
    context.pos = kPos;
    context.session = "000050";
    context.lastRequest = request;
    context.ledger = ledger;
    return parsed(buildFrame(message, context));
}

ReportSpec generated(int records, uint32_t seed)
{
    ReportSpec report;
    report.records = records;
    report.seed = seed;
    report.kinds = {RecordKind::Approved, RecordKind::Tip, RecordKind::Absent};
    return report;
}

// Two approvals, a payment and a booking, at 09:08:07 and 09:10:00.
Ledger twoApprovals()
{
    Ledger ledger;
    QDateTime now = at(2026, 3, 5, 9, 8, 7);
    ledger.setClock([&now] { return now; });
    ledger.recordApproval(transaction("0001", {{4, doubleBytes(12.5)}, {5, kTrack}, {6, std::string(1, '\0')}}), 123);
    now = at(2026, 3, 5, 9, 10, 0);
    ledger.recordApproval(transaction("0001", {{4, doubleBytes(40.0)}, {5, "%B5500000000000004^DOE/J^2512?"},
                                               {6, std::string(1, '\x01')}}),
                          124);
    ledger.setClock({});
    return ledger;
}

TEST(LedgerReportTest, LedgerRecordsComeFirstAndGeneratedOnesShiftBehind)
{
    const Ledger ledger = twoApprovals();
    const VaroManager request = parsed(reportRequest());
    const ReportSpec report = generated(6, 21);
    const VaroManager answer = buildAnswer(report, &request, &ledger);
    EXPECT_EQ(answer.GetFieldData(10), int32Bytes(8)) << "the count is ledger plus generated records";
    EXPECT_EQ(answer.GetFieldData(6), int32Bytes(0));
    EXPECT_EQ(answer.GetFieldData(100), expectedRecord(kPos, "260305090807", 123, 12.5, kMaskedPan, "000000"));
    EXPECT_EQ(answer.GetFieldData(101), expectedRecord(kPos, "260305091000", 124, 40.0, "************0004", "000010"));
    const std::vector<GeneratedRecord> records = generateReportRecords(report, &request);
    ASSERT_EQ(records.size(), 6u);
    int absent = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const auto id = static_cast<int16_t>(102 + i);
        ASSERT_EQ(answer.FieldExists(id), records[i].field.has_value()) << "record " << i + 3;
        if (records[i].field) {
            EXPECT_EQ(answer.GetFieldData(id), *records[i].field) << "record " << i + 3;
        }
        absent += !records[i].field;
    }
    EXPECT_GT(absent, 0) << "an absent record keeps its number";
    EXPECT_FALSE(answer.FieldExists(108));
}

TEST(LedgerReportTest, ExplicitCountWinsOverTheLedger)
{
    const Ledger ledger = twoApprovals();
    ReportSpec report = generated(3, 4);
    report.count = 1;
    EXPECT_EQ(buildAnswer(report, nullptr, &ledger).GetFieldData(10), int32Bytes(1));
    report.count = 0;
    EXPECT_EQ(buildAnswer(report, nullptr, &ledger).GetFieldData(10), int32Bytes(0));
}

TEST(LedgerReportTest, GeneratedRecordsAreCutSoTheAnswerStaysWithinTheLargest)
{
    const Ledger ledger = twoApprovals();
    ReportSpec report;
    report.records = ReportSpec::kMaxRecords;
    report.seed = 3;
    report.kinds = {RecordKind::Approved};
    const VaroManager answer = buildAnswer(report, nullptr, &ledger);
    EXPECT_EQ(answer.GetFieldData(10), int32Bytes(ReportSpec::kMaxRecords));
    const std::vector<GeneratedRecord> records = generateReportRecords(report, nullptr);
    // The last field carries the generated record that comes two before the
    // end of the draw: the ledger's two took the first places.
    EXPECT_EQ(answer.GetFieldData(32767), *records[size_t(ReportSpec::kMaxRecords) - 3].field);
    EXPECT_EQ(answer.GetFieldData(102), *records[0].field);
    EXPECT_EQ(answer.getFieldCount(), 5 + ReportSpec::kMaxRecords);
    const DecodedReport decoded = DecodeReportAnswer(answer, false);
    EXPECT_EQ(decoded.outcome, DecodedReport::Decoded);
    EXPECT_EQ(decoded.kept, ReportSpec::kMaxRecords);
}

TEST(LedgerReportTest, EmptyLedgerLeavesTheAnswerByteForByte)
{
    const Ledger empty;
    const VaroManager request = parsed(reportRequest());
    ReportSpec report;
    report.records = 300;
    report.seed = 20250314;
    MessageSpec message;
    message.code = "0020";
    message.report = std::make_shared<ReportSpec>(report);
    SendContext without;
    without.lastRequest = &request;
    SendContext with = without;
    with.ledger = &empty;
    EXPECT_EQ(buildFrame(message, with), buildFrame(message, without));
}

TEST(LedgerReportTest, LedgerOnlyAnswerReadsBackThroughTheConsolesDecoder)
{
    const Ledger ledger = twoApprovals();
    const VaroManager answer = buildAnswer(generated(0, 1), nullptr, &ledger);
    EXPECT_EQ(answer.GetFieldData(10), int32Bytes(2));
    EXPECT_FALSE(answer.FieldExists(102));
    const DecodedReport decoded = DecodeReportAnswer(answer, true);
    ASSERT_EQ(decoded.outcome, DecodedReport::Decoded);
    ASSERT_EQ(decoded.kept, 2);
    const ReportTable &t = decoded.table;
    EXPECT_EQ(t.cell(1, C::kTerminal), QByteArray::fromStdString(kPos));
    EXPECT_EQ(t.cell(1, C::kDate), "05.03.2026");
    EXPECT_EQ(t.cell(1, C::kTime), "09:08:07");
    EXPECT_EQ(t.cell(1, C::kStan), "123");
    EXPECT_EQ(t.cell(1, C::kCard), QByteArray::fromStdString(kMaskedPan));
    EXPECT_EQ(t.cell(1, C::kResponseCode), " 0");
    EXPECT_EQ(t.cell(1, C::kAmount), "12.50");
    EXPECT_EQ(t.cell(1, C::kSent), ReportCell::kSentMark);
    EXPECT_TRUE(t.cell(1, C::kBookingFlag).isEmpty());
    EXPECT_TRUE(t.cell(1, C::kCancelFlag).isEmpty());
    EXPECT_EQ(t.cell(2, C::kStan), "124");
    EXPECT_EQ(t.cell(2, C::kBookingFlag), CodePage::console().encode(ReportCell::kBooking));
}

TEST(LedgerReportTest, ListedFieldKeepsItsPlaceOverALedgerRecord)
{
    const Ledger ledger = twoApprovals();
    FieldSpec listed;
    listed.id = 101;
    listed.value = std::string("hand-written");
    const VaroManager answer = buildAnswer(generated(0, 1), nullptr, &ledger, {listed});
    EXPECT_EQ(answer.GetFieldData(101), "hand-written");
    EXPECT_EQ(answer.GetFieldData(100), ledger.records().front().frame());
    EXPECT_EQ(answer.getFieldCount(), 7);
}

// ---- the server, in this process -----------------------------------------

// How a raw client saw the connection end.
enum class Ending { Open, Fin, Reset };

// A client on a plain socket, so a FIN and a reset can be told apart (recv
// gives 0 for the one and ECONNRESET for the other).
class RawClient {
public:
    ~RawClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool connectTo(quint16 port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(port);
        return m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    }
    void send(const std::string &bytes)
    {
        ASSERT_EQ(::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
    }
    // Reads (running the event loop between reads) until the server ends
    // the connection.
    Ending readToTheEnd()
    {
        waitUntil([this] {
            char chunk[4096];
            for (;;) {
                const ssize_t got = ::recv(m_fd, chunk, sizeof chunk, MSG_DONTWAIT);
                if (got > 0) {
                    m_received.append(chunk, static_cast<size_t>(got));
                    continue;
                }
                if (got == 0)
                    m_ending = Ending::Fin;
                else if (errno == ECONNRESET)
                    m_ending = Ending::Reset;
                return m_ending != Ending::Open;
            }
        });
        return m_ending;
    }
    const std::string &received() const { return m_received; }

private:
    int m_fd = -1;
    std::string m_received;
    Ending m_ending = Ending::Open;
};

class LedgerServerTest : public ::testing::Test {
protected:
    void start(const QByteArray &json)
    {
        const LoadResult loaded = loadScenarioJson(json, QStringLiteral("ledger.json"), cp1257());
        ASSERT_TRUE(loaded.scenario) << loaded.error.toStdString();
        m_log.setTap([this](const QString &line) { m_logText += line + u'\n'; });
        m_server = std::make_unique<SimServer>(loaded.scenario->connections, false, cp1257(), m_log);
        m_server->setClock([this] { return m_now; });
        QObject::connect(m_server.get(), &SimServer::serverFrame, m_server.get(),
                         [this](int connection, const QByteArray &frame) { m_sent.emplace_back(connection, frame.toStdString()); });
        QObject::connect(m_server.get(), &SimServer::clientFrame, m_server.get(),
                         [this](int, const QByteArray &frame) { m_clientBytes += frame.toStdString(); });
        QObject::connect(m_server.get(), &SimServer::finished, m_server.get(), [this](int code) { m_exit = code; });
        QString error;
        ASSERT_TRUE(m_server->listen(0, &error)) << error.toStdString();
    }

    // A payment answered with its approval, then the closing handshake.
    void payAndClose(SimClient &client, const std::string &payment, const std::string &session = kSession)
    {
        ASSERT_TRUE(client.connectTo(m_server->port()));
        client.send(payment);
        const auto approval = client.nextFrameSkippingKeepAlives();
        ASSERT_TRUE(approval);
        ASSERT_EQ(codeOf(*approval), "0012");
        client.send(request("0023", kPos, session));
        const auto closed = client.nextFrameSkippingKeepAlives();
        ASSERT_TRUE(closed);
        EXPECT_EQ(codeOf(*closed), "0023");
        client.close();
    }

    // The "0020" the next connection gets for a report request.
    std::string reportAnswer()
    {
        SimClient client;
        EXPECT_TRUE(client.connectTo(m_server->port()));
        client.send(reportRequest());
        const auto answer = client.nextFrameSkippingKeepAlives();
        EXPECT_TRUE(answer);
        client.close();
        return answer.value_or(std::string());
    }

    bool sentAnyApproval() const
    {
        for (const auto &[connection, frame] : m_sent) {
            if (codeOf(frame) == "0012")
                return true;
        }
        return false;
    }

    QDateTime m_now = at(2026, 3, 5, 9, 8, 7);
    SimLog m_log;
    QString m_logText;
    std::unique_ptr<SimServer> m_server;
    std::vector<std::pair<int, std::string>> m_sent;
    std::string m_clientBytes;
    std::optional<int> m_exit;
};

// A payment approved with STAN 123, then a report of the ledger alone.
const QByteArray kPaymentThenReport = R"({"connections": [
    {"steps": [ {"expect": ["0001", "0016", "0017", "0018"]},
                {"send": {"code": "0012", "fields": [{"id": 13, "int32": 123}, {"id": 12, "receipt": ["Kaardimakse"]}]}} ]},
    {"steps": [ {"expect": "0019"}, {"send": {"code": "0020", "report": {"records": 0}}} ]} ]})";

TEST_F(LedgerServerTest, ApprovedPaymentIsListedInTheNextConnectionsReport)
{
    start(kPaymentThenReport);
    SimClient client;
    payAndClose(client, paymentRequest());
    const std::string answer = reportAnswer();
    EXPECT_EQ(answer, request("0020", kPos, "000050",
                              {{10, int32Bytes(1)}, {6, int32Bytes(0)},
                               {100, expectedRecord(kPos, "260305090807", 123, 12.5, kMaskedPan, "000000")}}));
    ASSERT_TRUE(waitUntil([this] { return m_exit.has_value(); }));
    EXPECT_EQ(*m_exit, 0) << m_logText.toStdString();
}

struct TransactionRow {
    const char *name;
    const char *code;
    char bookingFlag;
    const char *flags;
};

class LedgerTransactionTest : public LedgerServerTest, public ::testing::WithParamInterface<TransactionRow> {};

TEST_P(LedgerTransactionTest, EveryApprovedTransactionKindIsBooked)
{
    start(kPaymentThenReport);
    SimClient client;
    payAndClose(client, paymentRequest(GetParam().code, 7.25, kTrack, GetParam().bookingFlag));
    const std::optional<std::string> record = fieldOf(reportAnswer(), 100);
    ASSERT_TRUE(record);
    EXPECT_EQ(*record, expectedRecord(kPos, "260305090807", 123, 7.25, kMaskedPan, GetParam().flags));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LedgerTransactionTest,
    ::testing::Values(TransactionRow{"Payment", "0001", '\0', "000000"},
                      TransactionRow{"Booking", "0001", '\x01', "000010"},
                      TransactionRow{"Cancellation", "0016", '\0', "000000"},
                      TransactionRow{"Tip", "0017", '\0', "000000"},
                      TransactionRow{"BookingCompletion", "0018", '\0', "000000"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(LedgerServerTest, LedgerSpansConnectionsInTheOrderOfTheApprovals)
{
    start(R"({"connections": [
        {"steps": [ {"expect": "0001"}, {"send": {"code": "0012", "fields": [{"id": 13, "int32": 501}]}} ]},
        {"steps": [ {"expect": "0001"}, {"send": {"code": "0012", "fields": [{"id": 13, "int32": 502}]}} ]},
        {"steps": [ {"expect": "0019"}, {"send": {"code": "0020", "report": {"records": 0}}} ]} ]})");
    SimClient first;
    payAndClose(first, paymentRequest("0001", 10.0));
    m_now = at(2026, 3, 5, 17, 44, 0);
    SimClient second;
    payAndClose(second, paymentRequest("0001", 20.0, "5500000000000004", '\x01', "000042"), "000042");
    const std::string answer = reportAnswer();
    EXPECT_EQ(fieldOf(answer, 10), int32Bytes(2));
    EXPECT_EQ(fieldOf(answer, 100), expectedRecord(kPos, "260305090807", 501, 10.0, kMaskedPan, "000000"));
    EXPECT_EQ(fieldOf(answer, 101), expectedRecord(kPos, "260305174400", 502, 20.0, "************0004", "000010"));
    EXPECT_FALSE(fieldOf(answer, 102));
    EXPECT_EQ(m_server->ledger().size(), 2u);
}

TEST_F(LedgerServerTest, ApprovalAfterAPromptBooksTheTransactionNotThePromptAnswer)
{
    start(R"({"connections": [
        {"steps": [ {"expect": "0001"}, {"send": {"code": "0008", "fields": [{"id": 5, "text": "Kas jah?"}]}},
                    {"expect": "0010"}, {"send": {"code": "0012", "fields": [{"id": 13, "int32": 4711}]}} ]},
        {"steps": [ {"expect": "0019"}, {"send": {"code": "0020", "report": {"records": 0}}} ]} ]})");
    SimClient client;
    ASSERT_TRUE(client.connectTo(m_server->port()));
    client.send(paymentRequest("0001", 99.99));
    ASSERT_TRUE(client.nextFrame());
    client.send(request("0010", "OTHER-01", kSession, {{11, std::string(1, '\x06')}}));
    const auto approval = client.nextFrameSkippingKeepAlives();
    ASSERT_TRUE(approval);
    ASSERT_EQ(codeOf(*approval), "0012");
    client.close();
    EXPECT_EQ(fieldOf(reportAnswer(), 100), expectedRecord(kPos, "260305090807", 4711, 99.99, kMaskedPan, "000000"));
}

TEST_F(LedgerServerTest, ApprovalWithoutATransactionRequestIsNotBooked)
{
    start(R"({"connections": [
        {"steps": [ {"expect": "0026"}, {"send": {"code": "0012", "fields": [{"id": 13, "int32": 1}]}} ]},
        {"steps": [ {"expect": "0019"}, {"send": {"code": "0020", "report": {"records": 0}}} ]} ]})");
    SimClient client;
    ASSERT_TRUE(client.connectTo(m_server->port()));
    client.send(request("0026", kPos, kSession, {{7, std::string(1, '\x02')}}));
    ASSERT_TRUE(client.nextFrame());
    client.close();
    const std::string answer = reportAnswer();
    EXPECT_EQ(fieldOf(answer, 10), int32Bytes(0));
    EXPECT_FALSE(fieldOf(answer, 100));
    EXPECT_TRUE(m_server->ledger().empty());
}

TEST_F(LedgerServerTest, ApprovalWithAWrongCheckByteIsBookedAsSent)
{
    start(R"({"connections": [
        {"steps": [ {"expect": "0001"}, {"send": {"code": "0012", "check": "wrong", "fields": [{"id": 13, "int32": 66}]}} ]},
        {"steps": [ {"expect": "0019"}, {"send": {"code": "0020", "report": {"records": 0}}} ]} ]})");
    SimClient client;
    ASSERT_TRUE(client.connectTo(m_server->port()));
    client.send(paymentRequest());
    ASSERT_TRUE(waitUntil([this] { return !m_sent.empty(); }));
    client.close();
    EXPECT_EQ(fieldOf(reportAnswer(), 100), expectedRecord(kPos, "260305090807", 66, 12.5, kMaskedPan, "000000"));
}

// The step a console test drives: the approval is booked, nothing is sent,
// the connection ends at once.
const QByteArray kApproveThenHangup = R"({"connections": [
    {"steps": [ {"expect": ["0001", "0016", "0017", "0018"]},
                {"send": {"code": "0002", "fields": [{"id": 5, "text": "Ühendus pangaga..."}]}},
                {"approveThenHangup": {"stan": 555%1}} ]},
    {"steps": [ {"expect": "0019"}, {"send": {"code": "0020", "report": {"records": 0}}} ]} ]})";

QByteArray approveThenHangup(bool reset)
{
    return QString::fromUtf8(kApproveThenHangup).arg(reset ? u", \"reset\": true"_s : QString()).toUtf8();
}

TEST_F(LedgerServerTest, ApproveThenHangupBooksTheApprovalButNeverSends0012)
{
    start(approveThenHangup(false));
    std::vector<std::pair<int, qint32>> booked;
    QObject::connect(m_server.get(), &SimServer::approvalBooked, m_server.get(),
                     [&booked](int connection, qint32 stan) { booked.emplace_back(connection, stan); });
    RawClient client;
    ASSERT_TRUE(client.connectTo(m_server->port()));
    client.send(paymentRequest());
    EXPECT_EQ(client.readToTheEnd(), Ending::Fin);
    // The status text, and nothing after it: the approval never went out.
    EXPECT_EQ(client.received(), request("0002", kPos, kSession, {{5, "\xDC" "hendus pangaga..."}}));
    EXPECT_FALSE(sentAnyApproval());
    EXPECT_EQ(booked, (std::vector<std::pair<int, qint32>>{{1, 555}}));
    EXPECT_TRUE(m_logText.contains(u"#1 approved STAN 555 (not sent), hanging up\n"_s)) << m_logText.toStdString();

    EXPECT_EQ(fieldOf(reportAnswer(), 100), expectedRecord(kPos, "260305090807", 555, 12.5, kMaskedPan, "000000"));
    EXPECT_FALSE(sentAnyApproval());
    ASSERT_TRUE(waitUntil([this] { return m_exit.has_value(); }));
    EXPECT_EQ(*m_exit, 0) << "the hang-up is what the scenario says: " << m_logText.toStdString();
}

TEST_F(LedgerServerTest, ApproveThenHangupWithResetResetsTheConnection)
{
    start(approveThenHangup(true));
    RawClient client;
    ASSERT_TRUE(client.connectTo(m_server->port()));
    client.send(paymentRequest());
    EXPECT_EQ(client.readToTheEnd(), Ending::Reset);
    EXPECT_EQ(client.received().find("0012"), std::string::npos);
    EXPECT_FALSE(sentAnyApproval());
    EXPECT_TRUE(m_logText.contains(u"#1 approved STAN 555 (not sent), hanging up with a reset\n"_s)) << m_logText.toStdString();
    EXPECT_EQ(fieldOf(reportAnswer(), 100), expectedRecord(kPos, "260305090807", 555, 12.5, kMaskedPan, "000000"));
}

TEST_F(LedgerServerTest, ApproveThenHangupWithoutATransactionBooksNothing)
{
    start(R"({"connections": [
        {"steps": [ {"expect": "0026"}, {"approveThenHangup": {"stan": 9}} ]},
        {"steps": [ {"expect": "0019"}, {"send": {"code": "0020", "report": {"records": 0}}} ]} ]})");
    RawClient client;
    ASSERT_TRUE(client.connectTo(m_server->port()));
    client.send(request("0026", kPos, kSession, {{7, std::string(1, '\x02')}}));
    EXPECT_EQ(client.readToTheEnd(), Ending::Fin);
    EXPECT_EQ(fieldOf(reportAnswer(), 10), int32Bytes(0));
    EXPECT_TRUE(m_server->ledger().empty());
}

TEST_F(LedgerServerTest, NoFullCardNumberReachesTheLogTheLedgerOrTheReport)
{
    start(approveThenHangup(false));
    RawClient client;
    ASSERT_TRUE(client.connectTo(m_server->port()));
    client.send(paymentRequest());
    ASSERT_EQ(client.readToTheEnd(), Ending::Fin);
    const std::string answer = reportAnswer();
    ASSERT_NE(m_clientBytes.find(kPan), std::string::npos) << "the track did reach the simulator";
    ASSERT_FALSE(answer.empty());
    EXPECT_EQ(answer.find(kPan), std::string::npos);
    EXPECT_EQ(answer.find("=25121011234567890"), std::string::npos);
    for (const LedgerRecord &record : m_server->ledger().records()) {
        EXPECT_EQ(record.card, kMaskedPan);
        EXPECT_EQ(record.frame().find("411111"), std::string::npos);
    }
    EXPECT_FALSE(m_logText.contains(u"411111"_s)) << m_logText.toStdString();
    EXPECT_FALSE(m_logText.contains(u"25121011234567890"_s)) << m_logText.toStdString();
    EXPECT_TRUE(m_logText.contains(u"card \"************1111\""_s)) << m_logText.toStdString();
}

} // namespace
