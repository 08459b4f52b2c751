#pragma once
// A connection to the X server, closed when it goes: the one way the programs connect. Opening one first
// installs the process's X error handler (x11_error_handler.h), so that no X error ends a program.
#include <memory>
#include <string>

#include "common/result.h"

typedef struct _XDisplay Display;

namespace mirevo {

class X11Display {
public:
    // The display named, or the one DISPLAY names when name is null or empty; or why there is none ("no X
    // display (DISPLAY is not set)", "cannot connect to the X display \":1\""), for the program's one line.
    static Result<X11Display, std::string> open(const char* name = nullptr);
    // A second connection to the display another one is connected to: requests and events of its own (a
    // keyboard grab that the first connection's toolkit cannot drop).
    static Result<X11Display, std::string> openAnother(Display* display);
    // Once, before the process's first connection, when more than one thread will talk to the server, each
    // on a connection of its own.
    static void allowThreads();

    X11Display(X11Display&&) noexcept = default;
    X11Display& operator=(X11Display&&) noexcept = default;

    Display* get() const { return display_.get(); }

private:
    struct Closer {
        void operator()(Display* display) const;
    };
    explicit X11Display(Display* display) : display_(display) {}
    std::unique_ptr<Display, Closer> display_;
};

} // namespace mirevo
