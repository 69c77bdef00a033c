#include "reports/ReportDocument.h"
#include "common/BoxStyle.h"

#include "common/AppPaths.h"
#include "common/Clock.h"
#include "common/CodePage.h"
#include "common/Helpers.h"
#include "reports/EventPacer.h"
#include "reports/ReportCanvas.h"
#include "reports/ReportHost.h"
#include "reports/ReportTable.h"
#include "reports/ReportTexts.h"

#include <QHash>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <future>
#include <vector>

namespace G = ReportGeometry;
namespace S = ReportStyle;
namespace C = ReportColumn;

namespace {

constexpr qint32 kMessageKind = BoxKind::Message;
constexpr qint32 kErrorStyle = BoxStyle::ErrorOk;
constexpr int kLastPrintedColumn = C::kSent;

// Font size and faces in one step. The flags that go off are written before
// the ones that go on: the writer registers a font for every combination it
// is shown, and a bold text followed by an italic one must not register an
// unused bold italic face on the way.
void setFont(ReportCanvas &document, float size, bool bold, bool italic)
{
    document.FontSize(size);
    if (!bold)
        document.FontBold(false);
    if (!italic)
        document.FontItalic(false);
    if (bold)
        document.FontBold(true);
    if (italic)
        document.FontItalic(true);
}

void printAt(ReportCanvas &document, float x, float y, const QString &text)
{
    document.CurrentX(x);
    document.CurrentY(y);
    document.PrintText(text);
}

void drawHeader(ReportCanvas &document, float leftMargin, const QString &periodText, const QString &stampText)
{
    document.FontName(QStringLiteral("Arial"));
    setFont(document, S::kTitleSize, true, false);
    document.ForeColor(S::kTitleColour);
    printAt(document, leftMargin, G::kTitleY, ReportText::kTitle);
    document.ForeColor(S::kTextColour);
    setFont(document, S::kTextSize, true, false);
    printAt(document, leftMargin, G::kPeriodY, periodText);
    setFont(document, S::kStampSize, false, true);
    printAt(document, G::kStampRight - document.TextWidth(stampText), G::kStampY, stampText);
}

void drawFooter(ReportCanvas &document, float leftMargin, qint16 pageNumber)
{
    document.FontName(QStringLiteral("Arial"));
    setFont(document, S::kTextSize, true, false);
    document.ForeColor(S::kFooterColour);
    printAt(document, leftMargin, G::kFooterY, ReportText::kLegend);
    printAt(document, G::kPageNumberX, G::kFooterY, QString::number(pageNumber));
    document.ForeColor(S::kTextColour);
}

QString shown(const QByteArray &cell)
{
    return CodePage::console().decode(cell);
}

// A sum as the report shows and judges it: rounded to whole cents as
// FormatAmount rounds. Adding amounts leaves residues (0.3 - 0.1 - 0.2 is
// -2.8e-17) that stand for zero: compared raw they would print "-0.00" as a
// sum line of their own and take the total line's place.
double roundedToCents(double sum)
{
    const double cents = RoundToStep(std::fabs(sum) * 100, 1);
    if (cents == 0)
        return 0;
    return std::copysign(cents / 100, sum);
}

// The whole-number percentage of the progress text, halves to even.
int percentOf(qint32 done, qint32 total)
{
    return int(std::nearbyint(double(done) / double(total) * 100.0));
}

class ReportLayout {
public:
    ReportLayout(ReportCanvas &document, ReportTable &table, qint32 rowCount, qint16 groupColumn,
                 const QString &periodText, const QString &stampText, ReportHost &host, EventPacer &pacer)
        : m_doc(document), m_table(table), m_rowCount(rowCount),
          m_group(groupColumn == 1 || groupColumn == 2 || groupColumn == 5 || groupColumn == 6
                          || groupColumn == 11
                      ? groupColumn
                      : 0),
          m_width(ReportColumnWidths(m_group)), m_period(periodText), m_stamp(stampText), m_host(host),
          m_pacer(pacer)
    {
    }

    void run(const std::function<void()> &afterHeadings)
    {
        m_doc.ScaleMode(G::kMillimetres);
        drawHeader(m_doc, G::kLeftMargin, m_period, m_stamp);
        m_y = G::kFirstPageTop;
        m_x = G::kLeftMargin;
        writeHeadings();
        afterHeadings();

        // Groups stand in the order of their first rows, and rows keep table
        // order within a group: the order a pass per group over the table
        // gives, found here in one pass.
        for (const std::vector<qint32> &rows : groupsInOrder()) {
            m_pacer.maybePump();
            printGroup(rows);
        }
        m_pacer.pump();
        // The pass that finds no more rows leaves this font behind.
        setFont(m_doc, S::kTextSize, true, false);
        printGrandSums();
        drawFooter(m_doc, G::kLeftMargin, m_page);
    }

private:
    void advance(float step)
    {
        AdvanceLine(m_y, step, m_doc, m_page, G::kLeftMargin, m_stamp, m_period);
    }

    void writeHeadings()
    {
        static const char *const kHeadings[C::kCount] = {
            "", " Terminal", " Kuupaev", "   Kell", "STAN", "     Kaart", "Kood", "  Summa", "", "", "", "Saadetud", "",
        };
        for (int c = 0; c < C::kCount; ++c)
            m_table.setCell(0, c, QByteArray(kHeadings[c]));
    }

    std::vector<std::vector<qint32>> groupsInOrder() const
    {
        std::vector<std::vector<qint32>> groups;
        if (m_rowCount <= 0)
            return groups;
        if (m_group == 0) {
            groups.emplace_back();
            groups.back().reserve(std::size_t(m_rowCount));
            for (qint32 r = 1; r <= m_rowCount; ++r)
                groups.back().push_back(r);
            return groups;
        }
        QHash<QByteArray, std::size_t> groupOf;
        groupOf.reserve(m_rowCount);
        for (qint32 r = 1; r <= m_rowCount; ++r) {
            const QByteArray &value = m_table.cell(r, m_group);
            auto it = groupOf.constFind(value);
            if (it == groupOf.constEnd()) {
                it = groupOf.insert(value, groups.size());
                groups.emplace_back();
            }
            groups[*it].push_back(r);
        }
        return groups;
    }

    QString groupTitle(qint32 row) const
    {
        const QByteArray &value = m_table.cell(row, m_group);
        switch (m_group) {
        case C::kResponseCode:
            return ReportText::kCodeTitlePrefix + shown(value);
        case C::kSent:
            return value == ReportCell::kSentMark ? ReportText::kSentTitle : ReportText::kNotSentTitle;
        case C::kCard:
            return value.isEmpty() ? ReportText::kUnknownIssuer : shown(value);
        default:
            return shown(value);
        }
    }

    void printGroup(const std::vector<qint32> &rows)
    {
        m_sent = m_notSent = m_reserved = 0;

        advance(G::kGroupTitleStep);
        setFont(m_doc, S::kTextSize, true, false);
        printAt(m_doc, G::kLeftMargin, m_y, groupTitle(rows.front()));
        advance(G::kLineStep);
        m_x = G::kLeftMargin;
        setFont(m_doc, S::kTextSize, false, true);
        for (int c = 1; c <= kLastPrintedColumn; ++c) {
            if (c == m_group)
                continue;
            const QString heading = shown(m_table.cell(0, c));
            float x = m_x;
            if (c == C::kAmount)
                x = m_x + m_width[c] - G::kAmountPadding - m_doc.TextWidth(heading);
            m_doc.CurrentX(x);
            m_doc.CurrentY(m_y);
            m_x += m_width[c];
            m_doc.PrintText(heading);
        }

        for (qint32 r : rows) {
            m_pacer.maybePump();
            printRow(r);
        }

        setFont(m_doc, S::kTextSize, true, false);
        printGroupSums();
    }

    void addSentOrNot(qint32 row, double amount)
    {
        if (!m_table.cell(row, C::kSent).isEmpty())
            m_sent += amount;
        else
            m_notSent += amount;
    }

    void printRow(qint32 r)
    {
        setFont(m_doc, S::kTextSize, false, false);
        m_table.setCell(r, C::kDoneMark, QByteArray(ReportCell::kDone));
        ++m_printed;
        const int percent = percentOf(m_printed, m_rowCount);
        if (percent != m_shownPercent) {
            m_shownPercent = percent;
            m_host.setStatusLine(ReportText::building(percent));
        }

        // One flag letter per row, "T" before "B" before "E". A cancelled
        // booking is a cancellation: it counts as sent or not sent.
        const double amount = m_table.sumAmount(r);
        QByteArray &flag = m_table.cell(r, C::kCancelFlag);
        if (!flag.isEmpty()) {
            flag = ReportText::kFlagCancelled.toLatin1();
            addSentOrNot(r, amount);
        } else {
            if (!m_table.cell(r, C::kTipFlag).isEmpty())
                flag = ReportText::kFlagTip.toLatin1();
            if (!m_table.cell(r, C::kBookingFlag).isEmpty()) {
                flag = ReportText::kFlagBooking.toLatin1();
                m_reserved += amount;
            } else {
                addSentOrNot(r, amount);
            }
        }
        m_table.cell(r, C::kTipFlag).clear();
        m_table.cell(r, C::kBookingFlag).clear();

        advance(G::kLineStep);
        m_x = G::kLeftMargin;
        for (int c = 1; c <= kLastPrintedColumn; ++c) {
            if (c == m_group)
                continue;
            const QString text = shown(m_table.cell(r, c));
            m_doc.CurrentY(m_y);
            if (c == C::kAmount) {
                m_amountRightEdge = m_x + m_width[c] - G::kAmountPadding;
                m_doc.CurrentX(m_amountRightEdge - m_doc.TextWidth(text));
            } else {
                m_doc.CurrentX(m_x);
            }
            m_x += m_width[c];
            m_doc.PrintText(text);
        }
        m_doc.DrawStyle(S::kDotted);
        m_doc.DrawLine(G::kLeftMargin, m_y + 4, m_x, m_y + 4);
    }

    // A label at labelX and the amount ending at the amounts' right edge, on
    // the current line.
    void printSumLine(float labelOffset, const QString &label, double sum)
    {
        printAt(m_doc, m_amountRightEdge - labelOffset, m_y, label);
        const QString amount = FormatAmount(sum);
        printAt(m_doc, m_amountRightEdge - m_doc.TextWidth(amount), m_y, amount);
    }

    // The sent, not-sent and reserved lines of the sums that are not 0 in
    // whole cents, and a total unless exactly one of them stood alone.
    void printSums(float labelOffset, double sentSum, double notSentSum, double reservedSum,
                   const QString *const labels[4])
    {
        const double sent = roundedToCents(sentSum);
        const double notSent = roundedToCents(notSentSum);
        const double reserved = roundedToCents(reservedSum);
        int shownLines = 0;
        if (sent != 0) {
            shownLines = 1;
            printSumLine(labelOffset, *labels[0], sent);
        }
        if (notSent != 0) {
            ++shownLines;
            advance(G::kLineStep);
            printSumLine(labelOffset, *labels[1], notSent);
        }
        if (reserved != 0) {
            ++shownLines;
            advance(G::kLineStep);
            printSumLine(labelOffset, *labels[2], reserved);
        }
        if (shownLines != 1) {
            advance(G::kLineStep);
            printSumLine(labelOffset, *labels[3], roundedToCents(reservedSum + sentSum + notSentSum));
        }
    }

    void printGroupSums()
    {
        advance(G::kLineStep);
        m_doc.DrawStyle(S::kSolid);
        m_doc.DrawLine(G::kLeftMargin, m_y, m_x, m_y);
        m_y += 1;
        m_grandSent += m_sent;
        m_grandNotSent += m_notSent;
        m_grandReserved += m_reserved;
        static const QString *const kLabels[4] = {&ReportText::kGroupSent, &ReportText::kGroupNotSent,
                                                  &ReportText::kGroupReserved, &ReportText::kGroupTotal};
        printSums(G::kGroupLabelOffset, m_sent, m_notSent, m_reserved, kLabels);
    }

    void printGrandSums()
    {
        // No row printed: the sums stand where a row's amount would have
        // ended, not at the page's left edge.
        if (m_printed == 0)
            m_amountRightEdge = AmountRightEdgeFor(m_group);
        advance(G::kGrandSumStep);
        m_doc.DrawLine(G::kLeftMargin, m_y, m_x, m_y);
        m_y += 1;
        m_doc.DrawLine(G::kLeftMargin, m_y, m_x, m_y);
        advance(G::kGrandSumGap);
        static const QString *const kLabels[4] = {&ReportText::kGrandSent, &ReportText::kGrandNotSent,
                                                  &ReportText::kGrandReserved, &ReportText::kGrandTotal};
        printSums(G::kGrandLabelOffset, m_grandSent, m_grandNotSent, m_grandReserved, kLabels);
    }

    ReportCanvas &m_doc;
    ReportTable &m_table;
    const qint32 m_rowCount;
    const qint16 m_group;
    const std::array<float, 12> m_width;
    const QString m_period;
    const QString m_stamp;
    ReportHost &m_host;
    EventPacer &m_pacer;

    float m_y = 0;
    float m_x = 0;
    float m_amountRightEdge = 0;
    qint16 m_page = 1;
    qint32 m_printed = 0;
    int m_shownPercent = -1;
    double m_sent = 0, m_notSent = 0, m_reserved = 0;
    double m_grandSent = 0, m_grandNotSent = 0, m_grandReserved = 0;
};

// The writer builds the whole file in one call, which for the largest answer
// takes longer than the window may go without events. It runs on a worker
// thread while this thread keeps the events running; nothing else holds the
// document, and this thread does not touch it until the worker is done.
QString saveKeepingEventsRunning(ReportCanvas &document, EventPacer &pacer)
{
    std::future<QString> saved = std::async(std::launch::async, [&document] { return document.EndDoc(); });
    const auto wait = std::chrono::milliseconds(std::clamp<qint64>(pacer.intervalMs(), 1, 20));
    while (saved.wait_for(wait) != std::future_status::ready)
        pacer.pump();
    return saved.get();
}

} // namespace

std::array<float, 12> ReportColumnWidths(qint16 groupColumn)
{
    std::array<float, 12> widths = {0, 25, 20, 22, 19, 38, 15, 15, 0, 0, 5, 14};
    if (groupColumn >= 1 && groupColumn <= 11)
        widths[C::kAmount] += widths[std::size_t(groupColumn)];
    return widths;
}

float AmountRightEdgeFor(qint16 groupColumn)
{
    const std::array<float, 12> widths = ReportColumnWidths(groupColumn);
    float x = G::kLeftMargin;
    for (int c = 1; c < C::kAmount; ++c) {
        if (c != groupColumn)
            x += widths[std::size_t(c)];
    }
    return x + widths[C::kAmount] - G::kAmountPadding;
}

QString ReportStampText(const QDateTime &time)
{
    return time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

void AdvanceLine(float &y, float step, ReportCanvas &document, qint16 &pageNumber, float leftMargin,
                 const QString &stampText, const QString &periodText)
{
    y += step;
    if (!(y > G::kPageBreakLimit))
        return;

    const QString fontName = document.FontName();
    const float fontSize = document.FontSize();
    const bool bold = document.FontBold();
    const bool italic = document.FontItalic();
    const qint32 colour = document.ForeColor();
    const qint16 drawStyle = document.DrawStyle();

    drawFooter(document, leftMargin, pageNumber);
    document.NewPage();
    ++pageNumber;
    drawHeader(document, leftMargin, periodText, stampText);
    y = G::kLaterPageTop;

    document.FontName(fontName);
    setFont(document, fontSize, bold, italic);
    document.ForeColor(colour);
    document.DrawStyle(drawStyle);
}

void LayOutReport(ReportCanvas &document, ReportTable &table, qint32 rowCount, qint16 groupColumn,
                  const QString &periodText, const QString &stampText, ReportHost &host, EventPacer &pacer)
{
    ReportLayout(document, table, qBound(0, rowCount, table.lastRow()), groupColumn, periodText, stampText,
                 host, pacer)
        .run([] {});
}

void BuildReportDocument(ReportTable &table, qint32 rowCount, qint16 groupColumn, ReportHost &host,
                         const ReportDocumentOptions &options)
{
    const Clock &clock = options.clock ? *options.clock : Clock::system();
    EventPacer pacer([&host] { host.processEvents(); }, clock, options.eventIntervalMs);
    const QString filePath =
        options.filePath.isEmpty() ? AppPaths::programFile(QStringLiteral("Report.pdf")) : options.filePath;

    host.LogEvent(ReportText::kCheckpoint1);
    const QString stampText = ReportStampText(clock.now());

    std::unique_ptr<ReportCanvas> document =
        options.makeCanvas ? options.makeCanvas() : std::make_unique<PapyrCanvas>();
    document->FileName(filePath);

    QString error;
    try {
        ReportLayout(*document, table, qBound(0, rowCount, table.lastRow()), groupColumn, host.reportPeriodText(),
                     stampText, host, pacer)
            .run([&host] { host.LogEvent(ReportText::kCheckpoint2); });
        host.LogEvent(ReportText::kCheckpoint3);
        host.setStatusLine(ReportText::saving());
        pacer.pump();
        error = saveKeepingEventsRunning(*document, pacer);
        host.LogEvent(ReportText::kCheckpoint4);
    } catch (const std::exception &e) {
        // The writer refuses a value it cannot record (a document of more
        // than 32767 pages, a coordinate out of range): nothing is saved, and
        // the cashier learns why instead of the console stopping.
        error = QString::fromUtf8(e.what());
    }

    if (!error.isEmpty()) {
        host.OpenBox(kMessageKind, ReportText::buildFailed(error), kErrorStyle);
        return;
    }
    // The viewer's verdict may come after the session has ended.
    host.openDocument(filePath, [](ReportHost &later) {
        later.OpenBox(kMessageKind, ReportText::showFailed(), kErrorStyle);
    });
}
