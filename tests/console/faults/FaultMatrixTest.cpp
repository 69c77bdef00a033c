// The payment server failing at every point of every transaction, against the
// real main window: for each of payment, cancellation, tip and booking
// completion, and for each point of a session, the simulator (in this
// process) closes the connection, resets it, goes silent, or sends bytes that
// are not a frame and then goes on as if nothing had happened. The cashier's
// view is checked at the end: the status line, the top box, the idle window.
// An approval that reached the console must be shown as one, never as a
// failure.
//
// Sockets run on the real clock (a case takes a fraction of a second). The
// silent cases do not wait out the session's time-outs: once the console is
// where the server fell silent, the test checks that Timer1 runs with the
// phase's interval and brings its deadline forward to now.
//
// The suite prints its table at the end: per transaction and point, how many
// cases ran and in how many the cashier saw what he must.
#include "SimWindowFixture.h"
#include "session/SessionTexts.h"

#include <QElapsedTimer>
#include <QTimer>

#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

enum class Txn { Payment, Cancellation, Tip, BookingCompletion };
enum class Point { BeforeConnect, BeforeRequest, AfterRequest, AfterStatus, AfterPrompt, AfterApproval, CloseHandshake };
enum class Fault { Close, Reset, Silent, Garbage };

constexpr std::array kTxns = {Txn::Payment, Txn::Cancellation, Txn::Tip, Txn::BookingCompletion};
constexpr std::array kPoints = {Point::BeforeConnect, Point::BeforeRequest, Point::AfterRequest, Point::AfterStatus,
                                Point::AfterPrompt,   Point::AfterApproval, Point::CloseHandshake};
constexpr std::array kFaults = {Fault::Close, Fault::Reset, Fault::Silent, Fault::Garbage};

const char *name(Txn t)
{
    switch (t) {
    case Txn::Payment: return "Payment";
    case Txn::Cancellation: return "Cancellation";
    case Txn::Tip: return "Tip";
    case Txn::BookingCompletion: return "BookingCompletion";
    }
    return "";
}

const char *name(Point p)
{
    switch (p) {
    case Point::BeforeConnect: return "BeforeConnect";
    case Point::BeforeRequest: return "AfterConnectBeforeRequest";
    case Point::AfterRequest: return "AfterRequest";
    case Point::AfterStatus: return "AfterStatusText";
    case Point::AfterPrompt: return "AfterPrompt";
    case Point::AfterApproval: return "RightAfterApproval";
    case Point::CloseHandshake: return "DuringCloseHandshake";
    }
    return "";
}

const char *name(Fault f)
{
    switch (f) {
    case Fault::Close: return "Close";
    case Fault::Reset: return "Reset";
    case Fault::Silent: return "Silent";
    case Fault::Garbage: return "Garbage";
    }
    return "";
}

// The texts the cashier can end up with.
const QString kApproved = u"Toiming on teostatud. Kviitungi number: 123"_qs;
const QString kTimeout = u"Ühendus maksesüsteemiga katkes. (Timeout)"_qs;
const QString kSocketClosed = u"Ühendus maksesüsteemiga katkes. (Socket closed)"_qs;
const QString kRefused = u"Ei saa ühendust maksesüsteemiga. (0 - Connection refused)"_qs;
const QString kStatusText = u"Kaart on loetud. Ühendus pangaga, palun oodake..."_qs;
const QString kPromptText = u"Kas klient soovib kviitungit?"_qs;
const QByteArray kApprovalCode = "0012";

struct Case {
    Txn txn;
    Point point;
    Fault fault;
};

std::string caseName(const Case &c)
{
    return std::string(name(c.txn)) + "_" + name(c.point) + "_" + name(c.fault);
}

void PrintTo(const Case &c, std::ostream *os) { *os << caseName(c); }

std::vector<Case> allCases()
{
    std::vector<Case> cases;
    for (Txn t : kTxns)
        for (Point p : kPoints)
            for (Fault f : kFaults)
                cases.push_back({t, p, f});
    return cases;
}

// --- The server's script -----------------------------------------------------

// What the server does at the point of failure. Garbage is not the end: the
// server writes bytes that are not a frame where a message belongs and then
// goes on with the transaction.
QString faultStep(Fault f)
{
    switch (f) {
    case Fault::Close: return uR"({ "close": {} })"_qs;
    case Fault::Reset: return uR"({ "close": { "reset": true } })"_qs;
    case Fault::Silent: return uR"({ "silent": {} })"_qs;
    case Fault::Garbage: return uR"({ "garbage": { "text": "HTTP/1.0 400 Bad Request\r\n\r\n" } })"_qs;
    }
    return {};
}

// The whole transaction as a sound server plays it: the request, a status
// text, a Yes/No question and its answer, the approval with STAN 123 and a
// receipt, the close handshake; with the fault at the case's point.
QByteArray scenarioJson(Point point, Fault fault)
{
    if (point == Point::BeforeConnect) {
        // The port itself fails; no script ever sees the connection. A port
        // that greets with garbage is some other service: it says nothing
        // more.
        switch (fault) {
        case Fault::Close: return R"({ "listener": { "refuse": { "forMs": 60000 } } })";
        case Fault::Reset: return R"({ "listener": { "resetQueued": { "forMs": 60000 } } })";
        case Fault::Silent: return R"({ "listener": { "unanswered": { "forMs": 60000 } } })";
        case Fault::Garbage:
            return (u"{ \"steps\": [ "_qs + faultStep(fault) + u", { \"silent\": {} } ] }"_qs).toUtf8();
        }
    }
    QStringList steps = {
        uR"({ "expect": ["0001", "0016", "0017", "0018"] })"_qs,
        u"{ \"send\": { \"code\": \"0002\", \"fields\": [ { \"id\": 5, \"text\": \""_qs + kStatusText
            + u"\" } ] } }"_qs,
        u"{ \"send\": { \"code\": \"0008\", \"fields\": [ { \"id\": 10, \"int32\": 36 }, { \"id\": 5, \"text\": \""_qs
            + kPromptText + u"\" } ] } }"_qs,
        uR"({ "expect": { "code": "0010", "keepAliveMs": 5000 } })"_qs,
        uR"({ "send": { "code": "0012", "fields": [ { "id": 13, "int32": 123 },
                        { "id": 12, "receipt": ["  KAARDIMAKSE", "Summa:      12.50", "Täname ostu eest!"] } ] } })"_qs,
    };
    qsizetype at = 0;
    switch (point) {
    case Point::BeforeConnect: break;
    case Point::BeforeRequest: at = 0; break;
    case Point::AfterRequest: at = 1; break;
    case Point::AfterStatus: at = 2; break;
    case Point::AfterPrompt: at = 3; break;
    case Point::AfterApproval: at = 5; break;
    case Point::CloseHandshake:
        steps << uR"({ "expect": "0023" })"_qs;
        at = 6;
        break;
    }
    if (fault == Fault::Garbage) {
        steps.insert(at, faultStep(fault));
        if (point == Point::CloseHandshake)
            steps << uR"({ "send": { "code": "0023" } })"_qs;
    } else {
        steps = steps.mid(0, at);
        steps << faultStep(fault);
    }
    return (u"{ \"steps\": [\n  "_qs + steps.join(u",\n  "_qs) + u"\n] }"_qs).toUtf8();
}

// --- What the cashier must see -------------------------------------------------

struct Expected {
    QString status;        // the status line
    QStringList boxTexts;  // the top box is a message with one of these; empty: no box at all
};

bool approvalExpected(Point point, Fault fault)
{
    // The server approved before it failed, or it went on after its garbage.
    return point == Point::AfterApproval || point == Point::CloseHandshake
        || (fault == Fault::Garbage && point != Point::BeforeConnect);
}

Expected expectedView(Point point, Fault fault)
{
    if (approvalExpected(point, fault))
        return {kApproved, {}};
    if (point == Point::BeforeConnect) {
        switch (fault) {
        case Fault::Close: return {QString(), {kRefused}};
        // The handshake has completed when the queued connection is reset:
        // the console may already stand connected, or still be finding out.
        case Fault::Reset: return {QString(), {kRefused, kSocketClosed}};
        case Fault::Silent:
        case Fault::Garbage: return {QString(), {kTimeout}};
        }
    }
    // A reset the moment the server takes the connection may reach the
    // console before it has seen its connection stand.
    if (point == Point::BeforeRequest && fault == Fault::Reset)
        return {QString(), {kSocketClosed, kRefused}};
    return {QString(), {fault == Fault::Silent ? kTimeout : kSocketClosed}};
}

// --- The tally -----------------------------------------------------------------

struct Tally {
    int run = 0;
    int matched = 0;
};

std::map<std::pair<Txn, Point>, std::map<Fault, Tally>> &tallies()
{
    static std::map<std::pair<Txn, Point>, std::map<Fault, Tally>> t;
    return t;
}

qint64 &matrixMs()
{
    static qint64 ms = 0;
    return ms;
}

void printTable()
{
    int run = 0;
    int matched = 0;
    std::printf("\nFault matrix: the cashier's view, matched/run per transaction, point and fault\n");
    std::printf("%-18s %-26s %8s %8s %8s %8s\n", "transaction", "point", "close", "reset", "silent", "garbage");
    for (Txn t : kTxns) {
        for (Point p : kPoints) {
            const auto found = tallies().find({t, p});
            if (found == tallies().end())
                continue;
            std::printf("%-18s %-26s", name(t), name(p));
            for (Fault f : kFaults) {
                const Tally cell = found->second.count(f) ? found->second.at(f) : Tally{};
                run += cell.run;
                matched += cell.matched;
                const std::string text = cell.run ? std::to_string(cell.matched) + "/" + std::to_string(cell.run) : "-";
                std::printf(" %8s", text.c_str());
            }
            std::printf("\n");
        }
    }
    std::printf("cases run: %d, cashier's view matched: %d, time: %.1f s\n\n", run, matched,
                double(matrixMs()) / 1000.0);
    std::fflush(stdout);
}

// --- The test ------------------------------------------------------------------

class FaultMatrix : public SimWindowFixture, public ::testing::WithParamInterface<Case> {
protected:
    static void TearDownTestSuite() { printTable(); }

    void SetUp() override
    {
        SimWindowFixture::SetUp();
        m_clock.start();
    }
    void TearDown() override
    {
        SimWindowFixture::TearDown();
        matrixMs() += m_clock.elapsed();
    }

    // The cashier starts the transaction the way he would: the tab, the
    // fields, a swipe or "OK".
    void startTransaction(Txn txn)
    {
        const int tab = txn == Txn::Payment ? 1 : txn == Txn::Cancellation ? 2 : txn == Txn::Tip ? 3 : 5;
        QTest::mouseClick(tabStrip(), Qt::LeftButton, {}, tabStrip()->tabRect(tab - 1).center());
        switch (txn) {
        case Txn::Payment:
            swipePayment();
            return;
        case Txn::Cancellation: typeSlowly(text("Text3"), u"123"_qs); break;
        case Txn::Tip:
            typeSlowly(text("Text8"), u"123"_qs);
            typeSlowly(text("Text9"), u"2,00"_qs);
            break;
        case Txn::BookingCompletion:
            typeSlowly(text("Text4"), u"123"_qs);
            typeSlowly(text("Text7"), u"30,00"_qs);
            break;
        }
        QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    }

    static QByteArray requestCode(Txn txn)
    {
        switch (txn) {
        case Txn::Payment: return "0001";
        case Txn::Cancellation: return "0016";
        case Txn::Tip: return "0017";
        case Txn::BookingCompletion: return "0018";
        }
        return {};
    }

    // The console is where the case's server fell silent.
    bool atSilentPoint(const Case &c)
    {
        const PaymentSession &s = form->session();
        switch (c.point) {
        case Point::BeforeConnect:
            // Unanswered: still connecting; the greeting port: the request is in.
            return c.fault == Fault::Silent ? s.SessionState == PaymentSession::Connecting
                                            : clientCodes.contains(requestCode(c.txn));
        case Point::BeforeRequest:
        case Point::AfterRequest: return clientCodes.contains(requestCode(c.txn));
        case Point::AfterStatus: return text("Text10")->text() == kStatusText;
        case Point::AfterPrompt: return topBox() && topBox()->boxType() == 1;
        case Point::AfterApproval: return s.SessionState == PaymentSession::Closing;
        case Point::CloseHandshake:
            return clientCodes.contains("0023") && s.SessionState == PaymentSession::Closing;
        }
        return false;
    }

    // Timer1 runs with the interval of the phase the console is in; its
    // deadline is brought forward to now, as if that time had passed.
    void expireTimer1(int phaseMs)
    {
        QTimer *timer = form->session().Timer1();
        ASSERT_TRUE(timer->isActive()) << "the console waits without a time-out";
        EXPECT_EQ(timer->interval(), phaseMs);
        timer->start(0);
    }

    static int silentPhaseMs(const Case &c)
    {
        if (c.point == Point::BeforeConnect && c.fault == Fault::Silent)
            return 5000;   // connecting (the greeting port has connected)
        if (c.point == Point::AfterApproval || c.point == Point::CloseHandshake)
            return 5000;   // the close handshake
        return 15000;      // waiting for the server's answer
    }

    // Plays the case through to the idle window; false when it never got there.
    bool playThrough(const Case &c)
    {
        // The cashier answers the question only when the server still waits
        // for the answer.
        const bool answerPrompt = c.fault == Fault::Garbage
                               || c.point == Point::AfterApproval || c.point == Point::CloseHandshake;
        // The server says nothing more from its point on: silent, or a port
        // that only greeted with garbage.
        const bool fallsSilent = c.fault == Fault::Silent
                              || (c.point == Point::BeforeConnect && c.fault == Fault::Garbage);
        bool expired = false;
        bool answered = false;
        QElapsedTimer patience;
        patience.start();
        while (form->session().SessionState != PaymentSession::Idle) {
            if (patience.elapsed() > kPatienceMs)
                return false;
            if (answerPrompt && !answered && topBox() && topBox()->boxType() == 1) {
                QTest::keyClick(topBox(), Qt::Key_Return);   // "Yes", the default
                answered = true;
            }
            if (fallsSilent && !expired && atSilentPoint(c)) {
                // Give a server that is not silent after all the chance to
                // show it before the time runs out.
                QTest::qWait(50);
                if (form->session().SessionState == PaymentSession::Idle)
                    break;
                expireTimer1(silentPhaseMs(c));
                expired = true;
            }
            QTest::qWait(5);
        }
        // Whatever comes late (a server's close after the session) must not
        // change the view.
        QTest::qWait(50);
        return true;
    }

private:
    QElapsedTimer m_clock;
};

TEST_P(FaultMatrix, CashierSeesTheOutcome)
{
    const Case c = GetParam();
    Tally &tally = tallies()[{c.txn, c.point}][c.fault];
    ++tally.run;

    ASSERT_NO_FATAL_FAILURE(startSimulatorJson(scenarioJson(c.point, c.fault)));
    if (c.point == Point::BeforeConnect && c.fault != Fault::Garbage)
        ASSERT_TRUE(waitFor([&] { return sim->listenerFaultPlaying(); })) << "the port fault did not begin";
    else
        QApplication::processEvents();
    Form1 &w = open();
    ASSERT_NO_FATAL_FAILURE(startTransaction(c.txn));
    ASSERT_NE(w.session().SessionState, PaymentSession::Idle) << "the transaction did not start";

    ASSERT_TRUE(playThrough(c)) << "the session did not end; status line: " << text("Text10")->text().toStdString();
    ASSERT_FALSE(HasFatalFailure());

    const Expected expected = expectedView(c.point, c.fault);
    const QString status = statusLine();
    const bool messageBox = topBox() && topBox()->boxType() == 0;
    // The session's failure box: under the doubt box when the outcome is
    // unknown.
    const QStringList stacked = messageTexts();
    const QString boxText = stacked.isEmpty() ? QString() : stacked.first();

    // The window's idle layout ("OK" on, "Loobu" off), under any box that
    // disables the window.
    const bool idleLayout = child<QPushButton>("Command1")->isEnabledTo(&w)
                         && !child<QPushButton>("Command2")->isEnabledTo(&w);
    bool matched = status == expected.status && w.session().SessionState == PaymentSession::Idle && idleLayout;
    if (expected.boxTexts.isEmpty())
        matched = matched && boxStack().boxCount() == 0;
    else
        matched = matched && messageBox && expected.boxTexts.contains(boxText);

    EXPECT_EQ(status, expected.status);
    if (expected.boxTexts.isEmpty()) {
        EXPECT_EQ(boxStack().boxCount(), 0) << "top box: " << boxText.toStdString();
    } else {
        EXPECT_TRUE(messageBox && expected.boxTexts.contains(boxText))
            << "top box: " << boxText.toStdString() << "; expected one of: "
            << expected.boxTexts.join(u" | ").toStdString();
    }
    EXPECT_TRUE(idleLayout) << "the window is back in its idle layout";

    // An approval that reached the console is an approval, whatever the
    // server does afterwards.
    if (serverCodes.contains(kApprovalCode)) {
        EXPECT_EQ(status, kApproved) << "the server's approval was not shown";
        EXPECT_FALSE(messageBox) << "an approved transaction reported as failed: " << boxText.toStdString();
        EXPECT_EQ(printer.documents, 1) << "the approval's receipt";
        matched = matched && printer.documents == 1 && !messageBox;
    } else {
        EXPECT_NE(status, kApproved) << "a transaction the server never approved shown as approved";
        EXPECT_EQ(printer.documents, 0);
        matched = matched && printer.documents == 0;
    }
    // The request that went out is the cashier's transaction.
    if (!clientCodes.isEmpty()) {
        EXPECT_EQ(clientCodes.front(), requestCode(c.txn));
    }

    // The journal: unknown exactly where the request had gone out and no
    // answer came, and then the cashier is told so on top of the failure.
    const QList<JournalTransaction> journaled = journalTransactions();
    const QStringList boxes = messageTexts();
    const bool doubtBox = !boxes.isEmpty() && boxes.last() == SessionText::outcomeUnknown();
    const QString outcome = journaled.size() == 1 && journaled[0].outcome ? journaled[0].outcome->event : QString();
    bool journalRight = false;
    if (serverCodes.contains(kApprovalCode)) {
        journalRight = journaled.size() == 1 && outcome == u"approved"_qs && journaled[0].outcome->stan == 123
                    && !doubtBox;
    } else if (clientCodes.contains(requestCode(c.txn))) {
        // The server had the request: the customer may have been charged.
        journalRight = outcome == u"unknown"_qs && doubtBox && boxes.size() == 2
                    && expected.boxTexts.contains(boxes.first());
    } else if (c.point == Point::BeforeConnect) {
        journalRight = journaled.isEmpty() && !doubtBox;
    } else {
        // The request may have left before the server went away unread.
        journalRight = (journaled.isEmpty() && !doubtBox)
                    || (outcome == u"unknown"_qs && doubtBox && boxes.size() == 2);
    }
    EXPECT_TRUE(journalRight) << "journal: " << journaled.size() << " transaction(s), outcome \""
                              << outcome.toStdString() << "\"; boxes: " << boxes.join(u" | ").toStdString();
    matched = matched && journalRight;

    if (matched)
        ++tally.matched;
}

INSTANTIATE_TEST_SUITE_P(EveryTransactionPointAndFault, FaultMatrix, ::testing::ValuesIn(allCases()),
                         [](const ::testing::TestParamInfo<Case> &info) { return caseName(info.param); });

} // namespace
