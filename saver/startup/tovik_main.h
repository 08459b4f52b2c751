#pragma once
// The saver's start-up procedure: single-instance test, then the mode chosen by the switch letter.
#include <string>

#include "common/program_names.h"
#include "shared/settings/settings.h"
#include "saver/startup/startup_platform.h"

namespace mirevo {

enum class MainOutcome { End, RunEventLoop };

inline constexpr const char* kAppTitle = "Mirevo (ScreenSaver)";
inline constexpr const char* kMissingViewerMessage = "Mirevo.dll が同じﾌｫﾙﾀﾞに見つかりません！";

// End: the program ends now. RunEventLoop: a preview or session window lives on and ends the program itself.
MainOutcome Main(const std::string& argumentText, StartupPlatform& platform, ProgramState& state);

} // namespace mirevo
