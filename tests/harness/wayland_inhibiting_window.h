#pragma once
// A client window that holds the compositor's idleness off, as a video player does: an xdg toplevel showing a
// small solid buffer, with an idle inhibitor (zwp_idle_inhibit_manager_v1) on its surface while it is shown.
#include <memory>
#include <string>

struct wl_display;

namespace mirevo::test {

class WaylandInhibitingWindow {
public:
    // Connects to the compositor at socket (a path); shown() once the window is mapped and inhibiting.
    explicit WaylandInhibitingWindow(const std::string& socket);
    ~WaylandInhibitingWindow();
    WaylandInhibitingWindow(const WaylandInhibitingWindow&) = delete;
    WaylandInhibitingWindow& operator=(const WaylandInhibitingWindow&) = delete;

    bool shown() const { return shown_; }
    // Gives up the inhibitor; the window stays. True once the compositor has seen it.
    bool release();

    struct Parts;

private:
    std::unique_ptr<Parts> parts_;
    bool shown_ = false;
};

} // namespace mirevo::test
