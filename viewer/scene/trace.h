#pragma once
// Timestamps for measuring the viewer from outside (MIREVO_VIEWER_TRACE=1): one line per event on standard
// error, "mirevo-trace <event> <monotonic seconds> cpu=<process CPU seconds> [detail]". Silent otherwise.
#include <string>

namespace mirevo::viewer {

class Trace {
public:
    Trace(); // reads MIREVO_VIEWER_TRACE
    bool on() const { return on_; }
    void mark(const char* event, const std::string& detail = {}) const;
    static double monotonicSeconds();

private:
    bool on_ = false;
};

} // namespace mirevo::viewer
