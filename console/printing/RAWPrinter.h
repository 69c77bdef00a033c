// RAWPrinter: sends bytes unchanged to a named printer through the spooler,
// bypassing any driver: one job of raw data with one page, into which text or
// a file's contents are written, then ended or cancelled.
//
// No member throws or raises: each reports through its boolean result (true =
// success) and the last failure's code in Err(), with its fixed English text
// in Error():
//   0 ""                                                  (no failure)
//   2000 " Can't Open the printer device."
//   2001 "Can't Start the print job."
//   2002 "Can't start printing a page."
//   2003 "Some bytes were not successfully sent to the printer."
//   2004 "Could not cancel the print job."
//   2005 "Can't change document name."
//   2006 "Failed write to printer."
//   2007 "Could not read from file."
//   2008 "Call to end page failed."
//   2009 "Call to close doc failed."
//   2010 "Can't change device while printing."
//   2011 "Can't create a device context."                   (nothing sets it)
//   other "Unknown error."
//
// States: idle, or job started (JobStarted()). NewDoc, and NewPage, PrintText
// or PrintFile when idle, start a job; EndDoc, KillDoc and every failure after
// the printer was opened go back to idle, always after ending the page and the
// document and closing the printer, so no spooler handle outlives a failure.
// One instance prints one job at a time and can be reused for any number.
//
// The spooler must outlive the printer. Destroying a printer with a job
// started ends the job as EndDoc does.
#pragma once

#include "printing/Spooler.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

class RAWPrinter {
public:
    // The codes of Err(), as listed above.
    enum : qint16 {
        ErrNone = 0,
        ErrOpenPrinter = 2000,
        ErrStartJob = 2001,
        ErrStartPage = 2002,
        ErrBytesMissing = 2003,
        ErrCancel = 2004,
        ErrDocumentName = 2005,
        ErrWrite = 2006,
        ErrReadFile = 2007,
        ErrEndPage = 2008,
        ErrEndDoc = 2009,
        ErrDeviceChange = 2010,
        ErrDeviceContext = 2011,
    };

    // DocumentName "Moldar - RAWPrinter"; DeviceName the spooler's default
    // destination.
    explicit RAWPrinter(Spooler &spooler);
    ~RAWPrinter();
    RAWPrinter(const RAWPrinter &) = delete;
    RAWPrinter &operator=(const RAWPrinter &) = delete;

    qint16 Err() const { return m_Err; }
    QString Error() const;
    static QString errorText(qint16 err);

    bool NewPage();
    // A DocName that is not empty becomes DocumentName; a FileName that is not
    // empty asks the spooler to put the job in that file.
    bool NewDoc(const QString &DocName = {}, const QString &FileName = {});
    // Cancels the started job; false (Err 2004) when idle or when the spooler
    // refused the cancel. The job is closed either way.
    bool KillDoc();
    // True at once when idle, Err left as it was. With a job: false with 2003
    // when the spooler took fewer bytes than it was handed in this job.
    bool EndDoc();

    QString DeviceName() const { return m_DeviceName; }
    // Refused with Err 2010 while a job is started (the job keeps printing to
    // the old printer); Err is not reset otherwise.
    void DeviceName(const QString &name);

    bool JobStarted() const { return m_JobStarted; }

    QString DocumentName() const { return m_DocumentName; }
    // While a job is started the spooler renames the job first; if it refuses,
    // Err = 2005 and the old name stays.
    void DocumentName(const QString &DocName);

    // Writes exactly these bytes in one spooler write, adding nothing (no line
    // terminator, no form feed). Opens a job when idle.
    bool PrintText(QByteArrayView Txt);
    // The same for text, converted to the console's code page first
    // (characters it cannot hold become '?').
    bool PrintText(QStringView Txt);
    // Appends the file's bytes, 8192 at a time; the job stays open for more.
    bool PrintFile(const QString &fname);

    Spooler::Handle hPrinter() const { return m_hPrinter; }   // 0 while idle
    qint32 hJob() const { return m_hJob; }

    // The job's priority as the spooler reports it, 0 when it cannot.
    int Priority();
    // Clamped to 1 … 99 and sent for the current job; the outcome is not
    // checked and Err does not change.
    void Priority(int i);

private:
    // Ends page and document and closes the printer, each ignoring its own
    // failure; leaves the instance idle.
    void abandonJob(bool pageOpen);
    void closePrinter();
    // Hands bytes of the open job to the spooler and counts them requested
    // and written; a failed write abandons the job with ErrWrite.
    bool writeToJob(QByteArrayView bytes);

    Spooler &m_spooler;
    Spooler::Handle m_hPrinter = 0;
    qint64 m_BytesWritten = 0;
    qint64 m_BytesRequested = 0;
    qint32 m_hJob = 0;
    QString m_DocumentName;
    QString m_DeviceName;
    qint16 m_Err = 0;
    bool m_JobStarted = false;
};
