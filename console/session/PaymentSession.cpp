#include "session/PaymentSession.h"

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "common/Config.h"
#include "common/Helpers.h"
#include "session/FrameReader.h"
#include "session/SessionHost.h"
#include "session/SessionJournal.h"
#include "session/SessionRequests.h"
#include "session/SessionTexts.h"
#include "session/TransactionJournal.h"
#include "session/TransactionLog.h"
#include "session/TransactionRequest.h"
#include "session/VaroMessages.h"

#include <VaroManager.h>

#include <QDir>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

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

// Server text inside a log entry is written escaped, so no text the server
// sends can end an entry or forge one.
QByteArray logged(QByteArrayView serverText)
{
    return TransactionLog::escapeServerText(serverText);
}

} // namespace

class PaymentSession::Private {
public:
    Private(PaymentSession &q, SessionHost &host, const ConsoleSettings &settings, const QString &logPath,
            const QString &journalPath)
        : q(q), host(host), settings(settings), log(logPath),
          journal(journalPath.isEmpty() ? QFileInfo(logPath).dir().filePath(QStringLiteral("journal.sqlite"))
                                        : journalPath),
          bookkeeping(journal, host), reader(q.ReceiveBuffer)
    {
    }

    PaymentSession &q;
    SessionHost &host;
    const ConsoleSettings &settings;
    TransactionLog log;
    TransactionJournal journal;
    SessionJournal bookkeeping;
    FrameReader reader;
    Timeouts timeouts;
    qsizetype receiveLimit = kDefaultReceiveLimit;
    QTcpSocket *socket = nullptr;
    QTimer *timer = nullptr;

    // Advanced whenever a session begins or ends. An event (time-out, socket
    // signal, data) is acted on only for the session it belongs to, so a late
    // one never reports on a session that is over.
    quint64 generation = 0;
    // ReturnToIdle is running: it lets events run in its middle, and none of
    // them may act on the session it is ending.
    bool ending = false;
    // The socket is being closed by the console, not by the server: its
    // disconnected signal is no server close.
    bool closingLocally = false;
    // A frame is being handed to the socket. A write the system refuses (the
    // server reset the connection meanwhile) makes the socket abort itself
    // inside write or flush: that close is the server's, not the console's.
    bool writing = false;
    // The request frame of the session is being built (building lets events
    // run, and "Loobu" may be pressed then), and the "0005" of a cancel
    // pressed meanwhile, sent right behind the request.
    bool buildingRequest = false;
    QByteArray heldAbort;
    // Runs when the session's transaction request goes to a connected
    // socket: the journal's "sent".
    std::function<void()> requestLeaving;

    // The stored report request: the period as the "0019" carries it.
    QByteArray reportFrom;   // YYMMDD + "000000"
    QByteArray reportTo;     // YYMMDD + "235959"

    // Ends the session for a failure: what the journal records as the reason
    // when the request had gone out.
    void endFor(const QString &why)
    {
        bookkeeping.endFor(why);
        q.ReturnToIdle();
    }

    bool sessionRunning() const { return !ending && q.SessionState != Idle; }
    SessionRequests::Address address() const
    {
        return {CodePage::console().encode(settings.fPOSID), q.sessionNumber};
    }
    SessionRequests::EventHook eventHook()
    {
        return [this] { host.processEvents(); };
    }
    // The session's failure box; for a session that ended in doubt, the box
    // that says so goes on top of it.
    void showError(const QString &text)
    {
        host.OpenBox(BoxKind::Message, text, kFailureStyle);
        tellDoubt();
    }
    void tellDoubt()
    {
        if (bookkeeping.takeDoubtToTell())
            host.OpenBox(BoxKind::Message, kOutcomeUnknown, kOutcomeUnknownStyle);
    }
    void restartTimer(int intervalMs)
    {
        timer->stop();
        timer->setInterval(intervalMs);
        timer->start();
    }
    void closeSocket()
    {
        closingLocally = true;
        socket->abort();
    }
    // Logs and sends one frame, or ends the session when the socket is not
    // connected: SendFrame without its closing event pump.
    void writeFrame(const QByteArray &frame, const QByteArrayView logText);
    // Builds the session's request with build(), sends it, and sends a
    // cancel pressed while it was built right behind it.
    // leaving runs when the frame goes to the connected socket, never when it
    // does not go out at all.
    void sendRequest(const std::function<QByteArray()> &build, const QByteArrayView logText = {},
                     std::function<void()> leaving = {});

    // Socket and timer events.
    void onConnected();
    void onReadyRead();
    void onDisconnected();
    void onError(QAbstractSocket::SocketError error);
    void onTimeout();
    bool takeReceived();
    void endAsClosedByServer();

    // Requests.
    void sendTransaction(const TransactionRequest &request);
    void sendReportRequest();
    void sendPosCommand();

    // Incoming messages.
    void ProcessReceived();
    void dispatch(const VaroManager &message);
    void OnStatusText(const QByteArray &text);
    void OnKeepAlive();
    void onSecondOutcome(const VaroManager &message, const QByteArray &code);
    void OnReleaseBoxes();
    void OnDeclined(const VaroManager &message);
    void OnPosCommandResponse(const VaroManager &message);
    void OnButtonBox(const VaroManager &message);
    void OnInputBox(const VaroManager &message);
    void OnApproved(const VaroManager &message);

    void logEvent(const QByteArray &text) { log.logEvent(text); }
    // The log lines of an approval and a decline, first or contradicting.
    void logApproval(qint32 stan) { logEvent("ApproveMessage: STAN=" + QByteArray::number(stan)); }
    void logDecline(const QByteArray &reason, const QByteArray &text)
    {
        logEvent("Transaction Declined: " + logged(reason) + " - " + logged(text));
    }
};

PaymentSession::PaymentSession(SessionHost &host, const ConsoleSettings &settings,
                               const QString &logPath, QObject *parent)
    : PaymentSession(host, settings, logPath, QString(), parent)
{
}

PaymentSession::PaymentSession(SessionHost &host, const ConsoleSettings &settings, const QString &logPath,
                               const QString &journalPath, QObject *parent)
    : QObject(parent), d(new Private(*this, host, settings, logPath, journalPath))
{
    d->socket = new QTcpSocket(this);
    d->timer = new QTimer(this);
    d->timer->setObjectName(QStringLiteral("Timer1"));
    d->socket->setObjectName(QStringLiteral("Winsock1"));
    // One shot per arming: every phase arms it anew, and an expiry ends the
    // session, so nothing would ever let it fire twice.
    d->timer->setSingleShot(true);
    // A coarse timer may fire 5 % early: 4.75 s instead of the 5 s a server
    // is promised to connect or to close in.
    d->timer->setTimerType(Qt::PreciseTimer);
    d->timer->setInterval(d->timeouts.answerMs);

    connect(d->socket, &QTcpSocket::connected, this, [this] { d->onConnected(); });
    connect(d->socket, &QTcpSocket::readyRead, this, [this] { d->onReadyRead(); });
    connect(d->socket, &QTcpSocket::disconnected, this, [this] { d->onDisconnected(); });
    connect(d->socket, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) { d->onError(error); });
    // QIODevice::close() (and abort()) announces itself before the socket
    // reports disconnected; a server's close does not pass here. This also
    // covers closes by the report decoder through Winsock1().
    connect(d->socket, &QIODevice::aboutToClose, this, [this] {
        if (!d->writing)
            d->closingLocally = true;
    });
    connect(d->timer, &QTimer::timeout, this, [this] { d->onTimeout(); });
}

PaymentSession::~PaymentSession()
{
    // The socket goes with the window; its last signals must not reach a
    // half-destroyed session.
    d->socket->disconnect(this);
    d->timer->disconnect(this);
    delete d;
}

void PaymentSession::setTimeouts(const Timeouts &timeouts) { d->timeouts = timeouts; }
void PaymentSession::setReceiveLimit(qsizetype bytes) { d->receiveLimit = bytes; }
void PaymentSession::setClock(const Clock &clock)
{
    d->log.setClock(clock);
    d->journal.setClock(clock);
}

TransactionJournal &PaymentSession::journal() { return d->journal; }
const TransactionJournal &PaymentSession::journal() const { return d->journal; }

QString PaymentSession::journalSession() const
{
    return QString::fromLatin1(SessionRequests::sessionField(sessionNumber));
}

QTcpSocket *PaymentSession::Winsock1() const { return d->socket; }
QTimer *PaymentSession::Timer1() const { return d->timer; }

// --- Session steps -----------------------------------------------------------

void PaymentSession::BeginSession()
{
    // One session at a time. A second start while one runs (the special
    // operations dialog stays usable during a payment) would take a new
    // session number and make the console drop every answer of the payment
    // in progress; it is refused instead.
    if (SessionState != Idle || d->ending)
        return;

    d->host.showRunningLayout();
    d->restartTimer(d->timeouts.connectMs);
    SessionState = Connecting;
    ++d->generation;

    ++sessionNumber;
    if (sessionNumber > 999999 || sessionNumber < 1)
        sessionNumber = 1;
    PutConfigString(Config::KeyPath, Config::Session, QString::number(sessionNumber));
    d->host.setStatusBarText(QStringLiteral("Session: ") + PadNumber(sessionNumber, 6));

    d->closingLocally = false;
    ReceiveBuffer.clear();
    d->heldAbort.clear();
    d->bookkeeping.beginSession(journalSession(), d->settings.fPOSID);
    if (d->socket->state() != QAbstractSocket::UnconnectedState)
        d->closeSocket();
    d->closingLocally = false;
    // KKPort is a 32-bit number in the store; cut to 16 bits, 73681 would
    // connect to port 8145. A port the socket cannot take fails the connect.
    if (d->settings.fPort < 1 || d->settings.fPort > 65535) {
        ReturnToIdle();
        d->showError(kConnectFailedPrefix + QString::number(int(QAbstractSocket::UnsupportedSocketOperationError))
                     + QStringLiteral(" - Invalid port ") + QString::number(d->settings.fPort) + u')');
        return;
    }
    d->socket->connectToHost(d->settings.fAddress, quint16(d->settings.fPort));
}

void PaymentSession::ReturnToIdle()
{
    // Entered again from an event that ran in its middle: the first call
    // finishes the job.
    if (d->ending)
        return;
    d->ending = true;
    ++d->generation;

    // Before anything lets events run: a request that went out without an
    // answer is in doubt from this moment, whatever happens next.
    d->bookkeeping.endSession();
    CancelLocked = false;
    CheckPending = false;
    d->host.clearCardField();
    PendingPosCommand = -1;
    ReportPending = false;

    d->host.showFinalStatus(finalStatusText);
    finalStatusText.clear();
    d->host.processEvents();

    d->host.showIdleLayout();
    d->host.processEvents();

    d->timer->stop();
    ReceiveBuffer.clear();
    d->closeSocket();

    SessionState = Idle;
    d->host.ShowTabFrame();
    ++d->generation;
    d->ending = false;
}

bool PaymentSession::PreparePOSCommand(quint8 commandId)
{
    if (SessionState != Idle || d->ending)
        return false;   // see BeginSession: the running session keeps its state
    PendingPosCommand = commandId;
    BeginSession();
    return true;
}

bool PaymentSession::PrepareReport(const QByteArray &fromStamp, const QByteArray &toStamp, bool check)
{
    if (SessionState != Idle || d->ending)
        return false;
    d->reportFrom = fromStamp;
    d->reportTo = toStamp;
    ReportPending = true;
    // Set before the session begins: a begin that fails at once ends the
    // session and clears it again.
    CheckPending = check;
    BeginSession();
    return true;
}

QList<JournalTransaction> PaymentSession::recoverJournal()
{
    return d->bookkeeping.recoverAfterRestart();
}

void PaymentSession::closeForReport()
{
    // The session sees the socket close coming (aboutToClose) and takes it
    // for the console's own close, not for the server going away.
    d->socket->abort();
    d->timer->stop();
    CancelLocked = true;
}

bool PaymentSession::resolveDoubt(const JournalTransaction &transaction, const QString &outcome,
                                  std::optional<qint64> stan)
{
    return d->bookkeeping.resolve(transaction, outcome, stan);
}

// --- Requests -----------------------------------------------------------------

void PaymentSession::SendAbort()
{
    if (CancelLocked)
        return;
    // Nothing to cancel without a session ("Loobu" is disabled then); sending
    // would only end a session that does not exist and wipe the status line.
    if (SessionState == Idle)
        return;
    // Nor once the outcome has come: the transaction is over, and a "0005"
    // behind its approval could only be answered with a decline that
    // contradicts the receipt already printed.
    if (SessionState == Closing)
        return;
    const QByteArray frame = SessionRequests::abort(d->address(), d->eventHook());
    // Pressed while the request is being built: a "0005" sent now would reach
    // the server before the request it cancels, and the server would never
    // see the cancel. It goes right behind the request instead.
    if (d->buildingRequest) {
        d->heldAbort = frame;
        return;
    }
    SendFrame(frame, {});
}

void PaymentSession::ButtonResponse(quint8 ButtonCode)
{
    if (d->socket->state() != QAbstractSocket::ConnectedState)
        return;
    SendFrame(SessionRequests::buttonResponse(d->address(), ButtonCode, d->eventHook()), {});
}

void PaymentSession::InputResponse(quint8 ButtonCode, const QString &Text)
{
    if (d->socket->state() != QAbstractSocket::ConnectedState)
        return;
    // The typed (or swiped) text travels in the frame only; the log gets a
    // fixed text instead of the frame.
    const QByteArray frame = SessionRequests::inputResponse(
        d->address(), ButtonCode, CodePage::console().encode(Text), d->eventHook());
    SendFrame(frame, QByteArray(SessionRequests::kInputResponseLogText));
}

void PaymentSession::SendFrame(const QByteArray &frame, const QByteArray &logText)
{
    d->writeFrame(frame, logText);
    d->host.processEvents();
}

void PaymentSession::Private::writeFrame(const QByteArray &frame, const QByteArrayView logText)
{
    log.logOutgoing(logText.isEmpty() ? frame : logText.toByteArray());
    if (q.SessionState == Idle) {
        // The session ended while the frame was being built (building lets
        // events run, and the server may close meanwhile): it has nobody to
        // go to, and ending the session again would wipe the status line it
        // left and report a failure on a session that is over.
    } else if (socket->state() == QAbstractSocket::ConnectedState) {
        if (requestLeaving) {
            std::function<void()> leaving;
            leaving.swap(requestLeaving);
            leaving();
        }
        writing = true;
        socket->write(frame);
        // Hand the bytes to the system now: a close that follows (ReturnToIdle
        // aborts the socket) must not drop them.
        socket->flush();
        writing = false;
    } else {
        const qint16 was = q.SessionState;
        endFor(QStringLiteral("Socket closed"));
        if (was != Closing)
            showError(kWriteOnClosed);
    }
}

void PaymentSession::Private::sendRequest(const std::function<QByteArray()> &build, const QByteArrayView logText,
                                          std::function<void()> leaving)
{
    buildingRequest = true;
    const QByteArray frame = build();
    buildingRequest = false;
    requestLeaving = std::move(leaving);
    const quint64 session = generation;
    QByteArray abort;
    abort.swap(heldAbort);
    writeFrame(frame, logText);
    requestLeaving = {};
    if (!abort.isEmpty() && generation == session && sessionRunning())
        writeFrame(abort, {});
    host.processEvents();
}

void PaymentSession::SendClose()
{
    const quint64 session = d->generation;
    SessionState = Closing;
    SendFrame(SessionRequests::sessionClose(d->address(), d->eventHook()), {});
    // Arm the close time-out only for a session that still waits for the
    // server's "0023". When the send found the socket closed, or the answer
    // came while the frame went out, the session is over, and a time-out
    // armed now would report "(Timeout)" in Idle, after an approval.
    if (d->generation == session && SessionState == Closing)
        d->restartTimer(d->timeouts.closeMs);
    d->host.processEvents();
}

void PaymentSession::LogEvent(const QString &text)
{
    d->logEvent(CodePage::console().encode(text));
}

void PaymentSession::Private::sendTransaction(const TransactionRequest &request)
{
    using Op = TransactionRequest::Operation;
    switch (request.operation) {
    case Op::CardPayment: q.SessionState = CardPayment; break;
    case Op::Cancellation: q.SessionState = Cancellation; break;
    case Op::Tip: q.SessionState = Tip; break;
    case Op::BookingCompletion: q.SessionState = BookingCompletion; break;
    case Op::None: return;
    }
    // The card text travels in the frame only: the log gets the amount in
    // its place.
    const QByteArray logText = request.operation == Op::CardPayment
                                 ? SessionRequests::cardPaymentLogText(q.sessionNumber, request.amount)
                                 : QByteArray();
    const QByteArray card = CodePage::console().encode(request.cardText);
    sendRequest([&] { return SessionRequests::transaction(address(), request, card, eventHook()); }, logText,
                [this, request] { bookkeeping.sent(request); });
}

void PaymentSession::Private::sendReportRequest()
{
    q.SessionState = ReportRequest;
    sendRequest([&] { return SessionRequests::reportRequest(address(), reportFrom, reportTo, eventHook()); });
}

void PaymentSession::Private::sendPosCommand()
{
    q.SessionState = PosCommandRequest;
    const quint8 command = quint8(q.PendingPosCommand & 0xFF);
    sendRequest([&] { return SessionRequests::posCommand(address(), command, eventHook()); });
}

// --- Socket and timer events ----------------------------------------------------

void PaymentSession::Private::onConnected()
{
    if (!sessionRunning() || q.SessionState != Connecting)
        return;
    restartTimer(timeouts.answerMs);
    if (q.ReportPending) {
        sendReportRequest();
    } else if (q.PendingPosCommand < 0) {
        sendTransaction(host.transactionRequest());
    } else {
        sendPosCommand();
    }
}

void PaymentSession::Private::onReadyRead()
{
    const quint64 session = generation;
    host.processEvents();
    // Data of a session that has ended in the meantime (or before) is not
    // read: ReturnToIdle has dropped it with the socket.
    if (generation != session || !sessionRunning())
        return;
    // The socket does not signal again for data that arrives while this
    // handler runs (the handlers let events run, and the server's answer to
    // "0023" typically comes then): take it before returning.
    while (generation == session && sessionRunning() && takeReceived())
        ProcessReceived();
}

// Moves what the socket holds to ReceiveBuffer. False when there was nothing,
// or when the server passed the buffer's bound, which ends the session.
bool PaymentSession::Private::takeReceived()
{
    const qint64 available = socket->bytesAvailable();
    if (available <= 0)
        return false;
    if (available > receiveLimit - q.ReceiveBuffer.size()) {
        // A server that announces a huge frame, or never stops sending, is
        // treated as a broken connection instead of being buffered without end.
        endAsClosedByServer();
        return false;
    }
    q.ReceiveBuffer += socket->readAll();
    return true;
}

void PaymentSession::Private::onDisconnected()
{
    if (closingLocally || !sessionRunning())
        return;
    // What the server sent before it closed is still this session's: an
    // approval followed at once by the close must be handled as an approval.
    const quint64 session = generation;
    if (takeReceived())
        ProcessReceived();
    if (generation != session || !sessionRunning())
        return;
    endAsClosedByServer();
}

void PaymentSession::Private::endAsClosedByServer()
{
    const qint16 was = q.SessionState;
    endFor(QStringLiteral("Socket closed"));
    if (was != Idle && was != Closing)
        showError(kSocketClosed);
}

void PaymentSession::Private::onError(QAbstractSocket::SocketError error)
{
    // The server closing the connection also arrives as an error; it is
    // handled as a close when the socket reports disconnected right after.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    if (closingLocally || !sessionRunning())
        return;
    const QString description = socket->errorString();
    const qint16 was = q.SessionState;
    endFor(description);
    if (was == Idle || was == Closing)
        return;
    const QString detail = QString::number(int(error)) + QStringLiteral(" - ") + description + u')';
    showError((was == Connecting ? kConnectFailedPrefix : kConnectionLostPrefix) + detail);
}

void PaymentSession::Private::onTimeout()
{
    // A time-out outlives nothing: once its session has ended it reports
    // nothing (ReturnToIdle stops the timer, but it lets events run first).
    if (!sessionRunning())
        return;
    const qint16 was = q.SessionState;
    endFor(QStringLiteral("Timeout"));
    if (was != Closing)
        showError(kTimeout);
}

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
    host.OpenBox(BoxKind::Message, kOutcomeUnknown, kOutcomeUnknownStyle);
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
    q.finalStatusText = kPosCommandTaken;
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
    q.finalStatusText = kApprovedPrefix + QString::number(stan);
    q.SendClose();
}
