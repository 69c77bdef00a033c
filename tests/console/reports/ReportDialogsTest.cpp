// The report request dialog Form3 and the special-operations dialog Form4 on
// the offscreen platform: captions, defaults of a fresh dialog, the values
// handed to the main window, the buttons and keys, and values kept between
// shows.
#include "common/Clock.h"
#include "reports/Form3.h"
#include "reports/Form4.h"
#include "reports/ReportRequester.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

struct ReportCall {
    QDate from, to;
    qint16 group;
    quint8 onlyApproved;
};

class RecordingRequester final : public ReportRequester {
public:
    std::vector<ReportCall> reports;
    std::vector<quint8> commands;
    QStringList boxes;   // "kind/style: text"
    Outcome outcome = Outcome::Started;

    Outcome PrepareReport(const QDate &from, const QDate &to, qint16 group, quint8 onlyApproved) override
    {
        reports.push_back({from, to, group, onlyApproved});
        return outcome;
    }
    Outcome PreparePOSCommand(quint8 commandId) override
    {
        commands.push_back(commandId);
        return outcome;
    }
    void OpenBox(quint8 kind, const QString &text, qint32 style) override
    {
        boxes << QStringLiteral("%1/%2: %3").arg(kind).arg(style).arg(text);
    }
};

void pressKey(QWidget *widget, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

QStringList itemsOf(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

class Form3Test : public ::testing::Test {
protected:
    RecordingRequester requester;
    ManualClock clock{QDateTime(QDate(2026, 12, 6), QTime(23, 59, 0))};
    Form3 dialog{requester, clock};
};

} // namespace

TEST_F(Form3Test, CaptionsAndControls)
{
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Aruanne"));
    EXPECT_EQ(dialog.Label1->text(), QStringLiteral("Algus:"));
    EXPECT_EQ(dialog.Label2->text(), QStringLiteral("Lõpp:"));
    EXPECT_EQ(dialog.Label3->text(), QStringLiteral("Grupeering:"));
    EXPECT_EQ(dialog.Check1->text(), QStringLiteral("Näita ainult õnnestunud tehinguid"));
    EXPECT_EQ(dialog.Command1->text(), QStringLiteral("OK"));
    EXPECT_TRUE(dialog.Command1->isDefault());
    EXPECT_EQ(dialog.Command2->text(), QStringLiteral("Loobu"));
    EXPECT_EQ(itemsOf(dialog.Combo1),
              QStringList({QStringLiteral("Puudub"), QStringLiteral("Terminal"), QStringLiteral("Kuupäev"),
                           QStringLiteral("Kaart"), QStringLiteral("Vastuse kood"), QStringLiteral("Staatus")}));
    // Modeless, without an owner window.
    EXPECT_EQ(dialog.parentWidget(), nullptr);
    EXPECT_FALSE(dialog.isModal());
    EXPECT_EQ(dialog.findChild<QDateEdit *>(QStringLiteral("DTPicker2")), dialog.DTPicker2);
}

TEST_F(Form3Test, FreshDialogShowsTodayUngroupedApprovedOnly)
{
    EXPECT_EQ(dialog.DTPicker1->date(), QDate(2026, 12, 6));
    EXPECT_EQ(dialog.DTPicker2->date(), QDate(2026, 12, 6));
    EXPECT_EQ(dialog.Combo1->currentIndex(), 0);
    EXPECT_TRUE(dialog.Check1->isChecked());
}

TEST_F(Form3Test, OkOnAFreshDialogRequestsToday)
{
    dialog.show();
    dialog.Command1->click();
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_EQ(requester.reports.size(), 1u);
    EXPECT_EQ(requester.reports[0].from, QDate(2026, 12, 6));
    EXPECT_EQ(requester.reports[0].to, QDate(2026, 12, 6));
    EXPECT_EQ(requester.reports[0].group, 0);
    EXPECT_EQ(requester.reports[0].onlyApproved, 1);
}

struct GroupingRow {
    const char *item;
    int position;
};

class Form3Grouping : public Form3Test, public ::testing::WithParamInterface<GroupingRow> {};

TEST_P(Form3Grouping, PassesTheListPosition)
{
    dialog.show();
    dialog.DTPicker1->setDate(QDate(2005, 4, 5));
    dialog.DTPicker2->setDate(QDate(2005, 4, 7));
    dialog.Combo1->setCurrentIndex(GetParam().position);
    ASSERT_EQ(dialog.Combo1->currentText(), QString::fromUtf8(GetParam().item));
    dialog.Check1->setChecked(false);
    dialog.Command1->click();
    ASSERT_EQ(requester.reports.size(), 1u);
    EXPECT_EQ(requester.reports[0].from, QDate(2005, 4, 5));
    EXPECT_EQ(requester.reports[0].to, QDate(2005, 4, 7));
    // The window maps the position to the group code (Kaart 3 -> 5, ...).
    EXPECT_EQ(requester.reports[0].group, GetParam().position);
    EXPECT_EQ(requester.reports[0].onlyApproved, 0);
}

INSTANTIATE_TEST_SUITE_P(Items, Form3Grouping,
                         ::testing::Values(GroupingRow{"Puudub", 0}, GroupingRow{"Terminal", 1},
                                           GroupingRow{"Kuupäev", 2}, GroupingRow{"Kaart", 3},
                                           GroupingRow{"Vastuse kood", 4}, GroupingRow{"Staatus", 5}),
                         [](const ::testing::TestParamInfo<GroupingRow> &info) {
                             return "Position" + std::to_string(info.param.position);
                         });

TEST_F(Form3Test, EndDateBeforeStartIsPassedUnchanged)
{
    dialog.DTPicker1->setDate(QDate(2026, 12, 6));
    dialog.DTPicker2->setDate(QDate(2026, 12, 1));
    dialog.Command1->click();
    ASSERT_EQ(requester.reports.size(), 1u);
    EXPECT_EQ(requester.reports[0].from, QDate(2026, 12, 6));
    EXPECT_EQ(requester.reports[0].to, QDate(2026, 12, 1));
}

TEST_F(Form3Test, EnterPressesOk)
{
    dialog.show();
    pressKey(&dialog, Qt::Key_Return);
    EXPECT_EQ(requester.reports.size(), 1u);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(Form3Test, LoobuAndEscapeSendNothing)
{
    dialog.show();
    dialog.Combo1->setCurrentIndex(4);
    dialog.Command2->click();
    EXPECT_FALSE(dialog.isVisible());
    dialog.show();
    pressKey(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(requester.reports.empty());
    EXPECT_EQ(dialog.Combo1->currentIndex(), 4);
}

TEST_F(Form3Test, SecondShowKeepsTheLastValues)
{
    dialog.show();
    dialog.DTPicker1->setDate(QDate(2026, 11, 1));
    dialog.DTPicker2->setDate(QDate(2026, 11, 30));
    dialog.Combo1->setCurrentIndex(5);
    dialog.Check1->setChecked(false);
    dialog.Command1->click();
    clock.advanceMs(3 * 24 * 3600 * 1000LL);   // days later, same run
    dialog.show();
    EXPECT_EQ(dialog.DTPicker1->date(), QDate(2026, 11, 1));
    EXPECT_EQ(dialog.DTPicker2->date(), QDate(2026, 11, 30));
    EXPECT_EQ(dialog.Combo1->currentIndex(), 5);
    EXPECT_FALSE(dialog.Check1->isChecked());
    dialog.Command1->click();
    ASSERT_EQ(requester.reports.size(), 2u);
    EXPECT_EQ(requester.reports[1].group, 5);
}

TEST_F(Form3Test, NoSelectionPassesMinusOne)
{
    dialog.Combo1->setCurrentIndex(-1);
    dialog.Command1->click();
    ASSERT_EQ(requester.reports.size(), 1u);
    EXPECT_EQ(requester.reports[0].group, -1);
}

TEST_F(Form3Test, TabLeavesTheDatePickersForTheGroupingList)
{
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    const QDate today(2026, 12, 6);
    dialog.DTPicker1->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), dialog.DTPicker1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.DTPicker2) << "Tab went to the month instead";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dialog.Combo1);
    const int before = dialog.Combo1->currentIndex();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(dialog.Combo1, Qt::Key_Down);
    EXPECT_EQ(dialog.Combo1->currentIndex(), before + 3) << "Down moves in the grouping list";
    EXPECT_EQ(dialog.DTPicker1->date(), today);
    EXPECT_EQ(dialog.DTPicker2->date(), today) << "the period is as it was";

    QTest::keyClick(dialog.Combo1, Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.DTPicker2) << "Shift+Tab goes back a control";
    QTest::keyClick(dialog.DTPicker2, Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.DTPicker1);
}

TEST_F(Form3Test, LeftAndRightMoveBetweenThePartsOfADate)
{
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.DTPicker1->setDate(QDate(2026, 11, 6));
    dialog.DTPicker1->setFocus(Qt::TabFocusReason);
    dialog.DTPicker1->setCurrentSection(QDateTimeEdit::DaySection);
    for (int i = 0; i < 4 && dialog.DTPicker1->currentSection() == QDateTimeEdit::DaySection; ++i)
        QTest::keyClick(dialog.DTPicker1, Qt::Key_Right);
    ASSERT_EQ(dialog.DTPicker1->currentSection(), QDateTimeEdit::MonthSection);
    EXPECT_EQ(QApplication::focusWidget(), dialog.DTPicker1) << "Right stays in the picker";
    QTest::keyClick(dialog.DTPicker1, Qt::Key_Up);
    EXPECT_EQ(dialog.DTPicker1->date(), QDate(2026, 12, 6)) << "Up changed the month";
}

TEST_F(Form3Test, OkWhileAnotherSessionRunsTellsTheCashierAndStaysOpen)
{
    requester.outcome = ReportRequester::Outcome::SessionRunning;
    dialog.show();
    dialog.Combo1->setCurrentIndex(4);
    dialog.Command1->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(requester.boxes, QStringList{QStringLiteral("0/48: Eelmine toiming on veel pooleli.")});
    EXPECT_EQ(dialog.Combo1->currentIndex(), 4);
    requester.outcome = ReportRequester::Outcome::Started;
    dialog.Command1->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(requester.reports.size(), 2u);
    EXPECT_EQ(requester.boxes.size(), 1);
}

// The report's Enter was typed in a card swipe: dropped without a word, as
// the window always did.
TEST_F(Form3Test, OkDroppedInAKeystrokeBurstHidesWithoutAMessage)
{
    requester.outcome = ReportRequester::Outcome::DroppedInBurst;
    dialog.show();
    dialog.Command1->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(requester.boxes.isEmpty());
}

// --- Form4 ---------------------------------------------------------------------

class Form4Test : public ::testing::Test {
protected:
    RecordingRequester requester;
    Form4 dialog{requester};
};

TEST_F(Form4Test, CaptionsAndControls)
{
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Eritoimingud"));
    EXPECT_EQ(dialog.Label1->text(), QStringLiteral("Toiming:"));
    EXPECT_EQ(itemsOf(dialog.Combo1),
              QStringList({QStringLiteral("Terminali tehingute saatmine"), QStringLiteral("Osakonna tehingute saatmine"),
                           QStringLiteral("Kliendikaartide andmete värskendamine")}));
    EXPECT_EQ(dialog.Combo1->currentIndex(), 0);
    EXPECT_EQ(dialog.Command1->text(), QStringLiteral("OK"));
    EXPECT_TRUE(dialog.Command1->isDefault());
    EXPECT_EQ(dialog.Command2->text(), QStringLiteral("Loobu"));
    EXPECT_EQ(dialog.parentWidget(), nullptr);
    EXPECT_FALSE(dialog.isModal());
}

class Form4Operation : public Form4Test, public ::testing::WithParamInterface<int> {};

TEST_P(Form4Operation, OkSendsTheListPositionAsCommandByte)
{
    dialog.show();
    dialog.Combo1->setCurrentIndex(GetParam());
    dialog.Command1->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(requester.commands, std::vector<quint8>{quint8(GetParam())});
}

INSTANTIATE_TEST_SUITE_P(Positions, Form4Operation, ::testing::Values(0, 1, 2));

TEST_F(Form4Test, FreshDialogOkSendsTerminalTransactionsByteZero)
{
    dialog.show();
    pressKey(&dialog, Qt::Key_Return);
    EXPECT_EQ(requester.commands, std::vector<quint8>{0});
}

TEST_F(Form4Test, LoobuAndEscapeSendNothingAndKeepTheSelection)
{
    dialog.show();
    dialog.Combo1->setCurrentIndex(2);
    dialog.Command2->click();
    EXPECT_FALSE(dialog.isVisible());
    dialog.show();
    pressKey(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(requester.commands.empty());
    dialog.show();
    EXPECT_EQ(dialog.Combo1->currentIndex(), 2);
}

TEST_F(Form4Test, NoSelectionSendsNothing)
{
    dialog.Combo1->setCurrentIndex(-1);
    dialog.Command1->click();
    EXPECT_TRUE(requester.commands.empty());
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(Form4Test, OkWhileAnotherSessionRunsTellsTheCashierAndStaysOpen)
{
    requester.outcome = ReportRequester::Outcome::SessionRunning;
    dialog.show();
    dialog.Combo1->setCurrentIndex(1);
    dialog.Command1->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(requester.boxes, QStringList{QStringLiteral("0/48: Eelmine toiming on veel pooleli.")});
    EXPECT_EQ(requester.commands, std::vector<quint8>{1});
    EXPECT_EQ(dialog.Combo1->currentIndex(), 1);
}
