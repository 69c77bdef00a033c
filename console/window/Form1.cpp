#include "window/Form1.h"

#include "common/AppPaths.h"
#include "common/BoxStyle.h"
#include "common/Clock.h"
#include "common/TillLock.h"
#include "common/Timing.h"
#include "dialogs/Form2.h"
#include "dialogs/PromptStyle.h"
#include "dialogs/Settings.h"
#include "journal/ChargeGuard.h"
#include "journal/Form5.h"
#include "journal/JournalStartup.h"
#include "journal/JournalTexts.h"
#include "printing/CupsSpooler.h"
#include "printing/QtPlatformPrinter.h"
#include "printing/ReceiptPrinter.h"
#include "reports/Form3.h"
#include "reports/Form4.h"
#include "reports/ReportDecoder.h"
#include "reports/ReportTexts.h"
#include "reports/SessionReportHost.h"
#include "session/SessionTexts.h"
#include "session/StartupSettings.h"
#include "widgets/CardSwipeDetector.h"
#include "widgets/SelectingLineEdit.h"
#include "widgets/SwipeGuard.h"
#include "window/AmountRules.h"
#include "window/TillBridge.h"
#include "window/TransactionCheck.h"
#include "window/WindowTexts.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QWindow>

namespace {

constexpr int kTimer2Ms = 100;
constexpr qint32 kErrorStyle = BoxStyle::ErrorOk;
constexpr qint32 kSecondChargeStyle = BoxStyle::WarningYesNoDefaultNo;

} // namespace

Form1::Form1(const Environment &environment, QWidget *parent)
    : QMainWindow(parent),
      m_timing(environment.timing ? *environment.timing : Timing::system()),
      m_language(environment.languageFile.isEmpty() ? UserLanguageFile() : environment.languageFile,
                 environment.translationDirs.isEmpty() ? Translations::defaultDirs() : environment.translationDirs)
{
    // The cashier's language first: the widgets and the first boxes are
    // made in it.
    m_language.start();

    if (environment.spooler) {
        m_spooler = environment.spooler;
    } else {
        m_ownSpooler = std::make_unique<CupsSpooler>();
        m_spooler = m_ownSpooler.get();
    }
    if (environment.platformPrinter) {
        m_platformPrinter = environment.platformPrinter;
    } else {
        m_ownPlatformPrinter = std::make_unique<QtPlatformPrinter>();
        m_platformPrinter = m_ownPlatformPrinter.get();
    }
    m_receiptPrinter = std::make_unique<ReceiptPrinter>(
        *m_spooler, *m_platformPrinter,
        [this](int kind, const QString &text, int style) { OpenBox(quint8(kind), text, style); });

    // The till: one console per settings store. A second one touches
    // nothing (no journal recovery, no session) and only says so.
    TillLock::Result lock = TillLock::Result::Taken;
    QString lockError;
    m_tillLock = TillLock::acquire(AppPaths::registryDir(), &lock, &lockError);
    m_refused = lock == TillLock::Result::Busy;

    m_session = new PaymentSession(*this, *this, AppPaths::programFile(QStringLiteral("log.txt")),
                                   AppPaths::journalPath(), this);
    m_doubtCheck = std::make_unique<DoubtCheck>(*m_session, Clock::system());
    buildWidgets();
    buildMenu();
    setTabOrderChain();

    // The card field is not guarded: a swipe fills it.
    m_guard = new SwipeGuard(this, m_timing, {Text2, Text3, Text4, Text7, Text8, Text9});
    connect(m_guard, &SwipeGuard::keyPressed, this, &Form1::onPreviewKey);
    connect(m_guard, &SwipeGuard::burstOpened, this, &Form1::onBurstOpened);
    connect(m_guard, &SwipeGuard::typed, this, &Form1::onTypedBurst);
    connect(m_guard, &SwipeGuard::swiped, this, &Form1::onSwipe);

    // Timer2 runs for the window's whole life.
    Timer2 = new QTimer(this);
    Timer2->setInterval(kTimer2Ms);
    connect(Timer2, &QTimer::timeout, this, &Form1::keepDialogsInFront);
    Timer2->start();

    // Which way the window is activated decides the focus (changeEvent).
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive)
            m_backFromOtherProgram = true;
    });
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow *focused) {
        // Another window of the console took the focus first: when this
        // window is activated next, it is from that window.
        if (focused && focused != windowHandle())
            m_backFromOtherProgram = false;
    });

    // Start-up, in this order.
    boxStack().reset(this);
    m_guard->detector().reset();
    m_session->SessionState = PaymentSession::Idle;
    ReturnToIdle();
    ReadConsoleSettings(*this);
    ApplyProgramMode();
    m_session->sessionNumber = ReadSessionNumber();
    setWindowTitle(WindowTexts::titlePrefix() + fPOSID);
    clearEntryFields();
    m_session->finalStatusText.clear();
    ShowTabFrame();

    if (m_refused) {
        setEnabled(false);
        return;
    }
    if (lock == TillLock::Result::Unusable)
        m_session->LogEvent(QStringLiteral("Till lock not taken: ") + lockError);
    // A request the journal shows sent without an outcome went out before a
    // crash or a power loss: in doubt from now on.
    const JournalStartup::Findings found = JournalStartup::run(*m_session, AppPaths::programDir());
    m_tellRestartDoubt = found.restartDoubt;
    m_tellApprovedBeforeCrash = found.approvedBeforeCrash;
    startTillBridge(environment.tillPort);
}

void Form1::startTillBridge(std::optional<quint16> port)
{
    if (!port) {
        // Off, unusable, or the payment server's own port (the reader
        // says 0 for each; --check says which).
        if (fECRPort <= 0)
            return;
        port = quint16(fECRPort);
    }
    m_till = new TillBridge(m_tillSide, *m_session, fPOSID, this);
    m_till->setAutoStart(fECRAutoStart);
    QString why;
    if (!m_till->listen(*port, &why)) {
        m_session->LogEvent(QStringLiteral("Till listener not started: 127.0.0.1:%1: ").arg(*port) + why);
        delete m_till;
        m_till = nullptr;
        return;
    }
    m_session->LogEvent(QStringLiteral("Till listener: 127.0.0.1:%1").arg(m_till->port()));
}

Form1::~Form1()
{
    // A normal end: the next start finds no crash.
    if (!m_refused)
        m_session->journal().markEnded();
    m_doubtCheck.reset();
    // The session goes first: it may still call back into the window.
    delete m_session;
    m_session = nullptr;
    // Dialogs are top-level windows of their own (a disabled main window
    // must not disable them), so they go explicitly.
    boxStack().CloseAllBoxes();
    boxStack().reset(nullptr);
    delete m_settings.data();
    delete m_reportDialog.data();
    delete m_posCommandDialog.data();
    delete m_lastTransactionDialog.data();
}

// --- Public operations -----------------------------------------------------

ReportRequester::Outcome Form1::PreparePOSCommand(quint8 CommandID)
{
    return m_session->PreparePOSCommand(CommandID) ? Outcome::Started : Outcome::SessionRunning;
}

ReportRequester::Outcome Form1::PrepareReport(const QDate &ReportFrom, const QDate &ReportTo, qint16 ReportGroup,
                                              quint8 ReportOnlyApproved)
{
    if (m_guard->isBurstOpen())
        return Outcome::DroppedInBurst;
    const ReportRequest request = ReportRequest::ofDialog(ReportFrom, ReportTo, ReportGroup, ReportOnlyApproved);
    if (!request.startOn(*m_session))
        return Outcome::SessionRunning;
    m_reportRequest = request;
    return Outcome::Started;
}

void Form1::ButtonResponse(quint8 ButtonCode)
{
    m_session->ButtonResponse(ButtonCode);
}

void Form1::InputResponse(quint8 ButtonCode, const QString &Text)
{
    m_session->InputResponse(ButtonCode, Text);
}

bool Form1::GetAmount(const QString &AmountString, double &ResultAmount)
{
    return ::GetAmount(AmountString, ResultAmount);
}

void Form1::BeginSession()
{
    if (m_refused)
        return;
    m_session->BeginSession();
    if (m_till && m_tillOffer && m_session->SessionState != PaymentSession::Idle)
        m_till->cashierStarted();
}

void Form1::ReturnToIdle()
{
    m_session->ReturnToIdle();
}

// --- Tabs and validation ---------------------------------------------------

void Form1::ValidateAndStart()
{
    if (m_reportDialog && m_reportDialog->isVisible())
        m_reportDialog->hide();
    Text10->clear();

    const TabFields fields{Text2->text(), Text3->text(), Text4->text(),
                           Text7->text(), Text8->text(), Text9->text()};
    switch (CheckTransaction(selectedTab(), fields, m_guard->isBurstOpen())) {
    case TransactionCheck::BurstOpen:
        return;
    case TransactionCheck::InvalidAmount:
        Text1->clear();
        OpenBox(BoxKind::Message, WindowTexts::invalidAmount(), kErrorStyle);
        return;
    case TransactionCheck::InvalidReceiptNumber:
        OpenBox(BoxKind::Message, WindowTexts::invalidReceiptNumber(), kErrorStyle);
        return;
    case TransactionCheck::Start:
        if (ChargeGuard::doubtToAskAbout(m_session->journal(), selectedTab())) {
            askBeforeSecondCharge();
            return;
        }
        BeginSession();
        return;
    }
}

void Form1::askBeforeSecondCharge()
{
    // A till's request may end while the question is open (the till aborts
    // it): its fields are emptied then, and "Yes" must not start a payment
    // of what is left in them.
    const bool forTill = m_tillOffer.has_value();
    m_ownAnswers.onButton = [this, forTill](quint8 code) {
        m_ownAnswers.onButton = {};
        if (code != PromptStyle::AnswerYes) {
            // "No" (or the box closed): nothing is sent and the fields stay,
            // all but a swiped card, which is not kept once it is not used.
            clearCardField();
            // A till's request ends here: the till hears it was aborted.
            if (m_till && m_tillOffer)
                m_till->cashierCancelled();
            return;
        }
        // The box is still leaving the stack: the session begins once the
        // window is enabled again.
        QTimer::singleShot(0, this, [this, forTill] {
            if (m_session->SessionState != PaymentSession::Idle || (forTill && !m_tillOffer))
                return;
            if (const std::optional<JournalTransaction> doubt =
                    ChargeGuard::doubtToAskAbout(m_session->journal(), selectedTab()))
                m_session->resolveDoubt(*doubt, QStringLiteral("cashier"));
            BeginSession();
        });
    };
    auto *box = new Form2(m_timing, m_ownAnswers, this);
    const int n = boxStack().push(box);
    box->ShowBox(qint16(n), BoxKind::Buttons, JournalTexts::secondChargeQuestion(), kSecondChargeStyle);
}

void Form1::onTabChanged()
{
    const int n = selectedTab();
    if (n != currentTab) {
        currentTab = qint16(n);
        for (int field : {1, 2, 3, 4, 7, 8, 9})
            entryField(field)->clear();
        forgetTextsBeforeBurst();
    }
    ShowTabFrame();
}

void Form1::SelectTab(int tab)
{
    if (fReportMode || !TabStrip1->isEnabled() || tab < 1 || tab > 5)
        return;
    // A till's request holds its tab until it is over.
    if (m_tillOffer && tab != m_tillOffer->tab)
        tab = m_tillOffer->tab;
    TabStrip1->setCurrentIndex(tab - 1);
    QCoreApplication::processEvents();
    // A till's request: its amount is read-only, the card comes next.
    if (m_tillOffer) {
        if (tab == 2)
            Command1->setFocus();
        else
            Text1->setFocus();
        return;
    }
    switch (tab) {
    case 1:
    case 4: Text2->setFocus(); break;
    case 2: Text3->setFocus(); break;
    case 3: Text8->setFocus(); break;
    case 5: Text4->setFocus(); break;
    default: break;
    }
}

void Form1::NextTab()
{
    SelectTab(selectedTab() % 5 + 1);
}

void Form1::FocusSelectedTab()
{
    SelectTab(selectedTab());
}

void Form1::onStatusLineFocus()
{
    if (fReportMode)
        return;
    if (!TabStrip1->isEnabled())
        Command2->setFocus();
    else
        FocusSelectedTab();
}

void Form1::onPreviewKey(QKeyEvent *event)
{
    // Ctrl+Tab (Ctrl alone) moves to the next tab; there is no key for the
    // previous one. The key still goes on to the focused control.
    constexpr Qt::KeyboardModifiers kChecked =
        Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (event->key() == Qt::Key_Tab && (event->modifiers() & kChecked) == Qt::ControlModifier
        && isEnabled() && TabStrip1->isEnabled()) {
        NextTab();
    }

}

void Form1::onBurstOpened()
{
    savedAmountText = m_guard->textBeforeBurst(Text2);
    // An input method that caches the focused field's answer learns that
    // composition is off for the burst.
    QGuiApplication::inputMethod()->update(Qt::ImEnabled);
}

void Form1::forgetTextsBeforeBurst()
{
    m_guard->forget();
    savedAmountText.clear();
}

void Form1::keyPressEvent(QKeyEvent *event)
{
    // OK is the window's default button and "Loobu" its cancel button. A
    // focused button takes Enter itself, as buttons do.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (event->modifiers() & ~Qt::KeypadModifier)
            break;
        if (auto *button = qobject_cast<QPushButton *>(focusWidget());
            button && button->isVisible() && button->isEnabled()) {
            button->click();
        } else if (Command1->isVisibleTo(this) && Command1->isEnabled()) {
            Command1->click();
        }
        event->accept();
        return;
    case Qt::Key_Escape:
        if (Command2->isEnabled())
            Command2->click();
        event->accept();
        return;
    default:
        break;
    }
    QMainWindow::keyPressEvent(event);
}

void Form1::onTypedBurst()
{
    savedAmountText = Text2->text();
    m_guard->detector().clearKeyBuffer();
    QGuiApplication::inputMethod()->update(Qt::ImEnabled);
}

void Form1::onSwipe(const QString &track)
{
    // The guard has put every entry field back as it was when the burst
    // began, so no track text stays in clear and the amount is the one the
    // cashier saw.
    QGuiApplication::inputMethod()->update(Qt::ImEnabled);
    if (Frame1->isVisibleTo(this) && Frame1->isEnabled() && TabStrip1->isEnabled() && !fReportMode) {
        Text1->setText(track);
        ValidateAndStart();
    }
}

// --- Prompt boxes ----------------------------------------------------------

void Form1::OpenBox(quint8 kind, const QString &text, qint32 style)
{
    auto *box = new Form2(m_timing, *this, this);
    const int n = boxStack().push(box);
    box->ShowBox(qint16(n), kind, text, style);
}

void Form1::CloseAllBoxes()
{
    boxStack().CloseAllBoxes();
}

void Form1::setStackEnabled(bool enabled)
{
    setEnabled(enabled);
}

void Form1::keepDialogsInFront()
{
    if (isEnabled())
        return;
    QWidget *front = nullptr;
    if (m_settings && m_settings->isVisible()) {
        m_settings->raise();
        front = m_settings;
    }
    if (StackedBox *top = boxStack().topBox()) {
        top->bringToFront();
        front = dynamic_cast<QWidget *>(top);
    }
    // Focus is moved only within the console, never taken from another
    // program the cashier has switched to.
    if (front && QGuiApplication::applicationState() == Qt::ApplicationActive
        && QApplication::activeWindow() != front) {
        front->activateWindow();
    }
}

// --- Menu ------------------------------------------------------------------

void Form1::showReportDialog()
{
    if (!m_reportDialog)
        m_reportDialog = new Form3(*this, m_timing.clock());
    m_reportDialog->show();
    m_reportDialog->raise();
    m_reportDialog->activateWindow();
}

void Form1::showPosCommandDialog()
{
    if (!m_posCommandDialog)
        m_posCommandDialog = new Form4(*this);
    m_posCommandDialog->show();
    m_posCommandDialog->raise();
    m_posCommandDialog->activateWindow();
}

void Form1::showLastTransactionDialog()
{
    if (!m_lastTransactionDialog) {
        m_lastTransactionDialog = new Form5(*this);
        m_doubtCheck->setView(m_lastTransactionDialog.data());
    }
    m_lastTransactionDialog->refresh();
    m_lastTransactionDialog->show();
    m_lastTransactionDialog->raise();
    m_lastTransactionDialog->activateWindow();
}

// --- The journal's window ----------------------------------------------------

const TransactionJournal &Form1::journal() const
{
    return m_session->journal();
}

std::optional<qint32> Form1::heldReceiptNumber() const
{
    return m_receiptCopy.held() ? std::optional(m_receiptCopy.receiptNumber()) : std::nullopt;
}

void Form1::reprintReceipt()
{
    m_receiptCopy.reprint(*m_receiptPrinter, fPrinter, fRAW, [this](const QString &line) { m_session->LogEvent(line); });
}

void Form1::checkWithServer(const JournalTransaction &transaction)
{
    if (m_guard->isBurstOpen())
        return;
    if (m_session->SessionState != PaymentSession::Idle) {
        OpenBox(BoxKind::Message, ReportText::previousRunning(), ReportText::kPreviousRunningStyle);
        return;
    }
    m_doubtCheck->start(transaction);
}

CardSwipeDetector &Form1::swipeDetector()
{
    return m_guard->detector();
}

Settings *Form1::settingsDialog() const
{
    return m_settings.data();
}

void Form1::showSettingsDialog()
{
    if (!m_settings) {
        m_settings = new Settings(*this, this, [this] { return m_spooler->destinations(); },
                                  [this] { ApplyProgramMode(); });
        // The dialog takes the keyboard while the window is disabled: a card
        // swiped into it by mistake leaves nothing in its fields, and the
        // reader's Enter presses nothing.
        auto *guard = new SwipeGuard(m_settings, m_timing, m_settings->textFields());
        guard->setSwallowEnterInBurst(true);
        guard->setRestoreEveryField(true);
        connect(guard, &SwipeGuard::swiped, guard, [guard] {
            guard->forget();
            guard->detector().clearKeyBuffer();
        });
    }
    m_settings->ShowData();
    setEnabled(false);
}

// --- Window events ---------------------------------------------------------

void Form1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::LanguageChange) {
        retranslate();
        return;
    }
    if (event->type() != QEvent::ActivationChange || !isActiveWindow())
        return;
    // Coming back from another program (the till software beside the
    // console), the cashier goes on where they were: moving the focus would
    // select the amount being typed, and the next key would replace it. At
    // start-up and from the console's own boxes and dialogs the focus goes
    // to the selected tab's first field.
    if (m_backFromOtherProgram) {
        m_backFromOtherProgram = false;
        return;
    }
    FocusSelectedTab();
}

bool Form1::switchLanguage(Language language)
{
    // Not during a session: its boxes and status texts stay in one language.
    const bool idle = m_session->SessionState == PaymentSession::Idle;
    QString why;
    const bool remembered = !idle || m_language.choose(language, &why);
    // The windows are retranslated now, not at the next turn of the loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    m_estonian->setChecked(m_language.current() == Language::Estonian);
    m_russian->setChecked(m_language.current() == Language::Russian);
    // The switch holds for this run; the cashier learns that the next start
    // will not keep it.
    if (!remembered)
        OpenBox(BoxKind::Message, WindowTexts::languageNotRemembered(why), BoxStyle::WarningOk);
    return idle;
}

void Form1::retranslate()
{
    // The translators of a window being destroyed are removed after its
    // session: nothing is left to retranslate then.
    if (!m_session)
        return;
    m_texts.retranslate();
    ShowTabFrame();
    if (m_tillOffer)
        m_tillLabel->setText(WindowTexts::fromTill(m_tillOffer->tillReceipt));
    if (m_ownStatus.followsLanguage())
        writeStatusLine(m_ownStatus.text());
    m_statusBarText->setText(m_statusBar.text());
}

void Form1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // Once the window stands: the boxes are kept above it.
    QTimer::singleShot(0, this, [this] { tellStartupFindings(); });
}

void Form1::tellStartupFindings()
{
    if (m_refused) {
        // Closing the box ends this console; the other one is untouched.
        auto *box = new Form2(m_timing, m_ownAnswers, this);
        connect(box, &QObject::destroyed, this, [this] { QTimer::singleShot(0, this, [this] { close(); }); });
        const int n = boxStack().push(box);
        box->ShowBox(qint16(n), BoxKind::Message, JournalTexts::alreadyRunning(), JournalTexts::kAlreadyRunningStyle);
        return;
    }
    if (m_tellApprovedBeforeCrash) {
        OpenBox(BoxKind::Message, JournalTexts::crashAfterApproval(*m_tellApprovedBeforeCrash), JournalTexts::kCrashNoticeStyle);
        m_tellApprovedBeforeCrash.reset();
    }
    if (m_tellRestartDoubt) {
        m_tellRestartDoubt = false;
        OpenBox(BoxKind::Message, SessionText::outcomeUnknown(), SessionText::kOutcomeUnknownStyle);
    }
    if (!m_tellJournalUnwritable.isEmpty()) {
        OpenBox(BoxKind::Message, m_tellJournalUnwritable, SessionText::kJournalUnwritableStyle);
        m_tellJournalUnwritable.clear();
    }
}

void Form1::tellJournalUnwritable(const QString &text, qint32 style)
{
    if (!m_shownOnce) {
        m_tellJournalUnwritable = text;
        return;
    }
    OpenBox(BoxKind::Message, text, style);
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Never refused. Boxes go first, without answers; the socket goes with
    // the window.
    CloseAllBoxes();
    if (m_posCommandDialog)
        m_posCommandDialog->close();
    if (m_reportDialog)
        m_reportDialog->close();
    if (m_lastTransactionDialog)
        m_lastTransactionDialog->close();
    if (m_settings)
        m_settings->close();
    event->accept();
}

// --- SessionHost -----------------------------------------------------------

int Form1::selectedTab() const
{
    return TabStrip1->currentIndex() + 1;
}

TransactionRequest Form1::transactionRequest() const
{
    const TabFields fields{Text2->text(), Text3->text(), Text4->text(), Text7->text(), Text8->text(), Text9->text()};
    TransactionRequest request = RequestOfTab(selectedTab(), fields, Text1->text());
    if (m_till && m_tillOffer)
        request.tillKey = m_till->requestKey();
    return request;
}

// --- The till hand-off -------------------------------------------------------

void Form1::onCancel()
{
    if (m_till && m_tillOffer && m_session->SessionState == PaymentSession::Idle) {
        m_till->cashierCancelled();
        return;
    }
    m_session->SendAbort();
}

void Form1::showTillRequest(const TillOffer &offer)
{
    m_tillOffer = offer;
    TabStrip1->setCurrentIndex(offer.tab - 1);
    // Whatever was typed belongs to no till request.
    clearEntryFields();
    for (int i = 0; i < TabStrip1->count(); ++i)
        TabStrip1->setTabEnabled(i, i == offer.tab - 1);
    SelectingLineEdit *field = offer.tab == 2 ? Text3 : Text2;
    field->setText(offer.fieldText);
    // The till's amount is the amount: the cashier confirms it, never edits it.
    field->setReadOnly(true);
    m_tillLabel->setParent(offer.tab == 2 ? Frame2 : Frame1);
    m_tillLabel->setText(WindowTexts::fromTill(offer.tillReceipt));
    m_tillLabel->show();
    Command2->setEnabled(true);
    SettingsM->setEnabled(false);
    FocusSelectedTab();
    if (offer.autoStart) {
        // The customer uses the terminal: the request starts as if OK were
        // pressed, once the bridge has returned.
        QTimer::singleShot(0, this, [this] {
            if (m_tillOffer && m_till && !m_till->requestStarted() && isEnabled())
                ValidateAndStart();
        });
    }
}

void Form1::withdrawTillRequest()
{
    m_tillOffer.reset();
    m_tillLabel->hide();
    Text2->setReadOnly(false);
    Text3->setReadOnly(false);
    for (int i = 0; i < TabStrip1->count(); ++i)
        TabStrip1->setTabEnabled(i, true);
    // The till's amount is not the next customer's.
    clearEntryFields();
    if (m_session->SessionState == PaymentSession::Idle) {
        Command2->setEnabled(false);
        SettingsM->setEnabled(true);
        if (!fReportMode && isActiveWindow())
            FocusSelectedTab();
    }
}

bool Form1::TillSide::readyForTillRequest() const
{
    const Form1 &w = m_window;
    return !w.m_refused && !w.fReportMode && w.m_session->SessionState == PaymentSession::Idle && w.isEnabled()
        && w.TabStrip1->isEnabled() && !w.m_guard->isBurstOpen() && !w.m_tillOffer;
}

void Form1::TillSide::abortRunningTransaction()
{
    m_window.m_session->SendAbort();
}

void Form1::TillSide::logTillEvent(const QString &text)
{
    m_window.m_session->LogEvent(text);
}

void Form1::clearCardField()
{
    Text1->clear();
    // The last swipe's text is of no use once its session has ended; keep it
    // only while a burst is still being timed.
    if (!m_guard->isBurstOpen())
        m_guard->detector().clearKeyBuffer();
}

void Form1::clearEntryFields()
{
    for (int field : {1, 2, 3, 4, 7, 8, 9})
        entryField(field)->clear();
    // What the fields held before is gone with them: a swipe into the empty
    // amount field must not bring back the last customer's amount.
    forgetTextsBeforeBurst();
    m_guard->detector().clearKeyBuffer();
}

void Form1::PrintReceipt(const QByteArray &receiptFrame, qint32 stan)
{
    m_receiptCopy.hold(receiptFrame, stan);
    m_receiptPrinter->PrintReceipt(receiptFrame, stan, fPrinter, fRAW);
}

void Form1::DecodeReport(const VaroManager &message)
{
    if (m_session->CheckPending) {
        m_doubtCheck->onAnswer(message);
        return;
    }
    // Decodes the answer, saves and opens "Report.pdf", and ends the session.
    SessionReportHost host(*m_session, *this, m_reportRequest);
    ::DecodeReport(message, host);
}

void Form1::processEvents()
{
    QCoreApplication::processEvents();
}
