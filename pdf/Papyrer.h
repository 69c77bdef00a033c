// Papyrer: a PDF writer with the interface of a printer object.
//
// The caller "prints" through a current position (CurrentX, CurrentY), font
// properties, a scale mode, PrintText / PrintAnchorText, DrawLine, NewPage and
// EndDoc. Nothing is rendered while drawing: every call records one item on
// the current (last started) page, and EndDoc writes the whole recorded
// document as a PDF-1.0 file to FileName.
//
// Properties
//   Every property is read and written under one name: the getter is the
//   const overload without arguments, the setter the overload taking the
//   value, e.g. `double y = pdf.CurrentY(); pdf.CurrentY(y + 5);`. A write
//   outside a property's range is ignored silently and the old value stays
//   (the checks are listed with each setter). Read-only values have no setter.
//   Types follow the printer object: 16-bit values are int16_t, 32-bit values
//   int32_t, "single" values float, texts std::string holding UTF-8.
//
// Coordinates and units
//   Positions and extents are given in the unit of ScaleMode (default 1,
//   twips), with the origin at the top left of the page and y growing
//   downwards. Items are recorded in whole points (1/72 inch), origin at the
//   bottom left; values are rounded to the nearest whole point, halves to the
//   even neighbour. Points per unit (horizontal / vertical):
//     0 user (keeps the factors of the mode before it)   1 twip  0.05 / 0.05
//     2 point 1 / 1      3 pixel 0.24 / 0.24 (4.8 twips)   4 character 6 / 12
//     5 inch 72 / 72     6 millimetre 72/25.4              7 centimetre 72/2.54
//   Writing ScaleMode converts ScaleWidth and ScaleHeight from the old unit to
//   the new one; CurrentX and CurrentY keep their numbers.
//
// Text
//   Texts are UTF-8. They are written as Windows-1252 (the WinAnsiEncoding
//   every font declares); a character without a Windows-1252 byte, and each
//   byte of malformed UTF-8, becomes "?". The Estonian letters õ ä ö ü š ž
//   Õ Ä Ö Ü Š Ž all have bytes. In the file a text stands inside a PDF literal
//   string: backslashes and parentheses without a partner are escaped, CR is
//   written as \r, balanced parentheses are kept as they are.
//
// Fonts
//   The base font written for a text is derived from FontName, FontBold and
//   FontItalic (see FontName). The font list starts with F1 = "Arial"
//   (object 4); every base font not yet in the list (compared as written in
//   the file, without regard to ASCII case) is appended when FontName,
//   FontBold or FontItalic is written, taking the next object number.
//
// Measuring (TextWidth, TextHeight)
//   The metrics are built in; no installed font is consulted.
//   - Width: the sum of the advance widths of the text's Windows-1252 bytes
//     times FontSize / 1000, taken from Adobe's Core 14 font metrics. A
//     FontName starting with "times" (any case) measures with Times-Roman,
//     one starting with "courier" with Courier, every other name (Arial,
//     Helvetica, names we have no metrics for) with Helvetica. FontBold picks
//     the bold face.
//   - Height: one line, FontSize * (winAscent + winDescent) / unitsPerEm of
//     the metric-compatible Liberation fonts: Arial and Helvetica
//     (Liberation Sans) (1854 + 434) / 2048, Times (Liberation Serif)
//     (1825 + 443) / 2048, Courier (Liberation Mono) (1705 + 615) / 2048.
//     12 pt Arial is 13.40625 pt high. The text's content does not matter.
//   - FontItalic, FontUnderline, FontStrikethru and FontTransparent take no
//     part in measuring.
//   The line height is the distance by which PrintText advances CurrentY.
//
// Errors
//   - A recorded value that does not fit its width makes that call throw
//     PapyrOverflowError and record nothing (no item, no position change, no
//     page): a point coordinate outside -32768 ... 32767 (or not a finite
//     number), a rounded font size outside 0 ... 255, a page count above
//     32767, a page size outside 16 bits, or the 32-bit object counter or an
//     item list running out of numbers.
//   - EndDoc never throws. It returns "" on success, else
//     "<errno> - <strerror text>", e.g. "2 - No such file or directory".
//   - Generate...(Index) with an index outside its list throws
//     std::out_of_range.
//
// An object is not thread-safe; one object holds one document.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

// The library is built with hidden visibility; only what carries PAPYR_API is
// exported (the class, and the exception so that callers can catch it).
#define PAPYR_API __attribute__((visibility("default")))

// Thrown when a value to be recorded does not fit its width (see Errors).
class PAPYR_API PapyrOverflowError : public std::overflow_error {
public:
    using std::overflow_error::overflow_error;
    ~PapyrOverflowError() override;
};

// The font object of a printer. Papyrer holds none; the type is never defined.
class PapyrFont;

class PAPYR_API Papyrer {
public:
    // A new object holds one empty page of 612 x 792 points and the font F1
    // (Arial, object 4); the page is object 6, its content stream object 7.
    Papyrer();
    ~Papyrer();
    Papyrer(const Papyrer &) = delete;
    Papyrer &operator=(const Papyrer &) = delete;
    // A moved-from object may only be destroyed or assigned to.
    Papyrer(Papyrer &&) noexcept;
    Papyrer &operator=(Papyrer &&) noexcept;

    // --- Printer-style properties. Only CurrentX, CurrentY, ScaleMode, the
    // font properties, ForeColor, DrawStyle and FileName influence the file;
    // the others are kept and reported only.

    int16_t ColorMode() const;          // 2; stored only if 1 or 2
    void ColorMode(int16_t value);
    int16_t Copies() const;             // 1; any write stores 1
    void Copies(int16_t value);
    float CurrentX() const;             // 0; in the ScaleMode unit
    void CurrentX(float value);
    float CurrentY() const;             // 0; in the ScaleMode unit
    void CurrentY(float value);
    std::string DeviceName() const;     // "Kerlan PDF Printer"
    int16_t DrawMode() const;           // 13; stored only if 1 ... 16
    void DrawMode(int16_t value);
    // 0; stored only if 0 ... 6. Lines drawn with 0 are solid, with any
    // other style dotted ("[1 5]0 d").
    int16_t DrawStyle() const;
    void DrawStyle(int16_t value);
    int16_t DrawWidth() const;          // 1; stored only if above 0; not drawn
    void DrawWidth(int16_t value);
    std::string DriverName() const;     // "kerpdf"
    int16_t Duplex() const;             // 0; stored only if 1 ... 3
    void Duplex(int16_t value);
    int32_t FillColor() const;          // 0; stored
    void FillColor(int32_t value);
    int16_t FillStyle() const;          // 1; stored only if 0 ... 7
    void FillStyle(int16_t value);
    bool FontBold() const;              // false; then the font list is updated
    void FontBold(bool value);
    int16_t FontCount() const;          // 4
    bool FontItalic() const;            // false; then the font list is updated
    void FontItalic(bool value);
    bool FontStrikethru() const;        // false; stored
    void FontStrikethru(bool value);
    bool FontTransparent() const;       // true; stored
    void FontTransparent(bool value);
    bool FontUnderline() const;         // false; stored
    void FontUnderline(bool value);
    // 0. The colour of texts and lines: bits 16-23, 8-15 and 0-7 give the
    // three operands of "rg" / "RG" in that order, so 255 is written as
    // "0.000 0.000 1.000" and &H707070 as "0.439 0.439 0.439".
    int32_t ForeColor() const;
    void ForeColor(int32_t value);
    int32_t Height() const;             // 16838 twips; if above 0: stored, PaperSize = 256
    void Height(int32_t value);
    int16_t Orientation() const;        // 1; stored only if 1 or 2
    void Orientation(int16_t value);
    // 1. Counts NewPage calls since creation, KillDoc or EndDoc.
    int16_t Page() const;
    int16_t PaperBin() const;           // 15; stored only if 1 ... 14
    void PaperBin(int16_t value);
    int16_t PaperSize() const;          // 9; stored only if above 0
    void PaperSize(int16_t value);
    int16_t PrintQuality() const;       // 300; stored
    void PrintQuality(int16_t value);
    bool RightToLeft() const;           // false; stored
    void RightToLeft(bool value);
    float ScaleHeight() const;          // 16282; stored
    void ScaleHeight(float value);
    float ScaleLeft() const;            // 0; stored
    void ScaleLeft(float value);
    // 1 (twips); stored only if 0 ... 7, converting ScaleWidth and
    // ScaleHeight to the new unit first (see Coordinates and units).
    int16_t ScaleMode() const;
    void ScaleMode(int16_t value);
    float ScaleTop() const;             // 0; stored
    void ScaleTop(float value);
    float ScaleWidth() const;           // 11342; stored
    void ScaleWidth(float value);
    bool TrackDefault() const;          // false; stored
    void TrackDefault(bool value);
    float TwipsPerPixelX() const;       // 4.8
    float TwipsPerPixelY() const;       // 4.8
    int32_t Width() const;              // 11899 twips; if above 0: stored, PaperSize = 256
    void Width(int32_t value);
    int32_t Zoom() const;               // 100; stored only if 0 or above
    void Zoom(int32_t value);
    // "c:\kerpdf.pdf"; the path EndDoc writes to, UTF-8, taken as given (on
    // this system the default is a relative name in the working folder).
    std::string FileName() const;
    void FileName(std::string value);
    // Always nullptr: the object holds no font object. Writing one throws
    // std::logic_error; set FontName, FontSize, FontBold ... instead.
    const PapyrFont *Font() const;
    void Font(const PapyrFont *value);
    std::string Port() const;           // "FILE"
    int32_t HDC() const;                // 0
    // 12; stored. Measuring uses it as it is; a text records it rounded to a
    // whole number (halves to even), which must lie in 0 ... 255.
    float FontSize() const;
    void FontSize(float value);

    // --- Pages and document.

    // Sets CurrentX to 0 (CurrentY is kept), adds 1 to Page and starts a new
    // 612 x 792 page. The new page passes over one object number: it takes
    // counter + 1, its content stream counter + 2; the passed-over number is
    // left unused (a free entry in the file) unless a font took it before.
    // Throws PapyrOverflowError, changing nothing, when Page is 32767.
    void NewPage();
    // Writes the recorded document to FileName and sets Page to 1. The
    // document is written to a new file in the same folder (FileName +
    // ".<pid>-<n>.tmp") that replaces an existing file (or symbolic link) of
    // that name only once it was written whole and synced: after any
    // failure the old file is left as it was and the new one is removed. A
    // device or pipe of that name is written into, never deleted or
    // replaced; a folder fails. Only when the folder takes no new file but
    // the old file may be written is the old file overwritten in place (and
    // lost if that fails). Returns "" on success, else the errno in decimal
    // + " - " + its description (strerror), e.g. "2 - No such file or
    // directory". The recorded document is kept: a second EndDoc writes the
    // same pages again with anything added since. Never throws.
    std::string EndDoc();
    // Sets Page to 1. Nothing recorded is discarded.
    void KillDoc();

    // --- Drawing. Texts are placed by the top left corner of their box and
    // recorded with the baseline at the bottom of their line: y in the file is
    // pageHeight - (y + TextHeight(Text)) in points.

    // Anchor codes of PrintAnchorText: the point of the text's box that lies
    // at (CurrentX, CurrentY).
    enum AnchorPoint : uint8_t {
        TopLeft = 0,       // also every code above 8
        BottomLeft = 1,
        MiddleLeft = 2,
        TopRight = 3,
        BottomRight = 4,
        MiddleRight = 5,
        TopCentre = 6,
        BottomCentre = 7,
        MiddleCentre = 8,
    };
    // Records Text with the point named by Anchor at the current position,
    // then sets CurrentX = 0 and CurrentY = old CurrentY + TextHeight(Text),
    // whatever the anchor.
    void PrintAnchorText(std::string_view Text, uint8_t Anchor);
    // Records Text with its top left corner at the current position, then
    // sets CurrentX = 0 and CurrentY = CurrentY + TextHeight(Text).
    void PrintText(std::string_view Text);
    // Records a straight line in ForeColor and DrawStyle, drawn with the PDF
    // default width. The current position does not change.
    void DrawLine(float x1, float y1, float x2, float y2);

    // The font list: "Arial", "Times-Roman", "Courier", "Helvetica" for
    // 1 ... 4, "" for any other index.
    std::string Fonts(int16_t value) const;

    // FontName: "Arial"; stored, then the font list is updated. The base font
    // is derived (names compared without regard to ASCII case; name = FontName
    // as written):
    //   "courier", "helvetica": name + "-Bold" / "-Oblique" / "-BoldOblique"
    //   "times-roman":          "Times-Bold" / "Times-Italic" / "Times-BoldItalic"
    //   "arial":                "Arial,Bold" / "Arial,Italic" / "Arial,BoldItalic"
    //   anything else, or neither bold nor italic: name
    // In the file, PDF white space (blanks included) and the delimiters
    // ( ) < > [ ] { } / % are left out of a base font name, and '#' and
    // bytes outside ! ... ~ are written as #xx ("My (Font)#1" -> MyFont#231).
    // Base fonts that are written alike (ASCII case aside) are one font:
    // "Courier New" and "CourierNew" share one object.
    std::string FontName() const;
    void FontName(std::string value);

    // Sets the size of the current (last) page in points. Items already on the
    // page keep the y computed with the old height, so call it right after the
    // page is started. Throws PapyrOverflowError, changing nothing, when a
    // value lies outside -32768 ... 32767.
    void SetPageSize(int32_t PageWidth, int32_t PageHeight);

    // --- The pieces EndDoc assembles, as the bytes written to the file
    // (Windows-1252, CR LF line ends, each object followed by an empty line).
    // GenerateText uses and updates the writer's cache of the current fill
    // colour; GenerateContents clears the three caches (fill colour, stroke
    // colour, dash) at its start, as every content stream does.

    std::string GenerateFont(int32_t Index);        // font object, Index from 0
    std::string GenerateText(int32_t Index);        // operators of text item Index
    std::string GenerateContents(int32_t Index);    // content stream of page Index (from 0)
    std::string GenerateProcSet();                  // object 5

    // Extent of Str set in the current font, in the ScaleMode unit (see
    // Measuring). TextHeight gives one line height.
    float TextHeight(std::string_view Str) const;
    float TextWidth(std::string_view Str) const;

private:
    class Private;
    std::unique_ptr<Private> d;
};
