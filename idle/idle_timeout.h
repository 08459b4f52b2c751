#pragma once
// The one line that says which idle time is in force, and whose setting it is.
#include <optional>
#include <string>

namespace mirevo {

std::string timeoutLine(int seconds, bool fromCommandLine);

} // namespace mirevo
