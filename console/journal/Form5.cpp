#include "journal/Form5.h"

#include "journal/JournalTexts.h"
#include "journal/LastTransactionHost.h"
#include "journal/DoubtCheck.h"

#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kRecentCount = 20;

QStringList rowOf(const JournalTransaction &t)
{
    return {JournalTexts::timeShown(t.sent.time), JournalTexts::operationName(t.sent.op),
            JournalTexts::amountShown(t.sent.amount), t.sent.receipt ? QString::number(*t.sent.receipt) : QString(),
            JournalTexts::outcomeText(t), JournalTexts::stanText(t)};
}

QTreeWidget *list(const char *name)
{
    auto *w = new QTreeWidget;
    w->setObjectName(QString::fromLatin1(name));
    w->setRootIsDecorated(false);
    w->setSelectionMode(QAbstractItemView::SingleSelection);
    w->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return w;
}

} // namespace

Form5::Form5(LastTransactionHost &host) : QDialog(nullptr), m_host(host)
{
    setObjectName(QStringLiteral("Form5"));
    m_texts.add([this] { setWindowTitle(JournalTexts::caption()); });
    setModal(false);

    static const char *const names[6] = {QT_TR_NOOP("Aeg:"),           QT_TR_NOOP("Toiming:"), QT_TR_NOOP("Summa:"),
                                         QT_TR_NOOP("Kviitungi nr.:"), QT_TR_NOOP("Tulemus:"), QT_TR_NOOP("STAN:")};
    auto *details = new QFormLayout;
    for (int i = 0; i < 6; ++i) {
        m_values[i] = new QLabel;
        m_values[i]->setObjectName(QStringLiteral("Value%1").arg(i + 1));
        m_values[i]->setTextFormat(Qt::PlainText);
        m_values[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto *name = new QLabel;
        name->setBuddy(m_values[i]);
        m_texts.add([this, name, i] {
            name->setText(tr(names[i]));
            m_values[i]->setAccessibleName(name->text());
        });
        details->addRow(name, m_values[i]);
    }

    m_result = new QLabel;
    m_result->setObjectName(QStringLiteral("Result"));
    m_result->setTextFormat(Qt::PlainText);
    m_result->setWordWrap(true);

    m_recent = list("Recent");
    m_matches = list("Matches");
    m_matches->hide();
    m_texts.add([this] {
        m_recent->setHeaderLabels({tr("Aeg"), tr("Toiming"), tr("Summa"), tr("Kviitung"), tr("Tulemus"), tr("STAN")});
        m_recent->setAccessibleName(tr("Viimased tehingud"));
        m_matches->setHeaderLabels({tr("Terminal"), tr("Aeg"), tr("Summa"), tr("STAN")});
        m_matches->setAccessibleName(tr("Sobivad tehingud"));
    });

    m_check = new QPushButton;
    m_check->setObjectName(QStringLiteral("Check"));
    m_reprint = new QPushButton(JournalTexts::reprintButton());
    m_reprint->setObjectName(QStringLiteral("Reprint"));
    m_pick = new QPushButton;
    m_pick->setObjectName(QStringLiteral("Pick"));
    m_pick->hide();
    m_notFound = new QPushButton;
    m_notFound->setObjectName(QStringLiteral("NotFound"));
    m_notFound->hide();
    m_close = new QPushButton;
    m_close->setObjectName(QStringLiteral("Close"));
    m_texts.add([this] {
        m_check->setText(JournalTexts::checkButton());
        m_pick->setText(JournalTexts::pickButton());
        m_notFound->setText(JournalTexts::markNotFoundButton());
        m_close->setText(JournalTexts::closeButton());
    });
    m_close->setDefault(true);
    for (QPushButton *b : {m_check, m_reprint, m_pick, m_notFound})
        b->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_check);
    buttons->addWidget(m_reprint);
    buttons->addStretch();
    buttons->addWidget(m_close);

    auto *pickRow = new QHBoxLayout;
    pickRow->addStretch();
    pickRow->addWidget(m_notFound);
    pickRow->addWidget(m_pick);

    auto *all = new QVBoxLayout;
    all->addLayout(details);
    all->addWidget(m_result);
    all->addWidget(m_matches);
    all->addLayout(pickRow);
    all->addWidget(m_recent, 1);
    all->addLayout(buttons);
    setLayout(all);
    resize(640, 480);

    connect(m_check, &QPushButton::clicked, this, &Form5::onCheck);
    connect(m_reprint, &QPushButton::clicked, this, [this] { m_host.reprintReceipt(); });
    connect(m_pick, &QPushButton::clicked, this, &Form5::onPick);
    connect(m_notFound, &QPushButton::clicked, this, &Form5::onNotFound);
    connect(m_close, &QPushButton::clicked, this, &QDialog::hide);
    connect(m_matches, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_pick->setEnabled(!m_matches->selectedItems().isEmpty()); });
}

void Form5::refresh()
{
    const TransactionJournal &journal = m_host.journal();
    const QList<JournalTransaction> recent = journal.lastTransactions(kRecentCount);
    // The doubt a new charge would ask about comes first; else the last one.
    std::optional<JournalTransaction> shown = journal.unresolvedCharge();
    if (!shown && !recent.isEmpty())
        shown = recent.first();
    const bool sameAsBefore = shown && m_shown && shown->id == m_shown->id;
    m_shown = shown;

    const QStringList values = m_shown ? rowOf(*m_shown) : QStringList(6, QString());
    for (int i = 0; i < 6; ++i)
        m_values[i]->setText(values[i]);
    if (!sameAsBefore)
        showResult(nullptr);
    if (!m_shown)
        showResult(&JournalTexts::noTransactions);

    m_recent->clear();
    for (const JournalTransaction &t : recent)
        m_recent->addTopLevelItem(new QTreeWidgetItem(rowOf(t)));

    DoubtCheck &check = m_host.doubtCheck();
    m_check->setEnabled(m_shown && m_shown->isInDoubt() && !check.running());
    const std::optional<qint32> held = m_host.heldReceiptNumber();
    m_reprint->setEnabled(held.has_value());
    m_reprint->setText(held ? JournalTexts::reprintButton(*held) : JournalTexts::reprintButton());
    // What a check found belongs to the transaction it was found for, while
    // that one is still in doubt.
    if (!m_shown || !m_shown->isInDoubt() || !check.checked() || check.checked()->id != m_shown->id) {
        check.forget();
        clearCandidates();
    }
}

void Form5::showResult(std::function<QString()> text)
{
    m_resultText = std::move(text);
    m_result->setText(m_resultText ? m_resultText() : QString());
}

void Form5::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        m_texts.retranslate();
        if (m_resultText)
            m_result->setText(m_resultText());
        // The rows say the outcome in words, and the reprint button names
        // its receipt: both are written afresh.
        if (isVisible())
            refresh();
    }
    QDialog::changeEvent(event);
}

void Form5::clearCandidates()
{
    m_matches->clear();
    m_matches->hide();
    m_pick->hide();
    m_notFound->hide();
}

void Form5::onCheck()
{
    if (!m_shown || !m_shown->isInDoubt())
        return;
    clearCandidates();
    m_host.checkWithServer(*m_shown);
}

void Form5::showCheckRunning()
{
    clearCandidates();
    showResult(&JournalTexts::checkRunning);
    m_check->setEnabled(false);
}

void Form5::showCheckOutcome(const CheckOutcome &outcome)
{
    refresh();
    showResult(outcome.text);
    if (outcome.kind == ServerCheck::Result::NoneFound) {
        m_notFound->show();
        m_notFound->setEnabled(m_shown && m_shown->isInDoubt());
        return;
    }
    if (outcome.candidates.isEmpty() || outcome.kind == ServerCheck::Result::Settled)
        return;
    for (const ServerCheck::Candidate &c : outcome.candidates) {
        const QString amount = QString::number(double(c.cents) / 100.0, 'f', 2).replace(u'.', u',');
        m_matches->addTopLevelItem(new QTreeWidgetItem({QString::fromLatin1(c.terminal),
                                                        c.stamp.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")),
                                                        amount, QString::number(c.stan)}));
    }
    m_matches->show();
    m_pick->show();
    m_pick->setEnabled(false);
}

void Form5::showCheckFailed()
{
    refresh();
    showResult(&JournalTexts::checkFailed);
}

void Form5::showJournalChanged()
{
    if (isVisible())
        refresh();
}

void Form5::onPick()
{
    DoubtCheck &check = m_host.doubtCheck();
    const QList<QTreeWidgetItem *> picked = m_matches->selectedItems();
    if (!m_shown || picked.isEmpty())
        return;
    const int index = m_matches->indexOfTopLevelItem(picked.first());
    if (index < 0 || index >= check.candidates().size())
        return;
    const ServerCheck::Candidate candidate = check.candidates()[index];
    const bool settled = check.pick(m_shown->id, candidate);
    refresh();
    if (settled)
        showResult([stan = candidate.stan] { return JournalTexts::checkApproved(stan); });
}

void Form5::onNotFound()
{
    if (!m_shown)
        return;
    const bool settled = m_host.doubtCheck().markNotFound(m_shown->id);
    refresh();
    if (settled)
        showResult(&JournalTexts::markedNotFound);
}
