// The main window's input path as a cashier uses it: corrections before a
// swipe, swipes into fields of every tab, the wheel over the tab strip, the
// way back from another program, and what a screen reader is told. Keys run
// on the manual clock; what leaves the console is read at the silent server.
#include "ConsoleFixture.h"

#include "common/Bytes.h"
#include "common/Helpers.h"
#include "session/PaymentSession.h"
#include "widgets/CardSwipeDetector.h"

#include <QAccessible>
#include <QClipboard>
#include <QWheelEvent>

namespace {

const QString kTrack = u";4111111111111111=25121011000?"_qs;

class CashierInput : public ConsoleFixture {
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        provisionForTransactions();
    }

    // Lets time pass as between a person's keys: the last burst closes.
    void pause() { timing.advanceMs(200); }

    void key(QWidget *w, Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(w, k, modifiers);
        pause();
    }

    // The amount of the payment request on the wire.
    double amountSent()
    {
        const VaroManager request = nextRequest();
        EXPECT_EQ(fieldOf(request, 1), "0001");
        return DecodeDouble(fieldOf(request, 4));
    }

    bool idle() const { return form->session().SessionState == PaymentSession::Idle; }
};

TEST_F(CashierInput, BackspaceCorrectionSurvivesSwipe)
{
    open();
    QLineEdit *amount = text("Text2");
    typeSlowly(amount, u"100"_qs);
    key(amount, Qt::Key_Backspace);
    ASSERT_EQ(amount->text(), u"10"_qs);

    typeAt(amount, kTrack, 5);

    EXPECT_EQ(amount->text(), u"10"_qs) << "the field as it stood before the burst";
    EXPECT_EQ(text("Text1")->text(), kTrack);
    EXPECT_DOUBLE_EQ(amountSent(), 10.0);
}

TEST_F(CashierInput, DeleteCorrectionSurvivesSwipe)
{
    open();
    QLineEdit *amount = text("Text2");
    typeSlowly(amount, u"150"_qs);
    key(amount, Qt::Key_Home);
    key(amount, Qt::Key_Delete);
    ASSERT_EQ(amount->text(), u"50"_qs);

    typeAt(amount, kTrack, 5);

    EXPECT_EQ(amount->text(), u"50"_qs);
    EXPECT_DOUBLE_EQ(amountSent(), 50.0);
}

TEST_F(CashierInput, CutAndPasteCorrectionSurvivesSwipe)
{
    open();
    QLineEdit *amount = text("Text2");
    typeSlowly(amount, u"99"_qs);
    key(amount, Qt::Key_A, Qt::ControlModifier);
    key(amount, Qt::Key_X, Qt::ControlModifier);
    ASSERT_TRUE(amount->text().isEmpty());
    QGuiApplication::clipboard()->setText(u"7,25"_qs);
    key(amount, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(amount->text(), u"7,25"_qs);

    typeAt(amount, kTrack, 5);

    EXPECT_EQ(amount->text(), u"7,25"_qs);
    EXPECT_DOUBLE_EQ(amountSent(), 7.25);
}

TEST_F(CashierInput, SelectionOverwriteSurvivesSwipe)
{
    open();
    QLineEdit *amount = text("Text2");
    typeSlowly(amount, u"12,50"_qs);
    amount->selectAll();
    typeSlowly(amount, u"3"_qs);
    ASSERT_EQ(amount->text(), u"3"_qs);

    typeAt(amount, kTrack, 5);

    EXPECT_EQ(amount->text(), u"3"_qs);
    EXPECT_DOUBLE_EQ(amountSent(), 3.0);
}

TEST_F(CashierInput, SwipeOverASelectedAmountKeepsTheAmount)
{
    Form1 &w = open();
    QLineEdit *amount = text("Text2");
    typeSlowly(amount, u"12,50"_qs);
    // Focus in selects the whole text: the reader's first key replaces it.
    text("Text1")->setFocus();
    w.FocusSelectedTab();
    ASSERT_EQ(amount->selectedText(), u"12,50"_qs);

    typeAt(amount, kTrack, 5);

    EXPECT_EQ(amount->text(), u"12,50"_qs);
    EXPECT_DOUBLE_EQ(amountSent(), 12.5);
}

TEST_F(CashierInput, SwipeIntoAnEmptiedAmountFieldStartsNothing)
{
    // What the session's end does after an approval or a report: the fields
    // are emptied. The next customer's swipe finds an empty amount.
    Form1 &w = open();
    QLineEdit *amount = text("Text2");
    typeSlowly(amount, u"12,50"_qs);
    ASSERT_EQ(w.savedAmountText, u"12,50"_qs);
    static_cast<SessionHost &>(w).clearEntryFields();
    EXPECT_TRUE(w.savedAmountText.isEmpty());

    typeAt(amount, kTrack, 5);

    EXPECT_TRUE(amount->text().isEmpty());
    Form2 *box = topBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->findChild<QLabel *>(u"Label1"_qs)->text(), u"Vigane summa."_qs);
    EXPECT_TRUE(idle());
    EXPECT_FALSE(anyConnection()) << "nothing goes to the server";
}

TEST_F(CashierInput, SwipeIntoCompletionReceiptLeavesNoCardDigitsInClear)
{
    Form1 &w = open();
    w.SelectTab(5);
    QLineEdit *receipt = text("Text4");
    ASSERT_EQ(QApplication::focusWidget(), receipt);
    typeSlowly(receipt, u"12"_qs);

    typeAt(receipt, kTrack, 5);

    EXPECT_EQ(receipt->text(), u"12"_qs) << "the six-character field held the track's first digits";
    EXPECT_TRUE(idle());
}

TEST_F(CashierInput, SwipeOverASelectedReceiptNumberKeepsIt)
{
    Form1 &w = open();
    w.SelectTab(2);
    QLineEdit *receipt = text("Text3");
    typeSlowly(receipt, u"123"_qs);
    text("Text1")->setFocus();
    w.FocusSelectedTab();
    ASSERT_EQ(receipt->selectedText(), u"123"_qs);

    typeAt(receipt, kTrack, 5);

    EXPECT_EQ(receipt->text(), u"123"_qs);
}

TEST_F(CashierInput, DeadKeyInABurstCountsAsItsCharacter)
{
    // The Estonian layout's dead acute at the "=" of a US layout, as the
    // platform delivers it once composition is off: no text of its own.
    Form1 &w = open();
    QLineEdit *amount = text("Text2");
    typeSlowly(amount, u"5,00"_qs);
    auto *amountField = qobject_cast<TrackLineEdit *>(amount);
    ASSERT_NE(amountField, nullptr);
    EXPECT_TRUE(amountField->inputMethodQuery(Qt::ImEnabled).toBool()) << "composition outside a burst";
    const QString before = u"\u00f64111"_qs;
    const QString after = u"2512_"_qs;
    for (QChar c : before) {
        keytyping::typeChar(amount, c);
        timing.advanceMs(5);
    }
    EXPECT_FALSE(amountField->inputMethodQuery(Qt::ImEnabled).toBool()) << "no composition inside a burst";
    QTest::sendKeyEvent(QTest::Click, amount, Qt::Key_Dead_Acute, QString(), Qt::NoModifier);
    timing.advanceMs(5);
    for (QChar c : after) {
        keytyping::typeChar(amount, c);
        timing.advanceMs(5);
    }
    timing.advanceMs(55);

    EXPECT_EQ(text("Text1")->text(), before + u"\u00b4"_qs + after);
    EXPECT_EQ(amount->text(), u"5,00"_qs);
    EXPECT_EQ(w.session().SessionState, PaymentSession::Connecting);
}

TEST_F(CashierInput, WheelOverTheTabStripChangesNoTab)
{
    open();
    QLineEdit *amount = text("Text2");
    typeSlowly(amount, u"12,50"_qs);
    QTabBar *tabs = tabStrip();
    const QPointF at = tabs->tabRect(0).center();
    for (int delta : {-120, 120, -120}) {
        QWheelEvent wheel(at, tabs->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(tabs, &wheel);
    }
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_TRUE(text("Text2")->isVisible()) << "still the card payment tab";
    EXPECT_EQ(amount->text(), u"12,50"_qs);
}

TEST_F(CashierInput, FieldsAreNamedByTheirLabelsForAScreenReader)
{
    Form1 &w = open();
    const struct {
        const char *field;
        int tab;
        const char *name;
    } rows[] = {
        {"Text2", 1, "Summa:"},        {"Text1", 1, "Kaardi nr."}, {"Text3", 2, "Kviitungi nr."},
        {"Text8", 3, "Kviitungi nr."}, {"Text9", 3, "Summa:"},     {"Text4", 5, "Kviitungi nr."},
        {"Text7", 5, "Summa:"},
    };
    for (const auto &row : rows) {
        w.SelectTab(row.tab);
        QAccessibleInterface *field = QAccessible::queryAccessibleInterface(text(row.field));
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->text(QAccessible::Name), QString::fromUtf8(row.name)) << row.field;
    }
    QAccessibleInterface *picture = QAccessible::queryAccessibleInterface(child<QLabel>("Image1"));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->text(QAccessible::Name), u"Kaarditerminal"_qs);
    QAccessibleInterface *status = QAccessible::queryAccessibleInterface(text("Text10"));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(QAccessible::Name), u"Olekurida"_qs);
}

TEST_F(CashierInput, StatusLineAndBoxesCarryTheirTextForAScreenReader)
{
    // The announcements themselves (events on the accessibility bus) are
    // read end to end under Xvfb with the bus running.
    Form1 &w = open();
    typeSlowly(text("Text2"), u"abc"_qs);
    QTest::keyClick(text("Text2"), Qt::Key_Return);
    Form2 *box = topBox();
    ASSERT_NE(box, nullptr);
    QAccessibleInterface *boxInterface = QAccessible::queryAccessibleInterface(box);
    ASSERT_NE(boxInterface, nullptr);
    EXPECT_EQ(boxInterface->text(QAccessible::Description), u"Vigane summa."_qs);
    QTest::mouseClick(box->button(1), Qt::LeftButton);

    static_cast<SessionHost &>(w).setStatusLine(u"Kaart on loetud."_qs);
    QAccessibleInterface *status = QAccessible::queryAccessibleInterface(text("Text10"));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(QAccessible::Description), u"Kaart on loetud."_qs);
    EXPECT_EQ(status->text(QAccessible::Name), u"Olekurida"_qs);
}

} // namespace
