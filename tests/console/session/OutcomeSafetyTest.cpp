// Outcomes the cashier must be told right: an approval is never lost behind
// something the console drops, never taken for a failure; a report answer
// ends nothing but a report; a cancel reaches the server after the request it
// cancels; and no server text writes a log entry of its own.
#include "SessionFixture.h"

#include "common/Helpers.h"
#include "reports/ReportRequest.h"
#include "session/TransactionLog.h"

namespace {

using State = PaymentSession::State;

const QString kApproved = QStringLiteral("Toiming on teostatud. Kviitungi number: ");

class OutcomeSafetyTest : public SessionFixture {
protected:
    QByteArray frame(QByteArrayView code, Fields fields = {}) { return serverFrame(code, sessionNo(), fields); }
    QByteArray approval(qint32 stan) { return frame("0012", {{13, int32Bytes(stan)}}); }

    // The session ended as an approval with this STAN, and nothing reported
    // a failure.
    void expectApproved(qint32 stan)
    {
        ASSERT_TRUE(waitIdle());
        runEventsFor(50);
        EXPECT_EQ(host.finalStatuses.last(), kApproved + QString::number(stan));
        EXPECT_TRUE(host.errorTexts().isEmpty()) << host.errorTexts().join(u'|').toStdString();
    }
};

// --- Frames behind a dropped one ----------------------------------------------------
//
// The server sends its approval right behind a frame the console drops and
// then waits for "0023"; it sends nothing more, not even a keep-alive. The
// console must handle the approval in the same pass, or it shows "(Timeout)"
// for an approved payment. The answer time-out is short here so that a
// console that waited for more data would fail the test.

struct DroppedFrameRow {
    const char *name;
    QByteArray (*dropped)(qint32 session);
};

class ApprovalBehindADroppedFrame : public OutcomeSafetyTest,
                                    public ::testing::WithParamInterface<DroppedFrameRow> {};

TEST_P(ApprovalBehindADroppedFrame, IsHandledWithoutWaitingForMoreData)
{
    session->setTimeouts({5000, 1500, 5000});
    ASSERT_TRUE(startPayment());
    server.send(GetParam().dropped(sessionNo()) + approval(4711));
    expectApproved(4711);
    EXPECT_EQ(host.statusLines, QStringList{}) << "the dropped frame was handled";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ApprovalBehindADroppedFrame,
    ::testing::Values(
        DroppedFrameRow{"BadCheckByte",
                        [](qint32 s) {
                            QByteArray bad = serverFrame("0002", s, {{5, "bad"}});
                            bad.back() = char(bad.back() ^ 0x55);
                            return bad;
                        }},
        DroppedFrameRow{"AnotherPos", [](qint32 s) { return serverFrame("0002", s, {{5, "other POS"}}, "99999999"); }},
        DroppedFrameRow{"AnotherSession", [](qint32 s) { return serverFrame("0002", s - 1, {{5, "old session"}}); }},
        DroppedFrameRow{"RepeatedFieldId",
                        [](qint32 s) {
                            // Field 5 twice: the codec refuses to build it, so by hand.
                            QByteArray f = serverFrame("0002", s, {{5, "first"}});
                            const QByteArray record = f.mid(f.size() - 1 - (6 + 5), 6 + 5);
                            f.insert(f.size() - 1, record);
                            const qint32 body = qint32(f.size() - 6);
                            f.replace(1, 4, int32Bytes(body));
                            char check = 0;
                            for (qsizetype i = 0; i + 1 < f.size(); ++i)
                                check = char(check ^ f[i]);
                            f.back() = check;
                            return f;
                        }},
        DroppedFrameRow{"BytesThatAreNotAFrame", [](qint32) { return QByteArray("HTTP/1.0 400 Bad Request\r\n\r\n"); }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(OutcomeSafetyTest, SeveralDroppedFramesInARowAreAllPassedInOnePass)
{
    session->setTimeouts({5000, 1500, 5000});
    ASSERT_TRUE(startPayment());
    QByteArray bad = frame("0002", {{5, "bad"}});
    bad.back() = char(bad.back() ^ 0x55);
    server.send(bad + serverFrame("0002", sessionNo(), {{5, "x"}}, "1") + "\xff\xfe" + bad
                + frame("0002", {{5, "ours"}}) + approval(12));
    expectApproved(12);
    EXPECT_EQ(host.statusLines, QStringList{QStringLiteral("ours")});
}

// An incomplete frame still waits for the rest: going on with "what follows"
// would cut a frame that is on its way.
TEST_F(OutcomeSafetyTest, IncompleteFrameBehindADroppedOneWaitsForItsRest)
{
    ASSERT_TRUE(startPayment());
    QByteArray bad = frame("0002", {{5, "bad"}});
    bad.back() = char(bad.back() ^ 0x55);
    const QByteArray whole = approval(99);
    server.send(bad + whole.left(9));
    ASSERT_TRUE(waitUntil([&] { return session->ReceiveBuffer == whole.left(9); }));
    EXPECT_EQ(session->SessionState, State::CardPayment);
    server.send(whole.mid(9));
    expectApproved(99);
}

// --- Report answers outside a report request -----------------------------------------

TEST_F(OutcomeSafetyTest, ReportAnswerInTheReportRequestGoesToTheDecoder)
{
    host.onDecodeReport = [&](const VaroManager &) {
        session->Winsock1()->close();
        session->Timer1()->stop();
        session->CancelLocked = true;
        session->ReturnToIdle();
    };
    ReportRequest::ofDialog(QDate(2026, 3, 1), QDate(2026, 3, 5), 0, 1).startOn(*session);
    ASSERT_TRUE(server.waitForPeer());
    ASSERT_TRUE(server.nextFrame());
    ASSERT_EQ(session->SessionState, State::ReportRequest);
    server.send(frame("0020", {{10, int32Bytes(0)}, {6, int32Bytes(0)}}));
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(host.reports.size(), 1u);
    EXPECT_EQ(host.reports.front().GetFieldData(1), "0020");
    // The decoder's own close is no server close.
    EXPECT_TRUE(host.errorTexts().isEmpty());
    EXPECT_FALSE(session->CancelLocked);
    EXPECT_FALSE(logBytes().contains("Report data ignored"));
}

struct OtherStateRow {
    const char *name;
    int tab;            // 0: a special command
    QByteArray request;
};

class ReportAnswerOutsideAReportRequest : public OutcomeSafetyTest,
                                          public ::testing::WithParamInterface<OtherStateRow> {};

TEST_P(ReportAnswerOutsideAReportRequest, IsLoggedAndIgnoredAndTheSessionGoesOn)
{
    const OtherStateRow &row = GetParam();
    host.fields = {{2, QStringLiteral("5,00")}, {3, QStringLiteral("7")}, {4, QStringLiteral("7")},
                   {7, QStringLiteral("5,00")}, {8, QStringLiteral("7")}, {9, QStringLiteral("5,00")}};
    host.tab = row.tab;
    if (row.tab == 0)
        session->PreparePOSCommand(1);
    else
        session->BeginSession();
    ASSERT_TRUE(server.waitForPeer());
    const auto request = server.nextFrame();
    ASSERT_TRUE(request);
    ASSERT_EQ(request->field(1), row.request);
    const qint16 state = session->SessionState;

    server.send(frame("0020", {{10, int32Bytes(0)}, {6, int32Bytes(0)}}));
    ASSERT_TRUE(waitUntil([&] { return logBytes().contains("Report data ignored: no report was requested."); }));
    EXPECT_TRUE(host.reports.empty());
    EXPECT_EQ(session->SessionState, state);
    EXPECT_TRUE(host.errorTexts().isEmpty());

    server.send(row.tab == 0 ? frame("0027") : approval(31));
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(host.reports.empty());
    EXPECT_EQ(host.finalStatuses.last(),
              row.tab == 0 ? QStringLiteral("Toiming täitmiseks võetud.") : kApproved + QStringLiteral("31"));
}

INSTANTIATE_TEST_SUITE_P(Rows, ReportAnswerOutsideAReportRequest,
                         ::testing::Values(OtherStateRow{"Payment", 1, "0001"}, OtherStateRow{"Cancellation", 2, "0016"},
                                           OtherStateRow{"Tip", 3, "0017"}, OtherStateRow{"Booking", 4, "0001"},
                                           OtherStateRow{"BookingCompletion", 5, "0018"},
                                           OtherStateRow{"PosCommand", 0, "0026"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(OutcomeSafetyTest, ReportAnswerWhileClosingIsIgnored)
{
    server.answerClose = false;
    ASSERT_TRUE(startPayment());
    server.send(approval(8));
    ASSERT_TRUE(waitUntil([&] { return session->SessionState == State::Closing; }));
    server.send(frame("0020", {{10, int32Bytes(0)}, {6, int32Bytes(0)}}) + frame("0023"));
    expectApproved(8);
    EXPECT_TRUE(host.reports.empty());
}

// --- "Loobu" while the request is built ----------------------------------------------

// Building a frame lets events run once per field; a cancel pressed then went
// out before the request, and the server never saw it as a cancel.
TEST_F(OutcomeSafetyTest, CancelPressedWhileTheRequestIsBuiltIsSentRightAfterTheRequest)
{
    bool pressed = false;
    host.onProcessEvents = [&] {
        if (!pressed && session->SessionState == State::CardPayment) {
            pressed = true;
            session->SendAbort();
        }
    };
    ASSERT_TRUE(startPayment().has_value());
    ASSERT_TRUE(pressed) << "no event pump while the request was built";
    const auto second = server.nextFrame();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->field(1), "0005");
    EXPECT_EQ(second->field(3), PadNumber(sessionNo(), 6).toLatin1());
    runEventsFor(50);
    EXPECT_EQ(server.pendingFrameCount(), 0) << "one cancel only";
    EXPECT_EQ(session->SessionState, State::CardPayment);
    EXPECT_TRUE(host.errorTexts().isEmpty());
    // The log has the request's line before the cancel's.
    const QByteArray log = logBytes();
    const qsizetype request = log.indexOf("OUT:Starting Transaction: Session=");
    const qsizetype cancel = log.indexOf(QByteArray("OUT:") + second->raw);
    ASSERT_GE(request, 0);
    ASSERT_GE(cancel, 0);
    EXPECT_LT(request, cancel);
}

TEST_F(OutcomeSafetyTest, FirstFrameOnTheWireIsTheRequestForEveryTransaction)
{
    for (int tab : {2, 3, 5}) {
        SCOPED_TRACE(tab);
        bool pressed = false;
        host.onProcessEvents = [&] {
            if (!pressed && session->SessionState >= State::CardPayment && session->SessionState <= State::BookingCompletion) {
                pressed = true;
                session->SendAbort();
            }
        };
        host.fields = {{3, QStringLiteral("7")}, {4, QStringLiteral("7")}, {7, QStringLiteral("5,00")},
                       {8, QStringLiteral("7")}, {9, QStringLiteral("5,00")}};
        host.tab = tab;
        session->BeginSession();
        ASSERT_TRUE(waitUntil([&] { return server.pendingFrameCount() >= 2; }));
        const auto first = server.nextFrame();
        const auto second = server.nextFrame();
        ASSERT_TRUE(first && second);
        EXPECT_EQ(first->field(1), tab == 2 ? "0016" : tab == 3 ? "0017" : "0018");
        EXPECT_EQ(second->field(1), "0005");
        host.onProcessEvents = nullptr;
        session->ReturnToIdle();
    }
}

// A cancel whose session ended while the request was being built goes
// nowhere: the session is over, and nothing is reported on it.
TEST_F(OutcomeSafetyTest, CancelHeldForARequestWhoseSessionEndedIsDropped)
{
    bool pressed = false;
    host.onProcessEvents = [&] {
        if (!pressed && session->SessionState == State::CardPayment) {
            pressed = true;
            session->SendAbort();
            session->ReturnToIdle();
        }
    };
    host.fields[2] = QStringLiteral("12,50");
    session->BeginSession();
    ASSERT_TRUE(waitUntil([&] { return pressed; }));
    ASSERT_TRUE(waitIdle());
    runEventsFor(100);
    EXPECT_EQ(server.pendingFrameCount(), 0);
    EXPECT_TRUE(host.errorTexts().isEmpty());
    EXPECT_FALSE(logBytes().contains("OUT:\x01")) << "the held cancel was sent";
}

// --- Server text in the log -------------------------------------------------------------

TEST(ServerTextEscapeTest, ControlBytesQuotesAndBackslashesAreEscaped)
{
    EXPECT_EQ(TransactionLog::escapeServerText("a\r\nb"), QByteArray("a\\r\\nb"));
    EXPECT_EQ(TransactionLog::escapeServerText("\"quoted\""), QByteArray("\\\"quoted\\\""));
    EXPECT_EQ(TransactionLog::escapeServerText("tab\there"), QByteArray("tab\\there"));
    EXPECT_EQ(TransactionLog::escapeServerText("C:\\x"), QByteArray("C:\\\\x"));
    EXPECT_EQ(TransactionLog::escapeServerText(QByteArrayView("\x00\x01\x1f\x1b", 4)), QByteArray("\\x00\\x01\\x1F\\x1B"));
}

TEST(ServerTextEscapeTest, OtherBytesAreKeptAsTheyAre)
{
    QByteArray all;
    for (int b = 0x20; b <= 0xFF; ++b)
        if (b != '"' && b != '\\')
            all += char(b);
    EXPECT_EQ(TransactionLog::escapeServerText(all), all);
    EXPECT_EQ(TransactionLog::escapeServerText(""), QByteArray());
}

// A status, prompt or decline text with CR LF and quotes wrote what looked
// like an outgoing entry of the console's own.
TEST_F(OutcomeSafetyTest, ServerTextsCannotForgeLogEntries)
{
    ASSERT_TRUE(startPayment());
    const QByteArray forged = "x\"\r\n\"05.03.2026 09:08:07 OUT:Starting Transaction: Session=000099, Amount=1\"\r\n";
    server.send(frame("0002", {{5, forged}}) + frame("0008", {{5, forged}, {10, int32Bytes(0)}})
                + frame("0009", {{5, forged}, {10, int32Bytes(0)}}));
    ASSERT_TRUE(waitUntil([&] { return host.boxes.size() == 2; }));
    server.send(frame("0006", {{5, forged}, {9, "5\r\n1"}}));
    ASSERT_TRUE(waitIdle());

    // The window still shows the server's texts as they are.
    EXPECT_EQ(host.statusLines, QStringList{QString::fromLatin1(forged)});
    EXPECT_EQ(host.boxes.first().text, QString::fromLatin1(forged));

    const QByteArray log = logBytes();
    const QByteArray escaped = TransactionLog::escapeServerText(forged);
    EXPECT_TRUE(log.contains("StatusText: " + escaped));
    EXPECT_TRUE(log.contains("ButtonBox: " + escaped));
    EXPECT_TRUE(log.contains("InputBox: " + escaped));
    EXPECT_TRUE(log.contains("Transaction Declined: 5\\r\\n1 - " + escaped));
    // Every line of the file is one the console wrote: the request's line,
    // then the event entries running on until the close request ends them.
    const QList<QByteArray> lines = log.split('\n');
    ASSERT_EQ(lines.size(), 3) << log.toStdString();
    EXPECT_TRUE(lines[0].startsWith("\"05.03.2026 09:08:07 OUT:Starting Transaction: Session="));
    EXPECT_TRUE(lines[0].endsWith("\"\r"));
    EXPECT_TRUE(lines[1].startsWith("05.03.2026 09:08:07 StatusText: "));
    const qsizetype closeEntry = lines[1].lastIndexOf("\"05.03.2026 09:08:07 OUT:\x01");
    ASSERT_GT(closeEntry, 0);
    const QByteArray events = lines[1].left(closeEntry);
    EXPECT_FALSE(events.contains('\r'));
    EXPECT_EQ(lines[2], QByteArray());
}

// The frames the console sends are logged byte for byte, control bytes and
// all: only the server's text is escaped.
TEST_F(OutcomeSafetyTest, OutgoingFramesAreStillLoggedByteForByte)
{
    ASSERT_TRUE(startPayment());
    server.send(approval(3));
    ASSERT_TRUE(waitIdle());
    const auto close = server.nextFrame();
    ASSERT_TRUE(close);
    EXPECT_EQ(close->field(1), "0023");
    EXPECT_TRUE(logBytes().endsWith("OUT:" + close->raw + "\"\r\n")) << logBytes().toStdString();
}

} // namespace
