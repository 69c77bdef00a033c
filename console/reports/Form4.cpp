#include "reports/Form4.h"

#include "reports/ReportRequester.h"
#include "reports/ReportTexts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

Form4::Form4(ReportRequester &requester) : QDialog(nullptr), m_requester(requester)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Eritoimingud"));
    setModal(false);

    Label1 = new QLabel(QStringLiteral("Toiming:"));
    Label1->setObjectName(QStringLiteral("Label1"));
    Combo1 = new QComboBox;
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->addItems(operationItems());
    Combo1->setCurrentIndex(0);
    Command1 = new QPushButton(QStringLiteral("OK"));
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    Command2 = new QPushButton(QStringLiteral("Loobu"));
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAutoDefault(false);
    Label1->setBuddy(Combo1);

    auto *grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Combo1, 0, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    grid->addLayout(buttons, 1, 0, 1, 2);
    setLayout(grid);

    connect(Command1, &QPushButton::clicked, this, &Form4::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form4::Command2_Click);
}

QStringList Form4::operationItems()
{
    return {QStringLiteral("Terminali tehingute saatmine"), QStringLiteral("Osakonna tehingute saatmine"),
            QStringLiteral("Kliendikaartide andmete värskendamine")};
}

void Form4::Command1_Click()
{
    const int position = Combo1->currentIndex();
    if (position < 0 || position > 2) {
        hide();
        return;
    }
    // Refused while another session runs: the cashier is told, and the
    // dialog stays open with the choice to try again.
    if (m_requester.PreparePOSCommand(quint8(position)) == ReportRequester::Outcome::SessionRunning) {
        m_requester.OpenBox(BoxKind::Message, ReportText::kPreviousRunning, ReportText::kPreviousRunningStyle);
        return;
    }
    hide();
}

void Form4::Command2_Click()
{
    hide();
}
