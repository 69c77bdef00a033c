// TransactionRequest: one payment, booking, cancellation, tip or booking
// completion, as the session sends it. The window builds it from its
// validated fields with its own rules (window/TabRequest); the session turns
// it into its frame, its log line and its journal entry, and never reads a
// field of the window.
#pragma once

#include "session/TillKey.h"

#include <QString>
#include <QtGlobal>

struct TransactionRequest {
    enum class Operation {
        None,                // no transaction tab selected: nothing is sent
        CardPayment,         // "0001"; a booking when `booking` is set
        Cancellation,        // "0016"
        Tip,                 // "0017"
        BookingCompletion,   // "0018"
    };

    Operation operation = Operation::None;
    // In currency units (12.5 for "12,50"); 0 when the text was refused.
    double amount = 0;
    // The receipt a cancellation, tip or completion refers to; -1 when the
    // text was refused.
    qint32 receiptNumber = -1;
    // The card reader's track or the typed card number, as the server reads
    // it; it goes into the frame only, never into a log or the journal.
    QString cardText;
    bool booking = false;
    // Set when a till handed the request over: journaled with the sent
    // entry, so the till's repeated request finds it.
    TillKey tillKey;

    // The journal's name of the operation: "payment", "booking",
    // "cancellation", "tip" or "completion"; empty for None.
    QString journalOperation() const
    {
        switch (operation) {
        case Operation::CardPayment: return booking ? QStringLiteral("booking") : QStringLiteral("payment");
        case Operation::Cancellation: return QStringLiteral("cancellation");
        case Operation::Tip: return QStringLiteral("tip");
        case Operation::BookingCompletion: return QStringLiteral("completion");
        case Operation::None: break;
        }
        return {};
    }
    bool carriesAmount() const
    {
        return operation == Operation::CardPayment || operation == Operation::Tip
            || operation == Operation::BookingCompletion;
    }
    bool carriesReceipt() const
    {
        return operation == Operation::Cancellation || operation == Operation::Tip
            || operation == Operation::BookingCompletion;
    }
};
