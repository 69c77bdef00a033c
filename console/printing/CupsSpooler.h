// CupsSpooler: the Spooler over CUPS through libcups.
//
// Server: whatever libcups is pointed at (CUPS_SERVER, cupsSetServer, the
// client.conf), local socket or host. All calls block on the calling thread.
//
// A handle owns one HTTP connection of its own, because a job's document is
// streamed on it between startJob and endJob (Create-Job, then Send-Document
// of format CUPS_FORMAT_RAW sent in chunks, finished by cupsFinishDocument).
// Job control (Cancel-Job, Set-Job-Attributes, Get-Job-Attributes) goes over
// libcups' default connection, so it works while a document is streaming.
//
// A queue that is stopped or does not accept jobs cannot be opened: a job
// there would be held or refused, not printed.
//
// CUPS has no pages in a raw stream: startPage/endPage only check that a job
// runs on the handle. There is no per-job output file either: a job asked to
// go to a file is refused rather than sent to the device.
//
// Priorities: the callers' range 1 … 99 maps linearly onto IPP job-priority
// 1 … 100, ends onto ends, rounding to nearest (ippPriority() and
// fromIppPriority()). Every value survives the trip there and back, and the
// IPP default 50 reads as 50.
#pragma once

#include "printing/Spooler.h"

#include <QByteArray>
#include <QHash>

#include <memory>

class CupsSpooler final : public Spooler {
public:
    CupsSpooler();
    ~CupsSpooler() override;
    CupsSpooler(const CupsSpooler &) = delete;
    CupsSpooler &operator=(const CupsSpooler &) = delete;

    static int ippPriority(int priority);       // 1 … 99 -> 1 … 100
    static int fromIppPriority(int ippPriority); // 1 … 100 -> 1 … 99

    // Instances ("name/instance") are a user's option sets over one queue;
    // only the queues themselves are listed.
    QStringList destinations() override;
    QString defaultDestination() override;
    Handle open(const QString &destination) override;
    bool close(Handle handle) override;
    qint32 startJob(Handle handle, const QString &documentName, const QString &outputFile) override;
    bool startPage(Handle handle) override;
    qint64 write(Handle handle, QByteArrayView data) override;
    bool endPage(Handle handle) override;
    bool endJob(Handle handle) override;
    bool cancelJob(Handle handle, qint32 jobId) override;
    bool setJobName(Handle handle, qint32 jobId, const QString &name) override;
    bool setJobPriority(Handle handle, qint32 jobId, int priority) override;
    int jobPriority(Handle handle, qint32 jobId) override;

private:
    struct Connection;
    Connection *find(Handle handle);

    QHash<Handle, std::shared_ptr<Connection>> m_connections;
    Handle m_nextHandle = 1;
};
