#include "widgets/KeyPreview.h"

#include "common/DeadKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

KeyPreview::KeyPreview(QWidget *window) : QObject(window), m_window(window)
{
    qApp->installEventFilter(this);
}

KeyPreview::~KeyPreview()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

QString KeyPreview::typedCharacters(const QKeyEvent *event)
{
    QString typed;
    const QString text = event->text();
    for (QChar c : text) {
        if (c.isPrint() || c.isSurrogate())
            typed += c;
    }
    return typed;
}

QString KeyPreview::burstCharacters(const QKeyEvent *event, bool burstOpen)
{
    QString typed = typedCharacters(event);
    if (typed.isEmpty() && burstOpen) {
        const QChar spacing = DeadKeySpacingCharacter(event->key());
        if (!spacing.isNull())
            typed = spacing;
    }
    return typed;
}

bool KeyPreview::isLaterStepOfLastPress(const QKeyEvent *event, QWidget *receiver) const
{
    if (event != m_lastEvent || event->timestamp() != m_lastTimestamp || !m_lastReceiver)
        return false;
    // Propagation only ever moves to a parent.
    for (QWidget *w = m_lastReceiver->parentWidget(); w; w = w->parentWidget()) {
        if (w == receiver)
            return true;
    }
    return false;
}

bool KeyPreview::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
        return false;
    auto *receiver = qobject_cast<QWidget *>(watched);
    if (!receiver || !m_window || receiver->window() != m_window)
        return false;

    auto *key = static_cast<QKeyEvent *>(event);
    if (type != QEvent::KeyPress) {
        m_lastEvent = nullptr;
        m_lastReceiver = nullptr;
        return false;
    }
    if (isLaterStepOfLastPress(key, receiver)) {
        m_lastReceiver = receiver;
        return false;
    }
    m_lastEvent = key;
    m_lastTimestamp = key->timestamp();
    m_lastReceiver = receiver;
    emit keyPressed(key);
    return m_swallow && m_swallow(key);
}
