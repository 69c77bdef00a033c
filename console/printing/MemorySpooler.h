// MemorySpooler: a spooler held in memory, for tests of everything that
// prints raw. It keeps every job it was given (name, priority, pages, bytes,
// how it ended) and fails any operation on demand: the next N calls, or every
// call until told otherwise. A write can be told to take fewer bytes than it
// is handed, as a spooler that drops data would.
//
// Unknown handles and calls out of order (a write without a job, a second job
// on one handle) fail as a real spooler's would, so misuse shows in tests.
#pragma once

#include "printing/Spooler.h"

#include <QByteArray>
#include <QHash>
#include <QList>

class MemorySpooler final : public Spooler {
public:
    enum class Operation {
        Open, Close, StartJob, StartPage, Write, EndPage, EndJob,
        CancelJob, SetJobName, SetJobPriority, JobPriority,
    };
    static constexpr int OperationCount = int(Operation::JobPriority) + 1;

    struct Job {
        enum class State { Open, Ended, Cancelled, Abandoned };
        qint32 id = 0;
        QString destination;
        QString documentName;
        QString outputFile;
        QByteArray data;
        int pagesStarted = 0;
        int pagesEnded = 0;
        int priority = MinPriority;   // the default of a new job
        State state = State::Open;
    };

    explicit MemorySpooler(QStringList destinations = {}, QString defaultDestination = {});

    void setDestinations(QStringList destinations) { m_destinations = std::move(destinations); }
    void setDefaultDestination(QString name) { m_default = std::move(name); }

    // The next `times` calls of op fail.
    void failNext(Operation op, int times = 1) { m_failNext[int(op)] = times; }
    // The next `successes` calls of op succeed, the `times` after them fail
    // (a printer unplugged in the middle of a job).
    void failAfter(Operation op, int successes, int times = 1)
    {
        m_passFirst[int(op)] = successes;
        m_failNext[int(op)] = times;
    }
    // Every call of op fails while on.
    void failAlways(Operation op, bool on = true) { m_failAlways[int(op)] = on; }
    // Every write takes this many bytes fewer than it is handed (never < 0).
    void setWriteShortfall(qint64 bytes) { m_shortfall = bytes; }

    const QList<Job> &jobs() const { return m_jobs; }
    int openHandles() const { return int(m_handles.size()); }
    int calls(Operation op) const { return m_calls[int(op)]; }

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
    struct Open {
        QString destination;
        int job = -1;          // index into m_jobs while a job runs on this handle
        bool pageOpen = false;
    };

    // Counts the call and says whether it is to fail.
    bool failing(Operation op);
    Open *find(Handle handle);
    Job *findJob(qint32 jobId);

    QStringList m_destinations;
    QString m_default;
    QHash<Handle, Open> m_handles;
    QList<Job> m_jobs;
    Handle m_nextHandle = 1;
    qint32 m_nextJob = 1;
    qint64 m_shortfall = 0;
    int m_failNext[OperationCount] = {};
    int m_passFirst[OperationCount] = {};
    bool m_failAlways[OperationCount] = {};
    int m_calls[OperationCount] = {};
};
