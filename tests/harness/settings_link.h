#pragma once
// What the settings window's link opens: `program /c` on a private X server, a click on the link, and the
// address the desktop's opener (xdg-open, stood in for by a script that writes it down) was handed.
#include <sys/stat.h>

#include <array>
#include <chrono>
#include <optional>
#include <string>

#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"

namespace mirevo::test {

// The address, or the reason none came.
struct LinkResult {
    std::string address;
    std::string failure;
};

inline LinkResult addressTheLinkOpens(const std::string& program) {
    using namespace std::chrono_literals;
    Xvfb server(1024, 768);
    XClient x(server.display());
    TempDir home, opener;
    if (!server.ok() || !x.ok() || home.path().empty() || opener.path().empty()) return {"", "no X server"};
    const std::string log = opener / "opened";
    if (!writeFile(opener / "xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > '" + log + "'\n") ||
        ::chmod((opener / "xdg-open").c_str(), 0755) != 0)
        return {"", "no stand-in for xdg-open"};
    ChildProcess saver({program, "/c"}, {{"DISPLAY", server.display()},
                                         {"HOME", home.path()},
                                         {"XDG_RUNTIME_DIR", home.path()},
                                         {"XDG_CACHE_HOME", home / "cache"},
                                         {"XDG_CONFIG_HOME", home / "config"},
                                         {"PATH", opener.path() + ":/usr/bin:/bin"}});
    // Painted once the top-left corner shows the gradient's navy.
    unsigned long window = 0;
    pollUntil(10s, [&] {
        window = x.findWindow("<Mirevo>");
        const auto shot = window && x.mapped(window) ? x.screenshot(window) : std::nullopt;
        return shot && shot->at(0, 0) == std::array<uint8_t, 3>{0, 0, 30};
    });
    const auto at = window ? x.geometry(window) : std::nullopt;
    if (!at) return {"", "the settings window did not show: " + saver.errors()};
    x.click(at->x + 12 + 8, at->y + 208 + 6); // the link's first letters
    std::string opened;
    pollUntil(10s, [&] { return !(opened = readFile(log)).empty(); });
    saver.terminate();
    if (opened.empty()) return {"", "the link opened nothing: " + saver.errors()};
    return {opened, ""};
}

} // namespace mirevo::test
