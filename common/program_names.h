#pragma once
// The names the programs know each other by: the window titles one gives itself and another looks for, and
// the files that sit together in the program folder.

namespace mirevo {

// The session window and the settings dialog also mark a running saver, so a second start ends at once.
inline constexpr const char* kSessionWindowTitle = "Tovik_Main";
inline constexpr const char* kSettingsDialogTitle = "<Mirevo>";
// The session watches for the viewer's window to know the viewer is up, and ends once it has gone.
inline constexpr const char* kViewerWindowTitle = "Tovik_VC";

inline constexpr const char* kSaverFileName = "Mirevo.scr";
inline constexpr const char* kViewerFileName = "Mirevo.dll";
inline constexpr const char* kSettingsFileName = "Mirevo.ini";
// The other two programs, as their lines name them.
inline constexpr const char* kHackProgramName = "mirevo-hack";
inline constexpr const char* kIdleProgramName = "mirevo-idle";

// Where an install puts the program folder, below its prefix, beside bin/ (not the multiarch library folder:
// nothing links against the programs). CMakeLists.txt reads it from here.
inline constexpr const char* kInstallProgramFolder = "lib/mirevo";

} // namespace mirevo
