#include "session/PaymentSession.h"

#include "common/CodePage.h"
#include "common/Config.h"
#include "common/ErrorLog.h"
#include "common/Helpers.h"
#include "session/SessionHost.h"
#include "session/SessionRequests.h"
#include "session/TransactionJournal.h"
#include "session/TransactionLog.h"
#include "session/VaroMessages.h"
#include "window/AmountRules.h"

#include <VaroFrameFormat.h>
#include <VaroManager.h>

#include <QtEndian>

#include <QDir>
#include <QFileInfo>

#include <QTcpSocket>
#include <QTimer>

#include <cstring>
#include <functional>
#include <string>

namespace {

// Message-box style of the console's own errors: error icon, "OK".
constexpr qint32 kErrorStyle = 16;

const QString kTimeoutText = QStringLiteral("Ühendus maksesüsteemiga katkes. (Timeout)");
const QString kSocketClosedText = QStringLiteral("Ühendus maksesüsteemiga katkes. (Socket closed)");
const QString kWriteOnClosedText =
    QStringLiteral("Ühendus maksesüsteemiga katkes. (Attempt to write on closed socket)");
const QString kConnectFailedPrefix = QStringLiteral("Ei saa ühendust maksesüsteemiga. (");
const QString kConnectionLostPrefix = QStringLiteral("Ühendus maksesüsteemiga katkes. (");
const QString kApprovedPrefix = QStringLiteral("Toiming on teostatud. Kviitungi number: ");
const QString kPosCommandTaken = QStringLiteral("Toiming täitmiseks võetud.");
// Logged for a report answer that comes when no report was asked for.
constexpr char kReportDataIgnored[] = "Report data ignored: no report was requested.";
constexpr char kLateOutcomeIgnored[] = "Outcome ignored: the session has its outcome already. Code=";
// Logged for a second outcome that says the opposite of the first.
constexpr char kConflictingOutcome[] = "Conflicting outcome: the transaction is in doubt. Code=";
constexpr char kCommandResponseIgnored[] = "Command response ignored: no special command was sent.";
constexpr char kKeepAliveWhileClosing[] = "KeepAlive. (closing: the time-out stands)";

bool isDecline(QByteArrayView code)
{
    return code == VaroMsg::kDeclined || code == VaroMsg::kDeclinedOther;
}

bool isOutcome(QByteArrayView code)
{
    return code == VaroMsg::kApproved || code == VaroMsg::kDeclined || code == VaroMsg::kDeclinedOther
           || code == VaroMsg::kPosCommandResponse;
}

QByteArray toBytes(const std::string &s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

std::string toStd(QByteArrayView b)
{
    return std::string(b.data(), std::size_t(b.size()));
}

QByteArray field(const VaroManager &message, qint16 id, QByteArrayView def = {})
{
    return toBytes(message.GetFieldData(id, toStd(def)));
}

// The report dialog's list position to the report column it groups by.
qint16 groupCodeOfListPosition(qint16 position)
{
    switch (position) {
    case 1: return 1;    // terminal
    case 2: return 2;    // date
    case 3: return 5;    // card
    case 4: return 6;    // response code
    case 5: return 11;   // sent / not sent
    default: return 0;   // none
    }
}

} // namespace

class PaymentSession::Private {
public:
    Private(PaymentSession &q, SessionHost &host, const ConsoleSettings &settings, const QString &logPath,
            const QString &journalPath)
        : q(q), host(host), settings(settings), log(logPath),
          journal(journalPath.isEmpty() ? QFileInfo(logPath).dir().filePath(QStringLiteral("journal.sqlite"))
                                        : journalPath)
    {
    }

    PaymentSession &q;
    SessionHost &host;
    const ConsoleSettings &settings;
    TransactionLog log;
    TransactionJournal journal;
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

    // The journal's side of the session. A transaction request is journaled
    // as sent the moment it goes to a connected socket (requestLeaving runs
    // there), and stays open until its approval or decline; a session that
    // ends with it still open ends in doubt, for the reason in endWhy, and
    // the cashier is told so (doubtToTell) behind the session's failure box.
    std::function<void()> requestLeaving;
    bool journalOpen = false;
    // The outcome the session's journaled request had first ('a'pproved,
    // 'd'eclined; 0 none yet, or no request journaled): a second outcome
    // that contradicts it makes the transaction a doubt.
    char firstOutcome = 0;
    QString endWhy;
    bool doubtToTell = false;
    bool journalFailureReported = false;

    void storeReportRequest(const QDate &from, const QDate &to, qint16 group, quint8 onlyApproved)
    {
        q.ReportFromStamp = FormatDateYYMMDD(from).toLatin1() + "000000";
        q.ReportToStamp = FormatDateYYMMDD(to).toLatin1() + "235959";
        q.ReportOnlyApproved = onlyApproved != 0 ? 1 : 0;
        q.ReportGroup = groupCodeOfListPosition(group);
        q.ReportPending = true;
    }

    void journalSent(const QString &op, std::optional<double> amount, std::optional<qint64> receipt);
    void journalWritten(bool ok);
    void journalUnknownIfOpen();
    void tellDoubt();
    // Ends the session for a failure: what the journal records as the reason
    // when the request had gone out.
    void endFor(const QString &why)
    {
        if (endWhy.isEmpty())
            endWhy = why;
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
        host.OpenBox(0, text, kErrorStyle);
        tellDoubt();
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
    void sendCardPayment(bool booking);
    void sendCancellation();
    void sendTip();
    void sendBookingCompletion();
    void sendReportRequest();
    void sendPosCommand();

    // Incoming messages.
    void ProcessReceived();
    bool dropToStartByte();
    qint16 takeFrame(VaroManager &message);
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
    void logDecline(const QByteArray &reason, const QByteArray &text);
};

namespace {

// Server text inside a log entry is written escaped, so no text the server
// sends can end an entry or forge one.
QByteArray logged(QByteArrayView serverText)
{
    return TransactionLog::escapeServerText(serverText);
}

} // namespace

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
    d->journalOpen = false;
    d->firstOutcome = 0;
    d->endWhy.clear();
    d->doubtToTell = false;
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
    d->journalUnknownIfOpen();
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

bool PaymentSession::PrepareReport(const QDate &from, const QDate &to, qint16 group, quint8 onlyApproved)
{
    if (SessionState != Idle || d->ending)
        return false;
    d->storeReportRequest(from, to, group, onlyApproved);
    CheckPending = false;
    BeginSession();
    return true;
}

bool PaymentSession::PrepareCheck(const QDate &from, const QDate &to)
{
    if (SessionState != Idle || d->ending)
        return false;
    // Every record of the days, whatever its code, in arrival order. Set
    // before the session begins: a begin that fails at once ends the session
    // and clears it again.
    d->storeReportRequest(from, to, 0, 0);
    CheckPending = true;
    BeginSession();
    return true;
}

QList<JournalTransaction> PaymentSession::recoverJournal()
{
    const QList<JournalTransaction> closed = d->journal.recoverAfterRestart();
    d->journalWritten(d->journal.lastError() == 0);
    return closed;
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
    const bool ok = d->journal.logResolved(transaction, outcome, stan);
    d->journalWritten(ok);
    return ok;
}

QString PaymentSession::journalUnwritableText(const QString &reason)
{
    return QStringLiteral("Tehingupäevikusse ei saa kirjutada: teadmata tulemusega makseid ei jälgita. (") + reason
         + u')';
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
            showError(kWriteOnClosedText);
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

void PaymentSession::Private::sendCardPayment(bool booking)
{
    q.SessionState = CardPayment;
    double amount = 0;
    GetAmount(host.entryFieldText(2), amount);
    const QByteArray card = CodePage::console().encode(NormalizeTrackText(host.entryFieldText(1)));
    sendRequest([&] { return SessionRequests::cardPayment(address(), amount, card, booking, eventHook()); },
                SessionRequests::cardPaymentLogText(q.sessionNumber, amount),
                [this, booking, amount] {
                    journalSent(booking ? QStringLiteral("booking") : QStringLiteral("payment"), amount, std::nullopt);
                });
}

void PaymentSession::Private::sendCancellation()
{
    q.SessionState = Cancellation;
    const qint32 receipt = ReceiptNumberA(host.entryFieldText(3)).value_or(-1);
    sendRequest([&] { return SessionRequests::cancellation(address(), receipt, eventHook()); }, {},
                [this, receipt] { journalSent(QStringLiteral("cancellation"), std::nullopt, receipt); });
}

void PaymentSession::Private::sendTip()
{
    q.SessionState = Tip;
    double amount = 0;
    GetAmount(host.entryFieldText(9), amount);
    const qint32 receipt = ReceiptNumberA(host.entryFieldText(8)).value_or(-1);
    sendRequest([&] { return SessionRequests::tip(address(), amount, receipt, eventHook()); }, {},
                [this, amount, receipt] { journalSent(QStringLiteral("tip"), amount, receipt); });
}

void PaymentSession::Private::sendBookingCompletion()
{
    q.SessionState = BookingCompletion;
    double amount = 0;
    GetAmount(host.entryFieldText(7), amount);
    const qint32 receipt = ReceiptNumberB(host.entryFieldText(4)).value_or(-1);
    sendRequest([&] { return SessionRequests::bookingCompletion(address(), amount, receipt, eventHook()); }, {},
                [this, amount, receipt] { journalSent(QStringLiteral("completion"), amount, receipt); });
}

void PaymentSession::Private::sendReportRequest()
{
    q.SessionState = ReportRequest;
    q.ReportPeriodText = QStringLiteral("Periood: ")
                       + FormatStamp(QString::fromLatin1(q.ReportFromStamp)) + QStringLiteral(" - ")
                       + FormatStamp(QString::fromLatin1(q.ReportToStamp));
    sendRequest([&] {
        return SessionRequests::reportRequest(address(), q.ReportFromStamp, q.ReportToStamp, eventHook());
    });
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
        switch (host.selectedTab()) {
        case 1: sendCardPayment(false); break;
        case 2: sendCancellation(); break;
        case 3: sendTip(); break;
        case 4: sendCardPayment(true); break;
        case 5: sendBookingCompletion(); break;
        default: break;
        }
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
        showError(kSocketClosedText);
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
        showError(kTimeoutText);
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
    const QByteArray pos = CodePage::console().encode(settings.fPOSID);
    while (generation == session && !q.ReceiveBuffer.isEmpty()) {
        if (dropToStartByte())
            continue;
        VaroManager message;
        message.Reset();
        const qint16 result = takeFrame(message);
        if (result == VaroManager::Incomplete)
            return;
        if (result != VaroManager::Parsed)
            continue;

        if (field(message, VaroMsg::kFieldPos, VaroMsg::kNoPosOrSession) != pos)
            continue;
        const QString sessionText =
            QString::fromLatin1(field(message, VaroMsg::kFieldSession, VaroMsg::kNoPosOrSession));
        if (!IsNumericText(sessionText) || sessionText.trimmed().toDouble() != double(q.sessionNumber))
            continue;

        const QByteArray code = field(message, VaroMsg::kFieldCode);
        // A closing session has its outcome. A second outcome frame (a
        // decline answering a "Loobu" that crossed the approval, an approval
        // sent twice) would show a failure over the approval, print the
        // receipt again or send a second "0023": the first outcome stands.
        if (q.SessionState == Closing && isOutcome(code)) {
            onSecondOutcome(message, code);
            continue;
        }
        if (code == VaroMsg::kSessionClose) {
            if (q.SessionState == Closing) {
                q.ReturnToIdle();
                return;
            }
        } else if (code == VaroMsg::kStatusText) {
            OnStatusText(field(message, VaroMsg::kFieldText));
        } else if (code == VaroMsg::kKeepAlive) {
            OnKeepAlive();
        } else if (code == VaroMsg::kReleaseBoxes) {
            OnReleaseBoxes();
        } else if (code == VaroMsg::kDeclined) {
            OnDeclined(message);
        } else if (code == VaroMsg::kPosCommandResponse) {
            // Only the special command's own answer ends a session with it:
            // in a payment a "0027" would close the session without its
            // outcome.
            if (q.SessionState == PosCommandRequest)
                OnPosCommandResponse(message);
            else
                logEvent(kCommandResponseIgnored);
        } else if (code == VaroMsg::kDeclinedOther) {
            OnDeclined(message);
        } else if (code == VaroMsg::kButtonBox) {
            OnButtonBox(message);
        } else if (code == VaroMsg::kInputBox) {
            OnInputBox(message);
        } else if (code == VaroMsg::kApproved) {
            OnApproved(message);
        } else if (code == VaroMsg::kReportData) {
            // Only the report request's own answer is decoded: in the middle
            // of a payment a "0020" would end the payment without its outcome
            // and write a report with the settings of an earlier request.
            if (q.SessionState == ReportRequest)
                host.DecodeReport(message);
            else
                logEvent(kReportDataIgnored);
        }
    }
}

// Bytes in front of ReceiveBuffer that cannot begin a frame (no start byte)
// would stay there for good, and every frame behind them with them, until the
// session timed out. They are dropped up to the next start byte (all of them
// when there is none). True when something was dropped.
bool PaymentSession::Private::dropToStartByte()
{
    QByteArray &buffer = q.ReceiveBuffer;
    if (buffer.isEmpty() || uchar(buffer[0]) == VaroFrame::kStartByte)
        return false;
    const qsizetype next = buffer.indexOf(char(VaroFrame::kStartByte));
    buffer.remove(0, next < 0 ? buffer.size() : next);
    return true;
}

// ProcessMessage on the front of ReceiveBuffer, with its results and its
// effect on the buffer, without copying the whole buffer for every frame: a
// report answer arrives in many reads, and a buffer may hold many frames.
// A frame whose header is sound is cut off alone (ProcessMessage would leave
// the same remainder) or, while incomplete, left waiting untouched; anything
// else goes to ProcessMessage whole. Cutting the front of a QByteArray does
// not move the rest.
qint16 PaymentSession::Private::takeFrame(VaroManager &message)
{
    QByteArray &buffer = q.ReceiveBuffer;
    if (buffer.size() >= qsizetype(VaroFrame::kOverhead) && uchar(buffer[0]) == VaroFrame::kStartByte) {
        const qint64 bodyLength = qint32(qFromLittleEndian<quint32>(buffer.constData() + VaroFrame::kStartSize));
        if (bodyLength >= 0 && bodyLength <= VaroFrame::kMaxBodyLength) {
            const qint64 frameSize = bodyLength + qint64(VaroFrame::kOverhead);
            if (buffer.size() < frameSize)
                return VaroManager::Incomplete;
            std::string frame(buffer.constData(), std::size_t(frameSize));
            std::string remainder;
            const qint16 result = message.ProcessMessage(frame, remainder);
            buffer.remove(0, qsizetype(frameSize) - qsizetype(remainder.size()));
            return result;
        }
    }
    std::string whole = toStd(buffer);
    std::string remainder;
    const qint16 result = message.ProcessMessage(whole, remainder);
    buffer = toBytes(remainder);
    return result;
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
    const bool contradicts = (firstOutcome == 'a' && isDecline(code))
                          || (firstOutcome == 'd' && code == VaroMsg::kApproved);
    if (!contradicts) {
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
    firstOutcome = 'c';
    journalWritten(journal.logConflict(q.journalSession(), settings.fPOSID));
    q.finalStatusText.clear();
    host.OpenBox(0, PaymentSession::kOutcomeUnknownText, PaymentSession::kOutcomeUnknownStyle);
}

void PaymentSession::Private::logDecline(const QByteArray &reason, const QByteArray &text)
{
    logEvent("Transaction Declined: " + logged(reason) + " - " + logged(text));
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
    if (journalOpen) {
        journalOpen = false;
        firstOutcome = 'd';
        const CodePage &cp = CodePage::console();
        journalWritten(journal.logDeclined(q.journalSession(), settings.fPOSID,
                                           cp.decode(field(message, VaroMsg::kFieldCode)), cp.decode(reason),
                                           cp.decode(text)));
    }
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
    host.OpenBox(1, CodePage::console().decode(text), style);
}

void PaymentSession::Private::OnInputBox(const VaroManager &message)
{
    const qint32 style = DecodeInt32(field(message, VaroMsg::kFieldStyle, QByteArrayView("\0\0\0\0", 4)));
    const QByteArray text = field(message, VaroMsg::kFieldText);
    const bool masked = field(message, VaroMsg::kFieldMasked) == QByteArrayView("\x01", 1);
    logEvent("InputBox: " + logged(text));
    host.OpenBox(masked ? 3 : 2, CodePage::console().decode(text), style);
}

void PaymentSession::Private::OnApproved(const VaroManager &message)
{
    timer->stop();
    const qint32 stan = DecodeInt32(field(message, VaroMsg::kFieldNumber));
    logApproval(stan);
    if (journalOpen) {
        journalOpen = false;
        firstOutcome = 'a';
        journalWritten(journal.logApproved(q.journalSession(), settings.fPOSID, stan));
    }
    const QByteArray receipt = field(message, VaroMsg::kFieldReceipt);
    if (!receipt.isEmpty() && settings.fDoPrint)
        host.PrintReceipt(receipt, stan);
    host.clearEntryFields();
    q.finalStatusText = kApprovedPrefix + QString::number(stan);
    q.SendClose();
}

// --- The journal -----------------------------------------------------------------

void PaymentSession::Private::journalSent(const QString &op, std::optional<double> amount,
                                          std::optional<qint64> receipt)
{
    journalWritten(journal.logSent(q.journalSession(), settings.fPOSID, op, amount, receipt));
    journalOpen = true;
}

void PaymentSession::Private::journalWritten(bool ok)
{
    // A journal that cannot be written never stops a payment; the
    // technician and the cashier learn of it once per run. (A resolution
    // refused because the doubt was settled meanwhile is no failure.)
    if (ok || journalFailureReported || journal.lastErrorText().isEmpty())
        return;
    journalFailureReported = true;
    LogError(1, QStringLiteral("Tehingute päevikusse ei saa kirjutada: ") + journal.path() + QStringLiteral(": ")
                    + journal.lastErrorText(),
             QStringLiteral("TransactionJournal"));
    host.tellJournalUnwritable(journalUnwritableText(journal.lastErrorText()), kJournalUnwritableStyle);
}

void PaymentSession::Private::journalUnknownIfOpen()
{
    if (!journalOpen)
        return;
    journalOpen = false;
    journalWritten(journal.logUnknown(q.journalSession(), settings.fPOSID,
                                      endWhy.isEmpty() ? QStringLiteral("Socket closed") : endWhy));
    doubtToTell = true;
}

void PaymentSession::Private::tellDoubt()
{
    if (!doubtToTell)
        return;
    doubtToTell = false;
    host.OpenBox(0, PaymentSession::kOutcomeUnknownText, PaymentSession::kOutcomeUnknownStyle);
}
