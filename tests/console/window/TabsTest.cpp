// Transaction tabs: validation messages and their side effects, tab changes,
// focus rules and Ctrl+Tab.
#include "ConsoleFixture.h"

#include "session/PaymentSession.h"
#include "widgets/CardSwipeDetector.h"

#include <QAction>
#include <QSignalSpy>

namespace {

class Tabs : public ConsoleFixture {
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        provisionForTransactions();
    }
};

struct MessageRow {
    const char *name;
    int tab;
    std::vector<std::pair<const char *, const char *>> fields;   // control, text
    const char *message;   // nullptr: the session starts
    bool cardEmptied;
};

void PrintTo(const MessageRow &row, std::ostream *os) { *os << row.name; }

class ValidationMessages : public Tabs, public ::testing::WithParamInterface<MessageRow> {};

TEST_P(ValidationMessages, MessageAndSideEffect)
{
    const MessageRow &row = GetParam();
    Form1 &w = open();
    w.SelectTab(row.tab);
    for (const auto &[name, value] : row.fields)
        text(name)->setText(QString::fromUtf8(value));
    text("Text1")->setText(u"4111111111111111"_qs);   // what a swipe left there
    child<QLineEdit>("Text10")->setText(u"eelmine olek"_qs);

    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);

    EXPECT_TRUE(child<QLineEdit>("Text10")->text().isEmpty()) << "the status line is emptied first";
    if (!row.message) {
        EXPECT_EQ(boxStack().boxCount(), 0);
        EXPECT_EQ(w.session().SessionState, PaymentSession::Connecting);
        return;
    }
    ASSERT_EQ(boxStack().boxCount(), 1);
    Form2 *box = topBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->boxType(), 0);
    EXPECT_EQ(box->style() & 112, 16) << "error icon";
    EXPECT_EQ(box->findChild<QLabel *>(u"Label1"_qs)->text(), QString::fromUtf8(row.message));
    EXPECT_FALSE(w.isEnabled()) << "the message disables the main window";
    EXPECT_EQ(w.session().SessionState, PaymentSession::Idle);
    EXPECT_EQ(text("Text1")->text().isEmpty(), row.cardEmptied);
    for (const auto &[name, value] : row.fields)
        EXPECT_EQ(text(name)->text(), QString::fromUtf8(value)) << name << " keeps its text";

    QTest::mouseClick(box->button(1), Qt::LeftButton);
    EXPECT_EQ(boxStack().boxCount(), 0);
    EXPECT_TRUE(w.isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    EveryTab, ValidationMessages,
    ::testing::Values(
        MessageRow{"PaymentBadAmount", 1, {{"Text2", "12,5"}}, "Vigane summa.", true},
        MessageRow{"PaymentGoodAmount", 1, {{"Text2", "12,50"}}, nullptr, false},
        MessageRow{"BookingBadAmount", 4, {{"Text2", "1 000"}}, "Vigane summa.", true},
        MessageRow{"PaymentBeyondTheCentsTheRequestCarriesRefused", 1, {{"Text2", "70368744177664,01"}}, "Vigane summa.", true},
        MessageRow{"TipBeyondTheCentsTheRequestCarriesRefused", 3, {{"Text8", "12"}, {"Text9", "12345678901234567"}}, "Vigane summa.", true},
        MessageRow{"CancellationSevenDigits", 2, {{"Text3", "1234567"}}, "Vigane kviitungi number.", false},
        MessageRow{"CancellationEmpty", 2, {{"Text3", ""}}, "Vigane kviitungi number.", false},
        MessageRow{"CancellationExponent", 2, {{"Text3", "1e3"}}, nullptr, false},
        MessageRow{"TipBadReceipt", 3, {{"Text8", "abc"}, {"Text9", "1,00"}}, "Vigane kviitungi number.", false},
        MessageRow{"TipBadAmount", 3, {{"Text8", "12"}, {"Text9", "1,0"}}, "Vigane summa.", true},
        MessageRow{"CompletionExponentReceipt", 5, {{"Text4", "1e3"}, {"Text7", "1,00"}}, "Vigane kviitungi number.", false},
        MessageRow{"CompletionWholeAmountAsReceipt", 5, {{"Text4", "12,00"}, {"Text7", "1,00"}}, nullptr, false},
        MessageRow{"CompletionFractionalReceiptRefused", 5, {{"Text4", "12,50"}, {"Text7", "1,00"}}, "Vigane kviitungi number.", false},
        MessageRow{"CancellationHalfReceiptRefusedNotRounded", 2, {{"Text3", "12.5"}}, "Vigane kviitungi number.", false},
        MessageRow{"CancellationNegativeReceiptRefused", 2, {{"Text3", "-5"}}, "Vigane kviitungi number.", false},
        MessageRow{"CompletionBadAmount", 5, {{"Text4", "12"}, {"Text7", "x"}}, "Vigane summa.", true}),
    [](const ::testing::TestParamInfo<MessageRow> &info) { return std::string(info.param.name); });

TEST_F(Tabs, EnterPressesOk)
{
    Form1 &w = open();
    text("Text2")->setText(u"12,5"_qs);
    QTest::keyClick(text("Text2"), Qt::Key_Return);
    ASSERT_EQ(boxStack().boxCount(), 1);
    EXPECT_FALSE(w.isEnabled());
}

TEST_F(Tabs, OtherTabEmptiesEveryFieldSameTabKeepsThem)
{
    Form1 &w = open();
    w.SelectTab(2);
    text("Text3")->setText(u"123"_qs);
    text("Text1")->setText(u"card"_qs);
    QTest::mouseClick(tabStrip(), Qt::LeftButton, {}, tabStrip()->tabRect(1).center());
    EXPECT_EQ(text("Text3")->text(), u"123"_qs) << "clicking the selected tab keeps the text";
    QTest::mouseClick(tabStrip(), Qt::LeftButton, {}, tabStrip()->tabRect(2).center());
    EXPECT_EQ(tabStrip()->currentIndex(), 2);
    for (const char *name : {"Text1", "Text2", "Text3", "Text4", "Text7", "Text8", "Text9"})
        EXPECT_TRUE(text(name)->text().isEmpty()) << name;
    EXPECT_EQ(w.currentTab, 3);
    EXPECT_TRUE(child<QGroupBox>("Frame3")->isVisible());
    EXPECT_FALSE(child<QGroupBox>("Frame2")->isVisible());
}

TEST_F(Tabs, EachTabShowsItsFrameAndFocusesItsFirstField)
{
    Form1 &w = open();
    const struct { int tab; const char *frame; const char *title; const char *first; } rows[] = {
        {1, "Frame1", " Kaardimakse ", "Text2"},
        {2, "Frame2", " Tühistamine ", "Text3"},
        {3, "Frame3", " Jootraha ", "Text8"},
        {4, "Frame1", " Broneering ", "Text2"},
        {5, "Frame5", " Broneeringu lõpetamine ", "Text4"},
    };
    for (const auto &row : rows) {
        w.SelectTab(row.tab);
        for (const char *frame : {"Frame1", "Frame2", "Frame3", "Frame5"}) {
            EXPECT_EQ(child<QGroupBox>(frame)->isVisible(), qstrcmp(frame, row.frame) == 0)
                << "tab " << row.tab << " " << frame;
        }
        EXPECT_EQ(child<QGroupBox>(row.frame)->title(), QString::fromUtf8(row.title));
        EXPECT_EQ(QApplication::focusWidget(), text(row.first)) << "tab " << row.tab;
    }
}

TEST_F(Tabs, FieldSelectsAllOnFocusWithCaretAtStart)
{
    Form1 &w = open();
    w.SelectTab(3);
    text("Text9")->setText(u"12,50"_qs);
    text("Text9")->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(text("Text9")->selectedText(), u"12,50"_qs);
    EXPECT_EQ(text("Text9")->cursorPosition(), 0);
}

TEST_F(Tabs, StatusLinePassesTheFocusOn)
{
    Form1 &w = open();
    w.SelectTab(2);
    child<QLineEdit>("Text10")->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(QApplication::focusWidget(), text("Text3"));

    text("Text3")->setText(u"123"_qs);
    w.ValidateAndStart();
    ASSERT_EQ(w.session().SessionState, PaymentSession::Connecting);
    child<QLineEdit>("Text10")->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>("Command2")) << "session runs: to Loobu";
}

TEST_F(Tabs, SessionEndGivesTheFocusBackToTheFirstFieldAndForgetsTheSwipe)
{
    Form1 &w = open();
    w.SelectTab(1);
    QLineEdit *amount = text("Text2");
    typeSlowly(amount, u"12,50"_qs);
    w.ValidateAndStart();
    ASSERT_EQ(w.session().SessionState, PaymentSession::Connecting);
    child<QPushButton>("Command2")->setFocus(Qt::OtherFocusReason);
    w.swipeDetector().keyPress(u"x");
    timing.advanceMs(55);

    w.ReturnToIdle();

    EXPECT_EQ(QApplication::focusWidget(), amount) << "the next amount is typed without a click";
    EXPECT_EQ(amount->selectedText(), u"12,50"_qs);
    EXPECT_TRUE(w.swipeDetector().keyBuffer().isEmpty());
}

TEST_F(Tabs, StatusLineKeepsTheFocusInReportMode)
{
    put(Config::ReportMode, u"1"_qs);
    open();
    child<QLineEdit>("Text10")->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(QApplication::focusWidget(), child<QLineEdit>("Text10"));
}

TEST_F(Tabs, SelectTabDoesNothingInReportMode)
{
    put(Config::ReportMode, u"1"_qs);
    Form1 &w = open();
    w.SelectTab(3);
    EXPECT_EQ(tabStrip()->currentIndex(), 0);
}

TEST_F(Tabs, TabOrderFollowsTheFields)
{
    open();
    QWidget *expected[] = {text("Text2"), text("Text1"), text("Text3"), text("Text8"), text("Text9"),
                           text("Text4"), text("Text7"), child<QWidget>("Command1"), child<QWidget>("Command2")};
    QWidget *w = tabStrip();
    for (QWidget *next : expected) {
        w = w->nextInFocusChain();
        // Labels and frames take no focus; skip them as Tab would.
        while (w->focusPolicy() == Qt::NoFocus || w->focusPolicy() == Qt::ClickFocus)
            w = w->nextInFocusChain();
        EXPECT_EQ(w, next) << next->objectName().toStdString();
    }
}

// --- Ctrl+Tab --------------------------------------------------------------

TEST_F(Tabs, CtrlTabFromTabFiveSelectsTabOne)
{
    Form1 &w = open();
    w.SelectTab(5);
    QTest::keyClick(text("Text4"), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(tabStrip()->currentIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), text("Text2"));
}

TEST_F(Tabs, CtrlTabMovesOneTabEvenWhileTheKeyClimbsToParents)
{
    // A line edit ignores Ctrl+Tab, so the same key event travels up through
    // the frame to the window; it is one press and moves one tab.
    open();
    for (int expected : {1, 2, 3, 4, 0}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_EQ(tabStrip()->currentIndex(), expected);
    }
}

TEST_F(Tabs, CtrlShiftTabDoesNothing)
{
    open();
    QTest::keyClick(text("Text2"), Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(text("Text2"), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(tabStrip()->currentIndex(), 0);
}

TEST_F(Tabs, CtrlAltTabDoesNothing)
{
    open();
    QTest::keyClick(text("Text2"), Qt::Key_Tab, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(tabStrip()->currentIndex(), 0);
}

TEST_F(Tabs, CtrlTabWhileABoxIsOpenDoesNothing)
{
    Form1 &w = open();
    w.OpenBox(0, u"Vigane summa."_qs, 16);
    ASSERT_FALSE(w.isEnabled());
    QTest::keyClick(text("Text2"), Qt::Key_Tab, Qt::ControlModifier);   // reaches the filter all the same
    QTest::keyClick(topBox(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(tabStrip()->currentIndex(), 0);
}

TEST_F(Tabs, CtrlTabWhileSessionRunsDoesNothing)
{
    Form1 &w = open();
    text("Text2")->setText(u"1"_qs);
    w.ValidateAndStart();
    ASSERT_FALSE(tabStrip()->isEnabled());
    QTest::keyClick(child<QPushButton>("Command2"), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(tabStrip()->currentIndex(), 0);
}

TEST_F(Tabs, EscapePressesLoobuWhileSessionRuns)
{
    Form1 &w = open();
    text("Text2")->setText(u"1"_qs);
    w.ValidateAndStart();
    ASSERT_EQ(w.session().SessionState, PaymentSession::Connecting);
    QSignalSpy loobu(child<QPushButton>("Command2"), &QPushButton::clicked);
    QTest::keyClick(text("Text2"), Qt::Key_Escape);   // from a disabled field the key climbs to the window
    EXPECT_EQ(loobu.count(), 1);
}

TEST_F(Tabs, EscapeInIdleDoesNothing)
{
    open();
    QSignalSpy loobu(child<QPushButton>("Command2"), &QPushButton::clicked);
    QTest::keyClick(text("Text2"), Qt::Key_Escape);
    EXPECT_EQ(loobu.count(), 0);
    EXPECT_EQ(boxStack().boxCount(), 0);
}

} // namespace
