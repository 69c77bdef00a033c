// Recording texts and lines: placement, anchors, rounding, measuring with the
// built-in metrics, and calls that overflow their widths.
#include "Papyrer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

// Line heights per point of size: (winAscent + winDescent) / unitsPerEm of
// the Liberation fonts; and Helvetica's width of "Hello" from its AFM file
// (H 722, e 556, l 222, l 222, o 556).
constexpr double kSansLine = (1854.0 + 434.0) / 2048.0;
constexpr double kSerifLine = (1825.0 + 443.0) / 2048.0;
constexpr double kMonoLine = (1705.0 + 615.0) / 2048.0;
constexpr double kHelloWidth = 2278.0 / 1000.0;
constexpr double kPointsPerMm = 72.0 / 25.4;

struct Placement {
    int x;
    int y;
};

// The "x y Td" of the text item as written by GenerateText.
Placement placementOf(Papyrer &pdf, int index)
{
    const std::string ops = pdf.GenerateText(index);
    const size_t td = ops.find(" Td (");
    size_t begin = ops.rfind('\n', td) + 1;
    const std::string numbers = ops.substr(begin, td - begin);
    const size_t blank = numbers.find(' ');
    return {std::stoi(numbers.substr(0, blank)), std::stoi(numbers.substr(blank + 1))};
}

std::string lineOperatorsOf(Papyrer &pdf)
{
    const std::string contents = pdf.GenerateContents(0);
    const size_t begin = contents.find("stream\r\n") + 8;
    return contents.substr(begin, contents.find("endstream") - begin);
}

Papyrer inPoints()
{
    Papyrer pdf;
    pdf.ScaleMode(2);
    return pdf;
}

TEST(PapyrerText, PrintTextPutsTheBaselineOneLineBelowCurrentY)
{
    Papyrer pdf = inPoints();
    pdf.CurrentX(10);
    pdf.CurrentY(20);
    pdf.PrintText("A");
    const double line = 12 * kSansLine;   // 13.40625
    const Placement p = placementOf(pdf, 0);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, std::lround(792 - (20 + line)));   // 758.59 -> 759
    EXPECT_EQ(pdf.CurrentX(), 0.0f);
    EXPECT_FLOAT_EQ(pdf.CurrentY(), static_cast<float>(20 + line));
}

TEST(PapyrerText, LineHeightComesFromTheFamilyAndSizeOnly)
{
    struct Row {
        const char *name;
        float size;
        bool bold;
        bool italic;
        double points;
    } rows[] = {
        {"Arial", 12, false, false, 13.40625},
        {"Arial", 12, true, true, 12 * kSansLine},
        {"Helvetica", 9, false, false, 9 * kSansLine},
        {"Verdana", 10, false, false, 10 * kSansLine},
        {"Times-Roman", 12, false, false, 12 * kSerifLine},
        {"times-roman", 12, true, false, 12 * kSerifLine},
        {"Courier", 12, false, false, 12 * kMonoLine},
        {"Courier New", 8, false, true, 8 * kMonoLine},
    };
    for (const Row &row : rows) {
        Papyrer pdf = inPoints();
        pdf.FontName(row.name);
        pdf.FontSize(row.size);
        pdf.FontBold(row.bold);
        pdf.FontItalic(row.italic);
        EXPECT_FLOAT_EQ(pdf.TextHeight("Ag"), static_cast<float>(row.points)) << row.name;
        EXPECT_FLOAT_EQ(pdf.TextHeight(""), static_cast<float>(row.points)) << row.name;
        // Printing advances by the same height.
        pdf.PrintText("Ag");
        EXPECT_FLOAT_EQ(pdf.CurrentY(), static_cast<float>(row.points)) << row.name;
    }
}

TEST(PapyrerText, TextWidthUsesCoreMetricsInWinAnsiOrder)
{
    struct Row {
        const char *name;
        bool bold;
        bool italic;
        float size;
        const char *text;
        double thousandths;   // sum of the AFM widths
    } rows[] = {
        {"Arial", false, false, 12, "Hello", 2278},
        {"Helvetica", false, true, 12, "Hello", 2278},       // italic not measured
        {"Arial", true, false, 12, "Hello", 722 + 556 + 278 + 278 + 611},
        {"Courier", false, false, 10, "abc", 1800},
        {"Times-Roman", false, false, 10, "a", 444},
        {"Times-Roman", false, true, 10, "a", 444},          // Times-Italic would be 500
        {"Arial", false, false, 10, "õš", 556 + 500},        // otilde, scaron
        {"Arial", true, false, 10, "õš", 611 + 556},
        {"Arial", false, false, 10, "€", 556},
        {"Arial", false, false, 10, "Ω", 556},               // written and measured as "?"
        {"Arial", false, false, 10, "", 0},
    };
    for (const Row &row : rows) {
        Papyrer pdf = inPoints();
        pdf.FontName(row.name);
        pdf.FontBold(row.bold);
        pdf.FontItalic(row.italic);
        pdf.FontSize(row.size);
        EXPECT_FLOAT_EQ(pdf.TextWidth(row.text), static_cast<float>(row.size * row.thousandths / 1000))
            << row.name << " \"" << row.text << "\"";
    }
}

TEST(PapyrerText, MeasuresAreInTheScaleModeUnit)
{
    Papyrer pdf;
    pdf.ScaleMode(6);
    EXPECT_NEAR(pdf.TextWidth("Hello"), 12 * kHelloWidth / kPointsPerMm, 1e-4);
    EXPECT_NEAR(pdf.TextHeight("Hello"), 12 * kSansLine / kPointsPerMm, 1e-4);
    pdf.ScaleMode(4);   // characters: 6 pt wide, 12 pt high
    EXPECT_NEAR(pdf.TextWidth("Hello"), 12 * kHelloWidth / 6, 1e-4);
    EXPECT_NEAR(pdf.TextHeight("Hello"), 12 * kSansLine / 12, 1e-4);
    pdf.ScaleMode(1);
    EXPECT_NEAR(pdf.TextHeight("Hello"), 12 * kSansLine * 20, 1e-2);
}

TEST(PapyrerText, AnchorPutsTheNamedPointOfTheBoxAtTheCurrentPosition)
{
    const double w = 12 * kHelloWidth;   // 27.336
    const double h = 12 * kSansLine;     // 13.40625
    struct Row {
        uint8_t anchor;
        double dx;   // box left = CurrentX + dx
        double dy;   // box top = CurrentY + dy
    } rows[] = {
        {0, 0, 0}, {1, 0, -h}, {2, 0, -h / 2}, {3, -w, 0}, {4, -w, -h},
        {5, -w, -h / 2}, {6, -w / 2, 0}, {7, -w / 2, -h}, {8, -w / 2, -h / 2},
        {9, 0, 0}, {255, 0, 0},
    };
    for (const Row &row : rows) {
        Papyrer pdf = inPoints();
        pdf.CurrentX(300);
        pdf.CurrentY(400);
        pdf.PrintAnchorText("Hello", row.anchor);
        const Placement p = placementOf(pdf, 0);
        EXPECT_EQ(p.x, std::lround(300 + row.dx)) << "anchor " << int(row.anchor);
        EXPECT_EQ(p.y, std::lround(792 - (400 + row.dy + h))) << "anchor " << int(row.anchor);
        EXPECT_EQ(pdf.CurrentX(), 0.0f);
        EXPECT_FLOAT_EQ(pdf.CurrentY(), static_cast<float>(400 + h)) << "anchor " << int(row.anchor);
    }
}

TEST(PapyrerText, TextIsRecordedAtItsMomentsFontSizeAndColour)
{
    Papyrer pdf = inPoints();
    pdf.FontSize(9.5f);     // halves go to the even neighbour
    pdf.PrintText("a");
    pdf.FontSize(10.5f);
    pdf.ForeColor(0x707070);
    pdf.FontBold(true);
    pdf.PrintText("b");
    EXPECT_NE(pdf.GenerateText(0).find("/F1 10 Tf"), std::string::npos);
    const std::string second = pdf.GenerateText(1);
    EXPECT_NE(second.find("0.439 0.439 0.439 rg\r\n"), std::string::npos);
    EXPECT_NE(second.find("/F2 10 Tf"), std::string::npos);
}

TEST(PapyrerLines, DrawLineFlipsYAndLeavesThePosition)
{
    Papyrer pdf = inPoints();
    pdf.CurrentX(7);
    pdf.CurrentY(9);
    pdf.DrawLine(0, 0, 100, 0);
    EXPECT_EQ(lineOperatorsOf(pdf), "0.000 0.000 0.000 RG\r\n[]0 d\r\n0 792 m\r\n100 792 l\r\nS\r\n");
    EXPECT_EQ(pdf.CurrentX(), 7.0f);
    EXPECT_EQ(pdf.CurrentY(), 9.0f);
}

TEST(PapyrerLines, MillimetresAreConvertedAndRounded)
{
    Papyrer pdf;
    pdf.ScaleMode(6);
    pdf.DrawLine(27, 100, 200, 270);
    const std::string expected = std::to_string(std::lround(27 * kPointsPerMm)) + " " +
                                 std::to_string(std::lround(792 - 100 * kPointsPerMm)) + " m\r\n" +
                                 std::to_string(std::lround(200 * kPointsPerMm)) + " " +
                                 std::to_string(std::lround(792 - 270 * kPointsPerMm)) + " l\r\n";
    EXPECT_NE(lineOperatorsOf(pdf).find(expected), std::string::npos) << lineOperatorsOf(pdf);
}

TEST(PapyrerLines, HalfPointsRoundToTheEvenNeighbour)
{
    struct Row {
        float x;
        float y;
        const char *written;
    } rows[] = {
        {0.5f, 0.5f, "0 792 m"},      // 791.5 -> 792
        {1.5f, 1.5f, "2 790 m"},      // 790.5 -> 790
        {2.5f, 2.4f, "2 790 m"},      // 789.6 -> 790
        {-0.5f, 0, "0 792 m"},
        {-1.5f, 0, "-2 792 m"},
        {3.5f, 0, "4 792 m"},
    };
    for (const Row &row : rows) {
        Papyrer pdf = inPoints();
        pdf.DrawLine(row.x, row.y, 0, 0);
        EXPECT_NE(lineOperatorsOf(pdf).find(std::string("\r\n") + row.written + "\r\n"), std::string::npos)
            << row.x << "," << row.y << ": " << lineOperatorsOf(pdf);
    }
}

TEST(PapyrerPages, SetPageSizeLeavesEarlierItemsAsComputed)
{
    Papyrer pdf = inPoints();
    pdf.PrintText("before");
    pdf.SetPageSize(595, 842);
    pdf.CurrentY(0);
    pdf.PrintText("after");
    const double h = 12 * kSansLine;
    EXPECT_EQ(placementOf(pdf, 0).y, std::lround(792 - h));
    EXPECT_EQ(placementOf(pdf, 1).y, std::lround(842 - h));
    pdf.NewPage();   // a new page is 612 x 792 again
    pdf.CurrentY(0);
    pdf.PrintText("next");
    EXPECT_EQ(placementOf(pdf, 2).y, std::lround(792 - h));
}

bool sameValue(float a, float b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

struct OverflowCase {
    const char *name;
    std::function<void(Papyrer &)> prepare;
    std::function<void(Papyrer &)> call;
};

TEST(PapyrerOverflow, CallThatOverflowsThrowsAndRecordsNothing)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const OverflowCase cases[] = {
        {"text x above 32767", [](Papyrer &p) { p.CurrentX(32768); }, [](Papyrer &p) { p.PrintText("a"); }},
        {"text x rounds to 32768", [](Papyrer &p) { p.CurrentX(32767.5f); }, [](Papyrer &p) { p.PrintText("a"); }},
        {"text y below the 16-bit range", [](Papyrer &p) { p.CurrentY(40000); }, [](Papyrer &p) { p.PrintText("a"); }},
        {"text y above the 16-bit range", [](Papyrer &p) { p.CurrentY(-40000); }, [](Papyrer &p) { p.PrintText("a"); }},
        {"text x not a number", [nan](Papyrer &p) { p.CurrentX(nan); }, [](Papyrer &p) { p.PrintText("a"); }},
        {"anchored text pushed left", [](Papyrer &p) { p.CurrentX(-32760); }, [](Papyrer &p) { p.PrintAnchorText("Hello", 3); }},
        {"font size 256", [](Papyrer &p) { p.FontSize(256); }, [](Papyrer &p) { p.PrintText("a"); }},
        {"font size 255.5 rounds to 256", [](Papyrer &p) { p.FontSize(255.5f); }, [](Papyrer &p) { p.PrintText("a"); }},
        {"font size -1", [](Papyrer &p) { p.FontSize(-1); }, [](Papyrer &p) { p.PrintText("a"); }},
        {"line x2 32768", [](Papyrer &) {}, [](Papyrer &p) { p.DrawLine(0, 0, 32768, 0); }},
        {"line y1 below", [](Papyrer &) {}, [](Papyrer &p) { p.DrawLine(0, 40000, 0, 0); }},
        {"line not a number", [](Papyrer &) {}, [nan](Papyrer &p) { p.DrawLine(0, 0, nan, 0); }},
        {"page width 32768", [](Papyrer &) {}, [](Papyrer &p) { p.SetPageSize(32768, 792); }},
        {"page height -32769", [](Papyrer &) {}, [](Papyrer &p) { p.SetPageSize(612, -32769); }},
    };
    for (const OverflowCase &c : cases) {
        Papyrer pdf = inPoints();
        c.prepare(pdf);
        const float x = pdf.CurrentX();
        const float y = pdf.CurrentY();
        EXPECT_THROW(c.call(pdf), PapyrOverflowError) << c.name;
        EXPECT_THROW(pdf.GenerateText(0), std::out_of_range) << c.name;
        const std::string contents = pdf.GenerateContents(0);
        EXPECT_NE(contents.find("<< /Length 0 >>"), std::string::npos) << c.name;
        EXPECT_TRUE(sameValue(pdf.CurrentX(), x)) << c.name;
        EXPECT_TRUE(sameValue(pdf.CurrentY(), y)) << c.name;
        // The next sound call records at index 0, nothing half-added before it.
        pdf.CurrentX(0);
        pdf.CurrentY(0);
        pdf.FontSize(12);
        EXPECT_NO_THROW(pdf.PrintText("b")) << c.name;
        EXPECT_NE(pdf.GenerateText(0).find("(b) Tj"), std::string::npos) << c.name;
    }
}

TEST(PapyrerOverflow, ValuesAtTheLimitsAreRecorded)
{
    Papyrer pdf = inPoints();
    pdf.FontSize(255.4f);
    pdf.CurrentX(32766.5f);   // rounds to the even 32766
    pdf.PrintText("a");
    const std::string ops = pdf.GenerateText(0);
    EXPECT_NE(ops.find("/F1 255 Tf"), std::string::npos) << ops;
    EXPECT_NE(ops.find("\r\n32766 "), std::string::npos) << ops;
    pdf.DrawLine(-32768, 792 + 32768, 32767, 792 - 32767);
    EXPECT_NE(lineOperatorsOf(pdf).find("-32768 -32768 m\r\n32767 32767 l\r\n"), std::string::npos);
    EXPECT_NO_THROW(pdf.SetPageSize(32767, -32768));
}

} // namespace
