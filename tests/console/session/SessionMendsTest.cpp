// Faults of the session's first design, each with the case that exposed it.
#include "SessionFixture.h"
#include "session/SessionTexts.h"

#include "reports/ReportRequest.h"

#include <QThread>

namespace {

using State = PaymentSession::State;

class SessionMendsTest : public SessionFixture {
protected:
    QByteArray frame(QByteArrayView code, Fields fields = {}) { return serverFrame(code, sessionNo(), fields); }
};

// One call per frame overflowed the stack on a server that sends many frames
// in one read.
TEST_F(SessionMendsTest, ManyFramesInOneReadAreAllHandled)
{
    ASSERT_TRUE(startPayment());
    // "0023" outside Closing does nothing and logs nothing: the cheapest frame.
    const QByteArray one = frame("0023");
    constexpr int kFrames = 200000;
    QByteArray flood;
    flood.reserve(one.size() * kFrames + 64);
    for (int i = 0; i < kFrames; ++i)
        flood += one;
    flood += frame("0002", {{5, "done"}});
    server.send(flood);
    ASSERT_TRUE(waitUntil([&] { return !host.statusLines.isEmpty(); }, 60000));
    EXPECT_EQ(host.statusLines, QStringList{QStringLiteral("done")});
    EXPECT_EQ(session->SessionState, State::CardPayment);
    EXPECT_TRUE(session->ReceiveBuffer.isEmpty());
}

// The close request found the socket closed; the session ended at once, but
// the close time-out armed after the send ran out in Idle and showed
// "(Timeout)" after an approved payment.
TEST_F(SessionMendsTest, CloseRequestOnAClosedSocketLeavesNoTimeoutBehind)
{
    session->setTimeouts({5000, 5000, 100});
    ASSERT_TRUE(startPayment());
    // The connection is gone by the time "0023" is sent.
    host.onPrintReceipt = [&] { session->Winsock1()->abort(); };
    server.send(frame("0012", {{13, int32Bytes(4242)}, {12, serverFrame("0000", 0, {{1, "r"}})}}));
    ASSERT_TRUE(waitIdle());
    EXPECT_FALSE(session->Timer1()->isActive());
    runEventsFor(400);
    EXPECT_TRUE(host.errorTexts().isEmpty());
    EXPECT_EQ(host.finalStatuses, QStringList{QStringLiteral("Toiming on teostatud. Kviitungi number: 4242")});
}

TEST_F(SessionMendsTest, ServerThatApprovesAndHangsUpAtOnceGivesAnApproval)
{
    session->setTimeouts({5000, 5000, 100});
    server.answerClose = false;
    ASSERT_TRUE(startPayment());
    server.send(frame("0012", {{13, int32Bytes(77)}}));
    server.closePeer();
    ASSERT_TRUE(waitIdle());
    runEventsFor(400);
    EXPECT_TRUE(host.errorTexts().isEmpty());
    EXPECT_EQ(host.finalStatuses, QStringList{QStringLiteral("Toiming on teostatud. Kviitungi number: 77")});
}

TEST_F(SessionMendsTest, ServerClosingWhileTheCloseRequestIsBuiltLeavesTheApprovalShown)
{
    server.answerClose = false;
    ASSERT_TRUE(startPayment());
    host.onPrintReceipt = [&] {
        // The FIN reaches the console's side while the approval is handled.
        server.closePeer();
        QThread::msleep(50);
    };
    server.send(frame("0012", {{13, int32Bytes(31)}, {12, serverFrame("0000", 0, {{1, "r"}})}}));
    ASSERT_TRUE(waitIdle());
    runEventsFor(100);
    EXPECT_TRUE(host.errorTexts().isEmpty());
    EXPECT_EQ(host.finalStatuses, QStringList{QStringLiteral("Toiming on teostatud. Kviitungi number: 31")});
}

// ReturnToIdle lets events run before it stops the timer; a time-out that
// expired then reported "(Timeout)" on top of the failure that was ending the
// session.
TEST_F(SessionMendsTest, TimeoutExpiringWhileTheSessionEndsReportsNothing)
{
    session->setTimeouts({5000, 60, 5000});
    ASSERT_TRUE(startPayment());
    host.onShowFinalStatus = [] { QThread::msleep(150); };
    server.closePeer();
    ASSERT_TRUE(waitIdle());
    runEventsFor(200);
    EXPECT_EQ(host.errorTexts(), (QStringList{QStringLiteral("Ühendus maksesüsteemiga katkes. (Socket closed)"),
                                           SessionText::outcomeUnknown()}));
}

// A frame that announces a huge length made the console buffer everything the
// server sent.
TEST_F(SessionMendsTest, ServerPassingTheReceiveBoundEndsTheSession)
{
    session->setReceiveLimit(4096);
    ASSERT_TRUE(startPayment());
    QByteArray header = bytesOf({0x01});
    header += int32Bytes(100'000'000);
    server.send(header + QByteArray(2000, 'x'));
    ASSERT_TRUE(waitUntil([&] { return session->ReceiveBuffer.size() == 2005; }));
    EXPECT_EQ(session->SessionState, State::CardPayment);
    server.send(QByteArray(8192, 'y'));
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(session->ReceiveBuffer.isEmpty());
    EXPECT_EQ(host.errorTexts(), (QStringList{QStringLiteral("Ühendus maksesüsteemiga katkes. (Socket closed)"),
                                           SessionText::outcomeUnknown()}));
}

TEST_F(SessionMendsTest, FramesWithinTheReceiveBoundAreHandled)
{
    session->setReceiveLimit(4096);
    ASSERT_TRUE(startPayment());
    const QByteArray longText(3500, 'a');
    server.send(frame("0002", {{5, longText}}));
    ASSERT_TRUE(waitUntil([&] { return !host.statusLines.isEmpty(); }));
    server.send(frame("0002", {{5, longText}}));
    ASSERT_TRUE(waitUntil([&] { return host.statusLines.size() == 2; }));
    EXPECT_EQ(session->SessionState, State::CardPayment);
    EXPECT_TRUE(host.errorTexts().isEmpty());
}

TEST_F(SessionMendsTest, DefaultReceiveBoundIs64MegaBytes)
{
    EXPECT_EQ(PaymentSession::kDefaultReceiveLimit, qsizetype(64) * 1024 * 1024);
}

// The special operations dialog stays usable during a payment; a second
// start took a new session number and the payment's answers were dropped.
TEST_F(SessionMendsTest, StartingASecondSessionWhileOneRunsIsRefused)
{
    ASSERT_TRUE(startPayment());
    const qint32 number = sessionNo();
    session->PreparePOSCommand(2);
    ReportRequest::ofDialog(QDate(2026, 1, 1), QDate(2026, 1, 2), 1, 1).startOn(*session);
    session->BeginSession();
    EXPECT_EQ(sessionNo(), number);
    EXPECT_EQ(session->PendingPosCommand, -1);
    EXPECT_FALSE(session->ReportPending);
    EXPECT_EQ(session->SessionState, State::CardPayment);
    server.send(frame("0012", {{13, int32Bytes(8)}}));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(host.finalStatuses, QStringList{QStringLiteral("Toiming on teostatud. Kviitungi number: 8")});
}

// The 32-bit port setting was cut to 16 bits: 65536 + P connected to P.
TEST_F(SessionMendsTest, PortOutsideTheTcpRangeFailsTheConnect)
{
    settings.fPort = 65536 + server.port();
    session->BeginSession();
    EXPECT_EQ(session->SessionState, State::Idle);
    runEventsFor(100);
    EXPECT_EQ(server.peer(), nullptr);
    EXPECT_EQ(host.errorTexts(),
              QStringList{QStringLiteral("Ei saa ühendust maksesüsteemiga. (")
                          + QString::number(int(QAbstractSocket::UnsupportedSocketOperationError))
                          + QStringLiteral(" - Invalid port ") + QString::number(settings.fPort) + u')'});
}

// A cancel without a session ended a session that did not exist and wiped
// the status line of the last one.
TEST_F(SessionMendsTest, CancelWithoutASessionKeepsTheStatusLine)
{
    session->SendAbort();
    EXPECT_TRUE(host.calls.isEmpty());
    EXPECT_FALSE(QFile::exists(logPath()));
}

} // namespace
