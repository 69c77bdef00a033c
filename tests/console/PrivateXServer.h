// An Xvfb of the test's own, on a display number it picks itself
// (-displayfd), stopped with the object. display() is empty when Xvfb could
// not be started.
#pragma once

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

inline bool onPath(const char *program)
{
    const std::string cmd = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

class PrivateXServer {
public:
    explicit PrivateXServer(const char *screen = "320x200x24")
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            ::close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-nolisten", "tcp", "-screen", "0",
                     screen, static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        char buf[32] = {};
        ssize_t got = 0, n = 0;
        while (got < ssize_t(sizeof buf - 1) && (n = ::read(fds[0], buf + got, sizeof buf - 1 - got)) > 0) {
            got += n;
            if (buf[got - 1] == '\n')
                break;
        }
        ::close(fds[0]);
        if (got > 0)
            m_display = ":" + std::string(buf, std::strlen(buf)).substr(0, std::strcspn(buf, "\n"));
    }
    ~PrivateXServer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    PrivateXServer(const PrivateXServer &) = delete;
    PrivateXServer &operator=(const PrivateXServer &) = delete;

    const std::string &display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};
