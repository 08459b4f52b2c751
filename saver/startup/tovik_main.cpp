#include "saver/startup/tovik_main.h"

#include "saver/startup/command_line.h"
#include "shared/settings_file/tovik_b.h"

namespace mirevo {

MainOutcome Main(const std::string& argumentText, StartupPlatform& platform, ProgramState& state) {
    // Two starts at the same instant could both pass the title test before either has made its window; the
    // display's lock lets one through. A preview runs beside anything and takes none.
    const bool preview = switchLetter(argumentText) == 'P';
    // A user who lost the dialog behind other windows, or minimised it, and starts the saver again finds it.
    const auto endShowingTheDialog = [&] {
        if (!preview) platform.bringToFront(kSettingsDialogTitle);
        return MainOutcome::End;
    };
    if (!preview && !platform.takeInstanceLock()) return endShowingTheDialog();

    // Both titles are looked up: a running session and an open settings dialog each block a new start, also
    // one of a build that knows no lock.
    const bool sessionRunning = platform.windowExists(kSessionWindowTitle);
    const bool dialogOpen = platform.windowExists(kSettingsDialogTitle);
    if (sessionRunning || dialogOpen) return endShowingTheDialog();

    if (preview)
        return platform.showPreview(hostHandle(argumentText)) ? MainOutcome::RunEventLoop : MainOutcome::End;

    // Every other switch, unknown ones included, loads the settings and needs the viewer first.
    const std::string programFolder = platform.programFolder();
    Settings_Load(state, programFolder);
    if (!File_Exists(programFilePath(programFolder, kViewerFileName))) {
        platform.showMessageBox(kMissingViewerMessage, kAppTitle);
        return MainOutcome::End;
    }

    if (switchLetter(argumentText) == 'C') {
        platform.showSettingsDialog();
        return MainOutcome::End;
    }
    if (!argumentText.empty() && switchLetter(argumentText) != 'S') return MainOutcome::End;

    const bool hideCursor = switchLetter(argumentText) == 'S';
    if (hideCursor) platform.hideCursor();
    platform.startSession(hideCursor);
    return MainOutcome::RunEventLoop;
}

} // namespace mirevo
