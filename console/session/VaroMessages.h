// The Varo messages the console exchanges with the payment server: message
// codes (field 1) and field IDs, in one place for the request builders and
// the incoming-message dispatcher.
//
// A message code is four ASCII digits. Numbers inside fields are
// little-endian: 4-byte signed integers and 8-byte IEEE 754 doubles.
#pragma once

#include <QByteArrayView>
#include <QtGlobal>

namespace VaroMsg {

// Message codes sent by the console.
inline constexpr QByteArrayView kCardPayment = "0001";        // payment or booking (field 6)
inline constexpr QByteArrayView kAbort = "0005";              // cancel button "Loobu"
inline constexpr QByteArrayView kButtonResponse = "0010";     // answer to a button box
inline constexpr QByteArrayView kInputResponse = "0011";      // answer to an input box
inline constexpr QByteArrayView kCancellation = "0016";
inline constexpr QByteArrayView kTip = "0017";
inline constexpr QByteArrayView kBookingCompletion = "0018";
inline constexpr QByteArrayView kReportRequest = "0019";
inline constexpr QByteArrayView kPosCommand = "0026";
// Both ways: the console's close request and the server's answer to it.
inline constexpr QByteArrayView kSessionClose = "0023";

// Message codes sent by the server.
inline constexpr QByteArrayView kStatusText = "0002";
inline constexpr QByteArrayView kKeepAlive = "0003";          // restarts the answer time-out
inline constexpr QByteArrayView kReleaseBoxes = "0004";       // close every prompt box
inline constexpr QByteArrayView kDeclined = "0006";
inline constexpr QByteArrayView kButtonBox = "0008";
inline constexpr QByteArrayView kInputBox = "0009";
inline constexpr QByteArrayView kApproved = "0012";
inline constexpr QByteArrayView kDeclinedOther = "0013";      // handled exactly as "0006"
inline constexpr QByteArrayView kReportData = "0020";
inline constexpr QByteArrayView kPosCommandResponse = "0027";

// Field IDs.
inline constexpr qint16 kFieldCode = 1;          // message code, 4 ASCII digits
inline constexpr qint16 kFieldPos = 2;           // POS identifier, text
inline constexpr qint16 kFieldSession = 3;       // session number: 6 digits out, any decimal in
inline constexpr qint16 kFieldAmount = 4;        // 8-byte double, currency units
inline constexpr qint16 kFieldText = 5;          // card text, typed answer, period start; server texts
inline constexpr qint16 kFieldBookingFlag = 6;   // 1 byte: 0x01 booking, 0x00 payment
inline constexpr qint16 kFieldCommand = 7;       // 1 byte: 0x00 in "0001", command in "0026"
inline constexpr qint16 kFieldPeriodEnd = 9;     // report request: 12-digit stamp
inline constexpr qint16 kFieldReason = 9;        // decline: reason code text
inline constexpr qint16 kFieldStyle = 10;        // prompt style, 4-byte integer
inline constexpr qint16 kFieldButton = 11;       // 1 byte: 0x00 in requests, button code in answers
inline constexpr qint16 kFieldReceipt = 12;      // approval: the receipt, a nested Varo frame
inline constexpr qint16 kFieldNumber = 13;       // 4-byte integer: receipt number out, STAN in
inline constexpr qint16 kFieldTrailer = 14;      // 1 byte 0x00 in "0001"
inline constexpr qint16 kFieldMasked = 14;       // input box: the single byte 0x01 means masked

// Defaults the dispatcher reads absent fields with.
inline constexpr QByteArrayView kNoPosOrSession = "**";   // never matches a POS or a session
inline constexpr QByteArrayView kNoReason = "###";

} // namespace VaroMsg
