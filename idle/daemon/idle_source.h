#pragma once
// Where idleness comes from (the X server's screen-saver timer, or the Wayland compositor) and what the daemon
// asks of it. A source is opened first and started once the daemon is there to hear it: only then does it
// report the idle time's passing and the end of idleness to IdleDaemon::serverSaverOn/Off.
#include <functional>
#include <string>

namespace mirevo {

// What a source tells: the idle time passed, input came, and the source has gone for good (the line to print;
// nothing more may be asked of it then).
struct IdleSourceEvents {
    std::function<void()> saverOn, saverOff;
    std::function<void(const std::string&)> lost;
};

class IdleSource {
public:
    virtual ~IdleSource() = default;
    // Begins to watch, telling events from now on; called once. A source lost before it was started says so
    // here.
    virtual void start(IdleSourceEvents events) = 0;
    // While suspended the idle time never passes, and a saver already on goes off.
    virtual void suspend(bool suspended) = 0;
    // As if the user had just touched the keyboard.
    virtual void resetIdleTimer() = 0;
    // The idle time in seconds (0: the saver never starts), and setting it for this session.
    virtual int timeoutSeconds() = 0;
    virtual void setTimeoutSeconds(int seconds) = 0;
};

// Starts the screen-saver session (Mirevo.scr /s); it reports the session's end to IdleDaemon::sessionEnded.
class SessionStarter {
public:
    virtual ~SessionStarter() = default;
    virtual bool startSession() = 0;
};

} // namespace mirevo
