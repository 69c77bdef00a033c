#include "printing/MemorySpooler.h"

#include <algorithm>

MemorySpooler::MemorySpooler(QStringList destinations, QString defaultDestination)
    : m_destinations(std::move(destinations)), m_default(std::move(defaultDestination))
{
}

bool MemorySpooler::failing(Operation op)
{
    const int i = int(op);
    ++m_calls[i];
    if (m_failAlways[i])
        return true;
    if (m_passFirst[i] > 0) {
        --m_passFirst[i];
        return false;
    }
    if (m_failNext[i] > 0) {
        --m_failNext[i];
        return true;
    }
    return false;
}

MemorySpooler::Open *MemorySpooler::find(Handle handle)
{
    auto it = m_handles.find(handle);
    return it == m_handles.end() ? nullptr : &it.value();
}

MemorySpooler::Job *MemorySpooler::findJob(qint32 jobId)
{
    for (Job &job : m_jobs) {
        if (job.id == jobId)
            return &job;
    }
    return nullptr;
}

QStringList MemorySpooler::destinations()
{
    return m_destinations;
}

QString MemorySpooler::defaultDestination()
{
    return m_default;
}

Spooler::Handle MemorySpooler::open(const QString &destination)
{
    if (failing(Operation::Open) || !m_destinations.contains(destination))
        return 0;
    const Handle handle = m_nextHandle++;
    m_handles.insert(handle, Open{destination});
    return handle;
}

bool MemorySpooler::close(Handle handle)
{
    Open *open = find(handle);
    if (!open)
        return false;
    // The handle goes even when the close is made to fail: a spooler that
    // refuses to close leaves nothing a caller could retry with.
    if (open->job >= 0)
        m_jobs[open->job].state = Job::State::Abandoned;
    m_handles.remove(handle);
    return !failing(Operation::Close);
}

qint32 MemorySpooler::startJob(Handle handle, const QString &documentName, const QString &outputFile)
{
    Open *open = find(handle);
    if (failing(Operation::StartJob) || !open || open->job >= 0)
        return 0;
    Job job;
    job.id = m_nextJob++;
    job.destination = open->destination;
    job.documentName = documentName;
    job.outputFile = outputFile;
    open->job = int(m_jobs.size());
    m_jobs.append(job);
    return job.id;
}

bool MemorySpooler::startPage(Handle handle)
{
    Open *open = find(handle);
    if (failing(Operation::StartPage) || !open || open->job < 0 || open->pageOpen)
        return false;
    open->pageOpen = true;
    ++m_jobs[open->job].pagesStarted;
    return true;
}

qint64 MemorySpooler::write(Handle handle, QByteArrayView data)
{
    Open *open = find(handle);
    if (failing(Operation::Write) || !open || open->job < 0)
        return -1;
    const qint64 taken = std::max<qint64>(0, data.size() - m_shortfall);
    m_jobs[open->job].data.append(data.first(taken));
    return taken;
}

bool MemorySpooler::endPage(Handle handle)
{
    Open *open = find(handle);
    if (failing(Operation::EndPage) || !open || !open->pageOpen)
        return false;
    open->pageOpen = false;
    ++m_jobs[open->job].pagesEnded;
    return true;
}

bool MemorySpooler::endJob(Handle handle)
{
    Open *open = find(handle);
    if (!open || open->job < 0)
        return false;
    // Failing or not, the job is over for this handle, as with a real spooler
    // whose end-of-document call failed.
    Job &job = m_jobs[open->job];
    open->job = -1;
    open->pageOpen = false;
    if (failing(Operation::EndJob)) {
        job.state = Job::State::Abandoned;
        return false;
    }
    if (job.state == Job::State::Open)
        job.state = Job::State::Ended;
    return true;
}

bool MemorySpooler::cancelJob(Handle handle, qint32 jobId)
{
    Job *job = findJob(jobId);
    if (failing(Operation::CancelJob) || !find(handle) || !job)
        return false;
    job->state = Job::State::Cancelled;
    return true;
}

bool MemorySpooler::setJobName(Handle handle, qint32 jobId, const QString &name)
{
    Job *job = findJob(jobId);
    if (failing(Operation::SetJobName) || !find(handle) || !job)
        return false;
    job->documentName = name;
    return true;
}

bool MemorySpooler::setJobPriority(Handle handle, qint32 jobId, int priority)
{
    Job *job = findJob(jobId);
    if (failing(Operation::SetJobPriority) || !find(handle) || !job
        || priority < MinPriority || priority > MaxPriority)
        return false;
    job->priority = priority;
    return true;
}

int MemorySpooler::jobPriority(Handle handle, qint32 jobId)
{
    Job *job = findJob(jobId);
    if (failing(Operation::JobPriority) || !find(handle) || !job)
        return 0;
    return job->priority;
}
