// DialogSwipeGuard: keeps a card swipe out of a dialog's text fields.
//
// The settings dialog has no card field, and it takes the keyboard while the
// main window is disabled. A card swiped into it by mistake typed the
// track's first characters (card digits) into the focused field, and the
// reader's closing Enter pressed OK, which stored them: the POS identifier,
// sent in every frame and written to every log line, held part of the card
// number. The guard times the keys as the main window does; a burst that is
// a swipe puts every field back as it stood before the burst, and Enter while
// a burst is open presses nothing.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

class CardSwipeDetector;
class KeyPreview;
class QKeyEvent;
class QLineEdit;
class QWidget;
class Timing;

class DialogSwipeGuard : public QObject {
public:
    // timing must outlive the guard; the guard goes with window.
    DialogSwipeGuard(QWidget *window, Timing &timing, QList<QLineEdit *> fields);

private:
    void keyPressed(QKeyEvent *key);
    void burstOpened();
    void burstEnded();

    KeyPreview *m_keys;
    CardSwipeDetector *m_detector;
    QList<QPointer<QLineEdit>> m_fields;
    QStringList m_before;
};
