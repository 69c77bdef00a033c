// The question before a second charge: while a payment, booking, tip or
// booking completion of this till is in doubt, OK (or a swipe) on any of
// those four tabs asks first. A cancellation charges nobody and is not asked
// about.
#pragma once

#include "session/TransactionJournal.h"

#include <optional>

namespace ChargeGuard {

// Tabs 1 (payment), 3 (tip), 4 (booking) and 5 (completion).
bool chargesCard(int tab);

// The doubt the cashier must be asked about before the transaction of `tab`
// starts; nullopt when none.
std::optional<JournalTransaction> doubtToAskAbout(const TransactionJournal &journal, int tab);

} // namespace ChargeGuard
