#include "journal/ChargeGuard.h"

namespace ChargeGuard {

bool chargesCard(int tab)
{
    return tab == 1 || tab == 3 || tab == 4 || tab == 5;
}

std::optional<JournalTransaction> doubtToAskAbout(const TransactionJournal &journal, int tab)
{
    if (!chargesCard(tab))
        return std::nullopt;
    return journal.unresolvedCharge();
}

} // namespace ChargeGuard
