// SwipeGuard: keeps a keyboard-wedge card reader's burst out of a window's
// text fields.
//
// A reader types the track as keys, at a speed no person types. The guard
// sees every key of the window before its control does (KeyPreview), times
// the keys (CardSwipeDetector), keeps the guarded fields' text as it stood
// when a burst began, and when the burst turns out to be a swipe puts every
// field back, so that no part of a track stays in clear in a field. What a
// swipe means is the window's: the main window takes it as the card of a
// payment (swiped), the settings dialog as nothing at all.
//
// One guard per window. The main window makes its own and the settings
// dialog's.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class CardSwipeDetector;
class KeyPreview;
class QKeyEvent;
class QLineEdit;
class QWidget;
class Timing;

class SwipeGuard : public QObject {
    Q_OBJECT
public:
    // timing must outlive the guard; the guard goes with window.
    SwipeGuard(QWidget *window, Timing &timing, QList<QLineEdit *> fields);

    // Enter pressed while a burst is open goes nowhere (a reader's closing
    // Enter must not press a dialog's OK). Off unless set.
    void setSwallowEnterInBurst(bool swallow) { m_swallowEnter = swallow; }
    // After a swipe every field is set again, even one the swipe left as it
    // was (which puts its cursor at the end and drops its selection and
    // undo history), as a dialog that keeps nothing of a swipe wants. Off
    // unless set: then only the fields the swipe changed are set.
    void setRestoreEveryField(bool every) { m_restoreEvery = every; }

    CardSwipeDetector &detector() { return *m_detector; }
    bool isBurstOpen() const;
    // A guarded field's text as it stood when the current (or last) burst
    // began; empty for a field not guarded.
    QString textBeforeBurst(const QLineEdit *field) const;
    // Forgets those texts (the fields were emptied, or the tab changed: a
    // swipe must not bring the old texts back). The captured characters of a
    // burst still open stay.
    void forget();

signals:
    // Every key press of the window, before its control and before the guard
    // times it.
    void keyPressed(QKeyEvent *event);
    // A burst opened; the fields' texts are kept already.
    void burstOpened();
    // The burst was a swipe: the fields are back as they were; track holds
    // the burst's characters.
    void swiped(const QString &track);
    // The burst was typing.
    void typed();

private:
    void onKey(QKeyEvent *key);
    void onBurstOpened();
    void onBurstEnded();

    KeyPreview *m_keys;
    CardSwipeDetector *m_detector;
    QList<QPointer<QLineEdit>> m_fields;
    QList<QString> m_before;
    bool m_swallowEnter = false;
    bool m_restoreEvery = false;
};
