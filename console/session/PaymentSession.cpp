// The session's life (begin, end), its socket and timer events, and what it
// sends. What it does with the frames the server sends is SessionIncoming.cpp.
#include "session/PaymentSession.h"

#include "session/PaymentSession_p.h"

#include "common/CodePage.h"
#include "common/Config.h"
#include "common/Helpers.h"
#include "session/SessionHost.h"
#include "session/SessionRequests.h"
#include "session/SessionTexts.h"
#include "session/TransactionRequest.h"

#include <QTcpSocket>
#include <QTimer>

using namespace SessionText;

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
    d->host.setStatusBarText(statusBarWords(PadNumber(sessionNumber, 6)));

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
        d->showError(connectFailed(QString::number(int(QAbstractSocket::UnsupportedSocketOperationError))
                                   + QStringLiteral(" - Invalid port ") + QString::number(d->settings.fPort)));
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
    emit sessionEnded();
}

const SessionOutcome &PaymentSession::lastOutcome() const
{
    return d->bookkeeping.outcome();
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
            showError(writeOnClosed());
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
        showError(socketClosed());
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
    const QString detail = QString::number(int(error)) + QStringLiteral(" - ") + description;
    showError(was == Connecting ? connectFailed(detail) : connectionLost(detail));
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
        showError(timeout());
}
