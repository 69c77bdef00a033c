#include "dialogs/Settings.h"

#include "dialogs/SettingsSave.h"
#include "widgets/SelectingLineEdit.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>

namespace {

QLabel *label(QWidget *parent, int x, int y, int width = 60)
{
    auto *l = new QLabel(parent);
    l->setGeometry(x, y + 3, width, 20);
    return l;
}

} // namespace

Settings::Settings(ConsoleSettings &settings, QWidget *mainWindow,
                   std::function<QStringList()> printers, std::function<void()> applyProgramMode)
    : QDialog(nullptr,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                  | Qt::MSWindowsFixedSizeDialogHint),
      m_settings(settings),
      m_mainWindow(mainWindow),
      m_printers(std::move(printers)),
      m_applyProgramMode(std::move(applyProgramMode))
{
    setObjectName(QStringLiteral("Settings"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    // "Kassa:" at the top left, "Aruanne reziim" below it.
    QLabel *till = label(this, 12, 16);
    Text2 = new SelectingLineEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setTypingLimit(8);
    Text2->setGeometry(72, 16, 100, 24);

    m_reportMode = new QCheckBox(this);
    m_reportMode->setObjectName(QStringLiteral("Check3"));
    m_reportMode->move(12, 52);

    // " KK seaded " at the top right.
    m_serverFrame = new QGroupBox(this);
    m_serverFrame->setObjectName(QStringLiteral("Frame1"));
    m_serverFrame->setGeometry(196, 6, 232, 92);
    QLabel *address = label(m_serverFrame, 10, 24);
    Text3 = new SelectingLineEdit(m_serverFrame);
    Text3->setObjectName(QStringLiteral("Text3"));
    Text3->setTypingLimit(15);
    Text3->setGeometry(76, 24, 144, 24);
    QLabel *port = label(m_serverFrame, 10, 56);
    Text4 = new SelectingLineEdit(m_serverFrame);
    Text4->setObjectName(QStringLiteral("Text4"));
    Text4->setTypingLimit(5);
    Text4->setGeometry(76, 56, 64, 24);

    // The printer frame across the middle; "Kviitung" sits on its top edge
    // as its title.
    m_printerFrame = new QGroupBox(this);
    m_printerFrame->setObjectName(QStringLiteral("Frame2"));
    m_printerFrame->setGeometry(12, 116, 416, 92);
    m_printerLabel = label(m_printerFrame, 10, 24);
    Combo1 = new QComboBox(m_printerFrame);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setGeometry(76, 24, 328, 26);
    m_raw = new QCheckBox(m_printerFrame);
    m_raw->setObjectName(QStringLiteral("Check2"));
    m_raw->move(76, 58);

    m_receipt = new QCheckBox(this);
    m_receipt->setObjectName(QStringLiteral("Check1"));
    m_receipt->setAutoFillBackground(true);
    m_receipt->raise();
    connect(m_receipt, &QCheckBox::clicked, this, &Settings::onReceiptClicked);

    // "OK" and "Loobu" side by side at the bottom right.
    m_ok = new QPushButton(this);
    m_ok->setObjectName(QStringLiteral("Command1"));
    m_ok->setGeometry(236, 222, 92, 28);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &Settings::onOk);
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName(QStringLiteral("Command2"));
    m_cancel->setGeometry(336, 222, 92, 28);
    // A focused button takes Enter, as everywhere in the console: Enter on
    // "Loobu" discards. OK stays the default elsewhere in the dialog.
    m_cancel->setAutoDefault(true);
    connect(m_cancel, &QPushButton::clicked, this, &Settings::onCancel);

    m_texts.add([=, this] {
        setWindowTitle(tr("Seaded"));
        till->setText(tr("Kassa:"));
        m_reportMode->setText(tr("Aruanne reziim"));
        m_reportMode->adjustSize();
        m_serverFrame->setTitle(tr(" KK seaded "));
        address->setText(tr("Aadress:"));
        port->setText(tr("Port:"));
        m_printerLabel->setText(tr("Printer:"));
        m_raw->setText(tr("RAW printer"));
        m_raw->adjustSize();
        m_receipt->setText(tr("Kviitung"));
        m_receipt->adjustSize();
        m_receipt->move(24, 116 - m_receipt->height() / 2 + 2);
        m_ok->setText(tr("OK"));
        m_cancel->setText(tr("Loobu"));
    });

    setTabOrder(Text2, Text3);
    setTabOrder(Text3, Text4);
    setTabOrder(Text4, m_receipt);
    setTabOrder(m_receipt, Combo1);
    setTabOrder(Combo1, m_raw);
    setTabOrder(m_raw, m_ok);
    setTabOrder(m_ok, m_cancel);
    setTabOrder(m_cancel, m_reportMode);

    setFixedSize(440, 262);

    if (m_mainWindow) {
        winId();
        if (QWindow *mainHandle = m_mainWindow->windowHandle())
            windowHandle()->setTransientParent(mainHandle);
    }
}

QList<QLineEdit *> Settings::textFields() const
{
    return {Text2, Text3, Text4, Combo1->lineEdit()};
}

void Settings::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        m_texts.retranslate();
    QDialog::changeEvent(event);
}

void Settings::ShowData()
{
    // Stored values are shown whole: OK writes back what the store held
    // unless the technician edits it.
    Text2->setStoredText(m_settings.fPOSID);
    Text3->setStoredText(m_settings.fAddress);
    Text4->setStoredText(QString::number(m_settings.fPort));
    FillPrinterList();
    Combo1->setEditText(m_settings.fPrinter);
    m_raw->setChecked(m_settings.fRAW);
    m_receipt->setChecked(m_settings.fDoPrint);
    m_reportMode->setChecked(m_settings.fReportMode);
    enablePrinterFrame(m_receipt->isChecked());
    if (m_mainWindow && !isVisible()) {
        const QPoint centre = m_mainWindow->frameGeometry().center();
        move(centre - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    activateWindow();
    Text2->setFocus();
}

void Settings::FillPrinterList()
{
    Combo1->clear();
    if (m_printers)
        Combo1->addItems(m_printers());
}

void Settings::enablePrinterFrame(bool enabled)
{
    // The label, the list and "RAW printer" are the frame's children and
    // follow it.
    m_printerFrame->setEnabled(enabled);
}

void Settings::onReceiptClicked()
{
    enablePrinterFrame(m_receipt->isChecked());
}

void Settings::onOk()
{
    SettingsDialogValues values;
    values.posId = Text2->text();
    values.address = Text3->text();
    values.portText = Text4->text();
    values.printer = Combo1->currentText();
    values.receipt = m_receipt->isChecked();
    values.raw = m_raw->isChecked();
    values.reportMode = m_reportMode->isChecked();
    SaveSettings(m_settings, values);

    hide();
    if (m_mainWindow)
        m_mainWindow->setEnabled(true);
    if (m_applyProgramMode)
        m_applyProgramMode();
}

void Settings::onCancel()
{
    hide();
    if (m_mainWindow)
        m_mainWindow->setEnabled(true);
}

void Settings::reject()
{
    onCancel();
}

void Settings::closeEvent(QCloseEvent *event)
{
    if (m_mainWindow)
        m_mainWindow->setEnabled(true);
    event->accept();
}
