#include "SimHarness.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>

namespace SimTest {

namespace {

// QProcess and QTcpSocket deliver their data through the event loop, which
// needs an application object for the whole test program.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "sim_process_test";
        static char *argv[] = {name, nullptr};
        m_app = new QCoreApplication(argc, argv);
    }
    void TearDown() override
    {
        delete m_app;
        m_app = nullptr;
    }

private:
    QCoreApplication *m_app = nullptr;
};

[[maybe_unused]] ::testing::Environment *const g_qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

std::string frameOf(const Fields &fields)
{
    VaroManager frame;
    for (const auto &[id, data] : fields)
        frame.AddField(id, data);
    return frame.GetOutput(true, false);
}

std::string request(const std::string &code, const std::string &pos, const std::string &session, const Fields &more)
{
    Fields fields{{1, code}, {2, pos}, {3, session}};
    fields.insert(fields.end(), more.begin(), more.end());
    return frameOf(fields);
}

std::string int32Bytes(int32_t value)
{
    const auto raw = static_cast<uint32_t>(value);
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>((raw >> (8 * i)) & 0xFF);
    return bytes;
}

std::string doubleBytes(double value)
{
    uint64_t raw = 0;
    std::memcpy(&raw, &value, sizeof raw);
    std::string bytes(8, '\0');
    for (int i = 0; i < 8; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>((raw >> (8 * i)) & 0xFF);
    return bytes;
}

// ---- ScenarioFolder ------------------------------------------------------

static QString tmpParent()
{
    const QByteArray parent = qgetenv("TELLAR_TEST_TMPDIR");
    if (!parent.isEmpty()) {
        QDir().mkpath(QString::fromLocal8Bit(parent));
        return QString::fromLocal8Bit(parent) + QStringLiteral("/sim-XXXXXX");
    }
    return QDir::tempPath() + QStringLiteral("/sim-XXXXXX");
}

ScenarioFolder::ScenarioFolder() : m_dir(tmpParent())
{
}

QString ScenarioFolder::write(const QString &name, const QByteArray &json)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(json);
    return path;
}

// ---- SimProcess ----------------------------------------------------------

SimProcess::~SimProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(kWaitMs);
    }
}

void SimProcess::startRaw(const QStringList &arguments)
{
    m_process.setProgram(QStringLiteral(VARO_SIM_PATH));
    m_process.setArguments(QStringList{QStringLiteral("--port"), QStringLiteral("0")} + arguments);
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] { m_stdout += m_process.readAllStandardOutput(); });
    QObject::connect(&m_process, &QProcess::readyReadStandardError, [this] { m_stderr += m_process.readAllStandardError(); });
    m_process.start();
}

bool SimProcess::start(const QStringList &arguments)
{
    startRaw(arguments);
    if (!m_process.waitForStarted(kWaitMs))
        return false;
    const bool gotLine = waitUntil([this] {
        return m_stdout.contains('\n') || m_process.state() == QProcess::NotRunning;
    });
    if (!gotLine || !m_stdout.contains('\n'))
        return false;
    m_firstLine = m_stdout.left(m_stdout.indexOf('\n'));
    const QByteArray prefix = "listening on 127.0.0.1:";
    if (!m_firstLine.startsWith(prefix))
        return false;
    bool ok = false;
    m_port = static_cast<quint16>(m_firstLine.mid(prefix.size()).toUInt(&ok));
    return ok && m_port != 0;
}

bool SimProcess::waitForExit(int timeoutMs)
{
    return waitUntil([this] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
}

QByteArray SimProcess::output()
{
    m_stdout += m_process.readAllStandardOutput();
    return m_stdout;
}

QByteArray SimProcess::errorOutput()
{
    m_stderr += m_process.readAllStandardError();
    return m_stderr;
}

// ---- SimClient -----------------------------------------------------------

SimClient::SimClient()
{
    QObject::connect(&m_socket, &QTcpSocket::readyRead, [this] {
        const QByteArray data = m_socket.readAll();
        if (data.isEmpty())
            return;
        m_readSizes.push_back(data.size());
        m_buffer.append(data.constData(), static_cast<size_t>(data.size()));
    });
    QObject::connect(&m_socket, &QTcpSocket::connected, [this] { m_connected = true; });
    QObject::connect(&m_socket, &QTcpSocket::disconnected, [this] { m_disconnected = true; });
    QObject::connect(&m_socket, &QTcpSocket::errorOccurred, [this](QAbstractSocket::SocketError) {
        if (m_socket.state() != QAbstractSocket::ConnectedState)
            m_disconnected = true;
    });
}

bool SimClient::connectTo(quint16 port)
{
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    // A server that closes at once may do so before this wait looks again, so
    // the connected signal counts, not the state.
    return waitUntil([this] { return m_connected || m_disconnected; }) && m_connected;
}

void SimClient::send(const std::string &bytes)
{
    m_socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
    m_socket.flush();
}

std::optional<std::string> SimClient::nextFrame(int timeoutMs)
{
    std::optional<std::string> frame;
    auto complete = [this, &frame] {
        VaroManager parser;
        std::string message = m_buffer;
        std::string rest;
        if (parser.ProcessMessage(message, rest) == VaroManager::Incomplete)
            return false;
        frame = message;
        m_buffer = rest;
        return true;
    };
    if (!waitUntil([&] { return complete() || m_disconnected; }, timeoutMs) && !frame)
        return std::nullopt;
    if (!frame)
        complete();   // the last bytes may have come with the close
    return frame;
}

std::optional<std::string> SimClient::nextFrameSkippingKeepAlives(int *keepAlives, int timeoutMs)
{
    for (;;) {
        std::optional<std::string> frame = nextFrame(timeoutMs);
        if (!frame || codeOf(*frame) != "0003")
            return frame;
        if (keepAlives)
            ++*keepAlives;
    }
}

std::optional<std::string> SimClient::takeBytes(qsizetype n, int timeoutMs)
{
    waitUntil([&] { return static_cast<qsizetype>(m_buffer.size()) >= n || m_disconnected; }, timeoutMs);
    if (static_cast<qsizetype>(m_buffer.size()) < n)
        return std::nullopt;
    std::string taken = m_buffer.substr(0, static_cast<size_t>(n));
    m_buffer.erase(0, static_cast<size_t>(n));
    return taken;
}

bool SimClient::waitForDisconnect(int timeoutMs)
{
    return waitUntil([this] { return m_disconnected; }, timeoutMs);
}

void SimClient::close()
{
    m_socket.disconnectFromHost();
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        waitUntil([this] { return m_socket.state() == QAbstractSocket::UnconnectedState; });
}

std::optional<std::string> fieldOf(const std::string &frame, int16_t id)
{
    VaroManager parser;
    std::string message = frame;
    std::string rest;
    if (parser.ProcessMessage(message, rest) != VaroManager::Parsed || !parser.FieldExists(id))
        return std::nullopt;
    return parser.GetFieldData(id);
}

std::string codeOf(const std::string &frame)
{
    return fieldOf(frame, 1).value_or(std::string());
}

} // namespace SimTest
