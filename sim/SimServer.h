// SimServer: the listening side of varo-sim. It accepts one connection at a
// time on 127.0.0.1 and gives the n-th accepted connection the n-th
// connection script (with loop, the list starts over after the last one).
// A connection that arrives while another plays waits in the listen queue.
#pragma once

#include "Scenario.h"

#include <QObject>
#include <QPointer>
#include <QTcpServer>

#include <vector>

namespace Sim {

class ConnectionPlayer;
class SimLog;

class SimServer : public QObject {
    Q_OBJECT
public:
    SimServer(std::vector<ConnectionScript> scripts, bool loop, const CodePage &codePage, SimLog &log,
              QObject *parent = nullptr);

    bool listen(quint16 port, QString *error);
    quint16 port() const { return m_server.serverPort(); }
    // Stops listening and drops the connection in play.
    void stop();

signals:
    // After the last script's connection (never with loop): 0 when every
    // connection played as written, 1 when one failed.
    void finished(int exitCode);
    // A whole frame the client of connection number `connection` (1, 2, ...)
    // sent, byte for byte: tests check the console's requests with it.
    void clientFrame(int connection, const QByteArray &frame);

private:
    void takeNext();
    void onPlayerFinished(bool ok);

    QTcpServer m_server;
    const std::vector<ConnectionScript> m_scripts;
    const bool m_loop;
    const CodePage m_codePage;
    SimLog &m_log;
    QPointer<ConnectionPlayer> m_player;
    size_t m_next = 0;        // index of the script for the next connection
    int m_connections = 0;    // accepted so far
    int m_failures = 0;
    bool m_done = false;
};

} // namespace Sim
