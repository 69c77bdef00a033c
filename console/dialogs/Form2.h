// Form2: the prompt box. One instance per open box, stacked in boxStack();
// kinds 0 plain message ("OK" only, no answer), 1 button box, 2 input box,
// 3 masked input box (a card may be swiped into it).
//
// The box is a top-level window of its own, kept above the main window, and
// deletes itself when it closes. Closing it by any way (a button, the close
// box, CloseAllBoxes) answers as button 2 unless it has answered already or
// is a plain message, then takes it off the stack, which enables the window
// below. Esc presses button 2 where the button set shows one; a server's box
// without it (sets 0 and "other") ignores Esc, so no key answers for the
// cashier by accident, while a plain message of the console still closes.
//
// Texts from the server are shown as they are, never as markup.
#pragma once

#include "dialogs/BoxStack.h"
#include "widgets/TrackLineEdit.h"

#include <QDialog>
#include <QString>

class BoxSwipeCapture;
class KeyPreview;
class PromptAnswers;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class Timing;

class Form2 : public QDialog, public StackedBox {
    Q_OBJECT
public:
    static constexpr quint8 kAnswered = 100;

    // `answers` must outlive the box; `mainWindow` is the window the box is
    // kept above (not its parent: a disabled main window must not disable
    // the box).
    Form2(Timing &timing, PromptAnswers &answers, QWidget *mainWindow);
    ~Form2() override;

    void ShowBox(qint16 BoxIndex, quint8 BoxType, const QString &text, qint32 Buttons);
    void BoxType(quint8 value) override;

    quint8 boxType() const { return m_kind; }
    qint16 boxIndex() const { return m_index; }
    qint32 style() const { return m_style; }
    const QString &swipeText() const;
    // Outer height in twips as LayoutBox worked it out.
    int heightTwips() const { return m_heightTwips; }

    QPushButton *button(int k) const;   // 1..3
    QLineEdit *inputField() const { return Text1; }
    QLabel *iconLabel() const { return m_icon; }

    // StackedBox
    void setStackEnabled(bool enabled) override;
    void closeBox() override;
    void bringToFront() override;

    // Runs when the box has closed and left the stack.
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void LayoutBox(quint8 kind, const QString &text, qint32 style);
    void SetupButtons(qint32 style);
    void pressButton(int k);
    void SendAnswer(int k);
    void onPreviewKey(QKeyEvent *event);
    int labelHeightTwips(QLabel *label) const;
    qreal dpi() const;

    PromptAnswers &m_answers;
    QWidget *m_mainWindow;
    BoxSwipeCapture *m_capture;
    KeyPreview *m_keyPreview;

    quint8 m_kind = 0;
    qint16 m_index = 0;
    qint32 m_style = 0;
    int m_heightTwips = 0;
    bool m_closed = false;

    QLabel *m_icon;
    QWidget *m_messageFrame;
    QLabel *m_messageLabel;
    QWidget *m_inputFrame;
    QLabel *m_promptLabel;
    TrackLineEdit *Text1;
    QPushButton *Command1;
    QPushButton *Command2;
    QPushButton *Command3;
};
