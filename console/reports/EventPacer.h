// EventPacer: lets pending events run often enough to keep the window
// responsive during a long report, without paying for an event-loop pass on
// every one of tens of thousands of records and rows.
//
// pump() runs the events at once (the fixed points: before decoding, once per
// layout pass, before saving). maybePump() runs them only when intervalMs or
// more have passed on the clock since the last run, so the longest stretch
// without events is intervalMs plus the cost of one record or row.
#pragma once

#include <QtGlobal>

#include <functional>

class Clock;

class EventPacer {
public:
    // clock must outlive the pacer. An intervalMs of 0 pumps at every call.
    EventPacer(std::function<void()> processEvents, const Clock &clock, qint64 intervalMs);

    void pump();
    void maybePump();

    qint64 intervalMs() const { return m_intervalMs; }

private:
    std::function<void()> m_processEvents;
    const Clock &m_clock;
    qint64 m_intervalMs;
    qint64 m_lastMs;
};
