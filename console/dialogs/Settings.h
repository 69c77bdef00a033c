// Settings: the settings dialog, caption "Seaded". It edits the main
// window's settings variables; "OK" stores them (POS, DoPrint, Printer,
// KKAddress, KKPort, RAW, ReportMode, in that order) and applies the report
// mode at once. "OK" and "Loobu" only hide the dialog, so the same instance
// serves the next ShowData; the close box closes it for good (it deletes
// itself) and the window makes a new one next time.
#pragma once

#include "common/LiveTexts.h"
#include "session/ConsoleSettings.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QLineEdit;
class SelectingLineEdit;

class Settings : public QDialog {
    Q_OBJECT
public:
    // `settings` is the main window's, which must outlive the dialog; the
    // main window is enabled again when the dialog is done, and the dialog is
    // kept above it. `printers` lists the installed printers' device names
    // in the print system's order; `applyProgramMode` is the main window's.
    Settings(ConsoleSettings &settings, QWidget *mainWindow, std::function<QStringList()> printers,
             std::function<void()> applyProgramMode);

    // The dialog's text fields, for the window's swipe guard: a card swiped
    // into the dialog by mistake must leave nothing in them.
    QList<QLineEdit *> textFields() const;

    // Fills every control from the settings variables and shows the dialog.
    void ShowData();
    void FillPrinterList();

    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void onOk();
    void onCancel();
    void onReceiptClicked();
    void enablePrinterFrame(bool enabled);

    ConsoleSettings &m_settings;
    QWidget *m_mainWindow;
    std::function<QStringList()> m_printers;
    std::function<void()> m_applyProgramMode;
    LiveTexts m_texts;

    SelectingLineEdit *Text2;   // "Kassa:"
    QGroupBox *m_serverFrame;   // " KK seaded "
    SelectingLineEdit *Text3;   // "Aadress:"
    SelectingLineEdit *Text4;   // "Port:"
    QCheckBox *m_receipt;       // "Kviitung"
    QGroupBox *m_printerFrame;
    QLabel *m_printerLabel;
    QComboBox *Combo1;          // "Printer:"
    QCheckBox *m_raw;           // "RAW printer"
    QCheckBox *m_reportMode;    // "Aruanne reziim"
    QPushButton *m_ok;
    QPushButton *m_cancel;
};
