#include "CupsTestServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cups/cups.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

extern char **environ;

using namespace std::chrono_literals;

// ---------------------------------------------------------------- listener

PrinterListener::PrinterListener()
{
    m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(m_socket, 16) != 0
        || ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&address), &length) != 0
        || ::pipe2(m_stopPipe, O_CLOEXEC) != 0) {
        return;
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
}

PrinterListener::~PrinterListener()
{
    if (m_thread.joinable()) {
        const char stop = 's';
        [[maybe_unused]] auto n = ::write(m_stopPipe[1], &stop, 1);
        m_thread.join();
    }
    for (int fd : {m_socket, m_stopPipe[0], m_stopPipe[1]}) {
        if (fd >= 0)
            ::close(fd);
    }
}

QString PrinterListener::deviceUri() const
{
    return QStringLiteral("socket://127.0.0.1:%1").arg(m_port);
}

void PrinterListener::run()
{
    // One connection at a time, as a receipt printer takes them: read until
    // the backend closes its side, then close ours (the backend waits for it).
    for (;;) {
        pollfd fds[2] = {{m_socket, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents)
            return;
        const int client = ::accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        QByteArray document;
        for (;;) {
            pollfd cfds[2] = {{client, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
            ::poll(cfds, 2, -1);
            if (cfds[1].revents) {
                ::close(client);
                return;
            }
            char buffer[4096];
            const ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n <= 0)
                break;
            document.append(buffer, n);
        }
        ::close(client);
        std::lock_guard lock(m_mutex);
        m_documents.push_back(document);
        m_changed.notify_all();
    }
}

bool PrinterListener::waitForDocuments(size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_documents.size() >= count; });
}

std::vector<QByteArray> PrinterListener::documents()
{
    std::lock_guard lock(m_mutex);
    return m_documents;
}

// ------------------------------------------------------------------ server

namespace {

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The scheduler runs its backends as user lp: every folder above the spool
// must let others through.
bool othersCanTraverse(const QString &folder)
{
    QDir dir(folder);
    for (;;) {
        struct stat st {};
        if (::stat(QFile::encodeName(dir.absolutePath()).constData(), &st) != 0 || !(st.st_mode & S_IXOTH))
            return false;
        if (dir.isRoot())
            return true;
        dir.cdUp();
    }
}

// Spawns argv with stdout and stderr to outputPath; the child's pid or -1.
pid_t spawn(const QStringList &command, const QString &outputPath)
{
    std::vector<QByteArray> args;
    for (const QString &arg : command)
        args.push_back(arg.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    const QByteArray output = QFile::encodeName(outputPath);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

bool socketAnswers(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

} // namespace

CupsTestServer::CupsTestServer()
{
    // The socket path must fit sockaddr_un (108 bytes); a long build path
    // falls back to /tmp.
    QByteArray parent = qgetenv("TELLAR_TEST_TMPDIR");
    if (parent.isEmpty() || parent.size() > 60 || !othersCanTraverse(QString::fromLocal8Bit(parent)))
        parent = "/tmp";
    QByteArray pattern = parent + "/cupsd-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        m_error = QStringLiteral("mkdtemp failed under %1").arg(QString::fromLocal8Bit(parent));
        return;
    }
    m_folder = QString::fromLocal8Bit(pattern);
    ::chmod(pattern.constData(), 0755);
    m_socketPath = m_folder + QStringLiteral("/cups.sock");
    QDir(m_folder).mkpath(QStringLiteral("spool/tmp"));
    QDir(m_folder).mkpath(QStringLiteral("cache"));
    QDir(m_folder).mkpath(QStringLiteral("state"));
    QDir(m_folder).mkpath(QStringLiteral("log"));

    const QByteArray folder = QFile::encodeName(m_folder);
    // Everything is allowed to everyone: the only way in is a socket in a
    // folder of this test. Printers of the "noopen" policy are listed but
    // refuse to describe themselves, so they cannot be opened for printing.
    const QByteArray cupsdConf =
        "LogLevel debug\n"
        "Listen " + folder + "/cups.sock\n"
        "Browsing No\n"
        "WebInterface No\n"
        "Printcap\n"
        "DefaultAuthType None\n"
        "MaxJobs 0\n"
        "PreserveJobHistory Yes\n"
        "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
        "<Policy default>\n"
        "  JobPrivateAccess all\n  JobPrivateValues none\n"
        "  SubscriptionPrivateAccess all\n  SubscriptionPrivateValues none\n"
        "  <Limit All>\n    Order deny,allow\n  </Limit>\n"
        "</Policy>\n"
        "<Policy noopen>\n"
        "  JobPrivateAccess all\n  JobPrivateValues none\n"
        "  SubscriptionPrivateAccess all\n  SubscriptionPrivateValues none\n"
        "  <Limit Get-Printer-Attributes>\n    Order allow,deny\n    Deny all\n  </Limit>\n"
        "  <Limit All>\n    Order deny,allow\n  </Limit>\n"
        "</Policy>\n";
    const QByteArray filesConf =
        "ServerRoot " + folder + "\n"
        "RequestRoot " + folder + "/spool\n"
        "TempDir " + folder + "/spool/tmp\n"
        "CacheDir " + folder + "/cache\n"
        "StateDir " + folder + "/state\n"
        "AccessLog " + folder + "/log/access_log\n"
        "ErrorLog " + folder + "/log/error_log\n"
        "PageLog " + folder + "/log/page_log\n"
        "FileDevice No\n";
    if (!writeFile(m_folder + QStringLiteral("/cupsd.conf"), cupsdConf)
        || !writeFile(m_folder + QStringLiteral("/cups-files.conf"), filesConf)) {
        m_error = QStringLiteral("cannot write the configuration in %1").arg(m_folder);
        return;
    }

    // Clients (libcups in this process, the tools it runs) use this server
    // and this folder's client files only; nothing picks another default.
    qputenv("CUPS_SERVER", QFile::encodeName(m_socketPath));
    qputenv("CUPS_SERVERROOT", folder);
    qunsetenv("LPDEST");
    qunsetenv("PRINTER");
    cupsSetServer(QFile::encodeName(m_socketPath).constData());

    const QStringList command = {QStringLiteral("/usr/sbin/cupsd"), QStringLiteral("-f"),
                                 QStringLiteral("-c"), m_folder + QStringLiteral("/cupsd.conf"),
                                 QStringLiteral("-s"), m_folder + QStringLiteral("/cups-files.conf")};
    m_pid = spawn(command, m_folder + QStringLiteral("/cupsd.out"));
    if (m_pid < 0) {
        m_error = QStringLiteral("cannot run /usr/sbin/cupsd (is the cups-daemon package installed?)");
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            // Errors in the configuration go to syslog, not to the log file:
            // ask the scheduler to check it and show what it says.
            runTool({QStringLiteral("/usr/sbin/cupsd"), QStringLiteral("-t"), QStringLiteral("-c"),
                     m_folder + QStringLiteral("/cupsd.conf"), QStringLiteral("-s"),
                     m_folder + QStringLiteral("/cups-files.conf")});
            m_error = QStringLiteral("cupsd exited at start-up (status %1).\n-- cupsd -t:\n%2\n-- output:\n%3\n-- error_log:\n%4")
                          .arg(status)
                          .arg(m_toolOutput,
                               QString::fromLocal8Bit(readFile(m_folder + QStringLiteral("/cupsd.out"))),
                               log());
            return;
        }
        if (socketAnswers(m_socketPath)) {
            // Listening is not serving yet: wait for an IPP answer, any answer
            // ("no destinations" included).
            ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, ippNewRequest(IPP_OP_CUPS_GET_PRINTERS), "/");
            const bool answered = response != nullptr;
            ippDelete(response);
            if (answered)
                return;
        }
        std::this_thread::sleep_for(20ms);
    }
    m_error = QStringLiteral("cupsd did not answer on %1 within 15 s.\n-- error_log:\n%2").arg(m_socketPath, log());
    stop();
}

CupsTestServer::~CupsTestServer()
{
    stop();
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
}

void CupsTestServer::stop()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    for (int i = 0; i < 250; ++i) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(20ms);
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

QString CupsTestServer::log() const
{
    return QString::fromLocal8Bit(readFile(m_folder + QStringLiteral("/log/error_log")));
}

bool CupsTestServer::runTool(const QStringList &command)
{
    const QString output = m_folder + QStringLiteral("/tool.out");
    const pid_t pid = spawn(command, output);
    int status = -1;
    if (pid > 0)
        ::waitpid(pid, &status, 0);
    m_toolOutput = QString::fromLocal8Bit(readFile(output));
    return pid > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool CupsTestServer::addRawQueue(const QString &name, const QString &deviceUri)
{
    return runTool({QStringLiteral("lpadmin"), QStringLiteral("-p"), name, QStringLiteral("-E"),
                    QStringLiteral("-v"), deviceUri});
}

namespace {

std::vector<int> jobsOf(const QString &queue, int which)
{
    cups_job_t *jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.toUtf8().constData(), 0, which);
    std::vector<int> ids;
    for (int i = 0; i < count; ++i)
        ids.push_back(jobs[i].id);
    cupsFreeJobs(count, jobs);
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace

std::vector<int> CupsTestServer::jobIds(const QString &queue)
{
    return jobsOf(queue, CUPS_WHICHJOBS_ALL);
}

std::vector<int> CupsTestServer::activeJobIds(const QString &queue)
{
    return jobsOf(queue, CUPS_WHICHJOBS_ACTIVE);
}

JobInfo CupsTestServer::job(int jobId)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/jobs/%d", jobId);
    ipp_t *request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/jobs/");
    JobInfo info;
    if (response && cupsLastError() <= IPP_STATUS_OK_CONFLICTING) {
        if (ipp_attribute_t *attr = ippFindAttribute(response, "job-state", IPP_TAG_ENUM))
            info.state = ippGetInteger(attr, 0);
        if (ipp_attribute_t *attr = ippFindAttribute(response, "job-priority", IPP_TAG_INTEGER))
            info.priority = ippGetInteger(attr, 0);
        if (ipp_attribute_t *attr = ippFindAttribute(response, "job-name", IPP_TAG_NAME))
            info.name = QString::fromUtf8(ippGetString(attr, 0, nullptr));
    }
    ippDelete(response);
    return info;
}

bool CupsTestServer::waitForJobEnd(int jobId, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (job(jobId).state >= IPP_JSTATE_CANCELED)
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}
