// TrackLineEdit: a single-line field that a keyboard-wedge card reader may
// type into.
//
// The reader types a track as US key positions. On layouts where such a
// position is a dead key (on the Estonian layout the key that gives "=" on
// a US layout is the dead acute) the desktop's key composition would swallow
// it: it waits for the next key, finds no composed letter and drops the dead
// key, so card number and expiry run together. While a keystroke burst is
// being timed (burstOpen() holds) the field therefore declines the input
// method, so the platform delivers dead keys as plain key events, and it
// types a dead key's spacing character ("´" for the acute) itself. Outside a
// burst the desktop's composition works as usual.
#pragma once

#include <QLineEdit>

#include <functional>

class TrackLineEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

    // Whether a keystroke burst is being timed now; none by default.
    void setBurstOpen(std::function<bool()> burstOpen) { m_burstOpen = std::move(burstOpen); }
    bool isBurstOpen() const { return m_burstOpen && m_burstOpen(); }

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::function<bool()> m_burstOpen;
};
