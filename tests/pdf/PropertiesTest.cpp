// Property defaults and write checks, scale modes, the fixed values, the font
// registry and the page counter of Papyrer.
#include "Papyrer.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

TEST(PapyrerProperties, NewObjectHoldsThePrinterDefaults)
{
    Papyrer pdf;
    EXPECT_EQ(pdf.ColorMode(), 2);
    EXPECT_EQ(pdf.Copies(), 1);
    EXPECT_EQ(pdf.CurrentX(), 0.0f);
    EXPECT_EQ(pdf.CurrentY(), 0.0f);
    EXPECT_EQ(pdf.DrawMode(), 13);
    EXPECT_EQ(pdf.DrawStyle(), 0);
    EXPECT_EQ(pdf.DrawWidth(), 1);
    EXPECT_EQ(pdf.Duplex(), 0);
    EXPECT_EQ(pdf.FillColor(), 0);
    EXPECT_EQ(pdf.FillStyle(), 1);
    EXPECT_FALSE(pdf.FontBold());
    EXPECT_FALSE(pdf.FontItalic());
    EXPECT_EQ(pdf.FontName(), "Arial");
    EXPECT_EQ(pdf.FontSize(), 12.0f);
    EXPECT_FALSE(pdf.FontStrikethru());
    EXPECT_TRUE(pdf.FontTransparent());
    EXPECT_FALSE(pdf.FontUnderline());
    EXPECT_EQ(pdf.ForeColor(), 0);
    EXPECT_EQ(pdf.Height(), 16838);
    EXPECT_EQ(pdf.Orientation(), 1);
    EXPECT_EQ(pdf.Page(), 1);
    EXPECT_EQ(pdf.PaperBin(), 15);
    EXPECT_EQ(pdf.PaperSize(), 9);
    EXPECT_EQ(pdf.PrintQuality(), 300);
    EXPECT_FALSE(pdf.RightToLeft());
    EXPECT_EQ(pdf.ScaleLeft(), 0.0f);
    EXPECT_EQ(pdf.ScaleHeight(), 16282.0f);
    EXPECT_EQ(pdf.ScaleMode(), 1);
    EXPECT_EQ(pdf.ScaleTop(), 0.0f);
    EXPECT_EQ(pdf.ScaleWidth(), 11342.0f);
    EXPECT_FALSE(pdf.TrackDefault());
    EXPECT_EQ(pdf.Width(), 11899);
    EXPECT_EQ(pdf.Zoom(), 100);
    EXPECT_EQ(pdf.FileName(), "c:\\kerpdf.pdf");
}

TEST(PapyrerProperties, FixedValuesAndFontListAreReadOnlyConstants)
{
    Papyrer pdf;
    EXPECT_EQ(pdf.DeviceName(), "Kerlan PDF Printer");
    EXPECT_EQ(pdf.DriverName(), "kerpdf");
    EXPECT_EQ(pdf.Port(), "FILE");
    EXPECT_EQ(pdf.TwipsPerPixelX(), 4.8f);
    EXPECT_EQ(pdf.TwipsPerPixelY(), 4.8f);
    EXPECT_EQ(pdf.HDC(), 0);
    EXPECT_EQ(pdf.FontCount(), 4);
    const char *expected[] = {"", "Arial", "Times-Roman", "Courier", "Helvetica", ""};
    for (int16_t i = 0; i <= 5; ++i)
        EXPECT_EQ(pdf.Fonts(i), expected[i]) << "Fonts(" << i << ")";
    EXPECT_EQ(pdf.Fonts(-1), "");
    EXPECT_EQ(pdf.Font(), nullptr);
    EXPECT_THROW(pdf.Font(nullptr), std::logic_error);
}

struct WriteCase {
    const char *name;
    std::function<void(Papyrer &)> write;
    std::function<long(const Papyrer &)> read;
    long expected;
};

TEST(PapyrerProperties, OutOfRangeWritesKeepTheOldValue)
{
    const WriteCase cases[] = {
        {"Copies=5 stores 1", [](Papyrer &p) { p.Copies(5); }, [](const Papyrer &p) { return long(p.Copies()); }, 1},
        {"Copies=0 stores 1", [](Papyrer &p) { p.Copies(0); }, [](const Papyrer &p) { return long(p.Copies()); }, 1},
        {"DrawStyle=7 ignored", [](Papyrer &p) { p.DrawStyle(7); }, [](const Papyrer &p) { return long(p.DrawStyle()); }, 0},
        {"DrawStyle=-1 ignored", [](Papyrer &p) { p.DrawStyle(-1); }, [](const Papyrer &p) { return long(p.DrawStyle()); }, 0},
        {"DrawStyle=6 stored", [](Papyrer &p) { p.DrawStyle(6); }, [](const Papyrer &p) { return long(p.DrawStyle()); }, 6},
        {"Zoom=-1 ignored", [](Papyrer &p) { p.Zoom(-1); }, [](const Papyrer &p) { return long(p.Zoom()); }, 100},
        {"Zoom=0 stored", [](Papyrer &p) { p.Zoom(0); }, [](const Papyrer &p) { return long(p.Zoom()); }, 0},
        {"ColorMode=3 ignored", [](Papyrer &p) { p.ColorMode(3); }, [](const Papyrer &p) { return long(p.ColorMode()); }, 2},
        {"ColorMode=1 stored", [](Papyrer &p) { p.ColorMode(1); }, [](const Papyrer &p) { return long(p.ColorMode()); }, 1},
        {"DrawMode=0 ignored", [](Papyrer &p) { p.DrawMode(0); }, [](const Papyrer &p) { return long(p.DrawMode()); }, 13},
        {"DrawMode=17 ignored", [](Papyrer &p) { p.DrawMode(17); }, [](const Papyrer &p) { return long(p.DrawMode()); }, 13},
        {"DrawMode=16 stored", [](Papyrer &p) { p.DrawMode(16); }, [](const Papyrer &p) { return long(p.DrawMode()); }, 16},
        {"DrawWidth=0 ignored", [](Papyrer &p) { p.DrawWidth(0); }, [](const Papyrer &p) { return long(p.DrawWidth()); }, 1},
        {"DrawWidth=3 stored", [](Papyrer &p) { p.DrawWidth(3); }, [](const Papyrer &p) { return long(p.DrawWidth()); }, 3},
        {"FillStyle=8 ignored", [](Papyrer &p) { p.FillStyle(8); }, [](const Papyrer &p) { return long(p.FillStyle()); }, 1},
        {"FillStyle=0 stored", [](Papyrer &p) { p.FillStyle(0); }, [](const Papyrer &p) { return long(p.FillStyle()); }, 0},
        {"Orientation=0 ignored", [](Papyrer &p) { p.Orientation(0); }, [](const Papyrer &p) { return long(p.Orientation()); }, 1},
        {"Orientation=2 stored", [](Papyrer &p) { p.Orientation(2); }, [](const Papyrer &p) { return long(p.Orientation()); }, 2},
        {"PaperBin=15 ignored", [](Papyrer &p) { p.PaperBin(15); p.PaperBin(0); }, [](const Papyrer &p) { return long(p.PaperBin()); }, 15},
        {"PaperBin=14 stored", [](Papyrer &p) { p.PaperBin(14); }, [](const Papyrer &p) { return long(p.PaperBin()); }, 14},
        {"PaperSize=0 ignored", [](Papyrer &p) { p.PaperSize(0); }, [](const Papyrer &p) { return long(p.PaperSize()); }, 9},
        {"Duplex=4 ignored", [](Papyrer &p) { p.Duplex(4); }, [](const Papyrer &p) { return long(p.Duplex()); }, 0},
        {"Duplex=2 stored", [](Papyrer &p) { p.Duplex(2); }, [](const Papyrer &p) { return long(p.Duplex()); }, 2},
        {"Height=0 ignored", [](Papyrer &p) { p.Height(0); }, [](const Papyrer &p) { return long(p.Height()); }, 16838},
        {"Height=0 keeps PaperSize", [](Papyrer &p) { p.Height(0); }, [](const Papyrer &p) { return long(p.PaperSize()); }, 9},
        {"Height=100 stored", [](Papyrer &p) { p.Height(100); }, [](const Papyrer &p) { return long(p.Height()); }, 100},
        {"Height=100 sets PaperSize 256", [](Papyrer &p) { p.Height(100); }, [](const Papyrer &p) { return long(p.PaperSize()); }, 256},
        {"Width=-5 ignored", [](Papyrer &p) { p.Width(-5); }, [](const Papyrer &p) { return long(p.Width()); }, 11899},
        {"Width=200 sets PaperSize 256", [](Papyrer &p) { p.Width(200); }, [](const Papyrer &p) { return long(p.PaperSize()); }, 256},
        {"ScaleMode=8 ignored", [](Papyrer &p) { p.ScaleMode(8); }, [](const Papyrer &p) { return long(p.ScaleMode()); }, 1},
        {"ScaleMode=-1 ignored", [](Papyrer &p) { p.ScaleMode(-1); }, [](const Papyrer &p) { return long(p.ScaleMode()); }, 1},
    };
    for (const WriteCase &c : cases) {
        Papyrer pdf;
        c.write(pdf);
        EXPECT_EQ(c.read(pdf), c.expected) << c.name;
    }
}

TEST(PapyrerProperties, ScaleModeConvertsScaleWidthAndHeightToTheNewUnit)
{
    struct Row {
        int16_t mode;
        double width;    // 11342 twips = 567.1 pt in the new unit
        double height;   // 16282 twips = 814.1 pt
    } rows[] = {
        {1, 11342, 16282},
        {2, 567.1, 814.1},
        {3, 567.1 / 0.24, 814.1 / 0.24},
        {4, 567.1 / 6, 814.1 / 12},
        {5, 567.1 / 72, 814.1 / 72},
        {6, 567.1 * 25.4 / 72, 814.1 * 25.4 / 72},   // about 200.06 and 287.20
        {7, 567.1 * 2.54 / 72, 814.1 * 2.54 / 72},
    };
    for (const Row &row : rows) {
        Papyrer pdf;
        pdf.ScaleMode(row.mode);
        EXPECT_EQ(pdf.ScaleMode(), row.mode);
        EXPECT_NEAR(pdf.ScaleWidth(), row.width, row.width * 1e-5) << "mode " << row.mode;
        EXPECT_NEAR(pdf.ScaleHeight(), row.height, row.height * 1e-5) << "mode " << row.mode;
    }
}

TEST(PapyrerProperties, ScaleModeConvertsFromTheCurrentUnitNotFromTwips)
{
    Papyrer pdf;
    pdf.ScaleMode(6);
    pdf.ScaleMode(5);
    EXPECT_NEAR(pdf.ScaleWidth(), 567.1 / 72, 1e-4);
    pdf.ScaleWidth(10);   // ten inches
    pdf.ScaleMode(2);
    EXPECT_NEAR(pdf.ScaleWidth(), 720.0, 1e-3);
    pdf.ScaleMode(0);     // user scale keeps the numbers and the unit
    EXPECT_EQ(pdf.ScaleMode(), 0);
    EXPECT_NEAR(pdf.ScaleWidth(), 720.0, 1e-3);
    pdf.CurrentX(100);
    pdf.ScaleMode(1);
    EXPECT_NEAR(pdf.ScaleWidth(), 14400.0, 1e-2);
    EXPECT_EQ(pdf.CurrentX(), 100.0f) << "the position keeps its number";
}

TEST(PapyrerPages, NewPageCountsAndResetsOnlyCurrentX)
{
    Papyrer pdf;
    pdf.CurrentX(50);
    pdf.CurrentY(60);
    pdf.NewPage();
    EXPECT_EQ(pdf.Page(), 2);
    EXPECT_EQ(pdf.CurrentX(), 0.0f);
    EXPECT_EQ(pdf.CurrentY(), 60.0f);
    pdf.NewPage();
    EXPECT_EQ(pdf.Page(), 3);
    pdf.KillDoc();
    EXPECT_EQ(pdf.Page(), 1);
    // KillDoc discards nothing: the three pages are still there.
    EXPECT_NO_THROW(pdf.GenerateContents(2));
    EXPECT_THROW(pdf.GenerateContents(3), std::out_of_range);
}

TEST(PapyrerPages, PageCountAbove32767FailsAndStartsNoPage)
{
    Papyrer pdf;
    for (int i = 1; i < 32767; ++i)
        pdf.NewPage();
    ASSERT_EQ(pdf.Page(), 32767);
    pdf.CurrentX(5);
    EXPECT_THROW(pdf.NewPage(), PapyrOverflowError);
    EXPECT_EQ(pdf.Page(), 32767);
    EXPECT_EQ(pdf.CurrentX(), 5.0f);
    EXPECT_NO_THROW(pdf.GenerateContents(32766));
    EXPECT_THROW(pdf.GenerateContents(32767), std::out_of_range);
    // After KillDoc the counter starts again and pages can be added.
    pdf.KillDoc();
    EXPECT_NO_THROW(pdf.NewPage());
    EXPECT_EQ(pdf.Page(), 2);
}

// --- Font registry, seen through the font objects it generates.

std::string baseFontOf(Papyrer &pdf, int index)
{
    const std::string font = pdf.GenerateFont(index);
    const size_t at = font.find("/BaseFont /");
    return font.substr(at + 11, font.find("\r\n", at) - at - 11);
}

TEST(PapyrerFonts, NewObjectHasOnlyArialAsF1Object4)
{
    Papyrer pdf;
    EXPECT_EQ(pdf.GenerateFont(0),
              "4 0 obj\r\n<<\r\n/Type /Font\r\n/Subtype /TrueType\r\n/Name /F1\r\n"
              "/BaseFont /Arial\r\n/Encoding /WinAnsiEncoding\r\n>>\r\nendobj\r\n\r\n");
    EXPECT_THROW(pdf.GenerateFont(1), std::out_of_range);
    EXPECT_THROW(pdf.GenerateFont(-1), std::out_of_range);
}

TEST(PapyrerFonts, BaseFontFollowsNameBoldAndItalic)
{
    struct Row {
        const char *name;
        bool bold;
        bool italic;
        const char *base;
    } rows[] = {
        {"Courier", true, false, "Courier-Bold"},
        {"Courier", false, true, "Courier-Oblique"},
        {"Courier", true, true, "Courier-BoldOblique"},
        {"courier", true, false, "courier-Bold"},
        {"HELVETICA", false, true, "HELVETICA-Oblique"},
        {"Helvetica", false, false, "Helvetica"},
        {"times-roman", true, false, "Times-Bold"},
        {"Times-Roman", false, true, "Times-Italic"},
        {"TIMES-ROMAN", true, true, "Times-BoldItalic"},
        {"Times-Roman", false, false, "Times-Roman"},
        {"arial", true, false, "Arial,Bold"},
        {"Arial", false, true, "Arial,Italic"},
        {"ARIAL", true, true, "Arial,BoldItalic"},
        {"Verdana", true, false, "Verdana"},
        {"Verdana", true, true, "Verdana"},
    };
    for (const Row &row : rows) {
        Papyrer pdf;
        pdf.FontName(row.name);
        pdf.FontBold(row.bold);
        pdf.FontItalic(row.italic);
        pdf.PrintText("x");
        const std::string text = pdf.GenerateText(0);
        const size_t at = text.find("BT\r\n/F");
        const int index = std::stoi(text.substr(at + 6)) - 1;
        EXPECT_EQ(baseFontOf(pdf, index), row.base) << row.name << " bold " << row.bold << " italic " << row.italic;
    }
}

TEST(PapyrerFonts, KnownBaseFontIsFoundWithoutRegardToCase)
{
    Papyrer pdf;
    pdf.FontBold(true);            // Arial,Bold: F2, object 8
    pdf.FontName("Courier");       // Courier-Bold: F3, object 9
    pdf.FontName("courier");       // courier-Bold is Courier-Bold
    pdf.FontName("COURIER");
    EXPECT_EQ(baseFontOf(pdf, 1), "Arial,Bold");
    EXPECT_EQ(baseFontOf(pdf, 2), "Courier-Bold");
    EXPECT_NE(pdf.GenerateFont(2).find("9 0 obj\r\n"), std::string::npos);
    EXPECT_NE(pdf.GenerateFont(2).find("/Name /F3\r\n"), std::string::npos);
    EXPECT_THROW(pdf.GenerateFont(3), std::out_of_range);
    pdf.FontBold(false);
    pdf.FontName("arial");         // found as F1
    EXPECT_THROW(pdf.GenerateFont(4), std::out_of_range);
    pdf.PrintText("x");
    EXPECT_NE(pdf.GenerateText(0).find("/F1 12 Tf"), std::string::npos);
}

TEST(PapyrerFonts, BaseFontNameCannotBreakTheFontDictionary)
{
    struct Row {
        const char *name;
        const char *written;
    } rows[] = {
        {"Courier New", "CourierNew"},
        {"Times New Roman", "TimesNewRoman"},
        {"Pärnu", "P#E4rnu"},
        {"Per#cent", "Per#23cent"},
        {"Del\x7F", "Del#7F"},
        {"Bell\x07", "Bell#07"},
    };
    for (const Row &row : rows) {
        Papyrer pdf;
        pdf.FontName(row.name);
        EXPECT_EQ(baseFontOf(pdf, 1), row.written) << row.name;
        EXPECT_EQ(pdf.FontName(), row.name);
    }
}

// PDF 1.0 has no #xx escape, and no name of any version may hold white space
// or a delimiter: such bytes are left out, as blanks are, instead of being
// written as escapes a PDF-1.0 reader would take literally.
TEST(PapyrerFonts, DelimitersAndWhiteSpaceInFontNameAreLeftOutNotEscaped)
{
    struct Row {
        const char *name;
        const char *written;
    } rows[] = {
        {"My(Font)/x", "MyFontx"},
        {"Per%cent", "Percent"},
        {"<a>[b]{c}", "abc"},
        {"Tab\tLine\nFeed\fReturn\r", "TabLineFeedReturn"},
    };
    for (const Row &row : rows) {
        Papyrer pdf;
        pdf.FontName(row.name);
        EXPECT_EQ(baseFontOf(pdf, 1), row.written) << row.name;
        EXPECT_EQ(pdf.FontName(), row.name);
    }
}

TEST(PapyrerFonts, FontNamesDifferingOnlyInBlanksShareOneFontObject)
{
    Papyrer pdf;
    pdf.FontName("Courier New");   // F2, object 8
    pdf.PrintText("a");
    pdf.FontName("CourierNew");
    pdf.PrintText("b");
    pdf.FontName("Courier  New ");
    pdf.PrintText("c");
    pdf.FontName("Courier(New)");  // a delimiter, left out as well
    pdf.PrintText("d");
    EXPECT_EQ(baseFontOf(pdf, 1), "CourierNew");
    EXPECT_THROW(pdf.GenerateFont(2), std::out_of_range) << "a second CourierNew font object";
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(pdf.GenerateText(i).find("/F2 12 Tf"), std::string::npos) << i;
    EXPECT_EQ(pdf.FontName(), "Courier(New)");
}

} // namespace
