// The report document: the decoded report table laid out as a paged PDF,
// "Maksetehingute aruanne", saved as "Report.pdf" in the program's folder and
// opened for the cashier.
//
// Geometry is in millimetres from the top left corner of the page (ScaleMode
// 6). Every text is Arial. A page holds lines down to y = 260; the footer
// stands at y = 270. Rows can be grouped by one column of the table; every
// group ends with its sums, the document with the grand sums.
#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <array>
#include <functional>
#include <memory>

class Clock;
class EventPacer;
class ReportCanvas;
class ReportHost;
class ReportTable;

namespace ReportGeometry {
inline constexpr float kLeftMargin = 27;
inline constexpr float kPageBreakLimit = 260;   // a line below this starts a new page
inline constexpr float kFooterY = 270;
inline constexpr float kPageNumberX = 190;
inline constexpr float kTitleY = 10;
inline constexpr float kPeriodY = 20;
inline constexpr float kStampY = 15;
inline constexpr float kStampRight = 200;       // the creation time ends here
inline constexpr float kFirstPageTop = 25;
inline constexpr float kLaterPageTop = 35;
inline constexpr float kGroupTitleStep = 15;
inline constexpr float kLineStep = 5;
inline constexpr float kGrandSumStep = 10;
inline constexpr float kGrandSumGap = 2;
inline constexpr float kGroupLabelOffset = 40;  // labels stand this far left of the amounts' edge
inline constexpr float kGrandLabelOffset = 60;
inline constexpr float kAmountPadding = 2;      // the amounts end this far inside their column
inline constexpr qint16 kMillimetres = 6;       // ScaleMode
} // namespace ReportGeometry

namespace ReportStyle {
inline constexpr qint32 kTitleColour = 255;
inline constexpr qint32 kTextColour = 0;
inline constexpr qint32 kFooterColour = 0x707070;
inline constexpr float kTitleSize = 14;
inline constexpr float kTextSize = 9;
inline constexpr float kStampSize = 8;
inline constexpr qint16 kSolid = 0;
inline constexpr qint16 kDotted = 2;
} // namespace ReportStyle

// Widths of the table's columns 1 ... 11 in mm (index 0 unused):
// 25 20 22 19 38 15 15 0 0 5 14, 173 in all. A grouping column (not 0) is
// not printed; its width goes to the amount column 7, so rows still end at
// x = 200.
std::array<float, 12> ReportColumnWidths(qint16 groupColumn);

// Where a row of this grouping ends its amount: x of column 7 + its width
// - 2. The group and grand sums end there too.
float AmountRightEdgeFor(qint16 groupColumn);

// The creation time shown at the top right of every page,
// "dd.MM.yyyy HH:mm:ss" whatever the locale.
QString ReportStampText(const QDateTime &time);

// Moves y down by step. When y passes 260, closes the page with its footer
// (legend and pageNumber), starts a new page with the header (title,
// periodText, stampText), increments pageNumber and sets y to 35; the font,
// colour and draw style in force before are restored.
void AdvanceLine(float &y, float step, ReportCanvas &document, qint16 &pageNumber, float leftMargin,
                 const QString &stampText, const QString &periodText);

// Lays the whole document out on document (ScaleMode, header, groups, rows,
// sums, grand sums, footer), without saving it. table rows 1 ... rowCount are
// the rows; row 0 receives the headings, column 0 the "DONE" marks, column 10
// the flag letters, and columns 8 and 9 are emptied as rows are printed.
// groupColumn is 0 (no grouping), 1, 2, 5, 6 or 11; any other value lays the
// report out ungrouped. Progress goes to the host's status line; pacer runs
// the events. May throw what the canvas throws (PapyrOverflowError).
void LayOutReport(ReportCanvas &document, ReportTable &table, qint32 rowCount, qint16 groupColumn,
                  const QString &periodText, const QString &stampText, ReportHost &host, EventPacer &pacer);

struct ReportDocumentOptions {
    // Where the file goes; empty: "Report.pdf" in AppPaths::programDir().
    QString filePath;
    // Creation time and pacing; nullptr: Clock::system(). Must outlive the call.
    const Clock *clock = nullptr;
    // The writer to draw on; empty: a PapyrCanvas.
    std::function<std::unique_ptr<ReportCanvas>()> makeCanvas;
    // Longest stretch of records or rows without letting events run.
    qint64 eventIntervalMs = 20;
};

// Lays the table out, saves it and opens it (host.openDocument), with the
// checkpoints in the transaction log and the progress in the status line.
// A writer error shows "Aruanne koostamine ebaõnnestus: " + its text and
// leaves the file of the last report as it was; a viewer that cannot be
// started or reports failure when it ends shows "Aruande kuvamine
// ebaõnnestus." (that may come after the session has ended). Never throws;
// the caller ends the session in every case.
void BuildReportDocument(ReportTable &table, qint32 rowCount, qint16 groupColumn, ReportHost &host,
                         const ReportDocumentOptions &options = {});
