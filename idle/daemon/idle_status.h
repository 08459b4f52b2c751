#pragma once
// What mirevo-idle says about the inhibits: a line on standard error for each one taken and given up, and
// the status that mirevo-idle --status prints. A caller's application name and reason are shown as given,
// with control characters as '?' (see common/printable_text.h) and cut at kMaxCallerText bytes, and nothing else
// of the caller.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace mirevo {

constexpr size_t kMaxCallerText = 200;

// A caller's string as it is kept and shown: controls as '?', cut at a character boundary.
std::string callerText(const std::string& text);

std::string inhibitTakenLine(const std::string& application, const std::string& reason);
std::string inhibitReleasedLine(const std::string& application, const std::string& reason);
std::string inhibitOwnerLeftLine(const std::string& application, const std::string& reason);
std::string busLostLine(size_t dropped);

struct HeldInhibit {
    std::string application, reason;
    uint32_t heldSeconds = 0;
};

struct IdleStatus {
    int timeoutSeconds = 0;
    bool active = false;
    uint32_t activeSeconds = 0;
    std::vector<HeldInhibit> inhibits;
    std::string source; // where idleness comes from; empty when the running one does not say
    std::vector<std::string> locking; // the lines about locking; none when the running one does not say
};

// "12 seconds", "1 minute", "2 hours 5 minutes".
std::string spanText(uint32_t seconds);
// The lines of mirevo-idle --status; times of day in the local time zone, counted back from now.
std::string statusText(const IdleStatus& status, std::time_t now);

} // namespace mirevo
