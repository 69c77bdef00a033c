#include "dialogs/DialogSwipeGuard.h"

#include "window/CardSwipeDetector.h"
#include "window/KeyPreview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

DialogSwipeGuard::DialogSwipeGuard(QWidget *window, Timing &timing, QList<QLineEdit *> fields)
    : QObject(window), m_window(window), m_detector(new CardSwipeDetector(timing, this))
{
    for (QLineEdit *field : fields)
        m_fields.append(field);
    connect(m_detector, &CardSwipeDetector::burstOpened, this, &DialogSwipeGuard::burstOpened);
    connect(m_detector, &CardSwipeDetector::burstTimerFired, this, &DialogSwipeGuard::burstEnded);
    qApp->installEventFilter(this);
}

DialogSwipeGuard::~DialogSwipeGuard()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

bool DialogSwipeGuard::isLaterStepOfLastPress(const QKeyEvent *event, QWidget *receiver) const
{
    // Events of successive presses may share an address and a stamp (made
    // on the stack, synthesised): only a parent of the last receiver is
    // handed the same press again.
    if (event != m_lastEvent || event->timestamp() != m_lastTimestamp || !m_lastReceiver)
        return false;
    for (QWidget *w = m_lastReceiver->parentWidget(); w; w = w->parentWidget()) {
        if (w == receiver)
            return true;
    }
    return false;
}

bool DialogSwipeGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *receiver = qobject_cast<QWidget *>(watched);
    if (!receiver || receiver->window() != m_window)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enter && m_detector->isBurstOpen())
        return true;
    if (isLaterStepOfLastPress(key, receiver)) {
        m_lastReceiver = receiver;
        return false;
    }
    m_lastEvent = key;
    m_lastTimestamp = key->timestamp();
    m_lastReceiver = receiver;
    const QString typed = KeyPreview::burstCharacters(key, m_detector->isBurstOpen());
    if (!typed.isEmpty())
        m_detector->keyPress(typed);
    return false;
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
