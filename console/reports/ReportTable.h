// ReportTable: the decoded "0020" answer as rows of byte-string cells, and the
// texts and column numbers shared by the decoder and the document.
//
// Row 0 holds the column headings (written by the document builder); rows
// 1 ... kept hold the kept records in arrival order; rows after kept stay
// empty. Cells are console code page bytes (CodePage::console()), except
// column 12, which holds the 8 raw bytes of a little-endian IEEE 754 double.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <vector>

namespace ReportColumn {
inline constexpr int kDoneMark = 0;      // "DONE" once the row is printed
inline constexpr int kTerminal = 1;
inline constexpr int kDate = 2;          // DD.MM.20YY
inline constexpr int kTime = 3;          // hh:mm:ss
inline constexpr int kStan = 4;          // decimal
inline constexpr int kCard = 5;
inline constexpr int kResponseCode = 6;  // " " + decimal
inline constexpr int kAmount = 7;        // FormatAmount of the shown amount
inline constexpr int kTipFlag = 8;       // "Jootraha lisatud" or empty
inline constexpr int kBookingFlag = 9;   // "Broneering" or empty
inline constexpr int kCancelFlag = 10;   // "tühistatud" or empty; the flag letter once printed
inline constexpr int kSent = 11;         // "      +" or empty
inline constexpr int kSumAmount = 12;    // 8 raw bytes: the amount the sums add
inline constexpr int kCount = 13;
} // namespace ReportColumn

// Cell texts written by the decoder, in the console code page.
namespace ReportCell {
inline const QString kTipAdded = QStringLiteral("Jootraha lisatud");
inline const QString kBooking = QStringLiteral("Broneering");
inline const QString kCancelled = QStringLiteral("tühistatud");
inline constexpr const char *kSentMark = "      +";   // six blanks and a plus
inline constexpr const char *kDone = "DONE";
} // namespace ReportCell

class ReportTable {
public:
    // rows 0 ... lastRow, every cell empty. A negative lastRow gives row 0 only.
    explicit ReportTable(qint32 lastRow = 0);

    qint32 lastRow() const { return qint32(m_cells.size() / ReportColumn::kCount) - 1; }

    // No bounds checks beyond Q_ASSERT: row 0 ... lastRow(), column 0 ... 12.
    const QByteArray &cell(qint32 row, int column) const { return m_cells[index(row, column)]; }
    QByteArray &cell(qint32 row, int column) { return m_cells[index(row, column)]; }
    void setCell(qint32 row, int column, QByteArray value) { m_cells[index(row, column)] = std::move(value); }

    // The summing amount of column 12 (0 unless it holds exactly 8 bytes).
    double sumAmount(qint32 row) const;

private:
    std::size_t index(qint32 row, int column) const
    {
        Q_ASSERT(row >= 0 && row <= lastRow() && column >= 0 && column < ReportColumn::kCount);
        return std::size_t(row) * ReportColumn::kCount + std::size_t(column);
    }
    std::vector<QByteArray> m_cells;
};
