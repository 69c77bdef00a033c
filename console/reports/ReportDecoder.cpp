#include "reports/ReportDecoder.h"
#include "common/BoxStyle.h"

#include "common/Clock.h"
#include "common/CodePage.h"
#include "common/Bytes.h"
#include "common/Helpers.h"
#include "reports/EventPacer.h"
#include "reports/ReportHost.h"
#include "reports/ReportTexts.h"

#include <VaroManager.h>

#include <cmath>
#include <string>

namespace C = ReportColumn;

namespace {

constexpr qint32 kMessageKind = BoxKind::Message;
constexpr qint32 kErrorStyle = BoxStyle::ErrorOk;
// 2^53 cents: the first amount whose cents a double cannot count one by one.
constexpr double kLargestAmount = 9007199254740992.0 / 100;

QByteArray field(const VaroManager &message, qint16 id)
{
    return Bytes::field(message, id);
}

// The stamp's date or time part, cut from the stamp's own bytes: the code
// page maps bytes to characters one to one, so the cut is byte-exact.
QByteArray stampPart(const QByteArray &stamp, QString (*format)(QStringView))
{
    const CodePage &cp = CodePage::console();
    return cp.encode(format(cp.decode(stamp)));
}

bool flagAt(const QByteArray &flags, qsizetype position)
{
    return flags.size() > position && flags.at(position) == '1';
}

// Fills row `row` from a parsed record; false when the filter drops it.
bool fillRow(ReportTable &table, qint32 row, const VaroManager &record, bool onlyApproved)
{
    const qint32 code = DecodeInt32(field(record, RecordField::kResponseCode));
    if (code >= ReportFilter::kNeverShownFrom)
        return false;
    if (onlyApproved && code >= ReportFilter::kApprovedBelow)
        return false;

    const CodePage &cp = CodePage::console();
    const QByteArray stamp = field(record, RecordField::kStamp);
    const QByteArray flags = field(record, RecordField::kFlags);
    table.setCell(row, C::kTerminal, field(record, RecordField::kTerminal));
    table.setCell(row, C::kDate, stampPart(stamp, &FormatStampDate));
    table.setCell(row, C::kTime, stampPart(stamp, &FormatStampTime));
    table.setCell(row, C::kStan, QByteArray::number(DecodeInt32(field(record, RecordField::kStan))));
    table.setCell(row, C::kCard, field(record, RecordField::kCard));
    table.setCell(row, C::kResponseCode, ' ' + QByteArray::number(code));
    table.setCell(row, C::kTipFlag, flagAt(flags, 5) ? cp.encode(ReportCell::kTipAdded) : QByteArray());
    table.setCell(row, C::kBookingFlag, flagAt(flags, 4) ? cp.encode(ReportCell::kBooking) : QByteArray());

    double amount = DecodeDouble(field(record, RecordField::kAmount));
    // A NaN or infinite amount has no text and would turn every sum it joins
    // into one without text: it reads as 0, like an amount of the wrong size.
    if (!std::isfinite(amount))
        amount = 0;
    // Beyond 2^53 cents a double holds no whole cents: the amount's text
    // would be the digits of an overflow ("i.nf" from 1e307) and the sums of
    // a few such rows infinite. No payment comes near; it reads as 0 too, so
    // the 32,668 records of the largest answer sum to a finite amount.
    if (std::fabs(amount) >= kLargestAmount)
        amount = 0;
    if (DecodeInt32(field(record, RecordField::kCancelMark)) > 0) {
        table.setCell(row, C::kCancelFlag, cp.encode(ReportCell::kCancelled));
        amount = -amount;
    }
    table.setCell(row, C::kAmount, cp.encode(FormatAmount(amount)));
    // Declined and failed transactions are listed but add nothing.
    if (code != 0)
        amount = 0;
    table.setCell(row, C::kSumAmount, EncodeDouble(amount));

    // A record without field 6, or with an empty one, reads as the byte 0:
    // sent. Only a byte from 200 up marks the transaction as not sent.
    const QByteArray delivery = field(record, RecordField::kDelivery);
    const quint8 deliveryByte = delivery.isEmpty() ? 0 : quint8(delivery.at(0));
    table.setCell(row, C::kSent,
                  deliveryByte < ReportFilter::kNotSentFrom ? QByteArray(ReportCell::kSentMark) : QByteArray());
    return true;
}

} // namespace

DecodedReport DecodeReportAnswer(const VaroManager &answer, bool onlyApproved,
                                 const std::function<void()> &eachRecord)
{
    DecodedReport result;
    result.count = DecodeInt32(field(answer, ReportField::kCount));
    result.status = DecodeInt32(field(answer, ReportField::kStatus));
    if (result.status < 0 || result.status > 9) {
        result.outcome = DecodedReport::BadStatus;
        return result;
    }
    // Record i travels in field 99 + i, a signed 16-bit ID: a count beyond
    // that, or below 0, cannot describe the answer and must not size a table.
    if (result.count < 0 || result.count > ReportField::kMaxRecords) {
        result.outcome = DecodedReport::BadCount;
        return result;
    }

    result.table = ReportTable(result.count);
    VaroManager record;
    for (qint32 i = 1; i <= result.count; ++i) {
        if (eachRecord)
            eachRecord();
        record.Reset();
        std::string frame = answer.GetFieldData(qint16(ReportField::kRecordBase + i));
        std::string remainder;
        if (record.ProcessMessage(frame, remainder) != VaroManager::Parsed)
            continue;
        if (fillRow(result.table, result.kept + 1, record, onlyApproved))
            ++result.kept;
    }
    return result;
}

void DecodeReport(const VaroManager &answer, ReportHost &host, const ReportDocumentOptions &options)
{
    const Clock &clock = options.clock ? *options.clock : Clock::system();
    EventPacer pacer([&host] { host.processEvents(); }, clock, options.eventIntervalMs);

    host.closeForReport();
    pacer.pump();
    host.setStatusLine(ReportText::decoding());
    pacer.pump();

    DecodedReport report = DecodeReportAnswer(answer, host.reportOnlyApproved(), [&pacer] { pacer.maybePump(); });
    if (report.outcome != DecodedReport::Decoded) {
        // Nothing to build: the session still has to end, or the console
        // would stay busy with the cancel button locked.
        host.LogEvent(QStringLiteral("Report answer rejected: status %1, count %2")
                          .arg(report.status)
                          .arg(report.count));
        host.ReturnToIdle();
        host.OpenBox(kMessageKind, ReportText::buildFailed(ReportText::answerRejected()), kErrorStyle);
        return;
    }

    BuildReportDocument(report.table, report.kept, host.reportGroupColumn(), host, options);
    host.clearEntryFields();
    host.ReturnToIdle();
}
