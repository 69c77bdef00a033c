// What the "Viimane tehing" window needs of the main window: the journal to
// read, the held receipt, and the check against the server. Form1 implements
// it; tests may supply their own.
#pragma once

#include "session/TransactionJournal.h"

class LastTransactionHost {
public:
    virtual ~LastTransactionHost() = default;

    virtual const TransactionJournal &journal() const = 0;
    // The last approved receipt of this run is in memory.
    virtual bool receiptHeld() const = 0;
    // Prints the held receipt again, marked as a copy.
    virtual void reprintReceipt() = 0;
    // Asks the server for the day's records of the transaction in doubt; the
    // answer comes back to the window (Form5::showCheckResult). False when
    // it cannot begin now (a session runs); the host has told the cashier.
    virtual bool checkWithServer(const JournalTransaction &transaction) = 0;
    // The cashier picked the record that answers for the transaction.
    virtual void resolveApproved(const JournalTransaction &transaction, qint64 stan) = 0;
};
