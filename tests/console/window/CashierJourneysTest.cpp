// Customers one after another at the real main window against the payment
// server simulator: typed and corrected amounts, swipes, approvals, a report
// in between, a tip, a cancellation and a booking completion by receipt
// number. Every request on the wire is checked for its amount and receipt
// number, and a swipe into an emptied amount field sends nothing. Keys run
// on the manual clock, sockets and the simulator on the real one.
#include "ConsoleFixture.h"
#include "SimConsole.h"

#include "common/Bytes.h"
#include "common/Helpers.h"
#include "reports/Form3.h"
#include "session/PaymentSession.h"

#include <QFileInfo>

namespace {

constexpr int kPatienceMs = 30000;
const QString kTrack = u"\u00f64111111111111111\u00b425121011000_"_qs;   // as the Estonian layout types it
const QByteArray kTrackOnTheWire = ";4111111111111111=25121011000?";

class CashierJourneys : public ConsoleFixture {
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        qputenv("TELLAR_KEYBOARD_LAYOUT", "ee");
        qputenv("TELLAR_PDF_OPENER", "true");
    }
    void TearDown() override
    {
        ConsoleFixture::TearDown();
        sim.reset();
        qunsetenv("TELLAR_KEYBOARD_LAYOUT");
        qunsetenv("TELLAR_PDF_OPENER");
    }

    // One connection script per scenario file, in the order given.
    void startSimulator(std::initializer_list<const char *> scenarioFiles)
    {
        std::vector<Sim::ConnectionScript> scripts;
        for (const char *file : scenarioFiles) {
            const QString path = QStringLiteral(TELLAR_SIM_SCENARIOS "/") + QString::fromLatin1(file);
            Sim::LoadResult loaded = Sim::loadScenarioFile(path, CodePage::console());
            ASSERT_TRUE(loaded.scenario) << loaded.error.toStdString();
            scripts.insert(scripts.end(), loaded.scenario->connections.begin(), loaded.scenario->connections.end());
        }
        sim = std::make_unique<Sim::SimServer>(std::move(scripts), false, CodePage::console(), simLog);
        QString error;
        ASSERT_TRUE(sim->listen(0, &error)) << error.toStdString();
        QObject::connect(sim.get(), &Sim::SimServer::clientFrame, sim.get(),
                         [this](int, const QByteArray &frame) { received.push_back(frame); });
        put(Config::ReportMode, u"0"_qs);
        put(Config::KKAddress, u"127.0.0.1"_qs);
        put(Config::KKPort, QString::number(sim->port()));
    }

    // The requests so far with this message code, parsed.
    std::vector<VaroManager> requests(const char *code) const
    {
        std::vector<VaroManager> found;
        for (const QByteArray &bytes : received) {
            VaroManager m;
            std::string frame = bytes.toStdString();
            std::string rest;
            if (m.ProcessMessage(frame, rest) == VaroManager::Parsed && fieldOf(m, 1) == code)
                found.push_back(m);
        }
        return found;
    }

    bool idle() const { return form->session().SessionState == PaymentSession::Idle; }
    QString statusLine() const { return text("Text10")->text(); }

    void waitForApproval()
    {
        ASSERT_TRUE(simconsole::waitFor([&] { return idle(); }, kPatienceMs))
            << "the session did not end; status line: " << statusLine().toStdString();
        EXPECT_EQ(statusLine(), u"Toiming on teostatud. Kviitungi number: 123"_qs);
        EXPECT_EQ(boxStack().boxCount(), 0);
    }

    // A swipe that must start nothing: "Vigane summa." is shown and closed,
    // and no request of any kind has gone out.
    void swipeIsRefused(QLineEdit *into)
    {
        const size_t before = received.size();
        typeAt(into, kTrack, 5);
        Form2 *box = topBox();
        ASSERT_NE(box, nullptr) << "the swipe was not refused";
        EXPECT_EQ(box->findChild<QLabel *>(u"Label1"_qs)->text(), u"Vigane summa."_qs);
        QTest::mouseClick(box->button(1), Qt::LeftButton);
        QTest::qWait(100);
        EXPECT_TRUE(idle());
        EXPECT_EQ(received.size(), before) << "a swipe into an empty amount field reached the server";
        EXPECT_TRUE(into->text().isEmpty());
    }

    void pause() { timing.advanceMs(200); }

    Sim::SimLog simLog;
    std::unique_ptr<Sim::SimServer> sim;
    std::vector<QByteArray> received;
};

TEST_F(CashierJourneys, EveryRequestCarriesWhatTheCashierSaw)
{
    ASSERT_NO_FATAL_FAILURE(startSimulator({"approval.json", "approval.json", "report-small.json",
                                            "approval.json", "approval.json", "approval.json"}));
    Form1 &w = open();
    QLineEdit *amount = text("Text2");

    // Customer 1 types 100, corrects it to 10 and swipes.
    typeSlowly(amount, u"100"_qs);
    QTest::keyClick(amount, Qt::Key_Backspace);
    pause();
    typeAt(amount, kTrack, 5);
    ASSERT_NO_FATAL_FAILURE(waitForApproval());
    ASSERT_EQ(requests("0001").size(), 1u);
    EXPECT_DOUBLE_EQ(DecodeDouble(fieldOf(requests("0001")[0], 4)), 10.0);
    EXPECT_EQ(fieldOf(requests("0001")[0], 5), kTrackOnTheWire);
    EXPECT_TRUE(amount->text().isEmpty()) << "fields emptied after the approval";

    // Customer 2 swipes before anything is typed: nothing may be charged.
    ASSERT_NO_FATAL_FAILURE(swipeIsRefused(amount));
    typeSlowly(amount, u"7,25"_qs);
    typeAt(amount, kTrack, 5);
    ASSERT_NO_FATAL_FAILURE(waitForApproval());
    ASSERT_EQ(requests("0001").size(), 2u);
    EXPECT_DOUBLE_EQ(DecodeDouble(fieldOf(requests("0001")[1], 4)), 7.25);

    // A report in between, from the menu's dialog.
    typeSlowly(amount, u"55,00"_qs);
    w.showReportDialog();
    auto *report = qobject_cast<Form3 *>(w.reportDialog());
    ASSERT_NE(report, nullptr);
    QTest::mouseClick(report->Command1, Qt::LeftButton);
    ASSERT_TRUE(simconsole::waitFor([&] { return !requests("0019").empty() && idle(); }, kPatienceMs))
        << "the report did not end; status line: " << statusLine().toStdString();
    EXPECT_TRUE(QFileInfo::exists(home + u"/Report.pdf"_qs));
    EXPECT_TRUE(w.savedAmountText.isEmpty()) << "the report empties what a swipe would restore";
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.FocusSelectedTab();

    // After the report the amount field is empty: a swipe charges nothing.
    ASSERT_NO_FATAL_FAILURE(swipeIsRefused(amount));
    EXPECT_EQ(requests("0001").size(), 2u);

    // A tip of 2.00 on receipt 123.
    w.SelectTab(3);
    typeSlowly(text("Text8"), u"123"_qs);
    typeSlowly(text("Text9"), u"2,00"_qs);
    QTest::keyClick(text("Text9"), Qt::Key_Return);
    ASSERT_NO_FATAL_FAILURE(waitForApproval());
    ASSERT_EQ(requests("0017").size(), 1u);
    EXPECT_EQ(DecodeInt32(fieldOf(requests("0017")[0], 13)), 123);
    EXPECT_DOUBLE_EQ(DecodeDouble(fieldOf(requests("0017")[0], 4)), 2.0);

    // A cancellation of receipt 123; a typo with a half is refused first.
    w.SelectTab(2);
    typeSlowly(text("Text3"), u"12.5"_qs);
    QTest::keyClick(text("Text3"), Qt::Key_Return);
    Form2 *refused = topBox();
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(refused->findChild<QLabel *>(u"Label1"_qs)->text(), u"Vigane kviitungi number."_qs);
    QTest::mouseClick(refused->button(1), Qt::LeftButton);
    EXPECT_TRUE(requests("0016").empty()) << "a receipt number with a half reached the server";
    text("Text3")->clear();
    typeSlowly(text("Text3"), u"123"_qs);
    QTest::keyClick(text("Text3"), Qt::Key_Return);
    ASSERT_NO_FATAL_FAILURE(waitForApproval());
    ASSERT_EQ(requests("0016").size(), 1u);
    EXPECT_EQ(DecodeInt32(fieldOf(requests("0016")[0], 13)), 123);

    // A booking completion with the receipt typed as a whole amount.
    w.SelectTab(5);
    typeSlowly(text("Text4"), u"12,00"_qs);
    typeSlowly(text("Text7"), u"5,00"_qs);
    QTest::keyClick(text("Text7"), Qt::Key_Return);
    ASSERT_NO_FATAL_FAILURE(waitForApproval());
    ASSERT_EQ(requests("0018").size(), 1u);
    EXPECT_EQ(DecodeInt32(fieldOf(requests("0018")[0], 13)), 12);
    EXPECT_DOUBLE_EQ(DecodeDouble(fieldOf(requests("0018")[0], 4)), 5.0);

    EXPECT_EQ(requests("0001").size(), 2u) << "exactly the two payments the cashier made";
}

} // namespace
