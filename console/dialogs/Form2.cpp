#include "dialogs/Form2.h"

#include "common/Helpers.h"
#include "dialogs/BoxLayout.h"
#include "dialogs/BoxSwipeCapture.h"
#include "dialogs/PromptAnswers.h"
#include "dialogs/PromptStyle.h"
#include "widgets/KeyPreview.h"
#include "widgets/TrackLineEdit.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QWindow>

using namespace BoxLayout;

namespace {

// Design positions in twips inside the client area.
constexpr int kEdge = 120;
constexpr int kFrameTop = 60;
constexpr int kMessageFrameLeft = 720;    // right of the 32-pixel icon
constexpr int kLabelTop = 240;
constexpr int kLabelInset = 120;
constexpr int kButtonLeft = kClientWidth - kButtonWidth - kEdge;
constexpr int kButtonGap = 45;
constexpr int kInputFieldHeight = 315;

QStyle::StandardPixmap standardIcon(PromptStyle::Icon icon)
{
    switch (icon) {
    case PromptStyle::IconError: return QStyle::SP_MessageBoxCritical;
    case PromptStyle::IconQuestion: return QStyle::SP_MessageBoxQuestion;
    case PromptStyle::IconWarning: return QStyle::SP_MessageBoxWarning;
    case PromptStyle::IconInformation: return QStyle::SP_MessageBoxInformation;
    case PromptStyle::NoIcon: break;
    }
    return QStyle::SP_CustomBase;
}

} // namespace

Form2::Form2(Timing &timing, PromptAnswers &answers, QWidget *mainWindow)
    : QDialog(nullptr,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                  | Qt::MSWindowsFixedSizeDialogHint),
      m_answers(answers),
      m_mainWindow(mainWindow),
      m_capture(new BoxSwipeCapture(timing, this)),
      m_keyPreview(new KeyPreview(this))
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Tellar"));
    setModal(false);

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("Image1"));

    m_messageFrame = new QWidget(this);
    m_messageFrame->setObjectName(QStringLiteral("Frame1"));
    m_messageLabel = new QLabel(m_messageFrame);
    m_messageLabel->setObjectName(QStringLiteral("Label1"));
    // Server text, shown literally: markup in it ("<b>", "<img src=…>")
    // is neither rendered nor followed.
    m_messageLabel->setTextFormat(Qt::PlainText);
    m_messageLabel->setWordWrap(true);
    m_messageLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_inputFrame = new QWidget(this);
    m_inputFrame->setObjectName(QStringLiteral("Frame2"));
    m_promptLabel = new QLabel(m_inputFrame);
    m_promptLabel->setObjectName(QStringLiteral("Label2"));
    m_promptLabel->setTextFormat(Qt::PlainText);
    m_promptLabel->setWordWrap(true);
    m_promptLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Text1 = new TrackLineEdit(m_inputFrame);
    Text1->setBurstOpen([this] { return m_capture->isTiming(); });
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("Cancel"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command3 = new QPushButton(QStringLiteral("Ignore"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    connect(Command1, &QPushButton::clicked, this, [this] { pressButton(1); });
    connect(Command2, &QPushButton::clicked, this, [this] { pressButton(2); });
    connect(Command3, &QPushButton::clicked, this, [this] { pressButton(3); });

    connect(m_keyPreview, &KeyPreview::keyPressed, this, &Form2::onPreviewKey);

    // Above the main window, as its transient, without being its child.
    if (m_mainWindow) {
        winId();
        if (QWindow *mainHandle = m_mainWindow->windowHandle())
            windowHandle()->setTransientParent(mainHandle);
    }
}

Form2::~Form2()
{
    // A box deleted without closing (the program ending) still leaves the
    // stack, so no slot points at a deleted window.
    if (!m_closed) {
        m_closed = true;
        m_capture->stop();
        if (boxStack().box(m_index) == this)
            boxStack().CloseBox(m_index);
    }
}

qreal Form2::dpi() const
{
    return logicalDpiY() > 0 ? qreal(logicalDpiY()) : 96.0;
}

const QString &Form2::swipeText() const
{
    return m_capture->swipeText();
}

QPushButton *Form2::button(int k) const
{
    switch (k) {
    case 1: return Command1;
    case 2: return Command2;
    case 3: return Command3;
    default: return nullptr;
    }
}

void Form2::ShowBox(qint16 BoxIndex, quint8 BoxType, const QString &text, qint32 Buttons)
{
    m_capture->reset();
    Text1->clear();
    m_index = BoxIndex;
    if (m_mainWindow) {
        // Centred over the main window, a little lower for each box above
        // the first so the stack shows.
        const QPoint centre = m_mainWindow->frameGeometry().center();
        const int offset = 16 * (qMax<qint16>(BoxIndex, 1) - 1);
        const int width = twipsToPixels(kClientWidth, dpi());
        move(centre.x() - width / 2 + offset, centre.y() - 60 + offset);
    }
    show();
    LayoutBox(BoxType, text, Buttons);

    // A screen reader announces the new box with its text; an input box's
    // field is named by its prompt.
    setAccessibleDescription(text);
    Text1->setAccessibleName(BoxType >= 2 && BoxType <= 3 ? text : QString());
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void Form2::BoxType(quint8 value)
{
    m_kind = value;
}

int Form2::labelHeightTwips(QLabel *label) const
{
    return pixelsToTwips(label->heightForWidth(label->width()), dpi());
}

void Form2::LayoutBox(quint8 kind, const QString &text, qint32 style)
{
    m_kind = kind;
    m_style = style;
    m_heightTwips = kDesignHeight;
    if (kind > 3)
        return;

    const qreal d = dpi();
    const int clientWidthPx = twipsToPixels(kClientWidth, d);
    int frameHeight = 0;

    if (kind <= 1) {
        m_inputFrame->hide();
        m_messageFrame->show();
        if (kind == 0)
            m_style = PromptStyle::withButtonSet(m_style, 0);
        SetupButtons(m_style);

        const int frameWidth = kButtonLeft - kMessageFrameLeft - kEdge;
        m_messageFrame->setGeometry(twipsToPixels(kMessageFrameLeft, d), twipsToPixels(kFrameTop, d),
                                    twipsToPixels(frameWidth, d), 0);
        m_messageLabel->setText(text);
        m_messageLabel->setGeometry(twipsToPixels(kLabelInset, d), twipsToPixels(kLabelTop, d),
                                    twipsToPixels(frameWidth - 2 * kLabelInset, d), 0);
        const int labelHeight = labelHeightTwips(m_messageLabel);
        m_messageLabel->resize(m_messageLabel->width(), twipsToPixels(labelHeight, d));
        frameHeight = messageFrameHeight(kLabelTop, labelHeight);
        m_messageFrame->resize(m_messageFrame->width(), twipsToPixels(frameHeight, d));
    } else {
        m_messageFrame->hide();
        m_inputFrame->show();
        m_style = PromptStyle::withButtonSet(m_style, 1);
        SetupButtons(m_style);
        // An input box shows no icon: its frame covers the icon's place.
        m_icon->hide();

        const int frameWidth = kButtonLeft - 2 * kEdge;
        m_inputFrame->setGeometry(twipsToPixels(kEdge, d), twipsToPixels(kFrameTop, d),
                                  twipsToPixels(frameWidth, d), 0);
        m_promptLabel->setText(text);
        m_promptLabel->setGeometry(twipsToPixels(kLabelInset, d), twipsToPixels(kLabelTop, d),
                                   twipsToPixels(frameWidth - 2 * kLabelInset, d), 0);
        const int labelHeight = labelHeightTwips(m_promptLabel);
        m_promptLabel->resize(m_promptLabel->width(), twipsToPixels(labelHeight, d));
        const int fieldTop = inputFieldTop(kLabelTop, labelHeight);
        Text1->setGeometry(twipsToPixels(kLabelInset, d), twipsToPixels(fieldTop, d),
                           twipsToPixels(frameWidth - 2 * kLabelInset, d),
                           twipsToPixels(kInputFieldHeight, d));
        frameHeight = inputFrameHeight(kLabelTop, labelHeight, kInputFieldHeight);
        m_inputFrame->resize(m_inputFrame->width(), twipsToPixels(frameHeight, d));
        Text1->setEchoMode(kind == 3 ? QLineEdit::Password : QLineEdit::Normal);
        Text1->setFocus();
    }

    m_heightTwips = dialogHeight(frameHeight);
    setFixedSize(clientWidthPx, twipsToPixels(m_heightTwips - kFrameTwips, d));
}

void Form2::SetupButtons(qint32 style)
{
    const qreal d = dpi();
    const QStringList captions = PromptStyle::buttonCaptions(PromptStyle::buttonSet(style));
    for (int k = 1; k <= 3; ++k) {
        QPushButton *b = button(k);
        b->setGeometry(twipsToPixels(kButtonLeft, d),
                       twipsToPixels(kEdge + (k - 1) * (kButtonHeight + kButtonGap), d),
                       twipsToPixels(kButtonWidth, d), twipsToPixels(kButtonHeight, d));
        b->setDefault(false);
        b->setVisible(k <= captions.size());
        if (k <= captions.size())
            b->setText(captions.at(k - 1));
    }
    m_icon->hide();

    QPushButton *def = button(PromptStyle::defaultButton(style, int(captions.size())));
    def->setDefault(true);
    def->setFocus();

    const PromptStyle::Icon icon = PromptStyle::icon(style);
    if (icon != PromptStyle::NoIcon) {
        m_icon->setPixmap(QWidget::style()->standardIcon(standardIcon(icon), nullptr, this)
                              .pixmap(kIconSizePx, kIconSizePx));
        m_icon->setGeometry(twipsToPixels(kEdge, d), twipsToPixels(kEdge + 60, d), kIconSizePx, kIconSizePx);
        m_icon->show();
    }
}

void Form2::pressButton(int k)
{
    SendAnswer(k);
    close();
}

void Form2::SendAnswer(int k)
{
    m_capture->stop();
    const quint8 code = PromptStyle::MapButtonCode(m_style, k);
    switch (m_kind) {
    case 1:
        m_kind = kAnswered;   // before the send, which may re-enter this box
        m_answers.ButtonResponse(code);
        break;
    case 2:
        m_kind = kAnswered;
        m_answers.InputResponse(code, Text1->text());
        break;
    case 3: {
        // The captured swipe answers only while the field still holds it
        // whole (keys typed by hand before a swipe are not part of it). Once
        // the cashier has corrected it (Backspace, a retyped digit) the
        // field is what the cashier sees, so that is what goes out.
        const QString field = Text1->text();
        const QString &swipe = m_capture->swipeText();
        const QString answer = !swipe.isEmpty() && field.contains(swipe) ? swipe : field;
        m_kind = kAnswered;
        m_answers.InputResponse(code, NormalizeTrackText(answer));
        break;
    }
    default:
        return;
    }
}

void Form2::closeEvent(QCloseEvent *event)
{
    // A box below the top is disabled: the cashier can use the top box only,
    // and a close request for a lower one (from the window manager) would
    // leave the boxes above it outside the stack.
    if (!m_closed && event->spontaneous() && boxStack().topBox() != this && boxStack().box(m_index) == this) {
        event->ignore();
        return;
    }
    event->accept();
    if (m_closed)
        return;
    m_closed = true;
    m_capture->stop();
    SendAnswer(2);
    boxStack().CloseBox(m_index);
}

void Form2::reject()
{
    // Esc presses the cancel button (button 2) where the set shows one. A
    // server's box without one is answered by its buttons or its close box
    // only; the console's own message has nothing to answer and closes.
    if (Command2->isVisible() && Command2->isEnabled())
        Command2->click();
    else if (m_kind == 0)
        close();
}

void Form2::setStackEnabled(bool enabled)
{
    setEnabled(enabled);
}

void Form2::closeBox()
{
    close();
}

void Form2::bringToFront()
{
    raise();
}

void Form2::onPreviewKey(QKeyEvent *event)
{
    const QString typed = KeyPreview::burstCharacters(event, m_capture->isTiming());
    if (!typed.isEmpty())
        m_capture->keyPress(typed);
}
