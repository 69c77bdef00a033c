// Test fixtures for printing against a real, private CUPS scheduler.
//
// CupsTestServer starts /usr/sbin/cupsd in the foreground as a child process
// with a configuration of its own in a fresh temporary folder: its own
// ServerRoot, spool, cache, state and logs, listening only on a local socket
// in that folder (no TCP port). It points libcups at that socket
// (CUPS_SERVER and cupsSetServer) and stops the scheduler by its process id.
// Queues are raw (no driver); their device is socket://127.0.0.1:PORT, where
// a PrinterListener of the test stands in for a network receipt printer.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

// A TCP listener on 127.0.0.1, port chosen by the system, that takes any
// number of connections and keeps what each sent until it closed its side:
// one connection per job the socket backend delivers.
class PrinterListener {
public:
    PrinterListener();
    ~PrinterListener();
    PrinterListener(const PrinterListener &) = delete;
    PrinterListener &operator=(const PrinterListener &) = delete;

    quint16 port() const { return m_port; }
    QString deviceUri() const;

    // Waits until at least `count` connections have been received completely.
    bool waitForDocuments(size_t count, std::chrono::milliseconds timeout);
    std::vector<QByteArray> documents();

private:
    void run();

    int m_socket = -1;
    int m_stopPipe[2] = {-1, -1};
    quint16 m_port = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<QByteArray> m_documents;
    std::thread m_thread;
};

struct JobInfo {
    int state = 0;          // IPP job-state: 3 pending … 7 cancelled, 9 completed; 0 unknown
    int priority = 0;       // IPP job-priority, 1 … 100
    QString name;           // job-name
};

class CupsTestServer {
public:
    // Starts the scheduler; on failure error() says why, with its log.
    CupsTestServer();
    ~CupsTestServer();
    CupsTestServer(const CupsTestServer &) = delete;
    CupsTestServer &operator=(const CupsTestServer &) = delete;

    bool isRunning() const { return m_pid > 0; }
    QString error() const { return m_error; }
    QString folder() const { return m_folder; }
    QString log() const;   // the scheduler's error log

    // Runs an administration tool (lpadmin, cupsdisable …) against this
    // server; true when it exits with 0. Its output goes to lastToolOutput().
    bool runTool(const QStringList &command);
    QString lastToolOutput() const { return m_toolOutput; }

    // A raw queue printing to deviceUri, enabled and accepting jobs.
    bool addRawQueue(const QString &name, const QString &deviceUri);

    // Jobs of a queue, every state included, oldest first.
    std::vector<int> jobIds(const QString &queue);
    // Jobs not yet finished (pending, held, processing, stopped).
    std::vector<int> activeJobIds(const QString &queue);
    JobInfo job(int jobId);
    // Waits until the job has reached one of the finished states (>= 7).
    bool waitForJobEnd(int jobId, std::chrono::milliseconds timeout);

private:
    void stop();

    QString m_folder;
    QString m_socketPath;
    pid_t m_pid = -1;
    QString m_error;
    QString m_toolOutput;
};
