// A single-line field that selects its whole text when it gets the focus,
// caret at the start, as every entry field of the console does. focusReceived
// lets the status line pass the focus on.
#pragma once

#include <QLineEdit>

class SelectingLineEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

signals:
    void focusReceived();

protected:
    void focusInEvent(QFocusEvent *event) override;
};
