// What the "Viimane tehing" window needs of the main window: the journal to
// read, the held receipt, and the check against the server. Form1 implements
// it; tests may supply their own.
#pragma once

#include "session/TransactionJournal.h"

#include <optional>

class DoubtCheck;

class LastTransactionHost {
public:
    virtual ~LastTransactionHost() = default;

    virtual const TransactionJournal &journal() const = 0;
    // The receipt number of the last approved receipt of this run, while it
    // is in memory.
    virtual std::optional<qint32> heldReceiptNumber() const = 0;
    // Prints the held receipt again, marked as a copy.
    virtual void reprintReceipt() = 0;
    // The check and the cashier's decisions about its result.
    virtual DoubtCheck &doubtCheck() = 0;
    // Asks the server about the transaction in doubt, unless the console is
    // busy (the host tells the cashier so).
    virtual void checkWithServer(const JournalTransaction &transaction) = 0;
};
