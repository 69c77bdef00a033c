#include "reports/Form4.h"

#include "reports/ReportRequester.h"
#include "reports/ReportTexts.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

Form4::Form4(ReportRequester &requester) : QDialog(nullptr), m_requester(requester)
{
    setObjectName(QStringLiteral("Form4"));
    setModal(false);

    Label1 = new QLabel;
    Label1->setObjectName(QStringLiteral("Label1"));
    Combo1 = new QComboBox;
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->addItems(operationItems());
    Combo1->setCurrentIndex(0);
    Command1 = new QPushButton;
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    Command2 = new QPushButton;
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAutoDefault(false);
    Label1->setBuddy(Combo1);
    // The command is sent as the item's position, never as its text.
    m_texts.add([this] {
        setWindowTitle(tr("Eritoimingud"));
        Label1->setText(tr("Toiming:"));
        const QStringList items = operationItems();
        for (int i = 0; i < items.size(); ++i)
            Combo1->setItemText(i, items[i]);
        Command1->setText(tr("OK"));
        Command2->setText(tr("Loobu"));
    });

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
    return {tr("Terminali tehingute saatmine"), tr("Osakonna tehingute saatmine"),
            tr("Kliendikaartide andmete värskendamine")};
}

void Form4::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        m_texts.retranslate();
    QDialog::changeEvent(event);
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
        m_requester.OpenBox(BoxKind::Message, ReportText::previousRunning(), ReportText::kPreviousRunningStyle);
        return;
    }
    hide();
}

void Form4::Command2_Click()
{
    hide();
}
