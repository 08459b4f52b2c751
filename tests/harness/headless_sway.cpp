#include "tests/harness/headless_sway.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include <glob.h>
#include <linux/input-event-codes.h>
#include <pwd.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "virtual-keyboard-unstable-v1-client-protocol.h"
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

// The desktop's keyboard: a client of sway's own with a virtual keyboard on its seat, carrying the keymap
// xkbcommon compiles for evdev's rules and the US layout (as a real keyboard's is), made once and kept, so
// that every client sees one keyboard throughout, as on a real desktop.
struct HeadlessSway::Keyboard {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    zwp_virtual_keyboard_manager_v1* manager = nullptr;
    zwp_virtual_keyboard_v1* keyboard = nullptr;
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;

    explicit Keyboard(const std::string& socket);
    ~Keyboard();
    bool ok() const { return keyboard != nullptr; }
    // The evdev code of the key that gives this symbol without modifiers; 0 when none does.
    uint32_t evdevCode(const std::string& name) const;
    bool press(uint32_t code);
};

namespace {

void keyboardGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* keyboard = static_cast<HeadlessSway::Keyboard*>(data);
    const std::string which = interface;
    if (which == wl_seat_interface.name && !keyboard->seat)
        keyboard->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (which == zwp_virtual_keyboard_manager_v1_interface.name)
        keyboard->manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
}
void keyboardGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kKeyboardRegistry = {keyboardGlobal, keyboardGlobalRemove};

uint32_t milliseconds() {
    return uint32_t(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

} // namespace

HeadlessSway::Keyboard::Keyboard(const std::string& socket) {
    display = wl_display_connect(socket.c_str());
    if (!display) return;
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kKeyboardRegistry, this);
    if (wl_display_roundtrip(display) < 0 || !seat || !manager) return;
    xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
    keymap = xkb ? xkb_keymap_new_from_names(xkb, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
    if (!keymap) return;
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    if (!text) return;
    const size_t size = std::strlen(text) + 1;
    const int fd = memfd_create("mirevo-test-keymap", MFD_CLOEXEC);
    const bool written = fd >= 0 && ::write(fd, text, size) == ssize_t(size);
    std::free(text);
    if (written) {
        auto* made = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, seat);
        zwp_virtual_keyboard_v1_keymap(made, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(size));
        if (wl_display_roundtrip(display) >= 0) keyboard = made;
    }
    if (fd >= 0) ::close(fd);
}

HeadlessSway::Keyboard::~Keyboard() {
    if (keyboard) zwp_virtual_keyboard_v1_destroy(keyboard);
    if (manager) wl_proxy_destroy(reinterpret_cast<wl_proxy*>(manager));
    if (seat) wl_seat_destroy(seat);
    if (registry) wl_registry_destroy(registry);
    if (display) {
        wl_display_roundtrip(display);
        wl_display_disconnect(display);
    }
    if (keymap) xkb_keymap_unref(keymap);
    if (xkb) xkb_context_unref(xkb);
}

uint32_t HeadlessSway::Keyboard::evdevCode(const std::string& name) const {
    const xkb_keysym_t wanted = xkb_keysym_from_name(name.c_str(), XKB_KEYSYM_NO_FLAGS);
    if (wanted == XKB_KEY_NoSymbol || !keymap) return 0;
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= xkb_keymap_max_keycode(keymap); ++code) {
        const xkb_keysym_t* symbols = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &symbols);
        // xkb's key codes are evdev's plus 8.
        if (count == 1 && symbols[0] == wanted && code > 8) return code - 8;
    }
    return 0;
}

bool HeadlessSway::Keyboard::press(uint32_t code) {
    // Each change answered before the next, as a hand's would be.
    zwp_virtual_keyboard_v1_key(keyboard, milliseconds(), code, WL_KEYBOARD_KEY_STATE_PRESSED);
    if (wl_display_roundtrip(display) < 0) return false;
    zwp_virtual_keyboard_v1_key(keyboard, milliseconds(), code, WL_KEYBOARD_KEY_STATE_RELEASED);
    return wl_display_roundtrip(display) >= 0;
}

std::vector<SwayOutput> twoOutputs() {
    return {{800, 600, 0, 0, {255, 0, 0}}, {640, 480, 800, 0, {0, 255, 0}}};
}

std::string HeadlessSway::unavailableReason() {
    for (const char* program : {"/usr/bin/sway", "/usr/bin/swaybg", "/usr/bin/grim"})
        if (access(program, X_OK) != 0)
            return std::string(program) + " is not installed (apt-get install sway swaybg grim)";
    if (!swayUser()) return "running as root without a user nobody and setpriv to run sway as";
    return {};
}

HeadlessSway::HeadlessSway(std::vector<SwayOutput> outputs) : outputs_(std::move(outputs)) {
    start(nullptr);
}

HeadlessSway::HeadlessSway(std::vector<SwayOutput> outputs, const HeadlessSway& host)
    : outputs_(std::move(outputs)), host_(&host) {
    start(host_);
}

std::string HeadlessSway::outputName(size_t i) const {
    return (host_ ? "WL-" : "HEADLESS-") + std::to_string(i + 1);
}

bool HeadlessSway::unplug(const std::string& output) const {
    // wlroots titles its outputs' windows so.
    return host_ && host_->command("[title=\"^wlroots - " + output + "$\"] kill");
}

void HeadlessSway::start(const HeadlessSway* host) {
    const auto user = swayUser();
    if (!user || folder_.path().empty() || !unavailableReason().empty()) return;
    if (host && (!host->ok() || !host->command("for_window [app_id=\"^wlroots$\"] floating enable"))) return;
    std::ostringstream config;
    // No borders or title bars: a window moved to (x, y) has its content there.
    config << "xwayland disable\ndefault_border none\ndefault_floating_border none\nfocus_follows_mouse no\n";
    for (size_t i = 0; i < outputs_.size(); ++i) {
        const SwayOutput& o = outputs_[i];
        config << "output " << outputName(i) << " mode " << o.width << "x" << o.height << " position " << o.x
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
                  {"WLR_BACKENDS", host ? "wayland" : "headless"},
                  {"WLR_RENDERER", "pixman"},
                  {"WLR_HEADLESS_OUTPUTS", std::to_string(outputs_.size())},
                  {"WLR_WL_OUTPUTS", std::to_string(outputs_.size())},
                  {"WAYLAND_DISPLAY", host ? std::optional<std::string>(host->socket()) : std::nullopt},
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
    if (!ready_) return;
    keyboard_ = std::make_unique<Keyboard>(socket_);
    ready_ = keyboard_->ok();
}

HeadlessSway::~HeadlessSway() {
    keyboard_.reset();
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
    if (!keyboard_ || !keyboard_->ok()) return false;
    const uint32_t code = keyboard_->evdevCode(key);
    return code != 0 && keyboard_->press(code);
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
