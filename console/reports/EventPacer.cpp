#include "reports/EventPacer.h"

#include "common/Clock.h"

EventPacer::EventPacer(std::function<void()> processEvents, const Clock &clock, qint64 intervalMs)
    : m_processEvents(std::move(processEvents)), m_clock(clock), m_intervalMs(qMax<qint64>(intervalMs, 0)),
      m_lastMs(clock.nowMs())
{
}

void EventPacer::pump()
{
    if (m_processEvents)
        m_processEvents();
    // Taken after the events ran: their own duration is not counted against
    // the work that follows.
    m_lastMs = m_clock.nowMs();
}

void EventPacer::maybePump()
{
    if (m_clock.nowMs() - m_lastMs >= m_intervalMs)
        pump();
}
