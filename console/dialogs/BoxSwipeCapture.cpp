#include "dialogs/BoxSwipeCapture.h"

#include "common/Timing.h"

BoxSwipeCapture::BoxSwipeCapture(Timing &timing, QObject *parent)
    : QObject(parent), m_timing(timing), m_timer1(timing.createTimer(this))
{
    connect(m_timer1, &OneShotTimer::timeout, this, &BoxSwipeCapture::timerFired);
    m_lastKeyTime = m_timing.clock().nowMs();
}

void BoxSwipeCapture::reset()
{
    m_timer1->stop();
    m_lastKeyTime = m_timing.clock().nowMs();
    m_swipeText.clear();
}

void BoxSwipeCapture::keyPress(QStringView characters)
{
    if (characters.isEmpty())
        return;
    m_swipeText += characters;
    m_timer1->start(kTimerMs);
    m_lastKeyTime = m_timing.clock().nowMs();
}

bool BoxSwipeCapture::isTiming() const
{
    return m_timer1->isActive();
}

void BoxSwipeCapture::stop()
{
    m_timer1->stop();
}

void BoxSwipeCapture::timerFired()
{
    m_timer1->stop();
    const qint64 elapsed = m_timing.clock().nowMs() - m_lastKeyTime;
    if (!m_swipeText.isEmpty() && double(elapsed) / double(m_swipeText.size()) > kMaxMsPerCharacter)
        m_swipeText.clear();
}
