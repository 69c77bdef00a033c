#include "printing/ReceiptPrinter.h"
#include "common/BoxStyle.h"

#include "printing/PlatformPrinter.h"
#include "printing/Spooler.h"

#include "common/CodePage.h"
#include "common/Helpers.h"

#include <QCoreApplication>
#include <VaroManager.h>

#include <limits>
#include <string>

namespace {

// Prompt kind and style of the console's own errors: a plain message with
// the error icon and "OK".
constexpr int MessageKind = BoxKind::Message;
constexpr int ErrorStyle = BoxStyle::ErrorOk;

const QString &receiptFontName()
{
    static const QString name = QStringLiteral("Courier New");
    return name;
}

// The letters and their code page 437 bytes, pair by pair.
constexpr char16_t EstonianLetters[] = u"ÄäÖöÜüÕõ";
constexpr char Cp437Bytes[] = "\x8E\x84\x99\x94\x9A\x81\x93\x93";
static_assert(sizeof EstonianLetters / sizeof EstonianLetters[0] == sizeof Cp437Bytes);

} // namespace

ReceiptPrinter::ReceiptPrinter(Spooler &spooler, PlatformPrinter &platformPrinter, BoxOpener openBox)
    : m_spooler(spooler), m_platformPrinter(platformPrinter), m_openBox(std::move(openBox))
{
}

ReceiptPrinter::~ReceiptPrinter() = default;

QByteArray ReceiptPrinter::toReceiptPrinterBytes(QByteArrayView line)
{
    // The table is built from the console's code page, so it holds the bytes
    // the letters really have in the lines. A letter the code page cannot
    // hold cannot occur in a line and is left out (its '?' must stay '?').
    static const auto table = [] {
        const QByteArray letters = CodePage::console().encode(EstonianLetters);
        QByteArray source, target;
        for (qsizetype i = 0; i < letters.size() && i < qsizetype(sizeof Cp437Bytes - 1); ++i) {
            if (letters[i] == '?')
                continue;
            source.append(letters[i]);
            target.append(Cp437Bytes[i]);
        }
        return std::pair{source, target};
    }();
    return TranslateChars(line.toByteArray(), table.first, table.second);
}

qint16 ReceiptPrinter::FindPrinterIndex(const QString &name)
{
    const QStringList printers = m_spooler.destinations();
    const qsizetype index = printers.indexOf(name);
    if (index < 0 || index > std::numeric_limits<qint16>::max())
        return -1;
    return qint16(index);
}

bool ReceiptPrinter::PrintReceipt(const QByteArray &payload, qint32 receiptNumber,
                                  const QString &printerName, bool raw, const QByteArray &copyMark)
{
    VaroManager codec;
    const QString message =
        QCoreApplication::translate("ReceiptPrinter", "Viga kviitungite trükkimisel. (Kviitungi number=%1)")
            .arg(receiptNumber);
    const auto refuse = [&] {
        if (m_openBox)
            m_openBox(MessageKind, message, ErrorStyle);
        return false;
    };
    // The same message with the printer's reason on a line of its own. The
    // receipt is not retried here, and the approval it belongs to stands.
    const auto failed = [&](const QString &printerError) {
        if (m_openBox)
            m_openBox(MessageKind, message + u'\n' + printerError, ErrorStyle);
        return false;
    };

    // indexOf compares exactly, letter case included. The list is read once: the index and the name it selects come from the
    // same list even if the spooler's changes meanwhile.
    const QStringList printers = m_spooler.destinations();
    const qsizetype index = printers.indexOf(printerName);
    if (index < 0 || index > std::numeric_limits<qint16>::max())
        return refuse();
    m_platformPrinter.setCurrentPrinter(printers[index]);

    codec.Reset();
    std::string frame = payload.toStdString();
    std::string remainder;
    if (codec.ProcessMessage(frame, remainder) != VaroManager::Parsed)
        return refuse();

    const qint16 lineCount = codec.getFieldCount();
    if (raw) {
        if (!m_rawPrinter)
            m_rawPrinter = std::make_unique<RAWPrinter>(m_spooler);
        m_rawPrinter->DeviceName(printerName);
    } else {
        m_platformPrinter.setFontName(receiptFontName());
    }

    // The first line that fails ends the receipt: the raw printer has closed
    // its job by then, and the lines after it would go out as a job of their
    // own, a receipt without its head.
    bool printerChecked = raw;
    bool printedAny = false;
    const qint16 firstLine = copyMark.isEmpty() ? 1 : 0;
    for (int k = firstLine; k <= lineCount; ++k) {
        std::string field;
        if (k == 0)
            field = (raw ? copyMark + "\r\n" : copyMark).toStdString();
        else
            field = codec.GetFieldData(qint16(k), {});
        if (field.empty())
            continue;
        const QByteArrayView line(field.data(), qsizetype(field.size()));
        printedAny = true;
        if (raw) {
            if (!m_rawPrinter->PrintText(QByteArrayView(toReceiptPrinterBytes(line))))
                return failed(m_rawPrinter->Error());
            continue;
        }
        // The platform's printer object hands its document to the spooler
        // only at its end and never says whether the spooler took it: a
        // printer the spooler cannot open (a stopped queue) is found here,
        // before the first line.
        if (!printerChecked) {
            printerChecked = true;
            const Spooler::Handle handle = m_spooler.open(printers[index]);
            if (handle == 0)
                return failed(RAWPrinter::errorText(RAWPrinter::ErrOpenPrinter));
            m_spooler.close(handle);
        }
        m_platformPrinter.printLine(CodePage::console().decode(line));
        if (const QString error = m_platformPrinter.error(); !error.isEmpty()) {
            // Closed as the raw printer closes a failed job, so the next
            // receipt does not land in this one's document.
            m_platformPrinter.endDoc();
            return failed(error);
        }
    }

    // A job that was begun is ended, also when the frame had no lines of its
    // own behind a copy mark.
    if (lineCount > 0 || printedAny) {
        if (raw) {
            if (!m_rawPrinter->EndDoc())
                return failed(m_rawPrinter->Error());
        } else {
            m_platformPrinter.endDoc();
            if (const QString error = m_platformPrinter.error(); !error.isEmpty())
                return failed(error);
        }
    }
    return true;
}
