// What a console does with the till's journal when it starts, before its
// window is up, and what the cashier must then be told:
//  1. a last run that did not end normally is noticed (its approval, if the
//     till's last transaction was one, is named to the cashier);
//  2. a "journal.jsonl" of the earlier console in the program folder is
//     imported once (lines torn by a crash skipped) and renamed
//     "journal.jsonl.imported";
//  3. this run is marked as running (markEnded() at a normal end);
//  4. every request left without an outcome becomes a doubt ("restart").
// Only the console that holds the till (TillLock) may do any of it.
#pragma once

#include <QString>

#include <optional>

class PaymentSession;

namespace JournalStartup {

struct Findings {
    bool restartDoubt = false;                 // requests found open
    std::optional<qint64> approvedBeforeCrash; // STAN of the last approval, after a crash
    int imported = -1;                         // entries imported; -1: nothing to import
};

Findings run(PaymentSession &session, const QString &programDir);

} // namespace JournalStartup
