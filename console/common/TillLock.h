// TillLock: one console per till. Every console on one settings store takes
// an exclusive flock(2) on "Tellar.lock" in the store's folder for its whole
// run; a second console finds it taken and must not start. The kernel drops
// the lock with the process, so a console that crashed or was killed never
// leaves a lock that blocks the next start.
#pragma once

#include <QString>

#include <memory>

class TillLock {
public:
    enum class Result {
        Taken,      // this process holds the till
        Busy,       // another console holds it
        Unusable,   // the lock file cannot be made (reason in errorText)
    };

    ~TillLock();
    TillLock(const TillLock &) = delete;
    TillLock &operator=(const TillLock &) = delete;

    // Takes the till of the store in `storeDir`. The lock is held while the
    // returned object lives (null unless Taken).
    static std::unique_ptr<TillLock> acquire(const QString &storeDir, Result *result,
                                             QString *errorText = nullptr);

private:
    explicit TillLock(int fd) : m_fd(fd) {}
    int m_fd;
};
