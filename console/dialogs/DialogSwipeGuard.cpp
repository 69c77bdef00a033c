#include "dialogs/DialogSwipeGuard.h"

#include "window/CardSwipeDetector.h"
#include "window/KeyPreview.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

DialogSwipeGuard::DialogSwipeGuard(QWidget *window, Timing &timing, QList<QLineEdit *> fields)
    : QObject(window), m_keys(new KeyPreview(window)), m_detector(new CardSwipeDetector(timing, this))
{
    for (QLineEdit *field : fields)
        m_fields.append(field);
    connect(m_keys, &KeyPreview::keyPressed, this, &DialogSwipeGuard::keyPressed);
    m_keys->setSwallow([this](const QKeyEvent *key) {
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        return enter && m_detector->isBurstOpen();
    });
    connect(m_detector, &CardSwipeDetector::burstOpened, this, &DialogSwipeGuard::burstOpened);
    connect(m_detector, &CardSwipeDetector::burstTimerFired, this, &DialogSwipeGuard::burstEnded);
}

void DialogSwipeGuard::keyPressed(QKeyEvent *key)
{
    const QString typed = KeyPreview::burstCharacters(key, m_detector->isBurstOpen());
    if (!typed.isEmpty())
        m_detector->keyPress(typed);
}

void DialogSwipeGuard::burstOpened()
{
    m_before.clear();
    for (const QPointer<QLineEdit> &field : m_fields)
        m_before << (field ? field->text() : QString());
}

void DialogSwipeGuard::burstEnded()
{
    if (!m_detector->closeBurst())
        return;
    // A swipe: nothing of it stays, in the fields or here.
    for (qsizetype i = 0; i < m_fields.size() && i < m_before.size(); ++i) {
        if (m_fields[i])
            m_fields[i]->setText(m_before[i]);
    }
    m_before.clear();
    m_detector->clearKeyBuffer();
}
