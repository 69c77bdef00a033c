#include "window/Form1.h"

#include "common/AppPaths.h"
#include "dialogs/Form2.h"
#include "dialogs/PromptStyle.h"
#include "dialogs/Settings.h"
#include "common/Clock.h"
#include "common/TillLock.h"
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
#include "window/AmountRules.h"
#include "window/CardSwipeDetector.h"
#include "window/KeyPreview.h"
#include "window/SelectingLineEdit.h"
#include "window/StartupSettings.h"
#include "window/TerminalPicture.h"
#include "window/Timing.h"
#include "window/TransactionCheck.h"
#include "window/WindowTexts.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

namespace {

// The tab strip changes tabs by a click, SelectTab or the keyboard only: a
// wheel turned over it would empty every entry field on the way.
class TabStrip final : public QTabBar {
public:
    using QTabBar::QTabBar;

protected:
    void wheelEvent(QWheelEvent *event) override { event->ignore(); }
};

// Geometry of the client area, in pixels at 96 dpi: the tab area with its
// frames at the upper left, OK and "Loobu" at the right, the picture at the
// top right, the status line below the tabs.
constexpr int kMargin = 8;
constexpr int kMinTabAreaWidth = 440;
constexpr int kButtonColumn = 124;   // OK, "Loobu" and the picture
constexpr int kTabStripHeight = 26;
constexpr int kTabPanelHeight = 150;
constexpr int kFrameInset = 10;
constexpr int kButtonWidth = 92;
constexpr int kButtonHeight = 28;
constexpr int kStatusLineHeight = 22;
constexpr int kTimer2Ms = 100;

constexpr qint32 kErrorStyle = PromptStyle::IconError;   // kind 0, style 16: error icon, "OK"
// "Yes"/"No", warning icon, "No" the default.
constexpr qint32 kSecondChargeStyle = 4 + 48 + 256;

QLabel *label(const QString &text, QWidget *parent, int x, int y)
{
    auto *l = new QLabel(text, parent);
    l->setGeometry(x, y + 3, 100, 20);
    return l;
}

// The field is announced by its label, not by its frame's caption.
void nameByLabel(QLabel *label, QLineEdit *field)
{
    label->setBuddy(field);
    field->setAccessibleName(label->text());
}

SelectingLineEdit *field(const char *name, QWidget *parent, int x, int y, int width)
{
    auto *f = new SelectingLineEdit(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setGeometry(x, y, width, 24);
    return f;
}

QGroupBox *frame(const char *name, const QString &caption, QWidget *parent)
{
    auto *g = new QGroupBox(caption, parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setGeometry(kFrameInset, kFrameInset, parent->width() - 2 * kFrameInset,
                   kTabPanelHeight - 2 * kFrameInset);
    return g;
}

} // namespace

Form1::Form1(const Environment &environment, QWidget *parent)
    : QMainWindow(parent),
      m_timing(environment.timing ? *environment.timing : Timing::system())
{
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
    m_swipe = new CardSwipeDetector(m_timing, this);
    connect(m_swipe, &CardSwipeDetector::burstOpened, this, &Form1::onBurstOpened);
    connect(m_swipe, &CardSwipeDetector::burstTimerFired, this, &Form1::EndOfBurst);

    buildWidgets();
    buildMenu();
    setTabOrderChain();

    m_keyPreview = new KeyPreview(this);
    connect(m_keyPreview, &KeyPreview::keyPressed, this, &Form1::onPreviewKey);

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
    m_swipe->reset();
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
    if (qApp)
        qApp->removeEventFilter(m_keyPreview);
}

void Form1::buildWidgets()
{
    setObjectName(QStringLiteral("Form1"));
    auto *central = new QWidget(this);
    setCentralWidget(central);

    TabStrip1 = new TabStrip(central);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    for (int tab = 1; tab <= 5; ++tab)
        TabStrip1->addTab(WindowTexts::tabCaption(tab));
    TabStrip1->setExpanding(false);
    TabStrip1->setUsesScrollButtons(false);
    TabStrip1->setDrawBase(false);
    // The tab area is as wide as the five captions need in the font at hand.
    const int tabAreaWidth = qMax(kMinTabAreaWidth, TabStrip1->sizeHint().width() + 2);
    const int clientWidth = kMargin + tabAreaWidth + kButtonColumn;
    TabStrip1->setGeometry(kMargin, kMargin, tabAreaWidth, kTabStripHeight);
    connect(TabStrip1, &QTabBar::currentChanged, this, &Form1::onTabChanged);

    // The tab area: the four frames lie on top of each other in it.
    auto *tabPanel = new QFrame(central);
    tabPanel->setFrameShape(QFrame::StyledPanel);
    m_tabArea = tabPanel;
    m_tabArea->setObjectName(QStringLiteral("TabArea"));
    m_tabArea->setGeometry(kMargin, kMargin + kTabStripHeight - 1, tabAreaWidth, kTabPanelHeight);

    constexpr int labelX = 14;
    constexpr int fieldX = 120;
    constexpr int fieldW = 200;
    constexpr int row1 = 30;
    constexpr int row2 = 66;

    Frame1 = frame("Frame1", WindowTexts::frame1CardPayment(), m_tabArea);
    QLabel *amount1 = label(WindowTexts::amountLabel(), Frame1, labelX, row1);
    Text2 = field("Text2", Frame1, fieldX, row1, fieldW);
    nameByLabel(amount1, Text2);
    QLabel *card = label(WindowTexts::cardLabel(), Frame1, labelX, row2);
    Text1 = field("Text1", Frame1, fieldX, row2, fieldW);
    nameByLabel(card, Text1);
    Text1->setEchoMode(QLineEdit::Password);
    // One "*" per character, whatever the style's own password character.
    Text1->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));

    Frame2 = frame("Frame2", WindowTexts::frame2Caption(), m_tabArea);
    QLabel *receipt2 = label(WindowTexts::receiptLabel(), Frame2, labelX, row1);
    Text3 = field("Text3", Frame2, fieldX, row1, fieldW);
    nameByLabel(receipt2, Text3);

    Frame3 = frame("Frame3", WindowTexts::frame3Caption(), m_tabArea);
    QLabel *receipt3 = label(WindowTexts::receiptLabel(), Frame3, labelX, row1);
    Text8 = field("Text8", Frame3, fieldX, row1, fieldW);
    nameByLabel(receipt3, Text8);
    QLabel *amount3 = label(WindowTexts::amountLabel(), Frame3, labelX, row2);
    Text9 = field("Text9", Frame3, fieldX, row2, fieldW);
    nameByLabel(amount3, Text9);

    Frame5 = frame("Frame5", WindowTexts::frame5Caption(), m_tabArea);
    QLabel *receipt5 = label(WindowTexts::receiptLabel(), Frame5, labelX, row1);
    Text4 = field("Text4", Frame5, fieldX, row1, fieldW);
    Text4->setMaxLength(6);
    nameByLabel(receipt5, Text4);
    QLabel *amount5 = label(WindowTexts::amountLabel(), Frame5, labelX, row2);
    Text7 = field("Text7", Frame5, fieldX, row2, fieldW);
    nameByLabel(amount5, Text7);

    const int fieldNumbers[] = {1, 2, 3, 4, 7, 8, 9};
    for (int n : fieldNumbers) {
        SelectingLineEdit *f = entryField(n);
        connect(f, &QLineEdit::textChanged, this, [this, n] { lastEditedField = quint8(n); });
        f->setBurstOpen([this] { return m_swipe->isBurstOpen(); });
    }

    Label5 = new QLabel(WindowTexts::reportModeNotice(), central);
    Label5->setObjectName(QStringLiteral("Label5"));
    QFont noticeFont = Label5->font();
    noticeFont.setBold(true);
    noticeFont.setPointSizeF(8.25);
    Label5->setFont(noticeFont);
    Label5->setGeometry(kMargin + 16, kMargin + 16, tabAreaWidth - 32, 24);

    Image1 = new QLabel(central);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(TerminalPicture(devicePixelRatioF()));
    Image1->setAccessibleName(WindowTexts::pictureName());
    const int buttonX = clientWidth - kMargin - kButtonWidth - 4;
    Image1->setGeometry(buttonX + (kButtonWidth - 46) / 2, kMargin, 46, 52);

    Command1 = new QPushButton(WindowTexts::okCaption(), central);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(buttonX, 84, kButtonWidth, kButtonHeight);
    connect(Command1, &QPushButton::clicked, this, &Form1::ValidateAndStart);

    Command2 = new QPushButton(WindowTexts::cancelCaption(), central);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(buttonX, 84 + kButtonHeight + 8, kButtonWidth, kButtonHeight);
    connect(Command2, &QPushButton::clicked, this, [this] { m_session->SendAbort(); });

    // The status line: one line the width of the window.
    Text10 = new SelectingLineEdit(central);
    Text10->setObjectName(QStringLiteral("Text10"));
    Text10->setReadOnly(true);
    Text10->setFocusPolicy(Qt::ClickFocus);
    Text10->setFrame(false);
    Text10->setAccessibleName(WindowTexts::statusLineName());
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(9);
    Text10->setFont(fixed);
    QPalette statusPalette = Text10->palette();
    const QColor highlight = statusPalette.color(QPalette::Active, QPalette::Highlight);
    const QColor tooltipBase = statusPalette.color(QPalette::Active, QPalette::ToolTipBase);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        statusPalette.setColor(group, QPalette::Base, highlight);
        statusPalette.setColor(group, QPalette::Text, tooltipBase);
    }
    Text10->setPalette(statusPalette);
    const int statusY = kMargin + kTabStripHeight + kTabPanelHeight + 6;
    Text10->setGeometry(0, statusY, clientWidth, kStatusLineHeight);
    connect(Text10, &SelectingLineEdit::focusReceived, this, &Form1::onStatusLineFocus);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    m_statusBarText = new QLabel(StatusBar1);
    m_statusBarText->setObjectName(QStringLiteral("StatusBar1Text"));
    StatusBar1->addWidget(m_statusBarText, 1);
    setStatusBar(StatusBar1);

    central->setFixedSize(clientWidth, statusY + kStatusLineHeight + 4);
    // The whole window (menu, client area, status bar) keeps its size.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // A fixed single border and no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
}

void Form1::buildMenu()
{
    QMenu *menu = menuBar()->addMenu(WindowTexts::menuCaption());
    menu->setObjectName(QStringLiteral("Menu"));
    Report = menu->addAction(WindowTexts::reportItem(), this, &Form1::showReportDialog);
    Report->setObjectName(QStringLiteral("Report"));
    Report->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    PosCommand = menu->addAction(WindowTexts::posCommandItem(), this, &Form1::showPosCommandDialog);
    PosCommand->setObjectName(QStringLiteral("PosCommand"));
    PosCommand->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    LastTransaction = menu->addAction(JournalTexts::menuItem(), this, &Form1::showLastTransactionDialog);
    LastTransaction->setObjectName(QStringLiteral("LastTransaction"));
    LastTransaction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    SettingsM = menu->addAction(WindowTexts::settingsItem(), this, &Form1::showSettingsDialog);
    SettingsM->setObjectName(QStringLiteral("SettingsM"));
    SettingsM->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Quit = menu->addAction(WindowTexts::quitItem(), this, &QWidget::close);
    Quit->setObjectName(QStringLiteral("Quit"));
    Quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

void Form1::setTabOrderChain()
{
    QWidget *chain[] = {TabStrip1, Text2, Text1, Text3, Text8, Text9, Text4, Text7, Command1, Command2};
    for (size_t i = 1; i < std::size(chain); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

SelectingLineEdit *Form1::entryField(int fieldNumber) const
{
    switch (fieldNumber) {
    case 1: return Text1;
    case 2: return Text2;
    case 3: return Text3;
    case 4: return Text4;
    case 7: return Text7;
    case 8: return Text8;
    case 9: return Text9;
    default: return nullptr;
    }
}

// --- Public operations -----------------------------------------------------

void Form1::ApplyProgramMode()
{
    Label5->setVisible(fReportMode);
    TabStrip1->setVisible(!fReportMode);
    m_tabArea->setVisible(!fReportMode);
    Command1->setVisible(!fReportMode);
    PosCommand->setEnabled(!fReportMode);
    ShowTabFrame();
}

ReportRequester::Outcome Form1::PreparePOSCommand(quint8 CommandID)
{
    return m_session->PreparePOSCommand(CommandID) ? Outcome::Started : Outcome::SessionRunning;
}

ReportRequester::Outcome Form1::PrepareReport(const QDate &ReportFrom, const QDate &ReportTo, qint16 ReportGroup,
                                              quint8 ReportOnlyApproved)
{
    if (m_swipe->isBurstOpen())
        return Outcome::DroppedInBurst;
    return m_session->PrepareReport(ReportFrom, ReportTo, ReportGroup, ReportOnlyApproved) ? Outcome::Started
                                                                                          : Outcome::SessionRunning;
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
}

void Form1::ReturnToIdle()
{
    m_session->ReturnToIdle();
}

void Form1::ShowTabFrame()
{
    if (fReportMode) {
        Frame1->hide();
        Frame2->hide();
        Frame3->hide();
        Frame5->hide();
        return;
    }
    const int tab = selectedTab();
    if (tab == 1) {
        Frame1->setTitle(WindowTexts::frame1CardPayment());
        Frame1->show();
    } else if (tab == 4) {
        Frame1->setTitle(WindowTexts::frame1Booking());
        Frame1->show();
    } else {
        Frame1->hide();
    }
    Frame2->setVisible(tab == 2);
    Frame3->setVisible(tab == 3);
    Frame5->setVisible(tab == 5);
}

void Form1::SetFrameEnabled(int frame, bool enabled)
{
    // A frame's labels and fields are its children and follow it.
    switch (frame) {
    case 1: Frame1->setEnabled(enabled); break;
    case 2: Frame2->setEnabled(enabled); break;
    case 3: Frame3->setEnabled(enabled); break;
    case 5: Frame5->setEnabled(enabled); break;
    default: break;
    }
}

// --- Tabs and validation ---------------------------------------------------

void Form1::ValidateAndStart()
{
    if (m_reportDialog && m_reportDialog->isVisible())
        m_reportDialog->hide();
    Text10->clear();

    const TabFields fields{Text2->text(), Text3->text(), Text4->text(),
                           Text7->text(), Text8->text(), Text9->text()};
    switch (CheckTransaction(selectedTab(), fields, m_swipe->isBurstOpen())) {
    case TransactionCheck::BurstOpen:
        return;
    case TransactionCheck::InvalidAmount:
        Text1->clear();
        OpenBox(0, WindowTexts::invalidAmount(), kErrorStyle);
        return;
    case TransactionCheck::InvalidReceiptNumber:
        OpenBox(0, WindowTexts::invalidReceiptNumber(), kErrorStyle);
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
    m_ownAnswers.onButton = [this](quint8 code) {
        m_ownAnswers.onButton = {};
        if (code != PromptStyle::AnswerYes) {
            // "No" (or the box closed): nothing is sent and the fields stay,
            // all but a swiped card, which is not kept once it is not used.
            clearCardField();
            return;
        }
        // The box is still leaving the stack: the session begins once the
        // window is enabled again.
        QTimer::singleShot(0, this, [this] {
            if (m_session->SessionState != PaymentSession::Idle)
                return;
            if (const std::optional<JournalTransaction> doubt =
                    ChargeGuard::doubtToAskAbout(m_session->journal(), selectedTab()))
                m_session->resolveDoubt(*doubt, QStringLiteral("cashier"));
            BeginSession();
        });
    };
    auto *box = new Form2(m_timing, m_ownAnswers, this);
    const int n = boxStack().push(box);
    box->ShowBox(qint16(n), 1, JournalTexts::secondChargeQuestion(), kSecondChargeStyle);
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
    TabStrip1->setCurrentIndex(tab - 1);
    QCoreApplication::processEvents();
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

    const QString typed = KeyPreview::burstCharacters(event, m_swipe->isBurstOpen());
    if (!typed.isEmpty())
        m_swipe->keyPress(typed);
}

void Form1::onBurstOpened()
{
    // The key that opened the burst has not reached its field yet.
    for (int field : {2, 3, 4, 7, 8, 9})
        m_textBeforeBurst[field] = entryField(field)->text();
    savedAmountText = m_textBeforeBurst[2];
    // An input method that caches the focused field's answer learns that
    // composition is off for the burst.
    QGuiApplication::inputMethod()->update(Qt::ImEnabled);
}

void Form1::forgetTextsBeforeBurst()
{
    for (QString &text : m_textBeforeBurst)
        text.clear();
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

void Form1::EndOfBurst()
{
    const bool swipe = m_swipe->closeBurst();
    if (!swipe) {
        savedAmountText = Text2->text();
        m_swipe->clearKeyBuffer();
        QGuiApplication::inputMethod()->update(Qt::ImEnabled);
        return;
    }

    QGuiApplication::inputMethod()->update(Qt::ImEnabled);
    // The burst also landed in the focused field (whole, cut at a maximum
    // length, or over a selection): every entry field gets back the text it
    // had when the burst began, so no track text stays in clear and the
    // amount is the one the cashier saw.
    const QString &burst = m_swipe->keyBuffer();
    for (int field : {2, 3, 4, 7, 8, 9}) {
        SelectingLineEdit *f = entryField(field);
        if (f->text() != m_textBeforeBurst[field])
            f->setText(m_textBeforeBurst[field]);
    }

    if (Frame1->isVisibleTo(this) && Frame1->isEnabled() && TabStrip1->isEnabled() && !fReportMode) {
        Text1->setText(burst);
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
    if (m_swipe->isBurstOpen())
        return;
    if (m_session->SessionState != PaymentSession::Idle) {
        OpenBox(0, ReportText::kPreviousRunning, ReportText::kPreviousRunningStyle);
        return;
    }
    m_doubtCheck->start(transaction);
}

Settings *Form1::settingsDialog() const
{
    return m_settings.data();
}

void Form1::showSettingsDialog()
{
    if (!m_settings) {
        m_settings = new Settings(*this, this, [this] { return m_spooler->destinations(); },
                                  [this] { ApplyProgramMode(); }, &m_timing);
    }
    m_settings->ShowData();
    setEnabled(false);
}

// --- Window events ---------------------------------------------------------

void Form1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
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
        box->ShowBox(qint16(n), 0, JournalTexts::alreadyRunning(), JournalTexts::kAlreadyRunningStyle);
        return;
    }
    if (m_tellApprovedBeforeCrash) {
        OpenBox(0, JournalTexts::crashAfterApproval(*m_tellApprovedBeforeCrash), JournalTexts::kCrashNoticeStyle);
        m_tellApprovedBeforeCrash.reset();
    }
    if (m_tellRestartDoubt) {
        m_tellRestartDoubt = false;
        OpenBox(0, PaymentSession::kOutcomeUnknownText, PaymentSession::kOutcomeUnknownStyle);
    }
    if (!m_tellJournalUnwritable.isEmpty()) {
        OpenBox(0, m_tellJournalUnwritable, PaymentSession::kJournalUnwritableStyle);
        m_tellJournalUnwritable.clear();
    }
}

void Form1::tellJournalUnwritable(const QString &text, qint32 style)
{
    if (!m_shownOnce) {
        m_tellJournalUnwritable = text;
        return;
    }
    OpenBox(0, text, style);
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

void Form1::showRunningLayout()
{
    Command1->setEnabled(false);
    Text10->clear();
    TabStrip1->setEnabled(false);
    Command2->setEnabled(true);
    Report->setEnabled(false);
    for (int frame : {1, 2, 3, 5})
        SetFrameEnabled(frame, false);
    SettingsM->setEnabled(false);
}

void Form1::showIdleLayout()
{
    Command1->setEnabled(true);
    Command2->setEnabled(false);
    TabStrip1->setEnabled(true);
    for (int frame : {1, 2, 3, 5})
        SetFrameEnabled(frame, true);
    QCoreApplication::processEvents();
    SettingsM->setEnabled(true);
    Report->setEnabled(true);
    // A check whose session ended without the server's answer fails there.
    const bool checking = m_doubtCheck->running();
    m_doubtCheck->onSessionEnded();
    if (!checking && m_lastTransactionDialog && m_lastTransactionDialog->isVisible())
        m_lastTransactionDialog->refresh();
    // During the session the focus sat on "Loobu", which is disabled again:
    // the cashier's next keys belong in the selected tab's first field, as
    // when the status line passes the focus on.
    if (!fReportMode && isActiveWindow())
        FocusSelectedTab();
}

void Form1::setStatusLine(const QString &text)
{
    Text10->setText(text);
    Text10->setCursorPosition(0);
    // The status line never has the focus: a screen reader learns of the
    // server's text through its description.
    Text10->setAccessibleDescription(text);
    QAccessibleEvent changed(Text10, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
}

void Form1::showFinalStatus(const QString &text)
{
    Text10->setEnabled(true);
    setStatusLine(text);
}

void Form1::setStatusBarText(const QString &text)
{
    m_statusBarText->setText(text);
}

int Form1::selectedTab() const
{
    return TabStrip1->currentIndex() + 1;
}

QString Form1::entryFieldText(int fieldNumber) const
{
    const SelectingLineEdit *f = entryField(fieldNumber);
    return f ? f->text() : QString();
}

void Form1::clearCardField()
{
    Text1->clear();
    // The last swipe's text is of no use once its session has ended; keep it
    // only while a burst is still being timed.
    if (!m_swipe->isBurstOpen())
        m_swipe->clearKeyBuffer();
}

void Form1::clearEntryFields()
{
    for (int field : {1, 2, 3, 4, 7, 8, 9})
        entryField(field)->clear();
    // What the fields held before is gone with them: a swipe into the empty
    // amount field must not bring back the last customer's amount.
    forgetTextsBeforeBurst();
    m_swipe->clearKeyBuffer();
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
    SessionReportHost host(*m_session, *this);
    ::DecodeReport(message, host);
}

void Form1::processEvents()
{
    QCoreApplication::processEvents();
}
