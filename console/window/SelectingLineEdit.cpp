#include "window/SelectingLineEdit.h"

void SelectingLineEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    // A backward selection leaves the caret at position 0.
    const int length = int(text().size());
    setSelection(length, -length);
    emit focusReceived();
}
