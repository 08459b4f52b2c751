#pragma once
// The X server's own screen-saver timer as the idle source, through the XScreenSaver extension. An external
// saver (an input-only 1 x 1 window) is registered, so that when the timer fires the server neither blanks
// nor tiles the screen and the desktop stays as it was for the snapshot. The connection's socket sleeps in
// the Qt event loop; nothing polls.
#include <memory>
#include <string>

#include "common/result.h"
#include "common/x11/x11_display.h"
#include "idle/daemon/idle_source.h"

class QSocketNotifier;
typedef struct _XDisplay Display;

namespace mirevo {

class X11IdleSource : public IdleSource {
public:
    // The source, or the one line that says why there is none (no display, no extension, another saver).
    static Result<std::unique_ptr<X11IdleSource>, std::string> open();
    ~X11IdleSource() override; // unregisters the saver window
    X11IdleSource(const X11IdleSource&) = delete;
    X11IdleSource& operator=(const X11IdleSource&) = delete;

    // The server's idle time in seconds (0: the saver never starts), and setting it for this X session.
    int timeoutSeconds() override;
    void setTimeoutSeconds(int seconds) override;

    void start(IdleSourceEvents events) override;
    void suspend(bool suspended) override;
    void resetIdleTimer() override;

private:
    X11IdleSource(X11Display connection, int eventBase);
    void readEvents();
    static void connectionLost(Display*, void* self);

    X11Display connection_;
    Display* display_; // connection_'s
    int eventBase_;
    IdleSourceEvents events_;
    bool lost_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace mirevo
