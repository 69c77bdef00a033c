// The dispatcher: which frames are taken, for whom, in what order, and what
// each handler does to the window, the log and the session.
#include "SessionFixture.h"

#include "common/Helpers.h"

namespace {

using State = PaymentSession::State;

class IncomingMessagesTest : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        const auto request = startPayment();
        ASSERT_TRUE(request);
        // Only what the handlers log from here on.
        QFile::remove(logPath());
    }
    QByteArray frame(QByteArrayView code, Fields fields = {}) { return serverFrame(code, sessionNo(), fields); }
};

TEST_F(IncomingMessagesTest, StatusTextGoesToTheStatusLineAndTheLog)
{
    server.send(frame("0002", {{5, "Sisestage kaart \xF5\xE4\xF6\xFC"}}));
    ASSERT_TRUE(waitUntil([&] { return !host.statusLines.isEmpty(); }));
    EXPECT_EQ(host.statusLines, QStringList{QStringLiteral("Sisestage kaart õäöü")});
    EXPECT_EQ(logBytes(), QByteArray("05.03.2026 09:08:07 StatusText: Sisestage kaart \xF5\xE4\xF6\xFC"));
}

TEST_F(IncomingMessagesTest, TwoFramesInOneReadAreBothHandledInOrder)
{
    server.send(frame("0002", {{5, "first"}}) + frame("0008", {{5, "second"}, {10, int32Bytes(4)}}));
    ASSERT_TRUE(waitUntil([&] { return !host.boxes.isEmpty(); }));
    EXPECT_EQ(host.statusLines, QStringList{QStringLiteral("first")});
    const qsizetype status = host.calls.indexOf(QStringLiteral("setStatusLine"));
    EXPECT_LT(status, host.calls.lastIndexOf(QStringLiteral("OpenBox")));
    EXPECT_EQ(logBytes(), QByteArray("05.03.2026 09:08:07 StatusText: first"
                                     "05.03.2026 09:08:07 ButtonBox: second"));
}

// The frame behind a dropped one is handled in the same pass, not at the
// next data arrival: a server that sends nothing more after it (an approval
// waiting for "0023") would otherwise see the console time out.
TEST_F(IncomingMessagesTest, FrameForAnotherPosIsDroppedAndTheNextIsHandledAtOnce)
{
    const QByteArray other = serverFrame("0002", sessionNo(), {{5, "not ours"}}, "11111111");
    const QByteArray valid = frame("0002", {{5, "ours"}});
    server.send(other + valid);
    ASSERT_TRUE(waitUntil([&] { return !host.statusLines.isEmpty(); }));
    EXPECT_EQ(host.statusLines, QStringList{QStringLiteral("ours")});
    EXPECT_TRUE(session->ReceiveBuffer.isEmpty());
    EXPECT_FALSE(logBytes().contains("not ours"));
}

TEST_F(IncomingMessagesTest, FrameWithoutPosOrSessionIsDropped)
{
    VaroManager m;
    m.AddField(1, "0002");
    m.AddField(5, "no address");
    const std::string out = m.GetOutput(true, false);
    const QByteArray after = frame("0002", {{5, "after"}});
    server.send(QByteArray(out.data(), qsizetype(out.size())) + after);
    ASSERT_TRUE(waitUntil([&] { return !host.statusLines.isEmpty(); }));
    EXPECT_EQ(host.statusLines, QStringList{QStringLiteral("after")});
    EXPECT_TRUE(session->ReceiveBuffer.isEmpty());
}

struct SessionFieldRow {
    const char *name;
    QByteArray field3;   // "%" stands for the current session number
    bool accepted;
};

class SessionFieldTest : public IncomingMessagesTest, public ::testing::WithParamInterface<SessionFieldRow> {};

TEST_P(SessionFieldTest, SessionIsComparedByValue)
{
    QByteArray field3 = GetParam().field3;
    field3.replace("%", QByteArray::number(sessionNo()));
    // The sentinel behind the frame is handled either way; it tells when the
    // frame has been looked at.
    const QByteArray sentinel = frame("0002", {{5, "sentinel"}});
    server.send(serverFrameRaw("0002", field3, {{5, "status"}}, "00000000") + sentinel);
    ASSERT_TRUE(waitUntil([&] { return host.statusLines.contains(QStringLiteral("sentinel")); }));
    if (GetParam().accepted)
        EXPECT_EQ(host.statusLines, (QStringList{QStringLiteral("status"), QStringLiteral("sentinel")}));
    else
        EXPECT_EQ(host.statusLines, QStringList{QStringLiteral("sentinel")});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SessionFieldTest,
    ::testing::Values(SessionFieldRow{"unpadded", "%", true}, SessionFieldRow{"padded", "000000%", true},
                      SessionFieldRow{"blanks", " % ", true}, SessionFieldRow{"decimalZero", "%.0", true},
                      SessionFieldRow{"earlierSession", "0", false}, SessionFieldRow{"fraction", "%.5", false},
                      SessionFieldRow{"trailingLetter", "%a", false}, SessionFieldRow{"empty", "", false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(IncomingMessagesTest, KeepAliveRestartsTheRunningTimeout)
{
    session->Timer1()->setInterval(5000);
    server.send(frame("0003"));
    ASSERT_TRUE(waitUntil([&] { return logBytes().contains("KeepAlive."); }));
    EXPECT_TRUE(session->Timer1()->isActive());
    EXPECT_GT(session->Timer1()->remainingTime(), 4000);
    EXPECT_EQ(logBytes(), QByteArray("05.03.2026 09:08:07 KeepAlive."));
}

TEST_F(IncomingMessagesTest, KeepAliveLeavesAStoppedTimerStopped)
{
    session->Timer1()->stop();
    server.send(frame("0003"));
    ASSERT_TRUE(waitUntil([&] { return logBytes().contains("KeepAlive."); }));
    EXPECT_FALSE(session->Timer1()->isActive());
}

TEST_F(IncomingMessagesTest, ReleaseBoxesLogsAndClosesEveryBox)
{
    server.send(frame("0004"));
    ASSERT_TRUE(waitUntil([&] { return host.calls.contains(QStringLiteral("CloseAllBoxes")); }));
    EXPECT_EQ(logBytes(), QByteArray("05.03.2026 09:08:07 ReleaseBoxes."));
}

TEST_F(IncomingMessagesTest, ButtonBoxPassesTheStyleAndTheAnswerGoesBack)
{
    const qint32 style = 4 + 32 + 256;
    server.send(frame("0008", {{10, int32Bytes(style)}, {5, "Kas j\xE4tkata?"}}));
    ASSERT_TRUE(waitUntil([&] { return !host.boxes.isEmpty(); }));
    EXPECT_EQ(host.boxes.first().kind, 1);
    EXPECT_EQ(host.boxes.first().style, style);
    EXPECT_EQ(host.boxes.first().text, QStringLiteral("Kas jätkata?"));
    session->ButtonResponse(7);
    const auto answer = server.nextFrame();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->field(1), "0010");
    EXPECT_EQ(answer->field(11), bytesOf({7}));
    EXPECT_EQ(logBytes(), "05.03.2026 09:08:07 ButtonBox: Kas j\xE4tkata?\"05.03.2026 09:08:07 OUT:"
                              + answer->raw + "\"\r\n");
}

TEST_F(IncomingMessagesTest, ButtonBoxWithoutStyleHasStyleZero)
{
    server.send(frame("0008", {{5, "?"}}));
    ASSERT_TRUE(waitUntil([&] { return !host.boxes.isEmpty(); }));
    EXPECT_EQ(host.boxes.first().style, 0);
}

struct MaskRow {
    const char *name;
    std::optional<QByteArray> field14;
    quint8 kind;
};

class InputBoxKind : public IncomingMessagesTest, public ::testing::WithParamInterface<MaskRow> {};

TEST_P(InputBoxKind, IsMaskedOnlyForTheSingleByteOne)
{
    QByteArray f = GetParam().field14 ? frame("0009", {{10, int32Bytes(1)}, {5, "PIN"}, {14, *GetParam().field14}})
                                      : frame("0009", {{10, int32Bytes(1)}, {5, "PIN"}});
    server.send(f);
    ASSERT_TRUE(waitUntil([&] { return !host.boxes.isEmpty(); }));
    EXPECT_EQ(host.boxes.first().kind, GetParam().kind);
    EXPECT_EQ(host.boxes.first().style, 1);
    EXPECT_EQ(logBytes(), QByteArray("05.03.2026 09:08:07 InputBox: PIN"));
}

INSTANTIATE_TEST_SUITE_P(Rows, InputBoxKind,
                         ::testing::Values(MaskRow{"one", bytesOf({1}), 3}, MaskRow{"zero", bytesOf({0}), 2},
                                           MaskRow{"oneOne", bytesOf({1, 1}), 2},
                                           MaskRow{"absent", std::nullopt, 2}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(IncomingMessagesTest, InputAnswerIsSentButNeverLogged)
{
    server.send(frame("0009", {{5, "Sisesta kood"}}));
    ASSERT_TRUE(waitUntil([&] { return !host.boxes.isEmpty(); }));
    session->InputResponse(1, QStringLiteral("salajane 9876"));
    const auto answer = server.nextFrame();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->field(1), "0011");
    EXPECT_EQ(answer->fieldIds(), (std::vector<qint16>{1, 2, 3, 11, 5}));
    EXPECT_EQ(answer->field(11), bytesOf({1}));
    EXPECT_EQ(answer->field(5), "salajane 9876");
    const QByteArray log = logBytes();
    EXPECT_EQ(log, QByteArray("05.03.2026 09:08:07 InputBox: Sisesta kood"
                              "\"05.03.2026 09:08:07 OUT:Input response.\"\r\n"));
    EXPECT_FALSE(log.contains("9876"));
}

TEST_F(IncomingMessagesTest, AnswersAfterTheSessionEndedAreDropped)
{
    session->ReturnToIdle();
    const qsizetype callsBefore = host.calls.size();
    session->ButtonResponse(1);
    session->InputResponse(1, QStringLiteral("late"));
    runEventsFor(50);
    EXPECT_EQ(server.pendingFrameCount(), 0);
    EXPECT_EQ(host.calls.size(), callsBefore);
    EXPECT_TRUE(logBytes().isEmpty());
}

TEST_F(IncomingMessagesTest, CloseReplyOutsideClosingChangesNothing)
{
    server.send(frame("0023") + frame("0002", {{5, "still here"}}));
    ASSERT_TRUE(waitUntil([&] { return !host.statusLines.isEmpty(); }));
    EXPECT_EQ(session->SessionState, State::CardPayment);
    EXPECT_TRUE(host.finalStatuses.isEmpty());
    EXPECT_EQ(host.statusLines, QStringList{QStringLiteral("still here")});
}

TEST_F(IncomingMessagesTest, ApprovalPrintsClearsFieldsAndShowsTheStanAfterTheServersClose)
{
    for (int n : {1, 2, 3, 4, 7, 8, 9})
        host.fields[n] = QString::number(n);
    const QByteArray receipt = serverFrame("0000", 0, {{1, "KVIITUNG"}});
    server.send(frame("0012", {{13, int32Bytes(123456)}, {12, receipt}}));
    const auto close = server.nextFrame();
    ASSERT_TRUE(close);
    EXPECT_EQ(close->field(1), "0023");
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(host.receipts.size(), 1);
    EXPECT_EQ(host.receipts.first().first, receipt);
    EXPECT_EQ(host.receipts.first().second, 123456);
    for (int n : {1, 2, 3, 4, 7, 8, 9})
        EXPECT_TRUE(host.fields.value(n).isEmpty()) << n;
    EXPECT_EQ(host.finalStatuses, QStringList{QStringLiteral("Toiming on teostatud. Kviitungi number: 123456")});
    EXPECT_TRUE(host.errorTexts().isEmpty());
    EXPECT_EQ(logBytes(), "05.03.2026 09:08:07 ApproveMessage: STAN=123456\"05.03.2026 09:08:07 OUT:"
                              + close->raw + "\"\r\n");
}

TEST_F(IncomingMessagesTest, ApprovalWithoutReceiptAndShortStanPrintsNothingAndReadsZero)
{
    server.send(frame("0012", {{13, bytesOf({1, 2, 3})}}));
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(host.receipts.isEmpty());
    EXPECT_TRUE(logBytes().startsWith("05.03.2026 09:08:07 ApproveMessage: STAN=0\""));
    EXPECT_EQ(host.finalStatuses, QStringList{QStringLiteral("Toiming on teostatud. Kviitungi number: 0")});
}

TEST_F(IncomingMessagesTest, ApprovalPrintsNothingWhenPrintingIsOff)
{
    settings.fDoPrint = false;
    server.send(frame("0012", {{13, int32Bytes(5)}, {12, serverFrame("0000", 0, {{1, "x"}})}}));
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(host.receipts.isEmpty());
    EXPECT_EQ(host.finalStatuses, QStringList{QStringLiteral("Toiming on teostatud. Kviitungi number: 5")});
}

struct DeclineRow {
    const char *name;
    const char *code;
};

class DeclineTest : public IncomingMessagesTest, public ::testing::WithParamInterface<DeclineRow> {};

TEST_P(DeclineTest, LogsClosesThenShowsTheText)
{
    QByteArray logAtBox;
    host.onOpenBox = [&](const BoxCall &) { logAtBox = logBytes(); };
    server.send(frame(GetParam().code, {{5, "Kaart on suletud"}, {9, "05"}}));
    const auto close = server.nextFrame();
    ASSERT_TRUE(close);
    EXPECT_EQ(close->field(1), "0023");
    ASSERT_TRUE(waitUntil([&] { return !host.boxes.isEmpty(); }));
    EXPECT_EQ(host.boxes.first().kind, 0);
    EXPECT_EQ(host.boxes.first().style, 16);
    EXPECT_EQ(host.boxes.first().text, QStringLiteral("Kaart on suletud"));
    // The close request went out before the box opened.
    EXPECT_EQ(logAtBox, "05.03.2026 09:08:07 Transaction Declined: 05 - Kaart on suletud"
                        "\"05.03.2026 09:08:07 OUT:" + close->raw + "\"\r\n");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(host.boxes.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Rows, DeclineTest,
                         ::testing::Values(DeclineRow{"declined0006", "0006"}, DeclineRow{"declined0013", "0013"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(IncomingMessagesTest, DeclineWithoutReasonLogsHashes)
{
    server.send(frame("0006", {{5, "Keeldutud"}}));
    ASSERT_TRUE(waitUntil([&] { return !host.boxes.isEmpty(); }));
    EXPECT_TRUE(logBytes().startsWith("05.03.2026 09:08:07 Transaction Declined: ### - Keeldutud\""));
}

// A special command's answer in a payment closed the payment as a command,
// without its outcome.
TEST_F(IncomingMessagesTest, PosCommandResponseInAPaymentIsLoggedAndIgnored)
{
    server.send(frame("0027", {{5, "ignored"}}));
    ASSERT_TRUE(waitUntil([&] { return logBytes().contains("Command response ignored"); }));
    EXPECT_EQ(logBytes(), QByteArray("05.03.2026 09:08:07 Command response ignored: no special command was sent."));
    EXPECT_EQ(session->SessionState, State::CardPayment);
    EXPECT_TRUE(host.finalStatuses.isEmpty());
}

// A report answer in the middle of a payment ended the payment without its
// outcome and wrote a report with the settings of an earlier request.
TEST_F(IncomingMessagesTest, ReportAnswerInAPaymentIsLoggedAndIgnored)
{
    server.send(frame("0020", {{10, int32Bytes(0)}, {6, int32Bytes(0)}}) + frame("0002", {{5, "after"}}));
    ASSERT_TRUE(waitUntil([&] { return !host.statusLines.isEmpty(); }));
    EXPECT_TRUE(host.reports.empty()) << "the decoder got a report answer in a payment";
    EXPECT_EQ(session->SessionState, State::CardPayment);
    EXPECT_TRUE(host.errorTexts().isEmpty());
    EXPECT_EQ(logBytes(), QByteArray("05.03.2026 09:08:07 Report data ignored: no report was requested."
                                     "05.03.2026 09:08:07 StatusText: after"));
    server.send(frame("0012", {{13, int32Bytes(5)}}));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(host.finalStatuses.last(), QStringLiteral("Toiming on teostatud. Kviitungi number: 5"));
}

TEST_F(IncomingMessagesTest, UnknownCodesAreIgnored)
{
    server.send(frame("0007") + frame("0021") + frame("9999") + frame("0002", {{5, "after"}}));
    ASSERT_TRUE(waitUntil([&] { return !host.statusLines.isEmpty(); }));
    EXPECT_EQ(host.statusLines, QStringList{QStringLiteral("after")});
    EXPECT_EQ(host.calls.count(QStringLiteral("OpenBox")), 0);
}

TEST_F(IncomingMessagesTest, BadFrameIsDroppedAndTheFrameBehindItIsHandledAtOnce)
{
    QByteArray bad = frame("0002", {{5, "bad"}});
    bad.back() = char(bad.back() ^ 0x55);
    const QByteArray good = frame("0002", {{5, "good"}});
    server.send(bad + good);
    ASSERT_TRUE(waitUntil([&] { return !host.statusLines.isEmpty(); }));
    EXPECT_EQ(host.statusLines, QStringList{QStringLiteral("good")});
    EXPECT_TRUE(session->ReceiveBuffer.isEmpty());
}

// Bytes that cannot begin a frame blocked the buffer for good: every frame
// behind them, an approval too, waited for the time-out.
TEST_F(IncomingMessagesTest, BytesBeforeTheStartByteAreDroppedAndTheFrameBehindIsHandled)
{
    server.send("garbage" + frame("0002", {{5, "behind"}}));
    ASSERT_TRUE(waitUntil([&] { return !host.statusLines.isEmpty(); }));
    EXPECT_EQ(host.statusLines, QStringList{QStringLiteral("behind")});
    EXPECT_TRUE(session->ReceiveBuffer.isEmpty());
    EXPECT_EQ(session->SessionState, State::CardPayment);
    EXPECT_TRUE(host.errorTexts().isEmpty());
}

TEST_F(IncomingMessagesTest, BytesWithoutAnyStartByteAreDroppedWhole)
{
    server.send(QByteArray("no frame here\r\n"));
    runEventsFor(100);
    EXPECT_TRUE(session->ReceiveBuffer.isEmpty()) << "kept: " << session->ReceiveBuffer.toStdString();
    server.send(frame("0002", {{5, "next"}}));
    ASSERT_TRUE(waitUntil([&] { return !host.statusLines.isEmpty(); }));
    EXPECT_EQ(host.statusLines, QStringList{QStringLiteral("next")});
}

// Short garbage is dropped as it comes: it need not wait for six bytes.
TEST_F(IncomingMessagesTest, AFewBytesBeforeAFrameSplitAcrossReadsAreDropped)
{
    const QByteArray f = frame("0002", {{5, "split"}});
    server.send("xy" + f.left(3));
    ASSERT_TRUE(waitUntil([&] { return session->ReceiveBuffer == f.left(3); }));
    server.send(f.mid(3));
    ASSERT_TRUE(waitUntil([&] { return !host.statusLines.isEmpty(); }));
    EXPECT_EQ(host.statusLines, QStringList{QStringLiteral("split")});
}

TEST_F(IncomingMessagesTest, FrameSplitIntoSingleBytesIsHandledOnce)
{
    const QByteArray f = frame("0002", {{5, "slow"}});
    for (char c : f) {
        server.send(QByteArray(1, c));
        runEventsFor(2);
    }
    ASSERT_TRUE(waitUntil([&] { return !host.statusLines.isEmpty(); }));
    EXPECT_EQ(host.statusLines, QStringList{QStringLiteral("slow")});
    EXPECT_TRUE(session->ReceiveBuffer.isEmpty());
}

} // namespace
