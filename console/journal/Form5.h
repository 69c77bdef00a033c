// Form5, "Viimane tehing": the last transaction the journal knows (time,
// operation, amount, receipt number, outcome in words, STAN) and a list of
// the last 20, newest first. "Kontrolli serverist" is enabled while the last
// one is in doubt, "Prindi kviitung uuesti" while a receipt of this run is
// held. When the server's records show several candidates, they are listed
// and the cashier may pick one or leave the transaction unresolved.
//
// Modeless and without an owner window, like the other dialogs; created once
// per run and only hidden afterwards. The journal is read afresh by refresh(),
// which the main window calls on every show and whenever it has news.
#pragma once

#include "journal/ServerCheck.h"
#include "session/TransactionJournal.h"

#include <QDialog>
#include <QList>

#include <optional>

class LastTransactionHost;
class QLabel;
class QPushButton;
class QTreeWidget;

class Form5 : public QDialog {
    Q_OBJECT
public:
    // host must outlive the dialog.
    explicit Form5(LastTransactionHost &host);

    void refresh();
    // The check has begun, ended with its matches, or ended without an answer.
    void showCheckRunning();
    void showCheckResult(const QList<ServerCheck::Match> &matches, const QString &text);
    void showCheckFailed();

    // The last transaction's fields, in order: time, operation, amount,
    // receipt number, outcome, STAN.
    QLabel *valueLabel(int row) const { return m_values[row]; }
    QLabel *resultLabel() const { return m_result; }
    QTreeWidget *recentList() const { return m_recent; }
    QTreeWidget *matchList() const { return m_matches; }
    QPushButton *checkButton() const { return m_check; }
    QPushButton *reprintButton() const { return m_reprint; }
    QPushButton *pickButton() const { return m_pick; }
    QPushButton *closeButton() const { return m_close; }

private:
    void onCheck();
    void onPick();

    LastTransactionHost &m_host;
    std::optional<JournalTransaction> m_last;
    QList<ServerCheck::Match> m_candidates;
    QLabel *m_values[6] = {};
    QLabel *m_result = nullptr;
    QTreeWidget *m_recent = nullptr;
    QTreeWidget *m_matches = nullptr;
    QPushButton *m_check = nullptr;
    QPushButton *m_reprint = nullptr;
    QPushButton *m_pick = nullptr;
    QPushButton *m_close = nullptr;
};
