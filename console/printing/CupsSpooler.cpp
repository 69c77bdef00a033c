#include "printing/CupsSpooler.h"

#include <cups/cups.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// IPP status codes 0x0000 … 0x00FF are the successful ones.
bool succeeded(ipp_status_t status)
{
    return status <= 0x00FF;
}

// A job request over libcups' default connection, addressed by job-uri.
ipp_t *newJobRequest(ipp_op_t operation, qint32 jobId)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/jobs/%d", int(jobId));
    ipp_t *request = ippNewRequest(operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    return request;
}

// Sends the request (and frees it); true when the server answered success.
bool perform(ipp_t *request)
{
    ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/jobs/");
    ippDelete(response);
    return succeeded(cupsLastError());
}

} // namespace

struct CupsSpooler::Connection {
    QByteArray queue;          // the queue's own name (UTF-8), as the server spells it
    http_t *http = nullptr;
    int jobId = 0;             // the job streaming on http, 0 when none
    bool broken = false;       // a write failed; the stream cannot be finished

    ~Connection()
    {
        if (http)
            httpClose(http);
    }
};

CupsSpooler::CupsSpooler() = default;

CupsSpooler::~CupsSpooler()
{
    const QList<Handle> handles = m_connections.keys();
    for (Handle handle : handles)
        close(handle);
}

int CupsSpooler::ippPriority(int priority)
{
    const int p = std::clamp(priority, MinPriority, MaxPriority);
    // 1 + round((p - 1) * 99 / 98)
    return 1 + ((p - 1) * 99 + 49) / 98;
}

int CupsSpooler::fromIppPriority(int ippPriority)
{
    const int q = std::clamp(ippPriority, 1, 100);
    // 1 + round((q - 1) * 98 / 99)
    return 1 + ((q - 1) * 98 + 49) / 99;
}

CupsSpooler::Connection *CupsSpooler::find(Handle handle)
{
    auto it = m_connections.find(handle);
    return it == m_connections.end() ? nullptr : it.value().get();
}

QStringList CupsSpooler::destinations()
{
    cups_dest_t *dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    QStringList names;
    for (int i = 0; i < count; ++i) {
        if (!dests[i].instance)
            names.append(QString::fromUtf8(dests[i].name));
    }
    cupsFreeDests(count, dests);
    return names;
}

QString CupsSpooler::defaultDestination()
{
    cups_dest_t *dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    if (!dest)
        return {};
    const QString name = QString::fromUtf8(dest->name);
    cupsFreeDests(1, dest);
    return name;
}

Spooler::Handle CupsSpooler::open(const QString &destination)
{
    // An empty name would make libcups pick the default destination.
    if (destination.isEmpty())
        return 0;
    cups_dest_t *dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, destination.toUtf8().constData(), nullptr);
    if (!dest)
        return 0;
    // A queue that is stopped (by its administrator, or by the scheduler
    // after its printer could not be reached) or refuses jobs would take the
    // receipt and hold it, or refuse it at the end: either way nothing comes
    // out now, and the caller must learn it before anything is sent.
    const char *state = cupsGetOption("printer-state", dest->num_options, dest->options);
    const char *accepting = cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options);
    const bool stopped = state && std::atoi(state) == IPP_PSTATE_STOPPED;
    const bool refusing = accepting && std::strcmp(accepting, "false") == 0;
    if (stopped || refusing) {
        cupsFreeDests(1, dest);
        return 0;
    }
    auto connection = std::make_shared<Connection>();
    connection->queue = QByteArray(dest->name);
    cupsFreeDests(1, dest);

    connection->http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(),
                                    1, 30000, nullptr);
    if (!connection->http)
        return 0;
    const Handle handle = m_nextHandle++;
    m_connections.insert(handle, connection);
    return handle;
}

bool CupsSpooler::close(Handle handle)
{
    Connection *connection = find(handle);
    if (!connection)
        return false;
    // A document cut off mid-stream would leave its job waiting on the server
    // for more; cancel it so nothing half-sent is ever printed.
    if (connection->jobId > 0)
        cupsCancelJob2(CUPS_HTTP_DEFAULT, connection->queue.constData(), connection->jobId, 0);
    m_connections.remove(handle);
    return true;
}

qint32 CupsSpooler::startJob(Handle handle, const QString &documentName, const QString &outputFile)
{
    Connection *connection = find(handle);
    if (!connection || !connection->http || connection->jobId > 0 || !outputFile.isEmpty())
        return 0;
    const QByteArray title = documentName.toUtf8();
    const int jobId = cupsCreateJob(connection->http, connection->queue.constData(),
                                    title.constData(), 0, nullptr);
    if (jobId < 1)
        return 0;
    if (cupsStartDocument(connection->http, connection->queue.constData(), jobId, title.constData(),
                          CUPS_FORMAT_RAW, 1)
        != HTTP_STATUS_CONTINUE) {
        cupsCancelJob2(CUPS_HTTP_DEFAULT, connection->queue.constData(), jobId, 0);
        return 0;
    }
    connection->jobId = jobId;
    connection->broken = false;
    return jobId;
}

bool CupsSpooler::startPage(Handle handle)
{
    Connection *connection = find(handle);
    return connection && connection->jobId > 0;
}

qint64 CupsSpooler::write(Handle handle, QByteArrayView data)
{
    Connection *connection = find(handle);
    if (!connection || connection->jobId < 1 || connection->broken)
        return -1;
    // An empty write would end the chunked stream: send nothing instead.
    if (data.isEmpty())
        return 0;
    if (cupsWriteRequestData(connection->http, data.data(), size_t(data.size()))
        != HTTP_STATUS_CONTINUE) {
        connection->broken = true;
        return -1;
    }
    return data.size();
}

bool CupsSpooler::endPage(Handle handle)
{
    Connection *connection = find(handle);
    return connection && connection->jobId > 0;
}

bool CupsSpooler::endJob(Handle handle)
{
    Connection *connection = find(handle);
    if (!connection || connection->jobId < 1)
        return false;
    const int jobId = connection->jobId;
    connection->jobId = 0;
    if (connection->broken) {
        // The stream is lost; reconnect so the handle stays usable.
        cupsCancelJob2(CUPS_HTTP_DEFAULT, connection->queue.constData(), jobId, 0);
        httpClose(connection->http);
        connection->http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC,
                                        cupsEncryption(), 1, 30000, nullptr);
        return false;
    }
    return succeeded(cupsFinishDocument(connection->http, connection->queue.constData()));
}

bool CupsSpooler::cancelJob(Handle handle, qint32 jobId)
{
    Connection *connection = find(handle);
    if (!connection || jobId < 1)
        return false;
    return cupsCancelJob2(CUPS_HTTP_DEFAULT, connection->queue.constData(), jobId, 0) == IPP_STATUS_OK;
}

bool CupsSpooler::setJobName(Handle handle, qint32 jobId, const QString &name)
{
    if (!find(handle) || jobId < 1)
        return false;
    ipp_t *request = newJobRequest(IPP_OP_SET_JOB_ATTRIBUTES, jobId);
    ippAddString(request, IPP_TAG_JOB, IPP_TAG_NAME, "job-name", nullptr, name.toUtf8().constData());
    return perform(request);
}

bool CupsSpooler::setJobPriority(Handle handle, qint32 jobId, int priority)
{
    if (!find(handle) || jobId < 1 || priority < MinPriority || priority > MaxPriority)
        return false;
    ipp_t *request = newJobRequest(IPP_OP_SET_JOB_ATTRIBUTES, jobId);
    ippAddInteger(request, IPP_TAG_JOB, IPP_TAG_INTEGER, "job-priority", ippPriority(priority));
    return perform(request);
}

int CupsSpooler::jobPriority(Handle handle, qint32 jobId)
{
    if (!find(handle) || jobId < 1)
        return 0;
    ipp_t *request = newJobRequest(IPP_OP_GET_JOB_ATTRIBUTES, jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "job-priority");
    ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/jobs/");
    int priority = 0;
    if (response && succeeded(cupsLastError())) {
        if (ipp_attribute_t *attr = ippFindAttribute(response, "job-priority", IPP_TAG_INTEGER))
            priority = fromIppPriority(ippGetInteger(attr, 0));
    }
    ippDelete(response);
    return priority;
}
