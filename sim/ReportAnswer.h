// Generated report answers: the records of a "0020" made from a seed, so a
// scenario can answer the report request "0019" with hundreds or tens of
// thousands of transactions and every kind of record the console's decoder
// tells apart, without listing them by hand.
//
// The answer's own fields follow the console's decoder (reports/
// ReportDecoder.h): field 10 the announced count, field 6 the answer status
// (both 4-byte little-endian integers), record i as a whole Varo frame in
// field 99 + i. A record frame holds fields 1 terminal, 2 stamp YYMMDDhhmmss,
// 3 STAN (int32), 4 amount (double), 5 card, 6 delivery byte, 7 flag
// characters, 8 response code (int32), 9 cancellation mark (int32).
//
// The same report settings, seed and period give the same bytes on every machine: the
// generator draws from std::mt19937's raw output (fixed by the standard) and
// never from the library's distributions or shuffle, whose results are left
// to each implementation.
#pragma once

#include "reports/ReportDecoder.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class VaroManager;

namespace Sim {

class Ledger;

// What a generated record is meant to exercise. Every record of a kind other
// than the malformed ones (BadCheck, Truncated, Absent) parses as a frame.
enum class RecordKind {
    Approved,          // code 0, sent, no flags: listed and summed
    NotSent,           // delivery byte 200 ... 255: "Saatmata"
    Cancelled,         // cancellation mark > 0: shown and summed negative
    Booking,           // six flag characters, the fifth "1": reservation
    BookingFiveFlags,  // five flag characters ending in "1": reservation only
    Tip,               // six flag characters, the sixth "1": tip added
    BookingWithTip,    // both flags set
    ShortFlags,        // four flag characters: neither flag
    Code5,             // response code 5: listed, adds nothing
    Code100,           // response code 100: listed only without the approved-only filter
    Code10000,         // response code 10000: never listed
    CodeMinus1,        // response code -1: passes both filters, adds nothing
    DeliveryMissing,   // no field 6: counts as sent
    DeliveryEmpty,     // field 6 present but empty: counts as sent
    ShortStamp,        // 11-character stamp: no date, no time
    LongStamp,         // 13-character stamp: no date, no time
    UnknownCard,       // empty card text: "Tundmatu väljaandja" when grouped by card
    WrongSizeNumbers,  // STAN of 3 bytes and amount of 4 bytes: both read as 0
    CommaCheck,        // check byte 0x2C ("not computed"): accepted untested
    BadCheck,          // wrong check byte: the frame is rejected, the record skipped
    Truncated,         // frame cut short before its end: skipped
    Absent,            // no field 99 + i at all: skipped
};

// Every kind, in declaration order.
const std::vector<RecordKind> &allRecordKinds();
// The scenario name of a kind ("approved", "notSent", ...), and back.
QString recordKindName(RecordKind kind);
std::optional<RecordKind> recordKindFromName(const QString &name);

// A record the scenario spells out: "given" in a report. Its stamp is the
// ledger's clock (the machine's local time without a ledger) moved by
// offsetSeconds; its terminal the client's POS (field 2 of its request)
// unless given. A damaged record carries a wrong check byte, so a reader
// must reject it.
struct GivenRecord {
    std::optional<std::string> terminal;
    int offsetSeconds = 0;
    int32_t stan = 0;
    double amount = 0;
    int32_t code = 0;
    bool damaged = false;
};

// The "report" of a message: the answer's count, status and records.
struct ReportSpec {
    // The largest answer: record IDs are signed 16-bit, 99 + i <= 32767.
    static constexpr int kMaxRecords = ReportField::kMaxRecords;

    int records = 0;                 // records generated, 0 ... kMaxRecords
    std::optional<int32_t> count;    // field 10; by default `records`
    int32_t status = 0;              // field 6; the console decodes only 0 ... 9
    uint32_t seed = 1;
    // Kinds the records are drawn from (a kind listed twice is drawn twice as
    // often); empty: every kind. With at least as many records as listed
    // kinds, each kind occurs at least once.
    std::vector<RecordKind> kinds;
    // Records listed behind the ledger's and before the generated ones.
    std::vector<GivenRecord> given;
};

struct GeneratedRecord {
    RecordKind kind;
    std::optional<std::string> field;   // data of field 99 + i; nullopt: the field is left out
};

// The records of the report. Stamps fall within the period of request (fields 5
// and 9 of a "0019", 12-digit stamps YYMMDDhhmmss read as 20YY); without a
// request, or with a period that does not parse or ends before it starts,
// within the day 14.03.2025.
std::vector<GeneratedRecord> generateReportRecords(const ReportSpec &report, const VaroManager *request);

// Appends the answer's fields to message: 10 (count), 6 (status) and one
// field 99 + i for every record. The ledger's records come first (records 1,
// 2, ... in the order they were booked), then the given ones, then the
// generated ones, shifted
// behind them and cut so that the answer holds at most kMaxRecords; Absent
// ones leave their field out. The count defaults to the records made (ledger
// and generated); an explicit one is sent as it is. A field the message
// already holds keeps its data, and the record that would travel in the same
// ID is left out. Without a ledger, or with an empty one, the answer is the
// generated one alone.
void appendReportFields(VaroManager &message, const ReportSpec &report, const VaroManager *request,
                        const Ledger *ledger = nullptr);

// The field IDs appendReportFields writes for report with an empty ledger, so
// a scenario cannot list them as well.
bool isReportFieldId(const ReportSpec &report, int16_t id);

} // namespace Sim
