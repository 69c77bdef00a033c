// The incoming-message dispatcher on a live session. Each input plays one
// session against a loopback server of the target's own:
//
//   byte 0   the operation: tab 1 ... 5 (payment, cancellation, tip, booking,
//            booking completion), a report, a POS command, or a payment that
//            the server has already declined (the session waits in Closing)
//   byte 1   the report's grouping and filter, or the POS command byte
//   then     chunks: a length byte n and n bytes, each written by the server
//            in one write once the session has taken the one before
//
// The session number is always 1 and the POS "00000042", so the corpus can
// carry frames the session accepts. After every chunk: the state is one of
// the SessionState values and ReceiveBuffer is within its bound. At the end:
// the transaction log holds nothing for frames of another POS or session.
// The log's entries are counted by their stamp (a manual clock keeps it
// fixed); the frames the session may act on are found by reading the same
// chunks with the frame parser on the side.
#include "FuzzSupport.h"

#include "common/Clock.h"
#include "common/CodePage.h"
#include "common/Helpers.h"
#include "session/ConsoleSettings.h"
#include "session/PaymentSession.h"
#include "session/SessionHost.h"
#include "session/TransactionLog.h"
#include "session/VaroMessages.h"
#include "window/TransactionCheck.h"
#include "reports/ReportRequest.h"

#include <VaroFrameFormat.h>
#include <VaroManager.h>

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

using Fuzz::require;

namespace {

constexpr char kPos[] = "00000042";
constexpr qsizetype kReceiveLimit = 64 * 1024;

std::string toStd(const QByteArray &b) { return std::string(b.constData(), std::size_t(b.size())); }

QByteArray frameOf(std::initializer_list<std::pair<qint16, QByteArray>> fields)
{
    VaroManager m;
    for (const auto &[id, data] : fields)
        m.AddField(id, toStd(data));
    const std::string out = m.GetOutput(true, false);
    return QByteArray(out.data(), qsizetype(out.size()));
}

class FuzzHost final : public SessionHost {
public:
    PaymentSession *session = nullptr;
    int tab = 1;

    void OpenBox(quint8, const QString &, qint32) override {}
    void CloseAllBoxes() override {}
    void showRunningLayout() override {}
    void showIdleLayout() override {}
    void ShowTabFrame() override {}
    void setStatusLine(const QString &) override {}
    void showFinalStatus(const ShownText &) override {}
    void setStatusBarText(const ShownText &) override {}
    TransactionRequest transactionRequest() const override
    {
        const QString amount = QStringLiteral("12.50");
        const QString receipt = QStringLiteral("123456");
        const TabFields fields{amount, receipt, receipt, amount, receipt, amount};
        return RequestOfTab(tab, fields, QStringLiteral(";4444333322221111=30121010000000000000?"));
    }
    void clearCardField() override {}
    void clearEntryFields() override {}
    void PrintReceipt(const QByteArray &, qint32) override {}
    // As the window's report code does: close the connection, let events
    // run, end the session.
    void DecodeReport(const VaroManager &) override
    {
        session->Timer1()->stop();
        session->Winsock1()->close();
        processEvents();
        session->ReturnToIdle();
    }
    void processEvents() override { QCoreApplication::processEvents(); }
};

struct Harness {
    Harness()
    {
        Fuzz::initialise();
        settings.fPOSID = QString::fromLatin1(kPos);
        settings.fDoPrint = true;
        require(server.listen(QHostAddress::LocalHost, 0), "the loopback server listens");
        settings.fPort = server.serverPort();
        logPath = Fuzz::scratchDir() + QStringLiteral("/log.txt");
        session = std::make_unique<PaymentSession>(host, settings, logPath);
        session->setClock(clock);
        session->setReceiveLimit(kReceiveLimit);
        host.session = session.get();
        // Wakes the event loop while a step waits for the other side.
        heartbeat.setInterval(1);
        heartbeat.start();
    }

    // Runs the event loop until done() holds; false when it did not within 2 s.
    template <typename Pred>
    bool pumpUntil(Pred done)
    {
        QElapsedTimer t;
        t.start();
        while (!done()) {
            if (t.elapsed() > 2000)
                return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }
    void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    ConsoleSettings settings;
    FuzzHost host;
    ManualClock clock;
    QTcpServer server;
    QString logPath;
    std::unique_ptr<PaymentSession> session;
    QTimer heartbeat;
};

Harness &harness()
{
    static Harness *h = new Harness;   // lives for the run
    return *h;
}

bool validState(qint16 s)
{
    return s >= PaymentSession::Idle && s <= PaymentSession::PosCommandRequest;
}

// A frame the session may act on: parsed whole, field 2 our POS, field 3 a
// decimal that reads as the session number (as the dispatcher reads it).
bool addressedToUs(const VaroManager &m)
{
    if (m.GetFieldData(VaroMsg::kFieldPos, "**") != kPos)
        return false;
    const std::string s = m.GetFieldData(VaroMsg::kFieldSession, "**");
    const QString text = QString::fromLatin1(s.data(), qsizetype(s.size()));
    return IsNumericText(text) && text.trimmed().toDouble() == 1.0;
}

// The receive side of the session, replayed on the chunks: how many frames
// addressed to this session can come out of them, and how often the log's
// stamp stands inside those frames. False when the reading depends on how
// TCP cut the stream (a frame whose length can never be met empties the
// buffer, taking with it whatever had arrived with it).
struct SideReading {
    int addressed = 0;
    qsizetype stampsInside = 0;
};
bool readOnTheSide(const std::vector<QByteArray> &chunks, const QByteArray &stamp, SideReading *out)
{
    std::string buffer;
    for (const QByteArray &chunk : chunks) {
        buffer += toStd(chunk);
        for (;;) {
            VaroManager m;
            std::string msg = buffer;
            std::string rest;
            const int16_t r = m.ProcessMessage(msg, rest);
            if (r == VaroManager::NoStartByte) {
                // The console drops bytes that cannot begin a frame up to
                // the next start byte and reads on from there.
                const std::size_t next = buffer.find(char(VaroFrame::kStartByte));
                if (next == std::string::npos || next == 0) {
                    buffer.clear();
                    break;
                }
                buffer.erase(0, next);
                continue;
            }
            if (r == VaroManager::Incomplete)
                break;
            if (r == VaroManager::BadLength)
                return false;
            if (r == VaroManager::Parsed && addressedToUs(m)) {
                ++out->addressed;
                out->stampsInside += QByteArray::fromStdString(msg).count(stamp);
            }
            buffer = rest;
            if (buffer.empty())
                break;
        }
    }
    return true;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    harness();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    Harness &h = harness();
    PaymentSession &s = *h.session;
    Fuzz::Reader in(data, size);
    const uint8_t op = in.byte() % 8;
    const uint8_t arg = in.byte();

    QFile::remove(h.logPath);
    require(s.SessionState == PaymentSession::Idle, "a session starts from Idle");
    s.sessionNumber = 0;   // BeginSession makes it 1
    h.host.tab = op < 5 ? op + 1 : 1;
    qint16 expected = PaymentSession::CardPayment;
    if (op == 5) {
        ReportRequest::ofDialog(QDate(2026, 1, 1), QDate(2026, 1, 31), qint16(arg % 6), arg >> 7).startOn(s);
        expected = PaymentSession::ReportRequest;
    } else if (op == 6) {
        s.PreparePOSCommand(arg);
        expected = PaymentSession::PosCommandRequest;
    } else {
        s.BeginSession();
        static const qint16 byTab[] = {PaymentSession::CardPayment, PaymentSession::Cancellation,
                                       PaymentSession::Tip, PaymentSession::CardPayment,
                                       PaymentSession::BookingCompletion};
        expected = byTab[h.host.tab - 1];
    }

    // The server takes the connection and the request.
    QTcpSocket *peer = nullptr;
    QByteArray request;
    const bool connected = h.pumpUntil([&] {
        if (!peer && h.server.hasPendingConnections())
            peer = h.server.nextPendingConnection();
        if (peer)
            request += peer->readAll();
        VaroManager m;
        std::string msg = toStd(request), rest;
        return m.ProcessMessage(msg, rest) == VaroManager::Parsed;
    });
    require(connected, "the session connects and sends its request");
    require(s.SessionState == expected, "the request's state follows the operation");

    if (op == 7) {
        // Declined at once: the session sends "0023" and waits in Closing.
        peer->write(frameOf({{1, "0006"}, {2, kPos}, {3, "000001"}, {5, "Keeldutud"}, {9, "051"}}));
        peer->flush();
        require(h.pumpUntil([&] { return s.SessionState != expected; }), "a decline ends the request");
        require(s.SessionState == PaymentSession::Closing, "a decline leads to Closing");
    }
    h.settle();
    const qsizetype logMark = readFile(h.logPath).size();

    std::vector<QByteArray> chunks;
    while (!in.atEnd() && peer->state() == QAbstractSocket::ConnectedState) {
        const QByteArray chunk = in.bytes(in.byte());
        if (chunk.isEmpty())
            continue;
        chunks.push_back(chunk);
        peer->write(chunk);
        peer->flush();
        QTcpSocket *client = s.Winsock1();
        h.pumpUntil([&] {
            return s.SessionState == PaymentSession::Idle
                   || (peer->bytesToWrite() == 0 && client->bytesAvailable() == 0);
        });
        h.settle();
        require(validState(s.SessionState), "the state is a SessionState value");
        require(s.ReceiveBuffer.size() <= kReceiveLimit, "ReceiveBuffer stays within its bound");
    }

    if (s.SessionState != PaymentSession::Idle)
        s.ReturnToIdle();
    h.settle();
    require(s.SessionState == PaymentSession::Idle, "ReturnToIdle ends the session");
    require(s.ReceiveBuffer.isEmpty(), "an idle session holds no received bytes");

    const QByteArray stamp = TransactionLog::stampText(h.clock.now());
    const QByteArray added = readFile(h.logPath).mid(logMark);
    SideReading side;
    if (readOnTheSide(chunks, stamp, &side)) {
        if (side.addressed == 0)
            require(added.isEmpty(), "nothing is logged for frames of another POS or session");
        // One event entry per frame, one outgoing "0023" at most per frame,
        // and the stamp as often as the frames' own bytes carry it.
        require(added.count(stamp) <= 2 * side.addressed + side.stampsInside,
                "the log holds no more entries than frames addressed to the session");
    }

    peer->abort();
    delete peer;
    return 0;
}
