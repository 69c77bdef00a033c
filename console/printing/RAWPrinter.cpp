#include "printing/RAWPrinter.h"

#include "common/CodePage.h"

#include <QFile>

#include <algorithm>

namespace {

constexpr qint64 FileChunkSize = 8192;

} // namespace

RAWPrinter::RAWPrinter(Spooler &spooler)
    : m_spooler(spooler),
      m_DocumentName(QStringLiteral("Moldar - RAWPrinter")),
      m_DeviceName(spooler.defaultDestination())
{
}

RAWPrinter::~RAWPrinter()
{
    if (m_JobStarted)
        EndDoc();
}

QString RAWPrinter::errorText(qint16 err)
{
    switch (err) {
    case ErrNone: return {};
    case ErrOpenPrinter: return QStringLiteral(" Can't Open the printer device.");
    case ErrStartJob: return QStringLiteral("Can't Start the print job.");
    case ErrStartPage: return QStringLiteral("Can't start printing a page.");
    case ErrBytesMissing: return QStringLiteral("Some bytes were not successfully sent to the printer.");
    case ErrCancel: return QStringLiteral("Could not cancel the print job.");
    case ErrDocumentName: return QStringLiteral("Can't change document name.");
    case ErrWrite: return QStringLiteral("Failed write to printer.");
    case ErrReadFile: return QStringLiteral("Could not read from file.");
    case ErrEndPage: return QStringLiteral("Call to end page failed.");
    case ErrEndDoc: return QStringLiteral("Call to close doc failed.");
    case ErrDeviceChange: return QStringLiteral("Can't change device while printing.");
    case ErrDeviceContext: return QStringLiteral("Can't create a device context.");
    default: return QStringLiteral("Unknown error.");
    }
}

QString RAWPrinter::Error() const
{
    return errorText(m_Err);
}

void RAWPrinter::closePrinter()
{
    m_spooler.close(m_hPrinter);
    m_hPrinter = 0;
    m_JobStarted = false;
}

void RAWPrinter::abandonJob(bool pageOpen)
{
    if (pageOpen)
        m_spooler.endPage(m_hPrinter);
    m_spooler.endJob(m_hPrinter);
    closePrinter();
}

bool RAWPrinter::writeToJob(QByteArrayView bytes)
{
    m_BytesRequested += bytes.size();
    const qint64 written = m_spooler.write(m_hPrinter, bytes);
    if (written < 0) {
        abandonJob(true);
        m_Err = ErrWrite;
        return false;
    }
    m_BytesWritten += written;
    return true;
}

bool RAWPrinter::NewDoc(const QString &DocName, const QString &FileName)
{
    m_Err = ErrNone;
    if (m_JobStarted && !EndDoc())
        return false;

    m_hPrinter = m_spooler.open(m_DeviceName);
    if (m_hPrinter == 0) {
        m_Err = ErrOpenPrinter;
        return false;
    }
    if (!DocName.isEmpty())
        m_DocumentName = DocName;

    m_hJob = m_spooler.startJob(m_hPrinter, m_DocumentName, FileName);
    if (m_hJob < 1) {
        closePrinter();
        m_Err = ErrStartJob;
        return false;
    }
    if (!m_spooler.startPage(m_hPrinter)) {
        abandonJob(false);
        m_Err = ErrStartPage;
        return false;
    }
    m_BytesWritten = 0;
    m_BytesRequested = 0;
    m_JobStarted = true;
    return true;
}

bool RAWPrinter::NewPage()
{
    if (!m_JobStarted)
        return NewDoc();
    m_Err = ErrNone;
    if (!m_spooler.endPage(m_hPrinter)) {
        abandonJob(false);
        m_Err = ErrEndPage;
        return false;
    }
    if (!m_spooler.startPage(m_hPrinter)) {
        abandonJob(false);
        m_Err = ErrStartPage;
        return false;
    }
    return true;
}

bool RAWPrinter::PrintText(QByteArrayView Txt)
{
    if (!m_JobStarted && !NewDoc())
        return false;
    m_Err = ErrNone;
    return writeToJob(Txt);
}

bool RAWPrinter::PrintText(QStringView Txt)
{
    // Counted in bytes, not characters: a character outside the 16-bit range
    // is one '?' byte, and the byte count is what the spooler's is compared to.
    return PrintText(QByteArrayView(CodePage::console().encode(Txt)));
}

bool RAWPrinter::PrintFile(const QString &fname)
{
    if (!m_JobStarted && !NewDoc())
        return false;
    m_Err = ErrNone;

    QFile file(fname);
    const auto readFailed = [&] {
        abandonJob(true);
        m_Err = ErrReadFile;
        return false;
    };
    if (!file.open(QIODevice::ReadOnly))
        return readFailed();

    qint64 remaining = file.size();
    while (remaining > 0) {
        const QByteArray chunk = file.read(std::min(remaining, FileChunkSize));
        if (chunk.isEmpty())
            return readFailed();
        remaining -= chunk.size();
        if (!writeToJob(chunk))
            return false;
    }
    return true;
}

bool RAWPrinter::EndDoc()
{
    if (!m_JobStarted)
        return true;
    m_Err = ErrNone;
    if (!m_spooler.endPage(m_hPrinter)) {
        abandonJob(false);
        m_Err = ErrEndPage;
        return false;
    }
    if (!m_spooler.endJob(m_hPrinter)) {
        closePrinter();
        m_Err = ErrEndDoc;
        return false;
    }
    closePrinter();
    if (m_BytesWritten != m_BytesRequested) {
        m_Err = ErrBytesMissing;
        return false;
    }
    return true;
}

bool RAWPrinter::KillDoc()
{
    m_Err = ErrNone;
    bool cancelled = false;
    if (m_JobStarted) {
        cancelled = m_spooler.cancelJob(m_hPrinter, m_hJob);
        abandonJob(true);
    }
    if (!cancelled)
        m_Err = ErrCancel;
    return cancelled;
}

void RAWPrinter::DeviceName(const QString &name)
{
    if (m_JobStarted) {
        m_Err = ErrDeviceChange;
        return;
    }
    m_DeviceName = name;
}

void RAWPrinter::DocumentName(const QString &DocName)
{
    if (m_JobStarted && !m_spooler.setJobName(m_hPrinter, m_hJob, DocName)) {
        m_Err = ErrDocumentName;
        return;
    }
    m_DocumentName = DocName;
}

int RAWPrinter::Priority()
{
    return m_spooler.jobPriority(m_hPrinter, m_hJob);
}

void RAWPrinter::Priority(int i)
{
    m_spooler.setJobPriority(m_hPrinter, m_hJob, std::clamp(i, Spooler::MinPriority, Spooler::MaxPriority));
}
