// The main window's widgets: building them, the menu and the tab order, and
// the layouts the window shows (idle, running a session, report mode, the
// selected tab's frame, the status line). What the window does lives in
// Form1.cpp.
#include "window/Form1.h"

#include "journal/JournalTexts.h"
#include "widgets/SelectingLineEdit.h"
#include "window/TerminalPicture.h"
#include "widgets/SwipeGuard.h"
#include "window/WindowTexts.h"

#include <QAccessible>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QWheelEvent>

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


QLabel *label(QWidget *parent, int x, int y)
{
    auto *l = new QLabel(parent);
    l->setGeometry(x, y + 3, 100, 20);
    return l;
}

SelectingLineEdit *field(const char *name, QWidget *parent, int x, int y, int width)
{
    auto *f = new SelectingLineEdit(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setGeometry(x, y, width, 24);
    return f;
}

// The strip's tabs take the width their captions need, all of them shown.
void styleStrip(QTabBar &strip)
{
    strip.setExpanding(false);
    strip.setUsesScrollButtons(false);
    strip.setDrawBase(false);
}

// What the five Estonian captions need in the strip's font and style.
int sourceCaptionsWidth(const QTabBar &strip)
{
    QTabBar probe;
    probe.setFont(strip.font());
    styleStrip(probe);
    for (int tab = 1; tab <= 5; ++tab)
        probe.addTab(WindowTexts::sourceTabCaption(tab));
    return probe.sizeHint().width();
}

QGroupBox *frame(const char *name, QWidget *parent)
{
    auto *g = new QGroupBox(parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setGeometry(kFrameInset, kFrameInset, parent->width() - 2 * kFrameInset,
                   kTabPanelHeight - 2 * kFrameInset);
    return g;
}

} // namespace

void Form1::buildWidgets()
{
    setObjectName(QStringLiteral("Form1"));
    auto *central = new QWidget(this);
    setCentralWidget(central);

    TabStrip1 = new TabStrip(central);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    for (int tab = 1; tab <= 5; ++tab)
        TabStrip1->addTab(QString());
    m_texts.add([this] {
        for (int tab = 1; tab <= 5; ++tab)
            TabStrip1->setTabText(tab - 1, WindowTexts::tabCaption(tab));
    });
    styleStrip(*TabStrip1);
    // The tab area is as wide as the five captions need in the font at hand,
    // in the language shown or in Estonian, whichever is wider: the window
    // keeps its size when the cashier switches languages, and the Russian
    // captions are the shorter ones.
    const int captionsWidth = qMax(TabStrip1->sizeHint().width(), sourceCaptionsWidth(*TabStrip1));
    const int tabAreaWidth = qMax(kMinTabAreaWidth, captionsWidth + 2);
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

    // Each field is announced by its label, not by its frame's caption.
    const auto labelled = [this](QLabel *label, QLineEdit *field, QString (*text)()) {
        label->setBuddy(field);
        m_texts.add([label, field, text] {
            label->setText(text());
            field->setAccessibleName(label->text());
        });
    };

    Frame1 = frame("Frame1", m_tabArea);
    QLabel *amount1 = label(Frame1, labelX, row1);
    Text2 = field("Text2", Frame1, fieldX, row1, fieldW);
    labelled(amount1, Text2, WindowTexts::amountLabel);
    QLabel *card = label(Frame1, labelX, row2);
    Text1 = field("Text1", Frame1, fieldX, row2, fieldW);
    labelled(card, Text1, WindowTexts::cardLabel);
    Text1->setEchoMode(QLineEdit::Password);
    // One "*" per character, whatever the style's own password character.
    Text1->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));

    Frame2 = frame("Frame2", m_tabArea);
    QLabel *receipt2 = label(Frame2, labelX, row1);
    Text3 = field("Text3", Frame2, fieldX, row1, fieldW);
    labelled(receipt2, Text3, WindowTexts::receiptLabel);

    Frame3 = frame("Frame3", m_tabArea);
    QLabel *receipt3 = label(Frame3, labelX, row1);
    Text8 = field("Text8", Frame3, fieldX, row1, fieldW);
    labelled(receipt3, Text8, WindowTexts::receiptLabel);
    QLabel *amount3 = label(Frame3, labelX, row2);
    Text9 = field("Text9", Frame3, fieldX, row2, fieldW);
    labelled(amount3, Text9, WindowTexts::amountLabel);

    Frame5 = frame("Frame5", m_tabArea);
    QLabel *receipt5 = label(Frame5, labelX, row1);
    Text4 = field("Text4", Frame5, fieldX, row1, fieldW);
    Text4->setMaxLength(6);
    labelled(receipt5, Text4, WindowTexts::receiptLabel);
    QLabel *amount5 = label(Frame5, labelX, row2);
    Text7 = field("Text7", Frame5, fieldX, row2, fieldW);
    labelled(amount5, Text7, WindowTexts::amountLabel);
    m_texts.add([this] {
        Frame2->setTitle(WindowTexts::frame2Caption());
        Frame3->setTitle(WindowTexts::frame3Caption());
        Frame5->setTitle(WindowTexts::frame5Caption());
    });

    // Above the field a till's request filled: "Kassast: tšekk 4711".
    m_tillLabel = new QLabel(Frame1);
    m_tillLabel->setObjectName(QStringLiteral("TillLabel"));
    QFont tillFont = m_tillLabel->font();
    tillFont.setBold(true);
    m_tillLabel->setFont(tillFont);
    m_tillLabel->setGeometry(fieldX, 11, fieldW, 18);
    m_tillLabel->hide();

    const int fieldNumbers[] = {1, 2, 3, 4, 7, 8, 9};
    for (int n : fieldNumbers) {
        SelectingLineEdit *f = entryField(n);
        connect(f, &QLineEdit::textChanged, this, [this, n] { lastEditedField = quint8(n); });
        f->setBurstOpen([this] { return m_guard->isBurstOpen(); });
    }

    Label5 = new QLabel(central);
    Label5->setObjectName(QStringLiteral("Label5"));
    QFont noticeFont = Label5->font();
    noticeFont.setBold(true);
    noticeFont.setPointSizeF(8.25);
    Label5->setFont(noticeFont);
    Label5->setGeometry(kMargin + 16, kMargin + 16, tabAreaWidth - 32, 24);

    Image1 = new QLabel(central);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(TerminalPicture(devicePixelRatioF()));
    const int buttonX = clientWidth - kMargin - kButtonWidth - 4;
    Image1->setGeometry(buttonX + (kButtonWidth - 46) / 2, kMargin, 46, 52);

    Command1 = new QPushButton(central);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(buttonX, 84, kButtonWidth, kButtonHeight);
    connect(Command1, &QPushButton::clicked, this, &Form1::ValidateAndStart);

    Command2 = new QPushButton(central);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(buttonX, 84 + kButtonHeight + 8, kButtonWidth, kButtonHeight);
    connect(Command2, &QPushButton::clicked, this, &Form1::onCancel);

    // The status line: one line the width of the window.
    Text10 = new SelectingLineEdit(central);
    Text10->setObjectName(QStringLiteral("Text10"));
    Text10->setReadOnly(true);
    Text10->setFocusPolicy(Qt::ClickFocus);
    Text10->setFrame(false);
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

    m_texts.add([this] {
        Label5->setText(WindowTexts::reportModeNotice());
        Image1->setAccessibleName(WindowTexts::pictureName());
        Command1->setText(WindowTexts::okCaption());
        Command2->setText(WindowTexts::cancelCaption());
        Text10->setAccessibleName(WindowTexts::statusLineName());
    });

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
    QMenu *menu = menuBar()->addMenu(QString());
    menu->setObjectName(QStringLiteral("Menu"));
    Report = menu->addAction(QString(), this, &Form1::showReportDialog);
    Report->setObjectName(QStringLiteral("Report"));
    Report->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    PosCommand = menu->addAction(QString(), this, &Form1::showPosCommandDialog);
    PosCommand->setObjectName(QStringLiteral("PosCommand"));
    PosCommand->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    LastTransaction = menu->addAction(QString(), this, &Form1::showLastTransactionDialog);
    LastTransaction->setObjectName(QStringLiteral("LastTransaction"));
    LastTransaction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    SettingsM = menu->addAction(QString(), this, &Form1::showSettingsDialog);
    SettingsM->setObjectName(QStringLiteral("SettingsM"));
    SettingsM->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Quit = menu->addAction(QString(), this, &QWidget::close);
    Quit->setObjectName(QStringLiteral("Quit"));
    Quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    // Each language by its own name; the one shown is checked.
    m_languageMenu = menuBar()->addMenu(QString());
    m_languageMenu->setObjectName(QStringLiteral("LanguageMenu"));
    auto *languages = new QActionGroup(m_languageMenu);
    const auto language = [&](const QString &name, const char *objectName, Language value) {
        QAction *a = m_languageMenu->addAction(name, this, [this, value] { switchLanguage(value); });
        a->setObjectName(QLatin1StringView(objectName));
        a->setCheckable(true);
        a->setChecked(m_language.current() == value);
        languages->addAction(a);
        return a;
    };
    m_estonian = language(WindowTexts::estonianItem(), "Estonian", Language::Estonian);
    m_russian = language(WindowTexts::russianItem(), "Russian", Language::Russian);

    m_texts.add([this, menu] {
        menu->setTitle(WindowTexts::menuCaption());
        Report->setText(WindowTexts::reportItem());
        PosCommand->setText(WindowTexts::posCommandItem());
        LastTransaction->setText(JournalTexts::menuItem());
        SettingsM->setText(WindowTexts::settingsItem());
        Quit->setText(WindowTexts::quitItem());
        m_languageMenu->setTitle(WindowTexts::languageMenuCaption());
    });
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

void Form1::ApplyProgramMode()
{
    Label5->setVisible(fReportMode);
    TabStrip1->setVisible(!fReportMode);
    m_tabArea->setVisible(!fReportMode);
    Command1->setVisible(!fReportMode);
    PosCommand->setEnabled(!fReportMode);
    ShowTabFrame();
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
    // Frame 1 is the card payment's and the booking's: its caption says which.
    Frame1->setTitle(tab == 4 ? WindowTexts::frame1Booking() : WindowTexts::frame1CardPayment());
    Frame1->setVisible(tab == 1 || tab == 4);
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
    m_languageMenu->setEnabled(false);
}

void Form1::showIdleLayout()
{
    Command1->setEnabled(true);
    // A till's request still before the cashier can still be ended.
    Command2->setEnabled(m_tillOffer.has_value());
    TabStrip1->setEnabled(true);
    for (int frame : {1, 2, 3, 5})
        SetFrameEnabled(frame, true);
    QCoreApplication::processEvents();
    SettingsM->setEnabled(!m_tillOffer);
    Report->setEnabled(true);
    m_languageMenu->setEnabled(true);
    // A check whose session ended without the server's answer fails there;
    // after any other session "Viimane tehing" shows the journal anew.
    m_doubtCheck->onSessionEnded();
    // During the session the focus sat on "Loobu", which is disabled again:
    // the cashier's next keys belong in the selected tab's first field, as
    // when the status line passes the focus on.
    if (!fReportMode && isActiveWindow())
        FocusSelectedTab();
}

void Form1::setStatusLine(const QString &text)
{
    m_ownStatus.clear();
    writeStatusLine(text);
}

void Form1::writeStatusLine(const QString &text)
{
    Text10->setText(text);
    Text10->setCursorPosition(0);
    // The status line never has the focus: a screen reader learns of the
    // server's text through its description.
    Text10->setAccessibleDescription(text);
    QAccessibleEvent changed(Text10, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
}

void Form1::showFinalStatus(const ShownText &text)
{
    Text10->setEnabled(true);
    setStatusLine(text.text());
    // The console's own words follow a later switch of language.
    if (text.followsLanguage())
        m_ownStatus = text;
}

void Form1::setStatusBarText(const ShownText &text)
{
    m_statusBar = text;
    m_statusBarText->setText(text.text());
}

