#include "SessionTestSupport.h"

#include "common/Bytes.h"
#include "common/Helpers.h"
#include "window/TransactionCheck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

bool waitUntil(const std::function<bool()> &pred, int ms)
{
    QElapsedTimer elapsed;
    elapsed.start();
    // A ticking timer keeps WaitForMoreEvents from sleeping past the limit.
    QTimer tick;
    tick.start(5);
    while (!pred()) {
        if (elapsed.hasExpired(ms))
            return pred();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void runEventsFor(int ms)
{
    QElapsedTimer elapsed;
    elapsed.start();
    waitUntil([&] { return elapsed.hasExpired(ms); }, ms + 1000);
}

QString testTmpParent()
{
    const QString dir = qEnvironmentVariable("TELLAR_TEST_TMPDIR");
    return dir.isEmpty() ? QStringLiteral("/tmp") : dir;
}

// --- FakeSessionHost -----------------------------------------------------------

TransactionRequest FakeSessionHost::transactionRequest() const
{
    const TabFields tabFields{fields.value(2), fields.value(3), fields.value(4),
                              fields.value(7), fields.value(8), fields.value(9)};
    return RequestOfTab(tab, tabFields, fields.value(1));
}

void FakeSessionHost::OpenBox(quint8 kind, const QString &text, qint32 style)
{
    calls << QStringLiteral("OpenBox");
    boxes.append({kind, text, style});
    if (onOpenBox)
        onOpenBox(boxes.last());
}

void FakeSessionHost::CloseAllBoxes() { calls << QStringLiteral("CloseAllBoxes"); }
void FakeSessionHost::showRunningLayout() { calls << QStringLiteral("showRunningLayout"); }
void FakeSessionHost::showIdleLayout() { calls << QStringLiteral("showIdleLayout"); }
void FakeSessionHost::ShowTabFrame() { calls << QStringLiteral("ShowTabFrame"); }

void FakeSessionHost::setStatusLine(const QString &text)
{
    calls << QStringLiteral("setStatusLine");
    statusLines << text;
}

void FakeSessionHost::showFinalStatus(const ShownText &text)
{
    calls << QStringLiteral("showFinalStatus");
    finalStatuses << text.text();
    if (onShowFinalStatus)
        onShowFinalStatus();
}

void FakeSessionHost::setStatusBarText(const ShownText &text)
{
    calls << QStringLiteral("setStatusBarText");
    statusBar = text.text();
}

void FakeSessionHost::clearCardField()
{
    calls << QStringLiteral("clearCardField");
    fields[1].clear();
}

void FakeSessionHost::clearEntryFields()
{
    calls << QStringLiteral("clearEntryFields");
    for (int n : {1, 2, 3, 4, 7, 8, 9})
        fields[n].clear();
}

void FakeSessionHost::PrintReceipt(const QByteArray &receiptFrame, qint32 stan)
{
    calls << QStringLiteral("PrintReceipt");
    receipts.append({receiptFrame, stan});
    if (onPrintReceipt)
        onPrintReceipt();
}

void FakeSessionHost::DecodeReport(const VaroManager &message)
{
    calls << QStringLiteral("DecodeReport");
    reports.push_back(message);
    if (onDecodeReport)
        onDecodeReport(message);
}

void FakeSessionHost::processEvents()
{
    ++processEventsCalls;
    if (onProcessEvents)
        onProcessEvents();
    QCoreApplication::processEvents();
}

QStringList FakeSessionHost::errorTexts() const
{
    QStringList out;
    for (const BoxCall &b : boxes)
        if (b.kind == 0)
            out << b.text;
    return out;
}

// --- Frames -------------------------------------------------------------------------

QByteArray ReceivedFrame::field(qint16 id) const
{
    const std::string data = message.GetFieldData(id);
    return QByteArray(data.data(), qsizetype(data.size()));
}

std::vector<qint16> ReceivedFrame::fieldIds() const
{
    std::vector<qint16> ids;
    for (qint16 i = 1; i <= message.getFieldCount(); ++i)
        ids.push_back(message.GetFieldIDByIndex(i));
    return ids;
}

static std::string toStd(QByteArrayView b) { return std::string(b.data(), std::size_t(b.size())); }

QByteArray serverFrameRaw(QByteArrayView code, QByteArrayView sessionField, Fields fields,
                          QByteArrayView pos)
{
    VaroManager m;
    m.AddField(1, toStd(code));
    m.AddField(2, toStd(pos));
    m.AddField(3, toStd(sessionField));
    for (const auto &[id, data] : fields)
        m.AddField(id, toStd(data));
    const std::string out = m.GetOutput(true, false);
    return QByteArray(out.data(), qsizetype(out.size()));
}

QByteArray serverFrame(QByteArrayView code, qint32 session, Fields fields, QByteArrayView pos)
{
    return serverFrameRaw(code, PadNumber(session, 6).toLatin1(), fields, pos);
}

QByteArray int32Bytes(qint32 value) { return EncodeInt32(value); }

QByteArray bytesOf(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out += char(v);
    return out;
}

// --- TestServer ---------------------------------------------------------------------

TestServer::TestServer()
{
    m_server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] { onNewConnection(); });
}

void TestServer::onNewConnection()
{
    while (QTcpSocket *s = m_server.nextPendingConnection()) {
        s->setParent(this);
        m_peer = s;
        m_peerDisconnected = false;
        m_received.clear();
        QObject::connect(s, &QTcpSocket::readyRead, this, [this, s] {
            if (s == m_peer)
                onReadyRead();
        });
        QObject::connect(s, &QTcpSocket::disconnected, this, [this, s] {
            if (s == m_peer)
                m_peerDisconnected = true;
        });
    }
}

void TestServer::onReadyRead()
{
    m_received += m_peer->readAll();
    for (;;) {
        VaroManager m;
        std::string buffer = toStd(m_received);
        std::string rest;
        const qint16 result = m.ProcessMessage(buffer, rest);
        if (result == VaroManager::Incomplete || result == VaroManager::NoStartByte)
            return;
        const qsizetype used = m_received.size() - qsizetype(rest.size());
        ReceivedFrame f{m_received.left(used), m};
        m_received = QByteArray(rest.data(), qsizetype(rest.size()));
        const bool isClose = f.field(1) == "0023";
        const QByteArray pos = f.field(2);
        const QByteArray session = f.field(3);
        m_frames.append(std::move(f));
        if (isClose && answerClose) {
            m_peer->write(serverFrameRaw("0023", session, {}, pos));
            m_peer->flush();
        }
    }
}

bool TestServer::waitForPeer(int ms)
{
    return waitUntil([this] { return m_peer != nullptr; }, ms);
}

std::optional<ReceivedFrame> TestServer::nextFrame(int ms)
{
    if (!waitUntil([this] { return !m_frames.isEmpty(); }, ms))
        return std::nullopt;
    return m_frames.takeFirst();
}

int TestServer::pendingFrameCount() const { return int(m_frames.size()); }

void TestServer::send(const QByteArray &bytes)
{
    m_peer->write(bytes);
    m_peer->flush();
}

void TestServer::closePeer()
{
    m_peer->flush();
    m_peer->disconnectFromHost();
}

// --- UnansweredListener -------------------------------------------------------------

UnansweredListener::UnansweredListener()
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0
        || ::listen(m_listener, 0) != 0)
        return;
    socklen_t len = sizeof addr;
    if (::getsockname(m_listener, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
        return;
    // With a backlog of 0 one established connection fills the queue.
    m_filler = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_filler < 0 || ::connect(m_filler, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0)
        return;
    m_port = ntohs(addr.sin_port);
}

UnansweredListener::~UnansweredListener()
{
    for (int fd : {m_filler, m_listener})
        if (fd >= 0)
            ::close(fd);
}

// --- Printers -----------------------------------------------------------------------

void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

void PrintTo(const QStringList &texts, std::ostream *os)
{
    *os << '{';
    for (qsizetype i = 0; i < texts.size(); ++i) {
        *os << (i ? ", " : " ");
        PrintTo(texts[i], os);
    }
    *os << " }";
}

void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '"' << bytes.toPercentEncoding(" :.,;=?*#()-_").toStdString() << '"';
}
