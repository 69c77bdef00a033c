// The real main window against the payment server simulator in the same
// process: a report asked for through the menu (Ctrl+R) and Form3 goes out
// as "0019" with fields 1, 2, 5, 9, 3 and whole-day stamps, the simulator's
// 300 generated records come back as "Report.pdf" in the program folder,
// sound by qpdf, handed to the opener, and the console is idle again; an
// answer with an out-of-range status ends in the failure message and idle;
// and a special command from Form4 (Ctrl+T) puts its byte on the wire and
// ends with "Toiming täitmiseks võetud." in the status line.
//
// Sockets run on the real clock; key timing on the manual one.
#include "../window/ConsoleFixture.h"
#include "../window/SimConsole.h"

#include "ReportTestSupport.h"

#include "reports/DocumentOpener.h"
#include "reports/Form3.h"
#include "reports/Form4.h"
#include "session/PaymentSession.h"

#include <VaroManager.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QLabel>

#include <functional>
#include <vector>

namespace {

constexpr int kPatienceMs = 60000;   // a shared machine; the PDF of 300 records takes a moment

class ReportEndToEnd : public ConsoleFixture {
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        // The opener: a script of the test's own that writes its arguments,
        // one a line, next to itself.
        const QString scratch = QDir::cleanPath(home + QStringLiteral("/.."));
        openerScript = scratch + QStringLiteral("/opener.sh");
        openedMarker = scratch + QStringLiteral("/opened.txt");
        QFile script(openerScript);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/opened.tmp\"\n"
                     "mv \"$(dirname \"$0\")/opened.tmp\" \"$(dirname \"$0\")/opened.txt\"\n");
        script.close();
        ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv(kPdfOpenerVariable, QFile::encodeName(openerScript));
    }

    void TearDown() override
    {
        ConsoleFixture::TearDown();
        sim.reset();
        qunsetenv(kPdfOpenerVariable);
    }

    // The scenario's connections, played `rounds` times over, before the
    // window opens (it reads the port at start-up).
    void startSimulator(const char *scenarioFile, int rounds = 1)
    {
        ASSERT_NO_FATAL_FAILURE(
            simconsole::startSimulator(sim, simLog, QString::fromLatin1(scenarioFile), rounds));
        QObject::connect(sim.get(), &Sim::SimServer::clientFrame, sim.get(),
                         [this](int, const QByteArray &frame) { received.push_back(frame); });
        put(Config::POS, u"KASSA-07"_qs);
    }

    static bool waitFor(const std::function<bool()> &done) { return simconsole::waitFor(done, kPatienceMs); }

    // The client frames so far, parsed, with the given code.
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
    QString reportPath() const { return home + QStringLiteral("/Report.pdf"); }

    // The cashier comes back to the console window (offscreen, no window
    // manager hands the activation back when a dialog hides).
    void activateConsole()
    {
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    // Ctrl+R through the window's key handling, as the cashier presses it.
    Form3 *openReportDialogByKey()
    {
        activateConsole();
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : form.get();
        QTest::keyClick(target, Qt::Key_R, Qt::ControlModifier);
        auto *dialog = qobject_cast<Form3 *>(form->reportDialog());
        return dialog && dialog->isVisible() ? dialog : nullptr;
    }

    Form4 *openPosCommandDialogByKey()
    {
        activateConsole();
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : form.get();
        QTest::keyClick(target, Qt::Key_T, Qt::ControlModifier);
        auto *dialog = qobject_cast<Form4 *>(form->posCommandDialog());
        return dialog && dialog->isVisible() ? dialog : nullptr;
    }

    // Asks for 5 to 7 April 2005, grouped by the list position given.
    void requestReport(int groupingPosition, bool onlyApproved)
    {
        Form3 *dialog = openReportDialogByKey();
        ASSERT_NE(dialog, nullptr) << "Ctrl+R did not show Form3";
        dialog->DTPicker1->setDate(QDate(2005, 4, 5));
        dialog->DTPicker2->setDate(QDate(2005, 4, 7));
        dialog->Combo1->setCurrentIndex(groupingPosition);
        dialog->Check1->setChecked(onlyApproved);
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        EXPECT_FALSE(dialog->isVisible());
    }

    QString openerScript;
    QString openedMarker;
    Sim::SimLog simLog;
    std::unique_ptr<Sim::SimServer> sim;
    std::vector<QByteArray> received;
};

TEST_F(ReportEndToEnd, MenuItemsCarryTheirCaptionsAndShortcuts)
{
    open();
    auto *report = child<QAction>("Report");
    auto *command = child<QAction>("PosCommand");
    ASSERT_TRUE(report && command);
    EXPECT_EQ(report->text(), u"&Aruanne..."_qs);
    EXPECT_EQ(report->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    EXPECT_EQ(command->text(), u"Eri&toimingud..."_qs);
    EXPECT_EQ(command->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
}

TEST_F(ReportEndToEnd, ReportFromTheMenuIsRequestedSavedCheckedAndOpened)
{
    startSimulator("report.json");
    Form1 &w = open();
    text("Text2")->setText(u"12,50"_qs);   // a half-typed amount the report clears
    requestReport(3, false);               // "Kaart"
    EXPECT_FALSE(child<QAction>("Report")->isEnabled()) << "no second report while one runs";

    ASSERT_TRUE(waitFor([&] { return !requests("0019").empty(); })) << "no \"0019\" reached the simulator";
    const VaroManager request = requests("0019").front();
    ASSERT_EQ(request.getFieldCount(), 5);
    const qint16 order[] = {1, 2, 5, 9, 3};
    for (qint16 i = 0; i < 5; ++i)
        EXPECT_EQ(request.GetFieldIDByIndex(qint16(i + 1)), order[i]) << "field at position " << i + 1;
    EXPECT_EQ(fieldOf(request, 2), "KASSA-07");
    EXPECT_EQ(fieldOf(request, 5), "050405000000");
    EXPECT_EQ(fieldOf(request, 9), "050407235959");
    EXPECT_EQ(fieldOf(request, 3), "000001");

    ASSERT_TRUE(waitFor([&] { return idle() && QFileInfo::exists(openedMarker); }))
        << "status line: " << statusLine().toStdString();
    EXPECT_EQ(QString::fromLocal8Bit(reporttest::readFile(openedMarker)), reportPath() + u'\n')
        << "the opener gets the report's path, alone";

    const reporttest::ToolResult check = reporttest::qpdfCheck(reportPath());
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
    const QString pdf = reporttest::pdfText(reportPath());
    EXPECT_TRUE(pdf.contains(u"Maksetehingute aruanne"_qs));
    EXPECT_TRUE(pdf.contains(u"Periood: 05.04.2005 00:00:00 - 07.04.2005 23:59:59"_qs));
    EXPECT_TRUE(pdf.contains(u"Tundmatu väljaandja"_qs)) << "the generated unknown card makes its own group";
    EXPECT_TRUE(pdf.contains(u"MASTERCARD"_qs));
    EXPECT_TRUE(pdf.contains(u"Summa kokku:"_qs));
    EXPECT_FALSE(pdf.contains(u"Kaart"_qs)) << "the grouping column is not printed";

    // Idle again: the layout, the menu, the cleared entry and no box.
    EXPECT_TRUE(w.isEnabled());
    EXPECT_TRUE(child<QPushButton>("Command1")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("Command2")->isEnabled());
    EXPECT_TRUE(tabStrip()->isEnabled());
    EXPECT_TRUE(child<QAction>("Report")->isEnabled());
    EXPECT_TRUE(child<QAction>("SettingsM")->isEnabled());
    EXPECT_TRUE(text("Text2")->text().isEmpty());
    EXPECT_EQ(boxStack().boxCount(), 0);
    EXPECT_FALSE(w.session().CancelLocked);
    EXPECT_FALSE(w.session().ReportPending);
    EXPECT_TRUE(QFile::exists(home + QStringLiteral("/log.txt")));
}

TEST_F(ReportEndToEnd, SecondReportOfARunKeepsTheDialogsChoicesAndOverwritesTheFile)
{
    startSimulator("report.json", 2);
    open();
    requestReport(0, true);   // "Puudub", approved only
    ASSERT_TRUE(waitFor([&] { return idle() && QFileInfo::exists(openedMarker); }));
    const QString ungrouped = reporttest::pdfText(reportPath());
    EXPECT_FALSE(ungrouped.contains(u"Tundmatu väljaandja"_qs));
    EXPECT_TRUE(ungrouped.contains(u"Kaart"_qs)) << "ungrouped, the card column has its heading";
    EXPECT_TRUE(statusLine().isEmpty()) << statusLine().toStdString();

    QFile::remove(openedMarker);
    Form3 *dialog = openReportDialogByKey();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->DTPicker1->date(), QDate(2005, 4, 5));
    EXPECT_EQ(dialog->DTPicker2->date(), QDate(2005, 4, 7));
    EXPECT_EQ(dialog->Combo1->currentIndex(), 0);
    EXPECT_TRUE(dialog->Check1->isChecked());
    dialog->Combo1->setCurrentIndex(3);
    QTest::mouseClick(dialog->Command1, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return idle() && QFileInfo::exists(openedMarker); }));
    EXPECT_EQ(fieldOf(requests("0019").back(), 3), "000002");
    EXPECT_EQ(reporttest::qpdfCheck(reportPath()).exitCode, 0);
    EXPECT_TRUE(reporttest::pdfText(reportPath()).contains(u"Tundmatu väljaandja"_qs));
}

// 32668 records, the most an answer can carry, in one frame of a few
// megabytes: the console takes the whole frame, writes every page and idles.
TEST_F(ReportEndToEnd, LargestAnswerBecomesAWholeReport)
{
    startSimulator("report-largest.json");
    Form1 &w = open();
    requestReport(5, false);   // "Staatus"
    ASSERT_TRUE(waitFor([&] { return idle() && QFileInfo::exists(openedMarker); }))
        << "status line: " << statusLine().toStdString();
    EXPECT_EQ(boxStack().boxCount(), 0);
    EXPECT_TRUE(w.isEnabled());
    const reporttest::ToolResult check = reporttest::qpdfCheck(reportPath());
    EXPECT_EQ(check.exitCode, 0) << check.output.left(2000).toStdString();
    const QString pdf = reporttest::pdfText(reportPath());
    EXPECT_TRUE(pdf.contains(u"Saatmata"_qs));
    EXPECT_TRUE(pdf.contains(u"Summa kokku:"_qs));
    // Some 29000 listed rows (a tenth are skipped kinds), at most 46 rows of
    // 5 mm between y = 35 and 260 on a page, make over 600 pages.
    EXPECT_GT(pdf.count(u'\f'), 600);
}

TEST_F(ReportEndToEnd, AnswerWithAnOutOfRangeStatusShowsTheFailureAndIdles)
{
    startSimulator("report-bad-status.json");
    Form1 &w = open();
    requestReport(1, true);
    ASSERT_TRUE(waitFor([&] { return idle() && boxStack().boxCount() > 0; }))
        << "status line: " << statusLine().toStdString();
    Form2 *box = topBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->boxType(), 0);
    EXPECT_EQ(box->findChild<QLabel *>(u"Label1"_qs)->text(),
              u"Aruanne koostamine ebaõnnestus: maksesüsteemi vastus on vigane."_qs);
    EXPECT_FALSE(w.session().CancelLocked);
    EXPECT_FALSE(QFileInfo::exists(reportPath()));
    EXPECT_FALSE(QFileInfo::exists(openedMarker));
    EXPECT_NE(statusLine(), u"Sõnumi dekodeerimine..."_qs);

    QTest::mouseClick(box->button(1), Qt::LeftButton);   // "OK"
    ASSERT_TRUE(waitFor([&] { return boxStack().boxCount() == 0; }));
    EXPECT_TRUE(w.isEnabled());
    EXPECT_TRUE(child<QAction>("Report")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("Command1")->isEnabled());
}

// What the desktop's opener does on a machine with no program for PDF
// files: xdg-open exits with 3. The console took it for success.
TEST_F(ReportEndToEnd, ViewerWithoutAProgramForPdfShowsTheMessageAndTheConsoleIsIdle)
{
    const QString bin = QDir::cleanPath(home + QStringLiteral("/../bin"));
    QDir().mkpath(bin);
    QFile fake(bin + QStringLiteral("/xdg-open"));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("#!/bin/sh\nexit 3\n");
    fake.close();
    ASSERT_TRUE(fake.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qunsetenv(kPdfOpenerVariable);
    qputenv("PATH", QFile::encodeName(bin) + ':' + path);

    startSimulator("report.json");
    Form1 &w = open();
    requestReport(0, true);
    const bool shown = waitFor([&] { return idle() && boxStack().boxCount() > 0; });
    qputenv("PATH", path);
    ASSERT_TRUE(shown) << "status line: " << statusLine().toStdString();
    Form2 *box = topBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->boxType(), 0);
    EXPECT_EQ(box->findChild<QLabel *>(u"Label1"_qs)->text(), u"Aruande kuvamine ebaõnnestus."_qs);
    EXPECT_EQ(reporttest::qpdfCheck(reportPath()).exitCode, 0) << "the report itself was saved";
    QTest::mouseClick(box->button(1), Qt::LeftButton);   // "OK"
    ASSERT_TRUE(waitFor([&] { return boxStack().boxCount() == 0; }));
    EXPECT_TRUE(w.isEnabled());
    EXPECT_TRUE(child<QAction>("Report")->isEnabled());
}

// Both dialogs were hidden and their request dropped without a word while
// another session ran.
TEST_F(ReportEndToEnd, RequestsWhileACommandRunsAreRefusedAloudAndTheDialogsStay)
{
    startSimulator("silent-server.json");
    Form1 &w = open();
    Form3 *report = openReportDialogByKey();
    ASSERT_NE(report, nullptr);
    report->Combo1->setCurrentIndex(2);

    Form4 *command = openPosCommandDialogByKey();
    ASSERT_NE(command, nullptr);
    QTest::mouseClick(command->Command1, Qt::LeftButton);
    EXPECT_FALSE(command->isVisible());
    ASSERT_TRUE(waitFor([&] { return !requests("0026").empty(); }));
    ASSERT_EQ(w.session().SessionState, PaymentSession::PosCommandRequest);
    const qint32 number = w.session().sessionNumber;
    ASSERT_TRUE(report->isVisible()) << "the report dialog stays open beside the console";

    const auto expectRefusal = [&](QDialog *dialog) {
        Form2 *box = topBox();
        ASSERT_NE(box, nullptr) << "no message";
        EXPECT_EQ(box->boxType(), 0);
        EXPECT_EQ(box->findChild<QLabel *>(u"Label1"_qs)->text(), u"Eelmine toiming on veel pooleli."_qs);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(w.session().sessionNumber, number);
        EXPECT_EQ(w.session().SessionState, PaymentSession::PosCommandRequest);
        QTest::mouseClick(box->button(1), Qt::LeftButton);   // "OK"
        ASSERT_TRUE(waitFor([&] { return boxStack().boxCount() == 0; }));
    };

    QTest::mouseClick(report->Command1, Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(expectRefusal(report));
    EXPECT_EQ(report->Combo1->currentIndex(), 2);
    EXPECT_FALSE(w.session().ReportPending);

    command = openPosCommandDialogByKey();   // the menu entry stays usable during a session
    ASSERT_NE(command, nullptr);
    command->Combo1->setCurrentIndex(1);
    QTest::mouseClick(command->Command1, Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(expectRefusal(command));
    EXPECT_EQ(w.session().PendingPosCommand, 0) << "the running command's byte";

    QTest::qWait(50);
    EXPECT_TRUE(requests("0019").empty());
    EXPECT_EQ(requests("0026").size(), 1u);
}

class PosCommandEndToEnd : public ReportEndToEnd, public ::testing::WithParamInterface<int> {};

TEST_P(PosCommandEndToEnd, CommandByteGoesOutAndTheAcknowledgementIsShown)
{
    const int command = GetParam();
    startSimulator("pos-command.json");
    Form1 &w = open();
    Form4 *dialog = openPosCommandDialogByKey();
    ASSERT_NE(dialog, nullptr) << "Ctrl+T did not show Form4";
    dialog->Combo1->setCurrentIndex(command);
    QTest::mouseClick(dialog->Command1, Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());

    ASSERT_TRUE(waitFor([&] { return idle() && !requests("0023").empty(); }))
        << "status line: " << statusLine().toStdString();
    const std::vector<VaroManager> sent = requests("0026");
    ASSERT_EQ(sent.size(), 1u);
    const qint16 order[] = {1, 2, 3, 7};
    ASSERT_EQ(sent[0].getFieldCount(), 4);
    for (qint16 i = 0; i < 4; ++i)
        EXPECT_EQ(sent[0].GetFieldIDByIndex(qint16(i + 1)), order[i]) << "field at position " << i + 1;
    EXPECT_EQ(fieldOf(sent[0], 2), "KASSA-07");
    EXPECT_EQ(fieldOf(sent[0], 7), QByteArray(1, char(command))) << "the byte, not the digit";
    EXPECT_EQ(statusLine(), u"Toiming täitmiseks võetud."_qs);
    EXPECT_EQ(w.session().PendingPosCommand, -1);
    EXPECT_EQ(boxStack().boxCount(), 0);
    EXPECT_TRUE(w.isEnabled());
    EXPECT_TRUE(child<QPushButton>("Command1")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Commands, PosCommandEndToEnd, ::testing::Values(0, 1, 2));

} // namespace
