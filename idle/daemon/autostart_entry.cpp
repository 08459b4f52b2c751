#include "idle/daemon/autostart_entry.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/user_folders.h"
#include "common/posix/atomic_file.h"
#include "common/posix/unique_fd.h"

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

// Far more than an entry of ours ever holds.
constexpr size_t kMaxEntryBytes = 64 * 1024;

enum class Entry { Nothing, Ours, Theirs };

struct Found {
    Entry entry;
    std::string why = {}; // for an entry taken as theirs because it could not be read
};

// What is at the entry's place. A link, a FIFO, a folder or a large file is not ours, and reading one never
// waits for a writer.
Found foundEntry(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) return {Entry::Nothing};
        return {Entry::Theirs, std::strerror(errno)};
    }
    if (!S_ISREG(st.st_mode) || size_t(st.st_size) > kMaxEntryBytes) return {Entry::Theirs};
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    if (!fd.valid()) return {Entry::Theirs, std::strerror(errno)};
    std::string text(kMaxEntryBytes + 1, '\0');
    size_t total = 0;
    for (ssize_t got; total < text.size(); total += size_t(got)) {
        got = ::read(fd.get(), text.data() + total, text.size() - total);
        if (got < 0 && errno == EINTR)
            got = 0;
        else if (got <= 0)
            break;
    }
    text.resize(total);
    return {isOwnAutostartEntry(text) ? Entry::Ours : Entry::Theirs};
}

std::string notOurs(const std::string& path, const std::string& why) {
    return path + " was not written by mirevo-idle" +
           (why.empty() ? "" : " (" + why + ")") + "; it is left as it is";
}

} // namespace

bool isOwnAutostartEntry(const std::string& text) {
    const std::string line = kAutostartMarker;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) {
        const bool starts = at == 0 || text[at - 1] == '\n';
        const size_t end = at + line.size();
        if (starts && (end == text.size() || text[end] == '\n' || text[end] == '\r')) return true;
    }
    return false;
}

std::string autostartEntryPath(const std::string& xdgConfigHome, const std::string& home,
                               const std::function<std::string()>& databaseHome) {
    const std::string config = userBaseFolder(xdgConfigHome, home, ".config", databaseHome);
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
           "X-GNOME-Autostart-enabled=true\n" +
           kAutostartMarker + "\n";
}

AutostartResult setAutostart(bool on, const std::string& entryPath, const std::string& program,
                             const std::vector<std::string>& arguments) {
    namespace fs = std::filesystem;
    std::error_code error;
    const Found found = foundEntry(entryPath);
    if (found.entry == Entry::Theirs)
        return {false, notOurs(entryPath, found.why) + (on ? "; remove it to let mirevo-idle write its own"
                                                     : ", and it may still start a program at login")};
    if (!on) {
        if (found.entry == Entry::Nothing)
            return {true, "autostart was already off (there is no " + entryPath + ")"};
        if (!fs::remove(entryPath, error) || error)
            return {false, "cannot remove " + entryPath + ": " + error.message()};
        return {true, "autostart is off (removed " + entryPath + ")"};
    }
    const auto text = autostartEntryText(program, arguments);
    if (!text)
        return {false, "the program's path has a line break or a control character; no login "
                       "entry can start it"};
    fs::create_directories(fs::path(entryPath).parent_path(), error);
    if (error)
        return {false, "cannot make the folder for " + entryPath + ": " + error.message()};
    const WriteResult written =
        writeFileAtomically(entryPath, reinterpret_cast<const uint8_t*>(text->data()), text->size());
    if (!written) return {false, "cannot write " + entryPath + ": " + written.reason().why};
    return {true, "starts with your next login (wrote " + entryPath +
                      "); run mirevo-idle now to start it in this session"};
}

} // namespace mirevo
