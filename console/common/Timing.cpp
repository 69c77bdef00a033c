#include "common/Timing.h"

#include <QTimer>

#include <limits>

namespace {

class QtOneShotTimer final : public OneShotTimer {
public:
    explicit QtOneShotTimer(QObject *parent) : OneShotTimer(parent), m_timer(new QTimer(this))
    {
        m_timer->setSingleShot(true);
        // Millisecond spacing matters here: a coarse timer may be late by 5 %.
        m_timer->setTimerType(Qt::PreciseTimer);
        connect(m_timer, &QTimer::timeout, this, &OneShotTimer::timeout);
    }
    void start(int intervalMs) override { m_timer->start(intervalMs); }
    void stop() override { m_timer->stop(); }
    bool isActive() const override { return m_timer->isActive(); }

private:
    QTimer *m_timer;
};

} // namespace

class ManualTiming::Timer final : public OneShotTimer {
public:
    Timer(const ManualClock &clock, QObject *parent) : OneShotTimer(parent), m_clock(clock) {}
    void start(int intervalMs) override { m_deadline = m_clock.nowMs() + intervalMs; m_active = true; }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }

    qint64 deadline() const { return m_deadline; }
    void fire()
    {
        m_active = false;
        emit timeout();
    }

private:
    const ManualClock &m_clock;
    qint64 m_deadline = 0;
    bool m_active = false;
};

Timing &Timing::system()
{
    static SystemTiming timing;
    return timing;
}

const Clock &SystemTiming::clock() const
{
    return Clock::system();
}

OneShotTimer *SystemTiming::createTimer(QObject *parent)
{
    return new QtOneShotTimer(parent);
}

OneShotTimer *ManualTiming::createTimer(QObject *parent)
{
    auto *timer = new Timer(m_clock, parent);
    m_timers.append(timer);
    return timer;
}

void ManualTiming::advanceMs(qint64 ms)
{
    const qint64 end = m_clock.nowMs() + ms;
    for (;;) {
        m_timers.removeIf([](const QPointer<Timer> &t) { return t.isNull(); });
        Timer *next = nullptr;
        qint64 nextDeadline = std::numeric_limits<qint64>::max();
        for (const QPointer<Timer> &t : std::as_const(m_timers)) {
            if (t->isActive() && t->deadline() <= end && t->deadline() < nextDeadline) {
                next = t.data();
                nextDeadline = t->deadline();
            }
        }
        if (!next)
            break;
        if (nextDeadline > m_clock.nowMs())
            m_clock.advanceMs(nextDeadline - m_clock.nowMs());
        next->fire();
    }
    if (end > m_clock.nowMs())
        m_clock.advanceMs(end - m_clock.nowMs());
}
