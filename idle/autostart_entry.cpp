#include "idle/autostart_entry.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "common/user_folders.h"
#include "common/posix/atomic_file.h"

namespace mirevo {
namespace {

bool hasControl(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; });
}

// Backslashes of a desktop-entry string value are themselves escaped.
std::string stringValue(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

} // namespace

std::string autostartEntryPath(const std::string& xdgConfigHome, const std::string& home) {
    const std::string config = userBaseFolder(xdgConfigHome, home, ".config", nullptr);
    return config.empty() ? config : inFolder(config, "autostart/mirevo-idle.desktop");
}

std::string execArgument(const std::string& argument) {
    static const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string quoted;
    bool needsQuotes = argument.empty();
    for (char c : argument) {
        if (reserved.find(c) != std::string::npos) needsQuotes = true;
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
        if (c == '%') quoted += '%'; // a literal percent sign, not a field code
    }
    return stringValue(needsQuotes ? '"' + quoted + '"' : quoted);
}

std::optional<std::string> autostartEntryText(const std::string& program,
                                              const std::vector<std::string>& arguments) {
    if (hasControl(program)) return std::nullopt;
    std::string exec = execArgument(program);
    for (const std::string& argument : arguments)
        exec += ' ' + execArgument(argument);
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Mirevo idle watch\n"
           "Name[ja]=Mirevo スクリーンセーバーの自動起動\n"
           "Comment=Starts the Mirevo screen saver when the computer is left idle\n"
           "Exec=" +
           exec +
           "\n"
           "TryExec=" +
           stringValue(program) +
           "\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "X-GNOME-Autostart-enabled=true\n";
}

AutostartResult setAutostart(bool on, const std::string& entryPath, const std::string& program,
                             const std::vector<std::string>& arguments) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (!on) {
        if (!fs::remove(entryPath, error) && !error)
            return {true, "mirevo-idle: autostart was already off (there is no " + entryPath + ")"};
        if (error) return {false, "mirevo-idle: cannot remove " + entryPath + ": " + error.message()};
        return {true, "mirevo-idle: autostart is off (removed " + entryPath + ")"};
    }
    const auto text = autostartEntryText(program, arguments);
    if (!text)
        return {false, "mirevo-idle: the program's path has a line break or a control character; no login "
                       "entry can start it"};
    fs::create_directories(fs::path(entryPath).parent_path(), error);
    if (error)
        return {false, "mirevo-idle: cannot make the folder for " + entryPath + ": " + error.message()};
    const WriteResult written =
        writeFileAtomically(entryPath, reinterpret_cast<const uint8_t*>(text->data()), text->size());
    if (!written) return {false, "mirevo-idle: cannot write " + entryPath + ": " + written.reason().why};
    return {true, "mirevo-idle: starts with your next login (wrote " + entryPath +
                      "); run mirevo-idle now to start it in this session"};
}

} // namespace mirevo
