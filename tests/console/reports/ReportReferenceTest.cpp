// The document builder finds the groups in one pass over the table instead of
// one pass over the whole table per group. This test keeps a plain
// implementation of the pass-per-group algorithm, drawing straight on a
// Papyrer, and checks that both write the same bytes and leave the same table
// for tables of every grouping, with page breaks, flags and all record kinds.
//
// The reference carries the two changes the builder makes on purpose: an
// open group is tracked by a flag, not by the text "No GrOuP" (which a
// terminal or card may hold), and an empty report places its total at the
// amount column's edge instead of at x = 0.
#include "ReportTestSupport.h"

#include "common/CodePage.h"
#include "common/Bytes.h"
#include "common/Helpers.h"
#include "reports/EventPacer.h"
#include "reports/ReportDecoder.h"
#include "reports/ReportDocument.h"

#include "common/Clock.h"

#include <Papyrer.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace reporttest;
namespace C = ReportColumn;

namespace {

std::string u8(const QString &s)
{
    return s.toStdString();
}

std::string u8cell(const QByteArray &cell)
{
    return CodePage::console().decode(cell).toStdString();
}

void refFont(Papyrer &p, float size, bool bold, bool italic)
{
    p.FontSize(size);
    if (!bold)
        p.FontBold(false);
    if (!italic)
        p.FontItalic(false);
    if (bold)
        p.FontBold(true);
    if (italic)
        p.FontItalic(true);
}

void refPrint(Papyrer &p, float x, float y, const std::string &text)
{
    p.CurrentX(x);
    p.CurrentY(y);
    p.PrintText(text);
}

void refHeader(Papyrer &p, float lm, const std::string &period, const std::string &stamp)
{
    p.FontName("Arial");
    refFont(p, 14, true, false);
    p.ForeColor(255);
    refPrint(p, lm, 10, "Maksetehingute aruanne");
    p.ForeColor(0);
    refFont(p, 9, true, false);
    refPrint(p, lm, 20, period);
    refFont(p, 8, false, true);
    refPrint(p, 200 - p.TextWidth(stamp), 15, stamp);
}

void refFooter(Papyrer &p, float lm, qint16 page)
{
    p.FontName("Arial");
    refFont(p, 9, true, false);
    p.ForeColor(0x707070);
    refPrint(p, lm, 270, "E - Jootraha lisatud, T - T\xc3\xbchistamine, B - Broneering");
    refPrint(p, 190, 270, std::to_string(page));
    p.ForeColor(0);
}

void refAdvanceLine(float &y, float step, Papyrer &p, qint16 &page, float lm, const std::string &stamp,
                    const std::string &period)
{
    y = y + step;
    if (y <= 260)
        return;
    const std::string name = p.FontName();
    const float size = p.FontSize();
    const bool bold = p.FontBold();
    const bool italic = p.FontItalic();
    const qint32 colour = p.ForeColor();
    const qint16 style = p.DrawStyle();
    refFooter(p, lm, page);
    p.NewPage();
    page = page + 1;
    refHeader(p, lm, period, stamp);
    y = 35;
    p.FontName(name);
    refFont(p, size, bold, italic);
    p.ForeColor(colour);
    p.DrawStyle(style);
}

// The pass-per-group algorithm written out literally, one pass over the table per group.
void referenceBuild(Papyrer &p, ReportTable &table, qint32 rowCount, qint16 g, const std::string &period,
                    const std::string &stamp)
{
    float w[12] = {0, 25, 20, 22, 19, 38, 15, 15, 0, 0, 5, 14};
    if (g != 0)
        w[7] = w[7] + w[g];
    p.ScaleMode(6);
    refHeader(p, 27, period, stamp);
    double gs[3] = {0, 0, 0};   // sent, not sent, reserved
    double grand[3] = {0, 0, 0};
    float y = 25, x = 27, edge = 0;
    qint16 page = 1;
    const char *headings[12] = {"", " Terminal", " Kuupaev", "   Kell", "STAN", "     Kaart",
                                "Kood", "  Summa", "", "", "", "Saadetud"};
    for (int c = 0; c < 12; ++c)
        table.setCell(0, c, headings[c]);
    auto adv = [&](float step) { refAdvanceLine(y, step, p, page, 27, stamp, period); };
    auto sumLine = [&](float offset, const std::string &label, double sum) {
        refPrint(p, edge - offset, y, label);
        const std::string amount = u8(FormatAmount(sum));
        refPrint(p, edge - p.TextWidth(amount), y, amount);
    };

    for (;;) {
        bool groupOpen = false;
        QByteArray groupValue;
        for (qint32 r = 1; r <= rowCount; ++r) {
            if (!table.cell(r, 0).isEmpty())
                continue;
            if (!groupOpen) {
                groupOpen = true;
                gs[0] = gs[1] = gs[2] = 0;
                groupValue = table.cell(r, g);
                adv(15);
                refFont(p, 9, true, false);
                std::string title;
                if (g == 6)
                    title = "Kood: " + u8cell(table.cell(r, 6));
                else if (g == 11)
                    title = table.cell(r, 11) == "      +" ? "Saadetud" : "Saatmata";
                else if (g == 5)
                    title = table.cell(r, 5).isEmpty() ? "Tundmatu v\xc3\xa4ljaandja" : u8cell(table.cell(r, 5));
                else
                    title = u8cell(table.cell(r, g));
                refPrint(p, 27, y, title);
                adv(5);
                x = 27;
                refFont(p, 9, false, true);
                for (int c = 1; c <= 11; ++c) {
                    if (c == g)
                        continue;
                    const std::string h = u8cell(table.cell(0, c));
                    p.CurrentX(c == 7 ? x + w[7] - 2 - p.TextWidth(h) : x);
                    p.CurrentY(y);
                    x = x + w[c];
                    p.PrintText(h);
                }
            }
            if (g != 0 && table.cell(r, g) != groupValue)
                continue;
            refFont(p, 9, false, false);
            table.setCell(r, 0, "DONE");
            const double a = DecodeDouble(table.cell(r, 12));
            auto sentOrNot = [&] { gs[table.cell(r, 11).isEmpty() ? 1 : 0] += a; };
            if (!table.cell(r, 10).isEmpty()) {
                table.setCell(r, 10, "T");
                sentOrNot();
            } else {
                if (!table.cell(r, 8).isEmpty())
                    table.setCell(r, 10, "E");
                if (!table.cell(r, 9).isEmpty()) {
                    table.setCell(r, 10, "B");
                    gs[2] += a;
                } else {
                    sentOrNot();
                }
            }
            table.setCell(r, 8, {});
            table.setCell(r, 9, {});
            adv(5);
            x = 27;
            for (int c = 1; c <= 11; ++c) {
                if (c == g)
                    continue;
                const std::string text = u8cell(table.cell(r, c));
                p.CurrentY(y);
                p.CurrentX(x);
                if (c == 7) {
                    p.CurrentX(x + w[7] - 2 - p.TextWidth(text));
                    edge = x + w[7] - 2;
                }
                x = x + w[c];
                p.PrintText(text);
            }
            p.DrawStyle(2);
            p.DrawLine(27, y + 4, x, y + 4);
        }
        refFont(p, 9, true, false);
        if (!groupOpen)
            break;
        adv(5);
        p.DrawStyle(0);
        p.DrawLine(27, y, x, y);
        y = y + 1;
        for (int i = 0; i < 3; ++i)
            grand[i] += gs[i];
        int shown = 0;
        if (gs[0] != 0) {
            shown = 1;
            sumLine(40, "Saadetud:", gs[0]);
        }
        if (gs[1] != 0) {
            ++shown;
            adv(5);
            sumLine(40, "Saatmata:", gs[1]);
        }
        if (gs[2] != 0) {
            ++shown;
            adv(5);
            sumLine(40, "Broneeritud:", gs[2]);
        }
        if (shown != 1) {
            adv(5);
            sumLine(40, "Kokku:", gs[2] + gs[0] + gs[1]);
        }
    }

    if (edge == 0)
        edge = AmountRightEdgeFor(g);
    adv(10);
    p.DrawLine(27, y, x, y);
    y = y + 1;
    p.DrawLine(27, y, x, y);
    adv(2);
    int shown = 0;
    if (grand[0] != 0) {
        shown = 1;
        sumLine(60, "Saadetud summa:", grand[0]);
    }
    if (grand[1] != 0) {
        ++shown;
        adv(5);
        sumLine(60, "Saatmata summa:", grand[1]);
    }
    if (grand[2] != 0) {
        ++shown;
        adv(5);
        sumLine(60, "Broneeritud summa:", grand[2]);
    }
    if (shown != 1) {
        adv(5);
        sumLine(60, "Summa kokku:", grand[2] + grand[0] + grand[1]);
    }
    refFooter(p, 27, page);
}

std::vector<Record> randomRecords(std::mt19937 &rng, int count)
{
    const char *terminals[] = {"KASSA1", "KASSA2", "BAAR", "No GrOuP", "Õue müük"};
    const char *cards[] = {"VISA", "MASTERCARD", "", "MAESTRO", "AMEX"};
    const qint32 codes[] = {0, 0, 0, 5, 51, 99, 100, 9999, 10000, -1};
    const char *flags[] = {"000000", "00001", "000011", "000001", "0001", ""};
    std::vector<Record> records;
    for (int i = 0; i < count; ++i) {
        Record r;
        r.withTerminal(CodePage::console().encode(QString::fromUtf8(terminals[rng() % 5])));
        r.withCard(cards[rng() % 5]);
        r.withCode(codes[rng() % 10]);
        r.withFlags(flags[rng() % 6]);
        r.withAmount(double(rng() % 200000) / 100.0 - (rng() % 10 == 0 ? 500 : 0));
        r.withStamp(QByteArray("2604") + QByteArray::number(10 + rng() % 18) + "101500");
        if (rng() % 4 == 0)
            r.cancelled();
        if (rng() % 3 == 0)
            r.notSent();
        if (rng() % 10 == 0)
            r.withDelivery(std::nullopt);
        r.stan = qint32(rng() % 1000000);
        records.push_back(r);
    }
    return records;
}

struct Case {
    int rows;
    qint16 group;
    unsigned seed;
};

class ReportMatchesReference : public ::testing::TestWithParam<Case> {};

TEST_P(ReportMatchesReference, SameBytesAndSameTable)
{
    const Case c = GetParam();
    std::mt19937 rng(c.seed);
    const VaroManager answer = makeAnswer(randomRecords(rng, c.rows));
    DecodedReport forBuilder = DecodeReportAnswer(answer, false);
    DecodedReport forReference = DecodeReportAnswer(answer, false);
    ASSERT_EQ(forBuilder.outcome, DecodedReport::Decoded);

    QTemporaryDir dir = makeTempDir();
    ASSERT_TRUE(dir.isValid());
    const QString built = dir.filePath(QStringLiteral("built.pdf"));
    const QString reference = dir.filePath(QStringLiteral("reference.pdf"));
    const QString period = QStringLiteral("Periood: 10.04.2026 00:00:00 - 27.04.2026 23:59:59");
    const QString stamp = QStringLiteral("27.04.2026 18:00:00");

    FakeReportHost host;
    ManualClock clock;
    EventPacer pacer([&host] { host.processEvents(); }, clock, 0);
    PapyrCanvas canvas;
    canvas.FileName(built);
    LayOutReport(canvas, forBuilder.table, forBuilder.kept, c.group, period, stamp, host, pacer);
    ASSERT_EQ(canvas.EndDoc(), QString());

    Papyrer p;
    p.FileName(u8(reference));
    referenceBuild(p, forReference.table, forReference.kept, c.group, u8(period), u8(stamp));
    ASSERT_EQ(p.EndDoc(), "");

    const QByteArray a = readFile(built);
    const QByteArray b = readFile(reference);
    ASSERT_FALSE(a.isEmpty());
    EXPECT_EQ(a.size(), b.size());
    EXPECT_TRUE(a == b) << "the files differ";
    for (qint32 r = 0; r <= forBuilder.table.lastRow(); ++r) {
        for (int col = 0; col < C::kCount; ++col)
            ASSERT_EQ(forBuilder.table.cell(r, col), forReference.table.cell(r, col)) << r << "/" << col;
    }
    EXPECT_EQ(qpdfCheck(built).exitCode, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, ReportMatchesReference,
    ::testing::Values(Case{0, 0, 1}, Case{0, 11, 1}, Case{1, 0, 2}, Case{1, 5, 2}, Case{60, 0, 3}, Case{60, 1, 4},
                      Case{60, 2, 5}, Case{60, 5, 6}, Case{60, 6, 7}, Case{60, 11, 8}, Case{400, 0, 9},
                      Case{400, 1, 10}, Case{400, 5, 11}, Case{400, 6, 12}, Case{400, 11, 13}, Case{400, 2, 14}),
    [](const ::testing::TestParamInfo<Case> &info) {
        return "Rows" + std::to_string(info.param.rows) + "Group" + std::to_string(info.param.group);
    });

} // namespace
