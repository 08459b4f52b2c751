#include "idle/lock/locker_choice.h"

namespace mirevo {

LockerChoice chooseLocker(const LockerFacts& facts) {
    if (!facts.command.empty())
        return {LockerKind::Command,
                {"/bin/sh", "-c", facts.command},
                "the lock command \"" + facts.command + "\""};
    if (!facts.gnomeShell.empty())
        return {LockerKind::GnomeShell, {}, "GNOME Shell (org.gnome.ScreenSaver)", facts.gnomeShell};
    if (facts.otherScreenSaver)
        return {LockerKind::ScreenSaverService,
                {},
                "the desktop's screen locker (org.freedesktop.ScreenSaver, as KDE Plasma serves it)",
                "org.freedesktop.ScreenSaver"};
    if (facts.wayland && facts.compositorLocks && !facts.swaylock.empty())
        return {LockerKind::Swaylock, {facts.swaylock, "-f"}, "swaylock -f"};
    if (!facts.wayland && facts.xscreensaver)
        return {
            LockerKind::XScreenSaver,
            {"/bin/sh", "-c",
             "xscreensaver-command -lock >/dev/null && until xscreensaver-command -time | grep -q locked; "
             "do sleep 0.05; done"},
            "xscreensaver (xscreensaver-command -lock)"};
    if (!facts.wayland && facts.lightLocker)
        return {LockerKind::LightLocker,
                {"light-locker-command", "--lock"},
                "light-locker (light-locker-command --lock)"};
    if (facts.logindSession)
        return {LockerKind::Logind, {}, "logind (LockSession, which asks the session's own locker)"};
    std::string why =
        "no locker found: no --lock-command, no GNOME Shell or other screen locker on the session bus";
    if (facts.wayland)
        why += facts.swaylock.empty()   ? ", swaylock is not installed"
               : !facts.compositorLocks ? ", the compositor offers no lock protocol swaylock can use"
                                        : "";
    else
        why += ", no xscreensaver or light-locker running";
    why += ", and " + (facts.logindProblem.empty() ? std::string("logind knows no session of ours")
                                                   : facts.logindProblem);
    return {LockerKind::None, {}, why};
}

} // namespace mirevo
