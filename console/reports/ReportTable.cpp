#include "reports/ReportTable.h"

#include "common/Bytes.h"
#include "common/Helpers.h"

ReportTable::ReportTable(qint32 lastRow)
    : m_cells(std::size_t(qMax(lastRow, 0) + 1) * ReportColumn::kCount)
{
}

double ReportTable::sumAmount(qint32 row) const
{
    return DecodeDouble(cell(row, ReportColumn::kSumAmount));
}
