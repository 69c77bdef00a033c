#include "ReportLikeDocument.h"

#include "Papyrer.h"

#include <hpdf.h>

#include <array>
#include <cstdio>
#include <sys/stat.h>

namespace papyrbench {

namespace {

constexpr float kLeft = 36;
constexpr float kRight = 576;
constexpr float kTop = 36;
constexpr float kRowStep = 12;
constexpr float kFontSize = 9;
constexpr float kPageHeight = 792;
// Baseline below the row's top, as Papyr places a 9 pt Helvetica line:
// 9 * (1854 + 434) / 2048.
constexpr float kLineHeight = 9.0f * 2288.0f / 2048.0f;

// The 60 row texts, 20 characters each, built once.
const std::array<std::string, kRowsPerPage> &rowTexts()
{
    static const std::array<std::string, kRowsPerPage> texts = [] {
        std::array<std::string, kRowsPerPage> t;
        for (int i = 0; i < kRowsPerPage; ++i) {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "Row %02d amount %4d.%02d", i, 100 + i * 7, i);
            t[static_cast<size_t>(i)] = buffer;
        }
        return t;
    }();
    return texts;
}

long long fileSize(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : 0;
}

void haruError(HPDF_STATUS error, HPDF_STATUS detail, void *)
{
    std::fprintf(stderr, "libharu error 0x%04X, detail %u\n", static_cast<unsigned>(error),
                 static_cast<unsigned>(detail));
}

} // namespace

long long writeWithPapyr(int pages, const std::string &path)
{
    const auto &texts = rowTexts();
    Papyrer pdf;
    pdf.ScaleMode(2);
    pdf.FontName("Helvetica");
    pdf.FontSize(kFontSize);
    for (int page = 0; page < pages; ++page) {
        if (page != 0)
            pdf.NewPage();
        for (int row = 0; row < kRowsPerPage; ++row) {
            const float y = kTop + static_cast<float>(row) * kRowStep;
            pdf.CurrentX(kLeft);
            pdf.CurrentY(y);
            pdf.PrintText(texts[static_cast<size_t>(row)]);
            pdf.DrawLine(kLeft, y + 11, kRight, y + 11);
        }
    }
    pdf.FileName(path);
    if (!pdf.EndDoc().empty())
        return 0;
    return fileSize(path);
}

long long writeWithLibharu(int pages, const std::string &path)
{
    const auto &texts = rowTexts();
    HPDF_Doc pdf = HPDF_New(haruError, nullptr);
    if (!pdf)
        return 0;
    HPDF_SetCompressionMode(pdf, HPDF_COMP_NONE);
    HPDF_Font font = HPDF_GetFont(pdf, "Helvetica", "WinAnsiEncoding");
    for (int page = 0; page < pages; ++page) {
        HPDF_Page p = HPDF_AddPage(pdf);
        HPDF_Page_SetWidth(p, 612);
        HPDF_Page_SetHeight(p, kPageHeight);
        for (int row = 0; row < kRowsPerPage; ++row) {
            const float y = kTop + static_cast<float>(row) * kRowStep;
            HPDF_Page_BeginText(p);
            HPDF_Page_SetFontAndSize(p, font, kFontSize);
            HPDF_Page_MoveTextPos(p, kLeft, kPageHeight - (y + kLineHeight));
            HPDF_Page_ShowText(p, texts[static_cast<size_t>(row)].c_str());
            HPDF_Page_EndText(p);
            HPDF_Page_MoveTo(p, kLeft, kPageHeight - (y + 11));
            HPDF_Page_LineTo(p, kRight, kPageHeight - (y + 11));
            HPDF_Page_Stroke(p);
        }
    }
    const HPDF_STATUS status = HPDF_SaveToFile(pdf, path.c_str());
    HPDF_Free(pdf);
    return status == HPDF_OK ? fileSize(path) : 0;
}

} // namespace papyrbench
