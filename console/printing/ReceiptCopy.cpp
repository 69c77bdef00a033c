#include "printing/ReceiptCopy.h"

#include "printing/ReceiptPrinter.h"

bool ReceiptCopy::reprint(ReceiptPrinter &printer, const QString &printerName, bool raw,
                          const std::function<void(const QString &)> &log) const
{
    if (!held())
        return false;
    if (!printer.PrintReceipt(m_frame, m_receiptNumber, printerName, raw, QByteArray(kCopyMark)))
        return false;
    if (log)
        log(QStringLiteral("Receipt reprinted: STAN=") + QString::number(m_receiptNumber));
    return true;
}
