#include "session/SessionRequests.h"

#include "common/Bytes.h"
#include "common/Helpers.h"
#include "session/TransactionRequest.h"
#include "session/VaroMessages.h"

#include <VaroManager.h>

#include <string>

namespace SessionRequests {
namespace {

const std::string kZeroByte(1, '\0');

std::string bytes(QByteArrayView data)
{
    return Bytes::toStd(data);
}

// A fresh message with fields 1, 2 and (unless the caller puts it later) 3.
class Builder {
public:
    Builder(QByteArrayView code, const EventHook &processEvents)
    {
        m_message.Reset();
        if (processEvents)
            m_message.setProcessEvents(processEvents);
        add(VaroMsg::kFieldCode, code);
    }

    void add(qint16 id, QByteArrayView data) { m_message.AddField(id, bytes(data)); }
    void add(qint16 id, const std::string &data) { m_message.AddField(id, data); }

    void addHeader(const Address &to)
    {
        add(VaroMsg::kFieldPos, to.pos);
        add(VaroMsg::kFieldSession, sessionField(to.session));
    }

    QByteArray frame() const
    {
        return Bytes::fromStd(m_message.GetOutput(true, true));
    }

private:
    VaroManager m_message;
};

QByteArray receiptRequest(QByteArrayView code, const Address &to, const double *amount,
                          qint32 receiptNumber, const EventHook &processEvents)
{
    Builder b(code, processEvents);
    b.addHeader(to);
    if (amount)
        b.add(VaroMsg::kFieldAmount, EncodeDouble(*amount));
    b.add(VaroMsg::kFieldButton, kZeroByte);
    b.add(VaroMsg::kFieldNumber, EncodeInt32(receiptNumber));
    return b.frame();
}

} // namespace

QByteArray sessionField(qint32 session)
{
    return PadNumber(session, 6).toLatin1();
}

QByteArray cardPayment(const Address &to, double amount, const QByteArray &cardText, bool booking,
                       const EventHook &processEvents)
{
    Builder b(VaroMsg::kCardPayment, processEvents);
    b.addHeader(to);
    b.add(VaroMsg::kFieldAmount, EncodeDouble(amount));
    b.add(VaroMsg::kFieldText, cardText);
    b.add(VaroMsg::kFieldBookingFlag, std::string(1, booking ? '\x01' : '\x00'));
    b.add(VaroMsg::kFieldCommand, kZeroByte);
    b.add(VaroMsg::kFieldButton, kZeroByte);
    b.add(VaroMsg::kFieldTrailer, kZeroByte);
    return b.frame();
}

QByteArray cancellation(const Address &to, qint32 receiptNumber, const EventHook &processEvents)
{
    return receiptRequest(VaroMsg::kCancellation, to, nullptr, receiptNumber, processEvents);
}

QByteArray tip(const Address &to, double amount, qint32 receiptNumber, const EventHook &processEvents)
{
    return receiptRequest(VaroMsg::kTip, to, &amount, receiptNumber, processEvents);
}

QByteArray bookingCompletion(const Address &to, double amount, qint32 receiptNumber,
                             const EventHook &processEvents)
{
    return receiptRequest(VaroMsg::kBookingCompletion, to, &amount, receiptNumber, processEvents);
}

QByteArray transaction(const Address &to, const TransactionRequest &request, const QByteArray &cardText,
                       const EventHook &processEvents)
{
    using Op = TransactionRequest::Operation;
    switch (request.operation) {
    case Op::CardPayment: return cardPayment(to, request.amount, cardText, request.booking, processEvents);
    case Op::Cancellation: return cancellation(to, request.receiptNumber, processEvents);
    case Op::Tip: return tip(to, request.amount, request.receiptNumber, processEvents);
    case Op::BookingCompletion: return bookingCompletion(to, request.amount, request.receiptNumber, processEvents);
    case Op::None: break;
    }
    return {};
}

QByteArray reportRequest(const Address &to, const QByteArray &fromStamp, const QByteArray &toStamp,
                         const EventHook &processEvents)
{
    // The session number comes last in this one message.
    Builder b(VaroMsg::kReportRequest, processEvents);
    b.add(VaroMsg::kFieldPos, to.pos);
    b.add(VaroMsg::kFieldText, fromStamp);
    b.add(VaroMsg::kFieldPeriodEnd, toStamp);
    b.add(VaroMsg::kFieldSession, sessionField(to.session));
    return b.frame();
}

QByteArray posCommand(const Address &to, quint8 command, const EventHook &processEvents)
{
    Builder b(VaroMsg::kPosCommand, processEvents);
    b.addHeader(to);
    b.add(VaroMsg::kFieldCommand, std::string(1, char(command)));
    return b.frame();
}

QByteArray abort(const Address &to, const EventHook &processEvents)
{
    Builder b(VaroMsg::kAbort, processEvents);
    b.addHeader(to);
    return b.frame();
}

QByteArray buttonResponse(const Address &to, quint8 buttonCode, const EventHook &processEvents)
{
    Builder b(VaroMsg::kButtonResponse, processEvents);
    b.addHeader(to);
    b.add(VaroMsg::kFieldButton, std::string(1, char(buttonCode)));
    return b.frame();
}

QByteArray inputResponse(const Address &to, quint8 buttonCode, const QByteArray &text,
                         const EventHook &processEvents)
{
    Builder b(VaroMsg::kInputResponse, processEvents);
    b.addHeader(to);
    b.add(VaroMsg::kFieldButton, std::string(1, char(buttonCode)));
    b.add(VaroMsg::kFieldText, text);
    return b.frame();
}

QByteArray sessionClose(const Address &to, const EventHook &processEvents)
{
    Builder b(VaroMsg::kSessionClose, processEvents);
    b.addHeader(to);
    return b.frame();
}

QByteArray cardPaymentLogText(qint32 session, double amount)
{
    return "Starting Transaction: Session=" + sessionField(session)
         + ", Amount=" + QByteArray::number(amount, 'g', 15);
}

} // namespace SessionRequests
