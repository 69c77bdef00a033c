// A keyboard-wedge card reader on the real X keyboard path: a private Xvfb,
// the layout set with setxkbmap (ee, ru, us), the console on Qt's xcb
// platform with the desktop's key composition, and the track typed as XTEST
// key events 5 ms apart at US key positions, as a reader types it. What
// reaches the wire (main window) or the server's answer (masked box) must be
// the card's text exactly. Skipped where Xvfb or setxkbmap is missing.
//
// The console's own clock is the manual one, so the burst stays open until
// the test lets 55 ms pass; the keys themselves come on the real clock from
// a thread of their own while the event loop runs, as a reader's do.
#include "ConsoleFixture.h"
#include "SimConsole.h"

#include "../PrivateXServer.h"

#include "dialogs/PromptAnswers.h"
#include "session/PaymentSession.h"
#include "widgets/CardSwipeDetector.h"

#include <VaroManager.h>

#include <atomic>
#include <chrono>
#include <thread>

// Xlib last: its macros must not reach the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

// The card as its track holds it.
const char kTrack[] = ";4111111111111111=25121011000?";

PrivateXServer *g_server = nullptr;

// The X key code (evdev + 8) and shift state of a character on a US layout:
// the key a reader presses for it, whatever layout the desktop has.
struct UsKey {
    unsigned code;
    bool shift;
};

UsKey usKey(char c)
{
    if (c >= '1' && c <= '9')
        return {unsigned(10 + (c - '1')), false};
    switch (c) {
    case '0': return {19, false};
    case ';': return {47, false};
    case '=': return {21, false};
    case '?': return {61, true};
    case '%': return {14, true};
    case '^': return {15, true};
    case 'B': return {56, true};
    default: break;
    }
    ADD_FAILURE() << "no US key for " << c;
    return {0, false};
}

constexpr unsigned kShiftL = 50;

// Types text at US key positions, a key every 5 ms, from its own
// connection to the display.
void typeAsReader(const std::string &display, const std::string &text)
{
    Display *d = XOpenDisplay(display.c_str());
    ASSERT_NE(d, nullptr);
    for (char c : text) {
        const UsKey key = usKey(c);
        if (key.shift)
            XTestFakeKeyEvent(d, kShiftL, True, CurrentTime);
        XTestFakeKeyEvent(d, key.code, True, CurrentTime);
        XFlush(d);
        std::this_thread::sleep_for(std::chrono::microseconds(2500));
        XTestFakeKeyEvent(d, key.code, False, CurrentTime);
        if (key.shift)
            XTestFakeKeyEvent(d, kShiftL, False, CurrentTime);
        XFlush(d);
        std::this_thread::sleep_for(std::chrono::microseconds(2500));
    }
    XSync(d, False);
    XCloseDisplay(d);
}

// Types from a thread while this thread's event loop takes the keys.
void typeWhileRunning(const std::string &text)
{
    std::atomic<bool> done{false};
    std::thread reader([&] {
        typeAsReader(g_server->display(), text);
        done = true;
    });
    while (!done)
        QTest::qWait(2);
    reader.join();
    QTest::qWait(150);   // the last keys through the event loop
}

// Plain key presses by keysym name on the current layout (dead keys and
// letters typed by hand).
void pressKeysym(const char *name)
{
    Display *d = XOpenDisplay(g_server->display().c_str());
    ASSERT_NE(d, nullptr);
    const KeyCode code = XKeysymToKeycode(d, XStringToKeysym(name));
    ASSERT_NE(code, 0) << name;
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    XSync(d, False);
    XCloseDisplay(d);
    QTest::qWait(50);
}

class ReaderOnLayout : public ConsoleFixture, public ::testing::WithParamInterface<const char *> {
protected:
    void SetUp() override
    {
        if (!g_server)
            GTEST_SKIP() << "Xvfb or setxkbmap not installed";
        ConsoleFixture::SetUp();
        const std::string cmd = "setxkbmap -display " + g_server->display() + " -layout " + GetParam();
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        QTest::qWait(100);   // the keymap change reaches the client
    }
    void TearDown() override
    {
        if (!g_server)
            return;
        ConsoleFixture::TearDown();
        sim.reset();
    }

    Sim::SimLog simLog;
    std::unique_ptr<Sim::SimServer> sim;
};

TEST_P(ReaderOnLayout, SwipeInTheMainWindowReachesTheWireAsTheCardHoldsIt)
{
    ASSERT_NO_FATAL_FAILURE(simconsole::startSimulator(sim, simLog, u"approval.json"_qs));
    std::vector<QByteArray> frames;
    QObject::connect(sim.get(), &Sim::SimServer::clientFrame, sim.get(),
                     [&](int, const QByteArray &frame) { frames.push_back(frame); });
    Form1 &w = open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QLineEdit *amount = text("Text2");
    ASSERT_EQ(QApplication::focusWidget(), amount);
    amount->setText(u"12,50"_qs);

    typeWhileRunning(kTrack);
    ASSERT_TRUE(w.swipeDetector().isBurstOpen());
    timing.advanceMs(55);

    EXPECT_EQ(amount->text(), u"12,50"_qs) << "the burst is taken out of the amount field";
    ASSERT_TRUE(simconsole::waitFor([&] { return !frames.empty(); }, 10000)) << "no request reached the server";
    VaroManager request;
    std::string frame = frames.front().toStdString();
    std::string rest;
    ASSERT_EQ(request.ProcessMessage(frame, rest), VaroManager::Parsed);
    EXPECT_EQ(fieldOf(request, 1), "0001");
    EXPECT_EQ(fieldOf(request, 5), QByteArray(kTrack)) << "the card text on the wire";
    EXPECT_TRUE(simconsole::waitFor([&] { return w.session().SessionState == PaymentSession::Idle; }, 10000));
}

class RecordingAnswers final : public PromptAnswers {
public:
    void ButtonResponse(quint8) override {}
    void InputResponse(quint8 code, const QString &text) override
    {
        answers.push_back(text);
        codes.push_back(code);
    }
    std::vector<QString> answers;
    std::vector<quint8> codes;
};

TEST_P(ReaderOnLayout, SwipeIntoAMaskedBoxAnswersTheCardAsItHoldsIt)
{
    RecordingAnswers answers;
    QWidget owner;
    auto *box = new Form2(timing, answers, &owner);
    box->ShowBox(1, 3, u"Libistage kaart"_qs, 0);
    box->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(box));
    ASSERT_EQ(QApplication::focusWidget(), box->inputField());

    typeWhileRunning(kTrack);
    EXPECT_EQ(box->inputField()->text().size(), qsizetype(sizeof kTrack - 1))
        << "every key of the track reached the field";
    QTest::mouseClick(box->button(1), Qt::LeftButton);

    ASSERT_EQ(answers.answers.size(), 1u);
    EXPECT_EQ(answers.codes.front(), 1);
    EXPECT_EQ(answers.answers.front(), QString::fromLatin1(kTrack));
}

INSTANTIATE_TEST_SUITE_P(Layouts, ReaderOnLayout, ::testing::Values("ee", "ru", "us"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             return std::string(info.param);
                         });

// The focus when the console's window is activated again, on the real X
// focus path: another program is a plain X client window of its own.
class WindowFocusX11 : public ConsoleFixture {
protected:
    void SetUp() override
    {
        if (!g_server)
            GTEST_SKIP() << "Xvfb or setxkbmap not installed";
        ConsoleFixture::SetUp();
        provisionForTransactions();
    }
    void TearDown() override
    {
        if (!g_server)
            return;
        if (m_other) {
            XDestroyWindow(m_other, m_otherWindow);
            XCloseDisplay(m_other);
        }
        ConsoleFixture::TearDown();
    }

    // Another program's window takes the keyboard focus, as when the cashier
    // clicks into the till software.
    void focusAnotherProgram()
    {
        m_other = XOpenDisplay(g_server->display().c_str());
        ASSERT_NE(m_other, nullptr);
        m_otherWindow = XCreateSimpleWindow(m_other, DefaultRootWindow(m_other), 600, 400, 100, 100, 0, 0, 0);
        XMapWindow(m_other, m_otherWindow);
        XSync(m_other, False);
        QTest::qWait(50);
        XSetInputFocus(m_other, m_otherWindow, RevertToNone, CurrentTime);
        XSync(m_other, False);
        ASSERT_TRUE(simconsole::waitFor([] { return QGuiApplication::applicationState() != Qt::ApplicationActive; },
                                        5000))
            << "the console did not lose the focus";
    }

    // The window manager gives the console's window the focus again, as
    // when the cashier clicks it (or a box of the console closes).
    void focusConsoleWindow(QWidget *window)
    {
        Display *d = XOpenDisplay(g_server->display().c_str());
        ASSERT_NE(d, nullptr);
        XSetInputFocus(d, Window(window->winId()), RevertToParent, CurrentTime);
        XSync(d, False);
        XCloseDisplay(d);
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::qWait(50);
    }

    Display *m_other = nullptr;
    Window m_otherWindow = 0;
};

TEST_F(WindowFocusX11, ReturnFromAnotherProgramKeepsFocusAndSelection)
{
    Form1 &w = open();
    QLineEdit *amount = text("Text2");
    ASSERT_EQ(QApplication::focusWidget(), amount);
    typeSlowly(amount, u"12"_qs);
    ASSERT_FALSE(amount->hasSelectedText());

    ASSERT_NO_FATAL_FAILURE(focusAnotherProgram());
    ASSERT_NO_FATAL_FAILURE(focusConsoleWindow(&w));

    EXPECT_EQ(QApplication::focusWidget(), amount);
    EXPECT_FALSE(amount->hasSelectedText()) << "the next key must not replace the amount";
    EXPECT_EQ(amount->cursorPosition(), 2);
    typeSlowly(amount, u",50"_qs);
    EXPECT_EQ(amount->text(), u"12,50"_qs);
}

TEST_F(WindowFocusX11, ReturnFromTheConsolesOwnBoxFocusesTheFirstFieldSelected)
{
    Form1 &w = open();
    QLineEdit *amount = text("Text2");
    typeSlowly(amount, u"12,5"_qs);
    // Away in another program and back first: that return is spent, and
    // the next activation comes from the console's own box.
    ASSERT_NO_FATAL_FAILURE(focusAnotherProgram());
    ASSERT_NO_FATAL_FAILURE(focusConsoleWindow(&w));
    QTest::keyClick(amount, Qt::Key_Return);
    Form2 *box = topBox();
    ASSERT_NE(box, nullptr);
    ASSERT_NO_FATAL_FAILURE(focusConsoleWindow(box));   // the desktop focuses a new window
    QTest::mouseClick(box->button(1), Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(focusConsoleWindow(&w));

    EXPECT_EQ(QApplication::focusWidget(), amount);
    EXPECT_EQ(amount->selectedText(), u"12,5"_qs) << "focus to the tab's first field, its text selected";
}

// Outside a burst the desktop's composition stays: the Estonian dead acute
// and "e" typed by hand give "é".
TEST(ComposingByHand, DeadKeyTypedByHandStillComposes)
{
    if (!g_server)
        GTEST_SKIP() << "Xvfb or setxkbmap not installed";
    ASSERT_EQ(std::system(("setxkbmap -display " + g_server->display() + " -layout ee").c_str()), 0);
    QTest::qWait(100);
    ManualTiming timing;
    TrackLineEdit field;
    field.setBurstOpen([] { return false; });
    field.show();
    field.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&field));
    field.setFocus();
    pressKeysym("dead_acute");
    pressKeysym("e");
    EXPECT_EQ(field.text(), u"\u00e9"_qs);
}

} // namespace

int main(int argc, char **argv)
{
    std::unique_ptr<PrivateXServer> server;
    if (onPath("Xvfb") && onPath("setxkbmap")) {
        server = std::make_unique<PrivateXServer>("1024x768x24");
        if (!server->display().empty())
            g_server = server.get();
    }
    if (g_server) {
        qputenv("DISPLAY", g_server->display().c_str());
        qputenv("QT_QPA_PLATFORM", "xcb");
        // The desktop's own composition, with the compose table of a UTF-8
        // locale, whatever the machine's environment says.
        qputenv("QT_IM_MODULE", "compose");
        qputenv("LC_ALL", "C.UTF-8");
        qunsetenv("TELLAR_KEYBOARD_LAYOUT");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    return result;
}
