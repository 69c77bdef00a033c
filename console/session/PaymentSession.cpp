#include "session/PaymentSession.h"

#include "session/SessionHost.h"

#include <QTcpSocket>
#include <QTimer>

class PaymentSession::Private {
public:
    Private(SessionHost &host, const ConsoleSettings &settings, QString logPath)
        : host(host), settings(settings), logPath(std::move(logPath)) {}

    SessionHost &host;
    const ConsoleSettings &settings;
    QString logPath;
    Timeouts timeouts;
    qsizetype receiveLimit = kDefaultReceiveLimit;
    QTcpSocket *socket = nullptr;
    QTimer *timer = nullptr;
};

PaymentSession::PaymentSession(SessionHost &host, const ConsoleSettings &settings,
                               const QString &logPath, QObject *parent)
    : QObject(parent), d(new Private(host, settings, logPath))
{
    d->socket = new QTcpSocket(this);
    d->timer = new QTimer(this);
    d->timer->setSingleShot(true);
}

PaymentSession::~PaymentSession() { delete d; }

void PaymentSession::setTimeouts(const Timeouts &timeouts) { d->timeouts = timeouts; }
void PaymentSession::setReceiveLimit(qsizetype bytes) { d->receiveLimit = bytes; }

QTcpSocket *PaymentSession::Winsock1() const { return d->socket; }
QTimer *PaymentSession::Timer1() const { return d->timer; }

void PaymentSession::BeginSession() {}
void PaymentSession::ReturnToIdle() {}
void PaymentSession::PreparePOSCommand(quint8 commandId)
{
    PendingPosCommand = commandId;
    BeginSession();
}
void PaymentSession::PrepareReport(const QDate &, const QDate &, qint16, quint8) {}
void PaymentSession::SendAbort() {}
void PaymentSession::ButtonResponse(quint8) {}
void PaymentSession::InputResponse(quint8, const QString &) {}
void PaymentSession::SendFrame(const QByteArray &, const QByteArray &) {}
void PaymentSession::SendClose() {}
void PaymentSession::LogEvent(const QString &) {}
