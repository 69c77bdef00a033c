// Form5, "Viimane tehing": the transaction that needs the cashier (the doubt
// a new charge would ask about, else the last one: time, operation, amount,
// receipt number, outcome in words, STAN) and a list of the last 20, newest
// first. "Kontrolli serverist" is enabled while that transaction is in doubt,
// "Prindi kviitung uuesti (kviitung N)" while a receipt of this run is held.
// What the check found is shown here: candidates listed with terminal, time
// and STAN for the cashier to pick, or, when none, "Märgi mittetoimunuks".
//
// Modeless and without an owner window, like the other dialogs; created once
// per run and only hidden afterwards. The journal is read afresh by refresh(),
// which the main window calls on every show and whenever it has news.
#pragma once

#include "common/LiveTexts.h"
#include "journal/DoubtCheck.h"
#include "session/TransactionJournal.h"

#include <QDialog>
#include <QList>

#include <optional>

class LastTransactionHost;
class QLabel;
class QPushButton;
class QTreeWidget;

class Form5 : public QDialog, public DoubtCheckView {
    Q_OBJECT
public:
    // host must outlive the dialog.
    explicit Form5(LastTransactionHost &host);

    void refresh();

    // DoubtCheckView
    void showCheckRunning() override;
    void showCheckOutcome(const CheckOutcome &outcome) override;
    void showCheckFailed() override;
    void showJournalChanged() override;

    // The shown transaction's fields, in order: time, operation, amount,
    // receipt number, outcome, STAN.
    QLabel *valueLabel(int row) const { return m_values[row]; }
    QLabel *resultLabel() const { return m_result; }
    QTreeWidget *recentList() const { return m_recent; }
    QTreeWidget *matchList() const { return m_matches; }
    QPushButton *checkButton() const { return m_check; }
    QPushButton *reprintButton() const { return m_reprint; }
    QPushButton *pickButton() const { return m_pick; }
    QPushButton *notFoundButton() const { return m_notFound; }
    QPushButton *closeButton() const { return m_close; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void onCheck();
    void onPick();
    void onNotFound();
    void clearCandidates();
    // The result line, kept as words to say again after a switch of language.
    void showResult(std::function<QString()> text);

    LastTransactionHost &m_host;
    LiveTexts m_texts;
    std::optional<JournalTransaction> m_shown;
    QLabel *m_values[6] = {};
    QLabel *m_result = nullptr;
    std::function<QString()> m_resultText;
    QTreeWidget *m_recent = nullptr;
    QTreeWidget *m_matches = nullptr;
    QPushButton *m_check = nullptr;
    QPushButton *m_reprint = nullptr;
    QPushButton *m_pick = nullptr;
    QPushButton *m_notFound = nullptr;
    QPushButton *m_close = nullptr;
};
