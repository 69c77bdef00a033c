#include "widgets/SwipeGuard.h"

#include "widgets/CardSwipeDetector.h"
#include "widgets/KeyPreview.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

SwipeGuard::SwipeGuard(QWidget *window, Timing &timing, QList<QLineEdit *> fields)
    : QObject(window), m_keys(new KeyPreview(window)), m_detector(new CardSwipeDetector(timing, this))
{
    for (QLineEdit *field : fields)
        m_fields.append(field);
    m_before.resize(m_fields.size());
    connect(m_keys, &KeyPreview::keyPressed, this, &SwipeGuard::onKey);
    m_keys->setSwallow([this](const QKeyEvent *key) {
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        return m_swallowEnter && enter && m_detector->isBurstOpen();
    });
    connect(m_detector, &CardSwipeDetector::burstOpened, this, &SwipeGuard::onBurstOpened);
    connect(m_detector, &CardSwipeDetector::burstTimerFired, this, &SwipeGuard::onBurstEnded);
}

bool SwipeGuard::isBurstOpen() const
{
    return m_detector->isBurstOpen();
}

QString SwipeGuard::textBeforeBurst(const QLineEdit *field) const
{
    for (qsizetype i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i] == field)
            return m_before[i];
    }
    return {};
}

void SwipeGuard::forget()
{
    for (QString &text : m_before)
        text.clear();
}

void SwipeGuard::onKey(QKeyEvent *key)
{
    emit keyPressed(key);
    const QString typed = KeyPreview::burstCharacters(key, m_detector->isBurstOpen());
    if (!typed.isEmpty())
        m_detector->keyPress(typed);
}

void SwipeGuard::onBurstOpened()
{
    // The key that opened the burst has not reached its field yet.
    for (qsizetype i = 0; i < m_fields.size(); ++i)
        m_before[i] = m_fields[i] ? m_fields[i]->text() : QString();
    emit burstOpened();
}

void SwipeGuard::onBurstEnded()
{
    if (!m_detector->closeBurst()) {
        emit typed();
        return;
    }
    // The burst also landed in the focused field (whole, cut at a maximum
    // length, or over a selection): every field gets back the text it had
    // when the burst began.
    for (qsizetype i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i] && (m_restoreEvery || m_fields[i]->text() != m_before[i]))
            m_fields[i]->setText(m_before[i]);
    }
    emit swiped(m_detector->keyBuffer());
}
