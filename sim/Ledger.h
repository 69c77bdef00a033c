// The simulator's ledger: every transaction it approved, kept for the life of
// the server (across connections and --loop restarts), so a report answer can
// list them as a real server lists its day.
//
// A transaction counts as approved when the simulator sends a "0012" (or an
// approveThenHangup step books one it never sends) on a connection whose
// client sent a transaction request ("0001", "0016", "0017" or "0018"). Each
// approval becomes one record in the layout of a report record (sim/
// ReportAnswer.h): 1 terminal = the request's field 2, 2 stamp YYMMDDhhmmss
// from the ledger's clock, 3 STAN (int32), 4 amount (double, the request's
// field 4, 0 without one), 5 card = the card number masked down to its last
// four digits, 6 delivery byte 0, 7 flags "000000" ("000010" for a booking,
// field 6 = 01), 8 response code 0, 9 cancellation mark 0.
//
// The ledger never holds a card number: the record is masked when it is made.
#pragma once

#include "reports/ReportDecoder.h"

#include <QDateTime>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

class VaroManager;

namespace Sim {

// The number in a card field (a track such as ";4111111111111111=2512...?" or
// "%B5500000000000004^NAME^...", or a bare PAN) with every digit but the last
// four replaced by '*': "************1111". The number is the first run of at
// least 12 digits; without one, every digit of the field. A number of four
// digits or fewer is all '*'. No digits: empty.
std::string maskCardNumber(const std::string &cardField);

struct LedgerRecord {
    std::string terminal;   // field 2 of the request, as bytes
    std::string stamp;      // YYMMDDhhmmss
    int32_t stan = 0;
    double amount = 0;
    std::string card;       // masked: only the last four digits are kept
    bool booking = false;   // the request's field 6 was 01

    // The record as a whole frame (XOR check byte), for field 99 + i of a
    // report answer.
    std::string frame() const;
};

class Ledger {
public:
    // Report answers carry at most this many records; the ledger keeps no
    // more and drops its oldest record for each new one beyond it.
    static constexpr size_t kMaxRecords = ReportField::kMaxRecords;

    using Clock = std::function<QDateTime()>;

    Ledger();

    // The stamp of every record made from now on is what this clock returns,
    // as it reads (its own date and time; no time-zone conversion). Default:
    // QDateTime::currentDateTime(), the machine's local time.
    void setClock(Clock clock);
    // What the ledger's clock reads now.
    QDateTime now() const { return m_clock(); }

    // Books the approval of request (a "0001", "0016", "0017" or "0018")
    // with this STAN, stamped now.
    const LedgerRecord &recordApproval(const VaroManager &request, int32_t stan);

    // Oldest first.
    const std::deque<LedgerRecord> &records() const { return m_records; }
    size_t size() const { return m_records.size(); }
    bool empty() const { return m_records.empty(); }
    // Approvals booked since the start, also those dropped beyond kMaxRecords.
    quint64 booked() const { return m_booked; }

private:
    Clock m_clock;
    std::deque<LedgerRecord> m_records;
    quint64 m_booked = 0;
};

// A transaction request, whose "0012" the ledger books.
bool isTransactionRequestCode(const std::string &code);

} // namespace Sim
