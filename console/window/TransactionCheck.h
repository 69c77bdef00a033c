// The decision of the OK button (ValidateAndStart): which of the selected
// tab's fields is refused, if any, before a session may begin. The window
// acts on the outcome: a message, the card field emptied, or BeginSession.
#pragma once

#include "session/TransactionRequest.h"

#include <QLocale>
#include <QString>

struct TabFields {
    QString text2;   // amount, tabs 1 and 4
    QString text3;   // receipt number, tab 2
    QString text4;   // receipt number, tab 5
    QString text7;   // amount, tab 5
    QString text8;   // receipt number, tab 3
    QString text9;   // amount, tab 3
};

enum class TransactionCheck {
    BurstOpen,             // a keystroke burst is being timed: do nothing now
    InvalidAmount,         // "Vigane summa.", and the card field is emptied
    InvalidReceiptNumber,  // "Vigane kviitungi number."
    Start,                 // BeginSession
};

// tab is the selected tab, 1..5. The card number field is not examined: it
// may be empty. Checks run in the order the cashier fills the fields: the
// receipt number before the amount.
TransactionCheck CheckTransaction(int tab, const TabFields &fields, bool burstOpen,
                                  const QLocale &locale = QLocale::system());

// The request of the selected tab, built from its fields with the same rules
// as the check (a text the rules refuse gives amount 0 or receipt number -1,
// which a checked tab never has). cardText is the card field as typed or
// swiped; the request carries it normalised as a track. Tab 1 is a payment,
// 4 a booking, 2 a cancellation, 3 a tip, 5 a booking completion; any other
// number gives no operation.
TransactionRequest RequestOfTab(int tab, const TabFields &fields, const QString &cardText,
                                const QLocale &locale = QLocale::system());
