#pragma once
// The compositors of KDE Plasma and GNOME, for one test each time: kwin_wayland on its virtual backend, or
// mutter on its headless one with a virtual monitor; Wayland only, in a private runtime folder (also HOME)
// that holds the socket, on the session bus the test names (mutter does not run without one). Stopped when
// this object goes.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/harness/child_process.h"
#include "tests/harness/temp_dir.h"

namespace mirevo::test {

enum class Desktop { KWin, Mutter };

struct DesktopOptions {
    int width = 800, height = 600;        // its one output
    std::string socketName = "wayland-1"; // in the runtime folder
    std::string bus;                      // the session bus address it joins; empty for none
    std::vector<std::string> flags;       // more of its own flags ("--no-lockscreen", ...)
    std::map<std::string, std::optional<std::string>> environment; // more of its environment, or overrides
};

class HeadlessDesktop {
public:
    HeadlessDesktop(Desktop desktop, DesktopOptions options);
    ~HeadlessDesktop();
    HeadlessDesktop(const HeadlessDesktop&) = delete;
    HeadlessDesktop& operator=(const HeadlessDesktop&) = delete;

    // Why the compositor is not here to start (not installed); empty when it is.
    static std::string unavailableReason(Desktop desktop);

    // Up: its socket answers a client.
    bool ok() const { return ready_; }
    // Why it is not up, with its log: the line a test skips with where the compositor cannot run.
    std::string notRunningReason() const;
    bool running();
    std::string errors() const;

    // The private runtime folder, also the compositor's HOME.
    const std::string& runtime() const { return folder_.path(); }
    const std::string& socketName() const { return options_.socketName; }
    // The socket by its path: what WAYLAND_DISPLAY names for the test's programs.
    std::string socket() const { return folder_ / options_.socketName; }

private:
    Desktop desktop_;
    DesktopOptions options_;
    TempDir folder_;
    std::string problem_; // what stopped the start before the compositor ran
    std::unique_ptr<ChildProcess> compositor_;
    bool ready_ = false;
};

} // namespace mirevo::test
