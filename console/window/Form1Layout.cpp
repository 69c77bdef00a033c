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
    connect(Command2, &QPushButton::clicked, this, &Form1::onCancel);

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
    // A till's request still before the cashier can still be ended.
    Command2->setEnabled(m_tillOffer.has_value());
    TabStrip1->setEnabled(true);
    for (int frame : {1, 2, 3, 5})
        SetFrameEnabled(frame, true);
    QCoreApplication::processEvents();
    SettingsM->setEnabled(!m_tillOffer);
    Report->setEnabled(true);
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

