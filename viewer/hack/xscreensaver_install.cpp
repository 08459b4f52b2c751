#include "viewer/hack/xscreensaver_install.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "common/log.h"
#include "common/posix/atomic_file.h"
#include "common/posix/paths.h"
#include "viewer/hack/xscreensaver_file.h"
#include "viewer/hack/xscreensaver_read.h"

namespace mirevo::viewer {

namespace {

constexpr const char* kHackName = "mirevo-hack";
// Where Debian's xscreensaver runs its hacks from: a hack there is named without its folder.
constexpr const char* kSystemHackFolder = "/usr/libexec/xscreensaver";

bool isExecutable(const std::string& path) {
    return access(path.c_str(), X_OK) == 0;
}

std::string lastComponent(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// The command xscreensaver is to run: the bare name where it finds it in its own folder, else the installed
// link by its full path, else the hack beside this program (a build folder, a copy), else this very program.
std::string hackCommand() {
    const std::string folder = thisProgramFolder();
    const std::string installedFolder = folder + "/../../libexec/xscreensaver";
    char resolved[PATH_MAX], system[PATH_MAX], linkFolder[PATH_MAX];
    const std::string installed = installedFolder + "/" + kHackName;
    if (isExecutable(installed) && realpath(installed.c_str(), resolved)) {
        const std::string systemHack = std::string(kSystemHackFolder) + "/" + kHackName;
        if (realpath(systemHack.c_str(), system) && std::string(system) == resolved) return kHackName;
        // The link itself, not its target, so that the settings find the hack by its name.
        if (realpath(installedFolder.c_str(), linkFolder)) return std::string(linkFolder) + "/" + kHackName;
    }
    const std::string beside = programFilePath(folder, kHackName);
    if (isExecutable(beside)) return beside;
    return thisProgramPath();
}

} // namespace

int editXscreensaverPrograms(bool add) {
    std::string path = userXscreensaverFile();
    if (path.empty()) {
        logError("no home folder to find .xscreensaver in");
        return 1;
    }
    // A link (a managed dotfile) is edited where it points.
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved)) path = resolved;
    const auto file = readXscreensaverFile(path, "it is left as it is");
    // Anything but a plain file counts as no file, once its line has said why.
    if (!file && file.reason() != FileReadRefusal::Missing) return add ? 1 : 0;
    if (!file) {
        if (!add) {
            std::printf("%s: no such file, so Mirevo is not in xscreensaver's list\n", path.c_str());
            return 0;
        }
        logError(path + " not found; xscreensaver makes it when its settings are first saved "
                        "(run xscreensaver-settings once), then run this again");
        return 1;
    }
    const std::string& text = file->bytes;
    ProgramsEditResult edit{ProgramsEdit::NotThere, text};
    if (add) {
        // Listed already by either name (an entry for a build folder's viewer counts too).
        if (removeHackFromPrograms(text, lastComponent(thisProgramPath())).outcome == ProgramsEdit::Changed)
            edit = {ProgramsEdit::AlreadyThere, text};
        else
            edit = addHackToPrograms(text, hackCommand(), kHackName);
    } else {
        edit = removeHackFromPrograms(text, kHackName);
        auto second = removeHackFromPrograms(edit.text, lastComponent(thisProgramPath()));
        if (second.outcome == ProgramsEdit::Changed) edit = {ProgramsEdit::Changed, second.text};
    }
    switch (edit.outcome) {
    case ProgramsEdit::AlreadyThere:
        std::printf("%s: Mirevo is already in the programs list\n", path.c_str());
        return 0;
    case ProgramsEdit::NotThere:
        std::printf("%s: Mirevo is not in the programs list\n", path.c_str());
        return 0;
    case ProgramsEdit::NoList:
        logError(path + " has no programs list this command can edit");
        return 1;
    case ProgramsEdit::Changed:
        break;
    }
    // As the settings dialog treats a read-only Mirevo.ini: its owner wants it left as it is.
    if (madeReadOnly(file->info, path)) {
        logError(path + " is read-only; it is left as it is");
        return 1;
    }
    ReplaceOptions options;
    options.keepModeOf = &file->info;
    options.durable = true;
    const WriteResult written = writeFileAtomically(
        path, reinterpret_cast<const uint8_t*>(edit.text.data()), edit.text.size(), options);
    if (!written) {
        logError("cannot write " + path + ": " + written.reason().why);
        return 1;
    }
    std::printf("%s: Mirevo %s the programs list\n", path.c_str(), add ? "added to" : "taken out of");
    return 0;
}

} // namespace mirevo::viewer
