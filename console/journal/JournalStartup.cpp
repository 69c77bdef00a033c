#include "journal/JournalStartup.h"

#include "common/Helpers.h"
#include "session/PaymentSession.h"

#include <QFile>

namespace JournalStartup {

Findings run(PaymentSession &session, const QString &programDir)
{
    TransactionJournal &journal = session.journal();
    Findings found;

    // Before anything is imported: an older console's entries must not pass
    // for the last transaction of the run that crashed.
    if (journal.lastRunEndedAbnormally()) {
        const QList<JournalTransaction> last = journal.lastTransactions(1);
        if (!last.isEmpty() && !last.first().resolved && last.first().outcome
            && last.first().outcome->event == QLatin1String("approved") && last.first().outcome->stan) {
            found.approvedBeforeCrash = last.first().outcome->stan;
        }
    }
    const QString old = JoinPath(programDir, QStringLiteral("journal.jsonl"));
    QFile file(old);
    if (file.exists() && file.open(QIODevice::ReadOnly)) {
        const QByteArray lines = file.readAll();
        file.close();
        found.imported = journal.importJsonLines(lines);
        if (found.imported >= 0) {
            const QString done = old + QStringLiteral(".imported");
            QFile::remove(done);
            if (!QFile::rename(old, done))
                session.LogEvent(QStringLiteral("Journal imported, but journal.jsonl could not be renamed"));
            session.LogEvent(QStringLiteral("Journal imported from journal.jsonl: %1 entries").arg(found.imported));
        }
    }

    journal.markRunning();

    found.restartDoubt = !session.recoverJournal().isEmpty();
    return found;
}

} // namespace JournalStartup
