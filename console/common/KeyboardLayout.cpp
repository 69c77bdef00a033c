#include "common/KeyboardLayout.h"

#include <QtGlobal>

// Xlib last: its macros (Bool, Status, None, Success, ...) must not reach
// any other header.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace {

// The name of the active XKB group of the display in DISPLAY ("" when the
// group has no name), or nullopt when there is no display or no XKB.
std::optional<QString> activeGroupName()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return std::nullopt;
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return std::nullopt;

    std::optional<QString> name;
    int opcode = 0, event = 0, error = 0;
    int major = XkbMajorVersion, minor = XkbMinorVersion;
    XkbStateRec state;
    if (XkbQueryExtension(display, &opcode, &event, &error, &major, &minor)
        && XkbGetState(display, XkbUseCoreKbd, &state) == Success) {
        name = QString();
        XkbDescPtr desc = XkbAllocKeyboard();
        if (desc) {
            if (XkbGetNames(display, XkbGroupNamesMask, desc) == Success && desc->names
                && state.group < XkbNumKbdGroups) {
                const Atom atom = desc->names->groups[state.group];
                if (atom != None) {
                    if (char *text = XGetAtomName(display, atom)) {
                        name = QString::fromUtf8(text);
                        XFree(text);
                    }
                }
            }
            XkbFreeKeyboard(desc, 0, True);
        }
    }
    XCloseDisplay(display);
    return name;
}

} // namespace

KeyboardLayout::Layout KeyboardLayout::fromName(const QByteArray &name, Layout fallback)
{
    const QByteArray n = name.trimmed().toLower();
    if (n == "ee")
        return Estonian;
    if (n == "ru")
        return Russian;
    if (n == "other")
        return Other;
    return fallback;
}

KeyboardLayout::Layout KeyboardLayout::fromGroupName(const QString &groupName)
{
    if (groupName.startsWith(QLatin1String("Estonian")))
        return Estonian;
    if (groupName.startsWith(QLatin1String("Russian")))
        return Russian;
    return Other;
}

QByteArray KeyboardLayout::name(Layout layout)
{
    switch (layout) {
    case Estonian:
        return QByteArrayLiteral("ee");
    case Russian:
        return QByteArrayLiteral("ru");
    case Other:
        break;
    }
    return QByteArrayLiteral("other");
}

KeyboardLayout::Layout KeyboardLayout::current()
{
    const QByteArray forced = qgetenv("TELLAR_KEYBOARD_LAYOUT").trimmed().toLower();
    if (forced == "ee" || forced == "ru" || forced == "other")
        return fromName(forced);
    return fromGroupName(activeGroupName().value_or(QString()));
}

std::optional<QString> KeyboardLayout::displayGroupName()
{
    return activeGroupName();
}
