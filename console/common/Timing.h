// Timing: the clock and the one-shot timers of the console's key handling
// (Timer3 of the main window, Timer1 of each prompt box), behind one seam so
// tests can play keys at exact spacings and decide when a timer fires.
//
// SystemTiming reads Clock::system() and runs QTimer single-shot timers.
// ManualTiming keeps a ManualClock and fires its timers only from advanceMs(),
// each one at its own deadline, in deadline order, with the clock set to that
// deadline while the timer's slots run.
#pragma once

#include "common/Clock.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QTimer;

// A timer that fires once, interval ms after the last start(). start() on a
// running timer restarts it; stop() on a stopped one does nothing.
class OneShotTimer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void start(int intervalMs) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;

signals:
    void timeout();
};

class Timing {
public:
    virtual ~Timing() = default;
    virtual const Clock &clock() const = 0;
    // The timer belongs to parent (deleted with it).
    virtual OneShotTimer *createTimer(QObject *parent) = 0;

    // The real clock and QTimer. Lives for the whole process.
    static Timing &system();
};

class SystemTiming final : public Timing {
public:
    const Clock &clock() const override;
    OneShotTimer *createTimer(QObject *parent) override;
};

class ManualTiming final : public Timing {
public:
    ManualTiming() = default;
    ManualTiming(const ManualTiming &) = delete;
    ManualTiming &operator=(const ManualTiming &) = delete;

    const Clock &clock() const override { return m_clock; }
    OneShotTimer *createTimer(QObject *parent) override;

    ManualClock &manualClock() { return m_clock; }
    qint64 nowMs() const { return m_clock.nowMs(); }

    // Moves time forward by ms, firing every timer whose deadline falls
    // within the step (a timer restarted by a slot fires again if its new
    // deadline is still within the step).
    void advanceMs(qint64 ms);

private:
    class Timer;
    ManualClock m_clock;
    QList<QPointer<Timer>> m_timers;
};
