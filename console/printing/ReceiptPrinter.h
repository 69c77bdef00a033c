// ReceiptPrinter: prints the customer's receipt that comes with an approval.
//
// The receipt is one Varo frame; its field with ID k (k = 1 … the number of
// fields) is line k, bytes in the console's code page, possibly empty. In raw
// mode the lines go, byte for byte, through the console's one RAWPrinter (made
// on the first raw print and kept), with the Estonian letters moved to their
// places in the receipt printer's code page 437 and no line terminator added:
// line breaks come only from control bytes inside the lines. Otherwise they go
// to the platform's printer object in "Courier New", one printed line each.
// All lines of one receipt make one job.
//
// The spooler, the platform printer and the box opener must outlive this
// object. Everything runs on the caller's thread.
#pragma once

#include "printing/RAWPrinter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <memory>

class PlatformPrinter;
class Spooler;

class ReceiptPrinter {
public:
    // Opens a message box: kind (0 = plain message), text, style (16 = error
    // icon with "OK"). The console wires it to the main window's OpenBox.
    using BoxOpener = std::function<void(int kind, const QString &text, int style)>;

    ReceiptPrinter(Spooler &spooler, PlatformPrinter &platformPrinter, BoxOpener openBox);
    ~ReceiptPrinter();

    // Prints the receipt frame on printerName (raw or through the platform
    // printer). False, with "Viga kviitungite trükkimisel. (Kviitungi
    // number=<receiptNumber>)" in an error box and nothing printed, when the
    // printer is not in the spooler's list or the frame does not parse.
    // False, with the same text and on a second line the printer's reason
    // (RAWPrinter::Error(), the platform printer's error(), or " Can't Open
    // the printer device." for a printer the spooler cannot open on the
    // platform path), when the printer fails: one box per receipt, and the
    // receipt ends at the failed line (a raw job is closed by RAWPrinter
    // itself; the rest never goes out as a job of its own). True when every
    // line was handed to the printer.
    // A copyMark (a reprint's "*** KOOPIA ***") goes first, as a line of its
    // own: ended by CR LF in raw mode, one printed line otherwise.
    bool PrintReceipt(const QByteArray &payload, qint32 receiptNumber, const QString &printerName,
                      bool raw, const QByteArray &copyMark = {});

    // Position (from 0) of the first destination whose name equals `name`
    // exactly, letter case included; -1 when there is none.
    qint16 FindPrinterIndex(const QString &name);

    // The console's raw printer, null until the first raw print.
    RAWPrinter *RawPrinter() const { return m_rawPrinter.get(); }

    // A receipt line as the receipt printer must receive it: Ä ä Ö ö Ü ü Õ õ
    // of the console's code page become 0x8E 0x84 0x99 0x94 0x9A 0x81 0x93
    // 0x93 (code page 437 has no Õ/õ; ô stands in for both); every other byte
    // is sent as it is.
    static QByteArray toReceiptPrinterBytes(QByteArrayView line);

private:
    Spooler &m_spooler;
    PlatformPrinter &m_platformPrinter;
    BoxOpener m_openBox;
    std::unique_ptr<RAWPrinter> m_rawPrinter;
};
