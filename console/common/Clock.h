// Clock: the one source of time for logic that measures or stamps it (card
// swipe bursts, session time-outs, log stamps), so tests can drive time
// exactly instead of sleeping.
//
// nowMs() is a monotonic millisecond count with an arbitrary origin: use it
// only for differences (burst length, time-outs). now() is the local wall
// time, for texts that show the date and time.
#pragma once

#include <QDateTime>
#include <QtGlobal>

#include <utility>

class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 nowMs() const = 0;
    virtual QDateTime now() const = 0;

    // The real clock (steady clock and local time). Lives for the whole
    // process.
    static const Clock &system();
};

class SystemClock final : public Clock {
public:
    qint64 nowMs() const override;
    QDateTime now() const override;
};

// A clock that moves only when told to. advanceMs() moves both readings by
// the same amount, so a test sees consistent monotonic and wall times.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 12, 6), QTime(15, 30, 0)),
                         qint64 startMs = 1'000'000)
        : m_wall(std::move(start)), m_ms(startMs) {}

    qint64 nowMs() const override { return m_ms; }
    QDateTime now() const override { return m_wall.addMSecs(m_ms - m_originMs); }

    void advanceMs(qint64 ms) { m_ms += ms; }
    // Sets the wall time shown from now on; the monotonic count is kept.
    void setNow(const QDateTime &wall) { m_wall = wall; m_originMs = m_ms; }

private:
    QDateTime m_wall;
    qint64 m_ms;
    qint64 m_originMs = m_ms;
};
