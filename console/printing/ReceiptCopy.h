// ReceiptCopy: the last approved receipt of this run, held for a reprint.
// Memory only: a receipt never goes to disk. The copy is printed behind the
// copy mark, and the reprint is logged only when the printer took it whole.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class ReceiptPrinter;

class ReceiptCopy {
public:
    // The copy's first line on a reprinted receipt.
    static constexpr char kCopyMark[] = "*** KOOPIA ***";

    void hold(const QByteArray &receiptFrame, qint32 receiptNumber)
    {
        m_frame = receiptFrame;
        m_receiptNumber = receiptNumber;
    }
    bool held() const { return !m_frame.isEmpty(); }
    qint32 receiptNumber() const { return m_receiptNumber; }

    // Prints the held receipt again on printerName; log gets
    // "Receipt reprinted: STAN=N" when it was printed. False when nothing is
    // held or the printer failed (the printer has told the cashier).
    bool reprint(ReceiptPrinter &printer, const QString &printerName, bool raw,
                 const std::function<void(const QString &)> &log) const;

private:
    QByteArray m_frame;
    qint32 m_receiptNumber = 0;
};
