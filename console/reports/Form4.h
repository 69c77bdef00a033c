// Form4, "Eritoimingud": one of the three special operations of the payment
// server. "OK" calls ReportRequester::PreparePOSCommand with the list
// position as the command byte (0, 1 or 2) and hides the dialog, unless
// another session runs: then "Eelmine toiming on veel pooleli." (kind 0,
// style 48) and the dialog stays open.
//
// Modeless and without an owner window; created once per run, only hidden
// afterwards, so later shows keep the last selection.
#pragma once

#include "common/LiveTexts.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class ReportRequester;

class Form4 : public QDialog {
    Q_OBJECT
public:
    // requester must outlive the dialog.
    explicit Form4(ReportRequester &requester);

    // The operations, in list order; the position is the CommandID.
    static QStringList operationItems();

    QLabel *Label1;
    QComboBox *Combo1;
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
