// A single-line field that selects its whole text when it gets the focus,
// caret at the start, as every entry field of the console does. focusReceived
// lets the status line pass the focus on.
#pragma once

#include "widgets/TrackLineEdit.h"

class SelectingLineEdit : public TrackLineEdit {
    Q_OBJECT
public:
    using TrackLineEdit::TrackLineEdit;

    // At most maxLength characters can be typed or pasted. A longer text
    // given by setStoredText (a stored value) is shown and kept whole, and
    // typing may then reach its length; QLineEdit's own maximum length would
    // cut such a text the moment it is set.
    void setTypingLimit(int maxLength);
    void setStoredText(const QString &text);

signals:
    void focusReceived();

protected:
    void focusInEvent(QFocusEvent *event) override;

private:
    int m_typingLimit = 32767;
};
