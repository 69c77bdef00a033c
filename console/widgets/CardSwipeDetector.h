// CardSwipeDetector: tells a keyboard-wedge card reader's burst of keys from
// a person typing, by speed.
//
// A burst opens with the first character key while Timer3 is stopped and
// stays open while keys follow within 55 ms of each other; Timer3 fires 55 ms
// after the last one. The burst is a swipe when it holds at least 5
// characters and took at most 20 ms per character, measured from its first
// key to the timer's firing (so the 55 ms tail counts: 5 keys at 5 ms are a
// swipe, 5 keys 50 ms apart are not).
//
// Only the timing and the captured characters live here; what the window
// does with a swipe (cut it out of the edited field, fill the card field,
// start the transaction) is the window's EndOfBurst.
#pragma once

#include <QObject>
#include <QString>
#include <QStringView>

class OneShotTimer;
class Timing;

class CardSwipeDetector : public QObject {
    Q_OBJECT
public:
    static constexpr int kBurstTimerMs = 55;
    static constexpr int kMinSwipeCharacters = 5;
    static constexpr double kMaxMsPerCharacter = 20.0;

    // timing must outlive the detector.
    explicit CardSwipeDetector(Timing &timing, QObject *parent = nullptr);

    // Start-up: no burst, keyBuffer empty, burstStart -1.
    void reset();

    // One key press carrying characters (usually one). A press that opens a
    // burst empties keyBuffer first and stamps burstStart. Presses without
    // characters (modifiers alone) must not be passed here.
    void keyPress(QStringView characters);

    // Timer3 runs: a burst is open, so OK and report requests wait.
    bool isBurstOpen() const;

    // Closes the burst (stops Timer3) and says whether it was a swipe.
    // keyBuffer keeps the burst's characters either way until the next key.
    bool closeBurst();

    // Empties keyBuffer (after an approval the captured track is dropped).
    void clearKeyBuffer() { m_keyBuffer.clear(); }

    const QString &keyBuffer() const { return m_keyBuffer; }
    // Milliseconds of the clock at the first key of the burst; -1 before any.
    qint64 burstStart() const { return m_burstStart; }
    OneShotTimer *Timer3() const { return m_timer3; }

    static bool isSwipe(qsizetype characters, qint64 elapsedMs);

signals:
    // A key opened a burst. Emitted before its characters are kept, and
    // before the key reaches the focused field, so the window can keep the
    // fields' text as it stood just before the burst.
    void burstOpened();
    // Timer3 fired: the window runs EndOfBurst.
    void burstTimerFired();

private:
    Timing &m_timing;
    OneShotTimer *m_timer3;
    QString m_keyBuffer;
    qint64 m_burstStart = -1;
};
