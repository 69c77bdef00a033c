// RAWPrinter's state machine, codes and texts against the in-memory spooler.
#include "printing/MemorySpooler.h"
#include "printing/RAWPrinter.h"

#include "common/CodePage.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Op = MemorySpooler::Operation;
using State = MemorySpooler::Job::State;

QByteArray bytes(const char *s, qsizetype n) { return QByteArray(s, n); }

class RawPrinterTest : public ::testing::Test {
protected:
    MemorySpooler spooler{{QStringLiteral("Kviitung"), QStringLiteral("Teine")}, QStringLiteral("Kviitung")};
    RAWPrinter printer{spooler};

    const MemorySpooler::Job &onlyJob()
    {
        EXPECT_EQ(spooler.jobs().size(), 1);
        return spooler.jobs().front();
    }
};

TEST_F(RawPrinterTest, NewInstanceUsesDefaultPrinterAndFixedDocumentName)
{
    EXPECT_EQ(printer.DeviceName(), QStringLiteral("Kviitung"));
    EXPECT_EQ(printer.DocumentName(), QStringLiteral("Moldar - RAWPrinter"));
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(printer.Err(), 0);
    EXPECT_EQ(printer.Error(), QString());
    EXPECT_EQ(printer.hPrinter(), 0u);
    EXPECT_EQ(printer.hJob(), 0);
}

struct ErrorTextRow {
    qint16 err;
    const char *text;
};

class RawPrinterErrorText : public ::testing::TestWithParam<ErrorTextRow> {};

TEST_P(RawPrinterErrorText, CodeGivesItsFixedText)
{
    EXPECT_EQ(RAWPrinter::errorText(GetParam().err), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(AllCodes, RawPrinterErrorText, ::testing::Values(
    ErrorTextRow{0, ""},
    ErrorTextRow{2000, " Can't Open the printer device."},
    ErrorTextRow{2001, "Can't Start the print job."},
    ErrorTextRow{2002, "Can't start printing a page."},
    ErrorTextRow{2003, "Some bytes were not successfully sent to the printer."},
    ErrorTextRow{2004, "Could not cancel the print job."},
    ErrorTextRow{2005, "Can't change document name."},
    ErrorTextRow{2006, "Failed write to printer."},
    ErrorTextRow{2007, "Could not read from file."},
    ErrorTextRow{2008, "Call to end page failed."},
    ErrorTextRow{2009, "Call to close doc failed."},
    ErrorTextRow{2010, "Can't change device while printing."},
    ErrorTextRow{2011, "Can't create a device context."},
    ErrorTextRow{1999, "Unknown error."},
    ErrorTextRow{2012, "Unknown error."},
    ErrorTextRow{-1, "Unknown error."}));

TEST_F(RawPrinterTest, PrintTextSendsBytesUnchangedWithNothingAdded)
{
    const QByteArray data = bytes("\x1b@line\r\n\x00\xff\x93", 11);
    ASSERT_TRUE(printer.PrintText(QByteArrayView(data)));
    EXPECT_TRUE(printer.JobStarted());
    EXPECT_NE(printer.hPrinter(), 0u);
    ASSERT_TRUE(printer.EndDoc());
    const auto &job = onlyJob();
    EXPECT_EQ(job.data, data);
    EXPECT_EQ(job.destination, QStringLiteral("Kviitung"));
    EXPECT_EQ(job.documentName, QStringLiteral("Moldar - RAWPrinter"));
    EXPECT_EQ(job.state, State::Ended);
    EXPECT_EQ(job.pagesStarted, 1);
    EXPECT_EQ(job.pagesEnded, 1);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(printer.hPrinter(), 0u);
    EXPECT_EQ(spooler.openHandles(), 0);
}

TEST_F(RawPrinterTest, TextsOfOneJobAreConcatenatedInOneJob)
{
    ASSERT_TRUE(printer.PrintText(QByteArrayView("ab")));
    ASSERT_TRUE(printer.PrintText(QByteArrayView("cd")));
    ASSERT_TRUE(printer.EndDoc());
    EXPECT_EQ(onlyJob().data, QByteArray("abcd"));
}

TEST_F(RawPrinterTest, EmptyTextOpensJobAndEndDocSucceeds)
{
    ASSERT_TRUE(printer.PrintText(QByteArrayView("")));
    EXPECT_TRUE(printer.JobStarted());
    EXPECT_TRUE(printer.EndDoc());
    EXPECT_EQ(printer.Err(), 0);
    EXPECT_TRUE(onlyJob().data.isEmpty());
    EXPECT_EQ(onlyJob().state, State::Ended);
}

TEST_F(RawPrinterTest, TextIsSentInConsoleCodePageWithUnmappableAsQuestionMark)
{
    const QString text = QStringLiteral("Õun 中");
    ASSERT_TRUE(printer.PrintText(QStringView(text)));
    EXPECT_TRUE(printer.EndDoc());   // bytes requested are counted as sent
    EXPECT_EQ(printer.Err(), 0);
    EXPECT_EQ(onlyJob().data, CodePage::console().encode(u"Õun ") + '?');
}

TEST_F(RawPrinterTest, UnknownPrinterGives2000AndOpensNothing)
{
    printer.DeviceName(QStringLiteral("Puudub"));
    EXPECT_FALSE(printer.PrintText(QByteArrayView("x")));
    EXPECT_EQ(printer.Err(), 2000);
    EXPECT_EQ(printer.Error(), QStringLiteral(" Can't Open the printer device."));
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_TRUE(spooler.jobs().isEmpty());
    EXPECT_EQ(spooler.openHandles(), 0);
}

TEST_F(RawPrinterTest, StartJobFailureGives2001AndClosesPrinter)
{
    spooler.failNext(Op::StartJob);
    EXPECT_FALSE(printer.NewDoc());
    EXPECT_EQ(printer.Err(), 2001);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(spooler.openHandles(), 0);
    EXPECT_EQ(printer.hPrinter(), 0u);
}

TEST_F(RawPrinterTest, StartPageFailureGives2002AndEndsDocument)
{
    spooler.failNext(Op::StartPage);
    EXPECT_FALSE(printer.NewDoc(QStringLiteral("Kviitung 12")));
    EXPECT_EQ(printer.Err(), 2002);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(spooler.openHandles(), 0);
    EXPECT_EQ(spooler.calls(Op::EndJob), 1);
    EXPECT_EQ(onlyJob().state, State::Ended);
}

TEST_F(RawPrinterTest, FewerBytesTakenMakeEndDocFail2003WithJobClosed)
{
    spooler.setWriteShortfall(1);
    ASSERT_TRUE(printer.PrintText(QByteArrayView("abc")));
    EXPECT_EQ(printer.Err(), 0);
    EXPECT_FALSE(printer.EndDoc());
    EXPECT_EQ(printer.Err(), 2003);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(spooler.openHandles(), 0);
    EXPECT_EQ(onlyJob().state, State::Ended);
    EXPECT_EQ(onlyJob().data, QByteArray("ab"));
}

TEST_F(RawPrinterTest, KillDocCancelsStartedJobAndClosesIt)
{
    ASSERT_TRUE(printer.PrintText(QByteArrayView("abc")));
    EXPECT_TRUE(printer.KillDoc());
    EXPECT_EQ(printer.Err(), 0);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(onlyJob().state, State::Cancelled);
    EXPECT_EQ(spooler.openHandles(), 0);
}

TEST_F(RawPrinterTest, KillDocOnIdleInstanceGives2004)
{
    EXPECT_FALSE(printer.KillDoc());
    EXPECT_EQ(printer.Err(), 2004);
    EXPECT_EQ(spooler.calls(Op::CancelJob), 0);
}

TEST_F(RawPrinterTest, RefusedCancelGives2004AndStillClosesJob)
{
    ASSERT_TRUE(printer.NewDoc());
    spooler.failNext(Op::CancelJob);
    EXPECT_FALSE(printer.KillDoc());
    EXPECT_EQ(printer.Err(), 2004);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(spooler.openHandles(), 0);
}

TEST_F(RawPrinterTest, DocumentNameDuringJobRenamesTheJob)
{
    ASSERT_TRUE(printer.NewDoc(QStringLiteral("Esimene")));
    printer.DocumentName(QStringLiteral("Teine nimi"));
    EXPECT_EQ(printer.Err(), 0);
    EXPECT_EQ(printer.DocumentName(), QStringLiteral("Teine nimi"));
    EXPECT_EQ(onlyJob().documentName, QStringLiteral("Teine nimi"));
}

TEST_F(RawPrinterTest, RefusedRenameGives2005AndKeepsOldName)
{
    ASSERT_TRUE(printer.NewDoc(QStringLiteral("Esimene")));
    spooler.failNext(Op::SetJobName);
    printer.DocumentName(QStringLiteral("Teine nimi"));
    EXPECT_EQ(printer.Err(), 2005);
    EXPECT_EQ(printer.DocumentName(), QStringLiteral("Esimene"));
    EXPECT_TRUE(printer.JobStarted());
}

TEST_F(RawPrinterTest, DocumentNameWhileIdleIsOnlyStored)
{
    printer.DocumentName(QStringLiteral("Kviitung"));
    EXPECT_EQ(spooler.calls(Op::SetJobName), 0);
    ASSERT_TRUE(printer.NewDoc());
    EXPECT_EQ(onlyJob().documentName, QStringLiteral("Kviitung"));
}

TEST_F(RawPrinterTest, WriteFailureGives2006AndClosesJob)
{
    ASSERT_TRUE(printer.NewDoc());
    spooler.failNext(Op::Write);
    EXPECT_FALSE(printer.PrintText(QByteArrayView("abc")));
    EXPECT_EQ(printer.Err(), 2006);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(spooler.calls(Op::EndPage), 1);
    EXPECT_EQ(spooler.calls(Op::EndJob), 1);
    EXPECT_EQ(spooler.openHandles(), 0);
}

TEST_F(RawPrinterTest, MissingFileGives2007AndClosesJob)
{
    QTemporaryDir dir(QString::fromLocal8Bit(qgetenv("TELLAR_TEST_TMPDIR")) + QStringLiteral("/raw-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    EXPECT_FALSE(printer.PrintFile(dir.filePath(QStringLiteral("puudub.bin"))));
    EXPECT_EQ(printer.Err(), 2007);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(spooler.openHandles(), 0);
    EXPECT_EQ(onlyJob().state, State::Ended);
}

TEST_F(RawPrinterTest, FileIsSentWholeIn8192ByteChunksAndJobStaysOpen)
{
    QTemporaryDir dir(QString::fromLocal8Bit(qgetenv("TELLAR_TEST_TMPDIR")) + QStringLiteral("/raw-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    QByteArray contents;
    for (int i = 0; i < 20000; ++i)
        contents.append(char(i * 7));
    QFile file(dir.filePath(QStringLiteral("data.bin")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(contents), contents.size());
    file.close();

    ASSERT_TRUE(printer.PrintFile(file.fileName()));
    EXPECT_TRUE(printer.JobStarted());
    EXPECT_EQ(spooler.calls(Op::Write), 3);   // 8192 + 8192 + 3616
    ASSERT_TRUE(printer.PrintText(QByteArrayView("end")));
    ASSERT_TRUE(printer.EndDoc());
    EXPECT_EQ(onlyJob().data, contents + "end");
}

TEST_F(RawPrinterTest, EmptyFileSucceedsAndLeavesJobOpen)
{
    QTemporaryDir dir(QString::fromLocal8Bit(qgetenv("TELLAR_TEST_TMPDIR")) + QStringLiteral("/raw-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("empty.bin")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(printer.PrintFile(file.fileName()));
    EXPECT_TRUE(printer.JobStarted());
    EXPECT_EQ(spooler.calls(Op::Write), 0);
    EXPECT_TRUE(printer.EndDoc());
}

TEST_F(RawPrinterTest, FileWriteFailureGives2006)
{
    QTemporaryDir dir(QString::fromLocal8Bit(qgetenv("TELLAR_TEST_TMPDIR")) + QStringLiteral("/raw-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("data.bin")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(10000, 'x'));
    file.close();
    spooler.failNext(Op::Write);
    EXPECT_FALSE(printer.PrintFile(file.fileName()));
    EXPECT_EQ(printer.Err(), 2006);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(spooler.openHandles(), 0);
}

TEST_F(RawPrinterTest, EndPageFailureInEndDocGives2008)
{
    ASSERT_TRUE(printer.NewDoc());
    spooler.failNext(Op::EndPage);
    EXPECT_FALSE(printer.EndDoc());
    EXPECT_EQ(printer.Err(), 2008);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(spooler.openHandles(), 0);
}

TEST_F(RawPrinterTest, EndPageFailureInNewPageGives2008)
{
    ASSERT_TRUE(printer.NewDoc());
    spooler.failNext(Op::EndPage);
    EXPECT_FALSE(printer.NewPage());
    EXPECT_EQ(printer.Err(), 2008);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(spooler.openHandles(), 0);
}

TEST_F(RawPrinterTest, StartPageFailureInNewPageGives2002)
{
    ASSERT_TRUE(printer.NewDoc());
    spooler.failNext(Op::StartPage);
    EXPECT_FALSE(printer.NewPage());
    EXPECT_EQ(printer.Err(), 2002);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(spooler.openHandles(), 0);
}

TEST_F(RawPrinterTest, NewPageStartsJobWhenIdleAndAnotherPageWithJob)
{
    ASSERT_TRUE(printer.NewPage());
    EXPECT_TRUE(printer.JobStarted());
    ASSERT_TRUE(printer.NewPage());
    ASSERT_TRUE(printer.EndDoc());
    EXPECT_EQ(onlyJob().pagesStarted, 2);
    EXPECT_EQ(onlyJob().pagesEnded, 2);
}

TEST_F(RawPrinterTest, EndJobFailureGives2009AndClosesPrinter)
{
    ASSERT_TRUE(printer.NewDoc());
    spooler.failNext(Op::EndJob);
    EXPECT_FALSE(printer.EndDoc());
    EXPECT_EQ(printer.Err(), 2009);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(spooler.openHandles(), 0);
}

TEST_F(RawPrinterTest, DeviceChangeDuringJobGives2010AndJobKeepsOldPrinter)
{
    ASSERT_TRUE(printer.PrintText(QByteArrayView("a")));
    printer.DeviceName(QStringLiteral("Teine"));
    EXPECT_EQ(printer.Err(), 2010);
    EXPECT_EQ(printer.DeviceName(), QStringLiteral("Kviitung"));
    ASSERT_TRUE(printer.PrintText(QByteArrayView("b")));
    ASSERT_TRUE(printer.EndDoc());
    EXPECT_EQ(onlyJob().destination, QStringLiteral("Kviitung"));
    EXPECT_EQ(onlyJob().data, QByteArray("ab"));
}

TEST_F(RawPrinterTest, DeviceChangeWhileIdleKeepsPreviousErr)
{
    EXPECT_FALSE(printer.KillDoc());
    printer.DeviceName(QStringLiteral("Teine"));
    EXPECT_EQ(printer.DeviceName(), QStringLiteral("Teine"));
    EXPECT_EQ(printer.Err(), 2004);
}

TEST_F(RawPrinterTest, EndDocOnIdleInstanceSucceedsAndKeepsErr)
{
    printer.DeviceName(QStringLiteral("Puudub"));
    ASSERT_FALSE(printer.NewDoc());
    ASSERT_EQ(printer.Err(), 2000);
    EXPECT_TRUE(printer.EndDoc());
    EXPECT_EQ(printer.Err(), 2000);
}

TEST_F(RawPrinterTest, SuccessAfterFailureClearsErr)
{
    printer.DeviceName(QStringLiteral("Puudub"));
    ASSERT_FALSE(printer.PrintText(QByteArrayView("x")));
    printer.DeviceName(QStringLiteral("Kviitung"));
    ASSERT_TRUE(printer.PrintText(QByteArrayView("x")));
    EXPECT_EQ(printer.Err(), 0);
}

TEST_F(RawPrinterTest, NewDocWithStartedJobEndsItFirst)
{
    ASSERT_TRUE(printer.PrintText(QByteArrayView("one")));
    ASSERT_TRUE(printer.NewDoc(QStringLiteral("Teine töö")));
    ASSERT_TRUE(printer.PrintText(QByteArrayView("two")));
    ASSERT_TRUE(printer.EndDoc());
    ASSERT_EQ(spooler.jobs().size(), 2);
    EXPECT_EQ(spooler.jobs()[0].data, QByteArray("one"));
    EXPECT_EQ(spooler.jobs()[0].state, State::Ended);
    EXPECT_EQ(spooler.jobs()[1].documentName, QStringLiteral("Teine töö"));
    EXPECT_EQ(spooler.jobs()[1].data, QByteArray("two"));
}

TEST_F(RawPrinterTest, NewDocFailsWhenEndingPreviousJobFailsAndKeepsItsErr)
{
    ASSERT_TRUE(printer.NewDoc());
    spooler.failNext(Op::EndJob);
    EXPECT_FALSE(printer.NewDoc());
    EXPECT_EQ(printer.Err(), 2009);
    EXPECT_EQ(spooler.jobs().size(), 1);
    EXPECT_FALSE(printer.JobStarted());
}

TEST_F(RawPrinterTest, OutputFileIsHandedToSpooler)
{
    ASSERT_TRUE(printer.NewDoc(QString(), QStringLiteral("/tmp/out.prn")));
    EXPECT_EQ(onlyJob().outputFile, QStringLiteral("/tmp/out.prn"));
    EXPECT_EQ(onlyJob().documentName, QStringLiteral("Moldar - RAWPrinter"));
}

TEST_F(RawPrinterTest, DestroyingPrinterWithStartedJobEndsIt)
{
    {
        RAWPrinter local(spooler);
        ASSERT_TRUE(local.PrintText(QByteArrayView("x")));
    }
    EXPECT_EQ(onlyJob().state, State::Ended);
    EXPECT_EQ(spooler.openHandles(), 0);
}

struct PriorityRow {
    int written;
    int sent;
};

class RawPrinterPriority : public ::testing::TestWithParam<PriorityRow> {};

TEST_P(RawPrinterPriority, WrittenPriorityIsClampedTo1To99)
{
    MemorySpooler spooler{{QStringLiteral("Kviitung")}, QStringLiteral("Kviitung")};
    RAWPrinter printer(spooler);
    ASSERT_TRUE(printer.NewDoc());
    printer.Priority(GetParam().written);
    EXPECT_EQ(spooler.jobs().front().priority, GetParam().sent);
    EXPECT_EQ(printer.Priority(), GetParam().sent);
    EXPECT_EQ(printer.Err(), 0);
}

INSTANTIATE_TEST_SUITE_P(Clamp, RawPrinterPriority, ::testing::Values(
    PriorityRow{0, 1}, PriorityRow{-7, 1}, PriorityRow{1, 1}, PriorityRow{50, 50},
    PriorityRow{99, 99}, PriorityRow{100, 99}, PriorityRow{150, 99}));

TEST_F(RawPrinterTest, RefusedPriorityIsNotReportedInErr)
{
    ASSERT_TRUE(printer.NewDoc());
    spooler.failNext(Op::SetJobPriority);
    printer.Priority(5);
    EXPECT_EQ(printer.Err(), 0);
    EXPECT_EQ(onlyJob().priority, Spooler::MinPriority);
}

} // namespace
