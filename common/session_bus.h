#pragma once
// Which D-Bus session bus a program of ours uses: the one its environment names (DBUS_SESSION_BUS_ADDRESS, or
// the user's bus socket at $XDG_RUNTIME_DIR/bus), and never one started for it. Without either, libdbus and
// GLib would run dbus-launch where Debian's dbus-x11 is installed, and a bus daemon of its own would outlive
// the program (leaving a dbus-1 folder in the runtime folder); Qt asks for the bus as soon as it starts
// (accessibility, the desktop's menu and tray services), SDL for the screen saver and the input method.
#include <cstdlib>
#include <functional>
#include <string>

#include <sys/stat.h>

namespace mirevo {

// The address libdbus and GLib both refuse at once, which the programs of a session without a bus inherit.
inline constexpr const char* kNoSessionBus = "disabled:";

// A path as a D-Bus address value: bytes other than [-0-9A-Za-z_/.\*] as %XX.
inline std::string dbusAddressValue(const std::string& path) {
    static const char* const hex = "0123456789abcdef";
    std::string out;
    for (unsigned char c : path) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           c == '-' || c == '_' || c == '/' || c == '.' || c == '\\' || c == '*';
        if (plain)
            out += char(c);
        else
            out += std::string("%") + hex[c >> 4] + hex[c & 15];
    }
    return out;
}

// The bus to use from the values of DBUS_SESSION_BUS_ADDRESS and XDG_RUNTIME_DIR (empty when unset); empty
// when there is none. kNoSessionBus means none.
inline std::string sessionBusAddress(const std::string& environmentAddress, const std::string& runtimeFolder,
                                     const std::function<bool(const std::string&)>& isSocket) {
    if (environmentAddress == kNoSessionBus) return {};
    if (!environmentAddress.empty()) return environmentAddress;
    if (runtimeFolder.empty() || runtimeFolder[0] != '/') return {};
    const std::string socket = (runtimeFolder == "/" ? "" : runtimeFolder) + "/bus";
    return isSocket(socket) ? "unix:path=" + dbusAddressValue(socket) : std::string();
}

inline bool isSocketFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

// This process's session bus, as sessionBusAddress finds it; empty for none.
inline std::string environmentSessionBus() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return sessionBusAddress(address ? address : "", runtime ? runtime : "", isSocketFile);
}

// Called first thing in main(): with no bus in the environment, puts kNoSessionBus there, for this process's
// libraries and the programs it starts.
inline void forbidSessionBusAutolaunch() {
    if (environmentSessionBus().empty()) ::setenv("DBUS_SESSION_BUS_ADDRESS", kNoSessionBus, 1);
}

} // namespace mirevo
