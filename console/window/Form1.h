// Form1: the console's main window, its only permanent window and the owner
// of all session state.
//
// It holds the settings variables (ConsoleSettings, edited by the settings
// dialog), the payment session (PaymentSession, which calls back through
// SessionHost), the five transaction tabs with their validation, and the
// card-swipe capture. It is the window under the first prompt box of the
// program's boxStack, and the answers of the boxes reach the session through
// it (PromptAnswers).
//
// Start-up order (constructor): box stack to slot 0, key buffer empty and
// session idle; ReturnToIdle; settings from the store; ApplyProgramMode;
// the session counter; title "Tellar - POS:" + fPOSID; entry fields empty;
// ShowTabFrame.
#pragma once

#include "common/Language.h"
#include "common/LiveTexts.h"
#include "dialogs/BoxStack.h"
#include "dialogs/PromptAnswers.h"
#include "journal/DoubtCheck.h"
#include "journal/LastTransactionHost.h"
#include "journal/Form5.h"
#include "printing/ReceiptCopy.h"
#include "reports/ReportRequest.h"
#include "reports/ReportRequester.h"
#include "session/ConsoleSettings.h"
#include "session/PaymentSession.h"
#include "session/SessionHost.h"
#include "window/TillHost.h"

#include <QDate>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class CardSwipeDetector;
class Form2;
class Form5;
class PlatformPrinter;
class QAction;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QTabBar;
class QTimer;
class ReceiptPrinter;
class SelectingLineEdit;
class Settings;
class Spooler;
class SwipeGuard;
class TillBridge;
class TillLock;
class Timing;

// The outside world of the main window. Anything left null is the real one:
// the system clock and timers, the CUPS spooler, Qt's printer.
struct Form1Environment {
    Timing *timing = nullptr;
    Spooler *spooler = nullptr;
    PlatformPrinter *platformPrinter = nullptr;
    // The till hand-off's port instead of ECRPort (0: any free port).
    std::optional<quint16> tillPort;
    // Where the cashier's language is remembered; empty: the user's own
    // file (UserLanguageFile).
    QString languageFile;
    // Where the console's translations are looked for; empty: the program's
    // own folders (Translations::defaultDirs).
    QStringList translationDirs;
};

class Form1 : public QMainWindow,
              public ConsoleSettings,
              public SessionHost,
              public StackedWindow,
              public PromptAnswers,
              public ReportRequester,
              public LastTransactionHost {
    Q_OBJECT
public:
    using Environment = Form1Environment;

    explicit Form1(const Environment &environment = Environment(), QWidget *parent = nullptr);
    ~Form1() override;

    // --- Public operations of the window (called by the dialogs) ----------
    void ApplyProgramMode();
    Outcome PreparePOSCommand(quint8 CommandID) override;
    // Does nothing while a keystroke burst is being timed.
    Outcome PrepareReport(const QDate &ReportFrom, const QDate &ReportTo, qint16 ReportGroup,
                          quint8 ReportOnlyApproved) override;
    void ButtonResponse(quint8 ButtonCode) override;
    void InputResponse(quint8 ButtonCode, const QString &Text) override;
    static bool GetAmount(const QString &AmountString, double &ResultAmount);

    // --- Operations used by the session ----------------------------------
    void BeginSession();
    void ReturnToIdle();
    void ShowTabFrame() override;
    // Frame 1, 2, 3 or 5 with its labels and fields; other numbers do nothing.
    void SetFrameEnabled(int frame, bool enabled);

    // --- Tabs and validation ---------------------------------------------
    // The OK button (and Enter): checks the selected tab's fields, then
    // BeginSession; nothing at all while a keystroke burst is being timed.
    void ValidateAndStart();
    void SelectTab(int tab);
    void NextTab();
    void FocusSelectedTab();

    // --- Prompt boxes ------------------------------------------------------
    void OpenBox(quint8 kind, const QString &text, qint32 style) override;
    void CloseAllBoxes() override;

    // --- Menu actions ------------------------------------------------------
    // "&Aruanne...": the report request dialog (Form3), modeless; made on
    // first use and only hidden afterwards.
    void showReportDialog();
    // "Eri&toimingud...": the special operations dialog (Form4), likewise.
    void showPosCommandDialog();
    // "&Seaded...": ShowData of the settings dialog, then the window is
    // disabled until the dialog is done.
    void showSettingsDialog();
    // "&Viimane tehing...": the journal's last transactions (Form5),
    // modeless, made on first use and only hidden afterwards.
    void showLastTransactionDialog();

    // LastTransactionHost
    const TransactionJournal &journal() const override;
    std::optional<qint32> heldReceiptNumber() const override;
    void reprintReceipt() override;
    DoubtCheck &doubtCheck() override { return *m_doubtCheck; }
    void checkWithServer(const JournalTransaction &transaction) override;

    // Another console holds this till: this one shows so and ends.
    bool refusedToStart() const { return m_refused; }

    PaymentSession &session() { return *m_session; }
    // The till hand-off; null when ECRPort is off or the port was taken.
    TillBridge *tillBridge() const { return m_till; }
    Settings *settingsDialog() const;
    QWidget *reportDialog() const { return m_reportDialog.data(); }
    QWidget *posCommandDialog() const { return m_posCommandDialog.data(); }
    Form5 *lastTransactionDialog() const { return m_lastTransactionDialog.data(); }
    CardSwipeDetector &swipeDetector();

    // "&Keel": the cashier's language, switched at once and remembered for
    // this user. Refused (false) while a session runs.
    bool switchLanguage(Language language);
    Language language() const { return m_language.current(); }

    // Window fields of the tabs and the swipe capture. savedAmountText is
    // the amount field as it stood just before the current (or last) burst
    // began; it is emptied with the entry fields.
    qint16 currentTab = 0;
    quint8 lastEditedField = 0;
    QString savedAmountText;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // SessionHost
    void showRunningLayout() override;
    void showIdleLayout() override;
    void setStatusLine(const QString &text) override;
    void showFinalStatus(const ShownText &text) override;
    // The status line as setStatusLine shows it, keeping m_ownStatus.
    void writeStatusLine(const QString &text);
    void setStatusBarText(const ShownText &text) override;
    TransactionRequest transactionRequest() const override;
    void clearCardField() override;
    void clearEntryFields() override;
    void PrintReceipt(const QByteArray &receiptFrame, qint32 stan) override;
    void DecodeReport(const VaroManager &message) override;
    void processEvents() override;
    void tellJournalUnwritable(const QString &text, qint32 style) override;

    // StackedWindow
    void setStackEnabled(bool enabled) override;

    // Every caption again in the language just installed.
    void retranslate();
    void buildWidgets();
    void buildMenu();
    void setTabOrderChain();
    // The selected transaction tab, 1 to 5.
    int selectedTab() const;
    void onTabChanged();
    void onPreviewKey(QKeyEvent *event);
    // The swipe guard's verdicts on a burst.
    void onBurstOpened();
    void onTypedBurst();
    void onSwipe(const QString &track);
    // Empties the entry fields' copies kept for the swipe cut-out.
    void forgetTextsBeforeBurst();
    void onStatusLineFocus();
    void keepDialogsInFront();
    // OK on a charging tab while a charge of this till is in doubt: the
    // cashier is asked first; "Yes" settles the doubt as the cashier's.
    void askBeforeSecondCharge();
    // What start-up found, told once the window stands.
    void tellStartupFindings();
    SelectingLineEdit *entryField(int fieldNumber) const;
    // "Loobu" and Esc: a till's request not yet started ends there; a
    // session is asked to cancel.
    void onCancel();
    // The till hand-off on ECRPort (or the environment's port).
    void startTillBridge(std::optional<quint16> port);
    void showTillRequest(const TillOffer &offer);
    void withdrawTillRequest();

    Timing &m_timing;
    std::unique_ptr<Spooler> m_ownSpooler;
    std::unique_ptr<PlatformPrinter> m_ownPlatformPrinter;
    Spooler *m_spooler;
    PlatformPrinter *m_platformPrinter;
    std::unique_ptr<ReceiptPrinter> m_receiptPrinter;
    PaymentSession *m_session = nullptr;
    SwipeGuard *m_guard = nullptr;

    // Controls, named as the window's own.
    QTabBar *TabStrip1 = nullptr;
    QWidget *m_tabArea = nullptr;
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QGroupBox *Frame5 = nullptr;
    SelectingLineEdit *Text1 = nullptr;
    SelectingLineEdit *Text2 = nullptr;
    SelectingLineEdit *Text3 = nullptr;
    SelectingLineEdit *Text4 = nullptr;
    SelectingLineEdit *Text7 = nullptr;
    SelectingLineEdit *Text8 = nullptr;
    SelectingLineEdit *Text9 = nullptr;
    SelectingLineEdit *Text10 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Image1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QLabel *m_statusBarText = nullptr;
    QTimer *Timer2 = nullptr;

    QAction *Report = nullptr;
    QAction *PosCommand = nullptr;
    QAction *SettingsM = nullptr;
    QAction *LastTransaction = nullptr;
    QAction *Quit = nullptr;
    QMenu *m_languageMenu = nullptr;
    QAction *m_estonian = nullptr;
    QAction *m_russian = nullptr;

    // Installed before any widget exists; removed with the window.
    CashierLanguage m_language;
    LiveTexts m_texts;

    // The application lost the focus to another program: the next
    // activation of this window is the cashier coming back, and the focus
    // and selection stay where they were.
    bool m_backFromOtherProgram = false;

    QPointer<Settings> m_settings;
    // The report request (Form3) and special operations (Form4) dialogs,
    // once they exist: top-level windows without an owner.
    QPointer<QWidget> m_reportDialog;
    QPointer<QWidget> m_posCommandDialog;
    QPointer<Form5> m_lastTransactionDialog;

    // Answers of the console's own question boxes (not the server's).
    class OwnAnswers final : public PromptAnswers {
    public:
        std::function<void(quint8)> onButton;
        void ButtonResponse(quint8 ButtonCode) override
        {
            if (onButton)
                onButton(ButtonCode);
        }
        void InputResponse(quint8, const QString &) override {}
    };
    OwnAnswers m_ownAnswers;

    // The window's side of the till hand-off.
    class TillSide final : public TillHost {
    public:
        explicit TillSide(Form1 &window) : m_window(window) {}
        bool readyForTillRequest() const override;
        void showTillRequest(const TillOffer &offer) override { m_window.showTillRequest(offer); }
        void withdrawTillRequest() override { m_window.withdrawTillRequest(); }
        void abortRunningTransaction() override;
        void logTillEvent(const QString &text) override;

    private:
        Form1 &m_window;
    };
    TillSide m_tillSide{*this};
    TillBridge *m_till = nullptr;
    // The till's request before the cashier or running.
    std::optional<TillOffer> m_tillOffer;
    QLabel *m_tillLabel = nullptr;
    // The status line's text when it is the console's own words (an
    // approval, a special command taken); else empty.
    ShownText m_ownStatus;
    ShownText m_statusBar;

    // The report the running (or last) report session asked for.
    ReportRequest m_reportRequest;
    // The last approved receipt of this run, for a reprint; memory only.
    ReceiptCopy m_receiptCopy;
    std::unique_ptr<DoubtCheck> m_doubtCheck;
    // The till, held for the whole run; null when another console holds it.
    std::unique_ptr<TillLock> m_tillLock;
    bool m_refused = false;
    // Told once the window is up: requests found open at start-up, the
    // approval before a crash, a journal that cannot be written.
    bool m_tellRestartDoubt = false;
    std::optional<qint64> m_tellApprovedBeforeCrash;
    QString m_tellJournalUnwritable;
    bool m_shownOnce = false;
};
