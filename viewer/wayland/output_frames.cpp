#include "viewer/wayland/output_frames.h"

#include <algorithm>

namespace mirevo::viewer {

namespace {

// Whole milliseconds down: the pacer keeps its cadence through a frame drawn a fraction early.
std::chrono::milliseconds wholeMilliseconds(double seconds) {
    return std::chrono::milliseconds(static_cast<long>(std::max(0.0, seconds) * 1000.0));
}

} // namespace

size_t OutputFrames::add() {
    entries_.push_back(Entry{});
    return entries_.size() - 1;
}

bool OutputFrames::anyDrawable() const {
    for (size_t i = 0; i < count(); ++i)
        if (drawable(i)) return true;
    return false;
}

bool OutputFrames::anyShowable() const {
    for (size_t i = 0; i < count(); ++i)
        if (showable(i)) return true;
    return false;
}

bool OutputFrames::drawNow(double secondsUntilPacerDue) const {
    return anyDrawable() && wholeMilliseconds(secondsUntilPacerDue).count() == 0;
}

std::chrono::milliseconds OutputFrames::wait(double secondsUntilPacerDue, std::chrono::milliseconds idle) const {
    if (anyShowable()) return std::chrono::milliseconds(0);
    if (anyDrawable()) return std::min(wholeMilliseconds(secondsUntilPacerDue), idle);
    return idle;
}

} // namespace mirevo::viewer
