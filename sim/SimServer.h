// SimServer: the listening side of varo-sim. It accepts one connection at a
// time on 127.0.0.1 and gives the n-th accepted connection the n-th
// connection script (with loop, the list starts over after the last one).
// A connection that arrives while another plays waits in the listen queue.
//
// A script that is a listener fault is played by the port itself, in its
// turn, in place of a connection: the port is closed (attempts refused), or
// its accept queue is full (attempts unanswered) for a time, or it resets the
// first connection that completes its handshake before taking it. Then the
// port listens as before and the next script's turn begins.
//
// The server keeps the ledger of the approvals its connections sent (or
// booked without sending) for its whole life, across connections and loops;
// report answers list its records before their generated ones.
#pragma once

#include "Ledger.h"
#include "Scenario.h"

#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>

#include <optional>
#include <vector>

class QSocketNotifier;

namespace Sim {

class ConnectionPlayer;
class SimLog;

class SimServer : public QObject {
    Q_OBJECT
public:
    SimServer(std::vector<ConnectionScript> scripts, bool loop, const CodePage &codePage, SimLog &log,
              QObject *parent = nullptr);
    ~SimServer() override;

    // Binds the port. The first script's turn begins on the next turn of the
    // event loop (a listener fault then takes the port).
    bool listen(quint16 port, QString *error);
    // The bound port, also while a listener fault holds it.
    quint16 port() const { return m_port; }
    // A listener fault holds the port now.
    bool listenerFaultPlaying() const { return m_fault.has_value(); }
    // Stops listening and drops the connection in play.
    void stop();

    // The clock of the ledger's stamps (default QDateTime::currentDateTime());
    // a stamp is the date and time it returns, as they read. Tests give it
    // their manual clock. Takes effect for the approvals booked afterwards.
    void setClock(Ledger::Clock clock) { m_ledger.setClock(std::move(clock)); }
    // Every approval booked so far (oldest first, at most Ledger::kMaxRecords).
    const Ledger &ledger() const { return m_ledger; }

signals:
    // After the last script's turn (never with loop): 0 when every turn
    // played as written, 1 when one failed.
    void finished(int exitCode);
    // A whole frame the client of connection number `connection` (1, 2, ...)
    // sent, byte for byte: tests check the console's requests with it.
    void clientFrame(int connection, const QByteArray &frame);
    // A whole frame the simulator sent to connection number `connection`, as
    // it went on the wire: tests see what reached the client with it.
    void serverFrame(int connection, const QByteArray &frame);
    // Connection number `connection` booked an approval with this STAN in
    // the ledger: a "0012" went out, or an approveThenHangup step booked one
    // it never sent.
    void approvalBooked(int connection, qint32 stan);

private:
    void beginTurn();
    void takeNext();
    void onPlayerFinished(bool ok);
    void endTurn(bool ok);

    void playListenerFault(const ListenerFault &fault);
    void endListenerFault(bool ok);
    void closeRawSockets();
    bool listenAgain();

    QTcpServer m_server;
    const std::vector<ConnectionScript> m_scripts;
    const bool m_loop;
    const CodePage m_codePage;
    SimLog &m_log;
    Ledger m_ledger;
    QPointer<ConnectionPlayer> m_player;
    quint16 m_port = 0;
    size_t m_next = 0;        // index of the script whose turn is next or in play
    int m_connections = 0;    // accepted so far
    int m_failures = 0;
    bool m_done = false;

    // The listener fault in play: the raw listening socket that stands in for
    // the server's (a full queue, or one that is watched for a connection),
    // the connection that fills its queue, and the end of the fault.
    std::optional<ListenerFault> m_fault;
    int m_rawListener = -1;
    int m_filler = -1;
    QSocketNotifier *m_queueWatch = nullptr;
    QTimer m_faultTimer;
};

} // namespace Sim
