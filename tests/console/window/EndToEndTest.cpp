// The console window against the payment server simulator in the same
// process: a swiped payment approved and printed, and the server's prompts
// answered through the boxes. Sockets and the simulator's pauses run on the
// real clock (about a second per test); the keys run on the manual one.
#include "SimConsoleFixture.h"

#include "session/PaymentSession.h"

namespace {

class EndToEnd : public SimConsoleFixture {
protected:
    QString statusLine() const { return text("Text10")->text(); }
};

TEST_F(EndToEnd, SwipedPaymentIsApprovedPrintedAndShown)
{
    startSimulator(u"approval.json"_qs);
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
    startSimulator(u"prompts.json"_qs);
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
