// Test harness for varo-sim: starts the real program, reads the port from its
// first line, and talks to it as a console would over a QTcpSocket.
//
// Every wait runs the event loop (so the child's output pipe and the socket
// are drained as data comes) until a condition holds or a generous limit
// passes; no test asserts on a fixed sleep.
#pragma once

#include "VaroManager.h"

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace SimTest {

inline constexpr int kWaitMs = 15000;   // generous: the machine is shared

// Runs the event loop until done() or timeoutMs.
bool waitUntil(const std::function<bool()> &done, int timeoutMs = kWaitMs);

using Fields = std::vector<std::pair<int16_t, std::string>>;

// The frame of these fields, in this order, with the XOR check byte.
std::string frameOf(const Fields &fields);
// A console request: fields 1 to 3, then the given ones.
std::string request(const std::string &code, const std::string &pos, const std::string &session,
                    const Fields &more = {});
std::string int32Bytes(int32_t value);
std::string doubleBytes(double value);

// A private folder under TELLAR_TEST_TMPDIR for the test's scenario files.
class ScenarioFolder {
public:
    ScenarioFolder();
    // Writes the text as NAME and returns its path.
    QString write(const QString &name, const QByteArray &json);
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

class SimProcess {
public:
    ~SimProcess();
    // Starts varo-sim --port 0 with the arguments; true once the first line
    // "listening on 127.0.0.1:PORT" has been read.
    bool start(const QStringList &arguments);
    // Starts and returns without waiting for the first line (for bad start-ups).
    void startRaw(const QStringList &arguments);
    bool waitForExit(int timeoutMs = kWaitMs);
    quint16 port() const { return m_port; }
    QByteArray firstLine() const { return m_firstLine; }
    QByteArray output();          // everything on stdout so far
    QByteArray errorOutput();     // everything on stderr so far
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QByteArray m_stdout;
    QByteArray m_stderr;
    QByteArray m_firstLine;
    quint16 m_port = 0;
};

class SimClient {
public:
    SimClient();
    bool connectTo(quint16 port);
    void send(const std::string &bytes);
    // The next whole frame (raw bytes), or nullopt after timeoutMs.
    std::optional<std::string> nextFrame(int timeoutMs = kWaitMs);
    // The next frame whose code is not "0003"; keep-alives before it are counted.
    std::optional<std::string> nextFrameSkippingKeepAlives(int *keepAlives = nullptr, int timeoutMs = kWaitMs);
    // Waits until at least n bytes are buffered, then takes exactly them.
    std::optional<std::string> takeBytes(qsizetype n, int timeoutMs = kWaitMs);
    bool waitForDisconnect(int timeoutMs = kWaitMs);
    void close();
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    // Sizes of the reads so far, in arrival order.
    const std::vector<qsizetype> &readSizes() const { return m_readSizes; }
    const std::string &buffered() const { return m_buffer; }

private:
    QTcpSocket m_socket;
    std::string m_buffer;
    std::vector<qsizetype> m_readSizes;
    bool m_connected = false;
    bool m_disconnected = false;
};

// The field data of a raw frame, or nullopt when the frame does not parse or
// has no such field.
std::optional<std::string> fieldOf(const std::string &frame, int16_t id);
std::string codeOf(const std::string &frame);

} // namespace SimTest
