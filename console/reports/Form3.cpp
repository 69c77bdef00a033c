#include "reports/Form3.h"

#include "common/Clock.h"
#include "reports/ReportRequester.h"
#include "reports/ReportTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

template <typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QLatin1StringView(name));
    return widget;
}

// A date picker that Tab and Shift+Tab leave at once, from whichever part of
// the date the caret is in; Left and Right move between day, month and year.
// (QDateEdit walks Tab through its parts first, so a cashier tabbing on to
// the grouping list would change the year with the next arrow key.)
class DatePicker final : public QDateEdit {
public:
    using QDateEdit::QDateEdit;

protected:
    bool focusNextPrevChild(bool next) override { return QWidget::focusNextPrevChild(next); }
};

QDateEdit *datePicker(const char *name, const QDate &today)
{
    QDateEdit *picker = named(new DatePicker(today), name);
    picker->setCalendarPopup(true);
    // Digits and dots whatever the locale; only the day is used.
    picker->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    return picker;
}

} // namespace

Form3::Form3(ReportRequester &requester, const Clock &clock)
    : QDialog(nullptr), m_requester(requester)
{
    setObjectName(QStringLiteral("Form3"));
    setModal(false);

    const QDate today = clock.now().date();
    Label1 = named(new QLabel, "Label1");
    DTPicker1 = datePicker("DTPicker1", today);
    Label2 = named(new QLabel, "Label2");
    DTPicker2 = datePicker("DTPicker2", today);
    Label3 = named(new QLabel, "Label3");
    Combo1 = named(new QComboBox, "Combo1");
    Combo1->addItems(groupingItems());
    Combo1->setCurrentIndex(0);
    Check1 = named(new QCheckBox, "Check1");
    Check1->setChecked(true);
    Command1 = named(new QPushButton, "Command1");
    Command1->setDefault(true);
    Command2 = named(new QPushButton, "Command2");
    Command2->setAutoDefault(false);
    // The grouping is sent as the item's position, never as its text.
    m_texts.add([this] {
        setWindowTitle(tr("Aruanne"));
        Label1->setText(tr("Algus:"));
        Label2->setText(tr("Lõpp:"));
        Label3->setText(tr("Grupeering:"));
        const QStringList items = groupingItems();
        for (int i = 0; i < items.size(); ++i)
            Combo1->setItemText(i, items[i]);
        Check1->setText(tr("Näita ainult õnnestunud tehinguid"));
        // The calendar's month and day names in the cashier's language.
        const QLocale calendar(tr("et_EE", "the locale of the date pickers' calendar"));
        for (QDateEdit *picker : {DTPicker1, DTPicker2}) {
            picker->setLocale(calendar);
            picker->calendarWidget()->setLocale(calendar);
        }
        Command1->setText(tr("OK"));
        Command2->setText(tr("Loobu"));
    });

    Label1->setBuddy(DTPicker1);
    Label2->setBuddy(DTPicker2);
    Label3->setBuddy(Combo1);

    auto *grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(DTPicker1, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(DTPicker2, 1, 1);
    grid->addWidget(Label3, 2, 0);
    grid->addWidget(Combo1, 2, 1);
    grid->addWidget(Check1, 3, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    grid->addLayout(buttons, 4, 0, 1, 2);
    setLayout(grid);

    connect(Command1, &QPushButton::clicked, this, &Form3::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form3::Command2_Click);
}

QStringList Form3::groupingItems()
{
    return {tr("Puudub"), tr("Terminal"), tr("Kuupäev"), tr("Kaart"), tr("Vastuse kood"), tr("Staatus")};
}

void Form3::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        m_texts.retranslate();
    QDialog::changeEvent(event);
}

void Form3::Command1_Click()
{
    const QDate from = DTPicker1->date();
    const QDate to = DTPicker2->date();
    const qint16 group = qint16(Combo1->currentIndex());
    const quint8 onlyApproved = Check1->isChecked() ? 1 : 0;
    // Refused while another session runs: the cashier is told, and the
    // dialog stays open with the choice to try again.
    if (m_requester.PrepareReport(from, to, group, onlyApproved) == ReportRequester::Outcome::SessionRunning) {
        m_requester.OpenBox(BoxKind::Message, ReportText::previousRunning(), ReportText::kPreviousRunningStyle);
        return;
    }
    hide();
}

void Form3::Command2_Click()
{
    hide();
}
