#include "window/TillBridge.h"

#include "common/Helpers.h"
#include "session/PaymentSession.h"
#include "window/AmountRules.h"
#include "window/TillAnswers.h"
#include "window/TillHost.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

// A till's texts go into log.txt as one line each: printable, and no longer
// than a key may be.
QString logged(const QString &text)
{
    QString out;
    for (QChar c : text.left(TillProtocol::kMaxKeyLength))
        out += c.isPrint() ? c : u'?';
    if (text.size() > TillProtocol::kMaxKeyLength)
        out += QStringLiteral("...");
    return out;
}

QString keyText(const QString &workstation, const QString &requestId, const QString &type)
{
    return QStringLiteral("Workstation=") + logged(workstation) + QStringLiteral(", RequestID=") + logged(requestId)
         + QStringLiteral(", Type=") + logged(type);
}

bool isTransaction(const QString &type)
{
    return type == TillProtocol::kCardPayment || type == TillProtocol::kBooking
        || type == TillProtocol::kPaymentReversal;
}

QString keyOf(const TillKey &key)
{
    return key.workstation + QChar(0x1f) + key.requestId;
}

// How long a second connection waits before it is told Busy: enough for a
// till's close of its old one to be seen.
constexpr int kSecondConnectionMs = 100;

} // namespace

TillBridge::TillBridge(TillHost &host, PaymentSession &session, QString terminalId, QObject *parent)
    : QObject(parent), m_host(host), m_session(session), m_terminalId(std::move(terminalId))
{
    connect(&m_session, &PaymentSession::sessionEnded, this, &TillBridge::onSessionEnded);
}

TillBridge::~TillBridge() = default;

bool TillBridge::listen(quint16 port, QString *errorText)
{
    if (!m_server) {
        m_server = new QTcpServer(this);
        // The till waits for its answer on its own connection; one more
        // than the one served is all the queue needs to refuse politely.
        m_server->setMaxPendingConnections(1);
        connect(m_server, &QTcpServer::newConnection, this, &TillBridge::onNewConnection);
    }
    if (m_server->isListening())
        return true;
    if (!m_server->listen(QHostAddress::LocalHost, port)) {
        if (errorText)
            *errorText = m_server->errorString();
        return false;
    }
    return true;
}

quint16 TillBridge::port() const
{
    return m_server && m_server->isListening() ? m_server->serverPort() : 0;
}

void TillBridge::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        if (m_connection && m_connection->state() == QAbstractSocket::ConnectedState) {
            // One till at a time: a second one would see answers meant for
            // the first. Unless the first has just gone and its close is
            // still on the way.
            QTimer::singleShot(kSecondConnectionMs, this, [this, socket] { settleSecond(socket); });
            continue;
        }
        adopt(socket);
    }
}

void TillBridge::adopt(QTcpSocket *socket)
{
    if (m_connection)
        m_connection->deleteLater();
    m_connection = socket;
    m_reader = TillFrameReader();
    connect(socket, &QTcpSocket::readyRead, this, &TillBridge::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { onDisconnected(socket); });
    if (socket->bytesAvailable() > 0)
        onReadyRead();
}

void TillBridge::settleSecond(QTcpSocket *socket)
{
    if (socket->state() != QAbstractSocket::ConnectedState && socket->bytesAvailable() == 0) {
        socket->deleteLater();
        return;
    }
    if (!m_connection || m_connection->state() != QAbstractSocket::ConnectedState) {
        adopt(socket);
        return;
    }
    m_host.logTillEvent(QStringLiteral("Till connection refused: another till is connected"));
    TillFrameReader reader;
    reader.append(socket->readAll());
    const TillFrameReader::Step step = reader.next();
    if (step.kind == TillFrameReader::Step::Frame) {
        const TillParse parse = ParseTillRequest(step.document);
        if (parse.requestIdRead) {
            TillResponse busy = TillResponseTo(parse.request, TillProtocol::kBusy);
            busy.terminalId = m_terminalId;
            busy.reason = QStringLiteral("another till is connected");
            socket->write(TillProtocol::frame(TillResponseDocument(busy)));
        }
    }
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->disconnectFromHost();
}

void TillBridge::onDisconnected(QTcpSocket *socket)
{
    socket->deleteLater();
    if (socket != m_connection)
        return;
    m_connection = nullptr;
    // Nobody would hear the outcome of a request not yet started: it goes
    // with its till. One that runs finishes; its answer waits in the journal.
    if (m_pending && !m_pending->started) {
        m_host.logTillEvent(QStringLiteral("Till disconnected: its request ends before the start"));
        TillResponse aborted = TillResponseTo(m_pending->request, TillProtocol::kAborted);
        aborted.terminalId = m_terminalId;
        finish(aborted, false);
        m_host.withdrawTillRequest();
    }
}

void TillBridge::onReadyRead()
{
    QPointer<QTcpSocket> socket = m_connection;
    // readyRead is not emitted again while its handler runs, and a document
    // may let events run (a box, the focus): bytes that came meanwhile are
    // read here, or they would wait for the next frame.
    while (socket && socket == m_connection && socket->bytesAvailable() > 0) {
        m_reader.append(socket->readAll());
        while (socket && socket == m_connection) {
            TillFrameReader::Step step = m_reader.next();
            if (step.kind == TillFrameReader::Step::NeedMore)
                break;
            if (step.kind == TillFrameReader::Step::TooLarge) {
                dropConnection(QStringLiteral("a frame of %1 bytes is over the limit of %2")
                                   .arg(step.announced)
                                   .arg(TillProtocol::kMaxDocument));
                return;
            }
            onDocument(step.document);
        }
    }
}

void TillBridge::dropConnection(const QString &why)
{
    m_host.logTillEvent(QStringLiteral("Till frame refused: ") + why + QStringLiteral("; connection closed"));
    if (m_connection) {
        QTcpSocket *socket = m_connection;
        m_connection = nullptr;
        socket->abort();
        socket->deleteLater();
    }
    m_reader = TillFrameReader();
}

void TillBridge::onDocument(const QByteArray &document)
{
    const TillParse parse = ParseTillRequest(document);
    const TillRequest &request = parse.request;
    if (parse.status != TillParse::Ok) {
        // Without its RequestID the answer could not be told from any other:
        // the stream is not to be trusted any further.
        if (!parse.requestIdRead) {
            dropConnection(parse.error);
            return;
        }
        m_host.logTillEvent(QStringLiteral("Till request: ")
                            + keyText(request.workstationId, request.requestId, request.requestType)
                            + QStringLiteral(", unreadable: ") + parse.error);
        TillResponse r = TillResponseTo(request, TillProtocol::kFormatError);
        r.terminalId = m_terminalId;
        r.reason = parse.error;
        respond(r);
        return;
    }
    m_host.logTillEvent(QStringLiteral("Till request: ")
                        + keyText(request.workstationId, request.requestId, request.requestType));
    // A key seen before decides first: whatever else the request says, it
    // never starts a second transaction, and its answer stays the first's.
    if (isTransaction(request.requestType) && takeRepeatedKey(request))
        return;
    if (std::optional<TillResponse> refusal = RefuseTillRequest(request)) {
        refusal->terminalId = m_terminalId;
        if (isTransaction(request.requestType) && !request.workstationId.isEmpty())
            m_last.insert(request.workstationId, Last{request, *refusal});
        respond(*refusal);
        return;
    }
    if (request.requestType == TillProtocol::kAbortRequest)
        takeAbort(request);
    else if (request.requestType == TillProtocol::kRepeatLastMessage)
        takeRepeat(request);
    else
        takeTransaction(request);
}

bool TillBridge::takeRepeatedKey(const TillRequest &request)
{
    const TillKey key{request.workstationId, request.requestId};
    if (key.workstation.isEmpty() || key.requestId.isEmpty())
        return false;
    TillResponse reused = TillResponseTo(request, TillProtocol::kValidationError);
    reused.terminalId = m_terminalId;
    reused.reason = QStringLiteral("RequestID already used for another request");
    // Before the cashier or running: the same request waits for its answer.
    if (m_pending && m_pending->key == key) {
        if (TillSameRequest(m_pending->request, request))
            m_pending->waiting.append(request.requestType);
        else
            respond(reused);
        return true;
    }
    if (const std::optional<JournalTransaction> first = m_session.journal().transactionOfTillKey(key)) {
        if (!TillSameRequest(request, *first)) {
            respond(reused);
            return true;
        }
        m_last.insert(key.workstation, Last{request, std::nullopt});
        respond(TillAnswerOf(request, *first));
        return true;
    }
    // Started in this run, and the journal could not record it.
    if (auto it = m_started.constFind(keyOf(key)); it != m_started.constEnd()) {
        if (!TillSameRequest(it->request, request)) {
            respond(reused);
            return true;
        }
        TillResponse answer = it->answer;
        answer.requestType = request.requestType;
        m_last.insert(key.workstation, Last{request, answer});
        respond(answer);
        return true;
    }
    return false;
}

void TillBridge::takeTransaction(const TillRequest &request)
{
    const TillKey key{request.workstationId, request.requestId};
    if (!m_session.journal().isReadable()) {
        TillResponse busy = TillResponseTo(request, TillProtocol::kBusy);
        busy.terminalId = m_terminalId;
        busy.reason = QStringLiteral("the journal cannot be read");
        respond(busy);
        return;
    }
    // A reversal of a receipt this till's journal knows: of its whole amount
    // only, as the cancellation cancels the whole receipt.
    if (request.requestType == TillProtocol::kPaymentReversal && request.amount) {
        const qint64 stan = ParseBoundedLong(request.originalStan.value_or(QString()), 0, kMaxReceiptNumber, -1);
        const std::optional<JournalTransaction> original = m_session.journal().chargeWithStan(m_terminalId, stan);
        if (original && TillAmountCents(*request.amount) != TransactionJournal::amountCents(original->sent.amount)) {
            TillResponse refused = TillResponseTo(request, TillProtocol::kValidationError);
            refused.terminalId = m_terminalId;
            refused.reason = QStringLiteral("TotalAmount is not the amount of that receipt");
            m_last.insert(key.workstation, Last{request, refused});
            respond(refused);
            return;
        }
    }
    if (m_pending || !m_host.readyForTillRequest()) {
        TillResponse busy = TillResponseTo(request, TillProtocol::kBusy);
        busy.terminalId = m_terminalId;
        m_last.insert(key.workstation, Last{request, busy});
        respond(busy);
        return;
    }
    m_pending = Pending{key, request, false, {request.requestType}};
    TillOffer offer;
    if (request.requestType == TillProtocol::kPaymentReversal) {
        offer.tab = 2;
        offer.fieldText = request.originalStan.value_or(QString());
    } else {
        offer.tab = request.requestType == TillProtocol::kBooking ? 4 : 1;
        offer.fieldText = TillFieldAmount(request.amount.value_or(QString()));
    }
    offer.tillReceipt = request.transactionNumber.left(TillProtocol::kMaxKeyLength);
    offer.autoStart = m_autoStart;
    m_host.showTillRequest(offer);
}

void TillBridge::takeAbort(const TillRequest &request)
{
    const TillKey key{request.workstationId, request.requestId};
    TillResponse r = TillResponseTo(request, TillProtocol::kSuccess);
    r.terminalId = m_terminalId;
    if (!m_pending || m_pending->key != key) {
        r.overallResult = TillProtocol::kFailure;
        r.reason = QStringLiteral("no such request before the cashier or running");
        respond(r);
        return;
    }
    if (!m_pending->started) {
        // Nothing has gone to the server: the request ends here.
        TillResponse aborted = TillResponseTo(m_pending->request, TillProtocol::kAborted);
        aborted.terminalId = m_terminalId;
        finish(aborted, false);
        m_host.withdrawTillRequest();
        respond(r);
        return;
    }
    // As "Loobu": the server decides, and the request's own answer says
    // what it decided.
    m_host.abortRunningTransaction();
    r.reason = QStringLiteral("abort sent to the payment server");
    respond(r);
}

void TillBridge::takeRepeat(const TillRequest &request)
{
    const QString &workstation = request.workstationId;
    if (m_pending && m_pending->key.workstation == workstation) {
        m_pending->waiting.append(m_pending->request.requestType);
        return;
    }
    if (auto it = m_last.constFind(workstation); it != m_last.constEnd()) {
        if (it->answer) {
            respond(*it->answer);
            return;
        }
        const TillKey key{workstation, it->request.requestId};
        if (const std::optional<JournalTransaction> t = m_session.journal().transactionOfTillKey(key)) {
            respond(TillAnswerOf(it->request, *t));
            return;
        }
    }
    // After a restart: the newest request of the workstation the journal
    // holds, echoed as it was sent.
    if (const std::optional<JournalTransaction> t = m_session.journal().lastOfWorkstation(workstation)) {
        TillRequest original = request;
        original.requestId = t->sent.requestId;
        original.requestType = t->sent.op == u"cancellation" ? QString(TillProtocol::kPaymentReversal)
                             : t->sent.op == u"booking"     ? QString(TillProtocol::kBooking)
                                                            : QString(TillProtocol::kCardPayment);
        respond(TillAnswerOf(original, *t));
        return;
    }
    TillResponse none = TillResponseTo(request, TillProtocol::kValidationError);
    none.terminalId = m_terminalId;
    none.reason = QStringLiteral("no earlier request of this workstation");
    respond(none);
}

void TillBridge::cashierStarted()
{
    if (m_pending)
        m_pending->started = true;
}

void TillBridge::cashierCancelled()
{
    if (!m_pending || m_pending->started)
        return;
    TillResponse aborted = TillResponseTo(m_pending->request, TillProtocol::kAborted);
    aborted.terminalId = m_terminalId;
    finish(aborted, false);
    m_host.withdrawTillRequest();
}

void TillBridge::onSessionEnded()
{
    if (!m_pending || !m_pending->started)
        return;
    const TillRequest &request = m_pending->request;
    const std::optional<JournalTransaction> t = m_session.journal().transactionOfTillKey(m_pending->key);
    const SessionOutcome &seen = m_session.lastOutcome();
    if (t && !t->isOpen()) {
        finish(TillAnswerOf(request, *t), true);
    } else {
        // Never sent (nothing charged), or sent and the journal could not
        // record the outcome: what the session saw, which for a request
        // without an outcome is unknown, never "declined". One that went
        // out is remembered for the run, so its key is never new again; one
        // that did not may be sent again under its key.
        const TillResponse answer = TillAnswerOf(request, seen, m_terminalId);
        if (seen.kind != SessionOutcome::NotSent)
            m_started.insert(keyOf(m_pending->key), Started{request, answer});
        finish(answer, false);
    }
    m_host.withdrawTillRequest();
}

void TillBridge::finish(TillResponse response, bool fromJournal)
{
    if (!m_pending)
        return;
    const Pending done = *m_pending;
    m_pending.reset();
    m_last.insert(done.key.workstation, Last{done.request, fromJournal ? std::nullopt : std::optional(response)});
    for (const QString &type : done.waiting) {
        response.requestType = type;
        respond(response);
    }
}

void TillBridge::respond(const TillResponse &response)
{
    QString line = QStringLiteral("Till response: ")
                 + keyText(response.workstationId, response.requestId, response.requestType)
                 + QStringLiteral(", Result=") + response.overallResult;
    if (response.stan)
        line += QStringLiteral(", STAN=") + QString::number(*response.stan);
    if (!m_connection || m_connection->state() != QAbstractSocket::ConnectedState)
        line += QStringLiteral(" (no till connected)");
    m_host.logTillEvent(line);
    if (m_connection && m_connection->state() == QAbstractSocket::ConnectedState)
        m_connection->write(TillProtocol::frame(TillResponseDocument(response)));
}
