// BoxSwipeCapture: the characters typed into a prompt box, kept only when
// they came as a fast burst (a card swiped into a masked input box).
//
// Each key appends its characters and restarts Timer1 (55 ms). When Timer1
// fires, elapsed is the time since the last key (so about 55 ms); the text is
// dropped when elapsed / characters is above 20 ms. A single key typed by
// hand is therefore dropped at its timer, while three or more characters that
// followed each other within 55 ms survive, and once kept the text keeps
// growing with later keys.
#pragma once

#include <QObject>
#include <QString>
#include <QStringView>

class OneShotTimer;
class Timing;

class BoxSwipeCapture : public QObject {
    Q_OBJECT
public:
    static constexpr int kTimerMs = 55;
    static constexpr double kMaxMsPerCharacter = 20.0;

    explicit BoxSwipeCapture(Timing &timing, QObject *parent = nullptr);

    // ShowBox: lastKeyTime = now, swipeText empty, Timer1 stopped.
    void reset();
    void keyPress(QStringView characters);
    void stop();

    const QString &swipeText() const { return m_swipeText; }
    // Timer1 runs: keys are following each other fast (a burst may be on).
    bool isTiming() const;
    qint64 lastKeyTime() const { return m_lastKeyTime; }
    OneShotTimer *Timer1() const { return m_timer1; }

private:
    void timerFired();

    Timing &m_timing;
    OneShotTimer *m_timer1;
    QString m_swipeText;
    qint64 m_lastKeyTime = 0;
};
