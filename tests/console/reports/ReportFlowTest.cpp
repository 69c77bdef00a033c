// From the parsed "0020" to the opened file: the order of the session steps,
// the checkpoints and status texts, answers that cannot be decoded, writer
// and viewer failures, the save that keeps events running, the event pacer,
// and the opener command.
#include "ReportTestSupport.h"

#include "common/AppPaths.h"
#include "common/Clock.h"
#include "common/CodePage.h"
#include "reports/DocumentOpener.h"
#include "reports/EventPacer.h"
#include "reports/ReportDecoder.h"
#include "reports/ReportDocument.h"

#include <Papyrer.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

using namespace reporttest;

namespace {

const QString kRejected = QStringLiteral("0/16: Aruanne koostamine ebaõnnestus: maksesüsteemi vastus on vigane.");

class ReportFlow : public ::testing::Test {
protected:
    FakeReportHost host;
    ManualClock clock{QDateTime(QDate(2005, 4, 7), QTime(8, 9, 10))};
    QTemporaryDir dir = makeTempDir();
    ReportDocumentOptions options;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        options.filePath = dir.filePath(QStringLiteral("Report.pdf"));
        options.clock = &clock;
        options.eventIntervalMs = 0;
    }

    // The calls without the status texts of the progress, which depend on
    // the number of rows.
    QStringList stepCalls() const
    {
        QStringList steps;
        for (const QString &c : host.calls) {
            if (!c.startsWith(QStringLiteral("setStatusLine: Aruanne dokumendi koostamine")))
                steps << c;
        }
        return steps;
    }
};

// Throws the writer's overflow error at the first line, as the writer does
// when a value does not fit the file.
class OverflowingCanvas final : public ForwardingCanvas {
public:
    void DrawLine(float, float, float, float) override { throw PapyrOverflowError("page count above 32767"); }
    QString EndDoc() override
    {
        endDocCalls++;
        return m_inner.EndDoc();
    }

    static inline int endDocCalls = 0;
};

// Saving takes a while and notes the thread it runs on.
class SlowSavingCanvas final : public ForwardingCanvas {
public:
    static inline std::atomic<bool> savedOnOtherThread{false};
    static inline std::atomic<int> eventsWhileSaving{0};
    static inline std::atomic<bool> saving{false};

    explicit SlowSavingCanvas(Qt::HANDLE uiThread) : m_uiThread(uiThread) {}

    QString EndDoc() override
    {
        savedOnOtherThread = QThread::currentThreadId() != m_uiThread;
        saving = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        saving = false;
        return m_inner.EndDoc();
    }

private:
    Qt::HANDLE m_uiThread;
};

} // namespace

TEST_F(ReportFlow, DecodeReportRunsEveryStepInOrder)
{
    host.groupColumn = 5;
    DecodeReport(makeAnswer({Record().withCard(""), Record().withCard("VISA")}), host, options);
    EXPECT_EQ(stepCalls(),
              QStringList({QStringLiteral("closeForReport"),
                           QStringLiteral("setStatusLine: Sõnumi dekodeerimine..."),
                           QStringLiteral("LogEvent: Checkpoint1"), QStringLiteral("LogEvent: Checkpoint2"),
                           QStringLiteral("LogEvent: Checkpoint3"),
                           QStringLiteral("setStatusLine: Aruanne dokumendi salvestamine..."),
                           QStringLiteral("LogEvent: Checkpoint4"), QStringLiteral("openDocument: ") + options.filePath,
                           QStringLiteral("clearEntryFields"), QStringLiteral("ReturnToIdle")}));
    EXPECT_TRUE(host.statusLines.contains(QStringLiteral("Aruanne dokumendi koostamine: 100%")));
    EXPECT_TRUE(host.boxes.isEmpty());

    const ToolResult check = qpdfCheck(options.filePath);
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
    const QString text = pdfText(options.filePath);
    EXPECT_TRUE(text.contains(QStringLiteral("Maksetehingute aruanne")));
    EXPECT_TRUE(text.contains(QStringLiteral("Periood: 05.04.2005 00:00:00 - 07.04.2005 23:59:59")));
    EXPECT_TRUE(text.contains(QStringLiteral("Tundmatu väljaandja")));
    EXPECT_TRUE(text.contains(QStringLiteral("07.04.2005 08:09:10")));   // created, from the clock
    EXPECT_TRUE(text.contains(QStringLiteral("E - Jootraha lisatud, T - Tühistamine, B - Broneering")));
}

TEST_F(ReportFlow, EventsRunBeforeAndAfterTheDecodingText)
{
    int eventsBeforeStatus = -1;
    int eventsAtStatus = -1;
    host.onProcessEvents = [&] {
        if (host.statusLines.isEmpty())
            eventsBeforeStatus = host.processEventsCalls;
        else if (eventsAtStatus < 0)
            eventsAtStatus = host.processEventsCalls;
    };
    DecodeReport(makeAnswer({Record()}), host, options);
    EXPECT_EQ(eventsBeforeStatus, 1);   // after the cancel lock, before the text
    EXPECT_EQ(eventsAtStatus, 2);       // right after the text
}

TEST_F(ReportFlow, OnlyApprovedFilterComesFromTheRequest)
{
    const VaroManager answer = makeAnswer({Record().withCard("DECLINED100").withCode(100), Record()});
    host.onlyApproved = true;
    DecodeReport(answer, host, options);
    EXPECT_FALSE(pdfText(options.filePath).contains(QStringLiteral("DECLINED100")));
    host.onlyApproved = false;
    DecodeReport(answer, host, options);
    EXPECT_TRUE(pdfText(options.filePath).contains(QStringLiteral("DECLINED100")));
}

struct RejectedRow {
    const char *name;
    qint32 status;
    std::optional<qint32> count;
    const char *log;
};

class RejectedAnswer : public ReportFlow, public ::testing::WithParamInterface<RejectedRow> {};

TEST_P(RejectedAnswer, ReturnsToIdleAndTellsTheCashier)
{
    const RejectedRow &row = GetParam();
    DecodeReport(makeAnswer({recordFrame(Record())}, row.count, row.status), host, options);
    EXPECT_EQ(host.calls,
              QStringList({QStringLiteral("closeForReport"),
                           QStringLiteral("setStatusLine: Sõnumi dekodeerimine..."),
                           QStringLiteral("LogEvent: ") + QString::fromLatin1(row.log),
                           QStringLiteral("ReturnToIdle"), QStringLiteral("OpenBox: ") + kRejected}));
    EXPECT_FALSE(QFileInfo::exists(options.filePath));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RejectedAnswer,
    ::testing::Values(RejectedRow{"StatusTen", 10, std::nullopt, "Report answer rejected: status 10, count 1"},
                      RejectedRow{"StatusMinusOne", -1, std::nullopt, "Report answer rejected: status -1, count 1"},
                      RejectedRow{"NegativeCount", 0, -5, "Report answer rejected: status 0, count -5"},
                      RejectedRow{"CountAboveFieldRange", 0, 32669,
                                  "Report answer rejected: status 0, count 32669"}),
    [](const ::testing::TestParamInfo<RejectedRow> &info) { return std::string(info.param.name); });

TEST_F(ReportFlow, EmptyAnswerStillGivesADocument)
{
    DecodeReport(makeAnswer(std::vector<Record>{}), host, options);
    EXPECT_EQ(host.opened, QStringList{options.filePath});
    EXPECT_EQ(qpdfCheck(options.filePath).exitCode, 0);
    EXPECT_TRUE(pdfText(options.filePath).contains(QStringLiteral("Summa kokku:")));
    EXPECT_EQ(host.calls.last(), QStringLiteral("ReturnToIdle"));
}

TEST_F(ReportFlow, WriterErrorIsShownAndTheFileNotOpened)
{
    options.filePath = dir.filePath(QStringLiteral("missing/folder/Report.pdf"));
    DecodeReport(makeAnswer({Record()}), host, options);
    EXPECT_EQ(host.boxes,
              QStringList{QStringLiteral("0/16: Aruanne koostamine ebaõnnestus: 2 - No such file or directory")});
    EXPECT_TRUE(host.opened.isEmpty());
    EXPECT_TRUE(host.logEvents.contains(QStringLiteral("Checkpoint4")));
    EXPECT_EQ(host.calls.mid(host.calls.size() - 2),
              QStringList({QStringLiteral("clearEntryFields"), QStringLiteral("ReturnToIdle")}));
}

TEST_F(ReportFlow, ViewerThatCannotStartIsShown)
{
    host.openerSucceeds = false;
    DecodeReport(makeAnswer({Record()}), host, options);
    EXPECT_EQ(host.boxes, QStringList{QStringLiteral("0/16: Aruande kuvamine ebaõnnestus.")});
    EXPECT_TRUE(QFileInfo::exists(options.filePath));
    EXPECT_EQ(host.calls.last(), QStringLiteral("ReturnToIdle"));
}

TEST_F(ReportFlow, ViewerFailureThatComesAfterTheSessionIsStillShown)
{
    host.openerSucceeds = false;
    host.openerFailsLater = true;
    DecodeReport(makeAnswer({Record()}), host, options);
    EXPECT_EQ(host.calls.last(), QStringLiteral("ReturnToIdle"));
    EXPECT_TRUE(host.boxes.isEmpty());
    ASSERT_TRUE(host.laterOpenFailure);
    FakeReportHost later;   // the session's host of that moment
    host.laterOpenFailure(later);
    EXPECT_EQ(later.boxes, QStringList{QStringLiteral("0/16: Aruande kuvamine ebaõnnestus.")});
}

TEST_F(ReportFlow, FailedSaveLeavesTheLastReport)
{
    DecodeReport(makeAnswer({Record().withCard("EILNE")}), host, options);
    ASSERT_TRUE(host.boxes.isEmpty());
    const QByteArray lastReport = readFile(options.filePath);
    ASSERT_TRUE(lastReport.startsWith("%PDF-1.0"));

    FakeReportHost next;
    {
        FileSizeLimit limit(1024);   // the new report no longer fits the disk
        ASSERT_TRUE(limit.active());
        DecodeReport(makeAnswer(std::vector<Record>(50, Record())), next, options);
    }
    ASSERT_EQ(next.boxes.size(), 1);
    EXPECT_TRUE(next.boxes[0].startsWith(QStringLiteral("0/16: Aruanne koostamine ebaõnnestus: 27 - ")))
        << next.boxes[0].toStdString();
    EXPECT_TRUE(next.opened.isEmpty());
    EXPECT_EQ(readFile(options.filePath), lastReport) << "the last report was lost with the failed one";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Report.pdf")});
}

TEST_F(ReportFlow, FailedBuildLeavesTheLastReport)
{
    DecodeReport(makeAnswer({Record()}), host, options);
    const QByteArray lastReport = readFile(options.filePath);
    ASSERT_FALSE(lastReport.isEmpty());
    FakeReportHost next;
    options.makeCanvas = [] { return std::make_unique<OverflowingCanvas>(); };
    DecodeReport(makeAnswer({Record()}), next, options);
    ASSERT_EQ(next.boxes.size(), 1);
    EXPECT_EQ(readFile(options.filePath), lastReport);
}

TEST_F(ReportFlow, WriterOverflowIsShownInsteadOfThrown)
{
    OverflowingCanvas::endDocCalls = 0;
    options.makeCanvas = [] { return std::make_unique<OverflowingCanvas>(); };
    EXPECT_NO_THROW(DecodeReport(makeAnswer({Record()}), host, options));
    EXPECT_EQ(host.boxes, QStringList{QStringLiteral("0/16: Aruanne koostamine ebaõnnestus: page count above 32767")});
    EXPECT_EQ(OverflowingCanvas::endDocCalls, 0);
    EXPECT_TRUE(host.opened.isEmpty());
    EXPECT_EQ(host.calls.last(), QStringLiteral("ReturnToIdle"));
}

TEST_F(ReportFlow, ReportGoesToTheProgramFolderByDefault)
{
    const QString before = AppPaths::programDir();
    AppPaths::setProgramDir(dir.path());
    options.filePath.clear();
    DecodeReport(makeAnswer({Record()}), host, options);
    AppPaths::setProgramDir(before);
    const QString expected = dir.filePath(QStringLiteral("Report.pdf"));
    EXPECT_EQ(host.opened, QStringList{expected});
    EXPECT_EQ(qpdfCheck(expected).exitCode, 0);
}

// Proves real timing: the save runs on another thread for 150 ms while this
// thread keeps letting events run.
TEST_F(ReportFlow, EventsKeepRunningWhileTheFileIsSaved)
{
    const Qt::HANDLE ui = QThread::currentThreadId();
    options.makeCanvas = [ui] { return std::make_unique<SlowSavingCanvas>(ui); };
    options.clock = &Clock::system();
    options.eventIntervalMs = 10;
    SlowSavingCanvas::eventsWhileSaving = 0;
    host.onProcessEvents = [] {
        if (SlowSavingCanvas::saving)
            ++SlowSavingCanvas::eventsWhileSaving;
    };
    DecodeReport(makeAnswer({Record()}), host, options);
    EXPECT_TRUE(SlowSavingCanvas::savedOnOtherThread);
    EXPECT_GE(SlowSavingCanvas::eventsWhileSaving.load(), 3);
    EXPECT_EQ(host.opened, QStringList{options.filePath});
    EXPECT_EQ(qpdfCheck(options.filePath).exitCode, 0);
}

// --- EventPacer --------------------------------------------------------------

TEST(EventPacerTest, RunsEventsOnlyOnceTheIntervalHasPassed)
{
    ManualClock clock;
    int runs = 0;
    EventPacer pacer([&] { ++runs; }, clock, 20);
    pacer.maybePump();
    EXPECT_EQ(runs, 0);
    clock.advanceMs(19);
    pacer.maybePump();
    EXPECT_EQ(runs, 0);
    clock.advanceMs(1);
    pacer.maybePump();
    EXPECT_EQ(runs, 1);
    pacer.maybePump();
    EXPECT_EQ(runs, 1);   // the interval counts again from the last run
    pacer.pump();
    EXPECT_EQ(runs, 2);   // the fixed points run at once
    clock.advanceMs(19);
    pacer.maybePump();
    EXPECT_EQ(runs, 2);
}

TEST(EventPacerTest, ZeroIntervalRunsEveryTime)
{
    ManualClock clock;
    int runs = 0;
    EventPacer pacer([&] { ++runs; }, clock, 0);
    for (int i = 0; i < 5; ++i)
        pacer.maybePump();
    EXPECT_EQ(runs, 5);
}

TEST(EventPacerTest, LayoutOfManyRowsLetsEventsRunByTheClock)
{
    // A clock that moves 1 ms whenever it is read: the pacer reads it once
    // per row (and once after each run), so events run about every 10 rows.
    class TickingClock final : public Clock {
    public:
        qint64 nowMs() const override { return ++m_ms; }
        QDateTime now() const override { return QDateTime(QDate(2026, 1, 1), QTime(0, 0)); }

    private:
        mutable qint64 m_ms = 0;
    };
    TickingClock clock;
    FakeReportHost host;
    DecodedReport decoded = DecodeReportAnswer(makeAnswer(std::vector<Record>(200, Record())), false);
    EventPacer pacer([&] { host.processEvents(); }, clock, 10);
    PapyrCanvas canvas;
    LayOutReport(canvas, decoded.table, decoded.kept, 0, host.periodText, QStringLiteral("x"), host, pacer);
    EXPECT_GE(host.processEventsCalls, 15);
    EXPECT_LE(host.processEventsCalls, 30);
}

// --- OpenDocument ------------------------------------------------------------

class OpenerTest : public ::testing::Test {
protected:
    QTemporaryDir dir = makeTempDir();
    QByteArray saved = qgetenv(kPdfOpenerVariable);
    bool wasSet = qEnvironmentVariableIsSet(kPdfOpenerVariable);
    QByteArray savedPath = qgetenv("PATH");
    std::unique_ptr<QObject> context = std::make_unique<QObject>();
    int failures = 0;

    void TearDown() override
    {
        context.reset();
        if (wasSet)
            qputenv(kPdfOpenerVariable, saved);
        else
            qunsetenv(kPdfOpenerVariable);
        qputenv("PATH", savedPath);
    }

    QString makeFile(const QString &name, const QByteArray &contents = "%PDF-1.0")
    {
        QDir().mkpath(QFileInfo(dir.filePath(name)).path());
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(contents);
        return f.fileName();
    }

    bool open(const QString &path)
    {
        return OpenDocument(path, context.get(), [this] { ++failures; });
    }

    // Lets events run until done() holds, at most 10 s.
    static bool waitUntil(const std::function<bool()> &done)
    {
        QElapsedTimer waited;
        waited.start();
        while (!done()) {
            if (waited.elapsed() > 10000)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(2);
        }
        return true;
    }

    // Until the opener has ended and everything it queued has run.
    bool waitForOpenerEnd()
    {
        const bool ended = waitUntil([this] { return context->findChildren<QProcess *>().isEmpty(); });
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return ended;
    }
};

TEST_F(OpenerTest, DesktopHandlerUnlessTheVariableIsSet)
{
    qunsetenv(kPdfOpenerVariable);
    EXPECT_EQ(DocumentOpenerCommand(QStringLiteral("/r/Report.pdf")),
              QStringList({QStringLiteral("xdg-open"), QStringLiteral("/r/Report.pdf")}));
    qputenv(kPdfOpenerVariable, "  ");
    EXPECT_EQ(DocumentOpenerCommand(QStringLiteral("/r/Report.pdf")).first(), QStringLiteral("xdg-open"));
}

TEST_F(OpenerTest, CommandLineIsSplitLikeAShellAndThePathAppended)
{
    qputenv(kPdfOpenerVariable, "viewer --title \"Kassa aruanne\" 'a b'");
    EXPECT_EQ(DocumentOpenerCommand(QStringLiteral("/my reports/Report.pdf")),
              QStringList({QStringLiteral("viewer"), QStringLiteral("--title"), QStringLiteral("Kassa aruanne"),
                           QStringLiteral("a b"), QStringLiteral("/my reports/Report.pdf")}));
}

TEST_F(OpenerTest, OpenerReceivesThePathAsOneArgument)
{
    const QString report = makeFile(QStringLiteral("my reports/Report.pdf"));
    const QString out = dir.filePath(QStringLiteral("opened.txt"));
    // sh -c SCRIPT NAME PATH: the script sees NAME as $0 and the path as $1.
    qputenv(kPdfOpenerVariable,
            QByteArray("/bin/sh -c 'printf \"%s|%s\" \"$0\" \"$1\" > \"") + out.toUtf8() + "\"' viewer");
    ASSERT_TRUE(open(report));
    ASSERT_TRUE(waitForOpenerEnd());
    EXPECT_EQ(QString::fromUtf8(readFile(out)), QStringLiteral("viewer|") + report);
    EXPECT_EQ(failures, 0);
}

TEST_F(OpenerTest, OpenerThatExitsWithZeroIsNoFailure)
{
    qputenv(kPdfOpenerVariable, "/bin/true");
    ASSERT_TRUE(open(makeFile(QStringLiteral("Report.pdf"))));
    ASSERT_TRUE(waitForOpenerEnd());
    EXPECT_EQ(failures, 0);
}

struct ExitRow {
    const char *name;
    const char *commandLine;
};

class OpenerFailure : public OpenerTest, public ::testing::WithParamInterface<ExitRow> {};

// Taken for success before: the opener was started detached and its status
// never read.
TEST_P(OpenerFailure, IsReportedOnceWhenTheOpenerEnds)
{
    qputenv(kPdfOpenerVariable, GetParam().commandLine);
    ASSERT_TRUE(open(makeFile(QStringLiteral("Report.pdf"))));
    EXPECT_EQ(failures, 0) << "reported inside the call";
    ASSERT_TRUE(waitUntil([this] { return failures > 0; }));
    waitForOpenerEnd();
    EXPECT_EQ(failures, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Openers, OpenerFailure,
    ::testing::Values(ExitRow{"NoProgramHandlesPdf", "/bin/sh -c 'exit 3'"},
                      ExitRow{"ActionFailed", "/bin/sh -c 'exit 4'"},
                      ExitRow{"AnyOtherStatus", "/bin/false"},
                      ExitRow{"EndedBySignal", "/bin/sh -c 'kill -KILL $$'"},
                      ExitRow{"ProgramThatCannotStart", "/nonexistent/viewer"}),
    [](const ::testing::TestParamInfo<ExitRow> &info) { return std::string(info.param.name); });

// The desktop's own opener, as on a machine with no program for PDF files:
// xdg-open exits with 3.
TEST_F(OpenerTest, XdgOpenWithoutAHandlerForPdfIsAFailure)
{
    const QString bin = dir.filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    QFile fake(bin + QStringLiteral("/xdg-open"));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("#!/bin/sh\necho \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n");
    fake.close();
    ASSERT_TRUE(fake.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qunsetenv(kPdfOpenerVariable);
    qputenv("PATH", QFile::encodeName(bin) + ':' + savedPath);
    ASSERT_TRUE(open(makeFile(QStringLiteral("Report.pdf"))));
    ASSERT_TRUE(waitUntil([this] { return failures > 0; }));
    EXPECT_EQ(failures, 1);
}

// The opener waits for a file the test makes only after the call returned:
// a call that waited for the opener would never return.
TEST_F(OpenerTest, OpenDocumentDoesNotWaitForTheOpener)
{
    const QString go = dir.filePath(QStringLiteral("go"));
    qputenv(kPdfOpenerVariable,
            QByteArray("/bin/sh -c 'while [ ! -e \"") + go.toUtf8() + "\" ]; do sleep 0.01; done; exit 4'");
    ASSERT_TRUE(open(makeFile(QStringLiteral("Report.pdf"))));
    QCoreApplication::processEvents();
    EXPECT_EQ(failures, 0);
    makeFile(QStringLiteral("go"));
    ASSERT_TRUE(waitUntil([this] { return failures > 0; }));
}

TEST_F(OpenerTest, NoFailureReachesAContextThatIsGone)
{
    const QString go = dir.filePath(QStringLiteral("go"));
    const QString after = dir.filePath(QStringLiteral("after"));
    qputenv(kPdfOpenerVariable, QByteArray("/bin/sh -c 'while [ ! -e \"") + go.toUtf8()
                                    + "\" ]; do sleep 0.01; done; touch \"" + after.toUtf8() + "\"; exit 3'");
    ASSERT_TRUE(open(makeFile(QStringLiteral("Report.pdf"))));
    QCoreApplication::processEvents();
    context.reset();   // the console closes while the opener runs
    makeFile(QStringLiteral("go"));
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 300) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    EXPECT_EQ(failures, 0);
    EXPECT_FALSE(QFileInfo::exists(after)) << "the opener outlived its console";
}

TEST_F(OpenerTest, MissingFileIsNotOpened)
{
    qputenv(kPdfOpenerVariable, "/bin/true");
    EXPECT_FALSE(open(dir.filePath(QStringLiteral("Report.pdf"))));
    EXPECT_FALSE(open(dir.path()));   // a folder is no document
    QCoreApplication::processEvents();
    EXPECT_EQ(failures, 0);
}

TEST_F(OpenerTest, CommandLineWithoutAProgramIsNotOpened)
{
    const QString report = makeFile(QStringLiteral("Report.pdf"));
    qputenv(kPdfOpenerVariable, "\"\"");
    EXPECT_FALSE(open(report));
}

struct SplitRow {
    const char *name;
    const char *line;
    QStringList words;
};

class CommandLineSplit : public ::testing::TestWithParam<SplitRow> {};

TEST_P(CommandLineSplit, WordsAsAShellSplitsThem)
{
    EXPECT_EQ(SplitCommandLine(QString::fromUtf8(GetParam().line)), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineSplit,
    ::testing::Values(
        SplitRow{"Blanks", "  a\tb   c ", {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
        SplitRow{"SingleQuotesAreLiteral", "'a \"b\" \\c'", {QStringLiteral("a \"b\" \\c")}},
        SplitRow{"DoubleQuotesKeepBlanks", "\"a b\" c", {QStringLiteral("a b"), QStringLiteral("c")}},
        SplitRow{"EscapesInDoubleQuotes", "\"a\\\"b\\\\c\\n\"", {QStringLiteral("a\"b\\c\\n")}},
        SplitRow{"BackslashOutsideQuotes", "a\\ b c\\'d", {QStringLiteral("a b"), QStringLiteral("c'd")}},
        SplitRow{"QuotesJoinTheirNeighbours", "a'b c'd", {QStringLiteral("ab cd")}},
        SplitRow{"EmptyQuotesAreAWord", "x '' \"\"", {QStringLiteral("x"), QString(), QString()}},
        SplitRow{"UnterminatedQuoteRunsToTheEnd", "a 'b c", {QStringLiteral("a"), QStringLiteral("b c")}},
        SplitRow{"NonAscii", "vaataja --pealkiri 'Õhtune aruanne'",
                 {QStringLiteral("vaataja"), QStringLiteral("--pealkiri"), QStringLiteral("Õhtune aruanne")}},
        SplitRow{"Nothing", "   ", {}}),
    [](const ::testing::TestParamInfo<SplitRow> &info) { return std::string(info.param.name); });
