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

} // namespace mirevo
