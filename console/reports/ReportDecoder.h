// Decoding of the server's report answer "0020" into the report table, and
// DecodeReport, which takes the answer from the session to the saved and
// opened document.
//
// The answer carries its records as whole Varo frames nested in fields
// 100 ... 99 + count; each is parsed with a record decoder of its own.
// Answer fields (numbers are 4-byte little-endian signed integers):
//   10  count of records announced
//    6  answer status: only 0 ... 9 (one decimal digit) is decoded
//   99 + i  record i, i = 1 ... count
// Record fields:
//   1 terminal   2 stamp YYMMDDhhmmss   3 STAN (int)   4 amount (8-byte double)
//   5 card   6 delivery status (first byte < 200: sent)   7 flags (char 5 "1":
//   booking, char 6 "1": tip)   8 response code (int)   9 cancellation mark
//   (int, > 0: cancelled)
// A missing field reads as empty; a number reads as 0 unless its data has
// exactly the right length, and an amount also unless it is finite.
#pragma once

#include "reports/ReportDocument.h"
#include "reports/ReportTable.h"

#include <QtGlobal>

#include <functional>

class ReportHost;
class VaroManager;

namespace ReportField {
inline constexpr qint16 kStatus = 6;
inline constexpr qint16 kCount = 10;
inline constexpr qint16 kRecordBase = 99;   // record i travels in field 99 + i
// Field IDs are signed 16-bit: 99 + 32668 = 32767 is the last record field.
inline constexpr qint32 kMaxRecords = 32767 - kRecordBase;
} // namespace ReportField

namespace RecordField {
inline constexpr qint16 kTerminal = 1;
inline constexpr qint16 kStamp = 2;
inline constexpr qint16 kStan = 3;
inline constexpr qint16 kAmount = 4;
inline constexpr qint16 kCard = 5;
inline constexpr qint16 kDelivery = 6;
inline constexpr qint16 kFlags = 7;
inline constexpr qint16 kResponseCode = 8;
inline constexpr qint16 kCancelMark = 9;
} // namespace RecordField

namespace ReportFilter {
inline constexpr qint32 kNeverShownFrom = 10000;    // codes from here on are never shown
inline constexpr qint32 kApprovedBelow = 100;       // the only-approved filter keeps codes below
inline constexpr quint8 kNotSentFrom = 200;         // delivery bytes from here on: not sent
} // namespace ReportFilter

struct DecodedReport {
    enum Outcome {
        Decoded,     // table and kept are set
        BadStatus,   // field 6 is not 0 ... 9: no table
        BadCount,    // field 10 is negative or above kMaxRecords: no table
    };
    Outcome outcome = Decoded;
    qint32 status = 0;
    qint32 count = 0;
    ReportTable table;   // rows 0 ... count (row 0 only unless Decoded)
    qint32 kept = 0;
};

// Reads the answer into a table (the decoding steps without the session's
// part). eachRecord runs before every announced record is read; DecodeReport
// lets events run there.
DecodedReport DecodeReportAnswer(const VaroManager &answer, bool onlyApproved,
                                 const std::function<void()> &eachRecord = {});

// The session's handling of a "0020": closes the connection, locks the
// cancel button, decodes, builds and opens the document, clears the entry
// fields and returns to idle. An answer that cannot be decoded (BadStatus,
// BadCount) shows "Aruanne koostamine ebaõnnestus: maksesüsteemi vastus on
// vigane." and also returns to idle. options go to BuildReportDocument.
void DecodeReport(const VaroManager &answer, ReportHost &host, const ReportDocumentOptions &options = {});
