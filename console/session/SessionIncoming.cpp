// What the session does with each frame the server sends: the frames come
// out of FrameReader in arrival order and are dispatched by their code.
#include "session/PaymentSession_p.h"

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "session/SessionHost.h"
#include "session/SessionTexts.h"
#include "session/VaroMessages.h"

#include <VaroManager.h>

#include <QTimer>

namespace {

using namespace SessionText;

bool isOutcome(QByteArrayView code)
{
    return code == VaroMsg::kApproved || code == VaroMsg::kDeclined || code == VaroMsg::kDeclinedOther
           || code == VaroMsg::kPosCommandResponse;
}

QByteArray field(const VaroManager &message, qint16 id, QByteArrayView absent = {})
{
    return Bytes::field(message, id, absent);
}

QByteArray logged(QByteArrayView serverText)
{
    return loggedServerText(serverText);
}

} // namespace

// --- Incoming messages ----------------------------------------------------------

// Takes one frame at a time from the front of ReceiveBuffer and dispatches it.
// A loop, not a call per frame: a server may send any number of frames in one
// read. It stops at an incomplete frame (the rest waits for the next data
// arrival), when the server's "0023" ends the session, and when the buffer is
// empty. A bad frame, a frame for another POS or another session, and bytes
// before the next start byte are dropped, and the frames behind them are
// handled in the same pass: a server that sends its approval right behind
// such a frame and then waits for "0023" must not see the console time out.
// Handlers let events run, which may append to ReceiveBuffer or end the
// session; the buffer is therefore read afresh for every frame.
void PaymentSession::Private::ProcessReceived()
{
    const quint64 session = generation;
    reader.setAddress(CodePage::console().encode(settings.fPOSID), q.sessionNumber);
    while (generation == session && !q.ReceiveBuffer.isEmpty()) {
        VaroManager message;
        const FrameReader::Step step = reader.next(message);
        if (step.kind == FrameReader::Kind::NeedMore)
            return;
        if (step.kind == FrameReader::Kind::Frame)
            dispatch(message);
    }
}

void PaymentSession::Private::dispatch(const VaroManager &message)
{
    const QByteArray code = field(message, VaroMsg::kFieldCode);
    // A closing session has its outcome. A second outcome frame (a decline
    // answering a "Loobu" that crossed the approval, an approval sent twice)
    // would show a failure over the approval, print the receipt again or
    // send a second "0023": the first outcome stands.
    if (q.SessionState == Closing && isOutcome(code)) {
        onSecondOutcome(message, code);
        return;
    }
    if (code == VaroMsg::kSessionClose) {
        if (q.SessionState == Closing)
            q.ReturnToIdle();
    } else if (code == VaroMsg::kStatusText) {
        OnStatusText(field(message, VaroMsg::kFieldText));
    } else if (code == VaroMsg::kKeepAlive) {
        OnKeepAlive();
    } else if (code == VaroMsg::kReleaseBoxes) {
        OnReleaseBoxes();
    } else if (code == VaroMsg::kDeclined || code == VaroMsg::kDeclinedOther) {
        OnDeclined(message);
    } else if (code == VaroMsg::kPosCommandResponse) {
        // Only the special command's own answer ends a session with it: in
        // a payment a "0027" would close the session without its outcome.
        if (q.SessionState == PosCommandRequest)
            OnPosCommandResponse(message);
        else
            logEvent(kCommandResponseIgnored);
    } else if (code == VaroMsg::kButtonBox) {
        OnButtonBox(message);
    } else if (code == VaroMsg::kInputBox) {
        OnInputBox(message);
    } else if (code == VaroMsg::kApproved) {
        OnApproved(message);
    } else if (code == VaroMsg::kReportData) {
        // Only the report request's own answer is decoded: in the middle of
        // a payment a "0020" would end the payment without its outcome and
        // write a report with the settings of an earlier request.
        if (q.SessionState == ReportRequest)
            host.DecodeReport(message);
        else
            logEvent(kReportDataIgnored);
    }
}

void PaymentSession::Private::OnStatusText(const QByteArray &text)
{
    host.setStatusLine(CodePage::console().decode(text));
    logEvent("StatusText: " + logged(text));
}

void PaymentSession::Private::OnKeepAlive()
{
    // Once the outcome is in, the close handshake has its 5 s whatever comes:
    // a server that keeps sending "0003" and never answers "0023" must not
    // hold the till (and "Loobu" sends nothing then).
    if (q.SessionState == Closing) {
        logEvent(kKeepAliveWhileClosing);
        return;
    }
    // Restart the countdown only if it runs: a stopped timer stays stopped.
    if (timer->isActive())
        timer->start();
    logEvent("KeepAlive.");
}

void PaymentSession::Private::onSecondOutcome(const VaroManager &message, const QByteArray &code)
{
    // The same outcome again (an approval sent twice), or any answer after a
    // special command's: the first stands.
    if (!bookkeeping.contradicts(code)) {
        logEvent(kLateOutcomeIgnored + code);
        return;
    }
    // Contradicting outcomes: nobody can say whether the customer was
    // charged. Never printed, never dropped silently: the log keeps the
    // line, the journal the doubt, and the cashier is told.
    if (code == VaroMsg::kApproved)
        logApproval(DecodeInt32(field(message, VaroMsg::kFieldNumber)));
    else
        logDecline(field(message, VaroMsg::kFieldReason, VaroMsg::kNoReason), field(message, VaroMsg::kFieldText));
    logEvent(kConflictingOutcome + code);
    bookkeeping.conflict();
    q.finalStatusText.clear();
    host.OpenBox(BoxKind::Message, outcomeUnknown(), kOutcomeUnknownStyle);
}

void PaymentSession::Private::OnReleaseBoxes()
{
    logEvent("ReleaseBoxes.");
    host.CloseAllBoxes();
}

void PaymentSession::Private::OnDeclined(const VaroManager &message)
{
    const QByteArray text = field(message, VaroMsg::kFieldText);
    const QByteArray reason = field(message, VaroMsg::kFieldReason, VaroMsg::kNoReason);
    logDecline(reason, text);
    const CodePage &cp = CodePage::console();
    bookkeeping.declined(cp.decode(field(message, VaroMsg::kFieldCode)), cp.decode(reason), cp.decode(text));
    q.SendClose();
    // Shown after the close: the box stays open when the session has ended.
    showError(CodePage::console().decode(text));
}

void PaymentSession::Private::OnPosCommandResponse(const VaroManager &message)
{
    (void)field(message, VaroMsg::kFieldText);   // carried, not shown
    logEvent("POS_COMMAND_RESPONSE received");
    // Stored before the close: the server's "0023" may end the session while
    // the close request is on its way, and the text belongs to this session.
    q.finalStatusText = posCommandTakenWords();
    q.SendClose();
}

void PaymentSession::Private::OnButtonBox(const VaroManager &message)
{
    const qint32 style = DecodeInt32(field(message, VaroMsg::kFieldStyle, QByteArrayView("\0\0\0\0", 4)));
    const QByteArray text = field(message, VaroMsg::kFieldText);
    logEvent("ButtonBox: " + logged(text));
    host.OpenBox(BoxKind::Buttons, CodePage::console().decode(text), style);
}

void PaymentSession::Private::OnInputBox(const VaroManager &message)
{
    const qint32 style = DecodeInt32(field(message, VaroMsg::kFieldStyle, QByteArrayView("\0\0\0\0", 4)));
    const QByteArray text = field(message, VaroMsg::kFieldText);
    const bool masked = field(message, VaroMsg::kFieldMasked) == QByteArrayView("\x01", 1);
    logEvent("InputBox: " + logged(text));
    host.OpenBox(masked ? BoxKind::MaskedInput : BoxKind::Input, CodePage::console().decode(text), style);
}

void PaymentSession::Private::OnApproved(const VaroManager &message)
{
    timer->stop();
    const qint32 stan = DecodeInt32(field(message, VaroMsg::kFieldNumber));
    logApproval(stan);
    bookkeeping.approved(stan);
    const QByteArray receipt = field(message, VaroMsg::kFieldReceipt);
    if (!receipt.isEmpty() && settings.fDoPrint)
        host.PrintReceipt(receipt, stan);
    host.clearEntryFields();
    q.finalStatusText = approvedWords(stan);
    q.SendClose();
}
