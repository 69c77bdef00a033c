// Card swipes typed by a keyboard-wedge reader into the main window, played
// at exact key spacings on the manual clock.
#include "ConsoleFixture.h"

#include "session/PaymentSession.h"
#include "widgets/CardSwipeDetector.h"

namespace {

// 40 characters of track text.
const QString kTrack = u";4111111111111111=26121010000000000000?"_qs + u"1"_qs;

class Swipe : public ConsoleFixture {
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        provisionForTransactions();
        ASSERT_EQ(kTrack.size(), 40);
    }
};

TEST_F(Swipe, FortyCharactersOnTabOneRestoreAmountFillCardAndStart)
{
    Form1 &w = open();
    w.SelectTab(1);
    QLineEdit *amount = text("Text2");
    ASSERT_EQ(QApplication::focusWidget(), amount);
    typeSlowly(amount, u"12,50"_qs);
    ASSERT_EQ(w.savedAmountText, u"12,50"_qs);

    typeAt(amount, kTrack, 5);

    EXPECT_EQ(amount->text(), u"12,50"_qs) << "the burst is taken out of the amount field";
    EXPECT_EQ(text("Text1")->text(), kTrack);
    EXPECT_EQ(boxStack().boxCount(), 0);
    EXPECT_EQ(w.session().SessionState, PaymentSession::Connecting);
    EXPECT_EQ(w.session().sessionNumber, 1);
}

TEST_F(Swipe, SameSwipeOnTabTwoIsCutOutAndStartsNothing)
{
    Form1 &w = open();
    w.SelectTab(2);
    QLineEdit *receipt = text("Text3");
    ASSERT_EQ(QApplication::focusWidget(), receipt);
    typeSlowly(receipt, u"123"_qs);

    typeAt(receipt, kTrack, 5);

    EXPECT_EQ(receipt->text(), u"123"_qs);
    EXPECT_TRUE(text("Text1")->text().isEmpty());
    EXPECT_EQ(w.session().SessionState, PaymentSession::Idle);
    EXPECT_EQ(boxStack().boxCount(), 0);
}

TEST_F(Swipe, FourFastKeysAreTypingFiveAreASwipe)
{
    Form1 &w = open();
    QLineEdit *amount = text("Text2");
    typeSlowly(amount, u"10"_qs);

    typeAt(amount, u"1234"_qs, 5);
    EXPECT_EQ(amount->text(), u"101234"_qs);
    EXPECT_EQ(w.savedAmountText, u"101234"_qs);
    EXPECT_TRUE(text("Text1")->text().isEmpty());
    EXPECT_EQ(w.session().SessionState, PaymentSession::Idle);

    amount->setText(u"10"_qs);
    typeSlowly(amount, QString());   // nothing typed: savedAmountText unchanged
    w.savedAmountText = u"10"_qs;
    typeAt(amount, u"12345"_qs, 5);
    EXPECT_EQ(amount->text(), u"10"_qs);
    EXPECT_EQ(text("Text1")->text(), u"12345"_qs);
    EXPECT_EQ(w.session().SessionState, PaymentSession::Connecting);
}

TEST_F(Swipe, FiveKeysFiftyMsApartAreOneBurstButNoSwipe)
{
    Form1 &w = open();
    QLineEdit *amount = text("Text2");
    typeSlowly(amount, u"10"_qs);
    typeAt(amount, u"12345"_qs, 50);
    EXPECT_EQ(w.swipeDetector().keyBuffer(), QString()) << "a burst that is not a swipe empties keyBuffer";
    EXPECT_EQ(amount->text(), u"1012345"_qs);
    EXPECT_EQ(w.savedAmountText, u"1012345"_qs);
    EXPECT_TRUE(text("Text1")->text().isEmpty());
    EXPECT_EQ(w.session().SessionState, PaymentSession::Idle);
}

TEST_F(Swipe, EnterInTheMiddleOfABurstDoesNothingAtOnce)
{
    // A reader that ends its data with Enter: the Enter arrives while the
    // burst is timed; the burst's end starts the payment with the whole track.
    Form1 &w = open();
    QLineEdit *amount = text("Text2");
    typeSlowly(amount, u"7"_qs);
    for (QChar c : kTrack) {
        QTest::keyClicks(amount, QString(c));
        timing.advanceMs(5);
    }
    QTest::keyClick(amount, Qt::Key_Return);
    EXPECT_EQ(w.session().SessionState, PaymentSession::Idle);
    EXPECT_EQ(boxStack().boxCount(), 0);
    timing.advanceMs(55);
    EXPECT_EQ(text("Text1")->text(), kTrack) << "Enter is not part of the card text";
    EXPECT_EQ(w.session().SessionState, PaymentSession::Connecting);
}

TEST_F(Swipe, ModifierPressesAreNotCharacters)
{
    Form1 &w = open();
    QLineEdit *amount = text("Text2");
    QTest::keyClick(amount, Qt::Key_Shift);
    QTest::keyClick(amount, Qt::Key_Control);
    EXPECT_FALSE(w.swipeDetector().isBurstOpen());
    QTest::keyClick(amount, 'A', Qt::ShiftModifier);   // "A" typed with Shift held
    EXPECT_TRUE(w.swipeDetector().isBurstOpen());
    EXPECT_EQ(w.swipeDetector().keyBuffer(), u"A"_qs);
}

TEST_F(Swipe, KeyClimbingToParentsCountsOnce)
{
    // The group box and the window see the same ignored key again; it is one
    // character of the burst.
    Form1 &w = open();
    QTest::keyClick(child<QGroupBox>("Frame1"), Qt::Key_X);
    QTest::keyClick(text("Text2"), Qt::Key_Y);
    EXPECT_EQ(w.swipeDetector().keyBuffer(), u"xy"_qs);
}

TEST_F(Swipe, RefusedAmountEmptiesTheSwipedCard)
{
    Form1 &w = open();
    typeAt(text("Text2"), kTrack, 5);   // no amount before the swipe
    ASSERT_EQ(boxStack().boxCount(), 1);
    EXPECT_TRUE(text("Text1")->text().isEmpty());
    EXPECT_EQ(w.session().SessionState, PaymentSession::Idle);
}

TEST_F(Swipe, SwipeNotFoundInTheEditedFieldStillFillsTheCard)
{
    Form1 &w = open();
    w.SelectTab(4);
    QLineEdit *amount = text("Text2");
    typeSlowly(amount, u"20"_qs);
    // The swipe goes to the card field itself: nothing to cut out.
    QLineEdit *card = text("Text1");
    card->setFocus();
    typeAt(card, kTrack, 5);
    EXPECT_EQ(card->text(), kTrack);
    EXPECT_EQ(amount->text(), u"20"_qs);
    EXPECT_EQ(w.session().SessionState, PaymentSession::Connecting);
}

TEST_F(Swipe, SwipeWhileSessionRunsIsOnlyCutOut)
{
    Form1 &w = open();
    text("Text2")->setText(u"5"_qs);
    w.ValidateAndStart();
    ASSERT_EQ(w.session().SessionState, PaymentSession::Connecting);
    const int number = w.session().sessionNumber;
    typeAt(child<QPushButton>("Command2"), kTrack, 5);
    EXPECT_TRUE(text("Text1")->text().isEmpty());
    EXPECT_EQ(w.session().sessionNumber, number);
}

TEST_F(Swipe, ReportRequestWaitsForTheBurst)
{
    Form1 &w = open();
    QTest::keyClicks(text("Text2"), u"1"_qs);
    ASSERT_TRUE(w.swipeDetector().isBurstOpen());
    w.PrepareReport(QDate(2026, 12, 1), QDate(2026, 12, 6), 0, 1);
    EXPECT_EQ(w.session().SessionState, PaymentSession::Idle);
    EXPECT_FALSE(w.session().ReportPending);
}

} // namespace
