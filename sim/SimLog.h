// The simulator's log: one line per event on stdout, flushed at once so a
// script or a test that reads the pipe sees each line as it happens.
// Lines start with the seconds since start-up: "[  1.234] #2 <- 0001 ...".
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <functional>

namespace Sim {

class SimLog {
public:
    SimLog();
    void line(const QString &text);
    // Connection-numbered line: "#3 text".
    void line(int connection, const QString &text);
    // Every line is also handed here, as written (stamp included): a test
    // that plays the simulator in its own process keeps the log so.
    void setTap(std::function<void(const QString &line)> tap) { m_tap = std::move(tap); }

private:
    QElapsedTimer m_clock;
    std::function<void(const QString &)> m_tap;
};

} // namespace Sim
