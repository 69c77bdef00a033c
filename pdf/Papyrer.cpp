#include "Papyrer.h"

#include "ChunkedStore.h"
#include "FontMetrics.h"
#include "WinAnsi.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <limits>
#include <new>
#include <optional>
#include <unistd.h>
#include <utility>
#include <vector>

PapyrOverflowError::~PapyrOverflowError() = default;

namespace {

// Fixed object numbers of every file. Pages, content streams and the fonts
// after F1 take theirs from the object counter.
constexpr int32_t kCatalogObject = 1;
constexpr int32_t kOutlinesObject = 2;
constexpr int32_t kPagesObject = 3;
constexpr int32_t kFirstFontObject = 4;
constexpr int32_t kProcSetObject = 5;

constexpr std::string_view kEol = "\r\n";
constexpr std::string_view kEncoding = "WinAnsiEncoding";

constexpr int16_t kDefaultPageWidth = 612;
constexpr int16_t kDefaultPageHeight = 792;

// A cross-reference entry is "oooooooooo ggggg n" + CR LF: exactly 20 bytes,
// so an offset has at most ten digits.
constexpr uint64_t kMaxXrefOffset = 9'999'999'999ULL;

enum ItemKind : uint8_t { TextKind = 1, LineKind = 2 };

struct FontRecord {
    std::string resourceName;   // "F1", "F2", ...
    std::string baseFont;       // as written in the file: pdfNameOf the derived name
    int32_t objectNumber;
};

struct PageRecord {
    int32_t objectNumber;
    int32_t parent;
    int16_t width;
    int16_t height;
    int32_t contentsNumber;
};

// The drawing order of all pages is one list of item kinds; a page's items
// are the run [firstItem, firstItem + itemCount) of it. Texts and lines are
// numbered in recording order, so the n-th text of the run is text
// firstText + n, and likewise for lines. Only the last page grows.
struct ContentRecord {
    int32_t objectNumber;
    size_t firstItem;
    size_t itemCount;
    size_t firstText;
    size_t firstLine;
};

// The text bytes (Windows-1252, already escaped for a literal string) live
// in the document's byte arena.
struct TextItem {
    const char *text;
    uint32_t textLength;
    int32_t colour;
    uint32_t font;
    int16_t x;
    int16_t y;
    uint8_t size;
};

struct LineItem {
    int32_t colour;
    int16_t x1, y1, x2, y2;
    int16_t dashStyle;
};

double pointsPerUnitX(int16_t mode)
{
    switch (mode) {
    case 1: return 0.05;
    case 2: return 1.0;
    case 3: return 4.8 * 0.05;
    case 4: return 6.0;
    case 5: return 72.0;
    case 6: return 72.0 / 25.4;
    case 7: return 72.0 / 2.54;
    default: return 0.0;
    }
}

double pointsPerUnitY(int16_t mode)
{
    return mode == 4 ? 12.0 : pointsPerUnitX(mode);
}

// Nearest whole number, halves to the even neighbour, independent of the
// floating-point rounding mode a caller may have set.
double roundHalfEven(double v)
{
    const double down = std::floor(v);
    const double fraction = v - down;
    if (fraction > 0.5)
        return down + 1.0;
    if (fraction == 0.5)
        return std::fmod(down, 2.0) == 0.0 ? down : down + 1.0;
    return down;
}

int16_t toPointCoordinate(double points, const char *what)
{
    const double r = roundHalfEven(points);
    if (!(r >= INT16_MIN && r <= INT16_MAX))
        throw PapyrOverflowError(std::string(what) + " does not fit a 16-bit point coordinate");
    return static_cast<int16_t>(r);
}

uint8_t toFontSize(double size)
{
    const double r = roundHalfEven(size);
    if (!(r >= 0.0 && r <= 255.0))
        throw PapyrOverflowError("font size does not fit 8 bits");
    return static_cast<uint8_t>(r);
}

void appendInt(std::string &out, int64_t value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void appendPadded(std::string &out, uint64_t value, int width)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    const auto digits = static_cast<int>(result.ptr - buffer);
    out.append(static_cast<size_t>(width > digits ? width - digits : 0), '0');
    out.append(buffer, result.ptr);
}

// A colour byte b as the fraction b / 255 with three decimals: round
// b / 255 * 1000, pad to four digits, point after the first (255 -> 1.000,
// 128 -> 0.502). No b lands on a half, so the rounding needs no tie rule.
struct ColourOperands {
    std::array<std::array<char, 5>, 256> text{};
    ColourOperands()
    {
        for (int b = 0; b < 256; ++b) {
            const long thousandths = std::lround(b / 255.0 * 1000.0);
            text[b] = {static_cast<char>('0' + thousandths / 1000), '.',
                       static_cast<char>('0' + thousandths / 100 % 10),
                       static_cast<char>('0' + thousandths / 10 % 10),
                       static_cast<char>('0' + thousandths % 10)};
        }
    }
};

const ColourOperands &colourOperands()
{
    static const ColourOperands table;
    return table;
}

void appendColour(std::string &out, int32_t colour)
{
    const auto value = static_cast<uint32_t>(colour);
    const auto &table = colourOperands().text;
    const auto &r = table[(value >> 16) & 0xFF];
    const auto &g = table[(value >> 8) & 0xFF];
    const auto &b = table[value & 0xFF];
    out.append(r.data(), r.size());
    out.push_back(' ');
    out.append(g.data(), g.size());
    out.push_back(' ');
    out.append(b.data(), b.size());
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// A base font name as a PDF name token. The file says PDF-1.0, whose names
// are runs of regular characters: white space and the delimiters ( ) < > [ ]
// { } / % can never stand in one, so they are left out (blanks as a TrueType
// font's PostScript name is formed, "Courier New" -> CourierNew). Only bytes
// that a PDF-1.0 name may hold are written #xx, as readers since PDF 1.2
// require: '#' itself and bytes outside ! ... ~. No font name can break the
// dictionary it stands in.
std::string pdfNameOf(std::string_view utf8)
{
    std::string bytes;
    papyr::appendWinAnsi(bytes, utf8);
    static constexpr char kHex[] = "0123456789ABCDEF";
    // PDF white space (NUL, TAB, LF, FF, CR, blank), then the delimiters.
    static constexpr char kNeverInAName[] = "\0\t\n\f\r ()<>[]{}/%";
    const std::string_view neverInAName(kNeverInAName, sizeof kNeverInAName - 1);
    std::string name;
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (neverInAName.find(ch) != std::string_view::npos)
            continue;
        if (b < 0x21 || b > 0x7E || b == '#') {
            name.push_back('#');
            name.push_back(kHex[b >> 4]);
            name.push_back(kHex[b & 0x0F]);
        } else {
            name.push_back(ch);
        }
    }
    return name;
}

// The bytes on their way to the file. The document is produced into buffer,
// which goes to the file whenever it passes kFlushLength, so a large report
// is never held twice in memory. A failed write throws Failure.
class FileOutput {
public:
    struct Failure {
        int error;
    };

    explicit FileOutput(int fd) : m_fd(fd) { buffer.reserve(kFlushLength + kFlushLength / 4); }

    std::string buffer;

    uint64_t offset() const { return m_flushed + buffer.size(); }

    void flushIfFull()
    {
        if (buffer.size() >= kFlushLength)
            flush();
    }

    void flush()
    {
        const char *p = buffer.data();
        size_t left = buffer.size();
        while (left > 0) {
            const ssize_t written = ::write(m_fd, p, left);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                throw Failure{written < 0 ? errno : EIO};
            p += written;
            left -= static_cast<size_t>(written);
        }
        m_flushed += buffer.size();
        buffer.clear();
    }

private:
    static constexpr size_t kFlushLength = 256 * 1024;
    int m_fd;
    uint64_t m_flushed = 0;
};

std::string errorText(int error)
{
    char buffer[256];
    // The GNU strerror_r may return a static text instead of filling buffer.
    const char *description = strerror_r(error, buffer, sizeof buffer);
    std::string text = std::to_string(error);
    text += " - ";
    text += description;
    return text;
}

} // namespace

class Papyrer::Private {
public:
    Private();

    // Property state, with the values of a new object.
    int16_t colorMode = 2;
    int16_t copies = 1;
    float currentX = 0;
    float currentY = 0;
    int16_t drawMode = 13;
    int16_t drawStyle = 0;
    int16_t drawWidth = 1;
    int16_t duplex = 0;
    int32_t fillColor = 0;
    int16_t fillStyle = 1;
    bool fontBold = false;
    bool fontItalic = false;
    std::string fontName = "Arial";
    float fontSize = 12;
    bool fontStrikethru = false;
    bool fontTransparent = true;
    bool fontUnderline = false;
    int32_t foreColor = 0;
    int32_t height = 16838;
    int16_t orientation = 1;
    int16_t page = 1;
    int16_t paperBin = 15;
    int16_t paperSize = 9;
    int16_t printQuality = 300;
    bool rightToLeft = false;
    float scaleLeft = 0;
    float scaleHeight = 16282;
    int16_t scaleMode = 1;
    float scaleTop = 0;
    float scaleWidth = 11342;
    bool trackDefault = false;
    int32_t width = 11899;
    int32_t zoom = 100;
    std::string fileName = "c:\\kerpdf.pdf";

    // Points per ScaleMode unit; mode 0 keeps the factors it found.
    double factorX = 0.05;
    double factorY = 0.05;

    // Recorded document.
    std::vector<FontRecord> fonts;
    std::vector<PageRecord> pages;
    std::vector<ContentRecord> contents;
    papyr::ChunkedList<ItemKind, 65536> kinds;
    papyr::ChunkedList<TextItem> texts;
    papyr::ChunkedList<LineItem> lines;
    papyr::ByteArena textBytes;
    int32_t objectCounter = 0;

    // Index of the current base font in the font list and the face that
    // measures text, both kept up to date by the font property setters.
    uint32_t currentFont = 0;
    const papyr::FaceMetrics *face = nullptr;

    // Current values while a content stream is written; empty = not set yet.
    std::optional<int32_t> fillCache;
    std::optional<int32_t> strokeCache;
    std::optional<int16_t> dashCache;

    std::string scratch;   // text conversion and stream bodies, reused
    std::string escaped;

    std::string deriveBaseFont(const std::string &name, bool bold, bool italic) const;
    void updateFonts(std::string name, bool bold, bool italic);
    void startPage();

    double lineHeightPoints() const;
    double widthPoints(std::string_view bytes) const;

    void recordText(std::string_view utf8, uint8_t anchor);
    void clearCaches();

    void appendFont(std::string &out, size_t index) const;
    void appendTextOperators(std::string &out, size_t index);
    void appendLineOperators(std::string &out, size_t index);
    void appendContents(std::string &out, size_t index);
    void appendPage(std::string &out, size_t index) const;
    static void appendProcSet(std::string &out);
    void buildDocument(FileOutput &output);
    // The whole document into fd: 0, or the errno of the failure.
    int writeDocument(int fd);
    // Truncates and writes the file itself (a device or pipe, or a file in
    // a folder that takes no new files); a partly written regular file is
    // deleted. "" or the error text.
    std::string writeInPlace(const std::string &path);
};

Papyrer::Private::Private()
{
    fonts.push_back({"F1", "Arial", kFirstFontObject});
    objectCounter = kProcSetObject;
    face = &papyr::faceMetricsFor(fontName, fontBold);
    startPage();
}

std::string Papyrer::Private::deriveBaseFont(const std::string &name, bool bold, bool italic) const
{
    if (!bold && !italic)
        return name;
    if (equalsIgnoringCase(name, "courier") || equalsIgnoringCase(name, "helvetica")) {
        if (bold && italic)
            return name + "-BoldOblique";
        return name + (bold ? "-Bold" : "-Oblique");
    }
    if (equalsIgnoringCase(name, "times-roman")) {
        if (bold && italic)
            return "Times-BoldItalic";
        return bold ? "Times-Bold" : "Times-Italic";
    }
    if (equalsIgnoringCase(name, "arial")) {
        if (bold && italic)
            return "Arial,BoldItalic";
        return bold ? "Arial,Bold" : "Arial,Italic";
    }
    return name;
}

// Stores the three font properties together, registering their base font
// first; a full object counter throws before anything changes.
void Papyrer::Private::updateFonts(std::string name, bool bold, bool italic)
{
    // The current font follows from the three values alone; a report sets
    // them again for every row.
    if (name == fontName && bold == fontBold && italic == fontItalic)
        return;
    // Fonts are told apart by the name the file gives them: two names that
    // differ only in what a PDF name cannot hold (blanks, delimiters) would
    // otherwise be two font objects of one /BaseFont.
    std::string base = pdfNameOf(deriveBaseFont(name, bold, italic));
    size_t index = 0;
    while (index < fonts.size() && !equalsIgnoringCase(fonts[index].baseFont, base))
        ++index;
    if (index == fonts.size()) {
        if (objectCounter == INT32_MAX)
            throw PapyrOverflowError("object numbers exhausted");
        std::string resource(1, 'F');
        resource += std::to_string(fonts.size() + 1);
        fonts.push_back({std::move(resource), std::move(base), objectCounter});
        ++objectCounter;
    }
    currentFont = static_cast<uint32_t>(index);
    fontName = std::move(name);
    fontBold = bold;
    fontItalic = italic;
    face = &papyr::faceMetricsFor(fontName, fontBold);
}

void Papyrer::Private::startPage()
{
    if (objectCounter > INT32_MAX - 3)
        throw PapyrOverflowError("object numbers exhausted");
    // The counter's own number is passed over: at creation it is 5, the
    // procedure set; later it stays free unless a font took it.
    const int32_t pageNumber = objectCounter + 1;
    const int32_t contentsNumber = objectCounter + 2;
    pages.push_back({pageNumber, kPagesObject, kDefaultPageWidth, kDefaultPageHeight, contentsNumber});
    try {
        contents.push_back({contentsNumber, kinds.size(), 0, texts.size(), lines.size()});
    } catch (...) {
        pages.pop_back();
        throw;
    }
    objectCounter += 3;
}

double Papyrer::Private::lineHeightPoints() const
{
    return static_cast<double>(fontSize) * (face->winAscent + face->winDescent) / face->unitsPerEm;
}

double Papyrer::Private::widthPoints(std::string_view bytes) const
{
    uint64_t units = 0;
    for (char b : bytes)
        units += face->widths[static_cast<unsigned char>(b)];
    return static_cast<double>(fontSize) * static_cast<double>(units) / 1000.0;
}

void Papyrer::Private::recordText(std::string_view utf8, uint8_t anchor)
{
    scratch.clear();
    papyr::appendWinAnsi(scratch, utf8);

    // The same single-precision extents the caller reads from TextWidth and
    // TextHeight, so a position computed by the caller and one computed here
    // agree.
    const float h = static_cast<float>(lineHeightPoints() / factorY);
    double x = currentX;
    double y = currentY;
    switch (anchor) {
    case 1: y -= h; break;
    case 2: y -= h / 2.0; break;
    case 3: case 4: case 5: case 6: case 7: case 8: {
        const float w = static_cast<float>(widthPoints(scratch) / factorX);
        x -= (anchor <= 5) ? w : w / 2.0;
        if (anchor == 4 || anchor == 7)
            y -= h;
        else if (anchor == 5 || anchor == 8)
            y -= h / 2.0;
        break;
    }
    default: break;
    }

    const double pageHeight = pages.back().height;
    const int16_t px = toPointCoordinate(x * factorX, "text x");
    const int16_t py = toPointCoordinate(pageHeight - (y + h) * factorY, "text y");
    const uint8_t size = toFontSize(fontSize);
    if (texts.size() >= INT32_MAX)
        throw PapyrOverflowError("too many texts");
    escaped.clear();
    papyr::appendEscapedLiteral(escaped, scratch);
    if (escaped.size() > UINT32_MAX)
        throw PapyrOverflowError("text too long");
    texts.prepare();
    kinds.prepare();

    // Everything fits: record.
    const std::string_view stored = textBytes.store(escaped);
    TextItem item;
    item.text = stored.data();
    item.textLength = static_cast<uint32_t>(stored.size());
    item.colour = foreColor;
    item.font = currentFont;
    item.x = px;
    item.y = py;
    item.size = size;
    texts.push_back(item);
    kinds.push_back(TextKind);
    ++contents.back().itemCount;

    currentX = 0;
    currentY = static_cast<float>(static_cast<double>(currentY) + h);
}

void Papyrer::Private::clearCaches()
{
    fillCache.reset();
    strokeCache.reset();
    dashCache.reset();
}

void Papyrer::Private::appendFont(std::string &out, size_t index) const
{
    const FontRecord &font = fonts[index];
    appendInt(out, font.objectNumber);
    out += " 0 obj\r\n<<\r\n/Type /Font\r\n/Subtype /TrueType\r\n/Name /";
    out += font.resourceName;
    out += "\r\n/BaseFont /";
    out += font.baseFont;
    out += "\r\n/Encoding /";
    out += kEncoding;
    out += "\r\n>>\r\nendobj\r\n\r\n";
}

void Papyrer::Private::appendTextOperators(std::string &out, size_t index)
{
    const TextItem &text = texts[index];
    if (fillCache != text.colour) {
        appendColour(out, text.colour);
        out += " rg\r\n";
        fillCache = text.colour;
    }
    out += "BT\r\n/";
    out += fonts[text.font].resourceName;
    out.push_back(' ');
    appendInt(out, text.size);
    out += " Tf\r\n";
    appendInt(out, text.x);
    out.push_back(' ');
    appendInt(out, text.y);
    out += " Td (";
    out.append(text.text, text.textLength);
    out += ") Tj\r\nET\r\n";
}

void Papyrer::Private::appendLineOperators(std::string &out, size_t index)
{
    const LineItem &line = lines[index];
    if (strokeCache != line.colour) {
        appendColour(out, line.colour);
        out += " RG\r\n";
        strokeCache = line.colour;
    }
    if (dashCache != line.dashStyle) {
        out += line.dashStyle != 0 ? "[1 5]0 d\r\n" : "[]0 d\r\n";
        dashCache = line.dashStyle;
    }
    appendInt(out, line.x1);
    out.push_back(' ');
    appendInt(out, line.y1);
    out += " m\r\n";
    appendInt(out, line.x2);
    out.push_back(' ');
    appendInt(out, line.y2);
    out += " l\r\nS\r\n";
}

void Papyrer::Private::appendContents(std::string &out, size_t index)
{
    clearCaches();
    const ContentRecord &content = contents[index];
    std::string &body = scratch;
    body.clear();
    size_t text = content.firstText;
    size_t line = content.firstLine;
    for (size_t i = content.firstItem; i < content.firstItem + content.itemCount; ++i) {
        if (kinds[i] == TextKind)
            appendTextOperators(body, text++);
        else
            appendLineOperators(body, line++);
    }
    appendInt(out, content.objectNumber);
    out += " 0 obj\r\n<< /Length ";
    appendInt(out, static_cast<int64_t>(body.size()));
    out += " >>\r\nstream\r\n";
    out += body;
    out += "endstream\r\nendobj\r\n\r\n";
}

void Papyrer::Private::appendPage(std::string &out, size_t index) const
{
    const PageRecord &page = pages[index];
    appendInt(out, page.objectNumber);
    out += " 0 obj\r\n<<\r\n/Type /Page\r\n/Parent ";
    appendInt(out, page.parent);
    out += " 0 R\r\n/Resources << /Font << ";
    for (const FontRecord &font : fonts) {
        out.push_back('/');
        out += font.resourceName;
        out.push_back(' ');
        appendInt(out, font.objectNumber);
        out += " 0 R ";
    }
    out += ">> /ProcSet ";
    appendInt(out, kProcSetObject);
    out += " 0 R\r\n>>\r\n/MediaBox [0 0 ";
    appendInt(out, page.width);
    out.push_back(' ');
    appendInt(out, page.height);
    out += "]\r\n/Contents ";
    appendInt(out, page.contentsNumber);
    out += " 0 R\r\n>>\r\nendobj\r\n\r\n";
}

void Papyrer::Private::appendProcSet(std::string &out)
{
    appendInt(out, kProcSetObject);
    out += " 0 obj\r\n[/PDF /Text]\r\nendobj\r\n\r\n";
}

// The file, produced object by object. The byte offset of every "N 0 obj"
// is noted as it is appended, and the cross-reference block is built from
// those offsets.
void Papyrer::Private::buildDocument(FileOutput &output)
{
    clearCaches();
    constexpr uint64_t kFree = UINT64_MAX;
    std::vector<uint64_t> offsets(static_cast<size_t>(objectCounter), kFree);
    auto mark = [&](int32_t object) { offsets[static_cast<size_t>(object)] = output.offset(); };
    std::string &out = output.buffer;

    out += "%PDF-1.0\r\n";

    mark(kCatalogObject);
    out += "1 0 obj\r\n<<\r\n/Type /Catalog\r\n/Pages 3 0 R\r\n/Outlines 2 0 R\r\n>>\r\nendobj\r\n\r\n";
    mark(kOutlinesObject);
    out += "2 0 obj\r\n<<\r\n/Type /Outlines\r\n/Count 0\r\n>>\r\nendobj\r\n\r\n";
    mark(kPagesObject);
    out += "3 0 obj\r\n<<\r\n/Type /Pages\r\n/Count ";
    appendInt(out, static_cast<int64_t>(pages.size()));
    out += "\r\n/Kids [";
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i != 0)
            out.push_back(' ');
        appendInt(out, pages[i].objectNumber);
        out += " 0 R";
        output.flushIfFull();
    }
    out += "]\r\n>>\r\nendobj\r\n\r\n";

    for (size_t i = 0; i < pages.size(); ++i) {
        mark(pages[i].objectNumber);
        appendPage(out, i);
        output.flushIfFull();
    }
    for (size_t i = 0; i < contents.size(); ++i) {
        mark(contents[i].objectNumber);
        appendContents(out, i);
        output.flushIfFull();
    }
    mark(kProcSetObject);
    appendProcSet(out);
    for (size_t i = 0; i < fonts.size(); ++i) {
        mark(fonts[i].objectNumber);
        appendFont(out, i);
        output.flushIfFull();
    }

    const uint64_t xrefOffset = output.offset();
    if (xrefOffset > kMaxXrefOffset)
        throw FileOutput::Failure{EFBIG};
    out += "xref\r\n0 ";
    appendInt(out, objectCounter);
    out += kEol;
    // Free entries form a list: each names the next free number, the last 0.
    auto nextFree = [&](size_t after) -> uint64_t {
        for (size_t n = after + 1; n < offsets.size(); ++n) {
            if (offsets[n] == kFree)
                return n;
        }
        return 0;
    };
    appendPadded(out, nextFree(0), 10);
    out += " 65535 f\r\n";
    for (size_t n = 1; n < offsets.size(); ++n) {
        if (offsets[n] == kFree) {
            appendPadded(out, nextFree(n), 10);
            out += " 00000 f\r\n";
        } else {
            appendPadded(out, offsets[n], 10);
            out += " 00000 n\r\n";
        }
        output.flushIfFull();
    }
    out += "trailer\r\n<<\r\n/Size ";
    appendInt(out, objectCounter);
    out += "\r\n/Root 1 0 R\r\n>>\r\nstartxref\r\n";
    appendInt(out, static_cast<int64_t>(xrefOffset));
    out += "\r\n%%EOF";
    output.flush();
}

// --- Papyrer

Papyrer::Papyrer() : d(std::make_unique<Private>()) {}
Papyrer::~Papyrer() = default;
Papyrer::Papyrer(Papyrer &&) noexcept = default;
Papyrer &Papyrer::operator=(Papyrer &&) noexcept = default;

int16_t Papyrer::ColorMode() const { return d->colorMode; }
void Papyrer::ColorMode(int16_t value)
{
    if (value == 1 || value == 2)
        d->colorMode = value;
}

int16_t Papyrer::Copies() const { return d->copies; }
void Papyrer::Copies(int16_t) { d->copies = 1; }

float Papyrer::CurrentX() const { return d->currentX; }
void Papyrer::CurrentX(float value) { d->currentX = value; }
float Papyrer::CurrentY() const { return d->currentY; }
void Papyrer::CurrentY(float value) { d->currentY = value; }

std::string Papyrer::DeviceName() const { return "Kerlan PDF Printer"; }

int16_t Papyrer::DrawMode() const { return d->drawMode; }
void Papyrer::DrawMode(int16_t value)
{
    if (value >= 1 && value <= 16)
        d->drawMode = value;
}

int16_t Papyrer::DrawStyle() const { return d->drawStyle; }
void Papyrer::DrawStyle(int16_t value)
{
    if (value >= 0 && value <= 6)
        d->drawStyle = value;
}

int16_t Papyrer::DrawWidth() const { return d->drawWidth; }
void Papyrer::DrawWidth(int16_t value)
{
    if (value > 0)
        d->drawWidth = value;
}

std::string Papyrer::DriverName() const { return "kerpdf"; }

int16_t Papyrer::Duplex() const { return d->duplex; }
void Papyrer::Duplex(int16_t value)
{
    if (value >= 1 && value <= 3)
        d->duplex = value;
}

int32_t Papyrer::FillColor() const { return d->fillColor; }
void Papyrer::FillColor(int32_t value) { d->fillColor = value; }

int16_t Papyrer::FillStyle() const { return d->fillStyle; }
void Papyrer::FillStyle(int16_t value)
{
    if (value >= 0 && value <= 7)
        d->fillStyle = value;
}

bool Papyrer::FontBold() const { return d->fontBold; }
void Papyrer::FontBold(bool value) { d->updateFonts(d->fontName, value, d->fontItalic); }

int16_t Papyrer::FontCount() const { return 4; }

bool Papyrer::FontItalic() const { return d->fontItalic; }
void Papyrer::FontItalic(bool value) { d->updateFonts(d->fontName, d->fontBold, value); }

bool Papyrer::FontStrikethru() const { return d->fontStrikethru; }
void Papyrer::FontStrikethru(bool value) { d->fontStrikethru = value; }
bool Papyrer::FontTransparent() const { return d->fontTransparent; }
void Papyrer::FontTransparent(bool value) { d->fontTransparent = value; }
bool Papyrer::FontUnderline() const { return d->fontUnderline; }
void Papyrer::FontUnderline(bool value) { d->fontUnderline = value; }

int32_t Papyrer::ForeColor() const { return d->foreColor; }
void Papyrer::ForeColor(int32_t value) { d->foreColor = value; }

int32_t Papyrer::Height() const { return d->height; }
void Papyrer::Height(int32_t value)
{
    if (value > 0) {
        d->height = value;
        d->paperSize = 256;
    }
}

int16_t Papyrer::Orientation() const { return d->orientation; }
void Papyrer::Orientation(int16_t value)
{
    if (value == 1 || value == 2)
        d->orientation = value;
}

int16_t Papyrer::Page() const { return d->page; }

int16_t Papyrer::PaperBin() const { return d->paperBin; }
void Papyrer::PaperBin(int16_t value)
{
    if (value >= 1 && value <= 14)
        d->paperBin = value;
}

int16_t Papyrer::PaperSize() const { return d->paperSize; }
void Papyrer::PaperSize(int16_t value)
{
    if (value > 0)
        d->paperSize = value;
}

int16_t Papyrer::PrintQuality() const { return d->printQuality; }
void Papyrer::PrintQuality(int16_t value) { d->printQuality = value; }

bool Papyrer::RightToLeft() const { return d->rightToLeft; }
void Papyrer::RightToLeft(bool value) { d->rightToLeft = value; }

float Papyrer::ScaleHeight() const { return d->scaleHeight; }
void Papyrer::ScaleHeight(float value) { d->scaleHeight = value; }
float Papyrer::ScaleLeft() const { return d->scaleLeft; }
void Papyrer::ScaleLeft(float value) { d->scaleLeft = value; }

int16_t Papyrer::ScaleMode() const { return d->scaleMode; }
void Papyrer::ScaleMode(int16_t value)
{
    if (value < 0 || value > 7)
        return;
    const double newX = value == 0 ? d->factorX : pointsPerUnitX(value);
    const double newY = value == 0 ? d->factorY : pointsPerUnitY(value);
    d->scaleWidth = static_cast<float>(d->scaleWidth * d->factorX / newX);
    d->scaleHeight = static_cast<float>(d->scaleHeight * d->factorY / newY);
    d->factorX = newX;
    d->factorY = newY;
    d->scaleMode = value;
}

float Papyrer::ScaleTop() const { return d->scaleTop; }
void Papyrer::ScaleTop(float value) { d->scaleTop = value; }
float Papyrer::ScaleWidth() const { return d->scaleWidth; }
void Papyrer::ScaleWidth(float value) { d->scaleWidth = value; }

bool Papyrer::TrackDefault() const { return d->trackDefault; }
void Papyrer::TrackDefault(bool value) { d->trackDefault = value; }

float Papyrer::TwipsPerPixelX() const { return 4.8f; }
float Papyrer::TwipsPerPixelY() const { return 4.8f; }

int32_t Papyrer::Width() const { return d->width; }
void Papyrer::Width(int32_t value)
{
    if (value > 0) {
        d->width = value;
        d->paperSize = 256;
    }
}

int32_t Papyrer::Zoom() const { return d->zoom; }
void Papyrer::Zoom(int32_t value)
{
    if (value >= 0)
        d->zoom = value;
}

std::string Papyrer::FileName() const { return d->fileName; }
void Papyrer::FileName(std::string value) { d->fileName = std::move(value); }

const PapyrFont *Papyrer::Font() const { return nullptr; }
void Papyrer::Font(const PapyrFont *)
{
    throw std::logic_error("Papyrer holds no font object; set FontName, FontSize, FontBold and FontItalic");
}

std::string Papyrer::Port() const { return "FILE"; }
int32_t Papyrer::HDC() const { return 0; }

float Papyrer::FontSize() const { return d->fontSize; }
void Papyrer::FontSize(float value) { d->fontSize = value; }

void Papyrer::NewPage()
{
    if (d->page == INT16_MAX)
        throw PapyrOverflowError("page count does not fit 16 bits");
    d->startPage();
    d->currentX = 0;
    ++d->page;
}

std::string Papyrer::EndDoc()
{
    d->page = 1;
    const std::string &path = d->fileName;
    if (path.empty())
        return errorText(ENOENT);
    // A device, pipe or folder that carries the name is written into (or
    // fails) as it is, and never deleted or replaced.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        return d->writeInPlace(path);

    // The new document goes to a file of its own beside the old one, which
    // it replaces only once it was written whole: a failed write, a full
    // disk or a crash halfway leaves the old file as it was.
    int fd = -1;
    std::string temporary;
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = path + '.' + std::to_string(::getpid()) + '-' + std::to_string(counter++) + ".tmp";
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int error = errno;
        // A folder the console may not create files in, holding a report it
        // may overwrite: the old way, in place, is the only way left.
        if ((error == EACCES || error == EPERM) && ::access(path.c_str(), W_OK) == 0)
            return d->writeInPlace(path);
        return errorText(error);
    }
    int error = d->writeDocument(fd);
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && errno != EINTR && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return errorText(error);
    }
    return {};
}

int Papyrer::Private::writeDocument(int fd)
{
    try {
        FileOutput output(fd);
        buildDocument(output);
    } catch (const FileOutput::Failure &failure) {
        return failure.error;
    } catch (const std::bad_alloc &) {
        return ENOMEM;
    }
    return 0;
}

std::string Papyrer::Private::writeInPlace(const std::string &path)
{
    // O_NONBLOCK only for the open: a pipe without a reader then fails with
    // ENXIO instead of hanging the caller.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0)
        return errorText(errno);
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    int error = 0;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        error = errno;
    if (error == 0)
        error = writeDocument(fd);
    if (::close(fd) != 0 && errno != EINTR && error == 0)
        error = errno;
    if (error != 0) {
        if (regular)
            ::unlink(path.c_str());   // a partly written file would be a damaged PDF
        return errorText(error);
    }
    return {};
}

void Papyrer::KillDoc() { d->page = 1; }

void Papyrer::PrintAnchorText(std::string_view Text, uint8_t Anchor)
{
    d->recordText(Text, Anchor);
}

void Papyrer::PrintText(std::string_view Text)
{
    d->recordText(Text, TopLeft);
}

void Papyrer::DrawLine(float x1, float y1, float x2, float y2)
{
    const double pageHeight = d->pages.back().height;
    LineItem line;
    line.x1 = toPointCoordinate(x1 * d->factorX, "line x1");
    line.y1 = toPointCoordinate(pageHeight - y1 * d->factorY, "line y1");
    line.x2 = toPointCoordinate(x2 * d->factorX, "line x2");
    line.y2 = toPointCoordinate(pageHeight - y2 * d->factorY, "line y2");
    line.dashStyle = d->drawStyle;
    line.colour = d->foreColor;
    if (d->lines.size() >= INT32_MAX)
        throw PapyrOverflowError("too many lines");
    d->lines.prepare();
    d->kinds.prepare();
    d->lines.push_back(line);
    d->kinds.push_back(LineKind);
    ++d->contents.back().itemCount;
}

std::string Papyrer::Fonts(int16_t value) const
{
    static constexpr const char *kNames[] = {"Arial", "Times-Roman", "Courier", "Helvetica"};
    if (value >= 1 && value <= 4)
        return kNames[value - 1];
    return {};
}

std::string Papyrer::FontName() const { return d->fontName; }
void Papyrer::FontName(std::string value) { d->updateFonts(std::move(value), d->fontBold, d->fontItalic); }

void Papyrer::SetPageSize(int32_t PageWidth, int32_t PageHeight)
{
    if (PageWidth < INT16_MIN || PageWidth > INT16_MAX || PageHeight < INT16_MIN || PageHeight > INT16_MAX)
        throw PapyrOverflowError("page size does not fit 16 bits");
    d->pages.back().width = static_cast<int16_t>(PageWidth);
    d->pages.back().height = static_cast<int16_t>(PageHeight);
}

std::string Papyrer::GenerateFont(int32_t Index)
{
    if (Index < 0 || static_cast<size_t>(Index) >= d->fonts.size())
        throw std::out_of_range("GenerateFont: no font at this index");
    std::string out;
    d->appendFont(out, static_cast<size_t>(Index));
    return out;
}

std::string Papyrer::GenerateText(int32_t Index)
{
    if (Index < 0 || static_cast<size_t>(Index) >= d->texts.size())
        throw std::out_of_range("GenerateText: no text at this index");
    std::string out;
    d->appendTextOperators(out, static_cast<size_t>(Index));
    return out;
}

std::string Papyrer::GenerateContents(int32_t Index)
{
    if (Index < 0 || static_cast<size_t>(Index) >= d->contents.size())
        throw std::out_of_range("GenerateContents: no page at this index");
    std::string out;
    d->appendContents(out, static_cast<size_t>(Index));
    return out;
}

std::string Papyrer::GenerateProcSet()
{
    std::string out;
    Private::appendProcSet(out);
    return out;
}

float Papyrer::TextHeight(std::string_view) const
{
    return static_cast<float>(d->lineHeightPoints() / d->factorY);
}

float Papyrer::TextWidth(std::string_view Str) const
{
    std::string bytes;
    papyr::appendWinAnsi(bytes, Str);
    return static_cast<float>(d->widthPoints(bytes) / d->factorX);
}
