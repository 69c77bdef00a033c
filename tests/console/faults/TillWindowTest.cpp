// The till hands the amount over: the real main window against the simulator
// and a till on loopback. What the till is told must never let it charge
// twice or read an unknown outcome as a decline; what reaches the server
// must be exactly one request per till key; what the cashier sees is the
// till's amount, read-only, until the request is over.
#include "SimWindowFixture.h"

#include "session/SessionTexts.h"
#include "till/TillProtocol.h"
#include "window/TillBridge.h"

#include <QProcess>

namespace {

QByteArray payment(const char *requestId, const char *amount = "12.50", const char *type = "CardPayment")
{
    return QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?>)"
                      R"(<CardServiceRequest xmlns="http://www.nrf-arts.org/IXRetail/namespace" RequestType=")")
         + type + R"(" ApplicationSender="Kassa" WorkstationID="K1" RequestID=")" + requestId
         + R"("><POSdata><POSTimeStamp>2026-12-08T10:15:00</POSTimeStamp><TransactionNumber>4711</TransactionNumber>)"
           R"(</POSdata><TotalAmount Currency="EUR">)" + amount + "</TotalAmount></CardServiceRequest>";
}

QByteArray request(const char *type, const char *requestId)
{
    return QByteArray(R"(<CardServiceRequest xmlns="http://www.nrf-arts.org/IXRetail/namespace" RequestType=")")
         + type + R"(" WorkstationID="K1" RequestID=")" + requestId + R"("/>)";
}

// The till's end of the connection.
class Till {
public:
    explicit Till(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.waitForConnected(5000);
    }
    void send(const QByteArray &document) { sendRaw(TillProtocol::frame(document)); }
    void sendRaw(const QByteArray &bytes)
    {
        socket.write(bytes);
        socket.flush();
    }
    // The next response, or nullopt when none comes in time.
    std::optional<TillResponse> next(int patienceMs = 15000)
    {
        std::optional<TillResponse> got;
        simconsole::waitFor([&] {
            reader.append(socket.readAll());
            const TillFrameReader::Step step = reader.next();
            if (step.kind == TillFrameReader::Step::Frame)
                got = ParseTillResponse(step.document);
            return got.has_value();
        }, patienceMs);
        return got;
    }
    bool closedByConsole()
    {
        return simconsole::waitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, 5000);
    }
    QTcpSocket socket;
    TillFrameReader reader;
};

class TillWindow : public SimWindowFixture {
protected:
    void openWithTill(const char *scenario)
    {
        if (scenario)
            startShippedSimulator(scenario);
        else
            provisionForTransactions();
        tillPort = 0;
        open();
        ASSERT_NE(form->tillBridge(), nullptr);
        till = std::make_unique<Till>(form->tillBridge()->port());
    }
    bool waitForOffer()
    {
        const bool offered = waitFor([&] { return form->tillBridge()->hasRequest(); });
        if (!offered)
            ADD_FAILURE() << "log.txt: " << logBytes().toStdString();
        return offered;
    }
    QLabel *tillLabel() const { return child<QLabel>("TillLabel"); }
    int requestsSent() const { return int(clientCodes.count("0001") + clientCodes.count("0016")); }
    void pressOk() { child<QPushButton>("Command1")->click(); }
    std::unique_ptr<Till> till;
};

TEST_F(TillWindow, ApprovedPaymentIsShownReadOnlyAndAnsweredOnceEvenWhenTheTillAsksAgain)
{
    ASSERT_NO_FATAL_FAILURE(openWithTill("approval.json"));
    till->send(payment("17"));
    ASSERT_TRUE(waitForOffer());
    EXPECT_EQ(text("Text2")->text(), u"12,50"_qs);
    EXPECT_TRUE(text("Text2")->isReadOnly()) << "the cashier confirms the till's amount, never edits it";
    EXPECT_TRUE(tillLabel()->isVisible());
    EXPECT_EQ(tillLabel()->text(), u"Kassast: tšekk 4711"_qs);
    EXPECT_FALSE(tabStrip()->isTabEnabled(1)) << "another tab would empty the till's amount";
    form->activateWindow();
    EXPECT_EQ(QApplication::focusWidget(), text("Text1")) << "a typed card number must not go into the read-only amount";
    QTest::qWait(50);
    EXPECT_EQ(requestsSent(), 0) << "nothing is sent before the cashier confirms";

    // The same key while it waits: the same request, not a second one.
    till->send(payment("17"));
    typeAt(text("Text1"), u";4111111111111111=2612101?"_qs, 5);
    for (int answer = 0; answer < 2; ++answer) {
        const std::optional<TillResponse> r = till->next();
        ASSERT_TRUE(r);
        EXPECT_EQ(r->overallResult, u"Success"_qs);
        EXPECT_EQ(r->stan, 123);
        EXPECT_EQ(r->amount, u"12.50"_qs);
        EXPECT_EQ(r->requestId, u"17"_qs);
        EXPECT_EQ(r->terminalId, u"00000000"_qs);
    }
    ASSERT_TRUE(waitIdle());
    EXPECT_FALSE(text("Text2")->isReadOnly());
    EXPECT_TRUE(text("Text2")->text().isEmpty()) << "the till's amount is not the next customer's";
    EXPECT_FALSE(tillLabel()->isVisible());

    // Asked again after the end: the journal's answer, and still one "0001".
    till->send(payment("17"));
    const std::optional<TillResponse> again = till->next();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->overallResult, u"Success"_qs);
    EXPECT_EQ(again->stan, 123);
    EXPECT_EQ(requestsSent(), 1);
    EXPECT_FALSE(form->tillBridge()->hasRequest());

    // The key reused for another request is refused, never told "Success",
    // and the approval stays the workstation's last answer.
    auto refused = [&](const QByteArray &document) {
        till->send(document);
        const std::optional<TillResponse> r = till->next();
        return r && r->overallResult == u"ValidationError"_qs;
    };
    EXPECT_TRUE(refused(payment("17", "99.00")));
    EXPECT_TRUE(refused(payment("17", "12.50", "Booking")));
    till->send(request("RepeatLastMessage", "x"));
    const std::optional<TillResponse> last = till->next();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->stan, 123);
    // A reversal of receipt 123 for less than its 12.50.
    EXPECT_TRUE(refused(payment("18", "0.01", "PaymentReversal")
                            .replace("<TotalAmount", R"(<OriginalTransaction STAN="123"/><TotalAmount)")));
    EXPECT_EQ(requestsSent(), 1);
    const QByteArray log = logBytes();
    EXPECT_TRUE(log.contains("Till request: Workstation=K1, RequestID=17, Type=CardPayment"));
    EXPECT_TRUE(log.contains("Till response: Workstation=K1, RequestID=17, Type=CardPayment, Result=Success, STAN=123"));
    EXPECT_FALSE(log.contains("4111111111111111")) << "no card data in the hand-off's log lines";
}

TEST_F(TillWindow, DeclineIsFailureWithTheServersTextNeverSuccess)
{
    ASSERT_NO_FATAL_FAILURE(openWithTill("decline-0013.json"));
    till->send(payment("1"));
    ASSERT_TRUE(waitForOffer());
    typeSlowly(text("Text1"), u"4111111111111111"_qs);
    pressOk();
    const std::optional<TillResponse> r = till->next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->overallResult, u"Failure"_qs);
    EXPECT_EQ(r->text, u"Kaardil pole piisavalt vahendeid"_qs);
    EXPECT_FALSE(r->stan);
}

TEST_F(TillWindow, EndedBeforeTheStartIsAbortedAndTheKeyMayBeSentAgain)
{
    ASSERT_NO_FATAL_FAILURE(openWithTill(nullptr));
    // The cashier presses Esc.
    till->send(payment("5"));
    ASSERT_TRUE(waitForOffer());
    QTest::keyClick(text("Text1"), Qt::Key_Escape);
    std::optional<TillResponse> r = till->next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->overallResult, u"Aborted"_qs);
    EXPECT_TRUE(text("Text2")->text().isEmpty());
    EXPECT_TRUE(tabStrip()->isTabEnabled(1));

    // Never sent, so the same key is a new request; the till aborts it. The
    // payment and its abort arrive in one read.
    till->sendRaw(TillProtocol::frame(payment("5")) + TillProtocol::frame(request("AbortRequest", "5")));
    r = till->next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->requestType, u"CardPayment"_qs);
    EXPECT_EQ(r->overallResult, u"Aborted"_qs);
    r = till->next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->requestType, u"AbortRequest"_qs);
    EXPECT_EQ(r->overallResult, u"Success"_qs);
    EXPECT_FALSE(anyConnection()) << "nothing reached the payment server";

    // The payment server refuses the connection: nothing went out, the till
    // hears Failure, and the same key is a new request, not that answer.
    server.close();
    till->send(payment("6"));
    ASSERT_TRUE(waitForOffer());
    pressOk();
    r = till->next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->overallResult, u"Failure"_qs);
    EXPECT_EQ(r->reason, u"not sent"_qs);
    form->CloseAllBoxes();
    till->send(payment("6"));
    EXPECT_TRUE(waitForOffer());
}

TEST_F(TillWindow, AbortWhileRunningCancelsAtTheServerAndAnswersItsVerdict)
{
    ASSERT_NO_FATAL_FAILURE(openWithTill("abort-mid-payment.json"));
    put(Config::ECRAutoStart, u"1"_qs);
    form.reset();
    open();
    till = std::make_unique<Till>(form->tillBridge()->port());
    till->send(payment("8"));
    // ECRAutoStart: the customer uses the terminal, nobody presses OK.
    ASSERT_TRUE(waitFor([&] { return requestsSent() == 1; }));
    ASSERT_TRUE(waitFor([&] { return statusLine().contains(u"kaart"_qs); }));
    till->send(request("AbortRequest", "8"));
    std::optional<TillResponse> abort = till->next();
    ASSERT_TRUE(abort);
    EXPECT_EQ(abort->requestType, u"AbortRequest"_qs);
    EXPECT_EQ(abort->overallResult, u"Success"_qs);
    const std::optional<TillResponse> r = till->next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->requestType, u"CardPayment"_qs);
    EXPECT_EQ(r->overallResult, u"Failure"_qs) << "the server declined it";
    EXPECT_TRUE(clientCodes.contains("0005"));
}

TEST_F(TillWindow, LostAnswerIsTimedOutWithOutcomeUnknownUntilSettled_AndANewChargeAsksFirst)
{
    ASSERT_NO_FATAL_FAILURE(openWithTill("close-mid-payment.json"));
    till->send(payment("9"));
    ASSERT_TRUE(waitForOffer());
    typeSlowly(text("Text1"), u"4111111111111111"_qs);
    pressOk();
    std::optional<TillResponse> r = till->next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->overallResult, u"TimedOut"_qs) << "a till reads Failure as declined and charges again";
    EXPECT_TRUE(r->outcomeUnknown);
    ASSERT_TRUE(waitFor([&] { return messageTexts().contains(SessionText::outcomeUnknown()); }));
    form->CloseAllBoxes();

    // A new charge from the till while that one is in doubt: the cashier is
    // asked first, and "Ei" ends it Aborted with nothing sent.
    till->send(payment("10"));
    ASSERT_TRUE(waitForOffer());
    pressOk();
    ASSERT_TRUE(waitFor([&] { return topBox() && topBox()->boxType() == 1; }));
    Form2 *question = topBox();
    question->button(2)->click();
    r = till->next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->requestId, u"10"_qs);
    EXPECT_EQ(r->overallResult, u"Aborted"_qs);
    EXPECT_EQ(requestsSent(), 1);

    // The till aborts while the question is open: "Jah" then starts nothing.
    till->send(payment("11"));
    ASSERT_TRUE(waitForOffer());
    pressOk();
    ASSERT_TRUE(waitFor([&] { return topBox() && topBox()->boxType() == 1; }));
    question = topBox();
    till->send(request("AbortRequest", "11"));
    r = till->next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->overallResult, u"Aborted"_qs);
    ASSERT_TRUE(till->next()) << "the abort's own answer";
    question->button(1)->click();
    QTest::qWait(100);
    EXPECT_EQ(form->session().SessionState, PaymentSession::Idle) << "no payment of the emptied fields";

    // RepeatLastMessage for 9 once a whole answer settled it.
    const std::optional<JournalTransaction> doubt =
        form->session().journal().transactionOfTillKey(TillKey{u"K1"_qs, u"9"_qs});
    ASSERT_TRUE(doubt && doubt->isInDoubt());
    ASSERT_TRUE(form->session().resolveDoubt(*doubt, u"approved"_qs, 321));
    till->send(payment("9"));
    r = till->next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->overallResult, u"Success"_qs);
    EXPECT_EQ(r->stan, 321);
    EXPECT_EQ(requestsSent(), 1);
}

TEST_F(TillWindow, AnotherRequestWhileOneWaitsIsBusyAndASecondTillIsRefused)
{
    ASSERT_NO_FATAL_FAILURE(openWithTill(nullptr));
    // One byte per read: the frame is read by its length, not by the reads.
    const QByteArray bytes = TillProtocol::frame(payment("1"));
    for (char c : bytes) {
        till->sendRaw(QByteArray(1, c));
        QTest::qWait(1);
    }
    ASSERT_TRUE(waitForOffer());
    till->send(payment("2", "3.00"));
    const std::optional<TillResponse> r = till->next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->overallResult, u"Busy"_qs);
    EXPECT_EQ(text("Text2")->text(), u"12,50"_qs) << "the waiting request keeps its amount";

    Till second(form->tillBridge()->port());
    second.send(payment("3"));
    const std::optional<TillResponse> refused = second.next();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->overallResult, u"Busy"_qs);
    EXPECT_TRUE(second.closedByConsole());
    EXPECT_EQ(till->socket.state(), QAbstractSocket::ConnectedState);

    // The till goes away before the cashier started its request: nobody
    // would hear the outcome, so it is not left to be charged.
    till->socket.disconnectFromHost();
    ASSERT_TRUE(waitFor([&] { return !form->tillBridge()->hasRequest(); }));
    EXPECT_TRUE(text("Text2")->text().isEmpty());
    EXPECT_FALSE(anyConnection());
}

TEST_F(TillWindow, MalformedFramesAreRefusedAndChangeNothing)
{
    ASSERT_NO_FATAL_FAILURE(openWithTill(nullptr));
    const QByteArray nested = QByteArray(R"(<CardServiceRequest xmlns="http://www.nrf-arts.org/IXRetail/namespace" )"
                                         R"(RequestType="CardPayment" WorkstationID="K1" RequestID="3">)")
                            + QByteArray("<a>").repeated(32) + QByteArray("</a>").repeated(32) + "</CardServiceRequest>";
    const struct {
        QByteArray document;
        const char *result;
    } cases[] = {
        {R"(<?xml version="1.0"?><!DOCTYPE x [<!ENTITY e "12.50">]>)" + request("CardPayment", "1"), nullptr},
        {R"(<CardServiceRequest xmlns="http://www.nrf-arts.org/IXRetail/namespace" RequestType="CardPayment" )"
         R"(WorkstationID="K1" RequestID="2"><TotalAmount>&e;</TotalAmount></CardServiceRequest>)", "FormatError"},
        {nested, "FormatError"},
        {payment("4").replace("</CardServiceRequest>", "<TotalAmount>"), "FormatError"},
        {payment("5", "12.5"), "ValidationError"},
        {payment("6", "1e3"), "ValidationError"},
        {payment("8", "0.00"), "ValidationError"},
        {payment("9", "-5.00"), "ValidationError"},
        {payment("10", "99999999999999999999.99"), "ValidationError"},
        {request("Refund", "7"), "ValidationError"},
        {payment("").replace(R"(RequestID="")", ""), "ValidationError"},
    };
    for (const auto &c : cases) {
        if (!c.result) {
            // No RequestID to answer under: the connection goes.
            till->send(c.document);
            EXPECT_TRUE(till->closedByConsole()) << c.document.constData();
            till = std::make_unique<Till>(form->tillBridge()->port());
            continue;
        }
        till->send(c.document);
        const std::optional<TillResponse> r = till->next();
        ASSERT_TRUE(r) << c.document.constData();
        EXPECT_EQ(r->overallResult, QLatin1String(c.result)) << c.document.constData();
    }
    // Over 64 KiB: the stream cannot be followed.
    till->sendRaw(QByteArray::fromHex("00010001") + QByteArray(100, 'x'));
    EXPECT_TRUE(till->closedByConsole());
    EXPECT_FALSE(form->tillBridge()->hasRequest());
    EXPECT_TRUE(text("Text2")->text().isEmpty());
    EXPECT_TRUE(child<QPushButton>("Command1")->isEnabled());
}

TEST_F(TillWindow, TellarPayPrintsTheAnswerAndExitsByIt)
{
    ASSERT_NO_FATAL_FAILURE(openWithTill("approval.json"));
    const QString port = QString::number(form->tillBridge()->port());
    till.reset();   // tellar-pay is the till now
    QProcess pay;
    pay.start(QStringLiteral(TELLAR_PAY), {u"--port"_qs, port, u"--workstation"_qs, u"K2"_qs, u"--request-id"_qs,
                                           u"42"_qs, u"pay"_qs, u"12.50"_qs, u"--receipt"_qs, u"4711"_qs});
    ASSERT_TRUE(waitForOffer());
    EXPECT_EQ(tillLabel()->text(), u"Kassast: tšekk 4711"_qs);
    typeAt(text("Text1"), u";4111111111111111=2612101?"_qs, 5);
    ASSERT_TRUE(waitFor([&] { return pay.state() == QProcess::NotRunning; }));
    EXPECT_EQ(pay.exitCode(), 0);
    const QByteArray out = pay.readAllStandardOutput();
    EXPECT_TRUE(out.contains(R"("result":"Success")")) << out.constData();
    EXPECT_TRUE(out.contains(R"("stan":123)")) << out.constData();

    pay.start(QStringLiteral(TELLAR_PAY), {u"--port"_qs, port, u"--workstation"_qs, u"K2"_qs, u"pay"_qs, u"7.5"_qs});
    ASSERT_TRUE(waitFor([&] { return pay.state() == QProcess::NotRunning; }));
    EXPECT_EQ(pay.exitCode(), 4) << "\"7.5\" is refused as a typed amount is";
    EXPECT_EQ(requestsSent(), 1);
}

} // namespace
