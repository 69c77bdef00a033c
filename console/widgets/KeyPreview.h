// KeyPreview: lets a window see every key press of its own widgets before
// the focused control does, once per press.
//
// It filters the application's events: a key press whose receiver belongs to
// the window is reported, and the key still goes on to its control. Qt hands
// a key that a control ignores on to the control's parents as the same event
// object, through the application filter again; those later steps of one
// press are recognised (same event, same time stamp, each receiver a parent
// of the last) and not reported again. Every press of the keyboard is
// preceded by its shortcut check and followed by its release, and either one
// ends the press, so a new press at a reused address is never mistaken for a
// step of the old one.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QKeyEvent;
class QWidget;

class KeyPreview : public QObject {
    Q_OBJECT
public:
    // Installs itself on the application; `window` is the top-level window
    // whose widgets' keys are seen.
    explicit KeyPreview(QWidget *window);
    ~KeyPreview() override;

    // The characters a key press types: its text without control characters
    // (Enter, Tab, Backspace, Esc and the Ctrl combinations type none), so
    // presses of modifiers alone and of control keys give "".
    static QString typedCharacters(const QKeyEvent *event);
    // The characters a key press adds to a keystroke burst: typedCharacters,
    // and while a burst is open a dead key's spacing character ("´"), which
    // a card reader types on layouts with dead keys.
    static QString burstCharacters(const QKeyEvent *event, bool burstOpen);

    // Asked after each reported press: true keeps the key from its control
    // (and so from the window's default button).
    void setSwallow(std::function<bool(const QKeyEvent *)> swallow) { m_swallow = std::move(swallow); }

signals:
    void keyPressed(QKeyEvent *event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isLaterStepOfLastPress(const QKeyEvent *event, QWidget *receiver) const;

    QPointer<QWidget> m_window;
    const QEvent *m_lastEvent = nullptr;   // compared only, never dereferenced
    quint64 m_lastTimestamp = 0;
    QPointer<QWidget> m_lastReceiver;
    std::function<bool(const QKeyEvent *)> m_swallow;
};
