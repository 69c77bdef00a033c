// The journal through the real main window against the simulator: a payment
// whose outcome is unknown is said to be unknown, a request found open at
// start-up likewise, a second charge is asked about first, the "Viimane
// tehing" window checks a doubt against the server's records (charged, not
// charged, several candidates), and the last receipt is printed again as a
// copy. A console killed between its request and the answer is the last
// case: a process of its own, killed with SIGKILL.
#include "SimWindowFixture.h"

#include "journal/Form5.h"
#include "journal/JournalTexts.h"
#include "session/TransactionJournal.h"

#include <QProcess>
#include <QTreeWidget>

#include <csignal>

namespace {

const QString kSocketClosed = u"Ühendus maksesüsteemiga katkes. (Socket closed)"_qs;
const QString kUnknown = PaymentSession::kOutcomeUnknownText;
constexpr char kCardNumber[] = "4111111111111111";

// A payment of 12.50 that the server approves (STAN 123) and closes as usual.
const char *const kApprovedPayment = R"({ "steps": [
    { "expect": ["0001", "0016", "0017", "0018"] },
    { "send": { "code": "0012", "fields": [ { "id": 13, "int32": 123 },
        { "id": 12, "receipt": ["MAKSE 12,50", "", "Aitäh!"] } ] } } ] })";
// The server books the payment and hangs up without sending its approval.
const char *const kHungUpAfterApproving = R"({ "steps": [
    { "expect": ["0001", "0016", "0017", "0018"] },
    { "approveThenHangup": { "stan": 555 } } ] })";
// The server closes without approving anything.
const char *const kClosedWithoutApproving = R"({ "steps": [
    { "expect": ["0001", "0016", "0017", "0018"] },
    { "close": {} } ] })";
// The day's report: what the server's ledger holds.
const char *const kLedgerReport = R"({ "steps": [
    { "expect": "0019" },
    { "send": { "code": "0020", "report": { "records": 0 } } } ] })";

QByteArray connections(std::initializer_list<const char *> scripts)
{
    QByteArray json = "{ \"connections\": [";
    const char *sep = "";
    for (const char *s : scripts) {
        json += sep;
        json += s;
        sep = ", ";
    }
    return json + "] }";
}

class JournalWindow : public SimWindowFixture {
protected:
    QString journalPath() const { return home + u"/journal.jsonl"_qs; }
    QByteArray journalBytes() const
    {
        QFile f(journalPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeJournal(const QByteArray &lines)
    {
        QFile f(journalPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(lines);
    }
    QStringList events() const
    {
        QStringList out;
        for (const JournalEntry &e : form->session().journal().readEntries())
            out << e.event + (e.outcome.isEmpty() ? QString() : u":"_qs + e.outcome);
        return out;
    }
    // The boxes the session left, closed by the cashier.
    void closeMessages()
    {
        while (Form2 *box = topBox()) {
            if (box->boxType() != 0)
                return;
            box->button(1)->click();
            QApplication::processEvents();
        }
    }
    Form5 *openLastTransaction()
    {
        // The box the cashier just closed had the focus; the window manager
        // gives it back to the main window.
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        QTest::keyClick(form.get(), Qt::Key_L, Qt::ControlModifier);
        Form5 *w = form->lastTransactionDialog();
        EXPECT_TRUE(w && w->isVisible()) << "Ctrl+L opens \"Viimane tehing\"";
        return w;
    }
    void paymentEndsInDoubt()
    {
        swipePayment();
        ASSERT_TRUE(waitIdle());
        ASSERT_TRUE(waitFor([&] { return messageTexts().size() == 2; }));
        EXPECT_EQ(messageTexts(), (QStringList{kSocketClosed, kUnknown}));
        closeMessages();
    }
    bool waitResult(Form5 *w, const QString &text)
    {
        return waitFor([&] { return w->resultLabel()->text() == text; });
    }
};

TEST_F(JournalWindow, PaymentCutOffAfterItsRequestIsSaidToBeUnknown)
{
    startShippedSimulator("close-mid-payment.json");
    open();
    swipePayment();
    ASSERT_TRUE(waitIdle());
    ASSERT_TRUE(waitFor([&] { return messageTexts().size() == 2; })) << messageTexts().join(u" | ").toStdString();
    // The failure, and on top of it what the cashier must know.
    EXPECT_EQ(messageTexts(), (QStringList{kSocketClosed, kUnknown}));
    EXPECT_EQ(topBox()->style(), 48);

    const QList<JournalTransaction> t = journalTransactions();
    ASSERT_EQ(t.size(), 1);
    EXPECT_EQ(t[0].sent.op, u"payment"_qs);
    EXPECT_EQ(t[0].sent.amount, u"12.50"_qs);
    EXPECT_EQ(t[0].sent.session, u"000001"_qs);
    ASSERT_TRUE(t[0].outcome);
    EXPECT_EQ(t[0].outcome->event, u"unknown"_qs);
    EXPECT_EQ(t[0].outcome->why, u"Socket closed"_qs);
    EXPECT_FALSE(journalBytes().contains(kCardNumber));
    EXPECT_FALSE(journalBytes().contains("1111"));
}

TEST_F(JournalWindow, RefusedConnectionIsNoDoubt)
{
    startShippedSimulator("port-closed.json");
    ASSERT_TRUE(waitFor([&] { return sim->listenerFaultPlaying(); }));
    open();
    swipePayment();
    ASSERT_TRUE(waitIdle());
    QTest::qWait(50);
    EXPECT_EQ(messageTexts(), QStringList{u"Ei saa ühendust maksesüsteemiga. (0 - Connection refused)"_qs});
    EXPECT_TRUE(journalTransactions().isEmpty()) << journalBytes().toStdString();
}

TEST_F(JournalWindow, DeclineIsJournaledWithItsCodeReasonAndText)
{
    startShippedSimulator("decline-0006.json");
    open();
    swipePayment();
    ASSERT_TRUE(waitIdle());
    const QList<JournalTransaction> t = journalTransactions();
    ASSERT_EQ(t.size(), 1);
    ASSERT_TRUE(t[0].outcome);
    EXPECT_EQ(t[0].outcome->event, u"declined"_qs);
    EXPECT_EQ(t[0].outcome->code, u"0006"_qs);
    EXPECT_EQ(t[0].outcome->reason, u"05"_qs);
    EXPECT_FALSE(t[0].outcome->text.isEmpty());
    EXPECT_NE(messageTexts().value(messageTexts().size() - 1), kUnknown);
}

TEST_F(JournalWindow, RequestOpenAtStartUpIsToldOnceTheWindowIsUp)
{
    startSimulatorJson(kApprovedPayment);
    writeJournal(R"({"amount":"9.99","event":"sent","op":"booking","pos":"00000000","session":"000041",)"
                 R"("time":"2026-12-06T15:30:00+02:00"})" "\n"
                 R"({"event":"sent","op":"pay)");   // torn by the power loss
    open();
    ASSERT_TRUE(waitFor([&] { return messageTexts() == QStringList{kUnknown}; }))
        << messageTexts().join(u" | ").toStdString();
    EXPECT_EQ(events(), (QStringList{u"sent"_qs, u"unknown"_qs}));
    EXPECT_EQ(journalTransactions().value(0).outcome->why, u"restart"_qs);
    closeMessages();

    // Told once: the next start finds nothing open.
    form.reset();
    open();
    QTest::qWait(50);
    EXPECT_TRUE(messageTexts().isEmpty());
    EXPECT_EQ(events(), (QStringList{u"sent"_qs, u"unknown"_qs}));
}

TEST_F(JournalWindow, SecondChargeWhileTheLastIsInDoubtIsAskedFirst)
{
    startSimulatorJson(connections({kClosedWithoutApproving, kApprovedPayment}));
    open();
    paymentEndsInDoubt();
    ASSERT_EQ(clientCodes.count("0001"), 1);

    // The amount is still there: the cashier presses OK again. "No" (the
    // default, Enter): nothing goes out and the amount stays.
    ASSERT_EQ(text("Text2")->text(), u"12,50"_qs);
    QTest::keyClick(text("Text2"), Qt::Key_Return);
    ASSERT_TRUE(topBox() && topBox()->boxType() == 1);
    EXPECT_EQ(topBox()->findChild<QLabel *>(u"Label1"_qs)->text(), JournalTexts::secondChargeQuestion());
    EXPECT_EQ(topBox()->style(), 4 + 48 + 256);
    QTest::keyClick(topBox(), Qt::Key_Return);
    QTest::qWait(100);
    EXPECT_EQ(boxStack().boxCount(), 0);
    EXPECT_EQ(clientCodes.count("0001"), 1) << "a second charge went out without the cashier's yes";
    EXPECT_EQ(text("Text2")->text(), u"12,50"_qs);
    EXPECT_EQ(form->session().SessionState, PaymentSession::Idle);
    EXPECT_EQ(events(), (QStringList{u"sent"_qs, u"unknown"_qs}));

    // A swipe asks too; "No" leaves no track in the card field.
    typeAt(text("Text2"), u";4111111111111111=2612101?"_qs, 5);
    ASSERT_TRUE(waitFor([&] { return topBox() && topBox()->boxType() == 1; }));
    topBox()->button(2)->click();
    QTest::qWait(50);
    EXPECT_EQ(clientCodes.count("0001"), 1);
    EXPECT_TRUE(text("Text1")->text().isEmpty()) << "the unused swipe stays in the card field";
    EXPECT_EQ(text("Text2")->text(), u"12,50"_qs);

    // "Yes": the doubt is the cashier's, and the payment goes.
    typeAt(text("Text2"), u";4111111111111111=2612101?"_qs, 5);
    ASSERT_TRUE(waitFor([&] { return topBox() && topBox()->boxType() == 1; }));
    topBox()->button(1)->click();
    ASSERT_TRUE(waitFor([&] { return clientCodes.count("0001") == 2; }));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(statusLine(), u"Toiming on teostatud. Kviitungi number: 123"_qs);
    EXPECT_EQ(events(), (QStringList{u"sent"_qs, u"unknown"_qs, u"resolved:cashier"_qs, u"sent"_qs, u"approved"_qs}));
}

TEST_F(JournalWindow, CheckFindsTheChargeTheServerNeverConfirmed)
{
    startSimulatorJson(connections({kHungUpAfterApproving, kLedgerReport}));
    open();
    paymentEndsInDoubt();
    Form5 *w = openLastTransaction();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->valueLabel(1)->text(), u"Kaardimakse"_qs);
    EXPECT_EQ(w->valueLabel(2)->text(), u"12,50"_qs);
    EXPECT_EQ(w->valueLabel(4)->text(), u"Teadmata"_qs);
    ASSERT_TRUE(w->checkButton()->isEnabled());
    w->checkButton()->click();
    ASSERT_TRUE(waitResult(w, u"Tehing õnnestus. Kviitungi number: 555"_qs)) << w->resultLabel()->text().toStdString();
    EXPECT_TRUE(clientCodes.contains("0019"));
    EXPECT_EQ(events().last(), u"resolved:approved"_qs);
    EXPECT_EQ(journalTransactions().value(0).resolved->stan, 555);
    EXPECT_FALSE(w->checkButton()->isEnabled());
    EXPECT_EQ(w->valueLabel(5)->text(), u"555"_qs);
    EXPECT_FALSE(QFile::exists(home + u"/Report.pdf"_qs)) << "the check builds no report";
    EXPECT_TRUE(boxStack().boxCount() == 0) << messageTexts().join(u" | ").toStdString();
    // Settled: the next payment is not asked about.
    typeSlowly(text("Text2"), u"1,00"_qs);
    QTest::keyClick(text("Text2"), Qt::Key_Return);
    EXPECT_FALSE(topBox() && topBox()->boxType() == 1);
}

// The customer before paid the same 12,50 and was approved (STAN 123, in
// the server's ledger and the journal); this one's connection dropped before
// anything was booked. That approval is the other customer's: the check
// finds nothing for this one.
TEST_F(JournalWindow, CheckDoesNotTakeTheCustomerBeforesApprovalForTheDoubt)
{
    startSimulatorJson(connections({kApprovedPayment, kClosedWithoutApproving, kLedgerReport}));
    open();
    swipePayment();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(statusLine(), u"Toiming on teostatud. Kviitungi number: 123"_qs);
    paymentEndsInDoubt();
    Form5 *w = openLastTransaction();
    ASSERT_TRUE(w);
    ASSERT_TRUE(w->checkButton()->isEnabled());
    w->checkButton()->click();
    ASSERT_TRUE(waitResult(w, JournalTexts::checkNotFound())) << w->resultLabel()->text().toStdString();
    EXPECT_EQ(events().last(), u"resolved:not found"_qs);
}

TEST_F(JournalWindow, CheckSaysWhenTheServerHasNoSuchTransaction)
{
    startSimulatorJson(connections({kClosedWithoutApproving, kLedgerReport}));
    open();
    paymentEndsInDoubt();
    Form5 *w = openLastTransaction();
    ASSERT_TRUE(w);
    w->checkButton()->click();
    ASSERT_TRUE(waitResult(w, JournalTexts::checkNotFound())) << w->resultLabel()->text().toStdString();
    EXPECT_EQ(events().last(), u"resolved:not found"_qs);
    EXPECT_FALSE(w->checkButton()->isEnabled());
}

// Two payments of 12,50 in doubt, both booked by the server (555 and 556):
// either booking may be the last one's, and the cashier must tell which.
TEST_F(JournalWindow, CheckWithSeveralCandidatesLetsTheCashierPick)
{
    const char *const hungUpAgain = R"({ "steps": [
        { "expect": ["0001", "0016", "0017", "0018"] },
        { "approveThenHangup": { "stan": 556 } } ] })";
    startSimulatorJson(connections({kHungUpAfterApproving, hungUpAgain, kLedgerReport}));
    open();
    paymentEndsInDoubt();
    // The cashier takes the first doubt on herself and charges again.
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    swipePayment();
    ASSERT_TRUE(waitFor([&] { return topBox() && topBox()->boxType() == 1; }));
    topBox()->button(1)->click();
    ASSERT_TRUE(waitIdle());
    ASSERT_TRUE(waitFor([&] { return messageTexts().size() == 2; }));
    closeMessages();

    Form5 *w = openLastTransaction();
    ASSERT_TRUE(w);
    w->checkButton()->click();
    ASSERT_TRUE(waitResult(w, JournalTexts::checkSeveral())) << w->resultLabel()->text().toStdString();
    QTreeWidget *matches = w->matchList();
    ASSERT_TRUE(matches->isVisible());
    ASSERT_EQ(matches->topLevelItemCount(), 2);
    EXPECT_EQ(matches->topLevelItem(0)->text(2), u"555"_qs);
    EXPECT_EQ(matches->topLevelItem(1)->text(2), u"556"_qs);
    EXPECT_EQ(events().last(), u"unknown"_qs) << "several candidates settle nothing by themselves";
    EXPECT_FALSE(w->pickButton()->isEnabled());

    matches->setCurrentItem(matches->topLevelItem(1));
    ASSERT_TRUE(w->pickButton()->isEnabled());
    w->pickButton()->click();
    EXPECT_EQ(events().last(), u"resolved:approved"_qs);
    EXPECT_EQ(journalTransactions().last().resolved->stan, 556);
    EXPECT_EQ(w->resultLabel()->text(), u"Tehing õnnestus. Kviitungi number: 556"_qs);
    EXPECT_FALSE(matches->isVisible());
}

TEST_F(JournalWindow, ReprintIsTheFirstReceiptBehindTheCopyMark)
{
    startSimulatorJson(kApprovedPayment);
    put(Config::RAW, u"1"_qs);
    open();
    Form5 *w = openLastTransaction();
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->reprintButton()->isEnabled()) << "nothing to reprint before an approval";
    w->hide();
    swipePayment();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(spooler.jobs().size(), 1);

    w = openLastTransaction();
    EXPECT_EQ(w->valueLabel(4)->text(), u"Õnnestus"_qs);
    EXPECT_EQ(w->valueLabel(5)->text(), u"123"_qs);
    ASSERT_TRUE(w->reprintButton()->isEnabled());
    w->reprintButton()->click();
    ASSERT_EQ(spooler.jobs().size(), 2);
    EXPECT_EQ(spooler.jobs()[1].data, "*** KOOPIA ***\r\n" + spooler.jobs()[0].data);
    EXPECT_TRUE(logBytes().contains("Receipt reprinted: STAN=123"));
    // Memory only: nothing of the receipt is written anywhere.
    EXPECT_FALSE(journalBytes().contains("MAKSE"));
}

TEST_F(JournalWindow, ReprintOnThePlatformPrinterStartsWithTheCopyLine)
{
    startSimulatorJson(kApprovedPayment);
    open();
    swipePayment();
    ASSERT_TRUE(waitIdle());
    const QStringList first = printer.lines;
    ASSERT_FALSE(first.isEmpty());
    openLastTransaction()->reprintButton()->click();
    EXPECT_EQ(printer.documents, 2);
    EXPECT_EQ(printer.lines, first + QStringList{u"*** KOOPIA ***"_qs} + first);
}

// --- A console killed between its request and the answer ---------------------

// The child: a console on the folders the parent names, which starts a
// payment against the parent's silent server, says so once the journal has
// its request, and waits to be killed.
TEST(JournalCrashChild, StartsAPaymentAndWaits)
{
    const QString home = qEnvironmentVariable("TELLAR_CRASH_HOME");
    if (home.isEmpty())
        GTEST_SKIP() << "run by JournalCrash only";
    AppPaths::setProgramDir(home);
    AppPaths::setRegistryDir(qEnvironmentVariable("TELLAR_CRASH_REGISTRY"));
    ManualTiming timing;
    MemorySpooler spooler{{u"Kviitungiprinter"_qs}, u"Kviitungiprinter"_qs};
    SilentPrinter printer;
    Form1::Environment env;
    env.timing = &timing;
    env.spooler = &spooler;
    env.platformPrinter = &printer;
    Form1 w(env);
    w.show();
    keytyping::typeAt(timing, w.findChild<QLineEdit *>(u"Text2"_qs), u"12,50"_qs, 200);
    keytyping::typeAt(timing, w.findChild<QLineEdit *>(u"Text2"_qs), u";4111111111111111=2612101?"_qs, 5);
    ASSERT_TRUE(simconsole::waitFor([&] { return !w.session().journal().readEntries().isEmpty(); }, 10000));
    std::fputs("SENT\n", stdout);
    std::fflush(stdout);
    QTest::qWait(60000);
}

class JournalCrash : public JournalWindow {};

TEST_F(JournalCrash, ConsoleKilledAfterItsRequestFindsTheDoubtAtTheNextStart)
{
    startShippedSimulator("silent-server.json");
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"TELLAR_CRASH_HOME"_qs, home);
    env.insert(u"TELLAR_CRASH_REGISTRY"_qs, registry);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {u"--gtest_filter=JournalCrashChild.*"_qs, u"--gtest_also_run_disabled_tests"_qs});
    ASSERT_TRUE(child.waitForStarted());
    QByteArray said;
    ASSERT_TRUE(waitFor([&] {
        said += child.readAllStandardOutput();
        return said.contains("SENT\n") || child.state() == QProcess::NotRunning;
    }, 30000));
    ASSERT_TRUE(said.contains("SENT\n")) << said.toStdString();
    ASSERT_TRUE(waitFor([&] { return clientCodes.contains("0001"); }));
    ::kill(pid_t(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    // The next console on the same folder.
    open();
    ASSERT_TRUE(waitFor([&] { return messageTexts() == QStringList{kUnknown}; }))
        << messageTexts().join(u" | ").toStdString();
    const QList<JournalTransaction> t = journalTransactions();
    ASSERT_EQ(t.size(), 1);
    EXPECT_EQ(t[0].sent.amount, u"12.50"_qs);
    EXPECT_EQ(t[0].outcome->why, u"restart"_qs);
    EXPECT_FALSE(journalBytes().contains(kCardNumber));
}

} // namespace
