// Whole sessions over loopback: the session steps, the requests of each
// operation as the server receives them, and the transport's failures.
#include "SessionFixture.h"
#include "session/SessionTexts.h"

#include "common/Config.h"
#include "common/Bytes.h"
#include "common/Helpers.h"
#include "reports/ReportRequest.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>

namespace {

using State = PaymentSession::State;

class PaymentSessionTest : public SessionFixture {};

TEST_F(PaymentSessionTest, PaymentOf1250InSession41ReachesTheServerFieldByField)
{
    session->sessionNumber = 40;
    const auto f = startPayment(QStringLiteral("12,50"), QStringLiteral(";1234=5678?"));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->fieldIds(), (std::vector<qint16>{1, 2, 3, 4, 5, 6, 7, 11, 14}));
    EXPECT_EQ(f->field(1), "0001");
    EXPECT_EQ(f->field(2), "00000000");
    EXPECT_EQ(f->field(3), "000041");
    EXPECT_EQ(f->field(4), bytesOf({0, 0, 0, 0, 0, 0, 0x29, 0x40}));
    EXPECT_EQ(f->field(5), ";1234=5678?");
    EXPECT_EQ(f->field(6), bytesOf({0}));
    EXPECT_EQ(f->field(7), bytesOf({0}));
    EXPECT_EQ(f->field(11), bytesOf({0}));
    EXPECT_EQ(f->field(14), bytesOf({0}));
    EXPECT_EQ(session->SessionState, State::CardPayment);
    EXPECT_EQ(logBytes(),
              QByteArray("\"05.03.2026 09:08:07 OUT:Starting Transaction: Session=000041, Amount=12.5\"\r\n"));
}

TEST_F(PaymentSessionTest, BookingTabSendsTheBookingFlag)
{
    const auto f = startPayment(QStringLiteral("3.00"), QStringLiteral(";9=9?"), 4);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->field(1), "0001");
    EXPECT_EQ(f->field(6), bytesOf({1}));
    EXPECT_EQ(DecodeDouble(f->field(4)), 3.0);
}

TEST_F(PaymentSessionTest, BeginSessionRunsTheWindowStepsAndStoresTheNumber)
{
    session->sessionNumber = 41;
    session->BeginSession();
    EXPECT_EQ(session->SessionState, State::Connecting);
    EXPECT_EQ(session->sessionNumber, 42);
    EXPECT_EQ(host.statusBar, QStringLiteral("Session: 000042"));
    EXPECT_EQ(host.calls.first(), QStringLiteral("showRunningLayout"));
    EXPECT_TRUE(session->Timer1()->isActive());
    EXPECT_EQ(session->Timer1()->interval(), 5000);
    EXPECT_EQ(GetConfigString(Config::KeyPath, Config::Session, QStringLiteral("none")), QStringLiteral("42"));
}

TEST_F(PaymentSessionTest, SessionNumber999999WrapsToOneAndOneIsStored)
{
    session->sessionNumber = 999999;
    const auto f = startPayment();
    ASSERT_TRUE(f);
    EXPECT_EQ(session->sessionNumber, 1);
    EXPECT_EQ(f->field(3), "000001");
    EXPECT_EQ(host.statusBar, QStringLiteral("Session: 000001"));
    EXPECT_EQ(GetConfigString(Config::KeyPath, Config::Session, QStringLiteral("none")), QStringLiteral("1"));
}

TEST_F(PaymentSessionTest, ConnectionSwitchesToTheAnswerTimeout)
{
    session->setTimeouts({3000, 4000, 2000});
    ASSERT_TRUE(startPayment());
    EXPECT_TRUE(session->Timer1()->isActive());
    EXPECT_EQ(session->Timer1()->interval(), 4000);
}

TEST_F(PaymentSessionTest, CancellationSendsReceipt123As7B000000)
{
    host.tab = 2;
    host.fields[3] = QStringLiteral("123");
    session->BeginSession();
    ASSERT_TRUE(server.waitForPeer());
    const auto f = server.nextFrame();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->field(1), "0016");
    EXPECT_EQ(f->fieldIds(), (std::vector<qint16>{1, 2, 3, 11, 13}));
    EXPECT_EQ(f->field(13), bytesOf({0x7B, 0, 0, 0}));
    EXPECT_EQ(session->SessionState, State::Cancellation);
    // Requests other than "0001" log their frame.
    EXPECT_EQ(logBytes(), "\"05.03.2026 09:08:07 OUT:" + f->raw + "\"\r\n");
}

TEST_F(PaymentSessionTest, TipAndBookingCompletionTakeTheirOwnFields)
{
    host.tab = 3;
    host.fields[8] = QStringLiteral("55");
    host.fields[9] = QStringLiteral("1,25");
    session->BeginSession();
    ASSERT_TRUE(server.waitForPeer());
    auto f = server.nextFrame();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->field(1), "0017");
    EXPECT_EQ(DecodeDouble(f->field(4)), 1.25);
    EXPECT_EQ(f->field(13), bytesOf({55, 0, 0, 0}));
    EXPECT_EQ(session->SessionState, State::Tip);

    session->ReturnToIdle();
    host.tab = 5;
    host.fields[4] = QStringLiteral("77");
    host.fields[7] = QStringLiteral("10.00");
    session->BeginSession();
    ASSERT_TRUE(waitUntil([&] { return session->SessionState == State::BookingCompletion; }));
    f = server.nextFrame();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->field(1), "0018");
    EXPECT_EQ(DecodeDouble(f->field(4)), 10.0);
    EXPECT_EQ(f->field(13), bytesOf({77, 0, 0, 0}));
}

struct GroupRow {
    const char *name;
    qint16 listPosition;
    qint16 groupCode;
};

class ReportGroupTest : public SessionFixture, public ::testing::WithParamInterface<GroupRow> {};

TEST_P(ReportGroupTest, ListPositionIsStoredAsItsGroupCode)
{
    const ReportRequest request = ReportRequest::ofDialog(QDate(2026, 3, 5), QDate(2026, 3, 5), GetParam().listPosition, 1);
    EXPECT_EQ(request.groupColumn, GetParam().groupCode);
}

INSTANTIATE_TEST_SUITE_P(Rows, ReportGroupTest,
                         ::testing::Values(GroupRow{"none", 0, 0}, GroupRow{"terminal", 1, 1},
                                           GroupRow{"date", 2, 2}, GroupRow{"card", 3, 5},
                                           GroupRow{"responseCode", 4, 6}, GroupRow{"status", 5, 11},
                                           GroupRow{"noSelection", -1, 0}, GroupRow{"beyond", 6, 0}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(PaymentSessionTest, ReportRequestForOneDayAsksForTheWholeDay)
{
    const ReportRequest request = ReportRequest::ofDialog(QDate(2005, 4, 7), QDate(2005, 4, 7), 3, 7);
    request.startOn(*session);
    EXPECT_TRUE(session->ReportPending);
    EXPECT_TRUE(request.onlyApproved);
    ASSERT_TRUE(server.waitForPeer());
    const auto f = server.nextFrame();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->fieldIds(), (std::vector<qint16>{1, 2, 5, 9, 3}));
    EXPECT_EQ(f->field(1), "0019");
    EXPECT_EQ(f->field(5), "050407000000");
    EXPECT_EQ(f->field(9), "050407235959");
    EXPECT_EQ(session->SessionState, State::ReportRequest);
    EXPECT_EQ(request.periodText(), QStringLiteral("Periood: 07.04.2005 00:00:00 - 07.04.2005 23:59:59"));
}

TEST_F(PaymentSessionTest, ReportPendingWinsOverAPendingPosCommand)
{
    session->PendingPosCommand = 2;
    const ReportRequest request = ReportRequest::ofDialog(QDate(2026, 1, 1), QDate(2026, 1, 31), 0, 0);
    request.startOn(*session);
    ASSERT_TRUE(server.waitForPeer());
    const auto f = server.nextFrame();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->field(1), "0019");
    EXPECT_FALSE(request.onlyApproved);
}

TEST_F(PaymentSessionTest, PosCommandIsSentWithItsByte)
{
    session->PreparePOSCommand(3);
    EXPECT_EQ(session->PendingPosCommand, 3);
    ASSERT_TRUE(server.waitForPeer());
    const auto f = server.nextFrame();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->field(1), "0026");
    EXPECT_EQ(f->field(7), bytesOf({3}));
    EXPECT_EQ(session->SessionState, State::PosCommandRequest);
}

TEST_F(PaymentSessionTest, ReturnToIdleResetsTheSessionState)
{
    ASSERT_TRUE(startPayment());
    session->PendingPosCommand = 4;
    session->ReportPending = true;
    session->CancelLocked = true;
    session->finalStatusText = QStringLiteral("shown once");
    session->ReceiveBuffer = "partial";
    host.calls.clear();
    session->ReturnToIdle();
    EXPECT_EQ(session->SessionState, State::Idle);
    EXPECT_EQ(session->PendingPosCommand, -1);
    EXPECT_FALSE(session->ReportPending);
    EXPECT_FALSE(session->CancelLocked);
    EXPECT_TRUE(session->finalStatusText.isEmpty());
    EXPECT_TRUE(session->ReceiveBuffer.isEmpty());
    EXPECT_FALSE(session->Timer1()->isActive());
    EXPECT_EQ(session->Winsock1()->state(), QAbstractSocket::UnconnectedState);
    EXPECT_EQ(host.finalStatuses, QStringList{QStringLiteral("shown once")});
    EXPECT_TRUE(host.fields.value(1).isEmpty());
    EXPECT_EQ(host.calls, (QStringList{QStringLiteral("clearCardField"), QStringLiteral("showFinalStatus"),
                                       QStringLiteral("showIdleLayout"), QStringLiteral("ShowTabFrame")}));
    EXPECT_TRUE(host.errorTexts().isEmpty());
}

TEST_F(PaymentSessionTest, CancelBeforeTheConnectionStandsEndsWithClosedSocketText)
{
    UnansweredListener listener;
    ASSERT_NE(listener.port(), 0);
    settings.fPort = listener.port();
    session->BeginSession();
    runEventsFor(50);
    ASSERT_EQ(session->SessionState, State::Connecting);
    session->SendAbort();
    EXPECT_EQ(session->SessionState, State::Idle);
    EXPECT_EQ(host.errorTexts(),
              QStringList{QStringLiteral("Ühendus maksesüsteemiga katkes. (Attempt to write on closed socket)")});
    ASSERT_EQ(host.boxes.size(), 1);
    EXPECT_EQ(host.boxes.first().style, 16);
    EXPECT_TRUE(logBytes().startsWith("\"05.03.2026 09:08:07 OUT:\x01"));
}

TEST_F(PaymentSessionTest, CancelAfterTheConnectionSendsAbortAndTheSessionGoesOn)
{
    ASSERT_TRUE(startPayment());
    session->SendAbort();
    const auto f = server.nextFrame();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->field(1), "0005");
    EXPECT_EQ(f->fieldIds(), (std::vector<qint16>{1, 2, 3}));
    EXPECT_EQ(f->field(3), PadNumber(sessionNo(), 6).toLatin1());
    EXPECT_EQ(session->SessionState, State::CardPayment);
    EXPECT_TRUE(host.errorTexts().isEmpty());
}

TEST_F(PaymentSessionTest, CancelDuringReportDecodingSendsNothing)
{
    ASSERT_TRUE(startPayment());
    session->CancelLocked = true;
    session->SendAbort();
    runEventsFor(100);
    EXPECT_EQ(server.pendingFrameCount(), 0);
    EXPECT_EQ(session->SessionState, State::CardPayment);
}

TEST_F(PaymentSessionTest, RefusedConnectionShowsTheSocketsNumberAndDescription)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    settings.fPort = closed.serverPort();
    closed.close();

    QString description;
    QObject::connect(session->Winsock1(), &QAbstractSocket::errorOccurred, [&] {
        description = session->Winsock1()->errorString();
    });
    session->BeginSession();
    ASSERT_TRUE(waitIdle());
    ASSERT_FALSE(description.isEmpty());
    EXPECT_EQ(host.errorTexts(),
              QStringList{QStringLiteral("Ei saa ühendust maksesüsteemiga. (")
                          + QString::number(int(QAbstractSocket::ConnectionRefusedError)) + QStringLiteral(" - ")
                          + description + QStringLiteral(")")});
    ASSERT_EQ(host.boxes.size(), 1);
    EXPECT_EQ(host.boxes.first().style, 16);
}

TEST_F(PaymentSessionTest, SilentServerTimesOutAndTheWindowIsIdle)
{
    session->setTimeouts({5000, 300, 5000});
    ASSERT_TRUE(startPayment());
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(host.errorTexts(), (QStringList{QStringLiteral("Ühendus maksesüsteemiga katkes. (Timeout)"),
                                           SessionText::outcomeUnknown()}));
    EXPECT_EQ(host.calls.last(), QStringLiteral("OpenBox"));
    EXPECT_TRUE(host.calls.contains(QStringLiteral("showIdleLayout")));
    EXPECT_TRUE(waitUntil([&] { return server.peerDisconnected(); }));
}

TEST_F(PaymentSessionTest, KeepAlivesKeepTheSessionPastTheAnswerTimeout)
{
    session->setTimeouts({5000, 400, 5000});
    ASSERT_TRUE(startPayment());
    QElapsedTimer alive;
    alive.start();
    // Keep-alives every 150 ms for more than three answer time-outs.
    while (!alive.hasExpired(1400)) {
        runEventsFor(150);
        server.send(serverFrame("0003", sessionNo()));
    }
    EXPECT_EQ(session->SessionState, State::CardPayment);
    EXPECT_TRUE(host.errorTexts().isEmpty());
    // Silence then ends it.
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(host.errorTexts(), (QStringList{QStringLiteral("Ühendus maksesüsteemiga katkes. (Timeout)"),
                                           SessionText::outcomeUnknown()}));
}

TEST_F(PaymentSessionTest, ServerCloseDuringPaymentShowsSocketClosed)
{
    ASSERT_TRUE(startPayment());
    server.closePeer();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(host.errorTexts(), (QStringList{QStringLiteral("Ühendus maksesüsteemiga katkes. (Socket closed)"),
                                           SessionText::outcomeUnknown()}));
}

TEST_F(PaymentSessionTest, ServerCloseWhileClosingShowsNothing)
{
    server.answerClose = false;
    ASSERT_TRUE(startPayment());
    server.send(serverFrame("0012", sessionNo(), {{13, int32Bytes(5150)}}));
    const auto close = server.nextFrame();
    ASSERT_TRUE(close);
    EXPECT_EQ(close->field(1), "0023");
    EXPECT_EQ(session->SessionState, State::Closing);
    server.closePeer();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(host.errorTexts().isEmpty());
    EXPECT_EQ(host.finalStatuses.last(), QStringLiteral("Toiming on teostatud. Kviitungi number: 5150"));
}

TEST_F(PaymentSessionTest, CloseTimeoutAfterApprovalIsSilent)
{
    server.answerClose = false;
    session->setTimeouts({5000, 5000, 200});
    ASSERT_TRUE(startPayment());
    server.send(serverFrame("0012", sessionNo(), {{13, int32Bytes(9)}}));
    ASSERT_TRUE(server.nextFrame());
    EXPECT_EQ(session->Timer1()->interval(), 200);
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(host.errorTexts().isEmpty());
    EXPECT_EQ(host.finalStatuses.last(), QStringLiteral("Toiming on teostatud. Kviitungi number: 9"));
}

TEST_F(PaymentSessionTest, DataAfterIdleIsIgnored)
{
    ASSERT_TRUE(startPayment());
    QTcpSocket *peer = server.peer();
    session->ReturnToIdle();
    const int callsAtIdle = int(host.calls.size());
    peer->write(serverFrame("0002", sessionNo(), {{5, "late"}}));
    peer->write(serverFrame("0008", sessionNo(), {{5, "late box"}}));
    peer->flush();
    runEventsFor(200);
    EXPECT_EQ(host.calls.size(), callsAtIdle);
    EXPECT_TRUE(host.statusLines.isEmpty());
    EXPECT_TRUE(session->ReceiveBuffer.isEmpty());
}

TEST_F(PaymentSessionTest, CardTextNeverReachesAnyFileAndTheFieldIsEmptied)
{
    const QString track = QStringLiteral(";4111111111111111=25121010000012345678?");
    const auto f = startPayment(QStringLiteral("12,50"), track);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->field(5), track.toLatin1());
    server.send(serverFrame("0002", sessionNo(), {{5, "Sisestage PIN"}}));
    server.send(serverFrame("0009", sessionNo(), {{5, "PIN"}, {14, bytesOf({1})}}));
    ASSERT_TRUE(waitUntil([&] { return host.boxes.size() == 1; }));
    session->InputResponse(1, QStringLiteral("4111111111111111"));
    ASSERT_TRUE(server.nextFrame());
    server.send(serverFrame("0012", sessionNo(), {{13, int32Bytes(1)}}));
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(host.fields.value(1).isEmpty());

    expectNoFileHolds({"4111111111111111", "=2512101"});
}

} // namespace
