#pragma once
// One voice per program: every line a program says on standard error starts with its name, said once at its
// start, so that a line in a session's log says whose it is. Debug lines (which platform, which picture source,
// which idle source was chosen, and why) are said only when the environment asks: MIREVO_DEBUG=1.
//
//     int main() { startLog(kSaverFileName); ...  logError("the screen cannot be read; " + why); }
//     -> "Mirevo.scr: the screen cannot be read; ..."     debug: "Mirevo.scr: debug: ..."
#include <functional>
#include <string>

namespace mirevo {

enum class LogLevel { Error, Warning, Info, Debug };

// Once, at the start of main and before any thread: the name every line starts with (program_names.h), and
// whether debug lines are said (MIREVO_DEBUG=1 in the environment).
void startLog(const char* program);
// This program's name as startLog set it ("mirevo" before).
const std::string& logProgram();

// Whether MIREVO_DEBUG's value (null when unset) asks for the debug lines: only "1" does.
bool debugRequested(const char* value);
void setLogDebug(bool on);
bool logShows(LogLevel level);

// The line as said, without its line break: "<program>: text", or "<program>: debug: text" for a debug line.
// A line break or another control character in text is shown as '?' (printable_text.h): one call, one line.
std::string logLine(const std::string& program, LogLevel level, const std::string& text);

// Where the lines go: standard error, unless a test catches them (an empty sink gives standard error back).
using LogSink = std::function<void(const std::string& line)>;
void setLogSink(LogSink sink);

// Says text at level when that level is shown: one line, flushed at once.
void log(LogLevel level, const std::string& text);
inline void logError(const std::string& text) { log(LogLevel::Error, text); }
inline void logWarning(const std::string& text) { log(LogLevel::Warning, text); }
inline void logInfo(const std::string& text) { log(LogLevel::Info, text); }
inline void logDebug(const std::string& text) { log(LogLevel::Debug, text); }

} // namespace mirevo
