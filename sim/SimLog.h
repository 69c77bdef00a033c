// The simulator's log: one line per event on stdout, flushed at once so a
// script or a test that reads the pipe sees each line as it happens.
// Lines start with the seconds since start-up: "[  1.234] #2 <- 0001 ...".
#pragma once

#include <QElapsedTimer>
#include <QString>

namespace Sim {

class SimLog {
public:
    SimLog();
    void line(const QString &text);
    // Connection-numbered line: "#3 text".
    void line(int connection, const QString &text);

private:
    QElapsedTimer m_clock;
};

} // namespace Sim
