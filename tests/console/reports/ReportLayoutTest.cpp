// Layout of the report document, checked on the items drawn (text, place,
// font, size, colour; lines with their style). Every document laid out here
// is also written and must pass qpdf --check.
#include "ReportTestSupport.h"

#include "common/Clock.h"
#include "common/CodePage.h"
#include "reports/EventPacer.h"
#include "reports/ReportDecoder.h"
#include "reports/ReportDocument.h"

#include <gtest/gtest.h>

using namespace reporttest;
namespace C = ReportColumn;

namespace {

constexpr qint32 kGrey = 0x707070;
constexpr qint32 kTitleColour = 255;

float widthOf(const QString &text, float size, bool bold)
{
    PapyrCanvas measure;
    measure.ScaleMode(6);
    measure.FontName(QStringLiteral("Arial"));
    measure.FontSize(size);
    measure.FontBold(bold);
    return measure.TextWidth(text);
}

void expectText(const DrawnText &t, int page, float x, float y, float size, bool bold, bool italic,
                qint32 colour = 0)
{
    SCOPED_TRACE("text \"" + t.text.toStdString() + "\"");
    EXPECT_EQ(t.page, page);
    EXPECT_FLOAT_EQ(t.x, x);
    EXPECT_FLOAT_EQ(t.y, y);
    EXPECT_EQ(t.font, QStringLiteral("Arial"));
    EXPECT_FLOAT_EQ(t.size, size);
    EXPECT_EQ(t.bold, bold);
    EXPECT_EQ(t.italic, italic);
    EXPECT_EQ(t.colour, colour);
}

// A text that ends at `right` (right-aligned amounts).
void expectEndsAt(const DrawnText &t, float right, float y, bool bold)
{
    SCOPED_TRACE("text \"" + t.text.toStdString() + "\"");
    EXPECT_NEAR(t.x + widthOf(t.text, 9, bold), right, 1e-4);
    EXPECT_FLOAT_EQ(t.y, y);
    EXPECT_EQ(t.bold, bold);
}

// The amount drawn on the same line right of a label.
DrawnText amountBeside(const RecordingCanvas &canvas, const DrawnText &label)
{
    for (const DrawnText &t : canvas.onLine(label.page, label.y)) {
        if (t.x > label.x)
            return t;
    }
    ADD_FAILURE() << "no amount beside " << label.text.toStdString();
    return label;
}

class ReportLayout : public ::testing::Test {
protected:
    RecordingCanvas canvas;
    FakeReportHost host;
    ManualClock clock;
    ReportTable table;
    QTemporaryDir dir = makeTempDir();

    void layOut(const std::vector<Record> &records, qint16 group = 0)
    {
        DecodedReport decoded = DecodeReportAnswer(makeAnswer(records), false);
        ASSERT_EQ(decoded.outcome, DecodedReport::Decoded);
        table = std::move(decoded.table);
        EventPacer pacer([this] { host.processEvents(); }, clock, 0);
        LayOutReport(canvas, table, decoded.kept, group, host.periodText, ReportStampText(clock.now()), host,
                     pacer);
    }

    void TearDown() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("Report.pdf"));
        canvas.FileName(path);
        ASSERT_EQ(canvas.EndDoc(), QString());
        const ToolResult check = qpdfCheck(path);
        EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
    }
};

} // namespace

TEST_F(ReportLayout, HeaderTitlePeriodAndCreationTime)
{
    layOut({Record()});
    expectText(canvas.only(QStringLiteral("Maksetehingute aruanne")), 1, 27, 10, 14, true, false, kTitleColour);
    expectText(canvas.only(host.periodText), 1, 27, 20, 9, true, false);
    const QString stamp = QStringLiteral("06.12.2026 15:30:00");
    const DrawnText created = canvas.only(stamp);
    expectText(created, 1, 200 - widthOf(stamp, 8, false), 15, 8, false, true);
}

TEST_F(ReportLayout, FirstGroupTitleStandsAtForty)
{
    layOut({Record()});
    // Ungrouped: one group with an empty title.
    const std::vector<DrawnText> title = canvas.onLine(1, 40);
    ASSERT_EQ(title.size(), 1u);
    EXPECT_EQ(title[0].text, QString());
    expectText(title[0], 1, 27, 40, 9, true, false);
    EXPECT_EQ(canvas.onLine(1, 45).size(), 11u);   // the headings 5 mm lower
}

TEST_F(ReportLayout, HeadingsAndRowColumnsUngrouped)
{
    layOut({Record().withTerminal("KASSA1").withCard("VISA").withAmount(12.5).tip()});
    const std::vector<DrawnText> headings = canvas.onLine(1, 45);
    ASSERT_EQ(headings.size(), 11u);   // columns 1 ... 11, empty ones too
    const float headingX[] = {27, 52, 72, 94, 113, 151, 0, 181, 181, 181, 186};
    const char *headingText[] = {" Terminal", " Kuupaev", "   Kell", "STAN", "     Kaart", "Kood",
                                 "  Summa",   "",         "",        "",     "Saadetud"};
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(headings[i].text, QString::fromLatin1(headingText[i])) << i;
        EXPECT_TRUE(headings[i].italic) << i;
        EXPECT_FALSE(headings[i].bold) << i;
        if (i != 6) {
            EXPECT_FLOAT_EQ(headings[i].x, headingX[i]) << i;
        }
    }
    EXPECT_NEAR(headings[6].x + widthOf(QStringLiteral("  Summa"), 9, false), 179, 1e-4);

    const std::vector<DrawnText> row = canvas.onLine(1, 50);
    ASSERT_EQ(row.size(), 11u);
    const char *rowText[] = {"KASSA1", "06.04.2026", "10:15:00", "1234", "VISA", " 0", "12.50", "", "", "E",
                             "      +"};
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(row[i].text, QString::fromLatin1(rowText[i])) << i;
        EXPECT_FALSE(row[i].italic || row[i].bold) << i;
        EXPECT_FLOAT_EQ(row[i].size, 9) << i;
    }
    expectEndsAt(row[6], 179, 50, false);
    EXPECT_FLOAT_EQ(row[9].x, 181);

    ASSERT_GE(canvas.lines.size(), 1u);
    const DrawnLine dotted = canvas.lines.front();
    EXPECT_EQ(dotted.style, 2);
    EXPECT_FLOAT_EQ(dotted.x1, 27);
    EXPECT_FLOAT_EQ(dotted.x2, 200);
    EXPECT_FLOAT_EQ(dotted.y1, 54);
    EXPECT_FLOAT_EQ(dotted.y2, 54);

    // Row 0 got the headings; the printed row its mark, its flag letter,
    // and its flag texts cleared.
    EXPECT_EQ(table.cell(0, C::kAmount), "  Summa");
    EXPECT_EQ(table.cell(1, C::kDoneMark), "DONE");
    EXPECT_EQ(table.cell(1, C::kCancelFlag), "E");
    EXPECT_TRUE(table.cell(1, C::kTipFlag).isEmpty());
}

TEST_F(ReportLayout, GroupSumsAndGrandSumsOfOneSentRow)
{
    layOut({Record().withAmount(10)});
    ASSERT_EQ(canvas.lines.size(), 4u);
    const DrawnLine groupLine = canvas.lines[1];
    EXPECT_EQ(groupLine.style, 0);
    EXPECT_FLOAT_EQ(groupLine.y1, 55);
    EXPECT_FLOAT_EQ(groupLine.x2, 200);

    const DrawnText sent = canvas.only(QStringLiteral("Saadetud:"));
    expectText(sent, 1, 179 - 40, 56, 9, true, false);
    expectEndsAt(amountBeside(canvas, sent), 179, 56, true);
    EXPECT_TRUE(canvas.find(QStringLiteral("Kokku:")).empty());

    EXPECT_FLOAT_EQ(canvas.lines[2].y1, 66);
    EXPECT_FLOAT_EQ(canvas.lines[3].y1, 67);
    EXPECT_EQ(canvas.lines[3].style, 0);
    const DrawnText grand = canvas.only(QStringLiteral("Saadetud summa:"));
    expectText(grand, 1, 179 - 60, 69, 9, true, false);
    EXPECT_EQ(amountBeside(canvas, grand).text, QStringLiteral("10.00"));
    EXPECT_TRUE(canvas.find(QStringLiteral("Summa kokku:")).empty());
}

TEST_F(ReportLayout, FooterWithLegendAndPageNumber)
{
    layOut({Record()});
    expectText(canvas.only(QStringLiteral("E - Jootraha lisatud, T - Tühistamine, B - Broneering")), 1, 27, 270, 9,
               true, false, kGrey);
    expectText(canvas.only(QStringLiteral("1")), 1, 190, 270, 9, true, false, kGrey);
}

TEST_F(ReportLayout, PageBreaksOnlyAbove260)
{
    // The group title at 40, headings at 45, row k at 45 + 5k: row 43 stands
    // at exactly 260 and stays, row 44 opens page 2 at y = 35.
    std::vector<Record> records;
    for (int i = 1; i <= 44; ++i)
        records.push_back(Record().withTerminal("R" + QByteArray::number(i)));
    layOut(records);
    expectText(canvas.only(QStringLiteral("R43")), 1, 27, 260, 9, false, false);
    expectText(canvas.only(QStringLiteral("R44")), 2, 27, 35, 9, false, false);
    EXPECT_EQ(canvas.newPageCalls, 1);

    // Page 1 closed with its footer, page 2 opened with the header; the
    // headings are not repeated.
    EXPECT_EQ(canvas.only(QStringLiteral("1")).page, 1);
    const std::vector<DrawnText> titles = canvas.find(QStringLiteral("Maksetehingute aruanne"));
    ASSERT_EQ(titles.size(), 2u);
    expectText(titles[1], 2, 27, 10, 14, true, false, kTitleColour);
    EXPECT_EQ(canvas.find(host.periodText).size(), 2u);
    EXPECT_EQ(canvas.find(QStringLiteral(" Terminal")).size(), 1u);
    EXPECT_EQ(canvas.only(QStringLiteral("2")).page, 2);

    // The row on the new page keeps the row font and its dotted line.
    bool found = false;
    for (const DrawnLine &l : canvas.lines) {
        if (l.page == 2 && l.y1 == 39) {
            found = true;
            EXPECT_EQ(l.style, 2);
            EXPECT_EQ(l.colour, 0);
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(ReportLayout, EveryPageHasItsFooterNumber)
{
    std::vector<Record> records(150, Record());
    layOut(records);
    const int pages = canvas.page;
    ASSERT_GE(pages, 3);
    for (int p = 1; p <= pages; ++p) {
        const std::vector<DrawnText> footer = canvas.onLine(p, 270);
        ASSERT_EQ(footer.size(), 2u) << "page " << p;
        EXPECT_EQ(footer[1].text, QString::number(p));
        EXPECT_FLOAT_EQ(footer[1].x, 190);
    }
}

TEST_F(ReportLayout, GroupingByStatusTitlesAndWideAmountColumn)
{
    layOut({Record().withTerminal("A").notSent().withAmount(1), Record().withTerminal("B").withAmount(2),
            Record().withTerminal("C").notSent().withAmount(4)},
           11);
    // Groups in the order of their first rows.
    const DrawnText notSent = canvas.only(QStringLiteral("Saatmata"));
    expectText(notSent, 1, 27, 40, 9, true, false);
    const DrawnText sent = canvas.only(QStringLiteral("Saadetud"));   // title only: no such heading
    EXPECT_GT(sent.y, notSent.y);
    EXPECT_TRUE(sent.bold);
    EXPECT_TRUE(canvas.find(QStringLiteral("      +")).empty());

    // Column 11's 14 mm went to the amount column: 29 mm, ending at 193.
    EXPECT_EQ(ReportColumnWidths(11)[7], 29.0f);
    expectEndsAt(canvas.only(QStringLiteral("1.00")), 193, 50, false);
    for (const DrawnText &h : canvas.find(QStringLiteral("  Summa")))
        EXPECT_NEAR(h.x + widthOf(h.text, 9, false), 193, 1e-4);
    // Rows still end at 200.
    EXPECT_FLOAT_EQ(canvas.lines.front().x2, 200);
    const DrawnText c = canvas.only(QStringLiteral("C"));
    EXPECT_FLOAT_EQ(c.y, 55);   // the second row of the first group

    const DrawnText notSentSum = canvas.only(QStringLiteral("Saatmata:"));
    EXPECT_FLOAT_EQ(notSentSum.x, 193 - 40);
    EXPECT_EQ(amountBeside(canvas, notSentSum).text, QStringLiteral("5.00"));
}

TEST_F(ReportLayout, GroupingByCardWithEmptyCardIsUnknownIssuer)
{
    layOut({Record().withCard("VISA"), Record().withCard(""), Record().withCard("VISA")}, 5);
    expectText(canvas.only(QStringLiteral("VISA")), 1, 27, 40, 9, true, false);
    const DrawnText unknown = canvas.only(QStringLiteral("Tundmatu väljaandja"));
    EXPECT_TRUE(unknown.bold);
    EXPECT_GT(unknown.y, 40);
    // The card column is not printed in the rows.
    EXPECT_EQ(canvas.find(QStringLiteral("     Kaart")).size(), 0u);
}

TEST_F(ReportLayout, GroupingByCodeTitleHasTwoSpaces)
{
    layOut({Record().withCode(5), Record().withCode(0)}, 6);
    expectText(canvas.only(QStringLiteral("Kood:  5")), 1, 27, 40, 9, true, false);
    EXPECT_EQ(canvas.find(QStringLiteral("Kood:  0")).size(), 1u);
    EXPECT_TRUE(canvas.find(QStringLiteral("Kood")).empty());
}

TEST_F(ReportLayout, SentOnlyGroupShowsSentWithoutTotal)
{
    layOut({Record().withTerminal("X").withAmount(3), Record().withTerminal("X").withAmount(4)}, 1);
    const DrawnText sent = canvas.only(QStringLiteral("Saadetud:"));
    EXPECT_EQ(amountBeside(canvas, sent).text, QStringLiteral("7.00"));
    EXPECT_TRUE(canvas.find(QStringLiteral("Kokku:")).empty());
    EXPECT_TRUE(canvas.find(QStringLiteral("Saatmata:")).empty());
}

TEST_F(ReportLayout, ZeroSumGroupShowsOnlyTotal)
{
    layOut({Record().withTerminal("Z").withCode(5).withAmount(8)}, 1);
    EXPECT_EQ(canvas.only(QStringLiteral("8.00")).y, 50);   // shown in the row
    const DrawnText total = canvas.only(QStringLiteral("Kokku:"));
    EXPECT_FLOAT_EQ(total.y, 61);   // sums line at 55, then 56, advanced by 5
    EXPECT_EQ(amountBeside(canvas, total).text, QStringLiteral("0.00"));
    EXPECT_TRUE(canvas.find(QStringLiteral("Saadetud:")).empty());
    const DrawnText grandTotal = canvas.only(QStringLiteral("Summa kokku:"));
    EXPECT_EQ(amountBeside(canvas, grandTotal).text, QStringLiteral("0.00"));
}

// 0.30 sent, then its two parts cancelled: in doubles the group's sent sum
// is 0.3 - 0.1 - 0.2 = -2.8e-17, which is zero cents.
TEST_F(ReportLayout, GroupSumRoundingResidueIsZeroNotMinusZeroAndKeepsTotal)
{
    layOut({Record().withTerminal("R").withAmount(0.3), Record().withTerminal("R").withAmount(0.1).cancelled(),
            Record().withTerminal("R").withAmount(0.2).cancelled()},
           1);
    EXPECT_TRUE(canvas.find(QStringLiteral("-0.00")).empty());
    EXPECT_TRUE(canvas.find(QStringLiteral("Saadetud:")).empty());
    const DrawnText total = canvas.only(QStringLiteral("Kokku:"));
    EXPECT_EQ(amountBeside(canvas, total).text, QStringLiteral("0.00"));
    EXPECT_TRUE(canvas.find(QStringLiteral("Saadetud summa:")).empty());
    EXPECT_EQ(amountBeside(canvas, canvas.only(QStringLiteral("Summa kokku:"))).text, QStringLiteral("0.00"));
}

// Each group's sum is a real amount (0.30 and -0.30); only their sum is a
// residue (-5.6e-17).
TEST_F(ReportLayout, GrandSumRoundingResidueIsZeroNotMinusZeroAndKeepsTotal)
{
    layOut({Record().withTerminal("A").withAmount(0.3), Record().withTerminal("B").withAmount(0.1).cancelled(),
            Record().withTerminal("B").withAmount(0.2).cancelled()},
           1);
    const std::vector<DrawnText> groupSent = canvas.find(QStringLiteral("Saadetud:"));
    ASSERT_EQ(groupSent.size(), 2u);
    EXPECT_EQ(amountBeside(canvas, groupSent[0]).text, QStringLiteral("0.30"));
    EXPECT_EQ(amountBeside(canvas, groupSent[1]).text, QStringLiteral("-0.30"));
    EXPECT_TRUE(canvas.find(QStringLiteral("-0.00")).empty());
    EXPECT_TRUE(canvas.find(QStringLiteral("Saadetud summa:")).empty());
    const DrawnText grandTotal = canvas.only(QStringLiteral("Summa kokku:"));
    EXPECT_EQ(amountBeside(canvas, grandTotal).text, QStringLiteral("0.00"));
}

// A residue beside a real sum is no line of its own: the real one stands
// alone and no total follows it.
TEST_F(ReportLayout, RoundingResidueBesideARealSumIsNotALine)
{
    layOut({Record().withTerminal("R").withAmount(0.3), Record().withTerminal("R").withAmount(0.1).cancelled(),
            Record().withTerminal("R").withAmount(0.2).cancelled(), Record().withTerminal("R").withAmount(4).notSent()},
           1);
    EXPECT_TRUE(canvas.find(QStringLiteral("Saadetud:")).empty());
    EXPECT_EQ(amountBeside(canvas, canvas.only(QStringLiteral("Saatmata:"))).text, QStringLiteral("4.00"));
    EXPECT_TRUE(canvas.find(QStringLiteral("Kokku:")).empty());
    EXPECT_TRUE(canvas.find(QStringLiteral("-0.00")).empty());
}

TEST_F(ReportLayout, FlagLettersTBeforeBBeforeE)
{
    layOut({Record().withTerminal("r1").withFlags("000011").cancelled().withAmount(10),
            Record().withTerminal("r2").withFlags("000011").withAmount(20),
            Record().withTerminal("r3").tip().withAmount(30),
            Record().withTerminal("r4").notSent().withAmount(40)});
    const char *expected[] = {"T", "B", "E", ""};
    for (int r = 1; r <= 4; ++r) {
        const std::vector<DrawnText> row = canvas.onLine(1, 45 + 5 * r);
        ASSERT_EQ(row.size(), 11u) << r;
        EXPECT_EQ(row[9].text, QString::fromLatin1(expected[r - 1])) << r;
        EXPECT_EQ(table.cell(r, C::kCancelFlag), QByteArray(expected[r - 1])) << r;
    }
    // The cancelled booking counts as sent (-10), not as reserved.
    EXPECT_EQ(amountBeside(canvas, canvas.only(QStringLiteral("Saadetud:"))).text, QStringLiteral("20.00"));
    EXPECT_EQ(amountBeside(canvas, canvas.only(QStringLiteral("Saatmata:"))).text, QStringLiteral("40.00"));
    EXPECT_EQ(amountBeside(canvas, canvas.only(QStringLiteral("Broneeritud:"))).text, QStringLiteral("20.00"));
    EXPECT_EQ(amountBeside(canvas, canvas.only(QStringLiteral("Kokku:"))).text, QStringLiteral("80.00"));
    const DrawnText sentLine = canvas.only(QStringLiteral("Saadetud:"));
    EXPECT_FLOAT_EQ(canvas.only(QStringLiteral("Saatmata:")).y, sentLine.y + 5);
    EXPECT_FLOAT_EQ(canvas.only(QStringLiteral("Broneeritud:")).y, sentLine.y + 10);
    EXPECT_FLOAT_EQ(canvas.only(QStringLiteral("Kokku:")).y, sentLine.y + 15);
    EXPECT_EQ(amountBeside(canvas, canvas.only(QStringLiteral("Summa kokku:"))).text, QStringLiteral("80.00"));
}

TEST_F(ReportLayout, DeclinedRowsShowTheirAmountButAddNothing)
{
    layOut({Record().withCode(5).withAmount(10), Record().withAmount(3)});
    EXPECT_EQ(canvas.find(QStringLiteral("10.00")).size(), 1u);
    EXPECT_EQ(amountBeside(canvas, canvas.only(QStringLiteral("Saadetud:"))).text, QStringLiteral("3.00"));
}

TEST_F(ReportLayout, EmptyReportPutsTotalAtTheAmountColumn)
{
    layOut({});
    // Header, the total and its amount, the footer: nothing else.
    ASSERT_EQ(canvas.texts.size(), 7u);
    EXPECT_TRUE(canvas.onLine(1, 40).empty());
    ASSERT_EQ(canvas.lines.size(), 2u);
    for (const DrawnLine &l : canvas.lines) {
        EXPECT_FLOAT_EQ(l.x1, 27);
        EXPECT_FLOAT_EQ(l.x2, 27);   // zero length: no row set x
    }
    EXPECT_FLOAT_EQ(canvas.lines[0].y1, 35);
    EXPECT_FLOAT_EQ(canvas.lines[1].y1, 36);
    const DrawnText total = canvas.only(QStringLiteral("Summa kokku:"));
    expectText(total, 1, 179 - 60, 43, 9, true, false);
    expectEndsAt(amountBeside(canvas, total), 179, 43, true);
    EXPECT_EQ(amountBeside(canvas, total).text, QStringLiteral("0.00"));
    EXPECT_EQ(canvas.only(QStringLiteral("1")).page, 1);
}

TEST_F(ReportLayout, EmptyReportGroupedByStatusUsesTheWideColumnEdge)
{
    layOut({}, 11);
    EXPECT_FLOAT_EQ(canvas.only(QStringLiteral("Summa kokku:")).x, 193 - 60);
}

TEST_F(ReportLayout, GroupValueThatLooksLikeTheNoGroupMarkerKeepsItsSums)
{
    layOut({Record().withTerminal("No GrOuP").withAmount(5), Record().withTerminal("B").withAmount(7),
            Record().withTerminal("No GrOuP").withAmount(11)},
           1);
    EXPECT_EQ(canvas.find(QStringLiteral("No GrOuP")).size(), 1u);
    EXPECT_EQ(canvas.find(QStringLiteral("B")).size(), 1u);
    const std::vector<DrawnText> sums = canvas.find(QStringLiteral("Saadetud:"));
    ASSERT_EQ(sums.size(), 2u);
    EXPECT_EQ(amountBeside(canvas, sums[0]).text, QStringLiteral("16.00"));
    EXPECT_EQ(amountBeside(canvas, sums[1]).text, QStringLiteral("7.00"));
    EXPECT_EQ(amountBeside(canvas, canvas.only(QStringLiteral("Saadetud summa:"))).text, QStringLiteral("23.00"));
}

TEST_F(ReportLayout, ProgressTextRoundsHalvesToEven)
{
    layOut(std::vector<Record>(8, Record()));
    EXPECT_EQ(host.statusLines,
              QStringList({QStringLiteral("Aruanne dokumendi koostamine: 12%"),
                           QStringLiteral("Aruanne dokumendi koostamine: 25%"),
                           QStringLiteral("Aruanne dokumendi koostamine: 38%"),
                           QStringLiteral("Aruanne dokumendi koostamine: 50%"),
                           QStringLiteral("Aruanne dokumendi koostamine: 62%"),
                           QStringLiteral("Aruanne dokumendi koostamine: 75%"),
                           QStringLiteral("Aruanne dokumendi koostamine: 88%"),
                           QStringLiteral("Aruanne dokumendi koostamine: 100%")}));
}

TEST_F(ReportLayout, EstonianTextsSurviveIntoTheFile)
{
    layOut({Record().withTerminal(CodePage::console().encode(u"Kõrts ÕÄÖÜ šž")), Record().withCard("")}, 5);
    const QString path = dir.filePath(QStringLiteral("estonian.pdf"));
    canvas.FileName(path);
    ASSERT_EQ(canvas.EndDoc(), QString());
    const QString text = pdfText(path);
    EXPECT_TRUE(text.contains(QStringLiteral("Kõrts ÕÄÖÜ šž"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Tundmatu väljaandja")));
    EXPECT_TRUE(text.contains(QStringLiteral("T - Tühistamine")));
}

// --- AdvanceLine -------------------------------------------------------------

class AdvanceLineTest : public ::testing::Test {
protected:
    RecordingCanvas canvas;
    qint16 page = 1;
    const QString stamp = QStringLiteral("06.12.2026 15:30:00");
    const QString period = QStringLiteral("Periood: x");

    void SetUp() override
    {
        canvas.ScaleMode(6);
        canvas.FontName(QStringLiteral("Arial"));
        canvas.FontSize(7);
        canvas.FontItalic(true);
        canvas.ForeColor(0x123456);
        canvas.DrawStyle(2);
    }
};

TEST_F(AdvanceLineTest, ExactlyTheLimitStaysOnThePage)
{
    float y = 255;
    AdvanceLine(y, 5, canvas, page, 27, stamp, period);
    EXPECT_FLOAT_EQ(y, 260);
    EXPECT_EQ(page, 1);
    EXPECT_EQ(canvas.newPageCalls, 0);
    EXPECT_TRUE(canvas.texts.empty());
}

TEST_F(AdvanceLineTest, PastTheLimitStartsAPageAndRestoresTheFont)
{
    float y = 260;
    AdvanceLine(y, 0.5f, canvas, page, 30, stamp, period);
    EXPECT_FLOAT_EQ(y, 35);
    EXPECT_EQ(page, 2);
    EXPECT_EQ(canvas.newPageCalls, 1);
    expectText(canvas.only(QStringLiteral("E - Jootraha lisatud, T - Tühistamine, B - Broneering")), 1, 30, 270, 9,
               true, false, kGrey);
    expectText(canvas.only(QStringLiteral("1")), 1, 190, 270, 9, true, false, kGrey);
    expectText(canvas.only(QStringLiteral("Maksetehingute aruanne")), 2, 30, 10, 14, true, false, kTitleColour);
    expectText(canvas.only(period), 2, 30, 20, 9, true, false);
    expectText(canvas.only(stamp), 2, 200 - widthOf(stamp, 8, false), 15, 8, false, true);

    EXPECT_EQ(canvas.FontName(), QStringLiteral("Arial"));
    EXPECT_FLOAT_EQ(canvas.FontSize(), 7);
    EXPECT_TRUE(canvas.FontItalic());
    EXPECT_FALSE(canvas.FontBold());
    EXPECT_EQ(canvas.ForeColor(), 0x123456);
    EXPECT_EQ(canvas.DrawStyle(), 2);
}

TEST(ReportGeometryTest, AmountEdgeForEveryGrouping)
{
    struct Row {
        qint16 group;
        float edge;
    };
    // Columns before the amount give their width to it: the edge stays; a
    // column after it (11) widens it.
    for (const Row row : {Row{0, 179}, Row{1, 179}, Row{2, 179}, Row{5, 179}, Row{6, 179}, Row{11, 193}}) {
        EXPECT_FLOAT_EQ(AmountRightEdgeFor(row.group), row.edge) << row.group;
        const std::array<float, 12> w = ReportColumnWidths(row.group);
        float total = 0;
        for (int c = 1; c <= 11; ++c) {
            if (c != row.group)
                total += w[std::size_t(c)];
        }
        EXPECT_FLOAT_EQ(total, 173) << row.group;
    }
}
