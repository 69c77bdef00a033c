// The report answer "0020" through the decoder and the document builder.
//
// The input describes one answer: a flags byte (only-approved filter, which
// column groups the report, whether count and status are whole 4-byte
// numbers), the count and the status, then the records. A record is either
// raw bytes in its field (anything, nested frames that do not parse
// included) or a frame built from up to nine fields, each absent, of its
// proper size, or of an odd size. The decoded table is laid out on a canvas
// that only records what is drawn.
//
// Invariants: no crash; the table has a row for every announced record and
// no more kept rows than records; every kept row's cells are as long as the
// decoder allows (fixed texts, stamps cut to their 10 and 8 characters,
// numbers as decimals, the summing amount 8 bytes, amounts as digits and two
// decimals); the rows' amounts and the sums the document prints are finite
// and shown as amounts.
#include "FuzzSupport.h"

#include "common/Clock.h"
#include "common/CodePage.h"
#include "reports/EventPacer.h"
#include "reports/ReportCanvas.h"
#include "reports/ReportDecoder.h"
#include "reports/ReportDocument.h"
#include "reports/ReportHost.h"
#include "reports/ReportTable.h"
#include "reports/ReportTexts.h"

#include <VaroManager.h>

#include <QRegularExpression>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using Fuzz::require;
namespace C = ReportColumn;

namespace {

std::string toStd(const QByteArray &b) { return std::string(b.constData(), std::size_t(b.size())); }

struct Drawn {
    float x;
    float y;
    QString text;
};

// Keeps the properties a real writer keeps and records every text.
class RecordingCanvas final : public ReportCanvas {
public:
    std::vector<Drawn> texts;
    int pages = 1;

    void FileName(const QString &) override {}
    void ScaleMode(qint16) override {}
    QString FontName() const override { return m_font; }
    void FontName(const QString &name) override { m_font = name; }
    float FontSize() const override { return m_size; }
    void FontSize(float points) override { m_size = points; }
    bool FontBold() const override { return m_bold; }
    void FontBold(bool bold) override { m_bold = bold; }
    bool FontItalic() const override { return m_italic; }
    void FontItalic(bool italic) override { m_italic = italic; }
    qint32 ForeColor() const override { return m_colour; }
    void ForeColor(qint32 colour) override { m_colour = colour; }
    qint16 DrawStyle() const override { return m_style; }
    void DrawStyle(qint16 style) override { m_style = style; }
    float CurrentX() const override { return m_x; }
    void CurrentX(float x) override { m_x = x; }
    float CurrentY() const override { return m_y; }
    void CurrentY(float y) override { m_y = y; }
    void PrintText(const QString &text) override
    {
        require(std::isfinite(m_x) && std::isfinite(m_y), "texts stand at finite places");
        texts.push_back({m_x, m_y, text});
        m_x += TextWidth(text);
    }
    float TextWidth(const QString &text) const override { return 2.0f * float(text.size()); }
    void DrawLine(float x1, float y1, float x2, float y2) override
    {
        require(std::isfinite(x1) && std::isfinite(y1) && std::isfinite(x2) && std::isfinite(y2),
                "lines have finite ends");
    }
    void NewPage() override { ++pages; }
    QString EndDoc() override { return QString(); }

private:
    QString m_font = QStringLiteral("Arial");
    float m_size = 10;
    bool m_bold = false;
    bool m_italic = false;
    qint32 m_colour = 0;
    qint16 m_style = 0;
    float m_x = 0;
    float m_y = 0;
};

class QuietHost final : public ReportHost {
public:
    bool reportOnlyApproved() const override { return false; }
    qint16 reportGroupColumn() const override { return 0; }
    QString reportPeriodText() const override { return QStringLiteral("Periood: "); }
    void closeForReport() override {}
    void setStatusLine(const QString &) override {}
    void processEvents() override {}
    void LogEvent(const QString &) override {}
    void OpenBox(quint8, const QString &, qint32) override {}
    void openDocument(const QString &, OpenFailed) override {}
    void clearEntryFields() override {}
    void ReturnToIdle() override {}
};

QByteArray le32(qint32 v)
{
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = char((quint32(v) >> (8 * i)) & 0xFF);
    return out;
}

// A field's data: absent (nullopt as an empty optional is not needed: the
// caller skips), its proper size, or an odd size.
QByteArray fieldData(Fuzz::Reader &in, int properSize)
{
    const uint8_t how = in.byte();
    if (how & 0x80)
        return in.bytes(how & 0x0F);   // odd size: 0 ... 15 bytes
    if (properSize > 0)
        return in.bytes(std::size_t(properSize));
    // A text: a stamp of 12 digits, or a short text.
    if (properSize == -12) {
        QByteArray digits = in.bytes(12);
        for (char &c : digits)
            c = char('0' + uchar(c) % 10);
        return digits;
    }
    return in.bytes(how & 0x1F);
}

std::string buildRecord(Fuzz::Reader &in)
{
    // Field and its proper size (0: a text, -12: a stamp).
    static const int kSizes[10] = {0, 0, -12, 4, 8, 0, 1, 0, 4, 4};
    const uint16_t present = uint16_t(in.byte()) | uint16_t(in.byte() & 0x01) << 8;
    VaroManager record;
    for (int id = 1; id <= 9; ++id) {
        if (present & (1u << (id - 1)))
            record.AddField(qint16(id), toStd(fieldData(in, kSizes[id])));
    }
    if (present & 0x100)   // a field the decoder does not know
        record.AddField(qint16(in.byte()), toStd(in.bytes(in.byte() & 0x0F)));
    return record.GetOutput(true, false);
}

const QRegularExpression &amountPattern()
{
    static const QRegularExpression re(QStringLiteral("^-?[0-9]+\\.[0-9]{2}$"));
    return re;
}

bool isAmount(const QString &text)
{
    return amountPattern().match(text).hasMatch();
}

bool isSumLabel(const QString &t)
{
    using namespace ReportText;
    return t == kGroupSent || t == kGroupNotSent || t == kGroupReserved || t == kGroupTotal
           || t == kGrandSent || t == kGrandNotSent || t == kGrandReserved || t == kGrandTotal;
}

void checkRow(const ReportTable &table, qint32 r)
{
    const CodePage &cp = CodePage::console();
    const auto len = [&](int c) { return table.cell(r, c).size(); };
    const auto oneOf = [&](int c, const QByteArray &a) { return len(c) == 0 || table.cell(r, c) == a; };
    require(len(C::kDate) == 0 || len(C::kDate) == 10, "a date cell is DD.MM.20YY or empty");
    require(len(C::kTime) == 0 || len(C::kTime) == 8, "a time cell is hh:mm:ss or empty");
    require(len(C::kStan) >= 1 && len(C::kStan) <= 11, "a STAN cell is a 32-bit decimal");
    require(len(C::kResponseCode) >= 2 && len(C::kResponseCode) <= 12, "a code cell is a blank and a decimal");
    require(oneOf(C::kTipFlag, cp.encode(ReportCell::kTipAdded)), "the tip cell is its text or empty");
    require(oneOf(C::kBookingFlag, cp.encode(ReportCell::kBooking)), "the booking cell is its text or empty");
    require(oneOf(C::kCancelFlag, cp.encode(ReportCell::kCancelled)), "the cancel cell is its text or empty");
    require(oneOf(C::kSent, QByteArray(ReportCell::kSentMark)), "the sent cell is its mark or empty");
    require(len(C::kSumAmount) == 8, "the summing amount is 8 bytes");
    require(std::isfinite(table.sumAmount(r)), "a row's summing amount is finite");
    require(isAmount(cp.decode(table.cell(r, C::kAmount))), "a row's amount is shown as an amount");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    Fuzz::Reader in(data, size);
    const uint8_t flags = in.byte();
    const bool onlyApproved = flags & 0x01;
    static const qint16 kGroups[8] = {0, 1, 2, 5, 6, 11, 3, 12};   // the last two: not grouping columns
    const qint16 group = kGroups[(flags >> 1) & 0x07];

    VaroManager answer;
    answer.AddField(1, "0020");
    answer.AddField(2, "00000042");
    answer.AddField(3, "000001");
    const uint8_t records = in.byte() % 48;
    if (flags & 0x10)
        answer.AddField(ReportField::kCount, toStd(in.bytes(in.byte() % 6)));   // odd size or a raw number
    else
        answer.AddField(ReportField::kCount, toStd(le32(records)));
    if (flags & 0x20)
        answer.AddField(ReportField::kStatus, toStd(in.bytes(in.byte() % 6)));
    else
        answer.AddField(ReportField::kStatus, toStd(le32(qint32(in.byte() % 12) - 1)));
    for (int i = 1; i <= records && !in.atEnd(); ++i) {
        const uint8_t kind = in.byte();
        std::string record;
        if (kind < 0x20)
            record = toStd(in.bytes(in.byte()));        // raw bytes, parsed or not
        else if (kind < 0x28)
            continue;                                   // the record's field is missing
        else
            record = buildRecord(in);
        if (kind >= 0xF0 && !record.empty())
            record.back() = ',';                        // "not computed" check byte
        answer.AddField(qint16(ReportField::kRecordBase + i), record);
    }

    DecodedReport decoded = DecodeReportAnswer(answer, onlyApproved);
    if (decoded.outcome != DecodedReport::Decoded) {
        require(decoded.table.lastRow() == 0, "an answer that is not decoded sizes no table");
        return 0;
    }
    ReportTable &table = decoded.table;
    require(decoded.count >= 0 && table.lastRow() == decoded.count, "a row for every announced record");
    require(decoded.kept >= 0 && decoded.kept <= decoded.count, "no more kept rows than records");
    for (qint32 r = 1; r <= decoded.kept; ++r)
        checkRow(table, r);
    for (qint32 r = decoded.kept + 1; r <= table.lastRow(); ++r)
        for (int c = 0; c < C::kCount; ++c)
            require(table.cell(r, c).isEmpty(), "rows after the kept ones stay empty");

    RecordingCanvas canvas;
    QuietHost host;
    ManualClock clock;
    EventPacer pacer([] {}, clock, 20);
    LayOutReport(canvas, table, decoded.kept, group, QStringLiteral("Periood: 01.01.2026 - 31.01.2026"),
                 QStringLiteral("06.12.2026 15:30:00"), host, pacer);

    // A sum line is its label and, on the same line, an amount that ends at
    // the amounts' right edge.
    const float edge = AmountRightEdgeFor(group);
    for (std::size_t i = 0; i + 1 < canvas.texts.size(); ++i) {
        const Drawn &label = canvas.texts[i];
        const Drawn &amount = canvas.texts[i + 1];
        if (!isSumLabel(label.text) || amount.y != label.y
            || std::fabs(amount.x + canvas.TextWidth(amount.text) - edge) > 0.01f)
            continue;
        require(isAmount(amount.text), "every sum is finite and shown as an amount");
    }
    return 0;
}
