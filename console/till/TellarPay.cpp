// tellar-pay: the till hand-off for a till that can run a program but not
// speak the frames itself.
//
//   tellar-pay --port N [--workstation ID] [--request-id ID] [--timeout S] COMMAND
//     pay AMOUNT [--receipt N] [--booking]   a card payment (or a booking)
//     reverse STAN [AMOUNT] [--receipt N]    the cancellation of that receipt
//     abort REQUEST-ID                       ends that request (see below)
//     last                                   the last request's answer again
//
// Prints one JSON object on stdout and exits 0 approved, 1 declined, 2
// aborted, 3 outcome unknown, 4 refused (busy, validation, format, no
// connection, bad command line). A payment whose answer does not come (the
// connection is lost, the time-out runs out) is unknown, never declined: ask
// with "last", or send the same request again with the same --request-id,
// which never charges twice. SIGINT or SIGTERM while a payment waits, or its
// --timeout running out, sends the abort on the same connection and waits
// for the payment's answer (after a time-out, at most 20 s more).
#include "till/TillProtocol.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

enum Exit { Approved = 0, Declined = 1, Aborted = 2, Unknown = 3, Refused = 4 };

volatile std::sig_atomic_t g_interrupted = 0;

void onSignal(int)
{
    g_interrupted = 1;
}

void print(const QJsonObject &o)
{
    const QByteArray json = QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    std::fflush(stdout);
}

int refuse(const QString &result, const QString &error)
{
    print(QJsonObject{{QStringLiteral("result"), result}, {QStringLiteral("error"), error}});
    return Refused;
}

int exitOf(const QString &result)
{
    if (result == TillProtocol::kSuccess)
        return Approved;
    if (result == TillProtocol::kFailure)
        return Declined;
    if (result == TillProtocol::kAborted)
        return Aborted;
    if (result == TillProtocol::kTimedOut)
        return Unknown;
    return Refused;
}

QJsonObject jsonOf(const TillResponse &r)
{
    QJsonObject o{{QStringLiteral("result"), r.overallResult},
                  {QStringLiteral("requestType"), r.requestType},
                  {QStringLiteral("workstation"), r.workstationId},
                  {QStringLiteral("requestId"), r.requestId},
                  {QStringLiteral("terminal"), r.terminalId},
                  {QStringLiteral("outcomeUnknown"), r.outcomeUnknown}};
    if (r.stan)
        o.insert(QStringLiteral("stan"), double(*r.stan));
    if (r.amount) {
        o.insert(QStringLiteral("amount"), *r.amount);
        o.insert(QStringLiteral("currency"), r.currency);
    }
    for (const auto &[key, value] : {std::pair{"code", r.code}, {"reason", r.reason}, {"text", r.text}}) {
        if (!value.isEmpty())
            o.insert(QLatin1String(key), value);
    }
    return o;
}

struct Options {
    quint16 port = 0;
    QString workstation;
    QString requestId;
    int timeoutSeconds = 0;   // 0: wait as long as the cashier takes
    QString receipt;
    bool booking = false;
    QStringList positional;
};

std::optional<Options> parse(const QStringList &args, QString *error)
{
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size()) {
                *error = a + QStringLiteral(" needs a value");
                return std::nullopt;
            }
            return args[++i];
        };
        if (a == u"--port") {
            const auto v = value();
            bool ok = false;
            const uint port = v ? v->toUInt(&ok) : 0;
            if (!ok || port < 1 || port > 65535) {
                *error = QStringLiteral("--port takes 1-65535");
                return std::nullopt;
            }
            o.port = quint16(port);
        } else if (a == u"--workstation" || a == u"--request-id" || a == u"--receipt") {
            const auto v = value();
            if (!v)
                return std::nullopt;
            (a == u"--workstation" ? o.workstation : a == u"--request-id" ? o.requestId : o.receipt) = *v;
        } else if (a == u"--timeout") {
            const auto v = value();
            bool ok = false;
            o.timeoutSeconds = v ? v->toInt(&ok) : 0;
            if (!ok || o.timeoutSeconds < 0) {
                *error = QStringLiteral("--timeout takes seconds");
                return std::nullopt;
            }
        } else if (a == u"--booking") {
            o.booking = true;
        } else if (a.startsWith(u"--")) {
            *error = QStringLiteral("unknown option ") + a;
            return std::nullopt;
        } else {
            o.positional.append(a);
        }
    }
    if (o.port == 0) {
        *error = QStringLiteral("--port is required (the console's ECRPort)");
        return std::nullopt;
    }
    if (o.workstation.isEmpty())
        o.workstation = qEnvironmentVariable("TELLAR_WORKSTATION", QHostInfo::localHostName());
    if (o.requestId.isEmpty())
        o.requestId = QString::number(QDateTime::currentMSecsSinceEpoch()) + u'-' + QString::number(::getpid());
    return o;
}

std::optional<TillRequest> requestOf(const Options &o, QString *error)
{
    TillRequest r;
    r.applicationSender = QStringLiteral("tellar-pay");
    r.workstationId = o.workstation;
    r.requestId = o.requestId;
    r.posTimeStamp = QDateTime::currentDateTime().toString(Qt::ISODate);
    r.transactionNumber = o.receipt;
    const QString command = o.positional.value(0);
    const QStringList rest = o.positional.mid(1);
    if (command == u"pay" && rest.size() == 1) {
        r.requestType = o.booking ? TillProtocol::kBooking : TillProtocol::kCardPayment;
        r.amount = rest[0];
    } else if (command == u"reverse" && (rest.size() == 1 || rest.size() == 2)) {
        r.requestType = TillProtocol::kPaymentReversal;
        r.originalStan = rest[0];
        if (rest.size() == 2)
            r.amount = rest[1];
    } else if (command == u"abort" && rest.size() == 1) {
        r.requestType = TillProtocol::kAbortRequest;
        r.requestId = rest[0];
        r.transactionNumber.clear();
    } else if (command == u"last" && rest.isEmpty()) {
        r.requestType = TillProtocol::kRepeatLastMessage;
        r.transactionNumber.clear();
    } else {
        *error = QStringLiteral("usage: tellar-pay --port N [--workstation ID] [--request-id ID] [--timeout S] "
                                "pay AMOUNT [--receipt N] [--booking] | reverse STAN [AMOUNT] | abort REQUEST-ID | last");
        return std::nullopt;
    }
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString error;
    const std::optional<Options> options = parse(app.arguments(), &error);
    if (!options)
        return refuse(QStringLiteral("Usage"), error);
    const std::optional<TillRequest> request = requestOf(*options, &error);
    if (!request)
        return refuse(QStringLiteral("Usage"), error);
    const bool charges = request->requestType == TillProtocol::kCardPayment
                      || request->requestType == TillProtocol::kBooking
                      || request->requestType == TillProtocol::kPaymentReversal;

    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, options->port);
    if (!socket.waitForConnected(5000))
        return refuse(QStringLiteral("NoConnection"), socket.errorString());

    // Only a charge is aborted on a signal; "last" and "abort" just end.
    if (charges) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    socket.write(TillProtocol::frame(TillRequestDocument(*request)));
    socket.flush();

    TillFrameReader reader;
    QElapsedTimer waited;
    waited.start();
    bool abortSent = false;
    // Lost before the answer: a charge is unknown, never declined.
    auto lost = [&](const QString &why) {
        if (!charges)
            return refuse(QStringLiteral("NoConnection"), why);
        TillResponse r;
        r.requestType = request->requestType;
        r.workstationId = request->workstationId;
        r.requestId = request->requestId;
        r.overallResult = TillProtocol::kTimedOut;
        r.outcomeUnknown = true;
        r.reason = why + QStringLiteral("; ask again with \"last\" or the same --request-id");
        print(jsonOf(r));
        return int(Unknown);
    };
    // After an abort the answer may take a while: the server decides.
    constexpr qint64 kAbortGraceMs = 20000;
    qint64 abortSentAt = 0;
    for (;;) {
        // Given up on (the time-out): a request the cashier has not started
        // must not be started behind the till's back, so it is aborted first.
        const bool timedOut = options->timeoutSeconds > 0 && waited.elapsed() > qint64(options->timeoutSeconds) * 1000;
        if ((g_interrupted || timedOut) && charges && !abortSent) {
            TillRequest abort = *request;
            abort.requestType = TillProtocol::kAbortRequest;
            abort.amount.reset();
            abort.originalStan.reset();
            socket.write(TillProtocol::frame(TillRequestDocument(abort)));
            socket.flush();
            abortSent = true;
            abortSentAt = waited.elapsed();
        }
        for (;;) {
            const TillFrameReader::Step step = reader.next();
            if (step.kind == TillFrameReader::Step::TooLarge)
                return lost(QStringLiteral("the console sent a frame over the limit"));
            if (step.kind == TillFrameReader::Step::NeedMore)
                break;
            const std::optional<TillResponse> r = ParseTillResponse(step.document);
            // "last" is answered with the earlier request's RequestID.
            const bool repeat = request->requestType == TillProtocol::kRepeatLastMessage;
            if (!r || r->workstationId != request->workstationId || (!repeat && r->requestId != request->requestId))
                continue;
            // The answer to the abort we sent ourselves is not the answer.
            if (abortSent && r->requestType == TillProtocol::kAbortRequest)
                continue;
            if (!repeat && r->requestType != request->requestType)
                continue;
            print(jsonOf(*r));
            return exitOf(r->overallResult);
        }
        if (timedOut && (!charges || waited.elapsed() - abortSentAt > kAbortGraceMs))
            return lost(QStringLiteral("no answer within %1 s").arg(options->timeoutSeconds));
        if (socket.state() != QAbstractSocket::ConnectedState && socket.bytesAvailable() == 0)
            return lost(QStringLiteral("the console closed the connection"));
        if (socket.waitForReadyRead(200) || socket.bytesAvailable() > 0)
            reader.append(socket.readAll());
    }
}
