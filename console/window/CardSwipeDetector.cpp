#include "window/CardSwipeDetector.h"

#include "window/Timing.h"

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


QChar DeadKeySpacingCharacter(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Dead_Grave: return QChar(u'`');
    case Qt::Key_Dead_Acute: return QChar(u'\u00B4');
    case Qt::Key_Dead_Circumflex: return QChar(u'^');
    case Qt::Key_Dead_Tilde: return QChar(u'~');
    case Qt::Key_Dead_Macron: return QChar(u'\u00AF');
    case Qt::Key_Dead_Breve: return QChar(u'\u02D8');
    case Qt::Key_Dead_Abovedot: return QChar(u'\u02D9');
    case Qt::Key_Dead_Diaeresis: return QChar(u'\u00A8');
    case Qt::Key_Dead_Abovering: return QChar(u'\u02DA');
    case Qt::Key_Dead_Doubleacute: return QChar(u'\u02DD');
    case Qt::Key_Dead_Caron: return QChar(u'\u02C7');
    case Qt::Key_Dead_Cedilla: return QChar(u'\u00B8');
    case Qt::Key_Dead_Ogonek: return QChar(u'\u02DB');
    default: return QChar();
    }
}
