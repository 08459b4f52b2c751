#pragma once
// Where idleness comes from (the X server's screen-saver timer) and the two things the daemon asks of it.
// It reports the timer's firing and the end of idleness to IdleDaemon::serverSaverOn/Off.
namespace mirevo {

class IdleSource {
public:
    virtual ~IdleSource() = default;
    // While suspended the timer never fires, and a saver already on goes off.
    virtual void suspend(bool suspended) = 0;
    // As if the user had just touched the keyboard.
    virtual void resetIdleTimer() = 0;
};

// Starts the screen-saver session (Mirevo.scr /s); it reports the session's end to IdleDaemon::sessionEnded.
class SessionStarter {
public:
    virtual ~SessionStarter() = default;
    virtual bool startSession() = 0;
};

} // namespace mirevo
