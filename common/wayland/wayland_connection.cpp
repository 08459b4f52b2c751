#include "common/wayland/wayland_connection.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstdarg>
#include <cstring>

#include <poll.h>
#include <wayland-client.h>

#include "xdg-output-unstable-v1-client-protocol.h"

namespace mirevo {

struct WaylandConnection::Output {
    uint32_t globalName = 0;
    wl_output* output = nullptr;
    zxdg_output_v1* xdgOutput = nullptr;
    OutputLayout layout;
    bool logicalGiven = false;
    bool described = false; // its description is complete (its first done, for an output plugged in)
    WaylandConnection* connection = nullptr;
    ~Output() {
        if (xdgOutput) zxdg_output_v1_destroy(xdgOutput);
        if (output) {
            if (wl_output_get_version(output) >= 3)
                wl_output_release(output);
            else
                wl_output_destroy(output);
        }
    }
};

struct WaylandListeners {
    static void geometry(void* data, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*,
                         const char*, int32_t transform) {
        auto* output = static_cast<WaylandConnection::Output*>(data);
        output->layout.transform = static_cast<OutputTransform>(transform & 7);
    }
    static void mode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t refresh) {
        auto* output = static_cast<WaylandConnection::Output*>(data);
        if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
        output->layout.modeWidth = width, output->layout.modeHeight = height;
        output->layout.refreshMilliHz = refresh;
    }
    // The end of a set of changes to one output (its first description, a new mode, scale or place).
    static void done(void* data, wl_output*) {
        auto* output = static_cast<WaylandConnection::Output*>(data);
        output->described = true;
        output->connection->refreshLayouts();
    }
    static void scale(void* data, wl_output*, int32_t factor) {
        static_cast<WaylandConnection::Output*>(data)->layout.scale = std::max(1, factor);
    }
    static void name(void* data, wl_output*, const char* text) {
        static_cast<WaylandConnection::Output*>(data)->layout.name = text ? text : "";
    }
    static void description(void*, wl_output*, const char*) {}

    static void logicalPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y) {
        auto* output = static_cast<WaylandConnection::Output*>(data);
        output->layout.x = x, output->layout.y = y;
    }
    static void logicalSize(void* data, zxdg_output_v1*, int32_t width, int32_t height) {
        auto* output = static_cast<WaylandConnection::Output*>(data);
        output->layout.logicalWidth = width, output->layout.logicalHeight = height;
        output->logicalGiven = true;
    }
    // Sent by xdg-output before version 3 only, after its own events.
    static void xdgDone(void* data, zxdg_output_v1*) {
        auto* output = static_cast<WaylandConnection::Output*>(data);
        if (output->described) output->connection->refreshLayouts();
    }
    static void xdgName(void* data, zxdg_output_v1*, const char* text) {
        auto* output = static_cast<WaylandConnection::Output*>(data);
        if (output->layout.name.empty() && text) output->layout.name = text;
    }
    static void xdgDescription(void*, zxdg_output_v1*, const char*) {}

    static void global(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
        auto* connection = static_cast<WaylandConnection*>(data);
        connection->globals_.push_back({name, interface, version});
        // An output plugged in while we run.
        if (connection->connected_ && std::string(interface) == wl_output_interface.name)
            connection->addOutput(name, version);
    }
    static void globalRemove(void* data, wl_registry*, uint32_t name) {
        auto* connection = static_cast<WaylandConnection*>(data);
        auto& globals = connection->globals_;
        globals.erase(std::remove_if(globals.begin(), globals.end(), [&](const auto& g) { return g.name == name; }),
                      globals.end());
        auto& outputs = connection->outputs_;
        const size_t before = outputs.size();
        outputs.erase(std::remove_if(outputs.begin(), outputs.end(),
                                     [&](const auto& o) { return o->globalName == name; }),
                      outputs.end());
        if (outputs.size() != before) connection->refreshLayouts();
    }
};

namespace {

const wl_output_listener kOutputListener = {WaylandListeners::geometry, WaylandListeners::mode,
                                            WaylandListeners::done,     WaylandListeners::scale,
                                            WaylandListeners::name,     WaylandListeners::description};
const zxdg_output_v1_listener kXdgOutputListener = {WaylandListeners::logicalPosition, WaylandListeners::logicalSize,
                                                    WaylandListeners::xdgDone, WaylandListeners::xdgName,
                                                    WaylandListeners::xdgDescription};
const wl_registry_listener kRegistryListener = {WaylandListeners::global, WaylandListeners::globalRemove};

// libwayland's own messages (a protocol error, a lost connection) would go to standard error; the caller
// says what went wrong in one line of its own.
void quietLog(const char*, va_list) {}

} // namespace

Result<std::unique_ptr<WaylandConnection>, WaylandRefusal> WaylandConnection::connect(std::chrono::milliseconds limit,
                                                                                      int wakeFd) {
    WaylandAnswer found = WaylandAnswer::Absent;
    const auto refused = [&found](std::string why) { return Failure(WaylandRefusal{std::move(why), found}); };
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name) return refused("WAYLAND_DISPLAY is not set");
    // libwayland would print its own complaint about a missing runtime folder; one line of ours says it.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (name[0] != '/' && (!runtime || runtime[0] != '/'))
        return refused(std::string("XDG_RUNTIME_DIR is not set, so the Wayland socket \"") + name + "\" cannot be found");
    wl_log_set_handler_client(quietLog);
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return refused(std::string("cannot connect to the Wayland compositor \"") + name + "\" (" + std::strerror(errno) + ")");
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    const auto deadline = std::chrono::steady_clock::now() + limit;
    connection->registry_ = wl_display_get_registry(display);
    wl_registry_add_listener(connection->registry_, &kRegistryListener, connection.get());
    // The globals, then the outputs' descriptions, then xdg-output's logical places.
    const auto answered = [&] {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() > 0 && connection->roundtrip(left, wakeFd)) return true;
        // Taken and never answered is a compositor that is slow; a closed connection is none.
        found = connection->woken_ ? WaylandAnswer::Stopped
                : connection->lost_ ? WaylandAnswer::Absent
                                    : WaylandAnswer::Silent;
        return false;
    };
    if (!answered()) return refused(std::string("the Wayland compositor \"") + name + "\" does not answer");
    connection->xdgOutputs_ = static_cast<zxdg_output_manager_v1*>(connection->bind(&zxdg_output_manager_v1_interface, 3));
    const std::vector<Global> globals = connection->globals_;
    for (const Global& global : globals)
        if (global.interface == wl_output_interface.name) connection->addOutput(global.name, global.version);
    if (!answered() || !answered())
        return refused(std::string("the Wayland compositor \"") + name + "\" does not describe its outputs");
    // Every output as described so far, done or not (a version 1 output sends no done).
    for (auto& output : connection->outputs_)
        output->described = true;
    connection->connected_ = true;
    connection->refreshLayouts();
    return connection;
}

void WaylandConnection::addOutput(uint32_t globalName, uint32_t version) {
    auto output = std::make_unique<Output>();
    output->globalName = globalName;
    output->connection = this;
    output->output = static_cast<wl_output*>(
        wl_registry_bind(registry_, globalName, &wl_output_interface, std::min<uint32_t>(version, 4)));
    wl_output_add_listener(output->output, &kOutputListener, output.get());
    if (xdgOutputs_) {
        output->xdgOutput = zxdg_output_manager_v1_get_xdg_output(xdgOutputs_, output->output);
        zxdg_output_v1_add_listener(output->xdgOutput, &kXdgOutputListener, output.get());
    }
    // Without done events, described at once: what it sent first is all it says.
    if (connected_ && version < 2) output->described = true;
    outputs_.push_back(std::move(output));
    if (connected_ && version < 2) refreshLayouts();
}

WaylandConnection::WaylandConnection(wl_display* display) : display_(display) {}

WaylandConnection::~WaylandConnection() {
    outputs_.clear();
    if (xdgOutputs_) zxdg_output_manager_v1_destroy(xdgOutputs_);
    if (registry_) wl_registry_destroy(registry_);
    wl_display_flush(display_);
    wl_display_disconnect(display_);
}

void WaylandConnection::refreshLayouts() {
    layouts_.clear();
    listed_.clear();
    for (const auto& output : outputs_) {
        if (!output->described) continue;
        layouts_.push_back(output->logicalGiven ? output->layout : withLogicalSize(output->layout));
        listed_.push_back(output.get());
    }
}

uint32_t WaylandConnection::globalVersion(const std::string& interface) const {
    for (const Global& global : globals_)
        if (global.interface == interface) return global.version;
    return 0;
}

void* WaylandConnection::bind(const wl_interface* interface, uint32_t version) {
    for (const Global& global : globals_)
        if (global.interface == interface->name)
            return wl_registry_bind(registry_, global.name, interface, std::min(global.version, version));
    return nullptr;
}

wl_output* WaylandConnection::output(size_t index) const {
    return index < listed_.size() ? listed_[index]->output : nullptr;
}

uint32_t WaylandConnection::outputId(size_t index) const {
    return index < listed_.size() ? listed_[index]->globalName : 0;
}

// One read with a timeout, the libwayland way for a program that waits on the display alone: events already
// queued first, then the socket. -1 when the connection is lost, 0 on the timeout, 1 otherwise.
int WaylandConnection::dispatchOnce(int timeoutMs, int wakeFd) {
    if (lost_) return -1;
    if (wl_display_dispatch_pending(display_) < 0) return lost_ = true, -1;
    while (wl_display_prepare_read(display_) != 0)
        if (wl_display_dispatch_pending(display_) < 0) return lost_ = true, -1;
    if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display_);
        return lost_ = true, -1;
    }
    pollfd pollers[] = {{wl_display_get_fd(display_), POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int ready = ::poll(pollers, wakeFd >= 0 ? 2 : 1, timeoutMs);
    if (ready <= 0 || pollers[0].revents == 0) {
        wl_display_cancel_read(display_);
        if (ready < 0 && errno != EINTR) return lost_ = true, -1;
        return ready > 0 && pollers[1].revents ? 2 : 0;
    }
    if (wl_display_read_events(display_) < 0) return lost_ = true, -1;
    if (wl_display_dispatch_pending(display_) < 0) return lost_ = true, -1;
    return 1;
}

bool WaylandConnection::dispatchUntil(std::chrono::steady_clock::time_point deadline,
                                      const std::function<bool()>& done, int wakeFd) {
    woken_ = false;
    for (;;) {
        if (done()) return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        const int read = dispatchOnce(static_cast<int>(left.count()), wakeFd);
        if (read < 0) return false;
        if (read == 2) return woken_ = true, false;
    }
}

bool WaylandConnection::dispatchFor(std::chrono::milliseconds timeout, int wakeFd) {
    return dispatchOnce(static_cast<int>(timeout.count()), wakeFd) >= 0;
}

namespace {
void syncDone(void* data, wl_callback* callback, uint32_t) {
    *static_cast<bool*>(data) = true;
    wl_callback_destroy(callback);
}
const wl_callback_listener kSyncListener = {syncDone};
} // namespace

bool WaylandConnection::roundtrip(std::chrono::milliseconds limit, int wakeFd) {
    auto answered = std::make_unique<bool>(false);
    wl_callback* callback = wl_display_sync(display_);
    wl_callback_add_listener(callback, &kSyncListener, answered.get());
    if (dispatchUntil(std::chrono::steady_clock::now() + limit, [&] { return *answered; }, wakeFd)) return true;
    // The callback may still come: it must not write to a flag that is gone.
    wl_callback_destroy(callback);
    return false;
}

std::string waylandSocketName() {
    const char* value = std::getenv("WAYLAND_DISPLAY");
    std::string name = value && *value ? value : "wayland-0";
    if (name.find('/') == std::string::npos) return name;
    // A path: every "/" becomes "_", so that two compositors at different paths get different names.
    std::replace(name.begin(), name.end(), '/', '_');
    return name;
}

} // namespace mirevo
