#include "SimServer.h"

#include "ConnectionPlayer.h"
#include "SimLog.h"

#include <QSocketNotifier>
#include <QTcpSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Sim {

namespace {

// How long the port stays closed after a resetQueued fault reset its
// connection.
constexpr int kClosedAfterResetMs = 1000;

// A listening socket on 127.0.0.1:port with the given backlog, or -1.
int rawListener(quint16 port, int backlog)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(fd, backlog) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A blocking connection to 127.0.0.1:port, or -1.
int rawConnection(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

SimServer::SimServer(std::vector<ConnectionScript> scripts, bool loop, const CodePage &codePage, SimLog &log,
                     QObject *parent)
    : QObject(parent), m_scripts(std::move(scripts)), m_loop(loop), m_codePage(codePage), m_log(log)
{
    connect(&m_server, &QTcpServer::newConnection, this, &SimServer::takeNext);
    m_faultTimer.setSingleShot(true);
    m_faultTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_faultTimer, &QTimer::timeout, this, [this] {
        const bool ok = m_fault && m_fault->kind != ListenerFault::Kind::ResetQueued;
        if (!ok)
            m_log.line(QStringLiteral("listener: no connection came within %1 ms").arg(m_fault ? m_fault->forMs : 0));
        endListenerFault(ok);
    });
}

SimServer::~SimServer()
{
    closeRawSockets();
}

bool SimServer::listen(quint16 port, QString *error)
{
    if (!m_server.listen(QHostAddress::LocalHost, port)) {
        if (error)
            *error = m_server.errorString();
        return false;
    }
    m_port = m_server.serverPort();
    // Queued, so that whoever started us (main prints the port first) is
    // ready before a listener fault speaks or takes the port.
    QMetaObject::invokeMethod(this, &SimServer::beginTurn, Qt::QueuedConnection);
    return true;
}

void SimServer::stop()
{
    m_done = true;
    m_faultTimer.stop();
    m_fault.reset();
    closeRawSockets();
    m_server.close();
    if (m_player) {
        m_player->abort();
        m_player->deleteLater();
    }
}

void SimServer::beginTurn()
{
    if (m_done || m_player || m_fault)
        return;
    const ConnectionScript &script = m_scripts[m_next];
    if (script.listener) {
        playListenerFault(*script.listener);
        return;
    }
    takeNext();
}

void SimServer::takeNext()
{
    if (m_done || m_player || m_fault || !m_server.hasPendingConnections())
        return;
    const ConnectionScript &script = m_scripts[m_next];
    if (script.listener)
        return;   // its turn begins when the one in play ends
    QTcpSocket *socket = m_server.nextPendingConnection();
    ++m_connections;
    m_player = new ConnectionPlayer(socket, script, m_connections, m_codePage, m_log, this);
    connect(m_player, &ConnectionPlayer::finished, this, &SimServer::onPlayerFinished);
    const int number = m_connections;
    connect(m_player, &ConnectionPlayer::frameReceived, this,
            [this, number](const QByteArray &frame) { emit clientFrame(number, frame); });
    connect(m_player, &ConnectionPlayer::frameSent, this,
            [this, number](const QByteArray &frame) { emit serverFrame(number, frame); });
    connect(m_player, &ConnectionPlayer::approvalBooked, this,
            [this, number](qint32 stan) { emit approvalBooked(number, stan); });
    m_player->setLedger(&m_ledger);
    m_player->start();
}

void SimServer::onPlayerFinished(bool ok)
{
    m_log.line(m_connections, ok ? QStringLiteral("done") : QStringLiteral("FAILED"));
    if (m_player)
        m_player->deleteLater();
    m_player = nullptr;
    endTurn(ok);
}

void SimServer::endTurn(bool ok)
{
    if (!ok)
        ++m_failures;
    if (++m_next == m_scripts.size()) {
        if (!m_loop) {
            m_done = true;
            m_server.close();
            m_log.line(QStringLiteral("all %1 turns played (%2 connections), %3 failed")
                           .arg(m_scripts.size()).arg(m_connections).arg(m_failures));
            emit finished(m_failures == 0 ? 0 : 1);
            return;
        }
        m_next = 0;
    }
    beginTurn();
}

// ---- listener faults -----------------------------------------------------

void SimServer::playListenerFault(const ListenerFault &fault)
{
    m_fault = fault;
    const QString source = m_scripts[m_next].source;
    // Connections that already wait in the queue belong to the fault's turn
    // as well: closing the server's socket refuses or resets them too.
    m_server.close();
    switch (fault.kind) {
    case ListenerFault::Kind::Refuse:
        m_log.line(QStringLiteral("listener (%1): the port is closed for %2 ms; connection attempts are refused")
                       .arg(source).arg(fault.forMs));
        m_faultTimer.start(fault.forMs);
        break;
    case ListenerFault::Kind::Unanswered:
        // With a backlog of 0 the kernel queues one connection; ours fills
        // the queue, so every other attempt's handshake is dropped unanswered.
        m_rawListener = rawListener(m_port, 0);
        if (m_rawListener >= 0)
            m_filler = rawConnection(m_port);
        if (m_rawListener < 0 || m_filler < 0) {
            m_log.line(QStringLiteral("listener (%1): cannot fill the accept queue of port %2").arg(source).arg(m_port));
            endListenerFault(false);
            return;
        }
        m_log.line(QStringLiteral("listener (%1): the accept queue is full for %2 ms; connection attempts go unanswered")
                       .arg(source).arg(fault.forMs));
        m_faultTimer.start(fault.forMs);
        break;
    case ListenerFault::Kind::ResetQueued:
        m_rawListener = rawListener(m_port, 1);
        if (m_rawListener < 0) {
            m_log.line(QStringLiteral("listener (%1): cannot listen on port %2").arg(source).arg(m_port));
            endListenerFault(false);
            return;
        }
        m_log.line(QStringLiteral("listener (%1): waiting up to %2 ms for a connection to reset in the queue")
                       .arg(source).arg(fault.forMs));
        // Readable: a connection has completed its handshake and waits to be
        // taken. Closing the listening socket now resets it.
        m_queueWatch = new QSocketNotifier(m_rawListener, QSocketNotifier::Read, this);
        connect(m_queueWatch, &QSocketNotifier::activated, this, [this] {
            // Only a connection in the queue makes the socket readable; a
            // notifier may also wake without one.
            pollfd ready{m_rawListener, POLLIN, 0};
            if (::poll(&ready, 1, 0) != 1 || !(ready.revents & POLLIN))
                return;
            m_log.line(QStringLiteral("listener: a connection waits in the queue; closing the port resets it"));
            // The port stays closed a moment: a client that connects again at
            // once (Qt's socket retries a connect that was reset under it) is
            // refused rather than played by the next script.
            closeRawSockets();
            m_faultTimer.stop();
            QTimer::singleShot(kClosedAfterResetMs, this, [this] {
                if (m_fault)
                    endListenerFault(true);
            });
        });
        m_faultTimer.start(fault.forMs);
        break;
    }
}

void SimServer::endListenerFault(bool ok)
{
    m_faultTimer.stop();
    m_fault.reset();
    closeRawSockets();
    if (!listenAgain()) {
        m_log.line(QStringLiteral("listener: cannot listen on port %1 again: %2").arg(m_port).arg(m_server.errorString()));
        m_done = true;
        emit finished(1);
        return;
    }
    m_log.line(QStringLiteral("listener: listening again on port %1").arg(m_port));
    endTurn(ok);
}

void SimServer::closeRawSockets()
{
    if (m_queueWatch) {
        m_queueWatch->setEnabled(false);
        m_queueWatch->deleteLater();
        m_queueWatch = nullptr;
    }
    for (int *fd : {&m_filler, &m_rawListener}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool SimServer::listenAgain()
{
    return m_server.isListening() || m_server.listen(QHostAddress::LocalHost, m_port);
}

} // namespace Sim
