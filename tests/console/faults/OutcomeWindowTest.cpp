// Faults in what the cashier was told, each shown through the real main
// window against the simulator in this process: an approval behind a frame
// the console drops or behind bytes that are not a frame, a report answer in
// the middle of a payment, "Loobu" pressed while the request is being built
// or after the approval, a second outcome behind the first (the same one
// again, or one that contradicts it), keep-alives after the approval, a
// special command's answer in a payment, and server texts that could write
// log entries of their own.
//
// Each approval must be shown well before the console's 15 s answer
// time-out, since the server sends nothing after it but the answer to
// "0023": a console that waited for more data would fail here.
#include "SimWindowFixture.h"
#include "session/SessionTexts.h"

#include "session/TransactionLog.h"

#include <QAbstractSocket>
#include <QDir>
#include <QTcpSocket>

namespace {

const QString kApproved = u"Toiming on teostatud. Kviitungi number: 123"_qs;
constexpr int kLongBeforeTheTimeoutMs = 5000;

class OutcomeWindow : public SimWindowFixture {
protected:
    // The payment ended as an approval, with its receipt and no failure.
    void expectApprovedPayment()
    {
        ASSERT_TRUE(waitIdle(kLongBeforeTheTimeoutMs)) << "no outcome; status line: " << statusLine().toStdString();
        QTest::qWait(50);
        EXPECT_EQ(statusLine(), kApproved);
        EXPECT_EQ(boxStack().boxCount(), 0) << messageBoxText().toStdString();
        EXPECT_EQ(printer.documents, 1);
        EXPECT_TRUE(text("Text2")->text().isEmpty()) << "the amount is cleared after an approval";
    }
};

TEST_F(OutcomeWindow, ApprovalRightBehindAFrameWithAWrongCheckByteIsShown)
{
    startShippedSimulator("approval-behind-bad-frame.json");
    open();
    swipePayment();
    expectApprovedPayment();
}

TEST_F(OutcomeWindow, ApprovalBehindBytesThatAreNotAFrameIsShown)
{
    startShippedSimulator("garbage-before-approval.json");
    open();
    swipePayment();
    expectApprovedPayment();
    EXPECT_TRUE(logBytes().contains("StatusText: ")) << "the status text behind the bytes was handled";
}

TEST_F(OutcomeWindow, ReportAnswerInAPaymentIsIgnoredAndThePaymentApproved)
{
    startShippedSimulator("report-in-payment.json");
    open();
    swipePayment();
    expectApprovedPayment();
    EXPECT_TRUE(serverCodes.contains("0020")) << "the report answer went out";
    EXPECT_FALSE(QDir(home).exists(u"Report.pdf"_qs)) << "a report was written in the middle of a payment";
    EXPECT_TRUE(logBytes().contains("Report data ignored: no report was requested."));
}

// The server takes a "0005" only for a transaction it has seen: one that
// comes before the request is passed over, and the cancel is lost.
TEST_F(OutcomeWindow, LoobuPressedWhileTheRequestIsBuiltReachesTheServerAfterTheRequest)
{
    startSimulatorJson(R"({ "steps": [
        { "expect": "0001" },
        { "expect": { "code": "0005", "timeoutMs": 3000 } },
        { "send": { "code": "0006", "fields": [ { "id": 5, "text": "Tehing katkestati kassas" }, { "id": 9, "text": "KK" } ] } }
    ] })");
    Form1 &w = open();
    // The cashier's click lands while the console builds its request: the
    // building lets events run once per field, and the click is queued the
    // moment the connection stands, before the request is begun.
    QPushButton *loobu = child<QPushButton>("Command2");
    QObject::connect(w.session().Winsock1(), &QAbstractSocket::stateChanged, loobu,
                     [loobu](QAbstractSocket::SocketState state) {
                         if (state == QAbstractSocket::ConnectedState)
                             QMetaObject::invokeMethod(loobu, &QPushButton::click, Qt::QueuedConnection);
                     });
    swipePayment();
    ASSERT_TRUE(waitIdle(kLongBeforeTheTimeoutMs)) << "no outcome; status line: " << statusLine().toStdString();
    EXPECT_EQ(clientCodes.mid(0, 2), (QByteArrayList{"0001", "0005"}));
    EXPECT_EQ(messageBoxText(), u"Tehing katkestati kassas"_qs);
    EXPECT_TRUE(statusLine().isEmpty());
}

// A status text that holds CR LF and quotes wrote what read as entries of
// the console's own into log.txt.
TEST_F(OutcomeWindow, ServerTextsAreWrittenToTheLogEscaped)
{
    startSimulatorJson(R"({ "steps": [
        { "expect": "0001" },
        { "send": { "code": "0002", "fields": [ { "id": 5, "hex": "4f 4b 22 0d 0a 22 31 2e 31 2e 32 30 32 36 20 4f 55 54 3a 58 22 0d 0a" } ] } },
        { "send": { "code": "0012", "fields": [ { "id": 13, "int32": 123 } ] } }
    ] })");
    open();
    swipePayment();
    ASSERT_TRUE(waitIdle(kLongBeforeTheTimeoutMs));
    EXPECT_EQ(statusLine(), kApproved);
    const QByteArray log = logBytes();
    EXPECT_TRUE(log.contains(R"(StatusText: OK\"\r\n\"1.1.2026 OUT:X\"\r\n)")) << log.toStdString();
    // Two entries end a line: the request's and the close request's; the
    // event entries run on between them.
    EXPECT_EQ(log.count("\"\r\n"), 2) << log.toStdString();
    EXPECT_FALSE(log.contains("\r\n\"1.1.2026"));
}

// --- A session that has its outcome -------------------------------------------

const QString kCancelledText = u"Tehing katkestati kassas"_qs;

// The server answers the approval and then, for the same session, a decline
// (a "Loobu" of the cashier's crossed the approval on the wire): nobody can
// say whether the customer was charged. Neither answer may stand alone: the
// transaction is in doubt, and the next charge asks first.
TEST_F(OutcomeWindow, DeclineBehindTheApprovalMakesTheTransactionADoubt)
{
    startSimulatorJson(R"({ "steps": [
        { "expect": "0001" },
        { "send": { "code": "0012", "fields": [ { "id": 13, "int32": 123 },
            { "id": 12, "receipt": ["MAKSE 12,50"] } ] } },
        { "send": { "code": "0006", "fields": [ { "id": 5, "text": "Tehing katkestati kassas" }, { "id": 9, "text": "KK" } ] } }
    ] })");
    open();
    swipePayment();
    ASSERT_TRUE(waitIdle(kLongBeforeTheTimeoutMs));
    ASSERT_TRUE(waitFor([&] { return messageTexts().contains(SessionText::outcomeUnknown()); }));
    EXPECT_FALSE(messageTexts().contains(kCancelledText));
    EXPECT_EQ(clientCodes.count("0023"), 1) << "one close for one session";
    ASSERT_TRUE(journalTransactions().last().outcome);
    EXPECT_EQ(journalTransactions().last().outcome->why, u"conflict"_qs);
    EXPECT_TRUE(logBytes().contains("Transaction Declined: KK - Tehing katkestati kassas"));
    EXPECT_TRUE(logBytes().contains("Conflicting outcome: the transaction is in doubt. Code=0006"));
    EXPECT_NE(statusLine(), kApproved) << "the status line must not call it approved";
}

// A decline, then an approval for the same session: the approval was only
// logged, the journal said declined, and the cashier charged again.
TEST_F(OutcomeWindow, ApprovalBehindTheDeclineIsADoubtAndNeverPrinted)
{
    startSimulatorJson(R"({ "steps": [
        { "expect": "0001" },
        { "send": { "code": "0006", "fields": [ { "id": 5, "text": "Kaart aegunud" }, { "id": 9, "text": "54" } ] } },
        { "send": { "code": "0012", "fields": [ { "id": 13, "int32": 321 },
            { "id": 12, "receipt": ["MAKSE 12,50"] } ] } }
    ] })");
    open();
    swipePayment();
    ASSERT_TRUE(waitIdle(kLongBeforeTheTimeoutMs));
    ASSERT_TRUE(waitFor([&] { return messageTexts().contains(SessionText::outcomeUnknown()); }))
        << messageTexts().join(u" | ").toStdString();
    EXPECT_EQ(printer.documents, 0) << "an approval behind a decline was printed";
    EXPECT_TRUE(logBytes().contains("ApproveMessage: STAN=321"));
    EXPECT_EQ(journalTransactions().last().outcome->why, u"conflict"_qs);

    // The next charge asks.
    while (Form2 *box = topBox()) {
        box->button(1)->click();
        QApplication::processEvents();
    }
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(text("Text2"), Qt::Key_Return);
    ASSERT_TRUE(topBox() && topBox()->boxType() == 1);
    EXPECT_EQ(topBox()->style(), 4 + 48 + 256);
}

// Once the outcome is in, a server that keeps sending "0003" and never
// answers "0023" held the till in its closing state for good.
TEST_F(OutcomeWindow, KeepAlivesAfterTheApprovalDoNotHoldTheClose)
{
    startSimulatorJson(R"({ "steps": [
        { "expect": "0001" },
        { "send": { "code": "0012", "fields": [ { "id": 13, "int32": 123 },
            { "id": 12, "receipt": ["MAKSE 12,50"] } ] } },
        { "keepAlive": { "everyMs": 50 } }
    ] })");
    open();
    form->session().setTimeouts({5000, 15000, 600});
    swipePayment();
    ASSERT_TRUE(waitIdle(kLongBeforeTheTimeoutMs)) << "still closing: the keep-alives extended the close";
    EXPECT_EQ(statusLine(), kApproved);
}

// A "0027" in a payment ended the payment as a special command's answer,
// without its outcome.
TEST_F(OutcomeWindow, CommandResponseInAPaymentIsIgnored)
{
    startSimulatorJson(R"({ "steps": [
        { "expect": "0001" },
        { "send": { "code": "0027", "fields": [ { "id": 5, "text": "OK" } ] } },
        { "send": { "code": "0012", "fields": [ { "id": 13, "int32": 123 },
            { "id": 12, "receipt": ["MAKSE 12,50"] } ] } }
    ] })");
    open();
    swipePayment();
    expectApprovedPayment();
    EXPECT_TRUE(logBytes().contains("Command response ignored: no special command was sent."));
}

// An approval that reaches the console twice printed the customer two
// receipts for one charge.
TEST_F(OutcomeWindow, ApprovalSentTwicePrintsOneReceipt)
{
    startSimulatorJson(R"({ "steps": [
        { "expect": "0001" },
        { "send": { "code": "0012", "fields": [ { "id": 13, "int32": 123 },
            { "id": 12, "receipt": ["MAKSE 12,50"] } ] } },
        { "send": { "code": "0012", "fields": [ { "id": 13, "int32": 123 },
            { "id": 12, "receipt": ["MAKSE 12,50"] } ] } }
    ] })");
    open();
    swipePayment();
    expectApprovedPayment();   // one document at the printer
    EXPECT_EQ(clientCodes.count("0023"), 1);
}

// "Loobu" stays pressable until the server's close: a "0005" sent behind the
// approval asks the server to undo what the receipt says was charged.
TEST_F(OutcomeWindow, LoobuAfterTheApprovalSendsNoCancel)
{
    startSimulatorJson(R"({ "steps": [
        { "expect": "0001" },
        { "send": { "code": "0012", "fields": [ { "id": 13, "int32": 123 },
            { "id": 12, "receipt": ["MAKSE 12,50"] } ] } },
        { "wait": 1500 }
    ] })");
    Form1 &w = open();
    swipePayment();
    ASSERT_TRUE(waitFor([&] { return w.session().SessionState == PaymentSession::Closing; }, kLongBeforeTheTimeoutMs));
    QPushButton *loobu = child<QPushButton>("Command2");
    ASSERT_TRUE(loobu->isEnabled());
    QTest::mouseClick(loobu, Qt::LeftButton);
    expectApprovedPayment();
    EXPECT_FALSE(clientCodes.contains("0005")) << clientCodes.join(' ').toStdString();
}

} // namespace
