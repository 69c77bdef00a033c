// The written file: layout, object numbering with its unused numbers, the
// cross-reference table, content-stream caches, colour operands, escaping,
// the Windows-1252 text, and file errors. Every file written here must pass
// qpdf --check and have a cross-reference table that points at its objects.
#include "Papyrer.h"
#include "PdfTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <cctype>
#include <csignal>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <set>
#include <vector>

using namespace papyrtest;

namespace {

Papyrer inPoints()
{
    Papyrer pdf;
    pdf.ScaleMode(2);
    return pdf;
}

std::string bodyOf(const std::string &file, int number)
{
    std::string problem;
    std::string body = streamBody(file, number, &problem);
    EXPECT_EQ(problem, "");
    return body;
}

// The names in a folder, "." and ".." left out.
std::set<std::string> namesIn(const std::string &folder)
{
    std::set<std::string> names;
    if (DIR *dir = ::opendir(folder.c_str())) {
        while (const dirent *entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.insert(name);
        }
        ::closedir(dir);
    }
    return names;
}

// While it lives, no file of this process may grow past `bytes`: a write
// beyond fails with EFBIG (the signal that would come with it is ignored),
// as on a full disk, for root too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_active = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool active() const { return m_active; }

private:
    rlimit m_old {};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};

// A document of about 20 kB.
void fillPages(Papyrer &pdf)
{
    for (int i = 0; i < 400; ++i)
        pdf.PrintText("A line of the report " + std::to_string(i));
}

TEST(PapyrerFile, NewObjectWritesOneEmptyPageAndTheArialFont)
{
    TempDir dir;
    Papyrer pdf;
    XrefTable xref;
    const std::string file = writeAndCheck(pdf, dir.file("fresh.pdf"), &xref);
    EXPECT_EQ(file.rfind("%PDF-1.0\r\n1 0 obj\r\n<<\r\n/Type /Catalog\r\n/Pages 3 0 R\r\n/Outlines 2 0 R\r\n"
                         ">>\r\nendobj\r\n\r\n2 0 obj\r\n<<\r\n/Type /Outlines\r\n/Count 0\r\n>>\r\nendobj\r\n\r\n"
                         "3 0 obj\r\n<<\r\n/Type /Pages\r\n/Count 1\r\n/Kids [6 0 R]\r\n>>\r\nendobj\r\n\r\n"
                         "6 0 obj\r\n<<\r\n/Type /Page\r\n/Parent 3 0 R\r\n"
                         "/Resources << /Font << /F1 4 0 R >> /ProcSet 5 0 R\r\n>>\r\n"
                         "/MediaBox [0 0 612 792]\r\n/Contents 7 0 R\r\n>>\r\nendobj\r\n\r\n"
                         "7 0 obj\r\n<< /Length 0 >>\r\nstream\r\nendstream\r\nendobj\r\n\r\n"
                         "5 0 obj\r\n[/PDF /Text]\r\nendobj\r\n\r\n"
                         "4 0 obj\r\n<<\r\n/Type /Font\r\n/Subtype /TrueType\r\n/Name /F1\r\n/BaseFont /Arial\r\n"
                         "/Encoding /WinAnsiEncoding\r\n>>\r\nendobj\r\n\r\nxref\r\n0 8\r\n", 0),
              0u);
    EXPECT_EQ(xref.fileOrder, (std::vector<int>{1, 2, 3, 6, 7, 5, 4}));
    EXPECT_EQ(xref.freeNumbers, (std::set<int>{0}));
    EXPECT_EQ(xref.size, 8);
    const size_t xrefAt = file.find("xref\r\n0 8\r\n");
    EXPECT_EQ(file.substr(xrefAt + 11, 40), "0000000000 65535 f\r\n0000000010 00000 n\r\n");
    EXPECT_EQ(file.substr(file.find("trailer\r\n")),
              "trailer\r\n<<\r\n/Size 8\r\n/Root 1 0 R\r\n>>\r\nstartxref\r\n" + std::to_string(xrefAt) + "\r\n%%EOF");
    EXPECT_EQ(file.substr(file.size() - 7), "\r\n%%EOF") << "no line end after %%EOF";
}

TEST(PapyrerFile, HelloWritesTheDocumentedContentStream)
{
    TempDir dir;
    Papyrer pdf = inPoints();
    pdf.CurrentX(72);
    pdf.CurrentY(72);
    pdf.PrintText("Hello");
    const std::string file = writeAndCheck(pdf, dir.file("hello.pdf"));
    // 72 + 13.40625 = 85.41 below the top: 792 - 85.41 = 706.59 -> 707.
    const std::string body = "0.000 0.000 0.000 rg\r\nBT\r\n/F1 12 Tf\r\n72 707 Td (Hello) Tj\r\nET\r\n";
    EXPECT_NE(file.find("7 0 obj\r\n<< /Length 63 >>\r\nstream\r\n" + body + "endstream\r\n"), std::string::npos);
    EXPECT_EQ(pdf.GenerateContents(0), "7 0 obj\r\n<< /Length 63 >>\r\nstream\r\n" + body + "endstream\r\nendobj\r\n\r\n");
    EXPECT_EQ(pdfToText(dir.file("hello.pdf")).substr(0, 6), "Hello\n");
}

struct NumberingCase {
    const char *name;
    std::function<void(Papyrer &)> build;
    std::vector<int> fileOrder;
    std::set<int> freeNumbers;
    int size;
    const char *kids;
};

TEST(PapyrerFile, ObjectNumbersPassOverOneNumberPerLaterPage)
{
    const NumberingCase cases[] = {
        {"one page", [](Papyrer &) {}, {1, 2, 3, 6, 7, 5, 4}, {0}, 8, "[6 0 R]"},
        {"second page at once", [](Papyrer &p) { p.NewPage(); },
         {1, 2, 3, 6, 9, 7, 10, 5, 4}, {0, 8}, 11, "[6 0 R 9 0 R]"},
        {"font before the second page", [](Papyrer &p) { p.FontBold(true); p.PrintText("b"); p.NewPage(); },
         {1, 2, 3, 6, 10, 7, 11, 5, 4, 8}, {0, 9}, 12, "[6 0 R 10 0 R]"},
        {"font after the second page", [](Papyrer &p) { p.NewPage(); p.FontName("Courier"); p.PrintText("c"); },
         {1, 2, 3, 6, 9, 7, 10, 5, 4, 11}, {0, 8}, 12, "[6 0 R 9 0 R]"},
        {"fonts on both sides of two new pages",
         [](Papyrer &p) { p.FontItalic(true); p.NewPage(); p.NewPage(); p.FontName("Times-Roman"); },
         {1, 2, 3, 6, 10, 13, 7, 11, 14, 5, 4, 8, 15}, {0, 9, 12}, 16, "[6 0 R 10 0 R 13 0 R]"},
    };
    for (const NumberingCase &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        Papyrer pdf;
        c.build(pdf);
        XrefTable xref;
        const std::string file = writeAndCheck(pdf, dir.file("numbers.pdf"), &xref);
        EXPECT_EQ(xref.fileOrder, c.fileOrder);
        EXPECT_EQ(xref.freeNumbers, c.freeNumbers);
        EXPECT_EQ(xref.size, c.size);
        EXPECT_NE(file.find(std::string("/Kids ") + c.kids + "\r\n"), std::string::npos);
        // Every page lists every font: all pages share one resources line.
        const size_t pages = countOf(c.kids, " 0 R");
        EXPECT_EQ(countOf(file, "/Type /Page\r\n"), pages);
        const size_t line = file.find("/Resources << ");
        const std::string resources = file.substr(line, file.find("\r\n", line) - line);
        EXPECT_EQ(countOf(file, resources), pages) << resources;
        EXPECT_EQ(countOf(resources, " 0 R "), c.fileOrder.size() - 4 - 2 * pages) << resources;
    }
}

TEST(PapyrerFile, CachesStartEmptyOnEveryPage)
{
    TempDir dir;
    Papyrer onePage = inPoints();
    for (int i = 0; i < 2; ++i) {
        onePage.PrintText("same colour");
        onePage.DrawLine(0, 100, 50, 100);
    }
    const std::string one = writeAndCheck(onePage, dir.file("one.pdf"));
    EXPECT_EQ(countOf(bodyOf(one, 7), " rg\r\n"), 1u);
    EXPECT_EQ(countOf(bodyOf(one, 7), " RG\r\n"), 1u);
    EXPECT_EQ(countOf(bodyOf(one, 7), "[]0 d\r\n"), 1u);

    Papyrer twoPages = inPoints();
    twoPages.PrintText("same colour");
    twoPages.DrawLine(0, 100, 50, 100);
    twoPages.NewPage();
    twoPages.PrintText("same colour");
    twoPages.DrawLine(0, 100, 50, 100);
    const std::string two = writeAndCheck(twoPages, dir.file("two.pdf"));
    for (int stream : {7, 10}) {
        EXPECT_EQ(countOf(bodyOf(two, stream), "0.000 0.000 0.000 rg\r\n"), 1u) << stream;
        EXPECT_EQ(countOf(bodyOf(two, stream), "0.000 0.000 0.000 RG\r\n"), 1u) << stream;
        EXPECT_EQ(countOf(bodyOf(two, stream), "[]0 d\r\n"), 1u) << stream;
    }
    // Writing again starts from empty caches too: the same bytes.
    EXPECT_EQ(writeAndCheck(twoPages, dir.file("again.pdf")), two);
}

TEST(PapyrerFile, ColourAndDashAreWrittenOnlyWhenTheyChange)
{
    TempDir dir;
    Papyrer pdf = inPoints();
    pdf.DrawStyle(2);
    pdf.DrawLine(0, 10, 10, 10);
    pdf.DrawLine(0, 20, 10, 20);    // same dash: nothing
    pdf.DrawStyle(3);
    pdf.DrawLine(0, 30, 10, 30);    // another non-zero style: written again
    pdf.DrawStyle(0);
    pdf.DrawLine(0, 40, 10, 40);
    pdf.ForeColor(255);
    pdf.PrintText("blue");
    pdf.DrawLine(0, 50, 10, 50);
    pdf.PrintText("blue again");
    const std::string file = writeAndCheck(pdf, dir.file("dash.pdf"));
    EXPECT_EQ(bodyOf(file, 7),
              "0.000 0.000 0.000 RG\r\n[1 5]0 d\r\n0 782 m\r\n10 782 l\r\nS\r\n"
              "0 772 m\r\n10 772 l\r\nS\r\n"
              "[1 5]0 d\r\n0 762 m\r\n10 762 l\r\nS\r\n"
              "[]0 d\r\n0 752 m\r\n10 752 l\r\nS\r\n"
              "0.000 0.000 1.000 rg\r\nBT\r\n/F1 12 Tf\r\n0 779 Td (blue) Tj\r\nET\r\n"
              "0.000 0.000 1.000 RG\r\n0 742 m\r\n10 742 l\r\nS\r\n"
              "BT\r\n/F1 12 Tf\r\n0 765 Td (blue again) Tj\r\nET\r\n");   // one line lower
}

TEST(PapyrerFile, ColourOperandsAreBytesOverTwoFiftyFiveWithThreeDecimals)
{
    struct Row {
        int32_t colour;
        const char *operands;
    } rows[] = {
        {0, "0.000 0.000 0.000"},
        {255, "0.000 0.000 1.000"},
        {0x707070, "0.439 0.439 0.439"},
        {0x800000, "0.502 0.000 0.000"},
        {0x010203, "0.004 0.008 0.012"},
        {0xFFFFFF, "1.000 1.000 1.000"},
        {-1, "1.000 1.000 1.000"},            // the first text still sets it
        {static_cast<int32_t>(0x80123456), "0.071 0.204 0.337"},   // the high byte is ignored
    };
    for (const Row &row : rows) {
        Papyrer pdf;
        pdf.ForeColor(row.colour);
        pdf.PrintText("t");
        pdf.DrawLine(0, 0, 1, 1);
        const std::string body = pdf.GenerateContents(0);
        EXPECT_NE(body.find(std::string("stream\r\n") + row.operands + " rg\r\nBT"), std::string::npos) << row.colour;
        EXPECT_NE(body.find(std::string("ET\r\n") + row.operands + " RG\r\n"), std::string::npos) << row.colour;
    }
}

TEST(PapyrerFile, EveryColourByteIsWithinHalfAThousandth)
{
    for (int b = 0; b < 256; ++b) {
        Papyrer pdf;
        pdf.ForeColor(b << 16);
        pdf.PrintText("t");
        const std::string ops = pdf.GenerateText(0);
        const bool shaped = (ops[0] == '0' || ops[0] == '1') && ops[1] == '.' && std::isdigit(static_cast<unsigned char>(ops[2])) &&
                            std::isdigit(static_cast<unsigned char>(ops[3])) && std::isdigit(static_cast<unsigned char>(ops[4])) &&
                            ops.compare(5, 17, " 0.000 0.000 rg\r\n") == 0;
        ASSERT_TRUE(shaped) << ops;
        EXPECT_NEAR(std::stod(ops.substr(0, 5)), b / 255.0, 0.0005) << b;
    }
}

TEST(PapyrerFile, TextStringsAreEscapedOnlyWhereTheyWouldBreak)
{
    struct Row {
        const char *text;
        const char *literal;
    } rows[] = {
        {"(a)", "(a)"},
        {"Kood: (12)", "Kood: (12)"},
        {"a\\b", "a\\\\b"},
        {"(", "\\("},
        {")", "\\)"},
        {")(", "\\)\\("},
        {"((a)", "\\((a)"},
        {"(a))", "(a)\\)"},
        {"x)y(z", "x\\)y\\(z"},
        {"(\\)", "(\\\\)"},
        {"a\rb", "a\\rb"},
        {") Tj ET BT /F1 99 Tf (", "\\) Tj ET BT /F1 99 Tf \\("},
    };
    TempDir dir;
    Papyrer all = inPoints();
    for (const Row &row : rows) {
        Papyrer pdf;
        pdf.PrintText(row.text);
        EXPECT_NE(pdf.GenerateText(0).find(std::string(" Td (") + row.literal + ") Tj\r\n"), std::string::npos)
            << row.text << " -> " << pdf.GenerateText(0);
        all.PrintText(row.text);
    }
    const std::string file = writeAndCheck(all, dir.file("escaped.pdf"));
    // /Length counts the escaped bytes (checked by streamBody), and no
    // injected operator reached the stream.
    EXPECT_EQ(countOf(bodyOf(file, 7), " Tf\r\n"), std::size(rows));
    EXPECT_EQ(countOf(bodyOf(file, 7), "BT\r\n"), std::size(rows));
    const std::string text = pdfToText(dir.file("escaped.pdf"));
    for (const Row &row : rows) {
        if (std::strchr(row.text, '\r') == nullptr) {
            EXPECT_NE(text.find(row.text), std::string::npos) << row.text << " not in:\n" << text;
        }
    }
}

TEST(PapyrerFile, TextsAreWrittenAsWindows1252)
{
    struct Row {
        const char *utf8;
        const char *bytes;
    } rows[] = {
        {"õäöüšž", "\xF5\xE4\xF6\xFC\x9A\x9E"},
        {"ÕÄÖÜŠŽ", "\xD5\xC4\xD6\xDC\x8A\x8E"},
        {"Tühistamine", "T\xFChistamine"},
        {"€ – “x” …", "\x80 \x96 \x93x\x94 \x85"},
        {"Ω≈ж", "???"},                       // no Windows-1252 byte
        {"\xC2\x81\xC2\x9D", "??"},           // C1 controls and unassigned codes
        {"😀", "?"},
        {"a\xC3", "a?"},                      // truncated sequence
        {"\xE2\x82" "A", "??A"},              // broken sequence, next byte kept
        {"\xC0\xAF", "??"},                   // overlong "/"
        {"\xED\xA0\x80", "???"},              // surrogate
        {"\xFF", "?"},
    };
    for (const Row &row : rows) {
        Papyrer pdf;
        pdf.PrintText(row.utf8);
        EXPECT_NE(pdf.GenerateText(0).find(std::string(" Td (") + row.bytes + ") Tj"), std::string::npos) << row.utf8;
    }
}

TEST(PapyrerFile, EstonianTextComesBackFromTheFile)
{
    const char *texts[] = {
        "Maksetehingute aruanne",
        "õ ä ö ü š ž Õ Ä Ö Ü Š Ž",
        "E - Jootraha lisatud, T - Tühistamine, B - Broneering",
        "Tundmatu väljaandja",
        "Summa kokku: 1 234,56 €",
    };
    TempDir dir;
    Papyrer pdf;
    pdf.ScaleMode(6);
    float y = 10;
    for (const char *text : texts) {
        pdf.CurrentX(27);
        pdf.CurrentY(y);
        pdf.PrintText(text);
        y += 10;
        pdf.FontBold(!pdf.FontBold());
    }
    pdf.NewPage();
    pdf.FontName("Times-Roman");
    pdf.CurrentY(20);
    pdf.PrintText("Teine lehekülg: šokolaad");
    writeAndCheck(pdf, dir.file("eesti.pdf"));
    const std::string text = pdfToText(dir.file("eesti.pdf"));
    for (const char *expected : texts)
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " not in:\n" << text;
    EXPECT_NE(text.find("Teine lehekülg: šokolaad"), std::string::npos) << text;
}

TEST(PapyrerFile, GeneratedPiecesAreTheBytesOfTheFile)
{
    TempDir dir;
    Papyrer pdf = inPoints();
    pdf.ForeColor(0x707070);
    pdf.PrintText("one");
    pdf.FontName("Courier");
    pdf.NewPage();
    pdf.DrawLine(1, 2, 3, 4);
    const std::string file = writeAndCheck(pdf, dir.file("pieces.pdf"));
    EXPECT_EQ(pdf.GenerateProcSet(), "5 0 obj\r\n[/PDF /Text]\r\nendobj\r\n\r\n");
    for (int i = 0; i < 2; ++i) {
        EXPECT_NE(file.find(pdf.GenerateContents(i)), std::string::npos) << i;
        EXPECT_NE(file.find(pdf.GenerateFont(i)), std::string::npos) << i;
    }
    EXPECT_THROW(pdf.GenerateContents(2), std::out_of_range);
    EXPECT_THROW(pdf.GenerateText(1), std::out_of_range);
    EXPECT_THROW(pdf.GenerateText(-1), std::out_of_range);
}

TEST(PapyrerFile, SecondEndDocWritesTheSameDocumentPlusAdditions)
{
    TempDir dir;
    Papyrer pdf = inPoints();
    pdf.PrintText("first");
    pdf.NewPage();
    EXPECT_EQ(pdf.Page(), 2);
    const std::string first = writeAndCheck(pdf, dir.file("a.pdf"));
    EXPECT_EQ(pdf.Page(), 1);
    EXPECT_EQ(writeAndCheck(pdf, dir.file("b.pdf")), first);
    pdf.PrintText("second");
    const std::string third = writeAndCheck(pdf, dir.file("c.pdf"));
    const std::string text = pdfToText(dir.file("c.pdf"));
    EXPECT_NE(text.find("first"), std::string::npos);
    EXPECT_NE(text.find("second"), std::string::npos);
    EXPECT_NE(third, first);
}

TEST(PapyrerFile, OffsetsHoldAcrossAFileWrittenInManyPieces)
{
    // About 1.3 MB: the file goes out in several writes, and offsets past
    // the first piece must count the bytes already written.
    TempDir dir;
    Papyrer pdf = inPoints();
    pdf.FontName("Helvetica");
    pdf.FontSize(9);
    for (int page = 0; page < 250; ++page) {
        if (page != 0)
            pdf.NewPage();
        if (page == 120)
            pdf.FontBold(true);   // a font object number from the middle
        for (int row = 0; row < 60; ++row) {
            pdf.CurrentX(36);
            pdf.CurrentY(36 + row * 12.0f);
            pdf.PrintText("Page " + std::to_string(page) + " row " + std::to_string(row));
            pdf.DrawLine(36, 47 + row * 12.0f, 576, 47 + row * 12.0f);
        }
    }
    XrefTable xref;
    const std::string file = writeAndCheck(pdf, dir.file("large.pdf"), &xref);
    EXPECT_GT(file.size(), 1'000'000u);
    // Counter 5, first page +3, Helvetica +1, 249 pages +3 each, the bold
    // font +1. Free: 0 and the number each later page passed over (the
    // fonts were taken at fresh numbers, none filled a passed-over one).
    EXPECT_EQ(xref.size, 5 + 3 + 1 + 249 * 3 + 1);
    EXPECT_EQ(xref.freeNumbers.size(), 1u + 249u);
    const std::string text = pdfToText(dir.file("large.pdf"));
    EXPECT_NE(text.find("Page 0 row 0\n"), std::string::npos);
    EXPECT_NE(text.find("Page 249 row 59\n"), std::string::npos);
}

TEST(PapyrerFile, ExistingFileIsReplacedNotOverwrittenInPlace)
{
    TempDir dir;
    const std::string path = dir.file("old.pdf");
    writeFile(path, std::string(100000, '~'));
    Papyrer pdf;
    const std::string file = writeAndCheck(pdf, path);
    EXPECT_LT(file.size(), 100000u);
    EXPECT_EQ(file.find('~'), std::string::npos);
}

TEST(PapyrerFile, FontNamesWithDelimitersGiveASoundFileWithOneFontPerName)
{
    TempDir dir;
    Papyrer pdf = inPoints();
    for (const char *name : {"My (Font)/1", "MyFont1", "Hash#Font", "P\xC3\xA4rnu Sans"}) {
        pdf.FontName(name);
        pdf.PrintText(std::string("in ") + name);
    }
    const std::string file = writeAndCheck(pdf, dir.file("fonts.pdf"));
    EXPECT_EQ(countOf(file, "/BaseFont /MyFont1\r\n"), 1u);
    EXPECT_EQ(countOf(file, "/BaseFont /Hash#23Font\r\n"), 1u);
    EXPECT_EQ(countOf(file, "/BaseFont /P#E4rnuSans\r\n"), 1u);
    EXPECT_EQ(countOf(file, "/Type /Font\r\n"), 4u);   // Arial and the three
    const CommandResult fonts = runCommand("pdffonts '" + dir.file("fonts.pdf") + "'");
    EXPECT_EQ(fonts.exitStatus, 0) << fonts.output;
    EXPECT_NE(fonts.output.find("MyFont1 "), std::string::npos) << fonts.output;
    EXPECT_NE(fonts.output.find("Hash#Font "), std::string::npos) << fonts.output;
}

TEST(PapyrerFile, NoTemporaryFileStaysBesideTheWrittenFile)
{
    TempDir dir;
    writeFile(dir.file("Report.pdf"), "old");
    Papyrer pdf;
    fillPages(pdf);
    writeAndCheck(pdf, dir.file("Report.pdf"));
    writeAndCheck(pdf, dir.file("Report.pdf"));
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"Report.pdf"});
}

TEST(PapyrerFile, SymbolicLinkIsReplacedAndItsTargetKept)
{
    TempDir dir;
    writeFile(dir.file("target.pdf"), "target");
    ASSERT_EQ(::symlink(dir.file("target.pdf").c_str(), dir.file("Report.pdf").c_str()), 0);
    Papyrer pdf;
    writeAndCheck(pdf, dir.file("Report.pdf"));
    struct stat st {};
    ASSERT_EQ(::lstat(dir.file("Report.pdf").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(readFile(dir.file("target.pdf")), "target");
}

TEST(PapyrerFileErrors, FailedWriteLeavesTheOldFileAsItWas)
{
    TempDir dir;
    const std::string path = dir.file("Report.pdf");
    Papyrer old = inPoints();
    old.PrintText("the report of yesterday");
    const std::string oldFile = writeAndCheck(old, path);

    Papyrer pdf;
    fillPages(pdf);
    pdf.FileName(path);
    std::string result;
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.active());
        result = pdf.EndDoc();
    }
    EXPECT_EQ(result, std::to_string(EFBIG) + " - " + std::strerror(EFBIG));
    EXPECT_EQ(readFile(path), oldFile) << "the old file was damaged or removed";
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"Report.pdf"}) << "the part written stayed behind";
    EXPECT_EQ(pdf.Page(), 1);
}

TEST(PapyrerFileErrors, FolderThatTakesNoNewFileWritesTheOldFileInPlace)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may create files in any folder";
    TempDir dir;
    const std::string folder = dir.file("locked");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const std::string path = folder + "/Report.pdf";
    writeFile(path, "old");
    ASSERT_EQ(::chmod(folder.c_str(), 0500), 0);
    Papyrer pdf;
    const std::string file = writeAndCheck(pdf, path);
    EXPECT_EQ(file.rfind("%PDF-1.0", 0), 0u);
    ::chmod(folder.c_str(), 0700);
    EXPECT_EQ(namesIn(folder), std::set<std::string>{"Report.pdf"});
}

TEST(PapyrerFileErrors, EndDocReportsNumberAndDescriptionAndLeavesNoFile)
{
    TempDir dir;
    struct Row {
        const char *name;
        std::string path;
        int error;
    } rows[] = {
        {"folder does not exist", dir.file("missing/Report.pdf"), ENOENT},
        {"path is a folder", dir.path(), EISDIR},
        {"empty path", "", ENOENT},
    };
    for (const Row &row : rows) {
        Papyrer pdf;
        pdf.PrintText("lost");
        pdf.NewPage();
        pdf.FileName(row.path);
        std::string result;
        EXPECT_NO_THROW(result = pdf.EndDoc()) << row.name;
        EXPECT_EQ(result, std::to_string(row.error) + " - " + std::strerror(row.error)) << row.name;
        EXPECT_EQ(pdf.Page(), 1) << row.name;
    }
    EXPECT_FALSE(fileExists(dir.file("missing")));
    EXPECT_TRUE(fileExists(dir.path())) << "a folder is never deleted";
}

TEST(PapyrerFileErrors, PipeWithoutReaderFailsInsteadOfHanging)
{
    TempDir dir;
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Papyrer pdf;
    pdf.FileName(fifo);
    EXPECT_EQ(pdf.EndDoc(), std::to_string(ENXIO) + " - " + std::strerror(ENXIO));
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0) << "the pipe was deleted";
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(PapyrerFileErrors, FailedWriteIsReportedAndTheDeviceIsNotDeleted)
{
    // A private node of the "full" device (1, 7): every write fails with
    // ENOSPC. Making one needs root.
    TempDir dir;
    const std::string full = dir.file("full");
    if (::mknod(full.c_str(), S_IFCHR | 0600, makedev(1, 7)) != 0)
        GTEST_SKIP() << "cannot create a device node here: " << std::strerror(errno);
    Papyrer pdf;
    pdf.PrintText("never stored");
    pdf.FileName(full);
    EXPECT_EQ(pdf.EndDoc(), std::to_string(ENOSPC) + " - " + std::strerror(ENOSPC));
    struct stat st {};
    ASSERT_EQ(::lstat(full.c_str(), &st), 0) << "the device node was deleted";
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

} // namespace
