#pragma once
// A private Wayland desktop for one test: sway on its headless backend (software rendering, no XWayland),
// with the outputs the test names, each showing a known solid colour. Sway refuses to run as root, so under
// root it runs as the user nobody with a runtime folder of that user's (mode 0700); the test's own programs
// reach it through the socket's path in WAYLAND_DISPLAY, whoever they run as. Its seat has a keyboard from
// the start (a virtual one of the harness's). Stopped when this object goes.
#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/harness/child_process.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/x_client.h"

namespace mirevo::test {

struct SwayOutput {
    int width = 0, height = 0; // the mode
    int x = 0, y = 0;          // logical place
    std::array<uint8_t, 3> colour{};
    std::string transform = "normal"; // sway's words: normal, 90, 180, 270, flipped, ...
    int scale = 1;
    std::string picture = {}; // a background picture (stretched over the output) instead of the colour; the
                              // file and its folders must be readable by the user sway runs as
};

// Two outputs of different sizes side by side: 800 x 600 red at 0,0 and 640 x 480 green at 800,0.
std::vector<SwayOutput> twoOutputs();

class HeadlessSway {
public:
    explicit HeadlessSway(std::vector<SwayOutput> outputs = twoOutputs());
    // A sway nested in host's desktop: each of its outputs ("WL-1", "WL-2", ...) a floating window of host's
    // at the output's size, so that closing that window unplugs the output for real (headless outputs cannot
    // be unplugged). host must outlive it.
    HeadlessSway(std::vector<SwayOutput> outputs, const HeadlessSway& host);
    ~HeadlessSway();
    HeadlessSway(const HeadlessSway&) = delete;
    HeadlessSway& operator=(const HeadlessSway&) = delete;

    // Why sway cannot run here (not installed, no unprivileged user); empty when it can.
    static std::string unavailableReason();

    // Up, its outputs configured and showing their colours.
    bool ok() const { return ready_; }
    const std::vector<SwayOutput>& outputs() const { return outputs_; }
    // The compositor's socket by its path: what WAYLAND_DISPLAY names for the test's programs.
    const std::string& socket() const { return socket_; }
    // The environment of a client of this desktop: WAYLAND_DISPLAY, no DISPLAY, the given private runtime
    // folder, software GL.
    std::map<std::string, std::optional<std::string>> clientEnvironment(const std::string& runtimeFolder) const;

    // The whole desktop (or one output, "HEADLESS-1", ...) as grim sees it, top row first.
    std::optional<Image> screenshot(const std::string& output = {}) const;
    // Presses and releases a key, by its key symbol's name ("Escape", "a", "Return": a key of the US layout
    // without Shift), on the desktop's virtual keyboard: one made when sway is up and kept for its life,
    // with the standard evdev keymap, as a real keyboard brings. True once sway has taken both.
    bool pressKey(const std::string& key) const;
    // Moves a virtual pointer to (x, y) of the desktop's logical space and clicks its left button there.
    bool click(int x, int y) const;
    // One command to sway through its IPC socket (swaymsg); its exit code is 0 when sway did it.
    bool command(const std::string& text) const;
    // The name sway gives its output i (from 0): "HEADLESS-1", or "WL-1" nested.
    std::string outputName(size_t i) const;
    // Unplugs an output of a nested sway ("WL-2"): its window in the host's desktop is closed.
    bool unplug(const std::string& output) const;
    std::string log() const;
    pid_t pid() const;

    struct Keyboard;

private:
    void start(const HeadlessSway* host);

    std::vector<SwayOutput> outputs_;
    const HeadlessSway* host_ = nullptr;
    TempDir folder_; // sway's runtime folder, its config and log
    std::string socket_;
    std::unique_ptr<ChildProcess> sway_;
    std::unique_ptr<Keyboard> keyboard_;
    bool ready_ = false;
};

} // namespace mirevo::test
