// The whole road of a receipt: the console's main window, with its real CUPS
// spooler and Qt printer, takes a swiped card payment to the payment server
// simulator (in this process, playing the shipped approval scenario); the
// approval's receipt goes through a private CUPS scheduler to a raw queue
// whose device is socket://127.0.0.1:PORT, where a listener of ours stands in
// for the network receipt printer.
//
// The expected printer bytes are written out by hand from the scenario's
// receipt lines (windows-1257 for the console, code page 437 positions for
// the Estonian letters), so a wrong table or a lost line shows here.
#include "CupsTestServer.h"

#include "common/AppPaths.h"
#include "common/Config.h"
#include "dialogs/BoxStack.h"
#include "dialogs/Form2.h"
#include "journal/Form5.h"
#include "session/PaymentSession.h"
#include "window/Form1.h"
#include "common/Timing.h"

#include "../window/KeyTyping.h"
#include "../window/SimConsole.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <iostream>
#include <memory>

namespace {

using namespace std::chrono_literals;

constexpr int kPatienceMs = 20000;
constexpr int JobCompleted = 9;

const QString kTrack = QStringLiteral(";4111111111111111=2612101?");

// approval.json's receipt as the receipt printer must receive it: the
// non-empty lines one after the other, nothing added between them; Š Ž š ž
// are windows-1257 bytes (D0 DE F0 FE) the table leaves alone, Õ õ become
// 93 and Ä ä Ö ö Ü ü the code page 437 letters 8E 84 99 94 9A 81.
QByteArray expectedApprovalReceipt()
{
    QByteArray bytes;
    bytes += QByteArray("        \xD0OTI \x93LU JA \xDE" "ELE O\x9A");
    bytes += QByteArray("      P\x84rnu mnt 12, Tallinn");
    bytes += QByteArray("Kaardimakse              M\x9A\x9AK");
    bytes += QByteArray("Terminal: 00000000  STAN: 123");
    bytes += QByteArray("Autoriseerimiskood:    A1B2C3");
    bytes += QByteArray("Kirjatest: \x93\x84\x94\x81\xF0\xFE \x93\x8E\x99\x9A\xD0\xDE");
    bytes += QByteArray("    T\x84name ostu eest!");
    return bytes;
}

bool waitFor(const std::function<bool()> &done)
{
    return simconsole::waitFor(done, kPatienceMs);
}

// The text of a PDF document as pdftotext extracts it, or an error note.
QString pdfText(const QByteArray &pdf, const QString &folder, QString *error)
{
    QFile file(folder + QStringLiteral("/receipt.pdf"));
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size()) {
        *error = QStringLiteral("cannot write the PDF");
        return {};
    }
    file.close();
    QProcess pdftotext;
    // -layout keeps each printed line on one line of text, blanks and all.
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                                  QStringLiteral("UTF-8"), file.fileName(), QStringLiteral("-")});
    if (!pdftotext.waitForFinished(20000) || pdftotext.exitCode() != 0) {
        *error = QStringLiteral("pdftotext failed (poppler-utils installed?): ")
                 + QString::fromLocal8Bit(pdftotext.readAllStandardError());
        return {};
    }
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

class ReceiptEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() { cups = new CupsTestServer; }
    static void TearDownTestSuite()
    {
        delete cups;
        cups = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(cups->isRunning()) << cups->error().toStdString();
        ASSERT_NE(listener.port(), 0);
        static int counter = 0;
        queue = QStringLiteral("Kassaprinter%1").arg(++counter);
        ASSERT_TRUE(cups->addRawQueue(queue, listener.deviceUri())) << cups->lastToolOutput().toStdString();

        const QString parent = qEnvironmentVariable("TELLAR_TEST_TMPDIR", QDir::tempPath());
        QDir().mkpath(parent);
        dir = std::make_unique<QTemporaryDir>(parent + QStringLiteral("/receipt-e2e-XXXXXX"));
        ASSERT_TRUE(dir->isValid());
        QDir().mkpath(dir->filePath(QStringLiteral("home")));
        AppPaths::setProgramDir(dir->filePath(QStringLiteral("home")));
        AppPaths::setRegistryDir(dir->filePath(QStringLiteral("registry")));
        qputenv("TELLAR_KEYBOARD_LAYOUT", "ee");
    }

    void TearDown() override
    {
        form.reset();
        sim.reset();
        QApplication::processEvents();
        qunsetenv("TELLAR_KEYBOARD_LAYOUT");
        if (HasFailure() && cups)
            std::cerr << "-- cupsd error_log:\n" << cups->log().right(6000).toStdString() << '\n';
    }

    static void put(QLatin1String name, const QString &value) { PutConfigString(Config::KeyPath, name, value); }

    // varo-sim's approval scenario on a loopback port, and the store of a
    // console that prints its receipts on our queue.
    void provision(const QString &printer, bool raw, bool doPrint = true)
    {
        ASSERT_NO_FATAL_FAILURE(simconsole::startSimulator(sim, simLog, QStringLiteral("approval.json")));
        put(Config::DoPrint, doPrint ? QStringLiteral("1") : QStringLiteral("0"));
        put(Config::RAW, raw ? QStringLiteral("1") : QStringLiteral("0"));
        put(Config::Printer, printer);
    }

    // The main window with the real spooler and the real Qt printer; only
    // the key timing is ours, so a swipe is told from typing.
    Form1 &open()
    {
        Form1::Environment env;
        env.timing = &timing;
        form = std::make_unique<Form1>(env);
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return *form;
    }

    QLineEdit *text(const char *name) const { return form->findChild<QLineEdit *>(QString::fromLatin1(name)); }

    void typeAt(QWidget *w, const QString &keys, int spacingMs) { keytyping::typeAt(timing, w, keys, spacingMs); }

    // The cashier types 12,50 and swipes the card; the swipe starts the
    // payment, which runs to its end.
    void payBySwipe(Form1 &w)
    {
        typeAt(text("Text2"), QStringLiteral("12,50"), 200);
        typeAt(text("Text2"), kTrack, 5);
        ASSERT_EQ(w.session().SessionState, PaymentSession::Connecting) << "the swipe did not start a payment";
        ASSERT_TRUE(waitFor([&] { return w.session().SessionState == PaymentSession::Idle; }))
            << "the session did not end; status line: " << text("Text10")->text().toStdString();
        EXPECT_EQ(text("Text10")->text(), QStringLiteral("Toiming on teostatud. Kviitungi number: 123"));
    }

    static CupsTestServer *cups;
    PrinterListener listener;
    QString queue;
    ManualTiming timing;
    Sim::SimLog simLog;
    std::unique_ptr<Sim::SimServer> sim;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Form1> form;
};

CupsTestServer *ReceiptEndToEnd::cups = nullptr;

TEST_F(ReceiptEndToEnd, ApprovedPaymentPrintsReceiptRawAtPrinterByteForByte)
{
    provision(queue, true);
    Form1 &w = open();
    payBySwipe(w);
    EXPECT_EQ(boxStack().boxCount(), 0) << "no printing error box";

    ASSERT_TRUE(listener.waitForDocuments(1, 20s));
    const auto documents = listener.documents();
    ASSERT_EQ(documents.size(), 1u);
    EXPECT_EQ(documents.front(), expectedApprovalReceipt())
        << "got: " << documents.front().toHex(' ').toStdString();

    const std::vector<int> jobs = cups->jobIds(queue);
    ASSERT_EQ(jobs.size(), 1u) << "one job per receipt";
    ASSERT_TRUE(cups->waitForJobEnd(jobs[0], 20s));
    EXPECT_EQ(cups->job(jobs[0]).state, JobCompleted);
    EXPECT_EQ(cups->job(jobs[0]).name, QStringLiteral("Moldar - RAWPrinter"));
}

// The customer's receipt jammed: the cashier prints it again from "Viimane
// tehing". The copy is a job of its own on the same queue, and the printer
// gets the first receipt's bytes behind the copy line.
TEST_F(ReceiptEndToEnd, ReprintReachesThePrinterAsTheFirstReceiptBehindTheCopyMark)
{
    provision(queue, true);
    Form1 &w = open();
    payBySwipe(w);
    ASSERT_TRUE(listener.waitForDocuments(1, 20s));

    QTest::keyClick(&w, Qt::Key_L, Qt::ControlModifier);
    Form5 *last = w.lastTransactionDialog();
    ASSERT_TRUE(last && last->isVisible()) << "Ctrl+L opens \"Viimane tehing\"";
    ASSERT_TRUE(last->reprintButton()->isEnabled());
    last->reprintButton()->click();

    ASSERT_TRUE(listener.waitForDocuments(2, 20s));
    const auto documents = listener.documents();
    ASSERT_EQ(documents.size(), 2u);
    EXPECT_EQ(documents[1], "*** KOOPIA ***\r\n" + expectedApprovalReceipt())
        << "got: " << documents[1].toHex(' ').toStdString();
    const std::vector<int> jobs = cups->jobIds(queue);
    ASSERT_EQ(jobs.size(), 2u) << "the copy is a job of its own";
    ASSERT_TRUE(cups->waitForJobEnd(jobs[1], 20s));
    EXPECT_EQ(cups->job(jobs[1]).state, JobCompleted);
    EXPECT_EQ(boxStack().boxCount(), 0) << "no printing error box";
}

TEST_F(ReceiptEndToEnd, ReceiptPrintingOffSendsNoJob)
{
    provision(queue, true, false);
    Form1 &w = open();
    payBySwipe(w);
    // The receipt job would have been created before the session ended.
    EXPECT_TRUE(cups->jobIds(queue).empty());
    EXPECT_FALSE(listener.waitForDocuments(1, 300ms));
}

TEST_F(ReceiptEndToEnd, PrinterNamedInOtherLetterCaseShowsErrorAndPaymentStaysApproved)
{
    provision(queue.toUpper(), true);
    Form1 &w = open();
    payBySwipe(w);

    // The error box stays after the session; the approval is not undone.
    auto *box = dynamic_cast<Form2 *>(boxStack().topBox());
    ASSERT_NE(box, nullptr) << "no error box";
    EXPECT_EQ(box->boxType(), 0);
    EXPECT_EQ(box->findChild<QLabel *>(QStringLiteral("Label1"))->text(),
              QStringLiteral("Viga kviitungite trükkimisel. (Kviitungi number=123)"));
    EXPECT_TRUE(cups->jobIds(queue).empty());
    w.CloseAllBoxes();
}

// The receipt printer's queue was stopped: the receipt was held there
// without a word to the cashier.
TEST_F(ReceiptEndToEnd, StoppedReceiptQueueShowsTheErrorAndThePaymentStaysApproved)
{
    ASSERT_TRUE(cups->runTool({QStringLiteral("cupsdisable"), queue})) << cups->lastToolOutput().toStdString();
    provision(queue, true);
    Form1 &w = open();
    payBySwipe(w);   // the status line says approved, with the receipt number

    ASSERT_EQ(boxStack().boxCount(), 1) << "one message for the receipt";
    auto *box = dynamic_cast<Form2 *>(boxStack().topBox());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->boxType(), 0);
    EXPECT_EQ(box->findChild<QLabel *>(QStringLiteral("Label1"))->text(),
              QStringLiteral("Viga kviitungite trükkimisel. (Kviitungi number=123)\n Can't Open the printer device."));
    EXPECT_EQ(text("Text10")->text(), QStringLiteral("Toiming on teostatud. Kviitungi number: 123"));
    EXPECT_TRUE(cups->jobIds(queue).empty());
    EXPECT_TRUE(listener.documents().empty());
    w.CloseAllBoxes();
}

TEST_F(ReceiptEndToEnd, ApprovedPaymentPrintsReceiptThroughQtPrinterAsDocumentWithItsLines)
{
    provision(queue, false);
    Form1 &w = open();
    payBySwipe(w);
    EXPECT_EQ(boxStack().boxCount(), 0);

    ASSERT_TRUE(listener.waitForDocuments(1, 30s));
    const auto documents = listener.documents();
    ASSERT_EQ(documents.size(), 1u);
    ASSERT_TRUE(documents[0].startsWith("%PDF-")) << documents[0].left(200).toStdString();
    EXPECT_EQ(cups->jobIds(queue).size(), 1u) << "one job per receipt";

    QString error;
    const QString extracted = pdfText(documents[0], dir->path(), &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    // Blanks are placed by position, not kept as characters: compare the
    // words of each line.
    QStringList found;
    for (const QString &line : extracted.split(QLatin1Char('\n'))) {
        const QString words = line.simplified();
        if (!words.isEmpty())
            found << words;
    }
    const QStringList expected = {
        QStringLiteral("ŠOTI ÕLU JA ŽELE OÜ"),  QStringLiteral("Pärnu mnt 12, Tallinn"),
        QStringLiteral("Kaardimakse MÜÜK"),     QStringLiteral("Terminal: 00000000 STAN: 123"),
        QStringLiteral("Autoriseerimiskood: A1B2C3"), QStringLiteral("Kirjatest: õäöüšž ÕÄÖÜŠŽ"),
        QStringLiteral("Täname ostu eest!"),
    };
    EXPECT_EQ(found.join(u'|').toStdString(), expected.join(u'|').toStdString()) << extracted.toStdString();
}

} // namespace

int main(int argc, char **argv)
{
    // The expected bytes are windows-1257's; the process must not follow the
    // machine's choice.
    qputenv("TELLAR_CODEPAGE", "windows-1257");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
