// ConnectionPlayer plays one ConnectionScript on one accepted TCP connection.
//
// Everything runs on the event loop: steps that take time (waits, expects,
// keep-alives, split writes, the endless frame) arm the player's two timers
// and continue from their time-outs or from arriving data. The player owns the
// socket. The script must outlive the player.
//
// Frames from the client are parsed as they come, logged, and kept in arrival
// order until an expect step takes the one it waits for (the frames before it
// are dropped). The client's first request fixes the POS and the session the
// simulator answers with.
//
// After the last step the player waits for the client's "0023" (a "0023" that
// an expect step passed over counts), answers it with "0023", and ends when the
// client closes (or after a grace time). It also ends, normally, when the
// client leaves during a step that never ends by itself (silent, keep-alives
// forever, the endless frame) or during that closing wait; a client that
// leaves during any other step, an expect that times out, and a client that
// floods the receive buffer make the connection fail.
//
// Every "0012" the player sends (and every approveThenHangup step) books the
// approval of the connection's last transaction request in the server's
// ledger, and report answers it builds list the ledger's records.
#pragma once

#include "Scenario.h"

#include "VaroManager.h"

#include <QObject>
#include <QSet>
#include <QTimer>

#include <deque>
#include <functional>
#include <optional>

class QTcpSocket;

namespace Sim {

class Ledger;
class SimLog;

class ConnectionPlayer : public QObject {
    Q_OBJECT
public:
    // A client that sends this much without completing a frame is cut off.
    static constexpr qsizetype kMaxReceiveBuffer = 64 * 1024 * 1024;
    // How long the player waits for the client to close after answering its
    // "0023" before it closes the connection itself.
    static constexpr int kLingerMs = 5000;

    ConnectionPlayer(QTcpSocket *socket, const ConnectionScript &script, int number,
                     const CodePage &codePage, SimLog &log, QObject *parent = nullptr);
    ~ConnectionPlayer() override;

    // Approvals on this connection are booked here (null: nowhere), and its
    // report answers list the ledger's records. Set before start(); the
    // ledger must outlive the player.
    void setLedger(Ledger *ledger);

    void start();
    // Ends at once without emitting finished (the simulator is stopping).
    void abort();

signals:
    void finished(bool ok);
    // Every whole frame the client sent, as it came on the wire (also those
    // no step takes), before the player acts on it.
    void frameReceived(const QByteArray &frame);
    // Every whole frame the player wrote to the client (the last piece of a
    // split one included), in the order written. Garbage is no frame.
    void frameSent(const QByteArray &frame);
    // An approval was booked in the ledger (a "0012" went out, or an
    // approveThenHangup step booked one without sending it).
    void approvalBooked(qint32 stan);

private:
    enum class Phase {
        Steps,       // the script's steps
        Handler,     // the steps of an "on" handler
        Closing,     // after the last step: waiting for the client's "0023"
        Lingering,   // "0023" answered: waiting for the client to close
        Done,
    };

    void playOn();
    void stepDone();
    bool beginStep(const Step &step);
    void enterEndPhase();
    void answerClose();

    void readIncoming();
    void handleFrame(VaroManager frame);
    bool takeAwaited();
    void onDisconnected();

    void send(const std::string &bytes);
    // Every whole frame written goes through here: frameSent, and the ledger
    // for a "0012".
    void noteSent(const std::string &frame);
    void bookApproval(int32_t stan);
    void sendKeepAlive();
    void closeSocket(bool reset);
    void finish(bool ok);
    void stopTimers();
    void armDeadline(int ms, std::function<void()> action);
    void armTicker(int ms, std::function<void()> action);
    QString currentLabel() const;

    QTcpSocket *m_socket;
    const ConnectionScript &m_script;
    const int m_number;
    const CodePage m_codePage;
    SimLog &m_log;

    Phase m_phase = Phase::Steps;
    const std::vector<Step> *m_steps;
    size_t m_index = 0;

    std::string m_buffer;                      // received bytes not yet parsed
    std::deque<VaroManager> m_inbox;           // parsed frames not yet taken
    std::optional<VaroManager> m_lastRequest;  // what the last expect took
    // The last transaction request ("0001", "0016", "0017", "0018") that
    // came on the connection: the one a "0012" approves.
    std::optional<VaroManager> m_transaction;
    Ledger *m_ledger = nullptr;
    SendContext m_context;
    bool m_sawFirstRequest = false;
    bool m_pendingClose = false;               // a "0023" was passed over
    QSet<QString> m_handlersRun;

    // The step waiting for a frame: the codes that satisfy it and whether the
    // frame is a "0023" to answer.
    QStringList m_awaitedCodes;
    bool m_answerAwaited = false;

    QTimer m_deadline;
    QTimer m_ticker;
    std::function<void()> m_onDeadline;
    std::function<void()> m_onTick;
    std::function<void()> m_onWritten;   // after the socket wrote bytes

    // State of the step in progress.
    std::string m_pendingBytes;   // split write: what is left to send
    std::string m_splitFrame;     // split write: the whole frame
    int m_chunkBytes = 1;
    int m_keepAlivesSent = 0;
    qint64 m_endlessSent = 0;
};

} // namespace Sim
