// Start-up from the store, report mode and the session counter.
#include "ConsoleFixture.h"
#include "KeyTyping.h"

#include "dialogs/Settings.h"
#include "session/PaymentSession.h"

#include <QCheckBox>
#include <QMenu>

#include <QAction>
#include <QStatusBar>

namespace {

using Startup = ConsoleFixture;

TEST_F(Startup, FirstStartWithoutStoreIsReportModeWithEightZeros)
{
    ASSERT_FALSE(QFile::exists(registry));
    Form1 &w = open();
    EXPECT_EQ(w.windowTitle(), u"Tellar - POS:00000000"_qs);
    EXPECT_EQ(w.fAddress, u"127.0.0.1"_qs);
    EXPECT_EQ(w.fPort, 8145);
    EXPECT_TRUE(w.fReportMode);
    EXPECT_FALSE(w.fDoPrint);
    EXPECT_FALSE(w.fRAW);
    EXPECT_TRUE(w.fPrinter.isEmpty());

    auto *notice = child<QLabel>("Label5");
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->text(), u"Terminal pole aktiivne."_qs);
    EXPECT_FALSE(tabStrip()->isVisible());
    EXPECT_FALSE(child<QPushButton>("Command1")->isVisible());
    EXPECT_FALSE(child<QAction>("PosCommand")->isEnabled());
    EXPECT_TRUE(child<QAction>("Report")->isEnabled());
    EXPECT_TRUE(child<QAction>("SettingsM")->isEnabled());
    for (const char *frame : {"Frame1", "Frame2", "Frame3", "Frame5"})
        EXPECT_FALSE(child<QGroupBox>(frame)->isVisible()) << frame;
    EXPECT_TRUE(child<QLabel>("StatusBar1Text")->text().isEmpty()) << "empty until a session starts";
}

TEST_F(Startup, StoredSettingsAreInterpreted)
{
    put(Config::POS, u"KASSA042"_qs);
    put(Config::KKPort, u"abc"_qs);
    put(Config::DoPrint, u"yes"_qs);
    put(Config::RAW, u"2"_qs);
    put(Config::ReportMode, u"0"_qs);
    put(Config::Printer, u"Kontor"_qs);
    Form1 &w = open();
    EXPECT_EQ(w.windowTitle(), u"Tellar - POS:KASSA042"_qs);
    EXPECT_EQ(w.fPort, 8145) << "a port that is not a number reads as the default";
    EXPECT_TRUE(w.fDoPrint) << "anything but \"0\" switches printing on";
    EXPECT_FALSE(w.fRAW) << "only exactly \"1\" switches raw printing on";
    EXPECT_FALSE(w.fReportMode);
    EXPECT_EQ(w.fPrinter, u"Kontor"_qs);
    EXPECT_FALSE(child<QLabel>("Label5")->isVisible());
    EXPECT_TRUE(tabStrip()->isVisible());
    EXPECT_TRUE(child<QAction>("PosCommand")->isEnabled());
}

TEST_F(Startup, PortOutsideSixteenBitsReadsAsDefault)
{
    put(Config::KKPort, u"70000"_qs);
    EXPECT_EQ(open().fPort, 8145);
}

TEST_F(Startup, IdleLayoutAfterStart)
{
    provisionForTransactions();
    Form1 &w = open();
    EXPECT_EQ(w.session().SessionState, PaymentSession::Idle);
    EXPECT_TRUE(child<QPushButton>("Command1")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("Command2")->isEnabled());
    EXPECT_TRUE(tabStrip()->isEnabled());
    EXPECT_EQ(tabStrip()->currentIndex(), 0);
    EXPECT_TRUE(child<QGroupBox>("Frame1")->isVisible());
    EXPECT_EQ(child<QGroupBox>("Frame1")->title(), u" Kaardimakse "_qs);
    EXPECT_EQ(QApplication::focusWidget(), text("Text2")) << "the first field of the selected tab";
    EXPECT_EQ(text("Text1")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(text("Text4")->maxLength(), 6);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "fixed size";
}

struct SessionRow {
    const char *name;
    const char *stored;     // nullptr: no value
    const char *expectedBar;
    const char *expectedStored;
};

class SessionCounter : public ConsoleFixture, public ::testing::WithParamInterface<SessionRow> {};

TEST_P(SessionCounter, NextSessionNumberShownAndStored)
{
    const SessionRow &row = GetParam();
    provisionForTransactions();
    if (row.stored)
        put(Config::Session, QString::fromLatin1(row.stored));
    Form1 &w = open();
    text("Text2")->setText(u"5"_qs);
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    EXPECT_EQ(w.session().SessionState, PaymentSession::Connecting);
    EXPECT_EQ(child<QLabel>("StatusBar1Text")->text(), QString::fromLatin1(row.expectedBar));
    EXPECT_EQ(get(Config::Session), QString::fromLatin1(row.expectedStored));
}

INSTANTIATE_TEST_SUITE_P(
    StoredCounters, SessionCounter,
    ::testing::Values(SessionRow{"Missing", nullptr, "Session: 000001", "1"},
                      SessionRow{"FortyOne", "41", "Session: 000042", "42"},
                      SessionRow{"WrapsAfter999999", "999999", "Session: 000001", "1"},
                      SessionRow{"NotANumber", "abc", "Session: 000001", "1"},
                      SessionRow{"Negative", "-5", "Session: 000001", "1"},
                      SessionRow{"BeyondInt32", "99999999999", "Session: 000001", "1"}),
    [](const ::testing::TestParamInfo<SessionRow> &info) { return std::string(info.param.name); });

TEST_F(Startup, RunningLayoutWhileSessionRuns)
{
    provisionForTransactions();
    Form1 &w = open();
    text("Text2")->setText(u"5"_qs);
    w.ValidateAndStart();
    EXPECT_FALSE(child<QPushButton>("Command1")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("Command2")->isEnabled());
    EXPECT_FALSE(tabStrip()->isEnabled());
    for (const char *frame : {"Frame1", "Frame2", "Frame3", "Frame5"})
        EXPECT_FALSE(child<QGroupBox>(frame)->isEnabled()) << frame;
    EXPECT_FALSE(child<QAction>("Report")->isEnabled());
    EXPECT_FALSE(child<QAction>("SettingsM")->isEnabled());
    EXPECT_TRUE(child<QAction>("PosCommand")->isEnabled()) << "depends on report mode only";

    text("Text1")->setText(u"card"_qs);
    w.ReturnToIdle();
    EXPECT_EQ(w.session().SessionState, PaymentSession::Idle);
    EXPECT_TRUE(text("Text1")->text().isEmpty()) << "ReturnToIdle empties the card field";
    EXPECT_EQ(text("Text2")->text(), u"5"_qs) << "other fields are kept";
    EXPECT_TRUE(child<QPushButton>("Command1")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("Command2")->isEnabled());
    EXPECT_TRUE(child<QAction>("Report")->isEnabled());
    EXPECT_TRUE(child<QAction>("SettingsM")->isEnabled());
}

TEST_F(Startup, ClosingTheWindowClosesBoxesWithoutAnswers)
{
    provisionForTransactions();
    Form1 &w = open();
    w.OpenBox(1, u"Kas jätkata?"_qs, 4 + 32);
    w.OpenBox(2, u"Sisesta kood"_qs, 1);
    ASSERT_EQ(boxStack().boxCount(), 2);
    QPointer<Form2> upper = topBox();
    QPointer<Form2> lower = dynamic_cast<Form2 *>(boxStack().box(1));
    w.close();
    EXPECT_EQ(boxStack().boxCount(), 0);
    EXPECT_TRUE(!upper || !upper->isVisible());
    EXPECT_TRUE(!lower || !lower->isVisible());
    EXPECT_EQ(upper ? upper->boxType() : 0, 0) << "closed as a plain message: no answer";
    EXPECT_FALSE(w.isVisible());
}

} // namespace

namespace {

using SettingsFromMenu = ConsoleFixture;

TEST_F(SettingsFromMenu, ReportModeTakesEffectAtOnceAfterOk)
{
    provisionForTransactions();
    Form1 &w = open();
    ASSERT_TRUE(tabStrip()->isVisible());
    child<QAction>("SettingsM")->trigger();
    Settings *dialog = w.settingsDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(w.isEnabled()) << "the settings dialog disables the main window";

    auto *reportMode = dialog->findChild<QCheckBox *>(u"Check3"_qs);
    ASSERT_FALSE(reportMode->isChecked());
    reportMode->setChecked(true);
    QTest::mouseClick(dialog->findChild<QPushButton *>(u"Command1"_qs), Qt::LeftButton);

    EXPECT_TRUE(w.isEnabled());
    EXPECT_TRUE(w.fReportMode);
    EXPECT_TRUE(child<QLabel>("Label5")->isVisible());
    EXPECT_FALSE(tabStrip()->isVisible());
    EXPECT_FALSE(child<QPushButton>("Command1")->isVisible());
    EXPECT_FALSE(child<QAction>("PosCommand")->isEnabled());
    EXPECT_EQ(get(Config::ReportMode), u"1"_qs);
    EXPECT_EQ(w.windowTitle(), u"Tellar - POS:00000000"_qs) << "the title keeps the old identifier";
}

TEST_F(SettingsFromMenu, NewPosIdentifierKeepsTheTitleUntilNextStart)
{
    provisionForTransactions();
    Form1 &w = open();
    w.showSettingsDialog();
    Settings *dialog = w.settingsDialog();
    dialog->findChild<QLineEdit *>(u"Text2"_qs)->setText(u"KASSA099"_qs);
    QTest::mouseClick(dialog->findChild<QPushButton *>(u"Command1"_qs), Qt::LeftButton);
    EXPECT_EQ(w.fPOSID, u"KASSA099"_qs);
    EXPECT_EQ(w.windowTitle(), u"Tellar - POS:00000000"_qs);
    form.reset();
    EXPECT_EQ(open().windowTitle(), u"Tellar - POS:KASSA099"_qs);
}

// The cashier pressed Ctrl+S by mistake and swiped the customer's card: the
// track's first characters (";4111111") replaced the POS identifier, and the
// reader's Enter pressed OK and stored them.
TEST_F(SettingsFromMenu, CardSwipedIntoTheSettingsStoresNothingOfIt)
{
    provisionForTransactions();
    Form1 &w = open();
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    Settings *dialog = w.settingsDialog();
    ASSERT_TRUE(dialog && dialog->isVisible()) << "Ctrl+S opens the settings";
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    auto *pos = dialog->findChild<QLineEdit *>(u"Text2"_qs);
    auto *address = dialog->findChild<QLineEdit *>(u"Text3"_qs);
    pos->setFocus(Qt::TabFocusReason);   // which selects its whole text
    pos->selectAll();
    const QString posBefore = pos->text();
    const QString storedBefore = get(Config::POS);
    const QString addressBefore = address->text();

    const QString track = u";4111111111111111=2612101?"_qs;
    for (qsizetype i = 0; i < track.size(); ++i) {
        keytyping::typeChar(QApplication::focusWidget(), track[i]);
        timing.advanceMs(5);
    }
    ASSERT_TRUE(pos->text().contains(u"411111"_qs)) << "the swipe went into the field: " << pos->text().toStdString();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    timing.advanceMs(55);

    EXPECT_TRUE(dialog->isVisible()) << "the reader's Enter pressed OK";
    EXPECT_EQ(pos->text(), posBefore);
    EXPECT_EQ(address->text(), addressBefore);
    EXPECT_EQ(w.fPOSID, u"00000000"_qs);
    EXPECT_EQ(get(Config::POS), storedBefore);

    // Typed by hand, the field takes the text and Enter saves it.
    pos->selectAll();
    typeSlowly(pos, u"KASSA099"_qs);
    QTest::keyClick(pos, Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(w.fPOSID, u"KASSA099"_qs);
}

TEST_F(SettingsFromMenu, SettingsDialogKeptInFrontWhileMainWindowDisabled)
{
    Form1 &w = open();
    w.showSettingsDialog();
    Settings *dialog = w.settingsDialog();
    QApplication::setActiveWindow(&w);   // the cashier clicks the main window
    ASSERT_EQ(QApplication::activeWindow(), &w);
    // Timer2 runs on the real clock (100 ms): wait for it, however loaded the machine.
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == dialog; }, 5000))
        << "the settings dialog was left behind the main window";
}

TEST_F(SettingsFromMenu, MenuShortcutsAndCaptions)
{
    open();
    const struct { const char *name; const char *caption; QKeySequence keys; } rows[] = {
        {"Report", "&Aruanne...", QKeySequence(Qt::CTRL | Qt::Key_R)},
        {"PosCommand", "Eri&toimingud...", QKeySequence(Qt::CTRL | Qt::Key_T)},
        {"SettingsM", "&Seaded...", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {"Quit", "&Lõpeta", QKeySequence(Qt::CTRL | Qt::Key_Q)},
    };
    for (const auto &row : rows) {
        auto *action = child<QAction>(row.name);
        EXPECT_EQ(action->text(), QString::fromUtf8(row.caption));
        EXPECT_EQ(action->shortcut(), row.keys) << row.name;
    }
    auto *menu = form->findChild<QMenu *>(u"Menu"_qs);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), u"&Menüü"_qs);
}

TEST_F(SettingsFromMenu, CtrlSOpensTheSettingsDialog)
{
    Form1 &w = open();
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    ASSERT_NE(w.settingsDialog(), nullptr);
    EXPECT_TRUE(w.settingsDialog()->isVisible());
    EXPECT_FALSE(w.isEnabled());
}

} // namespace

namespace {

using MainWindowBoxes = ConsoleFixture;

TEST_F(MainWindowBoxes, StackedBoxesEnableAndDisableDownToTheWindow)
{
    provisionForTransactions();
    Form1 &w = open();
    w.OpenBox(1, u"Kas jätkata?"_qs, 4 + 32);
    Form2 *lower = topBox();
    w.OpenBox(0, u"Vigane summa."_qs, 16);
    Form2 *upper = topBox();
    ASSERT_NE(lower, upper);
    EXPECT_FALSE(w.isEnabled());
    EXPECT_FALSE(lower->isEnabled());
    EXPECT_TRUE(upper->isEnabled());

    QTest::mouseClick(upper->button(1), Qt::LeftButton);
    EXPECT_TRUE(lower->isEnabled());
    EXPECT_FALSE(w.isEnabled());
    QTest::mouseClick(lower->button(2), Qt::LeftButton);
    EXPECT_TRUE(w.isEnabled());
    EXPECT_EQ(boxStack().boxCount(), 0);
}

TEST_F(MainWindowBoxes, TopBoxKeptInFrontWhileMainWindowDisabled)
{
    Form1 &w = open();
    w.OpenBox(0, u"Vigane summa."_qs, 16);
    Form2 *box = topBox();
    QApplication::setActiveWindow(&w);
    ASSERT_EQ(QApplication::activeWindow(), &w);
    // Timer2 runs on the real clock (100 ms): wait for it, however loaded the machine.
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == box; }, 5000))
        << "the box was left behind the main window";
}

TEST_F(MainWindowBoxes, CtrlTabWhileSettingsDialogIsOpenDoesNothing)
{
    provisionForTransactions();
    Form1 &w = open();
    w.showSettingsDialog();
    QTest::keyClick(text("Text2"), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(tabStrip()->currentIndex(), 0);
}

} // namespace

namespace {

using ReportMenus = ConsoleFixture;

TEST_F(ReportMenus, CtrlROpensTheReportDialogAndOkHidesIt)
{
    provisionForTransactions();
    Form1 &w = open();
    QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
    ASSERT_NE(w.reportDialog(), nullptr);
    EXPECT_TRUE(w.reportDialog()->isVisible());
    EXPECT_EQ(w.reportDialog()->windowTitle(), u"Aruanne"_qs);

    QWidget *first = w.reportDialog();
    w.showReportDialog();
    EXPECT_EQ(w.reportDialog(), first) << "made once, shown again";

    text("Text2")->setText(u"x"_qs);
    w.ValidateAndStart();   // OK hides the report dialog before it checks anything
    EXPECT_FALSE(w.reportDialog()->isVisible());
}

TEST_F(ReportMenus, CtrlTOpensTheSpecialOperationsDialogOutsideReportMode)
{
    provisionForTransactions();
    Form1 &w = open();
    QTest::keyClick(&w, Qt::Key_T, Qt::ControlModifier);
    ASSERT_NE(w.posCommandDialog(), nullptr);
    EXPECT_TRUE(w.posCommandDialog()->isVisible());
    EXPECT_EQ(w.posCommandDialog()->windowTitle(), u"Eritoimingud"_qs);
}

TEST_F(ReportMenus, CtrlTDoesNothingInReportMode)
{
    Form1 &w = open();
    ASSERT_TRUE(w.fReportMode);
    QTest::keyClick(&w, Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(w.posCommandDialog(), nullptr);
}

TEST_F(ReportMenus, ClosingTheWindowClosesTheDialogs)
{
    provisionForTransactions();
    Form1 &w = open();
    w.showReportDialog();
    w.showPosCommandDialog();
    w.showSettingsDialog();
    w.close();
    EXPECT_FALSE(w.reportDialog()->isVisible());
    EXPECT_FALSE(w.posCommandDialog()->isVisible());
    EXPECT_TRUE(!w.settingsDialog() || !w.settingsDialog()->isVisible());
}

} // namespace
