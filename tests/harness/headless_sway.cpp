#include "tests/harness/headless_sway.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <thread>

#include <glob.h>
#include <linux/input-event-codes.h>
#include <pwd.h>
#include <unistd.h>
#include <wayland-client.h>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include "tests/harness/poll.h"

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;

struct User {
    uid_t uid;
    gid_t gid;
};

// Who sway runs as: this user when it is not root, else nobody (through setpriv).
std::optional<User> swayUser() {
    if (geteuid() != 0) return User{geteuid(), getegid()};
    const passwd* nobody = getpwnam("nobody");
    if (!nobody || access("/usr/bin/setpriv", X_OK) != 0) return std::nullopt;
    return User{nobody->pw_uid, nobody->pw_gid};
}

std::string hex(std::array<uint8_t, 3> c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c[0], c[1], c[2]);
    return text;
}

// A binary PPM (P6, maxval 255), as grim writes it.
std::optional<Image> readPpm(const std::string& bytes) {
    std::istringstream in(bytes);
    std::string magic;
    int width = 0, height = 0, maxval = 0;
    in >> magic >> width >> height >> maxval;
    if (magic != "P6" || width <= 0 || height <= 0 || maxval != 255) return std::nullopt;
    in.get();
    Image image{width, height, std::vector<uint8_t>(size_t(width) * size_t(height) * 3)};
    in.read(reinterpret_cast<char*>(image.rgb.data()), std::streamsize(image.rgb.size()));
    if (in.gcount() != std::streamsize(image.rgb.size())) return std::nullopt;
    return image;
}

} // namespace

std::vector<SwayOutput> twoOutputs() {
    return {{800, 600, 0, 0, {255, 0, 0}}, {640, 480, 800, 0, {0, 255, 0}}};
}

std::string HeadlessSway::unavailableReason() {
    for (const char* program : {"/usr/bin/sway", "/usr/bin/swaybg", "/usr/bin/grim", "/usr/bin/wtype"})
        if (access(program, X_OK) != 0)
            return std::string(program) + " is not installed (apt-get install sway swaybg grim wtype)";
    if (!swayUser()) return "running as root without a user nobody and setpriv to run sway as";
    return {};
}

HeadlessSway::HeadlessSway(std::vector<SwayOutput> outputs) : outputs_(std::move(outputs)) {
    const auto user = swayUser();
    if (!user || folder_.path().empty() || !unavailableReason().empty()) return;
    std::ostringstream config;
    // No borders or title bars: a window moved to (x, y) has its content there.
    config << "xwayland disable\ndefault_border none\ndefault_floating_border none\nfocus_follows_mouse no\n";
    for (size_t i = 0; i < outputs_.size(); ++i) {
        const SwayOutput& o = outputs_[i];
        config << "output HEADLESS-" << i + 1 << " mode " << o.width << "x" << o.height << " position " << o.x
               << " " << o.y << " scale " << o.scale << " transform " << o.transform << " bg "
               << (o.picture.empty() ? hex(o.colour) + " solid_color" : o.picture + " stretch") << "\n";
    }
    if (!writeFile(folder_ / "config", config.str())) return;
    for (const char* name : {"", "/config"})
        if (chown((folder_.path() + name).c_str(), user->uid, user->gid) != 0) return;
    socket_ = folder_ / "wayland-1";

    std::vector<std::string> argv;
    if (geteuid() == 0)
        argv = {"/usr/bin/setpriv", "--reuid=" + std::to_string(user->uid), "--regid=" + std::to_string(user->gid),
                "--clear-groups"};
    argv.insert(argv.end(), {"/usr/bin/sway", "--config", folder_ / "config"});
    sway_ = std::make_unique<ChildProcess>(
        argv, std::map<std::string, std::optional<std::string>>{
                  {"HOME", folder_.path()},
                  {"XDG_RUNTIME_DIR", folder_.path()},
                  {"XDG_CONFIG_HOME", folder_.path()},
                  {"WLR_BACKENDS", "headless"},
                  {"WLR_RENDERER", "pixman"},
                  {"WLR_HEADLESS_OUTPUTS", std::to_string(outputs_.size())},
                  {"WAYLAND_DISPLAY", std::nullopt},
                  {"DISPLAY", std::nullopt},
                  {"SWAYSOCK", std::nullopt}});
    // Ready once every output shows its own colour (swaybg has drawn) in the middle of its place.
    ready_ = pollUntil(30s, [&] {
        if (!sway_->running()) return true;
        if (access(socket_.c_str(), F_OK) != 0) return false;
        const auto shot = screenshot();
        if (!shot) return false;
        for (const SwayOutput& o : outputs_) {
            const bool turned = o.transform.find("90") != std::string::npos || o.transform.find("270") != std::string::npos;
            const int w = (turned ? o.height : o.width) / o.scale, h = (turned ? o.width : o.height) / o.scale;
            const int x = o.x + w / 2, y = o.y + h / 2;
            if (x >= shot->width || y >= shot->height) return false;
            const auto shown = shot->at(x, y);
            if (o.picture.empty() ? colourDistance(shown, o.colour) > 8 : colourDistance(shown, {0, 0, 0}) <= 8)
                return false;
        }
        return true;
    }) && sway_->running();
}

HeadlessSway::~HeadlessSway() {
    if (sway_) sway_->terminate();
}

std::map<std::string, std::optional<std::string>> HeadlessSway::clientEnvironment(const std::string& runtimeFolder) const {
    return {{"WAYLAND_DISPLAY", socket_},
            {"DISPLAY", std::nullopt},
            {"XDG_RUNTIME_DIR", runtimeFolder},
            {"XDG_CACHE_HOME", runtimeFolder + "/cache"},
            {"XDG_CONFIG_HOME", runtimeFolder + "/config"},
            {"MIREVO_PLATFORM", std::nullopt},
            {"LIBGL_ALWAYS_SOFTWARE", "1"}};
}

std::optional<Image> HeadlessSway::screenshot(const std::string& output) const {
    std::vector<std::string> argv{"/usr/bin/grim", "-t", "ppm"};
    if (!output.empty()) argv.insert(argv.end(), {"-o", output});
    argv.push_back("-");
    ChildProcess grim(argv, {{"WAYLAND_DISPLAY", socket_}, {"DISPLAY", std::nullopt}});
    if (grim.waitExit(20s) != 0) return std::nullopt;
    return readPpm(grim.output());
}

bool HeadlessSway::pressKey(const std::string& key) const {
    ChildProcess wtype({"/usr/bin/wtype", "-k", key}, {{"WAYLAND_DISPLAY", socket_}, {"DISPLAY", std::nullopt}});
    return wtype.waitExit(20s) == 0;
}

namespace {

struct PointerGlobals {
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
};
void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    if (std::string(interface) == zwlr_virtual_pointer_manager_v1_interface.name)
        static_cast<PointerGlobals*>(data)->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}
void onGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kPointerRegistry = {onGlobal, onGlobalRemove};

} // namespace

bool HeadlessSway::click(int x, int y) const {
    int width = 0, height = 0;
    for (const SwayOutput& o : outputs_) {
        const bool turned = o.transform.find("90") != std::string::npos || o.transform.find("270") != std::string::npos;
        width = std::max(width, o.x + (turned ? o.height : o.width) / o.scale);
        height = std::max(height, o.y + (turned ? o.width : o.height) / o.scale);
    }
    wl_display* display = wl_display_connect(socket_.c_str());
    if (!display) return false;
    PointerGlobals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kPointerRegistry, &globals);
    bool done = wl_display_roundtrip(display) >= 0 && globals.manager;
    if (done) {
        zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.manager, nullptr);
        // Each step seen on its own, as a hand would make them: the move (the window learns the pointer is
        // in), the press, the release.
        const auto now = [] {
            return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now().time_since_epoch())
                                .count());
        };
        const auto step = [&] {
            zwlr_virtual_pointer_v1_frame(pointer);
            done = done && wl_display_roundtrip(display) >= 0;
            std::this_thread::sleep_for(50ms);
        };
        zwlr_virtual_pointer_v1_motion_absolute(pointer, now(), uint32_t(x), uint32_t(y), uint32_t(width), uint32_t(height));
        step();
        zwlr_virtual_pointer_v1_button(pointer, now(), BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
        step();
        zwlr_virtual_pointer_v1_button(pointer, now(), BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
        step();
        zwlr_virtual_pointer_v1_destroy(pointer);
        zwlr_virtual_pointer_manager_v1_destroy(globals.manager);
    }
    wl_registry_destroy(registry);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return done;
}

bool HeadlessSway::command(const std::string& text) const {
    glob_t found{};
    const std::string pattern = folder_ / "sway-ipc.*.sock";
    const bool any = ::glob(pattern.c_str(), 0, nullptr, &found) == 0 && found.gl_pathc > 0;
    const std::string socket = any ? found.gl_pathv[0] : "";
    globfree(&found);
    if (socket.empty()) return false;
    ChildProcess swaymsg({"/usr/bin/swaymsg", "-s", socket, text}, {{"DISPLAY", std::nullopt}});
    return swaymsg.waitExit(20s) == 0;
}

std::string HeadlessSway::log() const {
    return sway_ ? sway_->errors() : std::string();
}

pid_t HeadlessSway::pid() const {
    return sway_ ? sway_->pid() : -1;
}

} // namespace mirevo::test
