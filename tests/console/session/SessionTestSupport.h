// Test support of the session tests: a recording SessionHost, a scripted
// loopback server with byte-exact control of what the console receives, and
// small helpers for frames and for waiting on the event loop.
#pragma once

#include "session/SessionHost.h"

#include <VaroManager.h>

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <initializer_list>
#include <ostream>
#include <optional>
#include <utility>
#include <vector>

// Runs the event loop until pred() holds or ms have passed; the result is
// pred() at the end. Waits only as long as it must.
bool waitUntil(const std::function<bool()> &pred, int ms = 5000);
// Runs the event loop for exactly ms (for checking that nothing happens).
void runEventsFor(int ms);

// The parent folder for a test's temporary folders.
QString testTmpParent();

struct BoxCall {
    quint8 kind;
    QString text;
    qint32 style;
};

// Records everything the session asks of the window, in order.
class FakeSessionHost : public SessionHost {
public:
    void OpenBox(quint8 kind, const QString &text, qint32 style) override;
    void CloseAllBoxes() override;
    void showRunningLayout() override;
    void showIdleLayout() override;
    void ShowTabFrame() override;
    void setStatusLine(const QString &text) override;
    void showFinalStatus(const ShownText &text) override;
    void setStatusBarText(const ShownText &text) override;
    // The request the window would build from `tab` and `fields`.
    TransactionRequest transactionRequest() const override;
    void clearCardField() override;
    void clearEntryFields() override;
    void PrintReceipt(const QByteArray &receiptFrame, qint32 stan) override;
    void DecodeReport(const VaroManager &message) override;
    void processEvents() override;

    // Boxes of kind 0 (the console's own errors).
    QStringList errorTexts() const;

    QStringList calls;                 // every call's name, in order
    QList<BoxCall> boxes;
    QStringList statusLines;           // setStatusLine
    QStringList finalStatuses;         // showFinalStatus
    QString statusBar;
    int tab = 1;
    QMap<int, QString> fields;         // entry fields by number
    QList<std::pair<QByteArray, qint32>> receipts;
    std::vector<VaroManager> reports;
    int processEventsCalls = 0;

    std::function<void(const BoxCall &)> onOpenBox;
    std::function<void()> onPrintReceipt;
    std::function<void()> onShowFinalStatus;
    std::function<void(const VaroManager &)> onDecodeReport;
    // Runs at every processEvents, before the events: what the cashier does
    // while the session lets the window breathe.
    std::function<void()> onProcessEvents;
};

// A frame the console sent, as the server received it.
struct ReceivedFrame {
    QByteArray raw;
    VaroManager message;

    QByteArray field(qint16 id) const;
    std::vector<qint16> fieldIds() const;
};

// A loopback server on a port of the system's choice that accepts one
// console connection at a time and is driven by the test.
class TestServer : public QObject {
public:
    TestServer();
    quint16 port() const { return m_server.serverPort(); }

    bool waitForPeer(int ms = 5000);
    QTcpSocket *peer() const { return m_peer; }
    // The next complete frame the console sent (in arrival order).
    std::optional<ReceivedFrame> nextFrame(int ms = 5000);
    // Frames received and not yet taken, and whether any bytes remain.
    int pendingFrameCount() const;
    void send(const QByteArray &bytes);
    // Closes the console's connection from the server's side (FIN).
    void closePeer();
    bool peerDisconnected() const { return m_peerDisconnected; }
    void stopListening() { m_server.close(); }

    // Replies to every "0023" of the console with "0023" (on by default).
    bool answerClose = true;

private:
    void onNewConnection();
    void onReadyRead();

    QTcpServer m_server;
    QTcpSocket *m_peer = nullptr;
    bool m_peerDisconnected = false;
    QByteArray m_received;
    QList<ReceivedFrame> m_frames;
};

// A loopback listening socket whose accept queue is full: a connection
// attempt to it gets no answer at all (the SYN is dropped), so a client stays
// in its connecting state until it gives up.
class UnansweredListener {
public:
    UnansweredListener();
    ~UnansweredListener();
    UnansweredListener(const UnansweredListener &) = delete;
    UnansweredListener &operator=(const UnansweredListener &) = delete;
    quint16 port() const { return m_port; }   // 0 when it could not be set up

private:
    int m_listener = -1;
    int m_filler = -1;
    quint16 m_port = 0;
};

using Fields = std::initializer_list<std::pair<qint16, QByteArray>>;

// A server message: field 1 code, 2 pos, 3 the session as six digits, then
// the given fields in order; XOR check byte.
QByteArray serverFrame(QByteArrayView code, qint32 session, Fields fields = {},
                       QByteArrayView pos = "00000000");
// Same with field 3 given as it is.
QByteArray serverFrameRaw(QByteArrayView code, QByteArrayView sessionField, Fields fields,
                          QByteArrayView pos);
QByteArray int32Bytes(qint32 value);
QByteArray bytesOf(std::initializer_list<int> values);

// Readable failure messages for Qt texts.
void PrintTo(const QString &text, std::ostream *os);
void PrintTo(const QStringList &texts, std::ostream *os);
void PrintTo(const QByteArray &bytes, std::ostream *os);
