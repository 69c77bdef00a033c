// The console window against the payment server simulator in the same
// process: a swiped payment approved and printed, and the server's prompts
// answered through the boxes. Sockets and the simulator's pauses run on the
// real clock (about a second per test); the keys run on the manual one.
#include "ConsoleFixture.h"

#include "common/CodePage.h"
#include "session/PaymentSession.h"
#include "Scenario.h"
#include "SimLog.h"
#include "SimServer.h"

#include <QElapsedTimer>

#include <functional>

namespace {

constexpr int kPatienceMs = 15000;

class EndToEnd : public ConsoleFixture {
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        qputenv("TELLAR_KEYBOARD_LAYOUT", "ee");
    }
    void TearDown() override
    {
        ConsoleFixture::TearDown();
        sim.reset();
        qunsetenv("TELLAR_KEYBOARD_LAYOUT");
    }

    void startSimulator(const char *scenarioFile)
    {
        const QString path = QStringLiteral(TELLAR_SIM_SCENARIOS "/") + QString::fromLatin1(scenarioFile);
        Sim::LoadResult loaded = Sim::loadScenarioFile(path, CodePage::console());
        ASSERT_TRUE(loaded.scenario) << loaded.error.toStdString();
        sim = std::make_unique<Sim::SimServer>(loaded.scenario->connections, false, CodePage::console(), simLog);
        QString error;
        ASSERT_TRUE(sim->listen(0, &error)) << error.toStdString();
        put(Config::ReportMode, u"0"_qs);
        put(Config::KKAddress, u"127.0.0.1"_qs);
        put(Config::KKPort, QString::number(sim->port()));
        put(Config::DoPrint, u"1"_qs);
        put(Config::Printer, u"Kviitungiprinter"_qs);
    }

    static bool waitFor(const std::function<bool()> &done)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > kPatienceMs)
                return false;
            QTest::qWait(10);
        }
        return true;
    }

    Form2 *waitForBox(quint8 kind)
    {
        Form2 *box = nullptr;
        waitFor([&] {
            box = topBox();
            return box && box->boxType() == kind;
        });
        return box && box->boxType() == kind ? box : nullptr;
    }

    QString statusLine() const { return text("Text10")->text(); }

    Sim::SimLog simLog;
    std::unique_ptr<Sim::SimServer> sim;
};

TEST_F(EndToEnd, SwipedPaymentIsApprovedPrintedAndShown)
{
    startSimulator("approval.json");
    Form1 &w = open();
    typeSlowly(text("Text2"), u"12,50"_qs);
    typeAt(text("Text2"), u";4111111111111111=2612101?"_qs, 5);
    ASSERT_EQ(w.session().SessionState, PaymentSession::Connecting);
    EXPECT_EQ(child<QLabel>("StatusBar1Text")->text(), u"Session: 000001"_qs);

    ASSERT_TRUE(waitFor([&] { return w.session().SessionState == PaymentSession::Idle; }))
        << "the session did not end; status line: " << statusLine().toStdString();
    EXPECT_EQ(statusLine(), u"Toiming on teostatud. Kviitungi number: 123"_qs);
    EXPECT_EQ(boxStack().boxCount(), 0);
    for (const char *name : {"Text1", "Text2"})
        EXPECT_TRUE(text(name)->text().isEmpty()) << name << " emptied after the approval";
    EXPECT_TRUE(child<QPushButton>("Command1")->isEnabled());
    EXPECT_TRUE(tabStrip()->isEnabled());

    EXPECT_EQ(printer.printerName, u"Kviitungiprinter"_qs);
    EXPECT_EQ(printer.fontName, u"Courier New"_qs);
    EXPECT_EQ(printer.documents, 1);
    EXPECT_TRUE(printer.lines.contains(u"    Täname ostu eest!"_qs)) << printer.lines.join(u'|').toStdString();
}

TEST_F(EndToEnd, ServerPromptsAreAnsweredThroughTheBoxes)
{
    startSimulator("prompts.json");
    Form1 &w = open();
    text("Text2")->setText(u"3,00"_qs);
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);

    Form2 *question = waitForBox(1);
    ASSERT_NE(question, nullptr) << "no button box; status line: " << statusLine().toStdString();
    EXPECT_EQ(question->findChild<QLabel *>(u"Label1"_qs)->text(), u"Kas klient soovib tšekki e-postiga?"_qs);
    EXPECT_FALSE(w.isEnabled());
    QTest::keyClick(question, Qt::Key_Return);   // "No", the default

    Form2 *input = waitForBox(2);
    ASSERT_NE(input, nullptr);
    typeSlowly(input->inputField(), u"38001010000"_qs);
    QTest::mouseClick(input->button(1), Qt::LeftButton);

    Form2 *masked = waitForBox(3);
    ASSERT_NE(masked, nullptr);
    typeAt(masked->inputField(), u"\u00f6123456\u00b4_"_qs, 5);
    QTest::mouseClick(masked->button(1), Qt::LeftButton);

    ASSERT_TRUE(waitFor([&] { return w.session().SessionState == PaymentSession::Idle; }))
        << "the session did not end; status line: " << statusLine().toStdString();
    EXPECT_EQ(statusLine(), u"Toiming on teostatud. Kviitungi number: 4711"_qs);
    EXPECT_EQ(boxStack().boxCount(), 0);
    EXPECT_TRUE(w.isEnabled());
    // The answers' contents (the transaction log keeps card data out) are
    // checked where the boxes are tested with a recording answer sink.
}

} // namespace
