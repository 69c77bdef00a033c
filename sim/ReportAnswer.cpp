#include "ReportAnswer.h"

#include "Ledger.h"

#include "FrameBytes.h"

#include "common/Bytes.h"

#include "session/VaroMessages.h"

#include "VaroManager.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <random>

namespace Sim {

namespace {

struct KindName {
    RecordKind kind;
    const char *name;
};

constexpr std::array kKindNames = {
    KindName{RecordKind::Approved, "approved"},
    KindName{RecordKind::NotSent, "notSent"},
    KindName{RecordKind::Cancelled, "cancelled"},
    KindName{RecordKind::Booking, "booking"},
    KindName{RecordKind::BookingFiveFlags, "bookingFiveFlags"},
    KindName{RecordKind::Tip, "tip"},
    KindName{RecordKind::BookingWithTip, "bookingWithTip"},
    KindName{RecordKind::ShortFlags, "shortFlags"},
    KindName{RecordKind::Code5, "code5"},
    KindName{RecordKind::Code100, "code100"},
    KindName{RecordKind::Code10000, "code10000"},
    KindName{RecordKind::CodeMinus1, "codeMinus1"},
    KindName{RecordKind::DeliveryMissing, "deliveryMissing"},
    KindName{RecordKind::DeliveryEmpty, "deliveryEmpty"},
    KindName{RecordKind::ShortStamp, "shortStamp"},
    KindName{RecordKind::LongStamp, "longStamp"},
    KindName{RecordKind::UnknownCard, "unknownCard"},
    KindName{RecordKind::WrongSizeNumbers, "wrongSizeNumbers"},
    KindName{RecordKind::CommaCheck, "commaCheck"},
    KindName{RecordKind::BadCheck, "badCheck"},
    KindName{RecordKind::Truncated, "truncated"},
    KindName{RecordKind::Absent, "absent"},
};

// Terminals of a small shop and the card issuers a report lists; the report
// groups by either.
constexpr std::array kTerminals = {"T0000001", "T0000002", "T0000003", "T0000004"};
constexpr std::array kCards = {"VISA", "VISA ELECTRON", "MASTERCARD", "MAESTRO", "AMERICAN EXPRESS", "DINERS CLUB"};

constexpr int32_t kLargestCents = 50000;          // amounts 0.01 ... 500.00
constexpr uint8_t kNotSentFrom = ReportFilter::kNotSentFrom;

// Uniform draws from mt19937's raw 32-bit output by rejection, so that no
// value is favoured and the sequence is the same everywhere.
class Draw {
public:
    explicit Draw(uint32_t seed) : m_engine(seed) {}

    // 0 ... n - 1; n > 0.
    uint64_t below(uint64_t n)
    {
        if (n <= (uint64_t(1) << 32)) {
            const uint64_t range = uint64_t(1) << 32;
            const uint64_t limit = range - range % n;
            for (;;) {
                const uint64_t x = m_engine();
                if (x < limit)
                    return x % n;
            }
        }
        const uint64_t limit = UINT64_MAX - UINT64_MAX % n;
        for (;;) {
            const uint64_t x = (uint64_t(m_engine()) << 32) | m_engine();
            if (x < limit)
                return x % n;
        }
    }

    template <class T, std::size_t N>
    const T &pick(const std::array<T, N> &items)
    {
        return items[below(N)];
    }

private:
    std::mt19937 m_engine;
};


// A 12-digit stamp YYMMDDhhmmss as a moment in UTC (the years 2000 ... 2099).
std::optional<QDateTime> parseStamp(const std::string &stamp)
{
    if (stamp.size() != 12)
        return std::nullopt;
    for (const char c : stamp) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    auto number = [&stamp](int at) { return (stamp[at] - '0') * 10 + (stamp[at + 1] - '0'); };
    const QDate date(2000 + number(0), number(2), number(4));
    const QTime time(number(6), number(8), number(10));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, QTimeZone::utc());
}

std::string formatStamp(const QDateTime &moment)
{
    return moment.toString(QStringLiteral("yyMMddHHmmss")).toStdString();
}

struct Period {
    QDateTime from;
    qint64 seconds = 0;   // from ... from + seconds, both ends included
};

Period periodOf(const VaroManager *request)
{
    if (request) {
        const auto from = parseStamp(request->GetFieldData(VaroMsg::kFieldText));
        const auto to = parseStamp(request->GetFieldData(VaroMsg::kFieldPeriodEnd));
        if (from && to && *from <= *to)
            return {*from, from->secsTo(*to)};
    }
    return {QDateTime(QDate(2025, 3, 14), QTime(0, 0), QTimeZone::utc()), 86399};
}

// The kind of every record: each distinct kind once when there is room for
// all of them, the rest drawn (an approved payment half of the time when the
// kinds include it, as in a real shop's day), then the order shuffled.
std::vector<RecordKind> planKinds(const ReportSpec &report, Draw &draw)
{
    const std::vector<RecordKind> &pool = report.kinds.empty() ? allRecordKinds() : report.kinds;
    std::vector<RecordKind> distinct;
    for (const RecordKind kind : pool) {
        if (std::find(distinct.begin(), distinct.end(), kind) == distinct.end())
            distinct.push_back(kind);
    }
    const bool approvedInPool = std::find(pool.begin(), pool.end(), RecordKind::Approved) != pool.end();
    const auto total = static_cast<size_t>(report.records);
    std::vector<RecordKind> plan;
    plan.reserve(total);
    if (total >= distinct.size())
        plan = distinct;
    while (plan.size() < total) {
        if (approvedInPool && draw.below(2) == 0)
            plan.push_back(RecordKind::Approved);
        else
            plan.push_back(pool[draw.below(pool.size())]);
    }
    for (size_t i = plan.size(); i > 1; --i)
        std::swap(plan[i - 1], plan[draw.below(i)]);
    return plan;
}

struct RecordValues {
    std::string terminal;
    std::string stamp;
    std::optional<std::string> stan;
    std::string amount;
    std::string card;
    std::optional<std::string> delivery;
    std::string flags = "000000";
    int32_t code = 0;
    int32_t cancelMark = 0;
    CheckByte check = CheckByte::Xor;
};

std::optional<std::string> makeRecord(RecordKind kind, int32_t stan, const Period &period, Draw &draw)
{
    RecordValues v;
    v.terminal = draw.pick(kTerminals);
    const QDateTime moment = period.from.addSecs(qint64(draw.below(uint64_t(period.seconds) + 1)));
    v.stamp = formatStamp(moment);
    v.stan = Bytes::int32Field(stan);
    const auto cents = static_cast<int32_t>(1 + draw.below(kLargestCents));
    v.amount = Bytes::doubleField(cents / 100.0);
    v.card = draw.pick(kCards);
    v.delivery = std::string(1, static_cast<char>(draw.below(kNotSentFrom)));

    switch (kind) {
    case RecordKind::Approved: break;
    case RecordKind::NotSent:
        v.delivery = std::string(1, static_cast<char>(kNotSentFrom + draw.below(256 - kNotSentFrom)));
        break;
    case RecordKind::Cancelled: v.cancelMark = static_cast<int32_t>(1 + draw.below(9)); break;
    case RecordKind::Booking: v.flags = "000010"; break;
    case RecordKind::BookingFiveFlags: v.flags = "00001"; break;
    case RecordKind::Tip: v.flags = "000001"; break;
    case RecordKind::BookingWithTip: v.flags = "000011"; break;
    case RecordKind::ShortFlags: v.flags = "0001"; break;
    case RecordKind::Code5: v.code = 5; break;
    case RecordKind::Code100: v.code = 100; break;
    case RecordKind::Code10000: v.code = 10000; break;
    case RecordKind::CodeMinus1: v.code = -1; break;
    case RecordKind::DeliveryMissing: v.delivery.reset(); break;
    case RecordKind::DeliveryEmpty: v.delivery = std::string(); break;
    case RecordKind::ShortStamp: v.stamp.pop_back(); break;
    case RecordKind::LongStamp: v.stamp += '0'; break;
    case RecordKind::UnknownCard: v.card.clear(); break;
    case RecordKind::WrongSizeNumbers:
        v.stan = v.stan->substr(0, 3);
        v.amount = Bytes::int32Field(cents);   // 4 bytes where a double's 8 belong
        break;
    case RecordKind::CommaCheck: v.check = CheckByte::Comma; break;
    case RecordKind::BadCheck: v.check = CheckByte::Wrong; break;
    case RecordKind::Truncated: break;
    case RecordKind::Absent: return std::nullopt;
    }

    VaroManager frame;
    frame.AddField(RecordField::kTerminal, v.terminal);
    frame.AddField(RecordField::kStamp, v.stamp);
    frame.AddField(RecordField::kStan, *v.stan);
    frame.AddField(RecordField::kAmount, v.amount);
    frame.AddField(RecordField::kCard, v.card);
    if (v.delivery)
        frame.AddField(RecordField::kDelivery, *v.delivery);
    frame.AddField(RecordField::kFlags, v.flags);
    frame.AddField(RecordField::kResponseCode, Bytes::int32Field(v.code));
    frame.AddField(RecordField::kCancelMark, Bytes::int32Field(v.cancelMark));
    std::string bytes = finishFrame(frame, v.check);
    if (kind == RecordKind::Truncated) {
        // Any cut leaves fewer bytes than the length announces: the parser
        // waits for more and the decoder skips the record.
        bytes.resize(bytes.size() - 1 - draw.below(8));
    }
    return bytes;
}

} // namespace

const std::vector<RecordKind> &allRecordKinds()
{
    static const std::vector<RecordKind> kinds = [] {
        std::vector<RecordKind> all;
        for (const KindName &entry : kKindNames)
            all.push_back(entry.kind);
        return all;
    }();
    return kinds;
}

QString recordKindName(RecordKind kind)
{
    for (const KindName &entry : kKindNames) {
        if (entry.kind == kind)
            return QString::fromLatin1(entry.name);
    }
    return QString();
}

std::optional<RecordKind> recordKindFromName(const QString &name)
{
    for (const KindName &entry : kKindNames) {
        if (name == QLatin1String(entry.name))
            return entry.kind;
    }
    return std::nullopt;
}

std::vector<GeneratedRecord> generateReportRecords(const ReportSpec &report, const VaroManager *request)
{
    Draw draw(report.seed);
    const Period period = periodOf(request);
    const std::vector<RecordKind> plan = planKinds(report, draw);
    // STANs run on from a drawn start, one per transaction, as a terminal
    // numbers them.
    const auto firstStan = static_cast<int32_t>(1 + draw.below(900000));
    std::vector<GeneratedRecord> records;
    records.reserve(plan.size());
    for (size_t i = 0; i < plan.size(); ++i)
        records.push_back({plan[i], makeRecord(plan[i], firstStan + static_cast<int32_t>(i), period, draw)});
    return records;
}

namespace {

std::string givenRecordFrame(const GivenRecord &given, const QDateTime &now, const std::string &clientPos)
{
    VaroManager record;
    record.AddField(RecordField::kTerminal, given.terminal.value_or(clientPos));
    record.AddField(RecordField::kStamp,
                    now.addSecs(given.offsetSeconds).toString(QStringLiteral("yyMMddHHmmss")).toStdString());
    record.AddField(RecordField::kStan, Bytes::int32Field(given.stan));
    record.AddField(RecordField::kAmount, Bytes::doubleField(given.amount));
    record.AddField(RecordField::kCard, "************1111");
    record.AddField(RecordField::kDelivery, std::string(1, '\0'));
    record.AddField(RecordField::kFlags, "000000");
    record.AddField(RecordField::kResponseCode, Bytes::int32Field(given.code));
    record.AddField(RecordField::kCancelMark, Bytes::int32Field(0));
    std::string frame = record.GetOutput(true, false);
    if (given.damaged)
        frame.back() = static_cast<char>(frame.back() ^ 0x5A);   // the check byte no longer fits
    return frame;
}

} // namespace

void appendReportFields(VaroManager &message, const ReportSpec &report, const VaroManager *request,
                        const Ledger *ledger)
{
    const std::deque<LedgerRecord> none;
    const std::deque<LedgerRecord> &booked = ledger ? ledger->records() : none;
    const size_t fromLedger = std::min(booked.size(), static_cast<size_t>(ReportSpec::kMaxRecords));
    const size_t given = std::min(report.given.size(), static_cast<size_t>(ReportSpec::kMaxRecords) - fromLedger);
    std::vector<GeneratedRecord> records = generateReportRecords(report, request);
    // The first ones of the same draw, so a ledger never changes the records
    // that remain.
    records.resize(std::min(records.size(), static_cast<size_t>(ReportSpec::kMaxRecords) - fromLedger - given));
    const auto made = static_cast<int32_t>(fromLedger + given + records.size());
    message.AddField(ReportField::kCount, Bytes::int32Field(report.count.value_or(made)));
    message.AddField(ReportField::kStatus, Bytes::int32Field(report.status));
    int number = 0;
    auto recordId = [&number] { return static_cast<int16_t>(ReportField::kRecordBase + ++number); };
    for (auto it = booked.end() - static_cast<std::ptrdiff_t>(fromLedger); it != booked.end(); ++it)
        message.AddField(recordId(), it->frame());
    const QDateTime now = ledger ? ledger->now() : QDateTime::currentDateTime();
    const std::string clientPos = request ? request->GetFieldData(VaroMsg::kFieldPos) : std::string();
    for (size_t i = 0; i < given; ++i)
        message.AddField(recordId(), givenRecordFrame(report.given[i], now, clientPos));
    for (const GeneratedRecord &record : records) {
        const int16_t id = recordId();
        if (record.field)
            message.AddField(id, *record.field);
    }
}

bool isReportFieldId(const ReportSpec &report, int16_t id)
{
    const int records = report.records + static_cast<int>(report.given.size());
    return id == ReportField::kCount || id == ReportField::kStatus
        || (id > ReportField::kRecordBase && id <= ReportField::kRecordBase + records);
}

} // namespace Sim
