// PaymentSession::Private: the session's state and steps, shared by the
// files of PaymentSession: PaymentSession.cpp (the session's life, its
// socket and timer events, and what it sends) and SessionIncoming.cpp (what
// it does with each frame the server sends). Nothing outside those files
// includes it.
#pragma once

#include "common/BoxStyle.h"
#include "common/CodePage.h"
#include "session/FrameReader.h"
#include "session/PaymentSession.h"
#include "session/SessionJournal.h"
#include "session/SessionHost.h"
#include "session/SessionRequests.h"
#include "session/SessionTexts.h"
#include "session/TransactionJournal.h"
#include "session/TransactionLog.h"

#include <QAbstractSocket>
#include <QTcpSocket>
#include <QTimer>
#include <QByteArray>
#include <QByteArrayView>
#include <QDir>
#include <QFileInfo>

#include <functional>

class SessionHost;
struct TransactionRequest;
class VaroManager;

// Server text inside a log entry is written escaped, so no text the server
// sends can end an entry or forge one.
inline QByteArray loggedServerText(QByteArrayView serverText)
{
    return TransactionLog::escapeServerText(serverText);
}

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
        host.OpenBox(BoxKind::Message, text, SessionText::kFailureStyle);
        tellDoubt();
    }
    void tellDoubt()
    {
        if (bookkeeping.takeDoubtToTell())
            host.OpenBox(BoxKind::Message, SessionText::outcomeUnknown(), SessionText::kOutcomeUnknownStyle);
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
        logEvent("Transaction Declined: " + loggedServerText(reason) + " - " + loggedServerText(text));
    }
};
