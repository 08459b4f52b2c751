#pragma once
// Which idle source a session gets: on X11 the X server's timer; in a Wayland session the first that the
// desktop offers of ext-idle-notify-v1, KDE's idle protocol and GNOME's idle monitor on the bus. Plain logic:
// each candidate is a function that opens it, so the order and the lines are tested without a desktop.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/result.h"
#include "idle/daemon/idle_source.h"

namespace mirevo {

struct OpenedIdleSource {
    std::unique_ptr<IdleSource> source;
    std::string name; // as the status gives it: "the compositor (ext-idle-notify-v1)"
};

// A candidate's answer: the source, or the line that says why it failed; an empty line means "not offered
// here", and the next candidate is tried.
using IdleSourceOpener = std::function<Result<OpenedIdleSource, std::string>()>;

// The first candidate that opens. A failure with a line ends the search with it; when none is offered, the
// line noneOffered.
Result<OpenedIdleSource, std::string> openFirstIdleSource(const std::vector<IdleSourceOpener>& candidates,
                                                          const std::string& noneOffered);

// The line for a Wayland session whose desktop offers none of the three.
std::string noWaylandIdleSourceLine(const std::string& socketName, bool sessionBus);

} // namespace mirevo
