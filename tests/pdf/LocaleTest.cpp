// The file and the measures do not follow LC_NUMERIC: a document made under a
// comma-decimal locale is byte for byte the one made under "C".
#include "Papyrer.h"
#include "PdfTestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

using namespace papyrtest;

namespace {

// Switches LC_NUMERIC to a locale with a decimal comma: one the system has,
// or one compiled with localedef into a private folder named by LOCPATH.
// Restores "C" when it goes.
class CommaLocale {
public:
    explicit CommaLocale(const TempDir &dir)
    {
        for (const char *name : {"de_DE.UTF-8", "fr_FR.UTF-8", "et_EE.UTF-8"}) {
            if (std::setlocale(LC_NUMERIC, name) && isComma())
                return;
        }
        const std::string compiled = dir.file("de_DE.UTF-8");
        const CommandResult made =
            runCommand("localedef -i de_DE -f UTF-8 '" + compiled + "'");
        if (fileExists(compiled + "/LC_NUMERIC")) {
            ::setenv("LOCPATH", dir.path().c_str(), 1);
            if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && isComma())
                return;
        }
        m_reason = "no comma-decimal locale available and localedef failed: " + made.output;
        std::setlocale(LC_NUMERIC, "C");
    }
    ~CommaLocale()
    {
        std::setlocale(LC_NUMERIC, "C");
        ::unsetenv("LOCPATH");
    }
    bool active() const { return m_reason.empty(); }
    const std::string &reason() const { return m_reason; }

private:
    static bool isComma()
    {
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", 0.5);
        return std::string(text) == "0,5";
    }
    std::string m_reason;
};

// A document with every kind of number the file holds: fractional positions
// in millimetres, colour fractions, sizes, several pages and fonts.
std::string makeDocument(const std::string &path, float *width)
{
    Papyrer pdf;
    pdf.ScaleMode(6);
    pdf.FontSize(9.5f);
    for (int page = 0; page < 3; ++page) {
        pdf.ForeColor(0x707070 + page);
        pdf.DrawStyle(static_cast<int16_t>(page));
        for (int row = 0; row < 5; ++row) {
            pdf.CurrentX(27.25f + static_cast<float>(row) * 0.1f);
            pdf.CurrentY(25.5f + static_cast<float>(row) * 5.3f);
            pdf.PrintText("Summa 12,50 / 0.75 õš");
            pdf.DrawLine(27, 30.7f + static_cast<float>(row), 200.5f, 30.7f + static_cast<float>(row));
        }
        pdf.FontBold(page % 2 == 0);
        pdf.NewPage();
    }
    *width = pdf.TextWidth("Summa 12,50") + pdf.TextHeight("x");
    pdf.FileName(path);
    EXPECT_EQ(pdf.EndDoc(), "");
    return readFile(path);
}

TEST(PapyrerLocale, FileAndMeasuresIgnoreACommaDecimalLocale)
{
    TempDir dir;
    float widthC = 0;
    const std::string inC = makeDocument(dir.file("c.pdf"), &widthC);
    ASSERT_EQ(checkXref(inC), "");

    CommaLocale comma(dir);
    if (!comma.active())
        GTEST_SKIP() << comma.reason();
    float widthComma = 0;
    const std::string inComma = makeDocument(dir.file("comma.pdf"), &widthComma);
    EXPECT_EQ(inComma, inC);
    EXPECT_EQ(widthComma, widthC);
    EXPECT_NE(inComma.find("0.439 0.439 0.443 rg"), std::string::npos);
    const CommandResult check = qpdfCheck(dir.file("comma.pdf"));
    EXPECT_EQ(check.exitStatus, 0) << check.output;
}

} // namespace
