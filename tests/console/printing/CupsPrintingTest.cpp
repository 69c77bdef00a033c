// Raw printing and receipt printing against a real CUPS scheduler of the
// test's own, with a listener standing in for the network receipt printer.
#include "CupsTestServer.h"
#include "ReceiptTestSupport.h"

#include "printing/CupsSpooler.h"
#include "printing/RAWPrinter.h"
#include "printing/ReceiptPrinter.h"

#include "common/CodePage.h"

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <optional>

namespace {

using namespace std::chrono_literals;

constexpr int JobCancelled = 7;
constexpr int JobCompleted = 9;

QByteArray cp(const char16_t *text)
{
    return CodePage::console().encode(QStringView(text));
}

// Passes everything to CupsSpooler and counts the opens; can answer the
// printer list from a list read earlier.
class CountingSpooler final : public Spooler {
public:
    int opens = 0;
    std::optional<QStringList> listed;
    CupsSpooler cups;

    QStringList destinations() override { return listed ? *listed : cups.destinations(); }
    QString defaultDestination() override { return cups.defaultDestination(); }
    Handle open(const QString &d) override { ++opens; return cups.open(d); }
    bool close(Handle h) override { return cups.close(h); }
    qint32 startJob(Handle h, const QString &n, const QString &f) override { return cups.startJob(h, n, f); }
    bool startPage(Handle h) override { return cups.startPage(h); }
    qint64 write(Handle h, QByteArrayView d) override { return cups.write(h, d); }
    bool endPage(Handle h) override { return cups.endPage(h); }
    bool endJob(Handle h) override { return cups.endJob(h); }
    bool cancelJob(Handle h, qint32 j) override { return cups.cancelJob(h, j); }
    bool setJobName(Handle h, qint32 j, const QString &n) override { return cups.setJobName(h, j, n); }
    bool setJobPriority(Handle h, qint32 j, int p) override { return cups.setJobPriority(h, j, p); }
    int jobPriority(Handle h, qint32 j) override { return cups.jobPriority(h, j); }
};

class CupsPrintingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = new CupsTestServer; }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(server->isRunning()) << server->error().toStdString();
        ASSERT_NE(listener.port(), 0);
        static int counter = 0;
        queue = QStringLiteral("Kviitung%1").arg(++counter);
        ASSERT_TRUE(server->addRawQueue(queue, listener.deviceUri())) << server->lastToolOutput().toStdString();
    }

    void TearDown() override
    {
        if (HasFailure() && server)
            std::cerr << "-- cupsd error_log:\n" << server->log().right(6000).toStdString() << '\n';
    }

    // New jobs of the queue wait, held, until released (a stopped queue
    // cannot be opened at all).
    bool holdJobs(bool on)
    {
        return server->runTool({QStringLiteral("lpadmin"), QStringLiteral("-p"), queue, QStringLiteral("-o"),
                                on ? QStringLiteral("job-hold-until-default=indefinite")
                                   : QStringLiteral("job-hold-until-default=no-hold")});
    }

    static CupsTestServer *server;
    PrinterListener listener;
    QString queue;
    CountingSpooler spooler;
    RecordingPlatformPrinter platform;
    std::vector<OpenedBox> boxes;
    ReceiptPrinter receipts{spooler, platform,
                            [this](int kind, const QString &text, int style) { boxes.push_back({kind, text, style}); }};
};

CupsTestServer *CupsPrintingTest::server = nullptr;

TEST_F(CupsPrintingTest, RawReceiptReachesPrinterByteForByte)
{
    const QByteArray frame = receiptFrame({{1, cp(u"Õun")}, {2, cp(u" Ää\r\n")}, {3, "Summa 1.00"}});
    ASSERT_TRUE(receipts.PrintReceipt(frame, 1001, queue, true));
    EXPECT_EQ(receipts.RawPrinter()->Err(), 0);
    ASSERT_TRUE(listener.waitForDocuments(1, 15s));
    EXPECT_EQ(listener.documents().front(), QByteArray("\x93\x75\x6E \x8E\x84\r\nSumma 1.00"));

    const std::vector<int> jobs = server->jobIds(queue);
    ASSERT_EQ(jobs.size(), 1u);
    ASSERT_TRUE(server->waitForJobEnd(jobs[0], 15s));
    EXPECT_EQ(server->job(jobs[0]).state, JobCompleted);
    EXPECT_EQ(server->job(jobs[0]).name, QStringLiteral("Moldar - RAWPrinter"));
}

TEST_F(CupsPrintingTest, EachReceiptIsOneJob)
{
    ASSERT_TRUE(receipts.PrintReceipt(receiptFrame({{1, "A1 "}, {2, "A2"}}), 1, queue, true));
    ASSERT_TRUE(receipts.PrintReceipt(receiptFrame({{1, "B1 "}, {2, "B2 "}, {3, "B3"}}), 2, queue, true));
    ASSERT_TRUE(listener.waitForDocuments(2, 15s));
    const auto documents = listener.documents();
    ASSERT_EQ(documents.size(), 2u);
    EXPECT_EQ(documents[0], QByteArray("A1 A2"));
    EXPECT_EQ(documents[1], QByteArray("B1 B2 B3"));
    EXPECT_EQ(server->jobIds(queue).size(), 2u);
}

TEST_F(CupsPrintingTest, AllEmptyLinesOpenNoJob)
{
    ASSERT_TRUE(receipts.PrintReceipt(receiptFrame({{1, ""}, {2, ""}, {3, ""}}), 3, queue, true));
    // Jobs are created synchronously, so none exists now means none was made.
    EXPECT_TRUE(server->jobIds(queue).empty());
    EXPECT_EQ(spooler.opens, 0);
    EXPECT_EQ(receipts.RawPrinter()->Err(), 0);
}

TEST_F(CupsPrintingTest, PrinterNameDifferingInLetterCaseIsNotFound)
{
    // CUPS itself would accept the name in any case; the console must not.
    CupsSpooler lenient;
    const Spooler::Handle handle = lenient.open(queue.toLower());
    EXPECT_NE(handle, 0u);
    lenient.close(handle);

    EXPECT_FALSE(receipts.PrintReceipt(receiptFrame({{1, "x"}}), 424242, queue.toLower(), true));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, 0);
    EXPECT_EQ(boxes[0].style, 16);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Viga kviitungite trükkimisel. (Kviitungi number=424242)"));
    EXPECT_TRUE(server->jobIds(queue).empty());
}

TEST_F(CupsPrintingTest, ListedPrinterThatCannotBeOpenedShowsTheErrorOnceAndStops)
{
    // The printer list was read while the queue existed; then the queue went
    // away on the server: it is listed but can no longer be opened.
    spooler.listed = spooler.destinations();
    ASSERT_TRUE(spooler.listed->contains(queue));
    ASSERT_TRUE(server->runTool({QStringLiteral("lpadmin"), QStringLiteral("-x"), queue}))
        << server->lastToolOutput().toStdString();

    const QByteArray frame = receiptFrame({{1, "a"}, {2, ""}, {3, "b"}, {4, "c"}});
    EXPECT_FALSE(receipts.PrintReceipt(frame, 5, queue, true));
    EXPECT_EQ(spooler.opens, 1);
    EXPECT_EQ(receipts.RawPrinter()->Err(), 2000);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Viga kviitungite trükkimisel. (Kviitungi number=5)\n"
                                            " Can't Open the printer device."));
    EXPECT_TRUE(listener.documents().empty());
}

// A stopped queue took the receipt and held it: nothing came out, nobody
// was told, and it printed whenever someone restarted the queue.
TEST_F(CupsPrintingTest, StoppedQueueShowsTheErrorOnceAndTakesNoJob)
{
    ASSERT_TRUE(server->runTool({QStringLiteral("cupsdisable"), queue})) << server->lastToolOutput().toStdString();
    const QByteArray frame = receiptFrame({{1, "a"}, {2, "b"}, {3, "c"}});
    EXPECT_FALSE(receipts.PrintReceipt(frame, 2024, queue, true));
    EXPECT_EQ(spooler.opens, 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, 0);
    EXPECT_EQ(boxes[0].style, 16);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Viga kviitungite trükkimisel. (Kviitungi number=2024)\n"
                                            " Can't Open the printer device."));
    EXPECT_TRUE(server->jobIds(queue).empty());

    // Running again, the queue prints the next receipt without a word.
    ASSERT_TRUE(server->runTool({QStringLiteral("cupsenable"), queue})) << server->lastToolOutput().toStdString();
    EXPECT_TRUE(receipts.PrintReceipt(receiptFrame({{1, "next"}}), 2025, queue, true));
    EXPECT_EQ(boxes.size(), 1u);
    ASSERT_TRUE(listener.waitForDocuments(1, 15s));
    EXPECT_EQ(listener.documents(), std::vector<QByteArray>{QByteArray("next")});
}

TEST_F(CupsPrintingTest, QueueRefusingJobsShowsTheErrorOnce)
{
    ASSERT_TRUE(server->runTool({QStringLiteral("cupsreject"), queue})) << server->lastToolOutput().toStdString();
    EXPECT_FALSE(receipts.PrintReceipt(receiptFrame({{1, "a"}, {2, "b"}}), 7, queue, true));
    EXPECT_EQ(spooler.opens, 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("Viga kviitungite trükkimisel. (Kviitungi number=7)\n")));
    EXPECT_TRUE(server->jobIds(queue).empty());
}

TEST_F(CupsPrintingTest, UnknownPrinterGives2000)
{
    RAWPrinter printer(spooler);
    printer.DeviceName(QStringLiteral("Puudub"));
    EXPECT_FALSE(printer.PrintText(QByteArrayView("x")));
    EXPECT_EQ(printer.Err(), 2000);
}

TEST_F(CupsPrintingTest, CancellingHeldJobRemovesIt)
{
    ASSERT_TRUE(holdJobs(true)) << server->lastToolOutput().toStdString();
    RAWPrinter printer(spooler);
    printer.DeviceName(queue);
    ASSERT_TRUE(printer.PrintText(QByteArrayView("never printed")));
    const int jobId = printer.hJob();
    ASSERT_GT(jobId, 0);
    EXPECT_EQ(server->activeJobIds(queue), std::vector<int>{jobId});

    EXPECT_TRUE(printer.KillDoc());
    EXPECT_EQ(printer.Err(), 0);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_TRUE(server->activeJobIds(queue).empty());
    EXPECT_EQ(server->job(jobId).state, JobCancelled);

    // Once jobs are no longer held only the next job arrives.
    ASSERT_TRUE(holdJobs(false)) << server->lastToolOutput().toStdString();
    ASSERT_TRUE(printer.PrintText(QByteArrayView("after")));
    ASSERT_TRUE(printer.EndDoc());
    ASSERT_TRUE(listener.waitForDocuments(1, 15s));
    ASSERT_TRUE(server->waitForJobEnd(printer.hJob(), 15s));
    EXPECT_EQ(listener.documents(), std::vector<QByteArray>{QByteArray("after")});
}

TEST_F(CupsPrintingTest, PriorityIsClampedAndMappedOnServer)
{
    ASSERT_TRUE(holdJobs(true)) << server->lastToolOutput().toStdString();
    RAWPrinter printer(spooler);
    printer.DeviceName(queue);
    ASSERT_TRUE(printer.NewDoc());

    struct Row {
        int written, onServer, readBack;
    };
    for (const Row row : {Row{0, 1, 1}, Row{150, 100, 99}, Row{50, 51, 50}, Row{-3, 1, 1}, Row{99, 100, 99}}) {
        printer.Priority(row.written);
        EXPECT_EQ(server->job(printer.hJob()).priority, row.onServer) << "written " << row.written;
        EXPECT_EQ(printer.Priority(), row.readBack) << "written " << row.written;
    }
    EXPECT_EQ(printer.Err(), 0);
    EXPECT_TRUE(printer.KillDoc());
}

TEST_F(CupsPrintingTest, DocumentNameDuringJobRenamesJobOnServer)
{
    ASSERT_TRUE(holdJobs(true)) << server->lastToolOutput().toStdString();
    RAWPrinter printer(spooler);
    printer.DeviceName(queue);
    ASSERT_TRUE(printer.NewDoc(QStringLiteral("Kviitung 1")));
    EXPECT_EQ(server->job(printer.hJob()).name, QStringLiteral("Kviitung 1"));
    printer.DocumentName(QStringLiteral("Tšekk ÕÄÖÜ"));
    EXPECT_EQ(printer.Err(), 0);
    EXPECT_EQ(server->job(printer.hJob()).name, QStringLiteral("Tšekk ÕÄÖÜ"));
    EXPECT_TRUE(printer.KillDoc());
}

TEST_F(CupsPrintingTest, NewPrinterUsesServerDefaultDestination)
{
    ASSERT_TRUE(server->runTool({QStringLiteral("lpadmin"), QStringLiteral("-d"), queue}))
        << server->lastToolOutput().toStdString();
    RAWPrinter printer(spooler);
    EXPECT_EQ(printer.DeviceName(), queue);
}

TEST_F(CupsPrintingTest, JobToOutputFileIsRefusedNotPrinted)
{
    RAWPrinter printer(spooler);
    printer.DeviceName(queue);
    EXPECT_FALSE(printer.NewDoc(QString(), QStringLiteral("/tmp/receipt.prn")));
    EXPECT_EQ(printer.Err(), 2001);
    EXPECT_TRUE(server->jobIds(queue).empty());
}

TEST(CupsSpoolerPriority, EveryPriorityMapsOntoIppRangeAndBack)
{
    EXPECT_EQ(CupsSpooler::ippPriority(1), 1);
    EXPECT_EQ(CupsSpooler::ippPriority(99), 100);
    EXPECT_EQ(CupsSpooler::fromIppPriority(50), 50);   // the IPP default
    int previous = 0;
    for (int p = Spooler::MinPriority; p <= Spooler::MaxPriority; ++p) {
        const int ipp = CupsSpooler::ippPriority(p);
        EXPECT_GT(ipp, previous) << p;
        EXPECT_EQ(CupsSpooler::fromIppPriority(ipp), p) << p;
        previous = ipp;
    }
    for (int q = 1; q <= 100; ++q) {
        const int p = CupsSpooler::fromIppPriority(q);
        EXPECT_GE(p, Spooler::MinPriority) << q;
        EXPECT_LE(p, Spooler::MaxPriority) << q;
    }
}

} // namespace
