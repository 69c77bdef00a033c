#include "Ledger.h"

#include "SimProtocol.h"

#include "common/Bytes.h"
#include "common/Helpers.h"

#include "VaroManager.h"

#include <cctype>
#include <cstdio>

namespace Sim {

namespace {

// Issuers' card numbers have 12 to 19 digits; a shorter run in a track is a
// date or a service code, not the number.
constexpr size_t kShortestCardNumber = 12;
constexpr size_t kDigitsShown = 4;

// Record field 7: the fifth of six flag characters marks a booking.
constexpr const char *kPlainFlags = "000000";
constexpr const char *kBookingFlags = "000010";

bool isDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// YYMMDDhhmmss of the moment as it reads; digits only, whatever the locale.
std::string stampOf(const QDateTime &moment)
{
    const QDate date = moment.date();
    const QTime time = moment.time();
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d%02d%02d%02d", ((date.year() % 100) + 100) % 100, date.month(),
                  date.day(), time.hour(), time.minute(), time.second());
    return text;
}

} // namespace

std::string maskCardNumber(const std::string &cardField)
{
    std::string number;
    for (size_t start = 0; start < cardField.size();) {
        if (!isDigit(cardField[start])) {
            ++start;
            continue;
        }
        size_t end = start;
        while (end < cardField.size() && isDigit(cardField[end]))
            ++end;
        if (end - start >= kShortestCardNumber) {
            number = cardField.substr(start, end - start);
            break;
        }
        start = end;
    }
    if (number.empty()) {
        for (const char c : cardField) {
            if (isDigit(c))
                number += c;
        }
    }
    if (number.size() <= kDigitsShown)
        return std::string(number.size(), '*');
    return std::string(number.size() - kDigitsShown, '*') + number.substr(number.size() - kDigitsShown);
}

std::string LedgerRecord::frame() const
{
    VaroManager record;
    record.AddField(RecordField::kTerminal, terminal);
    record.AddField(RecordField::kStamp, stamp);
    record.AddField(RecordField::kStan, Bytes::int32Field(stan));
    record.AddField(RecordField::kAmount, Bytes::doubleField(amount));
    record.AddField(RecordField::kCard, card);
    record.AddField(RecordField::kDelivery, std::string(1, '\0'));   // sent
    record.AddField(RecordField::kFlags, booking ? kBookingFlags : kPlainFlags);
    record.AddField(RecordField::kResponseCode, Bytes::int32Field(0));
    record.AddField(RecordField::kCancelMark, Bytes::int32Field(0));
    return record.GetOutput(true, false);
}

Ledger::Ledger() : m_clock([] { return QDateTime::currentDateTime(); })
{
}

void Ledger::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); });
}

const LedgerRecord &Ledger::recordApproval(const VaroManager &request, int32_t stan)
{
    LedgerRecord record;
    record.terminal = request.GetFieldData(VaroMsg::kFieldPos);
    record.stamp = stampOf(m_clock());
    record.stan = stan;
    const std::string amount = request.GetFieldData(VaroMsg::kFieldAmount);
    record.amount = DecodeDouble(QByteArrayView(amount.data(), static_cast<qsizetype>(amount.size())));
    record.card = maskCardNumber(request.GetFieldData(VaroMsg::kFieldText));
    record.booking = request.GetFieldData(VaroMsg::kFieldBookingFlag) == std::string(1, '\x01');
    if (m_records.size() >= kMaxRecords)
        m_records.pop_front();
    m_records.push_back(std::move(record));
    ++m_booked;
    return m_records.back();
}

bool isTransactionRequestCode(const std::string &code)
{
    for (const QByteArrayView request : {VaroMsg::kCardPayment, VaroMsg::kCancellation, VaroMsg::kTip,
                                         VaroMsg::kBookingCompletion}) {
        if (code == SimProtocol::wire(request))
            return true;
    }
    return false;
}

} // namespace Sim
