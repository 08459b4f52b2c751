#pragma once
// The connection to the Wayland compositor: the display, its globals and its outputs, and waiting for
// answers with a deadline, so that a compositor that stops answering never hangs a program of ours.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/platform_choice.h"
#include "common/wayland/output_layout.h"

struct wl_display;
struct wl_registry;
struct wl_output;
struct wl_interface;
struct zxdg_output_manager_v1;

namespace mirevo {

class WaylandConnection;

// Why there is no connection: the words for a line, and what asking found (nothing there, a compositor that
// has not answered yet, a stop).
struct WaylandRefusal {
    std::string why;
    WaylandAnswer answer = WaylandAnswer::Absent;
};

class WaylandConnection {
public:
    // The compositor WAYLAND_DISPLAY names (a socket name in XDG_RUNTIME_DIR or a path); its globals and
    // outputs are known once connect returns. The refusal when it cannot be reached or does not answer within
    // limit; the wait also ends as soon as wakeFd (when not -1, the stop signals' pipe) is readable.
    static Result<std::unique_ptr<WaylandConnection>, WaylandRefusal> connect(std::chrono::milliseconds limit,
                                                                             int wakeFd = -1);
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const { return display_; }

    // Does the compositor offer this global? Its version, 0 when not.
    uint32_t globalVersion(const std::string& interface) const;
    // Binds the first global of the interface at min(offered, version); nullptr when it is not offered.
    void* bind(const wl_interface* interface, uint32_t version);

    // Outputs as the compositor describes them (logical place and size from xdg-output where offered). The
    // list follows the compositor while events are dispatched: an output plugged in joins it once described,
    // one unplugged leaves it, and a change of mode, scale or place shows.
    const std::vector<OutputLayout>& outputs() const { return layouts_; }
    // The wl_output of outputs()[index].
    wl_output* output(size_t index) const;
    // What names outputs()[index] for as long as it is plugged in (its global's name).
    uint32_t outputId(size_t index) const;

    // Sends what is queued, then reads and dispatches events until done() holds or the deadline passes.
    // False on the deadline, when the connection is lost, or once wakeFd (when not -1) is readable.
    bool dispatchUntil(std::chrono::steady_clock::time_point deadline, const std::function<bool()>& done,
                       int wakeFd = -1);
    // Until the compositor has answered every request sent so far.
    bool roundtrip(std::chrono::milliseconds limit, int wakeFd = -1);
    // Reads and dispatches whatever arrives within timeout (0: what is there now); false when lost. The wait
    // also ends as soon as wakeFd (when not -1, e.g. the stop signals' pipe) is readable; it is not read.
    bool dispatchFor(std::chrono::milliseconds timeout, int wakeFd = -1);
    bool lost() const { return lost_; }
    // Did the last dispatchUntil end because its wakeFd became readable?
    bool woken() const { return woken_; }

    struct Global {
        uint32_t name;
        std::string interface;
        uint32_t version;
    };
    struct Output;

private:
    explicit WaylandConnection(wl_display* display);
    // -1 lost, 0 the timeout, 1 events read, 2 woken by wakeFd.
    int dispatchOnce(int timeoutMs, int wakeFd = -1);
    void addOutput(uint32_t globalName, uint32_t version);
    void refreshLayouts();

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    zxdg_output_manager_v1* xdgOutputs_ = nullptr;
    std::vector<Global> globals_;
    std::vector<std::unique_ptr<Output>> outputs_;
    std::vector<OutputLayout> layouts_;
    std::vector<const Output*> listed_; // the outputs behind layouts_, in its order
    bool connected_ = false;            // the first description is complete: later outputs are plugged in
    bool lost_ = false;
    bool woken_ = false;

    friend struct WaylandListeners;
};

// The name of the compositor's socket for locks and messages: WAYLAND_DISPLAY's value ("wayland-0" when
// unset), a path reduced to a name that holds no "/".
std::string waylandSocketName();

} // namespace mirevo
