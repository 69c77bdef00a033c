#include "SimServer.h"

#include "ConnectionPlayer.h"
#include "SimLog.h"

#include <QTcpSocket>

namespace Sim {

SimServer::SimServer(std::vector<ConnectionScript> scripts, bool loop, const CodePage &codePage, SimLog &log,
                     QObject *parent)
    : QObject(parent), m_scripts(std::move(scripts)), m_loop(loop), m_codePage(codePage), m_log(log)
{
    connect(&m_server, &QTcpServer::newConnection, this, &SimServer::takeNext);
}

bool SimServer::listen(quint16 port, QString *error)
{
    if (m_server.listen(QHostAddress::LocalHost, port))
        return true;
    if (error)
        *error = m_server.errorString();
    return false;
}

void SimServer::stop()
{
    m_done = true;
    m_server.close();
    if (m_player) {
        m_player->abort();
        m_player->deleteLater();
    }
}

void SimServer::takeNext()
{
    if (m_done || m_player || !m_server.hasPendingConnections())
        return;
    QTcpSocket *socket = m_server.nextPendingConnection();
    ++m_connections;
    const ConnectionScript &script = m_scripts[m_next];
    m_player = new ConnectionPlayer(socket, script, m_connections, m_codePage, m_log, this);
    connect(m_player, &ConnectionPlayer::finished, this, &SimServer::onPlayerFinished);
    const int number = m_connections;
    connect(m_player, &ConnectionPlayer::frameReceived, this,
            [this, number](const QByteArray &frame) { emit clientFrame(number, frame); });
    m_player->start();
}

void SimServer::onPlayerFinished(bool ok)
{
    if (!ok)
        ++m_failures;
    m_log.line(m_connections, ok ? QStringLiteral("done") : QStringLiteral("FAILED"));
    if (m_player)
        m_player->deleteLater();
    m_player = nullptr;
    if (++m_next == m_scripts.size()) {
        if (!m_loop) {
            m_done = true;
            m_server.close();
            m_log.line(QStringLiteral("all %1 connections played, %2 failed").arg(m_connections).arg(m_failures));
            emit finished(m_failures == 0 ? 0 : 1);
            return;
        }
        m_next = 0;
    }
    takeNext();
}

} // namespace Sim
