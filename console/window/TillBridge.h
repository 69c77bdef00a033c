// TillBridge: the till hands the amount over, the cashier never types it.
//
// The console listens on 127.0.0.1:ECRPort for one till at a time (a second
// connection is closed at once) and reads the till's frames (TillProtocol).
// A payment, booking or reversal is put before the cashier (TillHost) and
// runs exactly as a typed one once the cashier presses OK or swipes (at once
// with ECRAutoStart); the till's response goes back when the session ends.
//
// Never a second charge for one request: the till's key (WorkstationID,
// RequestID) is journaled with the request's sent entry, and kept in memory
// for the run as well (a journal that cannot be written must not make a
// repeated request new). The same request under a key the journal holds
// gets the first one's answer as the journal knows it now; under the key
// before the cashier or running, it waits for that one's answer. Another
// request under a used key is refused, never told the first one's result.
// Only a key seen for the first time starts a transaction, so a request
// that never went out (ended before the start, refused, busy) may be sent
// again under its key. While the journal cannot be read, no new request
// starts (Busy): a key it holds could not be recognised.
//
// A till that goes away before its request has started takes the request
// with it (Aborted): nobody would hear the outcome. A second till is told
// Busy (when its first frame comes within a moment) and closed; a till that
// reconnects before its old connection is seen closed takes its place.
//
// Every request and response leaves one line in log.txt (workstation,
// request ID, type, result); the hand-off carries no card data.
#pragma once

#include "session/TillKey.h"
#include "till/TillProtocol.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <optional>

class PaymentSession;
class QTcpServer;
class QTcpSocket;
class TillHost;

class TillBridge : public QObject {
    Q_OBJECT
public:
    // host and session must outlive the bridge. terminalId is the POS
    // identifier the responses name.
    TillBridge(TillHost &host, PaymentSession &session, QString terminalId, QObject *parent = nullptr);
    ~TillBridge() override;

    // Listens on 127.0.0.1:port (0 picks a free one, for tests). False, with
    // the reason, when the port cannot be had.
    bool listen(quint16 port, QString *errorText = nullptr);
    quint16 port() const;
    void setAutoStart(bool on) { m_autoStart = on; }

    // The request before the cashier or running, if any.
    bool hasRequest() const { return m_pending.has_value(); }
    bool requestStarted() const { return m_pending && m_pending->started; }
    // The key a session of the request carries into the journal.
    TillKey requestKey() const { return m_pending ? m_pending->key : TillKey{}; }

    // The window's side: the cashier started the request (a session began
    // with it), or ended it before the start ("Loobu", Esc, "Ei" to the
    // question before a second charge).
    void cashierStarted();
    void cashierCancelled();

private:
    struct Pending {
        TillKey key;
        TillRequest request;
        bool started = false;
        // The requests answered by this one's response: the first, the
        // same key again, a RepeatLastMessage (their RequestType each).
        QStringList waiting;
    };
    // The last request of a workstation: its answer, unless it is to be
    // read from the journal again.
    struct Last {
        TillRequest request;
        std::optional<TillResponse> answer;
    };

    void onNewConnection();
    void adopt(QTcpSocket *socket);
    // A connection that came while another till was connected, a moment
    // later: it takes the place of one that has gone meanwhile, else it is
    // answered Busy (when its first frame is there) and closed.
    void settleSecond(QTcpSocket *socket);
    void onReadyRead();
    void onDisconnected(QTcpSocket *socket);
    // A request under a key already seen: answered (or refused as another
    // request under a used key) and true; false for a key first seen.
    bool takeRepeatedKey(const TillRequest &request);
    void onDocument(const QByteArray &document);
    void onSessionEnded();
    void takeTransaction(const TillRequest &request);
    void takeAbort(const TillRequest &request);
    void takeRepeat(const TillRequest &request);
    // The pending request's answer, to everyone waiting for it.
    void finish(TillResponse response, bool fromJournal);
    void respond(const TillResponse &response);
    void dropConnection(const QString &why);

    TillHost &m_host;
    PaymentSession &m_session;
    QString m_terminalId;
    QTcpServer *m_server = nullptr;
    QPointer<QTcpSocket> m_connection;
    TillFrameReader m_reader;
    bool m_autoStart = false;
    std::optional<Pending> m_pending;
    QHash<QString, Last> m_last;
    // Requests of this run that went out but are not in the journal (it
    // could not record them), by key, with their answer.
    struct Started {
        TillRequest request;
        TillResponse answer;
    };
    QHash<QString, Started> m_started;
};
