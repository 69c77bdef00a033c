// The frames of every request the console sends to the payment server, with
// their fields in the order the server expects (the order of AddField):
//
//   "0001" card payment    1, 2, 3, 4 amount, 5 card text, 6 booking flag,
//                          7 = 00, 11 = 00, 14 = 00
//   "0016" cancellation    1, 2, 3, 11 = 00, 13 receipt number
//   "0017" tip             1, 2, 3, 4 amount, 11 = 00, 13 receipt number
//   "0018" booking end     1, 2, 3, 4 amount, 11 = 00, 13 receipt number
//   "0019" report request  1, 2, 5 period start, 9 period end, 3
//   "0026" POS command     1, 2, 3, 7 command byte
//   "0005" abort           1, 2, 3
//   "0010" button answer   1, 2, 3, 11 button code
//   "0011" input answer    1, 2, 3, 11 button code, 5 text
//   "0023" session close   1, 2, 3
//
// Field 2 is the POS identifier as it is, field 3 the session number as six
// zero-padded digits. Each builder fills a fresh VaroManager and returns its
// GetOutput with the check byte computed; processEvents (may be empty) runs
// once before each field is encoded, as the console lets its window breathe
// while it builds a frame.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

struct TransactionRequest;

namespace SessionRequests {

using EventHook = std::function<void()>;

// What ties a message to this console and this session.
struct Address {
    QByteArray pos;      // fPOSID in the console code page
    qint32 session = 0;  // sessionNumber
};

QByteArray cardPayment(const Address &to, double amount, const QByteArray &cardText, bool booking,
                       const EventHook &processEvents = {});
QByteArray cancellation(const Address &to, qint32 receiptNumber, const EventHook &processEvents = {});
QByteArray tip(const Address &to, double amount, qint32 receiptNumber, const EventHook &processEvents = {});
QByteArray bookingCompletion(const Address &to, double amount, qint32 receiptNumber,
                             const EventHook &processEvents = {});
// The frame of a payment, booking, cancellation, tip or booking completion:
// one of the four builders above, chosen by the request's operation, with
// the card text already in the console code page. Empty for no operation.
QByteArray transaction(const Address &to, const TransactionRequest &request, const QByteArray &cardText,
                       const EventHook &processEvents = {});
QByteArray reportRequest(const Address &to, const QByteArray &fromStamp, const QByteArray &toStamp,
                         const EventHook &processEvents = {});
QByteArray posCommand(const Address &to, quint8 command, const EventHook &processEvents = {});
QByteArray abort(const Address &to, const EventHook &processEvents = {});
QByteArray buttonResponse(const Address &to, quint8 buttonCode, const EventHook &processEvents = {});
QByteArray inputResponse(const Address &to, quint8 buttonCode, const QByteArray &text,
                         const EventHook &processEvents = {});
QByteArray sessionClose(const Address &to, const EventHook &processEvents = {});

// The log text of "0001", which stands in for the frame so the card text never
// reaches the log: "Starting Transaction: Session=000041, Amount=12.5". The
// amount is the general text of a double with at most 15 significant digits
// and no trailing zeros (12.5, 12, 0.3 for 0.1 + 0.2), with "." as the
// decimal point whatever the locale.
QByteArray cardPaymentLogText(qint32 session, double amount);
// Logged instead of the "0011" frame: the typed text is never logged.
inline constexpr char kInputResponseLogText[] = "Input response.";

// Six digits, zero-padded: 41 -> "000041".
QByteArray sessionField(qint32 session);

} // namespace SessionRequests
