// varo-sim: a payment server simulator that plays scenario files to the
// console over TCP. See sim/README.md.
//
// Exit status: 0 when every connection played as written (or on SIGTERM or
// SIGINT), 1 when a connection failed (an expect timed out, the client left
// mid-step), 2 for a bad command line, an unreadable or malformed scenario, or
// a port that cannot be bound.
#include "Scenario.h"
#include "SimLog.h"
#include "SimServer.h"

#include "common/CodePage.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kExitUsage = 2;

int g_signalPipe[2] = {-1, -1};

extern "C" void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

void printError(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    std::fprintf(stderr, "varo-sim: %s\n", utf8.constData());
}

// SIGTERM and SIGINT reach the event loop through a socket pair, so the
// simulator stops between events, never inside one.
bool installStopHandler(QObject *context, const std::function<void()> &onStop)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGTERM, &action, nullptr) != 0 || ::sigaction(SIGINT, &action, nullptr) != 0)
        return false;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [onStop] {
        char byte;
        [[maybe_unused]] const auto got = ::read(g_signalPipe[0], &byte, 1);
        onStop();
    });
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"varo-sim"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Payment server simulator: plays scenario files to the console, one connection after another."_s);
    parser.addHelpOption();
    const QCommandLineOption portOption(u"port"_s, u"TCP port on 127.0.0.1 (0: any free port). Default 8145."_s,
                                        u"P"_s, u"8145"_s);
    const QCommandLineOption codePageOption(
        u"codepage"_s, u"Code page of texts on the wire (default: TELLAR_CODEPAGE, else windows-1257)."_s, u"NAME"_s);
    const QCommandLineOption loopOption(u"loop"_s, u"Start over with the first connection after the last one."_s);
    const QCommandLineOption checkOption(u"check"_s, u"Only load the scenarios and report errors."_s);
    parser.addOptions({portOption, codePageOption, loopOption, checkOption});
    parser.addPositionalArgument(u"SCENARIO.json"_s, u"Scenario files, played in order."_s, u"SCENARIO.json..."_s);

    if (!parser.parse(QCoreApplication::arguments())) {
        printError(parser.errorText());
        return kExitUsage;
    }
    if (parser.isSet(u"help"_s)) {
        std::fputs(qUtf8Printable(parser.helpText()), stdout);
        return 0;
    }

    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        printError(u"--port wants a number from 0 to 65535, not \""_s + parser.value(portOption) + u'"');
        return kExitUsage;
    }
    CodePage codePage = CodePage::console();
    if (parser.isSet(codePageOption)) {
        const auto named = CodePage::fromName(parser.value(codePageOption).toLatin1());
        if (!named) {
            printError(u"unknown code page \""_s + parser.value(codePageOption)
                       + u"\" (windows-1257, cp1257, windows-1252, cp1252)"_s);
            return kExitUsage;
        }
        codePage = *named;
    }
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty()) {
        printError(u"no scenario file given\n"_s + parser.helpText());
        return kExitUsage;
    }

    std::vector<Sim::ConnectionScript> scripts;
    for (const QString &file : files) {
        Sim::LoadResult loaded = Sim::loadScenarioFile(file, codePage);
        for (const QString &warning : loaded.warnings)
            printError(u"warning: "_s + warning);
        if (!loaded.scenario) {
            printError(loaded.error);
            return kExitUsage;
        }
        for (Sim::ConnectionScript &script : loaded.scenario->connections)
            scripts.push_back(std::move(script));
    }
    if (parser.isSet(checkOption)) {
        std::printf("%lld connection(s) in %lld file(s): ok\n", static_cast<long long>(scripts.size()),
                    static_cast<long long>(files.size()));
        return 0;
    }

    Sim::SimLog log;
    Sim::SimServer server(std::move(scripts), parser.isSet(loopOption), codePage, log);
    // The handler goes in before the first line is printed: whoever reads that
    // line may send SIGTERM at once.
    if (!installStopHandler(&app, [&] {
            log.line(u"stopping on a signal"_s);
            server.stop();
            QCoreApplication::exit(0);
        })) {
        printError(u"cannot install the signal handler"_s);
        return kExitUsage;
    }
    QString error;
    if (!server.listen(static_cast<quint16>(port), &error)) {
        printError(u"cannot listen on 127.0.0.1:"_s + QString::number(port) + u": "_s + error);
        return kExitUsage;
    }
    // The first line on stdout, for scripts and tests that started us with
    // port 0.
    std::printf("listening on 127.0.0.1:%u\n", static_cast<unsigned>(server.port()));
    std::fflush(stdout);
    log.line(u"code page "_s + QString::fromLatin1(codePage.name()));

    QObject::connect(&server, &Sim::SimServer::finished, &app, [](int code) { QCoreApplication::exit(code); });
    return QCoreApplication::exec();
}
