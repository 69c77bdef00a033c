// Spooler: the narrow view of the print spooler that raw printing needs.
//
// A destination is opened by name and gives a handle; one job at a time runs
// on a handle: startJob, any number of startPage/write/endPage, endJob; close
// releases the handle whether or not a job is still open. Job control
// (cancel, name, priority) addresses a job by the identifier startJob gave.
//
// Results follow the spooler convention the raw printer is written against:
// a handle or job identifier below 1 and a false result mean failure; write
// reports how many bytes the spooler took, or -1 when the write failed.
// No member throws.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class Spooler {
public:
    using Handle = quint32;   // 0 = none

    // Job priorities as the raw printer's callers see them.
    static constexpr int MinPriority = 1;
    static constexpr int MaxPriority = 99;

    virtual ~Spooler() = default;

    // Destination names in the spooler's own order.
    virtual QStringList destinations() = 0;
    // The default destination, or empty when there is none.
    virtual QString defaultDestination() = 0;

    // 0 when the destination does not exist or cannot be reached.
    virtual Handle open(const QString &destination) = 0;
    // Releases the handle. A job still open on it is abandoned, not printed.
    virtual bool close(Handle handle) = 0;

    // Starts a job of raw bytes titled documentName; outputFile non-empty asks
    // for the job to go to that file instead of the device. Returns the job
    // identifier, or 0.
    virtual qint32 startJob(Handle handle, const QString &documentName,
                            const QString &outputFile) = 0;
    virtual bool startPage(Handle handle) = 0;
    // Bytes taken by the spooler (may be fewer than data.size()), -1 on failure.
    virtual qint64 write(Handle handle, QByteArrayView data) = 0;
    virtual bool endPage(Handle handle) = 0;
    // Ends the job that startJob started: from here the spooler prints it.
    virtual bool endJob(Handle handle) = 0;

    virtual bool cancelJob(Handle handle, qint32 jobId) = 0;
    virtual bool setJobName(Handle handle, qint32 jobId, const QString &name) = 0;
    // priority in MinPriority … MaxPriority.
    virtual bool setJobPriority(Handle handle, qint32 jobId, int priority) = 0;
    // The job's priority in MinPriority … MaxPriority, or 0 when it cannot be read.
    virtual int jobPriority(Handle handle, qint32 jobId) = 0;
};
