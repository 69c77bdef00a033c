// The prompt box driven as a cashier would: buttons, Enter, Esc, the close
// box, swipes into masked boxes, the stack and the layout.
#include "dialogs/BoxLayout.h"
#include "dialogs/BoxStack.h"
#include "dialogs/Form2.h"
#include "dialogs/PromptAnswers.h"
#include "common/Timing.h"

#include "../window/KeyTyping.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {

struct Answer {
    bool input;
    quint8 code;
    QString text;
    bool operator==(const Answer &o) const { return input == o.input && code == o.code && text == o.text; }
};

std::ostream &operator<<(std::ostream &os, const Answer &a)
{
    return os << (a.input ? "InputResponse(" : "ButtonResponse(") << int(a.code) << ", \""
              << a.text.toStdString() << "\")";
}

struct RecordingAnswers : PromptAnswers {
    void ButtonResponse(quint8 code) override { answers.push_back({false, code, {}}); }
    void InputResponse(quint8 code, const QString &text) override { answers.push_back({true, code, text}); }
    std::vector<Answer> answers;
};

struct MainWindowStandIn : StackedWindow {
    void setStackEnabled(bool on) override { enabled = on; }
    bool enabled = true;
};

class Box : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("TELLAR_KEYBOARD_LAYOUT", "ee");
        boxStack().reset(&main);
    }
    void TearDown() override
    {
        boxStack().CloseAllBoxes();
        boxStack().reset(nullptr);
        QApplication::processEvents();
        qunsetenv("TELLAR_KEYBOARD_LAYOUT");
    }

    // OpenBox as the main window does it.
    QPointer<Form2> open(quint8 kind, const QString &text, qint32 style)
    {
        auto *box = new Form2(timing, answers, nullptr);
        const int n = boxStack().push(box);
        box->ShowBox(qint16(n), kind, text, style);
        box->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(box));
        return box;
    }

    static QStringList shownCaptions(Form2 *box)
    {
        QStringList captions;
        for (int k = 1; k <= 3; ++k) {
            if (box->button(k)->isVisible())
                captions << box->button(k)->text();
        }
        return captions;
    }

    void typeAt(QWidget *w, const QString &text, int spacingMs) { keytyping::typeAt(timing, w, text, spacingMs); }

    ManualTiming timing;
    RecordingAnswers answers;
    MainWindowStandIn main;
};

TEST_F(Box, PlainMessageShowsErrorIconAndOneOkAndAnswersNothing)
{
    QPointer<Form2> box = open(0, u"Vigane summa."_qs, 16);
    EXPECT_EQ(box->windowTitle(), u"Tellar"_qs);
    EXPECT_EQ(shownCaptions(box), QStringList{u"OK"_qs});
    EXPECT_TRUE(box->iconLabel()->isVisible());
    EXPECT_FALSE(box->iconLabel()->pixmap().isNull());
    EXPECT_EQ(box->findChild<QLabel *>(u"Label1"_qs)->text(), u"Vigane summa."_qs);
    EXPECT_FALSE(main.enabled);

    QTest::mouseClick(box->button(1), Qt::LeftButton);
    EXPECT_TRUE(answers.answers.empty());
    EXPECT_TRUE(main.enabled);
    EXPECT_EQ(boxStack().boxCount(), 0);
}

TEST_F(Box, PlainMessageIgnoresTheStylesButtonSet)
{
    QPointer<Form2> box = open(0, u"Teade"_qs, 4 + 64);
    EXPECT_EQ(shownCaptions(box), QStringList{u"OK"_qs});
    EXPECT_EQ(box->style(), 64) << "the set is forced to 0, the icon kept";
    box->close();
    EXPECT_TRUE(answers.answers.empty());
}

TEST_F(Box, EnterOnYesNoQuestionWithSecondDefaultAnswersNo)
{
    QPointer<Form2> box = open(1, u"Kas trükkida kviitung?"_qs, 4 + 32 + 256);
    EXPECT_EQ(shownCaptions(box), (QStringList{u"Yes"_qs, u"No"_qs}));
    EXPECT_TRUE(box->button(2)->isDefault());
    EXPECT_EQ(QApplication::focusWidget(), box->button(2));
    EXPECT_TRUE(box->iconLabel()->isVisible());

    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(answers.answers, (std::vector<Answer>{{false, 7, {}}}));
    EXPECT_TRUE(main.enabled);
}

TEST_F(Box, CloseBoxOfYesNoCancelAnswersNo)
{
    QPointer<Form2> box = open(1, u"Jätkata?"_qs, 3);
    EXPECT_EQ(shownCaptions(box), (QStringList{u"Yes"_qs, u"No"_qs, u"Cancel"_qs}));
    box->close();
    EXPECT_EQ(answers.answers, (std::vector<Answer>{{false, 7, {}}}));
}

TEST_F(Box, ButtonPressAnswersOnceAndCloses)
{
    QPointer<Form2> box = open(1, u"Viga kaardilugejas"_qs, 2 + 48);
    EXPECT_EQ(shownCaptions(box), (QStringList{u"Abort"_qs, u"Retry"_qs, u"Ignore"_qs}));
    QTest::mouseClick(box->button(3), Qt::LeftButton);
    EXPECT_EQ(answers.answers, (std::vector<Answer>{{false, 5, {}}})) << "no second answer from the close";
    EXPECT_EQ(boxStack().boxCount(), 0);
}

TEST_F(Box, ThirdButtonDefaultWithBit512)
{
    QPointer<Form2> box = open(1, u"?"_qs, 3 + 512);
    EXPECT_TRUE(box->button(3)->isDefault());
    QTest::keyClick(box, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(answers.answers, (std::vector<Answer>{{false, 2, {}}}));
}

TEST_F(Box, UnknownButtonSetIsOneOkAnsweringOneOrZeroOnClose)
{
    QPointer<Form2> a = open(1, u"?"_qs, 9);
    EXPECT_EQ(shownCaptions(a), QStringList{u"OK"_qs});
    QTest::mouseClick(a->button(1), Qt::LeftButton);
    QPointer<Form2> b = open(1, u"?"_qs, 9);
    b->close();
    EXPECT_EQ(answers.answers, (std::vector<Answer>{{false, 1, {}}, {false, 0, {}}}));
}

TEST_F(Box, InputBoxAnswersTypedTextWithOkAndCancelOnClose)
{
    QPointer<Form2> box = open(2, u"Sisesta summa"_qs, 4 + 32);
    EXPECT_EQ(shownCaptions(box), (QStringList{u"OK"_qs, u"Cancel"_qs})) << "input boxes always have set 1";
    EXPECT_FALSE(box->iconLabel()->isVisible()) << "an input box shows no icon";
    EXPECT_EQ(QApplication::focusWidget(), box->inputField());
    EXPECT_EQ(box->inputField()->echoMode(), QLineEdit::Normal);
    typeAt(box->inputField(), u"12,50"_qs, 200);
    QTest::keyClick(box->inputField(), Qt::Key_Return);

    QPointer<Form2> second = open(2, u"Veel"_qs, 0);
    QTest::keyClicks(second->inputField(), u"x"_qs);
    QTest::keyClick(second->inputField(), Qt::Key_Escape);
    EXPECT_EQ(answers.answers, (std::vector<Answer>{{true, 1, u"12,50"_qs}, {true, 2, u"x"_qs}}));
}

TEST_F(Box, MaskedBoxAnswersTheSwipeLayoutCorrectedEvenAfterOk)
{
    QPointer<Form2> box = open(3, u"Libista kaarti"_qs, 0);
    EXPECT_EQ(box->inputField()->echoMode(), QLineEdit::Password);
    QLineEdit *field = box->inputField();
    typeAt(field, u"12"_qs, 300);   // typed by hand: not kept
    typeAt(field, u"\u00f64111=2612\u00b4_"_qs, 5);   // Estonian layout: ö ´ _ for ; = ?
    EXPECT_EQ(field->text(), u"12\u00f64111=2612\u00b4_"_qs);
    QTest::mouseClick(box->button(1), Qt::LeftButton);
    EXPECT_EQ(answers.answers, (std::vector<Answer>{{true, 1, u";4111=2612=?"_qs}}));
}

TEST_F(Box, MaskedBoxTypedSlowlyAnswersTheFieldText)
{
    QPointer<Form2> box = open(3, u"PIN"_qs, 0);
    typeAt(box->inputField(), u"4321"_qs, 300);
    QTest::mouseClick(box->button(1), Qt::LeftButton);
    EXPECT_EQ(answers.answers, (std::vector<Answer>{{true, 1, u"4321"_qs}}));
}

TEST_F(Box, TwoBoxesOnlyTheTopIsEnabled)
{
    QPointer<Form2> lower = open(1, u"Esimene"_qs, 4);
    QPointer<Form2> upper = open(0, u"Teine"_qs, 16);
    EXPECT_FALSE(main.enabled);
    EXPECT_FALSE(lower->isEnabled());
    EXPECT_TRUE(upper->isEnabled());
    EXPECT_EQ(upper->boxIndex(), 2);

    QTest::mouseClick(upper->button(1), Qt::LeftButton);
    EXPECT_TRUE(lower->isEnabled());
    EXPECT_FALSE(main.enabled);
    QTest::mouseClick(lower->button(1), Qt::LeftButton);
    EXPECT_TRUE(main.enabled);
    EXPECT_EQ(answers.answers, (std::vector<Answer>{{false, 6, {}}}));
}

TEST_F(Box, CloseAllBoxesAnswersNothing)
{
    open(1, u"a"_qs, 4);
    open(2, u"b"_qs, 1);
    open(3, u"c"_qs, 1);
    boxStack().CloseAllBoxes();
    EXPECT_TRUE(answers.answers.empty());
    EXPECT_TRUE(main.enabled);
    EXPECT_EQ(boxStack().boxCount(), 0);
}

TEST_F(Box, ShortMessageKeepsTheDesignHeight)
{
    QPointer<Form2> box = open(0, u"Vigane summa."_qs, 16);
    EXPECT_EQ(box->heightTwips(), BoxLayout::kDesignHeight);
    const qreal dpi = box->logicalDpiY();
    EXPECT_EQ(box->height(), BoxLayout::twipsToPixels(BoxLayout::kDesignHeight - BoxLayout::kFrameTwips, dpi));
    EXPECT_EQ(box->width(), BoxLayout::twipsToPixels(BoxLayout::kClientWidth, dpi));
}

TEST_F(Box, LongMessageGrowsByTheFramesExcess)
{
    QString text;
    for (int i = 0; i < 12; ++i)
        text += u"Terminal ootab kaarti ja kinnitust. "_qs;
    QPointer<Form2> box = open(1, text, 4);
    const qreal dpi = box->logicalDpiY();
    const int labelTwips = BoxLayout::pixelsToTwips(box->findChild<QLabel *>(u"Label1"_qs)->height(), dpi);
    const int frame = BoxLayout::messageFrameHeight(240, labelTwips);
    ASSERT_GT(frame, BoxLayout::kDesignFrameHeight) << "the text must not fit the design";
    EXPECT_EQ(box->heightTwips(), BoxLayout::kDesignHeight + (frame - BoxLayout::kDesignFrameHeight));
    EXPECT_EQ(box->height(), BoxLayout::twipsToPixels(box->heightTwips() - BoxLayout::kFrameTwips, dpi));
}

} // namespace

namespace {

TEST_F(Box, MaskedBoxAnswersTheCorrectedFieldNotTheCapturedSwipe)
{
    QPointer<Form2> box = open(3, u"PIN"_qs, 0);
    QLineEdit *field = box->inputField();
    typeAt(field, u"123"_qs, 5);   // fast enough to be kept as a swipe
    timing.advanceMs(300);
    QTest::keyClick(field, Qt::Key_Backspace);
    timing.advanceMs(300);
    typeAt(field, u"4"_qs, 300);
    ASSERT_EQ(field->text(), u"124"_qs);
    QTest::mouseClick(box->button(1), Qt::LeftButton);
    EXPECT_EQ(answers.answers, (std::vector<Answer>{{true, 1, u"124"_qs}})) << "what the field shows goes out";
}

TEST_F(Box, ServerMarkupIsShownLiterally)
{
    const QString markup = u"<b>Kinnita</b> &lt;summa&gt; <img src=\"/etc/passwd\">"_qs;
    QPointer<Form2> message = open(1, markup, 4);
    auto *label = message->findChild<QLabel *>(u"Label1"_qs);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(label->text(), markup);
    QTest::mouseClick(message->button(1), Qt::LeftButton);

    QPointer<Form2> input = open(2, markup, 0);
    auto *prompt = input->findChild<QLabel *>(u"Label2"_qs);
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(prompt->textFormat(), Qt::PlainText);
    EXPECT_EQ(prompt->text(), markup);
}

TEST_F(Box, EscOnAButtonBoxWithoutCancelAnswersNothing)
{
    for (qint32 style : {0, 6, 15}) {   // "OK" alone, and two sets outside 0..5
        SCOPED_TRACE(style);
        QPointer<Form2> box = open(1, u"Kas jätkata?"_qs, style);
        QTest::keyClick(box, Qt::Key_Escape);
        QApplication::processEvents();
        EXPECT_FALSE(box.isNull()) << "Esc closed the box";
        EXPECT_TRUE(answers.answers.empty()) << "Esc answered the server";
        QTest::mouseClick(box->button(1), Qt::LeftButton);
        ASSERT_EQ(answers.answers.size(), 1u);
        EXPECT_EQ(answers.answers.front(), (Answer{false, 1, {}})) << "OK answers";
        answers.answers.clear();
    }
}

TEST_F(Box, EscOnTheConsolesOwnMessageClosesIt)
{
    QPointer<Form2> box = open(0, u"Vigane summa."_qs, 16);
    QTest::keyClick(box, Qt::Key_Escape);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(box.isNull());
    EXPECT_TRUE(answers.answers.empty());
    EXPECT_TRUE(main.enabled);
}

TEST_F(Box, EscStillPressesCancelWhereTheSetShowsIt)
{
    QPointer<Form2> box = open(1, u"Kas jätkata?"_qs, 1);
    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_EQ(answers.answers, (std::vector<Answer>{{false, 2, {}}}));
}

} // namespace
