// KeyboardLayout: which keyboard layout is active, as far as the card-track
// correction (NormalizeTrackText) needs to know: Estonian, Russian or other.
//
// current() answers, in this order:
//   1. TELLAR_KEYBOARD_LAYOUT = "ee", "ru" or "other" (read at each call; for
//      tests and for machines without X11; any other value counts as unset);
//   2. the X11 display of DISPLAY: the name of the active XKB group, where a
//      name starting with "Estonian" is ee and one starting with "Russian" is
//      ru (the names xkeyboard-config gives: "Estonian", "Russian",
//      "Estonian (US)", ...);
//   3. Other, when there is no display to ask (no DISPLAY, the server cannot
//      be reached, or it lacks the XKB extension).
// Each call opens and closes its own display connection; it is called once
// per card text sent, never per key.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class KeyboardLayout {
public:
    enum Layout { Other, Estonian, Russian };

    static Layout current();

    // The name of the active XKB group on the display of DISPLAY (step 2
    // above), or nullopt when there is no display to ask: no DISPLAY, the
    // server cannot be reached, or it lacks XKB. The site check uses it to
    // tell "no display" from "a layout that needs no correction".
    static std::optional<QString> displayGroupName();

    // "ee", "ru", "other" (the override's spelling, without regard to case);
    // any other text gives `fallback`.
    static Layout fromName(const QByteArray &name, Layout fallback = Other);
    // The XKB group name rule of step 2 above.
    static Layout fromGroupName(const QString &groupName);
    static QByteArray name(Layout layout);
};
