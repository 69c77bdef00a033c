// Receipt printing logic against the in-memory spooler and a recording
// platform printer.
#include "ReceiptTestSupport.h"

#include "printing/MemorySpooler.h"
#include "printing/ReceiptPrinter.h"

#include "common/CodePage.h"

#include <gtest/gtest.h>

namespace {

using Op = MemorySpooler::Operation;

QByteArray cp(const char16_t *text)
{
    return CodePage::console().encode(QStringView(text));
}

class ReceiptPrinterTest : public ::testing::Test {
protected:
    MemorySpooler spooler{{QStringLiteral("PDF"), QStringLiteral("Kviitung"), QStringLiteral("Kviitung")},
                          QStringLiteral("PDF")};
    RecordingPlatformPrinter platform;
    std::vector<OpenedBox> boxes;
    ReceiptPrinter receipts{spooler, platform,
                            [this](int kind, const QString &text, int style) { boxes.push_back({kind, text, style}); }};
};

struct TranslationRow {
    const char *name;
    const char16_t *line;
    QByteArray expected;
};

class ReceiptPrinterBytes : public ::testing::TestWithParam<TranslationRow> {};

TEST_P(ReceiptPrinterBytes, EstonianLettersGoToCodePage437OthersUnchanged)
{
    EXPECT_EQ(ReceiptPrinter::toReceiptPrinterBytes(cp(GetParam().line)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Letters, ReceiptPrinterBytes,
    ::testing::Values(
        TranslationRow{"Oun", u"Õun", QByteArray("\x93\x75\x6E")},
        TranslationRow{"UpperA", u"Ä", QByteArray("\x8E")},
        TranslationRow{"LowerA", u"ä", QByteArray("\x84")},
        TranslationRow{"UpperO", u"Ö", QByteArray("\x99")},
        TranslationRow{"LowerO", u"ö", QByteArray("\x94")},
        TranslationRow{"UpperU", u"Ü", QByteArray("\x9A")},
        TranslationRow{"LowerU", u"ü", QByteArray("\x81")},
        TranslationRow{"UpperTildeO", u"Õ", QByteArray("\x93")},
        TranslationRow{"LowerTildeO", u"õ", QByteArray("\x93")},
        TranslationRow{"QuestionMarkStays", u"a?b", QByteArray("a?b")},
        TranslationRow{"ControlBytesStay", u"\x1b@\r\n\f", QByteArray("\x1b@\r\n\f")},
        // A letter outside the table keeps its byte of the console's code page.
        TranslationRow{"OtherLetterKeepsCodePageByte", u"Šš", cp(u"Šš")},
        TranslationRow{"Sentence", u"Äädikas ja Öö", QByteArray("\x8E\x84" "dikas ja \x99\x94")}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ReceiptPrinterTest, RawReceiptIsOneJobOfTranslatedLinesWithoutTerminators)
{
    const QByteArray frame = receiptFrame({{1, cp(u"Õun")}, {2, cp(u" Ää\r\n")}, {3, QByteArray("Summa 1.00")}});
    ASSERT_TRUE(receipts.PrintReceipt(frame, 1234, QStringLiteral("Kviitung"), true));
    ASSERT_EQ(spooler.jobs().size(), 1);
    EXPECT_EQ(spooler.jobs()[0].data, QByteArray("\x93un \x8E\x84\r\nSumma 1.00"));
    EXPECT_EQ(spooler.jobs()[0].destination, QStringLiteral("Kviitung"));
    EXPECT_EQ(spooler.jobs()[0].state, MemorySpooler::Job::State::Ended);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(platform.calls, QStringList{QStringLiteral("printer:Kviitung")});   // selected, nothing drawn
}

TEST_F(ReceiptPrinterTest, FieldsAfterAGapAreNotPrinted)
{
    // Fields 1, 2 and 4: three fields, so lines 1 … 3; 3 is absent, 4 beyond.
    const QByteArray frame = receiptFrame({{1, "one "}, {2, "two "}, {4, "four"}});
    ASSERT_TRUE(receipts.PrintReceipt(frame, 1, QStringLiteral("Kviitung"), true));
    ASSERT_EQ(spooler.jobs().size(), 1);
    EXPECT_EQ(spooler.jobs()[0].data, QByteArray("one two "));
}

TEST_F(ReceiptPrinterTest, AllEmptyLinesOpenNoJob)
{
    const QByteArray frame = receiptFrame({{1, ""}, {2, ""}});
    EXPECT_TRUE(receipts.PrintReceipt(frame, 1, QStringLiteral("Kviitung"), true));
    EXPECT_TRUE(spooler.jobs().isEmpty());
    EXPECT_EQ(spooler.calls(Op::Open), 0);
    ASSERT_NE(receipts.RawPrinter(), nullptr);
    EXPECT_EQ(receipts.RawPrinter()->Err(), 0);
}

TEST_F(ReceiptPrinterTest, EmptyLinesInsideReceiptAreSkipped)
{
    const QByteArray frame = receiptFrame({{1, "a"}, {2, ""}, {3, "b"}});
    ASSERT_TRUE(receipts.PrintReceipt(frame, 1, QStringLiteral("Kviitung"), true));
    ASSERT_EQ(spooler.jobs().size(), 1);
    EXPECT_EQ(spooler.jobs()[0].data, QByteArray("ab"));
}

TEST_F(ReceiptPrinterTest, EachReceiptIsItsOwnJobThroughOneRawPrinter)
{
    ASSERT_TRUE(receipts.PrintReceipt(receiptFrame({{1, "first"}}), 1, QStringLiteral("Kviitung"), true));
    RAWPrinter *raw = receipts.RawPrinter();
    ASSERT_TRUE(receipts.PrintReceipt(receiptFrame({{1, "second"}}), 2, QStringLiteral("Kviitung"), true));
    EXPECT_EQ(receipts.RawPrinter(), raw);
    ASSERT_EQ(spooler.jobs().size(), 2);
    EXPECT_EQ(spooler.jobs()[0].data, QByteArray("first"));
    EXPECT_EQ(spooler.jobs()[1].data, QByteArray("second"));
}

TEST_F(ReceiptPrinterTest, PrinterNameDifferingInLetterCaseIsNotFound)
{
    EXPECT_FALSE(receipts.PrintReceipt(receiptFrame({{1, "x"}}), 4711, QStringLiteral("kviitung"), true));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, 0);
    EXPECT_EQ(boxes[0].style, 16);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Viga kviitungite trükkimisel. (Kviitungi number=4711)"));
    EXPECT_TRUE(spooler.jobs().isEmpty());
    EXPECT_TRUE(platform.calls.isEmpty());
}

TEST_F(ReceiptPrinterTest, NegativeReceiptNumberIsShownInDecimal)
{
    EXPECT_FALSE(receipts.PrintReceipt(receiptFrame({{1, "x"}}), -5, QStringLiteral("Puudub"), false));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Viga kviitungite trükkimisel. (Kviitungi number=-5)"));
}

// The frame with a check byte that is neither its XOR nor the "unchecked" ','.
QByteArray withWrongCheckByte(QByteArray frame)
{
    char wrong = char(frame.back() ^ 0x01);
    if (wrong == ',')
        wrong = char(wrong ^ 0x03);
    frame.back() = wrong;
    return frame;
}

struct BadFrameRow {
    const char *name;
    QByteArray payload;
};

class ReceiptPrinterBadFrame : public ReceiptPrinterTest, public ::testing::WithParamInterface<BadFrameRow> {};

TEST_P(ReceiptPrinterBadFrame, UndecodableReceiptShowsErrorAndPrintsNothing)
{
    EXPECT_FALSE(receipts.PrintReceipt(GetParam().payload, 77, QStringLiteral("Kviitung"), true));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Viga kviitungite trükkimisel. (Kviitungi number=77)"));
    EXPECT_TRUE(spooler.jobs().isEmpty());
    EXPECT_EQ(receipts.RawPrinter(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, ReceiptPrinterBadFrame,
    ::testing::Values(BadFrameRow{"NoStartByte", QByteArray("plain text")},
                      BadFrameRow{"Truncated", receiptFrame({{1, "line"}}).chopped(3)},
                      BadFrameRow{"BadCheckByte", withWrongCheckByte(receiptFrame({{1, "line"}}))}),
    [](const auto &info) { return std::string(info.param.name); });

const QString kReceiptError = QStringLiteral("Viga kviitungite trükkimisel. (Kviitungi number=");

// Silent before, and every later line tried the printer again.
TEST_F(ReceiptPrinterTest, ListedPrinterThatCannotBeOpenedShowsTheErrorOnceAndStops)
{
    spooler.failAlways(Op::Open);
    const QByteArray frame = receiptFrame({{1, "a"}, {2, ""}, {3, "b"}, {4, "c"}});
    EXPECT_FALSE(receipts.PrintReceipt(frame, 9, QStringLiteral("Kviitung"), true));
    EXPECT_EQ(spooler.calls(Op::Open), 1);
    ASSERT_NE(receipts.RawPrinter(), nullptr);
    EXPECT_EQ(receipts.RawPrinter()->Err(), 2000);
    EXPECT_TRUE(spooler.jobs().isEmpty());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, 0);
    EXPECT_EQ(boxes[0].style, 16);
    EXPECT_EQ(boxes[0].text, kReceiptError + QStringLiteral("9)\n Can't Open the printer device."));
}

// A printer unplugged after the first line: the rest went out as a second
// job, a receipt without its head, and nobody was told.
TEST_F(ReceiptPrinterTest, WriteThatFailsMidReceiptEndsItWithoutASecondJob)
{
    spooler.failAfter(Op::Write, 1);
    const QByteArray frame = receiptFrame({{1, "head "}, {2, "amount "}, {3, "tail"}});
    EXPECT_FALSE(receipts.PrintReceipt(frame, 77, QStringLiteral("Kviitung"), true));
    EXPECT_EQ(spooler.calls(Op::Write), 2);
    ASSERT_EQ(spooler.jobs().size(), 1) << "the rest of the receipt became a job of its own";
    EXPECT_EQ(spooler.jobs()[0].data, QByteArray("head "));
    EXPECT_EQ(spooler.calls(Op::StartJob), 1);
    EXPECT_EQ(spooler.openHandles(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kReceiptError + QStringLiteral("77)\nFailed write to printer."));
}

TEST_F(ReceiptPrinterTest, QueueRefusingTheJobShowsTheError)
{
    spooler.failAlways(Op::StartJob);
    EXPECT_FALSE(receipts.PrintReceipt(receiptFrame({{1, "a"}, {2, "b"}}), 5, QStringLiteral("Kviitung"), true));
    EXPECT_EQ(spooler.calls(Op::StartJob), 1);
    EXPECT_EQ(spooler.openHandles(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kReceiptError + QStringLiteral("5)\nCan't Start the print job."));
}

TEST_F(ReceiptPrinterTest, PrinterTakingFewerBytesShowsTheErrorAtTheEnd)
{
    spooler.setWriteShortfall(1);
    EXPECT_FALSE(receipts.PrintReceipt(receiptFrame({{1, "ab"}, {2, "cd"}}), 6, QStringLiteral("Kviitung"), true));
    ASSERT_EQ(spooler.jobs().size(), 1);
    EXPECT_EQ(spooler.jobs()[0].data, QByteArray("ac"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              kReceiptError + QStringLiteral("6)\nSome bytes were not successfully sent to the printer."));
}

TEST_F(ReceiptPrinterTest, EachFailedReceiptIsToldOnceWithItsOwnNumber)
{
    spooler.failAlways(Op::Open);
    receipts.PrintReceipt(receiptFrame({{1, "a"}, {2, "b"}}), 101, QStringLiteral("Kviitung"), true);
    receipts.PrintReceipt(receiptFrame({{1, "c"}, {2, "d"}}), 102, QStringLiteral("Kviitung"), true);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[0].text.startsWith(kReceiptError + QStringLiteral("101)\n")));
    EXPECT_TRUE(boxes[1].text.startsWith(kReceiptError + QStringLiteral("102)\n")));

    // Once the printer is back, the next receipt prints and says nothing.
    spooler.failAlways(Op::Open, false);
    EXPECT_TRUE(receipts.PrintReceipt(receiptFrame({{1, "e"}}), 103, QStringLiteral("Kviitung"), true));
    EXPECT_EQ(boxes.size(), 2u);
    ASSERT_EQ(spooler.jobs().size(), 1);
    EXPECT_EQ(spooler.jobs()[0].data, QByteArray("e"));
}

TEST_F(ReceiptPrinterTest, PlatformPathWithAPrinterTheSpoolerCannotOpenPrintsNothingAndTells)
{
    spooler.failAlways(Op::Open);
    EXPECT_FALSE(receipts.PrintReceipt(receiptFrame({{1, "a"}, {2, "b"}}), 8, QStringLiteral("Kviitung"), false));
    EXPECT_EQ(platform.calls, (QStringList{QStringLiteral("printer:Kviitung"), QStringLiteral("font:Courier New")}));
    EXPECT_EQ(spooler.calls(Op::Open), 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kReceiptError + QStringLiteral("8)\n Can't Open the printer device."));
}

TEST_F(ReceiptPrinterTest, PlatformPathChecksThePrinterOnceAndKeepsNoHandle)
{
    ASSERT_TRUE(receipts.PrintReceipt(receiptFrame({{1, "a"}, {2, "b"}, {3, "c"}}), 1, QStringLiteral("Kviitung"),
                                      false));
    EXPECT_EQ(spooler.calls(Op::Open), 1);
    EXPECT_EQ(spooler.calls(Op::Close), 1);
    EXPECT_EQ(spooler.openHandles(), 0);
    EXPECT_TRUE(spooler.jobs().isEmpty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ReceiptPrinterTest, PlatformPrinterFailureEndsTheReceiptWithItsReason)
{
    platform.failLine = 2;
    EXPECT_FALSE(receipts.PrintReceipt(receiptFrame({{1, "a"}, {2, "b"}, {3, "c"}}), 12, QStringLiteral("Kviitung"),
                                       false));
    EXPECT_EQ(platform.calls, (QStringList{QStringLiteral("printer:Kviitung"), QStringLiteral("font:Courier New"),
                                           QStringLiteral("line:a"), QStringLiteral("line:b"), QStringLiteral("end")}));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kReceiptError + QStringLiteral("12)\nPrinter out of paper."));
}

TEST_F(ReceiptPrinterTest, PlatformPrinterFailingAtTheEndIsTold)
{
    platform.failEnd = true;
    EXPECT_FALSE(receipts.PrintReceipt(receiptFrame({{1, "a"}}), 13, QStringLiteral("Kviitung"), false));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kReceiptError + QStringLiteral("13)\nPrinter out of paper."));
}

TEST_F(ReceiptPrinterTest, PlatformPathPrintsEachLineInCourierNewAndEndsDocument)
{
    const QByteArray frame = receiptFrame({{1, cp(u"Õun")}, {2, ""}, {3, cp(u"Äädikas ja Öö")}});
    ASSERT_TRUE(receipts.PrintReceipt(frame, 1, QStringLiteral("Kviitung"), false));
    EXPECT_EQ(platform.calls, (QStringList{QStringLiteral("printer:Kviitung"), QStringLiteral("font:Courier New"),
                                           QStringLiteral("line:Õun"), QStringLiteral("line:Äädikas ja Öö"),
                                           QStringLiteral("end")}));
    EXPECT_TRUE(spooler.jobs().isEmpty());
    EXPECT_EQ(receipts.RawPrinter(), nullptr);
}

TEST_F(ReceiptPrinterTest, ReceiptWithoutFieldsEndsNoDocument)
{
    ASSERT_TRUE(receipts.PrintReceipt(receiptFrame({}), 1, QStringLiteral("Kviitung"), false));
    EXPECT_EQ(platform.calls, (QStringList{QStringLiteral("printer:Kviitung"), QStringLiteral("font:Courier New")}));
}

// A copy of a receipt frame without lines began a raw job with its copy
// mark and never ended it: the printer held the job open, and the next
// receipt went into it.
TEST_F(ReceiptPrinterTest, CopyOfAReceiptWithoutLinesEndsItsJob)
{
    ASSERT_TRUE(receipts.PrintReceipt(receiptFrame({}), 7, QStringLiteral("Kviitung"), true, "*** KOOPIA ***"));
    ASSERT_EQ(spooler.jobs().size(), 1);
    EXPECT_EQ(spooler.jobs()[0].state, MemorySpooler::Job::State::Ended);
    EXPECT_EQ(spooler.jobs()[0].data, QByteArray("*** KOOPIA ***\r\n"));
}

struct FindRow {
    const char *name;
    const char *printer;
    qint16 index;
};

class ReceiptPrinterFind : public ReceiptPrinterTest, public ::testing::WithParamInterface<FindRow> {};

TEST_P(ReceiptPrinterFind, FirstExactMatchOrMinusOne)
{
    EXPECT_EQ(receipts.FindPrinterIndex(QString::fromUtf8(GetParam().printer)), GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(Names, ReceiptPrinterFind,
                         ::testing::Values(FindRow{"First", "PDF", 0}, FindRow{"FirstOfDuplicates", "Kviitung", 1},
                                           FindRow{"LowerCase", "kviitung", -1}, FindRow{"UpperCase", "KVIITUNG", -1},
                                           FindRow{"TrailingBlank", "Kviitung ", -1}, FindRow{"Empty", "", -1}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
