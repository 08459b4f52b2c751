#pragma once
// Waiting for a compositor's answer with a deadline: a compositor that accepts a connection and then stops
// answering must fail the test, not hang it.
#include <chrono>
#include <string>

struct wl_display;

namespace mirevo::test {

// Until the compositor has answered every request sent so far; false on the limit or a lost connection.
bool roundtrip(wl_display* display, std::chrono::milliseconds limit);

// Does a compositor answer a client on this socket (a path) within limit?
bool compositorAnswers(const std::string& socket, std::chrono::milliseconds limit);

} // namespace mirevo::test
