// Form3, "Aruanne": the report request. The cashier picks the period, a
// grouping and whether only approved transactions are listed; "OK" hands the
// choice to ReportRequester::PrepareReport and hides the dialog, unless
// another session runs: then "Eelmine toiming on veel pooleli." (kind 0,
// style 48) and the dialog stays open.
//
// Modeless and without an owner window. Created once per run and only
// hidden afterwards, so a later show keeps the values of the last use. A
// new dialog shows today's date (from the clock) in both pickers, "Puudub"
// and the only-approved box checked.
#pragma once

#include "common/LiveTexts.h"

#include <QDialog>

class Clock;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class ReportRequester;

class Form3 : public QDialog {
    Q_OBJECT
public:
    // requester and clock must outlive the dialog.
    explicit Form3(ReportRequester &requester, const Clock &clock);

    // The grouping list's items, in list order.
    static QStringList groupingItems();

    QLabel *Label1;
    QDateEdit *DTPicker1;
    QLabel *Label2;
    QDateEdit *DTPicker2;
    QLabel *Label3;
    QComboBox *Combo1;
    QCheckBox *Check1;
    QPushButton *Command1;
    QPushButton *Command2;

protected:
    void changeEvent(QEvent *event) override;

private:
    void Command1_Click();
    void Command2_Click();

    ReportRequester &m_requester;
    LiveTexts m_texts;
};
