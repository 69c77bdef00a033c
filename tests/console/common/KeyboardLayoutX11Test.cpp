// The XKB path of KeyboardLayout::current() against a private Xvfb server
// whose layouts setxkbmap sets and whose active group the test locks, as a
// cashier's layout switch would. Skipped where Xvfb or setxkbmap is missing.
#include "common/KeyboardLayout.h"

#include "TestDir.h"

#include "../PrivateXServer.h"

// Xlib last: its macros must not reach the headers above.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace {

// Makes group `group` (0-based) the active one of the core keyboard.
bool lockGroup(const std::string &display, unsigned group)
{
    Display *d = XOpenDisplay(display.c_str());
    if (!d)
        return false;
    const bool ok = XkbLockGroup(d, XkbUseCoreKbd, group);
    XSync(d, False);
    XCloseDisplay(d);
    return ok;
}

TEST(KeyboardLayoutX11, ActiveGroupOfTheDisplayDecides)
{
    if (!onPath("Xvfb") || !onPath("setxkbmap"))
        GTEST_SKIP() << "Xvfb or setxkbmap not installed";
    PrivateXServer server;
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";

    const QByteArray savedDisplay = qgetenv("DISPLAY");
    const QByteArray savedOverride = qgetenv("TELLAR_KEYBOARD_LAYOUT");
    qunsetenv("TELLAR_KEYBOARD_LAYOUT");
    qputenv("DISPLAY", server.display().c_str());

    struct Row {
        const char *layouts;
        unsigned activeGroup;
        KeyboardLayout::Layout expected;
    } rows[] = {
        {"ee", 0, KeyboardLayout::Estonian},
        {"ru", 0, KeyboardLayout::Russian},
        {"us", 0, KeyboardLayout::Other},
        {"us,ru", 0, KeyboardLayout::Other},
        {"us,ru", 1, KeyboardLayout::Russian},
        {"ru,ee", 1, KeyboardLayout::Estonian},
        {"ee,ru", 1, KeyboardLayout::Russian},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(r.layouts) + " group " + std::to_string(r.activeGroup));
        const std::string cmd = "setxkbmap -display " + server.display() + " -layout " + r.layouts;
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        ASSERT_TRUE(lockGroup(server.display(), r.activeGroup));
        EXPECT_EQ(KeyboardLayout::current(), r.expected);
    }
    // The override still wins over the display.
    qputenv("TELLAR_KEYBOARD_LAYOUT", "ee");
    EXPECT_EQ(KeyboardLayout::current(), KeyboardLayout::Estonian);

    savedDisplay.isEmpty() ? qunsetenv("DISPLAY") : qputenv("DISPLAY", savedDisplay);
    savedOverride.isEmpty() ? qunsetenv("TELLAR_KEYBOARD_LAYOUT")
                            : qputenv("TELLAR_KEYBOARD_LAYOUT", savedOverride);
}

TEST(KeyboardLayoutX11, UnreachableDisplayIsOther)
{
    const QByteArray savedDisplay = qgetenv("DISPLAY");
    const QByteArray savedOverride = qgetenv("TELLAR_KEYBOARD_LAYOUT");
    qunsetenv("TELLAR_KEYBOARD_LAYOUT");
    qputenv("DISPLAY", ":4093");  // nobody listens there
    EXPECT_EQ(KeyboardLayout::current(), KeyboardLayout::Other);
    savedDisplay.isEmpty() ? qunsetenv("DISPLAY") : qputenv("DISPLAY", savedDisplay);
    savedOverride.isEmpty() ? qunsetenv("TELLAR_KEYBOARD_LAYOUT")
                            : qputenv("TELLAR_KEYBOARD_LAYOUT", savedOverride);
}

} // namespace
