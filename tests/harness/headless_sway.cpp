#include "tests/harness/headless_sway.h"

#include <cstdio>
#include <filesystem>
#include <sstream>

#include <pwd.h>
#include <unistd.h>

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
    config << "xwayland disable\n";
    for (size_t i = 0; i < outputs_.size(); ++i) {
        const SwayOutput& o = outputs_[i];
        config << "output HEADLESS-" << i + 1 << " mode " << o.width << "x" << o.height << " position " << o.x
               << " " << o.y << " scale " << o.scale << " transform " << o.transform << " bg " << hex(o.colour)
               << " solid_color\n";
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
            if (x >= shot->width || y >= shot->height || colourDistance(shot->at(x, y), o.colour) > 8) return false;
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

std::string HeadlessSway::log() const {
    return sway_ ? sway_->errors() : std::string();
}

pid_t HeadlessSway::pid() const {
    return sway_ ? sway_->pid() : -1;
}

} // namespace mirevo::test
