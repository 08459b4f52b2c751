#pragma once
// Which program locks the screen, desktop by desktop: the user's own command first; else GNOME Shell's
// org.gnome.ScreenSaver; else the org.freedesktop.ScreenSaver of another program (KDE Plasma's screen locker,
// or a saver manager's); in a Wayland session swaylock where the compositor offers what it needs (wlroots
// desktops); on X11 a running xscreensaver or light-locker; else logind, which asks whatever the session runs
// to lock. Plain logic over what was found, so each desktop's case is tested without it.
#include <string>
#include <vector>

namespace mirevo {

struct LockerFacts {
    std::string command; // --lock-command, empty when not given
    // GNOME Shell's lock screen on the session bus: the name it owns (org.gnome.Shell.ScreenShield), or the
    // org.gnome.ScreenSaver of older shells; empty when neither has an owner.
    std::string gnomeShell;
    bool otherScreenSaver = false; // org.freedesktop.ScreenSaver has an owner that is not this mirevo-idle
    bool wayland = false;
    bool compositorLocks = false; // the compositor offers a lock protocol swaylock uses
    std::string swaylock;         // its path, empty when not installed
    bool xscreensaver = false;    // a running xscreensaver answers xscreensaver-command
    bool lightLocker = false;     // a running light-locker answers light-locker-command
    bool logindSession = false;   // logind knows this session
    std::string logindProblem;    // why not, when it does not
};

enum class LockerKind {
    Command,
    GnomeShell,
    ScreenSaverService,
    Swaylock,
    XScreenSaver,
    LightLocker,
    Logind,
    None
};

struct LockerChoice {
    LockerKind kind = LockerKind::None;
    // What runs for a command-like locker, done when it exits 0: the user's command through /bin/sh -c;
    // xscreensaver's lock followed by a wait until it says the screen is locked.
    std::vector<std::string> argv;
    // As the status names it ("swaylock -f", "GNOME Shell (org.gnome.ScreenSaver)"), or why there is none.
    std::string description;
    // For a locker on the session bus: the name called.
    std::string busName = {};
};

LockerChoice chooseLocker(const LockerFacts& facts);

} // namespace mirevo
