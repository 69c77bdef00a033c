// session_soak: payment sessions back to back against varo-sim in one
// console process. Prints sessions per second, resident memory and open file
// descriptors at the start (after a warm-up) and at the end, and fails when a
// session fails or when descriptors or memory grew.
//
//   session_soak [--sessions N] [--rss-slack-kb K]
//
// The simulator plays a quick approval (status text, keep-alive, approval
// with a receipt) in a loop; the console side is the real PaymentSession with
// a window that only counts.
#include "session/PaymentSession.h"
#include "session/SessionHost.h"
#include "window/TransactionCheck.h"

#include "common/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

const char kScenario[] = R"({ "name": "soak", "steps": [
    { "expect": "0001" },
    { "send": { "code": "0002", "fields": [ { "id": 5, "text": "Ühendus pangaga..." } ] } },
    { "send": { "code": "0003" } },
    { "send": { "code": "0012", "fields": [
        { "id": 13, "int32": 123 },
        { "id": 12, "receipt": [ "ŠOTI ÕLU OÜ", "STAN: 123", "Täname!" ] } ] } } ] })";

class CountingHost : public SessionHost {
public:
    void OpenBox(quint8, const QString &text, qint32) override { ++errors; lastError = text; }
    void CloseAllBoxes() override {}
    void showRunningLayout() override {}
    void showIdleLayout() override {}
    void ShowTabFrame() override {}
    void setStatusLine(const QString &) override {}
    void showFinalStatus(const ShownText &text) override { lastFinal = text.text(); }
    void setStatusBarText(const ShownText &) override {}
    TransactionRequest transactionRequest() const override
    {
        TabFields fields;
        fields.text2 = QStringLiteral("12,50");
        return RequestOfTab(1, fields, card);
    }
    void clearCardField() override { card.clear(); }
    void clearEntryFields() override { card.clear(); }
    void PrintReceipt(const QByteArray &, qint32) override { ++receipts; }
    void DecodeReport(const VaroManager &) override {}
    void processEvents() override { QCoreApplication::processEvents(); }

    QString card;
    QString lastFinal;
    QString lastError;
    int errors = 0;
    int receipts = 0;
};

long residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression re(QStringLiteral("^VmRSS:\\s+(\\d+) kB"), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(f.readAll()));
    return m.hasMatch() ? m.captured(1).toLong() : -1;
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

bool waitIdle(const PaymentSession &session, int ms)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(5);
    while (session.SessionState != PaymentSession::Idle) {
        if (t.hasExpired(ms))
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int sessions = 1000;
    long rssSlackKb = 2048;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QStringLiteral("--sessions"))
            sessions = args[i + 1].toInt();
        else if (args[i] == QStringLiteral("--rss-slack-kb"))
            rssSlackKb = args[i + 1].toLong();
    }
    const int warmUp = qMin(50, sessions / 10);

    const QString parent = qEnvironmentVariable("TELLAR_TEST_TMPDIR", QStringLiteral("/tmp"));
    QTemporaryDir dir(parent + QStringLiteral("/soak-XXXXXX"));
    AppPaths::setRegistryDir(dir.filePath(QStringLiteral("registry")));
    const QString scenarioPath = dir.filePath(QStringLiteral("soak.json"));
    {
        QFile f(scenarioPath);
        if (!f.open(QIODevice::WriteOnly) || f.write(kScenario) < 0)
            return 2;
    }

    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.setStandardOutputFile(dir.filePath(QStringLiteral("sim.log")));
    // The port is read from the log file, whose first line names it.
    sim.start(QStringLiteral(VARO_SIM_PATH), {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--loop"), scenarioPath});
    if (!sim.waitForStarted(5000))
        return 2;
    quint16 port = 0;
    for (int i = 0; i < 500 && port == 0; ++i) {
        QFile log(dir.filePath(QStringLiteral("sim.log")));
        if (log.open(QIODevice::ReadOnly)) {
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)\n")).match(QString::fromLatin1(log.readLine()));
            if (m.hasMatch())
                port = quint16(m.captured(1).toUInt());
        }
        if (port == 0)
            sim.waitForFinished(10);
    }
    if (port == 0)
        return 2;

    ConsoleSettings settings;
    settings.fPort = port;
    settings.fDoPrint = true;
    CountingHost host;
    PaymentSession session(host, settings, dir.filePath(QStringLiteral("log.txt")));

    long rssStart = 0;
    int fdStart = 0;
    QElapsedTimer clock;
    int failures = 0;
    for (int i = 0; i < sessions; ++i) {
        if (i == warmUp) {
            rssStart = residentKb();
            fdStart = openDescriptors();
            clock.start();
        }
        host.card = QStringLiteral(";4111111111111111=2512101?");
        session.BeginSession();
        if (!waitIdle(session, 10000) || host.errors != 0
            || host.lastFinal != QStringLiteral("Toiming on teostatud. Kviitungi number: 123")) {
            std::fprintf(stderr, "session %d failed: %s\n", i + 1, qPrintable(host.lastError));
            ++failures;
            host.errors = 0;
            if (failures > 5)
                break;
        }
    }
    const double seconds = clock.isValid() ? clock.elapsed() / 1000.0 : 0;
    const long rssEnd = residentKb();
    const int fdEnd = openDescriptors();
    const int measured = sessions - warmUp;

    std::printf("sessions: %d (after %d warm-up), failures: %d, receipts: %d\n", measured, warmUp, failures,
                host.receipts);
    std::printf("sessions per second: %.1f\n", seconds > 0 ? measured / seconds : 0.0);
    std::printf("resident memory: start %ld kB, end %ld kB\n", rssStart, rssEnd);
    std::printf("open descriptors: start %d, end %d\n", fdStart, fdEnd);

    sim.terminate();
    sim.waitForFinished(5000);

    if (failures != 0)
        return 1;
    if (fdEnd > fdStart) {
        std::fprintf(stderr, "descriptors grew\n");
        return 1;
    }
    if (rssEnd - rssStart > rssSlackKb) {
        std::fprintf(stderr, "resident memory grew by more than %ld kB\n", rssSlackKb);
        return 1;
    }
    return 0;
}
