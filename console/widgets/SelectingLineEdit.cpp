#include "widgets/SelectingLineEdit.h"

#include <QFocusEvent>

void SelectingLineEdit::setTypingLimit(int maxLength)
{
    m_typingLimit = maxLength;
    setMaxLength(qMax<int>(maxLength, int(text().size())));
}

void SelectingLineEdit::setStoredText(const QString &stored)
{
    // Never below the text the field holds at any step, so nothing is cut.
    const int whole = qMax<int>(m_typingLimit, int(stored.size()));
    setMaxLength(qMax<int>(whole, int(text().size())));
    setText(stored);
    setMaxLength(whole);
}

void SelectingLineEdit::focusInEvent(QFocusEvent *event)
{
    TrackLineEdit::focusInEvent(event);
    // The window coming back from another program gives the field its
    // focus back: caret and selection stay as the cashier left them, or the
    // next key would replace the amount being typed.
    if (event->reason() == Qt::ActiveWindowFocusReason) {
        emit focusReceived();
        return;
    }
    // A backward selection leaves the caret at position 0.
    const int length = int(text().size());
    setSelection(length, -length);
    emit focusReceived();
}
