#pragma once
// What the lock keeper asks of the world, done: the desktop's locker found again at each lock (so that one
// started after mirevo-idle is used), run as a program or called on the bus, logind's LockSession and its
// sleep inhibitor, the bound's timer, and the floor's words through the session starter. Its answers go back
// to the keeper.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <QTimer>

#include "common/x11/x11_display.h"
#include "idle/lock/lock_keeper.h"
#include "idle/lock/locker_choice.h"
#include "idle/lockers/posix_lock_command.h"
#include "idle/lockers/qt_service_locker.h"

namespace mirevo {

class QtLogind;

struct LockDeskSettings {
    std::string command;    // --lock-command
    std::string sessionBus; // empty: none
    bool wayland = false;
    bool compositorLocks = false;            // the compositor offers a lock protocol swaylock uses
    std::function<bool()> servesScreenSaver; // whether org.freedesktop.ScreenSaver is this mirevo-idle's
    std::function<void(uint64_t, FloorMessage)> tellFloor;
    std::function<void(const std::string&)> line;
    std::function<void()> screenLocked;
};

class QtLockDesk : public LockEffects {
public:
    QtLockDesk(LockDeskSettings settings, QtLogind& logind);

    // Where the locker's answers and the bound's end go, from before the first lock on.
    void listen(LockKeeper& keeper) { keeper_ = &keeper; }
    // Looks for the desktop's locker again.
    const LockerChoice& discover();
    const LockerChoice& choice() const { return choice_; }
    // The status's lines about locking, the locker looked for again.
    std::string statusText();

    void tellFloor(uint64_t run, FloorMessage message) override { settings_.tellFloor(run, message); }
    void runLocker(LockReason reason) override;
    void stopLocker() override;
    void armBound(bool on) override;
    void holdSleep(bool hold) override;
    void screenLocked() override { settings_.screenLocked(); }
    void line(const std::string& text) override { settings_.line(text); }

private:
    LockerFacts facts();
    void done(const Covered& covered);
    // xscreensaver says it has locked a moment before its window covers the screen: done once it does.
    void awaitXScreenSaverWindow();

    LockDeskSettings settings_;
    QtLogind& logind_;
    LockKeeper* keeper_ = nullptr;
    LockerChoice choice_;
    PosixLockCommands commands_;
    QtServiceLocker service_;
    QTimer bound_;
    QTimer coverPoll_;
    std::optional<X11Display> x11_;
};

} // namespace mirevo
