#include "common/log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/printable_text.h"

namespace mirevo {
namespace {

// Long enough for a path or two and a reason; a runaway text is cut rather than flooding the log.
constexpr size_t kLineBytes = 16 * 1024;

std::string& program() {
    static std::string name = "mirevo";
    return name;
}

bool& debugOn() {
    static bool on = false;
    return on;
}

LogSink& sink() {
    static LogSink caught;
    return caught;
}

} // namespace

void startLog(const char* name) {
    program() = name;
    debugOn() = debugRequested(std::getenv("MIREVO_DEBUG"));
}

const std::string& logProgram() {
    return program();
}

bool debugRequested(const char* value) {
    return value && std::strcmp(value, "1") == 0;
}

void setLogDebug(bool on) {
    debugOn() = on;
}

bool logShows(LogLevel level) {
    return level != LogLevel::Debug || debugOn();
}

std::string logLine(const std::string& name, LogLevel level, const std::string& text) {
    const PrintableText shown = printableText(text, kLineBytes);
    return name + (level == LogLevel::Debug ? ": debug: " : ": ") + shown.text + (shown.cut ? "..." : "");
}

void setLogSink(LogSink caught) {
    sink() = std::move(caught);
}

void log(LogLevel level, const std::string& text) {
    if (!logShows(level)) return;
    const std::string line = logLine(program(), level, text);
    if (sink()) return sink()(line);
    // One write of the whole line, so that lines of two threads or two programs on one terminal do not mix.
    const std::string whole = line + "\n";
    std::fwrite(whole.data(), 1, whole.size(), stderr);
    std::fflush(stderr);
}

} // namespace mirevo
