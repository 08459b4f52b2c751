#include "tests/harness/headless_desktops.h"

#include <chrono>
#include <filesystem>

#include <unistd.h>

#include "tests/harness/poll.h"
#include "tests/harness/wayland_roundtrip.h"

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;

const char* const kKWin = "/usr/bin/kwin_wayland";
const char* const kMutter = "/usr/bin/mutter";

} // namespace

std::string HeadlessDesktop::unavailableReason(Desktop desktop) {
    if (desktop == Desktop::KWin)
        return access(kKWin, R_OK | X_OK) == 0
                   ? ""
                   : "kwin_wayland is not installed (apt-get install kwin-wayland)";
    return access(kMutter, X_OK) == 0 ? "" : "mutter is not installed (apt-get install mutter)";
}

HeadlessDesktop::HeadlessDesktop(Desktop desktop, DesktopOptions options)
    : desktop_(desktop), options_(std::move(options)) {
    if (folder_.path().empty()) {
        problem_ = "no runtime folder";
        return;
    }
    if (const std::string why = unavailableReason(desktop); !why.empty()) {
        problem_ = why;
        return;
    }
    const std::string size = std::to_string(options_.width) + "x" + std::to_string(options_.height);
    std::vector<std::string> argv;
    if (desktop == Desktop::KWin) {
        // Debian's kwin_wayland carries a file capability, which a container without it in its bounding set
        // refuses to exec: a copy has none.
        const std::string kwin = folder_ / "kwin_wayland";
        std::error_code error;
        if (!std::filesystem::copy_file(kKWin, kwin, error)) {
            problem_ = "could not copy " + std::string(kKWin) + ": " + error.message();
            return;
        }
        argv = {kwin,       "--virtual",
                "--width",  std::to_string(options_.width),
                "--height", std::to_string(options_.height),
                "--socket", options_.socketName};
    } else {
        argv = {kMutter,
                "--headless",
                "--wayland",
                "--no-x11",
                "--virtual-monitor",
                size,
                "--wayland-display=" + options_.socketName};
    }
    argv.insert(argv.end(), options_.flags.begin(), options_.flags.end());

    std::map<std::string, std::optional<std::string>> env{
        {"XDG_RUNTIME_DIR", folder_.path()},
        {"HOME", folder_.path()},
        {"DBUS_SESSION_BUS_ADDRESS", options_.bus.empty() ? std::nullopt : std::optional(options_.bus)},
        {"DISPLAY", std::nullopt},
        {"WAYLAND_DISPLAY", std::nullopt},
        {"LIBGL_ALWAYS_SOFTWARE", "1"}};
    for (const auto& [name, value] : options_.environment)
        env[name] = value;
    compositor_ = std::make_unique<ChildProcess>(argv, env);
    // Up once a client is answered (the socket is there a moment before).
    const std::string path = socket();
    ready_ = pollUntil(30s,
                       [&] {
                           if (!compositor_->running()) return true;
                           return access(path.c_str(), F_OK) == 0 && compositorAnswers(path, 10s);
                       }) &&
             compositor_->running();
}

HeadlessDesktop::~HeadlessDesktop() {
    if (compositor_) compositor_->terminate();
}

std::string HeadlessDesktop::notRunningReason() const {
    return std::string(desktop_ == Desktop::KWin ? "kwin_wayland --virtual" : "mutter --headless") +
           " does not run here: " + errors();
}

bool HeadlessDesktop::running() {
    return compositor_ && compositor_->running();
}

std::string HeadlessDesktop::errors() const {
    return compositor_ ? compositor_->errors() : problem_;
}

} // namespace mirevo::test
