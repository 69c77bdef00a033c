#include "widgets/CardSwipeDetector.h"

#include "common/Timing.h"

CardSwipeDetector::CardSwipeDetector(Timing &timing, QObject *parent)
    : QObject(parent), m_timing(timing), m_timer3(timing.createTimer(this))
{
    connect(m_timer3, &OneShotTimer::timeout, this, &CardSwipeDetector::burstTimerFired);
}

void CardSwipeDetector::reset()
{
    m_timer3->stop();
    m_keyBuffer.clear();
    m_burstStart = -1;
}

void CardSwipeDetector::keyPress(QStringView characters)
{
    if (characters.isEmpty())
        return;
    if (!m_timer3->isActive()) {
        m_keyBuffer.clear();
        m_burstStart = m_timing.clock().nowMs();
        emit burstOpened();
    }
    m_timer3->start(kBurstTimerMs);
    m_keyBuffer += characters;
}

bool CardSwipeDetector::isBurstOpen() const
{
    return m_timer3->isActive();
}

bool CardSwipeDetector::closeBurst()
{
    m_timer3->stop();
    const qint64 elapsed = m_timing.clock().nowMs() - m_burstStart;
    return isSwipe(m_keyBuffer.size(), elapsed);
}

bool CardSwipeDetector::isSwipe(qsizetype characters, qint64 elapsedMs)
{
    return characters >= kMinSwipeCharacters
        && double(elapsedMs) / double(characters) <= kMaxMsPerCharacter;
}
